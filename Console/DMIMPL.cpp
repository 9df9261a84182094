#include "Console/DMIMPL.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uForcePswChange.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "Core/SessionLocale.h"
#include "Core/TextFormat.h"
#include "DataAccess/ConnectDialog.h"
#include "DataAccess/DAError.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/OraErrorHandler.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/OraStoredProc.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uOraFunctions.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <climits>

namespace {

struct TCaseMesg {
    TTextKind kind;
    const char *id;
    const char *ru;
    const char *en;
};

const TCaseMesg CaseMsgList[kCaseMsgCount] = {
    {tkWord, "rstr_act_ConnectionDB", "Соединение с БД", "Connection with DB"},
    {tkWord, "rstr_fmt_ConnectionScheme", "Соединение по схеме \"%s\"", "Connection by \"%s\" scheme"},
    {tkWord, "rstr_to_Cancel", "Отменить", "Cancel"},
    {tkWord, "rstr_to_Connect", "Соединить", "Connect"},
    {tkWord, "rstrPassword", "Пароль", "Password"},
    {tkWord, "rstrServer", "Сервер", "Server"},
    {tkWord, "rstrUser", "Имя", "User"},
    {tkMessage, "rstr_msg_PasswordNotEntered", "Пароль не введен", "Password is not entered"},
    {tkMessage, "rstr_msg_IncorrectPasLog", "Некорректный пароль/логин", "Incorrect password/login"},
    {tkMessage, "rstr_fmtmsg_UserNotRegistered", "Пользователь \"%s\" не зарегистрирован",
     "User \"%s\" is not registered"},
    {tkMessage, "rstr_fmtmsg_ErrorText", "Ошибка с сообщением: \"%s\"", "Error with a message: \"%s\""},
    {tkMessage, "rstr_fmtmsg_AccessIDNotExist", "Идентификатор доступа \"AccessID = %s\" не существует в \"V_ACCESS\"",
     "Access identifier \"AccessID =  %s\" does not exist in \"V_ACCESS\""},
    {tkMessage, "rstr_msg_UserIsPossibleNotRegistered", "Возможно пользователь не зарегистрирован",
     "User Is possible is not registered"},
    {tkMessage, "rstr_fmtmsg_OracleHomeIncorrect", "Некорректный Oracle Home \"Home%s\"",
     "Oracle Home \"Home%s\" is incorrect"},
    {tkMessage, "rstr_msg_NotPriveleges", "Недостаточно привилегий", "Not enough priveleges"},
    {tkMessage, "rstr_msg_NoNetworkConnection", "Нет соединения по сети", "There is no connection on the network"},
    {tkMessage, "rstr_msg_ServerNotFound", "Сервер не найден", "Server is not found"},
    {tkMessage, "rstr_msg_UserLocked", "Пользователь заблокирован", "The user is locked"},
    {tkMessage, "rstr_msg_NoListener", "Не запущена служба Oracle 'Listener'",
     "Oracle service 'Listener' is not working"},
};

constexpr unsigned kErrorBoxFlags = MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST;

QString text(const char *utf8) { return QString::fromUtf8(utf8); }

// The run of the same letter (any case) at the position, at most `limit` long.
int runLength(const QString &s, qsizetype at, QChar letter, int limit)
{
    int n = 0;
    while (at + n < s.size() && n < limit && s.at(at + n).toLower() == letter)
        ++n;
    return n;
}

// A quoted literal: copied with double quotes, up to the next quote of the same kind or the end.
qsizetype copyLiteral(const QString &s, qsizetype at, QString &out)
{
    const QChar quote = s.at(at);
    const qsizetype close = s.indexOf(quote, at + 1);
    if (close < 0) {
        out += QLatin1Char('"') + s.mid(at + 1) + QLatin1Char('"');
        return s.size();
    }
    out += QLatin1Char('"') + s.mid(at + 1, close - at - 1) + QLatin1Char('"');
    return close + 1;
}

} // namespace

TDM *DM() { return dynamic_cast<TDM *>(ConsoleDataModule()); }

QString GetCaseMsg(int index)
{
    Z_ASSERT(index >= 0 && index < kCaseMsgCount,
             QStringLiteral("KorConsole: DMIMPL.GetCaseMsg: %1 > Length(CaseMsgList)").arg(index));
    const TCaseMesg &m = CaseMsgList[index];
    const QString selected = SelectText(text(m.ru), text(m.en));
    const TDM *dm = DM();
    if (dm && dm->Connected())
        return selected;
    const QString fromFile = LangText(QString::fromLatin1(m.id), selected, m.kind);
    return fromFile.isEmpty() ? selected : fromFile;
}

