// The database side of a rights list: loading the rights of a menu entry
// (with the fall-back to the older rights procedure) and the checks that
// guard loading and writing.
#include "FakeLanguages.h"
#include "Field.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "OraStoredProc.h"
#include "TestServer.h"
#include "uBaseService.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The rights procedure with the rows a server would return.
class TFakeRightsProc : public TOraStoredProc {
public:
    TFakeRightsProc() { SetSQLText(u"begin :RESULT := MENUPACK.GET_MENU_ITEM_RIGHT(:PID_CFG); end;"_s); }
    TResultSet rows;
    bool fail = false;
    QList<int> requested;

protected:
    TResultSet InternalOpen() override
    {
        requested << ParamByName(u"PID_CFG"_s).AsInteger();
        if (fail)
            throw EDAError(6550, u"ORA-06550: line 1, column 7: wrong number of columns"_s);
        return rows;
    }
};

// Rows "+view", "-edit", "+print"; the newer shape adds SOURCE_NAME (none for print) and ISLANG.
TResultSet RightsRows(bool newerShape)
{
    TResultSet result;
    result.columns = {{u"RCHECK"_s, TFieldType::ftString, 1, false}, {u"NAME"_s, TFieldType::ftString, 60, true}};
    result.rows = {{"+", "view"}, {"-", "edit"}, {"+", "print"}};
    if (newerShape) {
        result.columns += {{u"SOURCE_NAME"_s, TFieldType::ftString, 150, false}, {u"ISLANG"_s, TFieldType::ftFloat, 0, false}};
        result.rows[0] << u"View orders"_s << 1.0;
        result.rows[1] << u"Edit orders"_s << 0.0;
        result.rows[2] << QVariant() << 1.0;
    }
    return result;
}

} // namespace

class TestBaseServiceRights : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestServer::BuildTemplate(); }
    void cleanup() { SetRightsProcedures(nullptr, nullptr); }

    void loadingAndWritingNeedTheirSetup()
    {
        TBaseService service;
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, service.AccessList().FetchIsNeed());
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, service.AccessList().UpdateData());
        TFakeRightsProc proc;
        TOraPackage package;
        service.AccessList().AccessProc = &proc;
        service.AccessList().FPack = &package;
        for (int key : {0, -3}) {
            service.AccessList().ID_CFG = key;
            QVERIFY_THROWS_EXCEPTION(EAssertionFailed, service.AccessList().FetchIsNeed());
            QVERIFY_THROWS_EXCEPTION(EAssertionFailed, service.AccessList().UpdateData());
        }
        QVERIFY(proc.requested.isEmpty());
    }

    // Captions come from SOURCE_NAME through the application texts, else from NAME; ISLANG 1 translates them.
    void rightsAreLoadedOnce_data()
    {
        QTest::addColumn<bool>("newerShape");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("displayed");
        QTest::newRow("newer shape") << true << QStringList{"Просмотр заказов", "Edit orders", "print"}
                                     << QStringList{"Viewing of orders", "Edit orders", "PRINT"};
        QTest::newRow("older shape") << false << QStringList{"view", "edit", "print"} << QStringList{"view", "edit", "print"};
    }
    void rightsAreLoadedOnce()
    {
        QFETCH(bool, newerShape);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, displayed);
        FakeLanguages languages;
        languages.apl.insert(u"View orders"_s, u"Просмотр заказов"_s);
        languages.english.insert(u"Просмотр заказов"_s, u"Viewing of orders"_s);
        languages.english.insert(u"Edit orders"_s, u"Changing orders"_s);
        languages.english.insert(u"print"_s, u"PRINT"_s);
        TBaseService service;
        service.SetGuid(u"{ORDERS}"_s);
        service.SetMode(u"1011"_s);
        TFakeRightsProc proc;
        proc.rows = RightsRows(newerShape);
        TAccessList &list = service.AccessList();
        list.AccessProc = &proc;
        list.ID_CFG = 17;
        list.FetchIsNeed();
        QCOMPARE(proc.requested, QList<int>{17});
        QCOMPARE(list.Count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list[i]->ID(), i + 1);
            QCOMPARE(list[i]->GUID(), u"{ORDERS}"_s);
            QCOMPARE(list[i]->Caption(), captions[i]);
            QCOMPARE(list[i]->DisplayCaption(), displayed[i]);
        }
        // The server's marks count, not the string stored before loading; it applies when set again.
        QCOMPARE(service.GetMode(), u"1101"_s);
        service.SetMode(u"1011"_s);
        QCOMPARE(service.GetMode(), u"1011"_s);
        // A list with items is never loaded again.
        list.FetchIsNeed();
        QCOMPARE(proc.requested.size(), 1);
    }

    void fallsBackToOlderProcedure()
    {
        TFakeRightsProc current;
        current.fail = true;
        TFakeRightsProc older;
        older.rows = RightsRows(false);
        SetRightsProcedures(&current, &older);
        TBaseService service;
        service.AccessList().AccessProc = &current;
        service.AccessList().ID_CFG = 9;
        service.AccessList().FetchIsNeed();
        QCOMPARE(current.requested, QList<int>{9});
        QCOMPARE(older.requested, QList<int>{9});
        QCOMPARE(service.AccessList().AccessProc, static_cast<TOraDataSet *>(&older));
        QCOMPARE(service.AccessList().Count(), 3);
        // Another procedure's failure, or one without an older procedure, reaches the caller.
        TFakeRightsProc other;
        other.fail = true;
        TBaseService second;
        second.AccessList().AccessProc = &other;
        second.AccessList().ID_CFG = 2;
        QVERIFY_THROWS_EXCEPTION(EDAError, second.AccessList().FetchIsNeed());
        QCOMPARE(older.requested.size(), 1);
        QCOMPARE(second.AccessList().AccessProc, static_cast<TOraDataSet *>(&other));
        QVERIFY(second.AccessList().IsEmpty());
        SetRightsProcedures(&other, nullptr);
        QVERIFY_THROWS_EXCEPTION(EDAError, second.AccessList().FetchIsNeed());
    }

    void rightsOfDemoMenuEntry()
    {
        TestServer server;
        auto session = server.Connect();
        TOraStoredProc rights;
        rights.SetSession(session.get());
        rights.SetStoredProcName(u"ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT"_s);
        TOraPackage package;
        package.SetSession(session.get());
        package.SetPackageName(u"ZANDRELL5.MENUPACK"_s);
        // The operators' entry of the orders service: amounts granted, reports not.
        TBaseService service;
        service.SetGuid(u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}"_s);
        TAccessList &list = service.AccessList();
        list.AccessProc = &rights;
        list.FPack = &package;
        list.ID_CFG = 12;
        list.FetchIsNeed();
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list[0]->Caption(), u"Просмотр сумм"_s);
        QCOMPARE(list[1]->Caption(), u"Печать отчетов"_s);
        QCOMPARE(service.GetMode(), u"110"_s);
        list[0]->SetChecked(false);
        list[1]->SetChecked(true);
        list.UpdateData();
        QVERIFY(!session->InTransaction());
        // Committed: another session sees the new rights string.
        auto other = server.Connect();
        TOraQuery query;
        query.SetSession(other.get());
        query.SetSQLText(u"SELECT ITEMMODE FROM ZANDRELL5.V_MENUCFG WHERE ID_CFG = 12"_s);
        query.Open();
        QCOMPARE(query.FieldByName(u"ITEMMODE"_s)->AsString(), u"101"_s);
    }
};

QTEST_GUILESS_MAIN(TestBaseServiceRights)
#include "tst_uBaseServiceRights.moc"
