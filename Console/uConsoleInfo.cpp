#include "uConsoleInfo.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QVariant>

namespace {

TConsoleInfoServer *g_server = nullptr;

QByteArray frame(int message, const QString &sender, const std::function<void(QDataStream &)> &body = {})
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << qint32(message) << sender;
    if (body)
        body(out);
    return payload;
}

void writeVersion(QDataStream &out, const TConsoleVersionInfo &v)
{
    out << qint32(1) << QString() << qint32(0) << v.InternalName << v.FileDescription << v.FileVersion << v.LegalCopyright
        << v.ProductVersion << v.Comments;
}

// Sends a message and waits for the other side's answer frame.
bool ask(QLocalSocket *socket, const QByteArray &payload, int timeoutMs, int &answer)
{
    if (!ConsoleFrames::WriteFrame(socket, payload))
        return false;
    QByteArray reply;
    if (!ConsoleFrames::ReadFrame(socket, reply, timeoutMs))
        return false;
    QDataStream in(reply);
    qint32 message = -1;
    QString sender;
    qint32 value = 0;
    in >> message >> sender >> value;
    if (in.status() != QDataStream::Ok || message != kAnswerMessage)
        return false;
    answer = value;
    return true;
}

} // namespace

bool ConsoleFrames::WriteFrame(QLocalSocket *socket, const QByteArray &payload)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << quint32(payload.size());
    data.append(payload);
    if (socket->write(data) != data.size())
        return false;
    return socket->waitForBytesWritten(3000) || socket->bytesToWrite() == 0;
}

bool ConsoleFrames::ReadFrame(QLocalSocket *socket, QByteArray &payload, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    auto waitFor = [&](qint64 bytes) {
        while (socket->bytesAvailable() < bytes) {
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0 || !socket->waitForReadyRead(left))
                return false;
        }
        return true;
    };
    if (!waitFor(4))
        return false;
    QDataStream in(socket->read(4));
    quint32 size = 0;
    in >> size;
    // A frame of the protocol is small; anything else is not ours.
    if (size > 1024 * 1024 || !waitFor(size))
        return false;
    payload = socket->read(size);
    return true;
}

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
}

bool TConsoleInfoServer::Listen()
{
    const QString name = QStringLiteral("KorConsole-%1-%2").arg(QCoreApplication::applicationPid()).arg(quintptr(this), 0, 16);
    QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(name);
}

QString TConsoleInfoServer::ServerName() const { return m_server.serverName(); }

void TConsoleInfoServer::newConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        if (socket->bytesAvailable() > 0)
            serve(socket);
    }
}

void TConsoleInfoServer::serve(QLocalSocket *socket)
{
    // One request at a time: the answers below are read synchronously on this socket.
    if (socket->property("serving").toBool())
        return;
    socket->setProperty("serving", true);
    QByteArray payload;
    while (socket->bytesAvailable() >= 4 && ConsoleFrames::ReadFrame(socket, payload, AnswerTimeoutMs)) {
        QDataStream in(payload);
        qint32 message = -1;
        QString sender;
        in >> message >> sender;
        if (in.status() != QDataStream::Ok)
            break;
        const QString own = ServerName();
        if (message == WM_USER) {
            qint64 value = 0;
            in >> value;
            ConsoleFrames::WriteFrame(socket, frame(kAnswerMessage, own, [](QDataStream &o) { o << qint32(0); }));
            if (OnUserMessage)
                OnUserMessage(message, value);
            continue;
        }
        if (message != kConsoleRequest) {
            ConsoleFrames::WriteFrame(socket, frame(kAnswerMessage, own, [](QDataStream &o) { o << qint32(0); }));
            continue;
        }
        qint32 code = 0;
        in >> code;
        int last = 0;
        bool sent = false;
        // A request that names the console itself is ignored.
        if (sender != own) {
            auto sendInfo = [&] {
                const TConsoleVersionInfo v = VersionInfo ? VersionInfo() : TConsoleVersionInfo();
                sent = ask(socket, frame(kConsoleInfoMessage, own, [&](QDataStream &o) { writeVersion(o, v); }),
                           AnswerTimeoutMs, last);
            };
            auto sendSession = [&] {
                const TConsoleSessionInfo s = SessionInfo ? SessionInfo() : TConsoleSessionInfo();
                sent = ask(socket, frame(kConsoleSessionMessage, own, [&](QDataStream &o) {
                               o << s.SchemeName << s.Server << s.UserName << qint32(s.Home);
                           }),
                           AnswerTimeoutMs, last);
            };
            if (code == kConsoleInfoMessage) {
                sendInfo();
            } else if (code == kConsoleSessionMessage) {
                sendSession();
            } else if (code == kConsoleRequest) {
                sendInfo();
                if (sent && last == kAskForSession)
                    sendSession();
            }
        }
        const int answer = sent && (last == kAskForSession || last == kHandledAnswer) ? last : 0;
        ConsoleFrames::WriteFrame(socket, frame(kAnswerMessage, own, [answer](QDataStream &o) { o << qint32(answer); }));
    }
    socket->setProperty("serving", false);
}

TConsoleRequestResult RequestConsoleInfo(const QString &consoleName, const QString &ownName, int requestCode,
                                         int infoAnswer, int sessionAnswer, int timeoutMs)
{
    TConsoleRequestResult result;
    QLocalSocket socket;
    socket.connectToServer(consoleName);
    if (!socket.waitForConnected(timeoutMs))
        return result;
    result.connected = true;
    ConsoleFrames::WriteFrame(&socket, frame(kConsoleRequest, ownName, [requestCode](QDataStream &o) { o << qint32(requestCode); }));
    QByteArray payload;
    while (ConsoleFrames::ReadFrame(&socket, payload, timeoutMs)) {
        QDataStream in(payload);
        qint32 message = -1;
        QString sender;
        in >> message >> sender;
        if (message == kAnswerMessage) {
            qint32 answer = 0;
            in >> answer;
            result.answer = answer;
            break;
        }
        int reply = 0;
        if (message == kConsoleInfoMessage) {
            qint32 version = 0, reserved = 0;
            QString text;
            TConsoleVersionInfo &v = result.info;
            in >> version >> text >> reserved >> v.InternalName >> v.FileDescription >> v.FileVersion >> v.LegalCopyright >>
                v.ProductVersion >> v.Comments;
            result.gotInfo = in.status() == QDataStream::Ok;
            result.infoVersion = version;
            reply = infoAnswer;
        } else if (message == kConsoleSessionMessage) {
            qint32 home = 0;
            TConsoleSessionInfo &s = result.session;
            in >> s.SchemeName >> s.Server >> s.UserName >> home;
            s.Home = home;
            result.gotSession = in.status() == QDataStream::Ok;
            reply = sessionAnswer;
        }
        ConsoleFrames::WriteFrame(&socket, frame(kAnswerMessage, ownName, [reply](QDataStream &o) { o << qint32(reply); }));
    }
    return result;
}

bool SendConsoleUserMessage(const QString &consoleName, int message, qint64 value, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(consoleName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    if (!ConsoleFrames::WriteFrame(&socket, frame(message, QString(), [value](QDataStream &o) { o << value; })))
        return false;
    QByteArray reply;
    return ConsoleFrames::ReadFrame(&socket, reply, timeoutMs);
}
