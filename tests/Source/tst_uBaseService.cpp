// Service entries, rights lists and rights strings, report lists; the
// database side of a rights list: loading the rights of a menu entry (with
// the fall-back to the older rights procedure) and the checks that guard
// loading and writing.
#include "FakeLanguages.h"
#include "Field.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "OraStoredProc.h"
#include "RecordingDialogService.h"
#include "TestServer.h"
#include "uBaseService.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

void Upper(QString &text) { text = text.toUpper(); }
void Bracket(QString &text) { text = QLatin1Char('[') + text + QLatin1Char(']'); }

std::unique_ptr<TAccessItem> MakeItem(int id, const char *caption = "Right")
{
    return std::make_unique<TAccessItem>(TAccessRec2{id, "{SRV}", caption, false}, nullptr);
}

void FillRights(TAccessList &list, int count)
{
    for (int i = 1; i <= count; ++i)
        QCOMPARE(list.Add(MakeItem(i)), i - 1);
}

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

class TestBaseService : public QObject {
    Q_OBJECT
private slots:
    void accessItemTranslatesOnlyLangCaptions()
    {
        TAccessItem item(TAccessRec2{1, "{A}", "edit", false}, Upper);
        QCOMPARE(item.DisplayCaption(), u"edit"_s);
        item.SetIsLang(true);
        QCOMPARE(item.DisplayCaption(), u"EDIT"_s);
        item.SetCaption(u"view"_s);
        QCOMPARE(item.DisplayCaption(), u"VIEW"_s);
        QCOMPARE(item.Caption(), u"view"_s);
        item.SetTranslateFunc(Bracket);
        QCOMPARE(item.DisplayCaption(), u"[view]"_s);
        item.SetTranslateFunc(nullptr);
        QCOMPARE(item.DisplayCaption(), u"view"_s);
        // A copy keeps all of it, the check mark too.
        item.SetTranslateFunc(Upper);
        item.SetChecked(true);
        const TAccessItem copy(item);
        QCOMPARE(copy.ID(), 1);
        QCOMPARE(copy.GUID(), u"{A}"_s);
        QVERIFY(copy.IsLang() && copy.Checked());
        QCOMPARE(copy.DisplayCaption(), u"VIEW"_s);
        // The short record is never translated.
        auto plain = TAccessItem::CreateShort(TAccessRec{1, "{B}", "Удалить"});
        QCOMPARE(plain->Caption(), u"Удалить"_s);
        QVERIFY(!plain->IsLang() && !plain->TranslateFunc() && !plain->Checked());
    }

