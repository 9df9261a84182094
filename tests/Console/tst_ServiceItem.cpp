// Service entries and their records at run time, driven through the test
// modules of tests/Modules: loading and unloading, the window's show/hide rule,
// hooks, tool-bar commands, the callback, crash markers, rights lists loaded
// from the database, and the installation's demo modules over the demo data.
#include "Console/CallbackIMPL.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uMenu.h"
#include "Console/uModuleCache.h"
#include "Console/uModuleFaults.h"
#include "Console/uServiceItem.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraStoredProc.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uComFunctions.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/RecordingDialogService.h"
#include "tests/common/TempExeDir.h"
#include "tests/common/TestFiles.h"
#include "tests/common/TestServer.h"

#include <QMenu>
#include <QtTest>

#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace {

const QString kModuleDir = QStringLiteral(TEST_MODULE_DIR);
const QString kService1 = u"{TM-SERVICE-1}"_s;
const QString kService2 = u"{TM-SERVICE-2}"_s;
TOraSession *const kSession = reinterpret_cast<TOraSession *>(quintptr(0x5e55));

// True while the module file is mapped into the process.
bool IsModuleLoaded(const QString &file)
{
    const QByteArray path = QFile::encodeName(kModuleDir + QLatin1Char('/') + file);
    void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

QStringList Calls(QObject *window) { return window->property("calls").toStringList(); }

void Activate(QWidget *window)
{
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
}

int SendCommand(QObject *window, int how, const QString &other, int command)
{
    int result = -1;
    if (!QMetaObject::invokeMethod(window, "SendCommand", Q_RETURN_ARG(int, result), Q_ARG(int, how),
                                   Q_ARG(QString, other), Q_ARG(int, command)))
        qWarning("SendCommand could not be invoked");
    return result;
}

// The message of what the call throws; "<none>" when it throws nothing.
QString ThrownText(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Exception &e) {
        return e.className() + u": "_s + e.message();
    }
    return u"<none>"_s;
}

// Counts the show and hide events a window gets.
class TVisibilityCounter : public QObject {
public:
    explicit TVisibilityCounter(QWidget *window) { window->installEventFilter(this); }
    QStringList events;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            events << (event->type() == QEvent::Show ? u"show"_s : u"hide"_s);
        return false;
    }
};

// A manager with a callback and a title hook, as the main window sets them up.
struct TConsoleSetup {
    TServiceManager manager;
    TCallback callback;
    QStringList titles;
    std::list<TServiceItem> items;

    TConsoleSetup()
    {
        manager.TitleHook = [this](const QString &title) { titles << title; };
        manager.SetCallback(&callback);
        manager.SetSession(kSession);
        manager.SetScheme(u"DEMO"_s);
    }
    // A registered entry, opened with the given rights.
    TServiceItem &Open(const QString &file, const QString &guid, const QString &mode = QString())
    {
        TServiceItem &item = items.emplace_back(file, guid);
        manager.Add(&item);
        if (!mode.isNull())
            item.SetMode(mode);
        item.SrvAction();
        return item;
    }
};

std::unique_ptr<TAccessItem> MakeItem(int id, const char *caption = "Right")
{
    return std::make_unique<TAccessItem>(TAccessRec2{id, "{SRV}", caption, false}, nullptr);
}

void FillRights(TAccessList &list, int count)
{
    for (int i = 1; i <= count; ++i)
        QCOMPARE(list.Add(MakeItem(i)), i - 1);
}

// The rights procedure with the rows a server would return.
class TFakeRightsProc : public TOraStoredProc {
public:
    TFakeRightsProc() { SetSQLText(u"begin :RESULT := MENUPACK.GET_MENU_ITEM_RIGHT(:PID_CFG); end;"_s); }
    TResultSet rows;
    bool fail = false;
    QList<int> requested;

protected:
    TResultSet InternalOpen() override
    {
        requested << ParamByName(u"PID_CFG"_s).AsInteger();
        if (fail)
            throw EDAError(6550, u"ORA-06550: line 1, column 7: wrong number of columns"_s);
        return rows;
    }
};

