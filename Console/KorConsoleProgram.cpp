#include "Console/KorConsoleProgram.h"

#include "Console/DMIMPL.h"
#include "Console/MainConsoleIMPL.h"
#include "Console/uAtom.h"
#include "Console/uAutoUpdate.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleDM.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleInfo.h"
#include "Console/uExitSignals.h"
#include "Console/uHomeTuning.h"
#include "Console/uQtTranslation.h"
#include "Console/uShemaForm.h"
#include "Console/uSplash.h"
#include "Console/uUnattended.h"
#include "Console/uWaitFeedback.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "Source/ComUnits/uComFormLibInt.h"
#include "Source/ComUnits/uDBGInt.h"
#include "Ui/ResourceLibrary.h"
#include "Ui/WindowPlacement.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QStringList kEnglishHelp = {
    QStringLiteral("</?> - Help on parameters;"),
    QStringLiteral("</home> - 'Oracle Home' setting and exit;"),
    QStringLiteral("</scheme> - Customization of schema and exit;"),
    QStringLiteral("</scheme=?> - Dialogue of assignment of the scheme and loading;"),
    QStringLiteral("</disable_reconnect> - Forbid to modify the connection parameters and loading;"),
    QStringLiteral("</langid=xxx> - Setting the language 'xxx' (by code) and loading;"),
    QStringLiteral("<[/home=xxx] [/scheme=xxx] [/server=xxx] [/user=xxx] [/password=xxx] [/disable_reconnect] "
                   "[/langid=xxx]> - Loading with parameters."),
    QString(),
    QStringLiteral("The order and amount of parameters is not Important."),
};

const QStringList kRussianHelp = {
    QStringLiteral("</?> - Справка по параметрам;"),
    QStringLiteral("</home> - Настройка 'Oracle Home' и выход;"),
    QStringLiteral("</scheme> - Настройка схемы и выход;"),
    QStringLiteral("</scheme=?> - Диалог установки схемы и загрузка;"),
    QStringLiteral("</disable_reconnect> - Запрет на изменение соединения и загрузка;"),
    QStringLiteral("</langid=xxx> - Установка языка 'xxx' (по коду) и загрузка;"),
    QStringLiteral("<[/home=xxx] [/scheme=xxx] [/server=xxx] [/user=xxx] [/password=xxx] [/disable_reconnect] "
                   "[/langid=xxx]> - Загрузка с заданными параметрами."),
    QString(),
    QStringLiteral("Порядок и количество параметров не важны."),
};

bool contains(const QString &argument, const char *switchName)
{
    return argument.contains(QLatin1String(switchName), Qt::CaseInsensitive);
}

void showParamError(const QString &text) { ShowMessageBox(text, ParametersCaption(), MB_ICONERROR); }

} // namespace

bool ExtractParamValue(const QString &argument, QString &value)
{
    const qsizetype eq = argument.lastIndexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    value = argument.mid(eq + 1);
    return true;
}

QString ParamNotExtractedText(const QString &argument, const QString &name)
{
    return Fmt(LangText(QStringLiteral("rstr_fmt_Param_Not_Extract"),
                        SelectText(QStringLiteral("Параметр \"%s\" не извлечен из строки \"%s\""),
                                   QStringLiteral("\"%s\" parameter is not extracted from line \"%s\"")),
                        tkMessage),
               name, argument);
}

QString RussianHelpText() { return kRussianHelp.join(QStringLiteral("\r\n")); }
QString EnglishHelpText() { return kEnglishHelp.join(QStringLiteral("\r\n")); }

QString GetHelpText()
{
    const QString text =
        LangText(QStringLiteral("rstr_HelpText"), SelectText(QStringLiteral("%Ru"), QStringLiteral("%En")), tkHelp);
    if (text == QLatin1String("%Ru"))
        return RussianHelpText();
    if (text == QLatin1String("%En"))
        return EnglishHelpText();
    return text;
}

