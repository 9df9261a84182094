// Service entries at run time: module loading and unloading, the window's
// open/show/hide rule, the hooks, the tool-bar commands and the callback,
// driven through the real test modules of tests/Modules.
#include "CallbackIMPL.h"
#include "RecordingDialogService.h"
#include "uConsoleFunctions.h"
#include "uServiceItem.h"

#include <QCloseEvent>
#include <QProcess>
#include <QtTest>

#include <dlfcn.h>

namespace {

const QString kModuleDir = QStringLiteral(TEST_MODULE_DIR);
const QString kService1 = QStringLiteral("{TM-SERVICE-1}");
const QString kService2 = QStringLiteral("{TM-SERVICE-2}");
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
    const bool invoked = QMetaObject::invokeMethod(window, "SendCommand", Q_RETURN_ARG(int, result),
                                                   Q_ARG(int, how), Q_ARG(QString, other), Q_ARG(int, command));
    if (!invoked)
        qWarning("SendCommand could not be invoked");
    return result;
}

// Counts the show and hide events a window gets.
class TVisibilityCounter : public QObject {
public:
    explicit TVisibilityCounter(QWidget *window) { window->installEventFilter(this); }
    QStringList events;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            events << QStringLiteral("show");
        else if (event->type() == QEvent::Hide)
            events << QStringLiteral("hide");
        return false;
    }
};

// A manager with a callback and a title hook, as the main window sets them up.
struct TConsoleSetup {
    TServiceManager manager;
    TCallback callback;
    QStringList titles;

    TConsoleSetup()
    {
        manager.TitleHook = [this](const QString &title) { titles << title; };
        manager.SetCallback(&callback);
        manager.SetSession(kSession);
        manager.SetScheme(QStringLiteral("DEMO"));
    }
};

} // namespace

class TestServiceItem : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    // Loading and attributes
    void attributesOfFormModule();
    void attributesWithoutTranslateFlags();
    void moduleWithoutAttributeExport();
    void libraryThatCannotBeLoaded_data();
    void libraryThatCannotBeLoaded();
    void storedDllNameFindsSharedObject();
    void moduleNameWithPathIsRefused_data();
    void moduleNameWithPathIsRefused();

    // SrvAction
    void formStyleWindowIsCreatedOnce();
    void statusRuleOfSrvAction();
    void objectStyleSrvAction();
    void moduleWithBothInitExportsIsFormStyle();
    void moduleWithoutInitExport();
    void failingInitLeavesEntryUnloaded_data();
    void failingInitLeavesEntryUnloaded();
    void windowWithoutInterfaceIsReported();
    void serviceObjectWithoutWindow();

    // Hooks and tool-bar commands
    void activationAndCloseHooks();
    void toolBarCommandsOfFormStyle();
    void toolBarCommandsOfObjectStyle();
    void toolBarCommandsWithoutActiveService();
    void statusAndInterfaceChecks();

    // Callback and manager
    void callbackCommands();
    void callbackResultsForMissingObjects();
    void freeOthersKeepsOwnWindow();
    void forgottenWindowKeepsModuleLoaded();
    void callbackWithoutHandler();
    void managerRegistration();
    void managerPassesSessionAndScheme();

    // Unloading
    void destroyingEntryUnloadsModule();
    void moduleUnloadedAtExit_data();
    void moduleUnloadedAtExit();
};

void TestServiceItem::initTestCase()
{
    SetModuleFolder(kModuleDir);
    QVERIFY2(QFile::exists(kModuleDir + QStringLiteral("/tmForm.so")), qPrintable(kModuleDir));
}

void TestServiceItem::cleanup()
{
    qunsetenv("TM_FAIL_INIT");
    // No test leaves a module behind.
    for (const char *file : {"tmForm.so", "tmObject.so", "tmBoth.so", "tmFailInit.so", "tmNoInterface.so"})
        QVERIFY2(!IsModuleLoaded(QString::fromLatin1(file)), file);
}

