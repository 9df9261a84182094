#include "EmbeddedServer/MenuPackProcs.h"

#include "EmbeddedServer/SchemeServer.h"
#include "EmbeddedServer/SqliteConnection.h"

#include <QSet>

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

void Add(const char *name, QList<TProcArgInfo> args, bool writes, std::function<QVariant(TServerCall &)> body)
{
    RegisterServerProc(
        {QStringLiteral("MENUPACK"), QString::fromLatin1(name), std::move(args), writes, std::move(body)});
}

// New ids from the table's sequence: above every id the sequence ever gave
// and every id in the table (rows written around the package), so a deleted
// row's id is never handed out again and a stale call cannot hit a new row.
// count ids in a row are taken; the first is returned.
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

qlonglong NextSortOrder(TServerCall &c, qlonglong accessId, qlonglong owner)
{
    return c.conn
               .Scalar(QStringLiteral("SELECT COALESCE(MAX(SORT_ORDER), 0) FROM %1 WHERE ACCESSID = ? AND OWNER = ?")
                           .arg(c.T(QStringLiteral("MENUCFG"))),
                       {accessId, owner})
               .toLongLong() +
           kSortStep;
}

void RequireAccess(TServerCall &c, qlonglong accessId)
{
    if (c.conn
            .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                    {accessId})
            .toInt() == 0)
        RaiseOraError(2291, QStringLiteral("integrity constraint violated - access group %1 not found").arg(accessId));
}

// The menu row's access group and kind; raises ORA-01403 for a missing row.
QVector<QVariant> MenuRow(TServerCall &c, qlonglong idCfg)
{
    const TResultSet r = c.conn.Query(
        QStringLiteral("SELECT ACCESSID, ISGROUP, OWNER FROM %1 WHERE ID_CFG = ?").arg(c.T(QStringLiteral("MENUCFG"))),
        {idCfg});
    if (r.rows.isEmpty())
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (menu entry %1)").arg(idCfg));
    return r.rows.first();
}

void RequireGroupOwner(TServerCall &c, qlonglong owner, qlonglong accessId)
{
    if (owner == 0)
        return;
    const QVector<QVariant> row = MenuRow(c, owner);
    if (row[0].toLongLong() != accessId)
        RaiseApplicationError(20001, QStringLiteral("menu group %1 belongs to another access group").arg(owner));
    if (row[1].toLongLong() == 0)
        RaiseApplicationError(20001, QStringLiteral("menu entry %1 is not a group").arg(owner));
}

// The text trimmed and cut to size characters, never inside a surrogate pair.
QString Limited(const QString &text, int size)
{
    QString limited = text.trimmed().left(size);
    if (!limited.isEmpty() && limited.back().isHighSurrogate())
        limited.chop(1);
    return limited;
}

// An identifier that does not fit its column is refused, as the database
// refuses it: a cut identifier names another service or file.
QString Fitting(TServerCall &c, int arg, const char *column, int size)
{
    const QString value = c.Str(arg).trimmed();
    if (value.size() > size)
        RaiseOraError(OraErr::ValueTooLarge,
                      QStringLiteral("value too large for column \"%1\".%2 (actual: %3, maximum: %4)")
                          .arg(c.scheme, QLatin1String(column))
                          .arg(value.size())
                          .arg(size));
    return value;
}

