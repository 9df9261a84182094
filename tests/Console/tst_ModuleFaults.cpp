// Modules that fail inside the console's process: the crash markers of module
// files, and a service window whose session or scheme cannot be set.
#include "RecordingDialogService.h"
#include "TempExeDir.h"
#include "uMenu.h"
#include "uModuleFaults.h"
#include "uServiceItem.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

#include <dlfcn.h>

namespace {

const QString kModuleDir = QStringLiteral(TEST_MODULE_DIR);
const QString kService1 = QStringLiteral("{TM-SERVICE-1}");

bool IsModuleLoaded(const QString &file)
{
    const QByteArray path = QFile::encodeName(kModuleDir + QLatin1Char('/') + file);
    void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class TestModuleFaults : public QObject {
    Q_OBJECT

    QTemporaryDir runtime;

private slots:
    void initTestCase()
    {
        // The process's own markers go to a folder of this test alone.
        QVERIFY(runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        SetModuleFolder(kModuleDir);
        QVERIFY(ModuleFaults().Folder().startsWith(runtime.path()));
    }
    void cleanup() { qunsetenv("TM_FAIL_AT"); }

    void markersOfOtherConsoles_data();
    void markersOfOtherConsoles();
    void markedModuleIsNotLoaded_data();
    void markedModuleIsNotLoaded();
    void windowWhoseSessionOrSchemeFails_data();
    void windowWhoseSessionOrSchemeFails();
};

// Each row plays what other consoles did with two module files a and b; a
// console "ends" when its markers go without a Leave (as at exit() in module code).
void TestModuleFaults::markersOfOtherConsoles_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("aFaulty");
    QTest::addColumn<bool>("bFaulty");
    QTest::newRow("ended inside a call") << "ended" << true << false;
    QTest::newRow("every call returned") << "returned" << false << false;
    QTest::newRow("ended in a nested call") << "nested" << false << true;
    QTest::newRow("file changed since") << "changed" << false << false;
    QTest::newRow("console still in the call") << "running" << false << false;
    QTest::newRow("cleared by a reload") << "cleared" << false << false;
    QTest::newRow("no folder") << "nofolder" << false << false;
}

void TestModuleFaults::markersOfOtherConsoles()
{
    QFETCH(QString, scenario);
    QFETCH(bool, aFaulty);
    QFETCH(bool, bFaulty);
    QTemporaryDir dir;
    const QString folder = scenario == QLatin1String("nofolder") ? QString() : dir.filePath(QStringLiteral("markers"));
    const QString a = dir.filePath(QStringLiteral("a.so")), b = dir.filePath(QStringLiteral("b.so"));
    QVERIFY(WriteFile(a, "module a") && WriteFile(b, "module b"));

    auto other = std::make_unique<TModuleFaults>(folder);
    other->Enter(a);
    if (scenario == QLatin1String("returned"))
        other->Leave();
    if (scenario == QLatin1String("nested"))
        other->Enter(b);
    if (scenario == QLatin1String("changed"))
        QVERIFY(WriteFile(a, "module a, a newer build"));
    if (scenario != QLatin1String("running"))
        other.reset();

    TModuleFaults faults(folder);
    if (scenario == QLatin1String("cleared"))
        faults.Clear();
    QCOMPARE(faults.IsFaulty(a), aFaulty);
    QCOMPARE(faults.IsFaulty(b), bFaulty);
    // What one console decided, the next one finds the same.
    QCOMPARE(TModuleFaults(folder).IsFaulty(a), aFaulty);
    // A console that ends outside module code leaves no marker behind.
    if (!aFaulty && !bFaulty && !folder.isEmpty() && scenario != QLatin1String("running"))
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestModuleFaults::markedModuleIsNotLoaded_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Russian") << QByteArray() << QStringLiteral("модуль завершил работу консоли при последней загрузке");
    QTest::newRow("English") << QByteArray("[START]\nLangID=9\n")
                             << QStringLiteral("the module ended the console during its last load");
}

void TestModuleFaults::markedModuleIsNotLoaded()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, reason);
    TempExeDir exeDir;
    QVERIFY(exeDir.write(QStringLiteral("Console.ini"), ini));
    const QString module = QStringLiteral("tmForm.so");
    ModuleFaults().Clear();
    {
        TModuleFaults endedConsole(ModuleFaults().Folder());
        endedConsole.Enter(ModuleFilePath(module));
    }
    try {
        TServiceItem item(module, kService1);
        QFAIL("a module that ended a console was loaded again");
    } catch (const EModuleFault &e) {
        QCOMPARE(e.message(), reason);
    }
    QVERIFY(!IsModuleLoaded(module));

    // An administrator's reload lets it load again.
    ModuleFaults().Clear();
    TServiceItem item(module, kService1);
    QCOMPARE(item.Caption(), QStringLiteral("Test service 1"));
}

void TestModuleFaults::windowWhoseSessionOrSchemeFails_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::newRow("SetSession") << QByteArray("SetSession");
    QTest::newRow("SetScheme") << QByteArray("SetScheme");
}

// The click of the service's menu item, as the user makes it.
void TestModuleFaults::windowWhoseSessionOrSchemeFails()
{
    QFETCH(QByteArray, method);
    RecordingDialogService dialogs;
    TServiceManager manager;
    TKorMenu group(1, QStringLiteral("Group"));
    group.AddService(std::make_unique<TServiceItem>(QStringLiteral("tmFailInit.so"), kService1));
    TServiceItem *item = group.Services.front().get();
    manager.Add(item);
    manager.SetSession(reinterpret_cast<TOraSession *>(quintptr(0x5e55)));
    manager.SetScheme(QStringLiteral("DEMO"));
    QMenu menu;
    group.BuildItems(&menu, nullptr);
    QAction *click = menu.actions().value(0);
    QVERIFY(click);

    qputenv("TM_FAIL_AT", method);
    click->trigger();
    QCOMPARE(dialogs.boxes.size(), 1);
    QCOMPARE(dialogs.boxes.first().text, QStringLiteral("Test module: %1 failed").arg(QString::fromLatin1(method)));
    QVERIFY(!item->Form());
    QVERIFY(!item->Loaded());
    QVERIFY(!IsModuleLoaded(QStringLiteral("tmFailInit.so")));
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TServiceForm *>(window));

    // The next click tries again, and the window is the console's like any other.
    qunsetenv("TM_FAIL_AT");
    click->trigger();
    QCOMPARE(dialogs.boxes.size(), 1);
    TServiceForm *form = item->Form();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->property("calls").toStringList().mid(0, 2), (QStringList{"SetSession", "SetScheme DEMO"}));
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(form, &activate);
    QCOMPARE(manager.ActiveItem(), item);
}

QTEST_MAIN(TestModuleFaults)
#include "tst_ModuleFaults.moc"
