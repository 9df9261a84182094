#include "PostgresServer/PgConnection.h"

#include "DataAccess/DAError.h"
#include "PostgresServer/PgErrors.h"
#include "PostgresServer/PostgresServerLog.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <libpq-fe.h>

namespace {

QAtomicInt g_connections;

constexpr char kDriver[] = "QPSQL";

// "-c name=value" options of the connection string; a value may hold no blank.
QString optionsOf(const QHash<QString, QString> &settings)
{
    QStringList options;
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
        options << QStringLiteral("-c %1=%2").arg(it.key(), QString(it.value()).remove(QLatin1Char(' ')));
    return options.join(QLatin1Char(' '));
}

// The kind, size and scale of a column as the Oracle client reports them.
TColumnInfo columnOf(const QSqlField &f)
{
    TColumnInfo col;
    col.name = f.name();
    // Oracle names an unquoted column in upper case; PostgreSQL in lower case.
    if (col.name == col.name.toLower())
        col.name = col.name.toUpper();
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        col.type = TFieldType::ftInteger;
        break;
    case QMetaType::Double:
        // numeric(p, 0) as NUMBER(p): an integer kind; numeric(p, s) keeps its scale.
        if (f.length() > 0 && f.precision() == 0)
            col.type = f.length() <= 9 ? TFieldType::ftInteger : TFieldType::ftLargeint;
        else {
            col.type = TFieldType::ftFloat;
            if (f.length() > 0 && f.precision() > 0)
                col.scale = f.precision();
        }
        break;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        col.type = TFieldType::ftDateTime;
        break;
    case QMetaType::QTime:
        col.type = TFieldType::ftTime;
        break;
    case QMetaType::Bool:
        col.type = TFieldType::ftBoolean;
        break;
    case QMetaType::QByteArray:
        col.type = TFieldType::ftBlob;
        break;
    default:
        col.type = TFieldType::ftString;
        col.size = qMax(0, f.length());
        break;
    }
    return col;
}

QVariant valueOf(const QVariant &raw, const TColumnInfo &col)
{
    if (raw.isNull())
        return QVariant();
    switch (col.type) {
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
        return raw.toLongLong();
    case TFieldType::ftFloat:
        return raw.toDouble();
    case TFieldType::ftDateTime:
        return raw.typeId() == QMetaType::QDate ? QVariant(raw.toDate().startOfDay()) : raw;
    default:
        return raw;
    }
}

// A value as a parameter: Oracle knows no empty text, it is NULL.
QVariant boundValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        return QVariant();
    return v;
}

PGconn *connectionOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

PGresult *resultOf(const QSqlQuery &q)
{
    const QVariant handle = q.result() ? q.result()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "PGresult*") != 0)
        return nullptr;
    return *static_cast<PGresult *const *>(handle.constData());
}

} // namespace

struct TPgConnection::TKept {
    explicit TKept(const QSqlDatabase &db) : query(db) { query.setForwardOnly(true); }
    QSqlQuery query;
};

TPgConnection::TPgConnection() = default;

TPgConnection::~TPgConnection() { Close(); }

void TPgConnection::Open(const TPgConnectInfo &info)
{
    Close();
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(kDriver)))
        RaiseOraError(OraErr::DriverMissing,
                      QStringLiteral("TNS:protocol adapter error: the Qt SQL driver QPSQL for PostgreSQL is not "
                                     "installed (Debian: libqt6sql6-psql; installed drivers: %1)")
                          .arg(QSqlDatabase::drivers().join(QLatin1String(", "))));
    m_name = QStringLiteral("zandrell-postgres-%1").arg(g_connections.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QString::fromLatin1(kDriver), m_name);
    if (!info.host.isEmpty())
        db.setHostName(info.host);
    if (info.port > 0)
        db.setPort(info.port);
    db.setDatabaseName(info.database);
    db.setUserName(info.user);
    db.setPassword(info.password);
    QStringList options{QStringLiteral("connect_timeout=10"), QStringLiteral("application_name=KorConsole")};
    if (!info.settings.isEmpty())
        options << QStringLiteral("options='%1'").arg(optionsOf(info.settings));
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
        throw PgError(error);
    }
}

void TPgConnection::Close()
{
    if (m_name.isEmpty())
        return;
    m_kept.clear();
    m_keptOrder.clear();
    m_discarded.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        // Closing ends the session; the server rolls back what it did not commit.
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
    m_inTransaction = false;
    m_notNull.clear();
}

bool TPgConnection::IsOpen() const
{
    if (m_name.isEmpty())
        return false;
    const QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen())
        return false;
    PGconn *conn = connectionOf(db);
    return !conn || PQstatus(conn) == CONNECTION_OK;
}

void TPgConnection::Raise(const QSqlError &error)
{
    EDAError e = PgError(error);
    if (!IsOpen()) {
        // The server went away: nothing of the session is left.
        m_inTransaction = false;
    }
    throw e;
}

TPgConnection::TKept &TPgConnection::Prepared(const QString &sql)
{
    auto found = m_kept.find(sql);
    if (found != m_kept.end()) {
        m_keptOrder.removeOne(sql);
        m_keptOrder.append(sql);
        return **found;
    }
    auto kept = std::make_shared<TKept>(QSqlDatabase::database(m_name, false));
    if (!kept->query.prepare(sql)) {
        const QSqlError error = kept->query.lastError();
        m_discarded.push_back(std::move(kept));
        Raise(error);
    }
    while (m_keptOrder.size() >= kKeptStatements)
        m_kept.remove(m_keptOrder.takeFirst());
    m_kept.insert(sql, kept);
    m_keptOrder.append(sql);
    return *kept;
}

void TPgConnection::Prepare(const QString &sql)
{
    if (!IsOpen())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    Atomically([&] { Prepared(sql); });
}

