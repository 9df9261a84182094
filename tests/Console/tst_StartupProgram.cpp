// The program block: its steps in order, the switch table, the tool modes,
// every exit path through the outer clean-up; the updater launch: no updater, one that cannot start, and
// the double answering 1, 0 or never, also in the program block.
#include "Exceptions.h"
#include "KorConsoleProgram.h"
#include "RecordingDialogService.h"
#include "uAtom.h"
#include "uAutoUpdate.h"
#include "uConsoleCfg.h"
#include "uConsoleDM.h"
#include "uConsoleFunctions.h"
#include "uConsoleInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "TempExeDir.h"

namespace {

struct DataModuleLog {
    QStringList calls;
    bool loginResult = true;
    bool throwOnLogin = false;
    bool throwOnServer = false;
    int atomCountAtLogin = -1;
};

class FakeDataModule : public IConsoleDataModule {
public:
    explicit FakeDataModule(DataModuleLog &log) : log(log) {}
    DataModuleLog &log;
    void SetServer(const QString &v) override
    {
        if (log.throwOnServer)
            throw Exception(QStringLiteral("  server refused  "));
        log.calls << "server=" + v;
    }
    void SetUserName(const QString &v) override { log.calls << "user=" + v; }
    void SetPassword(const QString &v) override { log.calls << "password=" + v; }
    void SetConnectPrompt(bool v) override { log.calls << QStringLiteral("prompt=%1").arg(v); }
    void SetHomeIndex(int v) override { log.calls << QStringLiteral("home=%1").arg(v); }
    void SetStoreLogInfo(bool v) override { log.calls << QStringLiteral("store=%1").arg(v); }
    bool Login(const QString &scheme, const QString &lang) override
    {
        log.calls << "login " + scheme + " " + lang;
        log.atomCountAtLogin = ConsoleAtomCount();
        if (log.throwOnLogin)
            throw Exception(QStringLiteral(" listener down "));
        return log.loginResult;
    }
    bool LoggedIn() const override { return false; }
};

class RecordingProgram : public TKorConsoleProgram {
public:
    DataModuleLog dmLog;
    QStringList hooks;
    QString schemeChoice = QStringLiteral("ZANDRELL5");
    bool realUpdater = false;

protected:
    void InitializeUnits() override { hooks << "init"; }
    void FinalizeUnits() override { hooks << "final"; }
    bool LaunchAutoUpdate(int langId) override
    {
        hooks << QStringLiteral("updater %1").arg(langId);
        return realUpdater && TKorConsoleProgram::LaunchAutoUpdate(langId);
    }
    int ShowHomeDialog() override
    {
        hooks << "home";
        return 0;
    }
    QString ShowSchemeDialog() override
    {
        hooks << "scheme";
        if (schemeChoice.isEmpty())
            return schemeChoice;
        SetActiveScheme(schemeChoice);
        return schemeChoice;
    }
    std::unique_ptr<IConsoleDataModule> CreateDataModule() override
    {
        hooks << "dm";
        return std::make_unique<FakeDataModule>(dmLog);
    }
    void RunMainWindow(const QString &scheme, bool disableReconnect) override
    {
        hooks << QStringLiteral("main %1 %2").arg(scheme).arg(disableReconnect);
    }
};

} // namespace

