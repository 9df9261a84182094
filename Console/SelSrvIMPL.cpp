#include "Console/SelSrvIMPL.h"

#include "Console/DMIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uMenu.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uOraFunctions.h"
#include "Ui/DataSetModel.h"
#include "Ui/ResourceColors.h"
#include "Ui/ResourceLibrary.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kRightColumnWidth = 450;

int fieldInt(TDataSet *set, const char *name) { return set->FieldByName(QString::fromLatin1(name))->AsInteger(); }

} // namespace

// The grid's model: the F_SEL column is a check box; ticking it chooses the service.
class TSelSrvModel : public TDataSetModel {
public:
    TSelSrvModel(TDataSource *source, TSelSrv *form) : TDataSetModel(source, form), m_form(form) {}

    bool IsSelColumn(const QModelIndex &index) const
    {
        const TField *field = FieldOfColumn(index.column());
        return field && field->FieldName().compare(QLatin1String("F_SEL"), Qt::CaseInsensitive) == 0;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!IsSelColumn(index))
            return TDataSetModel::data(index, role);
        if (role == Qt::CheckStateRole)
            return TDataSetModel::data(index, Qt::EditRole).toInt() == 1 ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::TextAlignmentRole)
            return QVariant(Qt::AlignCenter);
        return role == Qt::DisplayRole ? QVariant(QString()) : TDataSetModel::data(index, role);
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        return IsSelColumn(index) ? base | Qt::ItemIsUserCheckable : base;
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (!IsSelColumn(index) || role != Qt::CheckStateRole)
            return false;
        const bool wanted = value.toInt() == Qt::Checked;
        if (wanted == (data(index, Qt::CheckStateRole).toInt() == Qt::Checked))
            return true;
        SetCurrentRow(index.row());
        m_form->ToggleCurrent();
        m_toggled = true;
        return true;
    }

    // True once after a tick that the view itself made.
    bool TakeToggled() { return std::exchange(m_toggled, false); }

private:
    TSelSrv *m_form;
    bool m_toggled = false;
};

TSelSrv::TSelSrv(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SelSrv"));
    auto query = [this](const char *name, const QString &sql) {
        auto *q = new TOraQuery(this);
        q->setObjectName(QString::fromLatin1(name));
        q->SetSQLText(sql);
        return q;
    };
    // Without a form of the menu editor to borrow it from, the window reads the catalogue itself.
    SrvItemTbl = query("SrvItemTbl", QStringLiteral("SELECT SI.*, 0 AS F_SEL, SI.SRVNAME as TR_SRVNAME FROM "
                                                    "&shema.V_SRVITEMS SI ORDER BY SI.SRVNAME, SI.DLLNAME"));
    V_SRVITEMS_MODE_ALL = query("V_SRVITEMS_MODE_ALL", QStringLiteral("SELECT * FROM &shema.v_srvitems_mode"));
    V_SRVITEMS_MODE =
        query("V_SRVITEMS_MODE", QStringLiteral("SELECT * FROM &shema.v_srvitems_mode\nWHERE ITEMID=:ITEMID"));
    DS = new TDataSet(this);
    DS->setObjectName(QStringLiteral("DS"));
    cdsRights = new TDataSet(this);
    cdsRights->setObjectName(QStringLiteral("cdsRights"));
    DataSource1 = new TDataSource(this, DS);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    V_SRVITEMS_MODE->SetMasterSource(DataSource1);
    V_SRVITEMS_MODE->AfterOpen = [this](TDataSet *) { ShowRights(); };

    FUpdating = true;
    if (TDM *dm = DM()) {
        SetComponentsSession(this, dm->CommonSession);
        fSetShema(this, dm->SchemeName);
    }
    SetHelpTopic(this, ConsoleHelpFile(), QStringLiteral("selectserviceform"));
    buildControls();
    loadResources();
    setTexts();
}

TSelSrv::~TSelSrv()
{
    // The detail follows the grid's data set: let go of it before the tables go.
    V_SRVITEMS_MODE->AfterOpen = nullptr;
    V_SRVITEMS_MODE->SetMasterSource(nullptr);
}

