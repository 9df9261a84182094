// The diagnostics category of the embedded scheme server: warnings are shown by default, the
// rest when QT_LOGGING_RULES asks for them (for example "zandrell.platform.server.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcServer)
