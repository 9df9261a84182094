#include "PostgresServer/PostgresBackend.h"

#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/PlsqlBlock.h"
#include "DataAccess/SqlLexer.h"
#include "PostgresServer/PgCatalog.h"
#include "PostgresServer/PgConnection.h"
#include "PostgresServer/PgTranslator.h"

#include <QRegularExpression>

namespace {

int g_lockWaitMs = TPostgresBackend::kLockWaitMs;

enum class TStatementKind { Query, Dml, Block, Commit, Rollback, AlterSession, Definition };

TStatementKind kindOf(const QList<TSqlToken> &t)
{
    if (t.isEmpty())
        return TStatementKind::Definition;
    const TSqlToken &f = t.first();
    if (f.isWord("SELECT") || f.isWord("WITH") || f.isOp("("))
        return TStatementKind::Query;
    if (f.isWord("BEGIN") || f.isWord("DECLARE"))
        return TStatementKind::Block;
    if (f.isWord("COMMIT"))
        return TStatementKind::Commit;
    if (f.isWord("ROLLBACK"))
        return TStatementKind::Rollback;
    if (f.isWord("ALTER") && t.size() > 1 && t[1].isWord("SESSION"))
        return TStatementKind::AlterSession;
    if (f.isWord("INSERT") || f.isWord("UPDATE") || f.isWord("DELETE") || f.isWord("MERGE"))
        return TStatementKind::Dml;
    return TStatementKind::Definition;
}

// The values of the statement's parameters, in the order of its $1, $2, ...
QVariantList valuesOf(const QStringList &binds, const TOraParams &params)
{
    QVariantList values;
    for (const QString &name : binds) {
        const TOraParam *p = params.FindParam(name);
        if (!p)
            RaiseOraError(1008, QStringLiteral("not all variables bound (%1)").arg(name));
        values.append(p->AsVariant());
    }
    return values;
}

TOraParam &bindOf(TOraParams &params, const QString &name)
{
    TOraParam *p = params.FindParam(name);
    if (!p)
        RaiseOraError(1008, QStringLiteral("not all variables bound (%1)").arg(name));
    return *p;
}

// The scheme a statement changes: the first scheme-qualified name of its text
// (a table, or the scheme in front of a package), else empty.
QString schemeOf(const QString &sql)
{
    const QList<TSqlToken> t = SignificantTokens(sql);
    for (int i = 0; i + 2 < t.size(); ++i)
        if ((t[i].kind == TSqlTok::Ident || t[i].kind == TSqlTok::QuotedIdent) && t[i + 1].isOp(".") &&
            !(i > 0 && t[i - 1].isOp(".")) && !t[i].isWord("SYS"))
            return t[i].name().toUpper();
    return QString();
}

// The table a change writes ("SCHEME.TABLE", upper case): INSERT INTO, UPDATE, DELETE [FROM], MERGE INTO.
QString targetOf(const QList<TSqlToken> &t)
{
    int i = 1;
    if (i < t.size() && (t[i].isWord("INTO") || t[i].isWord("FROM")))
        ++i;
    if (i + 2 < t.size() && t[i + 1].isOp("."))
        return t[i].name().toUpper() + QLatin1Char('.') + t[i + 2].name().toUpper();
    return QString();
}

} // namespace

int TPostgresBackend::LockWaitMs() { return g_lockWaitMs; }
void TPostgresBackend::SetLockWaitMs(int ms) { g_lockWaitMs = ms; }

TPostgresBackend::TPostgresBackend() = default;

TPostgresBackend::~TPostgresBackend() { Disconnect(); }

