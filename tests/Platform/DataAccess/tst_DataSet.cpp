// The client-side data set: navigation, filter, Locate, Lookup, bookmarks,
// changes with their events and silent cancel, notification and the grid
// model; what a grid shows for each kind of field, in Russian and English
// locales, and the check mark of a Boolean field that a person can toggle.
#include "DataSet.h"
#include "DataSetModel.h"
#include "DataSource.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// The shape of V_MENUCFG: ID_CFG, OWNER, MENUNAME, SORT_ORDER.
TResultSet MenuRows()
{
    TResultSet r;
    r.columns = {{"ID_CFG", TFieldType::ftInteger, 0, true},
                 {"OWNER", TFieldType::ftFloat, 0, false},
                 {"MENUNAME", TFieldType::ftString, 50, false},
                 {"SORT_ORDER", TFieldType::ftInteger, 0, false}};
    r.rows = {{1, 0.0, "Документы", 10}, {2, 12.0, "Заказы", 10}, {3, 12.0, "Отчеты", 20},
              {4, 0.0, "Справочники", 20}, {12, 0.0, "Admin", 30}, {5, 120.0, "Nested", 5}};
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
    r.rows = {{1, nullNumber, nullText, "12"},       {2, 5.0, "Alpha", "10"},         {3, 12.0, "beta", "9"},
              {4, 0.0, "", "0"},                     {5, QVariant(), QVariant(), QVariant()},
              {6, 120.0, "Gamma", "abc"},            {7, -3.5, "alpha", "-3.5"}};
    return r;
}

