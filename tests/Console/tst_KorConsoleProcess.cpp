// The real program, started unattended from a copy of the installation (help, tool
// mode, a refused login, killed and signalled consoles found by another program, a
// module that ends the console, a module file registered in the menu editor), and
// what those flows rest on: the information protocol, a server that outlives idle
// requesters and a process without free descriptors, masked passwords.
#include "Console/uAtom.h"
#include "Console/uCommandLine.h"
#include "Console/uConsoleInfo.h"
#include "Core/DialogService.h"
#include "Core/IniFile.h"
#include "Source/ComUnits/uConsoleLink.h"
#include "tests/common/InstallationCopy.h"
#include "tests/common/TestServer.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A console that runs until it is told to quit, killed or signalled.
struct RunningConsole {
    RunningConsole(const InstallationCopy &dist, const QString &user)
    {
        dist.start(process, InstallationCopy::login(user));
    }
    ~RunningConsole() { Kill(); }
    // Waits until the console has logged in, built its window and written its dump (CAPTION ends it).
    bool WaitReady()
    {
        auto dumped = [this] {
            const qsizetype caption = output.indexOf("\nCAPTION ", output.indexOf("READY\n"));
            return output.contains("READY\n") && caption >= 0 && output.indexOf('\n', caption + 1) >= 0;
        };
        while (!dumped() && process.waitForReadyRead(60000))
            output += process.readAllStandardOutput();
        return dumped();
    }
    void Kill()
    {
        process.kill();
        process.waitForFinished();
    }
    qint64 Pid() const { return process.processId(); }

    QProcess process;
    QByteArray output;
};

