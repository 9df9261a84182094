#pragma once
// The unattended mode of the main window: with KORCONSOLE_HEADLESS=1 the
// console writes READY and a dump of its main menu, tool buttons, status
// panels and caption whenever it has built its configuration, and reads
// commands from standard input, one per line:
//   dump                 the same lines again
//   click <caption path> triggers the menu item found by its captions joined by "/"
//   button <n>           clicks the n-th tool button (from 1, in bar order)
//   quit                 closes the main window as the exit command does
// The end of the input is quit.
#include <QObject>
#include <QStringList>

class QSocketNotifier;
class TfmMain;

class TUnattendedDriver : public QObject {
    Q_OBJECT
public:
    explicit TUnattendedDriver(TfmMain *window);
    ~TUnattendedDriver() override;

    // Starts reading commands from standard input.
    void Start();
    // Writes READY and the dump.
    void Ready();
    QStringList Dump() const;
    // Runs one command line; false for a command it does not know.
    bool Execute(const QString &line);

private:
    void readInput();
    void quit();
    TfmMain *m_window;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
    bool m_quitting = false;
};
