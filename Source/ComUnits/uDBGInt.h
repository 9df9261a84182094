#pragma once
// The debugging library DBG.so: a developer's switch. A workstation with the
// file beside the program loads it at the console's start and hands its entry
// _DBGInitialize the main window; while it is loaded the forms offer the
// capture of their Russian texts for the language pack (Ctrl+Shift+F12).
// A normal installation has no such file, and then nothing happens at all.
#include "Core/PlatformExport.h"

#include <QString>

class QWidget;

extern "C" {
// The library's entry: the console's main window.
typedef void (*TDBGInitialize)(QWidget *mainWindow);
}

inline constexpr char kDBGInitialize[] = "_DBGInitialize";

namespace DBGInt {

// The library's file name on this platform, and its path in the program folder.
PLATFORM_EXPORT QString LibraryFileName();
PLATFORM_EXPORT QString LibraryPath();
// Loads the library of the program folder once and calls its entry with the
// window. Without the file nothing happens; a file that does not load, or a
// library without the entry, is reported in a message box. True when the
// library is loaded (with or without its entry).
PLATFORM_EXPORT bool LoadDBG(QWidget *mainWindow);
// Whether the library has been loaded in this run.
PLATFORM_EXPORT bool DBGLoaded();
// Lets the library go (the end of the run; tests).
PLATFORM_EXPORT void FreeDBG();
// The message of a library without its entry.
PLATFORM_EXPORT QString MissingEntryText();

} // namespace DBGInt
