#pragma once
// The grid settings file "ComFormGFG.INI" beside the program: the ordering a
// user chose for each query of a form, remembered per scheme.
//
// - [<SCHEME>/<module file>/OrderBy] holds, per query, the chosen ordering
//   under the query key and the design ordering under the key + "_def";
// - [<SCHEME>_ORDERBY] SAVE (default true) switches the remembering off for a scheme.
//
// The query key is "<owner>.<query>.<checksum of the SQL text>", so a changed
// statement never gets an ordering stored for the old one. The checksum runs
// over the Windows-1251 bytes of the text as a Windows console keeps it (every
// line ended by CR LF), so both consoles share one file.
//
// Only queries whose macro ORDER begins with "ORDER" and that have a macro
// FIELD take part. A stored ordering is applied only when each of its
// comma-separated items is "[identifier.]field [ASC|DESC]" naming a field of the
// query; anything else is reported once and forgotten.
#include "Core/PlatformExport.h"

#include <QString>
#include <QStringList>

class QObject;
class QWidget;
class TIniFile;
class TOraDataSet;

// The settings file of the current program folder, opened once per folder.
PLATFORM_EXPORT TIniFile &ComFormGFGIni();

// The checksum of a query's SQL lines ("%.4x").
PLATFORM_EXPORT QString QuerySqlChecksum(const QString &sqlText);
PLATFORM_EXPORT QString QueryKey(const TOraDataSet *query);
// The file name of the module that holds the form's class ("Orders.so", or the program's name).
PLATFORM_EXPORT QString FormModuleName(const QObject *form);
PLATFORM_EXPORT QString OrderSection(const QString &scheme, const QString &module);
// Whether orderings are remembered for the scheme ([<SCHEME>_ORDERBY] SAVE).
PLATFORM_EXPORT bool OrderingsSaved(const QString &scheme);
// Whether the query's ordering is kept in its macros ORDER and FIELD.
PLATFORM_EXPORT bool HasOrderMacros(TOraDataSet *query);
// Whether the text is a list of "[identifier.]field [ASC|DESC]" items naming fields of the given list.
PLATFORM_EXPORT bool IsOrderingOf(const QString &ordering, const QStringList &fieldNames, QString *badItem = nullptr);

// At grid setup: notes the design ordering and applies the stored one (the
// query is reopened when it was open). A refused ordering is shown in an error
// box on `form` and its key deleted.
PLATFORM_EXPORT void RestoreQueryOrdering(QWidget *form, const QString &module, const QString &scheme,
                                          TOraDataSet *query);
// At close: keeps the current ordering when it differs from the design one,
// else forgets it. A file that cannot be written is only logged.
PLATFORM_EXPORT void StoreQueryOrdering(const QString &module, const QString &scheme, TOraDataSet *query);
