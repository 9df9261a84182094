#include "EmbeddedServer/SchemeServer.h"

#include "EmbeddedServer/EmbeddedServerLog.h"
#include "EmbeddedServer/LangPackProcs.h"
#include "EmbeddedServer/MenuPackProcs.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "EmbeddedServer/UserProcs.h"

#include <QHash>
#include <QMutex>

namespace {

QHash<QString, TServerProc> &registry()
{
    static QHash<QString, TServerProc> procs;
    return procs;
}

QString key(const QString &package, const QString &name)
{
    return package.toUpper() + QLatin1Char('.') + name.toUpper();
}

void EnsureRegistered()
{
    static QMutex mutex;
    static bool done = false;
    QMutexLocker lock(&mutex);
    if (done)
        return;
    done = true;
    RegisterMenuPackProcs();
    RegisterUserProcs();
    RegisterLangPackProcs();
}

const TServerProc *find(const QString &package, const QString &name)
{
    EnsureRegistered();
    const auto it = registry().constFind(key(package, name));
    return it == registry().constEnd() ? nullptr : &*it;
}

[[noreturn]] void NotDeclared(const QString &name)
{
    RaiseOraError(OraErr::PlsqlError,
                  QStringLiteral("line 1, column 7:\nPLS-00201: identifier '%1' must be declared").arg(name.toUpper()));
}

} // namespace

QString TServerCall::T(const QString &table) const
{
    const QString session = conn.SessionTable(scheme, table);
    return session.isEmpty() ? QStringLiteral("\"%1\".%2").arg(scheme, table) : session;
}

