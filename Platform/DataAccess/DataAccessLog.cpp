#include "DataAccess/DataAccessLog.h"

Q_LOGGING_CATEGORY(lcData, "zandrell.platform.data", QtWarningMsg)
