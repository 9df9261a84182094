#include "DataAccess/OraSession.h"

#include "Core/DialogService.h"
#include "DataAccess/ConnectDialog.h"
#include "DataAccess/DataAccessLog.h"
#include "DataAccess/DbBackend.h"
#include "DataAccess/DbWait.h"
#include "DataAccess/OraDataSet.h"
#include "DataAccess/OraErrorHandler.h"
#include "DataAccess/SqlLexer.h"

#include <QPointer>

namespace {
QPointer<TOraSession> g_defaultSession;
}

TOraSession::TOraSession(QObject *owner) : QObject(owner) {}

TOraSession::~TOraSession()
{
    if (m_backend) {
        try {
            m_backend->Disconnect();
        } catch (const std::exception &e) {
            qCWarning(lcData) << "a session going away could not disconnect:" << ExceptionMessage(e);
        } catch (...) {
            qCWarning(lcData) << "a session going away could not disconnect";
        }
    }
    for (TOraDataSet *ds : m_dataSets)
        ds->m_session = nullptr;
    for (TOraErrorHandler *h : m_errorHandlers)
        h->m_session = nullptr;
}

TOraSession *TOraSession::DefaultSession() { return g_defaultSession.data(); }
void TOraSession::SetDefaultSession(TOraSession *session) { g_defaultSession = session; }

bool TOraSession::Connected() const { return m_backend && m_backend->Connected(); }

TDbBackend &TOraSession::Backend()
{
    if (!Connected())
        RaiseError(EDAError(OraErr::NotConnected, OraMessage(OraErr::NotConnected, QStringLiteral("not logged on"))));
    return *m_backend;
}

void TOraSession::SetConnected(bool connected)
{
    if (connected == Connected())
        return;
    if (!connected) {
        DoDisconnect();
        return;
    }
    if (m_connectPrompt)
        ConnectWithDialog();
    else
        PerformConnect(false);
    if (AfterConnect)
        AfterConnect(this);
}

void TOraSession::PerformConnect(bool retry)
{
    Q_UNUSED(retry);
    if (Connected())
        return;
    if (BeforeConnect)
        BeforeConnect(this);
    try {
        std::unique_ptr<TDbBackend> backend = CreateBackend(m_server.trimmed());
        TConnectParams params;
        FindServerAlias(m_server.trimmed(), &params.server);
        params.username = m_username;
        params.password = m_password;
        params.home = m_home;
        params.options = m_options;
        backend->Connect(params);
        m_backend = std::move(backend);
    } catch (const EDAError &e) {
        if (m_dialogAttempt)
            throw; // the connect dialog reports each attempt itself
        RaiseError(e);
    }
}

void TOraSession::ConnectWithDialog()
{
    TConnectDialog *dialog = m_connectDialog;
    if (!dialog) {
        if (!m_ownDialog)
            m_ownDialog = new TConnectDialog(this);
        dialog = m_ownDialog;
    }
    const int attempts = qMax(1, dialog->Retries);
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (!dialog->Execute(this))
            throw EAbort(QStringLiteral("Operation aborted"));
        m_dialogAttempt = true;
        try {
            if (OnConnectChange)
                OnConnectChange(this, true);
            if (!Connected())
                PerformConnect(false);
            m_dialogAttempt = false;
            if (dialog->StoreLogInfo)
                dialog->SaveLogInfo(this);
            return;
        } catch (const EDAError &e) {
            m_dialogAttempt = false;
            EDAError handled = PassThroughHandlers(e);
            if (attempt == attempts) {
                if (OnError)
                    OnError(this, handled);
                throw handled;
            }
            ShowDialogMessage(handled.message(), dialog->EffectiveCaption(), MB_OK | MB_ICONERROR);
        } catch (...) {
            m_dialogAttempt = false;
            throw;
        }
    }
}

void TOraSession::DoDisconnect()
{
    if (BeforeDisconnect)
        BeforeDisconnect(this);
    for (TOraDataSet *ds : QList<TOraDataSet *>(m_dataSets))
        ds->Close();
    if (m_backend) {
        try {
            m_backend->Disconnect();
        } catch (const std::exception &e) {
            // The session is left disconnected all the same.
            qCWarning(lcData) << "disconnecting failed:" << ExceptionMessage(e);
        }
        m_backend.reset();
    }
    if (AfterDisconnect)
        AfterDisconnect(this);
}

void TOraSession::EnsureConnected()
{
    if (Connected())
        return;
    if (m_options.NeverConnect)
        RaiseError(EDAError(OraErr::NotConnected, OraMessage(OraErr::NotConnected, QStringLiteral("not logged on"))));
    Connect();
}

void TOraSession::Commit()
{
    try {
        Backend().Commit();
    } catch (const EDAError &e) {
        RaiseError(e);
    }
}

void TOraSession::Rollback()
{
    try {
        Backend().Rollback();
    } catch (const EDAError &e) {
        RaiseError(e);
    }
}

bool TOraSession::InTransaction() const { return Connected() && m_backend->InTransaction(); }

TExecResult TOraSession::Execute(const QString &sql, TOraParams &params)
{
    const TDbWork work; // what the user may wait for: the wait shows when it lasts
    try {
        TExecResult result = Backend().Execute(sql, params);
        if (m_autoCommit && m_backend->InTransaction())
            m_backend->Commit();
        return result;
    } catch (const EDAError &e) {
        RaiseError(e);
    }
}

QVariant TOraSession::ExecSQL(const QString &text, const QVariantList &values)
{
    TOraParams params;
    params.Rebuild(SqlParamNames(text));
    for (int i = 0; i < params.Count() && i < values.size(); ++i)
        params[i].SetAsVariant(values[i]);
    Execute(text, params);
    return params.Count() > 0 ? params[0].AsVariant() : QVariant();
}

QList<TProcArgInfo> TOraSession::DescribeProcedure(const QString &name)
{
    try {
        return Backend().DescribeProcedure(name);
    } catch (const EDAError &e) {
        RaiseError(e);
    }
}

void TOraSession::PrepareStatement(const QString &sql)
{
    try {
        Backend().Prepare(sql);
    } catch (const EDAError &e) {
        RaiseError(e);
    }
}

QString TOraSession::NlsValue(const QString &name) const
{
    return Connected() ? m_backend->NlsValue(name.toUpper()) : QString();
}

QString TOraSession::SchemeFault(const QString &scheme) const
{
    return Connected() ? m_backend->SchemeFault(scheme) : QString();
}

EDAError TOraSession::PassThroughHandlers(const EDAError &error)
{
    EDAError out = error;
    for (TOraErrorHandler *h : QList<TOraErrorHandler *>(m_errorHandlers))
        out.setMessage(h->Handle(out.ErrorCode(), out.message()));
    return out;
}

void TOraSession::RaiseError(const EDAError &error)
{
    EDAError out = PassThroughHandlers(error);
    if (OnError)
        OnError(this, out);
    throw out;
}

void TOraSession::AttachDataSet(TOraDataSet *dataSet)
{
    if (!m_dataSets.contains(dataSet))
        m_dataSets.append(dataSet);
}

void TOraSession::DetachDataSet(TOraDataSet *dataSet) { m_dataSets.removeAll(dataSet); }

void TOraSession::AttachErrorHandler(TOraErrorHandler *handler)
{
    if (!m_errorHandlers.contains(handler))
        m_errorHandlers.append(handler);
}

void TOraSession::DetachErrorHandler(TOraErrorHandler *handler) { m_errorHandlers.removeAll(handler); }
