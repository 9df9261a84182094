#pragma once
// The scheme's server-side procedures of the embedded backend: C++ bodies
// registered by package and name, resolved from the dotted names the console
// writes ("ZANDRELL5.MENUPACK.INS_MENUGRP", "ZANDRELL5.GET_CURRCONFIG",
// "MENUPACK.UPD_RIGHT"). A scheme offers a package or procedure only when its
// SERVER_OBJECTS table lists it; anything else is PLS-00201, as on Oracle.
#include "Core/PlatformExport.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ResultSet.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class TSqliteConnection;

class PLATFORM_EXPORT TServerCall {
public:
    TServerCall(TSqliteConnection &connection, QString schemeName, QVariantList &arguments)
        : conn(connection), scheme(std::move(schemeName)), args(arguments)
    {
    }
    TSqliteConnection &conn;
    const QString scheme;
    // The arguments by position (without the result); out arguments are written here.
    QVariantList &args;
    // A function returning rows puts them here.
    std::shared_ptr<const TResultSet> cursor;
    // Inside a query (null elsewhere): what a function keeps while that query
    // runs, such as the session user's language. The query sees one state of
    // the database throughout and cannot write, so what was read stays true.
    QHash<QString, QVariant> *queryValues = nullptr;

    // "\"ZANDRELL5\".TABLE": a table of the call's scheme (its session table is the session's copy).
    QString T(const QString &table) const;
    bool IsNull(int i) const;
    QString Str(int i) const;
    qlonglong Int(int i) const; // raises ORA-01722 for a text that is no number
    void SetOut(int i, const QVariant &value);
    // The session's user is the server's administrator or an administrator of the call's scheme.
    bool SessionIsAdministrator() const;
};

// What a writing procedure locks before it runs (it may read first what it then changes).
enum class TProcLock {
    Scheme,   // its scheme's write lock
    Accounts, // the accounts database's write lock
    Session,  // none: it changes only session tables (SessionTables.h)
};

struct TServerProc {
    QString package; // empty: a procedure or function of the scheme itself
    QString name;
    QList<TProcArgInfo> args; // RESULT (ptResult) first for a function
    bool writes = false;      // changes data: runs inside the session's transaction, after taking `lock`
    std::function<QVariant(TServerCall &)> body;
    TProcLock lock = TProcLock::Scheme;
    // A writing procedure whose call may change nothing: when this says so,
    // the call is over at once and takes no lock (unset: every call changes).
    std::function<bool(TServerCall &)> changes = {};
    // How many of the last arguments a caller may leave out (DEFAULT NULL): they arrive as null.
    int optional = 0;

    bool IsFunction() const { return !args.isEmpty() && args.first().direction == TParamType::ptResult; }
    int InputCount() const { return int(args.size()) - (IsFunction() ? 1 : 0); }
};

struct TResolvedProc {
    QString scheme;
    const TServerProc *proc = nullptr;
    QString fullName; // SCHEME.PACKAGE.NAME
};

PLATFORM_EXPORT void RegisterServerProc(TServerProc proc);
// Finds a procedure for a dotted name; raises ORA-06550 / PLS-00201 when there is none.
PLATFORM_EXPORT TResolvedProc ResolveServerProc(TSqliteConnection &conn, const QString &dottedName);
// Runs it (inside a savepoint when it writes: a failure leaves nothing behind).
// queryValues: the values kept for a function while the query that calls it runs (TServerCall).
// onLocked: run once a writing procedure holds its lock, before it changes anything.
PLATFORM_EXPORT QVariant CallServerProc(TSqliteConnection &conn, const TResolvedProc &proc, QVariantList &args,
                                        std::shared_ptr<const TResultSet> *cursor,
                                        QHash<QString, QVariant> *queryValues = nullptr,
                                        const std::function<void()> &onLocked = {});
// A function that a query may call (Z$CALL); raises when the name is no function or the function writes.
PLATFORM_EXPORT TResolvedProc ResolveServerFunction(TSqliteConnection &conn, const QString &dottedName);
// A function used inside a query (Z$CALL); must not write.
PLATFORM_EXPORT QVariant CallServerFunction(TSqliteConnection &conn, const QString &dottedName, QVariantList args);
// Raised by a procedure for its own refusals.
[[noreturn]] PLATFORM_EXPORT void RaiseApplicationError(int code, const QString &text);
