// The login and the main window over a fresh demo database: the connect
// dialog, refusals and configuration faults told in the user's language, the
// forced password change, menus each user sees and rows that cannot be placed,
// tool buttons, icons, plug-ins, languages and reload.
#include "Console/DMIMPL.h"
#include "Console/MainConsoleIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uForcePswChange.h"
#include "Console/uImageList.h"
#include "Console/uMenu.h"
#include "Console/uMenuPreview.h"
#include "Console/uModuleCache.h"
#include "Console/uModuleLibrary.h"
#include "Console/uQtTranslation.h"
#include "Console/uServiceItem.h"
#include "Console/uShemaForm.h"
#include "Console/uUnattended.h"
#include "Console/uWaitFeedback.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/ConnectDialog.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "Source/ComUnits/uComFormLibInt.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/Mnemonics.h"
#include "Ui/ResourceLibrary.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TempExeDir.h"
#include "tests/common/TestServer.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

QList<QStringList> g_failedShown;

const QString kOrders = u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}"_s;

QStringList TopMenus(TfmMain &main)
{
    QStringList names;
    for (QAction *a : main.menuBar()->actions())
        if (a->isVisible())
            names << PlainCaption(a->text());
    return names;
}

QAction *MenuItem(TfmMain &main, const QStringList &path)
{
    QList<QAction *> actions = main.menuBar()->actions();
    QAction *found = nullptr;
    for (const QString &caption : path) {
        found = nullptr;
        for (QAction *a : actions)
            if (PlainCaption(a->text()) == caption)
                found = a;
        if (!found)
            return nullptr;
        if (found->menu())
            actions = found->menu()->actions();
    }
    return found;
}

// The configuration's tool buttons in bar order: their captions (or hints), a separator as an empty string.
QStringList ConfigButtons(TfmMain &main, bool hints = false)
{
    QStringList buttons;
    for (QAction *a : main.tbMain->actions())
        if (ObjectTag(a) == kConfigTag)
            buttons << (a->isSeparator() ? QString() : hints ? a->toolTip() : PlainCaption(a->text()));
    return buttons;
}

// Menu rows written as "G id owner name" (a group) or "S id owner itemId"
// (a service entry), separated by ";"; "-" stands for NULL.
TResultSet menuRows(const QString &text)
{
    TResultSet rows;
    rows.columns = {{"ID_CFG", TFieldType::ftInteger},  {"OWNER", TFieldType::ftInteger},
                    {"IsGroup", TFieldType::ftInteger}, {"MENUNAME", TFieldType::ftString, 50},
                    {"ItemID", TFieldType::ftInteger},  {"ItemMode", TFieldType::ftString, 255}};
    auto value = [](const QString &word) { return word == QLatin1String("-") ? QVariant() : QVariant(word.toInt()); };
    for (const QString &row : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList w = row.simplified().split(QLatin1Char(' '));
        const bool group = w.at(0) == QLatin1String("G");
        rows.rows.append({value(w.at(1)), value(w.at(2)), int(group), group ? QVariant(w.at(3)) : QVariant(),
                          group ? QVariant() : value(w.at(3)), group ? QVariant() : QVariant(u"1"_s)});
    }
    return rows;
}

// Items 1 and 2: the two services of the test module; item 3: a module file that is missing.
TResultSet catalogue()
{
    TResultSet rows;
    rows.columns = {{"ITEMID", TFieldType::ftInteger},           {"SRVNAME", TFieldType::ftString, 50},
                    {"DLLNAME", TFieldType::ftString, 50},       {"GUID", TFieldType::ftString, 50},
                    {"CREATEBTN", TFieldType::ftInteger},        {"ISLANG", TFieldType::ftInteger},
                    {"SOURCE_SRVNAME", TFieldType::ftString, 50}};
    rows.rows = {{1, "One", "tmForm.so", "{TM-SERVICE-1}", 0, 0, "One"},
                 {2, "Two", "tmForm.so", "{TM-SERVICE-2}", 1, 0, "Two"},
                 {3, "Lost", "tmMissing.so", "{LOST}", 0, 0, "Lost"}};
    return rows;
}

// A menu configuration loaded from menu rows over the catalogue.
struct TLoadedMenu {
    TDataSet menu, services;
    TMenuCfg cfg;
    explicit TLoadedMenu(const QString &rows)
    {
        menu.LoadFrom(menuRows(rows));
        services.LoadFrom(catalogue());
        cfg.Load(&menu, &services);
    }
};

