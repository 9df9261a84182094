// Real consoles started unattended from a copy of the installation: the mark
// that counts them after some are killed, the local servers that another
// program finds, the ways a console ends, and its command line as ps shows it.
#include "InstallationCopy.h"
#include "IniFile.h"
#include "uAtom.h"
#include "uCommandLine.h"
#include "uConsoleLink.h"

#include <QElapsedTimer>
#include <QTest>

#include <csignal>

namespace {

// A console that runs until it is told to quit, killed or signalled.
class RunningConsole {
public:
    RunningConsole(const InstallationCopy &dist, const QString &user, const QString &password = QStringLiteral("demo"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dist.path());
        process.start(dist.program(),
                      {QStringLiteral("/server=ZANDRELL"), QStringLiteral("/user=") + user, QStringLiteral("/password=") + password});
    }
    ~RunningConsole()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // Waits until the console has logged in and built its window.
    bool WaitReady()
    {
        QElapsedTimer timer;
        timer.start();
        while (!output.contains("READY\n") && timer.elapsed() < 60000 && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(200);
            output += process.readAllStandardOutput();
        }
        return output.contains("READY\n");
    }
    bool WaitEnd()
    {
        process.closeWriteChannel();
        return process.waitForFinished(30000);
    }
    qint64 Pid() const { return process.processId(); }

