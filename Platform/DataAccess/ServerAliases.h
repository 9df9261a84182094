#pragma once
// Servers.ini beside the program: each section is a server alias and names
// the backend that serves it.
//
//   [ZANDRELL]
//   Backend=sqlite          ; the default
//   Path=Db/ZANDRELL        ; folder of the server, relative to the program's folder
//
//   [PROD]
//   Backend=oracle
//   Driver=QOCI             ; QOCI or QODBC; empty: QOCI when installed, else QODBC
//   Database=//dbhost:1521/ORCL   ; TNS alias, EZCONNECT string or ODBC DSN
//   HostName=, Port=, ConnectOptions=   ; passed to QSqlDatabase when given
//
//   [ZANDRELL_PG]
//   Backend=postgres        ; a PostgreSQL server (PostgresServer/PostgresBackend.h)
//   Host=/tmp/zandrell-pg   ; a host name, or the folder of the server's Unix socket
//   Port=5432
//   Database=zandrell
#include "Core/PlatformExport.h"

#include <QString>
#include <QStringList>

struct PLATFORM_EXPORT TServerAlias {
    QString name;
    QString backend;  // "sqlite", "oracle" or "postgres"
    QString path;     // sqlite: absolute folder of the server
    QString driver;   // oracle: QOCI / QODBC / empty
    QString database; // oracle, postgres
    QString hostName; // oracle, postgres (Host=)
    int port = -1;    // oracle, postgres
    QString connectOptions;
};

// The file in use: Servers.ini in the program's folder unless set.
PLATFORM_EXPORT QString ServersIniPath();
// For tests and tools: use another file (empty: back to the default).
PLATFORM_EXPORT void SetServersIniPath(const QString &path);
// The aliases in file order.
PLATFORM_EXPORT QStringList ServerAliasNames();
// The alias (case-insensitive); false when it is not there.
PLATFORM_EXPORT bool FindServerAlias(const QString &name, TServerAlias *alias);
// The alias, or ORA-12154 (the connect identifier cannot be resolved) whose
// detail says in the user's language why: Servers.ini is missing, cannot be
// read or is damaged, or does not describe the alias.
PLATFORM_EXPORT TServerAlias ResolveServerAlias(const QString &name);
// Why Servers.ini cannot serve (the readable detail), or empty when it can.
PLATFORM_EXPORT QString ServersIniFault();
