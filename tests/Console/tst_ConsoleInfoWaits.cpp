// The console's local server never waits on a requester: a requester that
// stalls costs the others nothing, frames that arrive in pieces are put
// together, and a stream that is not the protocol's is dropped.
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

class TestConsoleInfoWaits : public QObject {
    Q_OBJECT

    TConsoleInfoServer *server = nullptr;

    // The requester of another process, while this one keeps serving.
    QStringList requestFromAnotherProcess(int code)
    {
        QProcess process;
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(CONSOLE_INFO_REQUESTER),
                      {server->ServerName(), QStringLiteral("other"), QString::number(code), QStringLiteral("0"), QStringLiteral("0")});
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
            return v;
        };
        server->SessionInfo = [] { return TConsoleSessionInfo{QStringLiteral("ZANDRELL5"), QStringLiteral("ZANDRELL"), QStringLiteral("ZL_USER"), 0}; };
    }
    void cleanup() { delete server; }

    void stalledRequesterCostsTheOthersNothing()
    {
        server->AnswerTimeoutMs = 60000;
        RawRequester stalled(server->ServerName());
        stalled.Send(kConsoleRequest, kConsoleRequest, 1 << 20);
        // The console sent its information and now waits for an answer that never comes.
        QCOMPARE(stalled.Next().first, kConsoleInfoMessage);
        QCOMPARE(requestFromAnotherProcess(kConsoleSessionMessage),
                 (QStringList{"CONNECTED 1", "SESSION ZANDRELL5|ZANDRELL|ZL_USER|0", "ANSWER 0"}));
    }

    void framesArriveInPieces_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("byte by byte") << 1;
        QTest::newRow("five bytes") << 5;
        QTest::newRow("whole frames") << (1 << 20);
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
        QCOMPARE(requestFromAnotherProcess(kConsoleInfoMessage).value(1), QStringLiteral("INFO 1|KorConsole||"));
    }
};

QTEST_GUILESS_MAIN(TestConsoleInfoWaits)
#include "tst_ConsoleInfoWaits.moc"
