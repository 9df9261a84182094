#pragma once
// The report of a grid: the printable listing (TQRByDataSet) of the grid's
// visible columns in the grid's order under their grid titles, titled with the
// form's caption; for a detail grid the master's current record is the second
// title line.
#include <QList>
#include <QString>

class IDBGrid;
struct TQRColumnSource;

// The grid's visible columns in display order, each with its title.
QList<TQRColumnSource> GridReportColumns(IDBGrid *grid);
// The master grid's current record as one line: "title: value" per visible column; empty without one.
QString MasterRowLine(IDBGrid *masterGrid);

// The report entry: previews the grid's report; returns 1 when it was shown.
int ShowGridReport(IDBGrid *grid, IDBGrid *masterGrid, const QString &title);
