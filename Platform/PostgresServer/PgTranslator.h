#pragma once
// The Oracle SQL of the console as PostgreSQL with orafce takes it, token by
// token and no further than the console needs:
//
// - "SCHEME.PACKAGE.NAME(" becomes "PACKAGE.NAME(": a package is a schema of
//   functions (menupack.ins_access), "SCHEME.NAME(" and "PACKAGE.NAME(" stay;
// - a session table "SCHEME.TABLE" becomes the session's own temporary table;
// - NVL becomes COALESCE (which finds the common type of its values),
//   SYSDATE LOCALTIMESTAMP(0), MINUS EXCEPT, and a chain of "||" concat(),
//   which skips NULLs as Oracle does;
// - a sub-query in FROM without an alias gets one, the alias of the one table
//   of an UPDATE or DELETE goes, a trailing ";" goes;
// - a quoted upper-case name becomes the lower-case name PostgreSQL keeps, and
//   the empty text '' NULL, as Oracle takes it;
// - parameters ":NAME" become "$1", "$2", ... (one number per name).
//
// DECODE, NVL2, TO_CHAR, DUAL and the other functions of Oracle are orafce's.
#include "Core/PlatformExport.h"

#include <QSet>
#include <QString>
#include <QStringList>

struct TPgStatement {
    QString sql;               // the PostgreSQL text
    QStringList binds;         // the parameter behind $1, $2, ... by name
    QStringList sessionTables; // "SCHEME.TABLE" of the session tables it names
};

// sessionTables: the session tables of the server ("SCHEME.TABLE", upper case).
PLATFORM_EXPORT TPgStatement TranslateForPostgres(const QString &oracleSql, const QSet<QString> &sessionTables = {});

// Oracle's account statements as role statements: CREATE USER X IDENTIFIED BY
// p [ACCOUNT LOCK], ALTER USER X IDENTIFIED BY p | ACCOUNT LOCK | ACCOUNT
// UNLOCK, DROP USER X (a locked account is a role that may not log in). Empty
// for any other statement; ORA-00922 for an account statement it cannot take.
PLATFORM_EXPORT QString PgAccountStatement(const QString &oracleSql);

// The temporary table that stands for a session table of a scheme: "zandrell5$temp_order_lines_report".
PLATFORM_EXPORT QString PgSessionTableName(const QString &scheme, const QString &table);

// The schema and the function a dotted name of a server procedure names:
// "S.PACK.PROC" -> {"pack", "proc", "S"}; "A.B" -> {"a", "b", ""}; "C" -> {"", "c", ""}.
struct TPgRoutineName {
    QString schema;
    QString name;
    QString scheme; // the scheme written in front of a package, upper case
};
PLATFORM_EXPORT TPgRoutineName PgRoutineName(const QString &dottedName);
