#pragma once
// TConnectDialog: asks for user name, password and server (offering the
// server aliases of Servers.ini) when a session connects with ConnectPrompt on.
// Each failed attempt is shown with the error handler's message and the next
// attempt follows until Retries are used up; Cancel raises EAbort. The window
// runs through ExecModalDialog(dialog, true), so the unattended mode connects
// with the values it was given. The window itself belongs to the windowed
// layer, which installs it when its library loads (SetConnectWindow).
#include "Core/PlatformExport.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QDialog;
class TOraSession;
class TConnectDialog;

// Shows the connect window for the session's values; true with the values
// copied into the session, false on Cancel.
using TConnectWindow = bool (*)(TConnectDialog &dialog, TOraSession *session);
PLATFORM_EXPORT void SetConnectWindow(TConnectWindow window);

enum class TLabelSet { lsCustom, lsEnglish, lsRussian };

class PLATFORM_EXPORT TConnectDialog : public QObject {
    Q_OBJECT
public:
    explicit TConnectDialog(QObject *owner = nullptr);
    ~TConnectDialog() override;

    QString Caption, UsernameLabel, PasswordLabel, ServerLabel, ConnectButton, CancelButton;
    // lsCustom uses the texts above; the others use built-in texts of that language.
    TLabelSet LabelSet = TLabelSet::lsEnglish;
    int Retries = 3;
    // Offer the server aliases of Servers.ini.
    bool ReadAliases = true;
    // Remember the last server and user name (ConnectDialog.ini beside the program).
    bool StoreLogInfo = false;
    // The languages the session may work in (their names; none: no choice is offered), the label
    // of the choice, and the chosen one's index (-1: none), which the dialog's owner applies.
    QStringList Languages;
    QString LanguageLabel;
    int LanguageIndex = -1;

    // Shows the dialog for the session's values; true with the values copied
    // into the session, false on Cancel.
    bool Execute(TOraSession *session);

    // The texts in use after the label set is applied.
    QString EffectiveCaption() const;
    QString EffectiveUsernameLabel() const;
    QString EffectivePasswordLabel() const;
    QString EffectiveServerLabel() const;
    QString EffectiveConnectButton() const;
    QString EffectiveCancelButton() const;
    // The aliases the dialog offers.
    QStringList ServerList() const;

    // Reads and writes the stored log-in values (StoreLogInfo).
    void LoadLogInfo(TOraSession *session) const;
    void SaveLogInfo(const TOraSession *session) const;

    // The window of the running Execute (for tests that drive it), or null.
    QDialog *Window() const { return m_window; }
    // Set by the window while it is shown.
    void SetWindow(QDialog *window) { m_window = window; }

private:
    QDialog *m_window = nullptr;
};
