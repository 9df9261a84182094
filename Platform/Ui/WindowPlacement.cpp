#include "Ui/WindowPlacement.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QLineEdit>
#include <QMargins>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace {

// How long after showing a window its frame is watched: the window manager frames it meanwhile.
constexpr qint64 kFramingMs = 3000;
constexpr int kFramingStepMs = 50;
// The frame corner a window is to have once the window manager has framed it.
constexpr const char *kFrameCorner = "frameCornerWhenFramed";

QMargins nativeFrameMargins(const QWidget *window)
{
    return window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

// The frame a window not framed yet will get: the one the window manager gave the program's other windows.
QMargins expectedFrameMargins(const QWidget *window)
{
    for (const QWidget *other : QApplication::topLevelWidgets())
        if (other != window && other->isVisible() && !nativeFrameMargins(other).isNull())
            return nativeFrameMargins(other);
    return QMargins();
}

bool isPlacedWindow(const QWidget *widget)
{
    if (!widget->isWindow() || widget->property("placesItself").toBool())
        return false;
    switch (widget->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
        return true;
    default:
        return false;
    }
}

// Watches the windows as they are shown: once right after, and at each move or
// resize while the window manager gives them their frames.
class TWorkAreaKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || !isPlacedWindow(widget))
            return false;
        if (type == QEvent::Show) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            // Windows shown long ago (or gone) are no longer watched.
            m_shown.removeIf([now](const auto &entry) { return now - entry.value() > kFramingMs; });
            m_shown.insert(widget, now);
            // Placed before it is mapped, the window manager frames it there and places it no further.
            if (nativeFrameMargins(widget).isNull()) {
                QRect frame = widget->geometry().marginsAdded(expectedFrameMargins(widget));
                // A dialog not placed by its owner is centred over its parent window (as it would
                // centre itself afterwards, by a frame it does not know yet).
                if (qobject_cast<QDialog *>(widget) && !widget->testAttribute(Qt::WA_Moved)) {
                    const QWidget *parent = widget->parentWidget() ? widget->parentWidget()->window() : nullptr;
                    frame.moveCenter(parent && parent->isVisible() ? parent->frameGeometry().center()
                                                                   : WorkAreaOf(widget).center());
                }
                const QRect inside = FrameInsideArea(frame, WorkAreaOf(widget));
                if (inside.topLeft() != frame.topLeft())
                    MoveFrameTo(widget, inside.topLeft());
            }
            watchFraming(widget);
            return false;
        }
        const auto shown = m_shown.constFind(widget);
        if (shown == m_shown.constEnd())
            return false;
        if (QDateTime::currentMSecsSinceEpoch() - *shown > kFramingMs) {
            // A window the user moves afterwards goes where the user puts it.
            m_shown.remove(widget);
            return false;
        }
        if (widget->isVisible())
            QTimer::singleShot(0, widget, [widget] { MoveFrameIntoWorkArea(widget); });
        return false;
    }

private:
    // The window manager frames and places the window a moment after it shows (longer on a busy
    // machine), at times without a move of the window's own area, and Qt takes the frame of an
    // earlier window for it meanwhile: look for the whole time.
    static void watchFraming(QWidget *widget)
    {
        auto *timer = new QTimer(widget);
        timer->setInterval(kFramingStepMs);
        auto ticks = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, widget, [widget, timer, ticks] {
            // A place asked for before the frame was known went to the window's own area. The
            // widget's idea of its frame waits for a move; the native window's does not.
            const QMargins margins = nativeFrameMargins(widget);
            const QVariant corner = widget->property(kFrameCorner);
            if (!margins.isNull() && corner.isValid()) {
                widget->setProperty(kFrameCorner, QVariant());
                widget->windowHandle()->setPosition(corner.toPoint() + QPoint(margins.left(), margins.top()));
            }
            MoveFrameIntoWorkArea(widget);
            if (!widget->isVisible() || ++*ticks * kFramingStepMs > kFramingMs)
                timer->deleteLater();
        });
        timer->start();
        MoveFrameIntoWorkArea(widget);
    }
    QHash<QObject *, qint64> m_shown;
};

