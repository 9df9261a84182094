// The form library ComformLibs.so as the data forms call it: its entries
// loaded from the built file, each dialog driven through its named widgets and
// actions over a grid of the demo database's orders (a table view on the data
// set's model behind the grid interface).
#include "Core/DialogService.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/OraQuery.h"
#include "Source/ComUnits/DBGridInterface.h"
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uBaseFormSettings.h"
#include "Source/ComUnits/uComFormLibs.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uLumSources.h"
#include "Source/FormReposit/uBaseForm.h"
#include "Ui/DataSetModel.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/PdfText.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TestServer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

namespace {

TRunSelectGrid g_runSelectGrid = nullptr;

// A data form's grid as the form library sees it.
class TTestGrid : public QObject, public IDBGrid {
    Q_OBJECT
    Q_INTERFACES(IDBGrid)
public:
    TTestGrid(TDataSet *dataSet, const QString &hint) : m_source(nullptr, dataSet), m_model(&m_source), m_hint(hint)
    {
        m_view.setModel(&m_model);
    }
    TDBGridOptions GetOptions() const override { return m_options; }
    void SetOptions(TDBGridOptions options) override { m_options = options; }
    bool CheckColumnOwnerDrawn() const override { return m_ownerDrawn; }
    void SetCheckColumnOwnerDrawn(bool drawn) override { m_ownerDrawn = drawn; }
    QFont TitleFont() const override { return m_view.horizontalHeader()->font(); }
    void SetTitleFont(const QFont &font) override { m_view.horizontalHeader()->setFont(font); }
    TDataSet *DataSet() const override { return m_source.DataSet(); }
    QAbstractItemView *Grid() const override { return const_cast<QTableView *>(&m_view); }
    QString CheckFieldName() const override { return m_checkField; }
    void SetCheckFieldName(const QString &name) override { m_checkField = name; }
    bool HasCheckField() const override { return DataSet()->FindField(m_checkField); }
    bool GetCheckValue() const override { return DataSet()->FieldByName(m_checkField)->AsString() == "+"; }
    void SetCheckValue(bool checked) override
    {
        DataSet()->Edit();
        DataSet()->FieldByName(m_checkField)->SetAsString(checked ? "+" : "-");
        DataSet()->Post();
    }
    int ColumnCount() const override { return m_model.columnCount(); }
    TField *ColumnField(int column) const override { return m_model.FieldOfColumn(column); }
    QString ColumnTitle(int column) const override { return m_model.headerData(column, Qt::Horizontal).toString(); }
    int ColumnWidth(int column) const override { return m_view.columnWidth(column); }
    bool ColumnVisible(int column) const override { return !m_view.isColumnHidden(column); }
    int SelectedColumn() const override { return m_view.currentIndex().column(); }
    void SetSelectedColumn(int column) override { m_view.setCurrentIndex(m_model.index(0, column)); }
    QString Hint() const override { return m_hint; }
    void SaveDrawState() override { DataSet()->DisableControls(); }
    void RestoreDrawState() override { DataSet()->EnableControls(); }
    void SelectAll() override { g_runSelectGrid(this, 0, kDefaultCheckField, 1); }
    void SelectNone() override { g_runSelectGrid(this, 3, kDefaultCheckField, 1); }
    void InvertSelection() override { g_runSelectGrid(this, 1, kDefaultCheckField, 1); }

    int ColumnOf(const QString &fieldName) const
    {
        for (int c = 0; c < ColumnCount(); ++c)
            if (ColumnField(c)->FieldName() == fieldName)
                return c;
        return -1;
    }
    void HideColumn(const QString &fieldName) { m_view.setColumnHidden(ColumnOf(fieldName), true); }

private:
    TDataSource m_source;
    TDataSetModel m_model;
    QTableView m_view;
    QString m_hint;
    QString m_checkField = kDefaultCheckField;
    TDBGridOptions m_options = 0;
    bool m_ownerDrawn = false;
};

// The demo orders on a fresh database, tagged as the grid base form tags them:
// ID for no dialog, the order date for find and filter, the status and the
// check column for the filter alone, the rest for all three (each dialog's
// cases check what it offers). Their marks are
// stored for the order-lines report (a hidden ROWID_QUERY and the macro GUID_SERVICE).
struct TOrders {
    TestServer server;
    std::unique_ptr<TOraSession> session = server.Connect();
    TOraQuery query;
    std::unique_ptr<TTestGrid> grid;