void TPostgresBackend::Connect(const TConnectParams &params)
{
    Disconnect();
    if (params.server.database.isEmpty())
        RaiseConfigError(OraErr::UnknownService, Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServerDatabaseMissing")),
                                                     params.server.name, ServersIniPath()));
    if (params.password.isEmpty())
        RaiseOraError(OraErr::NullPassword, QStringLiteral("null password given; logon denied"));
    TPgConnectInfo info;
    info.host = params.server.hostName;
    info.port = params.server.port;
    info.database = params.server.database;
    // Oracle's user names are upper case, PostgreSQL's roles lower case.
    info.user = params.username.trimmed().toLower();
    info.password = params.password;
    info.settings = {{QStringLiteral("search_path"), QStringLiteral("oracle,sys,pg_catalog,public")},
                     {QStringLiteral("lock_timeout"), QString::number(g_lockWaitMs)},
                     {QStringLiteral("client_min_messages"), QStringLiteral("warning")},
                     {QStringLiteral("standard_conforming_strings"), QStringLiteral("on")},
                     {QStringLiteral("DateStyle"), QStringLiteral("ISO")}};
    auto connection = std::make_unique<TPgConnection>();
    connection->Open(info);
    m_connection = std::move(connection);
    m_database = info.database;
    m_catalog = std::make_unique<TPgCatalog>(*m_connection);
    m_nls.clear();
    m_sessionTablesMade.clear();
    if (!params.options.DateFormat.isEmpty())
        m_nls.insert(QStringLiteral("NLS_DATE_FORMAT"), params.options.DateFormat);
}

void TPostgresBackend::Disconnect()
{
    m_catalog.reset();
    if (m_connection) {
        m_connection->Close(); // the server rolls back what was not committed
        m_connection.reset();
    }
}

bool TPostgresBackend::Connected() const { return m_connection && m_connection->IsOpen(); }

TExecResult TPostgresBackend::Execute(const QString &sql, TOraParams &params)
{
    if (!Connected())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    // A statement that fails in a transaction it began itself leaves no transaction behind.
    const bool wasInTransaction = m_connection->InTransaction();
    try {
        try {
            return ExecuteStatement(sql, params);
        } catch (const EDAError &e) {
            if (e.ErrorCode() == OraErr::NoSessionLock)
                RaiseBusy(e, sql);
            throw;
        }
    } catch (...) {
        if (!wasInTransaction && m_connection->InTransaction()) {
            try {
                m_connection->Rollback();
            } catch (const EDAError &) {
                // The statement's own error is the one to report.
            }
        }
        throw;
    }
}