QList<int> VisibleIds(TDataSet &ds)
{
    QList<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids << ds.FieldByName("ID")->AsInteger();
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
    void navigation()
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
        ds.First();
        QCOMPARE(ds.RecordCount(), 6);
        QVERIFY(ds.Bof());
        QCOMPARE(ds.RecNo(), 1);
        int seen = 0;
        for (ds.First(); !ds.Eof(); ds.Next())
            ++seen;
        QCOMPARE(seen, 6);
        QCOMPARE(ds.RecNo(), 6);
        ds.Prior();
        QCOMPARE(ds.FieldByName("id_cfg")->AsInteger(), 12);
        ds.Last();
        QVERIFY(ds.Eof());
        ds.First();
        ds.Prior();
        QVERIFY(ds.Bof());
        QCOMPARE(ds.MoveBy(10), 5);
        QVERIFY(ds.Eof());
        ds.SetRecNo(2);
        QCOMPARE(ds.FieldByName("MENUNAME")->AsString(), QStringLiteral("Заказы"));
        QVERIFY(ds.FindField("nothing") == nullptr);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.FieldByName("nothing"));
        ds.Close();
        QVERIFY(!ds.Active());
        QVERIFY(ds.FieldByName("OWNER")->IsNull());
    }

    void filterSwitchesAndEvent()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.SetFilter(QStringLiteral("MENUNAME = 'Admin'"));
        ds.SetFiltered(true);
        QCOMPARE(ds.RecordCount(), 1);
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 12);
        ds.SetFiltered(false);
        QCOMPARE(ds.RecordCount(), 6);
        ds.SetFilter(QStringLiteral("NOSUCH=1"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.SetFiltered(true));
        ds.SetFilter(QString());
        ds.OnFilterRecord = [](TDataSet *d) { return d->FieldByName("SORT_ORDER")->AsInteger() == 10; };
        ds.SetFiltered(true);
        QCOMPARE(ds.RecordCount(), 2);
    }

    // Every operator, against numbers, texts and NULL; a NULL value passes only "=NULL" and fails every comparison.
    void filterOperators_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("ids");
        QTest::newRow("= (12.0 is 12, 120 is not)") << "Owner=12" << "2 3";
        QTest::newRow("<") << "SORT_ORDER<20" << "1 2 5";
        QTest::newRow("<=") << "SORT_ORDER<=20" << "1 2 3 4 5";
        QTest::newRow(">") << "SORT_ORDER>20" << "12 7";
        QTest::newRow(">=") << "SORT_ORDER>=20" << "3 4 12 7";
        QTest::newRow("<>") << "OWNER<>0" << "2 3 5";
        QTest::newRow("!=") << "OWNER != 12" << "1 4 12 5";
        QTest::newRow("text <") << "MENUNAME<'N'" << "12";
        QTest::newRow("text >") << "MENUNAME>'Nested'" << "1 2 3 4";
        QTest::newRow("= NULL") << "MENUNAME=NULL" << "7";
        QTest::newRow("<> NULL") << "OWNER<>null" << "1 2 3 4 12 5";
        QTest::newRow("AND") << "OWNER = 0 AND SORT_ORDER >= 20" << "4 12";
    }
    void filterOperators()
    {
        QFETCH(QString, filter);
        QFETCH(QString, ids);
        TResultSet rows = MenuRows();
        rows.rows.append({7, QVariant(), QVariant(), 40});
        TDataSet ds;
        ds.LoadFrom(rows);
        ds.SetFilter(filter);
        ds.SetFiltered(true);
        QStringList seen;
        for (ds.First(); !ds.Eof(); ds.Next())
            seen << ds.FieldByName("ID_CFG")->AsString();
        QCOMPARE(seen.join(' '), ids);
    }

    void locateOptions_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("key");
        QTest::addColumn<unsigned>("options");
        QTest::addColumn<int>("found");
        QTest::newRow("exact") << "MENUNAME" << QVariant("Admin") << 0u << 12;
        QTest::newRow("exact, other case") << "MENUNAME" << QVariant("ADMIN") << 0u << 0;
        QTest::newRow("case-insensitive") << "MENUNAME" << QVariant("aDMIN") << unsigned(loCaseInsensitive) << 12;
        QTest::newRow("partial") << "MENUNAME" << QVariant("Отч") << unsigned(loPartialKey) << 3;
        QTest::newRow("partial, other case") << "MENUNAME" << QVariant("отч") << unsigned(loPartialKey) << 0;
        QTest::newRow("partial and case-insensitive") << "MENUNAME" << QVariant("отч")
                                                      << unsigned(loPartialKey | loCaseInsensitive) << 3;
        QTest::newRow("prefix without partial") << "MENUNAME" << QVariant("Отч") << unsigned(loCaseInsensitive) << 0;
        QTest::newRow("number, partial") << "ID_CFG" << QVariant(4.0) << unsigned(loPartialKey) << 4;
        QTest::newRow("number is no prefix") << "ID_CFG" << QVariant(1) << unsigned(loPartialKey) << 1;
    }
    void locateOptions()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, key);
        QFETCH(unsigned, options);
        QFETCH(int, found);
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.Last();
        QCOMPARE(ds.Locate(field, key, options), found != 0);
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), found ? found : 5); // a failed Locate does not move
    }

    // What a field keeps of a written value: numbers rounded to the field's kind, blanks as NULL.
    void fieldConversions_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("integer from text") << "SORT_ORDER" << QVariant("15") << QVariant(qlonglong(15));
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

    void indexOrder()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        ds.SetIndexFieldNames("OWNER;SORT_ORDER");
        QStringList ids;
        for (ds.First(); !ds.Eof(); ds.Next())
            ids << ds.FieldByName("ID_CFG")->AsString();
        QCOMPARE(ids, (QStringList{"1", "4", "12", "2", "3", "5"}));
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

    void locateOnSeveralFieldsAndLookup()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        QVERIFY(ds.Locate("OWNER;SORT_ORDER", QVariantList{12, 20}, 0));
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 3);
        QCOMPARE(ds.Lookup("ID_CFG", 2, "MENUNAME").toString(), QStringLiteral("Заказы"));
        QCOMPARE(ds.Lookup("ID_CFG", 4, "ID_CFG;MENUNAME;SORT_ORDER").toList(), (QVariantList{4, "Справочники", 20}));
        QVERIFY(ds.Lookup("ID_CFG", 77, "MENUNAME").isNull());
        QCOMPARE(ds.FieldByName("ID_CFG")->AsInteger(), 3); // Lookup does not move
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

    void editPostCancelAndEvents()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        QStringList log;
        ds.BeforeEdit = [&](TDataSet *) { log << "BeforeEdit"; };
        ds.AfterEdit = [&](TDataSet *) { log << "AfterEdit"; };
        ds.BeforePost = [&](TDataSet *) { log << "BeforePost"; };
        ds.AfterPost = [&](TDataSet *) { log << "AfterPost"; };
        ds.BeforeCancel = [&](TDataSet *) { log << "BeforeCancel"; };
        ds.AfterCancel = [&](TDataSet *) { log << "AfterCancel"; };
        ds.SetRecNo(2);
        ds.Edit();
        QCOMPARE(ds.State(), TDataSetState::dsEdit);
        ds.FieldByName("MENUNAME")->SetAsString(QStringLiteral("Новое"));
        QCOMPARE(ds.FieldByName("MENUNAME")->OldValue().toString(), QStringLiteral("Заказы"));
        ds.Post();
        QCOMPARE(ds.FieldByName("MENUNAME")->AsString(), QStringLiteral("Новое"));
        ds.Edit();
        ds.FieldByName("MENUNAME")->SetAsString(QStringLiteral("Lost"));
        ds.Cancel();
        QCOMPARE(ds.FieldByName("MENUNAME")->AsString(), QStringLiteral("Новое"));
        QCOMPARE(log, (QStringList{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeEdit", "AfterEdit",
                                   "BeforeCancel", "AfterCancel"}));
        // Writing outside edit state is refused.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.FieldByName("MENUNAME")->SetAsString("x"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Post());
        // A text that is no number is refused by a number field.
        ds.Edit();
        QVERIFY_THROWS_EXCEPTION(EConvertError, ds.FieldByName("SORT_ORDER")->SetAsString(QStringLiteral("abc")));
    }

    void beforeEventCancelsSilently()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        int afterInsert = 0;
        ds.BeforeInsert = [](TDataSet *) { throw EAbort(QStringLiteral("Operation aborted")); };
        ds.AfterInsert = [&](TDataSet *) { ++afterInsert; };
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Insert());
        QCOMPARE(ds.RecordCount(), 6);
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
        QCOMPARE(afterInsert, 0);

        ds.BeforeDelete = [](TDataSet *) { throw EAbort(QStringLiteral("Operation aborted")); };
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Delete());
        QCOMPARE(ds.RecordCount(), 6);

        ds.BeforeEdit = [](TDataSet *) { throw EAbort(QStringLiteral("Operation aborted")); };
        QVERIFY_THROWS_EXCEPTION(EAbort, ds.Edit());
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);

        // A post cancelled by its before-event leaves the record in edit state.
        TDataSet ds2;
        ds2.LoadFrom(MenuRows());
        ds2.BeforePost = [](TDataSet *) { throw EAbort(QStringLiteral("Operation aborted")); };
        ds2.Edit();
        ds2.FieldByName("MENUNAME")->SetAsString("x");
        QVERIFY_THROWS_EXCEPTION(EAbort, ds2.Post());
        QCOMPARE(ds2.State(), TDataSetState::dsEdit);
        ds2.Cancel();
        QCOMPARE(ds2.FieldByName("MENUNAME")->AsString(), QStringLiteral("Документы"));
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
        // A read-only set refuses changes.
        ds.SetReadOnly(true);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.Edit());
    }

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
        ds.Next();
        ds.Edit();
        ds.FieldByName("MENUNAME")->SetAsString("x");
        ds.Post();
        QCOMPARE(c.scrolled, 1);
        QCOMPARE(c.record, 0);
        QCOMPARE(c.changed, changedAfterOpen);
        ds.EnableControls();
        QCOMPARE(c.changed, changedAfterOpen + 1);
        src.SetEnabled(false);
        const int before = c.scrolled;
        ds.Next();
        QCOMPARE(c.scrolled, before);
        src.RemoveLink(&c);
    }

    void modelShowsVisibleFieldsAndFollows()
    {
        TDataSet ds;
        TDataSource src(nullptr, &ds);
        TDataSetModel model(&src);
        QCOMPARE(model.rowCount(), 0);
        ds.LoadFrom(MenuRows());
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.columnCount(), 4);
        ds.FieldByName("ID_CFG")->SetVisible(false);
        ds.FieldByName("MENUNAME")->SetDisplayLabel(QStringLiteral("Меню"));
        ds.Refresh();
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Меню"));
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("12"));
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("Заказы"));
        QSignalSpy rowSpy(&model, &TDataSetModel::currentRowChanged);
        ds.SetRecNo(3);
        QCOMPARE(rowSpy.count(), 1);
        QCOMPARE(rowSpy.last().first().toInt(), 2);
        model.SetCurrentRow(4);
        QCOMPARE(ds.RecNo(), 5);
        ds.SetFilter("OWNER=12");
        ds.SetFiltered(true);
        QCOMPARE(model.rowCount(), 2);
        // Editing through the model goes through Edit/Post.
        QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));
        model.Editable = true;
        QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
        QSignalSpy dataSpy(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(model.index(1, 1), QStringLiteral("Изменено")));
        QCOMPARE(ds.FieldByName("MENUNAME")->AsString(), QStringLiteral("Изменено"));
        QVERIFY(dataSpy.count() > 0);
        ds.BeforeEdit = [](TDataSet *) { throw EAbort(QStringLiteral("Operation aborted")); };
        QVERIFY(!model.setData(model.index(0, 1), QStringLiteral("no")));
        QCOMPARE(ds.State(), TDataSetState::dsBrowse);
    }

    // Every operator, against numbers, texts and NULLs of both kinds.
    void filterOperatorsOnMixedValues_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("=") << "AMOUNT = 12" << QList<int>{3};
        QTest::newRow("<>") << "AMOUNT <> 12" << QList<int>{2, 4, 6, 7};
        QTest::newRow("!=") << "AMOUNT != 12" << QList<int>{2, 4, 6, 7};
        QTest::newRow("<") << "AMOUNT < 5" << QList<int>{4, 7};
        QTest::newRow("<=") << "AMOUNT <= 5" << QList<int>{2, 4, 7};
        QTest::newRow(">") << "AMOUNT > 5" << QList<int>{3, 6};
        QTest::newRow(">=") << "AMOUNT >= 12" << QList<int>{3, 6};
        QTest::newRow("zero is no NULL") << "AMOUNT = 0" << QList<int>{4};
        QTest::newRow("= NULL") << "AMOUNT = NULL" << QList<int>{1, 5};
        QTest::newRow("<> NULL") << "AMOUNT <> NULL" << QList<int>{2, 3, 4, 6, 7};
        QTest::newRow("number field, quoted number") << "AMOUNT = '12'" << QList<int>{3};
        QTest::newRow("text with case") << "NAME = 'alpha'" << QList<int>{7};
        QTest::newRow("text order") << "NAME < 'beta'" << QList<int>{2, 4, 6, 7};
        QTest::newRow("empty text is no NULL") << "NAME = ''" << QList<int>{4};
        QTest::newRow("text NULL") << "NAME = NULL" << QList<int>{1, 5};
        QTest::newRow("text field, number") << "CODE > 9" << QList<int>{1, 2, 6};
        QTest::newRow("text field, quoted") << "CODE = '9'" << QList<int>{3};
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
        QTest::newRow("partial without case") << "NAME" << QVariant("alp") << int(loPartialKey | loCaseInsensitive) << 2;
        QTest::newRow("whole without case") << "NAME" << QVariant("ALPHA") << int(loCaseInsensitive) << 2;
        QTest::newRow("whole with case") << "NAME" << QVariant("Alp") << 0 << -1;
        QTest::newRow("empty start skips NULL") << "NAME" << QVariant("") << int(loPartialKey) << 2;
        QTest::newRow("zero skips a NULL of a type") << "AMOUNT" << QVariant(0.0) << 0 << 4;
        QTest::newRow("number") << "AMOUNT" << QVariant(12) << 0 << 3;
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

    void fieldDisplaySettingsSurviveReopen()
    {
        TDataSet ds;
        ds.LoadFrom(MenuRows());
        TField *name = ds.FieldByName("MENUNAME");
        name->SetDisplayLabel("Menu");
        name->SetDisplayWidth(7);
        name->SetTag(255);
        ds.LoadFrom(MenuRows());
        QCOMPARE(ds.FieldByName("MENUNAME"), name);
        QCOMPARE(name->DisplayLabel(), QStringLiteral("Menu"));
        QCOMPARE(name->DisplayWidth(), 7);
        QCOMPARE(name->Tag(), 255);
        QCOMPARE(ds.FieldByName("OWNER")->DisplayLabel(), QStringLiteral("OWNER"));
        QCOMPARE(ds.FieldByName("ID_CFG")->DisplayWidth(), 11);
        QVERIFY(ds.FieldByName("ID_CFG")->Required());
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
        QTest::newRow("en date") << "en_US" << dt << -1 << QVariant(midnight) << "2/5/24";
        QTest::newRow("ru date time") << "ru_RU" << dt << -1 << QVariant(afternoon) << "05.02.2024 14:07:09";
        QTest::newRow("ru date kind drops time") << "ru_RU" << int(TFieldType::ftDate) << -1 << QVariant(afternoon)
                                                 << "05.02.2024";
        QTest::newRow("ru time") << "ru_RU" << int(TFieldType::ftTime) << -1 << QVariant(QTime(9, 5, 1)) << "09:05:01";
        QTest::newRow("unreadable date text") << "ru_RU" << dt << -1 << QVariant("31-FEB") << "31-FEB";
        QTest::newRow("ru amount") << "ru_RU" << fl << 2 << QVariant(1234567.5) << QString::fromUtf8("1\u00a0234\u00a0567,50");
        QTest::newRow("en amount") << "en_US" << fl << 2 << QVariant(1234567.5) << "1,234,567.50";
        QTest::newRow("en amount rounds") << "en_US" << fl << 2 << QVariant(0.005 + 1e-9) << "0.01";
        QTest::newRow("en currency") << "en_US" << int(TFieldType::ftCurrency) << -1 << QVariant(12.0) << "12.00";
        QTest::newRow("en float whole") << "en_US" << fl << -1 << QVariant(1500.0) << "1,500";
        QTest::newRow("ru float") << "ru_RU" << fl << -1 << QVariant(2.25) << "2,25";
        QTest::newRow("integer id plain") << "en_US" << in << -1 << QVariant(qlonglong(100234)) << "100234";
        QTest::newRow("null") << "en_US" << fl << 2 << QVariant() << "";
        QTest::newRow("boolean draws no text") << "en_US" << int(TFieldType::ftBoolean) << -1 << QVariant(true) << "";
        QTest::newRow("text") << "ru_RU" << int(TFieldType::ftString) << -1 << QVariant("Склад") << "Склад";
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

    void modelAlignsAndChecks()
    {
        TResultSet rows;
        rows.columns = {{"NAME", TFieldType::ftString, 20, false, -1},
                        {"AMOUNT", TFieldType::ftFloat, 0, false, 2},
                        {"PAID", TFieldType::ftBoolean, 0, false, -1}};
        rows.rows = {{"a", 10.0, true}, {"b", 3.5, false}};
        TDataSet ds;
        TDataSource src(nullptr, &ds);
        TDataSetModel model(&src);
        ds.LoadFrom(rows);
        QCOMPARE(ds.FieldByName("AMOUNT")->Scale(), 2);
        QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
        QCOMPARE(model.data(model.index(0, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model.data(model.index(1, 2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!model.data(model.index(0, 1), Qt::CheckStateRole).isValid());

        // Read-only grid: no toggling; editable grid: the tick is written through the data set.
        QVERIFY(!(model.flags(model.index(1, 2)) & Qt::ItemIsUserCheckable));
        QVERIFY(!model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
        model.Editable = true;
        QVERIFY(model.flags(model.index(1, 2)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(model.flags(model.index(1, 2)) & Qt::ItemIsEditable));
        QVERIFY(model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
        ds.SetRecNo(2);
        QVERIFY(ds.FieldByName("PAID")->AsBoolean());
        QVERIFY(!model.setData(model.index(1, 1), Qt::Checked, Qt::CheckStateRole));
    }
};

QTEST_MAIN(tst_DataSet)
#include "tst_DataSet.moc"
