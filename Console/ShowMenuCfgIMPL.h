#pragma once
// TMenuConfig: the administrator's editor of the menu configurations. The
// first tab lists the access groups and shows the menu tree of the current
// one with the rights of the selected service item; the second tab is the
// service catalogue (uServiceCatalogue), the third the history of changes
// (uMenuHistory). Every change is one MENUPACK call committed at once (a
// branch deleted with one commit); the form remembers only whether anything
// was written (Changed), which it hands back to the main window so that it
// can offer to rebuild its menu.
//
// Each change names the row as the editor read it; when another administrator
// changed or deleted it meanwhile, the package refuses the call, the editor
// says so in the session's language, reads its data again and stands as near
// as it can to where it stood. After a change the changed node stays current
// (a new node becomes current, a deleted node's parent).
//
// Short cuts act on their own part of the window only: the tree's actions
// while the focus is in the tree panel, the catalogue's while it is on the
// catalogue tab. So Ctrl+Del is never ambiguous and Del in the access-group
// grid never deletes a tree entry.
#include "Console/SelSrvIMPL.h"
#include "Console/uImageList.h"
#include "Console/uMenuConflicts.h"
#include "Console/uMenuRows.h"
#include "Console/uMenuTree.h"
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
class TAccessGroups;
class TMenuHistory;
class TMnuItem;
class TOraPackage;
class TOraSession;
class TOraStoredProc;
class TServiceCatalogue;
class TSmartQuery;

class TMenuConfig : public TComBaseForm {
    Q_OBJECT
public:
    // Node kinds: the image index of a node; nkLostRows holds the rows that lie outside the menu.
    enum TNodeKind { nkRoot = 0, nkGroup = 1, nkService = 2, nkLostRows = 3 };

    TMenuConfig(QWidget *owner, const QString &schemeName, double configId);
    ~TMenuConfig() override;

    // Data components.
    TSmartQuery *MenuCfgTbl;
    TOraPackage *opMENUPACK;
    TOraStoredProc *spRight;

    // Controls.
    QTabWidget *pcMain;
    QWidget *tsMenu;
    TServiceCatalogue *tsServices;
    TMenuHistory *tsHistory;
    TAccessGroups *Access; // the access groups' list, its grid AccessTbl and actions
    QWidget *pnlMenu;
    TMenuTree *tvMenu;
    QToolBar *tlbrMenu;
    QToolBar *tlbrAccess;
    QTreeWidget *lvRightList;
    QLabel *laDllName;
    QPushButton *btnClose;
    QMenu *pmMainMenu;
    QMenu *pmMenu;
    QMenu *pmServices;
    QMenu *pmLostRow;

    // Actions of the tree ("Меню").
    QAction *acInsMenu;
    QAction *acDelMenu;
    QAction *acRenameMenu;
    QAction *acAddService;
    QAction *acDelService;
    QAction *acMoveToGroup;
    QAction *acRefreshMenu;
    QAction *acChgRights;
    // On the access groups' bar: what a user of the current group gets.
    QAction *acPreviewMenu;

    // The session of every query and commit; the scheme is set into the texts here.
    void SetSession(TOraSession *session);
    bool Changed() const { return FChanged; }

    // The tree of the current access group, rebuilt from the database. nearest:
    // ids of nodes (ID_CFG), the first of them still there becomes current; none: the root.
    void LoadMenu(const QList<QVariant> &nearest = {});
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

    static TMnuItem *NodeItem(const QTreeWidgetItem *node);
    static int NodeKind(const QTreeWidgetItem *node);
    // A row the menu's build leaves out (its group's number is 0 or missing, its owners form a cycle or are
    // no group), shown below the menu with the reason.
    static bool IsLostNode(const QTreeWidgetItem *node);

    // The windows this one opens; tests put their own in place.
    static std::function<bool(TSrvItemArray &, TSrvModeArray &, const TSrvCheck &)> ChooseServicesProc;
    static std::function<bool(TMnuItem *)> EditRightsProc;
    // The group a node goes into ("Переместить в группу"); null: cancelled.
    static std::function<QTreeWidgetItem *(QTreeWidgetItem *root, const QTreeWidgetItem *moved, bool topLevel)>
        ChooseGroupProc;

protected:
    void FormShow() override;
    void LoadGlyphs() override;
    void SetSources() override;

private:
    struct TDropPlace {
        int owner;
        int sortOrder;
    };

    void createData();
    void createMenuTab();
    void createActions();
    QAction *newAction(const char *name, const QString &caption, const QKeySequence &shortcut, int image);

    void readCatalogue();
    void BuildTree(QTreeWidgetItem *root);
    QTreeWidgetItem *addRowNode(QTreeWidgetItem *parent, const TMenuRow &row, const QString &reason);
    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, int kind, const QString &text, TMnuItem *item);
    bool serviceMissing(const QTreeWidgetItem *node) const;
    QList<QVariant> selectionPath() const;
    TReliedRow reliedNode(const QTreeWidgetItem *node) const;
    std::optional<TDropPlace> dropPlace(QTreeWidgetItem *start, QTreeWidgetItem *finish) const;
    void moveNode(QTreeWidgetItem *node, int owner, int sortOrder);
    void deleteBranch(QTreeWidgetItem *node);
    void DeleteMenuItem(QTreeWidgetItem *node);
    void pcMainChange();
    void setTreeActions(int kind);
    bool inputName(const QString &caption, QString &name);
    void acPreviewMenuExecute();
    void acInsMenuExecute();
    void acRenameMenuExecute();
    void acDelMenuExecute();
    void acAddServiceExecute();
    void acDelServiceExecute();
    void acMoveToGroupExecute();
    void acChgRightsExecute();

    // Runs a user action: a failure rolls the open transaction back, brings
    // disabled controls back, reads the data again (another administrator
    // may have changed what the call relied on) and is shown.
    void guarded(const std::function<void()> &action);
    // The rows the running action relies on: a refusal names the first that went, else the first.
    void relyOn(const QList<TReliedRow> &rows) { m_relied = rows; }
    bool stillThere(const TReliedRow &row) const;
    QString failureText(const std::exception &e, const QList<TReliedRow> &relied) const;

    std::vector<std::unique_ptr<TMnuItem>> FItems;
    bool FChanged = false;
    TOraSession *FSession = nullptr;
    QString FSchema;
    QTreeWidgetItem *FStartNode = nullptr;

    std::vector<TMenuRow> m_rows;
    QHash<qint64, TCatalogueRow> m_catalogue;
    QList<TReliedRow> m_relied;
    TImageList m_ilMain;
    TImageList m_ilRights;
    bool m_loading = false;
};

// Shows the editor modally on the data module's session; true when anything was written.
bool ShowMenuCfg(const QString &schemeName, double configId);
