#include "PostgresServer/PgTranslator.h"

#include "DataAccess/DAError.h"
#include "DataAccess/SqlLexer.h"

#include <QHash>

namespace {

bool isName(const TSqlToken &t) { return t.kind == TSqlTok::Ident || t.kind == TSqlTok::QuotedIdent; }

// Words before which "A.B (" names a table and its column list, not a function.
bool isTableContext(const TSqlToken *prev)
{
    if (!prev)
        return false;
    for (const char *w : {"INTO", "TABLE", "ON", "REFERENCES", "VIEW", "INDEX", "TRIGGER", "EXISTS"})
        if (prev->isWord(w))
            return true;
    return false;
}

// Words that may follow a sub-query in FROM when it has no alias.
bool endsFromItem(const TSqlToken &t)
{
    if (t.kind == TSqlTok::Op)
        return true;
    for (const char *w : {"WHERE",   "ORDER", "GROUP", "HAVING", "UNION",  "MINUS", "EXCEPT",  "INTERSECT",
                          "JOIN",    "INNER", "LEFT",  "RIGHT",  "FULL",   "CROSS", "NATURAL", "ON",
                          "CONNECT", "START", "FETCH", "LIMIT",  "OFFSET", "FOR",   "WINDOW"})
        if (t.isWord(w))
            return true;
    return false;
}

// The clause a token at this depth belongs to: FROM when the nearest clause word before it is FROM.
bool inFromList(const QList<TSqlToken> &toks, const QList<int> &sig, int s)
{
    int depth = 0;
    for (int k = s - 1; k >= 0; --k) {
        const TSqlToken &t = toks[sig[k]];
        if (t.isOp(")"))
            ++depth;
        else if (t.isOp("(")) {
            if (depth == 0)
                return false;
            --depth;
        } else if (depth == 0) {
            if (t.isWord("FROM"))
                return true;
            for (const char *w : {"SELECT", "WHERE", "GROUP", "ORDER", "HAVING", "SET", "VALUES", "ON"})
                if (t.isWord(w))
                    return false;
        }
    }
    return false;
}

int matchingParen(const QList<TSqlToken> &toks, const QList<int> &sig, int open)
{
    int depth = 0;
    for (int k = open; k < sig.size(); ++k) {
        if (toks[sig[k]].isOp("("))
            ++depth;
        else if (toks[sig[k]].isOp(")") && --depth == 0)
            return k;
    }
    return -1;
}

bool isUpperName(const QString &name)
{
    bool letters = false;
    for (const QChar c : name) {
        if (c.isLower())
            return false;
        letters = letters || c.isLetter();
    }
    return letters;
}

QList<int> significant(const QList<TSqlToken> &toks)
{
    QList<int> sig;
    for (int i = 0; i < toks.size(); ++i)
        if (toks[i].kind != TSqlTok::Space && toks[i].kind != TSqlTok::Comment)
            sig.append(i);
    return sig;
}

// Everything but the parameters and the "||" chains.
QString rewriteNames(const QString &sql, const QSet<QString> &sessionTables, QStringList *named)
{
    const QList<TSqlToken> toks = LexSql(sql);
    const QList<int> sig = significant(toks);
    QHash<int, QString> replaced; // token index -> its new text
    QHash<int, QString> after;    // token index -> text written after it
    int subqueries = 0;
    for (int s = 0; s < sig.size(); ++s) {
        const TSqlToken &t = toks[sig[s]];
        const TSqlToken *prev = s > 0 ? &toks[sig[s - 1]] : nullptr;
        const TSqlToken *next = s + 1 < sig.size() ? &toks[sig[s + 1]] : nullptr;
        const bool dotted = prev && prev->isOp(".");
        if (isName(t) && !dotted) {
            QStringList parts{t.name()};
            int e = s;
            while (e + 2 < sig.size() && toks[sig[e + 1]].isOp(".") && isName(toks[sig[e + 2]]) && parts.size() < 3) {
                parts.append(toks[sig[e + 2]].name());
                e += 2;
            }
            const bool call = e + 1 < sig.size() && toks[sig[e + 1]].isOp("(") && !isTableContext(prev);
            const QString key =
                parts.size() >= 2 ? parts[0].toUpper() + QLatin1Char('.') + parts[1].toUpper() : QString();
            if (parts.size() >= 2 && sessionTables.contains(key) && !(call && parts.size() == 2)) {
                replaced.insert(sig[s], QStringLiteral("pg_temp.") + PgSessionTableName(parts[0], parts[1]));
                replaced.insert(sig[s + 1], QString());
                replaced.insert(sig[s + 2], QString());
                if (!named->contains(key))
                    named->append(key);
                s += 2;
                continue;
            }
            if (parts.size() == 3 && call) {
                // SCHEME.PACKAGE.NAME( -> PACKAGE.NAME(
                replaced.insert(sig[s], QString());
                replaced.insert(sig[s + 1], QString());
                s = e;
                continue;
            }
        }
        if (t.isWord("TO_CHAR") && !dotted && s + 3 < sig.size() && toks[sig[s + 1]].isOp("(") &&
            toks[sig[s + 2]].isWord("NULL") && toks[sig[s + 3]].isOp(")")) {
            // Oracle's TO_CHAR(NULL) is NULL; orafce cannot tell which TO_CHAR a bare NULL means.
            replaced.insert(sig[s], QStringLiteral("CAST(NULL AS varchar)"));
            for (int k = 1; k <= 3; ++k)
                replaced.insert(sig[s + k], QString());
            s += 3;
            continue;
        }
        if (t.isWord("NVL") && !dotted && next && next->isOp("("))
            replaced.insert(sig[s], QStringLiteral("COALESCE"));
        else if (t.isWord("SYSDATE") && !dotted && !(next && next->isOp("(")))
            replaced.insert(sig[s], QStringLiteral("LOCALTIMESTAMP(0)"));
        else if (t.isWord("MINUS"))
            replaced.insert(sig[s], QStringLiteral("EXCEPT"));
        else if (t.kind == TSqlTok::QuotedIdent && isUpperName(t.name()))
            replaced.insert(sig[s], QLatin1Char('"') +
                                        t.name().toLower().replace(QLatin1String("\""), QLatin1String("\"\"")) +
                                        QLatin1Char('"'));
        else if (t.kind == TSqlTok::String && t.text == QLatin1String("''"))
            replaced.insert(sig[s], QStringLiteral("NULL")); // Oracle's empty text is NULL
        else if (t.isOp(";") && s == sig.size() - 1)
            replaced.insert(sig[s], QString());
        else if (t.isOp("(") && next && (next->isWord("SELECT") || next->isWord("WITH")) && prev &&
                 (prev->isWord("FROM") || prev->isWord("JOIN") || (prev->isOp(",") && inFromList(toks, sig, s)))) {
            // Oracle takes a sub-query in FROM without an alias; PostgreSQL 15 wants one.
            const int close = matchingParen(toks, sig, s);
            if (close > 0 && (close + 1 == sig.size() || endsFromItem(toks[sig[close + 1]])))
                after.insert(sig[close], QStringLiteral(" zsub%1").arg(++subqueries));
        }
    }
    QString out;
    for (int i = 0; i < toks.size(); ++i) {
        const auto r = replaced.constFind(i);
        out += r == replaced.constEnd() ? toks[i].text : *r;
        const auto a = after.constFind(i);
        if (a != after.constEnd())
            out += *a;
    }
    return out;
}

} // namespace

