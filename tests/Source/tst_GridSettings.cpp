// The grid settings of the data forms over a fresh demo database: the query
// key, the ordering a user chose kept across closing and reopening a form, and
// what the settings file refuses.
#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uBaseFormSettings.h"
#include "Source/ComUnits/uChkCount.h"
#include "Source/ComUnits/uComFormGFG.h"
#include "Source/ComUnits/uComFormLibInt.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/ComUnits/uQueryOrdering.h"
#include "Source/FormReposit/uBaseForm.h"
#include "Ui/DataSetModel.h"
#include "tests/common/FormFixture.h"
#include "tests/common/TestServer.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kScheme = u"ZANDRELL5"_s;

QString section() { return OrderSection(kScheme, u"tst_GridSettings"_s); }

// Customers and, as a detail, the orders of the current customer.
class TMasterDetailForm : public TBaseForm {
public:
    explicit TMasterDetailForm(TOraSession *session) : TBaseForm(nullptr, session, kScheme)
    {
        setObjectName(u"fmCustomers"_s);
        sqCustomers = new TOraQuery(this);
        sqCustomers->setObjectName(u"sqCustomers"_s);
        sqCustomers->SetSQLText(u"SELECT C.ID, C.NAME FROM &Shema.DEMO_CUSTOMERS C ORDER BY C.ID"_s);
        auto *customers = new TDataSource(this, sqCustomers);
        sqOrders = new TOraQuery(this);
        sqOrders->setObjectName(u"sqOrders"_s);
        sqOrders->SetSQLText(u"SELECT O.ID, O.AMOUNT FROM &Shema.DEMO_ORDERS O WHERE O.CUSTOMER_ID = :ID"_s);
        sqOrders->SetMasterSource(customers);
        grdCustomers = new TDBGrid(this);
        grdCustomers->setObjectName(u"grdCustomers"_s);
        grdCustomers->SetHint(u"Customers"_s);
        grdCustomers->SetDataSource(customers);
        grdOrders = new TDBGrid(this);
        grdOrders->setObjectName(u"grdOrders"_s);
        grdOrders->SetHint(u"Orders"_s);
        grdOrders->SetDataSource(new TDataSource(this, sqOrders));
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(grdCustomers);
        layout->addWidget(grdOrders);
        MainDataSet = sqCustomers;
    }
    TOraQuery *sqCustomers;
    TOraQuery *sqOrders;
    TDBGrid *grdCustomers;
    TDBGrid *grdOrders;

protected:
    void FormCreate() override
    {
        sqCustomers->Open();
        sqOrders->Open();
    }
};

// A grid made before its query, whose table the form names only when it prepares the macros.
class TMacroTableForm : public TBaseForm {
public:
    explicit TMacroTableForm(TOraSession *session) : TBaseForm(nullptr, session, kScheme)
    {
        grid = new TDBGrid(this);
        grid->setObjectName(u"grdGoods"_s);
        grid->SetHint(u"Goods"_s);
        sqGoods = new TOraQuery(this);
        sqGoods->setObjectName(u"sqGoods"_s);
        sqGoods->SetSQLText(u"SELECT * FROM &Shema.&TABLE"_s);
        grid->SetDataSource(new TDataSource(this, sqGoods));
    }
    TDBGrid *grid;
    TOraQuery *sqGoods;

protected:
    void PrepareQueryMacros(TOraDataSet *, TMacro &macro) override
    {
        if (macro.Name() == u"TABLE"_s)
            macro.SetValue(u"DEMO_GOODS"_s);
    }
};

int ordersOf(TOraSession *session, int customer)
{
    return Scalar(session, u"SELECT COUNT(*) FROM ZANDRELL5.DEMO_ORDERS WHERE CUSTOMER_ID = %1"_s.arg(customer))
        .toInt();
}

} // namespace

class TestGridSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<FormFixture> fixture;
    RecordingDialogService *dialogs = nullptr;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<TOraSession> session;

    std::unique_ptr<TOrdersForm> openForm() { return TBaseForm::Create<TOrdersForm>(session.get(), false); }

    QString storedKey()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        form.reset();
        return key;
    }

    int refusals() const
    {
        int count = 0;
        for (const RecordedBox &box : dialogs->boxes)
            count += box.text.startsWith(u"TBaseForm.NotFindFieldForOrder: "_s);
        return count;
    }

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void init()
    {
        fixture = std::make_unique<FormFixture>();
        dialogs = &fixture->dialogs;
        server = std::make_unique<TestServer>();
        session = server->Connect();
    }

    void cleanup()
    {
        TIniFile::SetWriteFaultForTests({});
        QFile::setPermissions(fixture->programDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        session.reset();
        server.reset();
        fixture.reset();
    }

    void checksum_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("checksum");
        // Worked by hand over the Windows bytes of each line plus CR LF, then a blank.
        QTest::newRow("one line") << u"AB"_s << u"0018"_s;
        QTest::newRow("two lines") << u"A\nB"_s << u"0004"_s;
        QTest::newRow("a Russian letter is its Windows-1251 byte") << u"Я"_s << u"00e2"_s;
        QTest::newRow("NUL NUL adds nothing, NUL before a letter adds its place") << QString(u"A\0\0B"_s) << u"0005"_s;
    }
    void checksum()
    {
        QFETCH(QString, sql);
        QTEST(QuerySqlChecksum(sql), "checksum");
    }

    // A form freed without closing keeps the user's ordering; the design one is not kept, and a
    // form opened without a change writes nothing.
    void orderingCycle()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        form->sortBy(u"O.STATUS"_s);
        form.reset();
        QCOMPARE(ComFormGFGIni().ReadString(section(), key, {}), u"O.STATUS"_s);
        const QDateTime written = QFileInfo(ComFormGFGIni().FileName()).lastModified();
        form = openForm();
        QCOMPARE(form->ordering(), u"O.STATUS"_s);
        QVERIFY(form->close());
        QCOMPARE(QFileInfo(ComFormGFGIni().FileName()).lastModified(), written);
        form = openForm();
        form->sortBy(u"O.ID"_s);
        QVERIFY(form->close());
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key));
        QCOMPARE(dialogs->boxes.size(), 0);
    }

    void saveSwitchedOff()
    {
        const QString key = storedKey();
        ComFormGFGIni().WriteBool(kScheme + u"_ORDERBY"_s, u"SAVE"_s, false);
        ComFormGFGIni().WriteString(section(), key, u"O.AMOUNT"_s);
        auto form = openForm();
        QCOMPARE(form->ordering(), u"O.ID"_s);
        form->sortBy(u"STATUS"_s);
        QVERIFY(form->close());
        QCOMPARE(ComFormGFGIni().ReadString(section(), key, {}), u"O.AMOUNT"_s);
    }

    void storedOrdering_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("applied"); // empty: refused
        QTest::newRow("field with direction and prefix") << u"STATUS DESC, O.ID"_s << u"O.STATUS DESC, O.ID"_s;
        QTest::newRow("lower case") << u"amount asc"_s << u"O.AMOUNT ASC"_s;
        QTest::newRow("an alias") << u"ROWID_QUERY"_s << u"ROWID_QUERY"_s;
        QTest::newRow("dropped column") << u"O.DISCOUNT"_s << u""_s;
        QTest::newRow("a second statement") << u"ID; DROP TABLE DEMO_ORDERS"_s << u""_s;
        QTest::newRow("empty") << u""_s << u""_s;
    }
    void storedOrdering()
    {
        QFETCH(QString, stored);
        QFETCH(QString, applied);
        const QString key = storedKey();
        ComFormGFGIni().WriteString(section(), key, stored);
        auto form = openForm();
        QCOMPARE(form->ordering(), applied.isEmpty() ? u"O.ID"_s : applied);
        QVERIFY(form->sqOrders->Active());
        QCOMPARE(refusals(), applied.isEmpty() ? 1 : 0);
        QCOMPARE(ComFormGFGIni().ValueExists(section(), key), !applied.isEmpty());
        if (applied.isEmpty()) {
            QCOMPARE(dialogs->boxes.first().caption, TranslateAplText(u"rstrError"_s));
            QVERIFY(dialogs->boxes.first().text.contains(stored.trimmed().isEmpty() ? u"\"\""_s : u"\""_s));
            // Forgotten: the next opening says nothing.
            QVERIFY(form->close());
            form = openForm();
            QCOMPARE(refusals(), 1);
        }
    }

    // How an ordering names the fields of a query that joins tables.
    void orderingNamesFieldsAsTheSelectListDoes_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expression"); // empty: the list does not name it
        QTest::addColumn<QString>("item");       // an ordering item and the field it names
        QTest::addColumn<QString>("itemField");
        const QString orders = u"SELECT O.ID, O.ORDER_DATE, C.NAME AS CUSTOMER, O.AMOUNT\nFROM &shema.DEMO_ORDERS O, "
                               u"&shema.DEMO_CUSTOMERS C WHERE C.ID = O.CUSTOMER_ID\n&ORDER &FIELD"_s;
        QTest::newRow("qualified column") << orders << u"ID"_s << u"O.ID"_s << u"O.ID"_s << u"ID"_s;
        QTest::newRow("alias") << orders << u"customer"_s << u"CUSTOMER"_s << u"C.NAME"_s << u"CUSTOMER"_s;
        QTest::newRow("position") << orders << u"AMOUNT"_s << u"O.AMOUNT"_s << u"4"_s << u"AMOUNT"_s;
        QTest::newRow("position past the list") << orders << u"NAME"_s << u""_s << u"5"_s << u""_s;
        const QString lines =
            u"SELECT CASE WHEN EXISTS (SELECT 1 FROM T WHERE T.A = L.ID) THEN '+' ELSE '-' END AS RCHECK, "
            u"L.ID, L.QUANTITY * L.PRICE AMOUNT, 'L' || L.ID, COUNT(*) N FROM &shema.LINES L"_s;
        QTest::newRow("a sub-query stays whole") << lines << u"RCHECK"_s << u"RCHECK"_s << u"1"_s << u"RCHECK"_s;
        QTest::newRow("alias without AS") << lines << u"AMOUNT"_s << u"AMOUNT"_s << u"3"_s << u"AMOUNT"_s;
        QTest::newRow("expression without alias") << lines << u"ID"_s << u"L.ID"_s << u"4"_s << u""_s;
        QTest::newRow("every field: bare names")
            << u"SELECT * FROM &shema.DEMO_GOODS"_s << u"NAME"_s << u""_s << u"G.NAME"_s << u"NAME"_s;
    }
    void orderingNamesFieldsAsTheSelectListDoes()
    {
        QFETCH(QString, sql);
        QFETCH(QString, field);
        QFETCH(QString, item);
        const QList<TSelectItem> list = SelectListOf(sql);
        QTEST(OrderExpressionOf(list, field), "expression");
        QTEST(FieldOfOrderItem(list, item), "itemField");
    }

    void countFormat_data()
    {
        QTest::addColumn<QString>("translation");
        QTest::addColumn<bool>("detail");
        QTest::addColumn<QString>("format");
        QTest::newRow("one count") << u"Read: %s"_s << false << u" Read: %d"_s;
        QTest::newRow("a detail's and its master's") << u"Read: %s"_s << true << u" Read: %d (%d)"_s;
        QTest::newRow("a percent sign stays") << u"100%% of %s"_s << false << u" 100% of %d"_s;
        QTest::newRow("no place: the built-in text") << u"Read"_s << false << u" Built: %d"_s;
        QTest::newRow("two places: the built-in text") << u"%s of %d"_s << true << u" Built: %d (%d)"_s;
    }
    void countFormat()
    {
        QFETCH(QString, translation);
        QFETCH(bool, detail);
        QTEST(CountFormat(translation, u"Built: %s"_s, detail), "format");
    }

    void countsFollowTheMaster()
    {
        auto form = TBaseForm::Create<TMasterDetailForm>(session.get());
        // The main data set (a master of nothing) shows its own count.
        QVERIFY(form->StatusText().endsWith(u" %1"_s.arg(form->sqCustomers->RecordCount())));
        QCOMPARE(form->StatusHint(), u"Customers"_s);

        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->grdOrders->setFocus();
        QCOMPARE(form->CheckStates()->ActiveItem()->DataSet(), form->sqOrders);
        QCOMPARE(form->StatusHint(), u"Orders (Customers)"_s);
        const int customers = form->sqCustomers->RecordCount();
        QVERIFY(customers > 2);
        for (form->sqCustomers->First(); !form->sqCustomers->Eof(); form->sqCustomers->Next()) {
            const int customer = form->sqCustomers->FieldByName(u"ID"_s)->AsInteger();
            QVERIFY2(form->StatusText().endsWith(u" %1 (%2)"_s.arg(ordersOf(session.get(), customer)).arg(customers)),
                     qPrintable(form->StatusText()));
        }
    }

    void registryFollowsGrids()
    {
        auto form = TBaseForm::Create<TMasterDetailForm>(session.get());
        TScrollComponent *grids = form->ScrollList().Find(&QAbstractItemView::staticMetaObject);
        QVERIFY(grids);
        // A grid made at run time inside a panel is set up when the form next scans.
        auto *panel = new QWidget(form.get());
        QCoreApplication::processEvents();
        auto *late = new TDBGrid(panel);
        late->SetHint(u"Late"_s);
        late->SetDataSource(new TDataSource(panel, form->sqOrders));
        QVERIFY(!form->GridInterface(late));
        form->ScanComponents();
        QVERIFY(form->GridInterface(late));
        QVERIFY(grids->Contains(late));
        // A grid added straight to the form is found without being asked for.
        auto *direct = new TDBGrid(form.get());
        direct->SetDataSource(new TDataSource(form.get(), form->sqCustomers));
        QTRY_VERIFY(form->GridInterface(direct));
    }

    void queriesAreSetUpBeforeTheirGrids()
    {
        auto form = TBaseForm::Create<TMacroTableForm>(session.get());
        QCOMPARE(dialogs->boxes.size(), 0);
        QCOMPARE(form->Grids().size(), size_t(1));
    }

    void registryByIdentity()
    {
        QWidget root;
        TScrollComponentList list;
        list.AddRoot(&root);
        int widgetRuns = 0, editRuns = 0;
        list.AddHandler(&QWidget::staticMetaObject, &root, u"w"_s, [&](QObject *) { ++widgetRuns; });
        list.AddHandler(&QWidget::staticMetaObject, &root, u"w"_s, [&](QObject *) { ++widgetRuns; });
        list.AddHandler(&QLineEdit::staticMetaObject, &root, u"e"_s, [&](QObject *) { ++editRuns; });
        auto *first = new QLineEdit(&root);
        auto *second = new QLineEdit(&root);
        QCOMPARE(list.Scan(), 3); // the root and both edits
        QCOMPARE(list.KnownCount(), 3);
        QCOMPARE(widgetRuns, 3); // the same handler twice is one
        QCOMPARE(editRuns, 2);

        // One freed, one made: the count stays, the new one is still found.
        delete first;
        auto *third = new QLineEdit(&root);
        QCOMPARE(list.Scan(), 1);
        QVERIFY(list.Known(third) && list.Known(second));
        QCOMPARE(list.Find(&QLineEdit::staticMetaObject)->Components().size(), 2);

        // A walk that frees the component after the current one skips it.
        QList<QObject *> walked;
        list.Find(&QLineEdit::staticMetaObject)->ForEach([&](QObject *c) {
            walked << c;
            if (c == second)
                delete third;
        });
        QCOMPARE(walked, QList<QObject *>{second});

        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, list.Register(&QWidget::staticMetaObject));
        QObject plain;
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, list.Find(&QLineEdit::staticMetaObject)->AddComponent(&plain));
    }

    void gridsOfQueriesShowTheFilter()
    {
        auto form = TBaseForm::Create<TMasterDetailForm>(session.get());
        QCOMPARE(form->Grids().size(), size_t(2));
        QToolButton *button = form->Grids().at(1)->FilterButton();
        QVERIFY(button);
        QVERIFY(!button->isVisibleTo(form->grdOrders));
        // The filter as the user wrote it, while that filter is the one in force.
        SetFilterCaption(form->sqOrders, u"AMOUNT >= 100000"_s, u"Сумма >= 100000"_s);
        form->sqOrders->SetFilter(u"AMOUNT >= 100000"_s);
        form->sqOrders->SetFiltered(true);
        QVERIFY(button->isVisibleTo(form->grdOrders));
        QCOMPARE(button->toolTip(), u"Сумма >= 100000"_s);
        form->sqOrders->SetFilter(u"AMOUNT >= 200000"_s);
        QCOMPARE(button->toolTip(), u"AMOUNT >= 200000"_s);
        form->sqOrders->SetFiltered(false);
        QVERIFY(!button->isVisibleTo(form->grdOrders));

        delete form->grdOrders;
        QCOMPARE(form->Grids().size(), size_t(1));
    }

    // Columns the user moves and widens come back at the next opening; reset, they are the design's again.
    void columnsAsTheUserArrangedThem()
    {
        const auto fields = [](TDBGrid *grid) {
            QStringList names;
            for (int visual = 0; visual < grid->horizontalHeader()->count(); ++visual)
                names << grid->Model()->FieldOfColumn(grid->horizontalHeader()->logicalIndex(visual))->FieldName();
            return names.join(u' ');
        };
        const auto reopen = [this](std::unique_ptr<TMasterDetailForm> &form) {
            if (form)
                QVERIFY(form->close());
            form = TBaseForm::Create<TMasterDetailForm>(session.get());
            form->show();
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
        };
        std::unique_ptr<TMasterDetailForm> form;
        reopen(form);
        QHeaderView *titles = form->grdCustomers->horizontalHeader();
        // Something else than the user's hand changes nothing that is kept; a
        // column too narrow for the rows of another master record widens.
        titles->resizeSection(0, 77);
        form->grdOrders->setColumnWidth(1, 5);
        form->sqCustomers->Next();
        QVERIFY(form->grdOrders->columnWidth(1) >=
                static_cast<QAbstractItemView *>(form->grdOrders)->sizeHintForColumn(1));
        reopen(form);
        QVERIFY(!QFile::exists(ComFormGFGIni().FileName()));
        titles = form->grdCustomers->horizontalHeader();
        QCOMPARE(fields(form->grdCustomers), u"ID NAME"_s);
        // The name's title dragged before the code's, then its edge dragged wider.
        const auto drag = [titles](int from, int to) {
            const int y = titles->height() / 2;
            QTest::mousePress(titles->viewport(), Qt::LeftButton, {}, QPoint(from, y));
            QTest::mouseMove(titles->viewport(), QPoint((from + to) / 2, y));
            QTest::mouseMove(titles->viewport(), QPoint(to, y));
            QTest::mouseRelease(titles->viewport(), Qt::LeftButton, {}, QPoint(to, y));
        };
        drag(titles->sectionViewportPosition(1) + 10, titles->sectionViewportPosition(0) + 5);
        QCOMPARE(fields(form->grdCustomers), u"NAME ID"_s);
        const int edge = titles->sectionViewportPosition(1) + titles->sectionSize(1) - 1;
        drag(edge, edge + 60);
        const int width = titles->sectionSize(1);
        QVERIFY(width > 60);
        form->sqCustomers->Refresh();
        QCOMPARE(fields(form->grdCustomers), u"NAME ID"_s);
        QCOMPARE(titles->sectionSize(1), width);
        reopen(form);
        QCOMPARE(fields(form->grdCustomers), u"NAME ID"_s);
        QCOMPARE(form->grdCustomers->columnWidth(1), width);
        QCOMPARE(fields(form->grdOrders), u"ID AMOUNT"_s);
        form->grdCustomers->setFocus();
        form->pResetColumns->trigger();
        QCOMPARE(fields(form->grdCustomers), u"ID NAME"_s);
        QVERIFY(form->close());
        form.reset();
        QVERIFY(!ComFormGFGIni().ValueExists(u"tst_GridSettings/Columns"_s, u"fmCustomers.grdCustomers"_s));
    }

    void unwritableFolderDoesNotStopClosing()
    {
        auto form = openForm();
        const QString key = QueryKey(form->sqOrders);
        form->sortBy(u"STATUS"_s);
        QVERIFY(QFile::setPermissions(fixture->programDir.path(), QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(fixture->programDir.path()).isWritable()) // the super-user writes anywhere
            TIniFile::SetWriteFaultForTests({0, false});
        QVERIFY(form->close());
        QVERIFY(form->Closed());
        TIniFile::SetWriteFaultForTests({});
        QVERIFY(!ComFormGFGIni().ValueExists(section(), key));
    }
};

QTEST_MAIN(TestGridSettings)
#include "tst_GridSettings.moc"