class TestStartupProgram : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    QString logFile() const { return dir->filePath(QStringLiteral("updater.log")); }
    void installDouble(const char *answer)
    {
        QVERIFY(QFile::copy(QStringLiteral(AUTOUPDATE_DOUBLE), AutoUpdatePath()));
        QVERIFY(QFile::setPermissions(AutoUpdatePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("AUTOUPDATE_DOUBLE_ANSWER", answer);
        qputenv("AUTOUPDATE_DOUBLE_LOG", logFile().toUtf8());
    }
    QStringList updaterArguments() const
    {
        // The double runs on its own: wait until it has written its arguments.
        QFile file(logFile());
        for (int i = 0; i < 500 && !file.exists(); ++i)
            QTest::qWait(10);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    }

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const RecordedBox &b : dialogs->boxes)
            texts << b.text;
        return texts;
    }

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_test_" + QByteArray::number(getpid())); }
    void init()
    {
        dir = new TempExeDir;
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n9=En\n");
        dir->write(QStringLiteral("Res/En.ini"), "[WRD_WORDS]\n");
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        delete dialogs;
        CloseConsoleIni();
        delete dir;
        qunsetenv("AUTOUPDATE_DOUBLE_ANSWER");
        qunsetenv("AUTOUPDATE_DOUBLE_LOG");
    }

    // The switches (blank-separated): the exit path, the data module's calls and the box shown.
    void switches_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("exitPath");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("box");
        const QString login = QStringLiteral("prompt=1; login ZANDRELL5 25");
        const QString home0 = QStringLiteral("prompt=1; home=0; login ZANDRELL5 25");
        const QString notExtracted = QStringLiteral("Параметр \"%1\" не извлечен из строки \"%2\"");
        const QString notCorrect = QStringLiteral("Параметр \"%1\"(%2) - не корректен");
        // Help and the tool modes only alone and exactly written.
        QTest::newRow("/?") << "/?" << "help" << "" << RussianHelpText();
        QTest::newRow("/help") << "/help" << "help" << "" << RussianHelpText();
        QTest::newRow("/? and more") << "/? /user=x" << "loop" << "user=x; prompt=1; store=0; login ZANDRELL5 25" << "";
        QTest::newRow("/HELP") << "/HELP" << "loop" << login << "";
        QTest::newRow("/home") << "/home" << "home" << "" << "";
        QTest::newRow("/HOME") << "/HOME" << "loop" << login << notExtracted.arg("home", "/HOME");
        QTest::newRow("/home and more") << "/home /user=u" << "loop" << "user=u; prompt=1; store=0; login ZANDRELL5 25"
                                        << notExtracted.arg("home", "/home");
        QTest::newRow("/SCHEME") << "/SCHEME" << "scheme" << "" << "";
        QTest::newRow("/Shema") << "/Shema" << "scheme" << "" << "";
        // Oracle homes 0 to 6; anything else is reported and home 0 is used.
        QTest::newRow("home 6") << "/home=6" << "loop" << "prompt=1; home=6; login ZANDRELL5 25" << "";
        QTest::newRow("home 0") << "/home=0" << "loop" << home0 << "";
        QTest::newRow("home 7") << "/home=7" << "loop" << home0 << notCorrect.arg("Oracle Home", "7");
        QTest::newRow("home 10") << "/home=10" << "loop" << home0 << notCorrect.arg("Oracle Home", "10");
        QTest::newRow("home empty") << "/home=" << "loop" << home0 << notCorrect.arg("Oracle Home", "");
        QTest::newRow("home -1 is absent") << "/home=-1" << "loop" << login << "";
        // The connection: the last "=" and the last switch count; the dialog unless all three are given.
        QTest::newRow("all three") << "/server=a=b /user=u1 /password=secret /user=u2" << "loop"
                                   << "server=b; user=u2; password=secret; prompt=0; store=0; login ZANDRELL5 25" << "";
        QTest::newRow("no password") << "/server=S /user=U" << "loop" << "server=S; user=U; prompt=1; store=0; login ZANDRELL5 25"
                                     << "";
        QTest::newRow("-1 is not given") << "/user=-1 /password=pw" << "loop" << "password=pw; prompt=1; login ZANDRELL5 25" << "";
        QTest::newRow("/user without value") << "/user" << "loop" << login << notExtracted.arg("user", "/user");
        // Schemes: named, old spelling, chosen in the window, empty.
        QTest::newRow("/scheme=ABC") << "/scheme=ABC" << "loop" << "prompt=1; login ABC 25" << "";
        QTest::newRow("/shema=OLD") << "/shema=OLD" << "loop" << "prompt=1; login OLD 25" << "";
        QTest::newRow("/scheme=?") << "/scheme=?" << "loop" << "prompt=1; login CHOSEN 25" << "";
        QTest::newRow("/scheme=") << "/scheme=" << "loop" << login << notCorrect.arg("scheme", "");
        // A name that would break Console.ini: the other switches still apply.
        QTest::newRow("/scheme=[X") << "/server=SRV /scheme=[X /home=3" << "loop" << "server=SRV; prompt=1; home=3; store=0; login ZANDRELL5 25"
                                    << notCorrect.arg("scheme", "[X");
        QTest::newRow("/shema=A]B") << "/shema=A]B" << "loop" << login << notCorrect.arg("shema", "A]B");
        // Languages: only the first /langid counts.
        QTest::newRow("langid 9") << "/langid=9 /langid=25" << "loop" << "prompt=1; login ZANDRELL5 9" << "";
        QTest::newRow("langid abc") << "/langid=abc /langid=9" << "loop" << login << notCorrect.arg("langid", "abc");
        QTest::newRow("/LANGID") << "/LANGID" << "loop" << login << notExtracted.arg("langid", "/LANGID");
    }
    void switches()
    {
        QFETCH(QString, args);
        QFETCH(QString, exitPath);
        QFETCH(QString, calls);
        QFETCH(QString, box);
        RecordingProgram p;
        p.schemeChoice = QStringLiteral("CHOSEN");
        QCOMPARE(p.Run(args.split(QLatin1Char(' '))), 0);
        QCOMPARE(p.ExitPath, exitPath);
        QCOMPARE(p.hooks.first(), QStringLiteral("init"));
        QCOMPARE(p.hooks.last(), QStringLiteral("final"));
        // The tool window of /home and /scheme, and of /scheme=?.
        const QString tool = args.endsWith(QLatin1String("=?")) ? QStringLiteral("scheme") : exitPath;
        QCOMPARE(p.hooks.contains("home") || p.hooks.contains("scheme"), tool == QLatin1String("home") || tool == QLatin1String("scheme"));
        QVERIFY(p.hooks.contains(tool) || tool == QLatin1String("help") || tool == QLatin1String("loop"));
        QCOMPARE(p.hooks.contains("dm"), !calls.isEmpty());
        QCOMPARE(p.dmLog.calls.join(QStringLiteral("; ")), calls);
        QCOMPARE(boxTexts(), box.isEmpty() ? QStringList() : QStringList{box});
        for (const RecordedBox &shown : dialogs->boxes) {
            QCOMPARE(shown.caption, QStringLiteral("Параметры"));
            QCOMPARE(shown.flags, unsigned(exitPath == QLatin1String("help") ? MB_ICONINFORMATION : MB_ICONERROR));
        }
    }

    void languageOfTheRun()
    {
        // The switch picks the language of the run, the updater gets it; a named scheme becomes the active one.
        RecordingProgram p;
        p.Run({"/langid=9", "/scheme=ABC"});
        QCOMPARE(p.LangIdText + p.LangName, QStringLiteral("9En"));
        QCOMPARE(p.hooks.at(1), QStringLiteral("updater 9"));
        QCOMPARE(GetActiveScheme(), QStringLiteral("ABC"));
        // The help in English, and a language file's help whose comma items become lines.
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        dialogs->clear();
        RecordingProgram english;
        english.Run({"/?"});
        QCOMPARE(dialogs->boxes.last().text, EnglishHelpText());
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Parameters"));
        dir->write(QStringLiteral("Res/En.ini"), "[WRD_HELP]\nrstr_HelpText=\"/? - help\",\"/home - homes\"\n");
        RecordingProgram fromFile;
        fromFile.Run({"/?"});
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("/? - help\r\n/home - homes\r\n"));
        // Back to the built-in Russian by the switch, though English is stored: no file needed.
        dialogs->clear();
        RecordingProgram russian;
        russian.Run({"/langid=25"});
        QCOMPARE(russian.LangIdText + russian.LangName, QStringLiteral("25Ru"));
        QVERIFY(LanguageFile() == nullptr);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void exitPathsAndCleanup()
    {
        const int before = ConsoleAtomCount();
        {
            RecordingProgram p;
            p.Run({"/disable_reconnect"});
            QCOMPARE(p.ExitPath, QStringLiteral("loop"));
            QCOMPARE(p.hooks.filter("main").first(), QStringLiteral("main ZANDRELL5 1"));
            QCOMPARE(p.dmLog.atomCountAtLogin, before + 1);
            QVERIFY(ConsoleDataModule() == nullptr);
        }
        QCOMPARE(ConsoleAtomCount(), before);
        {
            RecordingProgram p;
            p.dmLog.loginResult = false;
            p.Run({});
            QCOMPARE(p.ExitPath, QStringLiteral("login"));
            QVERIFY(p.hooks.filter("main").isEmpty());
            QVERIFY(dialogs->boxes.isEmpty());
        }
        {
            RecordingProgram p;
            p.dmLog.throwOnLogin = true;
            p.Run({});
            QCOMPARE(p.ExitPath, QStringLiteral("error"));
            QCOMPARE(dialogs->boxes.last().text, QStringLiteral("listener down"));
            QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Соединение с БД"));
            QCOMPARE(dialogs->boxes.last().flags, unsigned(MB_ICONERROR));
        }
        {
            // A failure in the parameter pass is shown and start-up goes on to the login.
            dialogs->clear();
            RecordingProgram p;
            p.dmLog.throwOnServer = true;
            p.Run({"/server=X"});
            QCOMPARE(dialogs->boxes.first().text, QStringLiteral("server refused"));
            QCOMPARE(dialogs->boxes.first().caption, QString());
            QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONINFORMATION));
            QCOMPARE(p.ExitPath, QStringLiteral("loop"));
        }
        QCOMPARE(ConsoleAtomCount(), before);
    }

    // No updater, a folder of its name, or one that cannot start: no wait; only the last is reported.
    void noUpdaterToRun()
    {
        QVERIFY(!LaunchAutoUpdate(25));
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("AutoUpdate")));
        QVERIFY(!LaunchAutoUpdate(25));
        QVERIFY(dialogs->boxes.isEmpty());
        QVERIFY(QDir(dir->path()).rmdir(QStringLiteral("AutoUpdate")));
        dir->write(QStringLiteral("AutoUpdate"), "not a program");
        QVERIFY(QFile::setPermissions(AutoUpdatePath(), QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(!LaunchAutoUpdate(25));
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].caption, LangText(QStringLiteral("rstrAutoUpdatingLaunching"), ConsoleText(ctAutoUpdateLaunch), tkWord));
        QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_ICONWARNING));
    }

    void answerOneClosesTheConsole()
    {
        TConsoleInfoServer server;
        QVERIFY(server.Listen());
        SetConsoleInfoServer(&server);
        installDouble("1");
        QVERIFY(LaunchAutoUpdate(9));
        QVERIFY(WaitAutoUpdateReply());
        QVERIFY(dialogs->boxes.isEmpty());
        // Where a window handle was: the console's server; then the current-process value and the language.
        QCOMPARE(updaterArguments(), (QStringList{server.ServerName(), QStringLiteral("-1"), QStringLiteral("9")}));
        // The server's own handler is back after the wait.
        QVERIFY(!server.OnUserMessage);
    }

    void noAnswerTimesOutAfterEightSeconds()
    {
        TConsoleInfoServer server;
        QVERIFY(server.Listen());
        SetConsoleInfoServer(&server);
        installDouble("never");
        QVERIFY(LaunchAutoUpdate(25));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!WaitAutoUpdateReply());
        QVERIFY2(timer.elapsed() >= 8000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].text, ConsoleText(ctWaitingTimeExpired));
        QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_ICONWARNING));
    }

    // The program block makes its own server for the run, and ends only when the updater asks.
    void programBlockClosesOnlyWhenAsked()
    {
        installDouble("1");
        RecordingProgram closing;
        closing.realUpdater = true;
        QCOMPARE(closing.Run({}), 0);
        QCOMPARE(closing.ExitPath, QStringLiteral("updater"));
        QVERIFY(!closing.hooks.contains("dm"));
        QCOMPARE(updaterArguments().value(1), QStringLiteral("-1"));
        QVERIFY(!ConsoleInfoServer());
        QFile::remove(logFile());
        qputenv("AUTOUPDATE_DOUBLE_ANSWER", "0");
        RecordingProgram goingOn;
        goingOn.realUpdater = true;
        goingOn.dmLog.loginResult = false;
        goingOn.Run({});
        QCOMPARE(goingOn.ExitPath, QStringLiteral("login"));
        QVERIFY(dialogs->boxes.isEmpty());
    }
};

QTEST_MAIN(TestStartupProgram)
#include "tst_StartupProgram.moc"
