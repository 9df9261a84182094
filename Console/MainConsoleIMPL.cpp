#include "Console/MainConsoleIMPL.h"

#include "Console/CallbackIMPL.h"
#include "Console/DMIMPL.h"
#include "Console/ShowMenuCfgIMPL.h"
#include "Console/uConfigConsole.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleInfo.h"
#include "Console/uConsoleLog.h"
#include "Console/uConsolePlugins.h"
#include "Console/uConsoleVersion.h"
#include "Console/uHomeTuning.h"
#include "Console/uMenu.h"
#include "Console/uModuleCache.h"
#include "Console/uModuleLibrary.h"
#include "Console/uQtTranslation.h"
#include "Console/uServiceItem.h"
#include "Console/uShemaForm.h"
#include "Console/uSplash.h"
#include "Console/uWaitFeedback.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/OracleHomes.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Files/uShowVer.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uServiceForm.h"
#include "Ui/HelpTopic.h"
#include "Ui/Mnemonics.h"
#include "Ui/ProtocolSettle.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QLibrary>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

TPendingLang TfmMain::PendingAplLang;
TPendingLang TfmMain::PendingRepLang;
std::function<void(const QString &, const QString &, const QStringList &)> TfmMain::ShowVersionsHook = ShowVersions;
std::function<QStringList(const QString &)> TfmMain::ProgramFilesHook = ProgramFilesOfFolder;

namespace {

TfmMain *g_mainWindow = nullptr;

// The eleven design images of the tool bar, by position: the last one is what a
// service without an icon of its own shows.
const QStyle::StandardPixmap kDesignImages[11] = {QStyle::SP_FileDialogDetailedView,
                                                  QStyle::SP_DialogResetButton,
                                                  QStyle::SP_FileDialogContentsView,
                                                  QStyle::SP_ArrowDown,
                                                  QStyle::SP_FileIcon,
                                                  QStyle::SP_FileDialogListView,
                                                  QStyle::SP_BrowserReload,
                                                  QStyle::SP_DialogCloseButton,
                                                  QStyle::SP_MessageBoxInformation,
                                                  QStyle::SP_FileDialogInfoView,
                                                  QStyle::SP_ComputerIcon};
// The resource library's bitmaps for the eleven positions; find, sort, report
// and filter (1 to 4) are the pictures of the data forms' grid actions too.
const int kSmallButtonIds[11] = {60, 350, 1, 2, 3, 4, 351, 13, 14, 15, 61};
const int kLargeButtonIds[11] = {62, 352, 16, 17, 18, 19, 353, 20, 21, 22, 63};
enum ImagePos { imConfig, imChgUser, imFind, imSort, imReport, imFilter, imRefresh, imExit, imAbout, imSrvInfo };
constexpr int kDesignImageCount = 11;

constexpr int kSysHideMinimized = 1025;
constexpr int kSysFormTop = 1026;

QString withoutAmpersands(QString text) { return text.remove(QLatin1Char('&')); }

// A visible menu bar lays itself out again for every menu added or removed:
// while many change it is hidden, and shown once at the end.
class TMenuBarBatch {
public:
    explicit TMenuBarBatch(QMenuBar *bar) : m_bar(bar), m_wasVisible(bar->isVisible())
    {
        if (m_wasVisible)
            m_bar->hide();
    }
    ~TMenuBarBatch()
    {
        if (m_wasVisible)
            m_bar->show();
    }
    TMenuBarBatch(const TMenuBarBatch &) = delete;
    TMenuBarBatch &operator=(const TMenuBarBatch &) = delete;

private:
    QMenuBar *m_bar;
    bool m_wasVisible;
};

// The Oracle Home as the home window names it.
QString oracleHomeName(int home) { return OracleHomeEntry(DetectOracleHomes(), home > 6 ? 0 : home); }

} // namespace

TfmMain *MainWindow() { return g_mainWindow; }

TfmMain::TfmMain(QWidget *parent) : QMainWindow(parent)
{
    // F1 is the short cut of the help menu's guide (acHelp), which opens this window's topic.
    setProperty("helpKeyword", QStringLiteral("MainForm"));
    g_mainWindow = this;
    setObjectName(QStringLiteral("fmMain"));
    // The bar places itself across the top of the work area (placeWindow).
    setProperty("placesItself", true);
    loadStatusLabels();
    SmallButtons = ReadMiniTB();
    setUpImages();
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createTray();
    applyActionIcons();

    MenuCfg = std::make_unique<TMenuCfg>();
    Manager = std::make_unique<TServiceManager>();
    Callback = std::make_unique<TCallback>();
    Manager->TitleHook = [this](const QString &title) {
        SetTitle(title);
        QTimer::singleShot(0, this, &TfmMain::followActiveWindow);
    };
    // At once: a key pressed right after another window became active finds its owner.
    connect(qApp, &QApplication::focusChanged, this, &TfmMain::followActiveWindow);
    // The service windows are placed at their first showing and remembered when they go.
    qApp->installEventFilter(this);
    AppTitle = GetConsoleCaption();
    setWindowTitle(AppTitle);
    if (tiTray)
        tiTray->setToolTip(windowTitle());
    applySystemMenuItems();
    refreshMnemonics();
    // Other programs asking the console get its own version information, read once,
    // and this window's scheme and connection.
    if (TConsoleInfoServer *server = ConsoleInfoServer()) {
        const TConsoleVersionInfo version = ConsoleVersionInfo();
        server->VersionInfo = [version] { return version; };
        server->SessionInfo = [this] {
            TConsoleSessionInfo info;
            info.SchemeName = SchemeName;
            if (TDM *dm = DM()) {
                info.Server = dm->CommonSession->Server();
                info.UserName = dm->CommonSession->Username();
                info.Home = dm->CommonSession->Home();
            }
            return info;
        };
    }
    for (int digit = 0; digit <= 9; ++digit) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + digit)), this);
        connect(shortcut, &QShortcut::activated, this, [this, digit] { ClickNumberedButton(digit); });
    }
}

