#include "Console/ShowMenuCfgIMPL.h"

#include "Console/DMIMPL.h"
#include "Console/RightsEditIMPL.h"
#include "Console/uAccessGroups.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uDataNavigator.h"
#include "Console/uEditorTexts.h"
#include "Console/uMenu.h"
#include "Console/uMenuHistory.h"
#include "Console/uMenuPreview.h"
#include "Console/uSelGroup.h"
#include "Console/uServiceCatalogue.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/TextFormat.h"
#include "DataAccess/DAError.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/OraStoredProc.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/ComUnits/uOraFunctions.h"
#include "Ui/DataSetModel.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kItemRole = Qt::UserRole + 1;
constexpr int kKindRole = Qt::UserRole + 2;
// The row's ID_CFG as read (null for a row without one), and why a row lies outside the menu.
constexpr int kIdRole = Qt::UserRole + 3;
constexpr int kLostRole = Qt::UserRole + 4;
// Oracle codes the editor tells apart.
constexpr int kUniqueViolation = 1;
constexpr int kNotNullViolation = 1400;
constexpr int kChildRecordFound = 2292;
// Every tool bar of the editor, navigators included, has glyphs of one size.
constexpr QSize kBarIconSize(16, 16);

} // namespace

std::function<bool(TSrvItemArray &, TSrvModeArray &, const TSrvCheck &)> TMenuConfig::ChooseServicesProc =
    ChooseServices;
std::function<bool(TMnuItem *)> TMenuConfig::EditRightsProc = EditRights;
std::function<QTreeWidgetItem *(QTreeWidgetItem *, const QTreeWidgetItem *, bool)> TMenuConfig::ChooseGroupProc =
    [](QTreeWidgetItem *root, const QTreeWidgetItem *moved, bool topLevel) {
        return ChooseGroup(root, moved, topLevel, [](const QTreeWidgetItem *node) {
            return TMenuConfig::NodeKind(node) == TMenuConfig::nkGroup && !TMenuConfig::IsLostNode(node);
        });
    };

// ---------------------------------------------------------------- construction

TMenuConfig::TMenuConfig(QWidget *owner, const QString &schemeName, double /*configId*/)
    : TComBaseForm(owner), FSchema(schemeName)
{
    setObjectName(QStringLiteral("MenuConfig"));
    setWindowTitle(ConsoleText(ctMenuSetup));
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("configmenuform"));
    const QStyle *s = style();
    for (QStyle::StandardPixmap p :
         {QStyle::SP_ComputerIcon, QStyle::SP_DirIcon, QStyle::SP_FileIcon, QStyle::SP_MessageBoxWarning})
        m_ilMain.Add(s->standardIcon(p));
    m_ilRights.Add(s->standardIcon(QStyle::SP_DialogApplyButton));
    m_ilRights.Add(s->standardIcon(QStyle::SP_DialogCancelButton));

    createData();
    createActions();

    pcMain = new QTabWidget(this);
    tsMenu = new QWidget(pcMain);
    tsServices = new TServiceCatalogue(pcMain, opMENUPACK,
                                       {[this](const std::function<void()> &run) { guarded(run); },
                                        [this](const QList<TReliedRow> &rows) { relyOn(rows); },
                                        [this](bool menuRowsChanged) {
                                            FChanged = true;
                                            if (menuRowsChanged)
                                                LoadMenu(selectionPath());
                                        }});
    tsHistory = new TMenuHistory(pcMain);
    pcMain->addTab(tsMenu, ConsoleText(ctMenuConfiguration));
    pcMain->addTab(tsServices, ConsoleText(ctServiceList));
    pcMain->addTab(tsHistory, EditorText("История изменений", "History of changes"));
    createMenuTab();
    // Del on the catalogue's tab deletes the current service.
    tsServices->addAction(acDelService);
    btnClose = new QPushButton(EditorText("Закрыть", "Close"), this);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pcMain);
    layout->addLayout(bottom);
    SetObjectNames({{pcMain, "pcMain"},
                    {tsMenu, "tsMenu"},
                    {tsServices, "tsServices"},
                    {tsHistory, "tsHistory"},
                    {btnClose, "btnClose"}});

    pcMain->setCurrentIndex(0);
    laDllName->clear();
    connect(pcMain, &QTabWidget::currentChanged, this, [this](int index) {
        pcMainChange();
        if (index == 1)
            guarded([this] { tsServices->Refresh(); });
        else if (index == 2)
            tsHistory->ShowFor(Access->CurrentId());
    });
    resize(820, 560);
}

TMenuConfig::~TMenuConfig()
{
    // The tree's items point at the entries; they go first.
    tvMenu->clear();
}

void TMenuConfig::createData()
{
    MenuCfgTbl = new TSmartQuery(this);
    MenuCfgTbl->setObjectName(QStringLiteral("MenuCfgTbl"));
    MenuCfgTbl->SetSQLText(
        QStringLiteral("SELECT * FROM &shema.V_MENUCFG\nWHERE ACCESSID=:ACCESSID\nORDER BY SORT_ORDER"));
    MenuCfgTbl->SetReadOnly(true);

    opMENUPACK = new TOraPackage(this);
    opMENUPACK->setObjectName(QStringLiteral("opMENUPACK"));
    opMENUPACK->SetPackageName(QStringLiteral("Zandrell_pro.MENUPACK"));
    spRight = new TOraStoredProc(this);
    spRight->setObjectName(QStringLiteral("spRight"));
    spRight->SetStoredProcName(QStringLiteral("Zandrell_pro.MENUPACK.GET_MENU_ITEM_RIGHT"));
}

