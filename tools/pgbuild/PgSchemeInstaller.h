#pragma once
// Installs the scheme of Scheme/postgres into a database of a PostgreSQL
// server, as its administrator, or upgrades the one there in place:
//
// - the database is made when missing;
// - every file runs in file-name order, all in one transaction (a failure
//   leaves the database as it was); the files named *demo* (the demo rows and
//   accounts) only into a database without the scheme's tables;
// - every scheme with a language pack gets the shared resource strings
//   (Russian 25, English 9), as the embedded server's builder gives them.
//
// The files make what is missing and replace the code (views, packages), so a
// scheme that is there keeps its rows.
#include "tools/pgbuild/PgCluster.h"

#include <QString>
#include <QStringList>

struct TPgInstallResult {
    bool created = false; // the scheme was new: the demo rows went in
    int version = 0;      // the scheme's version afterwards
    QStringList files;    // the files that ran
};

// Raises EDAError (the file and the server's text in its message) or EOSError.
TPgInstallResult InstallPgScheme(const TPgServerPlace &administrator, const QString &sourceDir,
                                 const QString &database);
// Sets [alias] Backend=postgres, Host, Port and Database in a Servers.ini, keeping its other sections.
void WritePostgresAlias(const QString &serversIni, const QString &alias, const TPgServerPlace &place,
                        const QString &database);
