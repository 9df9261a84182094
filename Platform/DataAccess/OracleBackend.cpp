#include "DataAccess/OracleBackend.h"

#include "Core/OracleHomes.h"
#include "DataAccess/DbWait.h"
#include "DataAccess/SqlLexer.h"

#include <QAtomicInt>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QAtomicInt g_connectionCounter;

// "ORA-01017: invalid username/password" -> 1017, else the driver's code, else 0.
int OracleCode(const QSqlError &error)
{
    static const QRegularExpression ora(QStringLiteral("ORA-(\\d{5})"));
    const QRegularExpressionMatch m = ora.match(error.text() + QLatin1Char(' ') + error.nativeErrorCode());
    if (m.hasMatch())
        return m.captured(1).toInt();
    bool ok = false;
    const int native = error.nativeErrorCode().toInt(&ok);
    return ok ? native : 0;
}

[[noreturn]] void Raise(const QSqlError &error)
{
    const int code = OracleCode(error);
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (!text.startsWith(QLatin1String("ORA-")) && code > 0)
        text = OraMessage(code, text);
    throw EDAError(code, text);
}

TFieldType FieldTypeOf(const QSqlField &f)
{
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return TFieldType::ftInteger;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return TFieldType::ftLargeint;
    case QMetaType::Double:
        return TFieldType::ftFloat;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return TFieldType::ftDateTime;
    case QMetaType::QTime:
        return TFieldType::ftTime;
    case QMetaType::QByteArray:
        return TFieldType::ftBlob;
    default:
        return TFieldType::ftString;
    }
}

TParamType DirectionOf(const QString &inOut)
{
    if (inOut == QLatin1String("OUT"))
        return TParamType::ptOutput;
    if (inOut == QLatin1String("IN/OUT"))
        return TParamType::ptInputOutput;
    return TParamType::ptInput;
}

TFieldType TypeOfOracle(const QString &dataType)
{
    if (dataType == QLatin1String("REF CURSOR"))
        return TFieldType::ftCursor;
    if (dataType == QLatin1String("NUMBER") || dataType == QLatin1String("FLOAT") ||
        dataType == QLatin1String("BINARY_DOUBLE"))
        return TFieldType::ftFloat;
    if (dataType == QLatin1String("PLS_INTEGER") || dataType == QLatin1String("BINARY_INTEGER") ||
        dataType == QLatin1String("INTEGER"))
        return TFieldType::ftInteger;
    if (dataType == QLatin1String("DATE") || dataType.startsWith(QLatin1String("TIMESTAMP")))
        return TFieldType::ftDateTime;
    return TFieldType::ftString;
}

} // namespace

TOracleBackend::TOracleBackend() = default;

TOracleBackend::~TOracleBackend() { Disconnect(); }

QString TOracleBackend::ChooseDriver(const QString &wanted)
{
    const QStringList drivers = QSqlDatabase::drivers();
    if (!wanted.isEmpty())
        return drivers.contains(wanted, Qt::CaseInsensitive) ? wanted.toUpper() : QString();
    if (drivers.contains(QStringLiteral("QOCI")))
        return QStringLiteral("QOCI");
    if (drivers.contains(QStringLiteral("QODBC")))
        return QStringLiteral("QODBC");
    return QString();
}

void TOracleBackend::Connect(const TConnectParams &params)
{
    Disconnect();
    const QString driver = ChooseDriver(params.server.driver);
    if (driver.isEmpty())
        RaiseOraError(OraErr::DriverMissing,
                      QStringLiteral("TNS:protocol adapter error: the Qt SQL driver %1 for Oracle is not installed "
                                     "(installed drivers: %2)")
                          .arg(params.server.driver.isEmpty() ? QStringLiteral("QOCI or QODBC") : params.server.driver,
                               QSqlDatabase::drivers().join(QLatin1String(", "))));
    if (params.password.isEmpty())
        RaiseOraError(OraErr::NullPassword, QStringLiteral("null password given; logon denied"));
    // The chosen client home, before the driver starts the client for the first time.
    ApplyOracleHome(params.home);
    m_connectionName = QStringLiteral("zandrell-oracle-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connectionName);
    db.setDatabaseName(params.server.database.isEmpty() ? params.server.name : params.server.database);
    if (!params.server.hostName.isEmpty())
        db.setHostName(params.server.hostName);
    if (params.server.port > 0)
        db.setPort(params.server.port);
    if (!params.server.connectOptions.isEmpty())
        db.setConnectOptions(params.server.connectOptions);
    db.setUserName(params.username.trimmed());
    db.setPassword(params.password);
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName.clear();
        Raise(error);
    }
    // No auto-commit: every change waits for Commit.
    db.transaction();
    m_inTransaction = true;
    if (!params.options.DateFormat.isEmpty()) {
        QSqlQuery q(db);
        q.exec(
            QStringLiteral("ALTER SESSION SET NLS_DATE_FORMAT = %1").arg(QuotedSqlString(params.options.DateFormat)));
    }
}

