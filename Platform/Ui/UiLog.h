// The diagnostics category of the platform's windows: warnings are shown by default, the
// rest when QT_LOGGING_RULES asks for them (for example "zandrell.platform.ui.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUi)