    TOrders()
    {
        query.SetSession(session.get());
        query.setObjectName("sqOrders");
        query.SetSQL({"SELECT O.ID, C.NAME AS CUSTOMER, O.ORDER_DATE, O.AMOUNT, O.STATUS, '-' AS RCHECK,",
                      "'R' || O.ID AS ROWID_QUERY",
                      "FROM &shema.DEMO_ORDERS O JOIN &shema.DEMO_CUSTOMERS C ON C.ID = O.CUSTOMER_ID",
                      "&ORDER &FIELD &GUID_SERVICE"});
        query.MacroByName("shema").SetValue("ZANDRELL5");
        query.MacroByName("GUID_SERVICE").SetValue("{ORDERS}");
        query.MacroByName("GUID_SERVICE").SetActive(false);
        query.MacroByName("ORDER").SetValue("ORDER BY");
        query.MacroByName("FIELD").SetValue("O.ID");
        query.Open();
        const QList<std::pair<const char *, int>> tags = {{"ID", 0},       {"CUSTOMER", 255}, {"ORDER_DATE", 0xFD},
                                                          {"AMOUNT", 255}, {"STATUS", 252},   {"RCHECK", 252}};
        for (const auto &[name, tag] : tags)
            query.FieldByName(name)->SetTag(tag);
        query.FieldByName("ROWID_QUERY")->SetVisible(false);
        grid = std::make_unique<TTestGrid>(&query, "dbgOrders");
    }
    int CurrentId() const { return query.FieldByName("ID")->AsInteger(); }
    void GoTo(int id) { QVERIFY(query.Locate("ID", id)); }
    int StoredMarks() const
    {
        return Scalar(session.get(), "SELECT COUNT(*) FROM ZANDRELL5.TEMP_ORDER_LINES_REPORT").toInt();
    }
    QList<int> Ids()
    {
        QList<int> ids;
        for (int row = 0; row < query.RecordCount(); ++row)
            ids << query.ValueAt(row, query.FieldByName("ID")->Index()).toInt();
        return ids;
    }
};

template <typename T>
T *named(QDialog *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("%s has no %s", dialog->metaObject()->className(), name);
    return w;
}

void trigger(QDialog *dialog, const char *action) { named<QAction>(dialog, action)->trigger(); }

// The pages a preview window prints, read back from a PDF file.
QStringList printedPages(QDialog *dialog)
{
    QTemporaryDir dir;
    QPrinter *printer = static_cast<QPrintPreviewDialog *>(dialog)->printer();
    printer->setOutputFileName(dir.filePath("report.pdf"));
    named<QPrintPreviewWidget>(dialog, "pvReport")->print();
    printer->setOutputFileName(QString());
    return PdfPages(dir.filePath("report.pdf"));
}

// Closes a window that an action left open, as Cancel would, and gives its result.
int resultOf(QDialog *dialog)
{
    if (dialog->isVisible() || dialog->result() != QDialog::Accepted)
        dialog->reject();
    return dialog->result();
}

void selectText(QComboBox *box, const QString &text)
{
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
}

QStringList itemsOf(QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// The fields a find or filter window offers.
QStringList fieldsOffered(QDialog *dialog)
{
    QStringList items;
    for (int i = 0; i < named<QComboBox>(dialog, "cmbField")->count(); ++i)
        items << named<QComboBox>(dialog, "cmbField")->itemText(i);
    return items;
}

} // namespace

class tst_ComformLibs : public QObject {
    Q_OBJECT
    QLibrary m_library;
    TFindByDBGridExB m_find = nullptr;
    TSortDBGridB m_sort = nullptr;
    TFilterByDBGridD m_filter = nullptr;
    TGridReport m_report = nullptr;
    TRunMySelect m_runMySelect = nullptr;

private slots:
    void initTestCase()
    {
        TestServer::BuildTemplate();
        m_library.setFileName(qEnvironmentVariable("ZANDRELL_DIST_DIR") + "/ComformLibs.so");
        QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
        m_find = reinterpret_cast<TFindByDBGridExB>(m_library.resolve("_FindByDBGridExB"));
        m_sort = reinterpret_cast<TSortDBGridB>(m_library.resolve("_SortDBGridB"));
        m_filter = reinterpret_cast<TFilterByDBGridD>(m_library.resolve("_FilterByDBGridD"));
        m_report = reinterpret_cast<TGridReport>(m_library.resolve("GridReport"));
        g_runSelectGrid = reinterpret_cast<TRunSelectGrid>(m_library.resolve("RunSelectGrid"));
        m_runMySelect = reinterpret_cast<TRunMySelect>(m_library.resolve("RunMySelect"));
        QVERIFY(m_find && m_sort && m_filter && m_report && g_runSelectGrid && m_runMySelect);
    }

