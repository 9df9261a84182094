#include "uMenu.h"

#include "DataSet.h"
#include "DialogService.h"
#include "Exceptions.h"
#include "Field.h"
#include "uConsoleFunctions.h"
#include "uImageList.h"
#include "uModuleLibrary.h"
#include "uMultiIcoFromResource.h"
#include "uPE32Image.h"
#include "uServiceItem.h"
#include "uSrvShow.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <queue>

int ObjectTag(const QObject *object) { return object ? object->property("tag").toInt() : 0; }
void SetObjectTag(QObject *object, int tag) { object->setProperty("tag", tag); }

namespace {

// Runs a service's click and shows its failure, as the application's error display does.
void runServiceAction(TServiceItem *service)
{
    try {
        service->SrvAction();
    } catch (const std::exception &e) {
        ShowDialogMessage(ExceptionMessage(e).trimmed(), QString(), MB_ICONERROR);
    }
}

QString fieldText(TDataSet *dataSet, const QString &name)
{
    const TField *field = dataSet->FindField(name);
    return field ? field->AsString() : QString();
}

int fieldInt(TDataSet *dataSet, const QString &name)
{
    const TField *field = dataSet->FindField(name);
    return field && !field->IsNull() ? field->AsInteger() : 0;
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
            QAction *action = menu->addAction(service->Caption());
            if (images)
                action->setIcon(images->Icon(service->ImageIndex()));
            action->setStatusTip(service->DisplayDescription());
            QObject::connect(action, &QAction::triggered, action, [service] { runServiceAction(service); });
        } else {
            QMenu *sub = menu->addMenu(item.group->Name);
            SetObjectTag(sub->menuAction(), kConfigTag);
            item.group->BuildItems(sub, images);
        }
    }
}

