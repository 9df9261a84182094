#include "Source/ComUnits/uComLog.h"

Q_LOGGING_CATEGORY(lcCom, "zandrell.comunits", QtWarningMsg)
