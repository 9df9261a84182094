// The database side of a rights list: loading the rights of a menu entry
// (with the fall-back to the older rights procedure) and the checks that
// guard loading and writing.
#include "DAError.h"
#include "FakeLanguages.h"
#include "Field.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "OraSession.h"
#include "OraStoredProc.h"
#include "ServerAliases.h"
#include "uBaseService.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The rights procedure with the rows a server would return.
class TFakeRightsProc : public TOraStoredProc {
public:
    TFakeRightsProc()
    {
        SetSQLText(QStringLiteral("begin :RESULT := MENUPACK.GET_MENU_ITEM_RIGHT(:PID_CFG); end;"));
    }
    TResultSet rows;
    bool fail = false;
    QList<int> requested;

protected:
    TResultSet InternalOpen() override
    {
        requested << ParamByName(QStringLiteral("PID_CFG")).AsInteger();
        if (fail)
            throw EDAError(6550, QStringLiteral("ORA-06550: line 1, column 7: wrong number of columns"));
        return rows;
    }
};

TResultSet RightsRows(bool withSourceName, bool withIsLang)
{
    TResultSet result;
    result.columns.append({QStringLiteral("RCHECK"), TFieldType::ftString, 1, false});
    result.columns.append({QStringLiteral("NAME"), TFieldType::ftString, 60, true});
    if (withSourceName)
        result.columns.append({QStringLiteral("SOURCE_NAME"), TFieldType::ftString, 150, false});
    if (withIsLang)
        result.columns.append({QStringLiteral("ISLANG"), TFieldType::ftFloat, 0, false});
    const QList<QStringList> rows = {{"+", "view", "View orders", "1"},
                                     {"-", "edit", "Edit orders", "0"},
                                     {"+", "print", QString(), "1"}};
    for (const QStringList &r : rows) {
        QVector<QVariant> row{r[0], r[1]};
        if (withSourceName)
            row << (r[2].isNull() ? QVariant() : QVariant(r[2]));
        if (withIsLang)
            row << r[3].toDouble();
        result.rows.append(row);
    }
    return result;
}

// A fresh copy of the demo database of the installation, with its Servers.ini in use.
class TDemoDatabase {
public:
    TDemoDatabase()
    {
        const QString source = qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/Db/ZANDRELL");
        QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString target = FDir.filePath(QStringLiteral("Db/ZANDRELL/") + QDir(source).relativeFilePath(file));
            QDir().mkpath(QFileInfo(target).path());
            FValid = QFile::copy(file, target) && FValid;
        }
        QFile ini(FDir.filePath(QStringLiteral("Servers.ini")));
        FValid = FValid && ini.open(QIODevice::WriteOnly) && ini.write("[ZANDRELL]\nBackend=sqlite\nPath=Db/ZANDRELL\n") > 0;
        ini.close();
        SetServersIniPath(ini.fileName());
    }
    ~TDemoDatabase() { SetServersIniPath(QString()); }
    bool IsValid() const { return FValid && QFile::exists(FDir.filePath(QStringLiteral("Db/ZANDRELL/ZANDRELL5.db"))); }

    static void Connect(TOraSession &session)
    {
        session.SetServer(QStringLiteral("ZANDRELL"));
        session.SetUsername(QStringLiteral("ZL_USER"));
        session.SetPassword(QStringLiteral("demo"));
        session.SetConnectPrompt(false);
        session.PerformConnect();
    }

private:
    QTemporaryDir FDir;
    bool FValid = true;
};

} // namespace

class TestBaseServiceRights : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetRightsProcedures(nullptr, nullptr); }
    void fetchChecksItsSetup();
    void fetchLoadsRightsOnce();
    void captionsAndTranslation();
    void resultWithoutSourceNameAndIsLang();
    void storedModeAfterLoading();
    void fallsBackToOlderProcedure();
    void otherFailuresPropagate();
    void updateChecksItsSetup();
    void rightsOfDemoMenuEntry();
};

void TestBaseServiceRights::fetchChecksItsSetup()
{
    TBaseService service;
    try {
        service.AccessList().FetchIsNeed();
        QFAIL("no check without a query");
    } catch (const EAssertionFailed &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral(
                     "TAccessList.FetchIsNeed: AccessProc = nil (Source/ComUnits/uBaseService, line ")),
                 qPrintable(e.message()));
    }
    TFakeRightsProc proc;
    service.AccessList().AccessProc = &proc;
    try {
        service.AccessList().FetchIsNeed();
        QFAIL("no check without a key");
    } catch (const EAssertionFailed &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("TAccessList.FetchIsNeed: ID_CFG = 0 (")),
                 qPrintable(e.message()));
    }
    QVERIFY(proc.requested.isEmpty());
}

