// The diagnostics category of the units shared with the service modules: warnings are shown by default, the
// rest when QT_LOGGING_RULES asks for them (for example "zandrell.comunits.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCom)
