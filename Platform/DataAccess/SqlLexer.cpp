#include "DataAccess/SqlLexer.h"

namespace {

bool isIdentStart(QChar c) { return c.isLetter() || c == QLatin1Char('_'); }
bool isIdentPart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('#');
}

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
