#include "DataAccess/OraErrorHandler.h"

#include "DataAccess/OraSession.h"

TOraErrorHandler::TOraErrorHandler(QObject *owner) : QObject(owner) {}

TOraErrorHandler::~TOraErrorHandler()
{
    if (m_session)
        m_session->DetachErrorHandler(this);
}

void TOraErrorHandler::SetSession(TOraSession *session)
{
    if (m_session == session)
        return;
    if (m_session)
        m_session->DetachErrorHandler(this);
    m_session = session;
    if (m_session) {
        m_session->AttachErrorHandler(this);
        connect(m_session, &QObject::destroyed, this, [this](QObject *gone) {
            if (m_session == gone)
                m_session = nullptr;
        });
    }
}

QString TOraErrorHandler::Handle(int errorCode, const QString &message)
{
    QString text = message;
    if (OnError)
        OnError(errorCode, text);
    return text;
}
