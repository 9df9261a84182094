// The diagnostics category of the executable-image and version readers: warnings are shown by default, the
// rest when QT_LOGGING_RULES asks for them (for example "zandrell.files.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFiles)
