// The rights editor and the service choice of the menu editor, worked through
// as a script works them (the modal-window driver's commands), on the demo database.
#include "Console/DMIMPL.h"
#include "Console/RightsEditIMPL.h"
#include "Console/SelSrvIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleDM.h"
#include "Console/uMenu.h"
#include "DataAccess/OraStoredProc.h"
#include "Ui/ModalDriver.h"
#include "tests/common/DrawnChecks.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QTableView>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

// "id:mode" per chosen service, joined by ",".
QString joinChoice(const TSrvItemArray &items, const TSrvModeArray &modes)
{
    QStringList out;
    for (int i = 0; i < items.size(); ++i)
        out << u"%1:%2"_s.arg(items[i].ItemId).arg(modes.value(i));
    return out.join(u',');
}

} // namespace

class TestAdminWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<TestServer> server;
    std::unique_ptr<RecordingDialogService> dialogs;
    std::unique_ptr<TDM> dm;
    QStringList protocol;

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void init()
    {
        server = std::make_unique<TestServer>();
        // A service with three rights, the last two with one name, and one without rights in a menu.
        auto admin = server->Connect();
        admin->ExecSQL(u"INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) VALUES "
                       "(60, 'Тест', 'Test.so', 'TST-60', 1, 0), (61, 'Учет', 'Test.so', 'TST-61', 0, 0)"_s);
        admin->ExecSQL(
            u"INSERT INTO ZANDRELL5.SRVITEMS_MODE (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES "
            "(60, 1, 'Чтение', 'Чтение', 0), (60, 2, 'Правка', 'Правка', 0), (60, 3, 'Правка', 'Правка', 0)"_s);
        admin->ExecSQL(u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, "
                       "SORT_ORDER) VALUES (60, 2, 7, 0, NULL, 61, '1', 20)"_s);
        admin->Commit();
        dialogs = std::make_unique<RecordingDialogService>();
        dm = std::make_unique<TDM>();
        SetConsoleDataModule(dm.get());
        dm->SetServer(u"ZANDRELL"_s);
        dm->SetUserName(u"ZL_USER"_s);
        dm->SetPassword(u"demo"_s);
        dm->SetConnectPrompt(false);
        QVERIFY(dm->Login(u"ZANDRELL5"_s, u"-1"_s));
        dialogs->clear();
        protocol.clear();
        SetProtocolSink([this](const QString &line) { protocol << line; });
    }

    void cleanup()
    {
        SetProtocolSink({});
        dm.reset();
        SetConsoleDataModule(nullptr);
        dialogs.reset();
        server.reset();
    }

    // commands: the driver's commands, ";" between them; current: the grid's current row and the first
    // right the list shows, as the closing command finds them.
    void chooseServices_data()
    {
        QTest::addColumn<bool>("withStock"); // offered: Тест (60), or Склад (3) and Тест
        QTest::addColumn<QString>("commands");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("current");
        QTest::newRow("two rights of one name ticked apart")
            << false << u"check DBGrid1 #1;check RightList #3;ok"_s << true << u"60:1001"_s << u"1 Чтение"_s;
        QTest::newRow("synchronised: un-choosing clears them")
            << false << u"action acSinhr;check DBGrid1 #1;check DBGrid1 #1;action acSinhr;check DBGrid1 #1;ok"_s << true
            << u"60:1000"_s << u"1 Чтение"_s;
        QTest::newRow("not synchronised: the ticks stay")
            << false << u"check RightList #1;check DBGrid1 #1;check DBGrid1 #1;check DBGrid1 #1;ok"_s << true
            << u"60:1100"_s << u"1 Чтение"_s;
        QTest::newRow("rights tool bar")
            << false << u"check DBGrid1 #1;action actSelAll;action actInvertSel;check RightList #2;ok"_s << true
            << u"60:1010"_s << u"1 Чтение"_s;
        QTest::newRow("each service keeps its own ticks")
            << true
            << u"select DBGrid1 #2;check RightList #3;select DBGrid1 #1;check RightList #1;action acSellAll;ok"_s
            << true << u"3:110,60:1001"_s << u"1 Просмотр цен"_s;
        QTest::newRow("inverted on the last row")
            << true << u"check DBGrid1 #2;action acInvSell;ok"_s << true << u"3:100"_s << u"2 Чтение"_s;
        QTest::newRow("all chosen, then none, on the first row")
            << true << u"select DBGrid1 #2;select DBGrid1 #1;action acSellAll;action acDeSellAll;ok"_s << true
            << QString() << u"1 Просмотр цен"_s;
        QTest::newRow("Cancel after choosing")
            << true << u"check DBGrid1 #1;cancel"_s << false << QString() << u"1 Просмотр цен"_s;
    }
    // Choosing all, none or the inverse keeps the current service and its rights in view.
    void chooseServices()
    {
        QFETCH(bool, withStock);
        QFETCH(QString, commands);
        QFETCH(bool, accepted);
        QFETCH(QString, chosen);
        QFETCH(QString, current);
        QString seen;
        dialogs->onModal = [&](QDialog *dialog) {
            for (const QString &line : commands.split(u';')) {
                if (line == u"ok"_s || line == u"cancel"_s) {
                    const auto *rights = dialog->findChild<QTreeWidget *>(u"RightList"_s);
                    seen = u"%1 %2"_s.arg(dialog->findChild<QTableView *>(u"DBGrid1"_s)->currentIndex().row() + 1)
                               .arg(rights->topLevelItem(0)->text(0));
                }
                ExecuteWindowCommand(dialog, line);
            }
            return dialog->result();
        };
        TSrvItemArray items;
        TSrvModeArray modes;
        QCOMPARE(ChooseServices(items, modes, [&](int id) { return id == 60 || (withStock && id == 3); }), accepted);
        QVERIFY2(!protocol.join(u'\n').contains(u"NOTFOUND"_s), qPrintable(protocol.join(u'\n')));
        QCOMPARE(items.size(), modes.size());
        QCOMPARE(joinChoice(items, modes), chosen);
        QCOMPARE(seen, current);
        if (chosen.startsWith(u"3:"_s))
            QVERIFY(items[0].DLLNAME == u"Stock.so"_s && items[0].CreateBtn);
    }

    // Space in the grid chooses or un-chooses the current service; a double click closes with OK.
    void keyboardAndDoubleClick()
    {
        dialogs->onModal = [](QDialog *dialog) {
            auto *grid = dialog->findChild<QTableView *>(u"DBGrid1"_s);
            ExecuteWindowCommand(dialog, u"select DBGrid1 #2"_s);
            QTest::keyClick(grid, Qt::Key_Space);
            ExecuteWindowCommand(dialog, u"select DBGrid1 #1"_s);
            QTest::keyClick(grid, Qt::Key_Space);
            QTest::keyClick(grid, Qt::Key_Space);
            emit grid->doubleClicked(grid->currentIndex());
            return dialog->result();
        };
        TSrvItemArray items;
        TSrvModeArray modes;
        QVERIFY(ChooseServices(items, modes, [](int id) { return id == 3 || id == 60; }));
        QCOMPARE(joinChoice(items, modes), u"60:1000"_s);
    }

    // Services already in the menu are not offered; with none left there is a notice and no window.
    void nothingToOffer()
    {
        TSrvItemArray items{TSrvItem{}};
        TSrvModeArray modes{u"1"_s};
        QVERIFY(!ChooseServices(items, modes, [](int) { return false; }));
        QVERIFY(dialogs->modalClasses.isEmpty());
        QCOMPARE(dialogs->texts(), QStringList{MessageText(u"rstr_NotVacantService"_s, QString())});
        QCOMPARE(items.size(), 1); // untouched
    }

    // The operators' orders: amounts and the report not granted ("100"); an entry of a service without rights.
    void editRights_data()
    {
        QTest::addColumn<int>("entry"); // its service: 1, or 61 without rights
        QTest::addColumn<QString>("commands");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("drawn"); // the boxes the list draws before the closing command
        QTest::addColumn<int>("current");   // the list's current row then: ticking does not move it
        QTest::newRow("invert") << 12 << u"check lvRightList #2;action acInvertSel;ok"_s << true << u"110"_s << u"10"_s
                                << 1;
        QTest::newRow("select all") << 12 << u"select lvRightList #2;action acSelAll;ok"_s << true << u"111"_s
                                    << u"11"_s << 2;
        QTest::newRow("select all, unselect")
            << 12 << u"action acSelAll;action acUnSelect;ok"_s << true << u"100"_s << u"00"_s << 1;
        QTest::newRow("Cancel after ticking")
            << 12 << u"action acSelAll;check lvRightList #1;cancel"_s << false << u"100"_s << u"01"_s << 1;
        QTest::newRow("no rights: select all changes nothing")
            << 60 << u"action acSelAll;ok"_s << true << u"1"_s << QString() << 0;
    }
    // The list draws each right's tick as a box; bulk ticking keeps the current row.
    void editRights()
    {
        QFETCH(int, entry);
        QFETCH(QString, commands);
        QFETCH(bool, accepted);
        QFETCH(QString, mode);
        QFETCH(QString, drawn);
        QFETCH(int, current);
        QTreeWidget panel;
        auto item = std::make_unique<TMnuItem>(entry, 0, entry == 12 ? 1 : 61, &panel);
        item->AccessList().AccessProc = dm->spRight;
        if (entry == 60)
            item->SetMode(u"1"_s);
        QStringList rows;
        QString seenDrawn;
        int seenCurrent = -1;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *list = dialog->findChild<QTreeWidget *>(u"lvRightList"_s);
            for (const QString &l : DumpWindow(dialog))
                if (l.startsWith(u"ROW "_s))
                    rows << l;
            for (const QString &line : commands.split(u';')) {
                if (line == u"ok"_s || line == u"cancel"_s) {
                    seenDrawn = DrawnChecks().Of(list);
                    seenCurrent = list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) + 1 : 0;
                }
                ExecuteWindowCommand(dialog, line);
            }
            return dialog->result();
        };
        QCOMPARE(EditRights(item.get()), accepted);
        if (entry == 12)
            QCOMPARE(rows,
                     (QStringList{u"ROW lvRightList 1 0|Просмотр сумм"_s, u"ROW lvRightList 2 0|Печать отчетов"_s}));
        else
            QVERIFY(rows.isEmpty());
        QVERIFY2(!protocol.join(u'\n').contains(u"NOTFOUND"_s), qPrintable(protocol.join(u'\n')));
        QCOMPARE(item->GetMode(), mode);
        QCOMPARE(seenDrawn, drawn);
        QCOMPARE(seenCurrent, current);
    }
};

QTEST_MAIN(TestAdminWindows)
#include "tst_AdminWindows.moc"
