#include "Console/uConsoleInfo.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

namespace {

TConsoleInfoServer *g_server = nullptr;
int g_serversMade = 0;

void writeVersion(QDataStream &out, const TConsoleVersionInfo &v)
{
    out << qint32(1) << QString() << qint32(0) << v.InternalName << v.FileDescription << v.FileVersion
        << v.LegalCopyright << v.ProductVersion << v.Comments;
}

// One requester's connection. Frames are taken off the socket as they arrive;
// while the console waits for the requester's answer to 2025 or 2026 a timer
// keeps the time, and the window goes on meanwhile.
class TInfoConnection : public QObject {
public:
    TInfoConnection(TConsoleInfoServer *server, QLocalSocket *socket)
        : QObject(socket), m_server(server), m_socket(socket)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { requestEnds(false); });
        connect(socket, &QLocalSocket::readyRead, this, &TInfoConnection::readFrames);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }

    void readFrames()
    {
        m_buffer.append(m_socket->readAll());
        QByteArray payload;
        bool tooLarge = false;
        while (ConsoleFrames::TakeFrame(m_buffer, payload, &tooLarge))
            handle(payload);
        if (tooLarge)
            m_socket->abort(); // not a requester of this protocol
    }

private:
    QString own() const { return m_server ? m_server->ServerName() : QString(); }

    void write(int message, const std::function<void(QDataStream &)> &body)
    {
        m_socket->write(ConsoleFrames::Frame(ConsoleFrames::Payload(message, own(), body)));
    }
    void answer(int value)
    {
        write(kAnswerMessage, [value](QDataStream &o) { o << qint32(value); });
    }

    void handle(const QByteArray &payload)
    {
        QDataStream in(payload);
        qint32 message = -1;
        QString sender;
        in >> message >> sender;
        if (in.status() != QDataStream::Ok)
            return;
        if (m_awaiting) {
            if (message == kAnswerMessage) {
                qint32 value = 0;
                in >> value;
                m_last = value;
                requestEnds(true);
                return;
            }
            requestEnds(false); // a new message instead of the answer: the request ends without one
        }
        if (message == kAnswerMessage)
            return; // an answer that came after its time
        if (message == WM_USER) {
            qint64 value = 0;
            in >> value;
            answer(0);
            if (m_server && m_server->OnUserMessage)
                m_server->OnUserMessage(message, value);
            return;
        }
        qint32 code = 0;
        in >> code;
        // Only 2024 is a request, and one that names the console itself is ignored.
        if (message != kConsoleRequest || sender == own() ||
            (code != kConsoleRequest && code != kConsoleInfoMessage && code != kConsoleSessionMessage)) {
            answer(0);
            return;
        }
        m_code = code;
        send(code == kConsoleSessionMessage ? kConsoleSessionMessage : kConsoleInfoMessage);
    }

    // Sends 2025 or 2026 and waits for the requester's answer.
    void send(int message)
    {
        if (message == kConsoleInfoMessage) {
            const TConsoleVersionInfo v =
                m_server && m_server->VersionInfo ? m_server->VersionInfo() : TConsoleVersionInfo();
            write(message, [&v](QDataStream &o) { writeVersion(o, v); });
        } else {
            const TConsoleSessionInfo s =
                m_server && m_server->SessionInfo ? m_server->SessionInfo() : TConsoleSessionInfo();
            write(message, [&s](QDataStream &o) { o << s.SchemeName << s.Server << s.UserName << qint32(s.Home); });
        }
        m_sent = message;
        m_awaiting = true;
        m_timer.start(m_server ? m_server->AnswerTimeoutMs : 3000);
    }

    // The requester answered the message sent (answered), or did not in time.
    void requestEnds(bool answered)
    {
        m_timer.stop();
        m_awaiting = false;
        if (answered && m_code == kConsoleRequest && m_sent == kConsoleInfoMessage && m_last == kAskForSession) {
            send(kConsoleSessionMessage);
            return;
        }
        answer(answered && (m_last == kAskForSession || m_last == kHandledAnswer) ? m_last : 0);
    }

    QPointer<TConsoleInfoServer> m_server;
    QLocalSocket *m_socket;
    QByteArray m_buffer;
    QTimer m_timer;
    bool m_awaiting = false;
    int m_code = 0;
    int m_sent = 0;
    int m_last = 0;
};

} // namespace

TConsoleInfoServer *ConsoleInfoServer() { return g_server; }
void SetConsoleInfoServer(TConsoleInfoServer *server) { g_server = server; }

TConsoleInfoServer::TConsoleInfoServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, &TConsoleInfoServer::newConnection);
}

TConsoleInfoServer::~TConsoleInfoServer()
{
    if (g_server == this)
        g_server = nullptr;
    m_server.close(); // removes the socket file
}

bool TConsoleInfoServer::Listen()
{
    const qint64 pid = QCoreApplication::applicationPid();
    // The first server of the process is the one other programs find by its pid.
    const QString name = g_serversMade++ == 0
                             ? ConsoleSocketPath(pid)
                             : ConsoleRuntimeDir() + QStringLiteral("/%1-%2.sock").arg(pid).arg(g_serversMade);
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(name);
}

QString TConsoleInfoServer::ServerName() const { return m_server.fullServerName(); }

void TConsoleInfoServer::newConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        auto *connection = new TInfoConnection(this, socket);
        if (socket->bytesAvailable() > 0)
            connection->readFrames();
    }
}
