#pragma once
// TMenuConfig: the administrator's editor of the menu configurations. The
// first tab lists the access groups and shows the menu tree of the current
// one with the rights of the selected service item; the second tab is the
// service catalogue. Every change is one MENUPACK call committed at once; the
// form remembers only whether anything was written (Changed), which it hands
// back to the main window so that it can offer to rebuild its menu.
//
// Short cuts act on their own part of the window only: the tree's actions
// while the focus is in the tree panel, the catalogue's while it is on the
// catalogue tab. So Ctrl+Del is never ambiguous and Del in the access-group
// grid never deletes a tree entry.
#include "Console/SelSrvIMPL.h"
#include "Console/uImageList.h"
#include "Console/uMenuRows.h"
#include "Source/FormReposit/uComBaseForm.h"

#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolBar;
class TBaseServiceList;
class TDBGrid;
class TDataSource;
class TMnuItem;
class TOraPackage;
class TOraSession;
class TOraStoredProc;
class TQRByDataSet;
class TSmartQuery;

// The menu tree: its own mouse press, drag-over and drop go to the form.
class TMenuTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TMenuTree(QWidget *parent = nullptr);

    std::function<void(QTreeWidgetItem *item, Qt::MouseButton button, QPoint globalPos)> OnPress;
    std::function<bool(QTreeWidgetItem *target)> OnDragOver;
    std::function<void(QTreeWidgetItem *target)> OnDrop;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

class TMenuConfig : public TComBaseForm {
    Q_OBJECT
public:
    // Node kinds: the image index of a node.
    // nkLostRows holds the rows that lie outside the menu.
    enum TNodeKind { nkRoot = 0, nkGroup = 1, nkService = 2, nkLostRows = 3 };

    TMenuConfig(QWidget *owner, const QString &schemeName, double configId);
    ~TMenuConfig() override;

    // Data components.
    TSmartQuery *AccessTbl;
    TDataSource *AccessDSrc;
    TSmartQuery *MenuCfgTbl;
    TSmartQuery *SrvItemTbl;
    TDataSource *SrvItemDSrc;
    TOraPackage *opMENUPACK;
    TOraStoredProc *spRight;
    // The printable listing of the catalogue (Ctrl+V in its grid).
    TQRByDataSet *ViewDS;

    // Controls.
    QTabWidget *pcMain;
    QWidget *tsMenu;
    QWidget *tsServices;
    QWidget *pnlMenu;
    TDBGrid *dbgAccess;
    QToolBar *dbnavAccess;
    TMenuTree *tvMenu;
    QToolBar *tlbrMenu;
    QToolBar *tlbrAccess;
    QTreeWidget *lvRightList;
    QLabel *laDllName;
    TDBGrid *dbgServices;
    QToolBar *dbnavServices;
    QToolBar *tlbrServices;
    QPushButton *btnClose;
    QMenu *pmMainMenu;
    QMenu *pmMenu;
    QMenu *pmServices;
    QMenu *pmServiceMnu;
    QMenu *pmLostRow;

    // Actions of the tree ("Меню").
    QAction *acInsMenu;
    QAction *acDelMenu;
    QAction *acRenameMenu;
    QAction *acAddService;
    QAction *acDelService;
    QAction *acRefreshMenu;
    QAction *acChgRights;
    // Actions of the access groups ("Доступ").
    QAction *acInsAccess;
    QAction *acUpdAccess;
    QAction *acDelAccess;
    QAction *acRefreshAccess;
    QAction *acRightsAccess;
    QAction *acCreateLike;
    // Actions of the catalogue ("Сервисы", "Выделение").
    QAction *acAddSrv;
    QAction *acDelSrv;
    QAction *acRefreshSrv;
    QAction *acDelEntires;
    QAction *acSellAll;
    QAction *acDeSellAll;
    QAction *acInvSellAll;

    // The session of every query and commit; the scheme is set into the texts here.
    void SetSession(TOraSession *session);
    bool Changed() const { return FChanged; }

