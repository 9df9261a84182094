// The console in one language: Qt's own texts follow the console's language,
// and a walk through the main window and every window it opens finds no text
// of the other language outside the data (user and file names).
#include "DMIMPL.h"
#include "MainConsoleIMPL.h"
#include "RecordingDialogService.h"
#include "TempExeDir.h"
#include "TestServer.h"
#include "uConsoleCfg.h"
#include "uConsoleFunctions.h"
#include "uModuleLibrary.h"
#include "uQtTranslation.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

// One text a person reads, after a tab the place it was found.
void add(QStringList &texts, const QString &where, const QString &text) { texts << text + u'\t' + where; }

void collectActions(const QList<QAction *> &actions, const QString &where, QStringList &texts)
{
    for (QAction *a : actions) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        add(texts, where, a->text());
        add(texts, where, a->toolTip());
        if (a->menu())
            collectActions(a->menu()->actions(), where + u"/"_s + a->text(), texts);
    }
}

// Every text a person reads in a window: title, labels, buttons, group and tab
// titles, combo items, column headers, menus, actions and their hints.
QStringList textsOf(QWidget *window)
{
    const QString name = QString::fromLatin1(window->metaObject()->className());
    QStringList texts;
    add(texts, name, window->windowTitle());
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        const QString where = name + u"."_s + w->objectName();
        if (auto *label = qobject_cast<QLabel *>(w))
            add(texts, where, label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            add(texts, where, button->text());
            add(texts, where, button->toolTip());
        } else if (auto *group = qobject_cast<QGroupBox *>(w))
            add(texts, where, group->title());
        else if (auto *combo = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < combo->count(); ++i)
                add(texts, where, combo->itemText(i));
        else if (auto *tabs = qobject_cast<QTabWidget *>(w))
            for (int i = 0; i < tabs->count(); ++i)
                add(texts, where, tabs->tabText(i));
        else if (auto *view = qobject_cast<QAbstractItemView *>(w); view && view->model())
            for (int c = 0; c < view->model()->columnCount(); ++c)
                add(texts, where, view->model()->headerData(c, Qt::Horizontal).toString());
    }
    if (auto *main = qobject_cast<QMainWindow *>(window))
        collectActions(main->menuBar()->actions(), u"menu"_s, texts);
    return texts;
}

bool hasCyrillic(const QString &text)
{
    static const QRegularExpression cyrillic(u"[\u0400-\u04FF]"_s);
    return cyrillic.match(text).hasMatch();
}

// A Latin word of two letters or more that is neither a product nor a technical name
// (the Oracle homes are called "Default" and "Home<n>" in every language, the
// language menu names every language in its own).
bool hasEnglishWord(QString text)
{
    for (const char *name : {"KorConsole", "Oracle Home", "Default", "English", "ZANDRELL5", "ZANDRELL", "GUID", "Alt+", "Ctrl+", "OK"})
        text.remove(QString::fromLatin1(name));
    static const QRegularExpression file(u"[\\w.-]+\\.(so|ini|html|plg)\\b"_s);
    text.remove(file);
    static const QRegularExpression word(u"\\b[A-Za-z]{2,}\\b"_s);
    return word.match(text).hasMatch();
}

} // namespace

class tst_ConsoleLanguage : public QObject {
    Q_OBJECT

    TestServer *server = nullptr;
    TempExeDir *exeDir = nullptr;
    RecordingDialogService *dialogs = nullptr;
    std::unique_ptr<TDM> dm;

private slots:
    void initTestCase()
    {
        qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_language");
        TestServer::BuildTemplate();
    }

    void init()
    {
        server = new TestServer;
        exeDir = new TempExeDir;
        SetModuleFolder(exeDir->path());
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        for (const QString &f : QDir(dist).entryList({u"*.so"_s}, QDir::Files))
            QFile::link(dist + QLatin1Char('/') + f, exeDir->filePath(f));
        QDir().mkpath(exeDir->filePath(u"Res"_s));
        for (const char *f : {"Res/Langs.ini", "Res/En.ini"})
            QFile::copy(dist + u"/"_s + QLatin1String(f), exeDir->filePath(QLatin1String(f)));
        dialogs = new RecordingDialogService;
    }

    void cleanup()
    {
        dm.reset();
        delete dialogs;
        SetModuleFolder(QString());
        delete exeDir;
        delete server;
        SetConsoleLangId(0);
        ReleaseConsoleTexts(); // as the program's end does: the next login translates anew
        UseQtTranslation(25);
    }

    void qtTexts_data()
    {
        QTest::addColumn<int>("langId");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("Russian") << 25 << u"Отмена"_s;
        QTest::newRow("English") << 9 << u"Cancel"_s;
        QTest::newRow("back to Russian") << 25 << u"Отмена"_s;
        QTest::newRow("unknown language: Qt's own") << 4242 << u"Cancel"_s;
    }

    void qtTexts()
    {
        QFETCH(int, langId);
        QFETCH(QString, cancel);
        QVERIFY(UseQtTranslation(langId));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), cancel);
    }

    void everyWindowSpeaksOneLanguage_data()
    {
        QTest::addColumn<int>("langId");
        QTest::newRow("English") << 9;
        QTest::newRow("Russian") << 25;
    }

    void everyWindowSpeaksOneLanguage()
    {
        QFETCH(int, langId);
        dm = std::make_unique<TDM>();
        SetConsoleDataModule(dm.get());
        dm->SetServer(u"ZANDRELL"_s);
        dm->SetUserName(u"ZL_USER"_s);
        dm->SetPassword(u"demo"_s);
        dm->SetConnectPrompt(false);
        QVERIFY(dm->Login(u"ZANDRELL5"_s, QString::number(langId)));
        QCOMPARE(ConsoleLangId(), langId);

        TfmMain main;
        main.SchemeName = u"ZANDRELL5"_s;
        main.PreviousScheme = main.SchemeName;
        main.InitConfiguration();
        main.show();

        QStringList texts = textsOf(&main);
        for (QLabel *panel : main.sbPanels)
            add(texts, u"status"_s, panel->text());
        dialogs->onModal = [&texts](QDialog *dialog) {
            texts << textsOf(dialog);
            dialog->reject();
            return int(QDialog::Rejected);
        };
        TfmMain::ShowVersionsHook = [&texts](const QString &caption, const QString &title, const QStringList &) {
            add(texts, u"versions"_s, caption);
            add(texts, u"versions"_s, title);
        };
        // The about box is a library of its own, called without the language: it is left out.
        for (QAction *action : {main.acConfig, main.acShemaCfg, main.acHomeTuning, main.acSrvInfo, main.acPingDll})
            action->trigger();
        QVERIFY(dialogs->modalClasses.size() >= 3);
        for (const RecordedBox &box : dialogs->boxes) {
            add(texts, u"box"_s, box.caption);
            add(texts, u"box"_s, box.text);
        }

        // The data: the user's name, the folder of the installation.
        const QString userName = main.sbPanels[4]->text().section(u'\'', 1, 1);
        QStringList wrong;
        for (const QString &entry : texts) {
            QString text = entry.section(u'\t', 0, 0);
            if (!userName.isEmpty())
                text.remove(userName);
            text.remove(exeDir->path()).remove(QCoreApplication::applicationDirPath());
            if (langId == 9 ? hasCyrillic(text) : hasEnglishWord(text))
                wrong << entry;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }
};

QTEST_MAIN(tst_ConsoleLanguage)
#include "tst_ConsoleLanguage.moc"
