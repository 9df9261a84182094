#pragma once
// A small lexer for Oracle SQL and PL/SQL texts: enough to find macros,
// parameters and names outside of literals and comments, and to rewrite a
// statement token by token.
#include "Core/PlatformExport.h"

#include <QList>
#include <QString>
#include <QStringList>

enum class TSqlTok { Space, Comment, Ident, QuotedIdent, String, Number, Bind, Op };

struct PLATFORM_EXPORT TSqlToken {
    TSqlTok kind;
    QString text; // as written (a bind: ":NAME"; a string: with its quotes)
    int pos = 0;

    bool is(TSqlTok k) const { return kind == k; }
    bool isWord(const char *upperWord) const;
    bool isOp(const char *op) const { return kind == TSqlTok::Op && text == QLatin1String(op); }
    // An identifier's name: upper case for a plain one, as written inside quotes for a quoted one.
    QString name() const;
    // A bind's name without the colon.
    QString bindName() const { return text.mid(1); }
    // A string literal's value.
    QString stringValue() const;
};

PLATFORM_EXPORT QList<TSqlToken> LexSql(const QString &text);
// The tokens without spaces and comments.
PLATFORM_EXPORT QList<TSqlToken> SignificantTokens(const QString &text);
// The ":NAME" parameters in order of first appearance (names compared without case).
PLATFORM_EXPORT QStringList SqlParamNames(const QString &text);
// True when the text is an anonymous PL/SQL block (BEGIN or DECLARE first).
PLATFORM_EXPORT bool IsPlsqlBlock(const QString &text);
// "it's" -> "'it''s'"
PLATFORM_EXPORT QString QuotedSqlString(const QString &value);
// "UPDATE T A SET A.X = 1 WHERE A.Y = 2" -> "UPDATE T SET X = 1 WHERE Y = 2" (and
// the same for DELETE): servers that name the one table of these statements by
// itself refuse the alias (SQLite) or the alias in front of a SET target (PostgreSQL).
PLATFORM_EXPORT QString DropSingleTableAlias(const QString &sql);
// "A || B || C" -> "function(A, B, C)", for a server whose "||" gives NULL where
// Oracle's skips NULLs. Only chains of plain operands are rewritten; next to
// arithmetic (whose order differs between the servers) the chain stays as written.
PLATFORM_EXPORT QString RewriteConcatenation(const QString &sql, const QString &function);
