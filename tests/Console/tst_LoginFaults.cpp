// What the user is told when the login meets a fault: Servers.ini and the
// accounts database in the user's language, a garbled Res/Langs.ini entry, a
// write lock of another program (wait cursor, status text, ORA-00054), and a
// forced password change under Console.ini [CONNECTION] encode.
#include "DMIMPL.h"
#include "RecordingDialogService.h"
#include "SqliteBackend.h"
#include "SqliteConnection.h"
#include "TestServer.h"
#include "TempExeDir.h"
#include "uConsoleCfg.h"
#include "uForcePswChange.h"
#include "uWaitFeedback.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>

namespace {

// Runs a statement on the server as its administrator.
void asAdministrator(const TestServer &server, const QString &sql)
{
    TSqliteBackend admin;
    admin.OpenAsAdministrator(server.Folder(), false);
    TOraParams none;
    admin.Execute(sql, none);
    admin.Commit();
}

// What the user saw at each moment of a wait: passes everything on to the console's feedback.
struct WaitWitness : TDbWaitIndicator {
    struct Moment {
        int elapsedMs;
        QString statusText;
        bool waitCursor;
    };
    WaitWitness(TDbWaitFeedback &feedback, QLabel &panel) : feedback(feedback), panel(panel) { SetDbWaitIndicator(this); }
    void WaitStarted() override { feedback.WaitStarted(); }
    void WaitGoesOn(int elapsedMs) override
    {
        feedback.WaitGoesOn(elapsedMs);
        moments.append({elapsedMs, panel.text(), QGuiApplication::overrideCursor() != nullptr});
    }
    void WaitEnded() override { feedback.WaitEnded(); }
    TDbWaitFeedback &feedback;
    QLabel &panel;
    QList<Moment> moments;
};

} // namespace

class TestLoginFaults : public QObject {
    Q_OBJECT

    TestServer *server = nullptr;
    TempExeDir *exeDir = nullptr;
    RecordingDialogService *dialogs = nullptr;
    std::unique_ptr<TDM> dm;

