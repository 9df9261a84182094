// The client-side data set (navigation, filters, Locate, bookmarks, changes and
// their events, what a grid shows) and data sets on the server: Oracle
// functions, refresh and update texts, and the language package.
#include "DataAccess/DataSet.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/DbWait.h"
#include "DataAccess/LanguagesDM.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "Ui/DataSetModel.h"
#include "tests/common/TestServer.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The shape of V_MENUCFG: ID_CFG, OWNER, MENUNAME, SORT_ORDER.
TResultSet MenuRows()
{
    TResultSet r;
    r.columns = {{"ID_CFG", TFieldType::ftInteger, 0, true},
                 {"OWNER", TFieldType::ftFloat, 0, false},
                 {"MENUNAME", TFieldType::ftString, 50, false},
                 {"SORT_ORDER", TFieldType::ftInteger, 0, false}};
    r.rows = {{1, 0.0, "Документы", 10},   {2, 12.0, "Заказы", 10}, {3, 12.0, "Отчеты", 20},
              {4, 0.0, "Справочники", 20}, {12, 0.0, "Admin", 30},  {5, 120.0, "Nested", 5}};
    return r;
}

// Numbers, texts, numbers written as texts and NULLs, plain and of a type
// (as SQL drivers give them: the type's default value under the NULL).
TResultSet MixedRows()
{
    const QVariant nullNumber(QMetaType::fromType<double>()), nullText(QMetaType::fromType<QString>());
    TResultSet r;
    r.columns = {{"ID", TFieldType::ftInteger, 0, true},
                 {"AMOUNT", TFieldType::ftFloat, 0, false},
                 {"NAME", TFieldType::ftString, 20, false},
                 {"CODE", TFieldType::ftString, 10, false}};
    r.rows = {{1, nullNumber, nullText, "12"},
              {2, 5.0, "Alpha", "10"},
              {3, 12.0, "beta", "9"},
              {4, 0.0, "", "0"},
              {5, QVariant(), QVariant(), QVariant()},
              {6, 120.0, "Gamma", "abc"},
              {7, -3.5, "alpha", "-3.5"}};
    return r;
}

QList<int> VisibleIds(TDataSet &ds, const char *field = "ID")
{
    QList<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids << ds.FieldByName(field)->AsInteger();
    return ids;
}

struct Counter : TDataLink {
    int changed = 0, scrolled = 0, record = 0;
    void DataSetChanged() override { ++changed; }
    void DataSetScrolled() override { ++scrolled; }
    void RecordChanged(TField *) override { ++record; }
};

} // namespace