TfmMain::~TfmMain()
{
    // Focus moves while the windows go: this window must not hear of it then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    qApp->removeEventFilter(this);
    ClearConfiguration();
    MenuCfg.reset();
    Manager.reset();
    Callback.reset();
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

void TfmMain::createActions()
{
    // Each action keeps its English caption: the language pack translates by it.
    auto action = [this](const char *name, const QString &russian, const char *english, QKeySequence shortcut = {}) {
        const QString en = QString::fromUtf8(english);
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        setBilingualText(a, russian, en);
        if (!shortcut.isEmpty())
            a->setShortcut(shortcut);
        return a;
    };
    auto ru = [](const char *text) { return QString::fromUtf8(text); };
    acConfig = action("acConfig", ru("Настройки"), "Settings");
    acShowCnfg = action("acShowCnfg", ru("Настройка меню"), "Menu set-up");
    acHomeTuning = action("acHomeTuning", ru("Настройка \"Oracle Home\""), "\"Oracle Home\" setting");
    acShemaCfg = action("acShemaCfg", ru("Настройка схем"), "Schemes set-up");
    acRefreshCfg = action("acRefreshCfg", ru("Обновить меню"), "Reload menu");
    acChgUser = action("acChgUser", ru("Изменение соединения"), "Change connection");
    acExit = action("acExit", ru("Выход"), "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    acFind = action("acFind", ru("Поиск"), "Find", QKeySequence(Qt::CTRL | Qt::Key_F));
    acSort = action("acSort", ru("Сортировка"), "Sort", QKeySequence(Qt::CTRL | Qt::Key_S));
    acReport = action("acReport", ru("Отчет"), "Report", QKeySequence(Qt::CTRL | Qt::Key_R));
    acFilter = action("acFilter", ru("Фильтрация"), "Filter", QKeySequence(Qt::CTRL | Qt::Key_A));
    acAbout = action("acAbout", ru("О программе"), "About", QKeySequence(Qt::CTRL | Qt::Key_I));
    acHelp = action("acHelp", ru("Руководство пользователя"), "User's guide", QKeySequence::HelpContents);
    acSrvInfo =
        action("acSrvInfo", ru("Список сервисов текущей конфигурации"), "Services of the current configuration");
    acPingDll = action("acPingDll", ru("Список всех библиотек"), "List of all libraries");
    acRestore = action("acRestore", ru("Восстановить"), "Restore");
    acHide = action("acHide", ru("Скрыть"), "Hide");
    acShow = action("acShow", ru("Показать"), "Show");
    acCascade = action("acCascade", ru("Каскадом"), "Cascade");
    // Find, sort, report and filter reach the active service from every window,
    // unless that window answers the key itself (followActiveWindow).
    for (QAction *a : {acFind, acSort, acReport, acFilter, acAbout, acExit})
        a->setShortcutContext(Qt::ApplicationShortcut);

    connect(acConfig, &QAction::triggered, this, [this] { guarded([this] { ShowSettings(); }); });
    connect(acShowCnfg, &QAction::triggered, this, [this] { guarded([this] { ShowMenuConfig(); }); });
    connect(acHomeTuning, &QAction::triggered, this, [this] { guarded([] { ShowHomeDialog(); }); });
    connect(acShemaCfg, &QAction::triggered, this, [this] { guarded([this] { ChangeScheme(); }); });
    connect(acRefreshCfg, &QAction::triggered, this, [this] { guarded([this] { RefreshConfiguration(); }); });
    connect(acChgUser, &QAction::triggered, this, [this] { guarded([this] { ChangeConnection(); }); });
    connect(acExit, &QAction::triggered, this, &QWidget::close);
    connect(acFind, &QAction::triggered, this, [this] { guarded([this] { Manager->Find(); }); });
    connect(acSort, &QAction::triggered, this, [this] { guarded([this] { Manager->Sort(); }); });
    connect(acReport, &QAction::triggered, this, [this] { guarded([this] { ReportActiveService(); }); });
    connect(acFilter, &QAction::triggered, this, [this] { guarded([this] { Manager->Filter(); }); });
    connect(acAbout, &QAction::triggered, this, [this] { guarded([this] { ShowAbout(); }); });
    connect(acHelp, &QAction::triggered, this,
            [this] { guarded([] { ShowHelpTopic(ConsoleHelpFile(), QStringLiteral("MainForm")); }); });
    connect(acCascade, &QAction::triggered, this, [this] { guarded([this] { CascadeServiceWindows(); }); });
    connect(acHide, &QAction::triggered, this, [this] { guarded([this] { ShowServiceWindows(false); }); });
    connect(acShow, &QAction::triggered, this, [this] { guarded([this] { ShowServiceWindows(true); }); });
    connect(acSrvInfo, &QAction::triggered, this, [this] { guarded([this] { ShowServiceVersions(); }); });
    connect(acPingDll, &QAction::triggered, this, [this] { guarded([this] { ShowAllLibraries(); }); });
    connect(acRestore, &QAction::triggered, this, &TfmMain::RestoreFromTray);

    miSysHideMinimized = new QAction(ConsoleText(ctHideMinimized), this);
    miSysHideMinimized->setCheckable(true);
    miSysHideMinimized->setData(kSysHideMinimized);
    miSysFormTop = new QAction(ConsoleText(ctToTopEdge), this);
    miSysFormTop->setCheckable(true);
    miSysFormTop->setData(kSysFormTop);
    connect(miSysHideMinimized, &QAction::triggered, this, [this] { guarded([this] { ToggleHideMinimized(); }); });
    connect(miSysFormTop, &QAction::triggered, this, [this] { guarded([this] { ToggleFormTop(); }); });
}

void TfmMain::createMenus()
{
    QMenuBar *bar = menuBar();
    auto menu = [this](QWidget *parent, const char *russian, const char *english) {
        auto *m = new QMenu(parent);
        setBilingualText(m->menuAction(), QString::fromUtf8(russian), QString::fromUtf8(english));
        return m;
    };
    miFile = menu(bar, "&Файл", "&File");
    bar->addMenu(miFile);
    miFile->addAction(acConfig);
    miFile->addAction(acShowCnfg);
    miFile->addAction(acHomeTuning);
    miFile->addAction(acShemaCfg);
    miLang = menu(miFile, "Язык", "Language");
    miFile->addMenu(miLang);
    miAplLang = menu(miLang, "Приложение", "Application");
    miLang->addMenu(miAplLang);
    miRepLang = menu(miLang, "Отчеты", "Reports");
    miLang->addMenu(miRepLang);
    miAplLang->menuAction()->setVisible(false);
    miRepLang->menuAction()->setVisible(false);
    miPlugins = menu(miFile, "Расширения", "Extensions");
    miFile->addMenu(miPlugins);
    miPlugins->menuAction()->setVisible(false);
    miFile->addSeparator();
    miFile->addAction(acRefreshCfg);
    miFile->addAction(acChgUser);
    miFile->addSeparator();
    miFile->addAction(acExit);

    // The open service windows, to switch to one, and their arrangement.
    miWindow = menu(bar, "&Окна", "&Windows");
    bar->addMenu(miWindow);
    m_windowSeparator = miWindow->addSeparator();
    miWindow->addAction(acCascade);
    miWindow->addAction(acHide);
    miWindow->addAction(acShow);
    connect(miWindow, &QMenu::aboutToShow, this, &TfmMain::updateWindowMenu);
    miSession = menu(bar, "Сессия", "Session");
    bar->addMenu(miSession);
    miCursors = miSession->addAction(QString());
    setBilingualText(miCursors, QStringLiteral("Наборы данных"), QStringLiteral("Data sets"));
    connect(miCursors, &QAction::triggered, this, [this] { guarded([this] { ShowSessionDataSets(); }); });
    miSession->menuAction()->setVisible(false);
    miHelp = menu(bar, "&Справка", "&Help");
    bar->addMenu(miHelp);
    miHelp->addAction(acHelp);
    miHelp->addSeparator();
    miHelp->addAction(acAbout);
    miHelp->addSeparator();
    miHelp->addAction(acSrvInfo);
    miHelp->addAction(acPingDll);
}

void TfmMain::createToolBar()
{
    tbMain = addToolBar(QStringLiteral("tbMain"));
    tbMain->setObjectName(QStringLiteral("tbMain"));
    tbMain->setMovable(false);
    tbMain->setFloatable(false);
    tbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QSize size = ToolBarImages().Size();
    tbMain->setIconSize(size);
    if (!SmallButtons)
        tbMain->setMinimumHeight(40);
    auto button = [this](QAction *action) {
        auto *b = new QToolButton(tbMain);
        b->setDefaultAction(action);
        b->setAutoRaise(true);
        b->setIconSize(tbMain->iconSize());
        return tbMain->addWidget(b);
    };
    tbMain->addSeparator();
    tbtnConfig = button(acConfig);
    tbtnChgUser = button(acChgUser);
    tbMain->addSeparator();
    tbtnRefreshCfg = button(acRefreshCfg);
    tbMain->addSeparator();
    tbtnFindBtn = button(acFind);
    tbtnSortBtn = button(acSort);
    tbtnRepBtn = button(acReport);
    tbtnFilterBtn = button(acFilter);
    tbMain->addSeparator();
    tbtnExit = button(acExit);
}

void TfmMain::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setSizeGripEnabled(false);
    const int widths[6] = {250, 150, 180, 50, 80, 70};
    for (int i = 0; i < 6; ++i) {
        sbPanels[i] = new QLabel(bar);
        sbPanels[i]->setFrameShape(QFrame::Panel);
        sbPanels[i]->setFrameShadow(QFrame::Sunken);
        sbPanels[i]->setMinimumWidth(0);
        if (i > 0)
            sbPanels[i]->setFixedWidth(widths[i]);
        bar->addPermanentWidget(sbPanels[i], i == 0 ? 1 : 0);
    } // A long wait for the database is told in the first panel.
    if (TDbWaitFeedback *feedback = DbWaitFeedback())
        feedback->StatusPanel = sbPanels[0];
}

void TfmMain::createTray()
{
    pmPopup = new QMenu(this);
    miRestore = pmPopup->addAction(QString());
    setBilingualText(miRestore, acRestore->property("russian").toString(), acRestore->property("english").toString());
    connect(miRestore, &QAction::triggered, this, &TfmMain::RestoreFromTray);
    pmPopup->addSeparator();
    miExitPopup = pmPopup->addAction(QString());
    setBilingualText(miExitPopup, acExit->property("russian").toString(), acExit->property("english").toString());
    connect(miExitPopup, &QAction::triggered, this, &QWidget::close);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tiTray = new QSystemTrayIcon(this);
    tiTray->setContextMenu(pmPopup);
    tiTray->setIcon(QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                                        : QApplication::windowIcon());
    connect(tiTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            RestoreFromTray();
    });
}

