#include "Console/ShowMenuCfgIMPL.h"

#include "Console/DLLLoaderIMPL.h"
#include "Console/DMIMPL.h"
#include "Console/RightsEditIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uMenu.h"
#include "Console/uMenuRows.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/DAError.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/OraStoredProc.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/ComUnits/uOraFunctions.h"
#include "Ui/DataSetModel.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

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

QString ru(const char *russian, const char *english)
{
    return TranslateAppText(SelectText(QString::fromUtf8(russian), QString::fromUtf8(english)));
}

QString rstr(const char *id) { return TranslateAplText(QString::fromLatin1(id)); }

int Ask(const QString &text, unsigned buttons = MB_YESNO)
{
    return ShowMessageBox(text, rstr("rstrConfirmation"), buttons | MB_ICONQUESTION);
}

// The CREATEBTN cell drawn as a check box.
class TCheckBoxDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        cell.text.clear();
        QStyle *style = cell.widget ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        QStyleOptionButton box;
        const int side = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, cell.widget);
        box.rect = QRect(option.rect.center() - QPoint(side / 2, side / 2), QSize(side, side));
        box.state = QStyle::State_Enabled | (index.data().toInt() == 1 ? QStyle::State_On : QStyle::State_Off);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, cell.widget);
    }
};

} // namespace

std::function<bool(TSrvItemArray &, TSrvModeArray &, const TSrvCheck &)> TMenuConfig::ChooseServicesProc =
    ChooseServices;
std::function<bool(TMnuItem *)> TMenuConfig::EditRightsProc = EditRights;
std::function<bool(TBaseServiceList &, const std::function<bool(const QString &)> &)> TMenuConfig::ShowLoaderProc =
    [](TBaseServiceList &list, const std::function<bool(const QString &)> &filter) { return ShowLoader(list, filter); };

// ---------------------------------------------------------------- the tree widget

TMenuTree::TMenuTree(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void TMenuTree::mousePressEvent(QMouseEvent *event)
{
    QTreeWidgetItem *item = itemAt(event->position().toPoint());
    QTreeWidget::mousePressEvent(event);
    if (OnPress)
        OnPress(item, event->button(), event->globalPosition().toPoint());
}

void TMenuTree::dragEnterEvent(QDragEnterEvent *event) { event->acceptProposedAction(); }

void TMenuTree::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeWidget::dragMoveEvent(event); // scrolls near the edges
    if (OnDragOver && OnDragOver(itemAt(event->position().toPoint())))
        event->acceptProposedAction();
    else
        event->ignore();
}