    // The tree of the current access group, rebuilt from the database.
    void LoadMenu();
    void ShowNodeInfo(QTreeWidgetItem *node);
    // Deletes the node's rows bottom-up, one call each, and commits once: a
    // branch goes whole or, when a call is refused, not at all.
    void DeleteNodeTree(QTreeWidgetItem *node);
    // Whether the start node may be dropped on the finish node.
    bool CanMoveNode(QTreeWidgetItem *startNode, QTreeWidgetItem *finishNode);
    // The node under the mouse when a button was last pressed.
    QTreeWidgetItem *StartNode() const { return FStartNode; }
    void SetStartNode(QTreeWidgetItem *node) { FStartNode = node; }
    // Drops the start node on the target as the end of a drag does.
    void EndDrag(QTreeWidgetItem *target);
    // Whether the catalogue holds the identifier, whatever its case.
    bool GUIDExists(const QString &guid);
    // Writes CREATEBTN for every catalogue row: 1, 0, or -1 for the opposite; one commit.
    void tbSelectType(int mode);
    // Flips CREATEBTN of the current catalogue row.
    void ToggleCreateBtn();

    static TMnuItem *NodeItem(const QTreeWidgetItem *node);
    static int NodeKind(const QTreeWidgetItem *node);
    // A row the menu's build leaves out (its group's number is 0 or missing, its owners form a cycle or are
    // no group), shown below the menu with the reason.
    static bool IsLostNode(const QTreeWidgetItem *node);

    // The windows this one opens; tests put their own in place.
    static std::function<bool(TSrvItemArray &, TSrvModeArray &, const TSrvCheck &)> ChooseServicesProc;
    static std::function<bool(TMnuItem *)> EditRightsProc;
    static std::function<bool(TBaseServiceList &, const std::function<bool(const QString &)> &)> ShowLoaderProc;

protected:
    void FormShow() override;
    void LoadGlyphs() override;
    void SetSources() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct TDropPlace {
        int owner;
        int sortOrder;
    };
    struct TCatalogueEntry {
        TSrvItem item;
        QString name;
    };

    void createData();
    void createMenuTab();
    void createServicesTab();
    void createActions();
    QAction *newAction(const char *name, const QString &caption, const QKeySequence &shortcut, int image);
    QToolBar *newNavigator(const char *name, QWidget *parent, bool withEdit);

    void readCatalogue();
    void BuildTree(QTreeWidgetItem *root);
    QTreeWidgetItem *addRowNode(QTreeWidgetItem *parent, const TMenuRow &row, const QString &reason);
    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, int kind, const QString &text, TMnuItem *item);
    std::optional<TDropPlace> dropPlace(QTreeWidgetItem *start, QTreeWidgetItem *finish) const;
    void deleteBranch(QTreeWidgetItem *node);
    void DeleteMenuItem(QTreeWidgetItem *node);
    void pcMainChange();
    void updateCatalogueActions();
    void setTreeActions(int kind);
    int currentAccessId() const;
    bool inputName(const QString &caption, QString &name);
    bool nameIsBlank(QString &name, const QString &caption);
    bool ConfirmDeleteService();
    void deleteService();
    void setupAccessFields();
    void setupCatalogueFields();

    QString currentAccessName() const;
    void reopenAccess(const QVariant &accessId, bool lastRow);
    bool inputAccessName(const QString &caption, QString &name);
    void acInsAccessExecute();
    void acUpdAccessExecute();
    void acDelAccessExecute();
    void acRefreshAccessExecute();
    void acRightsAccessExecute();
    void acCreateLikeExecute();
    void acInsMenuExecute();
    void acRenameMenuExecute();
    void acDelMenuExecute();
    void acAddServiceExecute();
    void acDelServiceExecute();
    void acChgRightsExecute();
    void acAddSrvExecute();
    void acRefreshSrvExecute();
    void acDelEntiresExecute();
    void acViewDSExecute();

    // Runs a user action: a failure rolls the open transaction back, brings
    // disabled controls back, is shown, and the data is read again (another
    // administrator may have changed what the call relied on).
    void guarded(const std::function<void()> &action);

    bool FConfirmed = false;
    std::vector<std::unique_ptr<TMnuItem>> FItems;
    bool FChanged = false;
    TOraSession *FSession = nullptr;
    QString FSchema;
    QTreeWidgetItem *FStartNode = nullptr;

    std::vector<TMenuRow> m_rows;
    QHash<int, TCatalogueEntry> m_catalogue;
    TImageList m_ilMain;
    TImageList m_ilRights;
    QAction *m_acViewDS = nullptr;
    bool m_loading = false;
};

// Shows the editor modally on the data module's session; true when anything was written.
bool ShowMenuCfg(const QString &schemeName, double configId);
