#pragma once
// Windows on the screen and the keyboard: every top-level window the program shows is placed
// by its frame (the window manager's title bar and borders included) inside
// the work area of its screen (the screen less the panels and the tray). A
// dialog centred over the narrow main window at the top edge would otherwise
// put its client area at the top and its title bar above the screen.
#include "Core/PlatformExport.h"

#include <QRect>

class QWidget;

class QFont;
class QString;

// The width a window needs for its caption in the title bar: the caption in the bold title
// font beside the window manager's icon and its three buttons.
PLATFORM_EXPORT int TitleBarWidth(const QString &caption, const QFont &font);
// The frame moved (and, when larger than the area, cut to it) so that it lies inside the area.
PLATFORM_EXPORT QRect FrameInsideArea(const QRect &frame, const QRect &area);
// Places the window's frame corner there: now, and again once the window manager has framed a
// window just shown (until then the place goes to the window's own area, below the title bar).
PLATFORM_EXPORT void MoveFrameTo(QWidget *window, const QPoint &corner);
// The work area of the screen the window is on (or of the primary screen).
PLATFORM_EXPORT QRect WorkAreaOf(const QWidget *window);
// Moves a shown window so that its frame is inside its work area; true when it moved.
PLATFORM_EXPORT bool MoveFrameIntoWorkArea(QWidget *window);
// From now on every top-level window is kept inside the work area when it is
// shown and while the window manager frames it; a window that places itself
// (the main window) opts out with the property "placesItself".
PLATFORM_EXPORT void KeepWindowsInWorkArea();
// From now on every modal dialog that shows is made the active window, with the keyboard in its first
// input (an edit, a combo box, a spin box) unless it has put the focus somewhere itself.
PLATFORM_EXPORT void GiveDialogsTheKeyboard();
// The first enabled input of a window in tab order, or null.
PLATFORM_EXPORT QWidget *FirstInputOf(QWidget *window);
