#pragma once
// SIGTERM and SIGHUP (a logout, a service manager, "kill") end the console as
// its exit command does. The handler only notes the signal on a pipe; the
// event loop reads it and runs the program's reaction, where everything may
// be done.
#include <QObject>

#include <functional>

class QSocketNotifier;

class TExitSignals : public QObject {
public:
    // Catches SIGTERM and SIGHUP from now on; onSignal runs in the event loop
    // with the signal's number.
    explicit TExitSignals(std::function<void(int)> onSignal, QObject *parent = nullptr);
    // Gives the signals their previous handlers back.
    ~TExitSignals() override;
    TExitSignals(const TExitSignals &) = delete;
    TExitSignals &operator=(const TExitSignals &) = delete;

private:
    void readSignals();
    std::function<void(int)> m_onSignal;
    QSocketNotifier *m_notifier = nullptr;
};
