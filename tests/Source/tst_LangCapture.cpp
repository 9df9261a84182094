// The capture of a form's Russian texts into the language pack (Ctrl+Shift+F12
// with DBG.so beside the program) over a fresh demo database, and the loading
// of the debugging library itself.
#include "DataAccess/LanguagesDM.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "Source/ComUnits/Lang/uLangCapture.h"
#include "Source/ComUnits/Lang/uLangComp.h"
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGInt.h"
#include "Source/ComUnits/uServiceForm.h"
#include "Source/FormReposit/uComBaseForm.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A date scroller: its own text is no phrase, its children's are.
class TScrollDateTime : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

namespace {

QString binaryFile(const QString &path) { return qEnvironmentVariable("ZANDRELL_BINARY_DIR") + u'/' + path; }
QString sourceFile(const QString &path) { return qEnvironmentVariable("ZANDRELL_SOURCE_DIR") + u'/' + path; }

// A form with texts of every kind, twice "Закрыть", and a password.
class TCaptureForm : public TComBaseForm {
public:
    TCaptureForm()
    {
        setWindowTitle(u"Проверочная форма"_s);
        new QLabel(u"Имя клиента"_s, this);
        new QLabel(u"Закрыть"_s, this);
        new QPushButton(u" Закрыть "_s, this);
        new QLabel(u"Latin only"_s, this);
        (new QLineEdit(u"Секрет"_s, this))->setEchoMode(QLineEdit::Password);
    }
    // The handler itself, whether the action is enabled or not.
    void runCapture() { acDBGExistExecute(); }

protected:
    void FormCreate() override { ExtraPhrases << u"Extra in Latin"_s << u"  Дополнительно  "_s; }
};

// The phrases stored for a form class, sorted, "|" between them.
QString storedPhrases(TOraSession *session, const QString &className)
{
    return Scalar(session,
                  u"SELECT group_concat(PHRASE, '|') FROM (SELECT P.PHRASE FROM TARVEL.RUSSIAN_PHRASES P, "
                  "TARVEL.DFM F WHERE F.ID_DFM = P.ID_DFM AND F.NAME = :NAME ORDER BY P.PHRASE)"_s,
                  {className})
        .toString();
}

int rows(TOraSession *session, const QString &table)
{
    return Scalar(session, u"SELECT count(*) FROM TARVEL."_s + table).toInt();
}

} // namespace

class TestLangCapture : public QObject {
    Q_OBJECT

    std::unique_ptr<RecordingDialogService> dialogs;
    std::unique_ptr<QTemporaryDir> programDir;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<TOraSession> session;
    std::unique_ptr<TDbLanguagesDM> languages;

    void placeLibrary(const QString &file)
    {
        QVERIFY(QFile::copy(file, QDir(programDir->path()).filePath(DBGInt::LibraryFileName())));
    }

    // DBG.so loaded; a form made then.
    std::unique_ptr<TCaptureForm> captureForm()
    {
        placeLibrary(binaryFile(u"DBG.so"_s));
        DBGInt::LoadDBG(nullptr);
        return TComBaseForm::Create<TCaptureForm>();
    }

    QString loadedText() const { return u"Библиотека \"%1\" загружена"_s.arg(DBGInt::LibraryPath()); }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void init()
    {
        dialogs = std::make_unique<RecordingDialogService>();
        programDir = std::make_unique<QTemporaryDir>();
        SetProgramFolderForTests(programDir->path());
        server = std::make_unique<TestServer>();
        session = server->Connect();
        languages = std::make_unique<TDbLanguagesDM>(nullptr, u"ZANDRELL5"_s, session.get());
        SetComLanguages(languages.get());
    }

    void cleanup()
    {
        DBGInt::FreeDBG();
        SetComLanguages(nullptr);
        languages.reset();
        session.reset();
        server.reset();
        SetProgramFolderForTests(QString());
        programDir.reset();
        dialogs.reset();
    }