QString TDM::GetCaseMsg(int index) const { return ::GetCaseMsg(index); }

TDM::TDM(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("DM"));
    // The platform's texts (faults of Servers.ini, of the accounts database) in the console's language.
    SetPlatformTextProc([](const QString &id, const QString &russian, const QString &english) {
        return LangText(id, SelectText(russian, english), tkMessage);
    });
    createComponents();
    readConsoleSettings();
}

TDM::~TDM()
{
    if (ConsoleDataModule() == this)
        SetConsoleDataModule(nullptr);
    SetComLanguages(nullptr);
}

void TDM::createComponents()
{
    CommonSession = new TOraSession(this);
    CommonSession->setObjectName(QStringLiteral("CommonSession"));
    CommonSession->Options().Charset = QStringLiteral("CL8MSWIN1251");
    CommonSession->SetAutoCommit(false);
    condlgConnect = new TConnectDialog(this);
    condlgConnect->setObjectName(QStringLiteral("condlgConnect"));
    condlgConnect->Retries = 3;
    condlgConnect->ReadAliases = true;
    condlgConnect->StoreLogInfo = false;
    CommonSession->SetConnectDialog(condlgConnect);
    oerrHandler = new TOraErrorHandler(this);
    oerrHandler->setObjectName(QStringLiteral("oerrHandler"));

    auto query = [this](const char *name, const QString &sql) {
        auto *q = new TSmartQuery(this);
        q->setObjectName(QString::fromLatin1(name));
        q->SetSQLText(sql);
        return q;
    };
    AccessTbl = query("AccessTbl", QStringLiteral("SELECT * FROM &shema.V_ACCESS"));
    AccessDSrc = new TDataSource(this, AccessTbl);
    AccessDSrc->setObjectName(QStringLiteral("AccessDSrc"));
    V_MENUCFG = query("V_MENUCFG",
                      QStringLiteral("select * from &shema.V_MENUCFG\nWHERE ACCESSID=:ACCESSID\nORDER BY SORT_ORDER"));
    V_MENUCFG->SQLRefresh = QStringList{QStringLiteral("WHERE"), QStringLiteral("  ID_CFG = :ID_CFG")};
    V_MENUCFG->SQLInsert = QStringList{
        QStringLiteral("begin"),
        QStringLiteral("  Zandrell_pro.MENUPACK.INS_MENUITEM(:PID, :POWNER, :PACCESSID, :PITEMID, :PITEMMODE);"),
        QStringLiteral("end;")};
    V_MENUCFG->SetMasterSource(AccessDSrc);
    V_MENUCFGDSrc = new TDataSource(this, V_MENUCFG);
    V_MENUCFGDSrc->setObjectName(QStringLiteral("V_MENUCFGDSrc"));
    V_SRVITEMS = query("V_SRVITEMS", QStringLiteral("SELECT * FROM &shema.V_SRVITEMS\nWHERE ITEMID=:ITEMID"));
    V_SRVITEMS->SetMasterSource(V_MENUCFGDSrc);
    SrvCatalogue =
        query("SrvCatalogue", QStringLiteral("SELECT * FROM &shema.V_SRVITEMS\nWHERE ITEMID IN (SELECT ItemID FROM "
                                             "&shema.V_MENUCFG WHERE ACCESSID=:ACCESSID)"));
    SrvCatalogue->SetMasterSource(AccessDSrc);

    auto proc = [this](const char *name, const QString &procName) {
        auto *p = new TOraStoredProc(this);
        p->setObjectName(QString::fromLatin1(name));
        p->SetStoredProcName(procName);
        return p;
    };
    spRight = proc("spRight", QStringLiteral("Zandrell_pro.MENUPACK.GET_MENU_ITEM_RIGHT"));
    spRight_OLD = proc("spRight_OLD", QStringLiteral("Zandrell_pro.MENUPACK.GET_MENU_ITEM_RIGHT"));
    GET_CURRCONFIG = proc("GET_CURRCONFIG", QStringLiteral("Zandrell_pro.GET_CURRCONFIG"));
    sqGetObjectShema =
        query("sqGetObjectShema", QStringLiteral("SELECT 1 \nFROM  ALL_OBJECTS AO\nWHERE AO.OWNER       = "
                                                 "UPPER(&Shema)\n  AND AO.OBJECT_TYPE = 'VIEW'\n  AND "
                                                 "AO.OBJECT_NAME = 'V_SYSUSERS'"));
    sqGetUserInShema =
        query("sqGetUserInShema",
              QStringLiteral("SELECT VSU.LOGIN, VSU.ID\n  FROM &SHEMA.v_Sysusers VSU\n WHERE VSU.LOGIN = :pUser"));
    // The Request function has no session of its own at design time; the login qualifies its name.
    ospRequest = proc("ospRequest", QStringLiteral("xxx.Request"));
    ospRequest->SetTag(1);
    sqCheckForcePassChange =
        query("sqCheckForcePassChange",
              QStringLiteral("SELECT VSU.ID, VSU.LOGIN, VSU.FORCE_PASS_CHANGE\n  FROM &SHEMA.v_Sysusers_2 "
                             "VSU\n WHERE VSU.LOGIN = :pUser"));
    SetComponentsSession(this, CommonSession);
    // Access lists fall back from the current rights procedure to the older one.
    SetRightsProcedures(spRight, spRight_OLD);

    CommonSession->BeforeConnect = [this](TOraSession *) { sessionBeforeConnect(); };
    CommonSession->AfterConnect = [this](TOraSession *) { sessionAfterConnect(); };
    CommonSession->OnError = [this](TOraSession *, EDAError &error) { sessionError(error); };
    CommonSession->OnConnectChange = [this](TOraSession *session, bool changed) {
        if (changed)
            session->PerformConnect(false);
    };
    oerrHandler->OnError = [this](int errorCode, QString &message) { handlerError(errorCode, message); };
}