void TestServiceItem::attributesOfFormModule()
{
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    QCOMPARE(item.Caption(), QStringLiteral("Test service 1"));
    QCOMPARE(item.Description(), QStringLiteral("The first test service"));
    QVERIFY(item.TranslateCaption());
    QVERIFY(item.TranslateDescription());
    QVERIFY(item.TranslateFunc() == &ApplyAplText);
    QCOMPARE(item.IconName(), QStringLiteral("MAINICON"));
    QVERIFY(!item.Icon().isNull());
    QVERIFY(item.Icon().availableSizes().contains(QSize(32, 32)));
    QCOMPARE(item.Icon().pixmap(16, 16).toImage().pixelColor(4, 4), QColor(Qt::darkCyan));
    QCOMPARE(item.MenuGroup(), -1);
    QCOMPARE(item.ImageIndex(), -1);
    QVERIFY(!item.HasFormEntry());
    QVERIFY(!item.Loaded());
    QVERIFY(!item.Handle());
    // Read, then unloaded again until the service is opened.
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmForm.so")));

    TServiceItem second(QStringLiteral("tmForm.so"), kService2);
    QCOMPARE(second.Caption(), QStringLiteral("Test service 2"));
    QVERIFY(!second.TranslateDescription());
    QVERIFY(second.IconName().isEmpty());
}

void TestServiceItem::attributesWithoutTranslateFlags()
{
    TServiceItem item(QStringLiteral("tmAttrOnly.so"), kService1);
    QCOMPARE(item.Caption(), QStringLiteral("Test object 1"));
    QCOMPARE(item.Description(), QStringLiteral("A test service object"));
    QVERIFY(!item.TranslateCaption());
    QVERIFY(!item.TranslateDescription());
    QVERIFY(item.Icon().isNull());
    QVERIFY(item.IconName().isEmpty());
}

void TestServiceItem::moduleWithoutAttributeExport()
{
    try {
        TServiceItem item(QStringLiteral("tmNoAttr.so"), kService1);
        QFAIL("a module without attributes was accepted");
    } catch (const EServiceError &e) {
        QCOMPARE(e.message(), QStringLiteral("\"GetServiceAttribute(2)\" function does not exist"));
    }
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmNoAttr.so")));
}

void TestServiceItem::libraryThatCannotBeLoaded_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("not a shared object") << "tmBroken.so";
    QTest::newRow("missing file") << "tmMissing.so";
}

void TestServiceItem::libraryThatCannotBeLoaded()
{
    QFETCH(QString, file);
    try {
        TServiceItem item(file, kService1);
        QFAIL("the library was loaded");
    } catch (const EOSError &e) {
        // The system's text in double quotes; it names the file.
        QVERIFY2(e.message().startsWith(QLatin1Char('"')) && e.message().endsWith(QLatin1Char('"')),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(file), qPrintable(e.message()));
    }
}

void TestServiceItem::storedDllNameFindsSharedObject()
{
    TServiceItem item(QStringLiteral("tmForm.dll"), kService1);
    QCOMPARE(item.Caption(), QStringLiteral("Test service 1"));
    QCOMPARE(item.DllName(), QStringLiteral("tmForm.dll"));
    QCOMPARE(ModuleFilePath(QStringLiteral("tmForm.DLL")), kModuleDir + QStringLiteral("/tmForm.so"));
    // Looked up as stored first.
    QCOMPARE(ModuleFilePath(QStringLiteral("tmBroken.so")), kModuleDir + QStringLiteral("/tmBroken.so"));
    QCOMPARE(ModuleFilePath(QStringLiteral("NoSuch.dll")), kModuleDir + QStringLiteral("/NoSuch.dll"));
}

void TestServiceItem::moduleNameWithPathIsRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("relative") << "../modules/tmForm.so";
    QTest::newRow("absolute") << QString(kModuleDir + QStringLiteral("/tmForm.so"));
    QTest::newRow("backslash") << "sub\\tmForm.dll";
}

void TestServiceItem::moduleNameWithPathIsRefused()
{
    QFETCH(QString, name);
    QVERIFY_THROWS_EXCEPTION(EModuleName, TServiceItem(name, kService1));
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmForm.so")));
}

