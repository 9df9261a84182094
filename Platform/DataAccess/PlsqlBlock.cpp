#include "DataAccess/PlsqlBlock.h"

#include "DataAccess/DAError.h"
#include "DataAccess/SqlLexer.h"

namespace {

[[noreturn]] void Refuse(const TSqlToken *at, const QString &what)
{
    RaiseOraError(OraErr::PlsqlError,
                  QStringLiteral("line 1, column %1:\nPLS-00103: %2").arg(at ? at->pos + 1 : 1).arg(what));
}

bool isName(const TSqlToken &t) { return t.kind == TSqlTok::Ident || t.kind == TSqlTok::QuotedIdent; }

// Reads "A.B.C" from toks[i]; returns the index after it.
int ReadName(const QList<TSqlToken> &toks, int i, QString *name)
{
    QStringList parts;
    if (i >= toks.size() || !isName(toks[i]))
        return -1;
    parts.append(toks[i].name());
    ++i;
    while (i + 1 < toks.size() && toks[i].isOp(".") && isName(toks[i + 1])) {
        parts.append(toks[i + 1].name());
        i += 2;
    }
    *name = parts.join(QLatin1Char('.'));
    return i;
}

TPlsqlStep ParseCall(const QString &text, const QList<TSqlToken> &toks, int i, const QString &resultBind)
{
    TPlsqlStep step;
    step.kind = TPlsqlStep::Call;
    step.resultBind = resultBind;
    i = ReadName(toks, i, &step.target);
    if (i < 0)
        Refuse(toks.isEmpty() ? nullptr : &toks.first(), QStringLiteral("a procedure name was expected"));
    if (i == toks.size())
        return step;
    if (!toks[i].isOp("("))
        Refuse(&toks[i], QStringLiteral("Encountered the symbol \"%1\"").arg(toks[i].text));
    int depth = 0;
    int argStart = i + 1;
    for (int k = i; k < toks.size(); ++k) {
        const TSqlToken &t = toks[k];
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        const bool endOfArg = (depth == 1 && t.isOp(",")) || (depth == 0 && t.isOp(")"));
        if (!endOfArg)
            continue;
        if (k == argStart && t.isOp(")") && step.args.isEmpty()) {
            // "()": no arguments
        } else {
            if (k == argStart)
                Refuse(&t, QStringLiteral("an argument was expected"));
            TPlsqlArg arg;
            if (k - argStart == 1 && toks[argStart].kind == TSqlTok::Bind)
                arg.bind = toks[argStart].bindName();
            else {
                if (k - argStart >= 2 && toks[argStart + 1].isOp("=>"))
                    Refuse(&toks[argStart], QStringLiteral("named arguments are not supported here"));
                const int from = toks[argStart].pos;
                arg.expression = text.mid(from, toks[k].pos - from).trimmed();
            }
            step.args.append(arg);
        }
        argStart = k + 1;
        if (depth == 0) {
            if (k + 1 != toks.size())
                Refuse(&toks[k + 1], QStringLiteral("Encountered the symbol \"%1\"").arg(toks[k + 1].text));
            return step;
        }
    }
    Refuse(&toks.last(), QStringLiteral("a closing parenthesis was expected"));
}

} // namespace

QList<TPlsqlStep> ParsePlsqlBlock(const QString &block)
{
    const QList<TSqlToken> toks = SignificantTokens(block);
    if (toks.isEmpty() || !toks.first().isWord("BEGIN"))
        Refuse(toks.isEmpty() ? nullptr : &toks.first(), toks.isEmpty() || !toks.first().isWord("DECLARE")
                                                             ? QStringLiteral("BEGIN was expected")
                                                             : QStringLiteral("declarations are not supported"));
    // Statements between BEGIN and the final END, split at ";" outside parentheses.
    QList<QList<TSqlToken>> statements;
    QList<TSqlToken> current;
    int depth = 0;
    int i = 1;
    bool ended = false;
    for (; i < toks.size(); ++i) {
        const TSqlToken &t = toks[i];
        if (depth == 0 && current.isEmpty() && t.isWord("END")) {
            ended = true;
            ++i;
            break;
        }
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        if (depth == 0 && t.isOp(";")) {
            statements.append(current);
            current.clear();
            continue;
        }
        if (t.isWord("BEGIN") || t.isWord("DECLARE") || t.isWord("IF") || t.isWord("LOOP") || t.isWord("EXCEPTION"))
            Refuse(&t, QStringLiteral("\"%1\" is not supported by the scheme server").arg(t.text.toUpper()));
        current.append(t);
    }
    if (!ended)
        Refuse(toks.isEmpty() ? nullptr : &toks.last(), QStringLiteral("END was expected"));
    if (!current.isEmpty())
        Refuse(&current.first(), QStringLiteral("\";\" was expected"));
    // After END: an optional label and ";".
    if (i < toks.size() && isName(toks[i]))
        ++i;
    if (i < toks.size() && toks[i].isOp(";"))
        ++i;
    if (i < toks.size())
        Refuse(&toks[i], QStringLiteral("Encountered the symbol \"%1\"").arg(toks[i].text));

    QList<TPlsqlStep> steps;
    for (const QList<TSqlToken> &st : statements) {
        if (st.isEmpty())
            continue;
        const TSqlToken &first = st.first();
        TPlsqlStep step;
        if (first.isWord("NULL") && st.size() == 1) {
            step.kind = TPlsqlStep::Null;
        } else if (first.isWord("COMMIT") && (st.size() == 1 || (st.size() == 2 && st[1].isWord("WORK")))) {
            step.kind = TPlsqlStep::Commit;
        } else if (first.isWord("ROLLBACK") && (st.size() == 1 || (st.size() == 2 && st[1].isWord("WORK")))) {
            step.kind = TPlsqlStep::Rollback;
        } else if (first.isWord("SELECT") || first.isWord("INSERT") || first.isWord("UPDATE") ||
                   first.isWord("DELETE") || first.isWord("MERGE")) {
            step.kind = TPlsqlStep::Sql;
            const TSqlToken &last = st.last();
            step.text = block.mid(first.pos, last.pos + last.text.size() - first.pos);
            if (first.isWord("SELECT"))
                Refuse(&first, QStringLiteral("SELECT INTO is not supported by the scheme server"));
        } else if (first.kind == TSqlTok::Bind && st.size() >= 3 && st[1].isOp(":=")) {
            const QList<TSqlToken> rest = st.mid(2);
            QString name;
            const int after = ReadName(rest, 0, &name);
            const bool callLike =
                after > 0 && (after == rest.size() || rest[after].isOp("(")) && name.contains(QLatin1Char('.'));
            if (callLike) {
                step = ParseCall(block, rest, 0, first.bindName());
            } else {
                step.kind = TPlsqlStep::Assign;
                step.resultBind = first.bindName();
                const TSqlToken &last = st.last();
                step.text = block.mid(rest.first().pos, last.pos + last.text.size() - rest.first().pos);
            }
        } else if (isName(first)) {
            step = ParseCall(block, st, 0, QString());
        } else {
            Refuse(&first, QStringLiteral("Encountered the symbol \"%1\"").arg(first.text));
        }
        steps.append(step);
    }
    return steps;
}