void TPgConnection::Forget(const QString &sql)
{
    // Dropped when the transaction can take the statement's DEALLOCATE again.
    if (const auto kept = m_kept.take(sql))
        m_discarded.push_back(kept);
    m_keptOrder.removeOne(sql);
}

QList<bool> TPgConnection::NotNullColumns(unsigned tableOid)
{
    const auto found = m_notNull.constFind(tableOid);
    if (found != m_notNull.constEnd())
        return *found;
    QList<bool> notNull;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (q.exec(QStringLiteral("SELECT attnum, attnotnull FROM pg_catalog.pg_attribute WHERE attrelid = %1 AND "
                              "attnum > 0 ORDER BY attnum")
                   .arg(tableOid))) {
        while (q.next()) {
            const int attnum = q.value(0).toInt();
            while (notNull.size() < attnum)
                notNull.append(false);
            notNull[attnum - 1] = q.value(1).toBool();
        }
    } else {
        qCDebug(lcPostgres) << "the columns of table" << tableOid << "could not be read:" << q.lastError().text();
    }
    m_notNull.insert(tableOid, notNull);
    return notNull;
}

TResultSet TPgConnection::RowsOf(QSqlQuery &query)
{
    TResultSet rows;
    const QSqlRecord record = query.record();
    PGresult *result = resultOf(query);
    for (int c = 0; c < record.count(); ++c) {
        TColumnInfo col = columnOf(record.field(c));
        // A column read straight from a table is required when the table says NOT NULL.
        if (result) {
            const Oid table = PQftable(result, c);
            const int column = PQftablecol(result, c);
            if (table != InvalidOid && column > 0)
                col.required = NotNullColumns(table).value(column - 1);
        }
        rows.columns.append(col);
    }
    const int columns = int(rows.columns.size());
    QList<int> unsized; // text columns without a declared size: as wide as their widest value
    for (int c = 0; c < columns; ++c)
        if (rows.columns[c].type == TFieldType::ftString && rows.columns[c].size == 0)
            unsized.append(c);
    while (query.next()) {
        QVector<QVariant> row(columns);
        for (int c = 0; c < columns; ++c)
            row[c] = valueOf(query.value(c), rows.columns[c]);
        for (int c : unsized)
            rows.columns[c].size = qMax(rows.columns[c].size, int(row[c].toString().size()));
        rows.rows.append(std::move(row));
    }
    for (int c : unsized)
        rows.columns[c].size = qMax(rows.columns[c].size, 1);
    return rows;
}

TExecResult TPgConnection::RunOnce(const QString &sql, const QVariantList &values, QSqlError *failed)
{
    TKept &kept = Prepared(sql);
    QSqlQuery &q = kept.query;
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, boundValue(values[i]));
    if (!q.exec()) {
        *failed = q.lastError();
        Raise(*failed);
    }
    TExecResult result;
    if (q.isSelect()) {
        result.hasRows = true;
        result.rows = RowsOf(q);
    } else {
        result.rowsAffected = q.numRowsAffected();
    }
    q.finish();
    return result;
}

TExecResult TPgConnection::Run(const QString &sql, const QVariantList &values)
{
    if (!IsOpen())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    for (int attempt = 0;; ++attempt) {
        QSqlError failed;
        TExecResult result;
        try {
            Atomically([&] { result = RunOnce(sql, values, &failed); });
            return result;
        } catch (const EDAError &) {
            // A statement kept from before a change of its tables ("cached plan
            // must not change result type") is prepared anew once.
            const QString state = failed.nativeErrorCode();
            if (attempt > 0 || !IsOpen() || (state != QLatin1String("0A000") && state != QLatin1String("26000")))
                throw;
            Forget(sql);
            m_discarded.clear();
        }
    }
}

void TPgConnection::ExecDirect(const QString &sql)
{
    if (!IsOpen())
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(sql))
        Raise(q.lastError());
}

QVariant TPgConnection::Scalar(const QString &sql, const QVariantList &values)
{
    const TExecResult r = Run(sql, values);
    return r.rows.rows.isEmpty() ? QVariant() : r.rows.rows.first().value(0);
}

void TPgConnection::Begin()
{
    if (m_inTransaction)
        return;
    ExecDirect(QStringLiteral("BEGIN"));
    m_inTransaction = true;
    ++m_transaction;
}

void TPgConnection::Commit()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    ExecDirect(QStringLiteral("COMMIT"));
    m_discarded.clear();
}

void TPgConnection::Rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    ExecDirect(QStringLiteral("ROLLBACK"));
    m_discarded.clear();
}

void TPgConnection::Atomically(const std::function<void()> &work)
{
    if (!m_inTransaction) {
        // Outside a transaction a failed statement leaves nothing to undo.
        const auto clean = qScopeGuard([this] { m_discarded.clear(); });
        work();
        return;
    }
    const int transaction = m_transaction;
    const QString savepoint = QStringLiteral("z%1").arg(++m_savepoints);
    ExecDirect(QStringLiteral("SAVEPOINT ") + savepoint);
    // The work may end the transaction itself (a block's COMMIT); its savepoint ends with it.
    auto savepointStands = [&] { return m_inTransaction && m_transaction == transaction && IsOpen(); };
    try {
        work();
    } catch (...) {
        if (savepointStands()) {
            try {
                ExecDirect(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepoint);
                ExecDirect(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
                m_discarded.clear();
            } catch (const EDAError &e) {
                // The statement's own error goes on to the caller; this one would hide it.
                qCWarning(lcPostgres) << "a failed statement could not be undone:" << e.message();
            }
        }
        throw;
    }
    if (savepointStands())
        ExecDirect(QStringLiteral("RELEASE SAVEPOINT ") + savepoint);
}
