// The menu configuration editor over a fresh demo database: the tree of each access group, drops, the tree's
// actions and their failures, the rights panel, the catalogue of services and the short cuts of each tab.
#include "Console/DLLLoaderIMPL.h"
#include "Console/ShowMenuCfgIMPL.h"
#include "Console/uAccessGroups.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uMenu.h"
#include "Console/uMenuHistory.h"
#include "Console/uMenuPreview.h"
#include "Console/uServiceCatalogue.h"
#include "Core/TextFormat.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Ui/ModalDriver.h"
#include "Ui/ResourceLibrary.h"
#include "tests/common/DrawnChecks.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QInputDialog>
#include <QScopeGuard>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItemIterator>

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

    // The editor on the menu of one access group.
    TMenuConfig &open(int accessId = 1)
    {
        form = TComBaseForm::Create<TMenuConfig>(nullptr, u"ZANDRELL5"_s, 1.0);
        form->SetSession(session.get());
        form->show();
        if (!form->Access->AccessTbl->Locate(u"ACCESSID"_s, accessId))
            qFatal("no access group %d", accessId);
        return *form;
    }
    bool command(const QString &line) { return ExecuteWindowCommand(form.get(), line); }
    void select(const QString &path) { QVERIFY(command(u"select tvMenu "_s + path)); }
    // The rights panel as it looks: each right with "+" for the granted picture, "-" for the refused one.
    QString rightsShown() const
    {
        // Compared at a size the pictures are drawn in, not scaled.
        const auto image = [](const QIcon &icon) { return icon.pixmap(128, 128).toImage(); };
        const QImage granted = image(form->style()->standardIcon(QStyle::SP_DialogApplyButton));
        const QImage refused = image(form->style()->standardIcon(QStyle::SP_DialogCancelButton));
        QStringList rows;
        for (int i = 0; i < form->lvRightList->topLevelItemCount(); ++i) {
            const QImage shown = image(form->lvRightList->topLevelItem(i)->icon(0));
            rows << form->lvRightList->topLevelItem(i)->text(0) + (shown == granted   ? u"+"_s
                                                                   : shown == refused ? u"-"_s
                                                                                      : u"?"_s);
        }
        return rows.join(u',');
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
        TServiceCatalogue::ShowLoaderProc = [](TBaseServiceList &list,
                                               const std::function<bool(const QString &)> &filter) {
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
        QVERIFY(f.Access->AccessTbl->Locate(u"ACCESSID"_s, 2));
        QCOMPARE(render(f.tvMenu),
                 u"Документы(Заказы(Заказы)),Справочники(A(A1(Продажи по клиентам),A2),Клиенты,Склад,C)"_s);
        QVERIFY(f.Access->AccessTbl->Locate(u"ACCESSID"_s, 90));
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
        QVERIFY(!f.acChgRights->isEnabled()); // no rights without the service
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
        QTest::newRow("service beside a nested group")
            << QString() << u"Справочники/Склад"_s << u"Документы/Заказы"_s
            << u"Документы(Заказы(Заказы),Склад,Отчеты(Продажи по клиентам)),Справочники(Клиенты),"
               "Администрирование(Пользователи консоли)"_s;
        QTest::newRow("group beside a top-level group of order 0")
            << zero << u"Документы/Отчеты"_s << u"Нулевая"_s
            << u"Нулевая,Документы(Заказы(Заказы)),Справочники(Клиенты,Склад),"
               "Администрирование(Пользователи консоли),Отчеты(Продажи по клиентам)"_s;
        QTest::newRow("service on the root") << QString() << u"Справочники/Склад"_s << QString() << QString();
        QTest::newRow("group into its own branch") << QString() << u"Документы"_s << u"Документы/Заказы"_s << QString();
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
        QVERIFY2(dialogs->boxes.isEmpty(), qPrintable(dialogs->texts().join(u'\n')));
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
        QTest::newRow("quotes and a statement") << u"x'; DELETE FROM MENUCFG; --"_s << u"x'; DELETE FROM MENUCFG; --"_s;
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
            QCOMPARE(dialogs->texts(), QStringList{Fmt(TranslateAplText(u"rstr_fmtmsg_EmptyDataInField"_s),
                                                       TranslateAplText(u"rstrTitle"_s))});
            QVERIFY(!f.Changed());
            return;
        }
        QVERIFY2(dialogs->boxes.isEmpty(), qPrintable(dialogs->texts().join(u'\n')));
        QCOMPARE(
            committed(
                u"SELECT MENUNAME FROM ZANDRELL5.MENUCFG WHERE ID_CFG = (SELECT MAX(ID_CFG) FROM ZANDRELL5.MENUCFG)"_s),
            QStringList{stored});
        QVERIFY(render(f.tvMenu).endsWith(u',' + stored));
        select(u"Конфигурация меню/"_s + stored);
        inputs = {name + u'2'};
        f.acRenameMenu->trigger();
        QString renamed = (name + u'2').left(50);
        if (renamed.back().isHighSurrogate())
            renamed.chop(1);
        QCOMPARE(f.tvMenu->findItems(renamed, Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    }

    void staleCallIsShownAndReloaded_data()
    {
        QTest::addColumn<QString>("node");      // selected first
        QTest::addColumn<QString>("meanwhile"); // another administrator's change
        QTest::addColumn<QString>("line");      // then the editor's command
        QTest::addColumn<QString>("stored");    // what stays, as "SELECT ..." reads it
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("told"); // the message: "deleted" or "changed", and the row's kind and name
        QTest::newRow("new group in a group deleted meanwhile")
            << u"Документы/Отчеты"_s << u"DELETE FROM ZANDRELL5.MENUCFG WHERE ID_CFG IN (15, 3)"_s
            << u"action acInsMenu"_s << u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE MENUNAME = 'Новая'"_s << u"0"_s
            << u"deleted MenuGroup Отчеты"_s;
        QTest::newRow("rename of a group renamed meanwhile")
            << u"Справочники"_s << u"UPDATE ZANDRELL5.MENUCFG SET MENUNAME = 'Каталоги' WHERE ID_CFG = 4"_s
            << u"action acRenameMenu"_s << u"SELECT MENUNAME FROM ZANDRELL5.MENUCFG WHERE ID_CFG = 4"_s << u"Каталоги"_s
            << u"changed MenuGroup Справочники"_s;
        // The branch goes whole or not at all: its entries stay with the refused group.
        QTest::newRow("delete of a group that took an entry meanwhile")
            << u"Администрирование"_s
            << u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, ITEMID, ITEMMODE, SORT_ORDER) "
               "VALUES (90, 1, 5, 0, 3, '1', 20)"_s
            << u"action acDelMenu"_s << u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ID_CFG IN (5, 16, 90)"_s
            << u"3"_s << u"changed MenuGroup Администрирование"_s;
        QTest::newRow("drop of an entry moved meanwhile")
            << u"Справочники/Склад"_s << u"UPDATE ZANDRELL5.MENUCFG SET OWNER = 5 WHERE ID_CFG = 11"_s
            << u"drop tvMenu Конфигурация меню/Справочники/Склад => Конфигурация меню/Документы"_s
            << u"SELECT OWNER FROM ZANDRELL5.MENUCFG WHERE ID_CFG = 11"_s << u"5"_s << u"changed MenuEntry Склад"_s;
        QTest::newRow("delete of an access group renamed meanwhile")
            << QString() << u"UPDATE ZANDRELL5.ACCESSLIST SET NAME = 'Склад' WHERE ACCESSID = 3"_s
            << u"action acDelAccess"_s << u"SELECT NAME FROM ZANDRELL5.ACCESSLIST WHERE ACCESSID = 3"_s << u"Склад"_s
            << u"changed AccessGroup Кладовщики"_s;
        QTest::newRow("rename of an access group deleted meanwhile")
            << QString()
            << u"DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 3; DELETE FROM ZANDRELL5.ACCESSLIST "
               "WHERE ACCESSID = 3"_s
            << u"action acUpdAccess"_s << u"SELECT count(*) FROM ZANDRELL5.ACCESSLIST WHERE NAME = 'Новая'"_s << u"0"_s
            << u"deleted AccessGroup Кладовщики"_s;
    }
    // What another administrator changed meanwhile is never overwritten: the editor says so in the
    // session's language (no database code), writes nothing, and shows what is there now.
    void staleCallIsShownAndReloaded()
    {
        QFETCH(QString, node);
        QFETCH(QString, meanwhile);
        QFETCH(QString, line);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QFETCH(QString, told);
        TMenuConfig &f = open(node.isEmpty() ? 3 : 1);
        if (!node.isEmpty())
            select(u"Конфигурация меню/"_s + node);
        for (const QString &statement : meanwhile.split(u"; "_s))
            sql(statement);
        inputs = {u"Новая"_s};
        dialogs->answers = {IDYES};
        QVERIFY(command(line));
        QCOMPARE(committed(stored), QStringList{expected});
        const QStringList kind = told.split(u' ');
        const TReliedRow row{
            TReliedRow::TKind(
                QStringList{u"AccessGroup"_s, u"MenuGroup"_s, u"MenuEntry"_s, u"Service"_s}.indexOf(kind[1])),
            QVariant(), kind.mid(2).join(u' ')};
        QCOMPARE(dialogs->boxes.last().text, ConflictText(row, kind[0] == u"deleted"_s));
        QVERIFY(dialogs->texts().filter(u"ORA-"_s).isEmpty());
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
        for (const QString &name : names) {
            f.tvMenu->setCurrentItem(rowNamed(name));
            dialogs->answers = {IDYES};
            QVERIFY(command(u"action acDelMenu"_s));
        }
        QCOMPARE(committed(broken), QStringList{u"2"_s}); // the two groups brought back
        QCOMPARE(f.tvMenu->topLevelItemCount(), 1);
        QVERIFY2(dialogs->texts().filter(u"ORA-"_s).isEmpty(), qPrintable(dialogs->texts().join(u'\n')));
    }

    // The path of the current node, captions joined by "/".
    static QString currentPath(const TMenuConfig &f)
    {
        QStringList path;
        for (const QTreeWidgetItem *node = f.tvMenu->currentItem(); node; node = node->parent())
            path.prepend(node->text(0));
        return path.join(u'/');
    }
    void selectionAfterEachChange_data()
    {
        QTest::addColumn<QString>("node");      // selected first
        QTest::addColumn<QStringList>("lines"); // the commands
        QTest::addColumn<QString>("current");   // below "Конфигурация меню"; empty: the root
        QTest::newRow("a new group") << u"Документы"_s << QStringList{u"input Касса"_s, u"action acInsMenu"_s}
                                     << u"Документы/Касса"_s;
        QTest::newRow("a renamed group") << u"Справочники"_s
                                         << QStringList{u"input Каталоги"_s, u"action acRenameMenu"_s} << u"Каталоги"_s;
        QTest::newRow("a deleted entry: its group")
            << u"Справочники/Склад"_s << QStringList{u"reply 6"_s, u"action acDelService"_s} << u"Справочники"_s;
        QTest::newRow("another access group: the root")
            << u"Документы/Отчеты"_s << QStringList{u"select dbgAccess Операторы"_s} << QString();
    }
    // After a change the node the administrator works on stays current: a new node, the same node, a
    // deleted node's parent; a change of the access group shows its menu from the root.
    void selectionAfterEachChange()
    {
        QFETCH(QString, node);
        QFETCH(QStringList, lines);
        QFETCH(QString, current);
        // Another group's menu first: the tree is read afresh for the group that is current.
        TMenuConfig &f = open(2);
        if (!lines.first().startsWith(u"select dbgAccess"_s))
            QVERIFY(f.Access->AccessTbl->Locate(u"ACCESSID"_s, 1));
        select(u"Конфигурация меню/"_s + node);
        for (const QString &line : lines) {
            if (line.startsWith(u"input "_s))
                inputs << line.mid(6);
            else if (line.startsWith(u"reply "_s))
                dialogs->answers << line.mid(6).toInt();
            else
                QVERIFY(command(line));
        }
        QVERIFY2(dialogs->texts().filter(u"ORA-"_s).isEmpty(), qPrintable(dialogs->texts().join(u'\n')));
        QCOMPARE(currentPath(f), u"Конфигурация меню"_s + (current.isEmpty() ? QString() : u'/' + current));
    }

    void moveToGroup_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("target"); // below the dialog's root; empty: the root itself
        QTest::addColumn<QString>("tree");   // empty: nothing moved
        QTest::newRow("into an empty nested group")
            << u"Справочники/Склад"_s << u"Документы/Отчеты/Пустая"_s
            << u"Документы(Заказы(Заказы),Отчеты(Продажи по клиентам,Пустая(Склад))),Справочники(Клиенты),"
               "Администрирование(Пользователи консоли)"_s;
        QTest::newRow("a group to the top level")
            << u"Документы/Отчеты"_s << QString()
            << u"Документы(Заказы(Заказы)),Справочники(Клиенты,Склад),Администрирование(Пользователи консоли),"
               "Отчеты(Продажи по клиентам,Пустая)"_s;
        QTest::newRow("a service not to the top level") << u"Справочники/Склад"_s << QString() << QString();
        QTest::newRow("a group not into its own branch") << u"Документы"_s << u"Документы/Отчеты"_s << QString();
    }
    // "Переместить в группу" offers the groups of the menu (not the node's own branch, the top level only
    // to a group) and puts the node into the chosen one as its last entry, an empty nested group too.
    void moveToGroup()
    {
        QFETCH(QString, node);
        QFETCH(QString, target);
        QFETCH(QString, tree);
        insertMenu(u"(60, 1, 3, 1, 'Пустая', NULL, NULL, 30)"_s);
        TMenuConfig &f = open();
        const QString before = render(f.tvMenu);
        select(u"Конфигурация меню/"_s + node);
        QStringList offered;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *groups = dialog->findChild<QTreeWidget *>(u"tvGroups"_s);
            for (QTreeWidgetItemIterator it(groups); *it; ++it)
                if ((*it)->flags() & Qt::ItemIsSelectable)
                    offered << (*it)->text(0);
            return ExecuteWindowCommand(dialog, u"select tvGroups Конфигурация меню"_s +
                                                    (target.isEmpty() ? QString() : u'/' + target)) &&
                           ExecuteWindowCommand(dialog, u"click btnOk"_s)
                       ? dialog->result()
                       : int(QDialog::Rejected);
        };
        QVERIFY(command(u"action acMoveToGroup"_s));
        QCOMPARE(offered.contains(u"Конфигурация меню"_s), !node.contains(u'/') || node == u"Документы/Отчеты"_s);
        QVERIFY(!offered.contains(node.section(u'/', -1)));
        QCOMPARE(render(f.tvMenu), tree.isEmpty() ? before : tree);
        QVERIFY(dialogs->boxes.isEmpty());
        if (!tree.isEmpty())
            QCOMPARE(currentPath(f),
                     u"Конфигурация меню/"_s + (target.isEmpty() ? QString() : target + u'/') + node.section(u'/', -1));
    }

    // In an English session the tree reads as the main menu reads: groups and services through the
    // language pack; renaming starts from the stored name.
    void englishEditorReadsTheLanguagePack()
    {
        FakeLanguages english;
        english.apl = {
            {u"Документы"_s, u"Documents"_s}, {u"Справочники"_s, u"Reference books"_s}, {u"Склад"_s, u"Stock"_s}};
        TMenuConfig &f = open();
        QVERIFY(render(f.tvMenu).startsWith(u"Documents("_s));
        QVERIFY(render(f.tvMenu).contains(u"Reference books(Клиенты,Stock)"_s));
        QString offered;
        dialogs->onModal = [&offered](QDialog *dialog) {
            offered = qobject_cast<QInputDialog *>(dialog)->textValue();
            return int(QDialog::Rejected);
        };
        select(u"Конфигурация меню/Documents"_s);
        QVERIFY(command(u"action acRenameMenu"_s));
        QCOMPARE(offered, u"Документы"_s);
    }

    // "История изменений" lists the current access group's changes, newest first, with who made them,
    // filtered by date.
    void historyOfTheAccessGroup()
    {
        TMenuConfig &f = open();
        select(u"Конфигурация меню/Документы"_s);
        inputs = {u"Касса"_s, u"Смена"_s};
        QVERIFY(command(u"action acInsMenu"_s));
        QVERIFY(command(u"action acRenameMenu"_s));
        QVERIFY(command(u"select pcMain История изменений"_s));
        auto rows = [&f] {
            QStringList out;
            for (int r = 0; r < f.tsHistory->lvHistory->rowCount(); ++r)
                out << f.tsHistory->lvHistory->item(r, 1)->text() + u'|' + f.tsHistory->lvHistory->item(r, 3)->text() +
                           u'|' + f.tsHistory->lvHistory->item(r, 4)->text() + u'|' +
                           f.tsHistory->lvHistory->item(r, 5)->text();
            return out;
        };
        QCOMPARE(rows(), (QStringList{u"ZL_USER|Смена|Касса|Смена"_s, u"ZL_USER|Касса||Касса"_s}));
        f.tsHistory->deFrom->setDate(QDate::currentDate().addDays(1));
        QVERIFY(rows().isEmpty());
        f.tsHistory->deFrom->setDate(QDate::currentDate());
        QVERIFY(f.Access->AccessTbl->Locate(u"ACCESSID"_s, 2)); // another group: its own history, none yet
        QVERIFY(rows().isEmpty());
    }

    void buttonFlags_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("flags"); // CREATEBTN by ITEMID after the action, from 10101
        QTest::newRow("invert") << u"acInvSellAll"_s << u"01010"_s;
        QTest::newRow("all") << u"acSellAll"_s << u"11111"_s;
        QTest::newRow("none") << u"acDeSellAll"_s << u"00000"_s;
    }
    // Every row written, then one commit; the grid shows what was written and keeps its current row.
    void buttonFlags()
    {
        QFETCH(QString, action);
        QFETCH(QString, flags);
        sql(u"UPDATE ZANDRELL5.SRVITEMS SET CREATEBTN = CASE WHEN ITEMID IN (1, 3, 5) THEN 1 ELSE 0 END"_s);
        TMenuConfig &f = open();
        QVERIFY(command(u"select pcMain Список сервисов"_s));
        QVERIFY(f.tsServices->SrvItemTbl->Locate(u"ITEMID"_s, 3));
        QVERIFY(command(u"action "_s + action));
        QCOMPARE(committed(u"SELECT CREATEBTN FROM ZANDRELL5.SRVITEMS ORDER BY ITEMID"_s).join(QString()), flags);
        QCOMPARE(f.tsServices->SrvItemTbl->FieldByName(u"ITEMID"_s)->AsInteger(), 3); // still the current row
        QString shown;
        for (int id = 1; id <= 5; ++id) {
            QVERIFY(f.tsServices->SrvItemTbl->Locate(u"ITEMID"_s, id));
            shown += f.tsServices->SrvItemTbl->FieldByName(u"CREATEBTN"_s)->AsString();
        }
        QCOMPARE(shown, flags);
        QVERIFY(f.Changed());
        QVERIFY(!f.tsServices->SrvItemTbl->ControlsDisabled());
    }

    void deleteService_data()
    {
        QTest::addColumn<int>("itemId");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("in no menu, yes") << 6 << QList<int>{IDYES} << 1 << true;
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
        QVERIFY(f.tsServices->SrvItemTbl->Locate(u"ITEMID"_s, itemId));
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
        QCOMPARE(dialogs->texts(), QStringList{Fmt(u"Удалить меню \"%s\"?"_s, u"Справочники"_s)});

        // Del in the group list asks about the group; Ctrl+Del there does nothing.
        dialogs->clear();
        f.Access->dbgAccess->setFocus();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.Access->dbgAccess, Qt::Key_Delete);
        QTest::keyClick(f.Access->dbgAccess, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(dialogs->texts(), QStringList{Fmt(TranslateAplText(u"rstr_fmtcnf_DelRecord"_s), u"Администраторы"_s)});
        QCOMPARE(render(f.tvMenu), kDemoTree);

        dialogs->clear();
        f.pcMain->setCurrentIndex(1);
        QVERIFY(f.tsServices->SrvItemTbl->Locate(u"ITEMID"_s, 3));
        f.tsServices->dbgServices->setFocus();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.tsServices->dbgServices, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(dialogs->texts(), QStringList{Fmt(u"Удалить все вхождения сервиса \"%s\" из меню?"_s, u"Склад"_s)});
        dialogs->clear();
        dialogs->answers = {IDNO};
        QTest::keyClick(f.tsServices->dbgServices, Qt::Key_Delete);
        QCOMPARE(dialogs->texts(), QStringList{Fmt(u"Удалить сервис \"%s\"?"_s, u"Склад"_s)});
        QCOMPARE(menuRows().size(), 19);
    }

    // Ctrl+V in the catalogue's grid previews the catalogue's listing; elsewhere in the editor, even on the
    // catalogue's tab, the key opens nothing.
    void catalogueListing()
    {
        TMenuConfig &f = open();
        QApplication::setActiveWindow(&f);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.pcMain->setCurrentIndex(1);
        f.pcMain->tabBar()->setFocus(); // on the catalogue's tab, but not in its grid
        QTest::keyClick(f.pcMain->tabBar(), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(dialogs->modalClasses.isEmpty());
        f.tsServices->dbgServices->setFocus();
        QTest::keyClick(f.tsServices->dbgServices, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dialogs->modalClasses, QStringList{u"TQRPreviewDlg"_s});
        QCOMPARE(f.tsServices->ViewDS->DataSet(), f.tsServices->SrvItemTbl);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    // Each button of the navigation bars has a hint and, with the resource library, a picture of its own.
    void navigators()
    {
        QVERIFY(LoadResourceLibrary(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/LumRes.so"_s));
        const auto unload = qScopeGuard([] { FreeResourceLibrary(); });
        TMenuConfig &f = open();
        for (const QString &bar : {u"dbnavAccess"_s, u"dbnavServices"_s}) {
            QList<QImage> pictures;
            for (QAction *action : f.findChild<QToolBar *>(bar)->actions()) {
                const QImage picture = action->icon().pixmap(16, 16).toImage();
                QVERIFY2(!action->toolTip().isEmpty() && !picture.isNull() && !pictures.contains(picture),
                         qPrintable(action->objectName()));
                pictures << picture;
            }
            QVERIFY(pictures.size() > 5);
        }
    }

    // The rights panel shows each tick as a picture (granted or refused) and draws no check box; the dump reads the
    // same tick; the panel's rows are not toggled from outside the rights editor.
    void rightsPanelTicks()
    {
        sql(u"UPDATE ZANDRELL5.MENUCFG SET ITEMMODE = '101' WHERE ID_CFG = 14"_s);
        TMenuConfig &f = open(2);
        select(u"Конфигурация меню/Справочники/Склад"_s);
        const QStringList rows{u"ROW lvRightList 1 0|Просмотр цен"_s, u"ROW lvRightList 2 1|Печать отчетов"_s};
        QCOMPARE(DumpWindow(&f).filter(u"ROW lvRightList "_s), rows);
        QCOMPARE(rightsShown(), u"Просмотр цен-,Печать отчетов+"_s);
        QVERIFY(command(u"check lvRightList #1"_s));
        QCOMPARE(DumpWindow(&f).filter(u"ROW lvRightList "_s), rows);
        QCOMPARE(DrawnChecks().Of(f.lvRightList), QString());
    }

    void accessGroupNames_data()
    {
        QTest::addColumn<int>("accessId"); // current first
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("name");  // null: the dialog is cancelled
        QTest::addColumn<bool>("changed");  // a group added or renamed
        QTest::addColumn<QString>("taken"); // the group the refusal names
        const QString insert = u"dbnavAccessInsert"_s;
        QTest::newRow("hostile") << 1 << insert << u"a'b\"; DELETE %s &"_s << true << QString();
        QTest::newRow("cancelled") << 1 << insert << QString() << false << QString();
        QTest::newRow("blank") << 1 << insert << u" "_s << false << QString();
        QTest::newRow("created as") << 1 << u"acCreateLike"_s << u"Копия"_s << true << QString();
        QTest::newRow("added, other case and blanks") << 1 << insert << u"  операторы "_s << false << u"Операторы"_s;
        QTest::newRow("renamed to another's name")
            << 3 << u"acUpdAccess"_s << u"ОПЕРАТОРЫ"_s << false << u"Операторы"_s;
        QTest::newRow("added by another administrator meanwhile") << 1 << insert << u"касса"_s << false << u"Касса"_s;
        QTest::newRow("renamed to its own name in another case")
            << 3 << u"acUpdAccess"_s << u"КЛАДОВЩИКИ"_s << true << QString();
    }
    // The navigator's insert never leaves an empty row: a new group is current, with an empty menu, or with the
    // current group's menu when made by "Создать как". No two groups have one name, compared trimmed and without
    // regard to case: the refusal names the group that has it, also one another administrator made after the list
    // was read. A blank name is refused with a message.
    void accessGroupNames()
    {
        QFETCH(int, accessId);
        QFETCH(QString, action);
        QFETCH(QString, name);
        QFETCH(bool, changed);
        QFETCH(QString, taken);
        TMenuConfig &f = open(accessId);
        if (name == u"касса"_s)
            sql(u"INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (90, 'Касса')"_s);
        const QString list = u"SELECT ACCESSID || NAME FROM ZANDRELL5.ACCESSLIST ORDER BY 1"_s;
        const QStringList before = committed(list);
        inputs = {name};
        QVERIFY(command(u"action "_s + action));
        QCOMPARE(f.Access->AccessTbl->State(), TDataSetState::dsBrowse);
        QCOMPARE(committed(list) != before, changed);
        if (!taken.isEmpty())
            QCOMPARE(dialogs->texts(), QStringList{u"Группа доступа «%1» уже есть"_s.arg(taken)});
        else
            QCOMPARE(dialogs->boxes.size(), name.isNull() || changed ? 0 : 1);
        if (!changed) {
            QVERIFY(!f.Changed());
        } else {
            QCOMPARE(f.Access->CurrentName(), name);
            if (action != u"acUpdAccess"_s) {
                QVERIFY(f.Changed());
                QCOMPARE(f.Access->AccessTbl->RecordCount(), before.size() + 1);
                QCOMPARE(render(f.tvMenu), action == u"acCreateLike"_s ? kDemoTree : QString());
            }
        }
    }

    void deleteAccessGroup_data()
    {
        QTest::addColumn<int>("accessId");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("users attached") << 2 << false;
        QTest::newRow("three-level menu") << 90 << true;
        QTest::newRow("deleted meanwhile") << 91 << false;
    }
    // A refusal names its real reason: the users attached, or the other administrator's delete.
    void deleteAccessGroup()
    {
        QFETCH(int, accessId);
        QFETCH(bool, deleted);
        sql(u"INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (90, 'Кассиры'), (91, 'Временная')"_s);
        insertMenu(u"(80, 90, 0, 1, 'A', NULL, NULL, 10), (81, 90, 80, 1, 'B', NULL, NULL, 10), "
                   "(82, 90, 81, 0, NULL, 3, '111', 10)"_s);
        TMenuConfig &f = open(accessId);
        if (accessId == 91)
            sql(u"DELETE FROM ZANDRELL5.ACCESSLIST WHERE ACCESSID = 91"_s);
        const QStringList rows = menuRows();
        const QString count = u"SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ACCESSID = "_s + QString::number(accessId);
        const QStringList before = committed(count);
        dialogs->answers = {IDYES};
        QVERIFY(command(u"action acDelAccess"_s));
        QCOMPARE(committed(count), deleted ? QStringList{u"0"_s} : before);
        QCOMPARE(dialogs->boxes.size(), deleted ? 1 : 2);
        if (accessId == 2)
            QCOMPARE(dialogs->texts().last(), ConsoleText(ctCannotDeleteUsersAttached));
        if (accessId == 91)
            QCOMPARE(dialogs->texts().last(), ConflictText({TReliedRow::AccessGroup, 91, u"Временная"_s}, true));
        if (!deleted)
            QCOMPARE(menuRows(), rows);
        QCOMPARE(f.Access->AccessTbl->Locate(u"ACCESSID"_s, accessId), !deleted && accessId != 91);
    }

    void registration_data()
    {
        QTest::addColumn<QString>("secondFile"); // the second service's module file; empty fails its INS_SRVITEM
        QTest::addColumn<int>("rightLength");    // of the second service's right's caption
        QTest::addColumn<bool>("stored");
        QTest::newRow("both stored with one commit") << u"Invoices.so"_s << 60 << true;
        QTest::newRow("a failure keeps nothing") << QString() << 6 << false;
        QTest::newRow("a right's caption too long keeps nothing") << u"Invoices.so"_s << 61 << false;
    }
    // The registered services with their rights and reports are committed together; a failing
    // call rolls every earlier one back, shows why, and leaves no write lock behind.
    void registration()
    {
        QFETCH(QString, secondFile);
        QFETCH(int, rightLength);
        QFETCH(bool, stored);
        QStringList filtered;
        TServiceCatalogue::ShowLoaderProc = [&](TBaseServiceList &list,
                                                const std::function<bool(const QString &)> &known) {
            for (const QString &guid : {u"{5b0c2a61-7d3e-4f1a-9a40-0d5e1c2b7a01}"_s, u"{NEW-1}"_s})
                if (known(guid))
                    filtered << guid;
            for (int i = 1; i <= 2; ++i) {
                auto service = std::make_unique<TBaseService>();
                service->SetGuid(u"{NEW-%1}"_s.arg(i));
                service->SetDllName(i == 1 ? u"Invoices.so"_s : secondFile);
                service->SetModuleCaption(u"Счета %1"_s.arg(i));
                service->SetCaption(service->ModuleCaption());
                const QByteArray guid = u"{R-%1}"_s.arg(i).toUtf8();
                const QByteArray caption = (i == 1 ? u"Печать"_s : QString(rightLength, u'п')).toUtf8();
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
        if (rightLength > 60) // refused whole, told as every text too long for its column
            QCOMPARE(dialogs->texts(),
                     QStringList{Fmt(TranslateAplText(u"rstr_fmtmsg_ValueTooLong"_s), u"NAME"_s, 60)});
        QVERIFY(!session->InTransaction());
        QCOMPARE(f.tsServices->SrvItemTbl->RecordCount(), stored ? 7 : 5);
        QCOMPARE(f.Changed(), stored);
    }
};

QTEST_MAIN(tst_MenuConfig)
#include "tst_MenuConfig.moc"
