#pragma once
// The console's local server: where a window handle travelled between
// programs, the server's name travels here. Other programs send it small
// frames with the same numeric message codes and receive the same answers:
//
// - message 2024 with a request code: the console information protocol.
//   Code 2025: the console sends 2025 with its TConsoleInfo; code 2026: it
//   sends 2026 with the scheme and the session's connection; code 2024: it
//   sends 2025 and, when the requester answers that with -12345678, also 2026.
//   The console's answer to 2024 is the requester's answer to the last
//   message sent when that is -12345678 or 12345678, else 0.
// - message 1024 (the first user message) with a number: handed to the
//   console's user-message handler (the updater's reply).
//
// A frame is a 32-bit length followed by a QDataStream of: qint32 message,
// QString sender (the sender's server name), then the message's values.
// The server never waits on a socket: frames are taken as they arrive and a
// requester's answer is awaited with a timer, so a requester that stalls
// costs the window nothing.
//
// The server survives its requesters: it serves at most MaxClients at once (a
// new one beyond that drops the one idle longest), it keeps listening when the
// process has run out of file descriptors (it makes room by dropping an idle
// requester, or tries again a moment later), and its socket file stays in
// place for as long as the server lives.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uConsoleLink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QSocketNotifier;
class TInfoConnection;

constexpr int WM_USER = 1024;
constexpr int kConsoleRequest = 2024;
constexpr int kConsoleInfoMessage = 2025;
constexpr int kConsoleSessionMessage = 2026;
constexpr int kAnswerMessage = 0;
constexpr int kAskForSession = -12345678;
constexpr int kHandledAnswer = 12345678;

class TConsoleInfoServer : public QObject {
    Q_OBJECT
public:
    explicit TConsoleInfoServer(QObject *parent = nullptr);
    ~TConsoleInfoServer() override;

    // Starts listening in the consoles' runtime folder under a name of the
    // process (a stale socket of that name is removed first); false when the
    // system refused.
    bool Listen();
    QString ServerName() const;

    // What the console answers with.
    std::function<TConsoleVersionInfo()> VersionInfo;
    std::function<TConsoleSessionInfo()> SessionInfo;
    // A user message (1024) and its number.
    std::function<void(int message, qint64 value)> OnUserMessage;

    // How long the console waits for a requester's answer.
    int AnswerTimeoutMs = 3000;
    // The most requesters served at once.
    int MaxClients = 64;
    int ClientCount() const { return int(m_clients.size()); }

private:
    friend class TInfoConnection;
    void acceptPending();
    // Closes the connection idle longest; false when every one is in a request.
    bool dropIdlest();
    void forget(TInfoConnection *connection);
    void touched(TInfoConnection *connection);

    int m_listener = -1;
    QString m_name;
    QSocketNotifier *m_notifier = nullptr;
    // Accepting again after the process ran out of descriptors.
    QTimer m_retry;
    // The connections, the one active longest ago first.
    QList<TInfoConnection *> m_clients;
};

// The console's server in this process, or null.
TConsoleInfoServer *ConsoleInfoServer();
void SetConsoleInfoServer(TConsoleInfoServer *server);

// The requester's side (RequestConsoleInfo, FindRunningConsoles) is part of
// the module SDK (ZandrellInterface.h); SendConsoleUserMessage is in uConsoleLink.h.
