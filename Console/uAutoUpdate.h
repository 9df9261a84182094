#pragma once
// The updater launch: the program "AutoUpdate" beside the console is started
// detached with three numbers - where a window handle travelled, the name of
// the console's local server; the current-process value -1; the language id -
// and the console waits a few seconds for its answer: message 1024 on the
// console's server, whose value 1 asks the console to close.
#include <QString>

class TConsoleInfoServer;

// The updater's path beside the program.
QString AutoUpdatePath();

// Starts the updater when it is installed; false when it is not (no box) or
// when it could not be started (a warning box with the system's reason).
bool LaunchAutoUpdate(int langId);
bool LaunchAutoUpdate(int langId, const QString &replyServer);

// Waits for the updater's answer on the server, processing events and
// sleeping 10 ms between looks; true when the answer is 1. After more than
// timeoutSeconds whole seconds without an answer a warning box says so.
bool WaitAutoUpdateReply(TConsoleInfoServer *server, int timeoutSeconds = 7);
// The same on the console's server of this process.
bool WaitAutoUpdateReply();
