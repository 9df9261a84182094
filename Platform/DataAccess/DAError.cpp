#include "DataAccess/DAError.h"

EDAError::~EDAError() = default;

QString OraMessage(int errorCode, const QString &text)
{
    return QStringLiteral("ORA-%1: %2").arg(errorCode, 5, 10, QLatin1Char('0')).arg(text);
}

void RaiseOraError(int errorCode, const QString &text) { throw EDAError(errorCode, OraMessage(errorCode, text)); }

void RaiseConfigError(int errorCode, const QString &detail)
{
    EDAError error(errorCode, OraMessage(errorCode, detail));
    error.SetDetail(detail);
    throw error;
}