void TSelSrv::buildControls()
{
    DBGrid1 = new QTableView(this);
    m_model = new TSelSrvModel(DataSource1, this);
    DBGrid1->setModel(m_model);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->installEventFilter(this);

    tbServices = new QToolBar(this);
    acSellAll = new QAction(QStringLiteral("Выделить все"), this);
    acSellAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    acDeSellAll = new QAction(QStringLiteral("Снять выделение"), this);
    acDeSellAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    acInvSell = new QAction(QStringLiteral("Обратить выделение"), this);
    acInvSell->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    acSinhr = new QAction(ConsoleText(ctSyncRights), this);
    acSinhr->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft));
    for (QAction *action : {acSellAll, acDeSellAll, acInvSell})
        tbServices->addAction(action);
    for (QAction *action : {acSellAll, acDeSellAll, acInvSell, acSinhr}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    chRightsAll = new QCheckBox(ConsoleText(ctSyncRights), this);

    stxtRights = new QLabel(ConsoleText(ctAccessRights), this);
    stxtRights->setMargin(4);
    tbRights = new QToolBar(this);
    actSelAll = new QAction(QStringLiteral("Выделить все"), this);
    actInvertSel = new QAction(QStringLiteral("Обратить выделение"), this);
    actUnSelect = new QAction(QStringLiteral("Снять выделение"), this);
    for (QAction *action : {actSelAll, actUnSelect, actInvertSel})
        tbRights->addAction(action);
    RightList = NewRightsList(this, kRightColumnWidth);

    btnOk = new QPushButton(QStringLiteral("Применить"), this);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Отменить"), this);
    btnCancel->setAutoDefault(false);

    SetObjectNames({{DBGrid1, "DBGrid1"},
                    {tbServices, "tbServices"},
                    {chRightsAll, "chRightsAll"},
                    {stxtRights, "stxtRights"},
                    {tbRights, "tbRights"},
                    {RightList, "RightList"},
                    {btnOk, "btnOk"},
                    {btnCancel, "btnCancel"},
                    {acSellAll, "acSellAll"},
                    {acDeSellAll, "acDeSellAll"},
                    {acInvSell, "acInvSell"},
                    {acSinhr, "acSinhr"},
                    {actSelAll, "actSelAll"},
                    {actInvertSel, "actInvertSel"},
                    {actUnSelect, "actUnSelect"}});
    SetDrivenUnattended(this);

    auto *rightsPanel = new QWidget(this);
    auto *rightsLayout = new QVBoxLayout(rightsPanel);
    rightsLayout->setContentsMargins(0, 0, 0, 0);
    rightsLayout->addWidget(stxtRights);
    rightsLayout->addWidget(tbRights);
    rightsLayout->addWidget(RightList, 1);
    auto *servicesPanel = new QWidget(this);
    auto *servicesLayout = new QVBoxLayout(servicesPanel);
    servicesLayout->setContentsMargins(0, 0, 0, 0);
    // The tool bar keeps room for all its buttons beside the check box.
    tbServices->setMinimumWidth(tbServices->sizeHint().width());
    auto *servicesBar = new QHBoxLayout;
    servicesBar->addWidget(tbServices);
    servicesBar->addWidget(chRightsAll);
    servicesBar->addStretch();
    servicesLayout->addLayout(servicesBar);
    servicesLayout->addWidget(DBGrid1, 1);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(servicesPanel);
    splitter->addWidget(rightsPanel);
    splitter->setStretchFactor(0, 1);
    // The rights panel shows its whole column beside the grid, without a scroll bar under it.
    RightList->setMinimumWidth(kRightColumnWidth + 2 * RightList->frameWidth());
    splitter->setSizes({520, kRightColumnWidth + 20});
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(1020, 480);

    connect(acSellAll, &QAction::triggered, this, [this] { SelectServices(1); });
    connect(acDeSellAll, &QAction::triggered, this, [this] { SelectServices(0); });
    connect(acInvSell, &QAction::triggered, this, [this] { SelectServices(-1); });
    connect(acSinhr, &QAction::triggered, chRightsAll, &QCheckBox::toggle);
    connect(actSelAll, &QAction::triggered, this, [this] { setAllTicks(1); });
    connect(actUnSelect, &QAction::triggered, this, [this] { setAllTicks(0); });
    connect(actInvertSel, &QAction::triggered, this, [this] { setAllTicks(-1); });
    connect(RightList, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *row) { storeTick(row); });
    connect(DBGrid1, &QTableView::clicked, this, [this](const QModelIndex &index) {
        // A click on the check box itself has toggled the row already.
        if (!m_model->TakeToggled() && m_model->IsSelColumn(index))
            ToggleCurrent();
    });
    connect(DBGrid1, &QTableView::doubleClicked, this, &TSelSrv::accept);
    // The grid's current row and the data set's current record follow each other.
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && current.row() != m_model->CurrentRow())
                    m_model->SetCurrentRow(current.row());
            });
    connect(m_model, &TDataSetModel::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != DBGrid1->currentIndex().row())
            DBGrid1->setCurrentIndex(m_model->index(row, qMax(0, DBGrid1->currentIndex().column())));
    });
    connect(btnOk, &QPushButton::clicked, this, &TSelSrv::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TSelSrv::reject);
}

