// Service entries, rights lists and rights strings, report lists.
#include "RecordingDialogService.h"
#include "uBaseService.h"

#include <QtTest>

namespace {

void Upper(QString &text) { text = text.toUpper(); }
void Bracket(QString &text) { text = QLatin1Char('[') + text + QLatin1Char(']'); }

std::unique_ptr<TAccessItem> MakeItem(int id, const char *caption = "Right", bool isLang = false,
                                      TTranslateProc func = nullptr)
{
    return std::make_unique<TAccessItem>(TAccessRec2{id, "{SRV}", caption, isLang}, func);
}

void FillRights(TAccessList &list, int count)
{
    for (int i = 1; i <= count; ++i)
        QCOMPARE(list.Add(MakeItem(i)), i - 1);
}

} // namespace

class TestBaseService : public QObject {
    Q_OBJECT
private slots:
    void accessItemStoresRecord();
    void accessItemTranslatesOnlyLangCaptions();
    void accessItemChecksItsRecord_data();
    void accessItemChecksItsRecord();
    void accessItemCopy();
    void reportItemChecksItsRecord_data();
    void reportItemChecksItsRecord();
    void emptyListKeepsStoredMode();
    void setModeChecksByPosition();
    void setModeShortStrings_data();
    void setModeShortStrings();
    void getModeOfLoadedList();
    void fullListGives255Characters();
    void item255IsRefused();
    void listIndexError();
    void displayTextsFollowTranslation();
    void assignCopiesEntryAndRights();
    void assignOfUnloadedRightsKeepsMode();
    void serviceListOwnsEntries();
};

void TestBaseService::accessItemStoresRecord()
{
    TAccessItem item(TAccessRec2{3, "{A}", "Delete", false}, nullptr);
    QCOMPARE(item.ID(), 3);
    QCOMPARE(item.GUID(), QStringLiteral("{A}"));
    QCOMPARE(item.Caption(), QStringLiteral("Delete"));
    QCOMPARE(item.DisplayCaption(), QStringLiteral("Delete"));
    QVERIFY(!item.Checked());
    QVERIFY(!item.IsLang());

    auto shortItem = TAccessItem::CreateShort(TAccessRec{1, "{B}", "Удалить"});
    QCOMPARE(shortItem->Caption(), QStringLiteral("Удалить"));
    QVERIFY(!shortItem->IsLang());
    QVERIFY(!shortItem->TranslateFunc());
}

void TestBaseService::accessItemTranslatesOnlyLangCaptions()
{
    TAccessItem plain(TAccessRec2{1, "{A}", "edit", false}, Upper);
    QCOMPARE(plain.DisplayCaption(), QStringLiteral("edit"));
    plain.SetIsLang(true);
    QCOMPARE(plain.DisplayCaption(), QStringLiteral("EDIT"));
    plain.SetCaption(QStringLiteral("view"));
    QCOMPARE(plain.DisplayCaption(), QStringLiteral("VIEW"));
    QCOMPARE(plain.Caption(), QStringLiteral("view"));
    plain.SetTranslateFunc(Bracket);
    QCOMPARE(plain.DisplayCaption(), QStringLiteral("[view]"));
    plain.SetTranslateFunc(nullptr);
    QCOMPARE(plain.DisplayCaption(), QStringLiteral("view"));
}

void TestBaseService::accessItemChecksItsRecord_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("hasGuid");
    QTest::addColumn<bool>("hasCaption");
    QTest::addColumn<QString>("message");
    QTest::newRow("id 0") << 0 << true << true << "TAccessItem.Create: AccessItem.ID < 1";
    QTest::newRow("negative id") << -4 << true << true << "TAccessItem.Create: AccessItem.ID < 1";
    QTest::newRow("no guid") << 1 << false << true << "TAccessItem.Create: AccessItem.GUID = nil";
    QTest::newRow("no caption") << 1 << true << false << "TAccessItem.Create: AccessItem.Caption = nil";
}

