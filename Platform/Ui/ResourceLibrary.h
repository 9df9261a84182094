#pragma once
// The console's resource library LumRes.so: a shared object that carries
// bitmaps as Qt resources named by number (":/LumRes/53.xpm"). It is loaded by
// name when the program starts and kept for the whole run; while it is not
// loaded every window keeps its own design-time images.
#include "Core/PlatformExport.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

// Loads the library from the given path; false (and nothing shown) when it is missing or broken.
PLATFORM_EXPORT bool LoadResourceLibrary(const QString &path);
PLATFORM_EXPORT void FreeResourceLibrary();
PLATFORM_EXPORT bool ResourceLibraryLoaded();
// The bitmap of that number, or a null pixmap when the library is not loaded or lacks it.
PLATFORM_EXPORT QPixmap ResourceBitmap(int id);
// The same bitmap as a glyph: its magenta background (red 255, green 0, blue
// 255) made transparent. A null icon when there is no such bitmap.
PLATFORM_EXPORT QIcon ResourceGlyph(int id);
// The library's file name on this platform.
PLATFORM_EXPORT QString ResourceLibraryFileName();