void TSelSrv::loadResources()
{
    if (!ResourceLibraryLoaded())
        return;
    btnOk->setIcon(ResourceGlyph(51));
    btnCancel->setIcon(ResourceGlyph(52));
    const std::pair<QAction *, int> glyphs[] = {{acSellAll, 306}, {acInvSell, 12},    {acDeSellAll, 11},
                                                {actSelAll, 306}, {actInvertSel, 12}, {actUnSelect, 11}};
    for (const auto &[action, id] : glyphs)
        action->setIcon(ResourceGlyph(id));
}

void TSelSrv::setTexts()
{
    setWindowTitle(ConsoleText(ctSelectServiceForItem));
    btnOk->setText(WordText(QStringLiteral("rstr_to_Apply"), QStringLiteral("Apply")));
    btnCancel->setText(WordText(QStringLiteral("rstr_to_Cancel"), QStringLiteral("Cancel")));
    stxtRights->setText(ConsoleText(ctAccessRights));
    stxtRights->setAutoFillBackground(true);
    QPalette pale = stxtRights->palette();
    pale.setColor(QPalette::Window, clPaleBackground);
    stxtRights->setPalette(pale);
    const QString selectAll = WordText(QStringLiteral("rstr_to_SelectAll"), QStringLiteral("Select all"));
    const QString unselect = WordText(QStringLiteral("rstr_to_Unselect"), QStringLiteral("Unselect"));
    const QString invert = WordText(QStringLiteral("rstr_to_InvertSelect"), QStringLiteral("Invert selection"));
    for (QAction *action : {acSellAll, actSelAll})
        SetComponentText(action, selectAll);
    for (QAction *action : {acDeSellAll, actUnSelect})
        SetComponentText(action, unselect);
    for (QAction *action : {acInvSell, actInvertSel})
        SetComponentText(action, invert);
    SetComponentText(acSinhr, ConsoleText(ctSyncRights));
    chRightsAll->setText(ConsoleText(ctSyncRights));
}

bool TSelSrv::Prepare()
{
    readRights();
    readServices();
    V_SRVITEMS_MODE->Open();
    ShowRights();
    return !DS->IsEmpty();
}

// Every right of every service, unticked, ordered by service and position.
void TSelSrv::readRights()
{
    V_SRVITEMS_MODE_ALL->Open();
    TResultSet rights;
    rights.columns = {{QStringLiteral("ITEMID"), TFieldType::ftInteger, 0, true},
                      {QStringLiteral("SORT_ORDER"), TFieldType::ftInteger, 0, true},
                      {QStringLiteral("NAME"), TFieldType::ftString, 60, true},
                      {QStringLiteral("F_CHECK"), TFieldType::ftInteger, 0, false}};
    TField *itemId = V_SRVITEMS_MODE_ALL->FieldByName(QStringLiteral("ITEMID"));
    TField *sortOrder = V_SRVITEMS_MODE_ALL->FieldByName(QStringLiteral("SORT_ORDER"));
    TField *name = V_SRVITEMS_MODE_ALL->FieldByName(QStringLiteral("NAME"));
    for (V_SRVITEMS_MODE_ALL->First(); !V_SRVITEMS_MODE_ALL->Eof(); V_SRVITEMS_MODE_ALL->Next())
        rights.rows.append({itemId->AsInteger(), sortOrder->AsInteger(), TranslateAppText(name->AsString()), 0});
    V_SRVITEMS_MODE_ALL->Close();
    cdsRights->SetIndexFieldNames(QStringLiteral("ITEMID;SORT_ORDER"));
    cdsRights->LoadFrom(rights);
}

