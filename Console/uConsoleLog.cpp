#include "Console/uConsoleLog.h"

Q_LOGGING_CATEGORY(lcConsole, "zandrell.console", QtWarningMsg)
Q_LOGGING_CATEGORY(lcServices, "zandrell.console.services", QtWarningMsg)
