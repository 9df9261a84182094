// Service entries, rights lists and rights strings, report lists.
#include "RecordingDialogService.h"
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
};

QTEST_GUILESS_MAIN(TestBaseService)
#include "tst_uBaseService.moc"
