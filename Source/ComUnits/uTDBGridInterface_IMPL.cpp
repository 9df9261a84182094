#include "Source/ComUnits/uTDBGridInterface_IMPL.h"

#include "Core/DialogService.h"
#include "DataAccess/DataSet.h"
#include "Source/ComUnits/uComFormLibInt.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Ui/DataSetModel.h"
#include "Ui/ResourceColors.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

// --- TGridInterfaced

TGridInterfaced::TGridInterfaced(QAbstractItemView *component) : m_component(component) {}

TGridInterfaced::~TGridInterfaced() = default;

// --- the check column's look

namespace {

// Draws the cells of the check column as centred check boxes, the others as they are.
class TCheckColumnDelegate : public QStyledItemDelegate {
public:
    TCheckColumnDelegate(TDBGridIntObj *owner, QObject *parent) : QStyledItemDelegate(parent), m_owner(owner) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!m_owner->IsCheckColumn(index.column())) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        cell.text.clear();
        cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        if (!(cell.state & QStyle::State_Selected))
            cell.backgroundBrush = clMainBackground;
        QStyle *style = cell.widget ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

        const TField *field = m_owner->ModelColumnField(index.column());
        QStyleOptionViewItem box(cell);
        const int size = style->pixelMetric(QStyle::PM_IndicatorWidth, &box, cell.widget);
        box.rect = QRect(cell.rect.center().x() - size / 2, cell.rect.center().y() - size / 2, size, size);
        box.state &= ~(QStyle::State_On | QStyle::State_Off);
        box.state |=
            field && CheckValueOf(field->DataType(), index.data(Qt::EditRole)) ? QStyle::State_On : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, cell.widget);
    }

private:
    TDBGridIntObj *m_owner;
};

void showToggleError(const std::exception &e)
{
    ShowDialogMessage(ExceptionMessage(e).trimmed(), MsgBoxCaption(1), MsgBoxFlags(1));
}

} // namespace

// --- TDBGridIntObj

TDBGridIntObj::TDBGridIntObj(TDBGrid *grid) : TGridInterfaced(grid)
{
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
}

TDBGridIntObj::~TDBGridIntObj()
{
    if (TDBGrid *g = grid()) {
        g->removeEventFilter(this);
        g->viewport()->removeEventFilter(this);
        if (g->itemDelegate() == m_checkDelegate)
            g->setItemDelegate(nullptr);
    }
    delete m_checkDelegate;
    if (m_drawStateSaved)
        RestoreDrawState();
}

TDBGrid *TDBGridIntObj::grid() const { return qobject_cast<TDBGrid *>(m_component.data()); }

TDBGridOptions TDBGridIntObj::GetOptions() const { return grid() ? grid()->Options() : 0; }

void TDBGridIntObj::SetOptions(TDBGridOptions options)
{
    if (grid())
        grid()->SetOptions(options);
}

void TDBGridIntObj::SetCheckColumnOwnerDrawn(bool drawn)
{
    m_checkDrawn = drawn;
    TDBGrid *g = grid();
    if (!g)
        return;
    if (drawn && !m_checkDelegate) {
        m_checkDelegate = new TCheckColumnDelegate(this, nullptr);
        g->setItemDelegate(m_checkDelegate);
        if (QAbstractItemModel *model = g->model()) {
            connect(model, &QAbstractItemModel::modelReset, this, &TDBGridIntObj::paintEmptyGrid);
            connect(model, &QAbstractItemModel::rowsInserted, this, &TDBGridIntObj::paintEmptyGrid);
            connect(model, &QAbstractItemModel::rowsRemoved, this, &TDBGridIntObj::paintEmptyGrid);
        }
        paintEmptyGrid();
    } else if (!drawn && m_checkDelegate) {
        g->setItemDelegate(nullptr);
        delete m_checkDelegate;
        m_checkDelegate = nullptr;
    }
    g->viewport()->update();
}

// A grid without records shows so in its background.
void TDBGridIntObj::paintEmptyGrid()
{
    TDBGrid *g = grid();
    if (!g)
        return;
    QPalette palette = g->viewport()->palette();
    const bool empty = !g->model() || g->model()->rowCount() == 0;
    palette.setColor(QPalette::Base, empty ? clNotRecord : g->palette().color(QPalette::Base));
    g->viewport()->setPalette(palette);
}

QFont TDBGridIntObj::TitleFont() const { return grid() ? grid()->horizontalHeader()->font() : QFont(); }

void TDBGridIntObj::SetTitleFont(const QFont &font)
{
    if (grid())
        grid()->horizontalHeader()->setFont(font);
}

TDataSet *TDBGridIntObj::DataSet() const { return grid() ? grid()->DataSet() : nullptr; }

QAbstractItemView *TDBGridIntObj::Grid() const { return grid(); }

bool TDBGridIntObj::HasCheckField() const { return DataSet() && DataSet()->FindField(m_checkFieldName); }

bool TDBGridIntObj::GetCheckValue() const
{
    TField *field = DataSet() ? DataSet()->FindField(m_checkFieldName) : nullptr;
    return field && GetCheckFldValue(field);
}