// The form writes the move and rebuilds the tree; the drag reports a copy so
// that the view removes nothing itself.
void TMenuTree::dropEvent(QDropEvent *event)
{
    QTreeWidgetItem *target = itemAt(event->position().toPoint());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (OnDrop)
        OnDrop(target);
}

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
    tsServices = new QWidget(pcMain);
    pcMain->addTab(tsMenu, ConsoleText(ctMenuConfiguration));
    pcMain->addTab(tsServices, ConsoleText(ctServiceList));
    createMenuTab();
    createServicesTab();
    btnClose = new QPushButton(ru("Закрыть", "Close"), this);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pcMain);
    layout->addLayout(bottom);
    SetObjectNames({{pcMain, "pcMain"}, {tsMenu, "tsMenu"}, {tsServices, "tsServices"}, {btnClose, "btnClose"}});

    pcMain->setCurrentIndex(0);
    laDllName->clear();
    connect(pcMain, &QTabWidget::currentChanged, this, [this](int index) {
        pcMainChange();
        if (index == 1)
            guarded([this] { acRefreshSrvExecute(); });
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
    AccessTbl = new TSmartQuery(this);
    AccessTbl->setObjectName(QStringLiteral("AccessTbl"));
    AccessTbl->SetSQLText(QStringLiteral("SELECT *\nFROM &shema.V_ACCESS\n&ORDER &FIELD"));
    AccessTbl->MacroByName(QStringLiteral("ORDER")).SetValue(QStringLiteral("ORDER BY"));
    AccessTbl->MacroByName(QStringLiteral("FIELD")).SetValue(QStringLiteral("NAME"));
    AccessTbl->SQLRefresh = QStringList{QStringLiteral("WHERE"), QStringLiteral("ACCESSID = :ACCESSID")};
    // The grid never changes a row itself: each change runs its action and is cancelled.
    AccessTbl->BeforeInsert = [this](TDataSet *) {
        guarded([this] { acInsAccessExecute(); });
        throw EAbort(QString());
    };
    AccessTbl->BeforeEdit = [this](TDataSet *) {
        guarded([this] { acUpdAccessExecute(); });
        throw EAbort(QString());
    };
    AccessTbl->BeforeDelete = [this](TDataSet *) {
        guarded([this] { acDelAccessExecute(); });
        throw EAbort(QString());
    };
    AccessDSrc = new TDataSource(this, AccessTbl);
    setupAccessFields();
    AccessTbl->AfterScroll = [this](TDataSet *) {
        if (!m_loading)
            guarded([this] { LoadMenu(); });
    };
    AccessTbl->AfterRefresh = AccessTbl->AfterScroll;

    MenuCfgTbl = new TSmartQuery(this);
    MenuCfgTbl->setObjectName(QStringLiteral("MenuCfgTbl"));
    MenuCfgTbl->SetSQLText(
        QStringLiteral("SELECT * FROM &shema.V_MENUCFG\nWHERE ACCESSID=:ACCESSID\nORDER BY SORT_ORDER"));
    MenuCfgTbl->SetReadOnly(true);

    SrvItemTbl = new TSmartQuery(this);
    SrvItemTbl->setObjectName(QStringLiteral("SrvItemTbl"));
    SrvItemTbl->SetSQLText(
        QStringLiteral("SELECT SI.*,\n0 AS F_SEL,\nnvl(&shema.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), '?' || "
                       "SI.SRVNAME) as TR_SRVNAME\nFROM &shema.V_SRVITEMS SI\nORDER BY SI.SRVNAME,\nSI.DLLNAME"));
    SrvItemTbl->SQLUpdate = QStringList{QStringLiteral("begin"), QStringLiteral("null;"), QStringLiteral("end;")};
    SrvItemTbl->SQLRefresh = QStringList{QStringLiteral("WHERE"), QStringLiteral("ITEMID = :ITEMID")};
    SrvItemTbl->SetReadOnly(true);
    setupCatalogueFields();
    SrvItemDSrc = new TDataSource(this, SrvItemTbl);

    opMENUPACK = new TOraPackage(this);
    opMENUPACK->setObjectName(QStringLiteral("opMENUPACK"));
    opMENUPACK->SetPackageName(QStringLiteral("Zandrell_pro.MENUPACK"));
    spRight = new TOraStoredProc(this);
    spRight->setObjectName(QStringLiteral("spRight"));
    spRight->SetStoredProcName(QStringLiteral("Zandrell_pro.MENUPACK.GET_MENU_ITEM_RIGHT"));
    ViewDS = new TQRByDataSet(this);
    ViewDS->setObjectName(QStringLiteral("ViewDS"));
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
                                                     QStyle::SP_FileDialogToParent};
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
    acRefreshMenu = newAction("acRefreshMenu", ru("Обновить", "Refresh"), QKeySequence(), -1);
    acChgRights =
        newAction("acChgRights", ru("Изменить права доступа", "Change access rights"), QKeySequence(Qt::Key_F2), 5);
    acAddSrv = newAction("acAddSrv", ru("Добавить", "Add"), QKeySequence(Qt::CTRL | Qt::Key_A), -1);
    acDelSrv = newAction("acDelSrv", ru("Удалить", "Delete"), QKeySequence(Qt::CTRL | Qt::Key_D), -1);
    acRefreshSrv = newAction("acRefreshSrv", ru("Обновить", "Refresh"), QKeySequence(), -1);
    acDelEntires =
        newAction("acDelEntires", ConsoleText(ctRemoveServiceEverywhere), QKeySequence(Qt::CTRL | Qt::Key_Delete), 3);
    acSellAll = newAction("acSellAll", ru("Выделить все", "Select all"), QKeySequence(Qt::CTRL | Qt::Key_S), -1);
    acDeSellAll =
        newAction("acDeSellAll", ru("Снять выделение", "Clear the selection"), QKeySequence(Qt::CTRL | Qt::Key_U), -1);
    acInvSellAll = newAction("acInvSellAll", ru("Обратить выделение", "Invert the selection"),
                             QKeySequence(Qt::CTRL | Qt::Key_I), -1);
    acInsAccess = newAction("acInsAccess", ru("Добавить", "Add"), QKeySequence(), -1);
    acUpdAccess = newAction("acUpdAccess", ru("Изменить", "Edit"), QKeySequence(), -1);
    acDelAccess = newAction("acDelAccess", ru("Удалить", "Delete"), QKeySequence(Qt::Key_Delete), -1);
    acRefreshAccess = newAction("acRefreshAccess", ru("Обновить", "Refresh"), QKeySequence(), -1);
    acRightsAccess = newAction("acRightsAccess", QString(), QKeySequence(), -1);
    acCreateLike = newAction("acCreateLike", ConsoleText(ctCreateAs), QKeySequence(), 6);
    acSellAll->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    acDeSellAll->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    acInvSellAll->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));

    auto on = [this](QAction *action, void (TMenuConfig::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(acInsMenu, &TMenuConfig::acInsMenuExecute);
    on(acDelMenu, &TMenuConfig::acDelMenuExecute);
    on(acRenameMenu, &TMenuConfig::acRenameMenuExecute);
    on(acAddService, &TMenuConfig::acAddServiceExecute);
    on(acDelService, &TMenuConfig::acDelServiceExecute);
    on(acRefreshMenu, &TMenuConfig::LoadMenu);
    on(acChgRights, &TMenuConfig::acChgRightsExecute);
    on(acAddSrv, &TMenuConfig::acAddSrvExecute);
    on(acDelSrv, &TMenuConfig::deleteService);
    on(acRefreshSrv, &TMenuConfig::acRefreshSrvExecute);
    on(acDelEntires, &TMenuConfig::acDelEntiresExecute);
    on(acInsAccess, &TMenuConfig::acInsAccessExecute);
    on(acUpdAccess, &TMenuConfig::acUpdAccessExecute);
    on(acDelAccess, &TMenuConfig::acDelAccessExecute);
    on(acRefreshAccess, &TMenuConfig::acRefreshAccessExecute);
    on(acRightsAccess, &TMenuConfig::acRightsAccessExecute);
    on(acCreateLike, &TMenuConfig::acCreateLikeExecute);
    connect(acSellAll, &QAction::triggered, this, [this] { guarded([this] { tbSelectType(1); }); });
    connect(acDeSellAll, &QAction::triggered, this, [this] { guarded([this] { tbSelectType(0); }); });
    connect(acInvSellAll, &QAction::triggered, this, [this] { guarded([this] { tbSelectType(-1); }); });

    pmMainMenu = new QMenu(this);
    pmMainMenu->addAction(acInsMenu);
    pmMenu = new QMenu(this);
    pmMenu->addActions({acInsMenu, acAddService});
    pmMenu->addSeparator();
    pmMenu->addAction(acRenameMenu);
    pmMenu->addSeparator();
    pmMenu->addAction(acDelMenu);
    pmServices = new QMenu(this);
    pmServices->addActions({acDelService, acChgRights});
    pmServiceMnu = new QMenu(this);
    pmServiceMnu->addAction(acDelEntires);
    pmLostRow = new QMenu(this);
    pmLostRow->addAction(acDelMenu);
    SetObjectNames(
        {{pmMainMenu, "pmMainMenu"}, {pmMenu, "pmMenu"}, {pmServices, "pmServices"}, {pmServiceMnu, "pmServiceMnu"}});
}

namespace {

// A navigation bar's buttons in the order they stand: the action name's suffix,
// the picture of the resource library, the hint, the style's stand-in picture.
struct TNavigatorButton {
    const char *suffix;
    int bitmap;
    const char *hint;
    QStyle::StandardPixmap pixmap;
};
constexpr TNavigatorButton kNavigatorButtons[] = {
    {"First", 101, "rstr_to_FirstRec", QStyle::SP_MediaSkipBackward},
    {"Prior", 102, "rstr_to_PriorRec", QStyle::SP_MediaSeekBackward},
    {"Next", 103, "rstr_to_NextRec", QStyle::SP_MediaSeekForward},
    {"Last", 104, "rstr_to_LastRec", QStyle::SP_MediaSkipForward},
    {"Insert", 106, "rstr_to_Add", QStyle::SP_FileDialogNewFolder},
    {"Delete", 108, "rstr_to_Delete", QStyle::SP_TrashIcon},
    {"Edit", 107, "rstr_to_Change", QStyle::SP_FileDialogContentsView},
    {"Refresh", 105, "rstr_to_RefreshData", QStyle::SP_BrowserReload},
};

const TNavigatorButton *navigatorButton(const QString &suffix)
{
    for (const TNavigatorButton &button : kNavigatorButtons)
        if (suffix == QLatin1String(button.suffix))
            return &button;
    return nullptr;
}

} // namespace

// A navigation bar over a grid: moves through the rows, and its insert,
// delete and refresh run the form's actions instead of changing the grid.
QToolBar *TMenuConfig::newNavigator(const char *name, QWidget *parent, bool withEdit)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setIconSize(kBarIconSize);
    TDataSet *dataSet = withEdit ? static_cast<TDataSet *>(AccessTbl) : SrvItemTbl;
    // hint: the catalogue's own hint of a button, else the navigation bars' one.
    auto button = [&](const char *suffix, const std::function<void()> &run, const QString &hint = QString()) {
        const TNavigatorButton *kind = navigatorButton(QString::fromLatin1(suffix));
        const QString text = hint.isEmpty() ? rstr(kind->hint) : hint;
        QAction *action = bar->addAction(style()->standardIcon(kind->pixmap), text);
        action->setObjectName(QString::fromLatin1(name) + QString::fromLatin1(suffix));
        action->setToolTip(text);
        connect(action, &QAction::triggered, this, [this, run] { guarded(run); });
    };
    // The grid's own insert, edit and delete run the form's actions and are cancelled.
    auto unlessCancelled = [](const std::function<void()> &change) {
        try {
            change();
        } catch (const EAbort &) {
        }
    };
    if (!withEdit)
        button("First", [dataSet] { dataSet->First(); });
    button("Prior", [dataSet] { dataSet->Prior(); });
    button("Next", [dataSet] { dataSet->Next(); });
    if (!withEdit) {
        button("Last", [dataSet] { dataSet->Last(); });
        button(
            "Insert", [this] { acAddSrvExecute(); }, ru("Добавить (Ctrl+A)", "Add (Ctrl+A)"));
        button(
            "Delete", [this] { deleteService(); }, ru("Удалить (Ctrl+D)", "Delete (Ctrl+D)"));
        button("Refresh", [this] { acRefreshSrvExecute(); });
    } else {
        button("Insert", [this, unlessCancelled] { unlessCancelled([this] { AccessTbl->Insert(); }); });
        button("Delete", [this, unlessCancelled] {
            if (!AccessTbl->IsEmpty())
                unlessCancelled([this] { AccessTbl->Delete(); });
        });
        button("Edit", [this, unlessCancelled] { unlessCancelled([this] { AccessTbl->Edit(); }); });
        button("Refresh", [this] { acRefreshAccessExecute(); });
    }
    return bar;
}

