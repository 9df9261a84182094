#include "Ui/UiLog.h"

Q_LOGGING_CATEGORY(lcUi, "zandrell.platform.ui", QtWarningMsg)