void TDM::readConsoleSettings()
{
    RetriesLeft = 0;
    const bool storeInReg = ReadStoreInReg();
    condlgConnect->StoreLogInfo = storeInReg;
    if (!storeInReg) {
        CommonSession->SetUsername(ReadUser());
        CommonSession->SetServer(ReadServer());
    }
    CommonSession->SetPassword(QString());
    int home = ReadHome();
    ConsoleTextsTranslated = false;
    if (static_cast<unsigned>(home) >= 7) {
        ShowMessageBox(Fmt(::GetCaseMsg(13), home), ::GetCaseMsg(0), kErrorBoxFlags);
        home = 0;
    }
    CommonSession->SetHome(home);
    CommonSession->Options().UseOCI7 = ReadUseOCI7();
}

void TDM::SetServer(const QString &server) { CommonSession->SetServer(server); }
void TDM::SetUserName(const QString &user) { CommonSession->SetUsername(user); }
void TDM::SetPassword(const QString &password) { CommonSession->SetPassword(password); }
void TDM::SetConnectPrompt(bool prompt) { CommonSession->SetConnectPrompt(prompt); }
void TDM::SetHomeIndex(int home) { CommonSession->SetHome(home); }
void TDM::SetStoreLogInfo(bool store) { condlgConnect->StoreLogInfo = store; }

QString TDM::ServerName() const { return CommonSession->Server(); }
bool TDM::Connected() const { return CommonSession->Connected(); }

QStringList TDM::ExemptPasswords()
{
    // Built-in service passwords that are stored unwrapped; the deployment names them.
    TIniFile deploy(ExePath(QStringLiteral("Deploy.ini")));
    QStringList exempt;
    for (const char *key : {"Exempt1", "Exempt2"}) {
        const QString value = deploy.ReadString(QStringLiteral("PASSWORDS"), QString::fromLatin1(key), QString());
        if (!value.isEmpty())
            exempt << value;
    }
    return exempt;
}

QString TDM::WrapPassword(const QString &password, const QStringList &exempt)
{
    for (const QString &e : exempt)
        if (password.compare(e, Qt::CaseInsensitive) == 0)
            return password;
    if (password.startsWith(QLatin1Char('~')) || password.endsWith(QLatin1Char('~')))
        return password;
    return QLatin1Char('~') + password + QLatin1Char('~');
}

void TDM::sessionBeforeConnect()
{
    if (EncodePassword)
        CommonSession->SetPassword(WrapPassword(CommonSession->Password(), ExemptPasswords()));
    CommonSession->SetUsername(CommonSession->Username().trimmed());
}

