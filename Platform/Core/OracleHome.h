#pragma once
// The installed Oracle client homes: ORACLE_HOME of the environment is the
// default one; /etc/oratab lists the others (SID:path:flag lines). The
// embedded backend needs none.
#include "PlatformExport.h"

#include <QList>
#include <QString>

struct PLATFORM_EXPORT TOracleHome {
    QString Name;
    QString Path;
};

// Looks for the client homes again (the lists below are cached until then).
PLATFORM_EXPORT void DetectOCI();
PLATFORM_EXPORT int OracleHomeCount();
PLATFORM_EXPORT QString OracleHomeNames(int index);
PLATFORM_EXPORT QList<TOracleHome> OracleHomes();
// The default home (ORACLE_HOME); empty name and path when none is set.
PLATFORM_EXPORT TOracleHome DefaultOracleHome();
// For tests: read this file instead of /etc/oratab.
PLATFORM_EXPORT void SetOratabPath(const QString &path);
