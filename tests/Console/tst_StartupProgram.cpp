// The program block: its steps in order, the switch table, the tool modes and
// every exit path through the outer clean-up.
#include "Exceptions.h"
#include "KorConsoleProgram.h"
#include "RecordingDialogService.h"
#include "uAtom.h"
#include "uConsoleCfg.h"
#include "uConsoleDM.h"

#include <QDir>
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

protected:
    void InitializeUnits() override { hooks << "init"; }
    void FinalizeUnits() override { hooks << "final"; }
    bool LaunchAutoUpdate(int langId) override
    {
        hooks << QStringLiteral("updater %1").arg(langId);
        return false;
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
        delete dir;
    }

    void helpOnlyWhenAloneAndExact()
    {
        {
            RecordingProgram p;
            QCOMPARE(p.Run({"/?"}), 0);
            QCOMPARE(p.ExitPath, QStringLiteral("help"));
            QCOMPARE(dialogs->boxes.size(), 1);
            QCOMPARE(dialogs->boxes.first().text, RussianHelpText());
            QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Параметры"));
            QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONINFORMATION));
            QVERIFY(!p.hooks.contains("dm"));
            QCOMPARE(p.hooks.first(), QStringLiteral("init"));
            QCOMPARE(p.hooks.last(), QStringLiteral("final"));
        }
        {
            RecordingProgram p;
            p.Run({"/help"});
            QCOMPARE(p.ExitPath, QStringLiteral("help"));
        }
        for (const QStringList &args : {QStringList{"/?", "/user=x"}, QStringList{"/HELP"}, QStringList{"/? "}}) {
            dialogs->clear();
            RecordingProgram p;
            p.Run(args);
            QCOMPARE(p.ExitPath, QStringLiteral("loop"));
            QVERIFY(p.hooks.contains("dm"));
        }
    }

    void helpTextLineByLine()
    {
        const QStringList ru = RussianHelpText().split(QStringLiteral("\r\n"));
        QCOMPARE(ru.size(), 9);
        QCOMPARE(ru.at(0), QStringLiteral("</?> - Справка по параметрам;"));
        QCOMPARE(ru.at(3), QStringLiteral("</scheme=?> - Диалог установки схемы и загрузка;"));
        QCOMPARE(ru.at(7), QString());
        QCOMPARE(ru.at(8), QStringLiteral("Порядок и количество параметров не важны."));
        const QStringList en = EnglishHelpText().split(QStringLiteral("\r\n"));
        QCOMPARE(en.size(), 9);
        QCOMPARE(en.at(1), QStringLiteral("</home> - 'Oracle Home' setting and exit;"));
        QCOMPARE(en.at(6), QStringLiteral("<[/home=xxx] [/scheme=xxx] [/server=xxx] [/user=xxx] [/password=xxx] "
                                          "[/disable_reconnect] [/langid=xxx]> - Loading with parameters."));
        QCOMPARE(en.at(8), QStringLiteral("The order and amount of parameters is not Important."));

        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        RecordingProgram p;
        p.Run({"/?"});
        QCOMPARE(dialogs->boxes.last().text, EnglishHelpText());
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Parameters"));

        // A language file's help text: its comma items become lines.
        dialogs->clear();
        dir->write(QStringLiteral("Res/En.ini"), "[WRD_HELP]\nrstr_HelpText=\"/? - help\",\"/home - homes\"\n");
        RecordingProgram q;
        q.Run({"/?"});
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("/? - help\r\n/home - homes\r\n"));
    }

    void toolModes()
    {
        {
            RecordingProgram p;
            p.Run({"/home"});
            QCOMPARE(p.ExitPath, QStringLiteral("home"));
            QVERIFY(p.hooks.contains("home"));
            QVERIFY(!p.hooks.contains("dm"));
        }
        {
            // Another case is no tool: /HOME is then a switch without "=".
            RecordingProgram p;
            p.Run({"/HOME"});
            QCOMPARE(p.ExitPath, QStringLiteral("loop"));
            QVERIFY(!p.hooks.contains("home"));
            QCOMPARE(boxTexts(), QStringList{"Параметр \"home\" не извлечен из строки \"/HOME\""});
        }
        for (const QString &arg : {QStringLiteral("/SCHEME"), QStringLiteral("/scheme"), QStringLiteral("/Shema")}) {
            RecordingProgram p;
            p.Run({arg});
            QCOMPARE(p.ExitPath, QStringLiteral("scheme"));
            QVERIFY(!p.hooks.contains("dm"));
        }
        {
            // /home with another argument fails extraction and start-up continues.
            dialogs->clear();
            RecordingProgram p;
            p.Run({"/home", "/user=u"});
            QCOMPARE(p.ExitPath, QStringLiteral("loop"));
            QCOMPARE(boxTexts(), QStringList{"Параметр \"home\" не извлечен из строки \"/home\""});
            QVERIFY(!p.dmLog.calls.join(' ').contains("home="));
        }
    }

    void homeValues_data()
    {
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("reported");
        QTest::newRow("6") << "/home=6" << "home=6" << false;
        QTest::newRow("0") << "/home=0" << "home=0" << false;
        QTest::newRow("7") << "/home=7" << "home=0" << true;
        QTest::newRow("10") << "/home=10" << "home=0" << true;
        QTest::newRow("empty") << "/home=" << "home=0" << true;
        QTest::newRow("minus one is absent") << "/home=-1" << "" << false;
    }
    void homeValues()
    {
        QFETCH(QString, arg);
        QFETCH(QString, call);
        QFETCH(bool, reported);
        RecordingProgram p;
        p.Run({arg});
        const QStringList homeCalls = p.dmLog.calls.filter(QStringLiteral("home="));
        QCOMPARE(homeCalls, call.isEmpty() ? QStringList() : QStringList{call});
        QCOMPARE(dialogs->boxes.size(), reported ? 1 : 0);
        if (reported) {
            QCOMPARE(dialogs->boxes.first().text,
                     QStringLiteral("Параметр \"Oracle Home\"(%1) - не корректен").arg(arg.mid(6)));
            QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONERROR));
            QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Параметры"));
        }
    }

    void connectionSwitches()
    {
        {
            RecordingProgram p;
            p.Run({"/server=a=b", "/user=u1", "/password=secret", "/user=u2"});
            QCOMPARE(p.dmLog.calls, (QStringList{"server=b", "user=u2", "password=secret", "prompt=0", "store=0",
                                                 "login ZANDRELL5 25"}));
        }
        {
            // One value missing: the dialog is shown, pre-filled with what was given.
            RecordingProgram p;
            p.Run({"/server=S", "/user=U"});
            QCOMPARE(p.dmLog.calls, (QStringList{"server=S", "user=U", "prompt=1", "store=0", "login ZANDRELL5 25"}));
        }
        {
            // "-1" is the marker of a value not given.
            RecordingProgram p;
            p.Run({"/user=-1", "/password=pw"});
            QCOMPARE(p.dmLog.calls, (QStringList{"password=pw", "prompt=1", "login ZANDRELL5 25"}));
        }
        {
            RecordingProgram p;
            p.Run({"/user"});
            QCOMPARE(p.dmLog.calls, (QStringList{"prompt=1", "login ZANDRELL5 25"}));
            QCOMPARE(boxTexts().last(), QStringLiteral("Параметр \"user\" не извлечен из строки \"/user\""));
        }
    }

    void schemeSwitches()
    {
        {
            RecordingProgram p;
            p.Run({"/scheme=ABC"});
            QCOMPARE(p.dmLog.calls.last(), QStringLiteral("login ABC 25"));
            QCOMPARE(GetActiveScheme(), QStringLiteral("ABC"));
        }
        {
            RecordingProgram p;
            p.Run({"/shema=OLD"});
            QCOMPARE(p.dmLog.calls.last(), QStringLiteral("login OLD 25"));
        }
        {
            // /scheme=? continues with the window's choice.
            RecordingProgram p;
            p.schemeChoice = QStringLiteral("CHOSEN");
            p.Run({"/scheme=?"});
            QVERIFY(p.hooks.contains("scheme"));
            QCOMPARE(p.dmLog.calls.last(), QStringLiteral("login CHOSEN 25"));
        }
        {
            // An empty scheme name is reported and the active scheme stays.
            dialogs->clear();
            RecordingProgram p;
            p.Run({"/scheme="});
            QCOMPARE(p.dmLog.calls.last(), QStringLiteral("login CHOSEN 25"));
            QCOMPARE(boxTexts(), QStringList{"Параметр \"scheme\"() - не корректен"});
        }
    }

    void languageSwitches()
    {
        {
            RecordingProgram p;
            p.Run({"/langid=9", "/langid=25"});
            QCOMPARE(p.LangIdText, QStringLiteral("9"));
            QCOMPARE(p.LangName, QStringLiteral("En"));
            QCOMPARE(p.dmLog.calls.last(), QStringLiteral("login ZANDRELL5 9"));
            QCOMPARE(p.hooks.at(1), QStringLiteral("updater 9"));
        }
        {
            dialogs->clear();
            RecordingProgram p;
            p.Run({"/langid=abc", "/langid=9"});
            QCOMPARE(p.LangIdText, QStringLiteral("25"));
            QCOMPARE(boxTexts(), QStringList{"Параметр \"langid\"(abc) - не корректен"});
        }
        {
            dialogs->clear();
            RecordingProgram p;
            p.Run({"/LANGID"});
            QCOMPARE(p.LangIdText, QStringLiteral("25"));
            QCOMPARE(boxTexts(), QStringList{"Параметр \"langid\" не извлечен из строки \"/LANGID\""});
        }
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

    void extractParamValue()
    {
        QString value = QStringLiteral("untouched");
        QVERIFY(!ExtractParamValue(QStringLiteral("/server"), value));
        QCOMPARE(value, QStringLiteral("untouched"));
        QVERIFY(ExtractParamValue(QStringLiteral("/server=a=b"), value));
        QCOMPARE(value, QStringLiteral("b"));
        QVERIFY(ExtractParamValue(QStringLiteral("/server="), value));
        QCOMPARE(value, QString());
    }
};

QTEST_MAIN(TestStartupProgram)
#include "tst_StartupProgram.moc"
