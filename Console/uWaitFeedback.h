#pragma once
// What the user sees while the console waits for the database (a write lock
// that another program holds): the wait cursor at once and, after two
// seconds, a text in the main window's status bar, both gone when the wait
// ends.
//
// And while the console works without answering the user (data sets open,
// their rows are read, the windows take them in): once that has lasted half a
// second, the wait cursor, until the event loop runs again. The time counts
// from the first work after the event loop last ran, so a window that opens
// three data sets of 300 ms each shows it too.
#include "DataAccess/DbWait.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

class TDbWaitFeedback : public TDbWaitIndicator {
public:
    // Installs itself as the database's wait indicator for its lifetime.
    TDbWaitFeedback();
    ~TDbWaitFeedback() override;
    TDbWaitFeedback(const TDbWaitFeedback &) = delete;
    TDbWaitFeedback &operator=(const TDbWaitFeedback &) = delete;

    void WaitStarted() override;
    void WaitGoesOn(int elapsedMs) override;
    void WaitEnded() override;
    void WorkStarted() override;
    void WorkGoesOn() override;
    void WorkEnded() override;

    // The status panel that shows the text (the main window's first one), when there is one.
    QPointer<QLabel> StatusPanel;

    static constexpr int kTextAfterMs = 2000;
    // Work that has lasted this long shows the wait cursor.
    static constexpr int kWorkCursorAfterMs = 500;
    static QString WaitText();

private:
    static bool setWaitCursor();
    void busyEnds();

    QString m_previousText;
    bool m_textShown = false;
    bool m_cursorSet = false;
    // Since the first work after the event loop last ran; invalid when the console is idle.
    QElapsedTimer m_busy;
    bool m_working = false;
    bool m_workCursorSet = false;
    // Receives the end of the busy time, when the event loop runs again.
    QObject m_idle;
    bool m_idlePending = false;
};

// The feedback installed now, or null.
TDbWaitFeedback *DbWaitFeedback();