    // The find dialog's options: onward from the current record or from the first, the whole
    // value or a part, the case when asked; nothing found says so and the record stays.
    void findMovesToTheRecord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("onward");
        QTest::addColumn<int>("startId");
        QTest::addColumn<int>("foundId"); // 0: nothing found, the record stays
        QTest::newRow("part, from the first record") << "северный" << false << false << false << 1005 << 1001;
        QTest::newRow("part, onward") << "северный" << false << false << true << 1001 << 1006;
        QTest::newRow("onward past the last match") << "Тайга" << false << false << true << 1007 << 0;
        QTest::newRow("whole value needs all of it") << "Балтпром" << true << false << false << 1001 << 0;
        QTest::newRow("case when asked") << "северный" << false << true << false << 1003 << 0;
    }
    void findMovesToTheRecord()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QFETCH(bool, matchCase);
        QFETCH(bool, onward);
        QFETCH(int, startId);
        QFETCH(int, foundId);
        TOrders orders;
        orders.GoTo(startId);
        RecordingDialogService dialogs;
        dialogs.onModal = [&](QDialog *d) {
            selectText(named<QComboBox>(d, "cmbField"), QStringLiteral("CUSTOMER"));
            named<QLineEdit>(d, "edText")->setText(text);
            named<QRadioButton>(d, whole ? "rbWhole" : "rbPartial")->setChecked(true);
            named<QCheckBox>(d, "chkCase")->setChecked(matchCase);
            named<QCheckBox>(d, "chkOnward")->setChecked(onward);
            trigger(d, "acFind");
            return resultOf(d);
        };
        int index = orders.grid->ColumnOf("ID");
        QCOMPARE(m_find(orders.grid.get(), "dbgOrders", &index), foundId ? 1 : 0);
        QCOMPARE(orders.CurrentId(), foundId ? foundId : startId);
        QCOMPARE(index, orders.grid->ColumnOf(foundId ? "CUSTOMER" : "ID"));
        QCOMPARE(dialogs.boxes.size(), foundId ? 0 : 1); // "No record found", the window stays open
    }

    // Grids, the filter (its conditions, its caption) and the find dialog show
    // and take dates and numbers in the session's formats, whatever the
    // process's own language.
    void formatsFollowTheSession_data()
    {
        QTest::addColumn<QString>("process");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("date");   // 2024-03-12 as shown
        QTest::addColumn<QString>("amount"); // 310000 as shown
        QTest::addColumn<QString>("typedAmount");
        QTest::newRow("Russian session, en_GB") << "en_GB" << false << "12.03.2024"
                                                << "310\u00a0000,00"
                                                << "310 000,00";
        QTest::newRow("English session, ru_RU") << "ru_RU" << true << "03/12/2024"
                                                << "310,000.00"
                                                << "310,000.00";
    }
    void formatsFollowTheSession()
    {
        QFETCH(QString, process);
        QFETCH(bool, english);
        QFETCH(QString, date);
        QFETCH(QString, amount);
        QFETCH(QString, typedAmount);
        QLocale::setDefault(QLocale(process));
        const auto back = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
        std::unique_ptr<FakeLanguages> languages;
        if (english)
            languages = std::make_unique<FakeLanguages>();
        TOrders orders;
        orders.GoTo(1010);
        const auto shown = [&orders](const char *field) {
            return orders.grid->Grid()->model()->index(orders.query.RecNo() - 1, orders.grid->ColumnOf(field)).data();
        };
        QCOMPARE(shown("ORDER_DATE").toString(), date);
        orders.GoTo(1003);
        QCOMPARE(shown("AMOUNT").toString(), QString(amount));

        // The filter takes the values as shown and lists them so; "100000" stays as typed.
        RecordingDialogService dialogs;
        QStringList listed, offered;
        dialogs.onModal = [&](QDialog *d) {
            offered = fieldsOffered(d);
            for (const auto &[field, op, value] :
                 {std::tuple{"AMOUNT", ">=", QString("100000")}, std::tuple{"ORDER_DATE", ">=", date}}) {
                selectText(named<QComboBox>(d, "cmbField"), field);
                selectText(named<QComboBox>(d, "cmbOperator"), op);
                named<QLineEdit>(d, "edValue")->setText(value);
                trigger(d, "acAdd");
            }
            listed = itemsOf(named<QListWidget>(d, "lbConditions"));
            trigger(d, "acOk");
            return resultOf(d);
        };
        int mode = 0;
        QCOMPARE(m_filter(&mode, orders.grid.get(), "dbgOrders"), 1);
        const QStringList expected{"AMOUNT >= 100000", "ORDER_DATE >= " + date};
        QCOMPARE(listed, expected);
        QCOMPARE(offered, (QStringList{"CUSTOMER", "ORDER_DATE", "AMOUNT", "STATUS", "RCHECK"}));
        QCOMPARE(FilterCaptionOf(&orders.query), expected.join('\n'));
        QCOMPARE(orders.Ids(), (QList<int>{1011}));
        QVERIFY(dialogs.boxes.isEmpty());

        // Find: a date and an amount typed as shown (a plain blank for the group separator).
        orders.query.SetFiltered(false);
        for (const auto &[field, text, id] :
             {std::tuple{"ORDER_DATE", date, 1010}, std::tuple{"AMOUNT", typedAmount, 1003}}) {
            dialogs.onModal = [&](QDialog *d) {
                offered = fieldsOffered(d);
                selectText(named<QComboBox>(d, "cmbField"), field);
                named<QLineEdit>(d, "edText")->setText(text);
                named<QRadioButton>(d, "rbWhole")->setChecked(true);
                trigger(d, "acFind");
                return resultOf(d);
            };
            int index = -1;
            QCOMPARE(m_find(orders.grid.get(), "dbgFormats", &index), 1);
            QCOMPARE(orders.CurrentId(), id);
            QCOMPARE(offered, (QStringList{"CUSTOMER", "ORDER_DATE", "AMOUNT"}));
        }
    }

    // The dialogs read the forms' sources table first: a text set there is the one shown.
    void dialogTextsComeFromTheSourcesTable()
    {
        constexpr int kSearchSource = 136; // rstrSearch
        TOrders orders;
        ApplicationDefSources()->SetSource(kSearchSource, "Поиск записи");
        RecordingDialogService dialogs;
        QString title;
        dialogs.onModal = [&](QDialog *d) {
            title = d->windowTitle();
            return resultOf(d);
        };
        int index = 0;
        m_find(orders.grid.get(), "dbgOrders", &index);
        FillDefSources(ApplicationDefSources());
        QCOMPARE(title, QString("Поиск записи"));
    }

    void sortSetsTheOrderAndKeepsTheRecord_data()
    {
        QTest::addColumn<QString>("design");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("added"); // a name ending in " desc" is checked: descending
        QTest::addColumn<QString>("macro");
        QTest::addColumn<QList<int>>("firstIds");
        QTest::addColumn<bool>("refused"); // the query cannot be read in the new order
        // The fields go into the macro as the select list names them: the orders join the customers.
        QTest::newRow("customer, then amount descending")
            << "O.ID" << QStringList{} << QStringList{"CUSTOMER", "AMOUNT desc"} << "CUSTOMER, O.AMOUNT DESC"
            << QList<int>{1002, 1010, 1005} << false;
        QTest::newRow("a position is listed as its field")
            << "4 DESC" << QStringList{"AMOUNT desc"} << QStringList{"CUSTOMER"} << "O.AMOUNT DESC, CUSTOMER"
            << QList<int>{1003, 1007, 1011} << false;
        QTest::newRow("nothing chosen") << "O.ID" << QStringList{} << QStringList{} << "O.ID"
                                        << QList<int>{1001, 1002, 1003} << false;
        QTest::newRow("refused: the previous order stays")
            << "O.ID" << QStringList{} << QStringList{"AMOUNT desc"} << "O.ID" << QList<int>{1001, 1002, 1003} << true;
    }
    void sortSetsTheOrderAndKeepsTheRecord()
    {
        QFETCH(QString, design);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, added);
        QFETCH(QString, macro);
        QFETCH(QList<int>, firstIds);
        QFETCH(bool, refused);
        TOrders orders;
        orders.query.Close();
        orders.query.MacroByName("FIELD").SetValue(design);
        orders.query.Open();
        orders.GoTo(1005);
        if (refused)
            orders.query.BeforeRefresh = [](TDataSet *) { throw EDAError(1013, "ORA-01013: user requested cancel"); };
        RecordingDialogService dialogs;
        QStringList shown, offered;
        dialogs.onModal = [&](QDialog *d) {
            auto *fields = named<QListWidget>(d, "lbFields");
            auto *order = named<QListWidget>(d, "lbOrder");
            offered = itemsOf(order) + itemsOf(fields);
            for (int i = 0; i < order->count(); ++i)
                shown << order->item(i)->text() + (order->item(i)->checkState() == Qt::Checked ? " desc" : "");
            for (const QString &entry : added) {
                const QString name = entry.section(' ', 0, 0);
                fields->setCurrentItem(fields->findItems(name, Qt::MatchExactly).value(0));
                trigger(d, "acAdd");
                if (entry.endsWith(" desc"))
                    order->currentItem()->setCheckState(Qt::Checked);
            }
            trigger(d, "acOk");
            return resultOf(d);
        };
        QCOMPARE(m_sort(orders.grid.get(), "dbgOrders"), added.isEmpty() || refused ? 0 : 1);
        QCOMPARE(dialogs.boxes.size(), refused ? 1 : 0);
        QCOMPARE(shown, listed);
        offered.sort();
        QCOMPARE(offered, (QStringList{"AMOUNT", "CUSTOMER"})); // the fields tagged for sorting, ordered or not
        orders.query.BeforeRefresh = nullptr;
        orders.query.Refresh(); // read again in the order the query holds now
        QCOMPARE(orders.query.MacroByName("FIELD").Value(), added.isEmpty() ? design : macro);
        QCOMPARE(orders.Ids().mid(0, 3), firstIds);
        QCOMPARE(orders.CurrentId(), 1005);
        QCOMPARE(orders.query.RecordCount(), 12);
    }

    // Every query of the demo services, sorted by each of its columns and then by the next one:
    // the order the dialog writes never names a field the joined tables share.
    void demoQueriesSortOnEveryColumnTwice_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QByteArray>("mode"); // every right
        const char *const services[][3] = {{"Orders.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}", "111"},
                                           {"Orders.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A02}", "111"},
                                           {"Stock.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A03}", "111"},
                                           {"Office.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A04}", "111"},
                                           {"Office.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A05}", "11"},
                                           {"Invoices.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A06}", "111"},
                                           {"InvoicePayments.so", "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A07}", "111"}};
        for (const auto &[module, guid, mode] : services)
            QTest::newRow(QByteArray(module) + ' ' + guid) << module << guid << QByteArray(mode);
    }
    void demoQueriesSortOnEveryColumnTwice()
    {
        QFETCH(QString, module);
        QFETCH(QString, guid);
        QFETCH(QByteArray, mode);
        QTemporaryDir programDir; // where the forms keep their orderings
        SetProgramFolderForTests(programDir.path());
        const auto back = qScopeGuard([] { SetProgramFolderForTests(QString()); });
        TestServer server;
        std::unique_ptr<TOraSession> session = server.Connect();
        QLibrary library(qEnvironmentVariable("ZANDRELL_DIST_DIR") + "/" + module);
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        std::unique_ptr<TServiceObject> service;
        std::unique_ptr<TServiceForm> window;
        if (auto init = reinterpret_cast<TInitServiceFormProc>(library.resolve(kInitServiceForm))) {
            window.reset(init(guid.toLatin1().constData(), mode.constData(), nullptr));
            qobject_cast<IZandrell *>(window.get())->SetSession(session.get());
            qobject_cast<IZandrell *>(window.get())->SetScheme("ZANDRELL5");
        } else {
            auto object = reinterpret_cast<TInitServiceProc>(library.resolve(kInitService));
            QVERIFY(object);
            service.reset(object(guid.toLatin1().constData(), mode.constData(), nullptr));
            service->SetContext(session.get(), "ZANDRELL5");
        }
        auto *form = qobject_cast<TBaseForm *>(window ? window.get() : service->GetForm());
        QVERIFY(form && !form->SetUpGrids().isEmpty());
        RecordingDialogService dialogs;
        int sorts = 0;
        for (QAbstractItemView *view : form->SetUpGrids()) {
            IDBGrid *grid = form->GridInterface(view);
            auto *query = qobject_cast<TOraDataSet *>(grid->DataSet());
            QVERIFY(query && query->Active());
            const int records = query->RecordCount();
            QStringList titles;
            for (int c = 0; c < grid->ColumnCount(); ++c)
                if (grid->ColumnVisible(c) && (grid->ColumnField(c)->Tag() & 0xFA) == 0xFA)
                    titles << grid->ColumnTitle(c);
            QVERIFY(titles.size() > 1);
            for (int c = 0; c < titles.size(); ++c)
                for (const QString &title : {titles.at(c), titles.at((c + 1) % titles.size())}) {
                    dialogs.onModal = [&](QDialog *d) {
                        if (title == titles.at(c)) // the first sort: this column alone
                            while (named<QListWidget>(d, "lbOrder")->count() > 0) {
                                named<QListWidget>(d, "lbOrder")->setCurrentRow(0);
                                trigger(d, "acRemove");
                            }
                        auto *fields = named<QListWidget>(d, "lbFields");
                        fields->setCurrentItem(fields->findItems(title, Qt::MatchExactly).value(0));
                        trigger(d, "acAdd");
                        trigger(d, "acOk");
                        return resultOf(d);
                    };
                    m_sort(grid, grid->Hint().toUtf8().constData());
                    ++sorts;
                    const QString macro = query->MacroByName("FIELD").Value();
                    QVERIFY2(dialogs.boxes.isEmpty(), qPrintable(macro + ": " + dialogs.texts().join('\n')));
                    QVERIFY2(query->Active() && query->RecordCount() == records, qPrintable(macro));
                }
        }
        QVERIFY(sorts >= 4);
    }

    void sortOfDataThatIsNoQueryIsRefused()
    {
        TDataSet memory;
        TResultSet rows;
        rows.columns = {{"NAME", TFieldType::ftString, 20, false}};
        rows.rows = {{"b"}, {"a"}};
        memory.LoadFrom(rows);
        memory.FieldByName("NAME")->SetTag(255);
        TTestGrid grid(&memory, "dbgMemory");
        RecordingDialogService dialogs;
        QCOMPARE(m_sort(&grid, "dbgMemory"), 0);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.modalClasses.isEmpty());
    }

    void filterPutsConditionsInForce_data()
    {
        QTest::addColumn<QStringList>("conditions"); // field|operator|value
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("status and amount") << QStringList{"STATUS|=|Новый", "AMOUNT|<|50000"} << QList<int>{1008, 1010};
        QTest::newRow("dates from March") << QStringList{"ORDER_DATE|>=|2024-03-12"} << QList<int>{1010, 1011, 1012};
        QTest::newRow("an apostrophe, and another condition")
            << QStringList{"AMOUNT|>=|100000", "CUSTOMER|<>|ООО \"Тайга-Лес\"'s"} << QList<int>{1001, 1003, 1007, 1011};
        QTest::newRow("not a number: nothing changes") << QStringList{"AMOUNT|>|много"} << QList<int>{};
    }
    void filterPutsConditionsInForce()
    {
        QFETCH(QStringList, conditions);
        QFETCH(QList<int>, ids);
        TOrders orders;
        const QList<int> all = orders.Ids();
        RecordingDialogService dialogs;
        dialogs.onModal = [&](QDialog *d) {
            for (const QString &condition : conditions) {
                const QStringList parts = condition.split('|');
                selectText(named<QComboBox>(d, "cmbField"), parts[0]);
                selectText(named<QComboBox>(d, "cmbOperator"), parts[1]);
                named<QLineEdit>(d, "edValue")->setText(parts[2]);
                trigger(d, "acAdd");
            }
            trigger(d, "acOk");
            return resultOf(d);
        };
        int mode = 0;
        const bool valid = !ids.isEmpty();
        QCOMPARE(m_filter(&mode, orders.grid.get(), "dbgOrders"), valid ? 1 : 0);
        QCOMPARE(mode, valid ? 1 : 0);
        QCOMPARE(orders.Ids(), valid ? ids : all);
        QCOMPARE(dialogs.boxes.size(), valid ? 0 : 2); // Add and OK each say why
        if (!valid)
            return;

        // Opened again, the window lists the conditions in force; cleared, the filter goes.
        QStringList listed;
        dialogs.onModal = [&](QDialog *d) {
            listed = itemsOf(named<QListWidget>(d, "lbConditions"));
            trigger(d, "acClear");
            trigger(d, "acOk");
            return resultOf(d);
        };
        QCOMPARE(m_filter(&mode, orders.grid.get(), "dbgOrders"), 1);
        QCOMPARE(listed.size(), conditions.size());
        QCOMPARE(mode, 0);
        QCOMPARE(orders.Ids(), all);
    }

    void filterOfADetailStaysWhileTheMasterMoves()
    {
        TOrders orders;
        TOraQuery customers;
        customers.SetSession(orders.session.get());
        customers.SetSQLText("SELECT ID, NAME FROM ZANDRELL5.DEMO_CUSTOMERS ORDER BY ID");
        customers.Open();
        TDataSource link(nullptr, &customers);
        TOraQuery detail;
        detail.SetSession(orders.session.get());
        detail.SetSQLText("SELECT ID, AMOUNT FROM ZANDRELL5.DEMO_ORDERS WHERE CUSTOMER_ID = :ID ORDER BY ID");
        detail.SetMasterSource(&link);
        detail.Open();
        detail.FieldByName("AMOUNT")->SetTag(255);
        TTestGrid grid(&detail, "dbgLines");
        RecordingDialogService dialogs;
        dialogs.onModal = [&](QDialog *d) {
            named<QComboBox>(d, "cmbOperator")->setCurrentText(">");
            named<QLineEdit>(d, "edValue")->setText("60000");
            trigger(d, "acOk"); // the condition in the editors is taken without Add
            return resultOf(d);
        };
        int mode = 2;
        QCOMPARE(m_filter(&mode, &grid, "dbgLines"), 1);
        QCOMPARE(mode, 1);
        QCOMPARE(detail.RecordCount(), 1); // 125400 of 125400 and 56780
        customers.Locate("ID", 5);
        QCOMPARE(detail.RecordCount(), 2); // 92300 and 64410
        customers.Locate("ID", 3);
        QCOMPARE(detail.RecordCount(), 0); // 7650
    }

    // A column the grid hides takes no room, nor does a field it does not show: the orders fit a portrait page.
    void reportListsTheVisibleColumns()
    {
        TOrders orders;
        orders.grid->HideColumn("CUSTOMER");
        RecordingDialogService dialogs;
        QPageLayout::Orientation orientation = QPageLayout::Landscape;
        QStringList pages;
        dialogs.onModal = [&](QDialog *d) {
            orientation = static_cast<QPrintPreviewDialog *>(d)->printer()->pageLayout().orientation();
            pages = printedPages(d);
            d->reject();
            return int(QDialog::Rejected);
        };
        QCOMPARE(m_report(orders.grid.get(), nullptr, "dbgOrders", "", "Orders"), 1);
        QCOMPARE(dialogs.modalClasses, QStringList{"TQRPreviewDlg"});
        QCOMPARE(pages.size(), 1);
        QCOMPARE(orientation, QPageLayout::Portrait);
        const QString text = pages.first();
        QVERIFY(text.contains("Orders") && text.contains(QString::fromUtf8("стр. 1")));
        // Long titles may wrap inside their column: compare without the line breaks.
        const QString flat = QString(text).remove('\n');
        for (const char *title : {"ORDER_DATE", "AMOUNT", "STATUS", "RCHECK"})
            QVERIFY2(flat.contains(QString::fromLatin1(title)), title);
        QVERIFY(!flat.contains("CUSTOMER") && !text.contains("Северный ветер"));
        QVERIFY(text.contains("1012"));
        QVERIFY(!text.contains("ROWID_QUERY")); // a field the grid does not show
    }

    void reportPutsTheMasterRowUnderTheTitleOfEveryPage()
    {
        TOrders orders;
        TDataSet lines;
        TResultSet rows;
        rows.columns = {{"LINE", TFieldType::ftInteger, 0, false}, {"GOODS", TFieldType::ftString, 40, false}};
        for (int i = 1; i <= 300; ++i)
            rows.rows.append({i, QStringLiteral("Goods %1").arg(i)});
        lines.LoadFrom(rows);
        TTestGrid detail(&lines, "dbgLines");
        orders.GoTo(1007);
        lines.SetRecNo(120);
        RecordingDialogService dialogs;
        QStringList pages;
        dialogs.onModal = [&](QDialog *d) {
            if (!d->inherits("QPrintPreviewDialog"))
                return resultOf(d);
            pages = printedPages(d);
            trigger(d, "acPrint"); // asks through the dialog service, which cancels it
            return resultOf(d);
        };
        QCOMPARE(m_report(&detail, orders.grid.get(), "dbgLines", "dbgOrders", "Lines"), 1);
        QCOMPARE(dialogs.modalClasses, (QStringList{"TQRPreviewDlg", "QPrintDialog"}));
        QVERIFY2(pages.size() > 3, qPrintable(QString::number(pages.size())));
        for (const QString &page : pages) {
            const qsizetype title = page.indexOf("Lines"), master = page.indexOf("CUSTOMER: ООО \"Тайга-Лес\"");
            QVERIFY2(title >= 0 && master > title, qPrintable(page.left(200)));
            QVERIFY(page.indexOf("GOODS") > master);
            QVERIFY(!page.contains("Северный ветер")); // the master's current row only
        }
        QVERIFY(pages.first().contains("Goods 1\n"));
        QVERIFY(pages.last().contains("Goods 300"));
        QCOMPARE(lines.RecNo(), 120);
        QCOMPARE(orders.CurrentId(), 1007);
    }

    void massSelection_data()
    {
        QTest::addColumn<QList<int>>("checkedBefore"); // rows from 0
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("top"); // RunMySelect's rows from 1; 0: through the grid
        QTest::addColumn<int>("bottom");
        QTest::addColumn<QList<int>>("checkedAfter");
        QList<int> all(12);
        std::iota(all.begin(), all.end(), 0);
        QTest::newRow("all") << QList<int>{3} << 0 << 0 << 0 << all;
        QTest::newRow("none") << QList<int>{0, 5, 11} << 3 << 0 << 0 << QList<int>{};
        QTest::newRow("invert") << QList<int>{0, 1} << 1 << 0 << 0 << all.mid(2);
        QTest::newRow("rows 2 to 4 of another form") << QList<int>{} << 0 << 2 << 4 << QList<int>{1, 2, 3};
        QTest::newRow("unknown mode changes nothing") << QList<int>{7} << 2 << 0 << 0 << QList<int>{7};
    }
    void massSelection()
    {
        QFETCH(QList<int>, checkedBefore);
        QFETCH(int, mode);
        QFETCH(int, top);
        QFETCH(int, bottom);
        QFETCH(QList<int>, checkedAfter);
        TOrders orders;
        TField *check = orders.query.FieldByName("RCHECK");
        for (int row : checkedBefore) {
            orders.query.SetRecNo(row + 1);
            orders.grid->SetCheckValue(true);
        }
        orders.GoTo(1005);
        RecordingDialogService dialogs;
        if (top > 0)
            QCOMPARE(m_runMySelect(&orders.query, mode, 0, top, 0, bottom, "RCHECK", 1), 1);
        else if (mode == 2)
            QCOMPARE(g_runSelectGrid(orders.grid.get(), mode, "RCHECK", 1), 0);
        else
            mode == 0   ? orders.grid->SelectAll()
            : mode == 3 ? orders.grid->SelectNone()
                        : orders.grid->InvertSelection();
        QList<int> checked;
        for (int row = 0; row < orders.query.RecordCount(); ++row)
            if (orders.query.ValueAt(row, check->Index()).toString() == "+")
                checked << row;
        QCOMPARE(checked, checkedAfter);
        // The marks set here are stored as a click stores them (those set before were not).
        const QSet<int> before(checkedBefore.begin(), checkedBefore.end());
        QCOMPARE(orders.StoredMarks(), (QSet<int>(checkedAfter.begin(), checkedAfter.end()) - before).size());
        QCOMPARE(orders.CurrentId(), 1005);
        QCOMPARE(orders.query.State(), TDataSetState::dsBrowse);
        QCOMPARE(dialogs.boxes.size(), mode == 2 ? 1 : 0);
    }

    // The window counts the files and shows the current one; a Cancel clicked while a file is read is
    // seen, attended or not; Release closes it.
    void progressCountsAndCancels_data()
    {
        QTest::addColumn<bool>("unattended");
        QTest::newRow("attended") << false;
        QTest::newRow("unattended: nothing waits") << true;
    }
    void progressCountsAndCancels()
    {
        QFETCH(bool, unattended);
        if (unattended)
            qputenv("KORCONSOLE_HEADLESS", "1");
        auto getProgress = reinterpret_cast<TGetIProgress>(m_library.resolve("GetIProgress"));
        QCOMPARE(getProgress(nullptr, "x", 1), 0);
        IProgress *progress = nullptr;
        QCOMPARE(getProgress(&progress, "Загрузка", 3), 1);
        QPointer<QDialog> window;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == "fmProgress" && w->isVisible())
                window = qobject_cast<QDialog *>(w);
        QVERIFY(window);
        progress->BeforeFile("Orders.so");
        QCOMPARE(named<QLabel>(window, "lbFile")->text(), QString("Orders.so"));
        QVERIFY(progress->AfterFile("Orders.so"));
        QMetaObject::invokeMethod(named<QPushButton>(window, "btnCancel"), "click", Qt::QueuedConnection);
        progress->BeforeFile("Stock.so");
        QVERIFY(!progress->AfterFile("Stock.so"));
        QCOMPARE(named<QProgressBar>(window, "pbFiles")->value(), 2);
        progress->Release();
        QVERIFY(window.isNull());
        qunsetenv("KORCONSOLE_HEADLESS");
    }
};

QTEST_MAIN(tst_ComformLibs)
#include "tst_ComformLibs.moc"
