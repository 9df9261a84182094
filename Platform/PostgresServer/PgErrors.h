#pragma once
// The errors of a PostgreSQL server as the Oracle errors the console knows:
// the Oracle number for the fault (a wrong password 1017, a role that may not
// log in 28000, a missing table 942, a unique key 1, a lock wait 54, ...) and
// the server's own text after it. A scheme procedure that refuses a call
// raises its text as "ORA-nnnnn: ...", and that number is kept.
#include "Core/PlatformExport.h"
#include "DataAccess/DAError.h"

#include <QString>

class QSqlError;

// The Oracle number of a server error by its SQLSTATE and its primary message.
PLATFORM_EXPORT int OracleCodeOfPgError(const QString &sqlState, const QString &message);
// The error of a failed statement or log-in, ready to raise.
PLATFORM_EXPORT EDAError PgError(const QSqlError &error);
// The primary message of the server's text: "ERROR:  x\nDETAIL: ...\n(42P01)" -> "x".
PLATFORM_EXPORT QString PgPrimaryMessage(const QString &databaseText);
