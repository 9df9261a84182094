#include "Ui/ConnectForm.h"

#include "Core/DialogService.h"
#include "DataAccess/ConnectDialog.h"
#include "DataAccess/OraSession.h"
#include "Ui/WindowPlacement.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

namespace {

// The class name shows in the unattended protocol.
class TConnectForm : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
};

const bool g_installed = (SetConnectWindow(&ShowConnectForm), true);

} // namespace

bool ShowConnectForm(TConnectDialog &settings, TOraSession *session)
{
    TConnectForm dialog;
    dialog.setObjectName(QStringLiteral("ConnectDialog"));
    dialog.setWindowTitle(settings.EffectiveCaption());
    auto *form = new QFormLayout(&dialog);
    auto *user = new QLineEdit(session->Username(), &dialog);
    user->setObjectName(QStringLiteral("edUsername"));
    auto *password = new QLineEdit(session->Password(), &dialog);
    password->setObjectName(QStringLiteral("edPassword"));
    password->setEchoMode(QLineEdit::Password);
    auto *server = new QComboBox(&dialog);
    server->setObjectName(QStringLiteral("edServer"));
    server->setEditable(true);
    server->addItems(settings.ServerList());
    server->setCurrentText(session->Server());
    form->addRow(settings.EffectiveUsernameLabel(), user);
    form->addRow(settings.EffectivePasswordLabel(), password);
    form->addRow(settings.EffectiveServerLabel(), server);
    // The language of the session, when the owner offers a choice.
    QComboBox *language = nullptr;
    if (!settings.Languages.isEmpty()) {
        language = new QComboBox(&dialog);
        language->setObjectName(QStringLiteral("cbLanguage"));
        language->addItems(settings.Languages);
        language->setCurrentIndex(settings.LanguageIndex);
        form->addRow(settings.LanguageLabel, language);
    }
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *ok = buttons->addButton(settings.EffectiveConnectButton(), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(settings.EffectiveCancelButton(), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    (session->Username().isEmpty() ? user : password)->setFocus();
    // Wide enough for its caption ("Соединение с ZANDRELL5") and the frame's buttons.
    dialog.resize(qMax(dialog.sizeHint().width(), TitleBarWidth(dialog.windowTitle(), dialog.font())),
                  dialog.sizeHint().height());

    settings.SetWindow(&dialog);
    const auto clear = qScopeGuard([&settings] { settings.SetWindow(nullptr); });
    if (ExecModalDialog(&dialog, /*acceptUnattended*/ true) != QDialog::Accepted)
        return false;
    session->SetUsername(user->text());
    session->SetPassword(password->text());
    session->SetServer(server->currentText().trimmed());
    if (language)
        settings.LanguageIndex = language->currentIndex();
    return true;
}

#include "ConnectForm.moc"
