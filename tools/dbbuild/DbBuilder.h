#pragma once
// Builds an embedded server folder from the text files of Scheme/ through the
// project's own SQLite backend (so that accounts get salted password hashes):
//
//   Scheme/accounts.sql        CREATE USER statements for the accounts database
//   Scheme/<SCHEME>/*.sql      one folder per scheme (named in capitals), run in file-name order
//
// Statements end with ";". Every scheme that has a LANG_TEXTS table also gets
// the shared resource strings (Russian 25, English 9).
#include <QString>
#include <QStringList>

struct TDbBuildResult {
    QStringList schemes;
    int statements = 0;
};

// Builds the server into serverFolder, replacing what was there; fails with
// the error of the statement (file and statement number in the message).
TDbBuildResult BuildServerFolder(const QString &schemeSourceDir, const QString &serverFolder);
// Sets [alias] Backend=sqlite and Path in a Servers.ini, keeping its other sections.
void WriteServerAlias(const QString &serversIni, const QString &alias, const QString &path);
// The statements of a script: split at ";" outside literals, comments and parentheses.
QStringList SplitSqlScript(const QString &text);
