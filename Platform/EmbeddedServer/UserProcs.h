#pragma once
// The scheme's user procedures of the embedded server: GET_CURRCONFIG, the
// Request function and EMPLOYEPACK (password change), and the account
// statements CREATE USER / ALTER USER / DROP USER.
#include "Core/PlatformExport.h"

#include <QString>

class TSqliteConnection;

void RegisterUserProcs();

// Checks a log-in against the accounts database: raises ORA-01005 (empty
// password), ORA-01017 (unknown user or wrong password) or ORA-28000 (locked).
PLATFORM_EXPORT void CheckLogin(TSqliteConnection &conn, const QString &username, const QString &password);
// Runs CREATE USER, ALTER USER and DROP USER statements; false when the text is none of them.
PLATFORM_EXPORT bool ExecAccountStatement(TSqliteConnection &conn, const QString &sql);
