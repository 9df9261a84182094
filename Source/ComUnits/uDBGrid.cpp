#include "Source/ComUnits/uDBGrid.h"

#include "DataAccess/DataSet.h"
#include "Ui/DataSetModel.h"

#include <QAbstractProxyModel>
#include <QHeaderView>

namespace {

const TDBGridOptions kDefaultOptions = DBGridOption(dgEditing) | DBGridOption(dgTitles) | DBGridOption(dgIndicator) |
                                       DBGridOption(dgColumnResize) | DBGridOption(dgColLines) |
                                       DBGridOption(dgRowLines) | DBGridOption(dgTabs) | DBGridOption(dgConfirmDelete) |
                                       DBGridOption(dgCancelOnExit);

} // namespace

TDBGrid::TDBGrid(QWidget *parent) : QTableView(parent) { SetOptions(kDefaultOptions); }

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
