#pragma once
// The forced password change: a user whose record says so chooses a new
// password before the login completes.
#include <QDialog>
#include <QVariant>

class QLabel;
class QLineEdit;
class QPushButton;
class TOraPackage;
class TOraSession;

class TfmForcePswChange : public QDialog {
    Q_OBJECT
public:
    TfmForcePswChange(const QString &scheme, TOraSession *session, QWidget *parent = nullptr);

    QVariant UserId;
    QVariant UserLogin;

    QLabel *lblPass;
    QLineEdit *edPass1;
    QLabel *lblRepeatPass;
    QLineEdit *edPass2;
    QPushButton *OkBtn;
    QPushButton *CancelBtn;
    TOraPackage *pckPacEmp;

    // Checks the two entries and changes the password; false keeps the dialog open.
    bool ValidateAndApply();
    bool ApplyNewPassword();

    // Closing with OK is allowed only after a successful change.
    void done(int result) override;

private:
    TOraSession *m_session;
};