QAction *TMenuConfig::newAction(const char *name, const QString &caption, const QKeySequence &shortcut, int image)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(caption);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    static const QStyle::StandardPixmap kImages[] = {QStyle::SP_FileDialogNewFolder,
                                                     QStyle::SP_TrashIcon,
                                                     QStyle::SP_FileIcon,
                                                     QStyle::SP_DialogDiscardButton,
                                                     QStyle::SP_FileDialogDetailedView,
                                                     QStyle::SP_FileDialogInfoView,
                                                     QStyle::SP_FileDialogToParent,
                                                     QStyle::SP_ArrowRight,
                                                     QStyle::SP_FileDialogListView};
    if (image >= 0 && image < int(std::size(kImages)))
        action->setIcon(style()->standardIcon(kImages[image]));
    return action;
}

void TMenuConfig::createActions()
{
    acInsMenu = newAction("acInsMenu", ConsoleText(ctAddMenu), QKeySequence(Qt::CTRL | Qt::Key_Insert), 0);
    acDelMenu = newAction("acDelMenu", ConsoleText(ctDeleteMenu), QKeySequence(Qt::CTRL | Qt::Key_Delete), 1);
    acRenameMenu = newAction("acRenameMenu", ConsoleText(ctRenameMenu), QKeySequence(Qt::CTRL | Qt::Key_F2), 4);
    acAddService = newAction("acAddService", ConsoleText(ctAddMenuItem), QKeySequence(Qt::Key_Insert), 2);
    acDelService = newAction("acDelService", ConsoleText(ctDeleteMenuItem), QKeySequence(Qt::Key_Delete), 3);
    acMoveToGroup = newAction("acMoveToGroup", EditorText("Переместить в группу…", "Move to group…"),
                              QKeySequence(Qt::CTRL | Qt::Key_M), 7);
    acRefreshMenu = newAction("acRefreshMenu", EditorText("Обновить", "Refresh"), QKeySequence(), -1);
    acChgRights = newAction("acChgRights", EditorText("Изменить права доступа", "Change access rights"),
                            QKeySequence(Qt::Key_F2), 5);
    acPreviewMenu =
        newAction("acPreviewMenu", EditorText("Просмотр меню группы", "Preview the group's menu"), QKeySequence(), 8);

    auto on = [this](QAction *action, void (TMenuConfig::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(acInsMenu, &TMenuConfig::acInsMenuExecute);
    on(acDelMenu, &TMenuConfig::acDelMenuExecute);
    on(acRenameMenu, &TMenuConfig::acRenameMenuExecute);
    on(acAddService, &TMenuConfig::acAddServiceExecute);
    on(acDelService, &TMenuConfig::acDelServiceExecute);
    on(acMoveToGroup, &TMenuConfig::acMoveToGroupExecute);
    on(acChgRights, &TMenuConfig::acChgRightsExecute);
    on(acPreviewMenu, &TMenuConfig::acPreviewMenuExecute);
    connect(acRefreshMenu, &QAction::triggered, this, [this] { guarded([this] { LoadMenu(selectionPath()); }); });

    pmMainMenu = new QMenu(this);
    pmMainMenu->addAction(acInsMenu);
    pmMenu = new QMenu(this);
    pmMenu->addActions({acInsMenu, acAddService});
    pmMenu->addSeparator();
    pmMenu->addActions({acRenameMenu, acMoveToGroup});
    pmMenu->addSeparator();
    pmMenu->addAction(acDelMenu);
    pmServices = new QMenu(this);
    pmServices->addActions({acDelService, acChgRights, acMoveToGroup});
    pmLostRow = new QMenu(this);
    pmLostRow->addAction(acDelMenu);
    SetObjectNames(
        {{pmMainMenu, "pmMainMenu"}, {pmMenu, "pmMenu"}, {pmServices, "pmServices"}, {pmLostRow, "pmLostRow"}});
}

void TMenuConfig::createMenuTab()
{
    Access = new TAccessGroups(tsMenu, opMENUPACK,
                               {[this](const std::function<void()> &run) { guarded(run); },
                                [this](const QList<QVariant> &nearest) {
                                    guarded([this, nearest] { LoadMenu(nearest); });
                                    if (pcMain->currentIndex() == 2)
                                        tsHistory->ShowFor(Access->CurrentId());
                                },
                                [this] { return selectionPath(); }, [this] { FChanged = true; }});
    Access->dbnavAccess->addAction(acPreviewMenu);

    pnlMenu = new QWidget(tsMenu);
    tlbrMenu = new QToolBar(pnlMenu);
    tlbrMenu->setIconSize(kBarIconSize);
    tlbrMenu->addActions({acInsMenu, acDelMenu, acRenameMenu, acAddService, acDelService, acMoveToGroup});
    tlbrMenu->setVisible(false);
    tvMenu = new TMenuTree(pnlMenu);
    tvMenu->OnPress = [this](QTreeWidgetItem *item, Qt::MouseButton button, QPoint globalPos) {
        if (!item)
            return;
        tvMenu->setCurrentItem(item);
        FStartNode = item;
        ShowNodeInfo(item);
        if (button == Qt::RightButton && NodeKind(item) != nkLostRows) {
            QMenu *menus[] = {pmMainMenu, pmMenu, pmServices};
            (IsLostNode(item) ? pmLostRow : menus[NodeKind(item)])->popup(globalPos);
        }
    };
    tvMenu->OnDragOver = [this](QTreeWidgetItem *target) { return FStartNode && CanMoveNode(FStartNode, target); };
    tvMenu->OnDrop = [this](QTreeWidgetItem *target) { guarded([this, target] { EndDrag(target); }); };
    connect(tvMenu, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (!m_loading)
            ShowNodeInfo(current);
    });
    connect(tvMenu, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        if (NodeKind(item) == nkService && acChgRights->isEnabled())
            acChgRights->trigger();
    });

    auto *rightsPanel = new QWidget(pnlMenu);
    auto *rightsCaption = new QLabel(ConsoleText(ctAccessRights), rightsPanel);
    tlbrAccess = new QToolBar(rightsPanel);
    tlbrAccess->setIconSize(kBarIconSize);
    tlbrAccess->addAction(acChgRights);
    tlbrAccess->setVisible(false);
    lvRightList = NewRightsList(rightsPanel, 320);
    connect(lvRightList, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (lvRightList->topLevelItemCount() > 0 && acChgRights->isEnabled())
            acChgRights->trigger();
    });
    laDllName = new QLabel(rightsPanel);
    auto *rightsTop = new QHBoxLayout;
    rightsTop->addWidget(rightsCaption);
    rightsTop->addStretch();
    rightsTop->addWidget(tlbrAccess);
    auto *rightsLayout = new QVBoxLayout(rightsPanel);
    rightsLayout->setContentsMargins(0, 0, 0, 0);
    rightsLayout->addLayout(rightsTop);
    rightsLayout->addWidget(lvRightList);
    rightsLayout->addWidget(laDllName);

    auto *splitter = new QSplitter(Qt::Vertical, pnlMenu);
    splitter->addWidget(tvMenu);
    splitter->addWidget(rightsPanel);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    auto *menuLayout = new QVBoxLayout(pnlMenu);
    menuLayout->setContentsMargins(0, 0, 0, 0);
    menuLayout->addWidget(tlbrMenu);
    menuLayout->addWidget(splitter);
    // The tree's short cuts reach the tree panel only.
    pnlMenu->addActions(
        {acInsMenu, acDelMenu, acRenameMenu, acAddService, acDelService, acMoveToGroup, acChgRights, acRefreshMenu});

    auto *split = new QSplitter(Qt::Horizontal, tsMenu);
    split->addWidget(Access);
    split->addWidget(pnlMenu);
    split->setStretchFactor(1, 2);
    auto *layout = new QHBoxLayout(tsMenu);
    layout->addWidget(split);
    SetObjectNames({{pnlMenu, "pnlMenu"},
                    {tlbrMenu, "tlbrMenu"},
                    {tvMenu, "tvMenu"},
                    {tlbrAccess, "tlbrAccess"},
                    {lvRightList, "lvRightList"},
                    {laDllName, "laDllName"}});
}

