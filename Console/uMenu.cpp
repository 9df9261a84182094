#include "Console/uMenu.h"

#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleLog.h"
#include "Console/uImageList.h"
#include "Console/uMenuRows.h"
#include "Console/uModuleCache.h"
#include "Console/uModuleLibrary.h"
#include "Console/uServiceItem.h"
#include "Console/uSrvShow.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/TextFormat.h"
#include "Files/uMultiIcoFromResource.h"
#include "Files/uPE32Image.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <unordered_set>

int ObjectTag(const QObject *object) { return object ? object->property("tag").toInt() : 0; }
void SetObjectTag(QObject *object, int tag) { object->setProperty("tag", tag); }

namespace {
// The property of a menu item that holds its service.
constexpr char kServiceProperty[] = "menuService";
} // namespace

TServiceItem *MenuItemService(const QAction *action)
{
    return action ? static_cast<TServiceItem *>(action->property(kServiceProperty).value<void *>()) : nullptr;
}

namespace {

// Runs a service's click and shows its failure, as the application's error display does.
void runServiceAction(TServiceItem *service)
{
    try {
        service->SrvAction();
    } catch (const std::exception &e) {
        qCInfo(lcServices) << "opening" << service->Guid() << "of" << service->DllName()
                           << "failed:" << ExceptionMessage(e);
        ShowDialogMessage(ExceptionMessage(e).trimmed(), QString(), MB_ICONERROR);
    }
}

// A PE file begins with "MZ"; the console's own modules are not PE files and carry no icon groups.
bool isExeImageFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

void defaultShowFailed(const TBaseServiceList &failed)
{
    QList<TBaseService *> services;
    for (const auto &service : failed)
        services.append(service.get());
    ShowNotLoaded(services);
}

// How a service row without a catalogue row is named.
QString itemCaption(const TMenuRow &row)
{
    return QStringLiteral("ITEMID %1").arg(row.ItemId ? QString::number(*row.ItemId) : QStringLiteral("NULL"));
}

// The managers' messages about duplicate services, each different one once
// with how often it came, and not more of them than a box can show.
QString duplicatesText(const QStringList &messages)
{
    constexpr int kShown = 20;
    QStringList distinct;
    QHash<QString, int> counts;
    for (const QString &message : messages)
        if (counts[message]++ == 0)
            distinct << message;
    QStringList lines;
    for (const QString &message : distinct.mid(0, kShown))
        lines << (counts.value(message) > 1 ? QStringLiteral("%1 (\u00d7%2)").arg(message).arg(counts.value(message))
                                            : message);
    if (distinct.size() > kShown)
        lines << QStringLiteral("\u2026 (+%1)").arg(distinct.size() - kShown);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void (*TMenuCfg::ShowFailed)(const TBaseServiceList &) = defaultShowFailed;

TKorMenu::TKorMenu(int id, const QString &name) : ID(id), Name(name) {}

// Sub-groups first, then the services (the services' windows close with them).
TKorMenu::~TKorMenu()
{
    Items.clear();
    SubMenus.clear();
    Services.clear();
}

void TKorMenu::AddService(std::unique_ptr<TServiceItem> service)
{
    Items.push_back({service.get(), nullptr});
    Services.push_back(std::move(service));
}

void TKorMenu::AddSubMenu(std::unique_ptr<TKorMenu> group)
{
    Items.push_back({nullptr, group.get()});
    SubMenus.push_back(std::move(group));
}

void TKorMenu::BuildItems(QMenu *menu, const TImageList *images) const
{
    for (const TItem &item : Items) {
        if (item.service) {
            TServiceItem *service = item.service;
            QAction *action = menu->addAction(EscapeMnemonics(service->Caption()));
            if (images)
                action->setIcon(images->Icon(service->ImageIndex()));
            action->setStatusTip(service->DisplayDescription());
            action->setProperty(kServiceProperty, QVariant::fromValue(static_cast<void *>(service)));
            QObject::connect(action, &QAction::triggered, action, [service] { runServiceAction(service); });
        } else {
            QMenu *sub = menu->addMenu(EscapeMnemonics(item.group->Name));
            SetObjectTag(sub->menuAction(), kConfigTag);
            item.group->BuildItems(sub, images);
        }
    }
}

void TKorMenu::RegisterServices(TServiceManager &manager, int groupNumber, QStringList &duplicates)
{
    std::unordered_set<const TServiceItem *> refused;
    for (const auto &service : Services) {
        try {
            manager.Add(service.get());
            service->SetMenuGroup(groupNumber);
        } catch (const Exception &e) {
            refused.insert(service.get());
            duplicates << e.message().trimmed();
        }
    }
    // A duplicate leaves the group altogether: no menu item points at a service the manager does not know.
    if (!refused.empty()) {
        std::erase_if(Items, [&](const TItem &item) { return item.service && refused.count(item.service); });
        std::erase_if(Services, [&](const std::unique_ptr<TServiceItem> &s) { return refused.count(s.get()) > 0; });
    }
    for (const auto &group : SubMenus)
        group->RegisterServices(manager, groupNumber, duplicates);
}

TMenuCfg::TMenuCfg() = default;
TMenuCfg::~TMenuCfg() { Clear(); }

void TMenuCfg::Clear()
{
    FailedList.Clear();
    Roots.clear();
}

void TMenuCfg::Load(TDataSet *menuQuery, TDataSet *serviceQuery)
{
    MenuQuery = menuQuery;
    ServiceQuery = serviceQuery;
    const std::vector<TMenuRow> rows = ReadMenuRows(menuQuery);
    const QHash<qint64, TCatalogueRow> catalogue = ReadCatalogue(serviceQuery);
    const TMenuShape shape = ShapeMenu(rows);
    auto entryOf = [&catalogue](const TMenuRow &row) -> const TCatalogueRow * {
        const auto entry = row.ItemId ? catalogue.constFind(*row.ItemId) : catalogue.cend();
        return entry != catalogue.cend() ? &entry.value() : nullptr;
    };

    // The depth of each group row (top-level groups 1). A level is built when
    // its group is at most kMaxMenuDepth deep; deeper groups are refused with
    // what they hold.
    std::vector<int> depthOfRow(rows.size(), 0);
    auto levelBuilt = [&depthOfRow](const TMenuLevel &level) {
        return level.GroupRow < 0 || depthOfRow[size_t(level.GroupRow)] <= kMaxMenuDepth;
    };
    QList<QPair<QString, QString>> services;
    for (const TMenuLevel &level : shape.Levels) {
        const int depth = level.GroupRow < 0 ? 1 : depthOfRow[size_t(level.GroupRow)] + 1;
        for (int index : level.Rows) {
            const TMenuRow &row = rows[size_t(index)];
            if (row.IsGroup)
                depthOfRow[size_t(index)] = depth;
            else if (const TCatalogueRow *entry = entryOf(row); entry && levelBuilt(level))
                services.append({entry->DllName, entry->Guid});
        }
    }
    // Every module file of the menu is read at once, before the first service asks.
    TModuleAttributeReader reader;
    reader.Prefetch(services);

    std::vector<TKorMenu *> groupOfRow(rows.size(), nullptr);
    for (const TMenuLevel &level : shape.Levels) {
        if (!levelBuilt(level))
            continue;
        TKorMenu *parent = level.GroupRow < 0 ? nullptr : groupOfRow[size_t(level.GroupRow)];
        for (int index : level.Rows) {
            const TMenuRow &row = rows[size_t(index)];
            if (!row.IsGroup) {
                if (!parent)
                    throw Exception(QStringLiteral(
                        "TMenuCfg.ExpandSubMenu: The Services is not included in group (IsGroup = 0; node = nil)"));
                AddService(parent, row, entryOf(row), reader);
                continue;
            }
            if (depthOfRow[size_t(index)] > kMaxMenuDepth) {
                AddFailed(row.Name,
                          QStringLiteral("The menu group lies deeper than %1 levels: it is left out with what it holds")
                              .arg(kMaxMenuDepth),
                          nullptr);
                continue;
            }
            // A group's name is the scheme's data, in the language pack like every caption.
            auto group = std::make_unique<TKorMenu>(int(*row.Id), TranslateAppText(row.Name));
            groupOfRow[size_t(index)] = group.get();
            if (parent)
                parent->AddSubMenu(std::move(group));
            else
                Roots.push_back(std::move(group));
        }
    }
    for (const TLeftOutRow &left : shape.LeftOut) {
        const TMenuRow &row = rows[size_t(left.Row)];
        AddFailed(row.IsGroup ? row.Name : itemCaption(row), left.Reason, row.IsGroup ? nullptr : entryOf(row));
    }
    qCInfo(lcServices) << "menu of" << rows.size() << "rows built," << FailedList.Count() << "entries not placed";
    if (!FailedList.IsEmpty() && ShowFailed)
        ShowFailed(FailedList);
}

void TMenuCfg::AddService(TKorMenu *group, const TMenuRow &row, const TCatalogueRow *entry,
                          TModuleAttributeReader &reader)
{
    if (!entry) {
        AddFailed(itemCaption(row), QStringLiteral("The service is not in the service catalogue"), nullptr);
        return;
    }
    try {
        auto service =
            std::make_unique<TServiceItem>(entry->DllName, entry->Guid, TranslateAppText(entry->Name), reader);
        service->SetCreateBtn(entry->CreateBtn);
        service->SetMode(row.Mode);
        service->SetTranslateFunc(entry->IsLang ? ApplyAplEnText : nullptr);
        service->SetTranslateCaption(entry->IsLang);
        service->SetTranslateDescription(entry->IsLang);
        group->AddService(std::move(service));
    } catch (const std::exception &e) {
        qCInfo(lcServices) << "service" << entry->Guid << "of" << entry->DllName
                           << "is not placed:" << ExceptionMessage(e);
        AddFailed(QString(), ExceptionMessage(e), entry);
    }
}

// A not-loaded entry: a catalogue row's service, or a menu row of the caption, with the reason.
void TMenuCfg::AddFailed(const QString &caption, const QString &reason, const TCatalogueRow *entry)
{
    auto failed = std::make_unique<TBaseService>();
    failed->SetCaption(TranslateAppText(entry ? entry->Name : caption));
    failed->SetDescription(TranslateAppText(reason).trimmed());
    if (entry) {
        failed->SetDllName(entry->DllName);
        failed->SetGuid(entry->Guid);
    }
    failed->SetMenuGroup(0);
    const bool isLang = entry && entry->IsLang;
    failed->SetTranslateFunc(isLang ? ApplyAplEnText : nullptr);
    failed->SetTranslateCaption(isLang);
    failed->SetTranslateDescription(isLang);
    FailedList.Add(std::move(failed));
}

void TMenuCfg::RegisterAll(TServiceManager &manager)
{
    QStringList duplicates;
    for (size_t i = 0; i < Roots.size(); ++i)
        Roots[i]->RegisterServices(manager, int(i) + 1, duplicates);
    if (!duplicates.isEmpty())
        ShowDialogMessage(duplicatesText(duplicates), QStringLiteral("Error"),
                          MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
}

void TMenuCfg::BuildMainMenu(QMenuBar *menuBar, const TImageList *images) const
{
    // Right after the first top-level menu, from the last root to the first: that is SORT_ORDER.
    const QList<QAction *> top = menuBar->actions();
    QAction *before = top.size() > 1 ? top.at(1) : nullptr;
    QList<QAction *> menus;
    menus.reserve(qsizetype(Roots.size()));
    for (auto group = Roots.rbegin(); group != Roots.rend(); ++group) {
        auto *menu = new QMenu(EscapeMnemonics((*group)->Name), menuBar);
        SetObjectTag(menu->menuAction(), kConfigTag);
        (*group)->BuildItems(menu, images);
        menus << menu->menuAction();
    }
    menuBar->insertActions(before, menus);
}

TModuleIcons::TModuleIcons() = default;
TModuleIcons::~TModuleIcons() = default;

TExeImage *TModuleIcons::Image(const QString &dllName)
{
    const auto known = m_images.constFind(dllName);
    if (known != m_images.cend())
        return known.value().get();
    std::shared_ptr<TExeImage> image;
    try {
        const QString path = ModuleFilePath(dllName);
        if (isExeImageFile(path))
            image = std::make_shared<TExeImage>(path);
    } catch (const Exception &e) {
        // Its services show without icons.
        qCWarning(lcServices) << "the icons of" << dllName << "cannot be read:" << e.message();
    }
    m_images.insert(dllName, image);
    return image.get();
}

QString TModuleIcons::FileKey(const QString &dllName)
{
    const auto known = m_fileKeys.constFind(dllName);
    if (known != m_fileKeys.cend())
        return known.value();
    QString key;
    try {
        const QString path = ModuleFilePath(dllName);
        const TModuleStamp stamp = TModuleStamp::Of(path);
        key = QStringLiteral("%1|%2|%3|%4").arg(path).arg(stamp.Size).arg(stamp.MTimeNs).arg(stamp.CTimeNs);
    } catch (const Exception &) {
        key = dllName; // no icons: Image() says why
    }
    m_fileKeys.insert(dllName, key);
    return key;
}

QIcon TModuleIcons::Icon(const QString &dllName, const QString &iconName, QSize size)
{
    static QHash<QString, QIcon> icons; // for the whole run
    const QString key =
        QStringLiteral("%1|%2|%3x%4").arg(FileKey(dllName), iconName).arg(size.width()).arg(size.height());
    const auto known = icons.constFind(key);
    if (known != icons.cend())
        return known.value();
    QIcon icon;
    if (TExeImage *image = Image(dllName)) {
        try {
            const QImage picture = GetBestIconImage(*image, iconName, size.width(), size.height());
            if (!picture.isNull())
                icon = QIcon(QPixmap::fromImage(picture));
        } catch (const Exception &e) {
            qCWarning(lcServices) << "icon" << iconName << "of" << dllName << "cannot be read:" << e.message();
        }
    }
    icons.insert(key, icon);
    return icon;
}

void BuildIcons(TServiceManager &manager, TImageList &images, TModuleIcons *icons)
{
    TModuleIcons ownIcons;
    TModuleIcons &files = icons ? *icons : ownIcons;
    // Only a PE module file carries icon groups; a damaged one falls back to the module's own icon.
    QHash<QString, int> groupImages; // "file|icon group" -> image index
    for (TServiceItem *service : manager.List()) {
        if (!service->IconName().isEmpty()) {
            const QString key = service->DllName() + QLatin1Char('|') + service->IconName();
            int index = groupImages.value(key, -1);
            if (index < 0) {
                const QIcon icon = files.Icon(service->DllName(), service->IconName(), images.Size());
                if (!icon.isNull())
                    groupImages.insert(key, index = images.Add(icon));
            }
            if (index >= 0) {
                service->SetImageIndex(index);
                continue;
            }
        }
        if (!service->Icon().isNull())
            service->SetImageIndex(images.Add(service->Icon()));
        else
            service->SetImageIndex(kDefaultServiceImage);
    }
}

void BuildToolButtons(TServiceManager &manager, QToolBar *toolBar, const TImageList *images, bool separators)
{
    QList<TServiceItem *> marked;
    for (TServiceItem *service : manager.List())
        if (service->CreateBtn())
            marked.append(service);
    // Group by group from the lowest number, within a group from the last registered service to the first.
    std::reverse(marked.begin(), marked.end());
    std::stable_sort(marked.begin(), marked.end(),
                     [](const TServiceItem *a, const TServiceItem *b) { return a->MenuGroup() < b->MenuGroup(); });
    for (int i = 0; i < marked.size(); ++i) {
        TServiceItem *service = marked.at(i);
        if (i > 0 && separators && marked.at(i - 1)->MenuGroup() != service->MenuGroup()) {
            QAction *separator = toolBar->addSeparator();
            SetObjectTag(separator, kConfigTag);
        }
        QAction *button = toolBar->addAction(EscapeMnemonics(service->DisplayCaption()));
        if (images)
            button->setIcon(images->Icon(service->ImageIndex()));
        button->setToolTip(service->DisplayDescription());
        // The hint reaches the status bar as a menu item's does.
        button->setStatusTip(service->DisplayDescription());
        SetObjectTag(button, kConfigTag);
        if (QWidget *widget = toolBar->widgetForAction(button))
            widget->setCursor(Qt::PointingHandCursor);
        QObject::connect(button, &QAction::triggered, button, [service] { runServiceAction(service); });
    }
}

TMnuItem::TMnuItem(int id, int ownerId, int itemId, QTreeWidget *list)
    : ID_CFG(id), ItemId(itemId), OwnerId(ownerId), FList(list)
{
    AccessList().ID_CFG = id;
    AccessList().SetMode(QString());
}

namespace {

// Rows whose image shows the tick: their check state is drawn as no box.
class TImageTickDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
    }
};

} // namespace

QTreeWidget *NewRightsList(QWidget *parent, int columnWidth)
{
    auto *list = new QTreeWidget(parent);
    list->setColumnCount(1);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setColumnWidth(0, columnWidth);
    return list;
}

void TMnuItem::PrepareRightTo(QTreeWidget *list, const TImageList *smallImages)
{
    Z_ASSERT(FList != nullptr, QStringLiteral("TMenuItem.PrepareRightTo: Flist = nil"));
    AccessList().FetchIsNeed();
    list->clear();
    if (smallImages && !dynamic_cast<TImageTickDelegate *>(list->itemDelegate()))
        list->setItemDelegate(new TImageTickDelegate(list));
    for (const auto &item : AccessList()) {
        auto *row = new QTreeWidgetItem(list, QStringList{TranslateAppText(item->DisplayCaption())});
        row->setCheckState(0, item->Checked() ? Qt::Checked : Qt::Unchecked);
        if (smallImages) {
            row->setIcon(0, smallImages->Icon(item->Checked() ? CheckedImage : UncheckedImage));
            row->setFlags(row->flags() & ~Qt::ItemIsUserCheckable);
        }
    }
}

void TMnuItem::GetRightFrom(QTreeWidget *list)
{
    for (int i = 0; i < list->topLevelItemCount() && i < AccessList().Count(); ++i)
        AccessList().Items(i)->SetChecked(list->topLevelItem(i)->checkState(0) == Qt::Checked);
}
