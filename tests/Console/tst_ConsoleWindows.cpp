// The console's windows that are not its configuration: the about box's missing library, the
// Oracle homes, help and F1, the input dialog without the form library, the images.
#include "Console/MainConsoleIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uHomeTuning.h"
#include "Core/OracleHomes.h"
#include "Ui/HelpTopic.h"
#include "Ui/ResourceLibrary.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TempExeDir.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QWidget>

using namespace Qt::StringLiterals;

class TestConsoleWindows : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;
    QString m_guide; // a help file beside the program
    QList<QUrl> m_opened;

public slots:
    void openUrl(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase()
    {
        const QDir program(QCoreApplication::applicationDirPath());
        QVERIFY(program.mkpath(u"Help"_s));
        m_guide = program.filePath(u"Help/ZzHelpTest.html"_s);
        QFile file(m_guide);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><body id=\"Topic\"></body></html>");
        QDesktopServices::setUrlHandler(u"file"_s, this, "openUrl");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QFile::remove(m_guide);
    }

    void init()
    {
        dir = new TempExeDir;
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        delete dialogs;
        FreeResourceLibrary();
        FinalizeConsoleFunctions();
        delete dir;
        qunsetenv("ZANDRELL_ORATAB");
        qunsetenv("ORACLE_HOME");
    }

    void resourceLibraryImages()
    {
        QVERIFY(!LoadResourceLibrary(dir->filePath(u"LumRes.so"_s)));
        QVERIFY(LoadResourceLibrary(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/LumRes.so"_s));
        QVERIFY(!ResourceBitmap(53).isNull() && ResourceBitmap(9999).isNull());
        // The main window's tool bar takes the library's images for its design positions.
        TfmMain main;
        QCOMPARE(&main.ToolBarImages(), &main.ilLarge);
        FreeResourceLibrary();
        QVERIFY(ResourceBitmap(53).isNull());
        TfmMain plain;
        QCOMPARE(&plain.ToolBarImages(), &plain.ilSmall);
    }

    // A missing about library, and one without the entry point, are named in the message.
    void aboutBoxWithoutItsLibrary()
    {
        TfmMain main;
        main.acAbout->trigger();
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes[0].text.contains(u"\"LumConsoleAbout.so\""_s));
        QVERIFY(QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/LumRes.so"_s,
                            dir->filePath(u"LumConsoleAbout.so"_s)));
        main.acAbout->trigger();
        QVERIFY(dialogs->boxes.last().text.contains(u"\"LumConsoleAbout.so@ShowAboutBox\""_s));
    }

    // Without a data module the configuration cannot be built: the application is told to end.
    void noDataModuleEndsTheConfiguration()
    {
        TfmMain main;
        QVERIFY_THROWS_EXCEPTION(EAbort, main.InitConfiguration());
        QCOMPARE(dialogs->boxes.size(), 1);
    }

    // The homes of oratab in the home window, and the one chosen in the client's environment once per process.
    void homeWindow()
    {
        // No oratab: the default home only.
        qputenv("ZANDRELL_ORATAB", QFile::encodeName(dir->filePath(u"missing"_s)));
        qunsetenv("ORACLE_HOME");
        QCOMPARE(DetectOracleHomes().OracleHomeCount(), 0);
        QCOMPARE(OracleHomeEntry(DetectOracleHomes(), 0), u"Default"_s);
        // Each path once, a trailing slash cleaned; without ORACLE_HOME the first listed home is the default.
        dir->write(u"oratab"_s, "# comment\nORCL:/opt/A:N\n\nBAD\nTEST:/opt/B/:Y\nDUP:/opt/A:N\n");
        qputenv("ZANDRELL_ORATAB", dir->filePath(u"oratab"_s).toLocal8Bit());
        QCOMPARE(DetectOracleHomes().DefaultOracleHome, u"/opt/A"_s);
        qputenv("ORACLE_HOME", "/opt/D");
        // An impossible stored home goes back to 0 when the window opens.
        dir->write(u"Console.ini"_s, "[CONNECTION]\nhome=9\n");
        TfmHomeTuning form;
        QCOMPARE(ReadHome(), 0);
        QStringList items;
        for (int i = 0; i < form.cbHome->count(); ++i)
            items << form.cbHome->itemText(i);
        QCOMPARE(items, (QStringList{"Default [/opt/D]", "Home0 [/opt/A]", "Home1 [/opt/B]", "Home2", "Home3", "Home4",
                                     "Home5"}));
        // Activate only for another home than the stored one.
        QCOMPARE(form.cbHome->currentIndex(), 0);
        QVERIFY(!form.btnActivate->isEnabled());
        form.cbHome->setCurrentIndex(3);
        QVERIFY(form.btnActivate->isEnabled());
        QTest::mouseClick(form.btnActivate, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(ReadHome(), 3);
        // The dialog opens on the stored home and returns the one activated; Exit writes nothing.
        dialogs->onModal = [&](QDialog *dialog) {
            auto *home = qobject_cast<TfmHomeTuning *>(dialog);
            [&] { QCOMPARE(home->stActiveHome->text(), home->cbHome->itemText(3)); }();
            home->cbHome->setCurrentIndex(5);
            home->Activate();
            return home->result();
        };
        QCOMPARE(ShowHomeDialog(), 5);
        dialogs->onModal = nullptr;
        QCOMPARE(ShowHomeDialog(), 5);
        // The first home applied stays for the process.
        const QString home = dir->filePath(u"21c"_s);
        dir->write(u"oratab"_s, u"ORCL:%1:N\n"_s.arg(home).toUtf8());
        qputenv("ZANDRELL_ORATAB", QFile::encodeName(dir->filePath(u"oratab"_s)));
        qunsetenv("TNS_ADMIN");
        QVERIFY(QDir().mkpath(home + u"/network/admin"_s));
        QVERIFY(!OracleHomeApplied());
        QCOMPARE(ApplyOracleHome(1), home);
        QVERIFY(OracleHomeApplied());
        QCOMPARE(qEnvironmentVariable("ORACLE_HOME") + u'|' + qEnvironmentVariable("TNS_ADMIN"),
                 home + u'|' + home + u"/network/admin"_s);
        QCOMPARE(ApplyOracleHome(0), home);
        QCOMPARE(qEnvironmentVariable("ORACLE_HOME"), home);
    }

    // Without the form library the built-in input dialog is used, and the library's absence is told once.
    void inputQueryWithoutTheFormLibrary()
    {
        InitConsoleFunctions();
        QVERIFY(!ComFormLibLoaded());
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.first().text.contains(u"ComformLibs.so"_s));
        void *entry = nullptr;
        QVERIFY(!ComFormLibLoad(u"lumInputQuery"_s, &entry));
        QCOMPARE(dialogs->boxes.size(), 1);
        QString value = u"old"_s;
        dialogs->onModal = [](QDialog *dialog) {
            qobject_cast<QInputDialog *>(dialog)->setTextValue(u"abcdef"_s);
            return int(QDialog::Accepted);
        };
        QVERIFY(lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, 3));
        QCOMPARE(value, u"abc"_s);
        QVERIFY(lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, -1));
        QCOMPARE(value, u"abcdef"_s);
        dialogs->onModal = nullptr;
        QVERIFY(!lumInputQuery("Cap", "Prompt", "Ok", "Cancel", value, 3));
        QCOMPARE(value, u"abcdef"_s);
    }

    void formLibraryWithoutTheEntry()
    {
        QVERIFY(QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/ComformLibs.so"_s,
                            dir->filePath(u"ComformLibs.so"_s)));
        InitConsoleFunctions();
        QVERIFY(ComFormLibLoaded());
        void *entry = nullptr;
        QVERIFY(!ComFormLibLoad(u"NoSuchEntry"_s, &entry));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.last().text.contains(u"\"ComformLibs.so@NoSuchEntry\""_s));
    }

    void helpFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("html as it is") << "ZzHelpTest.html" << true;
        QTest::newRow("Windows folder dropped") << ".\\Help\\ZzHelpTest.hlp" << true;
        QTest::newRow("only a folder") << "Help/" << false;
    }

    void helpFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        QCOMPARE(ResolveHelpFile(name), found ? m_guide : QString());
    }

    // F1 opens the help window at the window's topic, in the guide of the user's language; the
    // desktop's browser is offered from there; a missing guide is told with its file.
    void f1OpensTheTopicOfTheWindow()
    {
        m_opened.clear();
        QFile english(QFileInfo(m_guide).path() + u"/ZzHelpTest.en.html"_s);
        QVERIFY(english.open(QIODevice::WriteOnly) && english.write("<h2><a name=\"Topic\"></a>Topic</h2>") > 0);
        english.close();
        QUrl shown;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *help = qobject_cast<THelpWindow *>(dialog);
            shown = help->tbGuide->source();
            help->btnBrowser->click();
            help->reject();
            return int(QDialog::Rejected);
        };
        QWidget window;
        SetHelpTopic(&window, u"ZzHelpTest.hlp"_s, u"Topic"_s);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        QCOMPARE(dialogs->modalClasses, QStringList{u"THelpWindow"_s});
        QCOMPARE(shown.toLocalFile(), m_guide);
        QCOMPARE(shown.fragment(), u"Topic"_s);
        QCOMPARE(m_opened, QList<QUrl>{shown});
        {
            FakeLanguages inEnglish;
            QTest::keyClick(&window, Qt::Key_F1);
            QCOMPARE(shown.toLocalFile(), english.fileName());
        }
        english.remove();

        // No help file: nothing opens, and the message names the file looked for.
        dialogs->clear();
        QVERIFY(!ShowHelpTopic(u"Nowhere.hlp"_s, u"Topic"_s));
        QCOMPARE(dialogs->modalClasses, QStringList());
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes[0].text.contains(u"Nowhere.html"_s), qPrintable(dialogs->boxes[0].text));
        dialogs->onModal = nullptr;
    }
};

QTEST_MAIN(TestConsoleWindows)
#include "tst_ConsoleWindows.moc"
