#include "EmbeddedServer/UserProcs.h"

#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/EmbeddedServerLog.h"
#include "EmbeddedServer/PasswordHash.h"
#include "EmbeddedServer/SchemeServer.h"
#include "EmbeddedServer/SqliteConnection.h"

#include <QDateTime>

namespace {

using TFT = TFieldType;

TProcArgInfo In(const char *name, TFT type = TFT::ftFloat)
{
    return {QString::fromLatin1(name), TParamType::ptInput, type};
}
TProcArgInfo InOut(const char *name, TFT type = TFT::ftFloat)
{
    return {QString::fromLatin1(name), TParamType::ptInputOutput, type};
}
TProcArgInfo Out(const char *name, TFT type = TFT::ftFloat)
{
    return {QString::fromLatin1(name), TParamType::ptOutput, type};
}

// The session user may act on this scheme user: it is the user, or an administrator of the scheme.
void RequireSelfOrAdmin(TServerCall &c, const QString &login)
{
    if (login.compare(c.conn.SessionUser, Qt::CaseInsensitive) != 0 && !c.SessionIsAdministrator())
        RaiseOraError(OraErr::InsufficientPrivileges, QStringLiteral("insufficient privileges"));
}

QString LoginOfId(TServerCall &c, qlonglong id)
{
    const QVariant login =
        c.conn.Scalar(QStringLiteral("SELECT LOGIN FROM %1 WHERE ID = ?").arg(c.T(QStringLiteral("SYSUSER"))), {id});
    if (login.isNull())
        RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (user %1)").arg(id));
    return login.toString();
}

void RegisterConfig()
{
    // GET_CURRCONFIG(PUSER out, PACCESSLIST out, PSYSDBA out): the session user's display name, access group and admin
    // flag.
    RegisterServerProc(
        {QString(),
         QStringLiteral("GET_CURRCONFIG"),
         {Out("PUSER", TFT::ftString), Out("PACCESSLIST"), Out("PSYSDBA")},
         false,
         [](TServerCall &c) {
             const TResultSet r = c.conn.Query(QStringLiteral("SELECT NAME, ACCESSID, ISADMIN, LOGIN FROM %1 "
                                                              "WHERE LOGIN = ?")
                                                   .arg(c.T(QStringLiteral("SYSUSER"))),
                                               {c.conn.SessionUser});
             if (r.rows.isEmpty())
                 RaiseOraError(OraErr::NoDataFound, QStringLiteral("no data found (user %1)").arg(c.conn.SessionUser));
             const QVector<QVariant> &row = r.rows.first();
             c.SetOut(0, row[0].isNull() ? row[3] : row[0]);
             c.SetOut(1, row[1].isNull() ? QVariant() : QVariant(row[1].toDouble()));
             c.SetOut(2, row[2].toInt() == 1 ? 1.0 : 0.0);
             return QVariant();
         }});
    // REQUEST(PTYPE, PVAL_1, PVAL_2, PVAL_3) -> 1/0; 'COLUMN': table PVAL_1 has column PVAL_2.
    RegisterServerProc({QString(),
                        QStringLiteral("REQUEST"),
                        {{QStringLiteral("RESULT"), TParamType::ptResult, TFT::ftInteger},
                         In("PTYPE", TFT::ftString),
                         In("PVAL_1", TFT::ftString),
                         In("PVAL_2", TFT::ftString),
                         In("PVAL_3", TFT::ftString)},
                        false,
                        [](TServerCall &c) -> QVariant {
                            if (c.Str(0).trimmed().compare(QLatin1String("COLUMN"), Qt::CaseInsensitive) != 0)
                                return 0;
                            const int n = c.conn
                                              .Scalar(QStringLiteral("SELECT count(*) FROM pragma_table_info(?, ?) "
                                                                     "WHERE upper(name) = upper(?)"),
                                                      {c.Str(1).trimmed(), c.scheme, c.Str(2).trimmed()})
                                              .toInt();
                            return n > 0 ? 1 : 0;
                        }});
}

void RegisterEmployePack()
{
    // ALTER_USER(PID, PLOGIN, PPASSWORD, PRESULT in/out): 0 when the new password is the old one, else changed and 1.
    RegisterServerProc(
        {QStringLiteral("EMPLOYEPACK"),
         QStringLiteral("ALTER_USER"),
         {In("PID"), In("PLOGIN", TFT::ftString), In("PPASSWORD", TFT::ftString), InOut("PRESULT", TFT::ftInteger)},
         true,
         [](TServerCall &c) {
             const QString login = LoginOfId(c, c.Int(0));
             if (login.compare(c.Str(1).trimmed(), Qt::CaseInsensitive) != 0)
                 RaiseOraError(OraErr::NoDataFound,
                               QStringLiteral("no data found (user %1 with login %2)").arg(c.Int(0)).arg(c.Str(1)));
             RequireSelfOrAdmin(c, login);
             const QString password = c.Str(2);
             if (password.isEmpty())
                 RaiseOraError(988, QStringLiteral("missing or invalid password(s)"));
             const QVariant stored = c.conn.Scalar(
                 QStringLiteral("SELECT PASSWORD_HASH FROM main.ACCOUNTS WHERE USERNAME = ?"), {login.toUpper()});
             if (stored.isNull())
                 RaiseOraError(1918, QStringLiteral("user '%1' does not exist").arg(login.toUpper()));
             if (VerifyPassword(password, stored.toString())) {
                 c.SetOut(3, 0);
                 return QVariant();
             }
             c.conn.Exec(QStringLiteral("UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = ?"),
                         {HashPassword(password), login.toUpper()});
             c.SetOut(3, 1);
             return QVariant();
         },
         TProcLock::Accounts});
    RegisterServerProc(
        {QStringLiteral("EMPLOYEPACK"),
         QStringLiteral("DISABLE_FORCE_PSW_CHANGE"),
         {In("PID")},
         true,
         [](TServerCall &c) {
             RequireSelfOrAdmin(c, LoginOfId(c, c.Int(0)));
             c.conn.Exec(
                 QStringLiteral("UPDATE %1 SET FORCE_PASS_CHANGE = 0 WHERE ID = ?").arg(c.T(QStringLiteral("SYSUSER"))),
                 {c.Int(0)});
             return QVariant();
         }});
}

QString PasswordOf(const TSqlToken &t)
{
    if (t.kind == TSqlTok::QuotedIdent)
        return t.text.mid(1, t.text.size() - 2);
    if (t.kind == TSqlTok::String)
        return t.stringValue();
    return t.text;
}

} // namespace

