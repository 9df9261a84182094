#include "DataAccess/ConnectDialog.h"

#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "DataAccess/DataAccessLog.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString pick(TLabelSet set, const QString &custom, const char *en, const char *ru)
{
    switch (set) {
    case TLabelSet::lsCustom:
        return custom.isEmpty() ? QString::fromUtf8(en) : custom;
    case TLabelSet::lsRussian:
        return QString::fromUtf8(ru);
    default:
        return QString::fromUtf8(en);
    }
}

QString logInfoPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ConnectDialog.ini"));
}

} // namespace

TConnectDialog::TConnectDialog(QObject *owner) : QObject(owner) {}

TConnectDialog::~TConnectDialog() = default;

QString TConnectDialog::EffectiveCaption() const { return pick(LabelSet, Caption, "Connect", "Соединение"); }
QString TConnectDialog::EffectiveUsernameLabel() const
{
    return pick(LabelSet, UsernameLabel, "Username", "Пользователь");
}
QString TConnectDialog::EffectivePasswordLabel() const { return pick(LabelSet, PasswordLabel, "Password", "Пароль"); }
QString TConnectDialog::EffectiveServerLabel() const { return pick(LabelSet, ServerLabel, "Server", "Сервер"); }
QString TConnectDialog::EffectiveConnectButton() const { return pick(LabelSet, ConnectButton, "Connect", "Соединить"); }
QString TConnectDialog::EffectiveCancelButton() const { return pick(LabelSet, CancelButton, "Cancel", "Отменить"); }

QStringList TConnectDialog::ServerList() const { return ReadAliases ? ServerAliasNames() : QStringList(); }

void TConnectDialog::LoadLogInfo(TOraSession *session) const
{
    TIniFile ini(logInfoPath());
    const QString server = ini.ReadString(QStringLiteral("LogInfo"), QStringLiteral("Server"), QString());
    const QString user = ini.ReadString(QStringLiteral("LogInfo"), QStringLiteral("Username"), QString());
    if (!server.isEmpty())
        session->SetServer(server);
    if (!user.isEmpty())
        session->SetUsername(user);
}

void TConnectDialog::SaveLogInfo(const TOraSession *session) const
{
    try {
        TIniFile ini(logInfoPath());
        ini.WriteString(QStringLiteral("LogInfo"), QStringLiteral("Server"), session->Server());
        ini.WriteString(QStringLiteral("LogInfo"), QStringLiteral("Username"), session->Username());
    } catch (const EIniFileError &e) {
        // Remembering the values is a convenience; a read-only folder loses nothing else.
        qCWarning(lcData) << "the last server and user name are not remembered:" << e.message();
    }
}

namespace {
TConnectWindow g_connectWindow = nullptr;
} // namespace

void SetConnectWindow(TConnectWindow window) { g_connectWindow = window; }

bool TConnectDialog::Execute(TOraSession *session)
{
    if (StoreLogInfo)
        LoadLogInfo(session);
    if (!g_connectWindow)
        throw EAbort(QStringLiteral("No connect window in this program"));
    return g_connectWindow(*this, session);
}
