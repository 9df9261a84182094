#pragma once
// The console's own version information, compiled in from the project's
// version: the six values the console-information messages send.
#include "uConsoleInfo.h"

// InternalName, FileDescription, FileVersion, LegalCopyright, ProductVersion, Comments.
TConsoleVersionInfo ConsoleVersionInfo();
