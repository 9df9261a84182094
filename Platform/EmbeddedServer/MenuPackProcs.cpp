#include "EmbeddedServer/MenuPackProcs.h"

#include "EmbeddedServer/SchemeServer.h"
#include "EmbeddedServer/SqliteConnection.h"

#include <QDateTime>
#include <QSet>

#include <optional>

// The rules every procedure follows live in the helpers of the first half,
// one place each: who may call (RequireAdministrator), where ids come from
// (UpgradeOlderScheme, NextId), what a text column takes (ColumnText), a row
// as the caller saw it (RequireAsSeen), the walk up a menu's owners
// (WalkOwners), one name per access group (RequireUniqueAccessName) and the
// history of changes (Record). The procedures below them only combine those
// rules.
namespace {

using TFT = TFieldType;
constexpr int kSortStep = 10;

TProcArgInfo In(const char *name, TFT type = TFT::ftFloat)
{
    return {QString::fromLatin1(name), TParamType::ptInput, type};
}
TProcArgInfo InOut(const char *name, TFT type = TFT::ftFloat)
{
    return {QString::fromLatin1(name), TParamType::ptInputOutput, type};
}
TProcArgInfo Result(TFT type) { return {QStringLiteral("RESULT"), TParamType::ptResult, type}; }

[[noreturn]] void Refuse(const QString &text) { RaiseApplicationError(OraErr::PackageRefusal, text); }

// ---------------------------------------------------------------- who may call

// The package changes what every user of the scheme sees: only an
// administrator of the scheme may call any of it.
void RequireAdministrator(TServerCall &c)
{
    if (!c.SessionIsAdministrator())
        RaiseOraError(OraErr::InsufficientPrivileges,
                      QStringLiteral("insufficient privileges: %1 is no administrator of the scheme %2")
                          .arg(c.conn.SessionUser, c.scheme));
}

// ---------------------------------------------------------------- ids

struct TSequence {
    const char *table;
    const char *column;
};
// The tables whose ids the package gives, each with its own sequence.
constexpr TSequence kSequences[] = {{"ACCESSLIST", "ACCESSID"}, {"MENUCFG", "ID_CFG"}, {"SRVITEMS", "ITEMID"}};

bool HasTable(TServerCall &c, const char *table)
{
    return c.conn
               .Scalar(QStringLiteral("SELECT count(*) FROM \"%1\".sqlite_master WHERE type = 'table' AND "
                                      "upper(name) = ?")
                           .arg(c.scheme),
                       {QString::fromLatin1(table)})
               .toInt() > 0;
}

// A scheme written by an older build gets what the package writes into before
// the package's first change there: the history of changes, and the
// sequences, each from the highest id of its table (so that a row deleted
// afterwards never gives its id back; rows written around the package are
// taken in the same way).
void UpgradeOlderScheme(TServerCall &c)
{
    const QString sequences = c.T(QStringLiteral("ID_SEQUENCES"));
    if (!HasTable(c, "ID_SEQUENCES"))
        c.conn.Exec(QStringLiteral("CREATE TABLE %1 (SEQ_NAME VARCHAR2(30) PRIMARY KEY, LAST_ID NUMBER(9) NOT NULL)")
                        .arg(sequences));
    if (!HasTable(c, "MENU_HISTORY")) {
        c.conn.Exec(QStringLiteral("CREATE TABLE %1 (ID NUMBER(9) PRIMARY KEY, CHANGED_AT DATE NOT NULL, LOGIN "
                                   "VARCHAR2(30) NOT NULL, OPERATION VARCHAR2(30) NOT NULL, ACCESSID NUMBER(9), "
                                   "OBJECT_ID NUMBER(9), OBJECT_NAME VARCHAR2(200), OLD_VALUE VARCHAR2(4000), "
                                   "NEW_VALUE VARCHAR2(4000))")
                        .arg(c.T(QStringLiteral("MENU_HISTORY"))));
        c.conn.Exec(QStringLiteral("CREATE VIEW %1 AS SELECT ID, CHANGED_AT, LOGIN, OPERATION, ACCESSID, OBJECT_ID, "
                                   "OBJECT_NAME, OLD_VALUE, NEW_VALUE FROM MENU_HISTORY")
                        .arg(c.T(QStringLiteral("V_MENU_HISTORY"))));
    }
    for (const TSequence &s : kSequences) {
        const QString table = QString::fromLatin1(s.table);
        c.conn.Exec(
            QStringLiteral("INSERT OR IGNORE INTO %1 (SEQ_NAME, LAST_ID) SELECT ?, COALESCE(MAX(%2), 0) FROM %3")
                .arg(sequences, QString::fromLatin1(s.column), c.T(table)),
            {table});
    }
}

// New ids from the table's sequence: above every id the sequence ever gave
// and every id in the table, so a deleted row's id is never handed out again
// and a stale call cannot hit a new row. count ids in a row are taken; the
// first is returned.
qlonglong NextId(TServerCall &c, const QString &table, const QString &column, qlonglong count = 1)
{
    const QString sequences = c.T(QStringLiteral("ID_SEQUENCES"));
    const qlonglong last =
        c.conn.Scalar(QStringLiteral("SELECT LAST_ID FROM %1 WHERE SEQ_NAME = ?").arg(sequences), {table}).toLongLong();
    const qlonglong inTable =
        c.conn.Scalar(QStringLiteral("SELECT COALESCE(MAX(%1), 0) FROM %2").arg(column, c.T(table))).toLongLong();
    const qlonglong first = qMax(last, inTable) + 1;
    c.conn.Exec(QStringLiteral("INSERT OR REPLACE INTO %1 (SEQ_NAME, LAST_ID) VALUES (?, ?)").arg(sequences),
                {table, first + qMax(count, qlonglong(1)) - 1});
    return first;
}

// ---------------------------------------------------------------- texts

struct TColumn {
    const char *table;
    const char *name;
    int size; // characters
    bool required;
};
constexpr TColumn kMenuName{"MENUCFG", "MENUNAME", 50, true};
constexpr TColumn kItemMode{"MENUCFG", "ITEMMODE", 255, false};
constexpr TColumn kAccessName{"ACCESSLIST", "NAME", 100, true};
constexpr TColumn kServiceName{"SRVITEMS", "SRVNAME", 50, true};
constexpr TColumn kModuleName{"SRVITEMS", "DLLNAME", 50, true};
constexpr TColumn kServiceGuid{"SRVITEMS", "GUID", 50, true};
constexpr TColumn kRightName{"SRVITEMS_MODE", "NAME", 60, true};
constexpr TColumn kReportGuid{"REPORT_ITEMS", "RGUID", 50, true};
constexpr TColumn kReportName{"REPORT_ITEMS", "RNAME", 100, false};
constexpr TColumn kReportDescription{"REPORT_ITEMS", "RDESC", 255, false};

// An argument as its column takes it, trimmed: a blank one where the column
// needs a value is NULL (ORA-01400), one longer than the column is refused
// whole (ORA-12899), never cut. Characters are counted as the column counts
// them: one outside the basic plane is one.
QString ColumnText(TServerCall &c, int arg, const TColumn &column)
{
    const QString value = c.Str(arg).trimmed();
    const QString name =
        QStringLiteral("\"%1\".\"%2\".\"%3\"").arg(c.scheme, QLatin1String(column.table), QLatin1String(column.name));
    if (value.isEmpty() && column.required)
        RaiseOraError(OraErr::NotNullViolation, QStringLiteral("cannot insert NULL into (%1)").arg(name));
    const qsizetype characters = value.toUcs4().size();
    if (characters > column.size)
        RaiseOraError(OraErr::ValueTooLarge, QStringLiteral("value too large for column %1 (actual: %2, maximum: %3)")
                                                 .arg(name)
                                                 .arg(characters)
                                                 .arg(column.size));
    return value;
}

// ---------------------------------------------------------------- rows as the caller saw them

// A caller may name what it saw of a row (its name, owner, rights, flag):
// when the row holds something else now, another session changed it
// meanwhile and the call is refused. A caller that names nothing is not checked.
void RequireAsSeen(TServerCall &c, int arg, const QString &what, const QVariant &now)
{
    if (c.IsNull(arg))
        return;
    const QString seen = c.Str(arg).trimmed();
    const QString current = now.toString().trimmed();
    if (seen == current)
        return;
    RaiseApplicationError(
        OraErr::ChangedMeanwhile,
        QStringLiteral("%1 was changed by another session: \"%2\" is now \"%3\"").arg(what, seen, current));
}

// ---------------------------------------------------------------- history

// One change as the history keeps it.
struct TChange {
    const char *operation;  // the procedure
    QVariant access;        // the access group changed; null for the catalogue
    qlonglong id = 0;       // the row
    QString name;           // its name: a group's, a service's
    QVariant before, after; // the values changed; null where there is none
};

// Writes one line of the history of changes: by the call that makes the
// change, in its transaction, so a change rolled back leaves no line.
void Record(TServerCall &c, const TChange &change)
{
    // One statement: the history is only ever added to, so the next number is the highest one's successor.
    c.conn.Exec(QStringLiteral("INSERT INTO %1 (ID, CHANGED_AT, LOGIN, OPERATION, ACCESSID, OBJECT_ID, OBJECT_NAME, "
                               "OLD_VALUE, NEW_VALUE) SELECT COALESCE(MAX(ID), 0) + 1, ?, ?, ?, ?, ?, ?, ?, ? FROM %1")
                    .arg(c.T(QStringLiteral("MENU_HISTORY"))),
                {QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), c.conn.SessionUser,
                 QString::fromLatin1(change.operation), change.access, change.id, change.name.left(200),
                 change.before.isNull() ? QVariant() : QVariant(change.before.toString().left(4000)),
                 change.after.isNull() ? QVariant() : QVariant(change.after.toString().left(4000))});
}