void RegisterUserProcs()
{
    RegisterConfig();
    RegisterEmployePack();
}

void CheckLogin(TSqliteConnection &conn, const QString &username, const QString &password)
{
    if (password.isEmpty())
        RaiseOraError(OraErr::NullPassword, QStringLiteral("null password given; logon denied"));
    const QString user = username.trimmed().toUpper();
    TSqliteConnection::InternalScope internal(conn);
    const TResultSet r =
        conn.Query(QStringLiteral("SELECT PASSWORD_HASH, LOCKED FROM main.ACCOUNTS WHERE USERNAME = ?"), {user});
    // An unknown user and a wrong password look the same from outside.
    const QString stored = r.rows.isEmpty() ? QString() : r.rows.first()[0].toString();
    if (user.isEmpty() || r.rows.isEmpty() || !VerifyPassword(password, stored))
        RaiseOraError(OraErr::InvalidLogon, QStringLiteral("invalid username/password; logon denied"));
    if (r.rows.first()[1].toInt() != 0)
        RaiseOraError(OraErr::AccountLocked, QStringLiteral("the account is locked"));
    // A hash of an older form is replaced now that the password is known. A
    // server that cannot be written (a read-only copy, another session's
    // change of the accounts) keeps the old one, which still verifies: the
    // log-in waits for no lock.
    if (PasswordNeedsRehash(stored)) {
        const TSqliteConnection::TWaitLimit noWait(conn, 0);
        try {
            conn.Exec(
                QStringLiteral("UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = ? AND PASSWORD_HASH = ?"),
                {HashPassword(password), user, stored});
        } catch (const EDAError &e) {
            qCWarning(lcServer) << "the password hash of" << user << "stays in its older form:" << e.message();
        }
    }
}

