#pragma once
// The resource listing that the peres tool prints for one file: the file
// name, each resource type and its names, what each icon or cursor group,
// string table, menu and bitmap holds, and three strings of the version
// resource. A damaged resource gives an ERROR line where its own lines would
// have gone, and the listing goes on with the next one; a file that cannot be
// opened, or whose list of types is damaged, ends its listing with one.
#include <QByteArray>
#include <QString>

// Appends the listing of the file to `out` (UTF-8 text, two blanks per
// level); returns 0, or 1 when the file or any of its resources failed with
// an EExeError. The first line is `shownName` exactly as given.
int DumpResourceFile(const QString &fileName, const QByteArray &shownName, QByteArray &out);
// The same for the bytes of a file already in memory.
int DumpResourceBytes(const QByteArray &bytes, const QByteArray &shownName, QByteArray &out);
