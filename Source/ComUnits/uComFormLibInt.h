#pragma once
// The form library ComformLibs.so of the program folder: loaded on the first
// call and kept for the rest of the run. Each function forwards to the
// library's entry of the same name (uComFormLibs.h) and returns its answer.
//
// A missing library raises an Exception naming it with its full path; a
// library that is there but does not load raises the loader's error; a
// library without the entry is a failed assertion naming the entry
// ("uComFormLibInt: "_SortDBGridB" procedure not found in ComformLibs.so").
// The console lets the library go when it ends (FreeLibrary).
#include "Core/PlatformExport.h"
#include "Source/ComUnits/DBGridInterface.h"

#include <QRect>
#include <QString>

class TDataSet;

namespace ComFormLibs {

PLATFORM_EXPORT bool SortDBGridB(IDBGrid *grid, const QString &hint);
PLATFORM_EXPORT bool FindByDBGridExB(IDBGrid *grid, const QString &hint, int &fieldIndex);
PLATFORM_EXPORT bool FilterByDBGridD(int &mode, IDBGrid *grid, const QString &hint);
PLATFORM_EXPORT bool GridReport(IDBGrid *grid, IDBGrid *masterGrid, const QString &hint, const QString &masterHint,
                                const QString &title);
PLATFORM_EXPORT bool RunSelectGrid(IDBGrid *grid, int mode, const QString &column, int flag);
PLATFORM_EXPORT bool RunMySelect(TDataSet *dataSet, int mode, const QRect &area, const QString &column, int flag);

// The library's file name on this platform, and its path in the program folder.
PLATFORM_EXPORT QString LibraryFileName();
PLATFORM_EXPORT QString LibraryPath();
// Lets the library go (the end of the run; tests that change the program folder).
PLATFORM_EXPORT void FreeLibrary();

} // namespace ComFormLibs