void TMenuConfig::createMenuTab()
{
    auto *accessPanel = new QWidget(tsMenu);
    auto *accessCaption = new QLabel(ConsoleText(ctAccessForUser), accessPanel);
    dbgAccess = new TDBGrid(accessPanel);
    dbgAccess->SetDataSource(AccessDSrc);
    dbgAccess->setToolTip(ru("Группы ТО", "Groups"));
    dbgAccess->horizontalHeader()->setVisible(false);
    dbgAccess->horizontalHeader()->setStretchLastSection(true);
    dbgAccess->verticalHeader()->setVisible(false);
    dbgAccess->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbnavAccess = newNavigator("dbnavAccess", accessPanel, true);
    dbnavAccess->addAction(acCreateLike);
    dbgAccess->viewport()->installEventFilter(this);
    // Del in the group list deletes the group, never a tree entry.
    dbgAccess->addActions({acDelAccess});
    connect(dbgAccess, &QAbstractItemView::doubleClicked, this, [this] { acUpdAccess->trigger(); });
    auto *accessLayout = new QVBoxLayout(accessPanel);
    accessLayout->setContentsMargins(0, 0, 0, 0);
    accessLayout->addWidget(accessCaption);
    accessLayout->addWidget(dbnavAccess);
    accessLayout->addWidget(dbgAccess);

    pnlMenu = new QWidget(tsMenu);
    tlbrMenu = new QToolBar(pnlMenu);
    tlbrMenu->setIconSize(kBarIconSize);
    tlbrMenu->addActions({acInsMenu, acDelMenu, acRenameMenu, acAddService, acDelService});
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
            if (IsLostNode(item))
                pmLostRow->popup(globalPos);
            else
                menus[NodeKind(item)]->popup(globalPos);
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
    pnlMenu->addActions({acInsMenu, acDelMenu, acRenameMenu, acAddService, acDelService, acChgRights, acRefreshMenu});

    auto *split = new QSplitter(Qt::Horizontal, tsMenu);
    split->addWidget(accessPanel);
    split->addWidget(pnlMenu);
    split->setStretchFactor(1, 2);
    auto *layout = new QHBoxLayout(tsMenu);
    layout->addWidget(split);
    SetObjectNames({{dbgAccess, "dbgAccess"},
                    {pnlMenu, "pnlMenu"},
                    {tlbrMenu, "tlbrMenu"},
                    {tvMenu, "tvMenu"},
                    {tlbrAccess, "tlbrAccess"},
                    {lvRightList, "lvRightList"},
                    {laDllName, "laDllName"}});
}

