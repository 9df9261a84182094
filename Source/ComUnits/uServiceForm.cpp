#include "Source/ComUnits/uServiceForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

TServiceForm::TServiceForm(QWidget *parent) : QDialog(parent, Qt::Window) {}

TServiceForm::~TServiceForm() = default;

void TServiceForm::setVisible(bool visible)
{
    QDialog::setVisible(visible);
    if (isVisible())
        m_formStatus |= fsVisible;
    else
        m_formStatus &= quint8(~fsVisible);
}

void TServiceForm::PostMessage(QObject *window, int message, qintptr wParam, qintptr lParam)
{
    QCoreApplication::postEvent(window, new TPostedMessageEvent(message, wParam, lParam));
}

bool TServiceForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        m_formStatus |= fsActivated;
        // A copy: the handler may replace the slot while it runs.
        const TActivateHandler handler = OnActivate;
        if (handler)
            handler(this);
    } else if (event->type() == TPostedMessageEvent::EventType()) {
        const auto *message = static_cast<TPostedMessageEvent *>(event);
        UserMessage(message->Message, message->WParam, message->LParam);
        return true;
    }
    return QDialog::event(event);
}

void TServiceForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    const TCloseHandler handler = OnClose;
    if (handler)
        handler(this, event);
}

void TServiceForm::keyPressEvent(QKeyEvent *event)
{
    if (isModal())
        QDialog::keyPressEvent(event);
    else
        QWidget::keyPressEvent(event);
}

void TServiceForm::UserMessage(int, qintptr, qintptr) {}

TPostedMessageEvent::TPostedMessageEvent(int message, qintptr wParam, qintptr lParam)
    : QEvent(EventType()), Message(message), WParam(wParam), LParam(lParam)
{
}

TPostedMessageEvent::~TPostedMessageEvent() = default;

QEvent::Type TPostedMessageEvent::EventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}