void TestServiceItem::formStyleWindowIsCreatedOnce()
{
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    console.manager.Add(&item);
    item.SetMode(QStringLiteral("101"));

    item.SrvAction();
    QVERIFY(item.Loaded());
    QVERIFY(item.HasFormEntry());
    QVERIFY(IsModuleLoaded(QStringLiteral("tmForm.so")));
    QPointer<TServiceForm> form = item.Form();
    QVERIFY(form);
    QVERIFY(item.ZandrellRef());
    QVERIFY(form->isVisible());
    QCOMPARE(form->property("guid").toString(), kService1);
    QCOMPARE(form->property("mode").toString(), QStringLiteral("101"));
    QCOMPARE(form->property("session").value<quintptr>(), quintptr(kSession));
    QCOMPARE(Calls(form), (QStringList{"SetSession", "SetScheme DEMO"}));
    QCOMPARE(form->windowTitle(), item.DisplayCaption());

    form->hide();
    item.SrvAction();
    QCOMPARE(item.Form(), form.data());
    QCOMPARE(Calls(form), (QStringList{"SetSession", "SetScheme DEMO"}));
}

void TestServiceItem::statusRuleOfSrvAction()
{
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    console.manager.Add(&item);
    item.SrvAction();
    TServiceForm *form = item.Form();
    TVisibilityCounter counter(form);

    // Visible, never activated (2): hidden, not shown again.
    form->show();
    QCOMPARE(form->FormStatus(), quint8(2));
    item.SrvAction();
    QCOMPARE(counter.events, QStringList{"hide"});
    QVERIFY(!form->isVisible());

    // Never shown since (0): shown.
    QCOMPARE(form->FormStatus(), quint8(0));
    counter.events.clear();
    item.SrvAction();
    QCOMPARE(counter.events, QStringList{"show"});
    QVERIFY(form->isVisible());

    // Visible and activated (34): hidden and shown again, which brings it to the front.
    Activate(form);
    QCOMPARE(form->FormStatus(), quint8(34));
    counter.events.clear();
    item.SrvAction();
    QCOMPARE(counter.events, (QStringList{"hide", "show"}));
    QVERIFY(form->isVisible());

    // Hidden after it was active (32): shown.
    form->hide();
    QCOMPARE(form->FormStatus(), quint8(32));
    counter.events.clear();
    item.SrvAction();
    QCOMPARE(counter.events, QStringList{"show"});
}

void TestServiceItem::objectStyleSrvAction()
{
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmObject.so"), kService1);
    console.manager.Add(&item);
    item.SetMode(QStringLiteral("11"));
    item.SrvAction();
    QVERIFY(!item.HasFormEntry());
    QVERIFY(item.Service());
    QVERIFY(!item.Form());
    TServiceForm *window = item.Window();
    QVERIFY(window);
    QCOMPARE(window, item.Service()->GetForm());
    QVERIFY(window->isVisible());
    QCOMPARE(window->property("mode").toString(), QStringLiteral("11"));
    QCOMPARE(window->property("session").value<quintptr>(), quintptr(kSession));
    QCOMPARE(Calls(window), QStringList{"SetContext DEMO"});

    TServiceObject *service = item.Service();
    item.SrvAction();
    QCOMPARE(item.Service(), service);
    QVERIFY(!window->isVisible());
}

void TestServiceItem::moduleWithBothInitExportsIsFormStyle()
{
    TServiceItem item(QStringLiteral("tmBoth.so"), kService1);
    item.SrvAction();
    QVERIFY(item.HasFormEntry());
    QVERIFY(item.Form());
    QVERIFY(item.ZandrellRef());
    QVERIFY(!item.Service());
}

void TestServiceItem::moduleWithoutInitExport()
{
    TServiceItem item(QStringLiteral("tmAttrOnly.so"), kService1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            item.SrvAction();
            QFAIL("a module without InitService was opened");
        } catch (const EServiceError &e) {
            QCOMPARE(e.message(), QStringLiteral("\"InitService\" function does not exist"));
        }
        QVERIFY(!item.Loaded());
        QVERIFY(!item.Service());
        QVERIFY(!IsModuleLoaded(QStringLiteral("tmAttrOnly.so")));
    }
}

void TestServiceItem::failingInitLeavesEntryUnloaded_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("InitServiceForm") << "tmFailInit.so";
    QTest::newRow("InitService") << "tmFailObject.so";
}

