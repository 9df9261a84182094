#pragma once
// Where the service windows open: at the place and size the user last left
// each service's window (Console.ini [WINDOWS], one key per service), else
// cascaded, each offset from the last one, inside the work area below the
// main window.
#include <QPoint>
#include <QRect>
#include <QString>

class QWidget;

// The next place of a cascade: the last frame's corner moved by one step, back to
// the start when the frame would leave the area.
QPoint NextCascadePlace(const QRect &lastFrame, const QSize &frameSize, const QRect &area, const QPoint &start);
// "x,y,width,height" of a frame's corner and the window's inner size, and back (a null rect when not such a text).
QString WindowPlaceText(const QPoint &frameCorner, const QSize &size);
QRect WindowPlaceFromText(const QString &text);

class TWindowPlaces {
public:
    // Places a service window at its first showing: its remembered place, else the next place of the cascade.
    // `top` is the first line of the area below the main window.
    void Place(QWidget *window, const QString &serviceKey, int top);
    // Stores the window's place for the service.
    void Remember(const QWidget *window, const QString &serviceKey) const;
    // Cascades the windows over again (the "Cascade" command), from the start.
    void Cascade(const QList<QWidget *> &windows, int top);

private:
    QRect m_last;
};
