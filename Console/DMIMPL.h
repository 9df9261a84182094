#pragma once
// TDM: the console's one data module. It owns the session of the process, the
// connect dialog, the error handler and the queries that read the user's
// configuration; it logs a user in to a scheme and knows the user's access
// group and administrator flag.
#include "Console/uConsoleDM.h"

#include <QObject>
#include <QPointer>
#include <QString>

class TConnectDialog;
class TLanguagesDM;
class TDataSource;
class TOraErrorHandler;
class TOraQuery;
class TOraSession;
class TOraStoredProc;
class TSmartQuery;
class EDAError;

class TDM : public QObject, public IConsoleDataModule {
    Q_OBJECT
public:
    explicit TDM(QObject *owner = nullptr);
    ~TDM() override;

    // Components, by their design names.
    TOraSession *CommonSession;
    TConnectDialog *condlgConnect;
    TOraErrorHandler *oerrHandler;
    TSmartQuery *AccessTbl;
    TDataSource *AccessDSrc;
    TSmartQuery *V_MENUCFG;
    TDataSource *V_MENUCFGDSrc;
    TSmartQuery *V_SRVITEMS;
    // The catalogue rows of every service in the access group's menu, read at once (detail of AccessDSrc).
    TSmartQuery *SrvCatalogue;
    TOraStoredProc *spRight;
    TOraStoredProc *spRight_OLD;
    TOraStoredProc *GET_CURRCONFIG;
    TSmartQuery *sqGetObjectShema;
    TSmartQuery *sqGetUserInShema;
    TOraStoredProc *ospRequest;
    TSmartQuery *sqCheckForcePassChange;

    // Own fields, in declaration order.
    QString SchemeName;
    bool HasAccessList = false;
    bool IsSysDba = false;
    QString CurrentUserName;
    double AccessListId = 0;
    QString AccessListName;
    bool EncodePassword = false;
    int RetriesLeft = 0;
    bool ConsoleTextsTranslated = false;

    // The whole login; false when it was refused or cancelled (it shows its own messages).
    bool Login(const QString &scheme, const QString &langIdText) override;
    bool LoggedIn() const override { return m_loggedIn; }

    // Sets the query's text and scheme macro, prepares and opens it; false on any error.
    bool GetCursor(const QString &sqlText, TOraQuery *query);
    void OpenAccess(double accessId);
    // Reads the access group's menu and its catalogue rows again.
    void RefreshMenu();
    QString ServerName() const;
    bool Connected() const;
    // Appends CR LF and the name of every named data set attached to the session.
    void ListSessionDataSets(QString &text) const;
    // The texts of the login and its error messages.
    QString GetCaseMsg(int index) const;

    // IConsoleDataModule: the command line's connection values.
    void SetServer(const QString &server) override;
    void SetUserName(const QString &user) override;
    void SetPassword(const QString &password) override;
    void SetConnectPrompt(bool prompt) override;
    void SetHomeIndex(int home) override;
    void SetStoreLogInfo(bool store) override;

    bool ConnectToScheme(const QString &scheme);
    void ReadCurrentConfig();
    bool IsSchemeValid(const QString &scheme);
    bool IsUserRegistered(const QString &user, const QString &scheme);
    // The version the scheme records (its table SCHEME_VERSION); 0 when it records none.
    int SchemeVersion(const QString &scheme);
    // The scheme is as new as the console needs; otherwise the user is told and the log-in ends.
    bool IsSchemeCurrent(const QString &scheme);
    // The oldest scheme the console works with: the version of Scheme/ZANDRELL5 and
    // Scheme/postgres (99_version.sql) that has everything it calls.
    static constexpr int kSchemeVersionNeeded = 1;
    bool CheckForcedPasswordChange(const QString &user, const QString &scheme);
    bool NeedsPasswordChange(const QString &login);
    void SetUserLanguages(const QString &langIdText);

    // The two passwords that are never wrapped, from the deployment's settings.
    static QStringList ExemptPasswords();
    // The password as it is sent when wrapping is on.
    static QString WrapPassword(const QString &password, const QStringList &exempt);

private:
    void createComponents();
    void readConsoleSettings();
    void sessionBeforeConnect();
    void sessionAfterConnect();
    void sessionError(EDAError &error);
    void handlerError(int errorCode, QString &message);
    // Creates the language module of the scheme in place of the previous login's one.
    bool replaceLanguages(const QString &scheme);
    // The session's date and time formats (NLS) and the process's default locale, by the session's language.
    void applySessionFormats();
    // The connect dialog offers the installed languages; one chosen there is the log-in's language.
    void offerLanguages();
    void takeChosenLanguage();
    QList<QPair<int, QString>> m_offeredLanguages;
    int m_chosenLangId = 0;
    bool m_loggedIn = false;
    QPointer<TLanguagesDM> m_languages;
};

// The process-wide data module, or null outside its lifetime.
TDM *DM();

// The box of a failed connect: the readable sentence first, then the error's class and the
// database's codes ("The user is locked", then "EDAError": Ora-Error: 28000 -> 942); a
// message without codes keeps the class in front ("EDAError":text).
QString ConnectFailureText(const QString &className, const QString &message);

// Oracle formats of the locale's short date and time formats (Windows pattern letters).
QString LocaleToOracleDateFormat(const QString &shortDateFormat);
QString LocaleToOracleTimeFormat(const QString &timeFormat);
// The same of the session's language (Core/SessionLocale.h), whatever the process's LANG.
QString LocaleToOracleDateFormat();
QString LocaleToOracleTimeFormat();
// A Qt date or time format rewritten into the Windows pattern letters.
QString QtFormatToWindowsPattern(const QString &qtFormat);

// The texts of the login messages, by index (0..18), in the console's language.
QString GetCaseMsg(int index);
constexpr int kCaseMsgCount = 19;