void TestServiceItem::failingInitLeavesEntryUnloaded()
{
    QFETCH(QString, file);
    TServiceItem item(file, kService1);
    qputenv("TM_FAIL_INIT", "1");
    try {
        item.SrvAction();
        QFAIL("the failing init went unnoticed");
    } catch (const Exception &e) {
        // The module's own error, still readable after the module is gone.
        QVERIFY(!IsModuleLoaded(file));
        QCOMPARE(e.message(), QStringLiteral("Test module: the service cannot start"));
    }
    QVERIFY(!item.Loaded());
    QVERIFY(!item.Form());
    QVERIFY(!item.Service());

    // The next click tries again.
    qunsetenv("TM_FAIL_INIT");
    item.SrvAction();
    QVERIFY(item.Loaded());
    QVERIFY(item.Window());
    QVERIFY(item.Window()->isVisible());
}

void TestServiceItem::windowWithoutInterfaceIsReported()
{
    RecordingDialogService dialogs;
    TServiceItem item(QStringLiteral("tmNoInterface.so"), kService1);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        item.SrvAction();
        QCOMPARE(dialogs.boxes.size(), attempt);
        QCOMPARE(dialogs.boxes.last().text, QStringLiteral("\"IZandrell\" interface is not support"));
        QCOMPARE(dialogs.boxes.last().caption, QStringLiteral("Error"));
        QCOMPARE(dialogs.boxes.last().flags, unsigned(MB_ICONSTOP));
        QVERIFY(!item.Form());
        QVERIFY(!item.Loaded());
        QVERIFY(!IsModuleLoaded(QStringLiteral("tmNoInterface.so")));
    }
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestServiceItem::serviceObjectWithoutWindow()
{
    TServiceItem item(QStringLiteral("tmNoWindow.so"), kService1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            item.SrvAction();
            QFAIL("a service without a window was opened");
        } catch (const EServiceError &e) {
            QCOMPARE(e.message(), QStringLiteral("TServiceItem.SrvAction: {TM-SERVICE-1}: Form is not defined"));
        }
        QVERIFY(!item.Service());
        QVERIFY(!item.Loaded());
        QVERIFY(!IsModuleLoaded(QStringLiteral("tmNoWindow.so")));
    }
}

void TestServiceItem::activationAndCloseHooks()
{
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    console.manager.Add(&item);
    item.SrvAction();
    TServiceForm *form = item.Form();
    QVERIFY(!console.manager.ActiveItem());

    Activate(form);
    // The module's own handler runs first, then the console's.
    QCOMPARE(Calls(form).last(), QStringLiteral("module activate"));
    QCOMPARE(console.titles, QStringList{item.Caption()});
    QCOMPARE(console.manager.ActiveItem(), &item);

    QVERIFY(form->close());
    QCOMPARE(console.titles, (QStringList{item.Caption(), QString()}));
    QCOMPARE(Calls(form).last(), QStringLiteral("module close"));
    QVERIFY(!form->isVisible());
    // Closing hides: the next click shows the same window again.
    item.SrvAction();
    QCOMPARE(item.Form(), form);
    QVERIFY(form->isVisible());
}

void TestServiceItem::toolBarCommandsOfFormStyle()
{
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    console.manager.Add(&item);
    item.SrvAction();
    TServiceForm *form = item.Form();
    Activate(form);
    form->hide();

    console.manager.Find();
    QVERIFY(form->isVisible());
    console.manager.Sort();
    console.manager.Report();
    console.manager.Filter();
    QCOMPARE(Calls(form).mid(Calls(form).indexOf(QStringLiteral("Find"))),
             (QStringList{"Find", "Sort", "Report", "Filter"}));
}