void TfmMain::setUpImages()
{
    ilSmall = TImageList(QSize(16, 16));
    ilLarge = TImageList(SmallButtons ? QSize(16, 16) : QSize(32, 32));
    ilLargeNoRes = TImageList(QSize(32, 32));
    imglstSubMenu = TImageList(QSize(16, 16));
    for (QStyle::StandardPixmap pixmap : kDesignImages) {
        const QIcon icon = style()->standardIcon(pixmap);
        ilSmall.Add(icon);
        ilLarge.Add(icon);
        ilLargeNoRes.Add(icon);
    }
    if (!ResourceLibraryLoaded())
        return;
    // The resource library's bitmaps replace the design images position by position.
    for (int i = 0; i < kDesignImageCount; ++i) {
        const QPixmap large = ResourceBitmap(SmallButtons ? kSmallButtonIds[i] : kLargeButtonIds[i]);
        if (!large.isNull())
            ilLarge.Replace(i, QIcon(large));
        const QPixmap small = ResourceBitmap(kSmallButtonIds[i]);
        if (!small.isNull()) {
            const int side = qMin(small.width(), small.height());
            ilSmall.Replace(i, QIcon(small.copy(0, 0, side, side)));
        }
    }
}

const TImageList &TfmMain::ToolBarImages() const
{
    if (ResourceLibraryLoaded())
        return ilLarge;
    return SmallButtons ? ilSmall : ilLargeNoRes;
}