// The tree in menu order: "A(One,B(Two))".
QString render(const TKorMenu &group)
{
    QStringList items;
    for (const TKorMenu::TItem &item : group.Items)
        items << (item.service ? item.service->Caption() : render(*item.group));
    return group.Name + QLatin1Char('(') + items.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString render(const TMenuCfg &menu)
{
    QStringList roots;
    for (auto root = menu.Roots.crbegin(); root != menu.Roots.crend(); ++root)
        roots << render(**root);
    return roots.join(QLatin1Char(','));
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir cache; // the module cache of this test alone
    TestServer *server = nullptr;
    TempExeDir *exeDir = nullptr;
    RecordingDialogService *dialogs = nullptr;
    std::unique_ptr<TDM> dm;

    void sql(const QString &statement)
    {
        auto session = server->Connect();
        session->ExecSQL(statement);
        session->Commit();
    }
    TDM &newDM(const QString &user, const QString &password, bool prompt = false)
    {
        dm.reset();
        dm = std::make_unique<TDM>();
        SetConsoleDataModule(dm.get());
        dm->SetServer(u"ZANDRELL"_s);
        dm->SetUserName(user);
        dm->SetPassword(password);
        dm->SetConnectPrompt(prompt);
        return *dm;
    }
    QString lastBox() const { return dialogs->boxes.isEmpty() ? QString() : dialogs->boxes.last().text; }
    std::unique_ptr<TfmMain> mainWindow()
    {
        auto main = std::make_unique<TfmMain>();
        main->SchemeName = u"ZANDRELL5"_s;
        main->PreviousScheme = main->SchemeName;
        main->InitConfiguration();
        return main;
    }
    // The main window after the user's log-in.
    std::unique_ptr<TfmMain> loggedInWindow(const QString &lang = u"-1"_s)
    {
        if (!newDM(u"ZL_USER"_s, u"demo"_s).Login(u"ZANDRELL5"_s, lang))
            QTest::qFail("the log-in failed", __FILE__, __LINE__);
        return mainWindow();
    }
    static QStringList dump(TfmMain &main) { return TUnattendedDriver(&main).Dump(); }
    // Administrators' menu: groups with SORT_ORDER 30, 10, 20 (inserted in that order);
    // the sub-group of B holds the customers, C the stock, A the orders.
    void orderedMenu()
    {
        sql(u"DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"_s);
        sql(u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
            "VALUES (101, 1, 0, 1, 'C', NULL, NULL, 30), (102, 1, 0, 1, 'A', NULL, NULL, 10), "
            "(103, 1, 0, 1, 'B', NULL, NULL, 20), (104, 1, 103, 1, 'B-sub', NULL, NULL, 10), "
            "(105, 1, 104, 0, NULL, 2, '111', 10), (106, 1, 101, 0, NULL, 3, '111', 10), "
            "(107, 1, 102, 0, NULL, 1, '111', 10)"_s);
    }

private slots:
    void initTestCase()
    {
        qputenv("ZANDRELL_ATOM_NAME", "LUM_ATOM_mainwindow");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        SetModuleProbeProgram(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/KorModuleProbe"_s);
        TestServer::BuildTemplate();
    }
    void init()
    {
        server = new TestServer;
        exeDir = new TempExeDir;
        SetModuleFolder(exeDir->path());
        // The installation's modules and the test modules, side by side.
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        const QString modules = qEnvironmentVariable("ZANDRELL_BINARY_DIR") + u"/tests/modules"_s;
        for (const QString &from : {dist, modules})
            for (const QString &f : QDir(from).entryList({u"*.so"_s}, QDir::Files))
                QFile::link(from + QLatin1Char('/') + f, exeDir->filePath(f));
        QDir().mkpath(exeDir->filePath(u"Plugins"_s));
        dialogs = new RecordingDialogService;
        g_failedShown.clear();
        TMenuCfg::ShowFailed = [](const TBaseServiceList &failed) {
            QStringList rows;
            for (const auto &s : failed)
                rows << s->Caption() + u": "_s + s->Description() + u'|' + s->DllName() + u'|' + s->Guid();
            g_failedShown << rows;
            if (!failed.IsEmpty() && failed.Items(0)->Description().isEmpty())
                qWarning("a failed service without its reason");
        };
    }
    void cleanup()
    {
        SetConsoleLangId(0);
        ReleaseConsoleTexts(); // as the program's end does: the next login translates anew
        UseQtTranslation(25);
        dm.reset();
        delete dialogs;
        SetModuleFolder(QString());
        delete exeDir;
        delete server;
    }

    void successfulLogin()
    {
        TDM &d = newDM(u"  zl_user "_s, u"demo"_s);
        QVERIFY(d.Login(u"zandrell5"_s, u"-1"_s));
        QVERIFY(d.LoggedIn() && d.IsSysDba);
        QVERIFY(dialogs->boxes.isEmpty());
        // The values of the successful connect become the next run's defaults; the password never does.
        QCOMPARE(ReadUser(), u"zl_user"_s);
        QVERIFY(!exeDir->read(u"Console.ini"_s).contains("demo"));
    }

    // The connect dialog comes at each attempt, offering the server aliases and keeping what was given: a wrong
    // password is told and asked for again, three times in all; a corrected one gets in; a cancel ends silently.
    void connectDialog_data()
    {
        QTest::addColumn<int>("rightAt"); // the attempt whose dialog gets the right password; 0: none; -1: cancel
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("retriesLeft");
        QTest::addColumn<QStringList>("boxes");
        const QString wrong = u"Некорректный пароль/логин"_s;
        QTest::newRow("three wrong passwords") << 0 << 3 << 0 << QStringList{wrong, wrong, "\"EDAError\":" + wrong};
        QTest::newRow("corrected in the second dialog") << 2 << 2 << 2 << QStringList{wrong};
        QTest::newRow("cancelled") << -1 << 1 << 3 << QStringList();
    }
    void connectDialog()
    {
        QFETCH(int, rightAt);
        QFETCH(int, shown);
        QFETCH(int, retriesLeft);
        QFETCH(QStringList, boxes);
        TDM &d = newDM(u"ZL_USER"_s, u"typo"_s, true);
        int attempt = 0;
        dialogs->onModal = [&](QDialog *dialog) {
            [&] {
                QCOMPARE(dialog->findChild<QLineEdit *>(u"edUsername"_s)->text(), u"ZL_USER"_s);
                QCOMPARE(dialog->findChild<QComboBox *>(u"edServer"_s)->count(), 2);
            }();
            if (++attempt == rightAt)
                dialog->findChild<QLineEdit *>(u"edPassword"_s)->setText(u"demo"_s);
            return int(rightAt < 0 ? QDialog::Rejected : QDialog::Accepted);
        };
        QCOMPARE(d.Login(u"ZANDRELL5"_s, u"-1"_s), rightAt > 0);
        QCOMPARE(d.LoggedIn(), rightAt > 0);
        QCOMPARE(attempt, shown);
        QCOMPARE(d.RetriesLeft, retriesLeft);
        QCOMPARE(dialogs->texts(), boxes);
    }

    // A refused login shows one readable box, captioned with the scheme, and leaves the user logged out.
    void refusedLogins_data()
    {
        // A statement run first, or "servers:" and the text of Servers.ini, or "empty:" and a file of the server
        // that is emptied.
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("consoleIni");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("text"); // %1: the path of Servers.ini, %2: the server's folder
        const QString notRegistered = u"Пользователь \"%1\" не зарегистрирован"_s;
        const auto row = [](const char *name, const QString &change, const QString &user, const QString &password,
                            const QString &scheme, const QString &text, const QByteArray &consoleIni = {}) {
            QTest::newRow(name) << change << consoleIni << user << password << scheme << text;
        };
        row("empty password", "", "ZL_USER", "", "ZANDRELL5", "\"EDAError\":Пароль не введен");
        // The scheme name is a quoted literal of the statement: a quote in it changes nothing.
        row("quote in the scheme", "", "ZL_USER", "demo", "ZANDRELL5') OR ('1'='1", notRegistered.arg("ZL_USER"));
        row("user not in the scheme", "DELETE FROM ZANDRELL5.SYSUSER WHERE LOGIN = 'OPERATOR'", "OPERATOR", "demo",
            "ZANDRELL5", notRegistered.arg("OPERATOR"));
        row("no access group", "UPDATE ZANDRELL5.SYSUSER SET ACCESSID = NULL WHERE LOGIN = 'OPERATOR'", "OPERATOR",
            "demo", "ZANDRELL5",
            "Ошибка с сообщением: \"Идентификатор доступа \"AccessID = 0\" не существует в \"V_ACCESS\"\r\n"
            "Возможно пользователь не зарегистрирован\"");
        row("damaged Servers.ini, in English", "servers:[ZANDRELL]\nPath=Db/ZANDRELL\n\x01\x02\x03", "ZL_USER", "demo",
            "ZANDRELL5",
            "Server is not found\r\nThe server list \"%1\" is damaged (line 3)\r\n\r\n\"EDAError\": Ora-Error: 12154",
            "[START]\nLangID=9\n");
        row("empty accounts database", "empty:accounts.db", "ZL_USER", "demo", "ZANDRELL5",
            "\"EDAError\":ORA-01157: Файл базы данных \"%2/accounts.db\" пуст");
        // A scheme the server cannot offer names its file and why, not an unknown user.
        row("empty scheme file", "empty:ZANDRELL5.db", "ZL_USER", "demo", "ZANDRELL5",
            "Файл базы данных \"%2/ZANDRELL5.db\" пуст");
        row("no scheme file", "", "ZL_USER", "demo", "NOSUCH", "Файл базы данных \"%2/NOSUCH.db\" не найден");
        row("scheme older than the console", "UPDATE ZANDRELL5.SCHEME_VERSION SET VERSION = 0", "ZL_USER", "demo",
            "ZANDRELL5",
            u"Схема \"ZANDRELL5\" устарела (версия 0), консоли нужна версия %1 или новее: обновите схему на сервере"_s
                .arg(TDM::kSchemeVersionNeeded));
    }
    void refusedLogins()
    {
        QFETCH(QString, change);
        QFETCH(QByteArray, consoleIni);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, scheme);
        QFETCH(QString, text);
        exeDir->write(u"Console.ini"_s, consoleIni);
        if (change.startsWith(u"empty:"_s)) {
            QFile(server->Folder() + u'/' + change.mid(6)).resize(0);
        } else if (change.startsWith(u"servers:"_s)) {
            QFile f(server->IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(change.mid(8).toLatin1()) > 0);
        } else if (!change.isEmpty()) {
            sql(change);
        }
        TDM &d = newDM(user, password);
        QVERIFY(!d.Login(scheme, u"-1"_s));
        QVERIFY(!d.LoggedIn());
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(lastBox(), QString(text).replace(u"%1"_s, server->IniPath()).replace(u"%2"_s, server->Folder()));
        QVERIFY2(dialogs->boxes.last().caption.contains(u'"' + scheme + u'"'),
                 qPrintable(dialogs->boxes.last().caption));
    }

    // The log-in needs nothing of the capture scheme: a damaged TARVEL.db costs it nothing.
    void loginGoesOnWithADamagedCaptureScheme()
    {
        QFile(server->Folder() + u"/TARVEL.db"_s).resize(100);
        TDM &d = newDM(u"OPERATOR"_s, u"demo"_s);
        QVERIFY(d.Login(u"ZANDRELL5"_s, u"9"_s));
        QVERIFY2(dialogs->boxes.isEmpty(), qPrintable(lastBox()));
        QCOMPARE(Scalar(d.CommonSession, u"SELECT count(*) FROM ZANDRELL5.USER_LANGS WHERE APL_LANG_ID = 9"_s).toInt(),
                 1);
    }

    // A first log-in asks for a new password; a refused one is told and asked for again, a cancel ends
    // the log-in silently with the flag kept; an accepted one clears it. With encode on, the account's
    // password is what the log-in sends: wrapped.
    void forcedPasswordChange_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::newRow("plain passwords") << false;
        QTest::newRow("wrapped passwords") << true;
    }
    void forcedPasswordChange()
    {
        QFETCH(bool, encode);
        if (encode) {
            TSqliteBackend admin;
            admin.OpenAsAdministrator(server->Folder(), false);
            TOraParams none;
            admin.Execute(u"ALTER USER NEWBIE IDENTIFIED BY \"~demo~\""_s, none);
            admin.Commit();
            exeDir->write(u"Console.ini"_s, "[CONNECTION]\nencode=1\n");
        }
        // Refused in turn: both empty, differing in letter case, the old password;
        // then cancelled, or given the new one.
        QString newPassword;
        dialogs->onModal = [&newPassword](QDialog *dialog) {
            auto *form = qobject_cast<TfmForcePswChange *>(dialog);
            for (const auto &[one, two] : {std::pair{"", ""}, std::pair{"One", "one"}, std::pair{"demo", "demo"}}) {
                form->edPass1->setText(QLatin1String(one));
                form->edPass2->setText(QLatin1String(two));
                form->accept();
            }
            form->edPass1->setText(newPassword);
            form->edPass2->setText(newPassword);
            newPassword.isEmpty() ? form->reject() : form->accept();
            return form->result();
        };
        const auto logIn = [this](const QString &password) {
            dialogs->clear();
            return newDM(u"NEWBIE"_s, password).Login(u"ZANDRELL5"_s, u"-1"_s);
        };
        QVERIFY(!logIn(u"demo"_s));
        QCOMPARE(dialogs->texts(), (QStringList{"Не задан пароль", "Пароль не соответствует подтверждению",
                                                "Новый пароль идентичен старому."}));
        newPassword = u"Better9"_s;
        QVERIFY(logIn(u"demo"_s));
        QCOMPARE(dialogs->modalClasses, QStringList{"TfmForcePswChange"});
        QVERIFY(logIn(u"Better9"_s));
        QVERIFY(dialogs->modalClasses.isEmpty() && dialogs->boxes.isEmpty());
    }

    void userLanguagesOnlyFromNumbers()
    {
        TDM &d = newDM(u"ZL_USER"_s, u"demo"_s);
        QVERIFY(d.Login(u"ZANDRELL5"_s, u"9"_s));
        QCOMPARE(GetComLanguages()->GET_USER_APL_LANG_ID(), 9);
        QCOMPARE(GetComLanguages()->GET_USER_REP_LANG_ID(), 9);
        // A value that is no number never reaches the statement: the languages stay, the users too.
        d.SetUserLanguages(u"25, 0); DELETE FROM ZANDRELL5.SYSUSER; --"_s);
        QCOMPARE(GetComLanguages()->GET_USER_APL_LANG_ID(), 9);
        QCOMPARE(Scalar(d.CommonSession, u"SELECT count(*) FROM ZANDRELL5.SYSUSER"_s).toInt(), 4);
        d.SetUserLanguages(u"25"_s);
        QCOMPARE(Scalar(d.CommonSession,
                        u"SELECT APL_LANG_ID || '/' || REP_LANG_ID FROM ZANDRELL5.USER_LANGS WHERE LOGIN = 'ZL_USER'"_s)
                     .toString(),
                 u"25/25"_s);
    }

    // The wait cursor at once, the text in the status bar from the second second on, both gone afterwards.
    void waitForAWriteLockIsShown()
    {
        QLabel panel(u"before"_s);
        TDbWaitFeedback feedback;
        feedback.StatusPanel = &panel;
        feedback.WaitStarted();
        feedback.WaitGoesOn(1999);
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(panel.text(), u"before"_s);
        feedback.WaitGoesOn(2000);
        QCOMPARE(panel.text(), u' ' + TDbWaitFeedback::WaitText());
        feedback.WaitEnded();
        QCOMPARE(panel.text(), u"before"_s);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // Work of more than half a second since the event loop last ran shows the
    // wait cursor until the event loop runs again; shorter work shows nothing.
    void longWorkShowsTheWaitCursor()
    {
        TDbWaitFeedback feedback;
        auto goesOn = [] {
            for (int row = 0; row < 1000; ++row)
                DbWorkGoesOn();
        };
        {
            const TDbWork first;
            goesOn();
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
            QTest::qSleep(TDbWaitFeedback::kWorkCursorAfterMs / 2 + 50);
        }
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        {
            // Without the event loop between them, the second piece of work counts on from the first.
            const TDbWork second;
            QTest::qSleep(TDbWaitFeedback::kWorkCursorAfterMs / 2 + 50);
            goesOn();
            QVERIFY(QGuiApplication::overrideCursor());
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QVERIFY(QGuiApplication::overrideCursor());
        QTRY_COMPARE(QGuiApplication::overrideCursor(), nullptr);
        {
            // After the event loop has run, work starts counting afresh.
            const TDbWork third;
            goesOn();
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        }
    }

    // Logging in again never leaves the language module of the previous login behind,
    // also when the scheme of the new login has no language pack any more.
    void languageModuleOfThePreviousLogin()
    {
        TDM &d = newDM(u"ZL_USER"_s, u"demo"_s);
        // English as the user's language: the pack's texts replace the built-in Russian ones.
        QVERIFY(d.Login(u"ZANDRELL5"_s, u"9"_s));
        const QPointer<TLanguagesDM> first = GetComLanguages();
        QVERIFY(first);
        QCOMPARE(TranslateAplText(u"rstrUser"_s), u"User"_s);
        sql(u"DELETE FROM ZANDRELL5.SERVER_OBJECTS WHERE OBJECT_NAME = 'LANG_PACK'"_s);
        for (int login = 0; login < 3; ++login)
            QVERIFY(d.Login(u"ZANDRELL5"_s, u"-1"_s));
        QVERIFY(!first);
        QVERIFY(d.findChildren<TLanguagesDM *>().isEmpty() && !GetComLanguages());
        QCOMPARE(TranslateAplText(u"rstrUser"_s), u"Пользователь"_s);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void rowsThatCannotBePlaced_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("tree");
        // The not-loaded list, shown once: caption and a part of the reason per entry.
        QTest::addColumn<QStringList>("failed");

        const auto row = [](const char *name, const QString &rows, const QString &tree, const QStringList &failed) {
            QTest::newRow(name) << rows << tree << failed;
        };
        row("sound menu", "G 10 0 A; S 11 10 1; G 12 10 B; S 13 12 2; G 20 0 C", "A(One,B(Two)),C()", {});
        row("group numbered 0", "G 0 0 Zero; G 10 0 A; S 11 10 1", "A(One)", {"Zero: ", "ID_CFG is 0"});
        row("group numbered NULL", "G - 0 NoKey; G 10 0 A; S 11 10 1", "A(One)", {"NoKey: ", "no ID_CFG"});
        row("group inside itself", "G 10 0 A; G 10 10 Again; S 11 10 1", "A(One)", {"Again: ", "group it lies in"});
        row("cycle of groups", "G 10 0 A; G 20 21 C1; G 21 20 C2; S 22 21 1", "A()",
            {"C1: ", "20, 21", "C2: ", "20, 21"});
        row("owner that is no group", "G 10 0 A; S 11 99 1; G 30 13 Sub; S 13 10 2", "A(Two)",
            {"One: ", "OWNER 99", "Sub: ", "OWNER 13"});
        row("group number used twice", "G 10 0 A; G 10 0 B; S 11 10 1", "A(One)", {"B: ", "used by another"});
        row("service not in the catalogue", "G 10 0 A; S 11 10 7; S 12 10 1", "A(One)",
            {"ITEMID 7: ", "not in the service catalogue"});
        row("module that cannot be loaded", "G 10 0 A; S 11 10 3; S 12 10 3; S 13 10 1", "A(One)",
            {"Lost: ", "tmMissing.so", "Lost: ", "tmMissing.so"});
    }

    void rowsThatCannotBePlaced()
    {
        QFETCH(QString, rows);
        QFETCH(QString, tree);
        QFETCH(QStringList, failed);
        QCOMPARE(render(TLoadedMenu(rows).cfg), tree);
        QCOMPARE(g_failedShown.size(), failed.isEmpty() ? 0 : 1);
        for (int i = 0; i < failed.size(); i += 2) {
            const QString entry = g_failedShown.first().value(i / 2);
            QVERIFY2(entry.startsWith(failed.at(i)) && entry.contains(failed.at(i + 1)), qPrintable(entry));
        }
        QCOMPARE(g_failedShown.value(0).size(), failed.size() / 2);
    }

    // A chain of groups deeper than the menu may be keeps its first levels; the
    // group below is named once, what it holds goes with it; a chain of 30,000 levels is read
    // without recursing through it.
    void menuDeeperThanItMayBe()
    {
        const int depth = 30000;
        QString rows = u"G 1 0 L1"_s;
        for (int level = 2; level <= depth; ++level)
            rows += u"; G %1 %2 L%1"_s.arg(level).arg(level - 1);
        rows += u"; S 100000 %1 1"_s.arg(depth);
        TLoadedMenu loaded(rows);
        int levels = 0;
        for (const TKorMenu *group = loaded.cfg.Items(0); group;
             group = group->SubMenus.empty() ? nullptr : group->SubMenus.front().get())
            ++levels;
        QCOMPARE(levels, kMaxMenuDepth);
        QCOMPARE(g_failedShown.size(), 1);
        QCOMPARE(g_failedShown.first().size(), 1);
        QVERIFY2(g_failedShown.first().first().startsWith(u"L%1: "_s.arg(kMaxMenuDepth + 1)),
                 qPrintable(g_failedShown.first().first()));
        QMenuBar bar;
        bar.addMenu(u"Файл"_s);
        loaded.cfg.BuildMainMenu(&bar, nullptr);
    }

    void serviceAtTheTopLevelEndsTheBuild()
    {
        QVERIFY_THROWS_EXCEPTION(Exception, (void)TLoadedMenu(u"G 10 0 A; S 11 0 1"_s));
    }

    // Captions are data: an "&" in a group's or a service's name shows as typed in the menu, on the
    // button and in the unattended dump, never as a mnemonic.
    void ampersandsShowAsTyped()
    {
        sql(u"UPDATE ZANDRELL5.MENUCFG SET MENUNAME = 'R&D' WHERE ID_CFG = 1"_s);
        sql(u"UPDATE ZANDRELL5.SRVITEMS SET SRVNAME = 'Счета & акты' WHERE ITEMID = 1"_s);
        auto main = loggedInWindow();
        QVERIFY(MenuItem(*main, {"R&D", "Заказы", "Счета & акты"}));
        QVERIFY(dump(*main).contains(u"MENU R&D"_s));
        const QStringList buttons = ConfigButtons(*main);
        QVERIFY2(buttons.contains(u"Счета & акты"_s), qPrintable(buttons.join(u'|')));
    }

    // The menu editor's preview of an access group is the menu, the rights strings and the tool bar
    // that a user of that group gets at log-in.
    void previewIsWhatTheUserGets()
    {
        orderedMenu();
        auto main = loggedInWindow();
        // What the user gets: every service's caption path and rights string, the buttons in bar order.
        QStringList rights;
        std::function<void(const QList<QAction *> &, const QString &)> walk = [&](const QList<QAction *> &actions,
                                                                                  const QString &path) {
            for (QAction *a : actions) {
                if (a->isSeparator() || (path.isEmpty() && ObjectTag(a) != kConfigTag))
                    continue;
                const QString itemPath =
                    path.isEmpty() ? PlainCaption(a->text()) : path + u'/' + PlainCaption(a->text());
                if (a->menu())
                    walk(a->menu()->actions(), itemPath);
                else if (const TServiceItem *service = MenuItemService(a))
                    rights << itemPath + u'|' + service->GetMode();
            }
        };
        walk(main->menuBar()->actions(), QString());

        // The preview reads the views as that user.
        auto other = server->Connect(u"ZL_USER"_s);
        TOraQuery menu, catalogue;
        for (auto [query, text] : {std::pair{&menu, u"V_MENUCFG WHERE ACCESSID = 1 ORDER BY SORT_ORDER"_s},
                                   std::pair{&catalogue, u"V_SRVITEMS"_s}}) {
            query->SetSession(other.get());
            query->SetSQLText(u"SELECT * FROM ZANDRELL5."_s + text);
            query->Open();
        }
        const TMenuPlan plan = PlanMenu(ReadMenuRows(&menu), ReadCatalogue(&catalogue), ReadCreateSeps());
        QVERIFY(!rights.isEmpty());
        QCOMPARE(plan.rights, rights);
        QCOMPARE(plan.buttons, ConfigButtons(*main));
    }

    void menuOrderGroupNumbersAndButtons()
    {
        orderedMenu();
        {
            auto main = loggedInWindow();
            QCOMPARE(TopMenus(*main), (QStringList{"Файл", "A", "B", "C", "Окна", "Справка"}));
            QCOMPARE(main->MenuCfg->Count(), 3);
            QCOMPARE(main->MenuCfg->Items(0)->Name, u"C"_s);
            auto groupOf = [&](const QString &caption) {
                for (TServiceItem *s : main->Manager->List())
                    if (s->Caption() == caption)
                        return s->MenuGroup();
                return -99;
            };
            // A service in a sub-group carries its top group's number.
            QCOMPARE((QList<int>{groupOf(u"Склад"_s), groupOf(u"Клиенты"_s), groupOf(u"Заказы"_s)}),
                     (QList<int>{1, 2, 3}));
            QVERIFY(MenuItem(*main, {"B", "B-sub", "Клиенты"}));
            // Buttons in groups 1 (stock) and 3 (orders) only: one separator before group 3.
            const QStringList buttons = ConfigButtons(*main);
            QCOMPARE(buttons.size(), 3);
            QCOMPARE(buttons.indexOf(QString()), 1);
        }
        WriteCreateSeps(false);
        QVERIFY(!ConfigButtons(*mainWindow()).contains(QString()));
    }

    void serviceInTwoGroups()
    {
        sql(u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
            "VALUES (121, 1, 5, 0, NULL, 3, '111', 10)"_s);
        auto main = loggedInWindow();
        // The top-level groups register from the last one in SORT_ORDER: the stock service
        // stays in "Администрирование"; its second entry is reported once and has no menu item.
        QCOMPARE(main->Manager->Count(), 5);
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.first().text.contains(u"Склад"_s));
        QVERIFY(MenuItem(*main, {"Администрирование", "Склад"}));
        QVERIFY(!MenuItem(*main, {"Справочники", "Склад"}));
    }

    void iconsOfServices()
    {
        sql(u"INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
            "VALUES (30, 'С иконкой', 'tmForm.so', '{TM-SERVICE-1}', 1, 0), (31, 'Без иконки', 'tmAttrOnly.so', '{TM-SERVICE-2}', 1, 0)"_s);
        sql(u"INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
            "VALUES (130, 1, 5, 0, NULL, 30, '1', 10), (131, 1, 5, 0, NULL, 31, '1', 20)"_s);
        auto main = loggedInWindow();
        const TServiceItem *withIcon = main->Manager->FindByGuid(u"{TM-SERVICE-1}"_s);
        const TServiceItem *without = main->Manager->FindByGuid(u"{TM-SERVICE-2}"_s);
        QVERIFY(withIcon && without);
        QCOMPARE(without->ImageIndex(), kDefaultServiceImage);
        QVERIFY(withIcon->ImageIndex() > kDefaultServiceImage);
        QVERIFY(!main->ilSmall.Icon(withIcon->ImageIndex()).isNull());
        // A reload starts the image lists again from the design images, with the same icons;
        // it reads no module: neither the module reader runs nor a module is loaded.
        const int count = main->ilSmall.Count();
        const qint64 iconKey = main->ilSmall.Icon(withIcon->ImageIndex()).cacheKey();
        const int readers = ModuleCache().ReaderStarts();
        main->acRefreshCfg->trigger();
        QCOMPARE(main->ilSmall.Count(), count);
        QCOMPARE(main->ilSmall.Icon(main->Manager->FindByGuid(u"{TM-SERVICE-1}"_s)->ImageIndex()).cacheKey(), iconKey);
        QCOMPARE(ModuleCache().ReaderStarts(), readers);
        const QByteArray module = QFile::encodeName(exeDir->filePath(u"tmForm.so"_s));
        QVERIFY(!dlopen(module.constData(), RTLD_NOW | RTLD_NOLOAD));
    }

    void twelveButtonsAndTheirHotKeys()
    {
        TfmMain main;
        std::vector<std::unique_ptr<TServiceItem>> services;
        for (int i = 0; i < 12; ++i) {
            services.push_back(std::make_unique<TServiceItem>(u"tmForm.so"_s, u"{B-%1}"_s.arg(i)));
            services.back()->SetCreateBtn(true);
            main.Manager->Add(services.back().get());
            services.back()->SetMenuGroup(1);
        }
        BuildToolButtons(*main.Manager, main.tbMain, &main.ilSmall, true);
        main.NumberServiceButtons();
        const QStringList hints = ConfigButtons(main, true);
        QCOMPARE(hints.size(), 12);
        for (int i = 0; i < 10; ++i)
            QVERIFY2(hints.at(i).endsWith(u" (Alt+%1)"_s.arg(i)), qPrintable(hints.at(i)));
        QVERIFY(!hints.at(10).contains(u"(Alt+"_s) && !hints.at(11).contains(u"(Alt+"_s));
        QVERIFY(!main.ClickNumberedButton(10));
        // Buttons are made from the last registered service to the first.
        QVERIFY(main.ClickNumberedButton(0));
        QVERIFY(services.back()->Form() && !services.front()->Form());
        main.ClearConfiguration();
    }

    // Ctrl+F, Ctrl+S, Ctrl+R and Ctrl+A pressed in a service window run its own
    // grid actions, and pressed in the main window reach the active service:
    // each key has one owner. The main window's title names the active service.
    void shortCutsOfTheServiceWindowAndTheMainWindow()
    {
        QVERIFY(LoadResourceLibrary(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/LumRes.so"_s));
        SetProgramFolderForTests(exeDir->path()); // the form library beside the program
        const auto back = qScopeGuard([] {
            ComFormLibs::FreeLibrary();
            SetProgramFolderForTests(QString());
            FreeResourceLibrary();
        });
        auto main = loggedInWindow();
        const QString app = main->AppTitle;
        main->show();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        MenuItem(*main, {"Документы", "Заказы", "Заказы"})->trigger();
        TServiceItem *service = main->Manager->FindByGuid(kOrders);
        QWidget *window = service->Window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTRY_COMPARE(main->windowTitle(), app + u" - Заказы"_s);
        auto *grid = window->findChild<QAbstractItemView *>(u"grdOrders"_s);
        grid->setFocus();
        for (QWidget *target : {static_cast<QWidget *>(grid), static_cast<QWidget *>(main.get())}) {
            target->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(target->window()));
            for (const auto &[key, dialog] :
                 {std::pair{Qt::Key_F, "TFindDlg"}, std::pair{Qt::Key_S, "TSortDlg"},
                  std::pair{Qt::Key_R, "TQRPreviewDlg"}, std::pair{Qt::Key_A, "TFilterDlg"}}) {
                dialogs->clear();
                QTest::keyClick(target, key, Qt::ControlModifier);
                QCOMPARE(dialogs->modalClasses, QStringList{QLatin1String(dialog)});
                QVERIFY(dialogs->texts().isEmpty());
            }
        }
        window->close();
        QTRY_COMPARE(main->windowTitle(), app);
        main->ClearConfiguration();
    }
    // In both languages every item of every menu has a mnemonic of its own there.
    void everyMenuItemHasAUniqueMnemonic_data()
    {
        QTest::addColumn<int>("langId");
        QTest::newRow("English") << 9;
        QTest::newRow("Russian") << 25;
    }
    void everyMenuItemHasAUniqueMnemonic()
    {
        QFETCH(int, langId);
        QDir().mkpath(exeDir->filePath(u"Res"_s));
        for (const QString &f : {u"Res/Langs.ini"_s, u"Res/En.ini"_s})
            QFile::copy(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u'/' + f, exeDir->filePath(f));
        auto main = loggedInWindow(QString::number(langId));
        QStringList wrong;
        int seen = 0;
        std::function<void(const QList<QAction *> &, const QString &)> check = [&](const QList<QAction *> &items,
                                                                                   const QString &menu) {
            QString taken;
            for (QAction *action : items) {
                if (action->isSeparator() || !action->isVisible())
                    continue;
                ++seen;
                const QChar letter = MnemonicOf(action->text());
                if (letter.isNull() || taken.contains(letter))
                    wrong << menu + u'/' + action->text();
                taken += letter;
                if (action->menu())
                    check(action->menu()->actions(), menu + u'/' + WithoutMnemonic(action->text()));
            }
        };
        check(main->menuBar()->actions(), QString());
        QVERIFY2(seen > 10 && wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void changeOfSchemeFallsBack()
    {
        auto main = loggedInWindow();
        // TARVEL has no users: the login there fails and the console goes back to ZANDRELL5.
        dialogs->onModal = [](QDialog *dialog) {
            auto *schemes = qobject_cast<TShemaForm *>(dialog);
            if (!schemes)
                return int(QDialog::Accepted);
            schemes->show();
            QTreeWidgetItem *root = schemes->tvSchemeList->topLevelItem(0);
            for (int i = 0; i < root->childCount(); ++i)
                if (root->child(i)->text(0) == u"TARVEL"_s)
                    schemes->tvSchemeList->setCurrentItem(root->child(i));
            schemes->ActivateSelectedScheme();
            return schemes->result();
        };
        AddScheme(u"TARVEL"_s, false);
        main->acShemaCfg->trigger();
        QCOMPARE(main->SchemeName, u"ZANDRELL5"_s);
        QVERIFY(dm->LoggedIn());
        QVERIFY(lastBox().contains(u"не зарегистрирован"_s));
        QCOMPARE(TopMenus(*main).size(), 6);
        // Console.ini keeps the previous scheme active.
        TIniFile ini(exeDir->filePath(u"Console.ini"_s));
        QCOMPARE(ini.ReadString("SCHEMES", "ZANDRELL5", "missing") + ini.ReadString("SCHEMES", "TARVEL", "missing"),
                 u"10"_s);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