void TestServiceItem::toolBarCommandsOfObjectStyle()
{
    RecordingDialogService dialogs;
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmObject.so"), kService1);
    console.manager.Add(&item);

    // No service object yet.
    item.Find();
    QCOMPARE(dialogs.boxes.size(), 1);
    QCOMPARE(dialogs.boxes[0].text, QStringLiteral("The Form is not created"));
    QCOMPARE(dialogs.boxes[0].caption, QStringLiteral("Error"));
    QCOMPARE(dialogs.boxes[0].flags, unsigned(MB_ICONSTOP));

    item.SrvAction();
    TServiceForm *window = item.Window();
    window->hide();
    console.manager.SetActiveItem(&item);
    console.manager.Find();
    QVERIFY(window->isVisible());
    console.manager.Sort();
    console.manager.Report();
    console.manager.Filter();
    // Posted: they arrive through the event loop.
    QVERIFY(!Calls(window).contains(QStringLiteral("message 1024 0 1")));
    QCoreApplication::processEvents();
    QCOMPARE(Calls(window).filter(QStringLiteral("message")), (QStringList{"message 1024 0 1", "message 1024 0 2", "message 1024 0 3",
                                                "message 1024 0 4"}));
    QCOMPARE(dialogs.boxes.size(), 1);
}

void TestServiceItem::toolBarCommandsWithoutActiveService()
{
    RecordingDialogService dialogs;
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    console.manager.Add(&item);
    QVERIFY(!console.manager.ActiveItem());
    console.manager.Find();
    console.manager.Sort();
    console.manager.Report();
    console.manager.Filter();
    QVERIFY(!item.Form());
    QVERIFY(!item.Loaded());
    QVERIFY(dialogs.boxes.isEmpty());
}

void TestServiceItem::statusAndInterfaceChecks()
{
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    try {
        item.GetStatus();
        QFAIL("status of a service that was never opened");
    } catch (const EServiceError &e) {
        QCOMPARE(e.message(), QStringLiteral("TServiceItem.GetStatus: Service is not created (FService = nil)"));
    }
    try {
        item.IsValidInterface();
        QFAIL("interface of a service that was never opened");
    } catch (const EServiceError &e) {
        QCOMPARE(e.message(), QStringLiteral("TServiceItem.IsValidInterface: Service is not created"));
    }
    try {
        item.GetManager();
        QFAIL("manager of an unregistered service");
    } catch (const EServiceError &e) {
        QCOMPARE(e.message(), QStringLiteral("TServiceItem.GetManager: FManager = nil"));
    }
    item.SrvAction();
    item.FreeObjects();
    try {
        item.GetStatus();
        QFAIL("status of a freed window");
    } catch (const EServiceError &e) {
        QCOMPARE(e.message(), QStringLiteral("TServiceItem.GetStatus: form = nil"));
    }
    // The module stays loaded after FreeObjects until the entry goes.
    QVERIFY(item.Loaded());
}

void TestServiceItem::callbackCommands()
{
    TConsoleSetup console;
    TServiceItem item(QStringLiteral("tmForm.so"), kService1);
    console.manager.Add(&item);
    item.SrvAction();
    TServiceForm *form = item.Form();
    int reserved = -1;
    QVERIFY(QMetaObject::invokeMethod(form, "CallbackReserved", Q_RETURN_ARG(int, reserved)));
    QCOMPARE(reserved, 0);

    // 0: CloseService on the window's interface.
    console.manager.SetActiveItem(&item);
    QCOMPARE(SendCommand(form, 0, QString(), scCloseService), int(scrDone));
    QVERIFY(Calls(form).contains(QStringLiteral("CloseService")));
    QVERIFY(!form->isVisible());
    QVERIFY(!console.manager.ActiveItem());

    // The alternative identifier, when the first is null; letter case does not matter.
    item.SrvAction();
    console.manager.SetActiveItem(&item);
    QCOMPARE(SendCommand(form, 1, QString(), 7), int(scrOther));
    QVERIFY(!console.manager.ActiveItem());
    console.manager.SetActiveItem(&item);
    QCOMPARE(SendCommand(form, 2, QStringLiteral("{tm-service-1}"), 200), int(scrOther));
    QVERIFY(!console.manager.ActiveItem());

    // 1: forget the window; the module keeps it.
    QPointer<TServiceForm> kept = form;
    QCOMPARE(SendCommand(form, 0, QString(), scForgetObjects), int(scrDone));
    QVERIFY(!item.Form());
    QVERIFY(!item.ZandrellRef());
    QVERIFY(kept);
    // Forgotten: the console's hooks are gone, the module's own handler is back.
    console.titles.clear();
    Activate(kept);
    QVERIFY(console.titles.isEmpty());
    QCOMPARE(Calls(kept).last(), QStringLiteral("module activate"));
    delete kept.data();
}

