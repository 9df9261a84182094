#include "DataSetModel.h"

#include "DataSet.h"
#include "Field.h"

TDataSetModel::TDataSetModel(TDataSource *source, QObject *parent) : QAbstractTableModel(parent), m_source(source)
{
    if (m_source) {
        m_source->AddLink(this);
        connect(m_source, &QObject::destroyed, this, [this] {
            beginResetModel();
            m_source = nullptr;
            m_columns.clear();
            endResetModel();
        });
    }
    RebuildColumns();
}

TDataSetModel::~TDataSetModel()
{
    if (m_source)
        m_source->RemoveLink(this);
}

void TDataSetModel::RebuildColumns()
{
    m_columns.clear();
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds)
        return;
    for (int i = 0; i < ds->FieldCount(); ++i)
        if (ds->Fields(i)->Visible())
            m_columns.append(i);
}

TField *TDataSetModel::FieldOfColumn(int column) const
{
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    if (!ds || column < 0 || column >= m_columns.size() || m_columns[column] >= ds->FieldCount())
        return nullptr;
    return ds->Fields(m_columns[column]);
}

int TDataSetModel::CurrentRow() const
{
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    return ds && ds->Active() ? ds->RecNo() - 1 : -1;
}

void TDataSetModel::SetCurrentRow(int row)
{
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    if (ds && ds->Active() && row >= 0 && row < ds->RecordCount())
        ds->SetRecNo(row + 1);
}

int TDataSetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    TDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    return ds && ds->Active() ? ds->RecordCount() : 0;
}

int TDataSetModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant TDataSetModel::data(const QModelIndex &index, int role) const
{
    TField *f = FieldOfColumn(index.column());
    if (!f || !index.isValid())
        return QVariant();
    const QVariant v = f->DataSet()->ValueAt(index.row(), f->Index());
    switch (role) {
    case Qt::DisplayRole:
        if (v.isNull() || !v.isValid())
            return QString();
        if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            if (d == double(qint64(d)) && qAbs(d) < 1e15)
                return QString::number(qint64(d));
        }
        return v.toString();
    case Qt::EditRole:
        return v;
    case Qt::TextAlignmentRole:
        return IsNumericFieldType(f->DataType()) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    TField *f = FieldOfColumn(section);
    return f ? QVariant(f->DisplayLabel()) : QVariant();
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags fl = QAbstractTableModel::flags(index);
    TField *f = FieldOfColumn(index.column());
    if (Editable && f && !f->ReadOnly() && f->DataSet()->CanModify())
        fl |= Qt::ItemIsEditable;
    return fl;
}

bool TDataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TField *f = FieldOfColumn(index.column());
    if (role != Qt::EditRole || !f || !Editable)
        return false;
    TDataSet *ds = f->DataSet();
    try {
        SetCurrentRow(index.row());
        ds->Edit();
        f->SetValue(value);
        ds->Post();
        return true;
    } catch (const EAbort &) {
        ds->Cancel();
        return false;
    } catch (...) {
        ds->Cancel();
        throw;
    }
}

void TDataSetModel::DataSetChanged()
{
    beginResetModel();
    RebuildColumns();
    endResetModel();
    emit currentRowChanged(CurrentRow());
}

void TDataSetModel::DataSetScrolled() { emit currentRowChanged(CurrentRow()); }

void TDataSetModel::RecordChanged(TField *)
{
    const int row = CurrentRow();
    if (row >= 0 && !m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

void TDataSetModel::LayoutChanged()
{
    beginResetModel();
    RebuildColumns();
    endResetModel();
}
