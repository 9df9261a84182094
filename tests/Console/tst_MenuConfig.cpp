// The menu configuration editor over a fresh demo database: the tree of each
// access group in menu order, every kind of drop (and the refused ones, which
// write nothing), the tree actions and their failures, the catalogue's button
// flags and deletes, the short cuts of each tab, and the rebuild question of
// the main window.
#include "Console/DLLLoaderIMPL.h"
#include "Console/RightsEditIMPL.h"
#include "Console/ShowMenuCfgIMPL.h"
#include "Console/uMenu.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Ui/ModalDriver.h"
#include "Ui/ResourceLibrary.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

const QString kDemoTree =
    u"Документы(Заказы(Заказы),Отчеты(Продажи по клиентам)),Справочники(Клиенты,Склад),Администрирование(Пользователи консоли)"_s;

QString render(const QTreeWidgetItem *node)
{
    QStringList children;
    for (int i = 0; i < node->childCount(); ++i)
        children << render(node->child(i));
    return children.isEmpty() ? node->text(0) : node->text(0) + u'(' + children.join(u',') + u')';
}

// The tree below its root.
QString render(const QTreeWidget *tree)
{
    const QString all = tree->topLevelItem(0) ? render(tree->topLevelItem(0)) : QString();
    return all.section(u'(', 1).chopped(all.contains(u'(') ? 1 : 0);
}

// Counts the check boxes a view asks its style to draw.
class TCheckBoxCounter : public QProxyStyle {
public:
    mutable int boxes = 0;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_IndicatorItemViewItemCheck)
            ++boxes;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

class tst_MenuConfig : public QObject {
    Q_OBJECT

    TestServer *server = nullptr;
    RecordingDialogService *dialogs = nullptr;
    std::unique_ptr<TOraSession> session;
    std::unique_ptr<TMenuConfig> form;
    QStringList inputs; // answers of the next input queries; an empty entry cancels

