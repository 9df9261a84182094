#pragma once
// The installed Oracle client homes, as the client reports them: the default
// home (ORACLE_HOME of the environment) and the homes listed in /etc/oratab.
#include "PlatformExport.h"

#include <QString>
#include <QStringList>

struct PLATFORM_EXPORT TOracleHomes {
    // Name of the default home; empty when the client reports none.
    QString DefaultOracleHome;
    // Names of the installed homes, in the client's order.
    QStringList OracleHomeNames;
    int OracleHomeCount() const { return static_cast<int>(OracleHomeNames.size()); }
};

// Looks for the client's homes now. ZANDRELL_ORATAB points at another oratab file.
PLATFORM_EXPORT TOracleHomes DetectOracleHomes();
// Reads the homes of an oratab text ("SID:/path:Y"), each path once, in file order.
PLATFORM_EXPORT QStringList ParseOratab(const QString &text);
