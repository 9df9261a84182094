#pragma once
// The base of every service window and of the shared forms: a top-level
// window that keeps the status byte the console reads (2 while visible, 32
// once it has been activated) and whose activation and close handlers are
// replaceable slots, so that the console can hook them while keeping the
// module's own handlers to call.
//
// It is a dialog with the flags of an ordinary window, so that one base
// serves the service windows shown beside the console and the modal windows
// run through ExecModalDialog. Only a modal one closes on Esc and presses its
// default button on Enter; a window shown beside the console leaves both keys
// to its controls.
#include "Core/PlatformExport.h"

#include <QDialog>
#include <QEvent>

#include <functional>

class QCloseEvent;
class QKeyEvent;

class PLATFORM_EXPORT TServiceForm : public QDialog {
    Q_OBJECT
public:
    enum : quint8 { fsVisible = 2, fsActivated = 32 };

    using TActivateHandler = std::function<void(TServiceForm *sender)>;
    // The handler may ignore the event to keep the window open.
    using TCloseHandler = std::function<void(TServiceForm *sender, QCloseEvent *event)>;

    explicit TServiceForm(QWidget *parent = nullptr);
    ~TServiceForm() override;

    quint8 FormStatus() const { return m_formStatus; }

    TActivateHandler OnActivate;
    TCloseHandler OnClose;

    void setVisible(bool visible) override;

    // Posts the message number `message` with its two parameters to the window;
    // it arrives in UserMessage through the event loop.
    static void PostMessage(QObject *window, int message, qintptr wParam, qintptr lParam);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // A message posted with PostMessage; the console posts WM_SERVICE_COMMAND
    // for the tool-bar commands of object-style services.
    virtual void UserMessage(int message, qintptr wParam, qintptr lParam);

private:
    quint8 m_formStatus = 0;
};

// The ancestor of the shared forms (TComBaseForm and below) is the same window.
using TVariantForm = TServiceForm;

// The event that carries a posted message.
class PLATFORM_EXPORT TPostedMessageEvent : public QEvent {
public:
    TPostedMessageEvent(int message, qintptr wParam, qintptr lParam);
    ~TPostedMessageEvent() override;
    static QEvent::Type EventType();

    const int Message;
    const qintptr WParam;
    const qintptr LParam;
};
