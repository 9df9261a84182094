#pragma once
// Windows on the screen: every top-level window the program shows is placed
// by its frame (the window manager's title bar and borders included) inside
// the work area of its screen (the screen less the panels and the tray). A
// dialog centred over the narrow main window at the top edge would otherwise
// put its client area at the top and its title bar above the screen.
#include "Core/PlatformExport.h"

#include <QRect>

class QWidget;

// The frame moved (and, when larger than the area, cut to it) so that it lies inside the area.
PLATFORM_EXPORT QRect FrameInsideArea(const QRect &frame, const QRect &area);
// The work area of the screen the window is on (or of the primary screen).
PLATFORM_EXPORT QRect WorkAreaOf(const QWidget *window);
// Moves a shown window so that its frame is inside its work area; true when it moved.
PLATFORM_EXPORT bool MoveFrameIntoWorkArea(QWidget *window);
// From now on every top-level window is kept inside the work area when it is
// shown and while the window manager frames it; a window that places itself
// (the main window) opts out with the property "placesItself".
PLATFORM_EXPORT void KeepWindowsInWorkArea();
