#include "Ui/WindowPlacement.h"

#include <QApplication>
#include <QDateTime>
#include <QHash>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

// How long after showing a window its frame is watched: the window manager frames it meanwhile.
constexpr qint64 kFramingMs = 2000;

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
            QTimer::singleShot(0, widget, [widget] { MoveFrameIntoWorkArea(widget); });
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
    QHash<QObject *, qint64> m_shown;
};

} // namespace

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