    TDM &newDM(const QString &user, const QString &password, const QString &serverName = QStringLiteral("ZANDRELL"))
    {
        dm = std::make_unique<TDM>();
        SetConsoleDataModule(dm.get());
        dm->SetServer(serverName);
        dm->SetUserName(user);
        dm->SetPassword(password);
        dm->SetConnectPrompt(false);
        return *dm;
    }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const RecordedBox &box : dialogs->boxes)
            texts << box.text;
        return texts;
    }

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
        dm.reset();
        delete dialogs;
        delete exeDir;
        delete server;
    }

    void configurationFaultsAreSaidInTheUsersLanguage_data()
    {
        QTest::addColumn<QByteArray>("consoleIni");
        QTest::addColumn<QByteArray>("serversIni"); // empty: the test server's own; "<none>": no file
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<bool>("damageAccounts");
        QTest::addColumn<QString>("box");          // %1: Servers.ini, %2: accounts.db
        const QByteArray english("[START]\nLangID=9\n");
        QTest::newRow("no Servers.ini") << QByteArray() << QByteArray("<none>") << "ZANDRELL" << false
                                        << "\"EDAError\":Ora-Error: 12154 -> Сервер не найден\r\nСписок серверов \"%1\" не найден";
        QTest::newRow("damaged Servers.ini") << english << QByteArray("[ZANDRELL]\nPath=Db/ZANDRELL\n\x01\x02\x03") << "ZANDRELL"
                                             << false
                                             << "\"EDAError\":Ora-Error: 12154 -> Server is not found\r\nThe server list \"%1\" "
                                                "is damaged (line 3)";
        QTest::newRow("unknown alias") << QByteArray() << QByteArray() << "NOWHERE" << false
                                       << "\"EDAError\":Ora-Error: 12154 -> Сервер не найден\r\nСервер \"NOWHERE\" не описан в \"%1\"";
        QTest::newRow("unknown backend") << english << QByteArray("[ODD]\nBackend=postgres\n") << "ODD" << false
                                         << "\"EDAError\":Ora-Error: 12154 -> Server is not found\r\nServer \"ODD\" in \"%1\": "
                                            "unknown backend \"postgres\"";
        QTest::newRow("alias without a database path")
            << QByteArray() << QByteArray("[ZANDRELL]\nBackend=sqlite\n") << "ZANDRELL" << false
            << "\"EDAError\":Ora-Error: 12154 -> Сервер не найден\r\nСервер \"ZANDRELL\" в \"%1\": не задан путь к базе данных (Path)";
        QTest::newRow("damaged accounts database") << QByteArray() << QByteArray() << "ZANDRELL" << true
                                                   << "\"EDAError\":ORA-01157: База учетных записей \"%2\" повреждена";
    }
    void configurationFaultsAreSaidInTheUsersLanguage()
    {
        QFETCH(QByteArray, consoleIni);
        QFETCH(QByteArray, serversIni);
        QFETCH(QString, serverName);
        QFETCH(bool, damageAccounts);
        QFETCH(QString, box);
        exeDir->write(QStringLiteral("Console.ini"), consoleIni);
        if (serversIni == "<none>") {
            QFile::remove(server->IniPath());
        } else if (!serversIni.isEmpty()) {
            QFile f(server->IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(serversIni);
        }
        const QString accounts = server->Folder() + QStringLiteral("/accounts.db");
        if (damageAccounts) {
            QFile f(accounts);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        }
        TDM &d = newDM(QStringLiteral("ZL_USER"), QStringLiteral("demo"), serverName);
        QVERIFY(!d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(boxTexts(), QStringList{box.replace(QLatin1String("%1"), server->IniPath()).replace(QLatin1String("%2"), accounts)});
        if (damageAccounts)
            QCOMPARE(QFileInfo(accounts).size(), 0); // not made anew
    }

    void garbledLanguageEntryNamesTheLanguage_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << QByteArray("9=") << false;
        QTest::newRow("blanks") << QByteArray("9=   ") << false;
        QTest::newRow("a path") << QByteArray("9=../../etc/passwd") << false;
        QTest::newRow("control characters") << QByteArray("9=En\x01\x02") << false;
        QTest::newRow("a name") << QByteArray("9=En") << true;
    }
    void garbledLanguageEntryNamesTheLanguage()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, accepted);
        exeDir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n" + entry + "\n");
        exeDir->write(QStringLiteral("Res/En.ini"), "[WRD_WORDS]\nrstrParameters=Parameters\n");
        QString name = QStringLiteral("Ru");
        const QString id = ResolveLanguage(QStringLiteral("-1"), QStringLiteral("9"), name);
        if (accepted) {
            QCOMPARE(id, QStringLiteral("9"));
            QCOMPARE(boxTexts(), QStringList());
            return;
        }
        QCOMPARE(id, QStringLiteral("25"));
        QCOMPARE(name, QStringLiteral("Ru"));
        QCOMPARE(boxTexts(), QStringList{QStringLiteral("Язык 9: в \"%1\" нет корректного имени языкового файла")
                                             .arg(exeDir->filePath(QStringLiteral("Res/Langs.ini")))});
    }

    void writeLockOfAnotherProgramIsShown()
    {
        TDM &d = newDM(QStringLiteral("ZL_USER"), QStringLiteral("demo"));
        QVERIFY(d.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        TDbWaitFeedback feedback;
        QLabel panel;
        feedback.StatusPanel = &panel;
        WaitWitness witness(feedback, panel);
        TSqliteBackend holder;
        holder.OpenAsAdministrator(server->Folder(), false);
        holder.Connection()->BeginWrite();
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(2600);
        int code = 0;
        try {
            d.SetUserLanguages(QStringLiteral("9"));
        } catch (const EDAError &e) {
            code = e.ErrorCode();
        }
        TSqliteConnection::SetBusyTimeoutMs(usual);
        QCOMPARE(code, 54);
        QVERIFY(!witness.moments.isEmpty());
        // The wait cursor from the start, the text from the second second on, both gone afterwards.
        for (const WaitWitness::Moment &m : witness.moments) {
            QVERIFY(m.waitCursor);
            QCOMPARE(m.statusText, m.elapsedMs < 2000 ? QString() : QLatin1Char(' ') + TDbWaitFeedback::WaitText());
        }
        QVERIFY(witness.moments.last().elapsedMs >= 2000);
        QCOMPARE(panel.text(), QString());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void forcedChangeKeepsTheNextLoginWorking_data()
    {
        QTest::addColumn<bool>("encode");
        QTest::newRow("plain passwords") << false;
        QTest::newRow("wrapped passwords") << true;
    }
    void forcedChangeKeepsTheNextLoginWorking()
    {
        QFETCH(bool, encode);
        // The account's password is what the login sends: wrapped when encode is on.
        asAdministrator(*server, encode ? QStringLiteral("ALTER USER NEWBIE IDENTIFIED BY \"~demo~\"")
                                        : QStringLiteral("ALTER USER NEWBIE IDENTIFIED BY \"demo\""));
        exeDir->write(QStringLiteral("Console.ini"), encode ? "[CONNECTION]\nencode=1\n" : "[CONNECTION]\nencode=0\n");
        dialogs->onModal = [](QDialog *dialog) {
            auto *form = qobject_cast<TfmForcePswChange *>(dialog);
            if (!form)
                return int(QDialog::Rejected);
            form->edPass1->setText(QStringLiteral("Better9"));
            form->edPass2->setText(QStringLiteral("Better9"));
            form->accept();
            return form->result();
        };
        QVERIFY(newDM(QStringLiteral("NEWBIE"), QStringLiteral("demo")).Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(dialogs->modalClasses, QStringList{"TfmForcePswChange"});
        dm.reset();
        dialogs->clear();
        QVERIFY(newDM(QStringLiteral("NEWBIE"), QStringLiteral("Better9")).Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
        QCOMPARE(boxTexts(), QStringList());
        QVERIFY(dialogs->modalClasses.isEmpty());
    }
};

QTEST_MAIN(TestLoginFaults)
#include "tst_LoginFaults.moc"
