#include "DataAccess/SqlLexer.h"

#include <QPair>
#include <QSet>

namespace {

bool isIdentStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('#');
}

bool isName(const TSqlToken &t) { return t.kind == TSqlTok::Ident || t.kind == TSqlTok::QuotedIdent; }

// Where the primary expression that starts at significant token s ends (the
// index after it), or -1 when it is none: a literal, a bind, a dotted name, a
// function call or a parenthesised expression.
int primaryEnd(const QList<TSqlToken> &toks, const QList<int> &sig, int s)
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

} // namespace

bool TSqlToken::isWord(const char *upperWord) const
{
    return kind == TSqlTok::Ident && text.compare(QLatin1String(upperWord), Qt::CaseInsensitive) == 0;
}

QString TSqlToken::name() const
{
    if (kind == TSqlTok::QuotedIdent)
        return text.mid(1, text.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return text.toUpper();
}

QString TSqlToken::stringValue() const
{
    return text.mid(1, text.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
}

QList<TSqlToken> LexSql(const QString &s)
{
    QList<TSqlToken> out;
    const int n = int(s.size());
    int i = 0;
    auto push = [&](TSqlTok kind, int start, int end) { out.append({kind, s.mid(start, end - start), start}); };
    while (i < n) {
        const QChar c = s[i];
        const int start = i;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            push(TSqlTok::Space, start, i);
        } else if (c == QLatin1Char('-') && i + 1 < n && s[i + 1] == QLatin1Char('-')) {
            while (i < n && s[i] != QLatin1Char('\n'))
                ++i;
            push(TSqlTok::Comment, start, i);
        } else if (c == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            const int end = int(s.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
            push(TSqlTok::Comment, start, i);
        } else if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n) {
                if (s[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('\'')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(TSqlTok::String, start, i);
        } else if (c == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (s[i] == QLatin1Char('"')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('"')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(TSqlTok::QuotedIdent, start, i);
        } else if (isIdentStart(c)) {
            while (i < n && isIdentPart(s[i]))
                ++i;
            push(TSqlTok::Ident, start, i);
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && (s[i].isDigit() || s[i] == QLatin1Char('.')))
                ++i;
            if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                int j = i + 1;
                if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
                    ++j;
                if (j < n && s[j].isDigit()) {
                    i = j;
                    while (i < n && s[i].isDigit())
                        ++i;
                }
            }
            push(TSqlTok::Number, start, i);
        } else if (c == QLatin1Char(':') && i + 1 < n && (isIdentPart(s[i + 1])) &&
                   !(i > 0 && s[i - 1] == QLatin1Char(':'))) {
            ++i;
            while (i < n && isIdentPart(s[i]))
                ++i;
            push(TSqlTok::Bind, start, i);
        } else {
            static const char *const twoChar[] = {"||", ":=", "=>", "<>", "!=", "<=", ">=", "::"};
            bool matched = false;
            if (i + 1 < n) {
                const QString two = s.mid(i, 2);
                for (const char *op : twoChar)
                    if (two == QLatin1String(op)) {
                        i += 2;
                        matched = true;
                        break;
                    }
            }
            if (!matched)
                ++i;
            push(TSqlTok::Op, start, i);
        }
    }
    return out;
}

QList<TSqlToken> SignificantTokens(const QString &text)
{
    QList<TSqlToken> out;
    for (const TSqlToken &t : LexSql(text))
        if (t.kind != TSqlTok::Space && t.kind != TSqlTok::Comment)
            out.append(t);
    return out;
}

QStringList SqlParamNames(const QString &text)
{
    QStringList names;
    for (const TSqlToken &t : LexSql(text)) {
        if (t.kind != TSqlTok::Bind)
            continue;
        const QString name = t.bindName();
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

bool IsPlsqlBlock(const QString &text)
{
    const QList<TSqlToken> toks = SignificantTokens(text);
    return !toks.isEmpty() && (toks.first().isWord("BEGIN") || toks.first().isWord("DECLARE"));
}

QString QuotedSqlString(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

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

QString RewriteConcatenation(const QString &sql, const QString &function)
{
    const QList<TSqlToken> toks = LexSql(sql);
    QList<int> sig;
    for (int i = 0; i < toks.size(); ++i)
        if (toks[i].kind != TSqlTok::Space && toks[i].kind != TSqlTok::Comment)
            sig.append(i);
    QString out;
    int last = 0; // characters of sql written so far
    for (int s = 0; s < sig.size(); ++s) {
        const int end = primaryEnd(toks, sig, s);
        if (end < 0 || end >= sig.size() || !toks[sig[end]].isOp("||"))
            continue;
        if (s > 0 && (isArithmetic(toks[sig[s - 1]]) || toks[sig[s - 1]].isOp("||") || toks[sig[s - 1]].isOp(".")))
            continue;
        QList<QPair<int, int>> operands{{s, end}};
        int e = end;
        while (e < sig.size() && toks[sig[e]].isOp("||")) {
            const int next = primaryEnd(toks, sig, e + 1);
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
            parts.append(RewriteConcatenation(text(o.first, o.second), function));
        out += sql.mid(last, toks[sig[s]].pos - last);
        out += function + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
        const TSqlToken &lastTok = toks[sig[e - 1]];
        last = int(lastTok.pos + lastTok.text.size());
        s = e - 1;
    }
    out += sql.mid(last);
    return out;
}
