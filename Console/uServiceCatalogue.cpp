#include "Console/uServiceCatalogue.h"

#include "Console/DLLLoaderIMPL.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uDataNavigator.h"
#include "Console/uEditorTexts.h"
#include "Core/Exceptions.h"
#include "Core/TextFormat.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Ui/DataSetModel.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

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

constexpr QSize kBarIconSize(16, 16);

} // namespace

std::function<bool(TBaseServiceList &, const std::function<bool(const QString &)> &)>
    TServiceCatalogue::ShowLoaderProc = [](TBaseServiceList &list, const std::function<bool(const QString &)> &filter) {
        return ShowLoader(list, filter);
    };

TServiceCatalogue::TServiceCatalogue(QWidget *parent, TOraPackage *pack, TCatalogueHooks hooks)
    : QWidget(parent), m_pack(pack), m_hooks(std::move(hooks))
{
    SrvItemTbl = new TSmartQuery(this);
    SrvItemTbl->setObjectName(QStringLiteral("SrvItemTbl"));
    SrvItemTbl->SetSQLText(
        QStringLiteral("SELECT SI.*,\n0 AS F_SEL,\nnvl(&shema.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), '?' || "
                       "SI.SRVNAME) as TR_SRVNAME\nFROM &shema.V_SRVITEMS SI\nORDER BY SI.SRVNAME,\nSI.DLLNAME"));
    SrvItemTbl->SQLUpdate = QStringList{QStringLiteral("begin"), QStringLiteral("null;"), QStringLiteral("end;")};
    SrvItemTbl->SQLRefresh = QStringList{QStringLiteral("WHERE"), QStringLiteral("ITEMID = :ITEMID")};
    SrvItemTbl->SetReadOnly(true);
    setupFields();
    SrvItemDSrc = new TDataSource(this, SrvItemTbl);
    ViewDS = new TQRByDataSet(this);
    ViewDS->setObjectName(QStringLiteral("ViewDS"));
    createActions();

    dbgServices = new TDBGrid(this);
    dbgServices->SetDataSource(SrvItemDSrc);
    dbgServices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgServices->verticalHeader()->setVisible(false);
    dbgServices->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dbgServices, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { pmServiceMnu->popup(dbgServices->viewport()->mapToGlobal(pos)); });
    connect(dbgServices, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        const TField *field = dbgServices->Model()->FieldOfColumn(index.column());
        if (field && field->FieldName().compare(QLatin1String("CREATEBTN"), Qt::CaseInsensitive) == 0)
            m_hooks.guarded([this] { ToggleCreateBtn(); });
    });
    dbgServices->installEventFilter(this);
    dbgServices->viewport()->installEventFilter(this);
    dbgServices->setItemDelegateForColumn(2, new TCheckBoxDelegate(dbgServices)); // CREATEBTN
    const auto guard = [this](const std::function<void()> &run) { return [this, run] { m_hooks.guarded(run); }; };
    dbnavServices = NewDataNavigator(
        this, "dbnavServices",
        {{"First", guard([this] { SrvItemTbl->First(); }), {}},
         {"Prior", guard([this] { SrvItemTbl->Prior(); }), {}},
         {"Next", guard([this] { SrvItemTbl->Next(); }), {}},
         {"Last", guard([this] { SrvItemTbl->Last(); }), {}},
         {"Insert", guard([this] { acAddSrvExecute(); }), EditorText("Добавить (Ctrl+A)", "Add (Ctrl+A)")},
         {"Delete", guard([this] { DeleteService(); }), EditorText("Удалить (Ctrl+D)", "Delete (Ctrl+D)")},
         {"Refresh", guard([this] { Refresh(); }), {}}});
    tlbrServices = new QToolBar(this);
    tlbrServices->setIconSize(kBarIconSize);
    tlbrServices->addActions({acDelEntires, acSellAll, acDeSellAll, acInvSellAll});
    auto *bars = new QHBoxLayout;
    bars->addWidget(dbnavServices);
    bars->addWidget(tlbrServices);
    bars->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bars);
    layout->addWidget(dbgServices);
    addActions({acAddSrv, acDelSrv, acRefreshSrv, acDelEntires, acSellAll, acDeSellAll, acInvSellAll});
    // Ctrl+V in the grid previews its printable listing.
    auto *viewListing = new QAction(this);
    viewListing->setObjectName(QStringLiteral("acViewDS"));
    viewListing->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    viewListing->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(viewListing, &QAction::triggered, this, [this] { m_hooks.guarded([this] { acViewDSExecute(); }); });
    dbgServices->addAction(viewListing);
    SetObjectNames({{dbgServices, "dbgServices"}, {tlbrServices, "tlbrServices"}});
}