    // A record without its identifier, GUID or caption is a programming error.
    void recordsAreChecked_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("hasGuid");
        QTest::addColumn<bool>("hasCaption");
        QTest::newRow("id 0") << 0 << true << true;
        QTest::newRow("negative id") << -4 << true << true;
        QTest::newRow("no guid") << 1 << false << true;
        QTest::newRow("no caption") << 1 << true << false;
    }
    void recordsAreChecked()
    {
        QFETCH(int, id);
        QFETCH(bool, hasGuid);
        QFETCH(bool, hasCaption);
        const TAccessRec2 rec{id, hasGuid ? "{G}" : nullptr, hasCaption ? "C" : nullptr, false};
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TAccessItem(rec, nullptr));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TAccessItem::CreateShort(TAccessRec{rec.ID, rec.GUID, rec.Caption}));
        // A report needs its GUID, name and description.
        TReportRec report{"{R}", "Orders", "All orders"};
        (id <= 0 ? report.RGuid : hasGuid ? report.RName : report.RDesc) = nullptr;
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TReportItem{report});
    }

    // GetMode: "1", then one character per right; SetMode ignores the leading character.
    void setModeOfALoadedList_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("leading one only") << "1" << "100";
        QTest::newRow("empty") << "" << "100";
        QTest::newRow("one right of two") << "11" << "110";
        QTest::newRow("leading character ignored") << "011" << "111";
        QTest::newRow("longer than the list") << "10111" << "101";
        QTest::newRow("only 1 counts") << "1x1" << "101";
    }
    void setModeOfALoadedList()
    {
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        TAccessList list(nullptr);
        FillRights(list, 2);
        list[0]->SetChecked(true);
        list[1]->SetChecked(true);
        list.SetMode(mode);
        QCOMPARE(list.GetMode(), expected);
        QCOMPARE(list.Mode(), mode);
    }

    void modeOfAnEmptyOrLoadedList()
    {
        // Until the rights are loaded the stored string is kept as it is.
        TBaseService service;
        QCOMPARE(service.GetMode(), QString());
        service.SetMode(u"1011"_s);
        QCOMPARE(service.GetMode(), u"1011"_s);
        FillRights(service.AccessList(), 3);
        QCOMPARE(service.GetMode(), u"1000"_s);
        service.SetMode(u"1011"_s);
        QCOMPARE((QList<bool>{service.AccessList()[0]->Checked(), service.AccessList()[1]->Checked(),
                              service.AccessList()[2]->Checked()}),
                 (QList<bool>{false, true, true}));
        QCOMPARE(service.GetMode(), u"1011"_s);
    }

    void fullListGives255Characters()
    {
        RecordingDialogService dialogs;
        TAccessList list(nullptr);
        FillRights(list, TAccessList::MaxCount);
        QCOMPARE(list.Count(), 254);
        for (int i = 0; i < list.Count(); i += 2)
            list[i]->SetChecked(true);
        const QString mode = list.GetMode();
        QCOMPARE(mode.size(), 255);
        QCOMPARE(mode.left(3), u"110"_s);
        QCOMPARE(mode.right(2), u"10"_s);
        list.SetMode(QString(255, QLatin1Char('1')));
        QVERIFY(list[253]->Checked());
        QVERIFY(dialogs.boxes.isEmpty());
        // Item 255 is refused: the caller still owns it, the list is unchanged.
        auto extra = MakeItem(255, "Extra");
        TAccessItem *const extraAddress = extra.get();
        QCOMPARE(list.Add(std::move(extra)), -1);
        QCOMPARE(extra.get(), extraAddress);
        QCOMPARE(list.Count(), 254);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes[0].text.contains(u"254"_s));
        QVERIFY(dialogs.boxes[0].flags & MB_ICONERROR);
        QVERIFY_THROWS_EXCEPTION(EListError, list.Items(254));
        QVERIFY_THROWS_EXCEPTION(EListError, list.Items(-1));
        QVERIFY_THROWS_EXCEPTION(EListError, list.Delete(300));
        list.Delete(0);
        QCOMPARE(list[0]->ID(), 2);
    }

    void displayTextsFollowTranslation()
    {
        TBaseService service;
        QCOMPARE(service.AccessList().Owner(), &service);
        QCOMPARE(service.ReportList().Owner(), &service);
        service.SetCaption(u"orders"_s);
        service.SetDescription(u"all orders"_s);
        service.SetTranslateFunc(Upper);
        // A function alone translates nothing; each text has its own switch.
        QCOMPARE(service.DisplayCaption() + '|' + service.DisplayDescription(), u"orders|all orders"_s);
        service.SetTranslateCaption(true);
        QCOMPARE(service.DisplayCaption() + '|' + service.DisplayDescription(), u"ORDERS|all orders"_s);
        service.SetTranslateDescription(true);
        service.SetTranslateFunc(Bracket);
        QCOMPARE(service.DisplayCaption() + '|' + service.DisplayDescription(), u"[orders]|[all orders]"_s);
        service.SetCaption(u"stock"_s);
        service.SetTranslateCaption(false);
        QCOMPARE(service.DisplayCaption(), u"stock"_s);
    }

    void assignCopiesEntryAndRights()
    {
        TBaseService source;
        source.SetDllName(u"Orders.so"_s);
        source.SetGuid(u"{ORD}"_s);
        source.SetCaption(u"orders"_s);
        source.SetModuleCaption(u"module orders"_s);
        source.SetDescription(u"desc"_s);
        source.SetTranslateFunc(Upper);
        source.SetTranslateCaption(true);
        source.SetCreateBtn(true);
        source.SetMenuGroup(3);
        source.SetSortOrder(40);
        source.AccessList().ID_CFG = 12;
        FillRights(source.AccessList(), 3);
        source.SetMode(u"1101"_s);
        source.ReportList().Add(std::make_unique<TReportItem>(TReportRec{"{R1}", "List", "Order list"}));

        TBaseService copy;
        FillRights(copy.AccessList(), 1);
        copy.Assign(source);
        QCOMPARE((QStringList{copy.DllName(), copy.Guid(), copy.Caption(), copy.DisplayCaption(), copy.ModuleCaption(),
                              copy.DisplayDescription()}),
                 (QStringList{"Orders.so", "{ORD}", "orders", "ORDERS", "module orders", "desc"}));
        QVERIFY(copy.TranslateCaption() && !copy.TranslateDescription() && copy.CreateBtn());
        QCOMPARE(copy.MenuGroup(), 3);
        // The place in the menu and the entry's key are not copied.
        QCOMPARE(copy.SortOrder(), -1);
        QCOMPARE(copy.AccessList().ID_CFG, 0);
        QCOMPARE(copy.AccessList().Count(), 3);
        QVERIFY(copy.AccessList()[0] != source.AccessList()[0]);
        QCOMPARE(copy.GetMode(), u"1101"_s);
        QCOMPARE(copy.ReportList().Count(), 1);
        QCOMPARE(copy.ReportList()[0]->RName() + copy.ReportList()[0]->RDesc(), u"ListOrder list"_s);
        QCOMPARE(copy.ReportList().Owner(), &copy);
        // Rights not loaded yet: the stored string goes over.
        TBaseService unloaded;
        unloaded.SetMode(u"10110"_s);
        copy.Assign(unloaded);
        QCOMPARE(copy.AccessList().Count(), 0);
        QCOMPARE(copy.GetMode(), u"10110"_s);
    }

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

QTEST_GUILESS_MAIN(TestBaseService)
#include "tst_uBaseService.moc"