    QProcess process;
    QByteArray output;
};

QStringList folderEntries()
{
    return QDir(ConsoleRuntimeDir()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

QStringList filesOf(qint64 pid) { return {QStringLiteral("%1.lock").arg(pid), QStringLiteral("%1.sock").arg(pid)}; }

} // namespace

class TestConsoleProcesses : public QObject {
    Q_OBJECT

    InstallationCopy *dist = nullptr;
    int folders = 0;

private slots:
    void initTestCase()
    {
        dist = new InstallationCopy;
        QVERIFY(dist->isValid());
    }
    void cleanupTestCase() { delete dist; }
    // Every test meets only its own consoles.
    void init() { qputenv("ZANDRELL_ATOM_NAME", QByteArray("LUM_ATOM_processes_") + QByteArray::number(getpid()) + '_' + QByteArray::number(++folders)); }

    void killedConsolesAreNotCounted()
    {
        RunningConsole first(*dist, QStringLiteral("ZL_USER"));
        RunningConsole second(*dist, QStringLiteral("OPERATOR"));
        RunningConsole third(*dist, QStringLiteral("ZL_USER"));
        for (RunningConsole *c : {&first, &second, &third})
            QVERIFY(c->WaitReady());
        QCOMPARE(AtomExists(), 3);
        for (RunningConsole *c : {&first, &third}) {
            c->process.kill();
            QVERIFY(c->process.waitForFinished());
        }
        QCOMPARE(AtomExists(), 1);
        // Counting cleared what the killed ones left.
        QCOMPARE(folderEntries(), filesOf(second.Pid()));
        second.process.write("quit\n");
        QVERIFY(second.WaitEnd());
        QCOMPARE(AtomExists(), 0);
        QCOMPARE(folderEntries(), QStringList());
    }

    void filesOfAKilledConsoleGoAtTheNextStart()
    {
        qint64 killedPid = 0;
        {
            RunningConsole killed(*dist, QStringLiteral("ZL_USER"));
            QVERIFY(killed.WaitReady());
            killedPid = killed.Pid();
            killed.process.kill();
            QVERIFY(killed.process.waitForFinished());
        }
        QCOMPARE(folderEntries(), filesOf(killedPid));
        RunningConsole next(*dist, QStringLiteral("OPERATOR"));
        QVERIFY(next.WaitReady());
        QCOMPARE(folderEntries(), filesOf(next.Pid()));
    }

    void signalsEndTheConsoleAsExitDoes_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalsEndTheConsoleAsExitDoes()
    {
        QFETCH(int, signalNumber);
        dist->write(QStringLiteral("Console.ini"), "[SCHEMES]\nZANDRELL5=1\n");
        RunningConsole console(*dist, QStringLiteral("ZL_USER"));
        QVERIFY(console.WaitReady());
        QCOMPARE(AtomExists(), 1);
        QCOMPARE(::kill(pid_t(console.Pid()), signalNumber), 0);
        QVERIFY(console.process.waitForFinished(30000));
        QCOMPARE(console.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.process.exitCode(), 0);
        // The language id was saved, the mark and the local server are gone.
        QCOMPARE(TIniFile(dist->path(QStringLiteral("Console.ini"))).ReadInteger(QStringLiteral("START"), QStringLiteral("LangID"), -1),
                 25);
        QCOMPARE(folderEntries(), QStringList());
        QCOMPARE(AtomExists(), 0);
    }

    void everyConsoleIsFoundFromAnotherProgram()
    {
        RunningConsole admin(*dist, QStringLiteral("ZL_USER"));
        RunningConsole operatorConsole(*dist, QStringLiteral("OPERATOR"));
        QVERIFY(admin.WaitReady());
        QVERIFY(operatorConsole.WaitReady());
        QProcess finder;
        finder.start(QStringLiteral(CONSOLE_FINDER));
        QVERIFY(finder.waitForFinished(30000));
        QStringList lines = QString::fromUtf8(finder.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        QCOMPARE(lines, (QStringList{"CONSOLE 12345678|KorConsole|ZANDRELL5|ZANDRELL|OPERATOR",
                                     "CONSOLE 12345678|KorConsole|ZANDRELL5|ZANDRELL|ZL_USER"}));
    }

    void passwordLeavesTheCommandLine()
    {
        RunningConsole console(*dist, QStringLiteral("ZL_USER"), QStringLiteral("demo"));
        QVERIFY(console.WaitReady());
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(console.Pid()));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        const QByteArray raw = cmdline.readAll();
        QVERIFY(!raw.contains("demo"));
        QList<QByteArray> arguments = raw.split('\0');
        arguments.removeAll(QByteArray());
        QCOMPARE(arguments.mid(1), (QList<QByteArray>{"/server=ZANDRELL", "/user=ZL_USER", "/password=***"}));
    }

    void maskedArguments_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("password") << QByteArray("/password=demo") << QByteArray("/password=***");
        QTest::newRow("any case") << QByteArray("/PassWord=Long secret") << QByteArray("/PassWord=***");
        QTest::newRow("equals signs inside") << QByteArray("/password=a=b=c") << QByteArray("/password=***");
        QTest::newRow("short value") << QByteArray("/password=ab") << QByteArray("/password=**");
        QTest::newRow("no value") << QByteArray("/password=") << QByteArray("/password=");
        QTest::newRow("no equals sign") << QByteArray("/password") << QByteArray("/password");
        QTest::newRow("other switch") << QByteArray("/user=demo") << QByteArray("/user=demo");
    }
    void maskedArguments()
    {
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, shown);
        QCOMPARE(TProcessCommandLine::MaskedArgument(argument), shown);
    }

    void argumentBlockClosesUpAndTheArrayFollows()
    {
        // The block as the system lays it out; the array after the application took "-platform x" out.
        char block[] = "KorConsole\0-platform\0x\0/password=secret\0/user=U";
        const int size = int(sizeof block);
        char *argv[] = {block, block + 11, block + 21, block + 23, block + 40, nullptr};
        const TProcessCommandLine commandLine(5, argv);
        char *remaining[] = {argv[0], argv[3], argv[4], nullptr};
        commandLine.HidePasswords(3, remaining);
        QCOMPARE(QByteArray(block, size), QByteArray("KorConsole\0-platform\0x\0/password=***\0/user=U\0\0\0\0\0", size));
        QCOMPARE(QByteArray(remaining[1]), QByteArray("/password=***"));
        QCOMPARE(QByteArray(remaining[2]), QByteArray("/user=U"));
    }
};

QTEST_GUILESS_MAIN(TestConsoleProcesses)
#include "tst_ConsoleProcesses.moc"
