#include "EmbeddedServer/SqliteBackend.h"

#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/PlsqlBlock.h"
#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/EmbeddedServerLog.h"
#include "EmbeddedServer/SchemeServer.h"
#include "EmbeddedServer/SessionTables.h"
#include "EmbeddedServer/SqlTranslator.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "EmbeddedServer/UserProcs.h"

#include <QRegularExpression>

namespace {

enum class TStatementKind { Query, Dml, Block, Commit, Rollback, AlterSession, Account, SessionTable, Other };

TStatementKind KindOf(const QList<TSqlToken> &t)
{
    if (t.isEmpty())
        return TStatementKind::Other;
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
    if ((f.isWord("CREATE") || f.isWord("ALTER") || f.isWord("DROP")) && t.size() > 1 && t[1].isWord("USER"))
        return TStatementKind::Account;
    if (f.isWord("CREATE") && t.size() > 2 && t[1].isWord("GLOBAL") && t[2].isWord("TEMPORARY"))
        return TStatementKind::SessionTable;
    return TStatementKind::Dml;
}

bool isName(const TSqlToken &t) { return t.kind == TSqlTok::Ident || t.kind == TSqlTok::QuotedIdent; }

// The scheme whose table a change statement writes (INSERT INTO S.T, UPDATE
// S.T, DELETE FROM S.T); empty when the statement names no scheme or writes a
// session table, which takes no lock.
QString WrittenScheme(const QList<TSqlToken> &t, const QSet<QString> &sessionTables)
{
    int i = 0;
    if (i < t.size() &&
        (t[i].isWord("INSERT") || t[i].isWord("REPLACE") || t[i].isWord("UPDATE") || t[i].isWord("DELETE"))) {
        ++i;
        if (i + 1 < t.size() && t[i].isWord("OR"))
            i += 2;
        if (i < t.size() && (t[i].isWord("INTO") || t[i].isWord("FROM")))
            ++i;
    } else {
        return QString();
    }
    if (i + 2 >= t.size() || !isName(t[i]) || !t[i + 1].isOp(".") || !isName(t[i + 2]))
        return QString();
    if (sessionTables.contains(SessionTableKey(t[i].name(), t[i + 2].name())))
        return QString();
    return t[i].name().toUpper();
}

// Statements kept parsed per backend; past this many the cache starts again.
constexpr int kParsedStatementLimit = 256;

} // namespace

struct TSqliteBackend::TParsedStatement {
    TStatementKind kind = TStatementKind::Other;
    QString sqlite;          // Query, Dml, Other: the translated statement
    QString writes;          // Dml: the scheme it writes (WrittenScheme)
    QList<TPlsqlStep> steps; // Block: its steps, the text of Sql steps translated
    QStringList stepWrites;  // Block: the scheme each Sql step writes
};

TSqliteBackend::TSqliteBackend() = default;
TSqliteBackend::~TSqliteBackend() { Disconnect(); }

void TSqliteBackend::Connect(const TConnectParams &params)
{
    Disconnect();
    if (params.server.path.isEmpty())
        RaiseConfigError(OraErr::UnknownService, Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServerPathMissing")),
                                                     params.server.name, ServersIniPath()));
    m_parsed.clear(); // what a statement means depends on the server's session tables
    auto connection = std::make_unique<TSqliteConnection>();
    connection->Open(params.server.path, false);
    CheckLogin(*connection, params.username, params.password);
    connection->SessionUser = params.username.trimmed().toUpper();
    if (!params.options.DateFormat.isEmpty())
        connection->Nls.insert(QStringLiteral("NLS_DATE_FORMAT"), params.options.DateFormat);
    m_connection = std::move(connection);
}

void TSqliteBackend::OpenAsAdministrator(const QString &folder, bool create)
{
    Disconnect();
    m_parsed.clear();
    auto connection = std::make_unique<TSqliteConnection>();
    connection->Administrator = true;
    connection->SessionUser = QStringLiteral("SYS");
    connection->Open(folder, create);
    m_connection = std::move(connection);
}

