#pragma once
// The console's own version information: the six values that the
// console-information messages send, read from the version resource of the
// program file (the block 041904E3). An absent value reads as empty, and so
// does every value of a file without version information.
#include "Console/uConsoleInfo.h"

// InternalName, FileDescription, FileVersion, LegalCopyright, ProductVersion, Comments.
TConsoleVersionInfo ConsoleVersionInfo();
// The same values read from the given program file.
TConsoleVersionInfo ConsoleVersionInfoOf(const QString &programFile);