void TDM::sessionAfterConnect()
{
    // The values of a connect that succeeded become the defaults of the next run; the password never does.
    try {
        WriteServer(CommonSession->Server());
        WriteUser(CommonSession->Username());
        WriteHome(CommonSession->Home());
    } catch (const Exception &e) {
        ShowMessageBox(e.message().trimmed(), ::GetCaseMsg(0), MB_ICONWARNING);
    }
}

void TDM::handlerError(int errorCode, QString &message)
{
    --RetriesLeft;
    if (errorCode == OraErr::NullPassword)
        message = ::GetCaseMsg(7);
    else if (errorCode == OraErr::InvalidLogon)
        message = ::GetCaseMsg(8);
}

void TDM::sessionError(EDAError &error)
{
    struct Rewrite {
        int code;
        int shown;
        int text;
    };
    static const Rewrite table[] = {{942, 942, 9},      {4043, 4043, 14},   {12154, 12154, 16}, {12500, 12500, 18},
                                    {12541, 12541, 18}, {12545, 12454, 15}, {12560, 12560, 15}, {28000, 942, 17}};
    const int code = error.ErrorCode();
    for (const Rewrite &r : table) {
        if (r.code != code)
            continue;
        QString readable = ::GetCaseMsg(r.text);
        if (r.text == 9)
            readable = Fmt(readable, CommonSession->Username());
        // A fault of the configuration keeps its own readable line (which file, which alias).
        if (!error.Detail().isEmpty())
            readable += QStringLiteral("\r\n") + error.Detail();
        const QString prefix = r.shown == code ? QStringLiteral("Ora-Error: %1 -> ").arg(code)
                                               : QStringLiteral("Ora-Error: %1 -> %2 -> ").arg(code).arg(r.shown);
        error.Reinit(r.shown, prefix + readable);
        return;
    }
}

bool TDM::Login(const QString &scheme, const QString &langIdText)
{
    m_loggedIn = false;
    m_chosenLangId = 0;
    RetriesLeft = condlgConnect->Retries;
    SchemeName = scheme;
    EncodePassword = ReadEncode();
    CommonSession->Disconnect();
    SetApplicationTitle(GetConsoleCaption());
    if (!ConnectToScheme(scheme))
        return false;
    bool result = false;
    try {
        fSetShema(this, scheme);
        ReadCurrentConfig();
        for (TOraDataSet *dataSet :
             {static_cast<TOraDataSet *>(AccessTbl), static_cast<TOraDataSet *>(V_MENUCFG),
              static_cast<TOraDataSet *>(V_SRVITEMS), static_cast<TOraDataSet *>(SrvCatalogue)}) {
            try {
                dataSet->Close();
            } catch (const Exception &e) {
                qCWarning(lcConsole) << "a data set of the previous scheme did not close:" << e.message();
            }
        }
        AccessTbl->Open();
        V_MENUCFG->Open();
        V_SRVITEMS->Open();
        SrvCatalogue->Open();
        if (AccessTbl->Locate(QStringLiteral("ACCESSID"), AccessListId, loPartialKey)) {
            AccessListName = AccessTbl->FieldByName(QStringLiteral("NAME"))->AsString();
        } else {
            throw Exception(Fmt(::GetCaseMsg(11), QString::number(AccessListId, 'f', 0)) + QStringLiteral("\r\n") +
                            ::GetCaseMsg(12));
        }
        result = true;
        m_loggedIn = true;
        qCInfo(lcConsole) << "logged in to" << scheme << "with access group" << AccessListId << AccessListName;
        // The user's language is not worth the log-in: a scheme that cannot
        // store it now (locked, damaged) leaves the language as it was.
        // A language chosen in the connect dialog is stored as one given by /langid.
        const QString language = m_chosenLangId > 0 ? QString::number(m_chosenLangId) : langIdText;
        if (language != QLatin1String("-1")) {
            try {
                SetUserLanguages(language);
            } catch (const std::exception &e) {
                qCWarning(lcConsole) << "the user's language is not stored:" << ExceptionMessage(e);
            }
        }
        if (replaceLanguages(scheme)) {
            // The console speaks the user's language of the pack from now on.
            if (const int packLang = GetComLanguages()->GET_USER_APL_LANG_ID(); packLang > 0)
                SetConsoleLangId(packLang);
            IniResString();
            // The pack settles the session's language: its dates, times and numbers follow it.
            applySessionFormats();
            // Texts translated at an earlier log-in may be in another language:
            // translate the built-in ones again, never a translation twice.
            ReleaseConsoleTexts();
            TranslateConsoleTexts();
            ConsoleTextsTranslated = true;
        }
    } catch (const std::exception &e) {
        ShowMessageBox(Fmt(::GetCaseMsg(10), ExceptionMessage(e).trimmed()), Fmt(::GetCaseMsg(1), scheme),
                       kErrorBoxFlags);
        return false;
    }
    return result;
}

