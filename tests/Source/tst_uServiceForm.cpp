// The service-window base: its status byte and its replaceable handlers
// (the posted messages are tested with the service entries).
#include "uServiceForm.h"

#include <QCloseEvent>
#include <QtTest>

namespace {

void Activate(QWidget *window)
{
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
}

} // namespace

class TestServiceForm : public QObject {
    Q_OBJECT
private slots:
    void statusFollowsVisibilityAndActivation()
    {
        TServiceForm form;
        QVERIFY(form.isWindow());
        QCOMPARE(form.FormStatus(), quint8(0));
        form.show();
        QCOMPARE(form.FormStatus(), quint8(2));
        Activate(&form);
        QCOMPARE(form.FormStatus(), quint8(34));
        form.hide();
        // Once activated, the flag stays.
        QCOMPARE(form.FormStatus(), quint8(32));
        form.show();
        QCOMPARE(form.FormStatus(), quint8(34));
        form.close();
        QCOMPARE(form.FormStatus(), quint8(32));
    }

    void handlersAreCalledAndReplaceable()
    {
        TServiceForm form;
        QStringList calls;
        form.OnActivate = [&](TServiceForm *sender) {
            QCOMPARE(sender, &form);
            calls << QStringLiteral("module activate");
        };
        // The console hooks the handler and keeps the old one to call first.
        const TServiceForm::TActivateHandler kept = form.OnActivate;
        form.OnActivate = [&, kept](TServiceForm *sender) {
            kept(sender);
            calls << QStringLiteral("console activate");
        };
        form.OnClose = [&](TServiceForm *, QCloseEvent *) { calls << QStringLiteral("close"); };
        form.show();
        Activate(&form);
        QVERIFY(form.close());
        QCOMPARE(calls, (QStringList{"module activate", "console activate", "close"}));
        QVERIFY(!form.isVisible());
    }

    void closeHandlerMayKeepWindowOpen()
    {
        TServiceForm form;
        form.OnClose = [](TServiceForm *, QCloseEvent *event) { event->ignore(); };
        form.show();
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(form.FormStatus() & TServiceForm::fsVisible, int(TServiceForm::fsVisible));
    }

    void handlerMayReplaceItselfWhileRunning()
    {
        TServiceForm form;
        int calls = 0;
        QString captured = QStringLiteral("state captured by the first handler");
        form.OnActivate = [&form, &calls, captured](TServiceForm *) {
            form.OnActivate = nullptr;
            // The running handler's own state is still alive.
            QCOMPARE(captured, QStringLiteral("state captured by the first handler"));
            ++calls;
        };
        Activate(&form);
        Activate(&form);
        QCOMPARE(calls, 1);
    }
};

QTEST_MAIN(TestServiceForm)
#include "tst_uServiceForm.moc"
