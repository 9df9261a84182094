// The diagnostics category of the platform's core (INI files, texts): warnings are shown by default, the
// rest when QT_LOGGING_RULES asks for them (for example "zandrell.platform.core.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCore)