void TServiceCatalogue::createActions()
{
    auto action = [this](const char *name, const QString &caption, const QKeySequence &shortcut,
                         const std::function<void()> &run) {
        auto *a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(caption);
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, [this, run] { m_hooks.guarded(run); });
        return a;
    };
    acAddSrv = action("acAddSrv", EditorText("Добавить", "Add"), QKeySequence(Qt::CTRL | Qt::Key_A),
                      [this] { acAddSrvExecute(); });
    acDelSrv = action("acDelSrv", EditorText("Удалить", "Delete"), QKeySequence(Qt::CTRL | Qt::Key_D),
                      [this] { DeleteService(); });
    acRefreshSrv = action("acRefreshSrv", EditorText("Обновить", "Refresh"), QKeySequence(), [this] { Refresh(); });
    acDelEntires = action("acDelEntires", ConsoleText(ctRemoveServiceEverywhere),
                          QKeySequence(Qt::CTRL | Qt::Key_Delete), [this] { acDelEntiresExecute(); });
    acSellAll = action("acSellAll", EditorText("Выделить все", "Select all"), QKeySequence(Qt::CTRL | Qt::Key_S),
                       [this] { tbSelectType(1); });
    acDeSellAll = action("acDeSellAll", EditorText("Снять выделение", "Clear the selection"),
                         QKeySequence(Qt::CTRL | Qt::Key_U), [this] { tbSelectType(0); });
    acInvSellAll = action("acInvSellAll", EditorText("Обратить выделение", "Invert the selection"),
                          QKeySequence(Qt::CTRL | Qt::Key_I), [this] { tbSelectType(-1); });
    acDelEntires->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    acSellAll->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    acDeSellAll->setIcon(style()->standardIcon(QStyle::SP_DialogNoButton));
    acInvSellAll->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    pmServiceMnu = new QMenu(this);
    pmServiceMnu->addAction(acDelEntires);
    SetObjectNames({{pmServiceMnu, "pmServiceMnu"}});
}

// The grid's fields, in their column order; the others stay hidden.
void TServiceCatalogue::setupFields()
{
    struct TFieldDef {
        const char *name;
        TFieldType type;
        int size;
        QString label;
        int width;
    };
    const TFieldDef fields[] = {{"TR_SRVNAME", TFieldType::ftString, 4000, EditorText("Сервис", "Service"), 63},
                                {"SRVNAME", TFieldType::ftString, 50, QString(), 0},
                                {"DLLNAME", TFieldType::ftString, 50, EditorText("Файл", "File"), 30},
                                {"CREATEBTN", TFieldType::ftFloat, 0, ConsoleText(ctButton), 8},
                                {"ITEMID", TFieldType::ftFloat, 0, QString(), 0},
                                {"GUID", TFieldType::ftString, 50, QString(), 0},
                                {"F_SEL", TFieldType::ftFloat, 0, EditorText("Выбор", "Choice"), 0}};
    for (const TFieldDef &def : fields) {
        TField *field = SrvItemTbl->AddField(QString::fromLatin1(def.name), def.type, def.size);
        field->SetDisplayLabel(def.label);
        field->SetVisible(def.width > 0);
        if (def.width > 0)
            field->SetDisplayWidth(def.width);
    }
}

void TServiceCatalogue::SetSession(TOraSession *session, bool languagePack)
{
    m_session = session;
    // Without a language pack the catalogue shows the stored names.
    if (!languagePack)
        SrvItemTbl->SetSQLText(QStringLiteral("SELECT SI.*, 0 AS F_SEL, SI.SRVNAME as TR_SRVNAME FROM "
                                              "&shema.V_SRVITEMS SI ORDER BY SI.SRVNAME, SI.DLLNAME"));
}