// ---------------------------------------------------------------- menu rows

struct TMenuEntry {
    qlonglong id = 0;
    qlonglong access = 0;
    bool group = false;
    qlonglong owner = 0;
    QString name;
    QString mode;
    qlonglong sort = 0;
    QString caption; // a group's name, a service entry's service name

    QString Describe() const
    {
        return group ? QStringLiteral("menu group %1 \"%2\"").arg(id).arg(name)
                     : QStringLiteral("menu entry %1").arg(id);
    }
};

std::optional<TMenuEntry> FindMenuEntry(TServerCall &c, qlonglong id)
{
    const TResultSet r = c.conn.Query(
        QStringLiteral("SELECT M.ACCESSID, M.ISGROUP, M.OWNER, M.MENUNAME, M.ITEMMODE, M.SORT_ORDER, S.SRVNAME "
                       "FROM %1 M LEFT JOIN %2 S ON S.ITEMID = M.ITEMID WHERE M.ID_CFG = ?")
            .arg(c.T(QStringLiteral("MENUCFG")), c.T(QStringLiteral("SRVITEMS"))),
        {id});
    if (r.rows.isEmpty())
        return std::nullopt;
    const QVector<QVariant> &row = r.rows.first();
    return TMenuEntry{id,
                      row[0].toLongLong(),
                      row[1].toLongLong() != 0,
                      row[2].toLongLong(),
                      row[3].toString(),
                      row[4].toString(),
                      row[5].toLongLong(),
                      row[1].toLongLong() != 0 ? row[3].toString() : row[6].toString()};
}