void TMenuConfig::SetSession(TOraSession *session)
{
    FSession = session;
    const QList<QObject *> owners{this, Access, tsServices, tsHistory};
    for (QObject *owner : owners)
        SetComponentsSession(owner, session);
    Access->SetSession(session);
    tsServices->SetSession(session, !FSession || ExistsLangPack(FSchema, FSession));
    // The scheme goes into the texts once the components can be prepared on the session.
    for (QObject *owner : owners)
        fSetShema(owner, FSchema);
}

void TMenuConfig::FormShow()
{
    guarded([this] {
        Access->Open();
        MenuCfgTbl->Open();
        tsServices->SrvItemTbl->Open();
        LoadMenu();
    });
    acPreviewMenu->setEnabled(Access->acCreateLike->isEnabled());
    tsServices->FitColumns();
    pcMainChange();
}

void TMenuConfig::LoadGlyphs()
{
    const QPixmap close = ResourceBitmap(53);
    if (!close.isNull())
        btnClose->setIcon(QIcon(close));
    LoadNavigatorGlyphs(Access->dbnavAccess);
    tsServices->LoadGlyphs();
}

void TMenuConfig::SetSources()
{
    TComBaseForm::SetSources();
    for (QObject *menu : {pmServices, tsServices->pmServiceMnu, pmMenu, pmMainMenu, pmLostRow})
        AddNoTranslate(menu);
}

// ---------------------------------------------------------------- the tree

TMnuItem *TMenuConfig::NodeItem(const QTreeWidgetItem *node)
{
    return node ? reinterpret_cast<TMnuItem *>(node->data(0, kItemRole).value<quintptr>()) : nullptr;
}

int TMenuConfig::NodeKind(const QTreeWidgetItem *node) { return node ? node->data(0, kKindRole).toInt() : -1; }

