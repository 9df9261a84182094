// The diagnostics category of the PostgreSQL backend: warnings are shown by default, the rest
// when QT_LOGGING_RULES asks for them (for example "zandrell.platform.postgres.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPostgres)
