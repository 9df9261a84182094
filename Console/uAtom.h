#pragma once
// The console's system-wide mark "LUM_ATOM": other programs of the user see
// from it how many consoles run. Each console holds a lock on a file of its
// own in the user's runtime folder (uConsoleLink.h) from its start to its
// end; the system drops the lock when the process dies, so a killed console
// is never counted.
#include <QString>

// Adds this console's file and takes its lock, after clearing the files and
// sockets of consoles that are gone; false when the system refused (the
// console runs on without it).
bool AddConsoleAtom();
// Removes what AddConsoleAtom added; does nothing when nothing was added.
void DeleteConsoleAtom();
// How many consoles run now (their locks are held); 0 when none.
int AtomExists();
// The same count, under its older name.
inline int ConsoleAtomCount() { return AtomExists(); }
