#include "tools/dbbuild/DbBuilder.h"

#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString ReadText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EOSError(QStringLiteral("Cannot read \"%1\": %2").arg(path, f.errorString()));
    return QString::fromUtf8(f.readAll());
}

int RunScript(TSqliteBackend &backend, const QString &path)
{
    const QStringList statements = SplitSqlScript(ReadText(path));
    int n = 0;
    for (const QString &sql : statements) {
        ++n;
        TOraParams none;
        try {
            backend.Execute(sql, none);
        } catch (const EDAError &e) {
            throw EDAError(e.ErrorCode(),
                           QStringLiteral("%1, statement %2: %3\n%4").arg(path).arg(n).arg(e.message(), sql.left(400)));
        }
    }
    return n;
}

void AddResourceStrings(TSqliteConnection &c, const QString &scheme)
{
    TSqliteConnection::InternalScope internal(c);
    const QString table = QStringLiteral("\"%1\".LANG_TEXTS").arg(scheme);
    for (const QString &id : ResStrIds()) {
        c.Exec(QStringLiteral("INSERT OR REPLACE INTO %1 (RES_KEY, LANG_ID, TXT) VALUES (?, 25, ?)").arg(table),
               {id, ResStrRu(id)});
        c.Exec(QStringLiteral("INSERT OR REPLACE INTO %1 (RES_KEY, LANG_ID, TXT) VALUES (?, 9, ?)").arg(table),
               {id, ResStrEn(id)});
    }
}

} // namespace

QStringList SplitSqlScript(const QString &text)
{
    QStringList out;
    int depth = 0;
    int start = 0;
    for (const TSqlToken &t : LexSql(text)) {
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        else if (t.isOp(";") && depth == 0) {
            const QString sql = text.mid(start, t.pos - start);
            if (!SignificantTokens(sql).isEmpty())
                out.append(sql.trimmed());
            start = t.pos + 1;
        }
    }
    const QString rest = text.mid(start);
    if (!SignificantTokens(rest).isEmpty())
        out.append(rest.trimmed());
    return out;
}

TDbBuildResult BuildServerFolder(const QString &schemeSourceDir, const QString &serverFolder)
{
    const QDir source(schemeSourceDir);
    if (!source.exists())
        throw EOSError(QStringLiteral("The scheme sources \"%1\" do not exist").arg(schemeSourceDir));
    // Build beside the target and move it into place at the end, so a failed
    // build never leaves half a server behind.
    const QString building = QDir::cleanPath(serverFolder) + QStringLiteral(".building");
    QDir(building).removeRecursively();
    TDbBuildResult result;
    {
        TSqliteBackend backend;
        backend.OpenAsAdministrator(building, true);
        if (source.exists(QStringLiteral("accounts.sql")))
            result.statements += RunScript(backend, source.filePath(QStringLiteral("accounts.sql")));
        for (const QString &scheme : source.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            // A scheme's folder is named in capitals; "postgres" holds the
            // same schemes for a PostgreSQL server (tools/pgbuild).
            if (!TSqliteConnection::IsValidSchemeName(scheme) || scheme != scheme.toUpper())
                continue;
            backend.CreateScheme(scheme);
            const QDir dir(source.filePath(scheme));
            for (const QString &file : dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name))
                result.statements += RunScript(backend, dir.filePath(file));
            TSqliteConnection &c = *backend.Connection();
            bool hasTexts = false;
            {
                TSqliteConnection::InternalScope internal(c);
                hasTexts = c.Scalar(QStringLiteral(
                                        "SELECT count(*) FROM \"%1\".sqlite_master WHERE upper(name) = 'LANG_TEXTS'")
                                        .arg(scheme.toUpper()))
                               .toInt() > 0;
            }
            if (hasTexts)
                AddResourceStrings(c, scheme.toUpper());
            result.schemes.append(scheme.toUpper());
        }
        backend.Commit();
        backend.Disconnect();
    }
    QDir(serverFolder).removeRecursively();
    QDir().mkpath(QFileInfo(serverFolder).absolutePath());
    if (!QDir().rename(building, serverFolder))
        throw EOSError(QStringLiteral("Cannot move \"%1\" to \"%2\"").arg(building, serverFolder));
    return result;
}

void WriteServerAlias(const QString &serversIni, const QString &alias, const QString &path)
{
    TIniFile ini(serversIni);
    ini.WriteString(alias, QStringLiteral("Backend"), QStringLiteral("sqlite"));
    ini.WriteString(alias, QStringLiteral("Path"), path);
}