// The row, or ORA-01403 when it is gone (deleted by another session: ids never come back).
TMenuEntry MenuEntry(TServerCall &c, qlonglong id)
{
    const std::optional<TMenuEntry> entry = FindMenuEntry(c, id);
    if (!entry)
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (menu entry %1)").arg(id));
    return *entry;
}

void RequireAccess(TServerCall &c, qlonglong accessId)
{
    if (c.conn
            .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                    {accessId})
            .toInt() == 0)
        RaiseOraError(2291, QStringLiteral("integrity constraint violated - access group %1 not found").arg(accessId));
}

// How a walk up the owners from a group ended.
enum class TWalkEnd { Top, Missing, NotGroup, OtherAccess, Cycle, Moved };
struct TOwnerWalk {
    TWalkEnd end;
    qlonglong at; // the row the walk stopped at
};

// Walks from a group up its owners to the top level (owner 0), each group
// once: rows whose owners form a cycle end the walk instead of holding the
// call (and the write lock) forever. moved: a row the walk must not meet.
TOwnerWalk WalkOwners(TServerCall &c, qlonglong from, qlonglong access, qlonglong moved = -1)
{
    QSet<qlonglong> walked;
    for (qlonglong up = from; up != 0;) {
        if (up == moved)
            return {TWalkEnd::Moved, up};
        if (walked.contains(up))
            return {TWalkEnd::Cycle, up};
        walked.insert(up);
        const std::optional<TMenuEntry> row = FindMenuEntry(c, up);
        if (!row)
            return {TWalkEnd::Missing, up};
        if (row->access != access)
            return {TWalkEnd::OtherAccess, up};
        if (!row->group)
            return {TWalkEnd::NotGroup, up};
        up = row->owner;
    }
    return {TWalkEnd::Top, 0};
}

// A group of the access group's menu that may take entries (0: the top level):
// it exists (ORA-01403), is a group of that access group, and its owners reach
// the top level without a cycle and, for a move, without the moved row.
void RequireGroupInMenu(TServerCall &c, qlonglong group, qlonglong access, qlonglong moved = -1)
{
    if (group == 0)
        return;
    const TOwnerWalk walk = WalkOwners(c, group, access, moved);
    const bool itself = walk.at == group;
    switch (walk.end) {
    case TWalkEnd::Top:
        return;
    case TWalkEnd::Missing:
        if (itself)
            RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (menu entry %1)").arg(group));
        Refuse(QStringLiteral("menu group %1 lies outside the menu: its owner %2 is missing").arg(group).arg(walk.at));
    case TWalkEnd::OtherAccess:
        Refuse(itself ? QStringLiteral("menu group %1 belongs to another access group").arg(group)
                      : QStringLiteral("menu group %1 lies outside the menu: its owner %2 belongs to another access "
                                       "group")
                            .arg(group)
                            .arg(walk.at));
    case TWalkEnd::NotGroup:
        Refuse(itself ? QStringLiteral("menu entry %1 is not a group").arg(group)
                      : QStringLiteral("menu group %1 lies outside the menu: its owner %2 is no group")
                            .arg(group)
                            .arg(walk.at));
    case TWalkEnd::Cycle:
        Refuse(QStringLiteral("the owners of menu group %1 form a cycle: the group lies outside the menu").arg(group));
    case TWalkEnd::Moved:
        Refuse(QStringLiteral("a menu entry cannot move into itself or into its own branch"));
    }
}

// The name the history gives a menu's place: its group's name, empty for the top level.
QString PlaceName(TServerCall &c, qlonglong group)
{
    return group == 0 ? QString() : FindMenuEntry(c, group).value_or(TMenuEntry{}).caption;
}

// Whether a row stands in the menu: its owners reach the top level. A group
// numbered 0 (the top level's number) never does.
bool InMenu(TServerCall &c, const TMenuEntry &entry)
{
    if (entry.group && entry.id == 0)
        return false;
    return WalkOwners(c, entry.owner, entry.access, entry.id).end == TWalkEnd::Top;
}

qlonglong NextSortOrder(TServerCall &c, qlonglong accessId, qlonglong owner)
{
    return c.conn
               .Scalar(QStringLiteral("SELECT COALESCE(MAX(SORT_ORDER), 0) FROM %1 WHERE ACCESSID = ? AND OWNER = ?")
                           .arg(c.T(QStringLiteral("MENUCFG"))),
                       {accessId, owner})
               .toLongLong() +
           kSortStep;
}

// ---------------------------------------------------------------- registration

// Every procedure of the package: the caller must be an administrator, and
// a procedure that writes brings an older scheme up to date first. optional: how many of
// the last arguments (what the caller saw of the row) may be left out.
void Add(const char *name, QList<TProcArgInfo> args, bool writes, std::function<QVariant(TServerCall &)> body,
         int optional = 0)
{
    TServerProc proc;
    proc.package = QStringLiteral("MENUPACK");
    proc.name = QString::fromLatin1(name);
    proc.args = std::move(args);
    proc.writes = writes;
    proc.optional = optional;
    if (writes) {
        // Refused before the scheme's write lock is taken: a caller who may not call waits for no one.
        proc.changes = [](TServerCall &c) {
            RequireAdministrator(c);
            return true;
        };
    }
    proc.body = [writes, body = std::move(body)](TServerCall &c) {
        RequireAdministrator(c);
        if (writes)
            UpgradeOlderScheme(c);
        return body(c);
    };
    RegisterServerProc(std::move(proc));
}

