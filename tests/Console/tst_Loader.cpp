// The registration window over the registration test modules (tests/Modules,
// tmRegistration.cpp): which services each kind of module yields, the one
// message that names every file not read with its reason (broken modules that
// crash, hang or hand back garbage included), the rows and their icons, the
// copies handed back, the selection and the OK rule, and the form library's
// progress window.
#include "Console/DLLLoaderIMPL.h"
#include "Console/ServiceListIMPL.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uModuleCache.h"
#include "Console/uModuleLibrary.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/ModalDriver.h"
#include "tests/common/RecordingDialogService.h"

#include <QLibrary>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kModuleDir = QStringLiteral(REGISTRATION_MODULE_DIR);
const QString kFaultModule = QStringLiteral(FAULT_MODULE);
// The broken modules: how each ends or misbehaves (a crash, a hang, text not UTF-8) and in which export.
const char *const kFaults[] = {"segv_load", "hang_list", "garbage_attribute", "freed_access", "abort_reports"};

// The line of the message that names the file; empty when none does.
QString LineOf(const QString &message, const QString &file)
{
    for (const QString &line : message.split(u'\n'))
        if (line.startsWith(file + u": "_s))
            return line;
    return QString();
}

// The files a message names, in its order.
QStringList FilesOf(const QString &message)
{
    QStringList files;
    for (const QString &line : message.split(u'\n').mid(1))
        files << line.section(u": "_s, 0, 0);
    return files;
}

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
    // A folder of broken modules beside a good one, read once.
    QTemporaryDir faults;
    QByteArray notUtf8; // its file whose name is not UTF-8 (QTemporaryDir cannot remove it)
    std::unique_ptr<TLoader> faultsRead;
    QStringList faultMessages;

    // Reads the broken modules' folder on first use.
    void readFaults()
    {
        if (faultsRead)
            return;
        QVERIFY(QFile::copy(kModuleDir + u"/tmrBoth.so"_s, faults.filePath(u"tmrBoth.so"_s)));
        for (const char *how : kFaults)
            QVERIFY(QFile::copy(kFaultModule, faults.filePath(u"f_%1.so"_s.arg(QLatin1String(how)))));
        // A name that is not UTF-8.
        QVERIFY(QFile::copy(kModuleDir + u"/tmrShort.so"_s, faults.filePath(u"short.so"_s)));
        notUtf8 = QFile::encodeName(faults.path()) + "/\xff\xfe.so";
        QVERIFY(::rename(QFile::encodeName(faults.filePath(u"short.so"_s)).constData(), notUtf8.constData()) == 0);
        dialogs->clear();
        faultsRead = std::make_unique<TLoader>();
        faultsRead->Folder = faults.path();
        faultsRead->LoadAll();
        faultMessages = dialogs->texts();
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(runtime.filePath(u"cache"_s)));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        SetModuleFolder(kModuleDir);
        SetModuleProbeProgram(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/KorModuleProbe"_s);
        SetModuleProbeTimeoutMs(3000);
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
        faultsRead.reset();
        if (!notUtf8.isEmpty())
            ::unlink(notUtf8.constData());
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
        QTest::newRow("null access list") << "{TMR-tmrNullAccess-2}" << -1 << 0;
        QTest::newRow("first ID 0") << "{TMR-tmrZeroFirst-1}" << 0 << 0;
        QTest::newRow("rights 1, 3") << "{TMR-tmrGap-2}" << -1 << 0;
        QTest::newRow("300 rights: refused, not cut") << "{TMR-tmrMany-1}" << -1 << 0;
        QTest::newRow("rights captions that fit") << "{TMR-tmrLongCaption-1}" << 2 << 0;
        QTest::newRow("a right's caption of 61 characters") << "{TMR-tmrLongCaption-2}" << -1 << 0;
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

    // The files not read are named in one message, each on its line with its
    // reason; the form library is never read. No module is loaded into the
    // console, and what was read stays whole.
    void failuresAndCopiesOfTheFolder()
    {
        QCOMPARE(readCaptions, QStringList{ConsoleText(ctServiceRegistration)});
        const QString message = readTexts.first();
        QCOMPARE(FilesOf(message),
                 (QStringList{u"tmrBroken.so"_s, u"tmrGap.so"_s, u"tmrLongCaption.so"_s, u"tmrLongId.so"_s,
                              u"tmrMany.so"_s, u"tmrNullAccess.so"_s, u"tmrThrow.so"_s}));
        QVERIFY(LineOf(message, u"tmrLongId.so"_s).contains(LongId()));
        QVERIFY(LineOf(message, u"tmrLongCaption.so"_s).contains(QString(61, u'R')));
        QVERIFY(LineOf(message, u"tmrMany.so"_s).contains(u"255"_s));
        QVERIFY(LineOf(message, u"tmrThrow.so"_s).contains(u"no attributes for the second service"_s));
        for (const char *file : {"tmrBoth.so", "tmrBroken.so", "tmrThrow.so"}) {
            const QByteArray path = QFile::encodeName(kModuleDir + u'/' + QLatin1String(file));
            QVERIFY2(!dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD), file);
        }
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

    // Modules that crash, hang or hand back garbage in each export: the first
    // reading names each with its reason in one message and offers the good
    // module's services; the next window says the same without reading them again.
    void brokenModulesAreNamedWithTheirReason_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("fault"); // TModuleFault; -1: a file name that is not UTF-8
        for (const char *how : kFaults) {
            const QByteArray kind = QByteArray(how).split('_').first();
            const TModuleFault fault = kind == "hang"      ? TModuleFault::Hung
                                       : kind == "garbage" ? TModuleFault::Garbage
                                                           : TModuleFault::Crashed;
            QTest::newRow(how) << u"f_%1.so"_s.arg(QLatin1String(how)) << int(fault);
        }
        QTest::newRow("a name not UTF-8") << u"\\xFF\\xFE.so"_s << -1;
    }
    void brokenModulesAreNamedWithTheirReason()
    {
        QFETCH(QString, file);
        QFETCH(int, fault);
        readFaults();
        QCOMPARE(faultMessages.size(), 1);
        const QString line = LineOf(faultMessages.first(), file);
        if (fault < 0) {
            QVERIFY2(line.contains(u"UTF-8"_s), qPrintable(faultMessages.first()));
        } else {
            TModuleRecord expected;
            expected.Fault = TModuleFault(fault);
            expected.FaultDetail = u"\x01"_s;
            const QString reason = expected.FaultText().section(u'\x01', 0, 0).section(u'(', 0, 0).trimmed();
            QVERIFY2(line.contains(reason), qPrintable(line + u" / "_s + reason));
        }
        // The good module is offered, and nothing of the broken ones.
        QCOMPARE(faultsRead->Services().Count(), 2);
        QVERIFY(Find(faultsRead->Services(), u"{TMR-tmrBoth-2}"_s));
        // The next window: the same one message, without a module reader.
        dialogs->clear();
        const int starts = ModuleCache().ReaderStarts();
        TLoader again;
        again.Folder = faults.path();
        again.LoadAll();
        QCOMPARE(dialogs->texts(), faultMessages);
        QCOMPARE(ModuleCache().ReaderStarts(), starts);
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
        QCOMPARE(dialogs->texts().join(u'\n').contains(u"tmrLongId.so"_s), leftOut == u"{TMR-tmrBoth-1"_s);
        QCOMPARE(dialogs->modalClasses.size(), leftOut == u"*"_s ? 0 : 1);
        if (leftOut == u"*"_s)
            QCOMPARE(dialogs->boxes.last().text, ConsoleText(ctNoNewServices));
        else
            QVERIFY(!Find(loader.Services(), leftOut + u'}') && Find(loader.Services(), u"{TMR-tmrBoth-2}"_s));
    }

    // The window driven by its widgets' and actions' names (as a script drives it unattended): the
    // selection actions, then OK: copies of the checked services come back; with none checked OK
    // warns and the window stays open. chosen: -1 cancelled, -2 all.
    void selectionAndOk_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<int>("chosen");
        QTest::newRow("none: OK warns and stays open") << u"action acDeSellAll;ok;cancel"_s << -1;
        QTest::newRow("none, inverted") << u"action acDeSellAll;action acInvSell;ok"_s << -2;
        QTest::newRow("one") << u"action acDeSellAll;check ListView1 #2;ok"_s << 1;
        QTest::newRow("all again") << u"action acDeSellAll;action acSellAll;ok"_s << -2;
    }
    void selectionAndOk()
    {
        QFETCH(QString, commands);
        QFETCH(int, chosen);
        QString second;
        QStringList firstRow;
        QList<int> currentRows; // after each selection action: the row the user was on
        dialogs->onModal = [&](QDialog *dialog) {
            auto *loader = static_cast<TLoader *>(dialog);
            second = loader->Services()[loader->ListView1->item(1, 0)->data(Qt::UserRole).toInt()]->Guid();
            firstRow = DumpWindow(dialog).filter(u"ROW ListView1 1 "_s);
            loader->ListView1->setCurrentCell(2, 0);
            for (const QString &command : commands.split(u';')) {
                ExecuteWindowCommand(dialog, command);
                if (command.startsWith(u"action"_s))
                    currentRows << loader->ListView1->currentRow();
            }
            return dialog->result();
        };
        TBaseServiceList list;
        QCOMPARE(ShowLoader(list, nullptr), chosen != -1);
        dialogs->onModal = nullptr;
        QCOMPARE(dialogs->texts().contains(ConsoleText(ctServiceNotSelected)), chosen == -1);
        QCOMPARE(list.Count(), chosen == -2 ? read->Services().Count() : qMax(chosen, 0));
        QVERIFY(chosen != 1 || list[0]->Guid() == second);
        QCOMPARE(firstRow, QStringList{u"ROW ListView1 1 1|Registration 1|tmrBoth.so"_s});
        QCOMPARE(currentRows, QList<int>(currentRows.size(), 2));
        for (const auto &service : list) { // copies of what was read
            const TBaseService *source = Find(read->Services(), service->Guid());
            QCOMPARE(service->AccessList().Count(), source->AccessList().Count());
            QCOMPARE(service->ReportList().Count(), source->ReportList().Count());
        }
    }

    // The installation's folder: the demo services are found, the form library
    // and the platform's libraries are passed by without a word.
    void demoInstallation()
    {
        TLoader loader;
        loader.Folder = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        loader.LoadAll();
        QCOMPARE(dialogs->texts(), QStringList());
        const TBaseService *invoices = Find(loader.Services(), u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A06}"_s);
        const TBaseService *payments = Find(loader.Services(), u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A07}"_s);
        QVERIFY(invoices && payments);
        QVERIFY(invoices->AccessList()[0]->IsLang() && !payments->AccessList()[0]->IsLang());
    }

    // A file name the catalogue cannot keep whole leaves its services out, named in the message.
    void fileNameOf50And51Characters()
    {
        for (const int length : {50, 51}) {
            dialogs->clear();
            QTemporaryDir folder;
            const QString name = QString(length - 3, u'n') + u".so"_s;
            QVERIFY(QFile::copy(kModuleDir + u"/tmrShort.so"_s, folder.filePath(name)));
            TLoader loader;
            loader.Folder = folder.path();
            loader.LoadAll();
            QCOMPARE(loader.Services().Count(), length > 50 ? 0 : 2);
            QCOMPARE(FilesOf(dialogs->texts().value(0)), length > 50 ? QStringList{name} : QStringList());
        }
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
        QStringList expected{u"open %1 %2"_s.arg(ConsoleText(ctServiceListLoading)).arg(files.size())};
        for (const QString &file : files.mid(0, cancelAt > 0 ? cancelAt : files.size()))
            expected << u"before "_s + file << u"after "_s + file;
        QCOMPARE(*log(), expected << u"release"_s);
        QCOMPARE(loader.ListView1->rowCount(), cancelAt > 0 ? 0 : read->ListView1->rowCount());
    }
};

QTEST_MAIN(TestLoader)
#include "tst_Loader.moc"
