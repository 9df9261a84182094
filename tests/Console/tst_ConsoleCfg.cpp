// The console's configuration: Console.ini (schemes, failing writes, two consoles
// switching schemes), language files and captions, the data module's pieces that
// need no database, and the windows that edit the configuration.
#include "Console/DMIMPL.h"
#include "Console/MainConsoleIMPL.h"
#include "Console/uConfigConsole.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uShemaForm.h"
#include "Core/IniFile.h"
#include "DataAccess/OraErrorHandler.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uOraFunctions.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TempExeDir.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestConsoleCfg : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;
    RecordingDialogService *dialogs = nullptr;

    QString consoleIni() const { return QString::fromUtf8(dir->read(u"Console.ini"_s)); }
    TIniFile ini() const { return TIniFile(dir->filePath(u"Console.ini"_s)); }
    QString formValue(const QString &key) const { return ini().ReadString(u"FORM"_s, key, u"missing"_s); }
    QString schemesValue(const QString &key) const { return ini().ReadString("SCHEMES", key, "missing"); }
    static QTreeWidgetItem *child(TShemaForm &form, int i) { return form.tvSchemeList->topLevelItem(0)->child(i); }
    void twoSchemes() const { dir->write(u"Console.ini"_s, "[SCHEMES]\nZANDRELL5=1\nTARVEL=0\n"); }

