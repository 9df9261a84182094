// The capture of a form's Russian texts into the language pack (Ctrl+Shift+F12
// with DBG.so beside the program) over a fresh demo database, and the loading
// of the debugging library itself.
#include "DataAccess/DAError.h"
#include "DataAccess/LanguagesDM.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
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
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

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
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(u"Имя клиента"_s, this));
        layout->addWidget(new QLabel(u"Закрыть"_s, this));
        layout->addWidget(new QPushButton(u" Закрыть "_s, this));
        layout->addWidget(new QLabel(u"Latin only"_s, this));
        password = new QLineEdit(u"Секрет"_s, this);
        password->setEchoMode(QLineEdit::Password);
        layout->addWidget(password);
    }
    QLineEdit *password;
    // The handler itself, whether the action is enabled or not.
    void runCapture() { acDBGExistExecute(); }

protected:
    void FormCreate() override { ExtraPhrases << u"Extra in Latin"_s << u"  Дополнительно  "_s; }
};

QStringList storedPhrases(TOraSession *session, const QString &className)
{
    TOraQuery q;
    q.SetSession(session);
    q.SetSQLText(u"SELECT P.PHRASE FROM TARVEL.RUSSIAN_PHRASES P, TARVEL.DFM F "
                 "WHERE F.ID_DFM = P.ID_DFM AND F.NAME = :NAME ORDER BY P.PHRASE"_s);
    q.ParamByName(u"NAME"_s).SetAsVariant(className);
    q.Open();
    QStringList phrases;
    for (; !q.Eof(); q.Next())
        phrases << q.Fields(0)->AsString();
    return phrases;
}

QVariant scalar(TOraSession *session, const QString &sql, const QVariantList &params = {})
{
    TOraQuery q;
    q.SetSession(session);
    q.SetSQLText(sql);
    for (int i = 0; i < params.size(); ++i)
        q.Params().Items(i).SetAsVariant(params[i]);
    q.Open();
    return q.Eof() ? QVariant() : q.Fields(0)->Value();
}