bool TMenuConfig::IsLostNode(const QTreeWidgetItem *node) { return node && node->data(0, kLostRole).toBool(); }

QTreeWidgetItem *TMenuConfig::addNode(QTreeWidgetItem *parent, int kind, const QString &text, TMnuItem *item)
{
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvMenu);
    node->setText(0, text);
    node->setIcon(0, m_ilMain.Icon(kind));
    node->setData(0, kKindRole, kind);
    node->setData(0, kItemRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (kind != nkRoot)
        flags |= Qt::ItemIsDragEnabled;
    node->setFlags(flags);
    return node;
}

void TMenuConfig::LoadMenu(const QList<QVariant> &nearest)
{
    const bool wasLoading = m_loading;
    m_loading = true;
    FStartNode = nullptr;
    tvMenu->clear();
    FItems.clear(); // the previous tree's entries go with it
    laDllName->clear();
    lvRightList->clear();
    QTreeWidgetItem *root = addNode(nullptr, nkRoot, ConsoleText(ctMenuConfiguration), nullptr);
    QTreeWidgetItem *current = root;
    try {
        MenuCfgTbl->Close();
        MenuCfgTbl->ParamByName(QStringLiteral("ACCESSID")).SetAsInteger(Access->CurrentId());
        MenuCfgTbl->Open();
        if (!tsServices->SrvItemTbl->Active())
            tsServices->SrvItemTbl->Open();
        m_rows = ReadMenuRows(MenuCfgTbl);
        readCatalogue();
        // A service registered by another administrator since the catalogue was read.
        const bool missing = std::any_of(m_rows.begin(), m_rows.end(), [this](const TMenuRow &row) {
            return !row.IsGroup && row.ItemId.value_or(0) > 0 && !m_catalogue.contains(*row.ItemId);
        });
        if (missing) {
            tsServices->SrvItemTbl->Refresh();
            readCatalogue();
        }
        BuildTree(root);
        // The first node of the list that is still there becomes current.
        QHash<qlonglong, QTreeWidgetItem *> byId;
        for (QTreeWidgetItemIterator it(tvMenu); *it; ++it)
            if (!(*it)->data(0, kIdRole).isNull())
                byId.insert((*it)->data(0, kIdRole).toLongLong(), *it);
        for (const QVariant &id : nearest)
            if (!id.isNull() && byId.contains(id.toLongLong())) {
                current = byId.value(id.toLongLong());
                break;
            }
    } catch (...) {
        tvMenu->expandAll();
        tvMenu->setCurrentItem(root);
        m_loading = wasLoading;
        throw;
    }
    tvMenu->expandAll();
    tvMenu->setCurrentItem(current);
    m_loading = wasLoading;
    ShowNodeInfo(current);
}

// The catalogue rows by ITEMID, read as the main window's build reads them.
void TMenuConfig::readCatalogue() { m_catalogue = ReadCatalogue(tsServices->SrvItemTbl); }

// The tree in the shape the main window's build gives the menu, each level
// in SORT_ORDER; the rows that build leaves out (and names in its not-loaded
// window) follow under a node of their own, each with its reason, so that
// they can be deleted or dragged back into the menu.
void TMenuConfig::BuildTree(QTreeWidgetItem *root)
{
    const TMenuShape shape = ShapeMenu(m_rows);
    std::vector<QTreeWidgetItem *> nodeOfRow(m_rows.size(), nullptr);
    for (const TMenuLevel &level : shape.Levels) {
        QTreeWidgetItem *parent = level.GroupRow < 0 ? root : nodeOfRow[size_t(level.GroupRow)];
        std::vector<int> rows = level.Rows;
        if (level.GroupRow < 0) // listed from its last row, for the main menu's build
            std::reverse(rows.begin(), rows.end());
        for (int row : rows)
            nodeOfRow[size_t(row)] = addRowNode(parent, m_rows[size_t(row)], QString());
    }
    if (shape.LeftOut.empty())
        return;
    QTreeWidgetItem *lost =
        addNode(nullptr, nkLostRows, EditorText("Строки вне меню", "Rows outside the menu"), nullptr);
    lost->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    for (const TLeftOutRow &left : shape.LeftOut)
        addRowNode(lost, m_rows[size_t(left.Row)], TranslateAppText(left.Reason));
}

