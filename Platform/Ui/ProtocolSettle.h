#pragma once
// The settle step of the unattended protocol (Core/ProtocolInput.h): before
// the next command line is read, the effects of the last one complete. Its
// posted events are handled, and a window it showed (or asked to bring to
// the front) has become the active one, under a window manager as under the
// offscreen platform, so that a script never needs to sleep between lines
// and real key presses reach the window the script has just opened.
#include "Core/PlatformExport.h"

class QWidget;

// Lets the last command's effects complete; at most a few seconds for an activation that never comes.
PLATFORM_EXPORT void SettleProtocolCommand();
// A window already shown that the program brings to the front: the next settle waits for it too.
PLATFORM_EXPORT void ExpectActiveWindow(QWidget *window);