// The catalogue's services that the check accepts, in the catalogue's order.
void TSelSrv::readServices()
{
    Z_ASSERT(DataSource1->DataSet() != nullptr, QStringLiteral("DataSource1.DataSet = nil"));
    TResultSet offer;
    offer.columns = {{QStringLiteral("F_SEL"), TFieldType::ftInteger, 0, false},
                     {QStringLiteral("SrvName"), TFieldType::ftString, 100, false},
                     {QStringLiteral("DLLName"), TFieldType::ftString, 100, false},
                     {QStringLiteral("ITEMID"), TFieldType::ftInteger, 0, false},
                     {QStringLiteral("CREATEBTN"), TFieldType::ftInteger, 0, false},
                     {QStringLiteral("GUID"), TFieldType::ftString, 40, false}};
    if (FCheck) {
        SrvItemTbl->Open();
        for (SrvItemTbl->First(); !SrvItemTbl->Eof(); SrvItemTbl->Next()) {
            const int itemId = fieldInt(SrvItemTbl, "ITEMID");
            if (!FCheck(itemId))
                continue;
            offer.rows.append({fieldInt(SrvItemTbl, "F_SEL"),
                               TranslateAppText(SrvItemTbl->FieldByName(QStringLiteral("SRVNAME"))->AsString()),
                               SrvItemTbl->FieldByName(QStringLiteral("DLLNAME"))->AsString(), itemId,
                               fieldInt(SrvItemTbl, "CREATEBTN"),
                               SrvItemTbl->FieldByName(QStringLiteral("GUID"))->AsString()});
        }
        SrvItemTbl->Close();
    }
    // The grid takes its columns when the rows arrive: the fields and their
    // settings come first, or the hidden ones would show until the next change.
    if (DS->FieldCount() == 0) {
        for (const TColumnInfo &column : offer.columns)
            DS->AddField(column.name, column.type, column.size, column.required);
        const struct {
            const char *name;
            QString label;
            int width;
        } shown[] = {{"F_SEL", WordText(QStringLiteral("rstrChoice"), QStringLiteral("Choice")), 6},
                     {"SrvName", WordText(QStringLiteral("rstrAplService"), QStringLiteral("Service")), 63},
                     {"DLLName", WordText(QStringLiteral("rstrFile"), QStringLiteral("File")), 30}};
        for (const auto &field : shown) {
            TField *f = DS->FieldByName(QString::fromLatin1(field.name));
            f->SetDisplayLabel(field.label);
            f->SetDisplayWidth(field.width);
        }
        for (const char *hidden : {"ITEMID", "CREATEBTN", "GUID"})
            DS->FieldByName(QString::fromLatin1(hidden))->SetVisible(false);
    }
    DS->LoadFrom(offer);
    const QFontMetrics metrics(DBGrid1->font());
    DBGrid1->setColumnWidth(0, metrics.horizontalAdvance(QLatin1Char('0')) * 6 + 16);
    DBGrid1->setColumnWidth(1, metrics.horizontalAdvance(QLatin1Char('0')) * 40);
}

int TSelSrv::currentItemId() const { return DS->Active() && !DS->IsEmpty() ? fieldInt(DS, "ITEMID") : -1; }

void TSelSrv::ShowRights()
{
    FUpdating = true;
    RightList->clear();
    if (V_SRVITEMS_MODE->Active() && !V_SRVITEMS_MODE->IsEmpty() && cdsRights->Active()) {
        cdsRights->SetFilter(QStringLiteral("ITEMID=%1").arg(currentItemId()));
        cdsRights->SetFiltered(true);
        TField *sortOrder = cdsRights->FieldByName(QStringLiteral("SORT_ORDER"));
        TField *name = cdsRights->FieldByName(QStringLiteral("NAME"));
        TField *check = cdsRights->FieldByName(QStringLiteral("F_CHECK"));
        for (cdsRights->First(); !cdsRights->Eof(); cdsRights->Next()) {
            auto *row = new QTreeWidgetItem(RightList, QStringList{name->AsString()});
            row->setData(0, Qt::UserRole, sortOrder->AsInteger());
            row->setCheckState(0, check->AsInteger() == 1 ? Qt::Checked : Qt::Unchecked);
        }
    }
    FUpdating = false;
}