namespace {

// Windows primary language id of English.
constexpr int kEnglishLangId = 9;

// The languages of Res/Langs.ini, Russian first, each named in its own language where it is known.
QList<QPair<int, QString>> installedLanguages()
{
    QList<QPair<int, QString>> languages{{kRussianLangId, QStringLiteral("Русский")}};
    const QString path = ExePath(QStringLiteral("Res/Langs.ini"));
    if (!QFileInfo(path).isFile())
        return languages;
    const TIniFile ini(path);
    for (const QString &key : ini.ReadSection(QStringLiteral("LANGS"))) {
        bool ok = false;
        const int id = key.toInt(&ok);
        if (!ok || id <= 0 || id == kRussianLangId)
            continue;
        const QString stem = ini.ReadString(QStringLiteral("LANGS"), key, QString()).trimmed();
        languages.append({id, id == kEnglishLangId ? QStringLiteral("English") : stem});
    }
    return languages;
}

} // namespace

void TDM::offerLanguages()
{
    m_offeredLanguages = installedLanguages();
    condlgConnect->Languages.clear();
    condlgConnect->LanguageIndex = -1;
    if (m_offeredLanguages.size() < 2)
        return;
    for (qsizetype i = 0; i < m_offeredLanguages.size(); ++i) {
        condlgConnect->Languages << m_offeredLanguages[i].second;
        if (m_offeredLanguages[i].first == ConsoleLangId())
            condlgConnect->LanguageIndex = int(i);
    }
    condlgConnect->LanguageLabel = SelectText(QStringLiteral("Язык"), QStringLiteral("Language"));
}

void TDM::takeChosenLanguage()
{
    const int index = condlgConnect->LanguageIndex;
    if (index < 0 || index >= m_offeredLanguages.size() || m_offeredLanguages[index].first == ConsoleLangId())
        return;
    // The console speaks it from now on; the log-in stores it as the user's language.
    m_chosenLangId = m_offeredLanguages[index].first;
    QString name;
    ResolveLanguage(QString::number(ConsoleLangId()), QString::number(m_chosenLangId), name);
    SetConsoleLangId(m_chosenLangId);
}

void TDM::applySessionFormats()
{
    // Every QLocale the console makes (message boxes, editors, sizes) writes as the session does.
    QLocale::setDefault(SessionLocale());
    CommonSession->Options().DateFormat = LocaleToOracleDateFormat();
    CommonSession->ExecSQL(QStringLiteral("ALTER SESSION SET %1 = '%2'")
                               .arg(QStringLiteral("NLS_DATE_FORMAT"), CommonSession->Options().DateFormat));
    CommonSession->ExecSQL(QStringLiteral("ALTER SESSION SET %1 = '%2'")
                               .arg(QStringLiteral("NLS_TIME_FORMAT"), LocaleToOracleTimeFormat()));
}

bool TDM::replaceLanguages(const QString &scheme)
{
    // A scheme without a language pack keeps nothing of the previous one's.
    delete m_languages.data();
    if (!ExistsLangPack(scheme, CommonSession))
        return false;
    m_languages = CreateComLanguages(this, scheme, CommonSession);
    return m_languages != nullptr;
}

