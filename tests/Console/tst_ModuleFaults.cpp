// Modules that fail inside the console's process: a service window whose
// session or scheme cannot be set.
#include "RecordingDialogService.h"
#include "uMenu.h"
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

} // namespace

class TestModuleFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetModuleFolder(kModuleDir); }
    void cleanup() { qunsetenv("TM_FAIL_AT"); }

    void windowWhoseSessionOrSchemeFails_data();
    void windowWhoseSessionOrSchemeFails();
};

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
