// Logging in again with the console's one data module: the language module
// of the previous login never stays behind, whether or not the scheme of the
// new login has a language pack.
#include "DMIMPL.h"
#include "RecordingDialogService.h"
#include "ResourcePack.h"
#include "TestServer.h"
#include "uConsoleCfg.h"

#include <QPointer>
#include <QTest>

class TestRelogin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void languageModuleOfThePreviousLogin_data()
    {
        QTest::addColumn<bool>("packKept");
        QTest::newRow("scheme with a language pack") << true;
        QTest::newRow("scheme without LANG_PACK") << false;
    }

    void languageModuleOfThePreviousLogin()
    {
        QFETCH(bool, packKept);
        TestServer server;
        QTemporaryDir exeDir;
        SetExeDirForTests(exeDir.path());
        RecordingDialogService dialogs;
        {
            TDM dm;
            SetConsoleDataModule(&dm);
            dm.SetServer(QStringLiteral("ZANDRELL"));
            dm.SetUserName(QStringLiteral("ZL_USER"));
            dm.SetPassword(QStringLiteral("demo"));
            dm.SetConnectPrompt(false);
            // English as the user's language: the pack's texts replace the built-in Russian ones.
            QVERIFY(dm.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("9")));
            const QPointer<TLanguagesDM> first = GetComLanguages();
            QVERIFY(first);
            QCOMPARE(TranslateAplText(QStringLiteral("rstrUser")), QStringLiteral("User"));

            if (!packKept) {
                auto session = server.Connect();
                session->ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.SERVER_OBJECTS WHERE OBJECT_NAME = 'LANG_PACK'"));
                session->Commit();
            }
            for (int login = 0; login < 3; ++login)
                QVERIFY(dm.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1")));
            QVERIFY(!first);
            QCOMPARE(dm.findChildren<TLanguagesDM *>().size(), packKept ? 1 : 0);
            QCOMPARE(GetComLanguages() != nullptr, packKept);
            QCOMPARE(TranslateAplText(QStringLiteral("rstrUser")),
                     packKept ? QStringLiteral("User") : QStringLiteral("Пользователь"));
            QVERIFY(dialogs.boxes.isEmpty());
            SetConsoleDataModule(nullptr);
        }
        SetExeDirForTests(QString());
    }
};

QTEST_MAIN(TestRelogin)
#include "tst_Relogin.moc"