TImageList &TfmMain::ToolBarImages()
{
    return const_cast<TImageList &>(static_cast<const TfmMain *>(this)->ToolBarImages());
}

void TfmMain::applyActionIcons()
{
    const TImageList &images = ToolBarImages();
    const std::pair<QAction *, int> icons[] = {{acConfig, imConfig},  {acChgUser, imChgUser}, {acRefreshCfg, imRefresh},
                                               {acFind, imFind},      {acSort, imSort},       {acReport, imReport},
                                               {acFilter, imFilter},  {acExit, imExit},       {acAbout, imAbout},
                                               {acSrvInfo, imSrvInfo}};
    for (const auto &[action, position] : icons)
        action->setIcon(images.Icon(position));
}

void TfmMain::guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(), QString(), MB_ICONERROR);
    }
}

void TfmMain::translateCaptions()
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages)
        return;
    // The pack knows a caption by its English text or by its Russian one; a text it does not know stays.
    auto translated = [&](const QString &key, QString &text) {
        const QString found = languages->GET_RESOURCE_APL_TXT(key);
        if (found.isEmpty() || found == key)
            return false;
        text = found;
        return true;
    };
    for (QAction *action : findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!action->objectName().startsWith(QLatin1String("ac")))
            continue;
        QString text;
        if (translated(action->property("english").toString(), text) ||
            translated(action->property("russian").toString(), text))
            action->setText(text);
    }
    QString text;
    if (translated(QStringLiteral("R_APPLICATION"), text))
        miAplLang->setTitle(text);
    refreshMnemonics();
}

void TfmMain::setBilingualText(QAction *action, const QString &russian, const QString &english)
{
    action->setProperty("russian", russian);
    action->setProperty("english", english);
    action->setText(SelectText(russian, english));
    if (action->objectName().startsWith(QLatin1String("ac")))
        action->setStatusTip(withoutAmpersands(action->text()));
}

void TfmMain::loadStatusLabels()
{
    StatusLabels[0] = TranslateAplText(QStringLiteral("rstrServer"));
    StatusLabels[1] = QStringLiteral("Oracle Home");
    StatusLabels[2] = TranslateAplText(QStringLiteral("rstrShemeDB"));
    StatusLabels[3] = TranslateAplText(QStringLiteral("rstrUser"));
    StatusLabels[4] = TranslateAplText(QStringLiteral("rstrAccess"));
}

void TfmMain::retranslate()
{
    // The console's own texts in the session's language, then the pack's translations over them.
    for (QAction *action : findChildren<QAction *>()) {
        const QVariant russian = action->property("russian");
        if (russian.isValid())
            setBilingualText(action, russian.toString(), action->property("english").toString());
    }
    miSysHideMinimized->setText(ConsoleText(ctHideMinimized));
    miSysFormTop->setText(ConsoleText(ctToTopEdge));
    loadStatusLabels();
    AppTitle = GetConsoleCaption();
    SetTitle(QString());
    translateCaptions();
}

void TfmMain::refreshMnemonics()
{
    AssignMnemonics(menuBar()->actions());
    AssignMnemonics(pmPopup->actions());
}

void TfmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    translateCaptions();
    BuildLanguageMenu();
    FreeSplash();
}

void TfmMain::InitConfiguration()
{
    try {
        TDM *dm = DM();
        if (!dm)
            throw Exception(QStringLiteral("TDM - DataModule is not created"));
        IsAdmin = dm->IsSysDba;
        BuildConfiguration();
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(), TranslateAplText(QStringLiteral("rstrNotification")),
                       MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
        m_closing = true;
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        throw EAbort(QStringLiteral("Operation aborted"));
    }
}

void TfmMain::BuildConfiguration()
{
    TDM *dm = DM();
    acChgUser->setVisible(!ReconnectDisabled);
    tbtnChgUser->setVisible(!ReconnectDisabled);
    acShowCnfg->setVisible(IsAdmin);
    acShemaCfg->setVisible(IsAdmin);
    acHomeTuning->setVisible(IsAdmin);
    BuildPluginMenu();

    dm->OpenAccess(dm->AccessListId);
    MenuCfg->Load(dm->V_MENUCFG, dm->SrvCatalogue);
    MenuCfg->RegisterAll(*Manager);
    TModuleIcons moduleIcons;
    TImageList &toolImages = ToolBarImages();
    BuildIcons(*Manager, toolImages, &moduleIcons);
    if (&toolImages != &ilSmall)
        BuildIcons(*Manager, ilSmall, &moduleIcons);
    BuildToolButtons(*Manager, tbMain, &toolImages, ReadCreateSeps());
    NumberServiceButtons();
    {
        const TMenuBarBatch batch(menuBar());
        MenuCfg->BuildMainMenu(menuBar(), &ilSmall);
        refreshMnemonics();
    }

    Manager->SetSession(dm->CommonSession);
    Manager->SetScheme(SchemeName);
    Manager->SetCallback(Callback.get());

    SetStatusPanel(5, TranslateAppText(dm->AccessListName));
    tbtnSortBtn->setVisible(true);
    tbtnFindBtn->setVisible(true);
    SetStatusPanel(1, dm->ServerName());
    SetStatusPanel(2, oracleHomeName(ReadHome()));
    SetStatusPanel(4, dm->CurrentUserName);
    SetStatusPanel(3, SchemeName);
    // The tray names the console, the user and the scheme.
    if (tiTray)
        tiTray->setToolTip(QStringLiteral("KorConsole: %1\n%2: %3\n%4: %5")
                               .arg(AppTitle, StatusLabels[3], dm->CurrentUserName, StatusLabels[2], SchemeName));
    placeWindow();
    if (OnConfigurationBuilt)
        OnConfigurationBuilt();
}

