#pragma once
// The help of a window: the guide beside the program and F1 on a window
// opening its topic. Every window of the console, its modules and the
// versions window shares it.
#include "Core/PlatformExport.h"

#include <QString>
#include <QUrl>

class QWidget;

// The help file of a form: the program's folder + "Help/" + the name without
// its folder, when that file exists (a ".hlp" name stands for the ".html" file
// of the same name, the guide of this platform); else empty, as for an empty name.
PLATFORM_EXPORT QString ResolveHelpFile(const QString &helpFileName);
// The address of a topic: the file with the keyword as its anchor.
PLATFORM_EXPORT QUrl HelpTopicUrl(const QString &resolvedHelpFile, const QString &keyword);
// Opens the topic in the desktop's viewer (unattended: writes "HELP <address>"
// instead); false when there is no help file.
PLATFORM_EXPORT bool ShowHelpTopic(const QString &helpFileName, const QString &keyword);
// F1 anywhere in the window opens its topic.
PLATFORM_EXPORT void SetHelpTopic(QWidget *window, const QString &helpFileName, const QString &keyword);
