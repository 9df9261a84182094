#include "DataAccess/OraPackage.h"

#include "DataAccess/DataSet.h"
#include "DataAccess/OraSession.h"

TOraPackage::TOraPackage(QObject *owner) : QObject(owner) {}

TOraPackage::~TOraPackage() = default;

QVariant TOraPackage::ExecProc(const QString &name, const QVariantList &values)
{
    TOraSession *session = m_session ? m_session : TOraSession::DefaultSession();
    if (!session)
        throw EDatabaseError(QStringLiteral("%1: Session is not assigned").arg(Name()));
    if (m_packageName.trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("%1: PackageName is not set").arg(Name()));
    session->EnsureConnected();
    const QString full = m_packageName.trimmed() + QLatin1Char('.') + name.trimmed();
    const QList<TProcArgInfo> args = session->DescribeProcedure(full);

    TOraParams params;
    QStringList binds;
    bool function = false;
    int next = 0;
    for (const TProcArgInfo &a : args) {
        if (a.direction == TParamType::ptResult) {
            function = true;
            params.Add(QStringLiteral("RESULT"), TParamType::ptResult, a.type);
            continue;
        }
        TOraParam &p = params.Add(a.name, a.direction, a.type);
        if (next < values.size())
            p.SetAsVariant(values[next]);
        ++next;
        binds.append(QLatin1Char(':') + a.name);
    }
    if (values.size() > next)
        session->RaiseError(EDAError(
            OraErr::PlsqlError,
            OraMessage(OraErr::PlsqlError, QStringLiteral("line 1, column 7:\nPLS-00306: wrong number or types of "
                                                          "arguments in call to '%1'")
                                               .arg(name.toUpper()))));
    const QString sql = QStringLiteral("begin ") + (function ? QStringLiteral(":RESULT := ") : QString()) + full +
                        QLatin1Char('(') + binds.join(QLatin1String(", ")) + QStringLiteral("); end;");
    session->Execute(sql, params);
    m_params = params;
    if (!function)
        return QVariant();
    return m_params.ParamByName(QStringLiteral("RESULT")).AsVariant();
}