void TMenuConfig::createServicesTab()
{
    dbgServices = new TDBGrid(tsServices);
    dbgServices->SetDataSource(SrvItemDSrc);
    dbgServices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgServices->verticalHeader()->setVisible(false);
    dbgServices->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dbgServices, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { pmServiceMnu->popup(dbgServices->viewport()->mapToGlobal(pos)); });
    connect(dbgServices, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        const TField *field = dbgServices->Model()->FieldOfColumn(index.column());
        if (field && field->FieldName().compare(QLatin1String("CREATEBTN"), Qt::CaseInsensitive) == 0)
            guarded([this] { ToggleCreateBtn(); });
    });
    dbgServices->installEventFilter(this);
    dbgServices->viewport()->installEventFilter(this);
    dbgServices->setItemDelegateForColumn(2, new TCheckBoxDelegate(dbgServices)); // CREATEBTN
    dbnavServices = newNavigator("dbnavServices", tsServices, false);
    tlbrServices = new QToolBar(tsServices);
    tlbrServices->setIconSize(kBarIconSize);
    tlbrServices->addActions({acDelEntires, acSellAll, acDeSellAll, acInvSellAll});
    auto *bars = new QHBoxLayout;
    bars->addWidget(dbnavServices);
    bars->addWidget(tlbrServices);
    bars->addStretch();
    auto *layout = new QVBoxLayout(tsServices);
    layout->addLayout(bars);
    layout->addWidget(dbgServices);
    tsServices->addActions(
        {acAddSrv, acDelSrv, acRefreshSrv, acDelEntires, acSellAll, acDeSellAll, acInvSellAll, acDelService});
    // Ctrl+V in the catalogue's grid previews its printable listing.
    m_acViewDS = new QAction(this);
    m_acViewDS->setObjectName(QStringLiteral("acViewDS"));
    m_acViewDS->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m_acViewDS->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_acViewDS, &QAction::triggered, this, [this] { guarded([this] { acViewDSExecute(); }); });
    dbgServices->addAction(m_acViewDS);
    SetObjectNames({{dbgServices, "dbgServices"}, {tlbrServices, "tlbrServices"}});
}

// The grids' fields, in their column order; the others stay hidden.
void TMenuConfig::setupAccessFields()
{
    TField *name = AccessTbl->AddField(QStringLiteral("NAME"), TFieldType::ftString, 100, true);
    name->SetDisplayLabel(ru("Допуск", "Access"));
    name->SetDisplayWidth(34);
    AccessTbl->AddField(QStringLiteral("ACCESSID"), TFieldType::ftFloat)->SetVisible(false);
}

void TMenuConfig::setupCatalogueFields()
{
    struct TFieldDef {
        const char *name;
        TFieldType type;
        int size;
        QString label;
        int width;
    };
    const TFieldDef fields[] = {{"TR_SRVNAME", TFieldType::ftString, 4000, ru("Сервис", "Service"), 63},
                                {"SRVNAME", TFieldType::ftString, 50, QString(), 0},
                                {"DLLNAME", TFieldType::ftString, 50, ru("Файл", "File"), 30},
                                {"CREATEBTN", TFieldType::ftFloat, 0, ConsoleText(ctButton), 8},
                                {"ITEMID", TFieldType::ftFloat, 0, QString(), 0},
                                {"GUID", TFieldType::ftString, 50, QString(), 0},
                                {"F_SEL", TFieldType::ftFloat, 0, ru("Выбор", "Choice"), 0}};
    for (const TFieldDef &def : fields) {
        TField *field = SrvItemTbl->AddField(QString::fromLatin1(def.name), def.type, def.size);
        field->SetDisplayLabel(def.label);
        field->SetVisible(def.width > 0);
        if (def.width > 0)
            field->SetDisplayWidth(def.width);
    }
}

void TMenuConfig::SetSession(TOraSession *session)
{
    FSession = session;
    SetComponentsSession(this, session);
    // Without a language pack the catalogue shows the stored names.
    if (FSession && !ExistsLangPack(FSchema, FSession)) {
        SrvItemTbl->SetSQLText(QStringLiteral("SELECT SI.*, 0 AS F_SEL, SI.SRVNAME as TR_SRVNAME FROM "
                                              "&shema.V_SRVITEMS SI ORDER BY SI.SRVNAME, SI.DLLNAME"));
    }
    // The scheme goes into the texts once the components can be prepared on the session.
    fSetShema(this, FSchema);
}

void TMenuConfig::FormShow()
{
    guarded([this] {
        m_loading = true;
        AccessTbl->Open();
        MenuCfgTbl->Open();
        SrvItemTbl->Open();
        m_loading = false;
        LoadMenu();
    });
    acCreateLike->setEnabled(AccessTbl->Active() && !AccessTbl->IsEmpty());
    // The service name takes the width the file name and the flag leave.
    if (dbgServices->Model()->columnCount() == 3) {
        QHeaderView *header = dbgServices->horizontalHeader();
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    }
    pcMainChange();
}

void TMenuConfig::LoadGlyphs()
{
    const QPixmap close = ResourceBitmap(53);
    if (!close.isNull())
        btnClose->setIcon(QIcon(close));
    // The navigation bars' buttons take the library's pictures of their kind.
    for (QToolBar *bar : {dbnavAccess, dbnavServices}) {
        for (QAction *action : bar->actions()) {
            if (!action->objectName().startsWith(bar->objectName()))
                continue;
            const TNavigatorButton *kind = navigatorButton(action->objectName().mid(bar->objectName().size()));
            const QPixmap picture = kind ? ResourceBitmap(kind->bitmap) : QPixmap();
            if (!picture.isNull())
                action->setIcon(QIcon(picture));
        }
    }
}

void TMenuConfig::SetSources()
{
    TComBaseForm::SetSources();
    for (QObject *menu : {pmServices, pmServiceMnu, pmMenu, pmMainMenu, pmLostRow})
        AddNoTranslate(menu);
}

// ---------------------------------------------------------------- the tree

TMnuItem *TMenuConfig::NodeItem(const QTreeWidgetItem *node)
{
    return node ? reinterpret_cast<TMnuItem *>(node->data(0, kItemRole).value<quintptr>()) : nullptr;
}

int TMenuConfig::NodeKind(const QTreeWidgetItem *node) { return node ? node->data(0, kKindRole).toInt() : -1; }

