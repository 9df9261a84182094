#pragma once
// TfmMain: the console's only permanent window, a narrow bar across the top
// of the screen with the main menu, the tool bar and the status bar. It holds
// the user's menu tree, the service manager and the callback, opens services
// from its menu and tool bar, forwards find, sort, report and filter to the
// active service, and offers the console's own commands.
#include "Console/uImageList.h"
#include "Console/uWindowPlaces.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QToolBar;
class QToolButton;
class TCallback;
class TMenuCfg;
class TServiceManager;

// A language chosen in the language menu, stored when the window closes.
struct TPendingLang {
    int Id = 0;
    int SubId = 0;
    bool IsSet() const { return Id != 0; }
};

class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmMain(QWidget *parent = nullptr);
    ~TfmMain() override;

    // --- components
    QMenu *miFile, *miWindow, *miSession, *miHelp, *miLang, *miAplLang, *miRepLang, *miPlugins;
    QAction *miCursors, *miRestore, *miExitPopup;
    QToolBar *tbMain;
    QAction *tbtnConfig, *tbtnChgUser, *tbtnRefreshCfg, *tbtnFindBtn, *tbtnSortBtn, *tbtnRepBtn, *tbtnFilterBtn,
        *tbtnExit;
    QLabel *sbPanels[6];
    QSystemTrayIcon *tiTray = nullptr;
    QMenu *pmPopup;
    TImageList ilLarge, ilSmall, ilLargeNoRes, imglstSubMenu;

    QAction *acConfig, *acShowCnfg, *acHomeTuning, *acShemaCfg, *acRefreshCfg, *acChgUser, *acExit;
    QAction *acFind, *acSort, *acReport, *acFilter, *acAbout, *acSrvInfo, *acPingDll, *acRestore;
    QAction *acHide, *acShow, *acCascade, *acHelp;
    // The two commands that stand in for the system menu's items 1025 and 1026.
    QAction *miSysHideMinimized, *miSysFormTop;

    // --- own fields
    std::unique_ptr<TCallback> Callback;
    std::unique_ptr<TServiceManager> Manager;
    std::unique_ptr<TMenuCfg> MenuCfg;
    QString SchemeName;
    QString AppTitle;
    QString PreviousScheme;
    bool IsAdmin = false;
    bool ReconnectDisabled = false;
    bool SmallButtons = true;
    QString StatusLabels[5];
    static TPendingLang PendingAplLang;
    static TPendingLang PendingRepLang;

    // Builds the configuration once (also after a reconnect); a failure ends the application.
    void InitConfiguration();
    void BuildConfiguration();
    void ClearConfiguration();
    void RebuildConfiguration();
    void BuildPluginMenu();
    void BuildLanguageMenu();
    void SetTitle(const QString &text);
    void SetStatusPanel(int panel, const QString &value);
    // The image list the tool bar shows.
    const TImageList &ToolBarImages() const;
    TImageList &ToolBarImages();

    // The action handlers.
    void ShowMenuConfig();
    void RefreshConfiguration();
    void ChangeConnection();
    void ChangeScheme();
    void ShowSettings();
    // Report of the active service, or a message when its window refuses the report to this user.
    void ReportActiveService();
    void ShowAbout();
    void ShowServiceVersions();
    void ShowAllLibraries();
    void ShowSessionDataSets();
    void RestoreFromTray();
    void LanguageClicked(QAction *item);
    // The items of the language menu (their "langTag" is id * 256 + sub-id; the checked one is chosen).
    QList<QAction *> LanguageItems() const;
    // The open service windows to switch to, in the "Windows" menu.
    void updateWindowMenu();
    void CascadeServiceWindows();
    // Shows (or hides) every open service window.
    void ShowServiceWindows(bool show);
    // Alt+digit: clicks the numbered service button; false when there is none.
    bool ClickNumberedButton(int digit);
    // Appends " (Alt+n)" to the hints of the first ten service buttons.
    void NumberServiceButtons();
    void ToggleHideMinimized();
    void ToggleFormTop();

    // The main window built and closed; the unattended mode listens to these.
    std::function<void()> OnConfigurationBuilt;
    // Shows the versions of files (the versions window); tests replace it.
    static std::function<void(const QString &caption, const QString &title, const QStringList &files)> ShowVersionsHook;
    // The program files of a folder for "all libraries".
    static std::function<QStringList(const QString &folder)> ProgramFilesHook;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createTray();
    void setUpImages();
    void applyActionIcons();
    void translateCaptions();
    void placeWindow();
    void hideServiceWindows();
    QMargins frameMarginsNow() const;
    void replaceWhenFrameChanged();
    void updateStatusWidths();
    void applySystemMenuItems();
    // A text in both languages, kept for a change of language; the action shows the session's.
    void setBilingualText(QAction *action, const QString &russian, const QString &english);
    void loadStatusLabels();
    // Every text of the window again, in the session's language (after a log-in in another one).
    void retranslate();
    // Every menu item gets a mnemonic unique in its menu.
    void refreshMnemonics();
    // Stores the language chosen in this session for the user, before a new log-in.
    void applyPendingLanguage();
    QList<QWidget *> serviceWindows(bool visible) const;
    void followActiveWindow();
    bool activeServiceRefusesReport() const;
    void guarded(const std::function<void()> &action);
    bool m_shownOnce = false;
    bool m_placed = false;
    QList<QPointer<QWidget>> m_hiddenServiceWindows;
    QMargins m_placedFrame;
    bool m_closing = false;
    QAction *m_checkedLanguage = nullptr;
    QAction *m_windowSeparator = nullptr;
    TWindowPlaces m_places;
};

// The main window of the running console, or null.
TfmMain *MainWindow();
