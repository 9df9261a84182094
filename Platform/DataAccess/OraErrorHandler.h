#pragma once
// TOraErrorHandler: sees every database error of its session first (each
// failed connect attempt included) and may give it a readable message.
#include "Core/PlatformExport.h"

#include <QObject>
#include <QString>

#include <functional>

class TOraSession;

class PLATFORM_EXPORT TOraErrorHandler : public QObject {
    Q_OBJECT
public:
    explicit TOraErrorHandler(QObject *owner = nullptr);
    ~TOraErrorHandler() override;

    TOraSession *Session() const { return m_session; }
    void SetSession(TOraSession *session);

    // (Oracle error number, message in/out)
    std::function<void(int, QString &)> OnError;

    // Runs OnError and returns the message it left.
    QString Handle(int errorCode, const QString &message);

private:
    friend class TOraSession;
    TOraSession *m_session = nullptr;
};
