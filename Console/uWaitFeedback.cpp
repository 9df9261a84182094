#include "Console/uWaitFeedback.h"

#include "Console/uConsoleCfg.h"

#include <QGuiApplication>

TDbWaitFeedback::TDbWaitFeedback() { SetDbWaitIndicator(this); }

TDbWaitFeedback::~TDbWaitFeedback()
{
    if (DbWaitIndicator() == this)
        SetDbWaitIndicator(nullptr);
}

TDbWaitFeedback *DbWaitFeedback() { return dynamic_cast<TDbWaitFeedback *>(DbWaitIndicator()); }

QString TDbWaitFeedback::WaitText()
{
    return LangText(QStringLiteral("rstr_msg_WaitingForDatabase"),
                    SelectText(QStringLiteral("Ожидание базы данных: запись держит другая программа..."),
                               QStringLiteral("Waiting for the database: another program is writing...")),
                    tkMessage);
}

void TDbWaitFeedback::WaitStarted()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorSet = true;
    }
}

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
