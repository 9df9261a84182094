#pragma once
// The unattended mode of the main window: with KORCONSOLE_HEADLESS=1 the
// console writes READY and a dump of its main menu, tool buttons, status
// panels and caption whenever it has built its configuration, and takes the
// command lines of standard input (Core/ProtocolInput.h), one per line:
//   dump                 the same lines again
//   click <caption path> triggers the menu item found by its captions joined by "/"
//   button <n>           clicks the n-th tool button (from 1, in bar order)
//   rights               RIGHTS <caption path>|<rights string> per service of the menu, in menu order
//   service <command>    a window command (Ui/ModalDriver.h) on the active service window, else on the
//                        service window opened last
//   reply, input         the answers of the next message box and input query (Ui/ModalDriver.h)
//   quit                 closes the main window as the exit command does
// The end of the input is quit. While a driven modal window is open, the
// lines go to it (Ui/ModalDriver.h).
#include "Core/ProtocolInput.h"

#include <QObject>
#include <QStringList>

class QDialog;
class TfmMain;

class TUnattendedDriver : public QObject, public IProtocolReader {
    Q_OBJECT
public:
    explicit TUnattendedDriver(TfmMain *window);
    ~TUnattendedDriver() override;

    // Starts taking command lines.
    void Start();
    // Writes READY and the dump.
    void Ready();
    QStringList Dump() const;
    QStringList Rights() const;
    // Runs one command line; false for a command it does not know.
    bool Execute(const QString &line);

    void ProtocolLine(const QString &line) override;
    void ProtocolEnd() override;

private:
    void quit();
    QDialog *serviceWindow() const;
    TfmMain *m_window;
    bool m_quitting = false;
};