void TestBaseService::accessItemChecksItsRecord()
{
    QFETCH(int, id);
    QFETCH(bool, hasGuid);
    QFETCH(bool, hasCaption);
    QFETCH(QString, message);
    const TAccessRec2 rec{id, hasGuid ? "{G}" : nullptr, hasCaption ? "C" : nullptr, false};
    try {
        TAccessItem item(rec, nullptr);
        QFAIL("the record was accepted");
    } catch (const EAssertionFailed &e) {
        QVERIFY2(e.message().startsWith(message + QStringLiteral(" (Source/ComUnits/uBaseService, line ")),
                 qPrintable(e.message()));
    }
    // The short form checks the same.
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TAccessItem::CreateShort(TAccessRec{rec.ID, rec.GUID, rec.Caption}));
}

void TestBaseService::accessItemCopy()
{
    TAccessItem source(TAccessRec2{7, "{C}", "print", true}, Upper);
    source.SetChecked(true);
    TAccessItem copy(source);
    QCOMPARE(copy.ID(), 7);
    QCOMPARE(copy.GUID(), QStringLiteral("{C}"));
    QVERIFY(copy.IsLang());
    QVERIFY(copy.Checked());
    QCOMPARE(copy.Caption(), QStringLiteral("print"));
    QCOMPARE(copy.DisplayCaption(), QStringLiteral("PRINT"));
    QVERIFY(copy.TranslateFunc() == &Upper);
}

void TestBaseService::reportItemChecksItsRecord_data()
{
    QTest::addColumn<int>("missing");
    QTest::addColumn<QString>("message");
    QTest::newRow("guid") << 0 << "TReportItem.Create: s.RGuid = nil";
    QTest::newRow("name") << 1 << "TReportItem.Create: s.RName = nil";
    QTest::newRow("description") << 2 << "TReportItem.Create: s.RDesc = nil";
}

void TestBaseService::reportItemChecksItsRecord()
{
    QFETCH(int, missing);
    QFETCH(QString, message);
    TReportRec rec{"{R}", "Orders", "All orders"};
    (missing == 0 ? rec.RGuid : missing == 1 ? rec.RName : rec.RDesc) = nullptr;
    try {
        TReportItem item(rec);
        QFAIL("the record was accepted");
    } catch (const EAssertionFailed &e) {
        QVERIFY2(e.message().startsWith(message + QStringLiteral(" (Source/ComUnits/uBaseService, line ")),
                 qPrintable(e.message()));
    }
    TReportItem good(TReportRec{"{R}", "Orders", "All orders"});
    TReportItem copy(good);
    QCOMPARE(copy.RGuid(), QStringLiteral("{R}"));
    QCOMPARE(copy.RName(), QStringLiteral("Orders"));
    QCOMPARE(copy.RDesc(), QStringLiteral("All orders"));
}

void TestBaseService::emptyListKeepsStoredMode()
{
    TBaseService service;
    QCOMPARE(service.GetMode(), QString());
    service.SetMode(QStringLiteral("1011"));
    QCOMPARE(service.GetMode(), QStringLiteral("1011"));
    QCOMPARE(service.AccessList().Mode(), QStringLiteral("1011"));
}

void TestBaseService::setModeChecksByPosition()
{
    TBaseService service;
    service.SetMode(QStringLiteral("1011"));
    FillRights(service.AccessList(), 3);
    service.SetMode(QStringLiteral("1011"));
    QVERIFY(!service.AccessList()[0]->Checked());
    QVERIFY(service.AccessList()[1]->Checked());
    QVERIFY(service.AccessList()[2]->Checked());
    QCOMPARE(service.GetMode(), QStringLiteral("1011"));
}

void TestBaseService::setModeShortStrings_data()
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

void TestBaseService::setModeShortStrings()
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

void TestBaseService::getModeOfLoadedList()
{
    TAccessList list(nullptr);
    FillRights(list, 4);
    QCOMPARE(list.GetMode(), QStringLiteral("10000"));
    list[3]->SetChecked(true);
    list[0]->SetChecked(true);
    QCOMPARE(list.GetMode(), QStringLiteral("11001"));
}

