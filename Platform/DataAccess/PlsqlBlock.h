#pragma once
// An anonymous PL/SQL block as the console writes them: procedure and
// function calls (":RESULT := PACK.FUNC(:A, 1)"), COMMIT, ROLLBACK, NULL and
// plain SQL statements between BEGIN and END. Anything else is refused with
// ORA-06550 (PLS-00103): the backends run such a block step by step (the
// embedded server is no PL/SQL engine, PostgreSQL's is another language).
#include "Core/PlatformExport.h"

#include <QList>
#include <QString>

struct TPlsqlArg {
    QString bind;       // ":NAME" argument: the name
    QString expression; // any other argument: its text (evaluated as a SQL expression)
};

struct TPlsqlStep {
    enum Kind { Call, Commit, Rollback, Null, Sql, Assign };
    Kind kind = Null;
    QString target;        // Call: the dotted name
    QList<TPlsqlArg> args; // Call
    QString resultBind;    // Call (function) and Assign: the parameter that takes the value
    QString text;          // Sql: the statement; Assign: the expression
};

PLATFORM_EXPORT QList<TPlsqlStep> ParsePlsqlBlock(const QString &block);
