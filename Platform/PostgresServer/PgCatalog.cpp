#include "PostgresServer/PgCatalog.h"

#include "DataAccess/DAError.h"
#include "PostgresServer/PgConnection.h"
#include "PostgresServer/PgTranslator.h"
#include "PostgresServer/PostgresServerLog.h"

namespace {

[[noreturn]] void notDeclared(const QString &name)
{
    RaiseOraError(OraErr::PlsqlError,
                  QStringLiteral("line 1, column 7:\nPLS-00201: identifier '%1' must be declared").arg(name.toUpper()));
}

TFieldType typeOfPg(const QString &type)
{
    if (type == QLatin1String("integer") || type == QLatin1String("bigint") || type == QLatin1String("smallint"))
        return TFieldType::ftInteger;
    if (type == QLatin1String("numeric") || type == QLatin1String("double precision") || type == QLatin1String("real"))
        return TFieldType::ftFloat;
    if (type.startsWith(QLatin1String("timestamp")) || type == QLatin1String("date"))
        return TFieldType::ftDateTime;
    if (type == QLatin1String("boolean"))
        return TFieldType::ftBoolean;
    if (type == QLatin1String("refcursor"))
        return TFieldType::ftCursor;
    return TFieldType::ftString;
}

TParamType directionOf(const QString &mode)
{
    if (mode == QLatin1String("o"))
        return TParamType::ptOutput;
    if (mode == QLatin1String("b"))
        return TParamType::ptInputOutput;
    return TParamType::ptInput;
}

} // namespace

void TPgCatalog::Forget()
{
    m_objectsLoaded = false;
    m_offers.clear();
    m_routines.clear();
    m_sessionTables.reset();
}

void TPgCatalog::LoadObjects()
{
    if (m_objectsLoaded)
        return;
    const TExecResult r =
        m_connection.Run(QStringLiteral("SELECT upper(owner), upper(object_name) FROM sys.server_objects"));
    for (const QVector<QVariant> &row : r.rows.rows)
        m_offers[row[0].toString()].insert(row[1].toString());
    m_objectsLoaded = true;
}

const QSet<QString> &TPgCatalog::SessionTables()
{
    if (!m_sessionTables) {
        QSet<QString> tables;
        try {
            const TExecResult r = m_connection.Run(
                QStringLiteral("SELECT upper(owner) || '.' || upper(table_name) FROM sys.session_tables"));
            for (const QVector<QVariant> &row : r.rows.rows)
                tables.insert(row[0].toString());
        } catch (const EDAError &e) {
            // A database without the scheme's catalogue has no session tables.
            qCDebug(lcPostgres) << "no session tables:" << e.message();
        }
        m_sessionTables = tables;
    }
    return *m_sessionTables;
}

const TPgRoutine &TPgCatalog::Routine(const QString &dottedName)
{
    const QString key = dottedName.trimmed().toUpper().remove(QLatin1Char('"'));
    const auto known = m_routines.constFind(key);
    if (known != m_routines.constEnd())
        return *known;
    LoadObjects();
    const QStringList parts = key.split(QLatin1Char('.'));
    QString schema, name;
    if (parts.size() == 3) {
        // SCHEME.PACKAGE.NAME: the scheme must offer the package.
        if (!m_offers.value(parts[0]).contains(parts[1]))
            notDeclared(dottedName);
        schema = parts[1];
        name = parts[2];
    } else if (parts.size() == 2) {
        // SCHEME.PROCEDURE, or PACKAGE.PROCEDURE of a scheme that has the package.
        bool offered = m_offers.contains(parts[0]) ? m_offers.value(parts[0]).contains(parts[1]) : false;
        for (auto it = m_offers.constBegin(); !offered && it != m_offers.constEnd(); ++it)
            offered = it->contains(parts[0]);
        if (!offered)
            notDeclared(dottedName);
        schema = parts[0];
        name = parts[1];
    } else if (parts.size() == 1 && !parts[0].isEmpty()) {
        for (auto it = m_offers.constBegin(); schema.isEmpty() && it != m_offers.constEnd(); ++it)
            if (it->contains(parts[0]))
                schema = it.key();
        if (schema.isEmpty())
            notDeclared(dottedName);
        name = parts[0];
    } else {
        notDeclared(dottedName);
    }
    const TPgRoutineName pg = PgRoutineName(schema + QLatin1Char('.') + name);
    return *m_routines.insert(key, Describe(pg.schema, pg.name, dottedName));
}

TPgRoutine TPgCatalog::Describe(const QString &schema, const QString &name, const QString &shownName)
{
    const TExecResult r = m_connection.Run(
        QStringLiteral("SELECT p.provolatile, p.proretset, p.prorettype::regtype::text, "
                       "array_to_string(coalesce(p.proallargtypes::regtype[], p.proargtypes::regtype[]), ','), "
                       "array_to_string(p.proargmodes, ','), array_to_string(p.proargnames, ','), "
                       "EXISTS (SELECT 1 FROM sys.session_packages s WHERE lower(s.package) = n.nspname) "
                       "FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace "
                       "WHERE n.nspname = $1 AND p.proname = $2 AND p.prokind = 'f' ORDER BY p.oid"),
        {schema, name});
    if (r.rows.rows.isEmpty())
        notDeclared(shownName);
    const QVector<QVariant> &row = r.rows.rows.first();
    TPgRoutine routine;
    routine.schema = schema;
    routine.name = name;
    // A routine of a package that changes only the session's own tables
    // (sys.session_packages) takes no transaction: it locks nothing another session waits for.
    routine.writes = row[0].toString() == QLatin1String("v") && !row[6].toBool();
    routine.returnsRows = row[1].toBool();
    const QString returns = row[2].toString();
    const QStringList types = row[3].toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QStringList modes = row[4].toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QStringList names = row[5].toString().split(QLatin1Char(','));
    bool outArgs = false;
    QList<TProcArgInfo> params;
    for (int i = 0; i < types.size(); ++i) {
        const QString mode = modes.value(i, QStringLiteral("i"));
        if (mode == QLatin1String("t")) // a column of RETURNS TABLE
            continue;
        TProcArgInfo a;
        a.name = names.value(i).toUpper();
        a.direction = directionOf(mode);
        a.type = typeOfPg(types[i]);
        outArgs = outArgs || a.direction != TParamType::ptInput;
        params.append(a);
    }
    // An Oracle function returns its value; a procedure gives its OUT parameters or nothing.
    routine.function = routine.returnsRows || (!outArgs && returns != QLatin1String("void"));
    if (routine.function)
        routine.args.append({QStringLiteral("RESULT"), TParamType::ptResult,
                             routine.returnsRows ? TFieldType::ftCursor : typeOfPg(returns)});
    routine.args.append(params);
    return routine;
}