QString PgSessionTableName(const QString &scheme, const QString &table)
{
    return scheme.toLower() + QLatin1Char('$') + table.toLower();
}

TPgRoutineName PgRoutineName(const QString &dottedName)
{
    QStringList parts;
    for (const QString &p : dottedName.split(QLatin1Char('.')))
        parts.append(p.trimmed().remove(QLatin1Char('"')));
    TPgRoutineName r;
    if (parts.size() >= 3) {
        r.scheme = parts[parts.size() - 3].toUpper();
        r.schema = parts[parts.size() - 2].toLower();
    } else if (parts.size() == 2) {
        r.schema = parts[0].toLower();
    }
    r.name = parts.value(parts.size() - 1).toLower();
    return r;
}

TPgStatement TranslateForPostgres(const QString &oracleSql, const QSet<QString> &sessionTables)
{
    TPgStatement st;
    const QString text = RewriteConcatenation(
        rewriteNames(DropSingleTableAlias(oracleSql), sessionTables, &st.sessionTables), QStringLiteral("concat"));
    // Parameters last: the steps above move texts around.
    for (const TSqlToken &t : LexSql(text)) {
        if (t.kind != TSqlTok::Bind) {
            st.sql += t.text;
            continue;
        }
        qsizetype n = -1;
        for (qsizetype i = 0; i < st.binds.size() && n < 0; ++i)
            if (st.binds[i].compare(t.bindName(), Qt::CaseInsensitive) == 0)
                n = i;
        if (n < 0) {
            st.binds.append(t.bindName());
            n = st.binds.size() - 1;
        }
        st.sql += QLatin1Char('$') + QString::number(n + 1);
    }
    return st;
}

QString PgAccountStatement(const QString &oracleSql)
{
    const QList<TSqlToken> t = SignificantTokens(oracleSql);
    if (t.size() < 3 || !t[1].isWord("USER") || !(t[0].isWord("CREATE") || t[0].isWord("ALTER") || t[0].isWord("DROP")))
        return QString();
    const QString role =
        QLatin1Char('"') + t[2].name().toLower().replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
    if (t[0].isWord("DROP"))
        return QStringLiteral("DROP ROLE ") + role;
    QStringList options;
    for (int i = 3; i < t.size(); ++i) {
        if (t[i].isOp(";"))
            continue;
        if (t[i].isWord("IDENTIFIED") && i + 2 < t.size() && t[i + 1].isWord("BY")) {
            const TSqlToken &p = t[i + 2];
            const QString password = p.kind == TSqlTok::String        ? p.stringValue()
                                     : p.kind == TSqlTok::QuotedIdent ? p.text.mid(1, p.text.size() - 2)
                                                                      : p.text;
            if (password.isEmpty())
                RaiseOraError(988, QStringLiteral("missing or invalid password(s)"));
            options << QStringLiteral("PASSWORD ") + QuotedSqlString(password);
            i += 2;
        } else if (t[i].isWord("ACCOUNT") && i + 1 < t.size() &&
                   (t[i + 1].isWord("LOCK") || t[i + 1].isWord("UNLOCK"))) {
            options << (t[i + 1].isWord("LOCK") ? QStringLiteral("NOLOGIN") : QStringLiteral("LOGIN"));
            ++i;
        } else {
            RaiseOraError(922, QStringLiteral("missing or invalid option (%1)").arg(t[i].text));
        }
    }
    if (t[0].isWord("CREATE")) {
        if (!options.contains(QStringLiteral("NOLOGIN")))
            options.prepend(QStringLiteral("LOGIN"));
        return QStringLiteral("CREATE ROLE %1 %2").arg(role, options.join(QLatin1Char(' ')));
    }
    if (options.isEmpty())
        RaiseOraError(922, QStringLiteral("missing or invalid option"));
    return QStringLiteral("ALTER ROLE %1 %2").arg(role, options.join(QLatin1Char(' ')));
}