bool ExecAccountStatement(TSqliteConnection &conn, const QString &sql)
{
    const QList<TSqlToken> t = SignificantTokens(sql);
    if (t.size() < 3 || !t[1].isWord("USER") || !(t[0].isWord("CREATE") || t[0].isWord("ALTER") || t[0].isWord("DROP")))
        return false;
    const QString user = t[2].name().toUpper();
    const bool self = t[0].isWord("ALTER") && user == conn.SessionUser;
    if (!conn.Administrator && !self)
        RaiseOraError(OraErr::InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    QString password;
    bool hasPassword = false;
    int lock = -1;
    int i = 3;
    while (i < t.size()) {
        if (t[i].isOp(";")) {
            ++i;
            continue;
        }
        if (t[i].isWord("IDENTIFIED") && i + 2 < t.size() && t[i + 1].isWord("BY")) {
            password = PasswordOf(t[i + 2]);
            hasPassword = true;
            i += 3;
        } else if (t[i].isWord("ACCOUNT") && i + 1 < t.size() &&
                   (t[i + 1].isWord("LOCK") || t[i + 1].isWord("UNLOCK"))) {
            if (!conn.Administrator)
                RaiseOraError(OraErr::InsufficientPrivileges, QStringLiteral("insufficient privileges"));
            lock = t[i + 1].isWord("LOCK") ? 1 : 0;
            i += 2;
        } else {
            RaiseOraError(922, QStringLiteral("missing or invalid option (%1)").arg(t[i].text));
        }
    }
    TSqliteConnection::InternalScope internal(conn);
    conn.BeginWrite(QStringLiteral("main"));
    const bool exists =
        conn.Scalar(QStringLiteral("SELECT count(*) FROM main.ACCOUNTS WHERE USERNAME = ?"), {user}).toInt() > 0;
    if (t[0].isWord("DROP")) {
        if (!exists)
            RaiseOraError(1918, QStringLiteral("user '%1' does not exist").arg(user));
        conn.Exec(QStringLiteral("DELETE FROM main.ACCOUNTS WHERE USERNAME = ?"), {user});
        return true;
    }
    if (hasPassword && password.isEmpty())
        RaiseOraError(988, QStringLiteral("missing or invalid password(s)"));
    if (t[0].isWord("CREATE")) {
        if (exists)
            RaiseOraError(1920, QStringLiteral("user name '%1' conflicts with another user or role name").arg(user));
        if (!hasPassword)
            RaiseOraError(988, QStringLiteral("missing or invalid password(s)"));
        conn.Exec(
            QStringLiteral("INSERT INTO main.ACCOUNTS (USERNAME, PASSWORD_HASH, LOCKED, CREATED) VALUES (?, ?, ?, ?)"),
            {user, HashPassword(password), lock == 1 ? 1 : 0,
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        return true;
    }
    if (!exists)
        RaiseOraError(1918, QStringLiteral("user '%1' does not exist").arg(user));
    if (hasPassword)
        conn.Exec(QStringLiteral("UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = ?"),
                  {HashPassword(password), user});
    if (lock >= 0)
        conn.Exec(QStringLiteral("UPDATE main.ACCOUNTS SET LOCKED = ? WHERE USERNAME = ?"), {lock, user});
    return true;
}