bool TServerCall::IsNull(int i) const
{
    const QVariant v = args.value(i);
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

QString TServerCall::Str(int i) const { return IsNull(i) ? QString() : args.value(i).toString(); }

qlonglong TServerCall::Int(int i) const
{
    if (IsNull(i))
        return 0;
    bool ok = false;
    const double d = args.value(i).toString().trimmed().toDouble(&ok);
    if (!ok)
        RaiseOraError(OraErr::InvalidNumber, QStringLiteral("invalid number"));
    return qRound64(d);
}

void TServerCall::SetOut(int i, const QVariant &value)
{
    while (args.size() <= i)
        args.append(QVariant());
    args[i] = value;
}

bool TServerCall::SessionIsAdministrator() const
{
    if (conn.Administrator)
        return true;
    return conn.Scalar(QStringLiteral("SELECT ISADMIN FROM %1 WHERE LOGIN = ?").arg(T(QStringLiteral("SYSUSER"))),
                       {conn.SessionUser})
               .toInt() == 1;
}

void RegisterServerProc(TServerProc proc) { registry().insert(key(proc.package, proc.name), std::move(proc)); }

void RaiseApplicationError(int code, const QString &text) { RaiseOraError(code, text); }

TResolvedProc ResolveServerProc(TSqliteConnection &conn, const QString &dottedName)
{
    QStringList parts;
    for (const QString &p : dottedName.split(QLatin1Char('.')))
        parts.append(p.trimmed().remove(QLatin1Char('"')).toUpper());
    TResolvedProc r;
    // A scheme whose file was left out: the file and why, not an undeclared name.
    if (parts.size() == 3 && conn.SchemeLeftOut(parts[0]))
        RaiseConfigError(OraErr::DataFileUnusable, conn.SchemeFault(parts[0]));
    if (parts.size() == 3) {
        r.proc = find(parts[1], parts[2]);
        if (r.proc && conn.SchemeHasObject(parts[0], parts[1]))
            r.scheme = parts[0];
        else
            NotDeclared(dottedName);
    } else if (parts.size() == 2) {
        // SCHEME.PROCEDURE, else PACKAGE.PROCEDURE in the first scheme that has the package.
        if (conn.HasScheme(parts[0]) && (r.proc = find(QString(), parts[1])) &&
            conn.SchemeHasObject(parts[0], parts[1])) {
            r.scheme = parts[0];
        } else {
            r.proc = find(parts[0], parts[1]);
            if (!r.proc)
                NotDeclared(dottedName);
            for (const QString &s : conn.Schemes())
                if (conn.SchemeHasObject(s, parts[0])) {
                    r.scheme = s;
                    break;
                }
            if (r.scheme.isEmpty())
                NotDeclared(dottedName);
        }
    } else if (parts.size() == 1 && !parts[0].isEmpty()) {
        r.proc = find(QString(), parts[0]);
        if (!r.proc)
            NotDeclared(dottedName);
        for (const QString &s : conn.Schemes())
            if (conn.SchemeHasObject(s, parts[0])) {
                r.scheme = s;
                break;
            }
        if (r.scheme.isEmpty())
            NotDeclared(dottedName);
    } else {
        NotDeclared(dottedName);
    }
    r.fullName = r.scheme + QLatin1Char('.') +
                 (r.proc->package.isEmpty() ? r.proc->name : r.proc->package + QLatin1Char('.') + r.proc->name);
    return r;
}

QVariant CallServerProc(TSqliteConnection &conn, const TResolvedProc &proc, QVariantList &args,
                        std::shared_ptr<const TResultSet> *cursor, QHash<QString, QVariant> *queryValues,
                        const std::function<void()> &onLocked)
{
    const int expected = proc.proc->InputCount();
    if (args.size() > expected || args.size() < expected - proc.proc->optional)
        RaiseOraError(OraErr::PlsqlError, QStringLiteral("line 1, column 7:\nPLS-00306: wrong number or types of "
                                                         "arguments in call to '%1'")
                                              .arg(proc.proc->name));
    while (args.size() < expected)
        args.append(QVariant());
    TSqliteConnection::InternalScope internal(conn);
    TServerCall call(conn, proc.scheme, args);
    if (!proc.proc->writes) {
        call.queryValues = queryValues;
        const QVariant result = proc.proc->body(call);
        if (cursor)
            *cursor = call.cursor;
        return result;
    }
    if (proc.proc->changes && !proc.proc->changes(call))
        return QVariant();
    switch (proc.proc->lock) {
    case TProcLock::Scheme:
        conn.BeginWrite(proc.scheme);
        break;
    case TProcLock::Accounts:
        conn.BeginWrite(QStringLiteral("main"));
        break;
    case TProcLock::Session:
        conn.BeginTransaction();
        break;
    }
    if (onLocked)
        onLocked();
    // A procedure that fails leaves nothing behind, as on Oracle.
    conn.Exec(QStringLiteral("SAVEPOINT zproc"));
    try {
        const QVariant result = proc.proc->body(call);
        conn.Exec(QStringLiteral("RELEASE zproc"));
        if (cursor)
            *cursor = call.cursor;
        return result;
    } catch (...) {
        try {
            conn.Exec(QStringLiteral("ROLLBACK TO zproc"));
            conn.Exec(QStringLiteral("RELEASE zproc"));
        } catch (const std::exception &e) {
            // The procedure's own error goes on to the caller; this one would hide it.
            qCWarning(lcServer) << "a failed procedure could not be rolled back:" << ExceptionMessage(e);
        }
        throw;
    }
}

TResolvedProc ResolveServerFunction(TSqliteConnection &conn, const QString &dottedName)
{
    const TResolvedProc proc = ResolveServerProc(conn, dottedName);
    if (!proc.proc->IsFunction())
        RaiseOraError(
            OraErr::PlsqlError,
            QStringLiteral("PLS-00222: no function with name '%1' exists in this scope").arg(proc.proc->name));
    if (proc.proc->writes)
        RaiseOraError(14551, QStringLiteral("cannot perform a DML operation inside a query"));
    return proc;
}

QVariant CallServerFunction(TSqliteConnection &conn, const QString &dottedName, QVariantList args)
{
    return CallServerProc(conn, ResolveServerFunction(conn, dottedName), args, nullptr);
}