void TServiceCatalogue::FitColumns()
{
    // The service name takes the width the file name and the flag leave.
    if (dbgServices->Model()->columnCount() != 3)
        return;
    QHeaderView *header = dbgServices->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
}

void TServiceCatalogue::LoadGlyphs() { LoadNavigatorGlyphs(dbnavServices); }

void TServiceCatalogue::UpdateActions(bool onTab)
{
    const bool rows = onTab && SrvItemTbl->Active() && !SrvItemTbl->IsEmpty();
    acAddSrv->setEnabled(onTab);
    for (QAction *action : {acDelSrv, acDelEntires, acSellAll, acDeSellAll, acInvSellAll})
        action->setEnabled(rows);
}

void TServiceCatalogue::commit()
{
    if (m_session)
        m_session->Commit();
}

TReliedRow TServiceCatalogue::currentService() const
{
    return {TReliedRow::Service, SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->Value(),
            SrvItemTbl->FieldByName(QStringLiteral("TR_SRVNAME"))->AsString()};
}

bool TServiceCatalogue::GUIDExists(const QString &guid)
{
    try {
        const TField *field = SrvItemTbl->FieldByName(QStringLiteral("GUID"));
        for (int r = 0; r < SrvItemTbl->RecordCount(); ++r)
            if (SrvItemTbl->ValueAt(r, field->Index()).toString().compare(guid, Qt::CaseInsensitive) == 0)
                return true;
    } catch (const Exception &e) {
        ShowMessageBox(QStringLiteral("TMenuConfig.GUIDExists: guid = ") + guid + QStringLiteral("\r\n") +
                           e.message().trimmed(),
                       AplText("rstrError"), MB_ICONEXCLAMATION | MB_TASKMODAL);
    }
    return false;
}

void TServiceCatalogue::Refresh()
{
    const QVariant id = SrvItemTbl->Active() && !SrvItemTbl->IsEmpty()
                            ? SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->Value()
                            : QVariant();
    SrvItemTbl->Close();
    SrvItemTbl->Open();
    if (!id.isNull())
        SrvItemTbl->Locate(QStringLiteral("ITEMID"), id);
    UpdateActions(isVisible());
}

void TServiceCatalogue::acAddSrvExecute()
{
    if (SrvItemTbl->Active())
        SrvItemTbl->Cancel();
    TBaseServiceList list;
    if (!ShowLoaderProc(list, [this](const QString &guid) { return GUIDExists(guid); }))
        return;
    try {
        for (const auto &service : list) {
            m_pack->ExecProc(QStringLiteral("INS_SRVITEM"),
                             {0, int(service->CreateBtn()), service->Guid(), service->DllName(),
                              service->ModuleCaption(), int(service->TranslateCaption())});
            for (const auto &right : service->AccessList())
                m_pack->ExecProc(QStringLiteral("INS_SRVITEM_MODE"),
                                 {service->Guid(), right->ID(), right->Caption(), int(right->IsLang())});
            int position = 0;
            for (const auto &report : service->ReportList())
                m_pack->ExecProc(QStringLiteral("INS_REPORT_ITEM"),
                                 {service->Guid(), report->RGuid(), report->RName(), report->RDesc(), position++});
        }
        commit();
    } catch (...) {
        // Nothing of a failed registration stays in the transaction to be committed later.
        if (m_session)
            m_session->Rollback();
        throw;
    }
    m_hooks.changed(false);
    Refresh();
}

void TServiceCatalogue::ToggleCreateBtn()
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty())
        return;
    m_hooks.relyOn({currentService()});
    const int flag = SrvItemTbl->FieldByName(QStringLiteral("CREATEBTN"))->AsInteger();
    m_pack->ExecProc(QStringLiteral("UPD_SRVITEMS"),
                     {SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger(), flag == 1 ? 0 : 1, flag});
    commit();
    SrvItemTbl->RefreshRecord();
    m_hooks.changed(false);
}

