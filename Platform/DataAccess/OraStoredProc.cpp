#include "DataAccess/OraStoredProc.h"

#include "DataAccess/OraSession.h"

#include <QScopeGuard>

TOraStoredProc::~TOraStoredProc() = default;

void TOraStoredProc::SetStoredProcName(const QString &name)
{
    if (m_procName == name)
        return;
    m_procName = name.trimmed();
    if (m_generated) {
        // Parameters keep their values when the call is built again.
        const TOraParams keep = Params();
        SetSQL({});
        Params() = keep;
        m_generated = false;
    }
}

void TOraStoredProc::EnsureStatement()
{
    if (m_preparing || m_procName.isEmpty() || !SQLText().trimmed().isEmpty())
        return;
    TOraSession *session = Session() ? Session() : TOraSession::DefaultSession();
    if (session && session->Connected())
        PrepareSQL();
}

void TOraStoredProc::PrepareSQL()
{
    if (m_procName.isEmpty())
        throw EDatabaseError(QStringLiteral("%1: StoredProcName is not set").arg(Name()));
    TOraSession *session = Session() ? Session() : TOraSession::DefaultSession();
    if (!session)
        throw EDatabaseError(QStringLiteral("%1: Session is not assigned").arg(Name()));
    session->EnsureConnected();
    const QList<TProcArgInfo> args = session->DescribeProcedure(m_procName);
    m_preparing = true;
    const auto done = qScopeGuard([this] { m_preparing = false; });
    QStringList binds;
    bool function = false;
    for (const TProcArgInfo &a : args) {
        if (a.direction == TParamType::ptResult)
            function = true;
        else
            binds.append(QLatin1Char(':') + a.name);
    }
    const QString call = m_procName + QLatin1Char('(') + binds.join(QLatin1String(", ")) + QLatin1Char(')');
    const TOraParams keep = Params();
    SetSQL({QStringLiteral("begin"),
            QStringLiteral("  ") + (function ? QStringLiteral(":RESULT := ") : QString()) + call + QLatin1Char(';'),
            QStringLiteral("end;")});
    TOraParams &params = Params();
    for (int i = 0; i < params.Count(); ++i) {
        TOraParam &p = params[i];
        for (const TProcArgInfo &a : args)
            if (a.name.compare(p.Name(), Qt::CaseInsensitive) == 0 ||
                (a.direction == TParamType::ptResult &&
                 p.Name().compare(QLatin1String("RESULT"), Qt::CaseInsensitive) == 0)) {
                p.SetParamType(a.direction);
                if (p.DataType() == TFieldType::ftUnknown || a.type == TFieldType::ftCursor)
                    p.SetDataType(a.type);
            }
        if (const TOraParam *old = keep.FindParam(p.Name()))
            if (!old->IsNull())
                p.SetAsVariant(old->AsVariant());
    }
    m_generated = true;
}

void TOraStoredProc::ExecProc()
{
    if (SQLText().trimmed().isEmpty() && !m_procName.isEmpty())
        PrepareSQL();
    ExecSQL();
}

QString TOraStoredProc::OpenStatement()
{
    if (SQLText().trimmed().isEmpty() && !m_procName.isEmpty())
        PrepareSQL();
    return FinalSQL();
}

TResultSet TOraStoredProc::RowsOf(TExecResult &result)
{
    if (result.hasRows)
        return std::move(result.rows);
    TOraParams &params = Params();
    // The function's cursor (RESULT first, else any cursor parameter).
    if (TOraParam *r = params.FindParam(QStringLiteral("RESULT")))
        if (r->AsCursor())
            return *r->AsCursor();
    for (int i = 0; i < params.Count(); ++i)
        if (params[i].AsCursor())
            return *params[i].AsCursor();
    throw EDatabaseError(QStringLiteral("%1: The procedure returns no cursor").arg(Name()));
}