void TKorMenu::RegisterServices(TServiceManager &manager, int groupNumber)
{
    std::vector<TServiceItem *> duplicates;
    for (const auto &service : Services) {
        try {
            manager.Add(service.get());
            service->SetMenuGroup(groupNumber);
        } catch (const Exception &e) {
            duplicates.push_back(service.get());
            ShowDialogMessage(e.message().trimmed(), QStringLiteral("Error"), MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
        }
    }
    // A duplicate leaves the group altogether: no menu item points at a service the manager does not know.
    for (TServiceItem *duplicate : duplicates) {
        std::erase_if(Items, [duplicate](const TItem &item) { return item.service == duplicate; });
        std::erase_if(Services, [duplicate](const std::unique_ptr<TServiceItem> &s) { return s.get() == duplicate; });
    }
    for (const auto &group : SubMenus)
        group->RegisterServices(manager, groupNumber);
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
    ExpandSubMenu(nullptr, 0);
    if (!FailedList.IsEmpty() && ShowFailed)
        ShowFailed(FailedList);
}

void TMenuCfg::ExpandSubMenu(TKorMenu *parent, int ownerId)
{
    std::queue<int> ids;
    std::queue<TKorMenu *> groups;
    struct FilterOff {
        TDataSet *query;
        ~FilterOff() { query->SetFiltered(false); }
    } filterOff{MenuQuery};

    MenuQuery->SetFilter(QStringLiteral("Owner=%1").arg(ownerId));
    MenuQuery->SetFiltered(true);
    // The top level is read from the last row to the first: each group is then
    // inserted right after the first menu, which leaves them in SORT_ORDER.
    const bool forward = ownerId > 0;
    if (forward)
        MenuQuery->First();
    else
        MenuQuery->Last();
    while (forward ? !MenuQuery->Eof() : !MenuQuery->Bof()) {
        if (fieldInt(MenuQuery, QStringLiteral("IsGroup")) == 0) {
            if (!parent)
                throw Exception(
                    QStringLiteral("TMenuCfg.ExpandSubMenu: The Services is not included in group (IsGroup = 0; node = nil)"));
            const QString dllName = fieldText(ServiceQuery, QStringLiteral("DLLName"));
            const QString guid = fieldText(ServiceQuery, QStringLiteral("GUID"));
            const QString name = ServiceQuery->FindField(QStringLiteral("SOURCE_SRVNAME"))
                                     ? fieldText(ServiceQuery, QStringLiteral("SOURCE_SRVNAME"))
                                     : fieldText(ServiceQuery, QStringLiteral("SRVNAME"));
            const bool isLang = ServiceQuery->FindField(QStringLiteral("ISLANG")) &&
                                fieldInt(ServiceQuery, QStringLiteral("ISLANG")) == 1;
            try {
                auto service = std::make_unique<TServiceItem>(dllName, guid);
                service->SetCaption(TranslateAppText(name));
                service->SetCreateBtn(fieldInt(ServiceQuery, QStringLiteral("CreateBtn")) == 1);
                service->SetMode(fieldText(MenuQuery, QStringLiteral("ItemMode")));
                service->SetTranslateFunc(isLang ? ApplyAplEnText : nullptr);
                service->SetTranslateCaption(isLang);
                service->SetTranslateDescription(isLang);
                parent->AddService(std::move(service));
            } catch (const std::exception &e) {
                auto failed = std::make_unique<TBaseService>();
                failed->SetCaption(TranslateAppText(name));
                failed->SetDescription(TranslateAppText(ExceptionMessage(e)).trimmed());
                failed->SetDllName(dllName);
                failed->SetGuid(guid);
                failed->SetMenuGroup(0);
                failed->SetTranslateFunc(isLang ? ApplyAplEnText : nullptr);
                failed->SetTranslateCaption(isLang);
                failed->SetTranslateDescription(isLang);
                FailedList.Add(std::move(failed));
            }
        } else {
            const int id = fieldInt(MenuQuery, QStringLiteral("ID_CFG"));
            auto group = std::make_unique<TKorMenu>(id, fieldText(MenuQuery, QStringLiteral("MENUNAME")));
            ids.push(id);
            groups.push(group.get());
            if (parent)
                parent->AddSubMenu(std::move(group));
            else
                Roots.push_back(std::move(group));
        }
        if (forward)
            MenuQuery->Next();
        else
            MenuQuery->Prior();
    }
    MenuQuery->SetFiltered(false);
    while (!ids.empty()) {
        const int id = ids.front();
        TKorMenu *group = groups.front();
        ids.pop();
        groups.pop();
        ExpandSubMenu(group, id);
    }
}

void TMenuCfg::RegisterAll(TServiceManager &manager)
{
    for (size_t i = 0; i < Roots.size(); ++i)
        Roots[i]->RegisterServices(manager, int(i) + 1);
}

void TMenuCfg::BuildMainMenu(QMenuBar *menuBar, const TImageList *images) const
{
    for (const auto &group : Roots) {
        auto *menu = new QMenu(group->Name, menuBar);
        SetObjectTag(menu->menuAction(), kConfigTag);
        const QList<QAction *> top = menuBar->actions();
        QAction *before = top.size() > 1 ? top.at(1) : nullptr;
        menuBar->insertMenu(before, menu);
        group->BuildItems(menu, images);
    }
}

void BuildIcons(TServiceManager &manager, TImageList &images)
{
    for (TServiceItem *service : manager.List()) {
        if (!service->IconName().isEmpty()) {
            // Only a PE module file carries icon groups; a damaged one falls back to the module's own icon.
            try {
                const QString path = ModuleFilePath(service->DllName());
                if (isExeImageFile(path)) {
                    const QIcon icon = GetBestIconFromFile(path, service->IconName(), images.Width(), images.Height());
                    if (!icon.isNull()) {
                        service->SetImageIndex(images.Add(icon));
                        continue;
                    }
                }
            } catch (const Exception &) {
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
    if (marked.isEmpty())
        return;
    int lowest = marked.first()->MenuGroup(), highest = lowest;
    for (TServiceItem *service : marked) {
        lowest = qMin(lowest, service->MenuGroup());
        highest = qMax(highest, service->MenuGroup());
    }
    bool anyButton = false;
    for (int group = lowest; group <= highest; ++group) {
        bool firstOfGroup = true;
        for (auto it = marked.crbegin(); it != marked.crend(); ++it) {
            TServiceItem *service = *it;
            if (service->MenuGroup() != group)
                continue;
            if (firstOfGroup && anyButton && separators) {
                QAction *separator = toolBar->addSeparator();
                SetObjectTag(separator, kConfigTag);
            }
            firstOfGroup = false;
            anyButton = true;
            QAction *button = toolBar->addAction(service->DisplayCaption());
            if (images)
                button->setIcon(images->Icon(service->ImageIndex()));
            button->setToolTip(service->DisplayDescription());
            SetObjectTag(button, kConfigTag);
            if (QWidget *widget = toolBar->widgetForAction(button))
                widget->setCursor(Qt::PointingHandCursor);
            QObject::connect(button, &QAction::triggered, button, [service] { runServiceAction(service); });
        }
    }
}

TMnuItem::TMnuItem(int id, int ownerId, int itemId, QTreeWidget *list)
    : ID_CFG(id), ItemId(itemId), OwnerId(ownerId), FList(list)
{
    AccessList().ID_CFG = id;
    AccessList().SetMode(QString());
}

void TMnuItem::PrepareRightTo(QTreeWidget *list, const TImageList *smallImages)
{
    Z_ASSERT(FList != nullptr, QStringLiteral("TMenuItem.PrepareRightTo: Flist = nil"));
    AccessList().FetchIsNeed();
    list->clear();
    for (const auto &item : AccessList()) {
        auto *row = new QTreeWidgetItem(list, QStringList{TranslateAppText(item->DisplayCaption())});
        if (smallImages)
            row->setIcon(0, smallImages->Icon(item->Checked() ? CheckedImage : UncheckedImage));
        else
            row->setCheckState(0, item->Checked() ? Qt::Checked : Qt::Unchecked);
    }
}

void TMnuItem::GetRightFrom(QTreeWidget *list)
{
    for (int i = 0; i < list->topLevelItemCount() && i < AccessList().Count(); ++i)
        AccessList().Items(i)->SetChecked(list->topLevelItem(i)->checkState(0) == Qt::Checked);
}
