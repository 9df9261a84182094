#include "Core/CoreLog.h"

Q_LOGGING_CATEGORY(lcCore, "zandrell.platform.core", QtWarningMsg)