QStringList runtimeFiles()
{
    return QDir(ConsoleRuntimeDir()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

QStringList filesOf(std::initializer_list<qint64> pids)
{
    QStringList files;
    for (qint64 pid : pids)
        files << u"%1.lock"_s.arg(pid) << u"%1.sock"_s.arg(pid);
    files.sort();
    return files;
}

// The menu lines written after the n-th READY (from 1).
QStringList menuAfterReady(const QStringList &lines, int n)
{
    QStringList menu;
    int seen = 0;
    for (const QString &line : lines) {
        if (line == QLatin1String("READY"))
            ++seen;
        else if (seen == n && line.startsWith(QLatin1String("MENU ")))
            menu << line;
    }
    return menu;
}

// The service of the fault module (tests/Modules, TM_FAULT) in the demo menus of a copy.
bool addFaultService(const InstallationCopy &dist)
{
    if (!QFile::copy(QStringLiteral(TEST_MODULE_DIR "/tmFault.so"), dist.path(u"tmFault.so"_s)))
        return false;
    SetServersIniPath(dist.path(u"Servers.ini"_s));
    const auto session = ConnectTo(u"ZANDRELL"_s);
    session->ExecSQL(u"INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
                     "VALUES (900, 'Сбойный сервис', 'tmFault.so', '{TM-SERVICE-1}', 0, 0)"_s);
    session->ExecSQL(
        u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
        "VALUES (900, 1, 4, 0, NULL, 900, '1', 90), (901, 2, 8, 0, NULL, 900, '1', 90)"_s);
    session->Commit();
    SetServersIniPath(QString());
    return true;
}

// A requester inside this process, so that it can stall or write byte by byte.
class RawRequester {
public:
    explicit RawRequester(const QString &server)
    {
        socket.connectToServer(server);
        socket.waitForConnected(5000);
    }
    void Send(int message, qint32 value, int chunk)
    {
        const QByteArray bytes = ConsoleFrames::Frame(
            ConsoleFrames::Payload(message, QStringLiteral("raw"), [value](QDataStream &o) { o << value; }));
        for (qsizetype at = 0; at < bytes.size(); at += chunk) {
            socket.write(bytes.mid(at, chunk));
            socket.flush();
            QTest::qWait(5); // the console's loop runs between the pieces
        }
    }
    // The next frame's message and first number, or -1 when none came in time.
    QPair<int, qint32> Next(int timeoutMs = 5000)
    {
        QByteArray payload;
        bool tooLarge = false;
        (void)QTest::qWaitFor(
            [&] {
                buffer += socket.readAll();
                return ConsoleFrames::TakeFrame(buffer, payload, &tooLarge);
            },
            timeoutMs);
        if (payload.isEmpty())
            return {-1, 0};
        QDataStream in(payload);
        qint32 message = 0, value = 0;
        QString sender;
        in >> message >> sender >> value;
        return {message, value};
    }
    QLocalSocket socket;
    QByteArray buffer;
};

} // namespace

class TestKorConsoleProcess : public QObject {
    Q_OBJECT

    InstallationCopy *dist = nullptr;
    int tests = 0;

    // Runs the requester of another process while this one keeps serving.
    QStringList request(const QString &console, const QString &own, int code, int infoAnswer = 0, int sessionAnswer = 0)
    {
        QProcess process;
        process.start(
            QStringLiteral(CONSOLE_INFO_REQUESTER),
            {console, own, QString::number(code), QString::number(infoAnswer), QString::number(sessionAnswer)});
        (void)QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000);
        return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // A console's local server with its answers, in this process.
    static std::unique_ptr<TConsoleInfoServer> infoServer()
    {
        auto server = std::make_unique<TConsoleInfoServer>();
        server->Listen();
        server->VersionInfo = [] {
            return TConsoleVersionInfo{u"KorConsole"_s, {}, u"5.0.0.1"_s, {}, {}, u"Консоль"_s};
        };
        server->SessionInfo = [] { return TConsoleSessionInfo{u"ZANDRELL5"_s, u"ZANDRELL"_s, u"ZL_USER"_s, 2}; };
        return server;
    }

private slots:
    void initTestCase()
    {
        dist = new InstallationCopy;
        QVERIFY(dist->isValid());
    }
    void cleanupTestCase() { delete dist; }
    // Every test meets only its own consoles.
    void init()
    {
        qputenv("ZANDRELL_ATOM_NAME",
                "LUM_ATOM_proc_" + QByteArray::number(getpid()) + '_' + QByteArray::number(++tests));
    }

    void helpWithoutTheOptionalFiles()
    {
        InstallationCopy bare;
        QFile::remove(bare.path(u"ComformLibs.so"_s));
        QFile::remove(bare.path(u"Res/Langs.ini"_s));
        const auto result = bare.run({"/?"});
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.size(), 3);
        QVERIFY(result.lines.at(0).endsWith(u"ComformLibs.so library is not found"_s));
        QVERIFY(result.lines.at(1).endsWith(u"/Res/Langs.ini\" не найден"_s));
        QVERIFY(result.lines.at(2).startsWith(u"MSGBOX 64|Параметры|</?> - Справка по параметрам;\\n"_s));
    }

    // An administrator registers a module file's service and puts it into a group with one right ticked
    // (the journey of such a change to the users is the acceptance suite's).
    void menuEditorRegistersAndPlacesAService()
    {
        InstallationCopy own;
        QFile::remove(own.path(u"InvoicePayments.so"_s)); // Invoices.so is the one module to register
        const auto result =
            own.run(InstallationCopy::login(u"ZL_USER"_s),
                    "click Файл/Настройка меню\nselect pcMain Список сервисов\naction acAddSrv\ndump\nok\n"
                    "select pcMain Конфигурация меню\nselect tvMenu Конфигурация меню/Документы\n"
                    "action acAddService\ndump\ncheck DBGrid1 #1\ncheck RightList #2\nok\n"
                    "select tvMenu Конфигурация меню/Документы/Счета\ndump\n"
                    "reply 7\nclick btnClose\nquit\n");
        QVERIFY(result.finished);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.lines.filter(QRegularExpression(u"^(NOTFOUND|DISABLED|ERROR)"_s)), QStringList());
        // The service registered is offered; the choice shows only the columns it names.
        QVERIFY(result.lines.contains(u"CLOSED TLoader 1"_s));
        QVERIFY(result.lines.contains(u"ROW DBGrid1 1 0||Счета|Invoices.so"_s));
    }

    void refusedLoginEnds()
    {
        const auto locked = dist->run(InstallationCopy::login(u"LOCKED"_s));
        QCOMPARE(locked.exitCode, 0);
        QCOMPARE(locked.lines, QStringList{"MSGBOX 0|Соединение по схеме \"ZANDRELL5\"|Пользователь заблокирован\\n\\n"
                                           "\"EDAError\": Ora-Error: 28000 -> 942"});
    }

    // Consoles killed with SIGKILL are not counted, and the next start clears what they left;
    // the running ones are found by another program; no password shows on a command line.
    void killedConsolesAndTheOthers()
    {
        RunningConsole killed(*dist, u"ZL_USER"_s), admin(*dist, u"ZL_USER"_s);
        QVERIFY(killed.WaitReady() && admin.WaitReady());
        const qint64 killedPid = killed.Pid();
        killed.Kill();
        QCOMPARE(runtimeFiles(), filesOf({killedPid, admin.Pid()}));
        RunningConsole operatorConsole(*dist, u"OPERATOR"_s);
        QVERIFY(operatorConsole.WaitReady());
        QCOMPARE(runtimeFiles(), filesOf({admin.Pid(), operatorConsole.Pid()}));
        QCOMPARE(AtomExists(), 2);

        QProcess finder;
        finder.start(QStringLiteral(CONSOLE_INFO_REQUESTER), {});
        QVERIFY(finder.waitForFinished(30000));
        QStringList found =
            QString::fromUtf8(finder.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        found.sort();
        QCOMPARE(found, (QStringList{"CONSOLE 12345678|KorConsole|ZANDRELL5|ZANDRELL|OPERATOR",
                                     "CONSOLE 12345678|KorConsole|ZANDRELL5|ZANDRELL|ZL_USER"}));

        QFile cmdline(u"/proc/%1/cmdline"_s.arg(admin.Pid()));
        QVERIFY(cmdline.open(QIODevice::ReadOnly));
        QList<QByteArray> arguments = cmdline.readAll().split('\0');
        arguments.removeAll(QByteArray());
        QCOMPARE(arguments.mid(1), (QList<QByteArray>{"/server=ZANDRELL", "/user=ZL_USER", "/password=***"}));

        admin.Kill();
        operatorConsole.process.write("quit\n");
        QVERIFY(operatorConsole.process.waitForFinished(30000));
        QCOMPARE(AtomExists(), 0);
        QCOMPARE(runtimeFiles(), QStringList());
    }

    void terminationEndsTheConsoleAsExitDoes()
    {
        dist->write(u"Console.ini"_s, "[SCHEMES]\nZANDRELL5=1\n");
        RunningConsole console(*dist, u"ZL_USER"_s);
        QVERIFY(console.WaitReady());
        QCOMPARE(::kill(pid_t(console.Pid()), SIGTERM), 0);
        QVERIFY(console.process.waitForFinished(30000));
        QCOMPARE(console.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.process.exitCode(), 0);
        // The language id was saved, the mark and the local server are gone.
        QCOMPARE(TIniFile(dist->path(u"Console.ini"_s)).ReadInteger(u"START"_s, u"LangID"_s, -1), 25);
        QCOMPARE(runtimeFiles(), QStringList());
        QCOMPARE(AtomExists(), 0);
    }

    // A module that crashes, ends the process or never returns. While its attributes are read,
    // the module reader takes the blow: the console starts and lists the service as not loaded,
    // and an administrator's reload reads the file again (now harmless, the service comes back).
    // While the console opens it, the console ends: the next start lists the service as not
    // loaded, and it stays out, a reload included, until the module file changes.
    void moduleThatEndsTheConsole_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("user");
        QTest::newRow("crash while loading") << QByteArray("segv@load") << "ZL_USER";
        QTest::newRow("exit in its attributes") << QByteArray("exit@attribute") << "OPERATOR";
        QTest::newRow("hang in its start") << QByteArray("hang@init") << "ZL_USER";
    }
    void moduleThatEndsTheConsole()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, user);
        InstallationCopy faulty;
        QTemporaryDir runtime; // the markers and the module cache of these consoles alone
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(addFaultService(faulty));
        const QStringList environment{"XDG_RUNTIME_DIR=" + runtime.path(), "XDG_CACHE_HOME=" + runtime.path()};
        const QString menuLine = u"MENU   Сбойный сервис"_s;
        const QString notLoaded = u"MODAL TSrvList|Не загружено"_s;
        const QString noItem = u"ERROR no menu item Справочники/Сбойный сервис"_s;
        // The not-loaded window is driven: "cancel" closes it (without it, the console answers the line as unknown).
        const QByteArray click = "cancel\nclick Справочники/Сбойный сервис\n";
        const bool inConsole = fault.endsWith("@init");

        const auto first = faulty.run(InstallationCopy::login(user), click + "quit\n",
                                      environment + QStringList{"TM_FAULT=" + QString::fromLatin1(fault)});
        QVERIFY(first.lines.contains(u"READY"_s));
        if (inConsole) {
            QVERIFY(first.hung);
        } else {
            QVERIFY2(first.finished && first.exitCode == 0, qPrintable(first.errors));
            QCOMPARE(first.lines.first(), notLoaded);
            QVERIFY(first.lines.contains(noItem));
            QVERIFY2(first.errors.contains(u"ended the module reader"_s), qPrintable(first.errors));
        }

        // The same module, now harmless.
        const auto next =
            faulty.run(InstallationCopy::login(user), click + "click Файл/Обновить меню\ncancel\nquit\n", environment);
        QVERIFY2(next.finished && next.exitCode == 0, qPrintable(next.lines.join(QLatin1Char('\n'))));
        QCOMPARE(next.lines.first(), notLoaded);
        QVERIFY(next.lines.contains(noItem));
        QVERIFY2(!menuAfterReady(next.lines, 1).contains(menuLine), qPrintable(next.lines.join(QLatin1Char('\n'))));
        QCOMPARE(menuAfterReady(next.lines, 2).contains(menuLine), user == u"ZL_USER"_s && !inConsole);
        QCOMPARE(next.lines.filter(u"MSGBOX"_s), QStringList());
        if (!inConsole)
            return;
        // A new build of the module file is loaded again.
        QFile module(faulty.path(u"tmFault.so"_s));
        QVERIFY(module.open(QIODevice::ReadWrite));
        QVERIFY(module.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        module.close();
        const auto rebuilt = faulty.run(InstallationCopy::login(user), "quit\n", environment);
        QVERIFY(menuAfterReady(rebuilt.lines, 1).contains(menuLine));
        QVERIFY(!rebuilt.lines.contains(notLoaded));
    }

    void maskedArguments_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("any case") << QByteArray("/PassWord=Long secret") << QByteArray("/PassWord=***");
        QTest::newRow("short value") << QByteArray("/password=ab") << QByteArray("/password=**");
        QTest::newRow("no value") << QByteArray("/password=") << QByteArray("/password=");
        QTest::newRow("other switch") << QByteArray("/user=demo") << QByteArray("/user=demo");
    }
    void maskedArguments()
    {
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, shown);
        QCOMPARE(TProcessCommandLine::MaskedArgument(argument), shown);
    }

    void defaultButtonIsTheFirstUnlessNamed()
    {
        QCOMPARE(DefaultMessageBoxResult(MB_ICONINFORMATION), IDOK);
        QCOMPARE(DefaultMessageBoxResult(MB_YESNO | MB_ICONQUESTION), IDYES);
        QCOMPARE(DefaultMessageBoxResult(MB_YESNO | MB_DEFBUTTON2), IDNO);
        QCOMPARE(DefaultMessageBoxResult(MB_OK | MB_DEFBUTTON3), IDOK);
    }

    void requests_data()
    {
        QTest::addColumn<QString>("console"); // "": this test's server
        QTest::addColumn<QString>("own");     // "": the server's own name
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("infoAnswer");
        QTest::addColumn<int>("sessionAnswer");
        QTest::addColumn<QStringList>("lines");
        const QString info = "INFO 1|KorConsole|5.0.0.1|Консоль", session = "SESSION ZANDRELL5|ZANDRELL|ZL_USER|2";
        const auto row = [](const char *name, int code, int infoAnswer, int sessionAnswer, const QStringList &lines,
                            const QString &own = u"r"_s, const QString &console = QString()) {
            QTest::newRow(name) << console << own << code << infoAnswer << sessionAnswer << lines;
        };
        row("information", kConsoleInfoMessage, 0, 0, {"CONNECTED 1", info, "ANSWER 0"});
        // An answer the console passes back; one that is not the protocol's is 0.
        row("handled information", kConsoleInfoMessage, kHandledAnswer, 0, {"CONNECTED 1", info, "ANSWER 12345678"});
        row("other answer", kConsoleInfoMessage, 7, 0, {"CONNECTED 1", info, "ANSWER 0"});
        row("session", kConsoleSessionMessage, 0, kHandledAnswer, {"CONNECTED 1", session, "ANSWER 12345678"});
        row("information, then the session", kConsoleRequest, kAskForSession, 0,
            {"CONNECTED 1", info, session, "ANSWER 0"});
        row("asking for more after the session", kConsoleRequest, kAskForSession, kAskForSession,
            {"CONNECTED 1", info, session, "ANSWER -12345678"});
        row("no request for more", kConsoleRequest, 0, 0, {"CONNECTED 1", info, "ANSWER 0"});
        row("naming the console itself", kConsoleRequest, kAskForSession, 0, {"CONNECTED 1", "ANSWER 0"}, QString());
        row("unknown code", 12345, 0, 0, {"CONNECTED 1", "ANSWER 0"});
        row("no console there", kConsoleSessionMessage, 0, 0, {"CONNECTED 0", "ANSWER 0"}, u"r"_s,
            u"no-such-console"_s);
    }
    void requests()
    {
        const auto server = infoServer();
        QFETCH(QString, console);
        QFETCH(QString, own);
        QFETCH(int, code);
        QFETCH(int, infoAnswer);
        QFETCH(int, sessionAnswer);
        QFETCH(QStringList, lines);
        QCOMPARE(request(console.isEmpty() ? server->ServerName() : console, own.isEmpty() ? server->ServerName() : own,
                         code, infoAnswer, sessionAnswer),
                 lines);
    }

    void stalledRequesterCostsTheOthersNothing()
    {
        const auto server = infoServer();
        server->AnswerTimeoutMs = 60000;
        RawRequester stalled(server->ServerName());
        stalled.Send(kConsoleRequest, kConsoleRequest, 1 << 20);
        // The console sent its information and now waits for an answer that never comes.
        QCOMPARE(stalled.Next().first, kConsoleInfoMessage);
        QCOMPARE(request(server->ServerName(), QStringLiteral("other"), kConsoleSessionMessage).value(1),
                 QStringLiteral("SESSION ZANDRELL5|ZANDRELL|ZL_USER|2"));
    }

    void framesArriveByteByByte()
    {
        const auto server = infoServer();
        server->AnswerTimeoutMs = 2000;
        RawRequester requester(server->ServerName());
        requester.Send(kConsoleRequest, kConsoleRequest, 1);
        QCOMPARE(requester.Next().first, kConsoleInfoMessage);
        requester.Send(kAnswerMessage, kAskForSession, 1);
        QCOMPARE(requester.Next().first, kConsoleSessionMessage);
        requester.Send(kAnswerMessage, kHandledAnswer, 1);
        QCOMPARE(requester.Next(), qMakePair(kAnswerMessage, qint32(kHandledAnswer)));
    }

    void streamOfAnotherProtocolIsDropped()
    {
        const auto server = infoServer();
        RawRequester stranger(server->ServerName());
        stranger.socket.write(QByteArray("GET / HTTP/1.1\r\n\r\n"));
        QTRY_COMPARE(stranger.socket.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(request(server->ServerName(), QStringLiteral("other"), kConsoleInfoMessage).value(1),
                 QStringLiteral("INFO 1|KorConsole|5.0.0.1|Консоль"));
    }

    // 1,100 idle requesters under a 1,024-descriptor limit: every requester
    // gets in, the server keeps at most its cap of them (the newest), its
    // socket stays, and it answers as before. So too while this process has
    // almost no descriptor left.
    void serverSurvivesIdleRequesters_data()
    {
        QTest::addColumn<int>("freeDescriptors"); // left to this process; -1: as many as the limit gives
        QTest::newRow("descriptors to spare") << -1;
        QTest::newRow("no descriptor left") << 0;
    }
    void serverSurvivesIdleRequesters()
    {
        QFETCH(int, freeDescriptors);
        const bool noFreeDescriptors = freeDescriptors >= 0;
        const auto server = infoServer();
        server->MaxClients = 50;
        const QByteArray path = QFile::encodeName(server->ServerName());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        int go[2], report[2];
        QVERIFY(::pipe2(go, O_CLOEXEC) == 0 && ::pipe2(report, O_CLOEXEC) == 0);
        const pid_t requesters = ::fork();
        if (requesters == 0) {
            // Only system calls here: the requesters' process waits for the word, connects and stays idle.
            ::close(go[1]);
            ::close(report[0]);
            rlimit more = saved;
            more.rlim_cur = std::min<rlim_t>(saved.rlim_max, 4096);
            ::setrlimit(RLIMIT_NOFILE, &more);
            char word = 0;
            if (::read(go[0], &word, 1) != 1)
                ::_exit(1);
            int counts[2] = {0, 0}; // connected, refused
            for (int i = 0; i < 1100; ++i) {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                if (fd < 0)
                    break;
                ++counts[::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0 ? 0 : 1];
            }
            if (::write(report[1], counts, sizeof(counts)) != ssize_t(sizeof(counts)))
                ::_exit(1);
            ::pause(); // idle until killed
            ::_exit(0);
        }
        QVERIFY(requesters > 0);
        ::close(report[1]);
        ::close(go[0]);

        rlimit lowered = saved;
        lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        QList<int> taken;
        for (int fd = 0; noFreeDescriptors && (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            taken << fd;
        for (int i = 0; i < freeDescriptors && !taken.isEmpty(); ++i)
            ::close(taken.takeLast());
        QCOMPARE(::write(go[1], "g", 1), ssize_t(1));
        int counts[2] = {-1, -1};
        const bool reported = QTest::qWaitFor(
            [&] {
                pollfd ready{report[0], POLLIN, 0};
                return ::poll(&ready, 1, 0) > 0;
            },
            120000);
        const ssize_t read = reported ? ::read(report[0], counts, sizeof(counts)) : 0;
        if (!noFreeDescriptors) // the last requesters may still wait in the queue
            (void)QTest::qWaitFor([&] { return server->ClientCount() >= server->MaxClients; }, 5000);
        const int held = server->ClientCount();
        for (int fd : std::as_const(taken))
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        ::close(go[1]);
        ::close(report[0]);
        ::kill(requesters, SIGKILL);
        ::waitpid(requesters, nullptr, 0);

        QVERIFY(reported && read == ssize_t(sizeof(counts)));
        QCOMPARE(counts[0], 1100);
        QCOMPARE(counts[1], 0);
        if (noFreeDescriptors)
            QVERIFY(held <= server->MaxClients);
        else
            QCOMPARE(held, server->MaxClients);
        QVERIFY(QFileInfo(server->ServerName()).exists());
        QCOMPARE(request(server->ServerName(), QStringLiteral("other"), kConsoleInfoMessage).value(1),
                 QStringLiteral("INFO 1|KorConsole|5.0.0.1|Консоль"));
    }
};

QTEST_GUILESS_MAIN(TestKorConsoleProcess)
#include "tst_KorConsoleProcess.moc"
