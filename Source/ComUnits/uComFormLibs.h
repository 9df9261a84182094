#pragma once
// Entry points of the form library ComformLibs.so: the dialogs shared by the
// console, the data forms and the service modules. Texts are UTF-8; an in/out
// text is passed as a pointer to the caller's text, which the library replaces
// by a pointer to its own copy, valid until its next call. A grid is passed as
// its IDBGrid interface; the library works on the grid's data set through it.
#include "Source/ComUnits/DBGridInterface.h"
#include "Source/ComUnits/ZandrellInterface.h"

class TDataSet;

extern "C" {

// Asks for one line of text. Returns nonzero when the user confirmed.
// maxLength: at most that many characters may be typed; -1 or 0 means no limit.
typedef int (*TLumInputQuery)(const char *caption, const char *prompt, const char *okText, const char *cancelText,
                              const char **value, int maxLength);

// Sort dialog: the fields and directions the user chooses become the query's
// FIELD macro; the query is opened again on the record it stood on. Returns
// nonzero when the order changed.
typedef int (*TSortDBGridB)(IDBGrid *grid, const char *hint);

// Find dialog: field, text, partial or whole value, onward from the current
// record. fieldIndex: in, the column to offer first; out, the column searched.
// Returns nonzero when a record was found (the data set stands on it).
typedef int (*TFindByDBGridExB)(IDBGrid *grid, const char *hint, int *fieldIndex);

// Filter dialog: conditions per field become the data set's filter. mode: in,
// 0 no filter in force, 1 a filter in force, 2 a detail grid; out, 1 while a
// filter is in force, else 0. Returns nonzero when the user confirmed.
typedef int (*TFilterByDBGridD)(int *mode, IDBGrid *grid, const char *hint);

// Printable report of the grid's visible columns; masterGrid (may be null):
// the grid of the master data set, whose current row heads the report.
typedef int (*TGridReport)(IDBGrid *grid, IDBGrid *masterGrid, const char *hint, const char *masterHint,
                           const char *title);

// Mass selection of a check column: mode 0 all, 1 invert, 3 none.
typedef int (*TRunSelectGrid)(IDBGrid *grid, int mode, const char *column, int flag);
typedef int (*TRunMySelect)(TDataSet *dataSet, int mode, int left, int top, int right, int bottom, const char *column,
                            int flag);

// Progress window over a count of steps: fills *progress with a window shown
// at once, titled caption. Returns nonzero on success.
typedef int (*TGetIProgress)(IProgress **progress, const char *caption, int count);
}