int TMenuConfig::currentAccessId() const
{
    if (!AccessTbl->Active() || AccessTbl->IsEmpty())
        return 0;
    return qRound(AccessTbl->FieldByName(QStringLiteral("ACCESSID"))->AsFloat());
}

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

void TMenuConfig::LoadMenu()
{
    const bool wasLoading = m_loading;
    m_loading = true;
    FStartNode = nullptr;
    tvMenu->clear();
    FItems.clear(); // the previous tree's entries go with it
    laDllName->clear();
    lvRightList->clear();
    QTreeWidgetItem *root = addNode(nullptr, nkRoot, ConsoleText(ctMenuConfiguration), nullptr);
    try {
        MenuCfgTbl->Close();
        MenuCfgTbl->ParamByName(QStringLiteral("ACCESSID")).SetAsInteger(currentAccessId());
        MenuCfgTbl->Open();
        if (!SrvItemTbl->Active())
            SrvItemTbl->Open();
        m_rows = ReadMenuRows(MenuCfgTbl);
        readCatalogue();
        // A service registered by another administrator since the catalogue was read.
        const bool missing = std::any_of(m_rows.begin(), m_rows.end(), [this](const TMenuRow &row) {
            return !row.IsGroup && row.ItemId.value_or(0) > 0 && !m_catalogue.contains(int(*row.ItemId));
        });
        if (missing) {
            SrvItemTbl->Refresh();
            readCatalogue();
        }
        BuildTree(root);
    } catch (...) {
        tvMenu->expandAll();
        tvMenu->setCurrentItem(root);
        m_loading = wasLoading;
        throw;
    }
    tvMenu->expandAll();
    tvMenu->setCurrentItem(root);
    m_loading = wasLoading;
    ShowNodeInfo(root);
}

// The catalogue rows by ITEMID, with their translated names.
void TMenuConfig::readCatalogue()
{
    m_catalogue.clear();
    const int cId = SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->Index();
    const int cBtn = SrvItemTbl->FieldByName(QStringLiteral("CREATEBTN"))->Index();
    const int cGuid = SrvItemTbl->FieldByName(QStringLiteral("GUID"))->Index();
    const int cDll = SrvItemTbl->FieldByName(QStringLiteral("DLLNAME"))->Index();
    const int cName = SrvItemTbl->FieldByName(QStringLiteral("SRVNAME"))->Index();
    for (int r = 0; r < SrvItemTbl->RecordCount(); ++r) {
        TCatalogueEntry e;
        e.item.ItemId = SrvItemTbl->ValueAt(r, cId).toInt();
        e.item.CreateBtn = SrvItemTbl->ValueAt(r, cBtn).toInt() == 1;
        e.item.GUID = SrvItemTbl->ValueAt(r, cGuid).toString();
        e.item.DLLNAME = SrvItemTbl->ValueAt(r, cDll).toString();
        e.item.SrvName = SrvItemTbl->ValueAt(r, cName).toString();
        e.name = TranslateAppText(e.item.SrvName);
        m_catalogue.insert(e.item.ItemId, e);
    }
}

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
    QTreeWidgetItem *lost = addNode(nullptr, nkLostRows, ru("Строки вне меню", "Rows outside the menu"), nullptr);
    lost->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    for (const TLeftOutRow &left : shape.LeftOut)
        addRowNode(lost, m_rows[size_t(left.Row)], TranslateAppText(left.Reason));
}