TKorConsoleProgram::~TKorConsoleProgram() = default;

void TKorConsoleProgram::InitializeUnits()
{
    LoadResourceLibrary(ExePath(ResourceLibraryFileName()));
    // Every window is placed by its frame inside the work area; every dialog takes the keyboard.
    KeepWindowsInWorkArea();
    GiveDialogsTheKeyboard();
    OpenConsoleIni();
    InitConsoleFunctions();
}

void TKorConsoleProgram::FinalizeUnits()
{
    FinalizeConsoleFunctions();
    ComFormLibs::FreeLibrary();
    DBGInt::FreeDBG();
    FreeLanguageFile();
    CloseConsoleIni();
    FreeResourceLibrary();
}

bool TKorConsoleProgram::LaunchAutoUpdate(int langId) { return ::LaunchAutoUpdate(langId); }
bool TKorConsoleProgram::WaitAutoUpdateReply() { return ::WaitAutoUpdateReply(); }
int TKorConsoleProgram::ShowHomeDialog() { return ::ShowHomeDialog(); }
QString TKorConsoleProgram::ShowSchemeDialog() { return ::ShowSchemeDialog(); }
void TKorConsoleProgram::InitGridSettings() {}

std::unique_ptr<IConsoleDataModule> TKorConsoleProgram::CreateDataModule() { return std::make_unique<TDM>(); }

void TKorConsoleProgram::ShowSplashStatus(const QString &text) { SetSplashStatus(GetSplash(), text); }
void TKorConsoleProgram::RunMainWindow(const QString &scheme, bool disableReconnect)
{
    TfmMain main;
    MainWindow = &main;
    main.SchemeName = scheme;
    main.PreviousScheme = scheme;
    main.ReconnectDisabled = disableReconnect;
    // A developer's workstation: the debugging library beside the program gets the main window.
    DBGInt::LoadDBG(&main);
    TUnattendedDriver *driver = nullptr;
    if (IsUnattended()) {
        driver = new TUnattendedDriver(&main);
        // A rebuild is told at once; the first READY waits until the window is shown (its
        // language menu is built then), below.
        main.OnConfigurationBuilt = [driver, window = &main] {
            if (window->isVisible())
                driver->Ready();
        };
    }
    try {
        main.InitConfiguration();
    } catch (const EAbort &) {
        return; // shown by the main window; the application ends
    }
    main.show();
    // READY comes before the first command is taken: lines that a window of the start-up
    // (the not-loaded services) read ahead are answered after it.
    if (driver) {
        driver->Ready();
        driver->Start();
    }
    // A signal that came while the window was built ends the run here: the loop would not see it.
    if (ExitSignalled())
        main.close();
    else
        QApplication::exec();
}

void TKorConsoleProgram::endOnSignal()
{
    m_exitSignalled = true;
    // A modal window's loop runs on the stack of the service window that
    // opened it: cancel the modal windows and close the main window (which
    // frees the service windows) only once their loops have returned.
    if (ModalLoopsRunning()) {
        while (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
            if (QApplication::activeModalWidget() == modal)
                break; // refuses to close; the loop below ends it
        }
        // A window that refuses for a second is left to the end of every loop.
        static int tries = 0;
        if (++tries > 100) {
            QCoreApplication::exit(0);
            return;
        }
        QTimer::singleShot(10, qApp, [this] { endOnSignal(); });
        return;
    }
    // The main window closes as its exit command closes it; every loop ends,
    // a modal window's included, and none starts again.
    if (MainWindow)
        MainWindow->close();
    QCoreApplication::exit(0);
}

void TKorConsoleProgram::resolveLanguageSwitch(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (!contains(argument, "/langid"))
            continue;
        QString value;
        if (!ExtractParamValue(argument, value)) {
            showParamError(ParamNotExtractedText(argument, QStringLiteral("langid")));
        } else if (value != NotGiven) {
            static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]{1,9}$"));
            if (decimal.match(value).hasMatch())
                LangIdText = ResolveLanguage(LangIdText, QString::number(value.toInt()), LangName);
            else
                showParamError(ParamNotCorrectText(QStringLiteral("langid"), value));
        }
        break; // only the first /langid counts
    }
}

