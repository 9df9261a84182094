#include "Console/uWindowPlaces.h"

#include "Console/uConsoleCfg.h"
#include "Ui/WindowPlacement.h"

#include <QWidget>

namespace {

const QString kWindows = QStringLiteral("WINDOWS");
// One step of the cascade: about a title bar down and as much to the right.
constexpr int kCascadeStep = 28;
constexpr int kMargin = 8;

QRect areaBelow(const QWidget *window, int top)
{
    QRect area = WorkAreaOf(window);
    if (top > area.top() && top < area.bottom() - 100)
        area.setTop(top);
    return area;
}

} // namespace

QPoint NextCascadePlace(const QRect &lastFrame, const QSize &frameSize, const QRect &area, const QPoint &start)
{
    if (lastFrame.isNull())
        return start;
    const QPoint next = lastFrame.topLeft() + QPoint(kCascadeStep, kCascadeStep);
    const QRect frame(next, frameSize);
    if (frame.right() > area.right() || frame.bottom() > area.bottom())
        return start;
    return next;
}

QString WindowPlaceText(const QPoint &frameCorner, const QSize &size)
{
    return QStringLiteral("%1,%2,%3,%4").arg(frameCorner.x()).arg(frameCorner.y()).arg(size.width()).arg(size.height());
}

QRect WindowPlaceFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return QRect();
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return QRect();
    }
    if (values[2] <= 0 || values[3] <= 0)
        return QRect();
    return QRect(values[0], values[1], values[2], values[3]);
}

void TWindowPlaces::Place(QWidget *window, const QString &serviceKey, int top)
{
    const QRect area = areaBelow(window, top);
    const QRect remembered = WindowPlaceFromText(ConsoleIni().ReadString(kWindows, serviceKey, QString()));
    if (!remembered.isNull()) {
        // A place on a screen that is no longer there comes back inside the work area.
        const QRect inside = FrameInsideArea(remembered, WorkAreaOf(window));
        window->resize(inside.size());
        MoveFrameTo(window, inside.topLeft());
        m_last = QRect(inside.topLeft(), window->frameGeometry().size());
        return;
    }
    const QPoint start = area.topLeft() + QPoint(kMargin, kMargin);
    const QSize frameSize = window->frameGeometry().size().boundedTo(area.size());
    const QPoint place = NextCascadePlace(m_last, frameSize, area, start);
    MoveFrameTo(window, place);
    m_last = QRect(place, frameSize);
}

void TWindowPlaces::Remember(const QWidget *window, const QString &serviceKey) const
{
    if (serviceKey.isEmpty() || window->isMaximized() || window->isMinimized())
        return;
    const QString place = WindowPlaceText(window->frameGeometry().topLeft(), window->size());
    if (ConsoleIni().ReadString(kWindows, serviceKey, QString()) == place)
        return;
    WriteConsoleIni([&](TIniFile::TEdit &edit) { edit.WriteString(kWindows, serviceKey, place); });
}

void TWindowPlaces::Cascade(const QList<QWidget *> &windows, int top)
{
    m_last = QRect();
    for (QWidget *window : windows) {
        const QRect area = areaBelow(window, top);
        const QPoint place =
            NextCascadePlace(m_last, window->frameGeometry().size(), area, area.topLeft() + QPoint(kMargin, kMargin));
        window->move(place);
        window->raise();
        m_last = QRect(place, window->frameGeometry().size());
    }
}