void TestServiceItem::callbackResultsForMissingObjects()
{
    TConsoleSetup console;
    TServiceItem first(QStringLiteral("tmForm.so"), kService1);
    TServiceItem second(QStringLiteral("tmForm.so"), kService2);
    TServiceItem object(QStringLiteral("tmObject.so"), kService2);
    object.SetGuid(QStringLiteral("{TM-OBJECT}"));
    console.manager.Add(&first);
    console.manager.Add(&second);
    console.manager.Add(&object);
    first.SrvAction();
    TServiceForm *form = first.Form();
    console.manager.SetActiveItem(&second);
    // No window yet (1), no such service (3): the active service stays.
    QCOMPARE(SendCommand(form, 2, kService2, scCloseService), int(scrNoObject));
    QCOMPARE(SendCommand(form, 2, QStringLiteral("{TM-OBJECT}"), scCloseService), int(scrNoObject));
    QCOMPARE(SendCommand(form, 2, QStringLiteral("{NO-SUCH-SERVICE}"), scCloseService), int(scrUnknownService));
    QCOMPARE(console.callback.ExecServiceCmd(nullptr, nullptr, scCloseService), int32_t(scrUnknownService));
    QCOMPARE(console.manager.ActiveItem(), &second);
    QCOMPARE(console.callback.Reserved(), 0);
}

void TestServiceItem::freeOthersKeepsOwnWindow()
{
    TConsoleSetup console;
    TServiceItem first(QStringLiteral("tmForm.so"), kService1);
    TServiceItem second(QStringLiteral("tmForm.so"), kService2);
    TServiceItem object(QStringLiteral("tmObject.so"), kService1);
    object.SetGuid(QStringLiteral("{TM-OBJECT}"));
    console.manager.Add(&first);
    console.manager.Add(&second);
    console.manager.Add(&object);
    first.SrvAction();
    second.SrvAction();
    object.SrvAction();
    QPointer<TServiceForm> secondForm = second.Form();
    QPointer<TServiceForm> objectWindow = object.Window();
    console.manager.SetActiveItem(&first);

    QCOMPARE(SendCommand(first.Form(), 0, QString(), scFreeOthers), int(scrOther));
    QVERIFY(first.Form());
    QVERIFY(first.Form()->isVisible());
    QVERIFY(!second.Form());
    QVERIFY(!secondForm);
    QVERIFY(!object.Service());
    QVERIFY(!objectWindow);
    QVERIFY(!console.manager.ActiveItem());
    // The others open again on their next click.
    second.SrvAction();
    QVERIFY(second.Form());
}

void TestServiceItem::forgottenWindowKeepsModuleLoaded()
{
    QPointer<TServiceForm> kept;
    {
        TConsoleSetup console;
        TServiceItem item(QStringLiteral("tmForm.so"), kService1);
        console.manager.Add(&item);
        item.SrvAction();
        kept = item.Form();
        QCOMPARE(SendCommand(kept, 0, QString(), scForgetObjects), int(scrDone));
    }
    // The entry is gone, its window lives on: so does the module's code.
    QVERIFY(kept);
    QVERIFY(IsModuleLoaded(QStringLiteral("tmForm.so")));
    kept->show();
    Activate(kept);
    QCOMPARE(Calls(kept).last(), QStringLiteral("module activate"));
    delete kept.data();
    QVERIFY(IsModuleLoaded(QStringLiteral("tmForm.so")));
    QCoreApplication::processEvents();
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmForm.so")));
}

void TestServiceItem::callbackWithoutHandler()
{
    TCallback callback;
    try {
        callback.ExecServiceCmd("{A}", nullptr, 0);
        QFAIL("a callback without handler answered");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), QStringLiteral("TCallback.ExecServiceCmd: CallBack function is not defined"));
    }
    // A manager that goes away takes its handler with it.
    {
        TServiceManager manager;
        manager.SetCallback(&callback);
        QCOMPARE(callback.ExecServiceCmd("{A}", nullptr, 0), int32_t(scrUnknownService));
    }
    QVERIFY(!callback.Handler());
}