void TDBGridIntObj::SetCheckValue(bool checked)
{
    TDataSet *ds = DataSet();
    TField *field = ds ? ds->FindField(m_checkFieldName) : nullptr;
    if (!field)
        return;
    const bool editing = ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert;
    if (!editing)
        ds->Edit();
    try {
        SetCheckFldValue(field, checked);
        if (!editing)
            ds->Post();
    } catch (...) {
        if (!editing)
            ds->Cancel();
        throw;
    }
}

int TDBGridIntObj::ColumnCount() const { return grid() && grid()->Model() ? grid()->Model()->columnCount() : 0; }

// Columns are counted in display order: the user may have moved them.
int TDBGridIntObj::logicalColumn(int column) const
{
    return grid() && column >= 0 && column < ColumnCount() ? grid()->horizontalHeader()->logicalIndex(column) : -1;
}

TField *TDBGridIntObj::ColumnField(int column) const
{
    const int logical = logicalColumn(column);
    return logical >= 0 ? grid()->Model()->FieldOfColumn(logical) : nullptr;
}

QString TDBGridIntObj::ColumnTitle(int column) const
{
    const TField *field = ColumnField(column);
    return field ? field->DisplayLabel() : QString();
}

int TDBGridIntObj::ColumnWidth(int column) const
{
    const int logical = logicalColumn(column);
    return logical >= 0 ? grid()->columnWidth(logical) : 0;
}

bool TDBGridIntObj::ColumnVisible(int column) const
{
    const int logical = logicalColumn(column);
    return logical >= 0 && !grid()->isColumnHidden(logical);
}

int TDBGridIntObj::SelectedColumn() const
{
    const QModelIndex current = grid() ? grid()->currentIndex() : QModelIndex();
    return current.isValid() ? grid()->horizontalHeader()->visualIndex(current.column()) : -1;
}

void TDBGridIntObj::SetSelectedColumn(int column)
{
    TDBGrid *g = grid();
    const int logical = logicalColumn(column);
    if (logical < 0)
        return;
    g->setCurrentIndex(g->Model()->index(qMax(0, g->Model()->CurrentRow()), logical));
}

QString TDBGridIntObj::Hint() const { return grid() ? grid()->Hint() : QString(); }

void TDBGridIntObj::SaveDrawState()
{
    if (m_drawStateSaved || !DataSet())
        return;
    DataSet()->DisableControls();
    m_drawStateSaved = true;
}

void TDBGridIntObj::RestoreDrawState()
{
    if (!m_drawStateSaved)
        return;
    m_drawStateSaved = false;
    if (DataSet())
        DataSet()->EnableControls();
}

void TDBGridIntObj::runSelect(int mode) { ComFormLibs::RunSelectGrid(this, mode, CheckFieldName(), 1); }

void TDBGridIntObj::SelectAll() { runSelect(0); }

void TDBGridIntObj::SelectNone() { runSelect(3); }

void TDBGridIntObj::InvertSelection() { runSelect(1); }

TField *TDBGridIntObj::ModelColumnField(int column) const
{
    return grid() && grid()->Model() ? grid()->Model()->FieldOfColumn(column) : nullptr;
}

bool TDBGridIntObj::IsCheckColumn(int column) const
{
    const TField *field = ModelColumnField(column);
    return m_checkDrawn && field && field->FieldName().compare(m_checkFieldName, Qt::CaseInsensitive) == 0;
}

void TDBGridIntObj::ToggleCheck()
{
    if (OnToggleCheck)
        OnToggleCheck();
    else
        SetCheckValue(!GetCheckValue());
}

bool TDBGridIntObj::eventFilter(QObject *watched, QEvent *event)
{
    TDBGrid *g = grid();
    if (!g || !m_checkDrawn || !HasCheckField())
        return false;
    bool toggle = false;
    bool consumed = false;
    if (watched == g && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        toggle = consumed = key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier;
    } else if (watched == g->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex at = g->indexAt(mouse->position().toPoint());
        toggle = mouse->button() == Qt::LeftButton && at.isValid() && IsCheckColumn(at.column()) &&
                 at.row() == g->currentIndex().row();
    }
    if (!toggle)
        return false;
    // An event handler lets nothing escape: a refused change is silent, a failure is shown.
    try {
        ToggleCheck();
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        showToggleError(e);
    }
    return consumed;
}

// --- TDBIntList

TDBIntList::TDBIntList() = default;

TDBIntList::~TDBIntList() = default;

int TDBIntList::Add(std::unique_ptr<TGridInterfaced> item)
{
    m_items.push_back(std::move(item));
    return Count() - 1;
}

TGridInterfaced *TDBIntList::Objects(int i) const
{
    return i >= 0 && i < Count() ? m_items[std::size_t(i)].get() : nullptr;
}

IDBGrid *TDBIntList::GetItem(int i) const
{
    IDBGrid *result = qobject_cast<IDBGrid *>(Objects(i));
    if (!result)
        throw Exception(QStringLiteral("TDBIntList.GetItem(%1): IDBGrid interface is not obtained").arg(i));
    return result;
}

TGridInterfaced *TDBIntList::Find(const QAbstractItemView *grid) const
{
    if (!grid)
        return nullptr;
    for (const auto &item : m_items)
        if (item->Component() == grid)
            return item.get();
    return nullptr;
}