int rows(TOraSession *session, const QString &table)
{
    return scalar(session, u"SELECT count(*) FROM TARVEL."_s + table).toInt();
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

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const RecordedBox &box : dialogs->boxes)
            texts << box.text;
        return texts;
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

    void debuggingLibrary_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("box");
        QTest::newRow("none: nothing happens") << QString() << false << QString();
        QTest::newRow("with its entry") << binaryFile(u"DBG.so"_s) << true << QString();
        QTest::newRow("without its entry")
            << binaryFile(u"tests/formlib/empty/ComformLibs.so"_s) << true << DBGInt::MissingEntryText();
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
        QCOMPARE(DBGInt::DBGLoaded(), loaded);
        QCOMPARE(dialogs->boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QVERIFY2(dialogs->boxes[0].text.startsWith(box), qPrintable(dialogs->boxes[0].text));
        // Loaded once: a second call neither loads nor tells again.
        DBGInt::LoadDBG(nullptr);
        QCOMPARE(dialogs->boxes.size(), box.isEmpty() ? 0 : 1);
        // The forms offer the capture only while the library is loaded.
        auto form = TComBaseForm::Create<TCaptureForm>();
        QCOMPARE(form->acDBGExist->isEnabled(), loaded);
    }

    void missingEntryNamesLibraryAndEntry()
    {
        const QString text = DBGInt::MissingEntryText();
        QVERIFY(text.startsWith(u"uDBGInt: "_s + TranslateAplText(u"rstr_msg_NorFoundProcedure"_s) + u' '));
        QVERIFY(text.endsWith(u" DBG.so: \"_DBGInitialize\"."_s));
    }

    // --- what a form gives

    void collectsShownTexts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("phrases");
        QTest::newRow("label") << u"label"_s << QStringList{u"Надпись"_s};
        QTest::newRow("Latin label") << u"latin"_s << QStringList{};
        QTest::newRow("edit") << u"edit"_s << QStringList{u"Текст правки"_s};
        QTest::newRow("password edit") << u"password"_s << QStringList{};
        QTest::newRow("a text never translated") << u"untranslated"_s << QStringList{u"Подсказка"_s};
        QTest::newRow("tool tip") << u"tooltip"_s << QStringList{u"Подсказка"_s};
        QTest::newRow("group title") << u"group"_s << QStringList{u"Внутри группы"_s, u"Группа"_s};
        QTest::newRow("combo items") << u"combo"_s << QStringList{u"Первый"_s, u"Третий"_s};
        QTest::newRow("list items") << u"list"_s << QStringList{u"Пункт"_s};
        QTest::newRow("memo lines") << u"memo"_s << QStringList{u"Строка один"_s, u"Строка три"_s};
        QTest::newRow("grid titles") << u"grid"_s << QStringList{u"Колонка"_s};
        QTest::newRow("tabs") << u"tabs"_s << QStringList{u"Вкладка"_s};
        QTest::newRow("date scroller: its children only") << u"scroller"_s << QStringList{u"Внутри"_s};
    }
    void collectsShownTexts()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, phrases);
        QWidget form;
        form.setWindowTitle(u"Окно"_s); // the form's own caption is the action's, not the walk's
        QWidget *holder = new QWidget(&form);
        if (kind == u"label"_s)
            new QLabel(u"  Надпись "_s, holder);
        else if (kind == u"latin"_s)
            new QLabel(u"Caption"_s, holder);
        else if (kind == u"edit"_s)
            new QLineEdit(u"Текст правки"_s, holder);
        else if (kind == u"password"_s)
            (new QLineEdit(u"Пароль123"_s, holder))->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        else if (kind == u"untranslated"_s) {
            auto *count = new QLabel(u"Прочитано: 12"_s, holder);
            count->setProperty("tag", kLangNoTranslateTag);
            count->setToolTip(u"Подсказка"_s);
        } else if (kind == u"tooltip"_s)
            (new QWidget(holder))->setToolTip(u"Подсказка"_s);
        else if (kind == u"group"_s)
            new QLabel(u"Внутри группы"_s, new QGroupBox(u"Группа"_s, holder));
        else if (kind == u"combo"_s)
            (new QComboBox(holder))->addItems({u"Первый"_s, u"Second"_s, u"Третий"_s});
        else if (kind == u"list"_s)
            (new QListWidget(holder))->addItems({u"Пункт"_s, u"Item"_s});
        else if (kind == u"memo"_s)
            new QPlainTextEdit(u"Строка один\nLine two\nСтрока три"_s, holder);
        else if (kind == u"grid"_s) {
            auto *model = new QStandardItemModel(1, 2, holder);
            model->setHorizontalHeaderLabels({u"Колонка"_s, u"ID"_s});
            model->setItem(0, 0, new QStandardItem(u"Данные, а не текст"_s));
            (new QTableView(holder))->setModel(model);
        } else if (kind == u"tabs"_s)
            (new QTabWidget(holder))->addTab(new QWidget, u"Вкладка"_s);
        else if (kind == u"scroller"_s)
            new QLabel(u"Внутри"_s, new TScrollDateTime(u"Дата"_s, holder));
        TPhraseList list;
        CollectPhrases(&form, list);
        QCOMPARE(list.Items(), phrases);
    }

    void moduleNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("program");
        QTest::addColumn<QString>("name");
        QTest::newRow("module") << u"Orders.so"_s << false << u"Orders.dpr"_s;
        QTest::newRow("\"dll\" inside the name stays") << u"Dllreader.dll.so"_s << false << u"Dllreader.dll.dpr"_s;
        QTest::newRow("a module of the other platform") << u"ORDERS.DLL"_s << false << u"ORDERS.dpr"_s;
        QTest::newRow("the program") << u"KorConsole"_s << true << u"KorConsole.exe"_s;
    }
    void moduleNames()
    {
        QFETCH(QString, file);
        QFETCH(bool, program);
        QFETCH(QString, name);
        QCOMPARE(LangPackModuleName(file, program), name);
    }

    // --- the capture

    void capturesTheFormOnce()
    {
        auto form = captureForm();
        QVERIFY(form->acDBGExist->isEnabled());
        form->acDBGExist->trigger();
        QCOMPARE(boxTexts(), (QStringList{loadedText(), u"Слова скопированы"_s}));
        // Committed: another session sees the phrases and the mark.
        auto other = server->Connect();
        const QStringList expected{u"Дополнительно"_s, u"Закрыть"_s, u"Extra in Latin"_s, u"Имя клиента"_s,
                                   u"Проверочная форма"_s};
        QStringList stored = storedPhrases(other.get(), u"TCaptureForm"_s);
        QStringList sorted = expected;
        sorted.sort();
        stored.sort();
        QCOMPARE(stored.join(u'|'), sorted.join(u'|'));
        QCOMPARE(scalar(other.get(), u"SELECT NAME FROM TARVEL.DPR"_s).toString(), u"tst_LangCapture.exe"_s);
        QCOMPARE(scalar(other.get(), u"SELECT IS_TRANSLIT FROM TARVEL.DFM WHERE NAME = 'TCaptureForm'"_s).toInt(), 1);

        // Again: the same rows, the phrases sent again and kept once.
        dialogs->clear();
        form->ExtraPhrases << u"Ещё одна"_s;
        form->acDBGExist->trigger();
        QCOMPARE(boxTexts().last(), u"Слова скопированы"_s);
        QCOMPARE(rows(other.get(), u"DPR"_s), 1);
        QCOMPARE(rows(other.get(), u"DFM"_s), 1);
        QCOMPARE(storedPhrases(other.get(), u"TCaptureForm"_s).size(), expected.size() + 1);
    }

    void withoutLibraryNothingHappens()
    {
        auto form = TComBaseForm::Create<TCaptureForm>();
        QVERIFY(!form->acDBGExist->isEnabled());
        form->acDBGExist->trigger();
        form->runCapture();
        QVERIFY(dialogs->boxes.isEmpty());
        QCOMPARE(rows(session.get(), u"DPR"_s), 0);
    }

    void englishUserIsSentToTheRussianVersion()
    {
        languages->SET_USER_APL_LANG(9, 0);
        auto form = captureForm();
        form->acDBGExist->trigger();
        QCOMPARE(boxTexts(), (QStringList{loadedText(), u"Запустите русскую версию!"_s}));
        QCOMPARE(rows(session.get(), u"DPR"_s), 0);
    }

    void failureIsShownInsteadOfSuccess()
    {
        auto form = captureForm();
        // Another session holds the database for writing: the capture's first insert gives up.
        auto other = server->Connect();
        other->ExecSQL(u"INSERT INTO TARVEL.DPR (ID_DPR, NAME) VALUES (100, 'Held.dpr')"_s);
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(50);
        form->acDBGExist->trigger();
        TSqliteConnection::SetBusyTimeoutMs(usual);
        other->Rollback();
        QCOMPARE(dialogs->boxes.size(), 2);
        QCOMPARE(dialogs->boxes[1].caption, MsgBoxCaption(1));
        QVERIFY2(dialogs->boxes[1].text.startsWith(u"ORA-00054"_s), qPrintable(dialogs->boxes[1].text));
        QVERIFY(!session->InTransaction());
        QCOMPARE(rows(session.get(), u"DPR"_s), 0);
    }

    void namesAreStoredAsTheyAre()
    {
        TLangPackWriter writer(session.get());
        const QVariant module = writer.ModuleId(u"O'Brien.dpr"_s);
        const QVariant form = writer.FormId(module, u"TForm'); DELETE FROM TARVEL.DPR; --"_s);
        writer.SavePhrases(form, {u"Фраза с 'кавычкой'"_s});
        QCOMPARE(scalar(session.get(), u"SELECT NAME FROM TARVEL.DPR WHERE ID_DPR = :ID"_s, {module}).toString(),
                 u"O'Brien.dpr"_s);
        QCOMPARE(storedPhrases(session.get(), u"TForm'); DELETE FROM TARVEL.DPR; --"_s),
                 QStringList{u"Фраза с 'кавычкой'"_s});
        // Found again by the same names.
        QCOMPARE(writer.ModuleId(u"O'Brien.dpr"_s), module);
        QCOMPARE(writer.FormId(module, u"TForm'); DELETE FROM TARVEL.DPR; --"_s), form);
    }

    void racingCaptures_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("theirId");
        QTest::addColumn<int>("ourId");
        // Between our look and our insert another capture commits a row.
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
        int inserts = 0;
        writer.BeforeInsert = [&] {
            if (inserts++ > 0)
                return;
            other->ExecSQL(u"INSERT INTO TARVEL.DPR (ID_DPR, NAME) VALUES (:ID, :NAME)"_s, {theirId, meanwhile});
            other->Commit();
        };
        const QVariant id = writer.ModuleId(u"Orders.dpr"_s);
        QCOMPARE(id.toInt(), ourId);
        QCOMPARE(rows(session.get(), u"DPR"_s), theirId == ourId ? 1 : 2);
        QCOMPARE(scalar(session.get(), u"SELECT NAME FROM TARVEL.DPR WHERE ID_DPR = :ID"_s, {id}).toString(),
                 u"Orders.dpr"_s);
    }

    void ordersFormOfItsModule()
    {
        placeLibrary(binaryFile(u"DBG.so"_s));
        DBGInt::LoadDBG(nullptr);
        QLibrary module(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/Orders.so"_s);
        const auto init = reinterpret_cast<TInitServiceFormProc>(module.resolve(kInitServiceForm));
        QVERIFY2(init, qPrintable(module.errorString()));
        std::unique_ptr<TServiceForm> window(init("{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}", "111", nullptr));
        auto *zandrell = qobject_cast<IZandrell *>(window.get());
        auto *form = qobject_cast<TComBaseForm *>(window.get());
        QVERIFY(zandrell && form);
        zandrell->SetSession(session.get());
        zandrell->SetScheme(u"ZANDRELL5"_s);
        form->acDBGExist->trigger();
        QCOMPARE(boxTexts().last(), u"Слова скопированы"_s);
        QCOMPARE(scalar(session.get(), u"SELECT NAME FROM TARVEL.DPR"_s).toString(), u"Orders.dpr"_s);
        // The caption and the grids' column titles, not the data.
        const QStringList phrases = storedPhrases(session.get(), u"TOrdersForm"_s);
        for (const QString &phrase : {u"Заказы"_s, u"Номер"_s, u"Клиент"_s, u"Товар"_s})
            QVERIFY2(phrases.contains(phrase), qPrintable(phrases.join(u'|')));
        QVERIFY(!phrases.join(u'|').contains(TranslateAplText(u"rstr_fmtmsg_ReadDBRecords"_s).section(u'%', 0, 0)));
        const QString customer = scalar(session.get(), u"SELECT NAME FROM ZANDRELL5.DEMO_CUSTOMERS"_s).toString();
        QVERIFY(!customer.isEmpty() && !phrases.contains(customer));
        window.reset();
    }

    void classAndModuleOfAForm()
    {
        TCaptureForm form;
        QCOMPARE(FormClassName(&form), u"TCaptureForm"_s);
        QCOMPARE(LangPackModuleOf(&form), u"tst_LangCapture.exe"_s);
    }
};

QTEST_MAIN(TestLangCapture)
#include "tst_LangCapture.moc"
