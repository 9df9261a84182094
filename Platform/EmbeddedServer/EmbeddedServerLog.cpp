#include "EmbeddedServer/EmbeddedServerLog.h"

Q_LOGGING_CATEGORY(lcServer, "zandrell.platform.server", QtWarningMsg)