void TestBaseServiceRights::fetchLoadsRightsOnce()
{
    TBaseService service;
    service.SetGuid(QStringLiteral("{ORDERS}"));
    TFakeRightsProc proc;
    proc.rows = RightsRows(true, true);
    service.AccessList().AccessProc = &proc;
    service.AccessList().ID_CFG = 17;
    service.AccessList().FetchIsNeed();
    QCOMPARE(proc.requested, QList<int>{17});
    TAccessList &list = service.AccessList();
    QCOMPARE(list.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(list[i]->ID(), i + 1);
        QCOMPARE(list[i]->GUID(), QStringLiteral("{ORDERS}"));
    }
    QVERIFY(list[0]->Checked());
    QVERIFY(!list[1]->Checked());
    QVERIFY(list[2]->Checked());
    QCOMPARE(service.GetMode(), QStringLiteral("1101"));

    // A list with items is never loaded again.
    proc.rows.rows.clear();
    list.FetchIsNeed();
    QCOMPARE(proc.requested.size(), 1);
    QCOMPARE(list.Count(), 3);
}

void TestBaseServiceRights::captionsAndTranslation()
{
    FakeLanguages languages;
    languages.apl.insert(QStringLiteral("View orders"), QStringLiteral("Просмотр заказов"));
    languages.english.insert(QStringLiteral("Просмотр заказов"), QStringLiteral("Viewing of orders"));
    languages.english.insert(QStringLiteral("Edit orders"), QStringLiteral("Changing orders"));
    TBaseService service;
    TFakeRightsProc proc;
    proc.rows = RightsRows(true, true);
    service.AccessList().AccessProc = &proc;
    service.AccessList().ID_CFG = 3;
    service.AccessList().FetchIsNeed();
    TAccessList &list = service.AccessList();
    // Caption: the application text of SOURCE_NAME.
    QCOMPARE(list[0]->Caption(), QStringLiteral("Просмотр заказов"));
    QVERIFY(list[0]->IsLang());
    QCOMPARE(list[0]->DisplayCaption(), QStringLiteral("Viewing of orders"));
    // ISLANG 0: not translated.
    QCOMPARE(list[1]->Caption(), QStringLiteral("Edit orders"));
    QVERIFY(!list[1]->IsLang());
    QCOMPARE(list[1]->DisplayCaption(), QStringLiteral("Edit orders"));
    QVERIFY(!list[1]->TranslateFunc());
    // A row without its source name shows its name.
    QCOMPARE(list[2]->Caption(), QStringLiteral("print"));
}

void TestBaseServiceRights::resultWithoutSourceNameAndIsLang()
{
    FakeLanguages languages;
    languages.english.insert(QStringLiteral("view"), QStringLiteral("VIEW"));
    TBaseService service;
    TFakeRightsProc proc;
    proc.rows = RightsRows(false, false);
    service.AccessList().AccessProc = &proc;
    service.AccessList().ID_CFG = 3;
    service.AccessList().FetchIsNeed();
    TAccessList &list = service.AccessList();
    QCOMPARE(list.Count(), 3);
    QCOMPARE(list[0]->Caption(), QStringLiteral("view"));
    QCOMPARE(list[1]->Caption(), QStringLiteral("edit"));
    for (int i = 0; i < list.Count(); ++i) {
        QVERIFY(!list[i]->IsLang());
        QCOMPARE(list[i]->DisplayCaption(), list[i]->Caption());
    }
}

void TestBaseServiceRights::storedModeAfterLoading()
{
    TBaseService service;
    service.SetMode(QStringLiteral("1011"));
    QCOMPARE(service.GetMode(), QStringLiteral("1011"));
    TFakeRightsProc proc;
    proc.rows = RightsRows(true, true);
    service.AccessList().AccessProc = &proc;
    service.AccessList().ID_CFG = 5;
    service.AccessList().FetchIsNeed();
    service.SetMode(QStringLiteral("1011"));
    QVERIFY(!service.AccessList()[0]->Checked());
    QVERIFY(service.AccessList()[1]->Checked());
    QVERIFY(service.AccessList()[2]->Checked());
    QCOMPARE(service.GetMode(), QStringLiteral("1011"));
}