void RegisterMenu()
{
    // INS_MENUGRP(PID out, PNAME, POWNER, PACCESSID): a group after its siblings.
    Add("INS_MENUGRP", {InOut("PID"), In("PNAME", TFT::ftString), In("POWNER"), In("PACCESSID")}, true,
        [](TServerCall &c) {
            const QString name = Limited(c.Str(1), 50);
            if (name.isEmpty())
                RaiseOraError(OraErr::NotNullViolation, QStringLiteral("cannot insert NULL into (MENUNAME)"));
            const qlonglong owner = c.Int(2), access = c.Int(3);
            RequireAccess(c, access);
            RequireGroupOwner(c, owner, access);
            const qlonglong id = NextId(c, QStringLiteral("MENUCFG"), QStringLiteral("ID_CFG"));
            c.conn.Exec(QStringLiteral(
                            "INSERT INTO %1 (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                            "VALUES (?, ?, ?, 1, ?, NULL, NULL, ?)")
                            .arg(c.T(QStringLiteral("MENUCFG"))),
                        {id, access, owner, name, NextSortOrder(c, access, owner)});
            c.SetOut(0, id);
            return QVariant();
        });
    // INS_MENUITEM(PID out, POWNER, PACCESSID, PITEMID, PITEMMODE): a service entry inside a group.
    Add("INS_MENUITEM", {InOut("PID"), In("POWNER"), In("PACCESSID"), In("PITEMID"), In("PITEMMODE", TFT::ftString)},
        true, [](TServerCall &c) {
            const qlonglong owner = c.Int(1), access = c.Int(2), item = c.Int(3);
            RequireAccess(c, access);
            if (owner <= 0)
                RaiseApplicationError(20001, QStringLiteral("a service entry must stand inside a menu group"));
            RequireGroupOwner(c, owner, access);
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
                        {id, access, owner, item, Limited(c.Str(4), 255), NextSortOrder(c, access, owner)});
            c.SetOut(0, id);
            return QVariant();
        });
    Add("UPD_MENU", {In("PID_CFG"), In("PNAME", TFT::ftString)}, true, [](TServerCall &c) {
        MenuRow(c, c.Int(0));
        const QString name = Limited(c.Str(1), 50);
        if (name.isEmpty())
            RaiseOraError(OraErr::NotNullViolation, QStringLiteral("cannot update (MENUNAME) to NULL"));
        c.conn.Exec(QStringLiteral("UPDATE %1 SET MENUNAME = ? WHERE ID_CFG = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                    {name, c.Int(0)});
        return QVariant();
    });
    // DEL_MENUITEM(PID_CFG): one row; a group that still holds entries is refused.
    Add("DEL_MENUITEM", {In("PID_CFG")}, true, [](TServerCall &c) {
        const qlonglong id = c.Int(0);
        MenuRow(c, id); // a row deleted meanwhile: the caller works on a stale tree
        if (c.conn
                .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE OWNER = ? AND ID_CFG <> ?")
                            .arg(c.T(QStringLiteral("MENUCFG"))),
                        {id, id})
                .toInt() > 0)
            RaiseOraError(OraErr::ChildRecordFound,
                          QStringLiteral("integrity constraint violated - menu group %1 still holds entries").arg(id));
        c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ID_CFG = ?").arg(c.T(QStringLiteral("MENUCFG"))), {id});
        return QVariant();
    });
    // MOVE_ITEM(PID_CFG, POWNER, PSORT_ORDER): under a new owner, right after the
    // sibling with that sort order (0: after all siblings).
    Add("MOVE_ITEM", {In("PID_CFG"), In("POWNER"), In("PSORT_ORDER")}, true, [](TServerCall &c) {
        const qlonglong id = c.Int(0), owner = c.Int(1), sort = c.Int(2);
        const QVector<QVariant> row = MenuRow(c, id);
        const qlonglong access = row[0].toLongLong();
        if (row[1].toLongLong() == 0 && owner == 0)
            RaiseApplicationError(20001, QStringLiteral("a service entry must stand inside a menu group"));
        RequireGroupOwner(c, owner, access);
        // The new owner may not lie inside the moved entry.
        for (qlonglong up = owner; up != 0;) {
            if (up == id)
                RaiseApplicationError(20001, QStringLiteral("a menu entry cannot move into itself"));
            up = MenuRow(c, up)[2].toLongLong();
        }
        const QString menu = c.T(QStringLiteral("MENUCFG"));
        qlonglong newSort;
        if (sort <= 0) {
            newSort = NextSortOrder(c, access, owner);
        } else {
            c.conn.Exec(QStringLiteral("UPDATE %1 SET SORT_ORDER = SORT_ORDER + 1 WHERE ACCESSID = ? AND OWNER = ? "
                                       "AND SORT_ORDER > ? AND ID_CFG <> ?")
                            .arg(menu),
                        {access, owner, sort, id});
            newSort = sort + 1;
        }
        c.conn.Exec(QStringLiteral("UPDATE %1 SET OWNER = ?, SORT_ORDER = ? WHERE ID_CFG = ?").arg(menu),
                    {owner, newSort, id});
        return QVariant();
    });
    Add("UPD_RIGHT", {In("PID_CFG"), In("PITEMMODE", TFT::ftString)}, true, [](TServerCall &c) {
        MenuRow(c, c.Int(0));
        c.conn.Exec(QStringLiteral("UPDATE %1 SET ITEMMODE = ? WHERE ID_CFG = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                    {Limited(c.Str(1), 255), c.Int(0)});
        return QVariant();
    });
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

// An access group's name as its column takes it: a blank name is NULL
// (ORA-01400), one of more than 100 characters too large (ORA-12899); a
// character outside the basic plane counts once, as in a CHAR-sized column.
QString AccessName(TServerCall &c, int index, const QString &nullMessage)
{
    constexpr qsizetype kNameSize = 100;
    const QString name = c.Str(index).trimmed();
    if (name.isEmpty())
        RaiseOraError(OraErr::NotNullViolation, nullMessage);
    const qsizetype characters = name.toUcs4().size();
    if (characters > kNameSize)
        RaiseOraError(12899, QStringLiteral("value too large for column \"NAME\" (actual: %1, maximum: %2)")
                                 .arg(characters)
                                 .arg(kNameSize));
    return name;
}

void RegisterAccess()
{
    Add("INS_ACCESS", {InOut("PID"), In("PNAME", TFT::ftString)}, true, [](TServerCall &c) {
        const QString name = AccessName(c, 1, QStringLiteral("cannot insert NULL into (NAME)"));
        const qlonglong id = NextId(c, QStringLiteral("ACCESSLIST"), QStringLiteral("ACCESSID"));
        c.conn.Exec(
            QStringLiteral("INSERT INTO %1 (ACCESSID, NAME) VALUES (?, ?)").arg(c.T(QStringLiteral("ACCESSLIST"))),
            {id, name});
        c.SetOut(0, id);
        return QVariant();
    });
    Add("UPD_ACCESS", {In("PACCESSID"), In("PNAME", TFT::ftString)}, true, [](TServerCall &c) {
        const QString name = AccessName(c, 1, QStringLiteral("cannot update (NAME) to NULL"));
        RequireAccess(c, c.Int(0));
        c.conn.Exec(QStringLiteral("UPDATE %1 SET NAME = ? WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                    {name, c.Int(0)});
        return QVariant();
    });
    // DEL_ACCESS_RECURCIVE(PACCESSID): the group with its whole menu; refused while users are attached.
    Add("DEL_ACCESS_RECURCIVE", {In("PACCESSID")}, true, [](TServerCall &c) {
        const qlonglong access = c.Int(0);
        if (c.conn
                .Scalar(
                    QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                    {access})
                .toInt() == 0)
            RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (access group %1)").arg(access));
        const int users =
            c.conn
                .Scalar(
                    QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("SYSUSER"))),
                    {access})
                .toInt();
        if (users > 0)
            RaiseOraError(OraErr::ChildRecordFound,
                          QStringLiteral("integrity constraint violated - %1 user(s) attached to access group %2")
                              .arg(users)
                              .arg(access));
        c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("MENUCFG"))), {access});
        c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                    {access});
        return QVariant();
    });
    // DUBLICATE_ACCESS(PACCESSID, PNAME, PID out): a copy of the group with its menu and rights.
    Add("DUBLICATE_ACCESS", {In("PACCESSID"), In("PNAME", TFT::ftString), InOut("PID")}, true, [](TServerCall &c) {
        const qlonglong source = c.Int(0);
        const QString name = AccessName(c, 1, QStringLiteral("cannot insert NULL into (NAME)"));
        if (c.conn
                .Scalar(
                    QStringLiteral("SELECT count(*) FROM %1 WHERE ACCESSID = ?").arg(c.T(QStringLiteral("ACCESSLIST"))),
                    {source})
                .toInt() == 0)
            RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (access group %1)").arg(source));
        const qlonglong access = NextId(c, QStringLiteral("ACCESSLIST"), QStringLiteral("ACCESSID"));
        c.conn.Exec(
            QStringLiteral("INSERT INTO %1 (ACCESSID, NAME) VALUES (?, ?)").arg(c.T(QStringLiteral("ACCESSLIST"))),
            {access, name});
        const QString menu = c.T(QStringLiteral("MENUCFG"));
        const TResultSet rows = c.conn.Query(
            QStringLiteral(
                "SELECT ID_CFG, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER FROM %1 WHERE ACCESSID = ? "
                "ORDER BY ID_CFG")
                .arg(menu),
            {source});
        // New ids first, then the rows with their owners mapped to the new ids.
        qlonglong next = NextId(c, QStringLiteral("MENUCFG"), QStringLiteral("ID_CFG"), rows.rows.size());
        QHash<qlonglong, qlonglong> newId;
        for (const QVector<QVariant> &r : rows.rows)
            newId.insert(r[0].toLongLong(), next++);
        for (const QVector<QVariant> &r : rows.rows) {
            const qlonglong owner = r[1].toLongLong();
            c.conn.Exec(QStringLiteral(
                            "INSERT INTO %1 (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                            .arg(menu),
                        {newId.value(r[0].toLongLong()), access, owner == 0 ? 0 : newId.value(owner, 0), r[2], r[3],
                         r[4], r[5], r[6]});
        }
        c.SetOut(2, access);
        return QVariant();
    });
}

qlonglong ItemIdOfGuid(TServerCall &c, const QString &guid)
{
    const QVariant id = c.conn.Scalar(
        QStringLiteral("SELECT ITEMID FROM %1 WHERE GUID = ?").arg(c.T(QStringLiteral("SRVITEMS"))), {guid});
    if (id.isNull())
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (service %1)").arg(guid));
    return id.toLongLong();
}

// Raises ORA-01403 for a service that is not (or no longer) in the catalogue.
void RequireService(TServerCall &c, qlonglong item)
{
    if (c.conn
            .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ITEMID = ?").arg(c.T(QStringLiteral("SRVITEMS"))),
                    {item})
            .toInt() == 0)
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (service %1)").arg(item));
}

