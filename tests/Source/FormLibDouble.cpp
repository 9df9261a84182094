// A stand-in for the form library ComformLibs.so: each entry writes what it
// was given into the property "formLibCall" of the grid's view, so that a
// test sees which entry a form called and with what. Built without
// FORMLIB_FULL it offers no entries at all.
#include "Source/ComUnits/uComFormLibs.h"

#include <QAbstractItemView>
#include <QString>

#define DOUBLE_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef FORMLIB_FULL
namespace {

void record(IDBGrid *grid, const QString &call)
{
    if (grid && grid->Grid())
        grid->Grid()->setProperty("formLibCall", call);
}

} // namespace

DOUBLE_EXPORT int _SortDBGridB(IDBGrid *grid, const char *hint)
{
    record(grid, QStringLiteral("sort|%1").arg(QString::fromUtf8(hint)));
    return 1;
}

// Searches the second column.
DOUBLE_EXPORT int _FindByDBGridExB(IDBGrid *grid, const char *hint, int *fieldIndex)
{
    record(grid, QStringLiteral("find|%1|%2").arg(QString::fromUtf8(hint)).arg(*fieldIndex));
    *fieldIndex = 1;
    return 1;
}

// Sets a filter: the mode comes back 1.
DOUBLE_EXPORT int _FilterByDBGridD(int *mode, IDBGrid *grid, const char *hint)
{
    record(grid, QStringLiteral("filter|%1|%2").arg(QString::fromUtf8(hint)).arg(*mode));
    *mode = 1;
    return 1;
}

DOUBLE_EXPORT int GridReport(IDBGrid *grid, IDBGrid *masterGrid, const char *hint, const char *masterHint,
                             const char *title)
{
    record(grid, QStringLiteral("report|%1|%2|%3|%4")
                     .arg(QString::fromUtf8(hint), masterGrid ? QStringLiteral("master") : QStringLiteral("none"),
                          QString::fromUtf8(masterHint), QString::fromUtf8(title)));
    return 1;
}

DOUBLE_EXPORT int RunSelectGrid(IDBGrid *grid, int mode, const char *column, int flag)
{
    record(grid, QStringLiteral("select|%1|%2|%3").arg(mode).arg(QString::fromUtf8(column)).arg(flag));
    return 1;
}
#endif