// A node for a menu row; reason: why the row lies outside the menu (empty when it is in it).
QTreeWidgetItem *TMenuConfig::addRowNode(QTreeWidgetItem *parent, const TMenuRow &row, const QString &reason)
{
    const int id = int(row.Id.value_or(0)), owner = int(row.Owner.value_or(0));
    std::unique_ptr<TMnuItem> item;
    QString name;
    if (row.IsGroup) {
        item = std::make_unique<TMnuItem>(id, owner, -1, lvRightList);
        item->SetCaption(row.Name);
        name = item->DisplayCaption();
    } else {
        const int itemId = int(row.ItemId.value_or(0));
        item = std::make_unique<TMnuItem>(id, owner, itemId, lvRightList);
        name = rstr("rstr_stt_NotDefined");
        if (itemId > 0) {
            const auto found = m_catalogue.constFind(itemId);
            if (found == m_catalogue.constEnd()) {
                // A row naming a service the catalogue lost stays in the tree, so it can be deleted.
                name += QStringLiteral(" (ItemID = %1)").arg(itemId);
            } else {
                name = found->name;
                item->SetDllName(found->item.DLLNAME);
                item->SetGuid(found->item.GUID);
            }
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

bool TMenuConfig::IsLostNode(const QTreeWidgetItem *node) { return node && node->data(0, kLostRole).toBool(); }

void TMenuConfig::setTreeActions(int kind)
{
    tlbrMenu->setVisible(true);
    tlbrAccess->setVisible(true);
    QMenu *menus[] = {pmMainMenu, pmMenu, pmServices};
    QList<QAction *> shown = kind >= 0 && kind <= 2 ? menus[kind]->actions() : QList<QAction *>();
    if (IsLostNode(tvMenu->currentItem()))
        shown = {acDelMenu}; // a row outside the menu takes nothing and is only deleted (or dragged back)
    for (QAction *action : {acInsMenu, acDelMenu, acRenameMenu, acAddService, acDelService, acChgRights}) {
        const bool on = shown.contains(action);
        action->setEnabled(on);
        action->setVisible(on);
    }
}

void TMenuConfig::ShowNodeInfo(QTreeWidgetItem *node)
{
    TMnuItem *item = NodeItem(node);
    if (node && NodeKind(node) == nkService && item && !IsLostNode(node)) {
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
    if (pcMain->currentIndex() == 1) {
        setTreeActions(-1);
        updateCatalogueActions();
    } else {
        for (QAction *action : {acAddSrv, acDelSrv, acDelEntires, acSellAll, acDeSellAll, acInvSellAll})
            action->setEnabled(false);
        ShowNodeInfo(tvMenu->currentItem());
    }
}

// The catalogue's actions, and Del there, are available on its tab with rows;
// on the menu tab the node kind decides about Del.
void TMenuConfig::updateCatalogueActions()
{
    const bool onTab = pcMain->currentIndex() == 1;
    const bool rows = onTab && SrvItemTbl->Active() && !SrvItemTbl->IsEmpty();
    acAddSrv->setEnabled(onTab);
    for (QAction *action : {acDelSrv, acDelEntires, acSellAll, acDeSellAll, acInvSellAll})
        action->setEnabled(rows);
    if (onTab) {
        acDelService->setEnabled(rows);
        acDelService->setVisible(true); // a hidden action takes no short cut
    }
}

// ---------------------------------------------------------------- menu actions

bool TMenuConfig::inputName(const QString &caption, QString &name)
{
    return lumInputQuery(caption, rstr("rstrTitle"), rstr("rstr_to_Apply"), rstr("rstr_to_Cancel"), name, 50);
}

bool TMenuConfig::nameIsBlank(QString &name, const QString &caption)
{
    // A cut at the length limit may have left half of a surrogate pair.
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    if (!name.trimmed().isEmpty())
        return false;
    ShowMessageBox(Fmt(rstr("rstr_fmtmsg_EmptyDataInField"), rstr("rstrTitle")), caption, MB_ICONINFORMATION);
    return true;
}

void TMenuConfig::acInsMenuExecute()
{
    const QString caption = Fmt(rstr("rstr_fmt_Operation"), ConsoleText(ctAddMenu));
    QString name;
    if (!inputName(caption, name) || nameIsBlank(name, caption))
        return;
    QTreeWidgetItem *node = tvMenu->currentItem();
    if (!node)
        return;
    const TMnuItem *parent = NodeItem(node);
    const int parentId = parent ? parent->ID_CFG : 0;
    opMENUPACK->ExecProc(QStringLiteral("INS_MENUGRP"), {0, name, parentId, currentAccessId()});
    FSession->Commit();
    FChanged = true;
    LoadMenu();
}

void TMenuConfig::acRenameMenuExecute()
{
    QTreeWidgetItem *node = tvMenu->currentItem();
    const TMnuItem *item = NodeItem(node);
    if (!item)
        return;
    const QString caption = Fmt(rstr("rstr_fmt_Operation"), ConsoleText(ctRenameMenu));
    QString name = node->text(0);
    if (!inputName(caption, name) || nameIsBlank(name, caption))
        return;
    opMENUPACK->ExecProc(QStringLiteral("UPD_MENU"), {item->ID_CFG, name, item->Caption()});
    FSession->Commit();
    node->setText(0, name);
    FChanged = true;
    LoadMenu();
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
    const QString question = Fmt(ConsoleText(kind == nkGroup ? ctDeleteMenuQ : ctDeleteServiceQ), name);
    if (Ask(question) != IDYES)
        return;
    DeleteNodeTree(node);
    LoadMenu();
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
    // The row as it was read: its id (none for a row without one), a group's name, the access group.
    opMENUPACK->ExecProc(QStringLiteral("DEL_MENUITEM"),
                         {node->data(0, kIdRole), NodeKind(node) == nkGroup ? QVariant(item->Caption()) : QVariant(),
                          currentAccessId()});
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
    const int groupId = group->ID_CFG;
    for (int i = 0; i < items.size(); ++i) {
        const TSrvItem &service = items.at(i);
        const QString exists =
            Fmt(rstr("rstr_fmtmsg_ObjectExsts"), Fmt(rstr("rstr_fmt_AplService"), TranslateAppText(service.SrvName)));
        if (inMenu.contains(service.ItemId)) {
            ShowNotification(exists, MB_ICONEXCLAMATION);
            continue;
        }
        try {
            opMENUPACK->ExecProc(QStringLiteral("INS_MENUITEM"),
                                 {0, groupId, currentAccessId(), service.ItemId, modes.value(i)});
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
        FChanged = true;
    }
    LoadMenu();
}

void TMenuConfig::acDelServiceExecute()
{
    if (pcMain->currentIndex() == 1) {
        deleteService();
        return;
    }
    QTreeWidgetItem *node = tvMenu->currentItem();
    if (!node)
        throw Exception(QStringLiteral("TMenuConfig.acDelServiceExecute: node = nil"));
    if (NodeKind(node) != nkService)
        throw Exception(QStringLiteral("TMenuConfig.acDelServiceExecute: ImageIndex is not correct"));
    if (Ask(Fmt(ConsoleText(ctDeleteMenuItemQ), node->text(0))) != IDYES)
        return;
    DeleteNodeTree(node);
    LoadMenu();
}

void TMenuConfig::acChgRightsExecute()
{
    TMnuItem *item = NodeItem(tvMenu->currentItem());
    if (!item || item->ItemId < 0)
        return;
    // What another administrator ticked meanwhile is shown, not overwritten unseen.
    item->AccessList().Clear();
    item->AccessList().FetchIsNeed();
    const QString seen = item->GetMode();
    if (seen.isEmpty())
        return;
    if (!EditRightsProc(item))
        return;
    item->AccessList().UpdateData(seen);
    FSession->Commit();
    item->PrepareRight(&m_ilRights);
    FChanged = true;
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
        ShowMessageBox(e.message().trimmed(), rstr("rstrError"), MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST);
        return false;
    }
}

void TMenuConfig::EndDrag(QTreeWidgetItem *target)
{
    if (!FStartNode)
        throw Exception(QStringLiteral("TMenuConfig.tvMenuEndDrag: StartNode is not defined"));
    if (!CanMoveNode(FStartNode, target))
        return;
    const TMnuItem *moved = NodeItem(FStartNode);
    const std::optional<TDropPlace> place = dropPlace(FStartNode, target);
    // Where the row stood when it was read: moved meanwhile by another administrator, it is refused.
    opMENUPACK->ExecProc(QStringLiteral("MOVE_ITEM"),
                         {moved->ID_CFG, place->owner, place->sortOrder, moved->OwnerId, moved->SortOrder()});
    FSession->Commit();
    FChanged = true;
    LoadMenu();
}

// ---------------------------------------------------------------- access groups

QString TMenuConfig::currentAccessName() const
{
    return AccessTbl->IsEmpty() ? QString() : AccessTbl->FieldByName(QStringLiteral("NAME"))->AsString();
}

// Reopens the group list and stands on the group with the id, else on its last
// row (lastRow) or where it was; the tree follows once.
void TMenuConfig::reopenAccess(const QVariant &accessId, bool lastRow)
{
    const bool wasLoading = m_loading;
    m_loading = true;
    try {
        AccessTbl->Close();
        AccessTbl->Open();
        if (lastRow)
            AccessTbl->Last();
        if (!accessId.isNull())
            AccessTbl->Locate(QStringLiteral("ACCESSID"), accessId);
    } catch (...) {
        m_loading = wasLoading;
        throw;
    }
    m_loading = wasLoading;
    LoadMenu();
    acCreateLike->setEnabled(!AccessTbl->IsEmpty());
}

bool TMenuConfig::inputAccessName(const QString &caption, QString &name)
{
    return lumInputQuery(caption, rstr("rstrTitle"), rstr("rstr_to_Apply"), rstr("rstr_to_Cancel"), name, 100) &&
           !nameIsBlank(name, caption);
}

void TMenuConfig::acInsAccessExecute()
{
    QString name;
    if (!inputAccessName(ConsoleText(ctAddAccess), name))
        return;
    opMENUPACK->ExecProc(QStringLiteral("INS_ACCESS"), {0, name});
    FSession->Commit();
    FChanged = true;
    reopenAccess(opMENUPACK->ParamByName(QStringLiteral("PID")).AsInteger(), true);
}

void TMenuConfig::acUpdAccessExecute()
{
    if (AccessTbl->IsEmpty())
        return;
    const int accessId = currentAccessId();
    QString name = currentAccessName();
    if (!inputAccessName(ConsoleText(ctEditAccess), name))
        return;
    opMENUPACK->ExecProc(QStringLiteral("UPD_ACCESS"), {accessId, name, currentAccessName()});
    FSession->Commit();
    FChanged = true;
    reopenAccess(accessId, false);
}

void TMenuConfig::acDelAccessExecute()
{
    if (AccessTbl->IsEmpty())
        return;
    if (Ask(Fmt(rstr("rstr_fmtcnf_DelRecord"), currentAccessName())) != IDYES)
        return;
    try {
        opMENUPACK->ExecProc(QStringLiteral("DEL_ACCESS_RECURCIVE"), {currentAccessId(), currentAccessName()});
        FSession->Commit();
    } catch (const EDAError &e) {
        FSession->Rollback();
        QString text = ConsoleText(ctCannotDeleteUsersAttached);
        // Only attached users are the refusal the text names; any other cause is told as well.
        if (e.ErrorCode() != kChildRecordFound)
            text += QStringLiteral("\r\n") + ExceptionMessage(e).trimmed();
        ShowMessageBox(text, rstr("rstr_ErrorOFDeleting"), MB_ICONEXCLAMATION);
        reopenAccess(AccessTbl->IsEmpty() ? QVariant() : QVariant(currentAccessId()), false);
        return;
    }
    FChanged = true;
    acRefreshAccessExecute();
}

void TMenuConfig::acRefreshAccessExecute()
{
    reopenAccess(AccessTbl->Active() && !AccessTbl->IsEmpty() ? QVariant(currentAccessId()) : QVariant(), false);
}

void TMenuConfig::acRightsAccessExecute() { reopenAccess(QVariant(), true); }

void TMenuConfig::acCreateLikeExecute()
{
    if (AccessTbl->IsEmpty())
        return;
    const QString caption = rstr("rstrAccess") + QStringLiteral(" (") +
                            Fmt(ConsoleText(ctCreateAsQ), currentAccessName()) + QLatin1Char(')');
    QString name;
    if (!inputAccessName(caption, name))
        return;
    opMENUPACK->ExecProc(QStringLiteral("DUBLICATE_ACCESS"),
                         {currentAccessId(), name, QVariant(), currentAccessName()});
    FSession->Commit();
    FChanged = true;
    reopenAccess(opMENUPACK->ParamByName(QStringLiteral("PID")).AsInteger(), true);
}

// ---------------------------------------------------------------- the catalogue

bool TMenuConfig::GUIDExists(const QString &guid)
{
    try {
        const TField *field = SrvItemTbl->FieldByName(QStringLiteral("GUID"));
        for (int r = 0; r < SrvItemTbl->RecordCount(); ++r)
            if (SrvItemTbl->ValueAt(r, field->Index()).toString().compare(guid, Qt::CaseInsensitive) == 0)
                return true;
    } catch (const Exception &e) {
        ShowMessageBox(QStringLiteral("TMenuConfig.GUIDExists: guid = ") + guid + QStringLiteral("\r\n") +
                           e.message().trimmed(),
                       rstr("rstrError"), MB_ICONEXCLAMATION | MB_TASKMODAL);
    }
    return false;
}

void TMenuConfig::acRefreshSrvExecute()
{
    const QVariant id = SrvItemTbl->Active() && !SrvItemTbl->IsEmpty()
                            ? SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->Value()
                            : QVariant();
    SrvItemTbl->Close();
    SrvItemTbl->Open();
    if (!id.isNull())
        SrvItemTbl->Locate(QStringLiteral("ITEMID"), id);
    updateCatalogueActions();
}

void TMenuConfig::acAddSrvExecute()
{
    if (SrvItemTbl->Active())
        SrvItemTbl->Cancel();
    TBaseServiceList list;
    if (!ShowLoaderProc(list, [this](const QString &guid) { return GUIDExists(guid); }))
        return;
    try {
        for (const auto &service : list) {
            opMENUPACK->ExecProc(QStringLiteral("INS_SRVITEM"),
                                 {0, int(service->CreateBtn()), service->Guid(), service->DllName(),
                                  service->ModuleCaption(), int(service->TranslateCaption())});
            for (const auto &right : service->AccessList())
                opMENUPACK->ExecProc(QStringLiteral("INS_SRVITEM_MODE"),
                                     {service->Guid(), right->ID(), right->Caption(), int(right->IsLang())});
            int position = 0;
            for (const auto &report : service->ReportList())
                opMENUPACK->ExecProc(QStringLiteral("INS_REPORT_ITEM"),
                                     {service->Guid(), report->RGuid(), report->RName(), report->RDesc(), position++});
        }
        FSession->Commit();
    } catch (...) {
        // Nothing of a failed registration stays in the transaction to be committed later.
        FSession->Rollback();
        throw;
    }
    FChanged = true;
    acRefreshSrvExecute();
}

void TMenuConfig::ToggleCreateBtn()
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty())
        return;
    const int flag = SrvItemTbl->FieldByName(QStringLiteral("CREATEBTN"))->AsInteger();
    opMENUPACK->ExecProc(QStringLiteral("UPD_SRVITEMS"),
                         {SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger(), flag == 1 ? 0 : 1, flag});
    FSession->Commit();
    SrvItemTbl->RefreshRecord();
    FChanged = true;
}

void TMenuConfig::tbSelectType(int mode)
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty())
        return;
    SrvItemTbl->DisableControls();
    try {
        const int id = SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->Index();
        const int btn = SrvItemTbl->FieldByName(QStringLiteral("CREATEBTN"))->Index();
        for (int r = 0; r < SrvItemTbl->RecordCount(); ++r) {
            const int seen = SrvItemTbl->ValueAt(r, btn).toInt();
            const int value = mode >= 0 ? mode : (seen == 1 ? 0 : 1);
            opMENUPACK->ExecProc(QStringLiteral("UPD_SRVITEMS"), {SrvItemTbl->ValueAt(r, id).toInt(), value, seen});
        }
        FSession->Commit();
    } catch (...) {
        FSession->Rollback();
        SrvItemTbl->EnableControls();
        throw;
    }
    SrvItemTbl->EnableControls();
    FChanged = true;
    acRefreshSrvExecute();
}

