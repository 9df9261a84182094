// The registration window over the registration test modules (tests/Modules,
// tmRegistration.cpp): which services each kind of module yields, the box of
// each failing module, the rows and their icons, the copies handed back, the
// caller's filter, the selection actions and the OK rule, and the form
// library's progress window with its cancel.
#include "Console/DLLLoaderIMPL.h"
#include "Console/ServiceListIMPL.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uModuleLibrary.h"
#include "Core/ProtocolInput.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/WindowDialogService.h"
#include "tests/common/RecordingDialogService.h"

#include <QAction>
#include <QLibrary>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

const QString kModuleDir = QStringLiteral(REGISTRATION_MODULE_DIR);

// The long identifier of tmrLongId: 60 characters.
QString LongId() { return u"{TMR-tmrLongId-2-"_s + QString(42, u'X') + u'}'; }

const TBaseService *Find(const TServiceListView &services, const QString &guid)
{
    for (const auto &service : services)
        if (service->Guid() == guid)
            return service.get();
    return nullptr;
}

bool IsModuleLoaded(const QString &file)
{
    const QByteArray path = QFile::encodeName(kModuleDir + QLatin1Char('/') + file);
    void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

QStringList Captions(const QList<RecordedBox> &boxes)
{
    QStringList captions;
    for (const RecordedBox &box : boxes)
        captions << box.caption;
    return captions;
}

// The colour in the middle of a row's icon.
QColor IconColour(const QTableWidget *list, int row)
{
    return list->item(row, 0)->icon().pixmap(16, 16).toImage().pixelColor(8, 8);
}

int RowOf(const QTableWidget *list, const TServiceListView &services, const QString &guid)
{
    for (int row = 0; row < list->rowCount(); ++row)
        if (services[list->item(row, 0)->data(Qt::UserRole).toInt()]->Guid() == guid)
            return row;
    return -1;
}

} // namespace

class TestLoader : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;
    std::unique_ptr<RecordingDialogService> dialogs;
    std::unique_ptr<TLoader> read; // the whole folder, read once
    QList<RecordedBox> readBoxes;

