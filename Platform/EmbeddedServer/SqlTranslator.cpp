#include "EmbeddedServer/SqlTranslator.h"

#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/SessionTables.h"

#include <QPair>
#include <QSet>
#include <QStringList>

namespace {

bool isName(const TSqlToken &t) { return t.kind == TSqlTok::Ident || t.kind == TSqlTok::QuotedIdent; }

// Words before which "A.B (" names a table and its column list, not a function.
bool isTableContext(const TSqlToken *prev)
{
    if (!prev)
        return false;
    static const char *const words[] = {"INTO", "TABLE", "ON", "REFERENCES", "VIEW", "INDEX", "TRIGGER", "EXISTS"};
    for (const char *w : words)
        if (prev->isWord(w))
            return true;
    return false;
}

} // namespace

QString TranslateOracleSql(const QString &input, const QSet<QString> &sessionTables)
{
    const QString sql = DropSingleTableAlias(input);
    const QList<TSqlToken> toks = LexSql(sql);
    // Indexes of the significant tokens, to look around a token quickly.
    QList<int> sig;
    for (int i = 0; i < toks.size(); ++i)
        if (toks[i].kind != TSqlTok::Space && toks[i].kind != TSqlTok::Comment)
            sig.append(i);

    QString out;
    int lastSignificantEnd = 0;
    for (int s = 0; s < sig.size(); ++s) {
        const TSqlToken &t = toks[sig[s]];
        const TSqlToken *prev = s > 0 ? &toks[sig[s - 1]] : nullptr;
        // A dotted name of two or three parts followed by "(": a server function.
        if (isName(t) && !(prev && prev->isOp("."))) {
            int e = s;
            QStringList parts{t.name()};
            while (e + 2 < sig.size() && toks[sig[e + 1]].isOp(".") && isName(toks[sig[e + 2]]) && parts.size() < 3) {
                parts.append(toks[sig[e + 2]].name());
                e += 2;
            }
            // SCHEME.TABLE of a session table: the session's copy.
            if (parts.size() >= 2 && !sessionTables.isEmpty() &&
                sessionTables.contains(SessionTableKey(parts[0], parts[1])) &&
                !(e == s + 2 && e + 1 < sig.size() && toks[sig[e + 1]].isOp("(") && !isTableContext(prev))) {
                const TSqlToken &table = toks[sig[s + 2]];
                out += sql.mid(lastSignificantEnd, t.pos - lastSignificantEnd);
                out += SessionTableSqlName(parts[0], parts[1]);
                lastSignificantEnd = int(table.pos + table.text.size());
                s += 2;
                continue;
            }
            if (parts.size() >= 2 && e + 1 < sig.size() && toks[sig[e + 1]].isOp("(") && !isTableContext(prev)) {
                const int open = sig[e + 1];
                out += sql.mid(lastSignificantEnd, t.pos - lastSignificantEnd);
                out += QStringLiteral("Z$CALL('%1'").arg(parts.join(QLatin1Char('.')));
                const bool noArgs = e + 2 < sig.size() && toks[sig[e + 2]].isOp(")");
                out += noArgs ? QString() : QStringLiteral(", ");
                lastSignificantEnd = int(toks[open].pos + toks[open].text.size());
                s = e + 1;
                continue;
            }
        }
        QString replacement;
        if (t.isWord("SYSDATE") && !(prev && prev->isOp(".")) && !(s + 1 < sig.size() && toks[sig[s + 1]].isOp("(")))
            replacement = QStringLiteral("ZSYSDATE()");
        else if (t.isWord("MINUS"))
            replacement = QStringLiteral("EXCEPT");
        else if (t.isOp(";") && s == sig.size() - 1)
            replacement = QString();
        else {
            out += sql.mid(lastSignificantEnd, int(t.pos + t.text.size()) - lastSignificantEnd);
            lastSignificantEnd = int(t.pos + t.text.size());
            continue;
        }
        out += sql.mid(lastSignificantEnd, t.pos - lastSignificantEnd);
        out += replacement;
        lastSignificantEnd = int(t.pos + t.text.size());
    }
    out += sql.mid(lastSignificantEnd);
    return RewriteConcatenation(out, QStringLiteral("Z$CONCAT"));
}