void TServiceCatalogue::tbSelectType(int mode)
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty())
        return;
    SrvItemTbl->DisableControls();
    try {
        const int id = SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->Index();
        const int btn = SrvItemTbl->FieldByName(QStringLiteral("CREATEBTN"))->Index();
        const int name = SrvItemTbl->FieldByName(QStringLiteral("TR_SRVNAME"))->Index();
        for (int r = 0; r < SrvItemTbl->RecordCount(); ++r) {
            const int seen = SrvItemTbl->ValueAt(r, btn).toInt();
            m_hooks.relyOn(
                {{TReliedRow::Service, SrvItemTbl->ValueAt(r, id), SrvItemTbl->ValueAt(r, name).toString()}});
            m_pack->ExecProc(QStringLiteral("UPD_SRVITEMS"),
                             {SrvItemTbl->ValueAt(r, id).toInt(), mode >= 0 ? mode : (seen == 1 ? 0 : 1), seen});
        }
        commit();
    } catch (...) {
        if (m_session)
            m_session->Rollback();
        SrvItemTbl->EnableControls();
        throw;
    }
    SrvItemTbl->EnableControls();
    m_hooks.changed(false);
    Refresh();
}

bool TServiceCatalogue::ConfirmDeleteService()
{
    const QString name = SrvItemTbl->FieldByName(QStringLiteral("SRVNAME"))->AsString();
    const QString first = Fmt(ConsoleText(ctDeleteServiceQ), name);
    if (AskQuestion(first) != IDYES)
        return false;
    m_pack->ExecProc(QStringLiteral("SERVICEEXISTS"),
                     {SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger(), 0});
    commit();
    if (m_pack->ParamByName(QStringLiteral("PITEMID")).AsInteger() <= 0)
        return true;
    const QString both = QStringLiteral("1)  ") + first + QStringLiteral("\r\n2)  ") +
                         Fmt(ConsoleText(ctRemoveServiceEverywhereQ), name);
    if (AskQuestion(both, MB_OKCANCEL) != IDOK)
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

void TServiceCatalogue::DeleteService()
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty() || !ConfirmDeleteService())
        return;
    m_hooks.relyOn({currentService()});
    m_pack->ExecProc(QStringLiteral("DEL_SRVITEM"), {SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger()});
    commit();
    m_hooks.changed(false);
    Refresh();
}

void TServiceCatalogue::acDelEntiresExecute()
{
    if (!SrvItemTbl->Active() || SrvItemTbl->IsEmpty())
        return;
    const int itemId = SrvItemTbl->FieldByName(QStringLiteral("ITEMID"))->AsInteger();
    m_pack->ExecProc(QStringLiteral("SERVICEEXISTS"), {itemId, 0});
    commit();
    if (m_pack->ParamByName(QStringLiteral("PITEMID")).AsInteger() <= 0)
        return;
    if (!FConfirmed && AskQuestion(Fmt(ConsoleText(ctRemoveServiceEverywhereQ),
                                       SrvItemTbl->FieldByName(QStringLiteral("TR_SRVNAME"))->AsString())) != IDYES)
        return;
    m_pack->ExecProc(QStringLiteral("DEL_SRV_FROM_ALL_MNU"), {itemId});
    commit();
    m_hooks.changed(true);
}

// The listing is titled with the tab's caption: it names what is listed.
void TServiceCatalogue::acViewDSExecute()
{
    if (!SrvItemTbl->Active())
        return;
    ViewDS->SetDataSet(SrvItemTbl);
    ViewDS->SetCaption(ConsoleText(ctServiceList));
    ViewDS->ShowListing();
}

bool TServiceCatalogue::eventFilter(QObject *watched, QEvent *event)
{
    // The wheel moves the grid one row per notch.
    if (event->type() == QEvent::Wheel && watched == dbgServices->viewport()) {
        const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
        if (delta != 0 && SrvItemTbl->Active())
            m_hooks.guarded([this, delta] { delta > 0 ? SrvItemTbl->Prior() : SrvItemTbl->Next(); });
        return true;
    }
    // Space flips the button flag of the current row.
    if (watched == dbgServices && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        m_hooks.guarded([this] { ToggleCreateBtn(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