void TestBaseServiceRights::fallsBackToOlderProcedure()
{
    TFakeRightsProc current;
    current.fail = true;
    TFakeRightsProc older;
    older.rows = RightsRows(false, false);
    SetRightsProcedures(&current, &older);

    TBaseService service;
    service.AccessList().AccessProc = &current;
    service.AccessList().ID_CFG = 9;
    service.AccessList().FetchIsNeed();
    QCOMPARE(current.requested, QList<int>{9});
    QCOMPARE(older.requested, QList<int>{9});
    QCOMPARE(service.AccessList().AccessProc, static_cast<TOraDataSet *>(&older));
    QCOMPARE(service.AccessList().Count(), 3);
    QCOMPARE(service.AccessList()[0]->Caption(), QStringLiteral("view"));
}

void TestBaseServiceRights::otherFailuresPropagate()
{
    TFakeRightsProc registered;
    TFakeRightsProc older;
    SetRightsProcedures(&registered, &older);
    TFakeRightsProc other;
    other.fail = true;
    TBaseService service;
    service.AccessList().AccessProc = &other;
    service.AccessList().ID_CFG = 2;
    try {
        service.AccessList().FetchIsNeed();
        QFAIL("the failure was swallowed");
    } catch (const EDAError &e) {
        QCOMPARE(e.ErrorCode(), 6550);
    }
    QVERIFY(older.requested.isEmpty());
    QCOMPARE(service.AccessList().AccessProc, static_cast<TOraDataSet *>(&other));
    QVERIFY(service.AccessList().IsEmpty());

    // Without an older procedure the current one's failure propagates too.
    SetRightsProcedures(&other, nullptr);
    QVERIFY_THROWS_EXCEPTION(EDAError, service.AccessList().FetchIsNeed());
}

void TestBaseServiceRights::updateChecksItsSetup()
{
    TBaseService service;
    try {
        service.AccessList().UpdateData();
        QFAIL("no check without a package");
    } catch (const EAssertionFailed &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral(
                     "TAccessList.UpdateData: FPack = nil (Source/ComUnits/uBaseService, line ")),
                 qPrintable(e.message()));
    }
    TOraPackage package;
    service.AccessList().FPack = &package;
    service.AccessList().ID_CFG = -3;
    try {
        service.AccessList().UpdateData();
        QFAIL("no check without a key");
    } catch (const EAssertionFailed &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("TAccessList.UpdateData: ID_CFG = -3 (")),
                 qPrintable(e.message()));
    }
}

void TestBaseServiceRights::rightsOfDemoMenuEntry()
{
    TDemoDatabase database;
    QVERIFY2(database.IsValid(), "the demo database is not built");
    TOraSession session;
    TDemoDatabase::Connect(session);
    TOraStoredProc rights;
    rights.SetSession(&session);
    rights.SetStoredProcName(QStringLiteral("ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT"));
    TOraPackage package;
    package.SetSession(&session);
    package.SetPackageName(QStringLiteral("ZANDRELL5.MENUPACK"));

    // The operators' entry of the orders service: amounts granted, reports not.
    TBaseService service;
    service.SetGuid(QStringLiteral("{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}"));
    TAccessList &list = service.AccessList();
    list.AccessProc = &rights;
    list.FPack = &package;
    list.ID_CFG = 12;
    list.FetchIsNeed();
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list[0]->Caption(), QStringLiteral("Просмотр сумм"));
    QCOMPARE(list[1]->Caption(), QStringLiteral("Печать отчетов"));
    QCOMPARE(list[1]->GUID(), service.Guid());
    QCOMPARE(service.GetMode(), QStringLiteral("110"));

    list[0]->SetChecked(false);
    list[1]->SetChecked(true);
    list.UpdateData();
    QVERIFY(!session.InTransaction());

    // Committed: another session sees the new rights string.
    TOraSession other;
    TDemoDatabase::Connect(other);
    TOraQuery query;
    query.SetSession(&other);
    query.SetSQLText(QStringLiteral("SELECT ITEMMODE FROM ZANDRELL5.V_MENUCFG WHERE ID_CFG = 12"));
    query.Open();
    QCOMPARE(query.FieldByName(QStringLiteral("ITEMMODE"))->AsString(), QStringLiteral("101"));
}

QTEST_GUILESS_MAIN(TestBaseServiceRights)
#include "tst_uBaseServiceRights.moc"
