// The demo service modules of the installation (Orders.so, Stock.so) opened
// by the console's service entries over a fresh copy of the demo database:
// their windows show the demo tables, follow the rights string, and answer
// find, sort, report and filter (unloading is tested with the test modules).
#include "CallbackIMPL.h"
#include "RecordingDialogService.h"
#include "TestServer.h"
#include "uServiceItem.h"

#include <QtTest>

namespace {

const char kOrders[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}";
const char kCustomers[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A02}";
const char kStock[] = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A03}";

QString DistDir() { return qEnvironmentVariable("ZANDRELL_DIST_DIR"); }

template <typename T>
T Ask(QObject *window, const char *method)
{
    T value{};
    if (!QMetaObject::invokeMethod(window, method, QReturnArgument<T>(QMetaType::fromType<T>().name(), value)))
        qWarning("%s could not be invoked", method);
    return value;
}

void Invoke(QObject *window, const char *method, const QString &argument = QString())
{
    const bool done = argument.isNull() ? QMetaObject::invokeMethod(window, method)
                                        : QMetaObject::invokeMethod(window, method, Q_ARG(QString, argument));
    if (!done)
        qWarning("%s could not be invoked", method);
}

QStringList Column(QObject *window, int column)
{
    QStringList cells;
    const int rows = Ask<int>(window, "VisibleRowCount");
    for (int row = 0; row < rows; ++row) {
        QString cell;
        QMetaObject::invokeMethod(window, "CellText", Q_RETURN_ARG(QString, cell), Q_ARG(int, row), Q_ARG(int, column));
        cells << cell;
    }
    return cells;
}

} // namespace