    // --- the debugging library
    // box: a part of the one message; without the library a form neither offers nor runs the capture.
    void debuggingLibrary_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("box");
        QTest::newRow("none: nothing happens") << QString() << false << QString();
        QTest::newRow("with its entry") << binaryFile(u"DBG.so"_s) << true << QString();
        QTest::newRow("without its entry")
            << binaryFile(u"tests/formlib/empty/ComformLibs.so"_s) << true << u" DBG.so: \"_DBGInitialize\"."_s;
        QTest::newRow("not a library") << sourceFile(u"tests/Modules/NotAModule.txt"_s) << false << u"uDBGInt: "_s;
    }
    void debuggingLibrary()
    {
        QFETCH(QString, file);
        QFETCH(bool, loaded);
        QFETCH(QString, box);
        if (!file.isEmpty())
            placeLibrary(file);
        QCOMPARE(DBGInt::LoadDBG(nullptr), loaded);
        DBGInt::LoadDBG(nullptr); // loaded once: a second call neither loads nor tells again
        QCOMPARE(dialogs->texts().size(), box.isEmpty() ? 0 : 1);
        QVERIFY2(box.isEmpty() || dialogs->texts()[0].contains(box), qPrintable(dialogs->texts().join(u'\n')));
        auto form = TComBaseForm::Create<TCaptureForm>();
        QCOMPARE(form->acDBGExist->isEnabled(), loaded);
        if (!loaded) {
            form->runCapture();
            QCOMPARE(dialogs->texts().size(), box.isEmpty() ? 0 : 1);
            QCOMPARE(rows(session.get(), u"DPR"_s), 0);
        }
    }

    // --- what a form gives: Russian texts of every kind, never a password's or a count's.
    void collectsShownTexts()
    {
        QWidget form;
        form.setWindowTitle(u"Окно"_s); // the form's own caption is the action's, not the walk's
        QWidget *holder = new QWidget(&form);
        new QLabel(u"  Надпись "_s, holder);
        new QLabel(u"Caption"_s, holder);
        new QLineEdit(u"Текст правки"_s, holder);
        (new QLineEdit(u"Пароль123"_s, holder))->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        auto *count = new QLabel(u"Прочитано: 12"_s, holder);
        count->setProperty("tag", kLangNoTranslateTag);
        count->setToolTip(u"Подсказка счёта"_s);
        (new QWidget(holder))->setToolTip(u"Подсказка"_s);
        new QLabel(u"Внутри группы"_s, new QGroupBox(u"Группа"_s, holder));
        (new QComboBox(holder))->addItems({u"Первый"_s, u"Second"_s, u"Третий"_s});
        (new QListWidget(holder))->addItems({u"Пункт"_s, u"Item"_s});
        new QPlainTextEdit(u"Строка один\nLine two\nСтрока три"_s, holder);
        auto *model = new QStandardItemModel(1, 2, holder);
        model->setHorizontalHeaderLabels({u"Колонка"_s, u"ID"_s});
        model->setItem(0, 0, new QStandardItem(u"Данные, а не текст"_s));
        (new QTableView(holder))->setModel(model);
        (new QTabWidget(holder))->addTab(new QWidget, u"Вкладка"_s);
        new QLabel(u"Внутри"_s, new TScrollDateTime(u"Дата"_s, holder)); // a date scroller: its children only
        TPhraseList list;
        CollectPhrases(&form, list);
        QCOMPARE(list.Items().join(u'|'), u"Вкладка|Внутри|Внутри группы|Группа|Колонка|Надпись|Первый|Подсказка|"
                                          "Подсказка счёта|Пункт|Строка один|Строка три|Текст правки|Третий"_s);
    }

    void moduleNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("\"dll\" inside the name stays") << u"Dllreader.dll.so"_s << false << u"Dllreader.dll.dpr"_s;
        QTest::newRow("a module of the other platform") << u"ORDERS.DLL"_s << false << u"ORDERS.dpr"_s;
        QTest::newRow("the program") << u"KorConsole"_s << true << u"KorConsole.exe"_s;
    }
    void moduleNames()
    {
        QFETCH(QString, file);
        QFETCH(bool, program);
        QTEST(LangPackModuleName(file, program), "name");
    }

    // --- the capture

    // Committed before the success message, so another session sees it; again: the rows are found, not repeated.
    void capturesTheFormOnce()
    {
        auto form = captureForm();
        form->acDBGExist->trigger();
        QCOMPARE(dialogs->texts(), (QStringList{loadedText(), u"Слова скопированы"_s}));
        auto other = server->Connect();
        QCOMPARE(storedPhrases(other.get(), u"TCaptureForm"_s),
                 u"Extra in Latin|Дополнительно|Закрыть|Имя клиента|Проверочная форма"_s);
        QCOMPARE(Scalar(other.get(), u"SELECT NAME FROM TARVEL.DPR"_s).toString(), u"tst_LangCapture.exe"_s);
        QCOMPARE(Scalar(other.get(), u"SELECT IS_TRANSLIT FROM TARVEL.DFM WHERE NAME = 'TCaptureForm'"_s).toInt(), 1);
        form->ExtraPhrases << u"Ещё одна"_s;
        form->acDBGExist->trigger();
        QCOMPARE(dialogs->texts().last(), u"Слова скопированы"_s);
        QCOMPARE(rows(other.get(), u"DPR"_s) + rows(other.get(), u"DFM"_s), 2);
        QCOMPARE(storedPhrases(other.get(), u"TCaptureForm"_s).count(u'|'), 5);
    }

    void englishUserIsSentToTheRussianVersion()
    {
        languages->SET_USER_APL_LANG(9, 0);
        captureForm()->acDBGExist->trigger();
        QCOMPARE(dialogs->texts(), (QStringList{loadedText(), u"Запустите русскую версию!"_s}));
        QCOMPARE(rows(session.get(), u"DPR"_s), 0);
    }

    // Another session holds the database for writing: the error is shown, nothing stays.
    void failureIsShownInsteadOfSuccess()
    {
        auto form = captureForm();
        auto other = server->Connect();
        other->ExecSQL(u"INSERT INTO TARVEL.DPR (ID_DPR, NAME) VALUES (100, 'Held.dpr')"_s);
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(50);
        form->acDBGExist->trigger();
        TSqliteConnection::SetBusyTimeoutMs(usual);
        other->Rollback();
        QCOMPARE(dialogs->texts().size(), 2);
        QVERIFY2(dialogs->texts()[1].startsWith(u"ORA-00054"_s), qPrintable(dialogs->texts()[1]));
        QVERIFY(!session->InTransaction());
        QCOMPARE(rows(session.get(), u"DPR"_s), 0);
    }

    // The server refuses the form's second phrase: the first is not kept either and
    // the form is not marked captured (its module and form rows are committed on
    // their own, before), and no transaction is left open.
    void captureRefusedAfterItsFirstPhraseLeavesNothing()
    {
        {
            TSqliteBackend administrator;
            administrator.OpenAsAdministrator(server->Folder(), false);
            administrator.Connection()->Exec(
                u"CREATE TRIGGER \"TARVEL\".refuse_second_phrase BEFORE INSERT ON RUSSIAN_PHRASES "
                "WHEN (SELECT count(*) FROM RUSSIAN_PHRASES WHERE ID_DFM = NEW.ID_DFM) >= 1 "
                "BEGIN SELECT RAISE(ABORT, 'second phrase refused'); END"_s);
        }
        auto form = captureForm();
        form->acDBGExist->trigger();
        QCOMPARE(dialogs->texts().size(), 2);
        QVERIFY2(dialogs->texts()[1].contains(u"second phrase refused"_s), qPrintable(dialogs->texts()[1]));
        QVERIFY(!session->InTransaction());
        auto other = server->Connect();
        QCOMPARE(rows(other.get(), u"RUSSIAN_PHRASES"_s), 0);
        QCOMPARE(Scalar(other.get(), u"SELECT count(*) FROM TARVEL.DFM WHERE IS_TRANSLIT = 1"_s).toInt(), 0);
    }

    void namesAreStoredAsTheyAre()
    {
        const QString className = u"TForm'); DELETE FROM TARVEL.DPR; --"_s;
        TLangPackWriter writer(session.get());
        const QVariant module = writer.ModuleId(u"O'Brien.dpr"_s);
        const QVariant form = writer.FormId(module, className);
        writer.SavePhrases(form, {u"Фраза с 'кавычкой'"_s});
        QCOMPARE(Scalar(session.get(), u"SELECT NAME FROM TARVEL.DPR WHERE ID_DPR = :ID"_s, {module}).toString(),
                 u"O'Brien.dpr"_s);
        QCOMPARE(storedPhrases(session.get(), className), u"Фраза с 'кавычкой'"_s);
        QCOMPARE(writer.ModuleId(u"O'Brien.dpr"_s), module); // found again by the same names
        QCOMPARE(writer.FormId(module, className), form);
    }

    // Between our look and our insert another capture commits a row.
    void racingCaptures_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("theirId");
        QTest::addColumn<int>("ourId");
        QTest::newRow("the same module: theirs is read") << u"Orders.dpr"_s << 7 << 7;
        QTest::newRow("another module on our id: the next one") << u"Stock.dpr"_s << 1 << 2;
    }
    void racingCaptures()
    {
        QFETCH(QString, meanwhile);
        QFETCH(int, theirId);
        QFETCH(int, ourId);
        auto other = server->Connect();
        TLangPackWriter writer(session.get());
        writer.BeforeInsert = [&] {
            if (rows(other.get(), u"DPR"_s) > 0)
                return;
            other->ExecSQL(u"INSERT INTO TARVEL.DPR (ID_DPR, NAME) VALUES (:ID, :NAME)"_s, {theirId, meanwhile});
            other->Commit();
        };
        const QVariant id = writer.ModuleId(u"Orders.dpr"_s);
        QCOMPARE(id.toInt(), ourId);
        QCOMPARE(rows(session.get(), u"DPR"_s), theirId == ourId ? 1 : 2);
        QCOMPARE(Scalar(session.get(), u"SELECT NAME FROM TARVEL.DPR WHERE ID_DPR = :ID"_s, {id}).toString(),
                 u"Orders.dpr"_s);
    }
};

QTEST_MAIN(TestLangCapture)
#include "tst_LangCapture.moc"