void TSqliteBackend::CreateScheme(const QString &scheme)
{
    if (!m_connection || !m_connection->Administrator)
        RaiseOraError(OraErr::InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    // A file is attached (and put in WAL mode) only outside a transaction.
    m_connection->Commit();
    m_connection->AttachScheme(scheme, true);
}

void TSqliteBackend::Disconnect()
{
    if (m_connection) {
        m_connection->Close(); // uncommitted changes are rolled back
        m_connection.reset();
    }
}

bool TSqliteBackend::Connected() const { return m_connection && m_connection->IsOpen(); }

TExecResult TSqliteBackend::Execute(const QString &sql, TOraParams &params)
{
    if (!Connected())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    // A statement that fails in a transaction it began itself leaves no
    // transaction (and no write lock) behind.
    const bool wasInTransaction = m_connection->InTransaction();
    try {
        TExecResult result = ExecuteStatement(sql, params);
        // A transaction that changed nothing shared (only session tables, or
        // nothing) ends with the statement that began it: kept open, it would
        // keep the session reading an old state of the data.
        if (!wasInTransaction && m_connection->InTransaction() && !m_connection->HoldsWriteLock())
            m_connection->Commit();
        return result;
    } catch (...) {
        if (!wasInTransaction && m_connection->InTransaction())
            m_connection->Rollback();
        throw;
    }
}

std::shared_ptr<const TSqliteBackend::TParsedStatement> TSqliteBackend::Parsed(const QString &sql)
{
    const auto found = m_parsed.constFind(sql);
    if (found != m_parsed.constEnd())
        return *found;
    auto parsed = std::make_shared<TParsedStatement>();
    const QList<TSqlToken> tokens = SignificantTokens(sql);
    const QSet<QString> &sessionTables = m_connection->SessionTableKeys();
    parsed->kind = KindOf(tokens);
    switch (parsed->kind) {
    case TStatementKind::Query:
    case TStatementKind::Dml:
    case TStatementKind::Other:
        parsed->sqlite = TranslateOracleSql(sql, sessionTables);
        parsed->writes = WrittenScheme(tokens, sessionTables);
        break;
    case TStatementKind::Block:
        parsed->steps = ParsePlsqlBlock(sql);
        for (TPlsqlStep &step : parsed->steps) {
            parsed->stepWrites.append(
                step.kind == TPlsqlStep::Sql ? WrittenScheme(SignificantTokens(step.text), sessionTables) : QString());
            if (step.kind == TPlsqlStep::Sql)
                step.text = TranslateOracleSql(step.text, sessionTables);
        }
        break;
    default:
        break;
    }
    if (m_parsed.size() >= kParsedStatementLimit)
        m_parsed.clear();
    m_parsed.insert(sql, parsed);
    return parsed;
}

TExecResult TSqliteBackend::ExecuteStatement(const QString &sql, TOraParams &params)
{
    TSqliteConnection &c = *m_connection;
    const std::shared_ptr<const TParsedStatement> parsed = Parsed(sql);
    TExecResult result;
    switch (parsed->kind) {
    case TStatementKind::Query:
        result.hasRows = true;
        result.rows = c.Query(parsed->sqlite, params);
        return result;
    case TStatementKind::Commit:
        c.Commit();
        return result;
    case TStatementKind::Rollback:
        c.Rollback();
        return result;
    case TStatementKind::AlterSession: {
        // ALTER SESSION SET NAME = 'value' [NAME = 'value' ...]: kept for the session.
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
            c.Nls.insert(m.captured(1).toUpper(), value);
            any = true;
        }
        if (!any)
            RaiseOraError(922, QStringLiteral("missing or invalid option"));
        return result;
    }
    case TStatementKind::Account:
        ExecAccountStatement(c, sql);
        return result;
    case TStatementKind::SessionTable: {
        const std::optional<TSessionTableDecl> decl = ParseSessionTableDeclaration(sql);
        if (!decl)
            RaiseOraError(901, QStringLiteral("invalid CREATE command"));
        c.BeginWrite(decl->scheme);
        c.DeclareSessionTable(*decl);
        m_parsed.clear(); // statements read before name the table in its scheme
        return result;
    }
    case TStatementKind::Block:
        RunBlock(*parsed, params);
        return result;
    case TStatementKind::Dml:
    case TStatementKind::Other:
        break;
    }
    BeginWriteOf(parsed->writes);
    try {
        result.rowsAffected = c.Exec(parsed->sqlite, params);
    } catch (const EDAError &e) {
        // SQLite tells no more than a failed foreign key: a new row names a missing parent.
        if (e.ErrorCode() != OraErr::ChildRecordFound || !SignificantTokens(sql).value(0).isWord("INSERT"))
            throw;
        RaiseOraError(2291, QStringLiteral("integrity constraint violated - parent key not found"));
    }
    return result;
}

void TSqliteBackend::BeginWriteOf(const QString &scheme)
{
    // A statement that names no scheme takes the locks of what it writes as it writes.
    if (scheme.isEmpty() || !m_connection->HasScheme(scheme))
        m_connection->BeginTransaction();
    else
        m_connection->BeginWrite(scheme);
}

QVariant TSqliteBackend::Evaluate(const QString &expression, const TOraParams &params)
{
    const TResultSet r = m_connection->Query(
        TranslateOracleSql(QStringLiteral("SELECT ") + expression, m_connection->SessionTableKeys()), params);
    return r.rows.isEmpty() ? QVariant() : r.rows.first().value(0);
}

