// zdbbuild <Scheme folder> <installation folder>: builds the demo server
// Db/ZANDRELL of the installation from the scheme's text files and names it
// in the installation's Servers.ini.
#include "Core/Exceptions.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: zdbbuild <Scheme folder> <installation folder>\n");
        return 2;
    }
    const QDir dist(args[2]);
    try {
        const TDbBuildResult r = BuildServerFolder(args[1], dist.filePath(QStringLiteral("Db/ZANDRELL")));
        WriteServerAlias(dist.filePath(QStringLiteral("Servers.ini")), QStringLiteral("ZANDRELL"),
                         QStringLiteral("Db/ZANDRELL"));
        std::printf("zdbbuild: %d statements, schemes %s\n", r.statements,
                    qPrintable(r.schemes.join(QLatin1String(", "))));
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zdbbuild: %s\n", e.what());
        return 1;
    }
}
