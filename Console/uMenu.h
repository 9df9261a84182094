#pragma once
// The menu model: the user's menu configuration, as the database delivers it,
// turned into a tree of menu groups (TKorMenu) and services (TServiceItem).
// From the tree the main window gets its menus, every service is registered
// with the service manager, gets an icon and, when marked, a tool button.
// TMnuItem is the menu editor's entry that shows and changes one entry's rights.
//
// A build reads the menu rows and the catalogue rows once, and takes the
// services' attributes from the module cache: it loads no module into the
// console, and runs the module reader at most once for the files it does not
// know yet. A menu deeper than kMaxMenuDepth levels keeps its first levels;
// the groups below are listed as not loaded.
#include "Source/ComUnits/uBaseService.h"

#include <QHash>
#include <QIcon>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QTreeWidget;
class QWidget;
class TDataSet;
class TExeImage;
class TImageList;
class TModuleAttributeReader;
class TServiceItem;
class TServiceManager;
struct TCatalogueRow;
struct TMenuRow;

// Menu items and tool buttons made from the configuration carry this tag.
constexpr int kConfigTag = 1;
// The deepest nesting of menu groups a menu is built with.
constexpr int kMaxMenuDepth = 64;
// The tag of an action, menu or tool button (0 when it has none).
int ObjectTag(const QObject *object);
void SetObjectTag(QObject *object, int tag);
// The service a menu item opens; null for any other item.
TServiceItem *MenuItemService(const QAction *action);

// One menu group.
class TKorMenu {
public:
    TKorMenu(int id, const QString &name);
    ~TKorMenu();
    TKorMenu(const TKorMenu &) = delete;
    TKorMenu &operator=(const TKorMenu &) = delete;

    int ID;
    QString Name;
    // The group's own services, owned.
    std::vector<std::unique_ptr<TServiceItem>> Services;
    // The sub-groups, owned.
    std::vector<std::unique_ptr<TKorMenu>> SubMenus;

    // A service or a sub-group, in reading order.
    struct TItem {
        TServiceItem *service = nullptr;
        TKorMenu *group = nullptr;
    };
    std::vector<TItem> Items;

    void AddService(std::unique_ptr<TServiceItem> service);
    void AddSubMenu(std::unique_ptr<TKorMenu> group);
    // Child menu items: a service gets an action, a sub-group a sub-menu.
    void BuildItems(QMenu *menu, const TImageList *images) const;
    // Registers the group's services and those of its sub-groups under the
    // group number. A service whose identifier is already registered leaves
    // the group; the manager's message about it is added to `duplicates`.
    void RegisterServices(TServiceManager &manager, int groupNumber, QStringList &duplicates);
};

class TMenuCfg {
public:
    TMenuCfg();
    ~TMenuCfg();
    TMenuCfg(const TMenuCfg &) = delete;
    TMenuCfg &operator=(const TMenuCfg &) = delete;

    // Services whose module failed to load and menu rows left out of the
    // tree, with the reason as description.
    TBaseServiceList FailedList;
    // The top-level groups.
    std::vector<std::unique_ptr<TKorMenu>> Roots;
    // The menu rows (V_MENUCFG) and the service catalogue, one row per ITEMID (V_SRVITEMS).
    TDataSet *MenuQuery = nullptr;
    TDataSet *ServiceQuery = nullptr;

    // Empties the not-loaded list and the tree (which frees every service).
    void Clear();
    // Builds the tree from the two queries and shows the not-loaded window when
    // needed. A service row at the top level ends the build with an error.
    void Load(TDataSet *menuQuery, TDataSet *serviceQuery);
    // Registers every service; the duplicates are shown in one message box.
    void RegisterAll(TServiceManager &manager);
    // Inserts the top-level groups after the first top-level menu.
    void BuildMainMenu(QMenuBar *menuBar, const TImageList *images) const;
    int Count() const { return int(Roots.size()); }
    TKorMenu *Items(int index) const { return Roots.at(size_t(index)).get(); }

    // Shows the not-loaded window; tests replace it.
    static void (*ShowFailed)(const TBaseServiceList &failed);

private:
    void AddService(TKorMenu *group, const TMenuRow &row, const TCatalogueRow *entry, TModuleAttributeReader &reader);
    void AddFailed(const QString &caption, const QString &reason, const TCatalogueRow *entry);
};

// The icon groups of module files for one configuration build: each file is
// opened once. Each icon is read once per size and file identity and kept for
// the whole run, so that a rebuilt menu draws from the same pixmaps.
class TModuleIcons {
public:
    TModuleIcons();
    ~TModuleIcons();
    TModuleIcons(const TModuleIcons &) = delete;
    TModuleIcons &operator=(const TModuleIcons &) = delete;

    // The icon group `iconName` of the module file at the size; an empty icon
    // when the file is no executable image, cannot be read or has no such group.
    QIcon Icon(const QString &dllName, const QString &iconName, QSize size);

private:
    TExeImage *Image(const QString &dllName);
    // The file's path and identity, as a key of the run's icons.
    QString FileKey(const QString &dllName);
    QHash<QString, std::shared_ptr<TExeImage>> m_images; // null: not an executable image
    QHash<QString, QString> m_fileKeys;
};

// The icons of the registered services, into the image list; services with
// the same icon group of the same file share one image.
void BuildIcons(TServiceManager &manager, TImageList &images, TModuleIcons *icons = nullptr);
// The tool buttons of the services marked for one, group by group.
void BuildToolButtons(TServiceManager &manager, QToolBar *toolBar, const TImageList *images, bool separators);
// The image a service without an icon of its own shows.
constexpr int kDefaultServiceImage = 10;

// The menu editor's entry: a row of the menu configuration with its rights.
class TMnuItem : public TBaseService {
public:
    TMnuItem(int id, int ownerId, int itemId, QTreeWidget *list);

    int ID_CFG;
    int ItemId;
    int OwnerId;
    QTreeWidget *FList;
    int CheckedImage = 0;
    int UncheckedImage = 1;

    // Loads the rights when needed and shows them in the list: with images
    // (checked and unchecked image) when the list has them, else as check boxes.
    // With images each row still carries its tick as its check state, drawn as
    // no box and not to be toggled, so that the unattended dump reads it.
    void PrepareRightTo(QTreeWidget *list, const TImageList *smallImages = nullptr);
    void PrepareRight(const TImageList *smallImages = nullptr) { PrepareRightTo(FList, smallImages); }
    // Takes each right's state from the list's check boxes.
    void GetRightFrom(QTreeWidget *list);
};

// A list for PrepareRightTo: one column of the given width, no header, no
// branches, read-only rows.
QTreeWidget *NewRightsList(QWidget *parent, int columnWidth);