void RegisterMenu()
{
    // INS_MENUGRP(PID out, PNAME, POWNER, PACCESSID): a group after its siblings.
    Add("INS_MENUGRP", {InOut("PID"), In("PNAME", TFT::ftString), In("POWNER"), In("PACCESSID")}, true,
        [](TServerCall &c) {
            const QString name = ColumnText(c, 1, kMenuName);
            const qlonglong owner = c.Int(2), access = c.Int(3);
            RequireAccess(c, access);
            RequireGroupInMenu(c, owner, access);
            const qlonglong id = NextId(c, QStringLiteral("MENUCFG"), QStringLiteral("ID_CFG"));
            c.conn.Exec(QStringLiteral(
                            "INSERT INTO %1 (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                            "VALUES (?, ?, ?, 1, ?, NULL, NULL, ?)")
                            .arg(c.T(QStringLiteral("MENUCFG"))),
                        {id, access, owner, name, NextSortOrder(c, access, owner)});
            Record(c, {"INS_MENUGRP", access, id, name, QVariant(), name});
            c.SetOut(0, id);
            return QVariant();
        });
    // INS_MENUITEM(PID out, POWNER, PACCESSID, PITEMID, PITEMMODE): a service entry inside a group.
    Add("INS_MENUITEM", {InOut("PID"), In("POWNER"), In("PACCESSID"), In("PITEMID"), In("PITEMMODE", TFT::ftString)},
        true, [](TServerCall &c) {
            const qlonglong owner = c.Int(1), access = c.Int(2), item = c.Int(3);
            const QString mode = ColumnText(c, 4, kItemMode);
            RequireAccess(c, access);
            if (owner <= 0)
                Refuse(QStringLiteral("a service entry must stand inside a menu group"));
            RequireGroupInMenu(c, owner, access);
            if (c.conn
                    .Scalar(
                        QStringLiteral("SELECT count(*) FROM %1 WHERE ITEMID = ?").arg(c.T(QStringLiteral("SRVITEMS"))),
                        {item})
                    .toInt() == 0)
                RaiseOraError(2291, QStringLiteral("integrity constraint violated - service %1 not found").arg(item));
            // A menu holds a service once: the console registers each service of a menu once.
            if (c.conn
                    .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ? AND ITEMID = ? AND ISGROUP = 0")
                                .arg(c.T(QStringLiteral("MENUCFG"))),
                            {access, item})
                    .toInt() > 0)
                RaiseOraError(OraErr::UniqueConstraint,
                              QStringLiteral("unique constraint violated - service %1 is already in the menu of "
                                             "access group %2")
                                  .arg(item)
                                  .arg(access));
            const qlonglong id = NextId(c, QStringLiteral("MENUCFG"), QStringLiteral("ID_CFG"));
            c.conn.Exec(QStringLiteral(
                            "INSERT INTO %1 (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                            "VALUES (?, ?, ?, 0, NULL, ?, ?, ?)")
                            .arg(c.T(QStringLiteral("MENUCFG"))),
                        {id, access, owner, item, mode, NextSortOrder(c, access, owner)});
            Record(c, {"INS_MENUITEM", access, id, MenuEntry(c, id).caption, QVariant(), mode});
            c.SetOut(0, id);
            return QVariant();
        });
    // UPD_MENU(PID_CFG, PNAME, POLD_NAME): renames a group that still has the name the caller saw.
    Add(
        "UPD_MENU", {In("PID_CFG"), In("PNAME", TFT::ftString), In("POLD_NAME", TFT::ftString)}, true,
        [](TServerCall &c) {
            const TMenuEntry entry = MenuEntry(c, c.Int(0));
            const QString name = ColumnText(c, 1, kMenuName);
            if (!entry.group)
                Refuse(QStringLiteral("menu entry %1 is not a group").arg(entry.id));
            RequireAsSeen(c, 2, entry.Describe(), entry.name);
            c.conn.Exec(
                QStringLiteral("UPDATE %1 SET MENUNAME = ? WHERE ID_CFG = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                {name, entry.id});
            Record(c, {"UPD_MENU", entry.access, entry.id, name, entry.name, name});
            return QVariant();
        },
        1);
    // DEL_MENUITEM(PID_CFG, PNAME, PACCESSID): one row as the caller saw it (a
    // group's name, the row's access group). A group of the menu that still
    // holds entries is refused: a branch is deleted from the bottom. A row
    // outside the menu goes alone (its entries stay outside the menu); a group
    // row without an id is named by PNAME and PACCESSID with PID_CFG null.
    Add(
        "DEL_MENUITEM", {In("PID_CFG"), In("PNAME", TFT::ftString), In("PACCESSID")}, true,
        [](TServerCall &c) {
            const QString menu = c.T(QStringLiteral("MENUCFG"));
            if (c.IsNull(0)) {
                if (c.IsNull(2))
                    Refuse(QStringLiteral("a menu row without ID_CFG is named by its access group and name"));
                if (c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ID_CFG IS NULL AND ACCESSID = ? AND "
                                               "COALESCE(MENUNAME, ' ') = COALESCE(?, ' ')")
                                    .arg(menu),
                                {c.Int(2), c.IsNull(1) ? QVariant() : QVariant(c.Str(1).trimmed())}) == 0)
                    RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (menu row without ID_CFG)"));
                Record(c, {"DEL_MENUITEM", c.Int(2), 0, c.Str(1).trimmed(), c.Str(1).trimmed(), QVariant()});
                return QVariant();
            }
            const TMenuEntry entry = MenuEntry(c, c.Int(0));
            if (!c.IsNull(2) && c.Int(2) != entry.access)
                RaiseOraError(
                    OraErr::NoDataFound,
                    QStringLiteral("no data found (menu entry %1 of access group %2)").arg(entry.id).arg(c.Int(2)));
            RequireAsSeen(c, 1, entry.Describe(), entry.name);
            if (entry.group && InMenu(c, entry) &&
                c.conn.Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE OWNER = ? AND ID_CFG <> ?").arg(menu),
                              {entry.id, entry.id})
                        .toInt() > 0)
                RaiseOraError(
                    OraErr::ChildRecordFound,
                    QStringLiteral("integrity constraint violated - menu group %1 still holds entries").arg(entry.id));
            c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ID_CFG = ?").arg(menu), {entry.id});
            Record(c, {"DEL_MENUITEM", entry.access, entry.id, entry.caption,
                       entry.group ? QVariant(entry.name) : QVariant(entry.mode), QVariant()});
            return QVariant();
        },
        2);
    // MOVE_ITEM(PID_CFG, POWNER, PSORT_ORDER, POLD_OWNER, POLD_SORT_ORDER): under
    // a new owner, right after the sibling with that sort order (0: after all
    // siblings), when the row still stands where the caller saw it.
    Add(
        "MOVE_ITEM", {In("PID_CFG"), In("POWNER"), In("PSORT_ORDER"), In("POLD_OWNER"), In("POLD_SORT_ORDER")}, true,
        [](TServerCall &c) {
            const qlonglong owner = c.Int(1), sort = c.Int(2);
            const TMenuEntry entry = MenuEntry(c, c.Int(0));
            RequireAsSeen(c, 3, QStringLiteral("the place of %1").arg(entry.Describe()), entry.owner);
            RequireAsSeen(c, 4, QStringLiteral("the order of %1").arg(entry.Describe()), entry.sort);
            if (entry.group && entry.id == 0)
                Refuse(QStringLiteral("menu group 0 has the number of the top level: it can only be deleted"));
            if (!entry.group && owner == 0)
                Refuse(QStringLiteral("a service entry must stand inside a menu group"));
            RequireGroupInMenu(c, owner, entry.access, entry.id);
            const QString menu = c.T(QStringLiteral("MENUCFG"));
            qlonglong newSort;
            if (sort <= 0) {
                newSort = NextSortOrder(c, entry.access, owner);
            } else {
                c.conn.Exec(QStringLiteral("UPDATE %1 SET SORT_ORDER = SORT_ORDER + 1 WHERE ACCESSID = ? AND OWNER = ? "
                                           "AND SORT_ORDER > ? AND ID_CFG <> ?")
                                .arg(menu),
                            {entry.access, owner, sort, entry.id});
                newSort = sort + 1;
            }
            c.conn.Exec(QStringLiteral("UPDATE %1 SET OWNER = ?, SORT_ORDER = ? WHERE ID_CFG = ?").arg(menu),
                        {owner, newSort, entry.id});
            Record(c, {"MOVE_ITEM", entry.access, entry.id, entry.caption, PlaceName(c, entry.owner),
                       PlaceName(c, owner)});
            return QVariant();
        },
        2);
    // UPD_RIGHT(PID_CFG, PITEMMODE, POLD_ITEMMODE): the whole rights string of
    // a service entry that still grants what the caller saw.
    Add(
        "UPD_RIGHT", {In("PID_CFG"), In("PITEMMODE", TFT::ftString), In("POLD_ITEMMODE", TFT::ftString)}, true,
        [](TServerCall &c) {
            const TMenuEntry entry = MenuEntry(c, c.Int(0));
            const QString mode = ColumnText(c, 1, kItemMode);
            if (entry.group)
                Refuse(QStringLiteral("menu entry %1 is a group: it has no rights").arg(entry.id));
            RequireAsSeen(c, 2, QStringLiteral("the rights of %1").arg(entry.Describe()), entry.mode);
            c.conn.Exec(
                QStringLiteral("UPDATE %1 SET ITEMMODE = ? WHERE ID_CFG = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                {mode, entry.id});
            Record(c, {"UPD_RIGHT", entry.access, entry.id, entry.caption, entry.mode, mode});
            return QVariant();
        },
        1);
    // GET_MENU_ITEM_RIGHT(PID_CFG) -> cursor: the service's declared rights with
    // "+" where the entry's rights string grants them.
    Add("GET_MENU_ITEM_RIGHT", {Result(TFT::ftCursor), In("PID_CFG")}, false, [](TServerCall &c) {
        auto rows = std::make_shared<TResultSet>();
        rows->columns = {{QStringLiteral("RCHECK"), TFT::ftString, 1, false},
                         {QStringLiteral("NAME"), TFT::ftString, 60, true},
                         {QStringLiteral("SOURCE_NAME"), TFT::ftString, 150, false},
                         {QStringLiteral("ISLANG"), TFT::ftFloat, 0, false}};
        const TResultSet entry =
            c.conn.Query(QStringLiteral("SELECT ITEMID, ITEMMODE FROM %1 WHERE ID_CFG = ? AND ISGROUP = 0")
                             .arg(c.T(QStringLiteral("MENUCFG"))),
                         {c.Int(0)});
        if (!entry.rows.isEmpty()) {
            const QString mode = entry.rows.first()[1].toString();
            const TResultSet rights =
                c.conn.Query(QStringLiteral("SELECT NAME, COALESCE(SOURCE_NAME, NAME), ISLANG FROM %1 WHERE ITEMID = ? "
                                            "ORDER BY SORT_ORDER")
                                 .arg(c.T(QStringLiteral("SRVITEMS_MODE"))),
                             {entry.rows.first()[0]});
            for (int n = 0; n < rights.rows.size(); ++n) {
                const QVector<QVariant> &r = rights.rows[n];
                const bool granted = n + 1 < mode.size() && mode[n + 1] == QLatin1Char('1');
                rows->rows.append({granted ? QStringLiteral("+") : QStringLiteral("-"), r[0], r[1],
                                   r[2].isNull() ? QVariant(0.0) : QVariant(r[2].toDouble())});
            }
        }
        c.cursor = rows;
        return QVariant();
    });
}

// ---------------------------------------------------------------- access groups

// The access group's name, or ORA-01403 when the group is gone.
QString AccessGroupName(TServerCall &c, qlonglong access)
{
    const TResultSet r = c.conn.Query(
        QStringLiteral("SELECT NAME FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))), {access});
    if (r.rows.isEmpty())
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (access group %1)").arg(access));
    return r.rows.first()[0].toString();
}

// No two access groups share a name: names are compared trimmed and without
// regard to case, in any alphabet. except: the group being renamed.
void RequireUniqueAccessName(TServerCall &c, const QString &name, qlonglong except = -1)
{
    const TResultSet groups = c.conn.Query(
        QStringLiteral("SELECT ACCESSID, NAME FROM %1 WHERE ACCESSID <> ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
        {except});
    for (const QVector<QVariant> &group : groups.rows)
        if (group[1].toString().trimmed().compare(name, Qt::CaseInsensitive) == 0)
            RaiseOraError(OraErr::UniqueConstraint,
                          QStringLiteral("unique constraint violated - access group %1 \"%2\" has that name")
                              .arg(group[0].toLongLong())
                              .arg(group[1].toString()));
}

QString DescribeAccess(qlonglong access, const QString &name)
{
    return QStringLiteral("access group %1 \"%2\"").arg(access).arg(name);
}

// The rows of an access group's menu in copying order (each group before its
// entries), without the rows that lie outside the menu.
QList<QVector<QVariant>> MenuToCopy(TServerCall &c, qlonglong access)
{
    const TResultSet rows =
        c.conn.Query(QStringLiteral("SELECT ID_CFG, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER FROM %1 "
                                    "WHERE ACCESSID = ? AND ID_CFG IS NOT NULL ORDER BY ID_CFG")
                         .arg(c.T(QStringLiteral("MENUCFG"))),
                     {access});
    QHash<qlonglong, QList<int>> byOwner;
    for (int r = 0; r < rows.rows.size(); ++r)
        byOwner[rows.rows[r][1].toLongLong()].append(r);
    QList<QVector<QVariant>> copied;
    QSet<qlonglong> expanded{0};
    QList<qlonglong> groups{0};
    while (!groups.isEmpty()) {
        for (int r : byOwner.value(groups.takeFirst())) {
            const QVector<QVariant> &row = rows.rows[r];
            copied.append(row);
            const qlonglong id = row[0].toLongLong();
            if (row[2].toLongLong() != 0 && !expanded.contains(id)) {
                expanded.insert(id);
                groups.append(id);
            }
        }
    }
    return copied;
}

void RegisterAccess()
{
    Add("INS_ACCESS", {InOut("PID"), In("PNAME", TFT::ftString)}, true, [](TServerCall &c) {
        const QString name = ColumnText(c, 1, kAccessName);
        RequireUniqueAccessName(c, name);
        const qlonglong id = NextId(c, QStringLiteral("ACCESSLIST"), QStringLiteral("ACCESSID"));
        c.conn.Exec(
            QStringLiteral("INSERT INTO %1 (ACCESSID, NAME) VALUES (?, ?)").arg(c.T(QStringLiteral("ACCESSLIST"))),
            {id, name});
        Record(c, {"INS_ACCESS", id, id, name, QVariant(), name});
        c.SetOut(0, id);
        return QVariant();
    });
    // UPD_ACCESS(PACCESSID, PNAME, POLD_NAME): renames a group that still has the name the caller saw.
    Add(
        "UPD_ACCESS", {In("PACCESSID"), In("PNAME", TFT::ftString), In("POLD_NAME", TFT::ftString)}, true,
        [](TServerCall &c) {
            const qlonglong access = c.Int(0);
            const QString name = ColumnText(c, 1, kAccessName);
            const QString now = AccessGroupName(c, access);
            RequireAsSeen(c, 2, DescribeAccess(access, now), now);
            RequireUniqueAccessName(c, name, access);
            c.conn.Exec(
                QStringLiteral("UPDATE %1 SET NAME = ? WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                {name, access});
            Record(c, {"UPD_ACCESS", access, access, name, now, name});
            return QVariant();
        },
        1);
    // DEL_ACCESS_RECURCIVE(PACCESSID, PNAME): the group with its whole menu;
    // refused while users are attached or when it was renamed meanwhile.
    Add(
        "DEL_ACCESS_RECURCIVE", {In("PACCESSID"), In("PNAME", TFT::ftString)}, true,
        [](TServerCall &c) {
            const qlonglong access = c.Int(0);
            const QString now = AccessGroupName(c, access);
            RequireAsSeen(c, 1, DescribeAccess(access, now), now);
            const int users = c.conn
                                  .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ?")
                                              .arg(c.T(QStringLiteral("SYSUSER"))),
                                          {access})
                                  .toInt();
            if (users > 0)
                RaiseOraError(OraErr::ChildRecordFound,
                              QStringLiteral("integrity constraint violated - %1 user(s) attached to access group %2")
                                  .arg(users)
                                  .arg(access));
            c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                        {access});
            c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                        {access});
            Record(c, {"DEL_ACCESS_RECURCIVE", access, access, now, now, QVariant()});
            return QVariant();
        },
        1);
    // DUBLICATE_ACCESS(PACCESSID, PNAME, PID out, PSOURCE_NAME): a copy of the
    // group (as the caller saw it) with its menu and rights.
    Add(
        "DUBLICATE_ACCESS",
        {In("PACCESSID"), In("PNAME", TFT::ftString), InOut("PID"), In("PSOURCE_NAME", TFT::ftString)}, true,
        [](TServerCall &c) {
            const qlonglong source = c.Int(0);
            const QString name = ColumnText(c, 1, kAccessName);
            const QString now = AccessGroupName(c, source);
            RequireAsSeen(c, 3, DescribeAccess(source, now), now);
            RequireUniqueAccessName(c, name);
            const qlonglong access = NextId(c, QStringLiteral("ACCESSLIST"), QStringLiteral("ACCESSID"));
            c.conn.Exec(
                QStringLiteral("INSERT INTO %1 (ACCESSID, NAME) VALUES (?, ?)").arg(c.T(QStringLiteral("ACCESSLIST"))),
                {access, name});
            const QList<QVector<QVariant>> rows = MenuToCopy(c, source);
            // New ids first, then the rows with their owners mapped to the new ids.
            qlonglong next = NextId(c, QStringLiteral("MENUCFG"), QStringLiteral("ID_CFG"), rows.size());
            QHash<qlonglong, qlonglong> newId{{0, 0}};
            for (const QVector<QVariant> &r : rows)
                newId.insert(r[0].toLongLong(), next++);
            for (const QVector<QVariant> &r : rows)
                c.conn.Exec(
                    QStringLiteral(
                        "INSERT INTO %1 (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                        .arg(c.T(QStringLiteral("MENUCFG"))),
                    {newId.value(r[0].toLongLong()), access, newId.value(r[1].toLongLong()), r[2], r[3], r[4], r[5],
                     r[6]});
            Record(c, {"DUBLICATE_ACCESS", access, access, name, now, name});
            c.SetOut(2, access);
            return QVariant();
        },
        1);
}

// ---------------------------------------------------------------- the catalogue

qlonglong ItemIdOfGuid(TServerCall &c, const QString &guid)
{
    const QVariant id = c.conn.Scalar(
        QStringLiteral("SELECT ITEMID FROM %1 WHERE GUID = ?").arg(c.T(QStringLiteral("SRVITEMS"))), {guid});
    if (id.isNull())
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (service %1)").arg(guid));
    return id.toLongLong();
}

// The service's button flag, or ORA-01403 for a service that is not (or no longer) in the catalogue.
qlonglong ServiceButtonFlag(TServerCall &c, qlonglong item)
{
    const QVariant flag = c.conn.Scalar(
        QStringLiteral("SELECT CREATEBTN FROM %1 WHERE ITEMID = ?").arg(c.T(QStringLiteral("SRVITEMS"))), {item});
    if (flag.isNull())
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (service %1)").arg(item));
    return flag.toLongLong();
}

// The service's name, or ORA-01403 for a service that is not (or no longer) in the catalogue.
QString ServiceName(TServerCall &c, qlonglong item)
{
    ServiceButtonFlag(c, item);
    return c.conn
        .Scalar(QStringLiteral("SELECT SRVNAME FROM %1 WHERE ITEMID = ?").arg(c.T(QStringLiteral("SRVITEMS"))), {item})
        .toString();
}

void RegisterCatalogue()
{
    // INS_SRVITEM(PID in/out, PCREATEBTN, PGUID, PDLLNAME, PSRVNAME, PISLANG)
    Add("INS_SRVITEM",
        {InOut("PID"), In("PCREATEBTN"), In("PGUID", TFT::ftString), In("PDLLNAME", TFT::ftString),
         In("PSRVNAME", TFT::ftString), In("PISLANG")},
        true, [](TServerCall &c) {
            const QString guid = ColumnText(c, 2, kServiceGuid), dll = ColumnText(c, 3, kModuleName);
            const QString name = ColumnText(c, 4, kServiceName);
            // The console tells services apart by GUID without regard to case.
            if (c.conn
                    .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE upper(GUID) = upper(?)")
                                .arg(c.T(QStringLiteral("SRVITEMS"))),
                            {guid})
                    .toInt() > 0)
                RaiseOraError(
                    OraErr::UniqueConstraint,
                    QStringLiteral("unique constraint violated - service %1 is already registered").arg(guid));
            const qlonglong id = NextId(c, QStringLiteral("SRVITEMS"), QStringLiteral("ITEMID"));
            c.conn.Exec(
                QStringLiteral(
                    "INSERT INTO %1 (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) VALUES (?, ?, ?, ?, ?, ?)")
                    .arg(c.T(QStringLiteral("SRVITEMS"))),
                {id, name, dll, guid, c.Int(1) != 0 ? 1 : 0, c.Int(5) != 0 ? 1 : 0});
            Record(c, {"INS_SRVITEM", QVariant(), id, name, QVariant(), dll});
            c.SetOut(0, id);
            return QVariant();
        });
    // INS_SRVITEM_MODE(PGUID, PID, PNAME, PISLANG): right number PID of the service.
    Add("INS_SRVITEM_MODE", {In("PGUID", TFT::ftString), In("PID"), In("PNAME", TFT::ftString), In("PISLANG")}, true,
        [](TServerCall &c) {
            const qlonglong item = ItemIdOfGuid(c, c.Str(0));
            const QString name = ColumnText(c, 2, kRightName);
            c.conn.Exec(
                QStringLiteral("INSERT INTO %1 (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES (?, ?, ?, ?, ?)")
                    .arg(c.T(QStringLiteral("SRVITEMS_MODE"))),
                {item, c.Int(1), name, name, c.Int(3) != 0 ? 1 : 0});
            Record(c, {"INS_SRVITEM_MODE", QVariant(), item, ServiceName(c, item), QVariant(), name});
            return QVariant();
        });
    Add("INS_REPORT_ITEM",
        {In("PGUID", TFT::ftString), In("PRGUID", TFT::ftString), In("PRNAME", TFT::ftString),
         In("PRDESC", TFT::ftString), In("PSORT_ORDER")},
        true, [](TServerCall &c) {
            const qlonglong item = ItemIdOfGuid(c, c.Str(0));
            c.conn.Exec(
                QStringLiteral("INSERT INTO %1 (ITEMID, RGUID, RNAME, RDESC, SORT_ORDER) VALUES (?, ?, ?, ?, ?)")
                    .arg(c.T(QStringLiteral("REPORT_ITEMS"))),
                {item, ColumnText(c, 1, kReportGuid), ColumnText(c, 2, kReportName),
                 ColumnText(c, 3, kReportDescription), c.Int(4)});
            Record(c, {"INS_REPORT_ITEM", QVariant(), item, ServiceName(c, item), QVariant(), c.Str(2).trimmed()});
            return QVariant();
        });
    // UPD_SRVITEMS(PITEMID, PCREATEBTN, POLD_CREATEBTN): the button flag of a
    // service whose flag is still what the caller saw.
    Add(
        "UPD_SRVITEMS", {In("PITEMID"), In("PCREATEBTN"), In("POLD_CREATEBTN")}, true,
        [](TServerCall &c) {
            const qlonglong item = c.Int(0), flag = c.Int(1) != 0 ? 1 : 0;
            const qlonglong before = ServiceButtonFlag(c, item);
            RequireAsSeen(c, 2, QStringLiteral("the button flag of service %1").arg(item), before);
            c.conn.Exec(
                QStringLiteral("UPDATE %1 SET CREATEBTN = ? WHERE ITEMID = ?").arg(c.T(QStringLiteral("SRVITEMS"))),
                {flag, item});
            if (flag != before)
                Record(c, {"UPD_SRVITEMS", QVariant(), item, ServiceName(c, item), before, flag});
            return QVariant();
        },
        1);
    // DEL_SRVITEM(PITEMID): refused while a menu still holds the service.
    Add("DEL_SRVITEM", {In("PITEMID")}, true, [](TServerCall &c) {
        const qlonglong item = c.Int(0);
        const QString name = ServiceName(c, item);
        if (c.conn
                .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ITEMID = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                        {item})
                .toInt() > 0)
            RaiseOraError(OraErr::ChildRecordFound,
                          QStringLiteral("integrity constraint violated - service %1 is still in a menu").arg(item));
        for (const char *table : {"SRVITEMS_MODE", "REPORT_ITEMS", "SRVITEMS"})
            c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ITEMID = ?").arg(c.T(QString::fromLatin1(table))), {item});
        Record(c, {"DEL_SRVITEM", QVariant(), item, name, name, QVariant()});
        return QVariant();
    });
    // SERVICEEXISTS(PID, PITEMID out): PITEMID = how many menu entries hold service PID.
    Add("SERVICEEXISTS", {In("PID"), InOut("PITEMID")}, false, [](TServerCall &c) {
        c.SetOut(1, c.conn.Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ITEMID = ? AND ISGROUP = 0")
                                      .arg(c.T(QStringLiteral("MENUCFG"))),
                                  {c.Int(0)}));
        return QVariant();
    });
    // DEL_SRV_FROM_ALL_MNU(PITEMID): the service's entries in every menu; each access group's history tells it.
    Add("DEL_SRV_FROM_ALL_MNU", {In("PITEMID")}, true, [](TServerCall &c) {
        const QString menu = c.T(QStringLiteral("MENUCFG"));
        const TResultSet entries =
            c.conn.Query(QStringLiteral("SELECT ID_CFG, ACCESSID, ITEMMODE FROM %1 WHERE ITEMID = ? AND ISGROUP = 0 "
                                        "ORDER BY ACCESSID, ID_CFG")
                             .arg(menu),
                         {c.Int(0)});
        c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ITEMID = ? AND ISGROUP = 0").arg(menu), {c.Int(0)});
        const QString name = entries.rows.isEmpty() ? QString() : ServiceName(c, c.Int(0));
        for (const QVector<QVariant> &entry : entries.rows)
            Record(c, {"DEL_SRV_FROM_ALL_MNU", entry[1], entry[0].toLongLong(), name, entry[2], QVariant()});
        return QVariant();
    });
}

} // namespace

void RegisterMenuPackProcs()
{
    RegisterMenu();
    RegisterAccess();
    RegisterCatalogue();
}
