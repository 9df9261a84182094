// Console.ini accessors and schemes, the language files, and the console's
// texts; the data module's pieces that need no database: the Oracle date and
// time formats, the login texts and their language rules, the error hooks,
// the password wrapping and the scheme-macro routines.
#include "ConnectDialog.h"
#include "DMIMPL.h"
#include "FakeLanguages.h"
#include "IniFile.h"
#include "OraErrorHandler.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "RecordingDialogService.h"
#include "TempExeDir.h"
#include "uConsoleCfg.h"
#include "uConsoleDM.h"
#include "uConsoleFunctions.h"
#include "uOraFunctions.h"

#include <QFileInfo>
#include <QTest>

namespace {

class LoggedInDM : public IConsoleDataModule {
public:
    bool loggedIn = true;
    void SetServer(const QString &) override {}
    void SetUserName(const QString &) override {}
    void SetPassword(const QString &) override {}
    void SetConnectPrompt(bool) override {}
    void SetHomeIndex(int) override {}
    void SetStoreLogInfo(bool) override {}
    bool Login(const QString &, const QString &) override { return true; }
    bool LoggedIn() const override { return loggedIn; }
};

} // namespace

class TestConsoleCfg : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    QString consoleIni() const
    {
        QFile f(dir->filePath(QStringLiteral("Console.ini")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

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

    void defaultsAndWrites()
    {
        QCOMPARE(ReadServer(), QStringLiteral("ZANDRELL"));
        QCOMPARE(ReadUser(), QStringLiteral("ZL_USER"));
        QCOMPARE(ReadHome(), 0);
        QCOMPARE(ReadActiveIcon(), QStringLiteral("ConsoleIcon.ico"));
        QCOMPARE(ReadLangId(25), 25);
        QCOMPARE((QList<bool>{ReadStoreInReg(), ReadUseOCI7(), ReadEncode(), ReadHideMinimized(), ReadMiniTB(),
                              ReadCreateSeps(), ReadFormTop(), ReadViewLogo()}),
                 (QList<bool>{false, false, false, true, true, true, false, false}));
        // Reading writes nothing, except the active scheme, which is written as it is settled.
        QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("Console.ini"))));
        QCOMPARE(GetActiveScheme(), QStringLiteral("ZANDRELL5"));
        QCOMPARE(consoleIni(), QStringLiteral("[SCHEMES]\nZANDRELL5=1\n"));

        WriteServer(QStringLiteral("SRV"));
        WriteUser(QStringLiteral("OPERATOR"));
        WriteHome(3);
        WriteHideMinimized(false);
        WriteMiniTB(false);
        WriteCreateSeps(false);
        WriteFormTop(true);
        WriteViewLogo(true);
        TIniFile ini(dir->filePath(QStringLiteral("Console.ini")));
        QCOMPARE(ini.ReadString("CONNECTION", "user", ""), QStringLiteral("OPERATOR"));
        QCOMPARE(ini.ReadSection("FORM"), (QStringList{"HideMinimized", "MiniTB", "CreateSeps", "FormTop", "ViewLogo"}));
        QCOMPARE(ReadServer(), QStringLiteral("SRV"));
        QCOMPARE(ReadHome(), 3);
        QCOMPARE((QList<bool>{ReadHideMinimized(), ReadMiniTB(), ReadCreateSeps(), ReadFormTop(), ReadViewLogo()}),
                 (QList<bool>{false, false, false, true, true}));
    }

    void schemes()
    {
        // No section: the scheme is written as active and read back.
        SetActiveScheme(QStringLiteral("ABC"));
        QCOMPARE(GetActiveScheme(), QStringLiteral("ABC"));
        // Two marked 1 by hand: the first in file order wins; the next activation leaves one.
        dir->write(QStringLiteral("Console.ini"), "[SCHEMES]\nZANDRELL5=0\nTWO=1\nONE=1\n");
        QCOMPARE(GetActiveScheme(), QStringLiteral("TWO"));
        SetActiveScheme(QStringLiteral("one"));
        TIniFile ini(dir->filePath(QStringLiteral("Console.ini")));
        QCOMPARE((QStringList{ini.ReadString("SCHEMES", "ZANDRELL5", ""), ini.ReadString("SCHEMES", "TWO", ""),
                              ini.ReadString("SCHEMES", "ONE", "")}),
                 (QStringList{"0", "0", "1"}));
        QCOMPARE(GetActiveScheme(), QStringLiteral("one"));
        // None marked: back to ZANDRELL5.
        dir->write(QStringLiteral("Console.ini"), "[SCHEMES]\nA=0\nB=0\n");
        QCOMPARE(GetActiveScheme(), QStringLiteral("ZANDRELL5"));
        AddScheme(QStringLiteral("NEW"), false);
        QStringList list;
        GetSchemes(&list);
        QCOMPARE(list, (QStringList{"A", "B", "ZANDRELL5", "NEW"}));
        DeleteScheme(QStringLiteral("b"));
        GetSchemes(&list);
        QCOMPARE(list, (QStringList{"A", "ZANDRELL5", "NEW"}));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, AddScheme(QStringLiteral("  "), true));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, GetSchemes(nullptr));
    }

    void englishWithLanguageFile()
    {
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n9=En\n");
        dir->write(QStringLiteral("Res/En.ini"),
              "[WRD_WORDS]\nrstrExit=Leave\n[WRD_MESSAGE]\nmsg=Message text\n"
              "[WRD_HELP]\nrstr_HelpText=First line, \"Second, with comma\"\nempty=\n");
        QString name;
        QCOMPARE(ResolveLanguage("-1", "9", name), QStringLiteral("9"));
        QCOMPARE(name, QStringLiteral("En"));
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(LangText("rstrExit", "Exit", tkWord), QStringLiteral("Leave"));
        QCOMPARE(LangText("rstrExit", "Exit", tkMessage), QStringLiteral("Exit"));
        QCOMPARE(LangText("msg", "x", tkMessage), QStringLiteral("Message text"));
        QCOMPARE(LangText("unknown", "fallback", tkWord), QStringLiteral("fallback"));
        QCOMPARE(LangText("rstr_HelpText", "%En", tkHelp), QStringLiteral("First line\r\nSecond, with comma\r\n"));
        QCOMPARE(LangText("empty", "default", tkHelp), QStringLiteral("default"));
        // A help text missing from the file keeps the caller's marker unchanged.
        QCOMPARE(LangText("missing", "%En", tkHelp), QStringLiteral("%En"));
        QCOMPARE(WordText("rstrExit", "Exit"), QStringLiteral("Leave"));
    }

    // Langs.ini names the language files; a file that is missing is told once, and Russian (built in) is used.
    void languageResolution()
    {
        auto resolve = [&](const char *previous, const char *wanted, QString name = QString()) {
            dialogs->clear();
            const QString id = ResolveLanguage(QString::fromLatin1(previous), QString::fromLatin1(wanted), name);
            QStringList warned;
            for (const RecordedBox &box : dialogs->boxes)
                warned << QFileInfo(box.text.section(QLatin1Char('"'), 1, 1)).fileName();
            return QStringList{id, name} + warned;
        };
        QCOMPARE(resolve("-1", "25"), (QStringList{"25", "Ru", "Langs.ini"}));
        QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONWARNING));
        QVERIFY(LanguageFile() == nullptr);
        // Another id without Langs.ini keeps the previous language.
        QCOMPARE(resolve("9", "7", QStringLiteral("En")), (QStringList{"9", "En", "Langs.ini"}));
        // English at start without Langs.ini: Russian, whose file is not needed either.
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        QCOMPARE(resolve("-1", "-1").mid(0, 3), (QStringList{"25", "Ru", "Langs.ini"}));
        QVERIFY(dialogs->boxes.last().text.contains(QStringLiteral("Ru.ini")));
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n9=En\n");
        QCOMPARE(resolve("-1", "9"), (QStringList{"25", "Ru", "En.ini"}));
        // Russian with a file of its own is 25 whatever id named it.
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n");
        dir->write(QStringLiteral("Res/Ru.ini"), "[WRD_WORDS]\nx=y\n");
        QCOMPARE(resolve("-1", "25"), (QStringList{"25", "Ru"}));
        QVERIFY(LanguageFile() != nullptr);
    }

    void captionSources()
    {
        QCOMPARE(GetConsoleCaption(), QStringLiteral("Отчеты"));
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        QCOMPARE(GetConsoleCaption(), QStringLiteral("Reports"));
        dir->write(QStringLiteral("Console.ini"), "[FORM]\nCAPTION=Plant office\n");
        QCOMPARE(GetConsoleCaption(), QStringLiteral("Plant office"));
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n9=En\n");
        dir->write(QStringLiteral("Res/En.ini"), "[WRD_WORDS]\nmyCaption=Translated caption\n");
        QString name;
        ResolveLanguage("-1", "9", name);
        dir->write(QStringLiteral("Console.ini"),
              "[START]\nLangID=9\n[FORM]\nCAPTION=Plant office\n[LANG_REFERENCE]\nCAPTION=myCaption\n");
        QCOMPARE(GetConsoleCaption(), QStringLiteral("Translated caption"));

        // Logged in: the database translation of the reports caption.
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        LoggedInDM dm;
        SetConsoleDataModule(&dm);
        FakeLanguages languages;
        languages.apl.insert(QStringLiteral("rstrReports"), QStringLiteral("Reports from the pack"));
        IniResString();
        QCOMPARE(GetConsoleCaption(), QStringLiteral("Reports from the pack"));
        SetConsoleDataModule(nullptr);
    }

    void saveLanguageId()
    {
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        SaveLanguageId(); // no data module: nothing
        QCOMPARE(ReadLangId(0), 9);
        LoggedInDM dm;
        SetConsoleDataModule(&dm);
        SaveLanguageId(); // no language pack: id 0 deletes the key
        QCOMPARE(ReadLangId(-5), -5);
        {
            FakeLanguages languages;
            languages.aplLang = 25;
            SaveLanguageId();
            QCOMPARE(ReadLangId(0), 25);
            dm.loggedIn = false;
            languages.aplLang = 9;
            SaveLanguageId();
            QCOMPARE(ReadLangId(0), 25);
        }
        SetConsoleDataModule(nullptr);
    }

    // The console's texts and the database translation routines follow the language pack.
    void consoleTextsAndTranslation()
    {
        const QString russian = ConsoleText(ctAllLibraries);
        TranslateConsoleTexts(); // no pack: unchanged
        QCOMPARE(ConsoleText(ctAllLibraries), russian);
        QString text = QStringLiteral("Сервис");
        ApplyAplText(text);
        QCOMPARE(text, QStringLiteral("Сервис"));
        {
            FakeLanguages languages;
            languages.apl.insert(russian, QStringLiteral("Все библиотеки"));
            languages.apl.insert(text, QStringLiteral("Service"));
            languages.english.insert(QStringLiteral("Выход"), QStringLiteral("Exit"));
            ApplyAplText(text);
            QString exit = QStringLiteral("Выход");
            ApplyAplEnText(exit);
            QCOMPARE(text + exit, QStringLiteral("ServiceExit"));
            TranslateConsoleTexts();
            QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("Все библиотеки"));
            QCOMPARE(ConsoleText(ctButton), ConsoleTextRu(ctButton));
            // English comes from the built-in texts, whatever the pack says.
            dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
            QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("List of all libraries"));
        }
        ReleaseConsoleTexts();
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=25\n");
        QCOMPARE(ConsoleText(ctAllLibraries), russian);
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
        const QLocale russian(QLocale::Russian, QLocale::Russia);
        QCOMPARE(LocaleToOracleDateFormat(QtFormatToWindowsPattern(russian.dateFormat(QLocale::ShortFormat))), QStringLiteral("DD.MM.YYYY"));
    }

    void caseMessagesFollowTheLanguage()
    {
        QCOMPARE(GetCaseMsg(0), QStringLiteral("Соединение с БД"));
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        QCOMPARE(GetCaseMsg(17), QStringLiteral("The user is locked"));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, GetCaseMsg(19));
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
        QVERIFY_THROWS_EXCEPTION(Exception, fSetShemaName(name, QStringLiteral("S")));
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

QTEST_MAIN(TestConsoleCfg)
#include "tst_ConsoleCfg.moc"