bool TDM::ConnectToScheme(const QString &scheme)
{
    try {
        condlgConnect->LabelSet = TLabelSet::lsCustom;
        condlgConnect->Caption = Fmt(::GetCaseMsg(1), SchemeName);
        condlgConnect->CancelButton = ::GetCaseMsg(2);
        condlgConnect->ConnectButton = ::GetCaseMsg(3);
        condlgConnect->PasswordLabel = ::GetCaseMsg(4);
        condlgConnect->ServerLabel = ::GetCaseMsg(5);
        condlgConnect->UsernameLabel = ::GetCaseMsg(6);
        offerLanguages();
        CommonSession->Connect();
        takeChosenLanguage();
        applySessionFormats();
        if (!IsSchemeValid(scheme) || !IsUserRegistered(CommonSession->Username(), scheme)) {
            // A scheme the server cannot offer (its file is missing, empty or
            // another program's) is told as such, not as an unknown user.
            const QString fault = CommonSession->SchemeFault(scheme);
            ShowMessageBox(fault.isEmpty() ? Fmt(::GetCaseMsg(9), CommonSession->Username()) : fault,
                           Fmt(::GetCaseMsg(1), scheme), kErrorBoxFlags);
            return false;
        }
        if (!IsSchemeCurrent(scheme))
            return false;
        if (!CheckForcedPasswordChange(CommonSession->Username(), scheme))
            return false;
        return CommonSession->Connected();
    } catch (const EAbort &) {
        return false;
    } catch (const Exception &e) {
        ShowMessageBox(ConnectFailureText(e.className(), e.message().trimmed()), Fmt(::GetCaseMsg(1), scheme), MB_OK);
        return false;
    } catch (const std::exception &e) {
        ShowMessageBox(QStringLiteral("\"Exception\":") + ExceptionMessage(e).trimmed(), Fmt(::GetCaseMsg(1), scheme),
                       MB_OK);
        return false;
    }
}

void TDM::ReadCurrentConfig()
{
    GET_CURRCONFIG->ExecProc();
    const TOraParam &access = GET_CURRCONFIG->ParamByName(QStringLiteral("PACCESSLIST"));
    HasAccessList = !access.IsNull();
    IsSysDba = GET_CURRCONFIG->ParamByName(QStringLiteral("PSYSDBA")).AsInteger() == 1;
    CurrentUserName = GET_CURRCONFIG->ParamByName(QStringLiteral("PUSER")).AsString();
    if (HasAccessList)
        AccessListId = access.AsFloat();
}

bool TDM::IsSchemeValid(const QString &scheme)
{
    sqGetObjectShema->Close();
    // The scheme is a quoted literal: a quote inside it is doubled, so it cannot change the statement.
    QString literal = scheme;
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    sqGetObjectShema->MacroByName(QStringLiteral("Shema")).SetValue(QLatin1Char('\'') + literal + QLatin1Char('\''));
    sqGetObjectShema->Open();
    return !sqGetObjectShema->IsEmpty();
}

int TDM::SchemeVersion(const QString &scheme)
{
    // Asked of ALL_OBJECTS first: a scheme that records no version raises no error.
    TOraQuery q;
    q.SetSession(CommonSession);
    q.SetSQLText(QStringLiteral("SELECT 1 FROM ALL_OBJECTS WHERE OWNER = UPPER(:OWNER) AND OBJECT_NAME = "
                                "'SCHEME_VERSION'"));
    q.ParamByName(QStringLiteral("OWNER")).SetAsString(scheme.trimmed());
    q.Open();
    if (q.IsEmpty())
        return 0;
    q.Close();
    q.SetSQLText(QStringLiteral("SELECT MAX(V.VERSION) AS VERSION FROM &Shema.SCHEME_VERSION V"));
    q.MacroByName(QStringLiteral("Shema")).SetValue(SchemeName);
    q.Open();
    return q.IsEmpty() ? 0 : q.Fields(0)->AsInteger();
}

bool TDM::IsSchemeCurrent(const QString &scheme)
{
    const int version = SchemeVersion(scheme);
    if (version >= kSchemeVersionNeeded)
        return true;
    ShowMessageBox(Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_SchemeTooOld")), scheme.trimmed().toUpper(), version,
                       kSchemeVersionNeeded),
                   Fmt(::GetCaseMsg(1), scheme), kErrorBoxFlags);
    return false;
}

bool TDM::IsUserRegistered(const QString &user, const QString &)
{
    sqGetUserInShema->Close();
    sqGetUserInShema->ParamByName(QStringLiteral("pUser")).SetAsString(user.toUpper());
    sqGetUserInShema->MacroByName(QStringLiteral("SHEMA")).SetValue(SchemeName);
    sqGetUserInShema->Open();
    return !sqGetUserInShema->IsEmpty();
}

