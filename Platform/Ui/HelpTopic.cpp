#include "Ui/HelpTopic.h"

#include "Core/DialogService.h"
#include "Core/ResourcePack.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString guideText(const char *russian, const char *english)
{
    return CaseMessageTxt(QString::fromUtf8(russian), QString::fromUtf8(english));
}

} // namespace

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

QString GuideInUserLanguage(const QString &resolvedHelpFile)
{
    if (resolvedHelpFile.isEmpty() || UserWorksInRussian())
        return resolvedHelpFile;
    const QFileInfo guide(resolvedHelpFile);
    const QString english = guide.dir().filePath(guide.completeBaseName() + QStringLiteral(".en.") + guide.suffix());
    return QFileInfo(english).isFile() ? english : resolvedHelpFile;
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
    const QString file = GuideInUserLanguage(ResolveHelpFile(helpFileName));
    if (file.isEmpty()) {
        const QString expected = QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("Help/") + QFileInfo(helpFileName).completeBaseName() +
                                               QStringLiteral(".html"));
        ShowDialogMessage(
            guideText("Руководство пользователя не найдено: \"%1\"", "The user's guide is not found: \"%1\"")
                .arg(QDir::toNativeSeparators(expected)),
            guideText("Справка", "Help"), MB_ICONWARNING);
        return false;
    }
    THelpWindow window(HelpTopicUrl(file, keyword), QApplication::activeWindow());
    ExecModalDialog(&window);
    return true;
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

THelpWindow::THelpWindow(const QUrl &topic, QWidget *parent) : QDialog(parent), m_topic(topic)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(guideText("Руководство пользователя", "User's guide"));
    tbGuide = new QTextBrowser(this);
    tbGuide->setObjectName(QStringLiteral("tbGuide"));
    tbGuide->setOpenExternalLinks(true);
    tbGuide->setSource(topic);
    auto *buttons = new QDialogButtonBox(this);
    btnBrowser =
        buttons->addButton(guideText("Открыть в &браузере", "Open in the &browser"), QDialogButtonBox::ActionRole);
    btnBrowser->setObjectName(QStringLiteral("btnBrowser"));
    btnClose = buttons->addButton(guideText("&Закрыть", "&Close"), QDialogButtonBox::RejectRole);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnBrowser, &QPushButton::clicked, this, &THelpWindow::openInBrowser);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tbGuide);
    layout->addWidget(buttons);
    // Room for a section at a time: half the work area's width, most of its height.
    const QScreen *where = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect area = where ? where->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(qMax(area.width() / 2, 560), area.height() * 3 / 4);
    tbGuide->setFocus();
    SetDrivenUnattended(this);
}

void THelpWindow::openInBrowser()
{
    if (QDesktopServices::openUrl(m_topic))
        return;
    ShowDialogMessage(guideText("Браузер не смог открыть руководство. Откройте файл \"%1\" сами.",
                                "No browser could open the guide. Open the file \"%1\" yourself.")
                          .arg(QDir::toNativeSeparators(m_topic.toLocalFile())),
                      windowTitle(), MB_ICONWARNING);
}
