#pragma once
// What the user sees while the console waits for the database (a write lock
// that another program holds): the wait cursor at once and, after two
// seconds, a text in the main window's status bar, both gone when the wait
// ends.
#include "DataAccess/DbWait.h"

#include <QLabel>
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

    // The status panel that shows the text (the main window's first one), when there is one.
    QPointer<QLabel> StatusPanel;

    static constexpr int kTextAfterMs = 2000;
    static QString WaitText();

private:
    QString m_previousText;
    bool m_textShown = false;
    bool m_cursorSet = false;
};

// The feedback installed now, or null.
TDbWaitFeedback *DbWaitFeedback();
