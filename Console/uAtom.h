#pragma once
// The console's system-wide mark "LUM_ATOM": a named counter that other
// programs can read to see that a console is running. The console adds one
// at start and removes it on every exit through the outer clean-up.
#include <QString>

// The name under which the counter is published.
QString ConsoleAtomName();
// Adds one to the counter; false when the system refused (the console runs on without it).
bool AddConsoleAtom();
// Removes what AddConsoleAtom added; does nothing when nothing was added.
void DeleteConsoleAtom();
// How many consoles hold the mark now (0 when there is no counter).
int ConsoleAtomCount();