// A node for a menu row, its caption as the main menu shows it (in the
// session's language); reason: why the row lies outside the menu (empty when it is in it).
QTreeWidgetItem *TMenuConfig::addRowNode(QTreeWidgetItem *parent, const TMenuRow &row, const QString &reason)
{
    const int id = int(row.Id.value_or(0)), owner = int(row.Owner.value_or(0));
    std::unique_ptr<TMnuItem> item;
    QString name;
    if (row.IsGroup) {
        item = std::make_unique<TMnuItem>(id, owner, -1, lvRightList);
        item->SetCaption(row.Name);
        name = TranslateAppText(row.Name);
    } else {
        const int itemId = int(row.ItemId.value_or(0));
        item = std::make_unique<TMnuItem>(id, owner, itemId, lvRightList);
        name = AplText("rstr_stt_NotDefined");
        const auto found = itemId > 0 ? m_catalogue.constFind(itemId) : m_catalogue.cend();
        if (found != m_catalogue.cend()) {
            name = TranslateAppText(found->Name);
            item->SetDllName(found->DllName);
            item->SetGuid(found->Guid);
        } else if (itemId > 0) {
            // A row naming a service the catalogue lost stays in the tree, so it can be deleted.
            name += QStringLiteral(" (ItemID = %1)").arg(itemId);
        }
        item->SetCaption(name);
        item->SetMode(row.Mode);
        item->AccessList().AccessProc = spRight;
        item->AccessList().FPack = opMENUPACK;
    }
    item->SetSortOrder(int(row.SortOrder));
    QTreeWidgetItem *node = addNode(parent, row.IsGroup ? nkGroup : nkService,
                                    reason.isEmpty() ? name : name + QStringLiteral(" — ") + reason, item.get());
    node->setData(0, kIdRole, row.Id ? QVariant(*row.Id) : QVariant());
    if (!reason.isEmpty()) {
        node->setData(0, kLostRole, true);
        node->setToolTip(0, reason);
    }
    FItems.push_back(std::move(item));
    return node;
}

// A service entry whose service is not in the catalogue: its rights cannot be edited.
bool TMenuConfig::serviceMissing(const QTreeWidgetItem *node) const
{
    const TMnuItem *item = NodeItem(node);
    return NodeKind(node) == nkService && (!item || item->ItemId <= 0 || !m_catalogue.contains(item->ItemId));
}

void TMenuConfig::setTreeActions(int kind)
{
    tlbrMenu->setVisible(true);
    tlbrAccess->setVisible(true);
    QMenu *menus[] = {pmMainMenu, pmMenu, pmServices};
    QList<QAction *> shown = kind >= 0 && kind <= 2 ? menus[kind]->actions() : QList<QAction *>();
    if (IsLostNode(tvMenu->currentItem()))
        shown = pmLostRow->actions(); // a row outside the menu takes nothing and is only deleted (or dragged back)
    for (QAction *action :
         {acInsMenu, acDelMenu, acRenameMenu, acAddService, acDelService, acMoveToGroup, acChgRights}) {
        const bool on = shown.contains(action);
        action->setEnabled(on);
        action->setVisible(on);
    }
    if (kind == nkService && serviceMissing(tvMenu->currentItem()))
        acChgRights->setEnabled(false);
}

void TMenuConfig::ShowNodeInfo(QTreeWidgetItem *node)
{
    TMnuItem *item = NodeItem(node);
    if (node && NodeKind(node) == nkService && item && !IsLostNode(node) && !serviceMissing(node)) {
        laDllName->setText(item->DllName());
        lvRightList->setVisible(true);
        try {
            item->PrepareRight(&m_ilRights);
        } catch (const Exception &e) {
            lvRightList->clear();
            qCWarning(lcConsole) << "the rights of menu entry" << item->ID_CFG << "could not be read:" << e.message();
        }
        const QFontMetrics metrics(lvRightList->font());
        for (int i = 0; i < lvRightList->topLevelItemCount(); ++i)
            lvRightList->setColumnWidth(0, qMax(lvRightList->columnWidth(0),
                                                metrics.horizontalAdvance(lvRightList->topLevelItem(i)->text(0)) + 40));
    } else {
        laDllName->clear();
        lvRightList->clear();
    }
    if (pcMain->currentIndex() == 0)
        setTreeActions(NodeKind(node));
}

void TMenuConfig::pcMainChange()
{
    const int tab = pcMain->currentIndex();
    if (tab == 0) {
        tsServices->UpdateActions(false);
        ShowNodeInfo(tvMenu->currentItem());
        return;
    }
    setTreeActions(-1);
    tsServices->UpdateActions(tab == 1);
    if (tab == 1) { // Del deletes the current service there; a hidden action takes no short cut
        acDelService->setEnabled(tsServices->SrvItemTbl->Active() && !tsServices->SrvItemTbl->IsEmpty());
        acDelService->setVisible(true);
    }
}

// The ids of the current node and of the groups above it, nearest first.
QList<QVariant> TMenuConfig::selectionPath() const
{
    QList<QVariant> path;
    for (const QTreeWidgetItem *node = tvMenu->currentItem(); node; node = node->parent())
        if (!node->data(0, kIdRole).isNull())
            path << node->data(0, kIdRole);
    return path;
}

TReliedRow TMenuConfig::reliedNode(const QTreeWidgetItem *node) const
{
    const TMnuItem *item = NodeItem(node);
    return {NodeKind(node) == nkGroup ? TReliedRow::MenuGroup : TReliedRow::MenuEntry, node->data(0, kIdRole),
            item ? TranslateAppText(item->Caption()) : node->text(0)};
}

// ---------------------------------------------------------------- menu actions

bool TMenuConfig::inputName(const QString &caption, QString &name)
{
    return lumInputQuery(caption, AplText("rstrTitle"), AplText("rstr_to_Apply"), AplText("rstr_to_Cancel"), name, 50);
}

