// The menu model and the main window over a fresh demo database: what each
// user sees, the order and numbering of the menus, modules that fail, tool
// buttons and their separators and hot keys, icons, plug-ins, languages,
// reload, and the rights list of a menu entry.
#include "DMIMPL.h"
#include "MainConsoleIMPL.h"
#include "OraSession.h"
#include "OraStoredProc.h"
#include "ResourcePack.h"
#include "RecordingDialogService.h"
#include "TestServer.h"
#include "uConsoleCfg.h"
#include "uImageList.h"
#include "uMenu.h"
#include "uModuleLibrary.h"
#include "uServiceItem.h"
#include "uUnattended.h"
#include "uShemaForm.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace {
QList<QStringList> g_failedShown;
}

class TestMainWindow : public QObject {
    Q_OBJECT

    TestServer *server = nullptr;
    QTemporaryDir *exeDir = nullptr;
    RecordingDialogService *dialogs = nullptr;
    std::unique_ptr<TDM> dm;
    QList<QStringList> &failedShown = g_failedShown;

    void sql(const QString &statement)
    {
        auto session = server->Connect();
        session->ExecSQL(statement);
        session->Commit();
    }
    void login(const QString &user)
    {
        dm = std::make_unique<TDM>();
        SetConsoleDataModule(dm.get());
        dm->SetServer(QStringLiteral("ZANDRELL"));
        dm->SetUserName(user);
        dm->SetPassword(QStringLiteral("demo"));
        dm->SetConnectPrompt(false);
        QVERIFY(dm->Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
    }
    std::unique_ptr<TfmMain> mainWindow()
    {
        auto main = std::make_unique<TfmMain>();
        main->SchemeName = QStringLiteral("ZANDRELL5");
        main->PreviousScheme = main->SchemeName;
        main->InitConfiguration();
        return main;
    }
    static QStringList dump(TfmMain &main) { return TUnattendedDriver(&main).Dump(); }
    static QStringList topMenus(TfmMain &main)
    {
        QStringList names;
        for (QAction *a : main.menuBar()->actions())
            if (a->isVisible())
                names << a->text().remove(QLatin1Char('&'));
        return names;
    }
    static QAction *menuItem(TfmMain &main, const QStringList &path)
    {
        QList<QAction *> actions = main.menuBar()->actions();
        QAction *found = nullptr;
        for (const QString &caption : path) {
            found = nullptr;
            for (QAction *a : actions)
                if (a->text().remove(QLatin1Char('&')) == caption)
                    found = a;
            if (!found)
                return nullptr;
            if (found->menu())
                actions = found->menu()->actions();
        }
        return found;
    }
    static int configSeparators(TfmMain &main)
    {
        int n = 0;
        for (QAction *a : main.tbMain->actions())
            if (a->isSeparator() && ObjectTag(a) == kConfigTag)
                ++n;
        return n;
    }
    // Administrators' menu: groups with SORT_ORDER 30, 10, 20 (inserted in that order);
    // the sub-group of B holds the customers, C the stock, A the orders.
    void orderedMenu()
    {
        sql(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"));
        sql(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                           "VALUES (101, 1, 0, 1, 'C', NULL, NULL, 30), (102, 1, 0, 1, 'A', NULL, NULL, 10), "
                           "(103, 1, 0, 1, 'B', NULL, NULL, 20), (104, 1, 103, 1, 'B-sub', NULL, NULL, 10), "
                           "(105, 1, 104, 0, NULL, 2, '111', 10), (106, 1, 101, 0, NULL, 3, '111', 10), "
                           "(107, 1, 102, 0, NULL, 1, '111', 10)"));
    }

private slots:
    void initTestCase()
    {
        qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_mainwindow");
        TestServer::BuildTemplate();
    }
    void init()
    {
        server = new TestServer;
        exeDir = new QTemporaryDir;
        SetExeDirForTests(exeDir->path());
        SetModuleFolder(exeDir->path());
        // The installation's modules and the test modules, side by side.
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        const QString modules = qEnvironmentVariable("ZANDRELL_BINARY_DIR") + QStringLiteral("/tests/modules");
        for (const QString &from : {dist, modules})
            for (const QString &f : QDir(from).entryList({QStringLiteral("*.so")}, QDir::Files))
                QFile::link(from + QLatin1Char('/') + f, exeDir->filePath(f));
        QDir().mkpath(exeDir->filePath(QStringLiteral("Plugins")));
        dialogs = new RecordingDialogService;
        failedShown.clear();
        TMenuCfg::ShowFailed = [](const TBaseServiceList &failed) {
            QStringList rows;
            for (const auto &s : failed)
                rows << s->DllName() + QLatin1Char('|') + s->Guid() + QLatin1Char('|') + s->Caption();
            g_failedShown << rows;
            if (!failed.IsEmpty() && failed.Items(0)->Description().isEmpty())
                qWarning("a failed service without its reason");
        };
    }
    void cleanup()
    {
        dm.reset();
        delete dialogs;
        SetModuleFolder(QString());
        SetExeDirForTests(QString());
        delete exeDir;
        delete server;
    }

    void whatEachUserSees()
    {
        login(QStringLiteral("ZL_USER"));
        {
            auto main = mainWindow();
            const QStringList lines = dump(*main);
            QCOMPARE(topMenus(*main), (QStringList{"Файл", "Документы", "Справочники", "Администрирование", "Справка"}));
            QVERIFY(lines.contains(QStringLiteral("MENU   Настройка меню")));
            QVERIFY(lines.contains(QStringLiteral("MENU   Настройка схем")));
            QVERIFY(lines.contains(QStringLiteral("MENU   Настройка \"Oracle Home\"")));
            QVERIFY(lines.contains(QStringLiteral("MENU     Заказы")));
            QVERIFY(lines.contains(QStringLiteral("STATUS 5|Допуск: 'Администраторы'")));
            QVERIFY(lines.contains(QStringLiteral("STATUS 1|Сервер: 'ZANDRELL'")));
            QVERIFY(lines.contains(QStringLiteral("STATUS 3|Схема БД: 'ZANDRELL5'")));
            QVERIFY(main->IsAdmin);
            QCOMPARE(main->Manager->Count(), 3);
        }
        dm.reset();
        login(QStringLiteral("OPERATOR"));
        auto main = mainWindow();
        const QStringList lines = dump(*main);
        QVERIFY(!main->IsAdmin);
        QVERIFY(!lines.contains(QStringLiteral("MENU   Настройка меню")));
        QVERIFY(!lines.contains(QStringLiteral("MENU   Настройка схем")));
        QVERIFY(!lines.contains(QStringLiteral("MENU   Настройка \"Oracle Home\"")));
        QVERIFY(lines.contains(QStringLiteral("STATUS 5|Допуск: 'Операторы'")));
        QCOMPARE(topMenus(*main), (QStringList{"Файл", "Документы", "Справочники", "Справка"}));
    }

    void topLevelOrderAndGroupNumbers()
    {
        orderedMenu();
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        QCOMPARE(topMenus(*main), (QStringList{"Файл", "A", "B", "C", "Справка"}));
        QCOMPARE(main->MenuCfg->Count(), 3);
        QCOMPARE(main->MenuCfg->Items(0)->Name, QStringLiteral("C"));
        auto groupOf = [&](const QString &caption) {
            for (TServiceItem *s : main->Manager->List())
                if (s->Caption() == caption)
                    return s->MenuGroup();
            return -99;
        };
        QCOMPARE(groupOf(QStringLiteral("Склад")), 1);
        // A service in a sub-group carries its top group's number.
        QCOMPARE(groupOf(QStringLiteral("Клиенты")), 2);
        QCOMPARE(groupOf(QStringLiteral("Заказы")), 3);
        QVERIFY(menuItem(*main, {"B", "B-sub", "Клиенты"}));
    }

    void separatorsBetweenButtonGroups()
    {
        // Buttons in groups 1 (stock) and 3 (orders) only: one separator before group 3.
        orderedMenu();
        login(QStringLiteral("ZL_USER"));
        {
            auto main = mainWindow();
            QCOMPARE(configSeparators(*main), 1);
            QStringList hints;
            for (QAction *a : main->tbMain->actions())
                if (ObjectTag(a) == kConfigTag && !a->isSeparator())
                    hints << a->toolTip();
            QCOMPARE(hints.size(), 2);
            QVERIFY(hints.at(0).endsWith(QStringLiteral(" (Alt+0)")));
            QVERIFY(hints.at(1).endsWith(QStringLiteral(" (Alt+1)")));
        }
        WriteCreateSeps(false);
        auto main = mainWindow();
        QCOMPARE(configSeparators(*main), 0);
    }

    void missingModuleAndDuplicates()
    {
        sql(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
                           "VALUES (20, 'Потерянный', 'Missing.so', '{MISSING}', 1, 0)"));
        sql(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                           "VALUES (120, 1, 4, 0, NULL, 20, '1', 30), (121, 1, 5, 0, NULL, 3, '111', 10)"));
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        QCOMPARE(failedShown.size(), 1);
        QCOMPARE(failedShown.first().size(), 1);
        QVERIFY(failedShown.first().first().startsWith(QStringLiteral("Missing.so|{MISSING}|Потерянный")));
        QCOMPARE(main->MenuCfg->FailedList.Items(0)->MenuGroup(), 0);
        QVERIFY(!menuItem(*main, {"Справочники", "Потерянный"}));
        QVERIFY(menuItem(*main, {"Справочники", "Клиенты"}));
        // The top-level groups register from the last one in SORT_ORDER: the stock service
        // stays in "Администрирование"; its second entry is reported once and has no menu item.
        QCOMPARE(main->Manager->Count(), 3);
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Error"));
        QVERIFY(dialogs->boxes.first().text.contains(QStringLiteral("Склад")));
        QVERIFY(menuItem(*main, {"Администрирование", "Склад"}));
        QVERIFY(!menuItem(*main, {"Справочники", "Склад"}));
    }

    void iconsOfServices()
    {
        sql(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
                           "VALUES (30, 'С иконкой', 'tmForm.so', '{TM-SERVICE-1}', 1, 0), "
                           "(31, 'Без иконки', 'tmAttrOnly.so', '{TM-SERVICE-2}', 1, 0)"));
        sql(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
                           "VALUES (130, 1, 5, 0, NULL, 30, '1', 10), (131, 1, 5, 0, NULL, 31, '1', 20)"));
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        const TServiceItem *withIcon = main->Manager->FindByGuid(QStringLiteral("{TM-SERVICE-1}"));
        const TServiceItem *without = main->Manager->FindByGuid(QStringLiteral("{TM-SERVICE-2}"));
        QVERIFY(withIcon && without);
        QCOMPARE(without->ImageIndex(), kDefaultServiceImage);
        QVERIFY(withIcon->ImageIndex() > kDefaultServiceImage);
        QVERIFY(!main->ilSmall.Icon(withIcon->ImageIndex()).isNull());
        // A reload starts the image lists again from the design images.
        const int count = main->ilSmall.Count();
        main->acRefreshCfg->trigger();
        QCOMPARE(main->ilSmall.Count(), count);
    }

    void twelveButtonsAndTheirHotKeys()
    {
        TfmMain main;
        std::vector<std::unique_ptr<TServiceItem>> services;
        for (int i = 0; i < 12; ++i) {
            services.push_back(std::make_unique<TServiceItem>(QStringLiteral("tmForm.so"), QStringLiteral("{B-%1}").arg(i)));
            services.back()->SetCreateBtn(true);
            main.Manager->Add(services.back().get());
            services.back()->SetMenuGroup(1);
        }
        BuildToolButtons(*main.Manager, main.tbMain, &main.ilSmall, true);
        main.NumberServiceButtons();
        QStringList hints;
        for (QAction *a : main.tbMain->actions())
            if (ObjectTag(a) == kConfigTag)
                hints << a->toolTip();
        QCOMPARE(hints.size(), 12);
        for (int i = 0; i < 10; ++i)
            QVERIFY2(hints.at(i).endsWith(QStringLiteral(" (Alt+%1)").arg(i)), qPrintable(hints.at(i)));
        QVERIFY(!hints.at(10).contains(QStringLiteral("(Alt+")));
        QVERIFY(!hints.at(11).contains(QStringLiteral("(Alt+")));
        // Buttons are made from the last registered service to the first.
        QVERIFY(main.ClickNumberedButton(0));
        QVERIFY(services.back()->Form() != nullptr);
        QVERIFY(services.front()->Form() == nullptr);
        main.ClearConfiguration();
    }

    void hotKeyWithFewButtons()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        // Two service buttons: Alt+5 clicks nothing, Alt+1 the second one.
        QVERIFY(!main->ClickNumberedButton(5));
        QVERIFY(main->ClickNumberedButton(1));
    }

    void titleFollowsTheActiveService()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        const QString app = main->AppTitle;
        QCOMPARE(main->windowTitle(), app);
        QAction *orders = menuItem(*main, {"Документы", "Заказы", "Заказы"});
        QVERIFY(orders);
        orders->trigger();
        TServiceItem *service = main->Manager->FindByGuid(QStringLiteral("{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}"));
        QVERIFY(service && service->Window());
        QApplication::setActiveWindow(service->Window());
        QTRY_COMPARE(main->windowTitle(), app + QStringLiteral(" - Заказы"));
        QCOMPARE(main->Manager->ActiveItem(), service);
        service->Window()->close();
        QTRY_COMPARE(main->windowTitle(), app);
    }

    void reloadFreesEveryServiceWindow()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        QList<QPointer<QWidget>> windows;
        for (TServiceItem *service : main->Manager->List()) {
            service->SrvAction();
            windows << QPointer<QWidget>(service->Window());
        }
        QCOMPARE(windows.size(), 3);
        for (const auto &w : windows)
            QVERIFY(!w.isNull());
        main->acRefreshCfg->trigger();
        QTRY_VERIFY(std::all_of(windows.begin(), windows.end(), [](const QPointer<QWidget> &w) { return w.isNull(); }));
        QCOMPARE(main->Manager->Count(), 3);
        QVERIFY(main->Manager->ActiveItem() == nullptr);
    }

    void reloadWhileShownKeepsTheMenus()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        main->show();
        const QStringList before = dump(*main);
        main->acRefreshCfg->trigger();
        QVERIFY(main->menuBar()->isVisible());
        QCOMPARE(dump(*main), before);
    }

    void pluginsMenu()
    {
        login(QStringLiteral("ZL_USER"));
        {
            auto main = mainWindow();
            QVERIFY(!main->miPlugins->menuAction()->isVisible());
        }
        QVERIFY(QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/Plugins/Notes.plg"),
                            exeDir->filePath(QStringLiteral("Plugins/Notes.plg"))));
        QFile junk(exeDir->filePath(QStringLiteral("Plugins/Broken.plg")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a library");
        junk.close();
        auto main = mainWindow();
        QVERIFY(main->miPlugins->menuAction()->isVisible());
        const QList<QAction *> items = main->miPlugins->actions();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first()->text(), QStringLiteral("Заметки"));
        // The second file (Notes.plg sorts after Broken.plg) has the tag of the second plug-in.
        QCOMPARE(ObjectTag(items.first()), -2000000002);
        dialogs->onModal = [](QDialog *) { return int(QDialog::Rejected); };
        items.first()->trigger();
        QCOMPARE(dialogs->modalClasses.last(), QStringLiteral("TNotesDialog"));
        // A reload builds the plug-in menu again without doubling it.
        main->acRefreshCfg->trigger();
        QCOMPARE(main->miPlugins->actions().size(), 1);
    }

    void languageMenu()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        main->show();
        QVERIFY(main->miLang->menuAction()->isVisible());
        QAction *russian = nullptr, *english = nullptr;
        for (QAction *a : main->miLang->actions()) {
            if (a->text() == QStringLiteral("Русский"))
                russian = a;
            if (a->text() == QStringLiteral("English"))
                english = a;
        }
        QVERIFY(russian && english);
        // The language in use shows image 1; no item carries a check mark.
        QVERIFY(!russian->isCheckable() && !english->isCheckable());
        QVERIFY(!russian->icon().isNull());
        QVERIFY(english->icon().isNull());
        QCOMPARE(russian->property("langTag").toInt(), 25 * 256);
        // The checked language: no message, both pending languages set to it.
        russian->trigger();
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(TfmMain::PendingAplLang.Id, 25);
        QCOMPARE(TfmMain::PendingRepLang.Id, 25);
        english->trigger();
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Параметр \"English\""));
        QCOMPARE(TfmMain::PendingAplLang.Id, 9);
        QCOMPARE(TfmMain::PendingRepLang.SubId, 0);
        QVERIFY(!english->icon().isNull()); // the choice for the next start: image 0
        QVERIFY(!russian->icon().isNull());
        // Closing stores the pending language as the user's language.
        main->close();
        QCOMPARE(GetComLanguages()->GET_USER_APL_LANG_ID(), 9);
    }

    void serviceListNamesEachModuleOnce()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        QString caption;
        QStringList files;
        const auto realHook = TfmMain::ShowVersionsHook;
        TfmMain::ShowVersionsHook = [&](const QString &c, const QString &, const QStringList &f) {
            caption = c;
            files = f;
        };
        main->acSrvInfo->trigger();
        QCOMPARE(caption, QStringLiteral("Список сервисов текущей конфигурации"));
        QCOMPARE(files, (QStringList{exeDir->filePath("Orders.so"), exeDir->filePath("Stock.so")}));
        main->acPingDll->trigger();
        TfmMain::ShowVersionsHook = realHook;
        QCOMPARE(caption, QStringLiteral("Список всех библиотек"));
        QVERIFY(files.contains(exeDir->filePath("Orders.so")));
        QVERIFY(files.contains(exeDir->filePath("tmForm.so")));
        // The real versions window opens through the dialog service.
        main->acSrvInfo->trigger();
        QCOMPARE(dialogs->modalClasses.last(), QStringLiteral("TShowVer"));
    }

    void changeOfConnection()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        dm->SetConnectPrompt(true);
        dialogs->onModal = [](QDialog *dialog) {
            if (auto *user = dialog->findChild<QLineEdit *>(QStringLiteral("edUsername")))
                user->setText(QStringLiteral("OPERATOR"));
            if (auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("edPassword")))
                password->setText(QStringLiteral("demo"));
            return int(QDialog::Accepted);
        };
        main->acChgUser->trigger();
        QVERIFY(!main->IsAdmin);
        QCOMPARE(topMenus(*main), (QStringList{"Файл", "Документы", "Справочники", "Справка"}));
        QVERIFY(dump(*main).contains(QStringLiteral("STATUS 4|Пользователь: 'Оператор'")));
        QVERIFY(!main->acShowCnfg->isVisible());
    }

    void changeOfSchemeFallsBack()
    {
        login(QStringLiteral("ZL_USER"));
        auto main = mainWindow();
        // TARVEL has no users: the login there fails and the console goes back to ZANDRELL5.
        dialogs->onModal = [](QDialog *dialog) {
            if (auto *schemes = qobject_cast<TShemaForm *>(dialog)) {
                schemes->show();
                QTreeWidgetItem *root = schemes->tvSchemeList->topLevelItem(0);
                for (int i = 0; i < root->childCount(); ++i)
                    if (root->child(i)->text(0) == QStringLiteral("TARVEL"))
                        schemes->tvSchemeList->setCurrentItem(root->child(i));
                schemes->ActivateSelectedScheme();
                return schemes->result();
            }
            return int(QDialog::Accepted);
        };
        AddScheme(QStringLiteral("TARVEL"), false);
        main->acShemaCfg->trigger();
        QCOMPARE(main->SchemeName, QStringLiteral("ZANDRELL5"));
        QCOMPARE(main->PreviousScheme, QStringLiteral("ZANDRELL5"));
        QVERIFY(dm->LoggedIn());
        QVERIFY(dialogs->boxes.last().text.contains(QStringLiteral("не зарегистрирован")));
        QCOMPARE(topMenus(*main), (QStringList{"Файл", "Документы", "Справочники", "Администрирование", "Справка"}));
        QVERIFY(dm->CommonSession->ConnectPrompt());
    }

    void rightsListOfAMenuEntry()
    {
        login(QStringLiteral("ZL_USER"));
        QTreeWidget list;
        TMnuItem item(12, 7, 1, &list);
        item.SetGuid(QStringLiteral("{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}"));
        item.AccessList().AccessProc = dm->spRight;
        item.PrepareRight();
        QCOMPARE(list.topLevelItemCount(), 2);
        QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("Просмотр сумм"));
        QCOMPARE(list.topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(list.topLevelItem(1)->checkState(0), Qt::Unchecked);
        list.topLevelItem(1)->setCheckState(0, Qt::Checked);
        item.GetRightFrom(&list);
        QCOMPARE(item.GetMode(), QStringLiteral("111"));

        TImageList images;
        images.Add(QIcon(QPixmap(16, 16)));
        images.Add(QIcon());
        QTreeWidget withImages;
        item.PrepareRightTo(&withImages, &images);
        QCOMPARE(withImages.topLevelItemCount(), 2);
        QVERIFY(!withImages.topLevelItem(0)->icon(0).isNull());
        QCOMPARE(withImages.topLevelItem(0)->data(0, Qt::CheckStateRole), QVariant());

        TMnuItem noList(12, 7, 1, nullptr);
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, noList.PrepareRightTo(&list));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
