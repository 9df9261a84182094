#pragma once
// TOraSession: one database session. The server name is an alias of
// Servers.ini beside the program, which names the backend behind it (the
// embedded SQLite scheme server by default, or a real Oracle server through a
// Qt SQL driver). No auto-commit: changes stay in the session's transaction
// until Commit, and other sessions see them only then.
//
// Every database error of the session passes through its error handlers
// (TOraErrorHandler) and its OnError event before it is raised as EDAError.
#include "Core/PlatformExport.h"
#include "DataAccess/DAError.h"
#include "DataAccess/OraParam.h"
#include "DataAccess/ResultSet.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class TDbBackend;
class TConnectDialog;
class TOraErrorHandler;
class TOraDataSet;

struct PLATFORM_EXPORT TOraSessionOptions {
    QString Charset = QStringLiteral("CL8MSWIN1251");
    bool UseOCI7 = false;
    // The Oracle date format the session sets on connecting (NLS_DATE_FORMAT); empty: the server's.
    QString DateFormat;
    // The session never connects by itself when a data set opens on it.
    bool NeverConnect = false;
};

// A procedure argument as the server describes it.
struct TProcArgInfo {
    QString name;
    TParamType direction = TParamType::ptInput;
    TFieldType type = TFieldType::ftUnknown;
};

class PLATFORM_EXPORT TOraSession : public QObject {
    Q_OBJECT
public:
    explicit TOraSession(QObject *owner = nullptr);
    ~TOraSession() override;

    QString Name() const { return objectName(); }

    // --- connection values
    QString Server() const { return m_server; }
    void SetServer(const QString &server) { m_server = server; }
    QString Username() const { return m_username; }
    void SetUsername(const QString &username) { m_username = username; }
    QString Password() const { return m_password; }
    void SetPassword(const QString &password) { m_password = password; }
    // The Oracle client home in use: 0 the default one, 1..6 Home0..Home5.
    int Home() const { return m_home; }
    void SetHome(int home) { m_home = home; }
    // Show the connect dialog when connecting (default on).
    bool ConnectPrompt() const { return m_connectPrompt; }
    void SetConnectPrompt(bool prompt) { m_connectPrompt = prompt; }
    bool AutoCommit() const { return m_autoCommit; }
    void SetAutoCommit(bool autoCommit) { m_autoCommit = autoCommit; }
    TOraSessionOptions &Options() { return m_options; }
    const TOraSessionOptions &Options() const { return m_options; }
    TConnectDialog *ConnectDialog() const { return m_connectDialog; }
    void SetConnectDialog(TConnectDialog *dialog) { m_connectDialog = dialog; }

    // --- connecting
    bool Connected() const;
    // true connects (through the connect dialog when ConnectPrompt is on), false disconnects.
    void SetConnected(bool connected);
    void Connect() { SetConnected(true); }
    void Disconnect() { SetConnected(false); }
    // Opens the connection with the current server, user name and password, without dialog.
    void PerformConnect(bool retry = false);

    // --- transactions
    void Commit();
    void Rollback();
    bool InTransaction() const;

    // Runs a statement or an anonymous PL/SQL block. The values bind, in order,
    // to the ":NAME" parameters of the text; returns the value of the first
    // parameter after the run (an out parameter's value), or null.
    QVariant ExecSQL(const QString &text, const QVariantList &params = {});
    // Runs a statement with named parameters; out parameters get their values back.
    TExecResult Execute(const QString &sql, TOraParams &params);
    // The arguments of a stored procedure or function ("SCHEME.PACKAGE.NAME"); RESULT first for a function.
    QList<TProcArgInfo> DescribeProcedure(const QString &name);

    // --- attached components
    QList<TOraDataSet *> DataSets() const { return m_dataSets; }
    int DataSetCount() const { return int(m_dataSets.size()); }
    QList<TOraErrorHandler *> ErrorHandlers() const { return m_errorHandlers; }

    // --- events
    std::function<void(TOraSession *)> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
    // Any error of the session, before it is raised: the handler may Reinit it.
    std::function<void(TOraSession *, EDAError &)> OnError;
    // The connect dialog was confirmed (true): the handler may store the values
    // and call PerformConnect itself; the session connects afterwards if it did not.
    std::function<void(TOraSession *, bool)> OnConnectChange;

    // Passes an error through the error handlers and OnError and raises it.
    [[noreturn]] void RaiseError(const EDAError &error);
    // Connects when not connected and allowed to (a data set opening on the session).
    void EnsureConnected();

    // The session's NLS settings (ALTER SESSION SET ...), upper-case names.
    QString NlsValue(const QString &name) const;
    // Why the server cannot offer a scheme, in the user's language (its file is
    // missing, empty, damaged, another program's); empty when it can or when the
    // server does not tell.
    QString SchemeFault(const QString &scheme) const;
    // Checks that a statement can be prepared (its tables and columns exist).
    void PrepareStatement(const QString &sql);

    // The session that components without a session of their own use (the last
    // one set; a form's session becomes it), or null.
    static TOraSession *DefaultSession();
    static void SetDefaultSession(TOraSession *session);

private:
    friend class TOraDataSet;
    friend class TOraErrorHandler;
    void AttachDataSet(TOraDataSet *dataSet);
    void DetachDataSet(TOraDataSet *dataSet);
    void AttachErrorHandler(TOraErrorHandler *handler);
    void DetachErrorHandler(TOraErrorHandler *handler);
    void ConnectWithDialog();
    void DoDisconnect();
    EDAError PassThroughHandlers(const EDAError &error);
    TDbBackend &Backend();

    QString m_server;
    QString m_username;
    QString m_password;
    int m_home = 0;
    bool m_connectPrompt = true;
    bool m_autoCommit = false;
    TOraSessionOptions m_options;
    TConnectDialog *m_connectDialog = nullptr;
    std::unique_ptr<TDbBackend> m_backend;
    TConnectDialog *m_ownDialog = nullptr;
    bool m_dialogAttempt = false;
    QList<TOraDataSet *> m_dataSets;
    QList<TOraErrorHandler *> m_errorHandlers;
};
