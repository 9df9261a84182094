#pragma once
// Mass selection of a check column: every record of a range checked (mode 0),
// unchecked (mode 3) or turned over (mode 1). Each changed record is edited
// and posted (and its mark stored for the order-lines report, as a single
// click stores it); the data set comes back to the record it stood on.
#include <QString>

class TDataSet;

enum TSelectMode : int { smSelectAll = 0, smInvert = 1, smSelectNone = 3 };

// Rows firstRow to lastRow (from 0, as the grid shows them; lastRow -1: to the
// end). Returns the number of records changed; raises for an unknown mode, a
// missing column or a data set that cannot be changed.
int SelectRecords(TDataSet *dataSet, const QString &column, int mode, int firstRow = 0, int lastRow = -1);
