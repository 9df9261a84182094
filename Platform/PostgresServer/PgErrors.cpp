#include "PostgresServer/PgErrors.h"

#include <QRegularExpression>
#include <QSqlError>

namespace {

struct TStateCode {
    const char *state;
    int code;
};

// SQLSTATE -> Oracle number, for the faults the console and its scheme meet.
constexpr TStateCode kStates[] = {
    {"23505", OraErr::UniqueConstraint},       // unique_violation
    {"55P03", OraErr::NoSessionLock},          // lock_not_available (lock_timeout)
    {"40P01", 60},                             // deadlock detected
    {"40001", 8177},                           // cannot serialize access
    {"42P01", OraErr::TableOrViewMissing},     // undefined_table
    {"42703", OraErr::InvalidIdentifier},      // undefined_column
    {"42601", OraErr::InvalidSql},             // syntax_error
    {"42501", OraErr::InsufficientPrivileges}, // insufficient_privilege
    {"42883", OraErr::PlsqlError},             // undefined_function: PLS-00201
    {"3F000", OraErr::PlsqlError},             // invalid_schema_name (a package that is not there)
    {"23502", OraErr::NotNullViolation},       // not_null_violation
    {"22001", OraErr::ValueTooLarge},          // string_data_right_truncation
    {"22003", 1438},                           // numeric_value_out_of_range
    {"22P02", OraErr::InvalidNumber},          // invalid_text_representation
    {"22012", 1476},                           // division_by_zero
    {"22007", 1830},                           // invalid_datetime_format
    {"22008", 1847},                           // datetime_field_overflow
    {"P0002", OraErr::NoDataFound},            // no_data_found
    {"28P01", OraErr::InvalidLogon},           // invalid_password
    {"28000", OraErr::AccountLocked},          // invalid_authorization: a role that may not log in
    {"3D000", OraErr::UnknownService},         // invalid_catalog_name: no such database
    {"57014", 1013},                           // query_canceled: user requested cancel
    {"57P01", 3113},                           // admin_shutdown
    {"08006", 3113},                           // connection_failure
    {"08003", OraErr::NotConnected},           // connection_does_not_exist
    {"25P02", 1013},                           // in_failed_sql_transaction
    {"42704", 1918},                           // undefined_object (a role that is not there)
    {"42710", 1920},                           // duplicate_object (a role of that name)
};

// What a failed log-in says, before the server gave any SQLSTATE.
struct TTextCode {
    const char *text;
    int code;
};
constexpr TTextCode kLoginTexts[] = {
    {"password authentication failed", OraErr::InvalidLogon},
    {"is not permitted to log in", OraErr::AccountLocked},
    {"no password supplied", OraErr::NullPassword},
    {"does not exist", OraErr::UnknownService}, // database "x" does not exist
    {"could not translate host name", 12545},
    {"No such file or directory", 12541},
    {"Connection refused", 12541},
    {"timeout expired", 12170},
    {"the database system is starting up", 12528},
    {"the database system is shutting down", 12528},
    {"too many connections", 12516},
    {"remaining connection slots are reserved", 12516},
    {"server closed the connection unexpectedly", 3113},
    {"no connection to the server", 3114},
};

} // namespace

QString PgPrimaryMessage(const QString &databaseText)
{
    QString text = databaseText.trimmed();
    // "connection to server on socket ... failed: FATAL:  password authentication failed for user "x""
    static const QRegularExpression severity(QStringLiteral("(?:^|\\s)(?:ERROR|FATAL|PANIC):\\s+"));
    const QRegularExpressionMatch m = severity.match(text);
    if (m.hasMatch())
        text = text.mid(m.capturedEnd());
    const qsizetype line = text.indexOf(QLatin1Char('\n'));
    if (line >= 0)
        text = text.left(line);
    static const QRegularExpression state(QStringLiteral("\\s*\\([0-9A-Z]{5}\\)$"));
    return text.remove(state).trimmed();
}

int OracleCodeOfPgError(const QString &sqlState, const QString &message)
{
    // A scheme procedure's own refusal keeps its number.
    static const QRegularExpression ora(QStringLiteral("^ORA-(\\d{5})\\b"));
    const QRegularExpressionMatch m = ora.match(message);
    if (m.hasMatch())
        return m.captured(1).toInt();
    if (sqlState == QLatin1String("23503"))
        // foreign_key_violation: a missing parent (2291) or a child that is still there (2292).
        return message.contains(QLatin1String("is still referenced")) ? OraErr::ChildRecordFound : 2291;
    for (const TStateCode &s : kStates)
        if (sqlState == QLatin1String(s.state))
            return s.code;
    if (sqlState.isEmpty())
        for (const TTextCode &t : kLoginTexts)
            if (message.contains(QLatin1String(t.text)))
                return t.code;
    if (sqlState.startsWith(QLatin1String("08")))
        return 3113;
    return OraErr::PlsqlError;
}

EDAError PgError(const QSqlError &error)
{
    const QString sqlState = error.nativeErrorCode();
    QString message = PgPrimaryMessage(error.databaseText());
    if (message.isEmpty())
        message = PgPrimaryMessage(error.driverText());
    const int code = OracleCodeOfPgError(sqlState, message);
    if (message.startsWith(QLatin1String("ORA-")))
        return EDAError(code, message);
    if (code == OraErr::PlsqlError && (sqlState == QLatin1String("42883") || sqlState == QLatin1String("3F000")))
        message = QStringLiteral("PLS-00201: %1").arg(message);
    return EDAError(code, OraMessage(code, message));
}