void TfmMain::NumberServiceButtons()
{
    int number = 0;
    for (QAction *action : tbMain->actions()) {
        if (number >= 10)
            break;
        if (action->isSeparator() || ObjectTag(action) != kConfigTag)
            continue;
        action->setToolTip(action->toolTip() + QStringLiteral(" (Alt+%1)").arg(number));
        action->setStatusTip(action->toolTip());
        ++number;
    }
}

bool TfmMain::ClickNumberedButton(int digit)
{
    const QList<QAction *> buttons = tbMain->actions();
    if (buttons.size() <= digit)
        return false;
    for (QAction *action : buttons) {
        if (action->isSeparator() || ObjectTag(action) != kConfigTag)
            continue;
        const QString hint = action->toolTip();
        if (hint.size() >= 2 && hint.at(hint.size() - 2) == QLatin1Char('0' + digit)) {
            action->trigger();
            return true;
        }
    }
    return false;
}

void TfmMain::placeWindow()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // The work area: the screen less the desktop's panels.
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    setMaximumHeight(QWIDGETSIZE_MAX);
    const int height = menuBar()->sizeHint().height() + tbMain->sizeHint().height() + statusBar()->sizeHint().height();
    // The frame, title bar included, goes to the monitor's corner and spans its width;
    // move() places the frame, resize() the inner area.
    const QMargins frame = frameMarginsNow();
    m_placedFrame = frame;
    m_placed = true;
    resize(available.width() - frame.left() - frame.right(), height);
    move(available.topLeft());
    setMaximumHeight(height);
}