bool isInput(const QWidget *widget)
{
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget) ||
           qobject_cast<const QComboBox *>(widget) || qobject_cast<const QPlainTextEdit *>(widget) ||
           (qobject_cast<const QTextEdit *>(widget) && !static_cast<const QTextEdit *>(widget)->isReadOnly());
}

// A dialog that shows takes the keyboard: it becomes the active window, its first input has the focus.
class TKeyboardGiver : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        // Modal ones: a window shown beside the console (a service's) keeps its focus where it was.
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (!dialog || !dialog->isWindow() || dialog->windowModality() == Qt::NonModal)
            return false;
        const QPointer<QDialog> shown(dialog);
        QTimer::singleShot(0, dialog, [shown] {
            if (!shown || !shown->isVisible())
                return;
            shown->activateWindow();
            const QWidget *focus = shown->focusWidget();
            if (focus && isInput(focus))
                return;
            if (QWidget *first = FirstInputOf(shown))
                first->setFocus(Qt::OtherFocusReason);
        });
        return false;
    }
};

} // namespace

QWidget *FirstInputOf(QWidget *window)
{
    qsizetype bound = window->findChildren<QWidget *>().size() + 1;
    for (QWidget *widget = window->nextInFocusChain(); widget && widget != window && bound-- > 0;
         widget = widget->nextInFocusChain()) {
        // A combo box's own edit stands for the combo box.
        if (widget->window() == window && isInput(widget) && widget->isEnabled() && widget->isVisibleTo(window) &&
            !qobject_cast<QComboBox *>(widget->parentWidget()))
            return widget;
    }
    return nullptr;
}

void GiveDialogsTheKeyboard()
{
    static QPointer<TKeyboardGiver> giver;
    if (giver || !qApp)
        return;
    giver = new TKeyboardGiver(qApp);
    qApp->installEventFilter(giver);
}

int TitleBarWidth(const QString &caption, const QFont &font)
{
    // Window managers draw titles in bold, beside the icon and three buttons.
    QFont title = font;
    title.setBold(true);
    const QFontMetrics metrics(title);
    return metrics.horizontalAdvance(caption) + 12 * metrics.height();
}

QRect FrameInsideArea(const QRect &frame, const QRect &area)
{
    if (area.isEmpty())
        return frame;
    QRect inside(frame.topLeft(), frame.size().boundedTo(area.size()));
    if (inside.right() > area.right())
        inside.moveRight(area.right());
    if (inside.bottom() > area.bottom())
        inside.moveBottom(area.bottom());
    if (inside.left() < area.left())
        inside.moveLeft(area.left());
    if (inside.top() < area.top())
        inside.moveTop(area.top());
    return inside;
}

QRect WorkAreaOf(const QWidget *window)
{
    const QScreen *screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void MoveFrameTo(QWidget *window, const QPoint &corner)
{
    QMargins margins = nativeFrameMargins(window);
    if (margins.isNull()) {
        // Not framed yet: the window manager keeps the window's own area where it is put and
        // frames it as it framed the program's other windows; once framed it is placed again.
        window->setProperty(kFrameCorner, corner);
        margins = expectedFrameMargins(window);
    }
    // The native window's position is its own area's, whatever the widget takes its frame for.
    window->move(corner + QPoint(margins.left(), margins.top()) -
                 (window->geometry().topLeft() - window->frameGeometry().topLeft()));
    if (window->windowHandle())
        window->windowHandle()->setPosition(corner + QPoint(margins.left(), margins.top()));
}

bool MoveFrameIntoWorkArea(QWidget *window)
{
    if (!window || !window->isVisible() || window->isMaximized() || window->isFullScreen() || window->isMinimized())
        return false;
    const QRect frame = window->frameGeometry();
    const QRect inside = FrameInsideArea(frame, WorkAreaOf(window));
    if (inside == frame)
        return false;
    if (inside.size() != frame.size())
        window->resize(window->size() - (frame.size() - inside.size()));
    // move() places a window by its frame.
    window->move(inside.topLeft());
    return true;
}

void KeepWindowsInWorkArea()
{
    static QPointer<TWorkAreaKeeper> keeper;
    if (keeper || !qApp)
        return;
    keeper = new TWorkAreaKeeper(qApp);
    qApp->installEventFilter(keeper);
}