// Rows "+view", "-edit", "+print"; the newer shape adds SOURCE_NAME (none for print) and ISLANG.
TResultSet RightsRows(bool newerShape)
{
    TResultSet result;
    result.columns = {{u"RCHECK"_s, TFieldType::ftString, 1, false}, {u"NAME"_s, TFieldType::ftString, 60, true}};
    result.rows = {{"+", "view"}, {"-", "edit"}, {"+", "print"}};
    if (newerShape) {
        result.columns +=
            {{u"SOURCE_NAME"_s, TFieldType::ftString, 150, false}, {u"ISLANG"_s, TFieldType::ftFloat, 0, false}};
        result.rows[0] << u"View orders"_s << 1.0;
        result.rows[1] << u"Edit orders"_s << 0.0;
        result.rows[2] << QVariant() << 1.0;
    }
    return result;
}
} // namespace

class TestServiceItem : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;

private slots:
    void initTestCase()
    {
        // The process's own crash markers go to a folder of this test alone.
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(runtime.filePath(u"cache"_s)));
        SetModuleFolder(kModuleDir);
        SetModuleProbeProgram(qEnvironmentVariable("ZANDRELL_DIST_DIR") + u"/KorModuleProbe"_s);
        QVERIFY(ModuleFaults().Folder().startsWith(runtime.path()));
        QVERIFY2(QFile::exists(kModuleDir + u"/tmForm.so"_s), qPrintable(kModuleDir));
        TestServer::BuildTemplate();
    }
    void cleanup()
    {
        SetRightsProcedures(nullptr, nullptr);
        qunsetenv("TM_FAIL_INIT");
        qunsetenv("TM_FAIL_AT");
        // No test leaves a module behind.
        for (const char *file : {"tmForm.so", "tmObject.so", "tmBoth.so", "tmFailInit.so", "tmNoInterface.so"})
            QVERIFY2(!IsModuleLoaded(QString::fromLatin1(file)), file);
    }

    // Caption and description as the module exports them (the older export has no icon), read and unloaded again
    // until the service is opened; or the start of the error ("class: message") of a module that cannot be read.
    void attributes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QString>("texts");
        const auto row = [](const char *name, const QString &file, const QString &texts,
                            const QString &guid = kService1) { QTest::newRow(name) << file << guid << texts; };
        row("first service", "tmForm.so", "Test service 1|The first test service");
        row("older export", "tmAttrOnly.so", "Test object 1|A test service object");
        row("no attribute export", "tmNoAttr.so", "EServiceError: \"GetServiceAttribute(2)\" function does not exist");
        // The system's text in double quotes; it names the file.
        row("not a shared object", "tmBroken.so", "EOSError: \"" + kModuleDir + "/tmBroken.so");
        row("relative path", "../modules/tmForm.so", "EModuleName: ");
        row("backslash", "sub\\tmForm.dll", "EModuleName: ");
    }
    void attributes()
    {
        QFETCH(QString, file);
        QFETCH(QString, guid);
        QFETCH(QString, texts);
        QString read;
        const QString thrown = ThrownText([&] {
            TServiceItem item(file, guid);
            read = item.Caption() + u'|' + item.Description();
            QCOMPARE(item.Icon().isNull(), file.startsWith(u"tmAttrOnly"_s));
            QVERIFY(!item.Loaded() && !item.Handle() && !item.HasFormEntry());
        });
        QVERIFY2(thrown == u"<none>"_s ? read == texts : thrown.startsWith(texts),
                 qPrintable(thrown + u" / "_s + read));
        QVERIFY(!IsModuleLoaded(u"tmNoAttr.so"_s) && !IsModuleLoaded(u"tmForm.so"_s));
    }

    // What the module reader read is known by the file's identity, in this run and the next:
    // a known file is not read again, a new build of it is; a damaged cache is made anew.
    void moduleCacheKnowsFilesByIdentity()
    {
        QTemporaryDir dir;
        const QString module = dir.filePath(u"tmForm.so"_s), cacheFile = dir.filePath(u"cache/modules.cache"_s);
        QVERIFY(QFile::copy(kModuleDir + u"/tmForm.so"_s, module));
        auto caption = [&](TModuleCache &cache, const QString &guid) {
            const TModuleRecordPtr record = cache.Read({TProbeRequest{module, {guid}, false}}).value(0);
            return record ? QString::fromUtf8(record->File.Attributes.value(guid).Caption) : QString();
        };
        {
            TModuleCache cache(cacheFile);
            QCOMPARE(caption(cache, kService1), u"Test service 1"_s);
            QCOMPARE(caption(cache, kService1), u"Test service 1"_s);
            QCOMPARE(cache.ReaderStarts(), 1);
        }
        TModuleCache next(cacheFile);
        QCOMPARE(caption(next, kService1), u"Test service 1"_s);
        QCOMPARE(next.ReaderStarts(), 0);
        // Another service of a known file: only that one is read.
        QCOMPARE(caption(next, kService2), u"Test service 2"_s);
        QCOMPARE(next.ReaderStarts(), 1);
        QFile file(module);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(caption(next, kService1), u"Test service 1"_s);
        QCOMPARE(next.ReaderStarts(), 2);
        // A damaged cache file costs one reading, nothing else.
        QByteArray bytes = ReadBytes(cacheFile);
        QVERIFY(bytes.size() > 100);
        bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 0x5a);
        QVERIFY(WriteBytes(cacheFile, bytes));
        TModuleCache damaged(cacheFile);
        QCOMPARE(caption(damaged, kService1), u"Test service 1"_s);
        QCOMPARE(damaged.ReaderStarts(), 1);
    }

    void moduleFileLookup()
    {
        QCOMPARE(ModuleFilePath(u"tmForm.DLL"_s), kModuleDir + u"/tmForm.so"_s);
        // Looked up as stored first.
        QCOMPARE(ModuleFilePath(u"tmBroken.so"_s), kModuleDir + u"/tmBroken.so"_s);
        QCOMPARE(ModuleFilePath(u"NoSuch.dll"_s), kModuleDir + u"/NoSuch.dll"_s);
    }

    // A click opens the window once, with the entry's mode, session and scheme; the next ones find the same window,
    // hide or show it. Activated and closed: the module's own handler runs first, then the console's.
    void openedWindow_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QStringList>("calls"); // what the module's window was given
        const QStringList formCalls{"SetSession", "SetScheme DEMO"};
        QTest::newRow("form style") << "tmForm.so" << kService1 << formCalls;
        QTest::newRow("both init exports: form style") << "tmBoth.so" << kService2 << formCalls;
        QTest::newRow("object style") << "tmObject.so" << kService1 << QStringList{"SetContext DEMO"};
    }
    void openedWindow()
    {
        QFETCH(QString, file);
        QFETCH(QString, guid);
        QFETCH(QStringList, calls);
        const bool formStyle = file != u"tmObject.so"_s;
        TConsoleSetup console;
        TServiceItem &item = console.Open(file, guid, u"101"_s);
        QVERIFY(formStyle ? item.HasFormEntry() && item.ZandrellRef() && !item.Service()
                          : !item.HasFormEntry() && item.Service() && !item.Form());
        QVERIFY(IsModuleLoaded(file));
        QPointer<TServiceForm> window = item.Window();
        QCOMPARE(window, formStyle ? item.Form() : item.Service()->GetForm());
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->property("guid").toString() + u' ' + window->property("mode").toString(), guid + u" 101"_s);
        QCOMPARE(window->property("session").value<quintptr>(), quintptr(kSession));
        const TServiceObject *service = item.Service();
        TVisibilityCounter counter(window);
        auto click = [&] {
            counter.events.clear();
            item.SrvAction();
            return counter.events;
        };
        // Visible, never activated (2): hidden, not shown again. Never shown since (0): shown.
        QCOMPARE(click(), QStringList{"hide"});
        QCOMPARE(click(), QStringList{"show"});
        QCOMPARE(item.Window(), window.data());
        QCOMPARE(item.Service(), service);
        QCOMPARE(Calls(window), calls);
        QVERIFY(!console.manager.ActiveItem());
        Activate(window);
        QCOMPARE(Calls(window).last(), u"module activate"_s);
        QCOMPARE(console.titles, QStringList{item.Caption()});
        QCOMPARE(console.manager.ActiveItem(), &item);
        // Visible and activated (34): hidden and shown again, which brings it to the front.
        QCOMPARE(click(), (QStringList{"hide", "show"}));
        // Hidden after it was active (32): shown.
        window->hide();
        QCOMPARE(click(), QStringList{"show"});
        QVERIFY(window->close());
        QCOMPARE(console.titles, (QStringList{item.Caption(), QString()}));
        QCOMPARE(Calls(window).last(), u"module close"_s);
        QVERIFY(!window->isVisible());
        // Without its window a service has no status; the module stays loaded until the entry goes.
        item.FreeObjects();
        QVERIFY_THROWS_EXCEPTION(EServiceError, item.GetStatus());
        QVERIFY(item.Loaded() && IsModuleLoaded(file));
    }

    // A failed open leaves the entry unloaded and no window, with the module's own error: thrown, or told in a box
    // (after " | "); the next click tries again.
    void openingFails_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("failInit");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const char *file, bool failInit, const QString &error) {
            QTest::newRow(name) << file << failInit << error;
        };
        row("no InitService", "tmAttrOnly.so", false, "EServiceError: \"InitService\" function does not exist");
        row("object without window", "tmNoWindow.so", false,
            "EServiceError: TServiceItem.SrvAction: {TM-SERVICE-1}: Form is not defined");
        row("InitServiceForm fails", "tmFailInit.so", true, "Exception: Test module: the service cannot start");
        row("InitService fails", "tmFailObject.so", true, "Exception: Test module: the service cannot start");
        row("window without IZandrell", "tmNoInterface.so", false, "<none> | \"IZandrell\" interface is not support");
    }
    void openingFails()
    {
        QFETCH(QString, file);
        QFETCH(bool, failInit);
        QFETCH(QString, error);
        RecordingDialogService dialogs;
        TServiceItem item(file, kService1);
        if (failInit)
            qputenv("TM_FAIL_INIT", "1");
        for (int attempt = 0; attempt < 2; ++attempt) {
            // The message is still readable after the module is gone.
            dialogs.clear();
            const QString thrown = ThrownText([&] { item.SrvAction(); });
            QCOMPARE((QStringList{thrown} + dialogs.texts()).join(u" | "_s), error);
            QVERIFY(!item.Loaded() && !item.Form() && !item.Service());
            QVERIFY(!IsModuleLoaded(file));
            QVERIFY(QApplication::topLevelWidgets().isEmpty());
        }
        if (!failInit)
            return;
        qunsetenv("TM_FAIL_INIT");
        item.SrvAction();
        QVERIFY(item.Loaded() && item.Window() && item.Window()->isVisible());
    }

    void handlerMayReplaceItselfWhileRunning()
    {
        TServiceForm form;
        int calls = 0;
        const QString captured = u"state captured by the first handler"_s;
        form.OnActivate = [&form, &calls, captured](TServiceForm *) {
            form.OnActivate = nullptr;
            // The running handler's own state is still alive.
            QCOMPARE(captured, u"state captured by the first handler"_s);
            ++calls;
        };
        Activate(&form);
        Activate(&form);
        QCOMPARE(calls, 1);
    }

    // A forgotten window outlives its entry: so does the module's code, until the window goes.
    void callbackCommands()
    {
        QPointer<TServiceForm> kept;
        {
            TConsoleSetup console;
            TServiceItem &item = console.Open(u"tmForm.so"_s, kService1);
            TServiceForm *form = item.Form();
            // 0: CloseService on the window's interface.
            console.manager.SetActiveItem(&item);
            QCOMPARE(SendCommand(form, 0, QString(), scCloseService), int(scrDone));
            QVERIFY(Calls(form).contains(u"CloseService"_s));
            QVERIFY(!form->isVisible() && !console.manager.ActiveItem());
            // The alternative identifier, when the first is null; letter case does not matter.
            item.SrvAction();
            console.manager.SetActiveItem(&item);
            QCOMPARE(SendCommand(form, 1, QString(), 7), int(scrOther));
            QVERIFY(!console.manager.ActiveItem());
            console.manager.SetActiveItem(&item);
            QCOMPARE(SendCommand(form, 2, u"{tm-service-1}"_s, 200), int(scrOther));
            QVERIFY(!console.manager.ActiveItem());
            // 1: forget the window; the module keeps it, with its own handler and without the console's.
            kept = form;
            QCOMPARE(SendCommand(form, 0, QString(), scForgetObjects), int(scrDone));
            QVERIFY(!item.Form() && !item.ZandrellRef() && kept);
            console.titles.clear();
            Activate(kept);
            QVERIFY(console.titles.isEmpty());
            QCOMPARE(Calls(kept).last(), u"module activate"_s);
        }
        QVERIFY(kept && IsModuleLoaded(u"tmForm.so"_s));
        delete kept.data();
        QVERIFY(IsModuleLoaded(u"tmForm.so"_s)); // until the module's code has returned
        QCoreApplication::processEvents();
        QVERIFY(!IsModuleLoaded(u"tmForm.so"_s));
    }

    // Commands naming other services; "free the others" keeps only the sender's window.
    void freeOthersKeepsOwnWindow()
    {
        TConsoleSetup console;
        TServiceItem first(u"tmForm.so"_s, kService1);
        TServiceItem second(u"tmForm.so"_s, kService2);
        TServiceItem object(u"tmObject.so"_s, kService1);
        object.SetGuid(u"{TM-OBJECT}"_s);
        for (TServiceItem *item : {&first, &second, &object}) {
            console.manager.Add(item);
            item->SrvAction();
        }
        QPointer<TServiceForm> secondForm = second.Form();
        QPointer<TServiceForm> objectWindow = object.Window();
        // Another service's window, one with no window yet, a service that does not exist: the active one stays.
        console.manager.SetActiveItem(&first);
        second.FreeObjects();
        QCOMPARE(SendCommand(first.Form(), 2, kService2, scCloseService), int(scrNoObject));
        QCOMPARE(SendCommand(first.Form(), 2, u"{NO-SUCH-SERVICE}"_s, scCloseService), int(scrUnknownService));
        QCOMPARE(console.callback.ExecServiceCmd(nullptr, nullptr, scCloseService), int32_t(scrUnknownService));
        QCOMPARE(console.manager.ActiveItem(), &first);
        second.SrvAction();
        secondForm = second.Form();
        QCOMPARE(SendCommand(first.Form(), 0, QString(), scFreeOthers), int(scrOther));
        QVERIFY(first.Form() && first.Form()->isVisible());
        QVERIFY(!second.Form() && !secondForm && !object.Service() && !objectWindow);
        QVERIFY(!console.manager.ActiveItem());
    }

    void managerRegistration()
    {
        // A callback without its manager's handler refuses; a manager that goes takes its handler with it.
        TCallback callback;
        QVERIFY_THROWS_EXCEPTION(Exception, callback.ExecServiceCmd("{A}", nullptr, 0));
        {
            TServiceManager gone;
            gone.SetCallback(&callback);
            QCOMPARE(callback.ExecServiceCmd("{A}", nullptr, 0), int32_t(scrUnknownService));
        }
        QVERIFY(!callback.Handler());
        TServiceManager manager;
        manager.SetSession(kSession);
        manager.SetScheme(u"SCHEME1"_s);
        manager.SetCallback(&callback);
        TServiceItem first(u"tmForm.so"_s, kService1);
        TServiceItem twin(u"tmBoth.so"_s, u"{tm-service-1}"_s);
        manager.Add(&first);
        // The identifier's letter case does not matter.
        QVERIFY_THROWS_EXCEPTION(EServiceError, manager.Add(&twin));
        QCOMPARE(manager.Count(), 1);
        {
            // A service registered later gets the session, scheme and callback too.
            TServiceItem second(u"tmForm.so"_s, kService2);
            manager.Add(&second);
            QVERIFY(second.Session() == kSession && second.SchemeName() == u"SCHEME1"_s &&
                    second.Callback() == &callback);
            manager.SetActiveItem(&second);
        }
        // An entry that is destroyed leaves the manager.
        QCOMPARE(manager.Count(), 1);
        QVERIFY(!manager.ActiveItem());
    }

    // Each row plays what other consoles did with two module files a and b; a
    // console "ends" when its markers go without a Leave (as at exit() in module code).
    void markersOfOtherConsoles_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<bool>("aFaulty");
        QTest::addColumn<bool>("bFaulty");
        QTest::newRow("ended inside a call") << "ended" << true << false;
        QTest::newRow("every call returned") << "returned" << false << false;
        QTest::newRow("ended in a nested call") << "nested" << false << true;
        QTest::newRow("ended after a nested call returned") << "nestedReturned" << true << false;
        QTest::newRow("file changed since") << "changed" << false << false;
        QTest::newRow("console still in the call") << "running" << false << false;
        QTest::newRow("cleared by a reload") << "cleared" << false << false;
        QTest::newRow("no folder") << "nofolder" << false << false;
    }

    void markersOfOtherConsoles()
    {
        QFETCH(QString, scenario);
        QFETCH(bool, aFaulty);
        QFETCH(bool, bFaulty);
        QTemporaryDir dir;
        const QString folder = scenario == u"nofolder"_s ? QString() : dir.filePath(u"markers"_s);
        const QString a = dir.filePath(u"a.so"_s), b = dir.filePath(u"b.so"_s);
        QVERIFY(WriteBytes(a, "module a") && WriteBytes(b, "module b"));

        auto other = std::make_unique<TModuleFaults>(folder);
        other->Enter(a);
        if (scenario == u"returned"_s)
            other->Leave();
        if (scenario.startsWith(u"nested"_s))
            other->Enter(b);
        if (scenario == u"nestedReturned"_s)
            other->Leave();
        if (scenario == u"changed"_s)
            QVERIFY(WriteBytes(a, "module a, a newer build"));
        if (scenario != u"running"_s)
            other.reset();

        TModuleFaults faults(folder);
        if (scenario == u"cleared"_s)
            faults.Clear();
        QCOMPARE(faults.IsFaulty(a), aFaulty);
        QCOMPARE(faults.IsFaulty(b), bFaulty);
        // What one console decided, the next one finds the same.
        QCOMPARE(TModuleFaults(folder).IsFaulty(a), aFaulty);
        // A console that ends outside module code leaves no marker behind.
        if (!aFaulty && !bFaulty && !folder.isEmpty() && scenario != u"running"_s)
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A module file that ended a console is not loaded again until an administrator's reload.
    void markedModuleIsNotLoaded()
    {
        TempExeDir exeDir;
        const QString module = u"tmForm.so"_s;
        ModuleFaults().Clear();
        {
            TModuleFaults endedConsole(ModuleFaults().Folder());
            endedConsole.Enter(ModuleFilePath(module));
        }
        QVERIFY_THROWS_EXCEPTION(EModuleFault, (void)TServiceItem(module, kService1));
        QVERIFY(!IsModuleLoaded(module));
        ModuleFaults().Clear();
        QCOMPARE(TServiceItem(module, kService1).Caption(), u"Test service 1"_s);
    }

    // The click of the service's menu item, as the user makes it, when the module's window refuses the session.
    void windowWhoseSessionFails()
    {
        RecordingDialogService dialogs;
        TServiceManager manager;
        TKorMenu group(1, u"Group"_s);
        group.AddService(std::make_unique<TServiceItem>(u"tmFailInit.so"_s, kService1));
        TServiceItem *item = group.Services.front().get();
        manager.Add(item);
        manager.SetSession(kSession);
        QMenu menu;
        group.BuildItems(&menu, nullptr);
        QAction *click = menu.actions().value(0);
        QVERIFY(click);
        qputenv("TM_FAIL_AT", "SetSession");
        click->trigger();
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.first().text, u"Test module: SetSession failed"_s);
        QVERIFY(!item->Form() && !item->Loaded() && !IsModuleLoaded(u"tmFailInit.so"_s));
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<TServiceForm *>(window));
    }

    // GetMode: "1", then one character per right; SetMode ignores the leading character.
    // Until the rights are loaded the stored string is kept as it is.
    void setMode_data()
    {
        QTest::addColumn<int>("rights");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, int rights, const QString &mode, const QString &expected) {
            QTest::newRow(name) << rights << mode << expected;
        };
        row("not loaded", 0, "1011", "1011");
        row("leading one only", 2, "1", "100");
        row("empty", 2, "", "100");
        row("one right of two", 2, "11", "110");
        row("longer than the list", 2, "10111", "101");
        row("only 1 counts", 2, "1x1", "101");
    }
    void setMode()
    {
        QFETCH(int, rights);
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        TAccessList list(nullptr);
        FillRights(list, rights);
        for (int i = 0; i < rights; ++i)
            list[i]->SetChecked(true);
        list.SetMode(mode);
        QCOMPARE(list.GetMode(), expected);
        QCOMPARE(list.Mode(), mode);
    }

    void fullListGives255Characters()
    {
        RecordingDialogService dialogs;
        TAccessList list(nullptr);
        FillRights(list, TAccessList::MaxCount);
        for (int i = 0; i < list.Count(); i += 2)
            list[i]->SetChecked(true);
        const QString mode = list.GetMode();
        QCOMPARE(mode.size(), 255);
        QCOMPARE(mode.left(3), u"110"_s);
        QCOMPARE(mode.right(2), u"10"_s);
        list.SetMode(QString(255, QLatin1Char('1')));
        QVERIFY(list[253]->Checked());
        QVERIFY(dialogs.boxes.isEmpty());
        // Item 255 is refused: the caller still owns it, the list is unchanged.
        auto extra = MakeItem(255, "Extra");
        TAccessItem *const extraAddress = extra.get();
        QCOMPARE(list.Add(std::move(extra)), -1);
        QCOMPARE(extra.get(), extraAddress);
        QCOMPARE(list.Count(), 254);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes[0].text.contains(u"254"_s));
        QVERIFY_THROWS_EXCEPTION(EListError, list.Items(254));
    }

    // The rights and reports go over as copies; the place in the menu and the entry's key do not.
    void assignCopiesEntryAndRights()
    {
        TBaseService source;
        source.SetGuid(u"{ORD}"_s);
        source.SetSortOrder(40);
        source.AccessList().ID_CFG = 12;
        FillRights(source.AccessList(), 3);
        source.SetMode(u"1101"_s);
        source.ReportList().Add(std::make_unique<TReportItem>(TReportRec{"{R1}", "List", "Order list"}));
        TBaseService copy;
        FillRights(copy.AccessList(), 1);
        copy.Assign(source);
        QCOMPARE(copy.Guid(), u"{ORD}"_s);
        QCOMPARE(copy.SortOrder(), -1);
        QCOMPARE(copy.AccessList().ID_CFG, 0);
        QVERIFY(copy.AccessList().Count() == 3 && copy.AccessList()[0] != source.AccessList()[0]);
        QCOMPARE(copy.GetMode(), u"1101"_s);
        QCOMPARE(copy.ReportList().Owner(), &copy);
        // Rights not loaded yet: the stored string goes over.
        TBaseService unloaded;
        unloaded.SetMode(u"10110"_s);
        copy.Assign(unloaded);
        QCOMPARE(copy.AccessList().Count(), 0);
        QCOMPARE(copy.GetMode(), u"10110"_s);
    }

    // Captions come from SOURCE_NAME through the application texts, else from NAME; ISLANG 1 translates them.
    // When the current procedure fails, the older one answers; without one the error goes up, the list empty.
    void rightsAreLoadedOnce_data()
    {
        QTest::addColumn<bool>("newerShape");
        QTest::addColumn<bool>("currentFails");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("displayed");
        const QStringList older{"view", "edit", "print"};
        QTest::newRow("newer shape") << true << false << QStringList{"Просмотр заказов", "Edit orders", "print"}
                                     << QStringList{"Viewing of orders", "Edit orders", "PRINT"};
        QTest::newRow("older shape") << false << false << older << older;
        QTest::newRow("older procedure") << true << true << older << older;
        QTest::newRow("no older procedure") << true << true << QStringList() << QStringList();
    }
    void rightsAreLoadedOnce()
    {
        QFETCH(bool, newerShape);
        QFETCH(bool, currentFails);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, displayed);
        FakeLanguages languages;
        languages.apl.insert(u"View orders"_s, u"Просмотр заказов"_s);
        languages.english.insert(u"Просмотр заказов"_s, u"Viewing of orders"_s);
        languages.english.insert(u"Edit orders"_s, u"Changing orders"_s);
        languages.english.insert(u"print"_s, u"PRINT"_s);
        TBaseService service;
        service.SetGuid(u"{ORDERS}"_s);
        service.SetMode(u"1011"_s);
        TFakeRightsProc proc, older;
        proc.rows = RightsRows(newerShape);
        proc.fail = currentFails;
        older.rows = RightsRows(false);
        SetRightsProcedures(&proc, captions.isEmpty() ? nullptr : &older);
        TAccessList &list = service.AccessList();
        list.AccessProc = &proc;
        list.ID_CFG = 17;
        if (captions.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(EDAError, list.FetchIsNeed());
            QVERIFY(list.IsEmpty());
            return;
        }
        list.FetchIsNeed();
        QCOMPARE(proc.requested, QList<int>{17});
        QCOMPARE(older.requested, currentFails ? QList<int>{17} : QList<int>());
        QCOMPARE(list.Count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list[i]->ID(), i + 1);
            QCOMPARE(list[i]->GUID(), u"{ORDERS}"_s);
            QCOMPARE(list[i]->Caption(), captions[i]);
            QCOMPARE(list[i]->DisplayCaption(), displayed[i]);
        }
        // The server's marks count, not the string stored before loading; it applies when set again.
        QCOMPARE(service.GetMode(), u"1101"_s);
        service.SetMode(u"1011"_s);
        QCOMPARE(service.GetMode(), u"1011"_s);
        // A list with items is never loaded again.
        list.FetchIsNeed();
        QCOMPARE(proc.requested.size(), 1);
    }

    void rightsOfDemoMenuEntry()
    {
        TestServer server;
        auto session = server.Connect();
        TOraStoredProc rights;
        rights.SetSession(session.get());
        rights.SetStoredProcName(u"ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT"_s);
        TOraPackage package;
        package.SetSession(session.get());
        package.SetPackageName(u"ZANDRELL5.MENUPACK"_s);
        TBaseService service;
        service.SetGuid(u"{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}"_s);
        TAccessList &list = service.AccessList();
        list.AccessProc = &rights;
        list.FPack = &package;
        list.ID_CFG = 12;
        list.FetchIsNeed();
        list[0]->SetChecked(false);
        list[1]->SetChecked(true);
        list.UpdateData();
        QVERIFY(!session->InTransaction());
        // Committed: another session sees the new rights string.
        auto other = server.Connect();
        TOraQuery query;
        query.SetSession(other.get());
        query.SetSQLText(u"SELECT ITEMMODE FROM ZANDRELL5.V_MENUCFG WHERE ID_CFG = 12"_s);
        query.Open();
        QCOMPARE(query.FieldByName(u"ITEMMODE"_s)->AsString(), u"101"_s);
    }
};

QTEST_MAIN(TestServiceItem)
#include "tst_ServiceItem.moc"