void TPostgresBackend::RaiseBusy(const EDAError &error, const QString &sql)
{
    // The lock wait ran out on rows another session changed and has not committed yet.
    const QString scheme = schemeOf(sql);
    if (scheme.isEmpty())
        throw error;
    RaiseOraError(OraErr::NoSessionLock, Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_SchemeBusy")), scheme));
}

QString TPostgresBackend::SchemeFault(const QString &scheme) const
{
    if (!Connected() || scheme.trimmed().isEmpty())
        return QString();
    try {
        const bool there =
            m_connection
                ->Scalar(QStringLiteral("SELECT count(*) FROM sys.server_objects WHERE owner = upper($1)"),
                         {scheme.trimmed()})
                .toInt() > 0;
        if (there)
            return QString();
    } catch (const EDAError &) {
        // A database without the scheme's dictionary holds no scheme at all.
    }
    return Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_SchemeNotInDatabase")), m_database, scheme.trimmed().toUpper());
}

void TPostgresBackend::EnsureSessionTables(const QStringList &tables)
{
    for (const QString &key : tables) {
        if (m_sessionTablesMade.contains(key))
            continue;
        const QStringList parts = key.split(QLatin1Char('.'));
        m_connection->Run(QStringLiteral("SELECT sys.ensure_session_table($1, $2)"), {parts.value(0), parts.value(1)});
        // Made inside a transaction, it goes with a rollback: made again next time.
        if (!m_connection->InTransaction())
            m_sessionTablesMade.insert(key);
    }
}

TExecResult TPostgresBackend::RunTranslated(const QString &oracleSql, const TOraParams &params)
{
    const TPgStatement st = TranslateForPostgres(oracleSql, m_catalog->SessionTables());
    const QVariantList values = valuesOf(st.binds, params);
    TExecResult result;
    m_connection->Atomically([&] {
        EnsureSessionTables(st.sessionTables);
        result = m_connection->Run(st.sql, values);
    });
    return result;
}

TExecResult TPostgresBackend::ExecuteStatement(const QString &sql, TOraParams &params)
{
    const QList<TSqlToken> tokens = SignificantTokens(sql);
    switch (kindOf(tokens)) {
    case TStatementKind::Query:
        return RunTranslated(sql, params);
    case TStatementKind::Dml:
        // A change of the session's own table alone changes nothing of the scheme: no transaction.
        if (!m_catalog->SessionTables().contains(targetOf(tokens)))
            m_connection->Begin();
        return RunTranslated(sql, params);
    case TStatementKind::Commit:
        m_connection->Commit();
        return {};
    case TStatementKind::Rollback:
        m_connection->Rollback();
        return {};
    case TStatementKind::AlterSession:
        AlterSession(sql);
        return {};
    case TStatementKind::Block:
        RunBlock(sql, params);
        return {};
    case TStatementKind::Definition:
        break;
    }
    // A definition commits the session's work before and after it, as on Oracle.
    if (tokens.size() > 2 && tokens[0].isWord("CREATE") && tokens[1].isWord("GLOBAL") && tokens[2].isWord("TEMPORARY"))
        RaiseOraError(922, QStringLiteral("missing or invalid option (a session table is declared by the scheme's "
                                          "SQL in sys.session_tables)"));
    if (!SqlParamNames(sql).isEmpty())
        RaiseOraError(1027, QStringLiteral("bind variables not allowed for data definition operations"));
    const QString account = PgAccountStatement(sql);
    m_connection->Commit();
    m_connection->ExecDirect(account.isEmpty() ? TranslateForPostgres(sql).sql : account);
    m_catalog->Forget();
    return {};
}

void TPostgresBackend::AlterSession(const QString &sql)
{
    // ALTER SESSION SET NAME = 'value' [NAME = 'value' ...]: kept for the session, as the client's settings.
    static const QRegularExpression re(QStringLiteral("([A-Za-z_]+)\\s*=\\s*('(?:[^']|'')*'|[^\\s;]+)"));
    const int set = int(sql.indexOf(QLatin1String("SET"), 0, Qt::CaseInsensitive));
    if (set < 0)
        RaiseOraError(922, QStringLiteral("missing or invalid option"));
    auto it = re.globalMatch(sql.mid(set + 3));
    bool any = false;
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString value = m.captured(2);
        if (value.startsWith(QLatin1Char('\'')))
            value = value.mid(1, value.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        m_nls.insert(m.captured(1).toUpper(), value);
        any = true;
    }
    if (!any)
        RaiseOraError(922, QStringLiteral("missing or invalid option"));
}

void TPostgresBackend::RunBlock(const QString &block, TOraParams &params)
{
    const QList<TPlsqlStep> steps = ParsePlsqlBlock(block);
    // The block's changes since its last COMMIT go together: a failure undoes them all.
    m_connection->Atomically([&] {
        for (const TPlsqlStep &step : steps) {
            switch (step.kind) {
            case TPlsqlStep::Null:
                break;
            case TPlsqlStep::Commit:
                m_connection->Commit();
                break;
            case TPlsqlStep::Rollback:
                m_connection->Rollback();
                break;
            case TPlsqlStep::Sql:
                m_connection->Begin();
                RunTranslated(step.text, params);
                break;
            case TPlsqlStep::Assign: {
                const TExecResult r = RunTranslated(QStringLiteral("SELECT ") + step.text, params);
                bindOf(params, step.resultBind)
                    .SetAsVariant(r.rows.rows.isEmpty() ? QVariant() : r.rows.rows.first().value(0));
                break;
            }
            case TPlsqlStep::Call:
                RunCall(step, params);
                break;
            }
        }
    });
}

void TPostgresBackend::RunCall(const TPlsqlStep &step, TOraParams &params)
{
    const TPgRoutine routine = m_catalog->Routine(step.target);
    if (!step.resultBind.isEmpty() && !routine.IsFunction())
        RaiseOraError(OraErr::PlsqlError, QStringLiteral("line 1, column 7:\nPLS-00222: no function with name '%1' "
                                                         "exists in this scope")
                                              .arg(routine.name.toUpper()));
    if (step.resultBind.isEmpty() && routine.IsFunction())
        RaiseOraError(OraErr::PlsqlError,
                      QStringLiteral("line 1, column 7:\nPLS-00221: '%1' is not a procedure or is undefined")
                          .arg(routine.name.toUpper()));
    const QList<TProcArgInfo> declared = routine.Parameters();
    if (step.args.size() > declared.size())
        RaiseOraError(OraErr::PlsqlError,
                      QStringLiteral("line 1, column 7:\nPLS-00306: wrong number or types of arguments in call to '%1'")
                          .arg(routine.name.toUpper()));
    // PostgreSQL takes the IN and IN OUT values; OUT parameters come back as columns.
    QStringList passed;
    for (int i = 0; i < step.args.size(); ++i) {
        const TPlsqlArg &a = step.args[i];
        if (declared[i].direction == TParamType::ptOutput) {
            if (a.bind.isEmpty())
                RaiseOraError(OraErr::PlsqlError,
                              QStringLiteral("line 1, column 7:\nPLS-00363: expression '%1' cannot be used as an "
                                             "assignment target")
                                  .arg(a.expression));
            continue;
        }
        passed.append(a.bind.isEmpty() ? QStringLiteral("(%1)").arg(a.expression) : QLatin1Char(':') + a.bind);
    }
    const QString callee = routine.schema + QLatin1Char('.') + routine.name + QLatin1Char('(') +
                           passed.join(QLatin1String(", ")) + QLatin1Char(')');
    const bool scalar = routine.IsFunction() && !routine.returnsRows;
    if (routine.writes)
        m_connection->Begin();
    const TExecResult r =
        RunTranslated((scalar ? QStringLiteral("SELECT ") : QStringLiteral("SELECT * FROM ")) + callee, params);
    if (routine.IsFunction()) {
        TOraParam &result = bindOf(params, step.resultBind);
        if (routine.returnsRows)
            result.SetAsCursor(std::make_shared<const TResultSet>(r.rows));
        else
            result.SetAsVariant(r.rows.rows.isEmpty() ? QVariant() : r.rows.rows.first().value(0));
        return;
    }
    if (r.rows.rows.isEmpty())
        return;
    for (int i = 0; i < step.args.size(); ++i) {
        if (declared[i].direction == TParamType::ptInput || step.args[i].bind.isEmpty())
            continue;
        // One OUT parameter comes back as the function's only column, named after the function.
        const int column = r.rows.columns.size() == 1 ? 0 : r.rows.ColumnIndex(declared[i].name);
        if (column >= 0)
            bindOf(params, step.args[i].bind).SetAsVariant(r.rows.rows.first().value(column));
    }
}

void TPostgresBackend::Commit()
{
    if (Connected())
        m_connection->Commit();
}

void TPostgresBackend::Rollback()
{
    if (Connected())
        m_connection->Rollback();
}

bool TPostgresBackend::InTransaction() const { return Connected() && m_connection->InTransaction(); }

QList<TProcArgInfo> TPostgresBackend::DescribeProcedure(const QString &name)
{
    if (!Connected())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    return m_catalog->Routine(name).args;
}

QString TPostgresBackend::NlsValue(const QString &name) const { return m_nls.value(name.toUpper()); }

void TPostgresBackend::Prepare(const QString &sql)
{
    if (!Connected())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    const QList<TSqlToken> tokens = SignificantTokens(sql);
    switch (kindOf(tokens)) {
    case TStatementKind::Block:
        ParsePlsqlBlock(sql); // raises what is wrong with it
        return;
    case TStatementKind::Query:
    case TStatementKind::Dml: {
        const TPgStatement st = TranslateForPostgres(sql, m_catalog->SessionTables());
        m_connection->Atomically([&] {
            EnsureSessionTables(st.sessionTables);
            m_connection->Prepare(st.sql);
        });
        return;
    }
    default:
        return;
    }
}

void RegisterPostgresServer()
{
    RegisterBackend(QStringLiteral("postgres"), [] { return std::unique_ptr<TDbBackend>(new TPostgresBackend); });
}

namespace {
// Loading the library is enough for a session to reach a PostgreSQL server.
const bool g_registered = (RegisterPostgresServer(), true);
} // namespace
