#pragma once
// EDAError: a database error with its Oracle error number ("ORA-00942: ...").
// Every failure of the data-access layer and its backends is one of these, so
// that callers and the session's error events see the Oracle numbers whatever
// backend stands behind the session.
#include "Core/Exceptions.h"

class PLATFORM_EXPORT EDAError : public Exception {
public:
    EDAError(int errorCode, const QString &message) : Exception(message), m_errorCode(errorCode) {}
    ~EDAError() override;
    QString className() const override { return QStringLiteral("EDAError"); }

    int ErrorCode() const { return m_errorCode; }
    // Runs the constructor again on this object: the session's OnError gives
    // an error a new number and text before it is raised.
    void Reinit(int errorCode, const QString &message)
    {
        m_errorCode = errorCode;
        setMessage(message);
    }

    // A readable text, in the user's language, of what in the configuration
    // made the error (a missing Servers.ini, an alias without its database);
    // empty for the errors of a database.
    const QString &Detail() const { return m_detail; }
    void SetDetail(const QString &detail) { m_detail = detail; }

private:
    int m_errorCode;
    QString m_detail;
};

// Oracle error numbers the layer reports.
namespace OraErr {
enum : int {
    UniqueConstraint = 1,          // ORA-00001
    NoSessionLock = 54,            // ORA-00054 resource busy
    InvalidSql = 900,              // ORA-00900
    InvalidIdentifier = 904,       // ORA-00904
    MissingExpression = 936,       // ORA-00936
    TableOrViewMissing = 942,      // ORA-00942
    NullPassword = 1005,           // ORA-01005
    NotConnected = 1012,           // ORA-01012
    InvalidLogon = 1017,           // ORA-01017
    InsufficientPrivileges = 1031, // ORA-01031
    DataFileUnusable = 1157,       // ORA-01157
    NotNullViolation = 1400,       // ORA-01400
    NoDataFound = 1403,            // ORA-01403
    InvalidNumber = 1722,          // ORA-01722
    ChildRecordFound = 2292,       // ORA-02292
    ObjectMissing = 4043,          // ORA-04043
    PlsqlError = 6550,             // ORA-06550
    PlsqlUserError = 20000,        // ORA-20000 raised by a server procedure
    PackageRefusal = 20001,        // ORA-20001 a package refuses a change the scheme does not allow
    ChangedMeanwhile = 20002,      // ORA-20002 the row changed since the caller read it
    AccountLocked = 28000,         // ORA-28000
    UnknownService = 12154,        // ORA-12154
    ValueTooLarge = 12899,         // ORA-12899 value too large for column
    DriverMissing = 12560,         // ORA-12560 protocol adapter error (no client driver)
};
}

// "ORA-00942: table or view does not exist"
PLATFORM_EXPORT QString OraMessage(int errorCode, const QString &text);
// Builds and throws the error.
[[noreturn]] PLATFORM_EXPORT void RaiseOraError(int errorCode, const QString &text);
// Throws an error of the configuration: the readable detail is its text.
[[noreturn]] PLATFORM_EXPORT void RaiseConfigError(int errorCode, const QString &detail);