void TMenuConfig::acInsMenuExecute()
{
    const QString caption = Fmt(AplText("rstr_fmt_Operation"), ConsoleText(ctAddMenu));
    QString name;
    if (!inputName(caption, name) || NameIsBlank(name, caption))
        return;
    QTreeWidgetItem *node = tvMenu->currentItem();
    if (!node)
        return;
    const TMnuItem *parent = NodeItem(node);
    if (parent)
        relyOn({reliedNode(node)});
    opMENUPACK->ExecProc(QStringLiteral("INS_MENUGRP"), {0, name, parent ? parent->ID_CFG : 0, Access->CurrentId()});
    FSession->Commit();
    FChanged = true;
    LoadMenu({opMENUPACK->ParamByName(QStringLiteral("PID")).AsVariant()});
}

void TMenuConfig::acRenameMenuExecute()
{
    QTreeWidgetItem *node = tvMenu->currentItem();
    const TMnuItem *item = NodeItem(node);
    if (!item)
        return;
    const QString caption = Fmt(AplText("rstr_fmt_Operation"), ConsoleText(ctRenameMenu));
    QString name = item->Caption(); // the stored name: the tree may show its translation
    if (!inputName(caption, name) || NameIsBlank(name, caption))
        return;
    relyOn({reliedNode(node)});
    opMENUPACK->ExecProc(QStringLiteral("UPD_MENU"), {item->ID_CFG, name, item->Caption()});
    FSession->Commit();
    FChanged = true;
    LoadMenu(selectionPath());
}

void TMenuConfig::acDelMenuExecute()
{
    QTreeWidgetItem *node = tvMenu->currentItem();
    if (!node)
        throw Exception(QStringLiteral("TMenuConfig.acDelMenuExecute: node = nil"));
    const int kind = NodeKind(node);
    if (kind != nkGroup && kind != nkService)
        throw Exception(QStringLiteral("TMenuConfig.acDelMenuExecute: ImageIndex is not correct"));
    // A row outside the menu is asked about by its name, without the reason its node shows.
    const QString name = IsLostNode(node) && NodeItem(node) ? NodeItem(node)->Caption() : node->text(0);
    if (AskQuestion(Fmt(ConsoleText(kind == nkGroup ? ctDeleteMenuQ : ctDeleteServiceQ), name)) != IDYES)
        return;
    const QList<QVariant> parent = selectionPath().mid(1);
    DeleteNodeTree(node);
    LoadMenu(parent);
}

void TMenuConfig::DeleteNodeTree(QTreeWidgetItem *node)
{
    deleteBranch(node);
    FSession->Commit();
    FChanged = true;
}

void TMenuConfig::deleteBranch(QTreeWidgetItem *node)
{
    while (QTreeWidgetItem *child = node->child(0)) {
        if (child->childCount() == 0)
            DeleteMenuItem(child);
        else
            deleteBranch(child);
    }
    DeleteMenuItem(node);
}

void TMenuConfig::DeleteMenuItem(QTreeWidgetItem *node)
{
    const TMnuItem *item = NodeItem(node);
    if (!item) {
        delete node;
        return;
    }
    relyOn({reliedNode(node)});
    // The row as it was read: its id (none for a row without one), a group's name, the access group.
    opMENUPACK->ExecProc(QStringLiteral("DEL_MENUITEM"),
                         {node->data(0, kIdRole), NodeKind(node) == nkGroup ? QVariant(item->Caption()) : QVariant(),
                          Access->CurrentId()});
    if (FStartNode == node)
        FStartNode = nullptr;
    delete node;
}

void TMenuConfig::acAddServiceExecute()
{
    QTreeWidgetItem *node = tvMenu->currentItem();
    const TMnuItem *group = NodeItem(node);
    if (!group || NodeKind(node) != nkGroup || IsLostNode(node))
        return;
    QSet<int> inMenu;
    for (const TMenuRow &row : m_rows)
        if (!row.IsGroup)
            inMenu.insert(int(row.ItemId.value_or(0)));
    TSrvItemArray items;
    TSrvModeArray modes;
    if (!ChooseServicesProc(items, modes, [&inMenu](int itemId) { return !inMenu.contains(itemId); }))
        return;
    QList<QVariant> added = selectionPath();
    for (int i = 0; i < items.size(); ++i) {
        const TSrvItem &service = items.at(i);
        const QString name = TranslateAppText(service.SrvName);
        const QString exists = Fmt(AplText("rstr_fmtmsg_ObjectExsts"), Fmt(AplText("rstr_fmt_AplService"), name));
        if (inMenu.contains(service.ItemId)) {
            ShowNotification(exists, MB_ICONEXCLAMATION);
            continue;
        }
        relyOn({reliedNode(node), {TReliedRow::Service, service.ItemId, name}});
        try {
            opMENUPACK->ExecProc(QStringLiteral("INS_MENUITEM"),
                                 {0, group->ID_CFG, Access->CurrentId(), service.ItemId, modes.value(i)});
        } catch (const EDAError &e) {
            if (e.ErrorCode() != kUniqueViolation)
                throw;
            // Another administrator put it in meanwhile.
            FSession->Rollback();
            ShowNotification(exists, MB_ICONEXCLAMATION);
            continue;
        }
        FSession->Commit();
        inMenu.insert(service.ItemId);
        added.prepend(opMENUPACK->ParamByName(QStringLiteral("PID")).AsVariant());
        FChanged = true;
    }
    LoadMenu(added);
}

