#include "EmbeddedServer/SessionTables.h"

#include "DataAccess/DAError.h"
#include "DataAccess/SqlLexer.h"

namespace {

bool isName(const TSqlToken &t) { return t.kind == TSqlTok::Ident || t.kind == TSqlTok::QuotedIdent; }

[[noreturn]] void refuse(const QString &why)
{
    RaiseOraError(922, QStringLiteral("missing or invalid option (%1)").arg(why));
}

} // namespace

QString SessionTableKey(const QString &scheme, const QString &table)
{
    return scheme.toUpper() + QLatin1Char('.') + table.toUpper();
}

QString SessionTableSqlName(const QString &scheme, const QString &table)
{
    return QStringLiteral("temp.\"%1\"").arg(SessionTableKey(scheme, table));
}

std::optional<TSessionTableDecl> ParseSessionTableDeclaration(const QString &sql)
{
    const QList<TSqlToken> t = SignificantTokens(sql);
    if (t.size() < 4 || !t[0].isWord("CREATE") || !t[1].isWord("GLOBAL") || !t[2].isWord("TEMPORARY") ||
        !t[3].isWord("TABLE"))
        return std::nullopt;
    if (t.size() < 8 || !isName(t[4]) || !t[5].isOp(".") || !isName(t[6]) || !t[7].isOp("("))
        refuse(QStringLiteral("a session table is named with its scheme: SCHEME.TABLE (...)"));
    int depth = 0;
    int close = -1;
    for (int i = 7; i < t.size() && close < 0; ++i) {
        if (t[i].isOp("("))
            ++depth;
        else if (t[i].isOp(")") && --depth == 0)
            close = i;
    }
    if (close < 0)
        RaiseOraError(907, QStringLiteral("missing right parenthesis"));
    // Only rows kept for the whole session: the marks of a session live until it ends.
    const bool preserve = close + 4 < t.size() && t[close + 1].isWord("ON") && t[close + 2].isWord("COMMIT") &&
                          t[close + 3].isWord("PRESERVE") && t[close + 4].isWord("ROWS");
    if (!preserve)
        refuse(QStringLiteral("a session table keeps its rows: ON COMMIT PRESERVE ROWS"));
    for (int i = close + 5; i < t.size(); ++i)
        if (!t[i].isOp(";"))
            refuse(t[i].text);
    const int from = t[7].pos + 1;
    return TSessionTableDecl{t[4].name().toUpper(), t[6].name().toUpper(),
                             sql.mid(from, t[close].pos - from).trimmed()};
}
