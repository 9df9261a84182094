#include "ConnectDialog.h"

#include "DialogService.h"
#include "IniFile.h"
#include "OraSession.h"
#include "ServerAliases.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

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

// The connect dialog's window (its class name shows in the unattended protocol).
class TConnectForm : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
};

QString logInfoPath() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ConnectDialog.ini")); }

} // namespace

TConnectDialog::TConnectDialog(QObject *owner) : QObject(owner) {}

TConnectDialog::~TConnectDialog() = default;

QString TConnectDialog::EffectiveCaption() const { return pick(LabelSet, Caption, "Connect", "Соединение"); }
QString TConnectDialog::EffectiveUsernameLabel() const { return pick(LabelSet, UsernameLabel, "Username", "Пользователь"); }
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
    } catch (const EIniFileError &) {
        // Remembering the values is a convenience; a read-only folder loses nothing else.
    }
}

bool TConnectDialog::Execute(TOraSession *session)
{
    if (StoreLogInfo)
        LoadLogInfo(session);

    TConnectForm dialog;
    dialog.setObjectName(QStringLiteral("ConnectDialog"));
    dialog.setWindowTitle(EffectiveCaption());
    auto *form = new QFormLayout(&dialog);
    auto *user = new QLineEdit(session->Username(), &dialog);
    user->setObjectName(QStringLiteral("edUsername"));
    auto *password = new QLineEdit(session->Password(), &dialog);
    password->setObjectName(QStringLiteral("edPassword"));
    password->setEchoMode(QLineEdit::Password);
    auto *server = new QComboBox(&dialog);
    server->setObjectName(QStringLiteral("edServer"));
    server->setEditable(true);
    server->addItems(ServerList());
    server->setCurrentText(session->Server());
    form->addRow(EffectiveUsernameLabel(), user);
    form->addRow(EffectivePasswordLabel(), password);
    form->addRow(EffectiveServerLabel(), server);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *ok = buttons->addButton(EffectiveConnectButton(), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(EffectiveCancelButton(), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    (session->Username().isEmpty() ? user : password)->setFocus();

    m_window = &dialog;
    const auto clear = qScopeGuard([this] { m_window = nullptr; });
    if (ExecModalDialog(&dialog, /*acceptUnattended*/ true) != QDialog::Accepted)
        return false;
    session->SetUsername(user->text());
    session->SetPassword(password->text());
    session->SetServer(server->currentText().trimmed());
    return true;
}

#include "ConnectDialog.moc"