QMargins TfmMain::frameMarginsNow() const
{
    const QRect outer = frameGeometry(), inner = geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

void TfmMain::replaceWhenFrameChanged()
{
    // The window manager frames the window after it is shown: place it again once, with the frame.
    if (m_placed && isVisible() && !isMinimized() && frameMarginsNow() != m_placedFrame)
        QTimer::singleShot(0, this, &TfmMain::placeWindow);
}

void TfmMain::ClearConfiguration()
{
    setMaximumHeight(QWIDGETSIZE_MAX);
    {
        const TMenuBarBatch batch(menuBar());
        QList<QMenu *> menus;
        for (QAction *action : menuBar()->actions()) {
            if (ObjectTag(action) != kConfigTag)
                continue;
            if (action->menu())
                menus << action->menu();
            else
                menuBar()->removeAction(action);
        }
        qDeleteAll(menus);
    }
    UnloadPlugins();
    for (QAction *action : miPlugins->actions())
        delete action;
    miPlugins->menuAction()->setVisible(false);
    for (QAction *action : tbMain->actions())
        if (ObjectTag(action) == kConfigTag) {
            tbMain->removeAction(action);
            delete action;
        }
    if (Manager)
        Manager->SetActiveItem(nullptr);
    if (MenuCfg)
        MenuCfg->Clear();
    if (Manager)
        Manager->Clear();
    ilSmall.Truncate(kDesignImageCount);
    ilLarge.Truncate(kDesignImageCount);
    ilLargeNoRes.Truncate(kDesignImageCount);
}

void TfmMain::RebuildConfiguration()
{
    ClearConfiguration();
    BuildConfiguration();
}

void TfmMain::BuildPluginMenu()
{
    LoadPlugins(ExePath(QStringLiteral("Plugins")));
    TPlgList *plugins = PlgList();
    if (!plugins || plugins->empty())
        return;
    miPlugins->menuAction()->setVisible(true);
    TDM *dm = DM();
    for (size_t i = 0; i < plugins->size(); ++i) {
        TPlgItem *plugin = (*plugins)[i].get();
        if (!plugin->Valid)
            continue;
        plugin->Start(SchemeName, dm ? dm->CommonSession : nullptr);
        if (!plugin->Info.HasMenu)
            continue;
        const int tag = -2000000001 - int(i);
        QAction *item = miPlugins->addAction(TranslateAppText(plugin->MenuCaption));
        SetObjectTag(item, tag);
        item->setVisible(!plugin->Info.AdminOnly || IsAdmin);
        connect(item, &QAction::triggered, this, [this, item] {
            guarded([item] {
                TPlgList *list = PlgList();
                const int index = -2000000001 - ObjectTag(item);
                if (list && index >= 0 && index < int(list->size()))
                    (*list)[size_t(index)]->Config();
            });
        });
    }
}

void TfmMain::BuildLanguageMenu()
{
    TLanguagesDM *languages = GetComLanguages();
    bool visible = false;
    if (languages)
        visible = languages->GET_USER_APL_LANG_ID() > 0 || languages->GET_USER_REP_LANG_ID() >= 1;
    miLang->menuAction()->setVisible(visible);
    miAplLang->clear();
    miRepLang->clear();
    for (QAction *action : miLang->actions())
        if (action->property("langTag").isValid())
            delete action;
    PendingAplLang = {};
    PendingRepLang = {};
    m_checkedLanguage = nullptr;
    if (!visible)
        return;
    TDM *dm = DM();
    TOraQuery query;
    query.SetSession(dm ? dm->CommonSession : nullptr);
    if (!dm || !dm->GetCursor(QStringLiteral("SELECT L.LANG_ID, L.LANG_SUB_ID, L.LANG_NAME, L.APL_LANG_CHECKED, "
                                             "L.REP_LANG_CHECKED FROM  &Shema.V_LANGUAGES L"),
                              &query))
        return;
    auto *group = new QActionGroup(miLang);
    for (query.First(); !query.Eof(); query.Next()) {
        const int tag = query.FieldByName(QStringLiteral("LANG_ID"))->AsInteger() * 256 +
                        query.FieldByName(QStringLiteral("LANG_SUB_ID"))->AsInteger();
        // The language in use carries the check mark; a choice moves it (and takes effect at the next log-in).
        QAction *item = miLang->addAction(TranslateAppText(query.FieldByName(QStringLiteral("LANG_NAME"))->AsString()));
        item->setProperty("langTag", tag);
        item->setCheckable(true);
        group->addAction(item);
        if (query.FieldByName(QStringLiteral("APL_LANG_CHECKED"))->AsInteger() == 1) {
            item->setChecked(true);
            m_checkedLanguage = item;
        }
        connect(item, &QAction::triggered, this, [this, item] { guarded([this, item] { LanguageClicked(item); }); });
    }
    refreshMnemonics();
}

QList<QAction *> TfmMain::LanguageItems() const
{
    QList<QAction *> items;
    for (QAction *action : miLang->actions())
        if (action->property("langTag").isValid())
            items << action;
    return items;
}

void TfmMain::LanguageClicked(QAction *item)
{
    const int tag = item->property("langTag").toInt();
    const int id = tag / 256;
    const int subId = tag % 256;
    if (id == 0)
        return;
    const bool changes =
        !(PendingAplLang.IsSet() ? PendingAplLang.Id * 256 + PendingAplLang.SubId == tag : item == m_checkedLanguage);
    item->setChecked(true);
    PendingAplLang = {id, subId};
    PendingRepLang = {id, subId};
    if (!changes || item == m_checkedLanguage)
        return;
    // The console says when the choice takes effect: at the next log-in, by a change of connection or a start.
    const QString name = withoutAmpersands(item->text());
    ShowMessageBox(Fmt(CaseMessageTxt(QStringLiteral("Язык \"%s\" будет включен при следующем входе: "
                                                     "Файл / Изменение соединения или новый запуск консоли."),
                                      QStringLiteral("The language \"%s\" takes effect at the next log-in: "
                                                     "File / Change connection, or the next start of the console.")),
                       name),
                   Fmt(TranslateAplText(QStringLiteral("rstr_fmt_Param")), withoutAmpersands(miLang->title())),
                   MB_ICONINFORMATION);
}

void TfmMain::applyPendingLanguage()
{
    TLanguagesDM *languages = GetComLanguages();
    if (!languages || !PendingAplLang.IsSet())
        return;
    try {
        languages->SET_USER_APL_LANG(PendingAplLang.Id, PendingAplLang.SubId);
        if (PendingRepLang.IsSet())
            languages->SET_USER_REP_LANG(PendingRepLang.Id, PendingRepLang.SubId);
    } catch (const std::exception &e) {
        ShowMessageBox(ExceptionMessage(e).trimmed(), QString(), MB_ICONERROR);
        return;
    }
    const int id = PendingAplLang.Id;
    PendingAplLang = {};
    PendingRepLang = {};
    // The next log-in, and the next start, speak it: Console.ini, the language file, Qt's texts.
    SaveLanguageId();
    QString name;
    ResolveLanguage(QString::number(ConsoleLangId()), QString::number(id), name);
    SetConsoleLangId(id);
    UseQtTranslation(id);
}

namespace {

// Whether a window has an enabled action of its own for the key.
bool answersKey(const QWidget *window, const QKeySequence &key)
{
    const QList<QAction *> actions = window->findChildren<QAction *>();
    return std::any_of(actions.begin(), actions.end(), [&key](const QAction *action) {
        return action->isEnabled() && action->shortcutContext() != Qt::WidgetShortcut &&
               action->shortcuts().contains(key);
    });
}

} // namespace

// One owner per key: while a service window that answers find, sort, report or
// filter itself is active, the main window's actions leave those keys to it (a
// key with two owners fires neither); the tool bar buttons work all the same.
void TfmMain::followActiveWindow()
{
    updateWindowMenu();
    const QWidget *active = QApplication::activeWindow();
    const bool serviceActive = active && active != this && qobject_cast<const TServiceForm *>(active);
    for (QAction *action : {acFind, acSort, acReport, acFilter})
        action->setShortcutContext(serviceActive && answersKey(active, action->shortcut()) ? Qt::WidgetShortcut
                                                                                           : Qt::ApplicationShortcut);
}

// A service window whose own report action is off refuses the report to this user.
bool TfmMain::activeServiceRefusesReport() const
{
    const TServiceItem *item = Manager ? Manager->ActiveItem() : nullptr;
    const QWidget *window = item ? item->Window() : nullptr;
    const QAction *report = window ? window->findChild<QAction *>(QStringLiteral("pReport")) : nullptr;
    return report && !report->isEnabled();
}

// The report button and Ctrl+R say why nothing is printed for a user without the right.
void TfmMain::ReportActiveService()
{
    if (!activeServiceRefusesReport())
        return Manager->Report();
    ShowMessageBox(CaseMessageTxt(QStringLiteral("Отчеты этого окна вам не разрешены: у вашей группы доступа "
                                                 "нет права на них."),
                                  QStringLiteral("The reports of this window are not allowed to you: your access "
                                                 "group has no right to them.")),
                   TranslateAplText(QStringLiteral("rstrNotification")), MB_ICONINFORMATION);
}

void TfmMain::SetTitle(const QString &text)
{
    setWindowTitle(text.isEmpty() ? AppTitle : AppTitle + QStringLiteral(" - ") + text);
}

void TfmMain::SetStatusPanel(int panel, const QString &value)
{
    if (panel < 1 || panel > 5)
        return;
    QLabel *label = sbPanels[panel];
    label->setText(StatusLabels[panel - 1] + Fmt(QStringLiteral(": '%s'"), value));
    const QFontMetrics metrics(statusBar()->font());
    label->setFixedWidth(metrics.horizontalAdvance(label->text()) + metrics.horizontalAdvance(QLatin1Char('W')));
    updateStatusWidths();
}

void TfmMain::updateStatusWidths()
{
    int others = 0;
    for (int i = 1; i < 6; ++i)
        others += sbPanels[i]->width();
    sbPanels[0]->setFixedWidth(qMax(0, statusBar()->width() - others));
}

void TfmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    updateStatusWidths();
    replaceWhenFrameChanged();
}