void RegisterCatalogue()
{
    // INS_SRVITEM(PID in/out, PCREATEBTN, PGUID, PDLLNAME, PSRVNAME, PISLANG)
    Add("INS_SRVITEM",
        {InOut("PID"), In("PCREATEBTN"), In("PGUID", TFT::ftString), In("PDLLNAME", TFT::ftString),
         In("PSRVNAME", TFT::ftString), In("PISLANG")},
        true, [](TServerCall &c) {
            const QString guid = Fitting(c, 2, "SRVITEMS.GUID", 50), dll = Fitting(c, 3, "SRVITEMS.DLLNAME", 50);
            const QString name = Limited(c.Str(4), 50);
            if (guid.isEmpty() || dll.isEmpty() || name.isEmpty())
                RaiseOraError(OraErr::NotNullViolation,
                              QStringLiteral("cannot insert NULL into (GUID, DLLNAME, SRVNAME)"));
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
            c.SetOut(0, id);
            return QVariant();
        });
    // INS_SRVITEM_MODE(PGUID, PID, PNAME, PISLANG): right number PID of the service.
    Add("INS_SRVITEM_MODE", {In("PGUID", TFT::ftString), In("PID"), In("PNAME", TFT::ftString), In("PISLANG")}, true,
        [](TServerCall &c) {
            const qlonglong item = ItemIdOfGuid(c, c.Str(0));
            const QString name = c.Str(2).trimmed();
            if (name.isEmpty())
                RaiseOraError(OraErr::NotNullViolation, QStringLiteral("cannot insert NULL into (NAME)"));
            c.conn.Exec(
                QStringLiteral("INSERT INTO %1 (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES (?, ?, ?, ?, ?)")
                    .arg(c.T(QStringLiteral("SRVITEMS_MODE"))),
                {item, c.Int(1), Limited(name, 60), Limited(name, 150), c.Int(3) != 0 ? 1 : 0});
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
                {item, Fitting(c, 1, "REPORT_ITEMS.RGUID", 50), Limited(c.Str(2), 100), Limited(c.Str(3), 255),
                 c.Int(4)});
            return QVariant();
        });
    Add("UPD_SRVITEMS", {In("PITEMID"), In("PCREATEBTN")}, true, [](TServerCall &c) {
        RequireService(c, c.Int(0));
        c.conn.Exec(QStringLiteral("UPDATE %1 SET CREATEBTN = ? WHERE ITEMID = ?").arg(c.T(QStringLiteral("SRVITEMS"))),
                    {c.Int(1) != 0 ? 1 : 0, c.Int(0)});
        return QVariant();
    });
    // DEL_SRVITEM(PITEMID): refused while a menu still holds the service.
    Add("DEL_SRVITEM", {In("PITEMID")}, true, [](TServerCall &c) {
        const qlonglong item = c.Int(0);
        RequireService(c, item);
        if (c.conn
                .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ITEMID = ?").arg(c.T(QStringLiteral("MENUCFG"))),
                        {item})
                .toInt() > 0)
            RaiseOraError(OraErr::ChildRecordFound,
                          QStringLiteral("integrity constraint violated - service %1 is still in a menu").arg(item));
        for (const char *table : {"SRVITEMS_MODE", "REPORT_ITEMS", "SRVITEMS"})
            c.conn.Exec(QStringLiteral("DELETE FROM %1 WHERE ITEMID = ?").arg(c.T(QString::fromLatin1(table))), {item});
        return QVariant();
    });
    // SERVICEEXISTS(PID, PITEMID out): PITEMID = how many menu entries hold service PID.
    Add("SERVICEEXISTS", {In("PID"), InOut("PITEMID")}, false, [](TServerCall &c) {
        c.SetOut(1, c.conn.Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ITEMID = ? AND ISGROUP = 0")
                                      .arg(c.T(QStringLiteral("MENUCFG"))),
                                  {c.Int(0)}));
        return QVariant();
    });
    Add("DEL_SRV_FROM_ALL_MNU", {In("PITEMID")}, true, [](TServerCall &c) {
        c.conn.Exec(
            QStringLiteral("DELETE FROM %1 WHERE ITEMID = ? AND ISGROUP = 0").arg(c.T(QStringLiteral("MENUCFG"))),
            {c.Int(0)});
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
