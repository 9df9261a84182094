#include "Ui/HelpTopic.h"

#include "Core/DialogService.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QWidget>

QString ResolveHelpFile(const QString &helpFileName)
{
    QString name = QFileInfo(QString(helpFileName).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName();
    if (name.isEmpty())
        return QString();
    if (name.endsWith(QLatin1String(".hlp"), Qt::CaseInsensitive))
        name = name.left(name.size() - 4) + QStringLiteral(".html");
    const QDir program(QCoreApplication::applicationDirPath());
    // "Help" as installed here; "help" as the folder is named on Windows installations.
    for (const char *folder : {"Help", "help"}) {
        const QString path = program.filePath(QString::fromLatin1(folder) + QLatin1Char('/') + name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QUrl HelpTopicUrl(const QString &resolvedHelpFile, const QString &keyword)
{
    QUrl url = QUrl::fromLocalFile(resolvedHelpFile);
    if (!keyword.isEmpty())
        url.setFragment(keyword);
    return url;
}

bool ShowHelpTopic(const QString &helpFileName, const QString &keyword)
{
    const QString file = ResolveHelpFile(helpFileName);
    if (file.isEmpty())
        return false;
    const QUrl url = HelpTopicUrl(file, keyword);
    if (IsUnattended()) {
        WriteProtocolLine(QStringLiteral("HELP ") + url.toString());
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void SetHelpTopic(QWidget *window, const QString &helpFileName, const QString &keyword)
{
    auto *shortcut = new QShortcut(QKeySequence::HelpContents, window);
    shortcut->setObjectName(QStringLiteral("HelpShortcut"));
    shortcut->setContext(Qt::WindowShortcut);
    window->setProperty("helpKeyword", keyword);
    QObject::connect(shortcut, &QShortcut::activated, window,
                     [helpFileName, keyword] { ShowHelpTopic(helpFileName, keyword); });
}