void TOracleBackend::Disconnect()
{
    if (m_connectionName.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen()) {
            db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
    m_inTransaction = false;
}

bool TOracleBackend::Connected() const
{
    return !m_connectionName.isEmpty() && QSqlDatabase::database(m_connectionName, false).isOpen();
}

TExecResult TOracleBackend::Execute(const QString &sql, TOraParams &params)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        Raise(q.lastError());
    const QStringList names = SqlParamNames(sql);
    for (const QString &name : names) {
        TOraParam *p = params.FindParam(name);
        QVariant value = p ? p->AsVariant() : QVariant();
        QSql::ParamType dir = QSql::In;
        if (p) {
            switch (p->ParamType()) {
            case TParamType::ptOutput:
            case TParamType::ptResult:
                dir = QSql::Out;
                break;
            case TParamType::ptInputOutput:
            case TParamType::ptUnknown:
                dir = IsPlsqlBlock(sql) ? QSql::InOut : QSql::In;
                break;
            default:
                break;
            }
        }
        if (dir != QSql::In && (value.isNull() || !value.isValid())) {
            // Out buffers need a type and room.
            if (p && IsNumericFieldType(p->DataType()))
                value = QVariant(QMetaType(QMetaType::Double));
            else
                value = QString(4000, QLatin1Char(' '));
        }
        q.bindValue(QLatin1Char(':') + name, value, dir);
    }
    if (!q.exec())
        Raise(q.lastError());
    TExecResult result;
    if (q.isSelect()) {
        result.hasRows = true;
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            const QSqlField f = rec.field(i);
            result.rows.columns.append(
                {f.name(), FieldTypeOf(f), f.length() > 0 ? f.length() : 0, f.requiredStatus() == QSqlField::Required,
                 f.metaType().id() == QMetaType::Double && f.precision() > 0 ? f.precision() : -1});
        }
        while (q.next()) {
            QVector<QVariant> row(rec.count());
            for (int i = 0; i < rec.count(); ++i)
                row[i] = q.value(i);
            result.rows.rows.append(row);
            DbWorkGoesOn();
        }
    } else {
        result.rowsAffected = q.numRowsAffected();
        for (const QString &name : names)
            if (TOraParam *p = params.FindParam(name))
                if (p->CanReceive() && IsPlsqlBlock(sql))
                    p->SetAsVariant(q.boundValue(QLatin1Char(':') + name));
    }
    return result;
}

void TOracleBackend::Commit()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.commit())
        Raise(db.lastError());
    db.transaction();
}

void TOracleBackend::Rollback()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.rollback())
        Raise(db.lastError());
    db.transaction();
}

bool TOracleBackend::InTransaction() const { return m_inTransaction; }

QList<TProcArgInfo> TOracleBackend::DescribeProcedure(const QString &name)
{
    const QStringList parts = name.toUpper().split(QLatin1Char('.'));
    QString owner, package, object;
    if (parts.size() == 3) {
        owner = parts[0];
        package = parts[1];
        object = parts[2];
    } else if (parts.size() == 2) {
        owner = parts[0];
        object = parts[1];
    } else {
        object = parts.value(0);
    }
    QString sql = QStringLiteral("SELECT ARGUMENT_NAME, IN_OUT, DATA_TYPE FROM ALL_ARGUMENTS "
                                 "WHERE OBJECT_NAME = :N AND DATA_LEVEL = 0");
    TOraParams params;
    params.Add(QStringLiteral("N")).SetAsString(object);
    if (!owner.isEmpty()) {
        sql += QStringLiteral(" AND OWNER = :O");
        params.Add(QStringLiteral("O")).SetAsString(owner);
    }
    if (!package.isEmpty()) {
        sql += QStringLiteral(" AND PACKAGE_NAME = :P");
        params.Add(QStringLiteral("P")).SetAsString(package);
    } else {
        sql += QStringLiteral(" AND PACKAGE_NAME IS NULL");
    }
    sql += QStringLiteral(" ORDER BY OVERLOAD, POSITION");
    const TExecResult r = Execute(sql, params);
    if (r.rows.rows.isEmpty())
        RaiseOraError(
            OraErr::PlsqlError,
            QStringLiteral("line 1, column 7:\nPLS-00201: identifier '%1' must be declared").arg(name.toUpper()));
    QList<TProcArgInfo> args;
    for (const QVector<QVariant> &row : r.rows.rows) {
        TProcArgInfo a;
        a.name = row[0].toString();
        a.type = TypeOfOracle(row[2].toString());
        a.direction = a.name.isEmpty() ? TParamType::ptResult : DirectionOf(row[1].toString());
        if (a.name.isEmpty())
            a.name = QStringLiteral("RESULT");
        args.append(a);
    }
    return args;
}

void TOracleBackend::Prepare(const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    if (!q.prepare(sql))
        Raise(q.lastError());
}
