// zpgbuild: a private PostgreSQL server with the demo scheme.
//
//   zpgbuild serve <folder> <Scheme/postgres> <Servers.ini> <alias> [--database NAME]
//       makes the cluster in the folder when missing, starts it (its socket in
//       the folder, and localhost on a free port kept for the next start),
//       installs the demo scheme or upgrades the one there in place, names it
//       as the alias in Servers.ini and prints the alias
//   zpgbuild stop <folder>
//       stops the folder's server
#include "Core/Exceptions.h"
#include "tools/pgbuild/PgCluster.h"
#include "tools/pgbuild/PgSchemeInstaller.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: zpgbuild serve <folder> <Scheme/postgres> <Servers.ini> <alias> [--database NAME]\n"
                         "       zpgbuild stop <folder>\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString database = QStringLiteral("zandrell");
    const qsizetype named = args.indexOf(QStringLiteral("--database"));
    if (named >= 0) {
        if (named + 1 >= args.size())
            return usage();
        database = args[named + 1];
        args.remove(named, 2);
    }
    try {
        if (args.size() == 2 && args[0] == QLatin1String("stop")) {
            TPgCluster::StopFolder(args[1]);
            return 0;
        }
        if (args.size() != 5 || args[0] != QLatin1String("serve"))
            return usage();
        if (const QString why = TPgCluster::Unavailable(); !why.isEmpty()) {
            std::fprintf(stderr, "zpgbuild: %s\n", qPrintable(why));
            return 1;
        }
        TPgCluster cluster;
        cluster.Start(args[1], -1);
        const TPgInstallResult r = InstallPgScheme(cluster.Administrator(), args[2], database);
        TPgServerPlace place = cluster.Administrator();
        WritePostgresAlias(args[3], args[4], place, database);
        std::fprintf(stderr, "zpgbuild: scheme version %d %s in database %s of the server in %s (port %d)\n", r.version,
                     r.created ? "installed" : "upgraded", qPrintable(database), qPrintable(cluster.Folder()),
                     cluster.Port());
        std::printf("%s\n", qPrintable(args[4]));
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zpgbuild: %s\n", e.what());
        return 1;
    }
}
