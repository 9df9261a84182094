#pragma once
// Oracle SQL to SQLite SQL, token by token and no further than the console
// needs: scheme-qualified package functions inside a query become calls of
// the backend's Z$CALL function, SYSDATE becomes a function call, MINUS
// becomes EXCEPT, a trailing ";" goes, the alias of the one table of an
// UPDATE or DELETE goes (SQLite allows none there), and a chain of "||"
// becomes Z$CONCAT, which skips NULLs as Oracle does. NVL, NVL2, DECODE,
// UPPER, LOWER, TO_CHAR and TO_NUMBER are SQL functions of the connection;
// scheme-qualified names (attached databases) and DUAL (a view) work as written,
// except the session tables given ("SCHEME.TABLE"), which become the session's
// own copies (SessionTables.h).
#include "Core/PlatformExport.h"

#include <QSet>
#include <QString>

PLATFORM_EXPORT QString TranslateOracleSql(const QString &sql, const QSet<QString> &sessionTables = {});
