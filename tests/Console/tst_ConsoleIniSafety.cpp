// Console.ini when things go wrong: a disk that fills up, a read-only
// installation, two consoles at once, scheme names that would break the file,
// and a change of scheme whose login fails.
#include "DMIMPL.h"
#include "KorConsoleProgram.h"
#include "MainConsoleIMPL.h"
#include "RecordingDialogService.h"
#include "ScratchMount.h"
#include "TestServer.h"
#include "uConsoleCfg.h"
#include "uMenu.h"
#include "uShemaForm.h"

#include <QElapsedTimer>
#include <QInputDialog>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

#include "TempExeDir.h"

namespace {

// A console start-up whose data module writes the connection as a real login does.
class StartupWithFakeLogin : public TKorConsoleProgram {
public:
    QStringList calls;

protected:
    void InitializeUnits() override {}
    void FinalizeUnits() override {}
    bool LaunchAutoUpdate(int) override { return false; }
    std::unique_ptr<IConsoleDataModule> CreateDataModule() override { return std::make_unique<DataModule>(calls); }
    void RunMainWindow(const QString &, bool) override { calls << QStringLiteral("main window"); }

private:
    class DataModule : public IConsoleDataModule {
    public:
        explicit DataModule(QStringList &calls) : calls(calls) {}
        QStringList &calls;
        void SetServer(const QString &v) override { calls << "server=" + v; }
        void SetUserName(const QString &v) override { calls << "user=" + v; }
        void SetPassword(const QString &) override {}
        void SetConnectPrompt(bool) override {}
        void SetHomeIndex(int v) override { calls << QStringLiteral("home=%1").arg(v); }
        void SetStoreLogInfo(bool) override {}
        bool Login(const QString &scheme, const QString &) override
        {
            calls << "login " + scheme;
            WriteServer(QStringLiteral("NEWSERVER"));
            WriteUser(QStringLiteral("NEWUSER"));
            WriteHome(2);
            return true;
        }
        bool LoggedIn() const override { return false; }
    };
};

QString notCorrect(const QString &name, const QString &value)
{
    return QStringLiteral("Параметр \"%1\"(%2) - не корректен").arg(name, value);
}

} // namespace

