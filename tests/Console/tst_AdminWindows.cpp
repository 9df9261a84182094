// The rights editor and the service choice of the menu editor, worked through
// as a script works them (the modal-window driver's commands), on the demo database.
#include "Console/DMIMPL.h"
#include "Console/RightsEditIMPL.h"
#include "Console/SelSrvIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleDM.h"
#include "Console/uMenu.h"
#include "Core/ProtocolInput.h"
#include "DataAccess/OraStoredProc.h"
#include "Ui/ModalDriver.h"
#include "Ui/WindowDialogService.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QSet>
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

    void sql(const QString &statement)
    {
        auto session = server->Connect();
        session->ExecSQL(statement);
        session->Commit();
    }

    // Runs the commands on the window as the driver would, then closes it with its last command.
    void driveWith(const QStringList &commands)
    {
        dialogs->onModal = [commands](QDialog *dialog) {
            for (const QString &line : commands)
                ExecuteWindowCommand(dialog, line);
            return dialog->result();
        };
    }

    std::unique_ptr<TMnuItem> menuEntry(int idCfg, int itemId, QTreeWidget *list)
    {
        auto item = std::make_unique<TMnuItem>(idCfg, 0, itemId, list);
        item->AccessList().AccessProc = dm->spRight;
        item->SetCaption(u"Заказы"_s);
        return item;
    }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void init()
    {
        server = std::make_unique<TestServer>();
        // A service with three rights, the last two with one name, and one without rights.
        sql(u"INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) VALUES "
            "(60, 'Тест', 'Test.so', 'TST-60', 1, 0), (61, 'Учет', 'Test.so', 'TST-61', 0, 0)"_s);
        sql(u"INSERT INTO ZANDRELL5.SRVITEMS_MODE (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES "
            "(60, 1, 'Чтение', 'Чтение', 0), (60, 2, 'Правка', 'Правка', 0), (60, 3, 'Правка', 'Правка', 0)"_s);
        sql(u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, "
            "SORT_ORDER) VALUES (60, 2, 7, 0, NULL, 61, '1', 20)"_s);
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

    void chooseServices_data()
    {
        QTest::addColumn<QList<int>>("offered");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("chosen");

        const QList<int> test{60};
        const QList<int> stockAndTest{3, 60}; // grid order by name: Склад, Тест
        QTest::newRow("three rights, none ticked")
            << test << QStringList{u"check DBGrid1 #1"_s, u"ok"_s} << true << u"60:1000"_s;
        QTest::newRow("the second ticked")
            << test << QStringList{u"check DBGrid1 #1"_s, u"check RightList #2"_s, u"ok"_s} << true << u"60:1010"_s;
        QTest::newRow("two rights of one name ticked apart")
            << test << QStringList{u"check DBGrid1 #1"_s, u"check RightList #3"_s, u"ok"_s} << true << u"60:1001"_s;
        QTest::newRow("synchronised: choosing ticks every right")
            << test << QStringList{u"check chRightsAll"_s, u"check DBGrid1 #1"_s, u"ok"_s} << true << u"60:1111"_s;
        QTest::newRow("synchronised: un-choosing clears them")
            << test << QStringList{u"action acSinhr"_s, u"check DBGrid1 #1"_s, u"check DBGrid1 #1"_s,
                                   u"action acSinhr"_s, u"check DBGrid1 #1"_s, u"ok"_s}
            << true << u"60:1000"_s;
        QTest::newRow("not synchronised: the ticks stay")
            << test
            << QStringList{u"check RightList #1"_s, u"check DBGrid1 #1"_s, u"check DBGrid1 #1"_s, u"check DBGrid1 #1"_s,
                           u"ok"_s}
            << true << u"60:1100"_s;
        QTest::newRow("rights tool bar") << test
                                         << QStringList{u"check DBGrid1 #1"_s,
                                                        u"action actSelAll"_s,
                                                        u"action actInvertSel"_s,
                                                        u"check RightList #2"_s,
                                                        u"action actInvertSel"_s,
                                                        u"action actInvertSel"_s,
                                                        u"ok"_s}
                                         << true << u"60:1010"_s;
        QTest::newRow("each service keeps its own ticks")
            << stockAndTest << QStringList{u"select DBGrid1 #2"_s,  u"check RightList #3"_s, u"select DBGrid1 #1"_s,
                                           u"check RightList #1"_s, u"action acSellAll"_s,   u"ok"_s}
            << true << u"3:110,60:1001"_s;
        QTest::newRow("all chosen, synchronised")
            << stockAndTest << QStringList{u"check chRightsAll"_s, u"action acSellAll"_s, u"ok"_s} << true
            << u"3:111,60:1111"_s;
        QTest::newRow("inverted twice") << stockAndTest
                                        << QStringList{u"check DBGrid1 #2"_s, u"action acInvSell"_s, u"ok"_s} << true
                                        << u"3:100"_s;
        QTest::newRow("all chosen, then none")
            << stockAndTest << QStringList{u"action acSellAll"_s, u"action acDeSellAll"_s, u"ok"_s} << true
            << QString();
        QTest::newRow("OK with nothing chosen") << stockAndTest << QStringList{u"ok"_s} << true << QString();
        QTest::newRow("Cancel after choosing")
            << stockAndTest << QStringList{u"check DBGrid1 #1"_s, u"cancel"_s} << false << QString();
    }

    void chooseServices()
    {
        QFETCH(QList<int>, offered);
        QFETCH(QStringList, commands);
        QFETCH(bool, accepted);
        QFETCH(QString, chosen);
        driveWith(commands);
        const QSet<int> offer(offered.begin(), offered.end());
        TSrvItemArray items;
        TSrvModeArray modes;
        QCOMPARE(ChooseServices(items, modes, [&](int id) { return offer.contains(id); }), accepted);
        QCOMPARE(dialogs->modalClasses, QStringList{u"TSelSrv"_s});
        QVERIFY2(!protocol.join(u'\n').contains(u"NOTFOUND"_s), qPrintable(protocol.join(u'\n')));
        QCOMPARE(items.size(), modes.size());
        QCOMPARE(joinChoice(items, modes), chosen);
        if (chosen.startsWith(u"3:"_s)) {
            QCOMPARE(items[0].GUID, u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A03}"_s);
            QCOMPARE(items[0].DLLNAME, u"Stock.so"_s);
            QCOMPARE(items[0].SrvName, u"Склад"_s);
            QVERIFY(items[0].CreateBtn);
        }
    }

    // The grid and the rights list dump their rows with their ticks.
    void chooseServicesDump()
    {
        QStringList lines;
        dialogs->onModal = [&lines](QDialog *dialog) {
            ExecuteWindowCommand(dialog, u"check DBGrid1 #2"_s);
            ExecuteWindowCommand(dialog, u"check RightList #3"_s);
            lines = DumpWindow(dialog);
            return int(QDialog::Rejected);
        };
        TSrvItemArray items;
        TSrvModeArray modes;
        QVERIFY(!ChooseServices(items, modes, [](int id) { return id == 3 || id == 60; }));
        const auto rows = [&lines](const QString &prefix) {
            QStringList out;
            for (const QString &l : lines)
                if (l.startsWith(prefix))
                    out << l;
            return out;
        };
        QCOMPARE(rows(u"ROW DBGrid1 "_s),
                 (QStringList{u"ROW DBGrid1 1 0||Склад|Stock.so"_s, u"ROW DBGrid1 2 1||Тест|Test.so"_s}));
        QCOMPARE(rows(u"ROW RightList "_s), (QStringList{u"ROW RightList 1 0|Чтение"_s, u"ROW RightList 2 0|Правка"_s,
                                                         u"ROW RightList 3 1|Правка"_s}));
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

    // Services already in the menu are not offered; with none left there is no window.
    void nothingToOffer_data()
    {
        QTest::addColumn<bool>("withCheck");
        QTest::newRow("every service in the menu") << true;
        QTest::newRow("no check") << false;
    }

    void nothingToOffer()
    {
        QFETCH(bool, withCheck);
        TSrvItemArray items{TSrvItem{}};
        TSrvModeArray modes{u"1"_s};
        QVERIFY(!ChooseServices(items, modes, withCheck ? TSrvCheck([](int) { return false; }) : TSrvCheck()));
        QVERIFY(dialogs->modalClasses.isEmpty());
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes[0].caption, u"Регистрация сервиса"_s);
        QCOMPARE(dialogs->boxes[0].text, MessageText(u"rstr_NotVacantService"_s, QString()));
        QCOMPARE(dialogs->boxes[0].flags & MB_ICONINFORMATION, unsigned(MB_ICONINFORMATION));
        QCOMPARE(items.size(), 1); // untouched
    }

    void editRights_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("mode");
        // The operators' orders: amounts and the report not granted ("100").
        QTest::newRow("tick the report") << QStringList{u"check lvRightList #2"_s, u"ok"_s} << true << u"101"_s;
        QTest::newRow("invert twice") << QStringList{u"action acInvertSel"_s, u"action acInvertSel"_s, u"ok"_s} << true
                                      << u"100"_s;
        QTest::newRow("invert") << QStringList{u"check lvRightList #1"_s, u"action acInvertSel"_s, u"ok"_s} << true
                                << u"101"_s;
        QTest::newRow("select all") << QStringList{u"action acSelAll"_s, u"ok"_s} << true << u"111"_s;
        QTest::newRow("select all, unselect")
            << QStringList{u"action acSelAll"_s, u"action acUnSelect"_s, u"ok"_s} << true << u"100"_s;
        QTest::newRow("Cancel after ticking")
            << QStringList{u"action acSelAll"_s, u"check lvRightList #1"_s, u"cancel"_s} << false << u"100"_s;
    }

    void editRights()
    {
        QFETCH(QStringList, commands);
        QFETCH(bool, accepted);
        QFETCH(QString, mode);
        QTreeWidget panel;
        auto item = menuEntry(12, 1, &panel);
        QStringList rows;
        dialogs->onModal = [&](QDialog *dialog) {
            for (const QString &l : DumpWindow(dialog))
                if (l.startsWith(u"ROW "_s) || l.startsWith(u"W stxtServiceName"_s))
                    rows << l;
            for (const QString &line : commands)
                ExecuteWindowCommand(dialog, line);
            return dialog->result();
        };
        QCOMPARE(EditRights(item.get()), accepted);
        QCOMPARE(rows, (QStringList{u"W stxtServiceName QLabel 1 сервис \"Заказы\""_s,
                                    u"ROW lvRightList 1 0|Просмотр сумм"_s, u"ROW lvRightList 2 0|Печать отчетов"_s}));
        QVERIFY2(!protocol.join(u'\n').contains(u"NOTFOUND"_s), qPrintable(protocol.join(u'\n')));
        QCOMPARE(item->GetMode(), mode);
    }

    void editRightsOfEntryWithoutRights()
    {
        QTreeWidget panel;
        auto item = menuEntry(60, 61, &panel);
        item->SetMode(u"1"_s);
        int rows = -1;
        dialogs->onModal = [&rows](QDialog *dialog) {
            rows = dialog->findChild<QTreeWidget *>(u"lvRightList"_s)->topLevelItemCount();
            ExecuteWindowCommand(dialog, u"action acSelAll"_s);
            ExecuteWindowCommand(dialog, u"ok"_s);
            return dialog->result();
        };
        QVERIFY(EditRights(item.get()));
        QCOMPARE(rows, 0);
        QCOMPARE(item->AccessList().Count(), 0);
        QCOMPARE(item->GetMode(), u"1"_s);
    }

    // Unattended, both windows read their commands from the input and say when they close.
    void unattendedScripts()
    {
        dialogs.reset();
        qputenv("KORCONSOLE_HEADLESS", "1");
        UseWindowedDialogs();
        const auto run = [](const QByteArray &script, const std::function<void()> &open) {
            TProtocolInput::Instance().Reset();
            TProtocolInput::Instance().Feed(script);
            TProtocolInput::Instance().EndInput();
            open();
        };
        QTreeWidget panel;
        auto item = menuEntry(12, 1, &panel);
        run("dump\ncheck lvRightList #2\nok\n", [&] { QVERIFY(EditRights(item.get())); });
        QCOMPARE(item->GetMode(), u"101"_s);
        TSrvItemArray items;
        TSrvModeArray modes;
        run("check DBGrid1 #1\ncheck RightList #3\ndump\nok\n",
            [&] { QVERIFY(ChooseServices(items, modes, [](int id) { return id == 60; })); });
        QCOMPARE(joinChoice(items, modes), u"60:1001"_s);
        // End of input cancels.
        run("check DBGrid1 #1\n", [&] { QVERIFY(!ChooseServices(items, modes, [](int id) { return id == 60; })); });
        qunsetenv("KORCONSOLE_HEADLESS");
        TProtocolInput::Instance().Reset();
        const QStringList expected{u"MODAL TRightsEdit|Права доступа"_s,
                                   u"ROW lvRightList 2 0|Печать отчетов"_s,
                                   u"CLOSED TRightsEdit 1"_s,
                                   u"MODAL TSelSrv|Выбор сервиса для пункта меню"_s,
                                   u"ROW RightList 3 1|Правка"_s,
                                   u"CLOSED TSelSrv 1"_s,
                                   u"MODAL TSelSrv|Выбор сервиса для пункта меню"_s,
                                   u"CLOSED TSelSrv 2"_s};
        qsizetype at = 0;
        for (const QString &line : expected) {
            at = protocol.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(line + u" missing in:\n"_s + protocol.join(u'\n')));
        }
    }

    // A caption wider than the window widens it and its column; the window keeps its smallest size.
    void rightsEditorSize()
    {
        sql(u"UPDATE ZANDRELL5.SRVITEMS_MODE SET SOURCE_NAME = '%1' WHERE ITEMID = 1 AND SORT_ORDER = 2"_s.arg(
            QString(60, u'Ш')));
        QTreeWidget panel;
        auto item = menuEntry(12, 1, &panel);
        dialogs->onModal = [](QDialog *dialog) {
            auto *form = qobject_cast<TRightsEdit *>(dialog);
            const QString caption = form->lvRightList->topLevelItem(1)->text(0);
            const int needed = form->lvRightList->fontMetrics().horizontalAdvance(caption) + 80;
            if (needed <= 485) // wider than the window's first width
                return 0;
            if (form->width() != needed || form->lvRightList->columnWidth(0) != needed - 40)
                return 0;
            return form->minimumSize() == QSize(301, 254) ? 1 : 0;
        };
        QVERIFY(EditRights(item.get()));
    }
};

QTEST_MAIN(TestAdminWindows)
#include "tst_AdminWindows.moc"
