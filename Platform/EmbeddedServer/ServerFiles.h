#pragma once
// The files of an embedded server as the user is told of them: what a file
// holds before the server opens it (so that an empty file is never made a
// database), and the real cause when one cannot be used (missing, empty,
// damaged, a full disk, a read-only file system, a user without the right to
// write the folder, a lock of another program), in the user's language.
#include "Core/PlatformExport.h"

#include <QString>

enum class TDbFileStart { Missing, Empty, Sqlite, Other };

// What the file starts with: nothing, an SQLite header, or anything else.
PLATFORM_EXPORT TDbFileStart DbFileStartOf(const QString &path);

// The readable cause of a failure on the file: sqliteCode is the (extended)
// SQLite result, sysErrno the error of the system call that failed (0: none).
PLATFORM_EXPORT QString DbFileFault(const QString &path, int sqliteCode, int sysErrno);

// "The database file "<path>" is no scheme of this server": an SQLite file without SERVER_OBJECTS.
PLATFORM_EXPORT QString ForeignSchemeFileText(const QString &path);