    void sql(const QString &statement)
    {
        auto other = server->Connect();
        other->ExecSQL(statement);
        other->Commit();
    }
    // Menu rows "(ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER), ..." written and
    // committed.
    void insertMenu(const QString &values)
    {
        sql(u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
            "VALUES "_s +
            values);
    }
    // The rows of a query as another session sees them, cells joined by "|".
    QStringList committed(const QString &statement)
    {
        auto other = server->Connect();
        TOraQuery q;
        q.SetSession(other.get());
        q.SetSQLText(statement);
        q.Open();
        QStringList rows;
        for (int r = 0; r < q.RecordCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < q.FieldCount(); ++c)
                cells << q.ValueAt(r, c).toString();
            rows << cells.join(u'|');
        }
        return rows;
    }
    QStringList menuRows()
    {
        return committed(u"SELECT ID_CFG, OWNER, SORT_ORDER FROM ZANDRELL5.MENUCFG ORDER BY 1"_s);
    }

    TMenuConfig &open()
    {
        form = TComBaseForm::Create<TMenuConfig>(nullptr, u"ZANDRELL5"_s, 1.0);
        form->SetSession(session.get());
        form->show();
        return *form;
    }
    bool command(const QString &line) { return ExecuteWindowCommand(form.get(), line); }
    void select(const QString &path) { QVERIFY(command(u"select tvMenu "_s + path)); }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const RecordedBox &b : dialogs->boxes)
            texts << b.text;
        return texts;
    }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }
    void init()
    {
        server = new TestServer;
        dialogs = new RecordingDialogService;
        dialogs->onModal = [this](QDialog *dialog) {
            auto *query = qobject_cast<QInputDialog *>(dialog);
            if (!query || inputs.isEmpty() || inputs.first().isNull()) {
                if (!inputs.isEmpty())
                    inputs.removeFirst();
                return int(QDialog::Rejected);
            }
            query->setTextValue(inputs.takeFirst());
            return int(QDialog::Accepted);
        };
        session = server->Connect();
        inputs.clear();
    }
    void cleanup()
    {
        form.reset();
        session.reset();
        delete dialogs;
        delete server;
        TMenuConfig::ChooseServicesProc = ChooseServices;
        TMenuConfig::EditRightsProc = EditRights;
        TMenuConfig::ShowLoaderProc = [](TBaseServiceList &list, const std::function<bool(const QString &)> &filter) {
            return ShowLoader(list, filter);
        };
    }

    // Every level in SORT_ORDER, whatever order the rows were written in; a group
    // without rows shows only the root, where only a new group can be made.
    void treeInMenuOrder()
    {
        insertMenu(u"(60, 2, 8, 1, 'C', NULL, NULL, 30), (61, 2, 8, 1, 'A', NULL, NULL, 5), "
                   "(62, 2, 61, 1, 'A2', NULL, NULL, 20), (63, 2, 61, 1, 'A1', NULL, NULL, 10), "
                   "(64, 2, 63, 0, NULL, 4, '10', 10)"_s);
        sql(u"INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (90, 'Пустая')"_s);
        TMenuConfig &f = open();
        QCOMPARE(render(f.tvMenu), kDemoTree);
        QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, 2));
        QCOMPARE(render(f.tvMenu),
                 u"Документы(Заказы(Заказы)),Справочники(A(A1(Продажи по клиентам),A2),Клиенты,Склад,C)"_s);
        QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, 90));
        QCOMPARE(f.tvMenu->topLevelItemCount(), 1);
        QCOMPARE(f.tvMenu->topLevelItem(0)->childCount(), 0);
        QVERIFY(f.acInsMenu->isEnabled());
        for (QAction *a : {f.acDelMenu, f.acRenameMenu, f.acAddService, f.acDelService, f.acChgRights})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        QVERIFY(dialogs->boxes.isEmpty());
        QVERIFY(!f.Changed());
    }

    // A row whose service left the catalogue, and a row without a service, stay
    // in the tree (so they can be deleted) and the rest of the tree is built.
    void rowsWithoutService()
    {
        insertMenu(u"(70, 1, 4, 0, NULL, 99, '1', 5), (71, 1, 4, 0, NULL, NULL, '1', 30)"_s);
        TMenuConfig &f = open();
        const QString notDefined = TranslateAplText(u"rstr_stt_NotDefined"_s);
        QCOMPARE(render(f.tvMenu),
                 QString(kDemoTree).replace(u"Справочники(Клиенты,Склад)"_s,
                                            u"Справочники(%1 (ItemID = 99),Клиенты,Склад,%1)"_s.arg(notDefined)));
        QVERIFY(dialogs->boxes.isEmpty());
        select(u"Конфигурация меню/Справочники/%1 (ItemID = 99)"_s.arg(notDefined));
        dialogs->answers = {IDYES};
        f.acDelService->trigger();
        QCOMPARE(committed(u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ID_CFG = 70"_s), QStringList{u"0"_s});

        // A service another administrator registered and put in after the catalogue was read.
        sql(u"INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
            "VALUES (7, 'Поздний', 'Late.so', '{LATE}', 0, 0)"_s);
        insertMenu(u"(72, 1, 5, 0, NULL, 7, '1', 20)"_s);
        f.acRefreshMenu->trigger();
        QVERIFY(render(f.tvMenu).endsWith(u"Администрирование(Пользователи консоли,Поздний)"_s));
    }

    void drops_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("tree"); // empty: refused, nothing written

        const QString zero = u"(50, 1, 0, 1, 'Нулевая', NULL, NULL, 0)"_s;
        const QString blank = u"(51, 1, 4, 0, NULL, NULL, '1', 30)"_s;
        QTest::newRow("group to the root goes last")
            << QString() << u"Справочники"_s << QString() //
            << u"Документы(Заказы(Заказы),Отчеты(Продажи по клиентам)),"
               "Администрирование(Пользователи консоли),Справочники(Клиенты,Склад)"_s;
        QTest::newRow("into a top-level group, last")
            << QString() << u"Справочники/Склад"_s << u"Документы"_s
            << u"Документы(Заказы(Заказы),Отчеты(Продажи по клиентам),Склад),Справочники(Клиенты),"
               "Администрирование(Пользователи консоли)"_s;
        QTest::newRow("group into a top-level group")
            << QString() << u"Документы/Заказы"_s << u"Администрирование"_s
            << u"Документы(Отчеты(Продажи по клиентам)),Справочники(Клиенты,Склад),"
               "Администрирование(Пользователи консоли,Заказы(Заказы))"_s;
        QTest::newRow("service beside a nested group")
            << QString() << u"Справочники/Склад"_s << u"Документы/Заказы"_s
            << u"Документы(Заказы(Заказы),Склад,Отчеты(Продажи по клиентам)),Справочники(Клиенты),"
               "Администрирование(Пользователи консоли)"_s;
        QTest::newRow("group beside a service")
            << QString() << u"Документы/Отчеты"_s << u"Справочники/Клиенты"_s
            << u"Документы(Заказы(Заказы)),Справочники(Клиенты,Отчеты(Продажи по клиентам),Склад),"
               "Администрирование(Пользователи консоли)"_s;
        QTest::newRow("group beside a top-level group of order 0")
            << zero << u"Документы/Отчеты"_s << u"Нулевая"_s
            << u"Нулевая,Документы(Заказы(Заказы)),Справочники(Клиенты,Склад),"
               "Администрирование(Пользователи консоли),Отчеты(Продажи по клиентам)"_s;
        QTest::newRow("service on the root") << QString() << u"Справочники/Склад"_s << QString() << QString();
        QTest::newRow("group into its own branch") << QString() << u"Документы"_s << u"Документы/Заказы"_s << QString();
        QTest::newRow("group onto itself") << QString() << u"Документы"_s << u"Документы"_s << QString();
        QTest::newRow("service beside a top-level group")
            << zero << u"Справочники/Склад"_s << u"Нулевая"_s << QString();
        QTest::newRow("onto a row without a service")
            << blank << u"Справочники/Склад"_s << u"Справочники/"_s + TranslateAplText(u"rstr_stt_NotDefined"_s)
            << QString();
    }
    // A drop is decided before any call; an allowed one is written and the tree read again.
    void drops()
    {
        QFETCH(QString, extra);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, tree);
        if (!extra.isEmpty())
            insertMenu(extra);
        TMenuConfig &f = open();
        const QString before = render(f.tvMenu);
        const QStringList rows = menuRows();
        const QString root = u"Конфигурация меню"_s;
        QVERIFY(command(u"drop tvMenu %1/%2 => %3"_s.arg(root, from, to.isEmpty() ? root : root + u'/' + to)));
        QVERIFY2(dialogs->boxes.isEmpty(), qPrintable(boxTexts().join(u'\n')));
        if (tree.isEmpty()) {
            QCOMPARE(menuRows(), rows);
            QCOMPARE(render(f.tvMenu), before);
            QVERIFY(!f.Changed());
        } else {
            QCOMPARE(render(f.tvMenu), tree);
            QVERIFY(f.Changed());
            QVERIFY(!session->InTransaction());
        }
        QVERIFY(!f.StartNode() || f.tvMenu->indexOfTopLevelItem(f.StartNode()) >= 0 || f.StartNode()->treeWidget());
    }

    void newAndRenamedGroups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored"); // empty: refused before any call
        const QString sixty = QString(60, u'ж');
        QTest::newRow("plain") << u"Касса"_s << u"Касса"_s;
        QTest::newRow("quotes and a statement") << u"x'; DELETE FROM MENUCFG; --"_s << u"x'; DELETE FROM MENUCFG; --"_s;
        QTest::newRow("format characters") << u"%s & %d"_s << u"%s & %d"_s;
        QTest::newRow("longer than 50 keeps 50") << sixty << sixty.left(50);
        QTest::newRow("blank") << u"   "_s << QString();
        // 49 letters and a character outside the basic plane, cut at 50 units: the half pair goes.
        const QString pair = QString(49, u'я') + QString::fromUcs4(U"\U0001F600");
        QTest::newRow("surrogate pair at the cut") << pair << pair.left(49);
    }
    // A new group under the root and the same group renamed; a blank name is refused with a message.
    void newAndRenamedGroups()
    {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        TMenuConfig &f = open();
        const QStringList rows = menuRows();
        inputs = {name};
        f.acInsMenu->trigger();
        if (stored.isEmpty()) {
            QCOMPARE(menuRows(), rows);
            QCOMPARE(boxTexts(), QStringList{Fmt(TranslateAplText(u"rstr_fmtmsg_EmptyDataInField"_s),
                                                 TranslateAplText(u"rstrTitle"_s))});
            QVERIFY(!f.Changed());
            return;
        }
        QVERIFY2(dialogs->boxes.isEmpty(), qPrintable(boxTexts().join(u'\n')));
        QCOMPARE(
            committed(
                u"SELECT MENUNAME FROM ZANDRELL5.MENUCFG WHERE ID_CFG = (SELECT MAX(ID_CFG) FROM ZANDRELL5.MENUCFG)"_s),
            QStringList{stored});
        QVERIFY(render(f.tvMenu).endsWith(u',' + stored));
        QVERIFY(f.Changed());
        select(u"Конфигурация меню/"_s + stored);
        inputs = {name + u'2'};
        f.acRenameMenu->trigger();
        QString renamed = (name + u'2').left(50);
        if (renamed.back().isHighSurrogate())
            renamed.chop(1);
        QCOMPARE(f.tvMenu->findItems(renamed, Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    }

    // A group with sub-groups goes row by row, deepest first, each committed; No keeps it.
    void deleteGroupWithBranches()
    {
        TMenuConfig &f = open();
        select(u"Конфигурация меню/Документы"_s);
        dialogs->answers = {IDNO};
        f.acDelMenu->trigger();
        QCOMPARE(render(f.tvMenu), kDemoTree);
        dialogs->answers = {IDYES};
        f.acDelMenu->trigger();
        QCOMPARE(committed(u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ID_CFG IN (1, 2, 3, 9, 15)"_s),
                 QStringList{u"0"_s});
        QCOMPARE(render(f.tvMenu), u"Справочники(Клиенты,Склад),Администрирование(Пользователи консоли)"_s);
        QCOMPARE(dialogs->boxes.size(), 2);
        QVERIFY(f.Changed());
    }

    void staleCallIsShownAndReloaded_data()
    {
        QTest::addColumn<QString>("node");      // selected first
        QTest::addColumn<QString>("meanwhile"); // another administrator's change
        QTest::addColumn<QString>("line");      // then the editor's command
        QTest::addColumn<QString>("stored");    // what stays, as "SELECT ..." reads it
        QTest::addColumn<QString>("expected");
        QTest::newRow("new group in a group deleted meanwhile")
            << u"Документы/Отчеты"_s << u"DELETE FROM ZANDRELL5.MENUCFG WHERE ID_CFG IN (15, 3)"_s
            << u"action acInsMenu"_s << u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE MENUNAME = 'Новая'"_s << u"0"_s;
        QTest::newRow("rename of a group renamed meanwhile")
            << u"Справочники"_s << u"UPDATE ZANDRELL5.MENUCFG SET MENUNAME = 'Каталоги' WHERE ID_CFG = 4"_s
            << u"action acRenameMenu"_s << u"SELECT MENUNAME FROM ZANDRELL5.MENUCFG WHERE ID_CFG = 4"_s
            << u"Каталоги"_s;
        // The branch goes whole or not at all: its entries stay with the refused group.
        QTest::newRow("delete of a group renamed meanwhile")
            << u"Справочники"_s << u"UPDATE ZANDRELL5.MENUCFG SET MENUNAME = 'Каталоги' WHERE ID_CFG = 4"_s
            << u"action acDelMenu"_s << u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ID_CFG IN (4, 10, 11)"_s
            << u"3"_s;
        QTest::newRow("drop of an entry moved meanwhile")
            << u"Справочники/Склад"_s << u"UPDATE ZANDRELL5.MENUCFG SET OWNER = 5 WHERE ID_CFG = 11"_s
            << u"drop tvMenu Конфигурация меню/Справочники/Склад => Конфигурация меню/Документы"_s
            << u"SELECT OWNER FROM ZANDRELL5.MENUCFG WHERE ID_CFG = 11"_s << u"5"_s;
        QTest::newRow("delete of an access group renamed meanwhile")
            << QString() << u"UPDATE ZANDRELL5.ACCESSLIST SET NAME = 'Склад' WHERE ACCESSID = 3"_s
            << u"action acDelAccess"_s << u"SELECT NAME FROM ZANDRELL5.ACCESSLIST WHERE ACCESSID = 3"_s << u"Склад"_s;
    }
    // What another administrator changed meanwhile is never overwritten: the refusal is shown, nothing of
    // the editor's change is written, and the tree shows what is there now.
    void staleCallIsShownAndReloaded()
    {
        QFETCH(QString, node);
        QFETCH(QString, meanwhile);
        QFETCH(QString, line);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        TMenuConfig &f = open();
        if (node.isEmpty())
            QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, 3));
        else
            select(u"Конфигурация меню/"_s + node);
        sql(meanwhile);
        inputs = {u"Новая"_s};
        dialogs->answers = {IDYES};
        QVERIFY(command(line));
        QCOMPARE(committed(stored), QStringList{expected});
        QVERIFY2(boxTexts().filter(u"ORA-"_s).size() == 1, qPrintable(boxTexts().join(u'\n')));
        QVERIFY(!session->InTransaction());
        if (!node.isEmpty()) // the tree was read again: the other administrator's change shows
            QVERIFY(render(f.tvMenu) != kDemoTree);
    }

    // The rows the main window leaves out of the menu show below it with their reasons; each can be
    // deleted, and one with an id can be dragged back into the menu. Nothing can be put into them.
    void rowsOutsideTheMenu()
    {
        insertMenu(u"(0, 1, 5, 1, 'Ноль', NULL, NULL, 20), (41, 1, 42, 1, 'Кольцо 1', NULL, NULL, 10), "
                   "(42, 1, 41, 1, 'Кольцо 2', NULL, NULL, 10), (43, 1, 9, 1, 'Под сервисом', NULL, NULL, 10), "
                   "(NULL, 1, 4, 1, 'Без номера', NULL, NULL, 30)"_s);
        TMenuConfig &f = open();
        QCOMPARE(render(f.tvMenu), kDemoTree);
        QTreeWidgetItem *lost = f.tvMenu->topLevelItem(1);
        QVERIFY(lost);
        auto rowNamed = [&](const QString &name) -> QTreeWidgetItem * {
            QTreeWidgetItem *outside = f.tvMenu->topLevelItem(1);
            for (int i = 0; outside && i < outside->childCount(); ++i)
                if (outside->child(i)->text(0).startsWith(name + u" — "_s))
                    return outside->child(i);
            return nullptr;
        };
        QStringList names{u"Ноль"_s, u"Кольцо 1"_s, u"Кольцо 2"_s, u"Под сервисом"_s, u"Без номера"_s};
        for (const QString &name : names)
            QVERIFY2(rowNamed(name), qPrintable(name));
        const QString broken = u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ID_CFG IN (0, 41, 42, 43) OR "
                               "ID_CFG IS NULL"_s;

        // Nothing goes into a row outside the menu; a cycle's group goes back into the menu.
        f.tvMenu->setCurrentItem(rowNamed(u"Кольцо 1"_s));
        QVERIFY(!f.acInsMenu->isEnabled() && !f.acAddService->isEnabled() && f.acDelMenu->isEnabled());
        QVERIFY(!f.CanMoveNode(f.tvMenu->topLevelItem(0)->child(0), rowNamed(u"Кольцо 2"_s)));
        f.SetStartNode(rowNamed(u"Кольцо 1"_s));
        f.EndDrag(f.tvMenu->topLevelItem(0)->child(0));
        QVERIFY(render(f.tvMenu).startsWith(u"Документы(Заказы(Заказы),Отчеты(Продажи по клиентам),"
                                            "Кольцо 1(Кольцо 2))"_s));
        names.removeAll(u"Кольцо 1"_s);
        names.removeAll(u"Кольцо 2"_s);
        // The others are deleted one by one.
        for (const QString &name : names) {
            f.tvMenu->setCurrentItem(rowNamed(name));
            dialogs->answers = {IDYES};
            QVERIFY(command(u"action acDelMenu"_s));
        }
        QCOMPARE(committed(broken), QStringList{u"2"_s}); // the two groups brought back
        QCOMPARE(f.tvMenu->topLevelItemCount(), 1);
        QVERIFY2(boxTexts().filter(u"ORA-"_s).isEmpty(), qPrintable(boxTexts().join(u'\n')));
    }

    // A chosen service already in the configuration gets a notice; the others are added with their rights.
    void addServices()
    {
        TMenuConfig::ChooseServicesProc = [](TSrvItemArray &items, TSrvModeArray &modes, const TSrvCheck &check) {
            TSrvItem stock, sales;
            stock.ItemId = 3;
            stock.SrvName = u"Склад"_s;
            sales.ItemId = 4;
            sales.SrvName = u"Продажи по клиентам"_s;
            if (check(3) || !check(4))
                return false; // the check must offer only what is not in the menu yet
            items = {stock, sales};
            modes = {u"111"_s, u"10"_s};
            return true;
        };
        TMenuConfig &f = open();
        QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, 2));
        select(u"Конфигурация меню/Справочники"_s);
        f.acAddService->trigger();
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.first().text.contains(u"Склад"_s));
        QCOMPARE(committed(u"SELECT OWNER, ITEMMODE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 2 AND ITEMID = 4"_s),
                 QStringList{u"8|10"_s});
        QCOMPARE(render(f.tvMenu), u"Документы(Заказы(Заказы)),Справочники(Клиенты,Склад,Продажи по клиентам)"_s);
    }

    void buttonFlags_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("flags"); // CREATEBTN by ITEMID after the action, from 10101
        QTest::newRow("invert") << u"acInvSellAll"_s << u"01010"_s;
        QTest::newRow("all") << u"acSellAll"_s << u"11111"_s;
        QTest::newRow("none") << u"acDeSellAll"_s << u"00000"_s;
    }
    // Every row written, then one commit; the grid shows what was written.
    void buttonFlags()
    {
        QFETCH(QString, action);
        QFETCH(QString, flags);
        sql(u"UPDATE ZANDRELL5.SRVITEMS SET CREATEBTN = CASE WHEN ITEMID IN (1, 3, 5) THEN 1 ELSE 0 END"_s);
        TMenuConfig &f = open();
        QVERIFY(command(u"select pcMain Список сервисов"_s));
        QVERIFY(command(u"action "_s + action));
        QCOMPARE(committed(u"SELECT CREATEBTN FROM ZANDRELL5.SRVITEMS ORDER BY ITEMID"_s).join(QString()), flags);
        QString shown;
        for (int id = 1; id <= 5; ++id) {
            QVERIFY(f.SrvItemTbl->Locate(u"ITEMID"_s, id));
            shown += f.SrvItemTbl->FieldByName(u"CREATEBTN"_s)->AsString();
        }
        QCOMPARE(shown, flags);
        QVERIFY(f.Changed());
        QVERIFY(!f.SrvItemTbl->ControlsDisabled());
    }

    void deleteService_data()
    {
        QTest::addColumn<int>("itemId");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("in no menu, yes") << 6 << QList<int>{IDYES} << 1 << true;
        QTest::newRow("in no menu, no") << 6 << QList<int>{IDNO} << 1 << false;
        QTest::newRow("in menus, ok") << 3 << QList<int>{IDYES, IDOK} << 2 << true;
        QTest::newRow("in menus, cancel") << 3 << QList<int>{IDYES, IDCANCEL} << 2 << false;
    }
    // One question for a service in no menu; the combined one for a service in menus,
    // whose OK takes it out of every menu first.
    void deleteService()
    {
        QFETCH(int, itemId);
        QFETCH(QList<int>, answers);
        QFETCH(int, questions);
        QFETCH(bool, deleted);
        sql(u"INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
            "VALUES (6, 'Новый', 'New.so', '{NEW}', 0, 0)"_s);
        TMenuConfig &f = open();
        QVERIFY(command(u"select pcMain Список сервисов"_s));
        QVERIFY(f.SrvItemTbl->Locate(u"ITEMID"_s, itemId));
        dialogs->answers = answers;
        QVERIFY(command(u"action acDelService"_s));
        QCOMPARE(dialogs->boxes.size(), questions);
        const QString id = QString::number(itemId);
        QCOMPARE(committed(u"SELECT count(*) FROM ZANDRELL5.SRVITEMS WHERE ITEMID = "_s + id),
                 QStringList{deleted ? u"0"_s : u"1"_s});
        const int inMenus = committed(u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ITEMID = "_s + id).first().toInt();
        QCOMPARE(inMenus, itemId == 3 && !deleted ? 3 : 0);
        QCOMPARE(render(f.tvMenu).contains(u"Склад"_s), !(itemId == 3 && deleted));
    }

    // The same keys mean the action of the panel that has the focus, never the other tab's.
    void shortcutsActOnTheirOwnPanel()
    {
        TMenuConfig &f = open();
        QApplication::setActiveWindow(&f);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        select(u"Конфигурация меню/Справочники"_s);
        f.tvMenu->setFocus();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.tvMenu, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxTexts(), QStringList{Fmt(u"Удалить меню \"%s\"?"_s, u"Справочники"_s)});

        // Del in the group list asks about the group; Ctrl+Del there does nothing.
        dialogs->clear();
        f.dbgAccess->setFocus();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.dbgAccess, Qt::Key_Delete);
        QTest::keyClick(f.dbgAccess, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxTexts(), QStringList{Fmt(TranslateAplText(u"rstr_fmtcnf_DelRecord"_s), u"Администраторы"_s)});
        QCOMPARE(render(f.tvMenu), kDemoTree);

        dialogs->clear();
        f.pcMain->setCurrentIndex(1);
        QVERIFY(f.SrvItemTbl->Locate(u"ITEMID"_s, 3));
        f.dbgServices->setFocus();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.dbgServices, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(boxTexts(), QStringList{Fmt(u"Удалить все вхождения сервиса \"%s\" из меню?"_s, u"Склад"_s)});
        dialogs->clear();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.dbgServices, Qt::Key_Delete);
        QCOMPARE(boxTexts(), QStringList{Fmt(u"Удалить сервис \"%s\"?"_s, u"Склад"_s)});
        QCOMPARE(menuRows().size(), 19);
    }

    // Ctrl+V in the catalogue's grid previews the catalogue's listing; elsewhere in the editor, even on the
    // catalogue's tab, the key opens nothing.
    void catalogueListing()
    {
        TMenuConfig &f = open();
        QApplication::setActiveWindow(&f);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        for (QWidget *elsewhere : {static_cast<QWidget *>(f.tvMenu), static_cast<QWidget *>(f.dbgAccess)}) {
            elsewhere->setFocus();
            QTest::keyClick(elsewhere, Qt::Key_V, Qt::ControlModifier);
        }
        f.pcMain->setCurrentIndex(1);
        f.pcMain->tabBar()->setFocus(); // on the catalogue's tab, but not in its grid
        QTest::keyClick(f.pcMain->tabBar(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(dialogs->modalClasses.isEmpty());
        f.dbgServices->setFocus();
        QTest::keyClick(f.dbgServices, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dialogs->modalClasses, QStringList{u"TQRPreviewDlg"_s});
        QCOMPARE(f.ViewDS->DataSet(), f.SrvItemTbl);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    // Each button of the navigation bars has a hint and, with the resource library, the picture of its
    // kind; the group list's bar ends with "Создать как".
    void navigators()
    {
        const QHash<QString, int> bitmaps{{u"First"_s, 101}, {u"Prior"_s, 102},   {u"Next"_s, 103},
                                          {u"Last"_s, 104},  {u"Refresh"_s, 105}, {u"Insert"_s, 106},
                                          {u"Edit"_s, 107},  {u"Delete"_s, 108}};
        QVERIFY(LoadResourceLibrary(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/LumRes.so"_s));
        const auto unload = qScopeGuard([] { FreeResourceLibrary(); });
        TMenuConfig &f = open();
        const auto image = [](const QPixmap &picture) {
            return picture.toImage().convertToFormat(QImage::Format_ARGB32);
        };
        for (const QString &bar : {u"dbnavAccess"_s, u"dbnavServices"_s}) {
            const QList<QAction *> actions = f.findChild<QToolBar *>(bar)->actions();
            QVERIFY(actions.size() > 5);
            for (QAction *action : actions) {
                QVERIFY(!action->toolTip().isEmpty());
                if (action != f.acCreateLike)
                    QCOMPARE(image(action->icon().pixmap(16, 16)),
                             image(ResourceBitmap(bitmaps.value(action->objectName().mid(bar.size()), -1))));
            }
            QCOMPARE(actions.last() == f.acCreateLike, bar == u"dbnavAccess"_s);
        }
        QVERIFY(!f.acCreateLike->icon().isNull() && f.acCreateLike->isEnabled());
        QCOMPARE(image(f.btnClose->icon().pixmap(16, 16)), image(ResourceBitmap(53)));
    }

    void rightsPanelTicks_data()
    {
        QTest::addColumn<int>("accessId");
        QTest::addColumn<QString>("mode"); // written over Склад's entry first; empty: the demo's own
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("administrators: every right")
            << 1 << QString()
            << QStringList{u"ROW lvRightList 1 1|Просмотр цен"_s, u"ROW lvRightList 2 1|Печать отчетов"_s};
        QTest::newRow("operators: none") << 2 << QString()
                                         << QStringList{u"ROW lvRightList 1 0|Просмотр цен"_s,
                                                        u"ROW lvRightList 2 0|Печать отчетов"_s};
        QTest::newRow("the second only") << 2 << u"101"_s
                                         << QStringList{u"ROW lvRightList 1 0|Просмотр цен"_s,
                                                        u"ROW lvRightList 2 1|Печать отчетов"_s};
    }
    // The rights panel shows each tick as an image, and the dump reads the same tick; the panel's
    // rows are not toggled from outside the rights editor, and the tick draws no check box.
    void rightsPanelTicks()
    {
        QFETCH(int, accessId);
        QFETCH(QString, mode);
        QFETCH(QStringList, rows);
        if (!mode.isEmpty())
            sql(u"UPDATE ZANDRELL5.MENUCFG SET ITEMMODE = '%1' WHERE ID_CFG = 14"_s.arg(mode));
        TMenuConfig &f = open();
        QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, accessId));
        select(u"Конфигурация меню/Справочники/Склад"_s);
        QStringList dumped = DumpWindow(&f).filter(u"ROW lvRightList "_s);
        QCOMPARE(dumped, rows);

        QVERIFY(command(u"check lvRightList #1"_s));
        QCOMPARE(DumpWindow(&f).filter(u"ROW lvRightList "_s), rows);

        // The ticks are the images: the style is asked for no check box.
        TCheckBoxCounter counter;
        f.lvRightList->setStyle(&counter);
        f.lvRightList->grab();
        f.lvRightList->setStyle(nullptr);
        QCOMPARE(counter.boxes, 0);
    }

    void insertAccessGroup_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name"); // null: the dialog is cancelled
        QTest::addColumn<bool>("added");
        QTest::newRow("confirmed") << u"dbnavAccessInsert"_s << u"Кассиры"_s << true;
        QTest::newRow("hostile") << u"dbnavAccessInsert"_s << u"a'b\"; DELETE %s &"_s << true;
        QTest::newRow("cancelled") << u"dbnavAccessInsert"_s << QString() << false;
        QTest::newRow("blank") << u"dbnavAccessInsert"_s << u" "_s << false;
        QTest::newRow("create as") << u"acCreateLike"_s << u"Копия"_s << true;
        QTest::newRow("create as, empty name") << u"acCreateLike"_s << u""_s << false;
    }
    // The navigator's insert never leaves an empty row: a new group is current with an empty tree.
    // "Создать как" copies the current group's menu; a blank name is refused with a message.
    void insertAccessGroup()
    {
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(bool, added);
        TMenuConfig &f = open();
        inputs = {name};
        QVERIFY(command(u"action "_s + action));
        QCOMPARE(f.AccessTbl->State(), TDataSetState::dsBrowse);
        QCOMPARE(f.AccessTbl->RecordCount(), added ? 4 : 3);
        QCOMPARE(committed(u"SELECT count(*) FROM ZANDRELL5.ACCESSLIST"_s), QStringList{added ? u"4"_s : u"3"_s});
        QCOMPARE(dialogs->boxes.size(), name.isNull() || added ? 0 : 1);
        QCOMPARE(f.Changed(), added);
        if (added) {
            QCOMPARE(f.AccessTbl->FieldByName(u"NAME"_s)->AsString(), name);
            QCOMPARE(render(f.tvMenu), action == u"acCreateLike"_s ? kDemoTree : QString());
        }
    }

    void deleteAccessGroup_data()
    {
        QTest::addColumn<int>("accessId");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<bool>("reason"); // the database's message follows the fixed text
        QTest::newRow("users attached") << 2 << false << false;
        QTest::newRow("three-level menu") << 90 << true << false;
        QTest::newRow("deleted meanwhile") << 91 << false << true;
    }
    // A refusal shows the fixed text, and the database's message when users are not the cause.
    void deleteAccessGroup()
    {
        QFETCH(int, accessId);
        QFETCH(bool, deleted);
        QFETCH(bool, reason);
        sql(u"INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (90, 'Кассиры'), (91, 'Временная')"_s);
        insertMenu(u"(80, 90, 0, 1, 'A', NULL, NULL, 10), (81, 90, 80, 1, 'B', NULL, NULL, 10), "
                   "(82, 90, 81, 0, NULL, 3, '111', 10)"_s);
        TMenuConfig &f = open();
        QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, accessId));
        if (accessId == 91)
            sql(u"DELETE FROM ZANDRELL5.ACCESSLIST WHERE ACCESSID = 91"_s);
        const QStringList rows = menuRows();
        const QString id = QString::number(accessId);
        const QString count = u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ACCESSID = "_s + id;
        const QStringList before = committed(count);
        dialogs->answers = {IDYES};
        QVERIFY(command(u"action acDelAccess"_s));
        QCOMPARE(committed(count), deleted ? QStringList{u"0"_s} : before);
        if (deleted) {
            QCOMPARE(dialogs->boxes.size(), 1);
        } else {
            QCOMPARE(dialogs->boxes.size(), 2);
            const QStringList lines = dialogs->boxes.at(1).text.split(u"\r\n"_s);
            QCOMPARE(lines.size(), reason ? 2 : 1);
            QCOMPARE(dialogs->boxes.at(1).caption, TranslateAplText(u"rstr_ErrorOFDeleting"_s));
            if (accessId == 2)
                QCOMPARE(menuRows(), rows);
        }
        QCOMPARE(f.AccessTbl->Locate(u"ACCESSID"_s, accessId), !deleted && accessId != 91);
    }

    // The rights editor starts from what the database holds now; OK writes the whole string at once.
    void changeRights()
    {
        QString seen;
        TMenuConfig::EditRightsProc = [&seen](TMnuItem *item) {
            seen = item->GetMode();
            item->AccessList().Items(0)->SetChecked(true);
            return true;
        };
        TMenuConfig &f = open();
        QVERIFY(f.AccessTbl->Locate(u"ACCESSID"_s, 2));
        select(u"Конфигурация меню/Справочники/Склад"_s);
        sql(u"UPDATE ZANDRELL5.MENUCFG SET ITEMMODE = '101' WHERE ID_CFG = 14"_s); // another administrator
        QVERIFY(command(u"action acChgRights"_s));
        QCOMPARE(seen, u"101"_s);
        QCOMPARE(committed(u"SELECT ITEMMODE FROM ZANDRELL5.MENUCFG WHERE ID_CFG = 14"_s), QStringList{u"111"_s});
        QVERIFY(f.Changed());
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void registration_data()
    {
        QTest::addColumn<QString>("secondFile"); // the second service's module file; empty fails its INS_SRVITEM
        QTest::addColumn<bool>("stored");
        QTest::newRow("both stored with one commit") << u"Invoices.so"_s << true;
        QTest::newRow("a failure keeps nothing") << QString() << false;
    }
    // The registered services with their rights and reports are committed together; a failing
    // call rolls every earlier one back, shows why, and leaves no write lock behind.
    void registration()
    {
        QFETCH(QString, secondFile);
        QFETCH(bool, stored);
        QStringList filtered;
        TMenuConfig::ShowLoaderProc = [&](TBaseServiceList &list, const std::function<bool(const QString &)> &known) {
            for (const QString &guid : {u"{5b0c2a61-7d3e-4f1a-9a40-0d5e1c2b7a01}"_s, u"{NEW-1}"_s})
                if (known(guid))
                    filtered << guid;
            for (int i = 1; i <= 2; ++i) {
                auto service = std::make_unique<TBaseService>();
                service->SetGuid(u"{NEW-%1}"_s.arg(i));
                service->SetDllName(i == 1 ? u"Invoices.so"_s : secondFile);
                service->SetModuleCaption(u"Счета %1"_s.arg(i));
                service->SetCaption(service->ModuleCaption());
                const QByteArray guid = u"{R-%1}"_s.arg(i).toUtf8(), caption = u"Печать"_s.toUtf8();
                service->AccessList().Add(
                    TAccessItem::CreateShort(TAccessRec{1, guid.constData(), caption.constData()}));
                service->ReportList().Add(std::make_unique<TReportItem>(TReportRec{"{REP}", "Отчет", "Описание"}));
                list.Add(std::move(service));
            }
            return true;
        };
        TMenuConfig &f = open();
        QVERIFY(command(u"select pcMain Список сервисов"_s));
        QVERIFY(command(u"action acAddSrv"_s));
        QCOMPARE(filtered, QStringList{u"{5b0c2a61-7d3e-4f1a-9a40-0d5e1c2b7a01}"_s}); // known whatever the case
        const QString count = u"SELECT count(*) FROM ZANDRELL5.SRVITEMS WHERE GUID LIKE '{NEW-%'"_s;
        QCOMPARE(committed(count), QStringList{stored ? u"2"_s : u"0"_s});
        QCOMPARE(committed(u"SELECT count(*) FROM ZANDRELL5.SRVITEMS_MODE M JOIN ZANDRELL5.SRVITEMS S ON "
                           "S.ITEMID = M.ITEMID WHERE S.GUID LIKE '{NEW-%'"_s),
                 QStringList{stored ? u"2"_s : u"0"_s});
        QCOMPARE(dialogs->boxes.size(), stored ? 0 : 1);
        QVERIFY(!session->InTransaction());
        QCOMPARE(f.SrvItemTbl->RecordCount(), stored ? 7 : 5);
        QCOMPARE(f.Changed(), stored);
    }
};

QTEST_MAIN(tst_MenuConfig)
#include "tst_MenuConfig.moc"