bool TDM::CheckForcedPasswordChange(const QString &user, const QString &scheme)
{
    if (!IsUserRegistered(user, scheme))
        return false;
    const QString login = sqGetUserInShema->FieldByName(QStringLiteral("LOGIN"))->AsString();
    const QVariant id = sqGetUserInShema->FieldByName(QStringLiteral("ID"))->Value();
    if (!NeedsPasswordChange(login))
        return true;
    const auto dialog = TDlgBaseForm::Create<TfmForcePswChange>(SchemeName, CommonSession);
    dialog->UserId = id;
    dialog->UserLogin = login;
    dialog->EncodePassword = EncodePassword;
    return ExecModalDialog(dialog.get()) == QDialog::Accepted;
}

bool TDM::NeedsPasswordChange(const QString &login)
{
    ospRequest->SetStoredProcName(QualifyObjectName(ospRequest->StoredProcName(), SchemeName));
    ospRequest->PrepareSQL();
    ospRequest->ParamByName(QStringLiteral("PTYPE")).SetAsString(QStringLiteral("COLUMN"));
    ospRequest->ParamByName(QStringLiteral("PVAL_1")).SetAsString(QStringLiteral("SYSUSER"));
    ospRequest->ParamByName(QStringLiteral("PVAL_2")).SetAsString(QStringLiteral("FORCE_PASS_CHANGE"));
    ospRequest->ParamByName(QStringLiteral("PVAL_3")).SetAsString(QString());
    ospRequest->ExecProc();
    if (ospRequest->ParamByName(QStringLiteral("RESULT")).AsInteger() != 1)
        return false;
    sqCheckForcePassChange->Close();
    sqCheckForcePassChange->MacroByName(QStringLiteral("SHEMA")).SetValue(SchemeName);
    sqCheckForcePassChange->ParamByName(QStringLiteral("pUser")).SetAsString(login.toUpper());
    sqCheckForcePassChange->Open();
    return !sqCheckForcePassChange->IsEmpty() &&
           sqCheckForcePassChange->FieldByName(QStringLiteral("FORCE_PASS_CHANGE"))->AsInteger() == 1;
}

void TDM::SetUserLanguages(const QString &langIdText)
{
    // The id goes into a statement: only a decimal integer may pass.
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]{1,9}$"));
    QString id = langIdText.isEmpty() ? QStringLiteral("25") : langIdText.trimmed();
    if (!decimal.match(id).hasMatch())
        return;
    id = QString::number(id.toInt());
    if (!ExistsLangPack(SchemeName, CommonSession))
        return;
    CommonSession->ExecSQL(QStringLiteral("BEGIN \r\n") + SchemeName + QStringLiteral(".LANG_PACK.SET_USER_APL_LANG(") +
                           id + QStringLiteral(", 0); \r\n") + SchemeName +
                           QStringLiteral(".LANG_PACK.SET_USER_REP_LANG(") + id +
                           QStringLiteral(", 0); \r\nCOMMIT; \r\nEND;"));
}

bool TDM::GetCursor(const QString &sqlText, TOraQuery *query)
{
    try {
        query->Close();
        query->SetSQLText(sqlText);
        Z_ASSERT(query->FindMacro(QStringLiteral("Shema")) != nullptr,
                 QStringLiteral("TDM.GetCursor: \"Shema\" macro is not found in SQL \r\n") + sqlText);
        query->MacroByName(QStringLiteral("Shema")).SetValue(SchemeName);
        query->Prepare();
        query->Open();
        return true;
    } catch (const std::exception &e) {
        qCWarning(lcConsole) << "query of the console's data module failed:" << ExceptionMessage(e);
        return false;
    }
}

void TDM::OpenAccess(double accessId)
{
    AccessTbl->Open();
    V_MENUCFG->Open();
    V_SRVITEMS->Open();
    SrvCatalogue->Open();
    AccessTbl->Locate(QStringLiteral("ACCESSID"), accessId, loPartialKey);
}

void TDM::RefreshMenu()
{
    V_MENUCFG->Refresh();
    SrvCatalogue->Refresh();
}

void TDM::ListSessionDataSets(QString &text) const
{
    for (TOraDataSet *dataSet : CommonSession->DataSets())
        if (!dataSet->Name().trimmed().isEmpty())
            text += QStringLiteral("\r\n") + dataSet->Name();
}

