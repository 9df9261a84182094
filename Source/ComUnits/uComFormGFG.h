#pragma once
// The grid settings file "ComFormGFG.INI" beside the program: the ordering a
// user chose for each query of a form, remembered per scheme.
//
// - [<SCHEME>/<module file>/OrderBy] holds, per query, the chosen ordering
//   under the query key; a query ordered as its design says has no key;
// - [<SCHEME>_ORDERBY] SAVE (default true) switches the remembering off for a scheme.
//
// The design ordering is kept by the form while it is open, not in the file
// (a form that is opened and closed without a change writes nothing); a
// "_def" key left by an older console is removed when the query's ordering
// is next stored.
//
// - [<module file>/Columns] holds, per form and grid ("<form>.<grid>"), the
//   columns as the user arranged them (TDBGrid::ColumnLayout); a grid shown
//   as designed has no key.
//
// The query key is "<owner>.<query>.<checksum of the SQL text>", so a changed
// statement never gets an ordering stored for the old one. The checksum runs
// over the Windows-1251 bytes of the text as a Windows console keeps it (every
// line ended by CR LF), so both consoles share one file.
//
// Only queries whose macro ORDER begins with "ORDER" and that have a macro
// FIELD take part. A stored ordering is applied only when each of its
// comma-separated items is "[identifier.]field [ASC|DESC]" naming a field of the
// query; anything else is reported once and forgotten. Each item is applied as
// the query's select list names the field (uQueryOrdering), so that an
// ordering stored with bare names works on a query that joins tables.
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
// A valid ordering with each field written as the select list of the SQL text names it.
PLATFORM_EXPORT QString OrderingAsSelected(const QString &ordering, const QString &sqlText);

// The ordering in force (the FIELD macro), or a null text for a query that keeps none.
PLATFORM_EXPORT QString QueryOrdering(TOraDataSet *query);
// Applies the stored ordering (the query is reopened when it was open). A
// refused ordering is shown in an error box on `form` and its key deleted.
// Writes nothing else.
PLATFORM_EXPORT void RestoreQueryOrdering(QWidget *form, const QString &module, const QString &scheme,
                                          TOraDataSet *query);
// Keeps the current ordering when it differs from the design one, else
// forgets it; the file is rewritten only when that changes it. A file that
// cannot be written is only logged.
PLATFORM_EXPORT void StoreQueryOrdering(const QString &module, const QString &scheme, TOraDataSet *query,
                                        const QString &designOrdering);

// The arrangement of a grid's columns kept under the key, or empty.
PLATFORM_EXPORT QString StoredColumns(const QString &module, const QString &key);
// Keeps an arrangement (an empty one forgets the key); a file that cannot be written is only logged.
PLATFORM_EXPORT void StoreColumns(const QString &module, const QString &key, const QString &layout);
