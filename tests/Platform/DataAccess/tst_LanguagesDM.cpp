// The language package on the database: the pack's existence, the language
// data module, the shared resource strings in the user's language.
#include "LanguagesDM.h"
#include "OraPackage.h"
#include "TestServer.h"

#include <QtTest>

class tst_LanguagesDM : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestServer::BuildTemplate(); }
    void cleanup() { SetComLanguages(nullptr); }

    void existsLangPack()
    {
        TestServer server;
        auto s = server.Connect();
        QVERIFY(ExistsLangPack(QStringLiteral("ZANDRELL5"), s.get()));
        QVERIFY(ExistsLangPack(QStringLiteral("zandrell5"), s.get()));
        QVERIFY(!ExistsLangPack(QStringLiteral("NOSCHEME"), s.get()));
        QVERIFY(!ExistsLangPack(QString(), s.get()));
        QVERIFY(!ExistsLangPack(QStringLiteral("ZANDRELL5"), nullptr));
        QVERIFY_THROWS_EXCEPTION(EDAError, CreateComLanguages(nullptr, QStringLiteral("NOSCHEME"), s.get()));
        QVERIFY(!ExistsLangPack(QStringLiteral("ZANDRELL5' OR '1'='1"), s.get()));
        QVERIFY_THROWS_EXCEPTION(EDAError, TDbLanguagesDM(nullptr, QStringLiteral("ZANDRELL5.X; --"), s.get()));
        QVERIFY(GetComLanguages() == nullptr);
    }

    void russianUser()
    {
        TestServer server;
        auto s = server.Connect();
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        QCOMPARE(GetComLanguages(), dm);
        QCOMPARE(dm->Connection(), s.get());
        QCOMPARE(dm->GET_USER_APL_LANG_ID(), 25);
        QVERIFY(!dm->IsNecessaryAplTrans());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Сервер"));
        QCOMPARE(dm->GET_RESOURCE_APL_EN_TXT(QStringLiteral("rstrServer")), QStringLiteral("Server"));
        QVERIFY(dm->UntranslatedTexts.contains(QStringLiteral("Oracle Home")));
        IniResString();
        QCOMPARE(TranslateAplText(QStringLiteral("rstr_msg_UserLocked")), QStringLiteral("Пользователь заблокирован"));
        QCOMPARE(CaseMessageTxt(QStringLiteral("Да"), QStringLiteral("Yes")), QStringLiteral("Да"));
    }

    void englishUser()
    {
        TestServer server;
        auto s = server.Connect(QStringLiteral("OPERATOR"));
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        dm->SET_USER_APL_LANG(9, 0);
        QVERIFY(!s->InTransaction()); // stored and committed
        QCOMPARE(dm->GET_USER_APL_LANG_ID(), 9);
        QVERIFY(dm->IsNecessaryAplTrans());
        QVERIFY(!dm->IsNecessaryRepTrans());
        dm->SET_USER_REP_LANG(9, 0);
        QVERIFY(dm->IsNecessaryRepTrans());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Server"));
        // An identifier the pack does not know comes back as it is.
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("Нет такого")), QStringLiteral("Нет такого"));
        QString text = QStringLiteral("Настройка меню");
        dm->RESOURCE_APL_TXT(text);
        QCOMPARE(text, QStringLiteral("Menu set-up"));
        text = QStringLiteral("Нет перевода");
        dm->RESOURCE_APL_TXT(text);
        QVERIFY(text.isEmpty());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT_OF_FIELD(QStringLiteral("Сервис"), 0, QStringLiteral("x")), QStringLiteral("Service"));
        QCOMPARE(dm->GET_RESOURCE_APL_TXT_OF_FIELD(QStringLiteral("NOFIELD"), 0, QStringLiteral("Default")), QStringLiteral("Default"));

        IniResString();
        QCOMPARE(TranslateAplText(QStringLiteral("rstrServer")), QStringLiteral("Server"));
        QCOMPARE(ResStr(QStringLiteral("rstr_to_Apply")), QStringLiteral("Apply"));
        QCOMPARE(CaseMessageTxt(QStringLiteral("Да"), QStringLiteral("Yes")), QStringLiteral("Yes"));
        // The module goes with its owner, and the texts go back to Russian.
        delete dm;
        QVERIFY(GetComLanguages() == nullptr);
        QCOMPARE(TranslateAplText(QStringLiteral("rstrServer")), QStringLiteral("Сервер"));
    }

    // The module answers as the package does, whatever the pack holds, and
    // forgets what it read when the user's language changes.
    void textsAsThePackageGivesThem_data()
    {
        QTest::addColumn<int>("lang");
        QTest::newRow("Russian") << 25;
        QTest::newRow("English") << 9;
    }
    void textsAsThePackageGivesThem()
    {
        QFETCH(int, lang);
        TestServer server;
        auto s = server.Connect(QStringLiteral("OPERATOR"));
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Сервер")); // read before the change
        dm->SET_USER_APL_LANG(lang, 0);
        TOraPackage pack;
        pack.SetSession(s.get());
        pack.SetPackageName(QStringLiteral("ZANDRELL5.LANG_PACK"));
        const QStringList keys = {"rstrServer", "rstrUser", "Настройка меню", "Документы", "Нет такого текста", "rstrserver", ""};
        for (const QString &key : keys) {
            const QVariant apl = pack.ExecProc(QStringLiteral("GET_RESOURCE_APL_TXT"), {key});
            QCOMPARE(dm->GET_RESOURCE_APL_TXT(key), apl.isNull() ? key : apl.toString());
            const QVariant en = pack.ExecProc(QStringLiteral("GET_RESOURCE_APL_EN_TXT"), {key});
            QCOMPARE(dm->GET_RESOURCE_APL_EN_TXT(key), en.isNull() ? key : en.toString());
            QString text = key;
            dm->RESOURCE_APL_TXT(text);
            QCOMPARE(text, pack.ExecProc(QStringLiteral("RESOURCE_APL_TXT"), {key}).toString());
        }
        dm->SET_USER_APL_LANG(25, 0);
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Сервер"));
    }

    void everyResourceStringIsInThePack()
    {
        TestServer server;
        auto s = server.Connect();
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        auto *db = static_cast<TDbLanguagesDM *>(dm);
        for (const QString &id : ResStrIds()) {
            if (ResStrRu(id).isEmpty())
                continue; // an empty built-in text has nothing to store
            QCOMPARE(db->PackText(QStringLiteral("GET_RESOURCE_APL_TXT"), id).toString(), ResStrRu(id));
            QCOMPARE(db->PackText(QStringLiteral("GET_RESOURCE_APL_EN_TXT"), id).toString(), ResStrEn(id));
        }
    }

    void cyrillicLetters()
    {
        QVERIFY(RusCharExists(QStringLiteral("abc Ж")));
        QVERIFY(RusCharExists(QStringLiteral("ё")));
        QVERIFY(!RusCharExists(QStringLiteral("Oracle Home 123")));
        QVERIFY(!RusCharExists(QString()));
    }
};

QTEST_MAIN(tst_LanguagesDM)
#include "tst_LanguagesDM.moc"