QString LocaleToOracleDateFormat(const QString &format)
{
    QString out;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i).toLower();
        if (c == QLatin1Char('d')) {
            const int n = runLength(format, i, QLatin1Char('d'), 4);
            static const char *const days[] = {"fmDDfm", "DD", "DY", "fmDAYfm"};
            out += QLatin1String(days[n - 1]);
            i += n;
        } else if (c == QLatin1Char('m')) {
            const int n = runLength(format, i, QLatin1Char('m'), 4);
            static const char *const months[] = {"fmMMfm", "MM", "MON", "MONTH"};
            out += QLatin1String(months[n - 1]);
            i += n;
        } else if (c == QLatin1Char('g')) {
            out += QLatin1Char('E');
            ++i;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            i = copyLiteral(format, i, out);
        } else {
            out += format.at(i).toUpper();
            ++i;
        }
    }
    return out;
}

QString LocaleToOracleTimeFormat(const QString &format)
{
    const QString hours = format.contains(QLatin1String("AMPM")) || format.contains(QLatin1Char('t'))
                              ? QStringLiteral("12")
                              : QStringLiteral("24");
    QString out;
    qsizetype i = 0;
    auto next = [&](qsizetype at) { return at < format.size() ? format.at(at).toLower() : QChar(); };
    while (i < format.size()) {
        const QChar c = format.at(i).toLower();
        if (format.mid(i, 4).compare(QLatin1String("AMPM"), Qt::CaseInsensitive) == 0) {
            out += QLatin1String("AM");
            i += 4;
        } else if (c == QLatin1Char('h')) {
            if (next(i + 1) == QLatin1Char('h')) {
                out += QStringLiteral("HH") + hours;
                i += 2;
            } else {
                out += QStringLiteral("fmHH") + hours + QStringLiteral("fm");
                ++i;
            }
        } else if (c == QLatin1Char('m') || c == QLatin1Char('n')) {
            if (next(i + 1) == QLatin1Char('m') || next(i + 1) == QLatin1Char('n')) {
                out += QLatin1String("MI");
                i += 2;
            } else {
                out += QLatin1String("fmMIfm");
                ++i;
            }
        } else if (c == QLatin1Char('s')) {
            if (next(i + 1) == QLatin1Char('s')) {
                out += QLatin1String("SS");
                i += 2;
            } else {
                out += QLatin1String("fmSSfm");
                ++i;
            }
        } else if (c == QLatin1Char('z') || c == QLatin1Char('t')) {
            out += c == QLatin1Char('z') ? QLatin1String("FF") : QLatin1String("AM");
            i += runLength(format, i, c, INT_MAX);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            i = copyLiteral(format, i, out);
        } else {
            out += format.at(i).toUpper();
            ++i;
        }
    }
    return out;
}

QString QtFormatToWindowsPattern(const QString &qtFormat)
{
    QString out;
    qsizetype i = 0;
    while (i < qtFormat.size()) {
        const QChar c = qtFormat.at(i);
        if (c == QLatin1Char('\'')) {
            const qsizetype close = qtFormat.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype end = close < 0 ? qtFormat.size() : close + 1;
            out += qtFormat.mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char('A') || c == QLatin1Char('a')) {
            // Qt's AM/PM marker is the Windows "tt" (or "t" for one letter).
            const bool two = i + 1 < qtFormat.size() && qtFormat.at(i + 1).toLower() == QLatin1Char('p');
            out += two ? QLatin1String("tt") : QLatin1String("t");
            i += two ? 2 : 1;
        } else if (c == QLatin1Char('t')) {
            // Qt's time zone has no Windows letter; it is left out with the blank before it.
            if (out.endsWith(QLatin1Char(' ')))
                out.chop(1);
            ++i;
        } else {
            out += c;
            ++i;
        }
    }
    return out.trimmed();
}

QString ConnectFailureText(const QString &className, const QString &message)
{
    // "Ora-Error: 28000 -> 942 -> The user is locked": the codes move behind the sentence.
    static const QRegularExpression coded(QStringLiteral("^(Ora-Error: \\d+(?: -> \\d+)?) -> (.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = coded.match(message);
    if (!match.hasMatch())
        return QLatin1Char('"') + className + QStringLiteral("\":") + message;
    return match.captured(2) + QStringLiteral("\r\n\r\n\"") + className + QStringLiteral("\": ") + match.captured(1);
}

QString LocaleToOracleDateFormat() { return LocaleToOracleDateFormat(QtFormatToWindowsPattern(SessionDateFormat())); }

QString LocaleToOracleTimeFormat() { return LocaleToOracleTimeFormat(QtFormatToWindowsPattern(SessionTimeFormat())); }