class TestDemoModules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestServer::BuildTemplate();
        SetModuleFolder(DistDir());
        QVERIFY2(QFile::exists(DistDir() + QStringLiteral("/Orders.so")), qPrintable(DistDir()));
    }
    // A fresh copy of the demo database for every test.
    void init()
    {
        FServer = std::make_unique<TestServer>();
        FSession = FServer->Connect();
        FManager = std::make_unique<TServiceManager>();
        FCallback = std::make_unique<TCallback>();
        FManager->SetCallback(FCallback.get());
        FManager->SetSession(FSession.get());
        FManager->SetScheme(QStringLiteral("ZANDRELL5"));
    }
    void cleanup()
    {
        FManager.reset();
        FCallback.reset();
        FSession.reset();
        FServer.reset();
    }

    void rightsHideColumnsAndReport()
    {
        RecordingDialogService dialogs;
        TServiceItem customers(QStringLiteral("Orders.so"), QString::fromLatin1(kCustomers));
        FManager->Add(&customers);
        customers.SetMode(QStringLiteral("100"));
        customers.SrvAction();
        TServiceForm *form = customers.Form();
        QCOMPARE(Ask<int>(form, "VisibleRowCount"), 8);
        // Without right 1 no phone numbers, without right 2 no report.
        QCOMPARE(Ask<QStringList>(form, "VisibleColumns"), (QStringList{"Код", "Клиент", "Город"}));
        QVERIFY(!Ask<bool>(form, "ReportAllowed"));
        FManager->SetActiveItem(&customers);
        FManager->Report();
        QVERIFY(dialogs.modalClasses.isEmpty());
        QVERIFY(Ask<QString>(form, "StatusText").contains(QStringLiteral("Нет права на печать отчетов")));

        // The same service with every right.
        TServiceItem full(QStringLiteral("Orders.so"), QString::fromLatin1(kCustomers));
        full.SetSession(FSession.get());
        full.SetSchemeName(QStringLiteral("ZANDRELL5"));
        full.SetMode(QStringLiteral("111"));
        full.SrvAction();
        QCOMPARE(Ask<QStringList>(full.Form(), "VisibleColumns"), (QStringList{"Код", "Клиент", "Город", "Телефон"}));
        QVERIFY(Ask<bool>(full.Form(), "ReportAllowed"));
    }

    void findSortFilterReportOfFormStyle()
    {
        RecordingDialogService dialogs;
        TServiceItem orders(QStringLiteral("Orders.so"), QString::fromLatin1(kOrders));
        FManager->Add(&orders);
        orders.SetMode(QStringLiteral("111"));
        orders.SrvAction();
        TServiceForm *form = orders.Form();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Заказы"));
        QVERIFY2(Ask<int>(form, "VisibleRowCount") == 12, qPrintable(Ask<QString>(form, "StatusText")));
        QVERIFY(Ask<QString>(form, "StatusText").contains(QStringLiteral("12")));
        QCOMPARE(Ask<QStringList>(form, "VisibleColumns"), (QStringList{"Номер", "Дата", "Клиент", "Сумма", "Состояние"}));
        QCOMPARE(Column(form, 2).first(), QStringLiteral("ООО \"Северный ветер\""));
        FManager->SetActiveItem(&orders);

        // Find: the find line, then the next row holding the text.
        FManager->Find();
        Invoke(form, "TypeFindText", QStringLiteral("Калинина"));
        Invoke(form, "FindNext");
        QCOMPARE(Ask<int>(form, "CurrentRow"), 3);
        QCOMPARE(Column(form, 0).at(3), QStringLiteral("1004"));
        Invoke(form, "TypeFindText", QStringLiteral("Балтпром"));
        Invoke(form, "FindNext");
        QCOMPARE(Ask<int>(form, "CurrentRow"), 4);
        Invoke(form, "FindNext");
        QCOMPARE(Ask<int>(form, "CurrentRow"), 11);

        // Sort: by the current column (the customer, where the text was found), ascending, then descending.
        FManager->Sort();
        QCOMPARE(Column(form, 2).first(), QStringLiteral("АО \"Волжская мельница\""));
        QCOMPARE(Column(form, 0).first(), QStringLiteral("1002"));
        FManager->Sort();
        QCOMPARE(Column(form, 0).first(), QStringLiteral("1009"));
        QVERIFY(Ask<QString>(form, "StatusText").contains(QStringLiteral("↓")));

        // Filter: only the rows holding the text, in the sorted order.
        FManager->Filter();
        Invoke(form, "TypeFilterText", QStringLiteral("новый"));
        QCOMPARE(Ask<int>(form, "VisibleRowCount"), 4);
        QCOMPARE(Column(form, 0), (QStringList{"1009", "1008", "1012", "1010"}));

        // Report: the listing of the rows in view, in a modal window.
        FManager->Report();
        QCOMPARE(dialogs.modalClasses, QStringList{"QDialog"});
        const QString html = Ask<QString>(form, "ReportHtml");
        QVERIFY(html.contains(QStringLiteral("Список заказов")));
        QVERIFY(html.contains(QStringLiteral("1009")));
        QVERIFY(!html.contains(QStringLiteral("1001")));
        QVERIFY(html.contains(QStringLiteral("Сумма")));
    }

    void objectStyleServiceAnswersPostedCommands()
    {
        RecordingDialogService dialogs;
        TServiceItem stock(QStringLiteral("Stock.so"), QString::fromLatin1(kStock));
        FManager->Add(&stock);
        stock.SetMode(QStringLiteral("101"));
        stock.SrvAction();
        QVERIFY(!stock.HasFormEntry());
        TServiceForm *window = stock.Window();
        QVERIFY(window);
        QCOMPARE(Ask<int>(window, "VisibleRowCount"), 10);
        // Right 1 missing: no prices.
        QCOMPARE(Ask<QStringList>(window, "VisibleColumns"), (QStringList{"Код", "Товар", "Остаток"}));
        FManager->SetActiveItem(&stock);

        FManager->Sort();
        FManager->Sort();
        FManager->Filter();
        FManager->Report();
        QCoreApplication::processEvents();
        // Sorted by the code, descending; the report is allowed (right 2).
        QCOMPARE(Column(window, 0).first(), QStringLiteral("10"));
        QCOMPARE(dialogs.modalClasses, QStringList{"QDialog"});
        Invoke(window, "TypeFilterText", QStringLiteral("мешок"));
        QCOMPARE(Ask<int>(window, "VisibleRowCount"), 2);
    }

private:
    std::unique_ptr<TestServer> FServer;
    std::unique_ptr<TOraSession> FSession;
    std::unique_ptr<TServiceManager> FManager;
    std::unique_ptr<TCallback> FCallback;
};

QTEST_MAIN(TestDemoModules)
#include "tst_DemoModules.moc"