private slots:
    void init()
    {
        dir = new TempExeDir;
        dialogs = new RecordingDialogService;
    }
    void cleanup()
    {
        TIniFile::SetWriteFaultForTests({});
        delete dialogs;
        FinalizeConsoleFunctions();
        delete dir;
    }

    void schemes()
    {
        // Reading writes nothing (the active scheme is settled as it is read, below).
        ReadServer();
        QVERIFY(!QFile::exists(dir->filePath(u"Console.ini"_s)));
        // No section: the scheme is written as active and read back.
        SetActiveScheme(u"ABC"_s);
        QCOMPARE(GetActiveScheme(), u"ABC"_s);
        // Two marked 1 by hand: the first in file order wins; the next activation leaves one.
        dir->write(u"Console.ini"_s, "[SCHEMES]\nZANDRELL5=0\nTWO=1\nONE=1\n");
        QCOMPARE(GetActiveScheme(), u"TWO"_s);
        SetActiveScheme(u"one"_s);
        QCOMPARE(schemesValue("ZANDRELL5") + schemesValue("TWO") + schemesValue("ONE"), u"001"_s);
        QCOMPARE(GetActiveScheme(), u"one"_s);
        // None marked: back to ZANDRELL5.
        dir->write(u"Console.ini"_s, "[SCHEMES]\nA=0\nB=0\n");
        QCOMPARE(GetActiveScheme(), u"ZANDRELL5"_s);
        // Deleted in any letter case (adding is done in the scheme window).
        DeleteScheme(u"b"_s);
        QStringList list;
        GetSchemes(&list);
        QCOMPARE(list, (QStringList{"A", "ZANDRELL5"}));
        QVERIFY(QFile::remove(dir->filePath(u"Console.ini"_s)));
        QCOMPARE(GetActiveScheme(), u"ZANDRELL5"_s);
        QCOMPARE(consoleIni(), u"[SCHEMES]\nZANDRELL5=1\n"_s);
    }

    // Names that Console.ini [SCHEMES] can hold as keys: up to 128 characters, nothing that breaks a line.
    void schemeNames()
    {
        const QString longest(kMaxSchemeNameLength, QLatin1Char('S'));
        QVERIFY(IsCorrectSchemeName(u"ZANDRELL5"_s) && IsCorrectSchemeName(longest));
        for (const QString &name :
             {longest + u'S', QString(), u"[X"_s, u"A]B"_s, u";X"_s, u"A=B"_s, u"A\nB"_s, u"A\rB"_s})
            QVERIFY2(!IsCorrectSchemeName(name), qPrintable(name));
    }

    // A stored active scheme that is not correct is reported and passed over.
    void storedActiveSchemeThatIsNotCorrect_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("refused");
        const QString tooLong(kMaxSchemeNameLength + 1, QLatin1Char('S'));
        QTest::newRow("the default takes over") << QByteArray("[SCHEMES]\nA]B=1\nGOOD=0\n") << "ZANDRELL5"
                                                << "A]B";
        QTest::newRow("the next active one counts")
            << QByteArray("[SCHEMES]\n" + tooLong.toLatin1() + "=1\nGOOD=1\n") << "GOOD" << tooLong;
    }
    void storedActiveSchemeThatIsNotCorrect()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, active);
        QFETCH(QString, refused);
        dir->write(u"Console.ini"_s, file);
        QCOMPARE(GetActiveScheme(), active);
        QCOMPARE(GetActiveScheme(), active);
        QCOMPARE(dialogs->texts(), QStringList{ParamNotCorrectText(u"scheme"_s, refused)});
        QCOMPARE(TIniFile(dir->filePath(u"Console.ini"_s)).ReadString("SCHEMES", active, "missing"), u"1"_s);
    }

    // Settings that cannot be saved (a full disk, a lock that is a FIFO, a Console.ini that
    // is not text) are told once for a run of writes, naming the file, never waited for; the file and
    // the values read stay. A write that gets through ends the run: the next failure is told again.
    void settingsThatCannotBeSaved_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named"); // the file the warning names
        QTest::newRow("disk full") << u"full"_s << u"Console.ini"_s;
        QTest::newRow("lock is a FIFO") << u"fifo"_s << u"Console.ini.lock"_s;
        QTest::newRow("not a text file") << u"binary"_s << u"Console.ini.damaged"_s;
    }
    void settingsThatCannotBeSaved()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        const QByteArray before =
            "[CONNECTION]\nserver=OLD\nhome=2\n[SCHEMES]\nOLD=1\n" + QByteArray(kind == u"binary" ? 16 : 0, '\0');
        dir->write(u"Console.ini"_s, before);
        const QByteArray lock = QFile::encodeName(dir->filePath(u"Console.ini.lock"_s));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(lock.constData(), 0600), 0);
        else if (kind == u"full")
            TIniFile::SetWriteFaultForTests({0, false});
        QVERIFY(!WriteServer(u"NEW"_s));
        QVERIFY(!WriteHome(3));
        QVERIFY(!SetActiveScheme(u"X"_s));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes[0].text.contains(u"\"%1\""_s.arg(dir->filePath(named))),
                 qPrintable(dialogs->texts()[0]));
        QCOMPARE(dir->read(u"Console.ini"_s), before);
        QCOMPARE(ReadServer() + GetActiveScheme(), u"OLDOLD"_s);
        if (kind != u"full")
            return;
        TIniFile::SetWriteFaultForTests({});
        QVERIFY(WriteHome(3));
        TIniFile::SetWriteFaultForTests({-1, true});
        QVERIFY(!WriteFormTop(true));
        QCOMPARE(dialogs->boxes.size(), 2);
        QCOMPARE(ReadHome(), 3);
        QCOMPARE(ReadFormTop(), false);
    }

    // Console.ini keeps a scheme's name without the blanks around it: given with blanks it is the same scheme.
    void schemeNamesAreComparedTrimmed()
    {
        twoSchemes();
        QVERIFY(SetActiveScheme(u" TARVEL "_s));
        QVERIFY(AddScheme(u" ZANDRELL5"_s, false));
        QCOMPARE(consoleIni(), u"[SCHEMES]\nZANDRELL5=0\nTARVEL=1\n"_s);
        QVERIFY(DeleteScheme(u"TARVEL "_s));
        QCOMPARE(consoleIni(), u"[SCHEMES]\nZANDRELL5=0\n"_s);
    }

    // Another console starting while two others switch schemes finds exactly one active scheme.
    void twoConsolesSwitchSchemesAtOnce()
    {
        dir->write(u"Console.ini"_s, "[SCHEMES]\nZANDRELL5=1\nFIRST=0\nSECOND=0\n");
        const QString go = dir->filePath(u"go"_s);
        QList<QProcess *> consoles;
        for (const QString &scheme : {u"FIRST"_s, u"SECOND"_s}) {
            auto *console = new QProcess(this);
            console->start(QStringLiteral(INI_WRITER_HELPER),
                           {dir->filePath(u"Console.ini"_s), u"scheme:"_s + scheme, u"40"_s, go});
            QVERIFY(console->waitForStarted());
            consoles << console;
        }
        QVERIFY(dir->write(u"go"_s, QByteArray()));
        QStringList seen; // each moment with another count of active schemes than one
        QElapsedTimer timer;
        timer.start();
        while (std::any_of(consoles.cbegin(), consoles.cend(),
                           [](QProcess *c) { return c->state() != QProcess::NotRunning; }) &&
               timer.elapsed() < 120000) {
            const QByteArray file = dir->read(u"Console.ini"_s);
            if ((file + '\n').count("=1\n") != 1)
                seen << QString::fromLatin1(file);
            QCoreApplication::processEvents();
        }
        for (QProcess *console : consoles)
            QCOMPARE(console->exitCode(), 0);
        QCOMPARE(seen, QStringList());
        QCOMPARE(TIniFile(dir->filePath(u"Console.ini"_s)).ReadSection("SCHEMES").size(), 3);
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
        QVERIFY(LanguageFile() == nullptr);
        // Another id without Langs.ini keeps the previous language.
        QCOMPARE(resolve("9", "7", u"En"_s), (QStringList{"9", "En", "Langs.ini"}));
        // English at start without Langs.ini: Russian, whose file is not needed either.
        dir->write(u"Console.ini"_s, "[START]\nLangID=9\n");
        QCOMPARE(resolve("-1", "-1").mid(0, 3), (QStringList{"25", "Ru", "Langs.ini"}));
        QVERIFY(dialogs->boxes.last().text.contains(u"Ru.ini"_s));
        dir->write(u"Res/Langs.ini"_s, "[LANGS]\n9=En\n");
        QCOMPARE(resolve("-1", "9"), (QStringList{"25", "Ru", "En.ini"}));
        // Russian with a file of its own is 25 whatever id named it.
        dir->write(u"Res/Langs.ini"_s, "[LANGS]\n25=Ru\n");
        dir->write(u"Res/Ru.ini"_s, "[WRD_WORDS]\nx=y\n");
        QCOMPARE(resolve("-1", "25"), (QStringList{"25", "Ru"}));
        QVERIFY(LanguageFile() != nullptr);
    }

    // A Langs.ini entry that names no language file is told with the language and the file.
    void garbledLanguageEntry_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("empty") << QByteArray("9=") << false;
        QTest::newRow("a path") << QByteArray("9=../../etc/passwd") << false;
        QTest::newRow("a name") << QByteArray("9=En") << true;
    }
    void garbledLanguageEntry()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, accepted);
        dir->write(u"Res/Langs.ini"_s, "[LANGS]\n25=Ru\n" + entry + "\n");
        dir->write(u"Res/En.ini"_s, "[WRD_WORDS]\nrstrParameters=Parameters\n");
        QString name = u"Ru"_s;
        QCOMPARE(ResolveLanguage(u"-1"_s, u"9"_s, name), accepted ? u"9"_s : u"25"_s);
        QCOMPARE(name, accepted ? u"En"_s : u"Ru"_s);
        QCOMPARE(dialogs->boxes.size(), accepted ? 0 : 1);
        if (!accepted)
            QVERIFY(dialogs->boxes.first().text.contains(u"\"%1\""_s.arg(dir->filePath(u"Res/Langs.ini"_s))));
    }

    void captionSources()
    {
        dir->write(u"Console.ini"_s, "[FORM]\nCAPTION=Plant office\n");
        QCOMPARE(GetConsoleCaption(), u"Plant office"_s);
        dir->write(u"Res/Langs.ini"_s, "[LANGS]\n9=En\n");
        dir->write(u"Res/En.ini"_s, "[WRD_WORDS]\nmyCaption=Translated caption\n");
        QString name;
        ResolveLanguage("-1", "9", name);
        dir->write(u"Console.ini"_s,
                   "[START]\nLangID=9\n[FORM]\nCAPTION=Plant office\n[LANG_REFERENCE]\nCAPTION=myCaption\n");
        QCOMPARE(GetConsoleCaption(), u"Translated caption"_s);
    }

    // Locale date and time patterns as Oracle formats.
    void oracleFormats_data()
    {
        QTest::addColumn<bool>("date");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("oracle");
        const struct {
            bool date;
            const char *locale, *oracle;
        } rows[] = {
            {true, "d/M/yy", "fmDDfm/fmMMfm/YY"},
            {true, "dddd, MMMM d, yyyy", "fmDAYfm, MONTH fmDDfm, YYYY"},
            {true, "ddd MMM", "DY MON"},
            {true, "ddddd", "fmDAYfmfmDDfm"},
            {true, "gg yyyy", "EE YYYY"},
            {true, "d 'de' MMMM", "fmDDfm \"de\" MONTH"},
            {true, "yyyy\"г.\"", "YYYY\"г.\""},
            {true, "dd 'rest", "DD \"rest\""},
            {false, "H:mm:ss", "fmHH24fm:MI:SS"},
            {false, "hh:mm:ss tt", "HH12:MI:SS AM"},
            {false, "h:nn AMPM", "fmHH12fm:MI AM"},
            {false, "HH:m:s", "HH24:fmMIfm:fmSSfm"},
            {false, "HH:mm:ss.zzz", "HH24:MI:SS.FF"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.locale) << row.date << QString::fromUtf8(row.locale) << QString::fromUtf8(row.oracle);
    }
    void oracleFormats()
    {
        QFETCH(bool, date);
        QFETCH(QString, locale);
        QFETCH(QString, oracle);
        QCOMPARE(date ? LocaleToOracleDateFormat(locale) : LocaleToOracleTimeFormat(locale), oracle);
    }

    void platformLocaleFormats()
    {
        // Qt's patterns are rewritten into the Windows letters before the conversion.
        QCOMPARE(QtFormatToWindowsPattern(u"h:mm:ss AP t"_s), u"h:mm:ss tt"_s);
        QCOMPARE(QtFormatToWindowsPattern(u"HH:mm:ss t"_s), u"HH:mm:ss"_s);
        const QLocale russian(QLocale::Russian, QLocale::Russia);
        QCOMPARE(LocaleToOracleDateFormat(QtFormatToWindowsPattern(russian.dateFormat(QLocale::ShortFormat))),
                 u"DD.MM.YYYY"_s);
    }

    // The code shown and the text of the errors a login on the embedded server cannot meet.
    void errorHooks()
    {
        TDM dm;
        dm.CommonSession->SetUsername(u"OPERATOR"_s);
        const QList<std::tuple<int, int, QString>> cases = {
            {942, 942, "Ora-Error: 942 -> Пользователь \"OPERATOR\" не зарегистрирован"},
            {12545, 12454, "Ora-Error: 12545 -> 12454 -> Нет соединения по сети"},
            {1403, 1403, "ORA-01403: no data found"},
        };
        for (const auto &[code, shown, text] : cases) {
            EDAError error(code, u"ORA-01403: no data found"_s);
            dm.CommonSession->OnError(dm.CommonSession, error);
            QCOMPARE(error.ErrorCode(), shown);
            QCOMPARE(error.message(), text);
        }
    }

    void passwordWrapping()
    {
        const QStringList exempt{u"x"_s, u"service"_s};
        QCOMPARE(TDM::WrapPassword(u"abc"_s, exempt), u"~abc~"_s);
        QCOMPARE(TDM::WrapPassword(u"~abc"_s, exempt), u"~abc"_s);
        QCOMPARE(TDM::WrapPassword(u"abc~"_s, exempt), u"abc~"_s);
        QCOMPARE(TDM::WrapPassword(u"SERVICE"_s, exempt), u"SERVICE"_s);
        QVERIFY(TDM::ExemptPasswords().isEmpty());
        dir->write(u"Deploy.ini"_s, "[PASSWORDS]\nExempt1=q\nExempt2=sysserv\n");
        QCOMPARE(TDM::ExemptPasswords(), (QStringList{"q", "sysserv"}));
    }

    void schemeMacroRoutines()
    {
        QString name = u"a.PACK.PROC"_s;
        fSetShemaName(name, u"S"_s);
        QCOMPARE(name, u"S.PACK.PROC"_s);
        name = u"NODOT"_s;
        QVERIFY_THROWS_EXCEPTION(Exception, fSetShemaName(name, u"S"_s));
        QCOMPARE(QualifyObjectName(u"xxx.Request"_s, u"ZANDRELL5"_s), u"ZANDRELL5.Request"_s);
        QCOMPARE(QualifyObjectName(u"Request"_s, u"Z"_s), u"Z.Request"_s);

        QObject owner;
        TOraSession session;
        auto *query = new TSmartQuery(&owner);
        query->SetSQLText(u"SELECT * FROM &SHEMA.V_ACCESS"_s);
        auto *skipped = new TSmartQuery(&owner);
        skipped->SetSQLText(u"SELECT * FROM &shema.X"_s);
        skipped->SetTag(1);
        auto *package = new TOraPackage(&owner);
        package->SetPackageName(u"Zandrell_pro.MENUPACK"_s);
        auto *handler = new TOraErrorHandler(&owner);
        SetComponentsSession(&owner, &session);
        QVERIFY(query->Session() == &session && package->Session() == &session && handler->Session() == &session);
        fSetShema(&owner, u"ZANDRELL5"_s);
        QCOMPARE(query->FinalSQL(), u"SELECT * FROM ZANDRELL5.V_ACCESS"_s);
        QCOMPARE(package->PackageName(), u"ZANDRELL5.MENUPACK"_s);
        QCOMPARE(skipped->FinalSQL(), u"SELECT * FROM .X"_s);
        QVERIFY_THROWS_EXCEPTION(Exception, fSetShema(&owner, QString()));

        // A query without the macro names itself in the error.
        auto *broken = new TSmartQuery(&owner);
        broken->setObjectName(u"broken"_s);
        broken->SetSQLText(u"SELECT 1 FROM DUAL"_s);
        try {
            fSetShema(&owner, u"ZANDRELL5"_s);
            QFAIL("expected an error");
        } catch (const Exception &e) {
            QVERIFY(e.message().startsWith(u"broken: "_s));
        }
    }

    void getCursorNeedsTheMacro()
    {
        TDM dm;
        TSmartQuery query;
        QVERIFY(!dm.GetCursor(u"SELECT 1 FROM DUAL"_s, &query));
        QVERIFY(dialogs->boxes.isEmpty());
    }

    // A scheme (not the root) is activated by its button, a double click or Enter; Esc leaves with OK too.
    void schemeListAndActivation_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"button", "double click", "Enter", "Esc"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void schemeListAndActivation()
    {
        twoSchemes();
        QFETCH(QString, how);
        TShemaForm form;
        form.show();
        QTreeWidgetItem *root = form.tvSchemeList->topLevelItem(0);
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 2);
        QVERIFY(!form.btnActivateScheme->isEnabled() && !form.btnDelScheme->isEnabled());
        form.tvSchemeList->setCurrentItem(root);
        QVERIFY(!form.btnActivateScheme->isEnabled());
        form.tvSchemeList->setCurrentItem(child(form, 1));
        QVERIFY(form.btnActivateScheme->isEnabled() && form.btnDelScheme->isEnabled());
        if (how == u"button"_s)
            QTest::mouseClick(form.btnActivateScheme, Qt::LeftButton);
        else if (how == u"double click"_s)
            emit form.tvSchemeList->itemDoubleClicked(child(form, 1), 0);
        else if (how == u"Enter"_s)
            QTest::keyClick(form.tvSchemeList, Qt::Key_Return);
        else
            QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        const bool activated = how != u"Esc"_s;
        QCOMPARE(schemesValue("TARVEL"), activated ? u"1"_s : u"0"_s);
        QCOMPARE(schemesValue("ZANDRELL5"), activated ? u"0"_s : u"1"_s);
        QCOMPARE(form.StaticText1->text(), activated ? u"TARVEL"_s : u"ZANDRELL5"_s);
    }

    // Schemes are added through the input dialog and deleted after a question.
    void addAndDeleteSchemes()
    {
        twoSchemes();
        TShemaForm form;
        form.show();
        QString typed = u"NEW_ONE"_s;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            if (!input)
                return int(QDialog::Rejected);
            input->setTextValue(typed);
            return int(QDialog::Accepted);
        };
        // A name is added, not active; an empty one, or one Console.ini cannot hold, is reported and not
        // added; the active scheme typed again stays active and listed once.
        for (const char *name : {"NEW_ONE", "   ", "A=B", "zandrell5"}) {
            typed = QString::fromLatin1(name);
            QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        }
        QCOMPARE(ini().ReadSection("SCHEMES"), (QStringList{"ZANDRELL5", "TARVEL", "NEW_ONE"}));
        QCOMPARE(schemesValue("NEW_ONE"), u"0"_s);
        QCOMPARE(schemesValue("ZANDRELL5"), u"1"_s);
        QCOMPARE(child(form, 2)->text(0), u"NEW_ONE"_s);
        QCOMPARE(dialogs->boxes.size(), 2);
        dialogs->onModal = nullptr;
        QTest::mouseClick(form.btnNewScheme, Qt::LeftButton);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 3);

        form.tvSchemeList->setCurrentItem(child(form, 1));
        dialogs->answers = {IDNO};
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QVERIFY(dialogs->boxes.last().text.contains(u"TARVEL"_s));
        QCOMPARE(schemesValue("TARVEL"), u"0"_s);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 3);

        dialogs->answers = {IDYES};
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QCOMPARE(schemesValue("TARVEL"), u"missing"_s);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 2);
        QCOMPARE(form.Schemes, (QStringList{"ZANDRELL5", "NEW_ONE"}));

        // The active scheme may be deleted; the label stays as it was.
        form.tvSchemeList->setCurrentItem(child(form, 0));
        QTest::mouseClick(form.btnDelScheme, Qt::LeftButton);
        QCOMPARE(form.StaticText1->text(), u"ZANDRELL5"_s);
        QCOMPARE(form.tvSchemeList->topLevelItem(0)->childCount(), 1);
    }

    void settingsWindowLoadsAndWrites()
    {
        dir->write(u"Console.ini"_s, "[FORM]\nHideMinimized=0\nFormTop=1\nViewLogo=0\nCreateSeps=1\nMiniTB=1\n");
        const auto made = TComBaseForm::Create<TfmConfigConsole>();
        TfmConfigConsole &form = *made;
        form.show();
        QVERIFY(!form.chHideMinimized->isChecked());
        QVERIFY(form.chFormTop->isChecked());
        QVERIFY(form.chCreateSeparators->isChecked());
        QCOMPARE(form.ButtonSizeIndex(), 1);

        // OK without a change of button size: no notice, all five written.
        form.chViewLogo->setChecked(true);
        form.chCreateSeparators->setChecked(false);
        QTest::mouseClick(form.btnOK, Qt::LeftButton);
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(formValue(u"ViewLogo"_s), u"1"_s);
        QCOMPARE(formValue(u"CreateSeps"_s), u"0"_s);
        QCOMPARE(formValue(u"HideMinimized"_s), u"0"_s);

        // A new button size takes effect at the next start, and the window says so.
        form.show();
        form.rbLarge->setChecked(true);
        QTest::mouseClick(form.btnOK, Qt::LeftButton);
        QCOMPARE(dialogs->boxes.size(), 1);
        QCOMPARE(formValue(u"MiniTB"_s), u"0"_s);
    }

    void systemMenuCommands()
    {
        TfmMain main;
        main.miSysHideMinimized->trigger();
        QCOMPARE(formValue(u"HideMinimized"_s), u"0"_s);
        QVERIFY(!main.miSysHideMinimized->isChecked());
        main.miSysFormTop->trigger();
        QCOMPARE(formValue(u"FormTop"_s), u"1"_s);
        QVERIFY(main.miSysFormTop->isChecked());
        main.miSysFormTop->trigger();
        QCOMPARE(formValue(u"FormTop"_s), u"0"_s);
    }
};

QTEST_MAIN(TestConsoleCfg)
#include "tst_ConsoleCfg.moc"
