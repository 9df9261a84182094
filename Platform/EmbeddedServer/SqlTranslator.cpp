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

// "UPDATE T A SET A.X = 1 WHERE A.Y = 2" -> "UPDATE T SET X = 1 WHERE Y = 2" (and the
// same for DELETE): SQLite names the one table of these statements by itself.
QString DropSingleTableAlias(const QString &sql)
{
    const QList<TSqlToken> toks = LexSql(sql);
    QList<int> sig;
    for (int i = 0; i < toks.size(); ++i)
        if (toks[i].kind != TSqlTok::Space && toks[i].kind != TSqlTok::Comment)
            sig.append(i);
    if (sig.isEmpty())
        return sql;
    int s = 0;
    if (toks[sig[0]].isWord("UPDATE"))
        s = 1;
    else if (toks[sig[0]].isWord("DELETE") && sig.size() > 1 && toks[sig[1]].isWord("FROM"))
        s = 2;
    else
        return sql;
    // The table name: NAME or SCHEME.NAME.
    if (s >= sig.size() || !isName(toks[sig[s]]))
        return sql;
    ++s;
    if (s + 1 < sig.size() && toks[sig[s]].isOp(".") && isName(toks[sig[s + 1]]))
        s += 2;
    const int tableEnd = sig[s - 1];
    if (s < sig.size() && toks[sig[s]].isWord("AS"))
        ++s;
    if (s >= sig.size() || !isName(toks[sig[s]]) || toks[sig[s]].isWord("SET") || toks[sig[s]].isWord("WHERE"))
        return sql;
    const QString alias = toks[sig[s]].name();
    QSet<int> drop; // token indexes to leave out: "[AS] alias" with the blanks before it
    for (int k = tableEnd + 1; k <= sig[s]; ++k)
        drop.insert(k);
    for (int k = s + 1; k + 1 < sig.size(); ++k)
        if (isName(toks[sig[k]]) && toks[sig[k]].name() == alias && toks[sig[k + 1]].isOp(".") &&
            !(k > 0 && toks[sig[k - 1]].isOp("."))) {
            drop.insert(sig[k]);
            drop.insert(sig[k + 1]);
        }
    QString out;
    for (int i = 0; i < toks.size(); ++i)
        if (!drop.contains(i))
            out += toks[i].text;
    return out;
}

} // namespace

// Where the primary expression that starts at significant token s ends (the
// index after it), or -1 when it is none: a literal, a bind, a dotted name, a
// function call or a parenthesised expression.
int PrimaryEnd(const QList<TSqlToken> &toks, const QList<int> &sig, int s)
{
    if (s >= sig.size())
        return -1;
    const TSqlToken &t = toks[sig[s]];
    auto skipParens = [&](int open) {
        int depth = 0;
        for (int k = open; k < sig.size(); ++k) {
            if (toks[sig[k]].isOp("("))
                ++depth;
            else if (toks[sig[k]].isOp(")") && --depth == 0)
                return k + 1;
        }
        return -1;
    };
    if (t.kind == TSqlTok::String || t.kind == TSqlTok::Number || t.kind == TSqlTok::Bind)
        return s + 1;
    if (t.isOp("("))
        return skipParens(s);
    if (!isName(t))
        return -1;
    int e = s + 1;
    while (e + 1 < sig.size() && toks[sig[e]].isOp(".") && (isName(toks[sig[e + 1]]) || toks[sig[e + 1]].isOp("*")))
        e += 2;
    if (e < sig.size() && toks[sig[e]].isOp("("))
        return skipParens(e);
    return e;
}

bool isArithmetic(const TSqlToken &t) { return t.isOp("+") || t.isOp("-") || t.isOp("*") || t.isOp("/"); }

// "A || B || C" -> "Z$CONCAT(A, B, C)": Oracle's "||" skips NULLs where SQLite's
// gives NULL. Only chains of plain operands are rewritten; next to arithmetic
// (whose order differs between the two) the chain stays as written.
QString RewriteConcatenation(const QString &sql)
{
    const QList<TSqlToken> toks = LexSql(sql);
    QList<int> sig;
    for (int i = 0; i < toks.size(); ++i)
        if (toks[i].kind != TSqlTok::Space && toks[i].kind != TSqlTok::Comment)
            sig.append(i);
    QString out;
    int last = 0; // characters of sql written so far
    for (int s = 0; s < sig.size(); ++s) {
        const int end = PrimaryEnd(toks, sig, s);
        if (end < 0 || end >= sig.size() || !toks[sig[end]].isOp("||"))
            continue;
        if (s > 0 && (isArithmetic(toks[sig[s - 1]]) || toks[sig[s - 1]].isOp("||") || toks[sig[s - 1]].isOp(".")))
            continue;
        QList<QPair<int, int>> operands{{s, end}};
        int e = end;
        while (e < sig.size() && toks[sig[e]].isOp("||")) {
            const int next = PrimaryEnd(toks, sig, e + 1);
            if (next < 0)
                break;
            operands.append({e + 1, next});
            e = next;
        }
        if (operands.size() < 2 || (e < sig.size() && (isArithmetic(toks[sig[e]]) || toks[sig[e]].isOp("||"))))
            continue;
        auto text = [&](int from, int to) {
            const TSqlToken &a = toks[sig[from]];
            const TSqlToken &b = toks[sig[to - 1]];
            return sql.mid(a.pos, b.pos + b.text.size() - a.pos);
        };
        QStringList parts;
        for (const auto &o : operands)
            parts.append(RewriteConcatenation(text(o.first, o.second)));
        out += sql.mid(last, toks[sig[s]].pos - last);
        out += QStringLiteral("Z$CONCAT(") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
        const TSqlToken &lastTok = toks[sig[e - 1]];
        last = int(lastTok.pos + lastTok.text.size());
        s = e - 1;
    }
    out += sql.mid(last);
    return out;
}

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
    return RewriteConcatenation(out);
}