private slots:
    void initTestCase()
    {
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        SetModuleFolder(kModuleDir);
        dialogs = std::make_unique<RecordingDialogService>();
        read = std::make_unique<TLoader>();
        read->LoadAll();
        readBoxes = dialogs->boxes;
    }
    void init() { dialogs->clear(); }
    void cleanupTestCase()
    {
        read.reset();
        dialogs.reset();
        SetModuleFolder(QString());
    }

    // rights: the count read, -1 when the service is left out.
    void servicesOfEachKindOfModule_data()
    {
        QTest::addColumn<QString>("guid");
        QTest::addColumn<int>("rights");
        QTest::addColumn<int>("reports");
        QTest::newRow("both access lists: the second kind only") << "{TMR-tmrBoth-1}" << 2 << 2;
        QTest::newRow("no reports") << "{TMR-tmrBoth-2}" << 2 << 0;
        QTest::newRow("short access list") << "{TMR-tmrShort-1}" << 3 << 0;
        QTest::newRow("no GetServiceList") << "{TMR-tmrNoList-1}" << -1 << 0;
        QTest::newRow("null GetServiceList") << "{TMR-tmrNullList-1}" << -1 << 0;
        QTest::newRow("before a null access list") << "{TMR-tmrNullAccess-1}" << 2 << 0;
        QTest::newRow("null access list") << "{TMR-tmrNullAccess-2}" << -1 << 0;
        QTest::newRow("first ID 0") << "{TMR-tmrZeroFirst-1}" << 0 << 0;
        QTest::newRow("rights 1, 2") << "{TMR-tmrGap-1}" << 2 << 0;
        QTest::newRow("rights 1, 3") << "{TMR-tmrGap-2}" << -1 << 0;
        QTest::newRow("300 rights: at most 254 read") << "{TMR-tmrMany-1}" << 254 << 0;
        QTest::newRow("beside a long identifier") << "{TMR-tmrLongId-1}" << 2 << 0;
        QTest::newRow("identifier of 60 characters") << LongId() << -1 << 0;
        QTest::newRow("before a throwing attribute call") << "{TMR-tmrThrow-1}" << 2 << 0;
        QTest::newRow("throwing attribute call") << "{TMR-tmrThrow-2}" << -1 << 0;
    }
    void servicesOfEachKindOfModule()
    {
        QFETCH(QString, guid);
        QFETCH(int, rights);
        QFETCH(int, reports);
        const TBaseService *service = Find(read->Services(), guid);
        QCOMPARE(service != nullptr, rights >= 0);
        if (!service)
            return;
        QCOMPARE(service->AccessList().Count(), rights);
        for (int i = 0; i < rights; ++i)
            QCOMPARE(service->AccessList()[i]->ID(), i + 1);
        QCOMPARE(service->ReportList().Count(), reports);
        QCOMPARE(service->DllName(), guid.section(u'-', 1, 1) + u".so"_s);
        QCOMPARE(service->MenuGroup(), -1);
        QVERIFY(!service->CreateBtn());
    }

    // Each failing module is told once, captioned with its file name; the
    // form library and modules without services are never told of.
    void failingModulesAreReportedOneByOne()
    {
        QCOMPARE(Captions(readBoxes), QStringList({u"tmrBroken.so"_s, u"tmrGap.so"_s, u"tmrLongId.so"_s,
                                                   u"tmrNullAccess.so"_s, u"tmrThrow.so"_s}));
        for (const RecordedBox &box : std::as_const(readBoxes))
            QCOMPARE(box.flags, unsigned(MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST));
        QVERIFY(readBoxes[0].text.contains(u"tmrBroken.so"_s));
        QVERIFY2(readBoxes[2].text.contains(LongId()), qPrintable(readBoxes[2].text));
        QVERIFY(readBoxes[4].text.contains(u"no attributes for the second service"_s));
        QVERIFY(read->btnOk->isEnabled());
    }

    // Every module is unloaded after reading; what was read stays whole.
    void everythingIsCopiedBeforeUnloading()
    {
        for (const QString &file : {u"tmrBoth.so"_s, u"tmrShort.so"_s, u"tmrThrow.so"_s})
            QVERIFY2(!IsModuleLoaded(file), qPrintable(file));
        const TBaseService *both = Find(read->Services(), u"{TMR-tmrBoth-1}"_s);
        QVERIFY(both);
        QCOMPARE(both->ModuleCaption(), u"Registration 1"_s);
        QVERIFY(both->TranslateCaption());
        QCOMPARE(both->AccessList()[1]->Caption(), u"Изменение"_s);
        QCOMPARE(both->ReportList()[1]->RName(), u"Отчет 2"_s);
        QCOMPARE(both->ReportList()[1]->RDesc(), u"Второй отчет"_s);
        QVERIFY(!read->Services().Icon(read->Services().IndexOf(both)).isNull());
    }

    // One row per service, checked, with its file and its own icon (the default one without).
    void rowsShowTheirOwnServicesIcon()
    {
        const QTableWidget *list = read->ListView1;
        QCOMPARE(list->rowCount(), read->Services().Count());
        for (int row = 0; row < list->rowCount(); ++row) {
            QCOMPARE(list->item(row, 0)->checkState(), Qt::Checked);
            QVERIFY(!list->item(row, 0)->icon().isNull());
        }
        const int first = RowOf(list, read->Services(), u"{TMR-tmrBoth-1}"_s);
        const int second = RowOf(list, read->Services(), u"{TMR-tmrBoth-2}"_s);
        const int without = RowOf(list, read->Services(), u"{TMR-tmrShort-1}"_s);
        QCOMPARE(IconColour(list, first), QColor(Qt::darkGreen));
        QCOMPARE(IconColour(list, second), QColor(Qt::darkRed));
        // The row after a service without an icon still shows its own.
        QCOMPARE(IconColour(list, without + 2), QColor(Qt::darkGreen));
        QCOMPARE(list->item(first, 1)->text(), u"tmrBoth.so"_s);
    }

    void callersFilter_data()
    {
        QTest::addColumn<QString>("leftOut"); // a prefix of identifiers; "*": all
        QTest::addColumn<bool>("longIdBox");
        QTest::newRow("every service") << "*" << false;
        QTest::newRow("the long identifier") << "{TMR-tmrLongId-2" << false;
        QTest::newRow("another service") << "{TMR-tmrBoth-1" << true;
    }
    void callersFilter()
    {
        QFETCH(QString, leftOut);
        QFETCH(bool, longIdBox);
        TLoader loader;
        QStringList asked;
        loader.OnFilter = [&](const QString &guid) {
            asked << guid;
            return leftOut == u"*"_s || guid.startsWith(leftOut);
        };
        const bool confirmed = loader.Execute();
        QVERIFY(!confirmed);
        QVERIFY(asked.contains(u"{TMR-tmrBoth-2}"_s));
        QCOMPARE(Captions(dialogs->boxes).contains(u"tmrLongId.so"_s), longIdBox);
        if (leftOut == u"*"_s) {
            // Nothing new: one notice, no window.
            QVERIFY(dialogs->modalClasses.isEmpty());
            QCOMPARE(dialogs->boxes.last().text, ConsoleText(ctNoNewServices));
            QVERIFY(!loader.btnOk->isEnabled());
        } else {
            QCOMPARE(dialogs->modalClasses, QStringList{u"TLoader"_s});
            QVERIFY(!Find(loader.Services(), leftOut + u'}'));
        }
    }

    // The selection actions, then OK: copies of the checked services come back;
    // with none checked the window stays open with a warning.
    void selectionAndOk_data()
    {
        QTest::addColumn<QStringList>("steps"); // actions, or "#n": toggle row n
        QTest::addColumn<int>("checked");       // -1: all
        QTest::newRow("all as offered") << QStringList{} << -1;
        QTest::newRow("none") << QStringList{u"acDeSellAll"_s} << 0;
        QTest::newRow("none, inverted") << QStringList{u"acDeSellAll"_s, u"acInvSell"_s} << -1;
        QTest::newRow("one") << QStringList{u"acDeSellAll"_s, u"#2"_s} << 1;
        QTest::newRow("all but one") << QStringList{u"#2"_s} << -2;
        QTest::newRow("all again") << QStringList{u"acDeSellAll"_s, u"acSellAll"_s} << -1;
    }
    void selectionAndOk()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, checked);
        bool stayedOpen = false;
        QString secondGuid;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *loader = static_cast<TLoader *>(dialog);
            secondGuid = loader->Services()[loader->ListView1->item(1, 0)->data(Qt::UserRole).toInt()]->Guid();
            for (const QString &step : std::as_const(steps)) {
                if (step.startsWith(u'#')) {
                    QTableWidgetItem *item = loader->ListView1->item(step.mid(1).toInt() - 1, 0);
                    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
                } else {
                    dialog->findChild<QAction *>(step)->trigger();
                }
            }
            dialog->setResult(-1);
            dialog->accept();
            stayedOpen = dialog->result() == -1;
            if (stayedOpen)
                dialog->reject();
            return dialog->result();
        };
        TBaseServiceList list;
        const bool confirmed = ShowLoader(list, nullptr);
        dialogs->onModal = nullptr;
        const int all = Find(read->Services(), u"{TMR-tmrBoth-1}"_s) ? read->Services().Count() : -1;
        const int expected = checked == -1 ? all : checked == -2 ? all - 1 : checked;
        QCOMPARE(stayedOpen, expected == 0);
        QCOMPARE(confirmed, expected > 0);
        QCOMPARE(list.Count(), expected);
        if (expected == 0)
            QCOMPARE(dialogs->boxes.last().text, ConsoleText(ctServiceNotSelected));
        if (expected == 1)
            QCOMPARE(list[0]->Guid(), secondGuid);
        // The copies carry the rights and reports of what was read.
        for (const auto &service : list) {
            const TBaseService *source = Find(read->Services(), service->Guid());
            QVERIFY(source);
            QCOMPARE(service->AccessList().Count(), source->AccessList().Count());
            QCOMPARE(service->ReportList().Count(), source->ReportList().Count());
            QCOMPARE(service->ModuleCaption(), source->ModuleCaption());
        }
    }

    // A script drives the window by the names of its widgets and actions.
    void drivenUnattended_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected"); // a line the protocol must hold
        QTest::addColumn<int>("chosen");       // -1: not confirmed
        QTest::newRow("one ticked") << QByteArray("action acDeSellAll\ncheck ListView1 #2\nok\n") << "CLOSED TLoader 1"
                                    << 1;
        QTest::newRow("none ticked stays open")
            << QByteArray("action acDeSellAll\nok\ncancel\n") << ConsoleText(ctServiceNotSelected) << -1;
        QTest::newRow("rows with ticks and cells")
            << QByteArray("dump\nok\n") << "ROW ListView1 1 1|Registration 1|tmrBoth.so" << -2;
        QTest::newRow("end of input cancels") << QByteArray("action acInvSell\n") << "CLOSED TLoader 2" << -1;
    }
    void drivenUnattended()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        QFETCH(int, chosen);
        QStringList out;
        qputenv("KORCONSOLE_HEADLESS", "1");
        SetDialogService(nullptr);
        UseWindowedDialogs();
        SetProtocolSink([&out](const QString &line) { out << line; });
        TProtocolInput::Instance().Reset();
        TProtocolInput::Instance().Feed(script);
        TProtocolInput::Instance().EndInput();
        TBaseServiceList list;
        const bool confirmed = ShowLoader(list, nullptr);
        SetProtocolSink({});
        SetDialogService(dialogs.get());
        qunsetenv("KORCONSOLE_HEADLESS");
        const QString protocol = out.join(u'\n');
        QVERIFY2(protocol.contains(expected), qPrintable(protocol));
        QVERIFY2(!protocol.contains(u"NOTFOUND"_s), qPrintable(protocol));
        if (chosen == -2)
            chosen = read->Services().Count();
        QCOMPARE(confirmed, chosen > 0);
        QCOMPARE(list.Count(), qMax(chosen, 0));
    }

    // The installation's folder: the demo services to register are found, the
    // form library and the platform's libraries are passed by without a word.
    void demoInstallation_data()
    {
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QString>("dllName");
        QTest::addColumn<int>("rights");
        QTest::addColumn<bool>("isLang");
        QTest::addColumn<int>("reports");
        QTest::newRow("invoices") << "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A06}"
                                  << "Invoices.so" << 2 << true << 2;
        QTest::newRow("payments") << "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A07}"
                                  << "InvoicePayments.so" << 2 << false << 0;
        QTest::newRow("stock") << "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A03}"
                               << "Stock.so" << 2 << false << 1;
    }
    void demoInstallation()
    {
        QFETCH(QString, guid);
        QFETCH(QString, dllName);
        QFETCH(int, rights);
        QFETCH(bool, isLang);
        QFETCH(int, reports);
        TLoader loader;
        loader.Folder = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        loader.LoadAll();
        QCOMPARE(Captions(dialogs->boxes), QStringList());
        const TBaseService *service = Find(loader.Services(), guid);
        QVERIFY(service);
        QCOMPARE(service->DllName(), dllName);
        QCOMPARE(service->AccessList().Count(), rights);
        QCOMPARE(service->AccessList()[0]->IsLang(), isLang);
        QCOMPARE(service->ReportList().Count(), reports);
    }

    // A file name the catalogue cannot keep whole leaves its services out, with the module's box.
    void fileNameLength_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("50 characters") << 50;
        QTest::newRow("51 characters") << 51;
    }
    void fileNameLength()
    {
        QFETCH(int, length);
        QTemporaryDir folder;
        const QString name = QString(length - 3, u'n') + u".so"_s;
        QVERIFY(QFile::copy(kModuleDir + u"/tmrShort.so"_s, folder.filePath(name)));
        TLoader loader;
        loader.Folder = folder.path();
        loader.LoadAll();
        QCOMPARE(loader.Services().Count(), length > 50 ? 0 : 2);
        QCOMPARE(Captions(dialogs->boxes), length > 50 ? QStringList{name} : QStringList());
    }

    // Maximised, the window keeps below the main window.
    void maximisedBelowTheMainWindow()
    {
        QWidget main;
        main.setObjectName(u"fmMain"_s);
        main.setGeometry(0, 0, 400, 80);
        main.show();
        TLoader loader;
        loader.show();
        loader.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(!(loader.windowState() & Qt::WindowMaximized));
        QVERIFY(loader.geometry().top() > main.frameGeometry().bottom());
        QCOMPARE(loader.geometry().bottom(), loader.screen()->availableGeometry().bottom());
    }

    // The progress window of the form library: told of every file, the form
    // library's name too (which is never loaded); a cancel ends the reading.
    void progressWindow_data()
    {
        QTest::addColumn<int>("cancelAt");
        QTest::newRow("read to the end") << 0;
        QTest::newRow("cancelled after the second file") << 2;
    }
    void progressWindow()
    {
        QFETCH(int, cancelAt);
        QLibrary formLib(QStringLiteral(FORMLIB_PROGRESS_DOUBLE));
        QVERIFY2(formLib.load(), qPrintable(formLib.errorString()));
        const auto log = reinterpret_cast<const QStringList *(*)()>(formLib.resolve("ProgressLog"));
        QVERIFY(log);
        qputenv("FORMLIB_CANCEL_AT", QByteArray::number(cancelAt));
        TLoader loader;
        loader.GetIProgress = reinterpret_cast<TGetIProgress>(formLib.resolve("GetIProgress"));
        QVERIFY(loader.GetIProgress);
        const QStringList files = QDir(kModuleDir).entryList({u"*.so"_s}, QDir::Files, QDir::Name);
        QVERIFY(files.size() > 5);
        bool terminated = false;
        try {
            loader.LoadAll();
        } catch (const ETerminated &) {
            terminated = true;
        }
        qunsetenv("FORMLIB_CANCEL_AT");
        QCOMPARE(terminated, cancelAt > 0);
        const QStringList calls = *log();
        QCOMPARE(calls.first(), u"open %1 %2"_s.arg(ConsoleText(ctServiceListLoading)).arg(files.size()));
        QCOMPARE(calls.last(), u"release"_s);
        const int told = cancelAt > 0 ? cancelAt : int(files.size());
        QCOMPARE(calls.size(), 2 + 2 * told);
        for (int i = 0; i < told; ++i) {
            QCOMPARE(calls[1 + 2 * i], u"before "_s + files[i]);
            QCOMPARE(calls[2 + 2 * i], u"after "_s + files[i]);
        }
        QCOMPARE(loader.ListView1->rowCount(), cancelAt > 0 ? 0 : read->ListView1->rowCount());
        formLib.unload();
    }

    // Five files or fewer are read without a window.
    void fewFilesNoProgressWindow()
    {
        QTemporaryDir folder;
        for (const QString &file : {u"tmrBoth.so"_s, u"tmrShort.so"_s})
            QVERIFY(QFile::copy(kModuleDir + u'/' + file, folder.filePath(file)));
        QLibrary formLib(QStringLiteral(FORMLIB_PROGRESS_DOUBLE));
        QVERIFY(formLib.load());
        int created = 0;
        static int *s_created = nullptr;
        s_created = &created;
        TLoader loader;
        loader.Folder = folder.path();
        loader.GetIProgress = [](IProgress **, const char *, int) {
            ++*s_created;
            return 0;
        };
        loader.LoadAll();
        QCOMPARE(created, 0);
        QCOMPARE(loader.Services().Count(), 4);
        formLib.unload();
    }
};

QTEST_MAIN(TestLoader)
#include "tst_Loader.moc"