void TestBaseService::fullListGives255Characters()
{
    RecordingDialogService dialogs;
    TAccessList list(nullptr);
    FillRights(list, TAccessList::MaxCount);
    QCOMPARE(list.Count(), 254);
    for (int i = 0; i < list.Count(); i += 2)
        list[i]->SetChecked(true);
    const QString mode = list.GetMode();
    QCOMPARE(mode.size(), 255);
    QCOMPARE(mode[0], QLatin1Char('1'));
    QCOMPARE(mode[1], QLatin1Char('1'));
    QCOMPARE(mode[2], QLatin1Char('0'));
    QCOMPARE(mode[253], QLatin1Char('1'));
    QCOMPARE(mode[254], QLatin1Char('0'));
    list.SetMode(QString(255, QLatin1Char('1')));
    QVERIFY(list[253]->Checked());
    QVERIFY(dialogs.boxes.isEmpty());
}

void TestBaseService::item255IsRefused()
{
    RecordingDialogService dialogs;
    TAccessList list(nullptr);
    FillRights(list, TAccessList::MaxCount);
    auto extra = MakeItem(255, "Extra");
    TAccessItem *const extraAddress = extra.get();
    QCOMPARE(list.Add(std::move(extra)), -1);
    // Refused: the caller still owns it, the list is unchanged.
    QCOMPARE(extra.get(), extraAddress);
    QCOMPARE(list.Count(), 254);
    QCOMPARE(list.IndexOf(extraAddress), -1);
    QCOMPARE(dialogs.boxes.size(), 1);
    QCOMPARE(dialogs.boxes[0].text, QStringLiteral("TAccessList.Add: AccessList is large (maximum size = 254)"));
    QVERIFY(dialogs.boxes[0].flags & MB_ICONERROR);
    QCOMPARE(list.GetMode().size(), 255);
}

void TestBaseService::listIndexError()
{
    TAccessList list(nullptr);
    FillRights(list, 2);
    QVERIFY_THROWS_EXCEPTION(EListError, list.Items(2));
    QVERIFY_THROWS_EXCEPTION(EListError, list.Items(-1));
    try {
        list.Delete(5);
        QFAIL("no index error");
    } catch (const EListError &e) {
        QCOMPARE(e.message(), QStringLiteral("List index out of bounds (5)"));
    }
    list.Delete(0);
    QCOMPARE(list.Count(), 1);
    QCOMPARE(list[0]->ID(), 2);
}

void TestBaseService::displayTextsFollowTranslation()
{
    TBaseService service;
    QCOMPARE(service.MenuGroup(), -1);
    QCOMPARE(service.SortOrder(), -1);
    QVERIFY(!service.TranslateCaption());
    QVERIFY(!service.TranslateDescription());
    QCOMPARE(service.AccessList().Owner(), &service);
    QCOMPARE(service.ReportList().Owner(), &service);

    service.SetCaption(QStringLiteral("orders"));
    service.SetDescription(QStringLiteral("all orders"));
    service.SetTranslateFunc(Upper);
    // A function alone translates nothing.
    QCOMPARE(service.DisplayCaption(), QStringLiteral("orders"));
    QCOMPARE(service.DisplayDescription(), QStringLiteral("all orders"));
    service.SetTranslateCaption(true);
    QCOMPARE(service.DisplayCaption(), QStringLiteral("ORDERS"));
    QCOMPARE(service.DisplayDescription(), QStringLiteral("all orders"));
    service.SetTranslateDescription(true);
    QCOMPARE(service.DisplayDescription(), QStringLiteral("ALL ORDERS"));
    service.SetTranslateFunc(Bracket);
    QCOMPARE(service.DisplayCaption(), QStringLiteral("[orders]"));
    QCOMPARE(service.DisplayDescription(), QStringLiteral("[all orders]"));
    service.SetCaption(QStringLiteral("stock"));
    QCOMPARE(service.DisplayCaption(), QStringLiteral("[stock]"));
    QCOMPARE(service.Caption(), QStringLiteral("stock"));
    service.SetTranslateCaption(false);
    QCOMPARE(service.DisplayCaption(), QStringLiteral("stock"));
}

