#include "tools/pgbuild/PgSchemeInstaller.h"

#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/DAError.h"
#include "DataAccess/SqlLexer.h"
#include "PostgresServer/PgConnection.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

TPgConnectInfo connectInfo(const TPgServerPlace &place, const QString &database)
{
    TPgConnectInfo info;
    info.host = place.host;
    info.port = place.port;
    info.user = place.user;
    info.password = place.password;
    info.database = database;
    info.settings = {{QStringLiteral("client_min_messages"), QStringLiteral("warning")}};
    return info;
}

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EOSError(QStringLiteral("Cannot read \"%1\": %2").arg(path, f.errorString()));
    return QString::fromUtf8(f.readAll());
}

// A file of this folder whose first line is "--@rows <path>" holds no rows of
// its own: the rows are those of the embedded scheme's file at <path> (relative
// to this folder), kept in one place so that the two demo schemes never drift.
QString schemeFileText(const QDir &source, const QString &file)
{
    const QString text = readText(source.filePath(file));
    static const QRegularExpression shared(QStringLiteral("^--@rows\\s+(\\S+)"));
    const QRegularExpressionMatch m = shared.match(text);
    return m.hasMatch() ? readText(source.filePath(m.captured(1))) : text;
}

struct TScriptStatement {
    QString text;
    int line = 1; // where it starts in its file
};

// The statements of a script, split at ";" outside literals, quoted names,
// comments and dollar-quoted bodies ($$ ... $$, $tag$ ... $tag$).
QList<TScriptStatement> splitScript(const QString &text)
{
    QList<TScriptStatement> out;
    const qsizetype n = text.size();
    qsizetype start = 0;
    auto finish = [&](qsizetype end) {
        qsizetype first = start;
        while (first < end && text[first].isSpace())
            ++first;
        const QString statement = text.mid(first, end - first).trimmed();
        bool significant = false;
        for (const QString &line : statement.split(QLatin1Char('\n')))
            significant = significant || (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1String("--")));
        if (significant)
            out.append({statement, int(text.left(first).count(QLatin1Char('\n'))) + 1});
        start = end + 1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
            while (i < n && text[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 1;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            for (++i; i < n && text[i] != c; ++i) {
            }
        } else if (c == QLatin1Char('$')) {
            qsizetype j = i + 1;
            while (j < n && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_')))
                ++j;
            if (j < n && text[j] == QLatin1Char('$') &&
                !(i > 0 && (text[i - 1].isLetterOrNumber() || text[i - 1] == '_'))) {
                const QString tag = text.mid(i, j - i + 1);
                const qsizetype end = text.indexOf(tag, j + 1);
                i = end < 0 ? n : end + tag.size() - 1;
            }
        } else if (c == QLatin1Char(';')) {
            finish(i);
        }
    }
    finish(n);
    return out;
}

QString quotedName(const QString &name) { return QLatin1Char('"') + QString(name).replace("\"", "\"\"") + '"'; }

void makeDatabase(const TPgServerPlace &place, const QString &database)
{
    TPgConnection server;
    server.Open(connectInfo(place, QStringLiteral("postgres")));
    if (server.Scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_database WHERE datname = $1"), {database})
            .toInt() == 0)
        server.ExecDirect(
            QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(quotedName(database)));
}

// The shared resource strings of the console in every scheme that has a language pack.
void addResourceStrings(TPgConnection &c)
{
    const QVariantList schemes = [&] {
        QVariantList out;
        const TExecResult r =
            c.Run(QStringLiteral("SELECT DISTINCT lower(o.owner) FROM sys.server_objects o "
                                 "WHERE to_regclass(quote_ident(lower(o.owner)) || '.lang_texts') IS NOT NULL"));
        for (const QVector<QVariant> &row : r.rows.rows)
            out << row[0];
        return out;
    }();
    QStringList rows;
    QStringList ids = ResStrIds();
    ids.removeDuplicates();
    for (const QString &id : ids)
        rows << QStringLiteral("(%1, 25, %2), (%1, 9, %3)")
                    .arg(QuotedSqlString(id), QuotedSqlString(ResStrRu(id)), QuotedSqlString(ResStrEn(id)));
    if (rows.isEmpty())
        return;
    for (const QVariant &scheme : schemes)
        c.ExecDirect(QStringLiteral("INSERT INTO %1.lang_texts (res_key, lang_id, txt) VALUES %2 "
                                    "ON CONFLICT (res_key, lang_id) DO UPDATE SET txt = EXCLUDED.txt")
                         .arg(quotedName(scheme.toString()), rows.join(QStringLiteral(", "))));
}

} // namespace

TPgInstallResult InstallPgScheme(const TPgServerPlace &administrator, const QString &sourceDir, const QString &database)
{
    const QDir source(sourceDir);
    const QStringList files = source.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        throw EOSError(QStringLiteral("No scheme files (*.sql) in \"%1\"").arg(sourceDir));
    makeDatabase(administrator, database);
    TPgConnection c;
    c.Open(connectInfo(administrator, database));
    TPgInstallResult result;
    result.created = c.Scalar(QStringLiteral("SELECT to_regclass('zandrell5.accesslist') IS NULL")).toBool();
    c.Begin();
    try {
        for (const QString &file : files) {
            if (file.contains(QLatin1String("demo"), Qt::CaseInsensitive) && !result.created)
                continue;
            for (const TScriptStatement &st : splitScript(schemeFileText(source, file))) {
                try {
                    c.ExecDirect(st.text);
                } catch (const EDAError &e) {
                    throw EDAError(e.ErrorCode(), QStringLiteral("%1, line %2: %3\n%4")
                                                      .arg(source.filePath(file))
                                                      .arg(st.line)
                                                      .arg(e.message(), st.text.left(300)));
                }
            }
            c.ExecDirect(QStringLiteral("RESET ROLE"));
            result.files << file;
        }
        addResourceStrings(c);
        result.version = c.Scalar(QStringLiteral("SELECT max(version) FROM zandrell5.scheme_version")).toInt();
        c.Commit();
    } catch (...) {
        c.Rollback();
        throw;
    }
    return result;
}

void WritePostgresAlias(const QString &serversIni, const QString &alias, const TPgServerPlace &place,
                        const QString &database)
{
    TIniFile ini(serversIni);
    ini.WriteString(alias, QStringLiteral("Backend"), QStringLiteral("postgres"));
    ini.WriteString(alias, QStringLiteral("Host"), place.host);
    ini.WriteString(alias, QStringLiteral("Port"), QString::number(place.port));
    ini.WriteString(alias, QStringLiteral("Database"), database);
}