void TMenuConfig::acDelServiceExecute()
{
    if (pcMain->currentIndex() == 1) {
        tsServices->DeleteService();
        return;
    }
    QTreeWidgetItem *node = tvMenu->currentItem();
    if (!node)
        throw Exception(QStringLiteral("TMenuConfig.acDelServiceExecute: node = nil"));
    if (NodeKind(node) != nkService)
        throw Exception(QStringLiteral("TMenuConfig.acDelServiceExecute: ImageIndex is not correct"));
    if (AskQuestion(Fmt(ConsoleText(ctDeleteMenuItemQ), node->text(0))) != IDYES)
        return;
    const QList<QVariant> parent = selectionPath().mid(1);
    DeleteNodeTree(node);
    LoadMenu(parent);
}

void TMenuConfig::acChgRightsExecute()
{
    QTreeWidgetItem *node = tvMenu->currentItem();
    TMnuItem *item = NodeItem(node);
    if (!item || item->ItemId < 0 || serviceMissing(node))
        return;
    // What another administrator ticked meanwhile is shown, not overwritten unseen.
    item->AccessList().Clear();
    item->AccessList().FetchIsNeed();
    const QString seen = item->GetMode();
    if (seen.isEmpty())
        return;
    if (!EditRightsProc(item))
        return;
    relyOn({reliedNode(node)});
    item->AccessList().UpdateData(seen);
    FSession->Commit();
    item->PrepareRight(&m_ilRights);
    FChanged = true;
}

// "Переместить в группу": any group of the menu takes the node as its last
// entry, an empty nested group too; the top level takes groups only.
void TMenuConfig::acMoveToGroupExecute()
{
    QTreeWidgetItem *node = tvMenu->currentItem();
    if (!NodeItem(node) || IsLostNode(node))
        return;
    QTreeWidgetItem *target = ChooseGroupProc(tvMenu->topLevelItem(0), node, NodeKind(node) == nkGroup);
    if (!target || target == node->parent())
        return;
    const TMnuItem *group = NodeItem(target);
    relyOn({reliedNode(node)});
    if (group)
        m_relied << reliedNode(target);
    moveNode(node, group ? group->ID_CFG : 0, 0);
}

// "Просмотр меню группы": what a user of the current access group gets, read afresh.
void TMenuConfig::acPreviewMenuExecute()
{
    if (Access->AccessTbl->IsEmpty())
        return;
    LoadMenu(selectionPath());
    ShowMenuPreview(this, TranslateAppText(Access->CurrentName()), PlanMenu(m_rows, m_catalogue, ReadCreateSeps()));
}

// ---------------------------------------------------------------- drag and drop

// Where a drop puts the start node: its new owner and the sort order sent to
// MOVE_ITEM (0: after every row of the owner). None when the drop is refused.
std::optional<TMenuConfig::TDropPlace> TMenuConfig::dropPlace(QTreeWidgetItem *start, QTreeWidgetItem *finish) const
{
    const TMnuItem *moved = NodeItem(start);
    const bool service = NodeKind(start) == nkService;
    if (NodeKind(finish) == nkRoot)
        return service ? std::nullopt : std::optional<TDropPlace>(TDropPlace{0, 0});
    const TMnuItem *target = NodeItem(finish);
    if (!moved || !target)
        return std::nullopt;
    // A row without a service never holds others.
    if (NodeKind(finish) == nkService && target->ItemId <= 0)
        return std::nullopt;
    // Into a top-level group, after its last row.
    if (target->OwnerId == 0 && target->SortOrder() != 0 && NodeKind(finish) == nkGroup)
        return TDropPlace{target->ID_CFG, 0};
    // Beside the target; a service never stands at the top level.
    if (service && target->OwnerId == 0)
        return std::nullopt;
    return TDropPlace{target->OwnerId, target->SortOrder()};
}