bool TMenuConfig::ConfirmDeleteService()
{
    const QString name = SrvItemTbl->FieldByName(QStringLiteral("SRVNAME"))->AsString();
    const QString first = Fmt(ConsoleText(ctDeleteServiceQ), name);
    if (Ask(first) != IDYES)
        return false;
    opMENUPACK->ExecProc(QStringLiteral("SERVICEEXISTS"),
                         {SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger(), 0});
    FSession->Commit();
    if (opMENUPACK->ParamByName(QStringLiteral("PITEMID")).AsInteger() <= 0)
        return true;
    const QString both = QStringLiteral("1)  ") + first + QStringLiteral("\r\n2)  ") +
                         Fmt(ConsoleText(ctRemoveServiceEverywhereQ), name);
    if (Ask(both, MB_OKCANCEL) != IDOK)
        return false;
    FConfirmed = true;
    try {
        acDelEntiresExecute();
    } catch (...) {
        FConfirmed = false;
        throw;
    }
    FConfirmed = false;
    return true;
}

void TMenuConfig::deleteService()
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty() || !ConfirmDeleteService())
        return;
    opMENUPACK->ExecProc(QStringLiteral("DEL_SRVITEM"),
                         {SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger()});
    FSession->Commit();
    acRefreshSrvExecute();
}

