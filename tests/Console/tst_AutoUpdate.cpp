// The updater launch: no updater, one that cannot start, and the double
// answering 1, 0 or never; then the program block's step with the real hooks.
#include "KorConsoleProgram.h"
#include "RecordingDialogService.h"
#include "uAutoUpdate.h"
#include "uConsoleCfg.h"
#include "uConsoleDM.h"
#include "uConsoleFunctions.h"
#include "uConsoleInfo.h"

#include "TempExeDir.h"

#include <QElapsedTimer>
#include <QTest>

#include <unistd.h>

namespace {

QString LaunchCaption()
{
    return LangText(QStringLiteral("rstrAutoUpdatingLaunching"), ConsoleText(ctAutoUpdateLaunch), tkWord);
}

// Logs in without a database and records whether the start-up got that far.
class NullDataModule : public IConsoleDataModule {
public:
    void SetServer(const QString &) override {}
    void SetUserName(const QString &) override {}
    void SetPassword(const QString &) override {}
    void SetConnectPrompt(bool) override {}
    void SetHomeIndex(int) override {}
    void SetStoreLogInfo(bool) override {}
    bool Login(const QString &, const QString &) override { return false; }
    bool LoggedIn() const override { return false; }
};

// The program block with the real updater hooks and nothing else of the outside.
class UpdaterProgram : public TKorConsoleProgram {
public:
    bool dataModuleCreated = false;

protected:
    void InitializeUnits() override {}
    void FinalizeUnits() override { CloseConsoleIni(); }
    std::unique_ptr<IConsoleDataModule> CreateDataModule() override
    {
        dataModuleCreated = true;
        return std::make_unique<NullDataModule>();
    }
    void RunMainWindow(const QString &, bool) override {}
};

} // namespace

class TestAutoUpdate : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;
    TConsoleInfoServer *server = nullptr;

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

private slots:
    void initTestCase() { qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_test_updater_" + QByteArray::number(getpid())); }
    void init()
    {
        dir = new TempExeDir;
        dialogs = new RecordingDialogService;
        server = new TConsoleInfoServer;
        QVERIFY(server->Listen());
        SetConsoleInfoServer(server);
    }
    void cleanup()
    {
        delete server;
        delete dialogs;
        CloseConsoleIni();
        delete dir;
        qunsetenv("AUTOUPDATE_DOUBLE_ANSWER");
        qunsetenv("AUTOUPDATE_DOUBLE_LOG");
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
        QCOMPARE(dialogs->boxes[0].caption, LaunchCaption());
        QCOMPARE(dialogs->boxes[0].flags, unsigned(MB_ICONWARNING));
    }

    void answerOneClosesTheConsole()
    {
        installDouble("1");
        QVERIFY(LaunchAutoUpdate(9));
        QVERIFY(WaitAutoUpdateReply());
        QVERIFY(dialogs->boxes.isEmpty());
        // Where a window handle was: the console's server; then the current-process value and the language.
        QCOMPARE(updaterArguments(), (QStringList{server->ServerName(), QStringLiteral("-1"), QStringLiteral("9")}));
        // The server's own handler is back after the wait.
        QVERIFY(!server->OnUserMessage);
    }

    void noAnswerTimesOutAfterEightSeconds()
    {
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

    void programBlockClosesOnlyWhenAsked()
    {
        // The program block makes its own server for the run.
        delete server;
        server = nullptr;
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n9=En\n");

        installDouble("1");
        UpdaterProgram closing;
        QCOMPARE(closing.Run({}), 0);
        QCOMPARE(closing.ExitPath, QStringLiteral("updater"));
        QVERIFY(!closing.dataModuleCreated);
        QCOMPARE(updaterArguments().value(1), QStringLiteral("-1"));
        QVERIFY(!ConsoleInfoServer());

        QFile::remove(logFile());
        qputenv("AUTOUPDATE_DOUBLE_ANSWER", "0");
        UpdaterProgram goingOn;
        goingOn.Run({});
        QCOMPARE(goingOn.ExitPath, QStringLiteral("login"));
        QVERIFY(goingOn.dataModuleCreated);
        QVERIFY(dialogs->boxes.isEmpty());
    }
};

QTEST_MAIN(TestAutoUpdate)
#include "tst_AutoUpdate.moc"
