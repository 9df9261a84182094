#pragma once
// Message boxes and modal windows on the screen, and the unattended protocol
// for them. Loading this library makes them the program's default dialog
// services; UseWindowedDialogs does it again (after a test replaced them).
#include "Core/PlatformExport.h"

PLATFORM_EXPORT void UseWindowedDialogs();
