// The whole login against a fresh demo database: the connect dialog and its
// retries, the readable error texts (configuration faults in the user's
// language), the scheme and user checks, the access group, the forced password
// change (also under Console.ini [CONNECTION] encode), the wait for a write
// lock, and the language module of a login again.
#include "ConnectDialog.h"
#include "DMIMPL.h"
#include "Field.h"
#include "OraQuery.h"
#include "OraSession.h"
#include "ResourcePack.h"
#include "RecordingDialogService.h"
#include "SqliteBackend.h"
#include "TempExeDir.h"
#include "TestServer.h"
#include "uConsoleCfg.h"
#include "uForcePswChange.h"
#include "uWaitFeedback.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

class TestLogin : public QObject {
    Q_OBJECT

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
        dm = std::make_unique<TDM>();
        SetConsoleDataModule(dm.get());
        dm->SetServer(QStringLiteral("ZANDRELL"));
        dm->SetUserName(user);
        dm->SetPassword(password);
        dm->SetConnectPrompt(prompt);
        return *dm;
    }
    QString lastBox() const { return dialogs->boxes.isEmpty() ? QString() : dialogs->boxes.last().text; }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }
    void init()
    {
        server = new TestServer;
        exeDir = new TempExeDir;
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        SetConsoleLangId(0);
        dm.reset();
        delete dialogs;
        delete exeDir;
        delete server;
    }

    void successfulLogin()
    {
        TDM &d = newDM(QStringLiteral("  zl_user "), QStringLiteral("demo"));
        QVERIFY(d.Login(QStringLiteral("zandrell5"), QStringLiteral("-1")));
        QVERIFY(d.LoggedIn());
        QVERIFY(d.IsSysDba);
        QVERIFY(d.HasAccessList);
        QCOMPARE(d.AccessListId, 1.0);
        QCOMPARE(d.AccessListName, QStringLiteral("Администраторы"));
        QCOMPARE(d.CurrentUserName, QStringLiteral("Администратор системы"));
        QVERIFY(dialogs->boxes.isEmpty());
        // The values of the successful connect become the next run's defaults; the password never does.
        QCOMPARE(ReadUser(), QStringLiteral("zl_user"));
        QCOMPARE(ReadServer(), QStringLiteral("ZANDRELL"));
        QVERIFY(exeDir->read(QStringLiteral("Console.ini")).contains("user=zl_user"));
        QVERIFY(!exeDir->read(QStringLiteral("Console.ini")).contains("demo"));
        QVERIFY(d.V_MENUCFG->Active());
        QVERIFY(d.V_MENUCFG->RecordCount() > 0);
        QVERIFY(GetComLanguages() != nullptr);
        QVERIFY(d.ConsoleTextsTranslated);
    }

    void wrongPasswordCountsTheRetriesDown()
    {
        TDM &d = newDM(QStringLiteral("ZL_USER"), QStringLiteral("typo"), true);
        int shown = 0;
        dialogs->onModal = [&](QDialog *dialog) {
            ++shown;
            // The dialog offers the server aliases and keeps what was given.
            [&] {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Соединение по схеме \"ZANDRELL5\""));
                QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("edUsername"))->text(), QStringLiteral("ZL_USER"));
                auto *servers = dialog->findChild<QComboBox *>(QStringLiteral("edServer"));
                QCOMPARE(servers->count(), 2);
                QCOMPARE(servers->itemText(1), QStringLiteral("NOFILES"));
            }();
            return int(QDialog::Accepted);
        };
        QVERIFY(!d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(shown, 3);
        QCOMPARE(d.RetriesLeft, 0);
        QVERIFY(!d.LoggedIn());
        QCOMPARE(dialogs->boxes.size(), 3);
        QCOMPARE(dialogs->boxes.at(0).text, QStringLiteral("Некорректный пароль/логин"));
        QCOMPARE(lastBox(), QStringLiteral("\"EDAError\":Некорректный пароль/логин"));
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Соединение по схеме \"ZANDRELL5\""));
        QCOMPARE(dialogs->boxes.last().flags, 0u);
    }

    void typoCorrectedInTheDialog()
    {
        TDM &d = newDM(QStringLiteral("ZL_USER"), QStringLiteral("typo"), true);
        int attempt = 0;
        dialogs->onModal = [&](QDialog *dialog) {
            if (++attempt == 2)
                dialog->findChild<QLineEdit *>(QStringLiteral("edPassword"))->setText(QStringLiteral("demo"));
            return int(QDialog::Accepted);
        };
        QVERIFY(d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(attempt, 2);
        QCOMPARE(d.RetriesLeft, 2);
    }

    void cancelInTheDialogIsSilent()
    {
        TDM &d = newDM(QStringLiteral("ZL_USER"), QString(), true);
        QVERIFY(!d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(dialogs->modalClasses.size(), 1);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    // A refused login shows one readable box, captioned with the scheme, and leaves the user logged out.
    void refusedLogins_data()
    {
        // A statement run first, or "servers:" and the text of Servers.ini ("servers:" alone: no file),
        // or "accounts": an empty accounts database.
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("consoleIni");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("text"); // %1: the path of Servers.ini, %2: of the accounts database
        const QString notRegistered = u"Пользователь \"%1\" не зарегистрирован"_s;
        const QByteArray english("[START]\nLangID=9\n");
        QTest::newRow("empty password") << "" << QByteArray() << "ZL_USER" << "" << "ZANDRELL5" << "\"EDAError\":Пароль не введен";
        QTest::newRow("locked") << "" << QByteArray() << "LOCKED" << "demo" << "ZANDRELL5"
                                << "\"EDAError\":Ora-Error: 28000 -> 942 -> Пользователь заблокирован";
        QTest::newRow("scheme without users") << "" << QByteArray() << "ZL_USER" << "demo" << "TARVEL" << notRegistered.arg("ZL_USER");
        // The scheme name is a quoted literal of the statement: a quote in it changes nothing.
        QTest::newRow("quote in the scheme") << "" << QByteArray() << "ZL_USER" << "demo" << "ZANDRELL5') OR ('1'='1"
                                             << notRegistered.arg("ZL_USER");
        QTest::newRow("user not in the scheme") << "DELETE FROM ZANDRELL5.SYSUSER WHERE LOGIN = 'OPERATOR'" << QByteArray()
                                                << "OPERATOR" << "demo" << "ZANDRELL5" << notRegistered.arg("OPERATOR");
        QTest::newRow("no access group") << "UPDATE ZANDRELL5.SYSUSER SET ACCESSID = NULL WHERE LOGIN = 'OPERATOR'" << QByteArray()
                                         << "OPERATOR" << "demo" << "ZANDRELL5"
                                         << "Ошибка с сообщением: \"Идентификатор доступа \"AccessID = 0\" не существует в "
                                            "\"V_ACCESS\"\r\nВозможно пользователь не зарегистрирован\"";
        QTest::newRow("no Servers.ini") << "servers:" << QByteArray() << "ZL_USER" << "demo" << "ZANDRELL5"
                                        << "\"EDAError\":Ora-Error: 12154 -> Сервер не найден\r\nСписок серверов \"%1\" не найден";
        QTest::newRow("damaged Servers.ini, in English") << "servers:[ZANDRELL]\nPath=Db/ZANDRELL\n\x01\x02\x03" << english
                                                         << "ZL_USER" << "demo" << "ZANDRELL5"
                                                         << "\"EDAError\":Ora-Error: 12154 -> Server is not found\r\nThe server "
                                                            "list \"%1\" is damaged (line 3)";
        QTest::newRow("damaged accounts database") << "accounts" << QByteArray() << "ZL_USER" << "demo" << "ZANDRELL5"
                                                   << "\"EDAError\":ORA-01157: База учетных записей \"%2\" повреждена";
    }
    void refusedLogins()
    {
        QFETCH(QString, change);
        QFETCH(QByteArray, consoleIni);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, scheme);
        QFETCH(QString, text);
        const QString accounts = server->Folder() + u"/accounts.db"_s;
        exeDir->write(u"Console.ini"_s, consoleIni);
        if (change == u"accounts"_s) {
            QFile(accounts).resize(0);
        } else if (change.startsWith(u"servers:"_s)) {
            QFile::remove(server->IniPath());
            if (change.size() > 8) {
                QFile f(server->IniPath());
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write(change.mid(8).toLatin1()) > 0);
            }
        } else if (!change.isEmpty()) {
            sql(change);
        }
        TDM &d = newDM(user, password);
        QVERIFY(!d.Login(scheme, QStringLiteral("-1")));
        QVERIFY(!d.LoggedIn());
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(lastBox(), QString(text).replace(u"%1"_s, server->IniPath()).replace(u"%2"_s, accounts));
        QVERIFY2(dialogs->boxes.last().caption.contains(u'"' + scheme + u'"'), qPrintable(dialogs->boxes.last().caption));
        if (scheme.contains(QLatin1Char('\''))) {
            QVERIFY(d.IsSchemeValid(QStringLiteral("ZANDRELL5")));
            QVERIFY(!d.IsSchemeValid(QStringLiteral("X' OR '1'='1")));
        }
    }

    void forcedPasswordChangeAccepted_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::newRow("plain passwords") << false;
        QTest::newRow("wrapped passwords") << true;
    }
    void forcedPasswordChangeAccepted()
    {
        QFETCH(bool, encode);
        if (encode) {
            // The account's password is what the login sends: wrapped when encode is on.
            TSqliteBackend admin;
            admin.OpenAsAdministrator(server->Folder(), false);
            TOraParams none;
            admin.Execute(u"ALTER USER NEWBIE IDENTIFIED BY \"~demo~\""_s, none);
            admin.Commit();
            exeDir->write(u"Console.ini"_s, "[CONNECTION]\nencode=1\n");
        }
        TDM &d = newDM(QStringLiteral("NEWBIE"), QStringLiteral("demo"));
        dialogs->onModal = [](QDialog *dialog) {
            auto *form = qobject_cast<TfmForcePswChange *>(dialog);
            if (!form)
                return int(QDialog::Rejected);
            form->edPass1->setText(QStringLiteral("Better9"));
            form->edPass2->setText(QStringLiteral("Better9"));
            form->accept();
            return form->result();
        };
        QVERIFY(d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(dialogs->modalClasses, QStringList{"TfmForcePswChange"});
        // The flag is cleared and the new password works; no second change is asked.
        dm.reset();
        dialogs->clear();
        TDM &again = newDM(QStringLiteral("NEWBIE"), QStringLiteral("Better9"));
        QVERIFY(again.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QVERIFY(dialogs->modalClasses.isEmpty() && dialogs->boxes.isEmpty());
    }

    void forcedPasswordChangeRefusedAndCancelled()
    {
        TDM &d = newDM(QStringLiteral("NEWBIE"), QStringLiteral("demo"));
        QStringList messages;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *form = qobject_cast<TfmForcePswChange *>(dialog);
            if (!form)
                return int(QDialog::Rejected);
            form->accept(); // both empty
            form->edPass1->setText(QStringLiteral("One"));
            form->accept(); // one filled
            form->edPass2->setText(QStringLiteral("one"));
            form->accept(); // differ in letter case
            form->edPass1->setText(QStringLiteral("demo"));
            form->edPass2->setText(QStringLiteral("demo"));
            form->accept(); // the old password: refused by the server
            [&] { QCOMPARE(form->result(), int(QDialog::Rejected)); }();
            form->reject();
            return form->result();
        };
        QVERIFY(!d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        for (const RecordedBox &box : dialogs->boxes)
            messages << box.text;
        QCOMPARE(messages, (QStringList{"Не задан пароль", "Не задан пароль", "Пароль не соответствует подтверждению",
                                        "Новый пароль идентичен старому."}));
        // Cancelled: the login failed without a further message, the flag stays.
        dm.reset();
        dialogs->clear();
        dialogs->onModal = nullptr;
        TDM &again = newDM(QStringLiteral("NEWBIE"), QStringLiteral("demo"));
        QVERIFY(!again.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(dialogs->modalClasses, QStringList{"TfmForcePswChange"});
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void userLanguagesOnlyFromNumbers()
    {
        TDM &d = newDM(QStringLiteral("ZL_USER"), QStringLiteral("demo"));
        QVERIFY(d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("9")));
        QCOMPARE(GetComLanguages()->GET_USER_APL_LANG_ID(), 9);
        QCOMPARE(GetComLanguages()->GET_USER_REP_LANG_ID(), 9);
        // A value that is no number never reaches the statement: the languages stay, the users too.
        d.SetUserLanguages(QStringLiteral("25, 0); DELETE FROM ZANDRELL5.SYSUSER; --"));
        QCOMPARE(GetComLanguages()->GET_USER_APL_LANG_ID(), 9);
        TSmartQuery users;
        users.SetSession(d.CommonSession);
        users.SetSQLText(QStringLiteral("SELECT LOGIN FROM ZANDRELL5.SYSUSER"));
        users.Open();
        QCOMPARE(users.RecordCount(), 4);
        d.SetUserLanguages(QStringLiteral("25"));
        TSmartQuery stored;
        stored.SetSession(d.CommonSession);
        stored.SetSQLText(QStringLiteral("SELECT APL_LANG_ID, REP_LANG_ID FROM ZANDRELL5.USER_LANGS WHERE LOGIN = 'ZL_USER'"));
        stored.Open();
        QCOMPARE(stored.FieldByName(QStringLiteral("APL_LANG_ID"))->AsInteger(), 25);
        QCOMPARE(stored.FieldByName(QStringLiteral("REP_LANG_ID"))->AsInteger(), 25);
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

    // Logging in again never leaves the language module of the previous login behind,
    // whether or not the scheme of the new login has a language pack.
    void languageModuleOfThePreviousLogin_data()
    {
        QTest::addColumn<bool>("packKept");
        QTest::newRow("scheme with a language pack") << true;
        QTest::newRow("scheme without LANG_PACK") << false;
    }
    void languageModuleOfThePreviousLogin()
    {
        QFETCH(bool, packKept);
        TDM &d = newDM(u"ZL_USER"_s, u"demo"_s);
        // English as the user's language: the pack's texts replace the built-in Russian ones.
        QVERIFY(d.Login(u"ZANDRELL5"_s, u"9"_s));
        const QPointer<TLanguagesDM> first = GetComLanguages();
        QVERIFY(first);
        QCOMPARE(TranslateAplText(u"rstrUser"_s), u"User"_s);
        if (!packKept)
            sql(u"DELETE FROM ZANDRELL5.SERVER_OBJECTS WHERE OBJECT_NAME = 'LANG_PACK'"_s);
        for (int login = 0; login < 3; ++login)
            QVERIFY(d.Login(u"ZANDRELL5"_s, u"-1"_s));
        QVERIFY(!first);
        QCOMPARE(d.findChildren<TLanguagesDM *>().size(), packKept ? 1 : 0);
        QCOMPARE(GetComLanguages() != nullptr, packKept);
        QCOMPARE(TranslateAplText(u"rstrUser"_s), packKept ? u"User"_s : u"Пользователь"_s);
        QVERIFY(dialogs->boxes.isEmpty());
    }
};

QTEST_MAIN(TestLogin)
#include "tst_Login.moc"