void TSqliteBackend::RunBlock(const TParsedStatement &block, TOraParams &params)
{
    TSqliteConnection &c = *m_connection;
    const QList<TPlsqlStep> &steps = block.steps;
    // The block's changes since its last COMMIT go together: a failure undoes them all.
    bool savepoint = false;
    auto ensureWrite = [&](const QString &scheme) {
        BeginWriteOf(scheme);
        if (!savepoint) {
            c.Exec(QStringLiteral("SAVEPOINT zblock"));
            savepoint = true;
        }
    };
    auto bindOf = [&](const QString &name) -> TOraParam & {
        TOraParam *p = params.FindParam(name);
        if (!p)
            RaiseOraError(1008, QStringLiteral("not all variables bound (%1)").arg(name));
        return *p;
    };
    try {
        for (qsizetype at = 0; at < steps.size(); ++at) {
            const TPlsqlStep &step = steps[at];
            switch (step.kind) {
            case TPlsqlStep::Null:
                break;
            case TPlsqlStep::Commit:
                c.Commit();
                savepoint = false;
                break;
            case TPlsqlStep::Rollback:
                c.Rollback();
                savepoint = false;
                break;
            case TPlsqlStep::Sql:
                ensureWrite(block.stepWrites.value(at));
                c.Exec(step.text, params);
                break;
            case TPlsqlStep::Assign:
                bindOf(step.resultBind).SetAsVariant(Evaluate(step.text, params));
                break;
            case TPlsqlStep::Call: {
                const TResolvedProc proc = ResolveServerProc(c, step.target);
                if (!step.resultBind.isEmpty() && !proc.proc->IsFunction())
                    RaiseOraError(OraErr::PlsqlError,
                                  QStringLiteral("line 1, column 7:\nPLS-00222: no function with name "
                                                 "'%1' exists in this scope")
                                      .arg(proc.proc->name));
                if (step.resultBind.isEmpty() && proc.proc->IsFunction())
                    RaiseOraError(OraErr::PlsqlError,
                                  QStringLiteral("line 1, column 7:\nPLS-00221: '%1' is not a procedure "
                                                 "or is undefined")
                                      .arg(proc.proc->name));
                QVariantList args;
                for (const TPlsqlArg &a : step.args)
                    args.append(a.bind.isEmpty() ? Evaluate(a.expression, params) : bindOf(a.bind).AsVariant());
                // The procedure takes the lock it needs itself (CallServerProc), and
                // the block's savepoint follows it: a transaction begun earlier would
                // pin the scheme to what the procedure's first check read, and a
                // writer committing meanwhile would then make the lock fail at once.
                std::function<void()> onLocked;
                if (proc.proc->writes)
                    onLocked = [&] {
                        if (!savepoint) {
                            c.Exec(QStringLiteral("SAVEPOINT zblock"));
                            savepoint = true;
                        }
                    };
                std::shared_ptr<const TResultSet> cursor;
                const QVariant value = CallServerProc(c, proc, args, &cursor, nullptr, onLocked);
                // Out arguments go back into their parameters.
                const int offset = proc.proc->IsFunction() ? 1 : 0;
                for (int i = 0; i < step.args.size(); ++i) {
                    const TProcArgInfo &info = proc.proc->args[i + offset];
                    if (!step.args[i].bind.isEmpty() && info.direction != TParamType::ptInput)
                        bindOf(step.args[i].bind).SetAsVariant(args.value(i));
                }
                if (!step.resultBind.isEmpty()) {
                    TOraParam &r = bindOf(step.resultBind);
                    if (cursor)
                        r.SetAsCursor(cursor);
                    else
                        r.SetAsVariant(value);
                }
                break;
            }
            }
        }
        if (savepoint)
            c.Exec(QStringLiteral("RELEASE zblock"));
    } catch (...) {
        if (savepoint && c.InTransaction()) {
            try {
                c.Exec(QStringLiteral("ROLLBACK TO zblock"));
                c.Exec(QStringLiteral("RELEASE zblock"));
            } catch (const std::exception &e) {
                // The block's own error goes on to the caller; this one would hide it.
                qCWarning(lcServer) << "a failed block could not be rolled back:" << ExceptionMessage(e);
            }
        }
        throw;
    }
}

void TSqliteBackend::Commit()
{
    if (Connected())
        m_connection->Commit();
}

void TSqliteBackend::Rollback()
{
    if (Connected())
        m_connection->Rollback();
}

bool TSqliteBackend::InTransaction() const { return Connected() && m_connection->InTransaction(); }

QList<TProcArgInfo> TSqliteBackend::DescribeProcedure(const QString &name)
{
    if (!Connected())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    return ResolveServerProc(*m_connection, name).proc->args;
}

QString TSqliteBackend::NlsValue(const QString &name) const
{
    return Connected() ? m_connection->Nls.value(name.toUpper()) : QString();
}

QString TSqliteBackend::SchemeFault(const QString &scheme) const
{
    return Connected() ? m_connection->SchemeFault(scheme) : QString();
}

void TSqliteBackend::Prepare(const QString &sql)
{
    if (!Connected())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    // Parsing raises what is wrong with a block.
    const std::shared_ptr<const TParsedStatement> parsed = Parsed(sql);
    if (parsed->kind == TStatementKind::Query || parsed->kind == TStatementKind::Dml)
        m_connection->Check(parsed->sqlite);
}

void RegisterEmbeddedServer()
{
    RegisterBackend(QStringLiteral("sqlite"), [] { return std::unique_ptr<TDbBackend>(new TSqliteBackend); });
}

namespace {
// Loading the library is enough for a session to reach the embedded server.
const bool g_registered = (RegisterEmbeddedServer(), true);
} // namespace