void TKorConsoleProgram::parameterPass(const QStringList &arguments)
{
    Params = TStartupParams();
    struct Switch {
        const char *text;
        const char *name;
        QString TStartupParams::*target;
    };
    const Switch switches[] = {
        {"/shema", "shema", &TStartupParams::SchemeParam}, {"/scheme", "scheme", &TStartupParams::SchemeParam},
        {"/home", "home", &TStartupParams::HomeParam},     {"/server", "server", &TStartupParams::ServerParam},
        {"/user", "user", &TStartupParams::UserParam},     {"/password", "password", &TStartupParams::PasswordParam},
    };
    QString schemeSwitch = QStringLiteral("scheme");
    for (const QString &argument : arguments) {
        for (const Switch &s : switches) {
            if (!contains(argument, s.text))
                continue;
            QString value;
            if (ExtractParamValue(argument, value)) {
                Params.*s.target = value;
                if (s.target == &TStartupParams::SchemeParam)
                    schemeSwitch = QString::fromLatin1(s.name);
            } else {
                showParamError(ParamNotExtractedText(argument, QString::fromLatin1(s.name)));
            }
        }
        if (contains(argument, "/disable_reconnect"))
            Params.DisableReconnect = true;
    }

    // The scheme chosen here is the one this run logs in to, even when Console.ini
    // cannot store it or another console changes the active scheme meanwhile.
    m_runScheme.clear();
    if (Params.SchemeParam == QLatin1String("?")) {
        Params.SchemeParam = ShowSchemeDialog();
        if (!Params.SchemeParam.isEmpty()) {
            SetActiveScheme(Params.SchemeParam);
            m_runScheme = Params.SchemeParam;
        }
    } else if (Params.SchemeParam != NotGiven) {
        // Console.ini keeps a scheme without the blanks around its name, and the log-in names it so.
        const QString scheme = Params.SchemeParam.trimmed();
        if (IsCorrectSchemeName(scheme)) {
            SetActiveScheme(scheme);
            m_runScheme = scheme;
        } else {
            // A name Console.ini cannot hold is refused before anything is written.
            showParamError(ParamNotCorrectText(schemeSwitch, Params.SchemeParam));
        }
    }

    const bool serverGiven = Params.ServerParam != NotGiven;
    const bool userGiven = Params.UserParam != NotGiven;
    const bool passwordGiven = Params.PasswordParam != NotGiven;
    if (serverGiven)
        m_dm->SetServer(Params.ServerParam);
    if (userGiven)
        m_dm->SetUserName(Params.UserParam);
    if (passwordGiven)
        m_dm->SetPassword(Params.PasswordParam);
    m_dm->SetConnectPrompt(!(serverGiven && userGiven && passwordGiven));

    if (Params.HomeParam != NotGiven) {
        const QString &home = Params.HomeParam;
        if (home.size() == 1 && home.at(0) >= QLatin1Char('0') && home.at(0) <= QLatin1Char('6')) {
            m_dm->SetHomeIndex(home.at(0).digitValue());
        } else {
            showParamError(ParamNotCorrectText(QStringLiteral("Oracle Home"), home));
            m_dm->SetHomeIndex(0);
        }
    }
    if (serverGiven || userGiven)
        m_dm->SetStoreLogInfo(false);
    if (LangIdText.isEmpty())
        LangIdText = NotGiven;
}

