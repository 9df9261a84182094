#pragma once
// The forced password change: a user whose record says so chooses a new
// password before the login completes.
#include "Source/FormReposit/uDlgBaseForm.h"

#include <QVariant>

class QLabel;
class QLineEdit;
class TOraPackage;
class TOraSession;

class TfmForcePswChange : public TDlgBaseForm {
    Q_OBJECT
public:
    TfmForcePswChange(const QString &scheme, TOraSession *session, QWidget *parent = nullptr);

    QVariant UserId;
    QVariant UserLogin;
    // Console.ini [CONNECTION] encode of the login: the new password is stored
    // wrapped as the login will send it.
    bool EncodePassword = false;

    QLabel *lblPass;
    QLineEdit *edPass1;
    QLabel *lblRepeatPass;
    QLineEdit *edPass2;
    TOraPackage *pckPacEmp;

    // Checks the two entries and changes the password; false keeps the dialog open.
    bool ValidateAndApply();
    bool ApplyNewPassword();
    // The new password as ALTER_USER receives it.
    QString NewPasswordAsSent() const;

    // Closing with OK is allowed only after a successful change.
    void done(int result) override;

private:
    TOraSession *m_session;
};