void TestBaseService::assignCopiesEntryAndRights()
{
    TBaseService source;
    source.SetDllName(QStringLiteral("Orders.so"));
    source.SetGuid(QStringLiteral("{ORD}"));
    source.SetCaption(QStringLiteral("orders"));
    source.SetModuleCaption(QStringLiteral("module orders"));
    source.SetDescription(QStringLiteral("desc"));
    source.SetTranslateFunc(Upper);
    source.SetTranslateCaption(true);
    source.SetCreateBtn(true);
    source.SetMenuGroup(3);
    source.SetSortOrder(40);
    source.AccessList().ID_CFG = 12;
    FillRights(source.AccessList(), 3);
    source.SetMode(QStringLiteral("1101"));
    source.ReportList().Add(std::make_unique<TReportItem>(TReportRec{"{R1}", "List", "Order list"}));

    TBaseService copy;
    FillRights(copy.AccessList(), 1);
    copy.Assign(source);
    QCOMPARE(copy.DllName(), QStringLiteral("Orders.so"));
    QCOMPARE(copy.Guid(), QStringLiteral("{ORD}"));
    QCOMPARE(copy.Caption(), QStringLiteral("orders"));
    QCOMPARE(copy.DisplayCaption(), QStringLiteral("ORDERS"));
    QCOMPARE(copy.ModuleCaption(), QStringLiteral("module orders"));
    QCOMPARE(copy.DisplayDescription(), QStringLiteral("desc"));
    QVERIFY(copy.TranslateCaption());
    QVERIFY(!copy.TranslateDescription());
    QVERIFY(copy.CreateBtn());
    QCOMPARE(copy.MenuGroup(), 3);
    QCOMPARE(copy.SortOrder(), -1);
    QCOMPARE(copy.AccessList().ID_CFG, 0);
    QCOMPARE(copy.AccessList().Count(), 3);
    QVERIFY(copy.AccessList()[0] != source.AccessList()[0]);
    QVERIFY(copy.AccessList()[0]->Checked());
    QVERIFY(!copy.AccessList()[1]->Checked());
    QVERIFY(copy.AccessList()[2]->Checked());
    QCOMPARE(copy.GetMode(), QStringLiteral("1101"));
    QCOMPARE(copy.ReportList().Count(), 1);
    QCOMPARE(copy.ReportList()[0]->RName(), QStringLiteral("List"));
    QCOMPARE(copy.ReportList().Owner(), &copy);
}

void TestBaseService::assignOfUnloadedRightsKeepsMode()
{
    TBaseService source;
    source.SetMode(QStringLiteral("10110"));
    TBaseService copy;
    copy.Assign(source);
    QCOMPARE(copy.AccessList().Count(), 0);
    QCOMPARE(copy.GetMode(), QStringLiteral("10110"));
}

void TestBaseService::serviceListOwnsEntries()
{
    TBaseServiceList list;
    auto first = std::make_unique<TBaseService>();
    first->SetGuid(QStringLiteral("{1}"));
    TBaseService *firstAddress = first.get();
    QCOMPARE(list.Add(std::move(first)), 0);
    QCOMPARE(list.Add(std::make_unique<TBaseService>()), 1);
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list[0], firstAddress);
    std::unique_ptr<TBaseService> taken = list.Extract(firstAddress);
    QCOMPARE(taken.get(), firstAddress);
    QCOMPARE(list.Count(), 1);
    QVERIFY(!list.Extract(firstAddress));
    list.Clear();
    QVERIFY(list.IsEmpty());
}

QTEST_GUILESS_MAIN(TestBaseService)
#include "tst_uBaseService.moc"
