// The data module's pieces that need no database: the Oracle date and time
// formats, the login texts and their language rules, the error hooks, the
// password wrapping and the scheme-macro routines.
#include "ConnectDialog.h"
#include "DAError.h"
#include "DMIMPL.h"
#include "Exceptions.h"
#include "OraErrorHandler.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "OraSession.h"
#include "OraStoredProc.h"
#include "RecordingDialogService.h"
#include "uConsoleCfg.h"
#include "uOraFunctions.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "TempExeDir.h"

class TestDataModule : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;


private slots:
    void init()
    {
        dir = new TempExeDir;
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        delete dialogs;
        delete dir;
    }

    void dateFormats_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("oracle");
        QTest::newRow("dd.MM.yyyy") << "dd.MM.yyyy" << "DD.MM.YYYY";
        QTest::newRow("d/M/yy") << "d/M/yy" << "fmDDfm/fmMMfm/YY";
        QTest::newRow("long") << "dddd, MMMM d, yyyy" << "fmDAYfm, MONTH fmDDfm, YYYY";
        QTest::newRow("ddd MMM") << "ddd MMM" << "DY MON";
        QTest::newRow("five d") << "ddddd" << "fmDAYfmfmDDfm";
        QTest::newRow("era") << "gg yyyy" << "EE YYYY";
        QTest::newRow("quoted") << "d 'de' MMMM" << "fmDDfm \"de\" MONTH";
        QTest::newRow("double quoted") << "yyyy\"г.\"" << "YYYY\"г.\"";
        QTest::newRow("unclosed") << "dd 'rest" << "DD \"rest\"";
    }
    void dateFormats()
    {
        QFETCH(QString, locale);
        QFETCH(QString, oracle);
        QCOMPARE(LocaleToOracleDateFormat(locale), oracle);
    }

    void timeFormats_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("oracle");
        QTest::newRow("H:mm:ss") << "H:mm:ss" << "fmHH24fm:MI:SS";
        QTest::newRow("hh:mm:ss tt") << "hh:mm:ss tt" << "HH12:MI:SS AM";
        QTest::newRow("AMPM") << "h:nn AMPM" << "fmHH12fm:MI AM";
        QTest::newRow("single m s") << "HH:m:s" << "HH24:fmMIfm:fmSSfm";
        QTest::newRow("fraction") << "HH:mm:ss.zzz" << "HH24:MI:SS.FF";
        QTest::newRow("quoted") << "HH 'h' mm" << "HH24 \"h\" MI";
    }
    void timeFormats()
    {
        QFETCH(QString, locale);
        QFETCH(QString, oracle);
        QCOMPARE(LocaleToOracleTimeFormat(locale), oracle);
    }

    void platformLocaleFormats()
    {
        // Qt's patterns are rewritten into the Windows letters before the conversion.
        QCOMPARE(QtFormatToWindowsPattern(QStringLiteral("h:mm:ss AP t")), QStringLiteral("h:mm:ss tt"));
        QCOMPARE(QtFormatToWindowsPattern(QStringLiteral("HH:mm:ss t")), QStringLiteral("HH:mm:ss"));
        QCOMPARE(LocaleToOracleTimeFormat(QtFormatToWindowsPattern(QLocale(QLocale::English, QLocale::UnitedStates)
                                                                      .timeFormat(QLocale::ShortFormat))),
                 QStringLiteral("fmHH12fm:MI AM"));
        QCOMPARE(LocaleToOracleDateFormat(QtFormatToWindowsPattern(QLocale(QLocale::Russian, QLocale::Russia)
                                                                      .dateFormat(QLocale::ShortFormat))),
                 QStringLiteral("DD.MM.YYYY"));
        QVERIFY(!LocaleToOracleDateFormat().isEmpty());
        QVERIFY(!LocaleToOracleTimeFormat().isEmpty());
    }

    void caseMessagesAndLanguage()
    {
        QCOMPARE(GetCaseMsg(0), QStringLiteral("Соединение с БД"));
        QCOMPARE(GetCaseMsg(11), QStringLiteral("Идентификатор доступа \"AccessID = %s\" не существует в \"V_ACCESS\""));
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        QCOMPARE(GetCaseMsg(11), QStringLiteral("Access identifier \"AccessID =  %s\" does not exist in \"V_ACCESS\""));
        QCOMPARE(GetCaseMsg(17), QStringLiteral("The user is locked"));
        try {
            GetCaseMsg(19);
            QFAIL("expected an assertion");
        } catch (const EAssertionFailed &e) {
            QVERIFY(e.message().startsWith(QStringLiteral("KorConsole: DMIMPL.GetCaseMsg: 19 > Length(CaseMsgList) (Console/DMIMPL, line ")));
        }
        // Before connecting, a language file's text wins.
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n9=En\n");
        dir->write(QStringLiteral("Res/En.ini"), "[WRD_MESSAGE]\nrstr_msg_IncorrectPasLog=Wrong password or login\n");
        QString name;
        ResolveLanguage("-1", "9", name);
        QCOMPARE(GetCaseMsg(8), QStringLiteral("Wrong password or login"));
        QCOMPARE(GetCaseMsg(7), QStringLiteral("Password is not entered"));
    }

    void dataModuleCreationReadsConsoleIni()
    {
        dir->write(QStringLiteral("Console.ini"), "[CONNECTION]\nserver=SRV\nuser=OPERATOR\nhome=9\nuseoci7=1\n");
        TDM dm;
        QCOMPARE(dm.CommonSession->Server(), QStringLiteral("SRV"));
        QCOMPARE(dm.CommonSession->Username(), QStringLiteral("OPERATOR"));
        QCOMPARE(dm.CommonSession->Password(), QString());
        QCOMPARE(dm.CommonSession->Home(), 0);
        QVERIFY(dm.CommonSession->Options().UseOCI7);
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().text, QStringLiteral("Некорректный Oracle Home \"Home9\""));
        QCOMPARE(dialogs->boxes.first().caption, QStringLiteral("Соединение с БД"));
        QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST));

        dir->write(QStringLiteral("Console.ini"), "[CONNECTION]\nserver=SRV\nuser=OPERATOR\nStoreInReg=1\n");
        TDM stored;
        QCOMPARE(stored.CommonSession->Server(), QString());
        QVERIFY(stored.condlgConnect->StoreLogInfo);
    }

    void errorHooks()
    {
        TDM dm;
        dm.CommonSession->SetUsername(QStringLiteral("OPERATOR"));
        dm.RetriesLeft = 3;
        QString message = QStringLiteral("ORA-01017: invalid username/password");
        dm.oerrHandler->OnError(1017, message);
        QCOMPARE(message, QStringLiteral("Некорректный пароль/логин"));
        message = QStringLiteral("ORA-01005");
        dm.oerrHandler->OnError(1005, message);
        QCOMPARE(message, QStringLiteral("Пароль не введен"));
        message = QStringLiteral("other");
        dm.oerrHandler->OnError(1403, message);
        QCOMPARE(message, QStringLiteral("other"));
        QCOMPARE(dm.RetriesLeft, 0);

        struct Case {
            int code;
            int shown;
            QString text;
        };
        const Case cases[] = {
            {942, 942, "Ora-Error: 942 -> Пользователь \"OPERATOR\" не зарегистрирован"},
            {4043, 4043, "Ora-Error: 4043 -> Недостаточно привилегий"},
            {12154, 12154, "Ora-Error: 12154 -> Сервер не найден"},
            {12500, 12500, "Ora-Error: 12500 -> Не запущена служба Oracle 'Listener'"},
            {12541, 12541, "Ora-Error: 12541 -> Не запущена служба Oracle 'Listener'"},
            {12545, 12454, "Ora-Error: 12545 -> 12454 -> Нет соединения по сети"},
            {12560, 12560, "Ora-Error: 12560 -> Нет соединения по сети"},
            {28000, 942, "Ora-Error: 28000 -> 942 -> Пользователь заблокирован"},
            {1403, 1403, "ORA-01403: no data found"},
        };
        for (const Case &c : cases) {
            EDAError error(c.code, QStringLiteral("ORA-01403: no data found"));
            dm.CommonSession->OnError(dm.CommonSession, error);
            QCOMPARE(error.ErrorCode(), c.shown);
            QCOMPARE(error.message(), c.text);
        }
    }

    void passwordWrapping()
    {
        const QStringList exempt{QStringLiteral("x"), QStringLiteral("service")};
        QCOMPARE(TDM::WrapPassword(QStringLiteral("abc"), exempt), QStringLiteral("~abc~"));
        QCOMPARE(TDM::WrapPassword(QStringLiteral("~abc"), exempt), QStringLiteral("~abc"));
        QCOMPARE(TDM::WrapPassword(QStringLiteral("abc~"), exempt), QStringLiteral("abc~"));
        QCOMPARE(TDM::WrapPassword(QStringLiteral("X"), exempt), QStringLiteral("X"));
        QCOMPARE(TDM::WrapPassword(QStringLiteral("SERVICE"), exempt), QStringLiteral("SERVICE"));
        QVERIFY(TDM::ExemptPasswords().isEmpty());
        dir->write(QStringLiteral("Deploy.ini"), "[PASSWORDS]\nExempt1=q\nExempt2=sysserv\n");
        QCOMPARE(TDM::ExemptPasswords(), (QStringList{"q", "sysserv"}));

        // The session's BeforeConnect wraps when encode is on and trims the user name.
        TDM dm;
        dm.EncodePassword = true;
        dm.CommonSession->SetPassword(QStringLiteral("demo"));
        dm.CommonSession->SetUsername(QStringLiteral("  ZL_USER "));
        dm.CommonSession->BeforeConnect(dm.CommonSession);
        QCOMPARE(dm.CommonSession->Password(), QStringLiteral("~demo~"));
        QCOMPARE(dm.CommonSession->Username(), QStringLiteral("ZL_USER"));
    }

    void schemeMacroRoutines()
    {
        QString name = QStringLiteral("a.PACK.PROC");
        fSetShemaName(name, QStringLiteral("S"));
        QCOMPARE(name, QStringLiteral("S.PACK.PROC"));
        name = QStringLiteral("NODOT");
        try {
            fSetShemaName(name, QStringLiteral("S"));
            QFAIL("expected an error");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), QStringLiteral("uOraFunctions.fSetShemaName: Symbol \".\" is not found in \"NODOT\""));
        }
        QCOMPARE(QualifyObjectName(QStringLiteral("xxx.Request"), QStringLiteral("ZANDRELL5")), QStringLiteral("ZANDRELL5.Request"));
        QCOMPARE(QualifyObjectName(QStringLiteral("Request"), QStringLiteral("Z")), QStringLiteral("Z.Request"));

        QObject owner;
        TOraSession session;
        auto *query = new TSmartQuery(&owner);
        query->setObjectName(QStringLiteral("query"));
        query->SetSQLText(QStringLiteral("SELECT * FROM &SHEMA.V_ACCESS"));
        auto *skipped = new TSmartQuery(&owner);
        skipped->SetSQLText(QStringLiteral("SELECT * FROM &shema.X"));
        skipped->SetTag(1);
        auto *package = new TOraPackage(&owner);
        package->SetPackageName(QStringLiteral("Zandrell_pro.MENUPACK"));
        auto *handler = new TOraErrorHandler(&owner);
        SetComponentsSession(&owner, &session);
        QCOMPARE(query->Session(), &session);
        QCOMPARE(package->Session(), &session);
        QCOMPARE(handler->Session(), &session);
        fSetShema(&owner, QStringLiteral("ZANDRELL5"));
        QCOMPARE(query->FinalSQL(), QStringLiteral("SELECT * FROM ZANDRELL5.V_ACCESS"));
        QCOMPARE(package->PackageName(), QStringLiteral("ZANDRELL5.MENUPACK"));
        QCOMPARE(skipped->FinalSQL(), QStringLiteral("SELECT * FROM .X"));
        QVERIFY_THROWS_EXCEPTION(Exception, fSetShema(&owner, QString()));

        // A query without the macro names itself in the error.
        auto *broken = new TSmartQuery(&owner);
        broken->setObjectName(QStringLiteral("broken"));
        broken->SetSQLText(QStringLiteral("SELECT 1 FROM DUAL"));
        try {
            fSetShema(&owner, QStringLiteral("ZANDRELL5"));
            QFAIL("expected an error");
        } catch (const Exception &e) {
            QVERIFY(e.message().startsWith(QStringLiteral("broken: ")));
        }
    }

    void getCursorNeedsTheMacro()
    {
        TDM dm;
        TSmartQuery query;
        QVERIFY(!dm.GetCursor(QStringLiteral("SELECT 1 FROM DUAL"), &query));
        QVERIFY(dialogs->boxes.isEmpty());
        QString listed;
        dm.ListSessionDataSets(listed);
        QVERIFY(listed.contains(QStringLiteral("\r\nAccessTbl")));
        QVERIFY(listed.contains(QStringLiteral("\r\nV_MENUCFG")));
    }
};

QTEST_MAIN(TestDataModule)
#include "tst_DataModule.moc"