bool TfmMain::event(QEvent *event)
{
    // The hint of whatever is under the mouse goes into the first status panel.
    if (event->type() == QEvent::StatusTip) {
        sbPanels[0]->setText(QLatin1Char(' ') + static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TfmMain::ShowMenuConfig()
{
    TDM *dm = DM();
    const double configId = dm->HasAccessList ? dm->AccessListId : -1;
    if (!ShowMenuCfg(SchemeName, configId) || configId == -1)
        return;
    const QString question = ConsoleText(ctMenuConfigChanged) + QStringLiteral("\r\n") +
                             TranslateAplText(QStringLiteral("rstr_cnf_Refresh"));
    // The buttons say what they do: reload the menu now, or leave it for later.
    if (ShowDialogMessage(question, TranslateAplText(QStringLiteral("rstrConfirmation")), MB_YESNO | MB_ICONQUESTION,
                          {withoutAmpersands(acRefreshCfg->text()),
                           CaseMessageTxt(QStringLiteral("Позже"), QStringLiteral("Later"))}) == IDYES)
        acRefreshCfg->trigger();
}

void TfmMain::RefreshConfiguration()
{
    SetTitle(QString());
    // An administrator's reload has the faulty module files read again, in the
    // module reader where a retry is safe. A file that ended a console while
    // it was opened stays out until it changes: the reload loads no module.
    if (IsAdmin)
        ModuleCache().ForgetFailures();
    TDM *dm = DM();
    dm->CommonSession->Commit();
    dm->RefreshMenu();
    RebuildConfiguration();
}

void TfmMain::ChangeConnection()
{
    SetTitle(QString());
    // A language chosen in this session is the one the new log-in works in.
    applyPendingLanguage();
    TDM *dm = DM();
    if (!dm->Login(SchemeName, QStringLiteral("-1"))) {
        // A scheme that cannot be logged in to must not stay active for the next start.
        if (SchemeName != PreviousScheme)
            SetActiveScheme(PreviousScheme);
        if (dm->RetriesLeft == 0) {
            m_closing = true;
            QCoreApplication::exit(0);
            return;
        }
        SchemeName = PreviousScheme;
        dm->CommonSession->SetConnectPrompt(false);
        dm->Login(SchemeName, QStringLiteral("-1"));
        dm->CommonSession->SetConnectPrompt(true);
    }
    UseQtTranslation(ConsoleLangId());
    retranslate();
    // The new session may offer other languages (and names them in its own).
    BuildLanguageMenu();
    ClearConfiguration();
    InitConfiguration();
}

void TfmMain::ChangeScheme()
{
    PreviousScheme = SchemeName;
    const QString chosen = ShowSchemeDialog();
    if (chosen != SchemeName) {
        SchemeName = chosen;
        ChangeConnection();
        PreviousScheme = SchemeName;
    }
}

void TfmMain::ShowSettings()
{
    const auto settings = TComBaseForm::Create<TfmConfigConsole>(this);
    settings->setWindowIcon(acConfig->icon());
    // The languages of the language menu, the chosen one current.
    QList<QPair<int, QString>> languages;
    int chosen = -1;
    for (QAction *item : LanguageItems()) {
        languages.append({item->property("langTag").toInt(), withoutAmpersands(item->text())});
        if (item->isChecked())
            chosen = item->property("langTag").toInt();
    }
    settings->SetLanguages(languages, chosen);
    if (ExecModalDialog(settings.get()) != QDialog::Accepted)
        return;
    applySystemMenuItems();
    for (QAction *item : LanguageItems())
        if (item->property("langTag").toInt() == settings->ChosenLanguage() && !item->isChecked())
            LanguageClicked(item);
}

void TfmMain::updateWindowMenu()
{
    for (QAction *action : miWindow->actions())
        if (action->property("serviceWindow").isValid())
            delete action;
    int number = 0;
    const TServiceItem *active = Manager ? Manager->ActiveItem() : nullptr;
    for (TServiceItem *service : Manager ? Manager->List() : QList<TServiceItem *>()) {
        TServiceForm *window = service ? service->Window() : nullptr;
        if (!window || !window->isVisible())
            continue;
        ++number;
        QString caption = window->windowTitle();
        caption.replace(QLatin1String("&"), QLatin1String("&&"));
        // The first nine are numbered, and chosen by their numbers.
        auto *item = new QAction(number <= 9 ? QStringLiteral("&%1 %2").arg(number).arg(caption) : caption, miWindow);
        item->setProperty("serviceWindow", true);
        item->setCheckable(true);
        item->setChecked(service == active);
        const QPointer<TServiceForm> target(window);
        connect(item, &QAction::triggered, this, [target] {
            if (!target)
                return;
            target->showNormal();
            target->raise();
            target->activateWindow();
            ExpectActiveWindow(target);
        });
        miWindow->insertAction(m_windowSeparator, item);
    }
    m_windowSeparator->setVisible(number > 0);
}

QList<QWidget *> TfmMain::serviceWindows(bool visible) const
{
    QList<QWidget *> windows;
    for (TServiceItem *service : Manager ? Manager->List() : QList<TServiceItem *>())
        if (TServiceForm *window = service ? service->Window() : nullptr; window && window->isVisible() == visible)
            windows << window;
    return windows;
}

void TfmMain::CascadeServiceWindows() { m_places.Cascade(serviceWindows(true), frameGeometry().bottom() + 1); }

void TfmMain::ShowServiceWindows(bool show)
{
    for (QWidget *window : serviceWindows(!show))
        window->setVisible(show);
    updateWindowMenu();
}

bool TfmMain::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && Manager) {
        auto *window = qobject_cast<TServiceForm *>(watched);
        const TServiceItem *owner = nullptr;
        if (window && window->isWindow())
            for (const TServiceItem *service : Manager->List())
                if (service && service->Window() == window)
                    owner = service;
        if (owner && type == QEvent::Show && !window->property("placedByConsole").toBool()) {
            window->setProperty("placedByConsole", true);
            m_places.Place(window, owner->Guid(), frameGeometry().bottom() + 1);
        } else if (owner && type == QEvent::Hide && window->property("placedByConsole").toBool()) {
            m_places.Remember(window, owner->Guid());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfmMain::ShowAbout()
{
    const QString name = QStringLiteral("LumConsoleAbout.so");
    QLibrary library(ExePath(name));
    if (!library.load())
        throw Exception(Fmt(ConsoleText(ctLibLoadFailed), name));
    using TShowAboutBox = void (*)();
    auto show = reinterpret_cast<TShowAboutBox>(library.resolve("ShowAboutBox"));
    if (!show) {
        library.unload();
        throw Exception(Fmt(ConsoleText(ctFuncNotExists), name + QStringLiteral("@ShowAboutBox")));
    }
    show();
    library.unload();
}

void TfmMain::ShowServiceVersions()
{
    QStringList files;
    for (TServiceItem *service : Manager->List()) {
        // The file the service is loaded from: a stored ".dll" name finds its ".so".
        QString path;
        try {
            path = ModuleFilePath(service->DllName());
        } catch (const std::exception &e) {
            qCWarning(lcServices) << "the versions window lists" << service->DllName()
                                  << "as stored:" << ExceptionMessage(e);
            path = ExeDir() + QLatin1Char('/') + service->DllName();
        }
        if (!files.contains(path))
            files.append(path);
    }
    files.sort();
    const QString caption = ConsoleText(ctConfigServices);
    const QString title =
        caption + QStringLiteral(": ") + Fmt(TranslateAplText(QStringLiteral("rstr_fmt_Folder")), ExeDir());
    if (ShowVersionsHook)
        ShowVersionsHook(caption, title, files);
}

void TfmMain::ShowAllLibraries()
{
    const QStringList files = ProgramFilesHook ? ProgramFilesHook(ExeDir()) : QStringList();
    const QString caption = ConsoleText(ctAllLibraries);
    const QString title =
        caption + QStringLiteral(": ") + Fmt(TranslateAplText(QStringLiteral("rstr_fmt_Folder")), ExeDir());
    if (ShowVersionsHook)
        ShowVersionsHook(caption, title, files);
}

void TfmMain::ShowSessionDataSets()
{
    QString text;
    if (TDM *dm = DM())
        dm->ListSessionDataSets(text);
    ShowMessageBox(text, QString(), MB_ICONINFORMATION);
}

void TfmMain::RestoreFromTray()
{
    if (tiTray)
        tiTray->hide();
    showNormal();
    // The service windows went to the tray with the console: they come back with it.
    for (const QPointer<QWidget> &window : std::as_const(m_hiddenServiceWindows))
        if (window)
            window->show();
    m_hiddenServiceWindows.clear();
    raise();
    activateWindow();
    ExpectActiveWindow(this);
}

void TfmMain::hideServiceWindows()
{
    m_hiddenServiceWindows.clear();
    if (!Manager)
        return;
    for (TServiceItem *service : Manager->List()) {
        QWidget *window = service ? service->Window() : nullptr;
        if (window && window->isVisible()) {
            m_hiddenServiceWindows.append(window);
            window->hide();
        }
    }
}

void TfmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tiTray && ReadHideMinimized()) {
        tiTray->show();
        hideServiceWindows();
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void TfmMain::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    replaceWhenFrameChanged();
    // Kept at the top edge: the window cannot be moved off it.
    if (ReadFormTop() && y() != 0 && !isMinimized())
        QTimer::singleShot(0, this, [this] { move(x(), 0); });
}

void TfmMain::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(miSysHideMinimized);
    menu.addAction(miSysFormTop);
    menu.exec(event->globalPos());
}

void TfmMain::applySystemMenuItems()
{
    miSysHideMinimized->setChecked(ReadHideMinimized());
    miSysFormTop->setChecked(ReadFormTop());
    if (ReadFormTop())
        move(x(), 0);
}

void TfmMain::ToggleHideMinimized()
{
    WriteHideMinimized(!ReadHideMinimized());
    applySystemMenuItems();
}

void TfmMain::ToggleFormTop()
{
    WriteFormTop(!ReadFormTop());
    applySystemMenuItems();
}

void TfmMain::closeEvent(QCloseEvent *event)
{
    if (TLanguagesDM *languages = GetComLanguages()) {
        try {
            if (PendingAplLang.IsSet())
                languages->SET_USER_APL_LANG(PendingAplLang.Id, PendingAplLang.SubId);
            if (PendingRepLang.IsSet())
                languages->SET_USER_REP_LANG(PendingRepLang.Id, PendingRepLang.SubId);
        } catch (const std::exception &e) {
            ShowMessageBox(ExceptionMessage(e).trimmed(), QString(), MB_ICONERROR);
        }
    }
    if (tiTray)
        tiTray->hide();
    ClearConfiguration();
    QMainWindow::closeEvent(event);
    event->accept();
    // Closing the main window ends the application, whatever other windows are open.
    QCoreApplication::quit();
}
