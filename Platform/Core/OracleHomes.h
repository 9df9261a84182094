#pragma once
// The installed Oracle client homes, detected in one place for the whole
// program: the default home (ORACLE_HOME of the environment, else the first
// home of /etc/oratab) and the homes listed in /etc/oratab. A console chooses
// one by its index (0 the default, 1..6 the listed ones); the chosen home is
// put into the environment of the Oracle client before its first connection.
#include "Core/PlatformExport.h"

#include <QString>
#include <QStringList>

struct PLATFORM_EXPORT TOracleHomes {
    // Path of the default home; empty when there is none.
    QString DefaultOracleHome;
    // Paths of the installed homes, in the order of the oratab file.
    QStringList OracleHomeNames;
    int OracleHomeCount() const { return static_cast<int>(OracleHomeNames.size()); }
    // The path of a home index (0 the default, k the (k-1)th listed home), or empty.
    QString PathOf(int index) const;
};

// The number of home indexes a console offers: the default and six listed homes.
constexpr int kOracleHomeIndexes = 7;

// Looks for the client's homes now. ZANDRELL_ORATAB points at another oratab file.
PLATFORM_EXPORT TOracleHomes DetectOracleHomes();
// Reads the homes of an oratab text ("SID:/path:Y"), each path once, in file order.
PLATFORM_EXPORT QStringList ParseOratab(const QString &text);
// The name of a home index as the home window and the status bar show it:
// "Default" or "Home<k-1>", with the home's path in brackets when it exists.
PLATFORM_EXPORT QString OracleHomeEntry(const TOracleHomes &homes, int index);

// Puts the home of the index into the environment of the Oracle client
// (ORACLE_HOME, and TNS_ADMIN when the home has network/admin and none is set)
// once per run: the client reads them when it first starts, so a later change
// takes effect at the next start. Returns the home's path, empty when the
// index names no home (the environment is then left as it is).
PLATFORM_EXPORT QString ApplyOracleHome(int index);
// True once a home was applied in this run.
PLATFORM_EXPORT bool OracleHomeApplied();