// A tick is stored on the right at the row's position: two rights may carry one name.
void TSelSrv::storeTick(QTreeWidgetItem *row)
{
    if (FUpdating)
        return;
    const QVariantList key{currentItemId(), row->data(0, Qt::UserRole)};
    if (!cdsRights->Locate(QStringLiteral("ITEMID;SORT_ORDER"), key))
        return;
    cdsRights->Edit();
    cdsRights->FieldByName(QStringLiteral("F_CHECK"))->SetAsInteger(row->checkState(0) == Qt::Checked ? 1 : 0);
    cdsRights->Post();
}

void TSelSrv::setAllTicks(int mode)
{
    for (int i = 0; i < RightList->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = RightList->topLevelItem(i);
        const bool checked = mode < 0 ? row->checkState(0) != Qt::Checked : mode == 1;
        row->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void TSelSrv::syncRights(int itemId, int value, bool show)
{
    if (!chRightsAll->isChecked())
        return;
    cdsRights->SetFilter(QStringLiteral("ITEMID=%1").arg(itemId));
    cdsRights->SetFiltered(true);
    TField *check = cdsRights->FieldByName(QStringLiteral("F_CHECK"));
    for (cdsRights->First(); !cdsRights->Eof(); cdsRights->Next()) {
        cdsRights->Edit();
        check->SetAsInteger(value);
        cdsRights->Post();
    }
    if (show)
        ShowRights();
}

void TSelSrv::ToggleCurrent()
{
    if (!DS->Active() || DS->IsEmpty())
        return;
    TField *sel = DS->FieldByName(QStringLiteral("F_SEL"));
    DS->Edit();
    sel->SetAsInteger(1 - sel->AsInteger());
    syncRights(currentItemId(), sel->AsInteger(), true);
    DS->Post();
}

void TSelSrv::SelectServices(int mode)
{
    if (!DS->Active() || DS->IsEmpty())
        return;
    const TBookmark current = DS->GetBookmark();
    TField *sel = DS->FieldByName(QStringLiteral("F_SEL"));
    DS->DisableControls();
    try {
        for (DS->First(); !DS->Eof(); DS->Next()) {
            const int value = mode < 0 ? 1 - sel->AsInteger() : mode;
            DS->Edit();
            sel->SetAsInteger(value);
            syncRights(currentItemId(), value, false);
            DS->Post();
        }
        DS->GotoBookmark(current);
    } catch (...) {
        DS->EnableControls();
        throw;
    }
    DS->EnableControls();
    ShowRights();
}

QString TSelSrv::ModeOf(int itemId)
{
    cdsRights->SetFilter(QStringLiteral("ITEMID=%1").arg(itemId));
    cdsRights->SetFiltered(true);
    QList<bool> granted;
    TField *check = cdsRights->FieldByName(QStringLiteral("F_CHECK"));
    for (cdsRights->First(); !cdsRights->Eof(); cdsRights->Next())
        granted << (check->AsInteger() == 1);
    return RightsString(granted);
}

void TSelSrv::GetResults(TSrvItemArray &items, TSrvModeArray &modes)
{
    items.clear();
    modes.clear();
    for (int row = 0; row < DS->RecordCount(); ++row) {
        auto value = [this, row](const char *name) {
            return DS->ValueAt(row, DS->FieldByName(QString::fromLatin1(name))->Index());
        };
        if (value("F_SEL").toInt() != 1)
            continue;
        TSrvItem item;
        item.ItemId = value("ITEMID").toInt();
        item.CreateBtn = value("CREATEBTN").toInt() == 1;
        item.GUID = value("GUID").toString();
        item.DLLNAME = value("DLLName").toString();
        item.SrvName = value("SrvName").toString();
        items.append(item);
        modes.append(ModeOf(item.ItemId));
    }
}

void TSelSrv::accept()
{
    // OK needs something offered; nothing chosen is a valid answer.
    if (!DS->Active() || DS->IsEmpty()) {
        QApplication::beep();
        return;
    }
    QDialog::accept();
}

bool TSelSrv::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        ToggleCurrent();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool ChooseServices(TSrvItemArray &items, TSrvModeArray &modes, const TSrvCheck &check)
{
    TSelSrv form;
    form.FCheck = check;
    if (!form.Prepare()) {
        ShowMessageBox(MessageText(QStringLiteral("rstr_NotVacantService"),
                                   QStringLiteral("There is no service left to add to the menu")),
                       ConsoleText(ctServiceRegistration), MB_ICONINFORMATION);
        return false;
    }
    if (ExecModalDialog(&form) != QDialog::Accepted)
        return false;
    form.GetResults(items, modes);
    return true;
}
