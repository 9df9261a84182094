// The registration window over the registration test modules (tests/Modules,
// tmRegistration.cpp): which services each kind of module yields, the box of
// each failing module, the rows and their icons, the copies handed back, the
// selection and the OK rule, and the form library's progress window.
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
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

const QString kModuleDir = QStringLiteral(REGISTRATION_MODULE_DIR);

// The identifier of tmrLongId's second service: 60 characters.
QString LongId() { return u"{TMR-tmrLongId-2-"_s + QString(42, u'X') + u'}'; }

const TBaseService *Find(const TServiceListView &services, const QString &guid)
{
    for (const auto &service : services)
        if (service->Guid() == guid)
            return service.get();
    return nullptr;
}

// The colour in the middle of the icon of the row showing the service.
QColor IconColour(const TLoader &loader, const QString &guid)
{
    for (int row = 0; row < loader.ListView1->rowCount(); ++row) {
        const QTableWidgetItem *item = loader.ListView1->item(row, 0);
        if (loader.Services()[item->data(Qt::UserRole).toInt()]->Guid() == guid)
            return item->icon().pixmap(16, 16).toImage().pixelColor(8, 8);
    }
    return {};
}

} // namespace

class TestLoader : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;
    std::unique_ptr<RecordingDialogService> dialogs;
    std::unique_ptr<TLoader> read; // the whole folder, read once
    QStringList readCaptions, readTexts;

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        SetModuleFolder(kModuleDir);
        dialogs = std::make_unique<RecordingDialogService>();
        read = std::make_unique<TLoader>();
        read->LoadAll();
        readCaptions = dialogs->captions();
        readTexts = dialogs->texts();
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
    }

    // Each failing module is told once, by its file name; the form library is
    // never read. Every module is unloaded, and what was read stays whole.
    void failuresAndCopiesOfTheFolder()
    {
        QCOMPARE(readCaptions, QStringList({u"tmrBroken.so"_s, u"tmrGap.so"_s, u"tmrLongId.so"_s, u"tmrNullAccess.so"_s,
                                            u"tmrThrow.so"_s}));
        QVERIFY2(readTexts[2].contains(LongId()), qPrintable(readTexts[2]));
        QVERIFY(readTexts[4].contains(u"no attributes for the second service"_s));
        const QByteArray path = QFile::encodeName(kModuleDir + u"/tmrBoth.so"_s);
        QVERIFY(!dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD));
        const TBaseService *both = Find(read->Services(), u"{TMR-tmrBoth-1}"_s);
        QCOMPARE(both->ModuleCaption(), u"Registration 1"_s);
        QCOMPARE(both->AccessList()[1]->Caption(), u"Изменение"_s);
        QCOMPARE(both->ReportList()[1]->RDesc(), u"Второй отчет"_s);
        // One checked row per service, each with its own icon, the default one without.
        QCOMPARE(read->ListView1->rowCount(), read->Services().Count());
        for (int row = 0; row < read->ListView1->rowCount(); ++row)
            QVERIFY(read->ListView1->item(row, 0)->checkState() == Qt::Checked &&
                    !read->ListView1->item(row, 0)->icon().isNull());
        QCOMPARE(IconColour(*read, u"{TMR-tmrBoth-1}"_s), QColor(Qt::darkGreen));
        QCOMPARE(IconColour(*read, u"{TMR-tmrBoth-2}"_s), QColor(Qt::darkRed));
        QVERIFY(IconColour(*read, u"{TMR-tmrShort-1}"_s) != QColor(Qt::darkRed));
        QCOMPARE(IconColour(*read, u"{TMR-tmrThrow-1}"_s), QColor(Qt::darkGreen)); // after tmrShort's
    }

    void callersFilter_data()
    {
        QTest::addColumn<QString>("leftOut"); // a prefix of identifiers; "*": all
        QTest::newRow("every service: a notice, no window") << "*";
        QTest::newRow("the long identifier: no box for it") << "{TMR-tmrLongId-2";
        QTest::newRow("another service") << "{TMR-tmrBoth-1";
    }
    void callersFilter()
    {
        QFETCH(QString, leftOut);
        TLoader loader;
        loader.OnFilter = [&](const QString &guid) { return leftOut == u"*"_s || guid.startsWith(leftOut); };
        QVERIFY(!loader.Execute());
        QCOMPARE(dialogs->captions().contains(u"tmrLongId.so"_s), leftOut == u"{TMR-tmrBoth-1"_s);
        QCOMPARE(dialogs->modalClasses.size(), leftOut == u"*"_s ? 0 : 1);
        if (leftOut == u"*"_s)
            QCOMPARE(dialogs->boxes.last().text, ConsoleText(ctNoNewServices));
        else
            QVERIFY(!Find(loader.Services(), leftOut + u'}') && Find(loader.Services(), u"{TMR-tmrBoth-2}"_s));
    }

    // The selection actions, then OK: copies of the checked services come back;
    // with none checked the window stays open with a warning.
    void selectionAndOk_data()
    {
        QTest::addColumn<QStringList>("steps"); // actions, or "#n": toggle row n
        QTest::addColumn<int>("checked");       // -1: all
        QTest::newRow("none") << QStringList{u"acDeSellAll"_s} << 0;
        QTest::newRow("none, inverted") << QStringList{u"acDeSellAll"_s, u"acInvSell"_s} << -1;
        QTest::newRow("one") << QStringList{u"acDeSellAll"_s, u"#2"_s} << 1;
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
                if (step.startsWith(u'#'))
                    loader->ListView1->item(step.mid(1).toInt() - 1, 0)->setCheckState(Qt::Checked);
                else
                    dialog->findChild<QAction *>(step)->trigger();
            }
            dialog->setResult(-1);
            dialog->accept();
            stayedOpen = dialog->result() == -1;
            return stayedOpen ? QDialog::Rejected : dialog->result();
        };
        TBaseServiceList list;
        const bool confirmed = ShowLoader(list, nullptr);
        dialogs->onModal = nullptr;
        const int expected = checked == -1 ? read->Services().Count() : checked;
        QCOMPARE(stayedOpen, expected == 0);
        QCOMPARE(confirmed, expected > 0);
        QCOMPARE(list.Count(), expected);
        if (expected == 0)
            QCOMPARE(dialogs->boxes.last().text, ConsoleText(ctServiceNotSelected));
        if (expected == 1)
            QCOMPARE(list[0]->Guid(), secondGuid);
        for (const auto &service : list) { // copies of what was read
            const TBaseService *source = Find(read->Services(), service->Guid());
            QCOMPARE(service->AccessList().Count(), source->AccessList().Count());
            QCOMPARE(service->ReportList().Count(), source->ReportList().Count());
        }
    }

    // A script drives the window by the names of its widgets and actions.
    void drivenUnattended_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected"); // a line the protocol must hold
        QTest::addColumn<int>("chosen");       // -1: not confirmed, -2: all
        QTest::newRow("one ticked") << QByteArray("action acDeSellAll\ncheck ListView1 #2\nok\n")
                                    << u"CLOSED TLoader 1"_s << 1;
        QTest::newRow("rows with ticks and cells")
            << QByteArray("dump\nok\n") << u"ROW ListView1 1 1|Registration 1|tmrBoth.so"_s << -2;
        QTest::newRow("end of input cancels") << QByteArray("action acInvSell\n") << u"CLOSED TLoader 2"_s << -1;
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
        QVERIFY2(out.contains(expected) && !out.join(u'\n').contains(u"NOTFOUND"_s), qPrintable(out.join(u'\n')));
        chosen = chosen == -2 ? read->Services().Count() : chosen;
        QCOMPARE(confirmed, chosen > 0);
        QCOMPARE(list.Count(), qMax(chosen, 0));
    }

    // The installation's folder: the demo services are found, the form library
    // and the platform's libraries are passed by without a word.
    void demoInstallation()
    {
        TLoader loader;
        loader.Folder = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        loader.LoadAll();
        QCOMPARE(dialogs->captions(), QStringList());
        const TBaseService *invoices = Find(loader.Services(), u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A06}"_s);
        const TBaseService *payments = Find(loader.Services(), u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A07}"_s);
        QVERIFY(invoices && payments);
        QCOMPARE(invoices->AccessList().Count(), 2);
        QVERIFY(invoices->AccessList()[0]->IsLang()); // GetAccessList2
        QCOMPARE(invoices->ReportList().Count(), 2);
        QCOMPARE(payments->AccessList().Count(), 2);
        QVERIFY(!payments->AccessList()[0]->IsLang()); // GetAccessList only
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
        QCOMPARE(dialogs->captions(), length > 50 ? QStringList{name} : QStringList());
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
    // library's name too (which is never loaded); a cancel ends the reading;
    // five files or fewer are read without a window.
    void progressWindow_data()
    {
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<bool>("twoFiles");
        QTest::newRow("read to the end") << 0 << false;
        QTest::newRow("cancelled after the second file") << 2 << false;
        QTest::newRow("two files: no window") << 0 << true;
    }
    void progressWindow()
    {
        QFETCH(int, cancelAt);
        QFETCH(bool, twoFiles);
        QLibrary formLib(QStringLiteral(FORMLIB_PROGRESS_DOUBLE));
        QVERIFY2(formLib.load(), qPrintable(formLib.errorString()));
        const auto log = reinterpret_cast<const QStringList *(*)()>(formLib.resolve("ProgressLog"));
        qputenv("FORMLIB_CANCEL_AT", QByteArray::number(cancelAt));
        QTemporaryDir few;
        TLoader loader;
        loader.GetIProgress = reinterpret_cast<TGetIProgress>(formLib.resolve("GetIProgress"));
        for (const QString &file : {u"tmrBoth.so"_s, u"tmrShort.so"_s})
            QVERIFY(!twoFiles || QFile::copy(kModuleDir + u'/' + file, few.filePath(file)));
        loader.Folder = twoFiles ? few.path() : QString();
        const QStringList before = *log();
        bool terminated = false;
        try {
            loader.LoadAll();
        } catch (const ETerminated &) {
            terminated = true;
        }
        qunsetenv("FORMLIB_CANCEL_AT");
        QCOMPARE(terminated, cancelAt > 0);
        if (twoFiles) {
            QCOMPARE(*log(), before);
            QCOMPARE(loader.Services().Count(), 4);
            return;
        }
        const QStringList files = QDir(kModuleDir).entryList({u"*.so"_s}, QDir::Files, QDir::Name);
        const QStringList calls = *log();
        QCOMPARE(calls.first(), u"open %1 %2"_s.arg(ConsoleText(ctServiceListLoading)).arg(files.size()));
        QCOMPARE(calls.last(), u"release"_s);
        const int told = cancelAt > 0 ? cancelAt : int(files.size());
        QCOMPARE(calls.size(), 2 + 2 * told);
        for (int i = 0; i < told; ++i)
            QCOMPARE(calls.mid(1 + 2 * i, 2), QStringList({u"before "_s + files[i], u"after "_s + files[i]}));
        QCOMPARE(loader.ListView1->rowCount(), cancelAt > 0 ? 0 : read->ListView1->rowCount());
    }
};

QTEST_MAIN(TestLoader)
#include "tst_Loader.moc"
