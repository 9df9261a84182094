// Console.ini accessors and schemes, the language files, and the console's texts.
#include "Exceptions.h"
#include "FakeLanguages.h"
#include "IniFile.h"
#include "RecordingDialogService.h"
#include "uConsoleCfg.h"
#include "uConsoleDM.h"
#include "uConsoleFunctions.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "TempExeDir.h"

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

    void freshInstallationDefaults()
    {
        QCOMPARE(ReadServer(), QStringLiteral("ZANDRELL"));
        QCOMPARE(ReadUser(), QStringLiteral("ZL_USER"));
        QCOMPARE(ReadHome(), 0);
        QCOMPARE(ReadStoreInReg(), false);
        QCOMPARE(ReadUseOCI7(), false);
        QCOMPARE(ReadEncode(), false);
        QCOMPARE(ReadHideMinimized(), true);
        QCOMPARE(ReadMiniTB(), true);
        QCOMPARE(ReadCreateSeps(), true);
        QCOMPARE(ReadFormTop(), false);
        QCOMPARE(ReadViewLogo(), false);
        QCOMPARE(ReadActiveIcon(), QStringLiteral("ConsoleIcon.ico"));
        QCOMPARE(ReadLangId(25), 25);
        QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("Console.ini"))));
        QCOMPARE(GetActiveScheme(), QStringLiteral("ZANDRELL5"));
        QCOMPARE(consoleIni(), QStringLiteral("[SCHEMES]\nZANDRELL5=1\n"));
    }

    void accessorsWriteTheirKeys()
    {
        WriteServer(QStringLiteral("SRV"));
        WriteUser(QStringLiteral("OPERATOR"));
        WriteHome(3);
        WriteHideMinimized(false);
        WriteMiniTB(false);
        WriteCreateSeps(false);
        WriteFormTop(true);
        WriteViewLogo(true);
        TIniFile ini(dir->filePath(QStringLiteral("Console.ini")));
        QCOMPARE(ini.ReadString("CONNECTION", "server", ""), QStringLiteral("SRV"));
        QCOMPARE(ini.ReadString("CONNECTION", "user", ""), QStringLiteral("OPERATOR"));
        QCOMPARE(ini.ReadString("CONNECTION", "home", ""), QStringLiteral("3"));
        QCOMPARE(ini.ReadSection("FORM"),
                 (QStringList{"HideMinimized", "MiniTB", "CreateSeps", "FormTop", "ViewLogo"}));
        QCOMPARE(ReadServer(), QStringLiteral("SRV"));
        QCOMPARE(ReadHome(), 3);
        QCOMPARE(ReadHideMinimized(), false);
        QCOMPARE(ReadFormTop(), true);
        QCOMPARE(ReadViewLogo(), true);
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
        QCOMPARE(ini.ReadString("SCHEMES", "ZANDRELL5", ""), QStringLiteral("0"));
        QCOMPARE(ini.ReadString("SCHEMES", "TWO", ""), QStringLiteral("0"));
        QCOMPARE(ini.ReadString("SCHEMES", "ONE", ""), QStringLiteral("1"));
        QCOMPARE(GetActiveScheme(), QStringLiteral("one"));
        // None marked: back to ZANDRELL5.
        dir->write(QStringLiteral("Console.ini"), "[SCHEMES]\nA=0\nB=0\n");
        QCOMPARE(GetActiveScheme(), QStringLiteral("ZANDRELL5"));
        QCOMPARE(ini.ReadSection("SCHEMES"), (QStringList{"A", "B", "ZANDRELL5"}));

        AddScheme(QStringLiteral("NEW"), false);
        QStringList list;
        GetSchemes(&list);
        QCOMPARE(list, (QStringList{"A", "B", "ZANDRELL5", "NEW"}));
        DeleteScheme(QStringLiteral("b"));
        GetSchemes(&list);
        QCOMPARE(list, (QStringList{"A", "ZANDRELL5", "NEW"}));

        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, AddScheme(QStringLiteral("  "), true));
        try {
            GetSchemes(nullptr);
            QFAIL("expected an assertion");
        } catch (const EAssertionFailed &e) {
            QVERIFY(e.message().startsWith(QStringLiteral("GetSchemes: SchemesList(sList) = nil (Console/uConsoleCfg, line ")));
        }
    }

    void selectTextFollowsLangId()
    {
        QCOMPARE(SelectText("ru", "en"), QStringLiteral("ru"));
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        QCOMPARE(SelectText("ru", "en"), QStringLiteral("en"));
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=25\n");
        QCOMPARE(SelectText("ru", "en"), QStringLiteral("ru"));
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

    void languageResolution()
    {
        // Langs.ini missing at start: one warning, Russian.
        QString name;
        QCOMPARE(ResolveLanguage("-1", "25", name), QStringLiteral("25"));
        QCOMPARE(name, QStringLiteral("Ru"));
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(dialogs->boxes.first().flags, unsigned(MB_ICONWARNING));
        QCOMPARE(dialogs->boxes.first().caption, QString());
        QVERIFY(dialogs->boxes.first().text.contains(dir->filePath(QStringLiteral("Res/Langs.ini"))));
        QVERIFY(LanguageFile() == nullptr);

        // Langs.ini missing, another id, previous kept.
        dialogs->clear();
        name = QStringLiteral("En");
        QCOMPARE(ResolveLanguage("9", "7", name), QStringLiteral("9"));
        QCOMPARE(name, QStringLiteral("En"));
        QCOMPARE(dialogs->boxes.size(), 1);

        // Langs.ini missing and id 9 at start: a warning for Langs.ini, none for Ru.ini (id 25 is built in).
        dialogs->clear();
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
        QCOMPARE(ResolveLanguage("-1", "-1", name), QStringLiteral("25"));
        QCOMPARE(dialogs->boxes.size(), 2);
        QVERIFY(dialogs->boxes.at(1).text.contains(QStringLiteral("Ru.ini")));

        // Langs.ini present, the language file missing: a warning and Russian.
        dialogs->clear();
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n9=En\n");
        name.clear();
        QCOMPARE(ResolveLanguage("-1", "9", name), QStringLiteral("25"));
        QCOMPARE(name, QStringLiteral("Ru"));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY(dialogs->boxes.first().text.contains(QStringLiteral("En.ini")));

        // Ru with its own file returns 25 whatever id named it.
        dialogs->clear();
        dir->write(QStringLiteral("Res/Langs.ini"), "[LANGS]\n25=Ru\n");
        dir->write(QStringLiteral("Res/Ru.ini"), "[WRD_WORDS]\nx=y\n");
        QCOMPARE(ResolveLanguage("-1", "25", name), QStringLiteral("25"));
        QVERIFY(LanguageFile() != nullptr);
        QVERIFY(dialogs->boxes.isEmpty());
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

    void consoleTextsAndTranslation()
    {
        QCOMPARE(int(ctConsoleTextCount), 46);
        QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("Список всех библиотек"));
        QCOMPARE(ConsoleText(ctMenuConfigChanged), QStringLiteral("Конфигурация меню была изменена"));
        QCOMPARE(ConsoleTextRu(ctHideMinimized), ConsoleTextRu(ctHideMinimized2));
        TranslateConsoleTexts(); // no pack: unchanged
        QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("Список всех библиотек"));
        {
            FakeLanguages languages;
            languages.apl.insert(QStringLiteral("Список всех библиотек"), QStringLiteral("Все библиотеки"));
            TranslateConsoleTexts();
            QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("Все библиотеки"));
            QCOMPARE(ConsoleText(ctButton), QStringLiteral("Кнопка"));
            dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=9\n");
            QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("List of all libraries"));
        }
        ReleaseConsoleTexts();
        dir->write(QStringLiteral("Console.ini"), "[START]\nLangID=25\n");
        QCOMPARE(ConsoleText(ctAllLibraries), QStringLiteral("Список всех библиотек"));
    }

    void databaseTranslationRoutines()
    {
        QString text = QStringLiteral("Сервис");
        ApplyAplText(text);
        QCOMPARE(text, QStringLiteral("Сервис"));
        QCOMPARE(TranslateToEnglish(QStringLiteral("Сервис")), QStringLiteral("Сервис"));
        QCOMPARE(TranslateFieldText(QStringLiteral("R_STATE"), 0, QStringLiteral("Не загружено")),
                 QStringLiteral("Не загружено"));
        FakeLanguages languages;
        languages.apl.insert(QStringLiteral("Сервис"), QStringLiteral("Service"));
        languages.english.insert(QStringLiteral("Выход"), QStringLiteral("Exit"));
        ApplyAplText(text);
        QCOMPARE(text, QStringLiteral("Service"));
        QString exit = QStringLiteral("Выход");
        ApplyAplEnText(exit);
        QCOMPARE(exit, QStringLiteral("Exit"));
        QCOMPARE(TranslateAppText(QStringLiteral("unknown")), QStringLiteral("unknown"));
    }

    void notificationCaption()
    {
        ShowNotification(QStringLiteral("Done"), MB_ICONINFORMATION);
        QCOMPARE(dialogs->boxes.last().caption, QStringLiteral("Уведомление"));
        QCOMPARE(dialogs->boxes.last().text, QStringLiteral("Done"));
    }
};

QTEST_MAIN(TestConsoleCfg)
#include "tst_ConsoleCfg.moc"