void TMenuConfig::acDelEntiresExecute()
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty())
        return;
    const int itemId = SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger();
    opMENUPACK->ExecProc(QStringLiteral("SERVICEEXISTS"), {itemId, 0});
    FSession->Commit();
    if (opMENUPACK->ParamByName(QStringLiteral("PITEMID")).AsInteger() <= 0)
        return;
    if (!FConfirmed && Ask(Fmt(ConsoleText(ctRemoveServiceEverywhereQ),
                               SrvItemTbl->FieldByName(QStringLiteral("TR_SRVNAME"))->AsString())) != IDYES)
        return;
    opMENUPACK->ExecProc(QStringLiteral("DEL_SRV_FROM_ALL_MNU"), {itemId});
    FSession->Commit();
    FChanged = true;
    LoadMenu();
}

// The listing is titled with the tab's caption: it names what is listed.
void TMenuConfig::acViewDSExecute()
{
    if (!SrvItemTbl->Active())
        return;
    ViewDS->SetDataSet(SrvItemTbl);
    ViewDS->SetCaption(pcMain->tabText(pcMain->indexOf(tsServices)));
    ViewDS->ShowListing();
}

// ---------------------------------------------------------------- failures

void TMenuConfig::guarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        if (FSession) {
            try {
                FSession->Rollback();
            } catch (const std::exception &rollback) {
                qCWarning(lcConsole) << "the menu editor's rollback failed:" << ExceptionMessage(rollback);
            }
        }
        while (SrvItemTbl->ControlsDisabled())
            SrvItemTbl->EnableControls();
        while (MenuCfgTbl->ControlsDisabled())
            MenuCfgTbl->EnableControls();
        m_loading = false;
        const auto *database = dynamic_cast<const EDAError *>(&e);
        QString text = ExceptionMessage(e).trimmed();
        if (database && database->ErrorCode() == kNotNullViolation)
            text = Fmt(rstr("rstr_fmtmsg_EmptyDataInField"), rstr("rstrTitle")) + QStringLiteral("\r\n") + text;
        ShowMessageBox(text, rstr("rstrError"), MB_ICONSTOP);
        if (database) {
            // The call may have relied on rows another administrator changed: show what is there now.
            try {
                acRefreshAccessExecute();
                if (pcMain->currentIndex() == 1)
                    acRefreshSrvExecute();
            } catch (const std::exception &again) {
                qCWarning(lcConsole) << "the menu editor could not read its data again:" << ExceptionMessage(again);
            }
        }
    }
}

bool TMenuConfig::eventFilter(QObject *watched, QEvent *event)
{
    // The wheel moves a grid one row per notch.
    if (event->type() == QEvent::Wheel && (watched == dbgAccess->viewport() || watched == dbgServices->viewport())) {
        TDataSet *dataSet = watched == dbgAccess->viewport() ? static_cast<TDataSet *>(AccessTbl) : SrvItemTbl;
        const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
        if (delta != 0 && dataSet->Active())
            guarded([dataSet, delta] { delta > 0 ? dataSet->Prior() : dataSet->Next(); });
        return true;
    }
    // Space in the catalogue flips the button flag of the current row.
    if (watched == dbgServices && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        guarded([this] { ToggleCreateBtn(); });
        return true;
    }
    return TComBaseForm::eventFilter(watched, event);
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
