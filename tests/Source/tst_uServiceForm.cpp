// The service-window base: its status byte, its replaceable handlers and posted messages.
#include "ZandrellInterface.h"
#include "uServiceForm.h"

#include <QCloseEvent>
#include <QtTest>

namespace {

class TRecordingForm : public TServiceForm {
public:
    QList<QList<qintptr>> messages;

protected:
    void UserMessage(int message, qintptr wParam, qintptr lParam) override
    {
        messages.append({message, wParam, lParam});
    }
};

void Activate(QWidget *window)
{
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
}

} // namespace

class TestServiceForm : public QObject {
    Q_OBJECT
private slots:
    void statusFollowsVisibilityAndActivation();
    void handlersAreCalledAndReplaceable();
    void closeHandlerMayKeepWindowOpen();
    void handlerMayReplaceItselfWhileRunning();
    void postedMessagesArriveInOrder();
};

void TestServiceForm::statusFollowsVisibilityAndActivation()
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

void TestServiceForm::handlersAreCalledAndReplaceable()
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

void TestServiceForm::closeHandlerMayKeepWindowOpen()
{
    TServiceForm form;
    form.OnClose = [](TServiceForm *, QCloseEvent *event) { event->ignore(); };
    form.show();
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QCOMPARE(form.FormStatus() & TServiceForm::fsVisible, int(TServiceForm::fsVisible));
}

void TestServiceForm::handlerMayReplaceItselfWhileRunning()
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

void TestServiceForm::postedMessagesArriveInOrder()
{
    TRecordingForm form;
    TServiceForm::PostMessage(&form, WM_SERVICE_COMMAND, 0, saFind);
    TServiceForm::PostMessage(&form, WM_SERVICE_COMMAND, 0, saFilter);
    QVERIFY(form.messages.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(form.messages.size(), 2);
    QCOMPARE(form.messages[0], (QList<qintptr>{WM_SERVICE_COMMAND, 0, saFind}));
    QCOMPARE(form.messages[1], (QList<qintptr>{WM_SERVICE_COMMAND, 0, saFilter}));
}

QTEST_MAIN(TestServiceForm)
#include "tst_uServiceForm.moc"
