// The console information protocol over the console's local server, answered
// to a requester in another process; the server never waits on a requester:
// one that stalls costs the others nothing, frames that arrive in pieces are
// put together, and a stream that is not the protocol's is dropped.
#include "uConsoleInfo.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <QTimer>

namespace {

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
        QElapsedTimer timer;
        timer.start();
        while (!ConsoleFrames::TakeFrame(buffer, payload, &tooLarge) && timer.elapsed() < timeoutMs) {
            QTest::qWait(5);
            buffer += socket.readAll();
        }
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

class TestConsoleInfo : public QObject {
    Q_OBJECT

    TConsoleInfoServer *server = nullptr;

    // Runs the requester of another process while this one keeps serving.
    QStringList request(const QString &console, const QString &own, int code, int infoAnswer = 0, int sessionAnswer = 0)
    {
        QProcess process;
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(CONSOLE_INFO_REQUESTER), {console, own, QString::number(code), QString::number(infoAnswer),
                                                               QString::number(sessionAnswer)});
        loop.exec();
        return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        server = new TConsoleInfoServer;
        QVERIFY(server->Listen());
        server->VersionInfo = [] {
            TConsoleVersionInfo v;
            v.InternalName = QStringLiteral("KorConsole");
            v.FileVersion = QStringLiteral("5.0.0.1");
            v.Comments = QStringLiteral("Консоль");
            return v;
        };
        server->SessionInfo = [] { return TConsoleSessionInfo{QStringLiteral("ZANDRELL5"), QStringLiteral("ZANDRELL"), QStringLiteral("ZL_USER"), 2}; };
    }
    void cleanup() { delete server; }

    void requests_data()
    {
        QTest::addColumn<QString>("console"); // "": this test's server
        QTest::addColumn<QString>("own");     // "": the server's own name
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("infoAnswer");
        QTest::addColumn<int>("sessionAnswer");
        QTest::addColumn<QStringList>("lines");
        const QString info = "INFO 1|KorConsole|5.0.0.1|Консоль", session = "SESSION ZANDRELL5|ZANDRELL|ZL_USER|2";
        QTest::newRow("information") << "" << "r" << kConsoleInfoMessage << 0 << 0 << QStringList{"CONNECTED 1", info, "ANSWER 0"};
        // An answer the console passes back; one that is not the protocol's is 0.
        QTest::newRow("handled information") << "" << "r" << kConsoleInfoMessage << kHandledAnswer << 0
                                             << QStringList{"CONNECTED 1", info, "ANSWER 12345678"};
        QTest::newRow("other answer") << "" << "r" << kConsoleInfoMessage << 7 << 0 << QStringList{"CONNECTED 1", info, "ANSWER 0"};
        QTest::newRow("session") << "" << "r" << kConsoleSessionMessage << 0 << kHandledAnswer
                                 << QStringList{"CONNECTED 1", session, "ANSWER 12345678"};
        QTest::newRow("information, then the session") << "" << "r" << kConsoleRequest << kAskForSession << 0
                                                       << QStringList{"CONNECTED 1", info, session, "ANSWER 0"};
        QTest::newRow("asking for more after the session") << "" << "r" << kConsoleRequest << kAskForSession << kAskForSession
                                                           << QStringList{"CONNECTED 1", info, session, "ANSWER -12345678"};
        QTest::newRow("no request for more") << "" << "r" << kConsoleRequest << 0 << 0 << QStringList{"CONNECTED 1", info, "ANSWER 0"};
        QTest::newRow("naming the console itself") << "" << "" << kConsoleRequest << kAskForSession << 0
                                                   << QStringList{"CONNECTED 1", "ANSWER 0"};
        QTest::newRow("unknown code") << "" << "r" << 12345 << 0 << 0 << QStringList{"CONNECTED 1", "ANSWER 0"};
        QTest::newRow("no console there") << "no-such-console" << "r" << kConsoleSessionMessage << 0 << 0
                                          << QStringList{"CONNECTED 0", "ANSWER 0"};
    }
    void requests()
    {
        QFETCH(QString, console);
        QFETCH(QString, own);
        QFETCH(int, code);
        QFETCH(int, infoAnswer);
        QFETCH(int, sessionAnswer);
        QFETCH(QStringList, lines);
        QCOMPARE(request(console.isEmpty() ? server->ServerName() : console, own.isEmpty() ? server->ServerName() : own, code,
                         infoAnswer, sessionAnswer),
                 lines);
    }

    void stalledRequesterCostsTheOthersNothing()
    {
        server->AnswerTimeoutMs = 60000;
        RawRequester stalled(server->ServerName());
        stalled.Send(kConsoleRequest, kConsoleRequest, 1 << 20);
        // The console sent its information and now waits for an answer that never comes.
        QCOMPARE(stalled.Next().first, kConsoleInfoMessage);
        QCOMPARE(request(server->ServerName(), QStringLiteral("other"), kConsoleSessionMessage).value(1),
                 QStringLiteral("SESSION ZANDRELL5|ZANDRELL|ZL_USER|2"));
    }

    void framesArriveInPieces_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("byte by byte") << 1;
        QTest::newRow("five bytes") << 5;
    }
    void framesArriveInPieces()
    {
        QFETCH(int, chunk);
        server->AnswerTimeoutMs = 2000;
        RawRequester requester(server->ServerName());
        requester.Send(kConsoleRequest, kConsoleRequest, chunk);
        QCOMPARE(requester.Next().first, kConsoleInfoMessage);
        requester.Send(kAnswerMessage, kAskForSession, chunk);
        QCOMPARE(requester.Next().first, kConsoleSessionMessage);
        requester.Send(kAnswerMessage, kHandledAnswer, chunk);
        QCOMPARE(requester.Next(), qMakePair(kAnswerMessage, qint32(kHandledAnswer)));
    }

    void streamOfAnotherProtocolIsDropped()
    {
        RawRequester stranger(server->ServerName());
        stranger.socket.write(QByteArray("GET / HTTP/1.1\r\n\r\n"));
        QTRY_COMPARE(stranger.socket.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(request(server->ServerName(), QStringLiteral("other"), kConsoleInfoMessage).value(1),
                 QStringLiteral("INFO 1|KorConsole|5.0.0.1|Консоль"));
    }
};

QTEST_GUILESS_MAIN(TestConsoleInfo)
#include "tst_ConsoleInfo.moc"
