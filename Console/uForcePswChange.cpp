#include "Console/uForcePswChange.h"

#include "Console/DMIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraSession.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfmForcePswChange::TfmForcePswChange(const QString &scheme, TOraSession *session, QWidget *parent)
    : TDlgBaseForm(parent, session, scheme), m_session(session)
{
    setObjectName(QStringLiteral("fmForcePswChange"));
    lblPass = new QLabel(this);
    edPass1 = new QLineEdit(this);
    lblRepeatPass = new QLabel(this);
    edPass2 = new QLineEdit(this);
    for (QLineEdit *edit : {edPass1, edPass2}) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setMinimumWidth(220);
    }
    lblPass->setBuddy(edPass1);
    lblRepeatPass->setBuddy(edPass2);
    auto *form = new QFormLayout(pnlClient);
    form->addRow(lblPass, edPass1);
    form->addRow(lblRepeatPass, edPass2);
    SetObjectNames(
        {{lblPass, "lblPass"}, {edPass1, "edPass1"}, {lblRepeatPass, "lblRepeatPass"}, {edPass2, "edPass2"}});
    SetDrivenUnattended(this);
    // Typing goes to the new password at once.
    edPass1->setFocus();

    pckPacEmp = new TOraPackage(this);
    pckPacEmp->setObjectName(QStringLiteral("pckPacEmp"));
    pckPacEmp->SetPackageName(QStringLiteral("xxx.EMPLOYEPACK"));

    setWindowTitle(WordText(QStringLiteral("rstrNewPassCaption"), QStringLiteral("Enter a new password")));
    lblPass->setText(WordText(QStringLiteral("rstrNewPass"), QStringLiteral("New password:")));
    lblRepeatPass->setText(WordText(QStringLiteral("rstrNewPassD"), QStringLiteral("Confirmation:")));
    OkBtn->setText(WordText(QStringLiteral("rstr_to_Apply"), QStringLiteral("Apply")));
    CancelBtn->setText(WordText(QStringLiteral("rstr_to_Cancel"), QStringLiteral("Cancel")));
}

QString TfmForcePswChange::NewPasswordAsSent() const
{
    // The next login wraps what the user types; the stored password must be what it will send.
    return EncodePassword ? TDM::WrapPassword(edPass1->text(), TDM::ExemptPasswords()) : edPass1->text();
}

bool TfmForcePswChange::ApplyNewPassword()
{
    int resultCode = 0;
    try {
        pckPacEmp->ExecProc(QStringLiteral("ALTER_USER"), {UserId, UserLogin, NewPasswordAsSent(), resultCode});
        if (pckPacEmp->Params().Count() > 3)
            resultCode = pckPacEmp->Params().Items(3).AsInteger();
        if (resultCode == 1)
            pckPacEmp->ExecProc(QStringLiteral("DISABLE_FORCE_PSW_CHANGE"), {UserId});
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(), QString(), MB_ICONINFORMATION);
    }
    try {
        m_session->Commit();
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(), QString(), MB_ICONINFORMATION);
    }
    return resultCode == 1;
}

bool TfmForcePswChange::ValidateAndApply()
{
    auto say = [this](const char *id, const char *english) {
        ShowMessageBox(MessageText(QString::fromLatin1(id), QString::fromUtf8(english)), windowTitle(), MB_ICONWARNING);
    };
    if (edPass1->text().isEmpty() || edPass2->text().isEmpty()) {
        say("rstr_NotSetPass", "Password is not specified");
        return false;
    }
    if (edPass1->text() != edPass2->text()) {
        say("rstr_PassNotComp", "Password does not correspond to confirmation");
        return false;
    }
    if (!ApplyNewPassword()) {
        say("rstr_NewAndOldPassIdentical", "The new password is identical to the old one.");
        return false;
    }
    return true;
}

void TfmForcePswChange::done(int result)
{
    if (result == QDialog::Accepted && !ValidateAndApply())
        return;
    QDialog::done(result);
}
