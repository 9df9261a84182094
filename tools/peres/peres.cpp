// peres: lists the resources of executable files, for developers.
//
//   peres FILE...
//
// Prints, per file, its resource types, their names and what the groups,
// string tables, menus and bitmaps hold, then three strings of its version
// resource; a damaged resource gives an ERROR line and the listing goes on.
// The exit status is 1 when a file or one of its resources could not be
// read, else 0.
#include "tools/peres/uResourceDump.h"

#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs("usage: peres FILE...\n", stderr);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        QByteArray out;
        if (DumpResourceFile(QFile::decodeName(argv[i]), QByteArray(argv[i]), out) != 0)
            status = 1;
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    }
    std::fflush(stdout);
    return status;
}
