#pragma once
// One console process of an installation copy on the acceptance desktop,
// started unattended (it writes READY and takes protocol commands) but on the
// real display, so that real keys reach its windows. Its output is kept line
// by line; a command is answered when an "echo" sent after it comes back,
// since every command completes before the console reads the next.
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <functional>

class InstallationCopy;

class TConsoleRun {
public:
    TConsoleRun(const InstallationCopy &installation, const QString &display, const QString &runtimeDir);
    ~TConsoleRun();
    TConsoleRun(const TConsoleRun &) = delete;
    TConsoleRun &operator=(const TConsoleRun &) = delete;

    // Starts the console with the switches and waits for READY; false when it ends or stalls first.
    // The early lines are sent at once, for a window that the start-up opens before READY.
    bool Start(const QStringList &arguments, const QStringList &environment = {}, const QStringList &earlyLines = {});
    // The two halves of Start, for consoles that start at once.
    bool Launch(const QStringList &arguments, const QStringList &environment = {});
    bool WaitReady();
    // Ends the process as a crash or the user's kill does, in the middle of whatever it does.
    void Kill();
    // Milliseconds from the start to READY.
    qint64 ReadyMs() const { return m_readyMs; }

    // Runs a command and returns the lines it wrote.
    QStringList Command(const QString &line, int timeoutMs = 15000);
    // Sends a line without waiting for its effects (for a line that opens a window whose
    // MODAL line the journey then waits for).
    void Send(const QString &line);
    // Waits for a line after the last one taken that starts with the prefix; the lines up to it are taken.
    QString WaitFor(const QString &prefix, int timeoutMs = 15000);
    // Runs the command again until the check holds on its lines (for effects of real keys, which
    // reach the console through the display, not through its input).
    bool PollUntil(const QString &command, const std::function<bool(const QStringList &)> &check,
                   int timeoutMs = 10000);
    // Quits and waits for the process to end; true when it ended normally.
    bool Quit(int timeoutMs = 15000);
    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    // Waits for the console to end by itself (a key that quits it); true when it ended normally.
    bool WaitForEnd(int timeoutMs);

    QStringList Output() const { return m_lines; }
    void SaveOutput(const QString &path) const;

private:
    bool readLines(int timeoutMs);
    QProcess m_process;
    QStringList m_lines;
    QByteArray m_partial;
    qsizetype m_taken = 0;
    int m_echo = 0;
    qint64 m_readyMs = -1;
    QElapsedTimer m_started;
    const InstallationCopy &m_installation;
    QString m_display;
    QString m_runtimeDir;
};

// The lines of a window dump that begin with the prefix (e.g. "ROW grdOrders ").
QStringList LinesStartingWith(const QStringList &lines, const QString &prefix);