class tst_DataSet : public QObject {
    Q_OBJECT
private slots:
    // The data module's texts are the package's, in the user's language once it is stored.
    void textsAsThePackageGivesThem()
    {
        TestServer test;
        auto s = test.Connect(u"OPERATOR"_s);
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, u"ZANDRELL5"_s, s.get());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(u"rstrServer"_s), u"Сервер"_s);
        QVERIFY(!dm->IsNecessaryRepTrans());
        dm->SET_USER_APL_LANG(9, 0);
        dm->SET_USER_REP_LANG(9, 0);
        QVERIFY(!s->InTransaction()); // stored and committed
        QVERIFY(dm->IsNecessaryRepTrans());
        TOraPackage pack;
        pack.SetSession(s.get());
        pack.SetPackageName(u"ZANDRELL5.LANG_PACK"_s);
        for (const QString &key : {u"rstrServer"_s, u"Сервис"_s, u"Нет такого текста"_s, u"rstrserver"_s, QString()}) {
            const QVariant apl = pack.ExecProc(u"GET_RESOURCE_APL_TXT"_s, {key});
            QCOMPARE(dm->GET_RESOURCE_APL_TXT(key), apl.isNull() ? key : apl.toString());
            const QVariant en = pack.ExecProc(u"GET_RESOURCE_APL_EN_TXT"_s, {key});
            QCOMPARE(dm->GET_RESOURCE_APL_EN_TXT(key), en.isNull() ? key : en.toString());
            QString text = key;
            dm->RESOURCE_APL_TXT(text);
            QCOMPARE(text, pack.ExecProc(u"RESOURCE_APL_TXT"_s, {key}).toString());
            const QVariant ofField = pack.ExecProc(u"GET_RESOURCE_APL_TXT_OF_FIELD"_s, {key, 0, "-"});
            QCOMPARE(dm->GET_RESOURCE_APL_TXT_OF_FIELD(key, 0, u"-"_s), ofField.toString());
        }
        delete dm; // the module goes with its owner
        QVERIFY(GetComLanguages() == nullptr);
    }

    void navigationAndLookup()
    {
        TDataSet ds;
        int before = 0, after = 0;
        ds.BeforeScroll = [&](TDataSet *) { ++before; };
        ds.AfterScroll = [&](TDataSet *) { ++after; };
        ds.LoadFrom(MenuRows());
        QCOMPARE(after, 1); // opening puts the cursor on the first record
        QVERIFY(ds.Locate("ID_CFG", 12, 0));
        QCOMPARE(before, 1);
        QCOMPARE(after, 2);
        ds.Prior();
        QCOMPARE(ds.FieldByName("id_cfg")->AsInteger(), 4);
        ds.First();
        ds.Prior();
        QVERIFY(ds.Bof());
        QCOMPARE(ds.MoveBy(10), 5);
        QVERIFY(ds.Eof());
        ds.SetRecNo(3);
        QCOMPARE(ds.Lookup("ID_CFG", 2, "MENUNAME").toString(), u"Заказы"_s);
        QCOMPARE(ds.Lookup("ID_CFG", 4, "ID_CFG;MENUNAME;SORT_ORDER").toList(), (QVariantList{4, "Справочники", 20}));
        QVERIFY(ds.Lookup("ID_CFG", 77, "MENUNAME").isNull());
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 3); // Lookup does not move
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.FieldByName("nothing"));
        ds.OnFilterRecord = [](TDataSet *d) { return d->FieldByName("SORT_ORDER")->AsInteger() == 10; };
        ds.SetFiltered(true);
        QCOMPARE(VisibleIds(ds, "ID_CFG"), (QList<int>{1, 2}));
        ds.Close();
        QVERIFY(ds.FieldByName("OWNER")->IsNull());
    }

    // What a field keeps of a written value: numbers rounded to the field's kind, blanks as NULL.
    void fieldConversions_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("integer rounds") << "SORT_ORDER" << QVariant("7.6") << QVariant(qlonglong(8));
        QTest::newRow("integer from blank") << "SORT_ORDER" << QVariant("  ") << QVariant();
        QTest::newRow("float keeps fraction") << "OWNER" << QVariant("2.5") << QVariant(2.5);
        QTest::newRow("text of a whole number") << "MENUNAME" << QVariant(12.0) << QVariant("12");
        QTest::newRow("text of a fraction") << "MENUNAME" << QVariant(1.5) << QVariant("1.5");
    }
    void fieldConversions()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, written);
        QFETCH(QVariant, stored);
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.Edit();
        ds.FieldByName(field)->SetValue(written);
        ds.Post();
        QCOMPARE(ds.FieldByName(field)->Value(), stored);
    }

    // The servers' own date forms are read directly; every text, theirs or not,
    // stands for the moment the general parser reads in it.
    void dateTexts_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text :
             {"2024-03-01 10:30:59", "2024-03-01", "2024-02-29 23:59:59", "1899-12-30 00:00:00", "2023-02-29 10:00:00",
              "2024-03-01 24:00:00", "2024-03-01T10:30:00", "2024-03-01 10:30:00.250", " 2024-03-01", "2024-3-1",
              "0000-01-01", "2024-03-01 10:30", "2024-03-01x10:30:00", ""})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void dateTexts()
    {
        QFETCH(QString, text);
        QDateTime general = QDateTime::fromString(text, u"yyyy-MM-dd HH:mm:ss"_s);
        if (!general.isValid())
            general = QDateTime::fromString(text, Qt::ISODate);
        QCOMPARE(DateTimeOfText(text), general);
        if (text == u"2024-03-01 10:30:59")
            QCOMPARE(DateTimeOfText(text), QDateTime(QDate(2024, 3, 1), QTime(10, 30, 59)));
    }

    void indexOrder()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.SetIndexFieldNames("OWNER;SORT_ORDER");
        QCOMPARE(VisibleIds(ds, "ID_CFG"), (QList<int>{1, 4, 12, 2, 3, 5}));
        // A posted record takes its place in the order.
        ds.Append();
        ds.FieldByName("ID_CFG")->SetAsInteger(7);
        ds.FieldByName("OWNER")->SetAsInteger(0);
        ds.FieldByName("SORT_ORDER")->SetAsInteger(15);
        ds.Post();
        QCOMPARE(ds.RecNo(), 2);
        ds.SetFilter("OWNER=12");
        ds.SetFiltered(true);
        ds.First();
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 2);
        ds.SetIndexFieldNames(QString());
        ds.SetFiltered(false);
        ds.Last();
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 7);
    }

    void bookmarksSurviveChanges()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.SetRecNo(4);
        const TBookmark mark = ds.GetBookmark();
        ds.First();
        ds.Delete(); // row 1 goes, the marked record moves up
        ds.Append();
        ds.FieldByName("ID_CFG")->SetAsInteger(99);
        ds.Post();
        QVERIFY(ds.BookmarkValid(mark));
        ds.GotoBookmark(mark);
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 4);
        QCOMPARE(ds.RecNo(), 3);
        ds.Delete();
        QVERIFY(!ds.BookmarkValid(mark));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.GotoBookmark(mark));
    }

    // The events of an edit, a post and a cancel; a before-event that aborts cancels the operation
    // silently, and a refused post leaves the record in edit state.
    void editPostCancelAndEvents()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        QStringList log;
        const auto logged = [&log](const char *event) { return [&log, event](TDataSet *) { log << event; }; };
        ds.BeforeEdit = logged("BeforeEdit");
        ds.AfterEdit = logged("AfterEdit");
        ds.BeforePost = logged("BeforePost");
        ds.AfterPost = logged("AfterPost");
        ds.BeforeCancel = logged("BeforeCancel");
        ds.AfterCancel = logged("AfterCancel");
        ds.SetRecNo(2);
        ds.Edit();
        ds.FieldByName("MENUNAME")->SetAsString(u"Новое"_s);
        QCOMPARE(ds.FieldByName("MENUNAME")->OldValue().toString(), u"Заказы"_s);
        ds.Post();
        ds.Edit();
        ds.FieldByName("MENUNAME")->SetAsString(u"Lost"_s);
        ds.Cancel();
        QCOMPARE(ds.FieldByName("MENUNAME")->AsString(), u"Новое"_s);
        QCOMPARE(log, (QStringList{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeEdit", "AfterEdit",
                                   "BeforeCancel", "AfterCancel"}));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.FieldByName("MENUNAME")->SetAsString("x"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Post());

        const auto abort = [](TDataSet *) { throw EAbort(u"Operation aborted"_s); };
        ds.BeforeInsert = abort;
        ds.AfterInsert = logged("AfterInsert");
        ds.BeforeDelete = abort;
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Insert());
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Delete());
        QCOMPARE(ds.RecordCount(), 6);
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        ds.BeforeEdit = abort;
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Edit());
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        ds.BeforeEdit = {};
        ds.BeforePost = abort;
        ds.Edit();
        QVERIFY_THROWS_EXCEPTION(EConvertError, ds.FieldByName("SORT_ORDER")->SetAsString(u"abc"_s));
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Post());
        QCOMPARE(ds.State(), TDataSetState::dsEdit);
        QVERIFY(!log.contains(u"AfterInsert"_s));
    }

    void insertAppendAndRequiredFields()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.OnNewRecord = [](TDataSet *d) { d->FieldByName("OWNER")->SetAsInteger(0); };
        ds.SetRecNo(2);
        ds.Insert();
        QCOMPARE(ds.RecordCount(), 7);
        QCOMPARE(ds.RecNo(), 2);
        QCOMPARE(ds.FieldByName("OWNER")->AsInteger(), 0);
        // ID_CFG is required.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Post());
        ds.Cancel();
        QCOMPARE(ds.RecordCount(), 6);
        ds.Append();
        ds.FieldByName("ID_CFG")->SetAsInteger(50);
        ds.Post();
        ds.Last();
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 50);
        // Edit of an empty set inserts.
        TDataSet empty;
        empty.AddField("A", TFieldType::ftString, 10);
        empty.Open();
        QVERIFY(empty.IsEmpty());
        empty.Edit();
        QCOMPARE(empty.State(), TDataSetState::dsInsert);
        empty.FieldByName("A")->SetAsString("a");
        empty.Post();
        QCOMPARE(empty.RecordCount(), 1);
        // A record inserted outside the filter is seen until it is posted.
        ds.SetFilter("OWNER=12");
        ds.SetFiltered(true);
        ds.Append();
        ds.FieldByName("ID_CFG")->SetAsInteger(70);
        ds.FieldByName("OWNER")->SetAsInteger(1);
        QCOMPARE(ds.RecordCount(), 3);
        ds.Post();
        QCOMPARE(ds.RecordCount(), 2);
        ds.SetReadOnly(true);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Edit());
    }

    // Links hear of changes and moves unless controls are disabled; a disabled source tells nothing.
    void notificationAndDisableControls()
    {
        TDataSet ds;
        TDataSource src(nullptr, &ds);
        Counter c;
        src.AddLink(&c);
        ds.LoadFrom(MenuRows());
        const int changedAfterOpen = c.changed;
        QVERIFY(changedAfterOpen > 0);
        ds.Next();
        QCOMPARE(c.scrolled, 1);
        ds.DisableControls();
        ds.Next();
        ds.Edit();
        ds.FieldByName("MENUNAME")->SetAsString("x");
        ds.Post();
        QCOMPARE(c.scrolled + c.record + c.changed, 1 + changedAfterOpen);
        ds.EnableControls();
        QCOMPARE(c.changed, changedAfterOpen + 1);
        src.SetEnabled(false);
        ds.Next();
        QCOMPARE(c.scrolled, 1);
        src.RemoveLink(&c);
    }

    // Every operator, against numbers, texts and NULLs of both kinds.
    void filterOperatorsOnMixedValues_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("=") << "AMOUNT = 12" << QList<int>{3};
        QTest::newRow("<>") << "AMOUNT <> 12" << QList<int>{2, 4, 6, 7};
        QTest::newRow("<") << "AMOUNT < 5" << QList<int>{4, 7};
        QTest::newRow("<=") << "AMOUNT <= 5" << QList<int>{2, 4, 7};
        QTest::newRow(">") << "AMOUNT > 5" << QList<int>{3, 6};
        QTest::newRow(">=") << "AMOUNT >= 12" << QList<int>{3, 6};
        QTest::newRow("zero is no NULL") << "AMOUNT = 0" << QList<int>{4};
        QTest::newRow("= NULL") << "AMOUNT = NULL" << QList<int>{1, 5};
        QTest::newRow("<> NULL") << "AMOUNT <> NULL" << QList<int>{2, 3, 4, 6, 7};
        QTest::newRow("text with case") << "NAME = 'alpha'" << QList<int>{7};
        QTest::newRow("text order") << "NAME < 'beta'" << QList<int>{2, 4, 6, 7};
        QTest::newRow("empty text is no NULL") << "NAME = ''" << QList<int>{4};
        QTest::newRow("text field, number") << "CODE > 9" << QList<int>{1, 2, 6};
        QTest::newRow("AND") << "AMOUNT > 0 AND NAME <> 'Gamma'" << QList<int>{2, 3};
        QTest::newRow("quoted field name") << "\"NAME\" = 'beta'" << QList<int>{3};
    }
    void filterOperatorsOnMixedValues()
    {
        QFETCH(QString, filter);
        QFETCH(QList<int>, ids);
        TDataSet ds;
        ds.LoadFrom(MixedRows());
        ds.SetFilter(filter);
        ds.SetFiltered(true);
        QCOMPARE(VisibleIds(ds), ids);
        // The same filter again, and after the view was rebuilt without it.
        ds.SetFiltered(false);
        QCOMPARE(ds.RecordCount(), 7);
        ds.SetFiltered(true);
        QCOMPARE(VisibleIds(ds), ids);
    }

    void locateOnMixedValues_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QVariant>("values");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("id"); // -1: not found
        QTest::newRow("partial with case") << "NAME" << QVariant("alp") << int(loPartialKey) << 7;
        QTest::newRow("partial without case")
            << "NAME" << QVariant("alp") << int(loPartialKey | loCaseInsensitive) << 2;
        QTest::newRow("whole without case") << "NAME" << QVariant("ALPHA") << int(loCaseInsensitive) << 2;
        QTest::newRow("whole with case") << "NAME" << QVariant("Alp") << 0 << -1;
        QTest::newRow("empty start skips NULL") << "NAME" << QVariant("") << int(loPartialKey) << 2;
        QTest::newRow("zero skips a NULL of a type") << "AMOUNT" << QVariant(0.0) << 0 << 4;
        QTest::newRow("number in a text field") << "CODE" << QVariant(9) << 0 << 3;
        QTest::newRow("two fields") << "AMOUNT;NAME" << QVariant(QVariantList{12, "beta"}) << 0 << 3;
    }
    void locateOnMixedValues()
    {
        QFETCH(QString, fields);
        QFETCH(QVariant, values);
        QFETCH(int, options);
        QFETCH(int, id);
        TDataSet ds;
        ds.LoadFrom(MixedRows());
        ds.Last();
        QCOMPARE(ds.Locate(fields, values, TLocateOptions(options)), id > 0);
        QCOMPARE(ds.FieldByName("ID")->AsInteger(), id > 0 ? id : 7);
    }

    // The filter names fields: it holds from the open on, and follows the fields when they move.
    void filterSetBeforeOpenAndAcrossReopen()
    {
        TDataSet ds;
        ds.SetFilter("AMOUNT > 5");
        ds.SetFiltered(true);
        ds.LoadFrom(MixedRows());
        QCOMPARE(VisibleIds(ds), (QList<int>{3, 6}));
        TResultSet moved = MixedRows();
        moved.columns.move(1, 3); // ID, NAME, CODE, AMOUNT
        for (QVector<QVariant> &row : moved.rows)
            row.move(1, 3);
        ds.LoadFrom(moved);
        QCOMPARE(VisibleIds(ds), (QList<int>{3, 6}));
        ds.Close();
        ds.SetFilter("NOSUCH = 1");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.LoadFrom(MixedRows()));
        QVERIFY(!ds.Active());
    }

    void displayText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        const QDateTime midnight(QDate(2024, 2, 5), QTime(0, 0));
        const QDateTime afternoon(QDate(2024, 2, 5), QTime(14, 7, 9));
        const int dt = int(TFieldType::ftDateTime), fl = int(TFieldType::ftFloat), in = int(TFieldType::ftInteger);
        QTest::newRow("ru date") << "ru_RU" << dt << -1 << QVariant(midnight) << "05.02.2024";
        QTest::newRow("en date, the year in four digits") << "en_US" << dt << -1 << QVariant(midnight) << "02/05/2024";
        QTest::newRow("ru date time") << "ru_RU" << dt << -1 << QVariant(afternoon) << "05.02.2024 14:07:09";
        QTest::newRow("ru date kind drops time")
            << "ru_RU" << int(TFieldType::ftDate) << -1 << QVariant(afternoon) << "05.02.2024";
        QTest::newRow("ru time") << "ru_RU" << int(TFieldType::ftTime) << -1 << QVariant(QTime(9, 5, 1)) << "09:05:01";
        QTest::newRow("unreadable date text") << "ru_RU" << dt << -1 << QVariant("31-FEB") << "31-FEB";
        QTest::newRow("ru amount") << "ru_RU" << fl << 2 << QVariant(1234567.5)
                                   << QString::fromUtf8("1\u00a0234\u00a0567,50");
        QTest::newRow("en amount rounds") << "en_US" << fl << 2 << QVariant(0.005 + 1e-9) << "0.01";
        QTest::newRow("en currency") << "en_US" << int(TFieldType::ftCurrency) << -1 << QVariant(12.0) << "12.00";
        QTest::newRow("en float whole") << "en_US" << fl << -1 << QVariant(1500.0) << "1,500";
        QTest::newRow("integer id plain") << "en_US" << in << -1 << QVariant(qlonglong(100234)) << "100234";
        QTest::newRow("whole amount with its places")
            << "ru_RU" << in << 2 << QVariant(qlonglong(3100)) << QString::fromUtf8("3\u00a0100,00");
        QTest::newRow("null") << "en_US" << fl << 2 << QVariant() << "";
        QTest::newRow("boolean draws no text") << "en_US" << int(TFieldType::ftBoolean) << -1 << QVariant(true) << "";
    }

    void displayText()
    {
        QFETCH(QString, locale);
        QFETCH(int, type);
        QFETCH(int, scale);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(GridDisplayText(TFieldType(type), scale, value, QLocale(locale)), expected);
    }

    void initTestCase() { TestServer::BuildTemplate(); }
    void cleanup() { SetComLanguages(nullptr); }

    // Opening a data set is one piece of work, and the indicator hears of it
    // again and again while the rows are read and taken in.
    void openingIsWorkThatGoesOn()
    {
        TestServer server;
        auto s = server.Connect();
        struct : TDbWaitIndicator {
            void WaitStarted() override {}
            void WaitGoesOn(int) override {}
            void WaitEnded() override {}
            void WorkStarted() override { ++started; }
            void WorkGoesOn() override { ++goesOn; }
            void WorkEnded() override { ++ended; }
            int started = 0, goesOn = 0, ended = 0;
        } indicator;
        SetDbWaitIndicator(&indicator);
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQL({"SELECT A.ID FROM ZANDRELL5.DEMO_ORDERS A, ZANDRELL5.DEMO_ORDERS B, ZANDRELL5.DEMO_ORDERS C"});
        q.Open();
        SetDbWaitIndicator(nullptr);
        const int rows = q.RecordCount();
        QVERIFY(rows >= 1000);
        QCOMPARE(indicator.started, 1);
        QCOMPARE(indicator.ended, 1);
        // Read by the embedded server, then taken in by the data set: every few hundred
        // rows, twice over; the shared server's rows arrive at once and are only taken in.
        const int reports = TestServer::OnPostgres() ? 1 : 2;
        QVERIFY2(indicator.goesOn >= reports * (rows / 256), qPrintable(QString::number(indicator.goesOn)));
    }

    // The Oracle functions of the embedded server, as a query writes them ("<null>": NULL, "ORA-n": error n).
    void oracleFunctions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("value");
        const char *const rows[][3] = {
            {"NVL of NULL", "NVL(NULL, 'x')", "x"},
            {"NVL2 of NULL", "NVL2(NULL, 'set', 'unset')", "unset"},
            {"NVL2 of a value", "NVL2(0, 'set', 'unset')", "set"},
            {"DECODE", "DECODE(2, 1, 'one', 2, 'two', 'other')", "two"},
            {"DECODE default", "DECODE(3, 1, 'one', 'other')", "other"},
            {"DECODE of NULL", "DECODE(NULL, 1, 'one', NULL, 'none')", "none"},
            {"TO_NUMBER", "TO_NUMBER(' 12 ') + 1", "13"},
            {"TO_NUMBER of a fraction", "TO_NUMBER('2.5') * 2", "5"},
            {"TO_NUMBER of a word", "TO_NUMBER('abc')", "ORA-1722"},
            {"TO_CHAR of a whole number", "TO_CHAR(7) || '!'", "7!"},
            {"TO_CHAR of a fraction", "TO_CHAR(2.5)", "2.5"},
            {"TO_CHAR of a whole double", "TO_CHAR(2.5 * 2)", "5"},
            {"|| skips NULL", "NULL || 'a' || NULL || 'b'", "ab"},
            {"UPPER of Cyrillic", "UPPER('абв')", "АБВ"},
            {"SYSDATE", "NVL2(SYSDATE, 'set', 'unset')", "set"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }
    void oracleFunctions()
    {
        QFETCH(QString, expression);
        QFETCH(QString, value);
        TestServer server;
        auto s = server.Connect();
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText("SELECT " + expression + " AS V FROM DUAL");
        const int error = ErrorOf([&] { q.Open(); });
        if (error)
            QCOMPARE(u"ORA-%1"_s.arg(error), value);
        else
            QCOMPARE(q.FieldByName("V")->IsNull() ? u"<null>"_s : q.FieldByName("V")->AsString(), value);
    }

    // Access groups, their menu, the menu's services: each detail follows its master by the parameter's name.
    void masterDetailByParameterName()
    {
        TestServer server;
        auto s = server.Connect();
        auto open = [&](const char *table, const char *where, TDataSource *master) {
            auto q = std::make_unique<TSmartQuery>();
            q->SetName(QString::fromLatin1(table));
            q->SetSession(s.get());
            q->SetSQL({u"SELECT * FROM &shema."_s + QLatin1String(table), QString::fromLatin1(where)});
            q->MacroByName("shema").SetValue("ZANDRELL5");
            q->SetMasterSource(master);
            q->Open();
            return q;
        };
        auto access = open("V_ACCESS", "", nullptr);
        TDataSource accessSource(nullptr, access.get());
        auto menu = open("V_MENUCFG", "WHERE ACCESSID=:ACCESSID ORDER BY SORT_ORDER", &accessSource);
        TDataSource menuSource(nullptr, menu.get());
        auto items = open("V_SRVITEMS", "WHERE ITEMID=:ITEMID", &menuSource);
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 1);
        QVERIFY(access->Locate("ACCESSID", 2, 0));
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 2);
        QVERIFY(menu->Locate("ITEMID", 1, 0));
        QCOMPARE(items->RecordCount(), 1);
        QCOMPARE(items->FieldByName("DLLNAME")->AsString(), u"Orders.so"_s);
        QVERIFY(menu->Locate("ISGROUP", 1, 0));
        QCOMPARE(items->RecordCount(), 0); // a group has no service
        // While controls are disabled the detail does not follow; it catches up after.
        access->DisableControls();
        access->Locate("ACCESSID", 1, 0);
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 2);
        access->EnableControls();
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 1);
        // The session lists its data sets by name and closes them when it disconnects.
        QStringList names;
        for (TOraDataSet *ds : s->DataSets())
            names << ds->Name();
        QCOMPARE(names, (QStringList{"V_ACCESS", "V_MENUCFG", "V_SRVITEMS"}));
        s->Disconnect();
        QVERIFY(!access->Active() && !menu->Active() && !items->Active());
    }

    void refreshRecordAndUpdateTexts()
    {
        TestServer server;
        auto s = server.Connect();
        auto other = server.Connect();
        TOraQuery access;
        access.SetSession(s.get());
        access.SetSQL({"SELECT *", "FROM &shema.V_ACCESS", "&ORDER &FIELD"});
        access.MacroByName("shema").SetValue("ZANDRELL5");
        access.MacroByName("ORDER").SetValue("ORDER BY");
        access.MacroByName("FIELD").SetValue("NAME");
        access.SQLRefresh = {"WHERE", "ACCESSID = :ACCESSID"};
        access.Open();
        QCOMPARE(access.FieldByName("NAME")->AsString(), u"Администраторы"_s);
        other->ExecSQL("BEGIN ZANDRELL5.MENUPACK.UPD_ACCESS(1, 'Админы'); COMMIT; END;");
        access.RefreshRecord();
        QCOMPARE(access.FieldByName("NAME")->AsString(), u"Админы"_s);
        const int groups = access.RecordCount();
        // A row deleted on the server leaves the data set on refresh.
        other->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, 'Пустая'); COMMIT; END;", {0});
        access.Refresh();
        QCOMPARE(access.RecordCount(), groups + 1);
        QVERIFY(access.Locate("NAME", "Пустая", 0));
        const int id = access.FieldByName("ACCESSID")->AsInteger();
        other->ExecSQL("BEGIN ZANDRELL5.MENUPACK.DEL_ACCESS_RECURCIVE(:ID); COMMIT; END;", {id});
        access.RefreshRecord();
        QCOMPARE(access.RecordCount(), groups);
        QVERIFY(!access.Locate("ACCESSID", id, 0));

        // Changes go through the update and insert texts; without one they stay local.
        access.SQLUpdate = {"begin", "  ZANDRELL5.MENUPACK.UPD_ACCESS(:ACCESSID, :NAME);", "end;"};
        access.SQLInsert = {"begin", "  ZANDRELL5.MENUPACK.INS_ACCESS(:ACCESSID, :NAME);", "end;"};
        const auto write = [&](void (TDataSet::*start)(), const char *name) {
            (access.*start)();
            access.FieldByName("NAME")->SetAsString(QString::fromUtf8(name));
            access.Post();
        };
        QVERIFY(access.Locate("ACCESSID", 2, 0));
        write(&TDataSet::Edit, "Операторы смены");
        write(&TDataSet::Append, "Гости");
        QVERIFY(access.FieldByName("ACCESSID")->AsInteger() > 2); // the new id came back
        s->Commit();
        const QString nameOf = u"SELECT NAME FROM ZANDRELL5.V_ACCESS WHERE ACCESSID = :ID"_s;
        QCOMPARE(Scalar(other.get(), nameOf, {1}).toString(), u"Админы"_s);
        QCOMPARE(Scalar(other.get(), nameOf, {2}).toString(), u"Операторы смены"_s);
        QCOMPARE(Scalar(other.get(), u"SELECT COUNT(*) FROM ZANDRELL5.V_ACCESS WHERE NAME = 'Гости'"_s).toInt(), 1);
        access.Options().LocalUpdate = true;
        write(&TDataSet::Edit, "Только здесь");
        QVERIFY(!s->InTransaction());
    }

    void existsLangPack()
    {
        TestServer server;
        auto s = server.Connect();
        QVERIFY(ExistsLangPack(u"zandrell5"_s, s.get()));
        QVERIFY(!ExistsLangPack(u"NOSCHEME"_s, s.get()));
        QVERIFY(!ExistsLangPack(u"ZANDRELL5' OR '1'='1"_s, s.get()));
        QVERIFY_THROWS_EXCEPTION(EDAError, TDbLanguagesDM(nullptr, u"ZANDRELL5.X; --"_s, s.get()));
        QVERIFY(GetComLanguages() == nullptr);
    }

    void everyResourceStringIsInThePack()
    {
        TestServer server;
        auto s = server.Connect();
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, u"ZANDRELL5"_s, s.get());
        auto *db = static_cast<TDbLanguagesDM *>(dm);
        for (const QString &id : ResStrIds()) {
            if (ResStrRu(id).isEmpty())
                continue; // an empty built-in text has nothing to store
            QCOMPARE(db->PackText(u"GET_RESOURCE_APL_TXT"_s, id).toString(), ResStrRu(id));
            QCOMPARE(db->PackText(u"GET_RESOURCE_APL_EN_TXT"_s, id).toString(), ResStrEn(id));
        }
    }
};

QTEST_MAIN(tst_DataSet)
#include "tst_DataSet.moc"
