// The diagnostics category of the data-access layer (sessions, data sets, language packs): warnings are shown by
// default, the rest when QT_LOGGING_RULES asks for them (for example "zandrell.platform.data.debug=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcData)
