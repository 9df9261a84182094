#pragma once
// Session-private tables of a scheme, Oracle's global temporary tables: a
// scheme declares them ("CREATE GLOBAL TEMPORARY TABLE S.T (...) ON COMMIT
// PRESERVE ROWS", kept in its table SESSION_TABLES), and every connection
// makes its own empty copy in its TEMP database when it attaches the scheme.
// So each session sees only its own rows, takes no lock that another session
// waits for, and loses them when it ends. "S.T" in a statement, and a server
// procedure's table T of scheme S, mean the session's copy.
#include "Core/PlatformExport.h"

#include <QString>

#include <optional>

struct TSessionTableDecl {
    QString scheme;  // upper case
    QString table;   // upper case
    QString columns; // the column and constraint list, as written between the parentheses
};

// The scheme's table that lists its session tables (TABLE_NAME, COLUMNS).
inline constexpr const char *kSessionTablesTable = "SESSION_TABLES";

// "S.T", upper case: how a session table is known.
PLATFORM_EXPORT QString SessionTableKey(const QString &scheme, const QString &table);
// The session's copy as SQLite names it: temp."S.T".
PLATFORM_EXPORT QString SessionTableSqlName(const QString &scheme, const QString &table);

// The declaration in a statement; nothing when the statement declares none.
// Raises ORA-00922 for one the server cannot keep (rows deleted at commit,
// no scheme named).
PLATFORM_EXPORT std::optional<TSessionTableDecl> ParseSessionTableDeclaration(const QString &sql);
