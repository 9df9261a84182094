#include "Source/ComUnits/uDBGrid.h"

#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "Ui/DataSetModel.h"

#include <QAbstractProxyModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTimer>

namespace {

const TDBGridOptions kDefaultOptions = DBGridOption(dgEditing) | DBGridOption(dgTitles) | DBGridOption(dgIndicator) |
                                       DBGridOption(dgColumnResize) | DBGridOption(dgColLines) |
                                       DBGridOption(dgRowLines) | DBGridOption(dgTabs) | DBGridOption(dgConfirmDelete) |
                                       DBGridOption(dgCancelOnExit);

} // namespace

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent)
{
    SetOptions(kDefaultOptions);
    setWordWrap(false);
    QHeaderView *titles = horizontalHeader();
    titles->setSectionsMovable(true);
    titles->viewport()->installEventFilter(this);
    connect(titles, &QHeaderView::sectionMoved, this, &TDBGrid::userChangedColumns);
    connect(titles, &QHeaderView::sectionResized, this, &TDBGrid::userChangedColumns);
}

TDBGrid::~TDBGrid()
{
    // The model leaves the data source before the view goes.
    setModel(nullptr);
    delete m_model;
}

void TDBGrid::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
    m_source = source;
    if (!source)
        return;
    m_model = new TDataSetModel(source, this);
    m_model->Editable = (m_options & DBGridOption(dgEditing)) != 0;
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &TDBGrid::keepLayout);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TDBGrid::applyLayout);
    connect(m_model, &TDataSetModel::currentRowChanged, this, &TDBGrid::followDataSet);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { followView(current); });
    followDataSet(m_model->CurrentRow());
}

TDataSet *TDBGrid::DataSet() const { return m_source ? m_source->DataSet() : nullptr; }

void TDBGrid::SetOptions(TDBGridOptions options)
{
    m_options = options;
    const auto has = [options](TDBGridOption member) { return (options & DBGridOption(member)) != 0; };
    setEditTriggers(has(dgEditing) ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                   : QAbstractItemView::NoEditTriggers);
    if (m_model)
        m_model->Editable = has(dgEditing);
    horizontalHeader()->setVisible(has(dgTitles));
    verticalHeader()->setVisible(has(dgIndicator));
    horizontalHeader()->setSectionResizeMode(has(dgColumnResize) ? QHeaderView::Interactive : QHeaderView::Fixed);
    setShowGrid(has(dgColLines) || has(dgRowLines));
    setTabKeyNavigation(has(dgTabs));
    setSelectionBehavior(has(dgRowSelect) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setSelectionMode(has(dgMultiSelect) ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TDBGrid::followDataSet(int row)
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row)
        return;
    const int column = current.isValid() ? current.column() : 0;
    setCurrentIndex(m_model->index(row, qMax(0, qMin(column, m_model->columnCount() - 1))));
}

void TDBGrid::followView(const QModelIndex &current)
{
    if (m_model && current.isValid() && current.row() != m_model->CurrentRow())
        m_model->SetCurrentRow(current.row());
}

// --- the arrangement of the columns

QString TDBGrid::ColumnLayout() const
{
    const QHeaderView *titles = horizontalHeader();
    QStringList parts;
    for (int visual = 0; visual < titles->count(); ++visual) {
        const int logical = titles->logicalIndex(visual);
        const TField *field = m_model ? m_model->FieldOfColumn(logical) : nullptr;
        if (field && !isColumnHidden(logical))
            parts << field->FieldName() + QLatin1Char('=') + QString::number(columnWidth(logical));
    }
    return parts.join(QLatin1Char(','));
}

void TDBGrid::SetColumnLayout(const QString &layout)
{
    m_layout = layout.trimmed();
    m_userArranged = false;
    m_layoutChanged = false;
    applyLayout();
}

void TDBGrid::ResetColumns()
{
    m_layout.clear();
    m_userArranged = false;
    m_applying = true;
    QHeaderView *titles = horizontalHeader();
    for (int logical = 0; logical < titles->count(); ++logical)
        titles->moveSection(titles->visualIndex(logical), logical);
    resizeColumnsToContents();
    m_applying = false;
    m_layoutChanged = true;
    emit columnLayoutChanged();
}

void TDBGrid::FitColumns()
{
    if (ColumnsArranged()) {
        applyLayout();
        return;
    }
    m_applying = true;
    resizeColumnsToContents();
    m_applying = false;
}

// New columns (the data set opened again) start from the design: the user's arrangement is taken first.
void TDBGrid::keepLayout()
{
    if (m_userArranged && m_model && m_model->columnCount() > 0)
        m_layout = ColumnLayout();
}

void TDBGrid::applyLayout()
{
    if (!m_model || m_model->columnCount() == 0)
        return;
    if (m_layout.isEmpty()) {
        widenToContents();
        return;
    }
    m_applying = true;
    QHeaderView *titles = horizontalHeader();
    int place = 0;
    for (const QString &part : m_layout.split(QLatin1Char(','))) {
        const QString name = part.section(QLatin1Char('='), 0, 0).trimmed();
        bool valid = false;
        const int width = part.section(QLatin1Char('='), 1).toInt(&valid);
        for (int logical = 0; logical < m_model->columnCount(); ++logical) {
            const TField *field = m_model->FieldOfColumn(logical);
            if (!field || field->FieldName().compare(name, Qt::CaseInsensitive) != 0)
                continue;
            titles->moveSection(titles->visualIndex(logical), place++);
            // A width the file made unreadable or absurd leaves the column as it is.
            if (valid && width > 0 && width <= 10000)
                setColumnWidth(logical, width);
            break;
        }
    }
    m_applying = false;
}

// New rows (a detail's of another master record) may be wider than the columns: a number is never cut.
void TDBGrid::widenToContents()
{
    if (m_userArranged)
        return;
    m_applying = true;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const int wanted = qMax(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
        if (!isColumnHidden(column) && wanted > columnWidth(column))
            setColumnWidth(column, wanted);
    }
    m_applying = false;
}

void TDBGrid::userChangedColumns()
{
    if (m_applying || !m_titleGesture)
        return;
    m_userArranged = true;
    m_layoutChanged = true;
    emit columnLayoutChanged();
}

bool TDBGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            m_titleGesture = true;
        // A title dropped in another place moves when the release is handled: the gesture ends after it.
        else if (event->type() == QEvent::MouseButtonRelease)
            QTimer::singleShot(0, this, [this] { m_titleGesture = false; });
    }
    return QTableView::eventFilter(watched, event);
}

TDataSet *DataSetOfView(const QAbstractItemView *view)
{
    if (!view)
        return nullptr;
    if (auto *grid = qobject_cast<const TDBGrid *>(view))
        return grid->DataSet();
    const QAbstractItemModel *model = view->model();
    while (auto *proxy = qobject_cast<const QAbstractProxyModel *>(model))
        model = proxy->sourceModel();
    auto *dataModel = qobject_cast<const TDataSetModel *>(model);
    return dataModel && dataModel->DataSource() ? dataModel->DataSource()->DataSet() : nullptr;
}
