#pragma once
// The command lines of the unattended mode: standard input, read one line at
// a time and handed to the innermost reader. The main window reads first; a
// driven modal window pushes its reader while it is open, so that the lines
// after the one that opened it go to the window, and the lines after the one
// that closed it go back to the reader beneath. A reader gets no further line
// while it still runs one, unless a reader opened above it takes it.
#include "Core/PlatformExport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

class QSocketNotifier;

class PLATFORM_EXPORT IProtocolReader {
public:
    virtual ~IProtocolReader();
    // One command line, trimmed and never empty.
    virtual void ProtocolLine(const QString &line) = 0;
    // The input has ended; each reader is told once.
    virtual void ProtocolEnd() = 0;
    // False while the reader cannot take lines (its window is closing): they wait for the reader beneath.
    virtual bool ReadsLines() const { return true; }
};

class PLATFORM_EXPORT TProtocolInput : public QObject {
    Q_OBJECT
public:
    // The program's one source; it reads standard input from the first reader on.
    static TProtocolInput &Instance();

    // The reader takes the next lines until it is removed (not owned).
    void Push(IProtocolReader *reader);
    void Remove(IProtocolReader *reader);

    // Input from elsewhere than standard input (tests): a source fed this way never reads standard input.
    void Feed(const QByteArray &bytes);
    // The end of that input.
    void EndInput();
    // Forgets the readers, the waiting lines and the end (tests).
    void Reset();
    // Runs before every line is handed out; a window opened meanwhile takes the lines first.
    void SetSettle(std::function<void()> settle);

private:
    TProtocolInput() = default;
    void startReading();
    void readStandardInput();
    void takeLines(const QByteArray &bytes);
    void scheduleDispatch();
    void dispatch();

    QList<IProtocolReader *> m_readers;
    // The readers running a line now, and those told of the end.
    QList<IProtocolReader *> m_busy;
    QList<IProtocolReader *> m_toldEnd;
    QStringList m_lines;
    QByteArray m_partial;
    bool m_ended = false;
    bool m_fed = false;
    QSocketNotifier *m_notifier = nullptr;
    std::function<void()> m_settle;
};