void TKorConsoleProgram::loginAndRun()
{
    // Qt's own texts in the language the console's texts are chosen by.
    UseQtTranslation(ConsoleLangId());
    const QString iconFile = ExePath(QStringLiteral("Data/") + ReadActiveIcon());
    if (QFileInfo(iconFile).isFile())
        QApplication::setWindowIcon(QIcon(iconFile));
    const QString scheme = m_runScheme.isEmpty() ? GetActiveScheme() : m_runScheme;
    if (!m_dm->Login(scheme, LangIdText)) {
        ExitPath = QStringLiteral("login");
        return;
    }
    UseQtTranslation(ConsoleLangId());
    if (ReadViewLogo())
        ShowSplashStatus(
            LangText(QStringLiteral("rstr_act_ServiceListLoading"),
                     SelectText(QStringLiteral("Загрузка списка сервисов"), QStringLiteral("Service list loading")) +
                         QStringLiteral("..."),
                     tkWord));
    ExitPath = QStringLiteral("loop");
    RunMainWindow(scheme, Params.DisableReconnect);
    try {
        SaveLanguageId();
    } catch (const Exception &e) {
        ShowMessageBox(e.message().trimmed(), QString(), MB_ICONERROR);
    }
}

int TKorConsoleProgram::Run(const QStringList &arguments)
{
    m_exitSignalled = false;
    // Step 0: the units initialise; they finalise after the outer clean-up.
    InitializeUnits();
    SetConsoleLangId(0);
    // Step 1: the global mark, held until the very end.
    AddConsoleAtom();
    TExitSignals exitSignals([this](int) { endOnSignal(); });
    // A wait for the database shows the wait cursor, and a text once the main window is there.
    TDbWaitFeedback waitFeedback;
    // The outer clean-up runs on every way out, an escaping failure included.
    struct OuterCleanup {
        TKorConsoleProgram *program;
        ~OuterCleanup()
        {
            SetConsoleDataModule(nullptr);
            program->m_dm.reset();
            DeleteConsoleAtom();
            program->FinalizeUnits();
        }
    } cleanup{this};

    LangIdText = NotGiven;
    LangName.clear();
    Params.DisableReconnect = false;
    SetApplicationTitle(QStringLiteral("*****"));

    LangIdText = ResolveLanguage(NotGiven, QString::number(ReadLangId(kRussianLangId)), LangName);
    resolveLanguageSwitch(arguments);
    if (LangIdText != NotGiven)
        SetConsoleLangId(LangIdText.toInt());

    if (arguments.size() == 1 &&
        (arguments.first() == QLatin1String("/?") || arguments.first() == QLatin1String("/help"))) {
        ShowMessageBox(GetHelpText(), ParametersCaption(), MB_ICONINFORMATION);
        ExitPath = QStringLiteral("help");
        return 0;
    }
    // The console's local server, where the updater and other programs reach it, for the whole run.
    TConsoleInfoServer infoServer;
    if (infoServer.Listen())
        SetConsoleInfoServer(&infoServer);
    if (LaunchAutoUpdate(LangIdText.toInt()) && WaitAutoUpdateReply()) {
        ExitPath = QStringLiteral("updater");
        return 0;
    }
    if (arguments.size() == 1 && arguments.first() == QLatin1String("/home")) {
        ShowHomeDialog();
        ExitPath = QStringLiteral("home");
        return 0;
    }
    if (arguments.size() == 1 && (arguments.first().compare(QLatin1String("/shema"), Qt::CaseInsensitive) == 0 ||
                                  arguments.first().compare(QLatin1String("/scheme"), Qt::CaseInsensitive) == 0)) {
        ShowSchemeDialog();
        ExitPath = QStringLiteral("scheme");
        return 0;
    }

    InitGridSettings();
    m_dm = CreateDataModule();
    SetConsoleDataModule(m_dm.get());

    try {
        parameterPass(arguments);
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(), QString(), MB_ICONINFORMATION);
    }

    if (m_exitSignalled) {
        ExitPath = QStringLiteral("signal");
        return 0;
    }
    try {
        loginAndRun();
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(),
                       WordText(QStringLiteral("rstr_act_ConnectionDB"), QStringLiteral("Connection with DB")),
                       MB_ICONERROR);
        ExitPath = QStringLiteral("error");
    }
    return 0;
}