bool TMenuConfig::CanMoveNode(QTreeWidgetItem *startNode, QTreeWidgetItem *finishNode)
{
    try {
        if (!finishNode)
            return false;
        if (!startNode)
            throw Exception(QStringLiteral("TMenuConfig.CanMoveNode: StartNode is not defined"));
        if (finishNode == startNode)
            return false;
        for (QTreeWidgetItem *up = finishNode->parent(); up; up = up->parent())
            if (up == startNode)
                return false;
        // Nothing goes into the rows outside the menu; of those, a row without an id, or with the top
        // level's, cannot be moved.
        if (NodeKind(finishNode) == nkLostRows || IsLostNode(finishNode) || NodeKind(startNode) == nkLostRows)
            return false;
        if (IsLostNode(startNode) && startNode->data(0, kIdRole).toLongLong() == 0)
            return false;
        const TMnuItem *start = NodeItem(startNode);
        if (!start)
            throw Exception(QStringLiteral("TMenuConfig.CanMoveNode: StartMnu is not defined"));
        if (NodeKind(finishNode) == nkRoot && start->ItemId > 0)
            return false;
        if (NodeKind(finishNode) != nkRoot && !NodeItem(finishNode))
            throw Exception(QStringLiteral("TMenuConfig.CanMoveNode: FinishMnu is not defined"));
        return dropPlace(startNode, finishNode).has_value();
    } catch (const Exception &e) {
        ShowMessageBox(e.message().trimmed(), AplText("rstrError"), MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
        return false;
    }
}

void TMenuConfig::EndDrag(QTreeWidgetItem *target)
{
    if (!FStartNode)
        throw Exception(QStringLiteral("TMenuConfig.tvMenuEndDrag: StartNode is not defined"));
    if (!CanMoveNode(FStartNode, target))
        return;
    const std::optional<TDropPlace> place = dropPlace(FStartNode, target);
    relyOn({reliedNode(FStartNode)});
    if (NodeItem(target))
        m_relied << reliedNode(target);
    moveNode(FStartNode, place->owner, place->sortOrder);
}

// Writes the move with where the node stood when it was read (moved meanwhile
// by another administrator, it is refused) and keeps it current.
void TMenuConfig::moveNode(QTreeWidgetItem *node, int owner, int sortOrder)
{
    const TMnuItem *moved = NodeItem(node);
    const QVariant id = node->data(0, kIdRole);
    opMENUPACK->ExecProc(QStringLiteral("MOVE_ITEM"),
                         {moved->ID_CFG, owner, sortOrder, moved->OwnerId, moved->SortOrder()});
    FSession->Commit();
    FChanged = true;
    LoadMenu({id});
}

// ---------------------------------------------------------------- failures

void TMenuConfig::guarded(const std::function<void()> &action)
{
    const QList<QVariant> where = selectionPath();
    const int accessId = Access->CurrentId();
    const TReliedRow accessGroup{TReliedRow::AccessGroup, accessId ? QVariant(accessId) : QVariant(),
                                 TranslateAppText(Access->CurrentName())};
    // An action run inside another (a list reopened) keeps the outer one's rows.
    const QList<TReliedRow> outer = std::exchange(m_relied, {});
    try {
        action();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        QList<TReliedRow> relied{accessGroup};
        relied << m_relied;
        if (FSession) {
            try {
                FSession->Rollback();
            } catch (const std::exception &rollback) {
                qCWarning(lcConsole) << "the menu editor's rollback failed:" << ExceptionMessage(rollback);
            }
        }
        while (tsServices->SrvItemTbl->ControlsDisabled())
            tsServices->SrvItemTbl->EnableControls();
        while (MenuCfgTbl->ControlsDisabled())
            MenuCfgTbl->EnableControls();
        m_loading = false;
        const auto *database = dynamic_cast<const EDAError *>(&e);
        if (database) {
            // The call may have relied on rows another administrator changed: show what is there now.
            try {
                tsServices->Refresh();
                Access->Reopen(accessGroup.id, false, where);
            } catch (const std::exception &again) {
                qCWarning(lcConsole) << "the menu editor could not read its data again:" << ExceptionMessage(again);
            }
        }
        const bool conflict = database && IsConflict(*database);
        ShowMessageBox(failureText(e, relied), AplText(conflict ? "rstrNotification" : "rstrError"),
                       conflict ? MB_ICONEXCLAMATION : MB_ICONSTOP);
    }
    m_relied = outer;
}

bool TMenuConfig::stillThere(const TReliedRow &row) const
{
    switch (row.kind) {
    case TReliedRow::AccessGroup:
        return Access->Has(row.id);
    case TReliedRow::MenuGroup:
    case TReliedRow::MenuEntry:
        return !row.id.isNull() && std::any_of(m_rows.begin(), m_rows.end(), [&row](const TMenuRow &r) {
            return r.Id && *r.Id == row.id.toLongLong();
        });
    case TReliedRow::Service:
        return m_catalogue.contains(row.id.toLongLong());
    }
    return false;
}

// What the user reads of a failure: another administrator's change in the
// session's language, naming the first relied row (the access group first)
// that went, else the first one the action relied on; any other refusal
// without the database's code in front.
QString TMenuConfig::failureText(const std::exception &e, const QList<TReliedRow> &relied) const
{
    const auto *database = dynamic_cast<const EDAError *>(&e);
    if (!database)
        return ExceptionMessage(e).trimmed();
    if (IsConflict(*database)) {
        for (const TReliedRow &row : relied)
            if (!row.id.isNull() && !stillThere(row))
                return ConflictText(row, true);
        return ConflictText(relied.size() > 1 ? relied.at(1) : relied.first(), false);
    }
    // A group or service that took an entry meanwhile is not deleted: another administrator changed it.
    if (database->ErrorCode() == kChildRecordFound && relied.size() > 1)
        return ConflictText(relied.at(1), false);
    if (database->ErrorCode() == kNotNullViolation)
        return Fmt(AplText("rstr_fmtmsg_EmptyDataInField"), AplText("rstrTitle")) + QStringLiteral("\r\n") +
               RefusalText(*database);
    if (database->ErrorCode() == OraErr::PackageRefusal || database->ErrorCode() == OraErr::ValueTooLarge)
        return RefusalText(*database);
    return ExceptionMessage(e).trimmed();
}

// ---------------------------------------------------------------- entry

bool ShowMenuCfg(const QString &schemeName, double configId)
{
    TDM *dm = DM();
    std::unique_ptr<TMenuConfig> form = TComBaseForm::Create<TMenuConfig>(nullptr, schemeName, configId);
    form->SetSession(dm->CommonSession);
    ExecModalDialog(form.get());
    return form->Changed();
}