void TestServiceItem::managerRegistration()
{
    TServiceManager manager;
    TServiceItem first(QStringLiteral("tmForm.so"), kService1);
    TServiceItem twin(QStringLiteral("tmBoth.so"), QStringLiteral("{tm-service-1}"));
    manager.Add(&first);
    QCOMPARE(first.GetManager(), &manager);
    try {
        manager.Add(&twin);
        QFAIL("the same identifier was registered twice");
    } catch (const EServiceError &e) {
        QCOMPARE(e.message(), QStringLiteral("сервис \"Test service 1\" уже существует"));
    }
    QCOMPARE(manager.Count(), 1);
    QVERIFY_THROWS_EXCEPTION(EServiceError, twin.GetManager());
    QCOMPARE(manager.FindByGuid(QStringLiteral("{TM-SERVICE-1}")), &first);
    QVERIFY(!manager.FindByGuid(QStringLiteral("{TM-SERVICE-2}")));
    QCOMPARE(manager[0], &first);
    QVERIFY_THROWS_EXCEPTION(EListError, manager.Items(1));

    {
        TServiceItem second(QStringLiteral("tmForm.so"), kService2);
        manager.Add(&second);
        manager.SetActiveItem(&second);
        QCOMPARE(manager.Count(), 2);
    }
    // An entry that is destroyed leaves the manager.
    QCOMPARE(manager.Count(), 1);
    QVERIFY(!manager.ActiveItem());
    manager.Clear();
    QCOMPARE(manager.Count(), 0);
    QVERIFY_THROWS_EXCEPTION(EServiceError, first.GetManager());
}

void TestServiceItem::managerPassesSessionAndScheme()
{
    TServiceManager manager;
    TCallback callback;
    TServiceItem first(QStringLiteral("tmForm.so"), kService1);
    manager.Add(&first);
    manager.SetSession(kSession);
    manager.SetScheme(QStringLiteral("SCHEME1"));
    manager.SetCallback(&callback);
    QCOMPARE(first.Session(), kSession);
    QCOMPARE(first.SchemeName(), QStringLiteral("SCHEME1"));
    QCOMPARE(first.Callback(), static_cast<TICallback *>(&callback));
    // A service registered later gets them too.
    TServiceItem second(QStringLiteral("tmForm.so"), kService2);
    manager.Add(&second);
    QCOMPARE(second.Session(), kSession);
    QCOMPARE(second.SchemeName(), QStringLiteral("SCHEME1"));
    QCOMPARE(second.Callback(), static_cast<TICallback *>(&callback));
}

void TestServiceItem::destroyingEntryUnloadsModule()
{
    QPointer<TServiceForm> form;
    QPointer<TServiceForm> objectWindow;
    {
        TConsoleSetup console;
        TServiceItem item(QStringLiteral("tmForm.so"), kService1);
        TServiceItem object(QStringLiteral("tmObject.so"), kService1);
        console.manager.Add(&item);
        object.SetGuid(QStringLiteral("{TM-OBJECT}"));
        console.manager.Add(&object);
        item.SrvAction();
        object.SrvAction();
        Activate(item.Form());
        form = item.Form();
        objectWindow = object.Window();
        QVERIFY(IsModuleLoaded(QStringLiteral("tmForm.so")));
        QVERIFY(IsModuleLoaded(QStringLiteral("tmObject.so")));
    }
    QVERIFY(!form);
    QVERIFY(!objectWindow);
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmForm.so")));
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmObject.so")));
}

void TestServiceItem::moduleUnloadedAtExit_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("expected");
    QTest::newRow("open windows") << "open" << "unloaded";
    QTest::newRow("forgotten window") << "forgotten" << "kept";
}

void TestServiceItem::moduleUnloadedAtExit()
{
    QFETCH(QString, scenario);
    QFETCH(QString, expected);
    QProcess helper;
    helper.start(QStringLiteral(SERVICE_EXIT_HELPER), {kModuleDir, scenario});
    QVERIFY(helper.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(helper.readAllStandardOutput());
    QVERIFY2(helper.exitStatus() == QProcess::NormalExit, qPrintable(helper.readAllStandardError()));
    QCOMPARE(helper.exitCode(), 0);
    QCOMPARE(output.trimmed(), expected);
}

QTEST_MAIN(TestServiceItem)
#include "tst_ServiceItem.moc"
