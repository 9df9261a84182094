#pragma once
// The help of a window: the user's guide beside the program, shown at the
// window's topic in the program's own help window (F1, or the help menu).
// The guide comes in the user's language: "Help/<name>.html" is the Russian
// guide, "Help/<name>.en.html" the English one. The help window offers the
// desktop's browser too; when no browser can show the guide, it says so and
// names the file. Every window of the console, its modules and the versions
// window shares it.
#include "Core/PlatformExport.h"

#include <QDialog>
#include <QString>
#include <QUrl>

class QPushButton;
class QTextBrowser;
class QWidget;

// The help file of a form: the program's folder + "Help/" + the name without
// its folder, when that file exists (a ".hlp" name stands for the ".html" file
// of the same name, the guide of this platform); else empty, as for an empty name.
PLATFORM_EXPORT QString ResolveHelpFile(const QString &helpFileName);
// The guide in the user's language: the ".en.html" file beside the resolved one
// for a user who does not work in Russian, where it exists; else the resolved one.
PLATFORM_EXPORT QString GuideInUserLanguage(const QString &resolvedHelpFile);
// The address of a topic: the file with the keyword as its anchor.
PLATFORM_EXPORT QUrl HelpTopicUrl(const QString &resolvedHelpFile, const QString &keyword);
// Shows the topic in the help window (modal, driven in the unattended mode);
// false, after a message that names the file, when the guide is not there.
PLATFORM_EXPORT bool ShowHelpTopic(const QString &helpFileName, const QString &keyword);
// F1 anywhere in the window opens its topic.
PLATFORM_EXPORT void SetHelpTopic(QWidget *window, const QString &helpFileName, const QString &keyword);

// The help window: the guide at a topic, its links followed inside it.
class PLATFORM_EXPORT THelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit THelpWindow(const QUrl &topic, QWidget *parent = nullptr);

    QTextBrowser *tbGuide;
    QPushButton *btnBrowser;
    QPushButton *btnClose;

private:
    // Opens the guide in the desktop's browser; says so and names the file when none can.
    void openInBrowser();
    QUrl m_topic;
};
