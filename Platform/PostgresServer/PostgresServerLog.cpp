#include "PostgresServer/PostgresServerLog.h"

Q_LOGGING_CATEGORY(lcPostgres, "zandrell.platform.postgres", QtWarningMsg)