class TestConsoleIniSafety : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    QByteArray consoleIni() const { return dir->read(QStringLiteral("Console.ini")); }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const RecordedBox &box : dialogs->boxes)
            texts << box.text;
        return texts;
    }

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_ini_safety_" + QByteArray::number(getpid())); }
    void init()
    {
        dir = new TempExeDir;
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n");
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        TIniFile::SetWriteFaultForTests({});
        delete dialogs;
        delete dir;
    }

    void oneWarningForARunOfFailingWrites_data()
    {
        QTest::addColumn<int>("langId");
        QTest::addColumn<QString>("warning");
        QTest::newRow("Russian") << 25
                                 << "Настройки не сохранены в файле \"%1\": на диске нет места. "
                                    "Консоль продолжает работу с прочитанными настройками.";
        QTest::newRow("English") << 9
                                 << "The settings are not saved in the file \"%1\": the disk is full. "
                                    "The console goes on with the settings it has read.";
    }
    void oneWarningForARunOfFailingWrites()
    {
        QFETCH(int, langId);
        QFETCH(QString, warning);
        const QByteArray before = "[START]\nLangID=" + QByteArray::number(langId) + "\n[SCHEMES]\nOLD=1\n";
        dir->write(QStringLiteral("Console.ini"), before);
        const QString file = dir->filePath(QStringLiteral("Console.ini"));

        TIniFile::SetWriteFaultForTests({0, false});
        QVERIFY(!WriteServer(QStringLiteral("S1")));
        QVERIFY(!WriteUser(QStringLiteral("U1")));
        QVERIFY(!WriteHome(3));
        QVERIFY(!SetActiveScheme(QStringLiteral("NEW")));
        QVERIFY(!WriteFormTop(true));
        QCOMPARE(boxTexts(), QStringList{warning.arg(file)});
        QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONWARNING));
        QCOMPARE(consoleIni(), before);
        QCOMPARE(GetActiveScheme(), QStringLiteral("OLD"));

        // A write that gets through ends the run; the next failure is told again.
        TIniFile::SetWriteFaultForTests({});
        QVERIFY(WriteHome(3));
        TIniFile::SetWriteFaultForTests({-1, true});
        QVERIFY(!WriteFormTop(true));
        QCOMPARE(dialogs->boxes.size(), 2);
        QCOMPARE(ReadHome(), 3);
        QCOMPARE(ReadFormTop(), false);
    }

    void readOnlyInstallationStarts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("scheme");
        QTest::newRow("no switches: the default scheme") << QStringList() << "ZANDRELL5";
        QTest::newRow("/scheme= is used though not stored") << QStringList{"/scheme=ABC"} << "ABC";
    }
    void readOnlyInstallationStarts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, scheme);
        ScratchMount disk;
        QString folder = dir->path();
        if (geteuid() == 0) {
            if (!disk.Mount(64))
                QSKIP("root ignores file modes and no tmpfs can be mounted here");
            folder = disk.path();
        }
        // Console.ini without schemes: reading the active scheme has to write one.
        const QByteArray before = "[CONNECTION]\nserver=ZANDRELL\n";
        QFile ini(folder + QStringLiteral("/Console.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(before) == before.size());
        ini.close();
        QVERIFY(QDir(folder).mkpath(QStringLiteral("Res")));
        QFile::copy(dir->filePath(QStringLiteral("Res/Langs.ini")), folder + QStringLiteral("/Res/Langs.ini"));
        if (geteuid() == 0)
            QVERIFY(disk.MakeReadOnly());
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        SetExeDirForTests(folder);

        StartupWithFakeLogin program;
        program.Run(arguments);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetExeDirForTests(dir->path());
        QCOMPARE(program.ExitPath, QStringLiteral("loop"));
        QVERIFY(program.calls.contains("login " + scheme));
        QVERIFY(program.calls.contains(QStringLiteral("main window")));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes.first().text.contains(QStringLiteral("нет права на запись")),
                 qPrintable(dialogs->boxes.first().text));
        QCOMPARE(ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray(), before);
    }

    void twoConsolesSwitchSchemesAtOnce()
    {
        dir->write(QStringLiteral("Console.ini"), "[SCHEMES]\nZANDRELL5=1\nFIRST=0\nSECOND=0\n");
        const QString file = dir->filePath(QStringLiteral("Console.ini"));
        // One reading of the whole file, as a console starting at that moment sees it.
        auto activeSchemes = [&] {
            QStringList active;
            for (const QByteArray &line : dir->read(QStringLiteral("Console.ini")).split('\n'))
                if (line.endsWith("=1"))
                    active << QString::fromLatin1(line.chopped(2));
            return active;
        };
        const QString go = dir->filePath(QStringLiteral("go"));
        QList<QProcess *> consoles;
        for (const QString &scheme : {QStringLiteral("FIRST"), QStringLiteral("SECOND")}) {
            auto *console = new QProcess(this);
            console->start(QStringLiteral(CONSOLE_INI_HELPER), {dir->path(), scheme, QStringLiteral("40"), go});
            QVERIFY(console->waitForStarted());
            consoles << console;
        }
        QVERIFY(dir->write(QStringLiteral("go"), QByteArray()));
        // A console starting meanwhile must find exactly one active scheme, whenever it looks.
        QStringList seen;
        auto running = [&] {
            return std::any_of(consoles.cbegin(), consoles.cend(),
                               [](QProcess *console) { return console->state() != QProcess::NotRunning; });
        };
        QElapsedTimer timer;
        timer.start();
        while (running() && timer.elapsed() < 120000) {
            const QStringList active = activeSchemes();
            if (active.size() != 1)
                seen << active.join(QLatin1Char('+'));
            QCoreApplication::processEvents();
        }
        for (QProcess *console : consoles) {
            QCOMPARE(console->state(), QProcess::NotRunning);
            QCOMPARE(console->exitCode(), 0);
        }
        QCOMPARE(seen, QStringList());
        const QStringList active = activeSchemes();
        QCOMPARE(active.size(), 1);
        QVERIFY(active.first() == QLatin1String("FIRST") || active.first() == QLatin1String("SECOND"));
        QCOMPARE(TIniFile(file).ReadSection("SCHEMES").size(), 3);
    }

    void schemeSwitchWithANameThatBreaksTheFile_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("message");
        const QString tooLong(kMaxSchemeNameLength + 1, QLatin1Char('S'));
        QTest::newRow("empty") << "/scheme=" << notCorrect("scheme", "");
        QTest::newRow("section bracket") << "/scheme=[X" << notCorrect("scheme", "[X");
        QTest::newRow("comment") << "/scheme=;X" << notCorrect("scheme", ";X");
        QTest::newRow("closing bracket") << "/shema=A]B" << notCorrect("shema", "A]B");
        QTest::newRow("line feed") << "/scheme=A\nB" << notCorrect("scheme", "A\nB");
        QTest::newRow("carriage return") << "/scheme=A\rB" << notCorrect("scheme", "A\rB");
        QTest::newRow("129 characters") << "/scheme=" + tooLong << notCorrect("scheme", tooLong);
        QTest::newRow("128 characters are correct") << "/scheme=" + tooLong.left(kMaxSchemeNameLength) << QString();
    }
    void schemeSwitchWithANameThatBreaksTheFile()
    {
        QFETCH(QString, argument);
        QFETCH(QString, message);
        const QByteArray before = "[SCHEMES]\nOLD=1\n";
        dir->write(QStringLiteral("Console.ini"), before);
        StartupWithFakeLogin program;
        program.Run({QStringLiteral("/server=SRV"), argument, QStringLiteral("/home=3")});
        // The other switches still apply.
        QVERIFY(program.calls.contains(QStringLiteral("server=SRV")));
        QVERIFY(program.calls.contains(QStringLiteral("home=3")));
        if (message.isEmpty()) {
            const QString name = argument.mid(argument.indexOf(QLatin1Char('=')) + 1);
            QVERIFY(dialogs->boxes.isEmpty());
            QVERIFY(program.calls.contains("login " + name));
            QCOMPARE(GetActiveScheme(), name);
            return;
        }
        QCOMPARE(boxTexts(), QStringList{message});
        QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONERROR));
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Параметры"));
        QVERIFY(program.calls.contains(QStringLiteral("login OLD")));
        QCOMPARE(TIniFile(dir->filePath(QStringLiteral("Console.ini"))).ReadSection("SCHEMES"), QStringList{"OLD"});
    }

    void newSchemeInTheWindow_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString tooLong(kMaxSchemeNameLength + 1, QLatin1Char('S'));
        QTest::newRow("empty") << "  " << notCorrect("Название", "");
        QTest::newRow("section bracket") << "[X" << notCorrect("Название", "[X");
        QTest::newRow("comment") << ";X" << notCorrect("Название", ";X");
        QTest::newRow("closing bracket") << "A]B" << notCorrect("Название", "A]B");
        QTest::newRow("equals sign") << "A=B" << notCorrect("Название", "A=B");
        QTest::newRow("line break") << "A\nB" << notCorrect("Название", "A\nB");
        QTest::newRow("129 characters") << tooLong << notCorrect("Название", tooLong);
        // The active scheme added again stays active and listed once.
        QTest::newRow("the active scheme again") << "zandrell5" << QString();
    }
    void newSchemeInTheWindow()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const QByteArray before = "[SCHEMES]\nZANDRELL5=1\nTARVEL=0\n";
        dir->write(QStringLiteral("Console.ini"), before);
        TShemaForm form;
        form.show();
        dialogs->onModal = [&](QDialog *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            if (!input)
                return int(QDialog::Rejected);
            input->setTextValue(typed);
            return int(QDialog::Accepted);
        };
        form.NewScheme();
        QCOMPARE(boxTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(consoleIni(), before);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 2);
        QCOMPARE(GetActiveScheme(), QStringLiteral("ZANDRELL5"));
    }

    void storedActiveSchemeThatIsNotCorrect_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("refused");
        const QString tooLong(kMaxSchemeNameLength + 1, QLatin1Char('S'));
        QTest::newRow("the only active one: the default takes over")
            << QByteArray("[SCHEMES]\nA]B=1\nGOOD=0\n") << "ZANDRELL5" << "A]B";
        QTest::newRow("the next active one counts")
            << QByteArray("[SCHEMES]\n" + tooLong.toLatin1() + "=1\nGOOD=1\n") << "GOOD" << tooLong;
    }
    void storedActiveSchemeThatIsNotCorrect()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, active);
        QFETCH(QString, refused);
        dir->write(QStringLiteral("Console.ini"), file);
        QCOMPARE(GetActiveScheme(), active);
        QCOMPARE(GetActiveScheme(), active);
        QCOMPARE(boxTexts(), QStringList{notCorrect("scheme", refused)});
        QCOMPARE(TIniFile(dir->filePath(QStringLiteral("Console.ini"))).ReadString("SCHEMES", active, "missing"),
                 QStringLiteral("1"));
    }

    void failedChangeOfSchemeKeepsThePreviousActive()
    {
        TestServer::BuildTemplate();
        TestServer server;
        dir->write(QStringLiteral("Console.ini"), "[SCHEMES]\nZANDRELL5=1\nTARVEL=0\n");
        QDir().mkpath(dir->filePath(QStringLiteral("Plugins")));
        const auto showFailed = TMenuCfg::ShowFailed;
        TMenuCfg::ShowFailed = [](const TBaseServiceList &) {};
        TDM dm;
        SetConsoleDataModule(&dm);
        dm.SetServer(QStringLiteral("ZANDRELL"));
        dm.SetUserName(QStringLiteral("ZL_USER"));
        dm.SetPassword(QStringLiteral("demo"));
        dm.SetConnectPrompt(false);
        QVERIFY(dm.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        {
            TfmMain main;
            main.SchemeName = QStringLiteral("ZANDRELL5");
            main.PreviousScheme = main.SchemeName;
            main.InitConfiguration();
            // TARVEL has no users: its login fails and the console goes back to ZANDRELL5.
            dialogs->onModal = [](QDialog *dialog) {
                if (auto *schemes = qobject_cast<TShemaForm *>(dialog)) {
                    schemes->show();
                    schemes->tvSchemeList->setCurrentItem(schemes->tvSchemeList->topLevelItem(0)->child(1));
                    schemes->ActivateSelectedScheme();
                    return schemes->result();
                }
                return int(QDialog::Accepted);
            };
            main.acShemaCfg->trigger();
            QCOMPARE(main.SchemeName, QStringLiteral("ZANDRELL5"));
        }
        SetConsoleDataModule(nullptr);
        TMenuCfg::ShowFailed = showFailed;
        QVERIFY(boxTexts().join('\n').contains(QStringLiteral("не зарегистрирован")));
        TIniFile ini(dir->filePath(QStringLiteral("Console.ini")));
        QCOMPARE(ini.ReadString("SCHEMES", "ZANDRELL5", "missing"), QStringLiteral("1"));
        QCOMPARE(ini.ReadString("SCHEMES", "TARVEL", "missing"), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestConsoleIniSafety)
#include "tst_ConsoleIniSafety.moc"
