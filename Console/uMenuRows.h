#pragma once
// The rows of a menu configuration, read once from their data sets, and the
// shape of the tree they describe: which rows lie in which group, in the
// order the menu build visits them, and which rows cannot be placed.
//
// Every group number (ID_CFG) is expanded once. A group row whose number is
// missing, is 0 (the top level), or was met before (a group inside itself or
// a number used twice) is left out; so are rows whose owner is no group that
// can be reached from the top level: rows that point at nothing and rows that
// form a cycle among themselves. Each left-out row is named once, with the
// reason; rows below a left-out group go with it unnamed.
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

class TDataSet;

// One row of the menu query (V_MENUCFG).
struct TMenuRow {
    std::optional<qint64> Id;    // ID_CFG
    std::optional<qint64> Owner; // OWNER: the group's ID_CFG, 0 at the top level
    bool IsGroup = false;
    QString Name; // MENUNAME of a group
    QString Mode; // ItemMode of a service entry
    std::optional<qint64> ItemId;
    qint64 SortOrder = 0; // SORT_ORDER; 0 when the result has no such column
};

// One row of the service catalogue (V_SRVITEMS).
struct TCatalogueRow {
    QString DllName;
    QString Guid;
    QString Name; // SOURCE_SRVNAME, or SRVNAME when the result has no such column
    bool CreateBtn = false;
    bool IsLang = false;
};

// The menu rows in the data set's order. The rows are read in place: the
// current record does not move, so no detail data set re-opens per row.
std::vector<TMenuRow> ReadMenuRows(TDataSet *menu);
// The catalogue rows by ITEMID.
QHash<qint64, TCatalogueRow> ReadCatalogue(TDataSet *catalogue);

// The rows of one group (GroupRow; -1 for the top level) in visiting order:
// the top level from its last row to its first, groups from first to last.
struct TMenuLevel {
    int GroupRow = -1;
    std::vector<int> Rows;
};

// A row left out of the tree and why.
struct TLeftOutRow {
    int Row = -1;
    QString Reason;
};

struct TMenuShape {
    // A group's level comes after the level that holds the group's row, and
    // before the level of the group's next sibling: the order of a recursive
    // walk that reads a whole level before going down.
    std::vector<TMenuLevel> Levels;
    std::vector<TLeftOutRow> LeftOut;
};

TMenuShape ShapeMenu(const std::vector<TMenuRow> &rows);
