#include "Ui/ProtocolSettle.h"

#include "Core/DialogService.h"
#include "Core/ProtocolInput.h"
#include "Ui/UiLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// A window manager activates a new window within a few frames; one that never
// does (a focus-stealing rule, a window hidden again) must not hold the script.
constexpr int kActivationWaitMs = 3000;
constexpr int kPollMs = 10;

// Top-level windows that take the keyboard when shown: not pop-ups, tool tips,
// splash pictures or windows that ask not to be activated.
bool takesActivation(const QWidget *window)
{
    const Qt::WindowType type = window->windowType();
    return (type == Qt::Window || type == Qt::Dialog) && !window->testAttribute(Qt::WA_ShowWithoutActivating) &&
           !(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
}

// Notes the last window shown, which the next settle waits to see active.
class TShownWindows final : public QObject {
public:
    QPointer<QWidget> expected;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && object->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(object);
            if (widget->isWindow() && takesActivation(widget))
                expected = widget;
        }
        return false;
    }
};

TShownWindows *shownWindows()
{
    static QPointer<TShownWindows> watcher;
    if (!watcher && qApp) {
        watcher = new TShownWindows;
        watcher->setParent(qApp);
        qApp->installEventFilter(watcher);
    }
    return watcher;
}

void waitBriefly()
{
    QEventLoop loop;
    QTimer::singleShot(kPollMs, &loop, &QEventLoop::quit);
    loop.exec();
}

bool activationPending(const QWidget *window)
{
    if (!window || !window->isVisible() || QApplication::activeWindow() == window)
        return false;
    // A modal window above it takes the keys and reads the lines instead.
    const QWidget *modal = QApplication::activeModalWidget();
    return !modal || modal == window;
}

// Watching starts with the program, so that the main window's first showing counts too.
void startWatching()
{
    if (IsUnattended())
        shownWindows();
    TProtocolInput::Instance().SetSettle(&SettleProtocolCommand);
}
Q_COREAPP_STARTUP_FUNCTION(startWatching)

} // namespace

void ExpectActiveWindow(QWidget *window)
{
    if (TShownWindows *watcher = shownWindows(); watcher && window && takesActivation(window))
        watcher->expected = window;
}

void SettleProtocolCommand()
{
    TShownWindows *watcher = shownWindows();
    QCoreApplication::processEvents();
    if (!watcher)
        return;
    QElapsedTimer waited;
    waited.start();
    while (activationPending(watcher->expected)) {
        if (waited.elapsed() > kActivationWaitMs) {
            qCDebug(lcUi) << "window" << watcher->expected->objectName() << "not activated; the script goes on";
            break;
        }
        waitBriefly();
    }
    watcher->expected = nullptr;
    QCoreApplication::processEvents();
}
