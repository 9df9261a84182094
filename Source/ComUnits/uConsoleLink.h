#pragma once
// Where the running consoles of a user meet other programs: one folder in the
// user's runtime folder ($XDG_RUNTIME_DIR/LUM_ATOM) holds, per console,
//
//   <pid>.lock  locked (flock, exclusive) for as long as the console runs; the
//               system drops the lock when the process dies, however it dies;
//   <pid>.sock  the console's local server.
//
// A file whose lock nobody holds belongs to a console that is gone; the
// folder scan removes it with the console's sockets. The frames of the local
// server's protocol are written and read here too, for the console and for
// the programs that ask it (the SDK functions of ZandrellInterface.h).
#include "Core/PlatformExport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QDataStream;
class QLocalSocket;

// The folder of the consoles' lock files and sockets (made, private to the
// user, when missing). ZANDRELL_ATOM_NAME renames it, so that tests never
// meet a console that really runs.
PLATFORM_EXPORT QString ConsoleRuntimeDir();

// The pids of the consoles whose lock is held now. removeStale: delete the
// files of consoles that are gone (their locks, their sockets and files
// half-made by a console that died while it added itself).
PLATFORM_EXPORT QList<qint64> ScanRunningConsoles(bool removeStale);

// Local-server name of the console of a pid.
PLATFORM_EXPORT QString ConsoleSocketPath(qint64 pid);

namespace ConsoleFrames {
// A frame's payload: qint32 message, QString sender, then what body writes.
PLATFORM_EXPORT QByteArray Payload(int message, const QString &sender,
                                   const std::function<void(QDataStream &)> &body = {});
// A whole frame: 32-bit length, then the payload.
PLATFORM_EXPORT QByteArray Frame(const QByteArray &payload);
PLATFORM_EXPORT bool WriteFrame(QLocalSocket *socket, const QByteArray &payload);
// Waits up to the time-out for one whole frame; false when none came. For
// programs that ask a console; the console itself never waits on a socket.
PLATFORM_EXPORT bool ReadFrame(QLocalSocket *socket, QByteArray &payload, int timeoutMs);
// Takes one whole frame off the front of the buffer; false when it holds none
// yet. tooLarge: the length announced is not one of the protocol's.
PLATFORM_EXPORT bool TakeFrame(QByteArray &buffer, QByteArray &payload, bool *tooLarge);
} // namespace ConsoleFrames

// Sends a user message (1024) with a number to the console and waits for its receipt.
PLATFORM_EXPORT bool SendConsoleUserMessage(const QString &consoleName, int message, qint64 value,
                                            int timeoutMs = 5000);
