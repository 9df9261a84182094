#include "Console/uConsoleInfo.h"

#include "Console/uConsoleLog.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

TConsoleInfoServer *g_server = nullptr;
int g_serversMade = 0;
// How long the server waits before it accepts again when no descriptor is free.
constexpr int kRetryAcceptMs = 100;

void writeVersion(QDataStream &out, const TConsoleVersionInfo &v)
{
    out << qint32(1) << QString() << qint32(0) << v.InternalName << v.FileDescription << v.FileVersion
        << v.LegalCopyright << v.ProductVersion << v.Comments;
}

} // namespace

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
    ~TInfoConnection() override
    {
        if (m_server)
            m_server->forget(this);
    }

    // Waiting for the requester's answer: not idle.
    bool InRequest() const { return m_awaiting; }
    void Drop() { m_socket->abort(); }

    void readFrames()
    {
        if (m_server)
            m_server->touched(this);
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

TConsoleInfoServer *ConsoleInfoServer() { return g_server; }
void SetConsoleInfoServer(TConsoleInfoServer *server) { g_server = server; }

TConsoleInfoServer::TConsoleInfoServer(QObject *parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        m_notifier->setEnabled(true);
        acceptPending();
    });
}

TConsoleInfoServer::~TConsoleInfoServer()
{
    if (g_server == this)
        g_server = nullptr;
    // The requesters' sockets go first, while the list their connections leave is still there.
    qDeleteAll(findChildren<QLocalSocket *>(Qt::FindDirectChildrenOnly));
    if (m_listener >= 0) {
        delete m_notifier;
        m_notifier = nullptr;
        ::close(m_listener);
        ::unlink(QFile::encodeName(m_name).constData());
    }
}

bool TConsoleInfoServer::Listen()
{
    const qint64 pid = QCoreApplication::applicationPid();
    // The first server of the process is the one other programs find by its pid.
    const QString name = g_serversMade++ == 0
                             ? ConsoleSocketPath(pid)
                             : ConsoleRuntimeDir() + QStringLiteral("/%1-%2.sock").arg(pid).arg(g_serversMade);
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // A socket of the same name belongs to a process of this pid that is gone.
    ::unlink(path.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        qCWarning(lcConsole) << "the console's local server cannot listen at" << name << ":" << std::strerror(errno);
        ::close(fd);
        ::unlink(path.constData());
        return false;
    }
    m_listener = fd;
    m_name = name;
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TConsoleInfoServer::acceptPending);
    return true;
}

QString TConsoleInfoServer::ServerName() const { return m_name; }

void TConsoleInfoServer::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: an idle requester makes room; else the
                // requester waits in the queue and the server tries again soon.
                if (dropIdlest())
                    continue;
                m_notifier->setEnabled(false);
                m_retry.start(kRetryAcceptMs);
                qCDebug(lcConsole) << "the console's local server waits for a free descriptor";
            }
            return;
        }
        if (m_clients.size() >= MaxClients && !dropIdlest()) {
            ::close(fd); // every requester is in a request: this one comes again
            continue;
        }
        auto *socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
        auto *connection = new TInfoConnection(this, socket);
        m_clients.append(connection);
        if (socket->bytesAvailable() > 0)
            connection->readFrames();
    }
}

bool TConsoleInfoServer::dropIdlest()
{
    for (TInfoConnection *connection : std::as_const(m_clients))
        if (!connection->InRequest()) {
            forget(connection);
            connection->Drop();
            return true;
        }
    return false;
}

void TConsoleInfoServer::forget(TInfoConnection *connection) { m_clients.removeOne(connection); }

void TConsoleInfoServer::touched(TInfoConnection *connection)
{
    if (m_clients.removeOne(connection))
        m_clients.append(connection);
}
