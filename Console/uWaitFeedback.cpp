#include "Console/uWaitFeedback.h"

#include "Console/uConsoleCfg.h"

#include <QGuiApplication>
#include <QTimer>

TDbWaitFeedback::TDbWaitFeedback() { SetDbWaitIndicator(this); }

TDbWaitFeedback::~TDbWaitFeedback()
{
    if (DbWaitIndicator() == this)
        SetDbWaitIndicator(nullptr);
    busyEnds();
}

bool TDbWaitFeedback::setWaitCursor()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    return true;
}

TDbWaitFeedback *DbWaitFeedback() { return dynamic_cast<TDbWaitFeedback *>(DbWaitIndicator()); }

QString TDbWaitFeedback::WaitText()
{
    return LangText(QStringLiteral("rstr_msg_WaitingForDatabase"),
                    SelectText(QStringLiteral("Ожидание базы данных: запись держит другая программа..."),
                               QStringLiteral("Waiting for the database: another program is writing...")),
                    tkMessage);
}

void TDbWaitFeedback::WaitStarted() { m_cursorSet = setWaitCursor(); }

void TDbWaitFeedback::WaitGoesOn(int elapsedMs)
{
    if (m_textShown || elapsedMs < kTextAfterMs || !StatusPanel)
        return;
    m_previousText = StatusPanel->text();
    StatusPanel->setText(QLatin1Char(' ') + WaitText());
    // The event loop does not run while the database waits: paint the panel now.
    StatusPanel->repaint();
    m_textShown = true;
}

void TDbWaitFeedback::WaitEnded()
{
    if (m_textShown && StatusPanel)
        StatusPanel->setText(m_previousText);
    m_textShown = false;
    if (m_cursorSet)
        QGuiApplication::restoreOverrideCursor();
    m_cursorSet = false;
}

void TDbWaitFeedback::WorkStarted()
{
    m_working = true;
    if (!m_busy.isValid())
        m_busy.start();
}

void TDbWaitFeedback::WorkGoesOn()
{
    // The cursor is set at once: the event loop does not run while the console works.
    if (!m_workCursorSet && m_busy.isValid() && m_busy.elapsed() >= kWorkCursorAfterMs)
        m_workCursorSet = setWaitCursor();
}

void TDbWaitFeedback::WorkEnded()
{
    WorkGoesOn();
    m_working = false;
    // What the windows make of the rows still keeps the console busy: the wait
    // ends when the event loop runs, unless new work has begun by then.
    if (m_idlePending)
        return;
    m_idlePending = true;
    QTimer::singleShot(0, &m_idle, [this] {
        m_idlePending = false;
        if (!m_working)
            busyEnds();
    });
}

void TDbWaitFeedback::busyEnds()
{
    if (m_workCursorSet)
        QGuiApplication::restoreOverrideCursor();
    m_workCursorSet = false;
    m_busy.invalidate();
}
