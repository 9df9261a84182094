#include "Ui/DataSetModel.h"

#include "Core/SessionLocale.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"

namespace {

QString numberText(TFieldType type, int scale, double d, const QLocale &locale)
{
    if (type == TFieldType::ftCurrency)
        scale = 2;
    if (scale >= 0)
        return locale.toString(d, 'f', scale);
    if (d == double(qint64(d)) && qAbs(d) < 1e15)
        return locale.toString(qint64(d));
    return locale.toString(d, 'g', 15);
}

} // namespace

QString GridDisplayText(TFieldType type, int scale, const QVariant &value, const QLocale &locale)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (type) {
    case TFieldType::ftBoolean:
        return QString();
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp: {
        if (value.typeId() != QMetaType::QDateTime && value.typeId() != QMetaType::QDate &&
            value.typeId() != QMetaType::QTime)
            return value.toString(); // a text the server could not read as a date: shown as it is
        const QString dateFormat = DateFormatOf(locale);
        if (value.typeId() == QMetaType::QTime || type == TFieldType::ftTime)
            return locale.toString(value.toTime(), TimeFormatOf(locale));
        const QDateTime dt = value.toDateTime();
        if (type == TFieldType::ftDate || dt.time() == QTime(0, 0))
            return locale.toString(dt.date(), dateFormat);
        return locale.toString(dt.date(), dateFormat) + QLatin1Char(' ') +
               locale.toString(dt.time(), TimeFormatOf(locale));
    }
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
        // An amount that came out whole keeps the decimal places its field was given.
        if (scale > 0 && value.canConvert<double>() && value.typeId() != QMetaType::QString)
            return numberText(TFieldType::ftFloat, scale, value.toDouble(), locale);
        // Numbers that count or name records (ids, quantities) without group separators.
        return value.canConvert<qlonglong>() && value.typeId() != QMetaType::QString
                   ? QString::number(value.toLongLong())
                   : value.toString();
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftFMTBcd: {
        bool ok = false;
        const double d = value.toDouble(&ok);
        return ok ? numberText(type, scale, d, locale) : value.toString();
    }
    default:
        if (value.typeId() == QMetaType::Double)
            return numberText(type, scale, value.toDouble(), locale);
        return value.toString();
    }
}

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
        return GridDisplayText(f->DataType(), f->Scale(), v);
    case Qt::EditRole:
        return v;
    case Qt::CheckStateRole:
        if (f->DataType() != TFieldType::ftBoolean || v.isNull())
            return QVariant();
        return v.toBool() ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        if (f->DataType() == TFieldType::ftBoolean)
            return QVariant(Qt::AlignCenter);
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
        fl |= f->DataType() == TFieldType::ftBoolean ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return fl;
}

bool TDataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TField *f = FieldOfColumn(index.column());
    if (!f || !Editable || (role != Qt::EditRole && role != Qt::CheckStateRole))
        return false;
    if (role == Qt::CheckStateRole && f->DataType() != TFieldType::ftBoolean)
        return false;
    TDataSet *ds = f->DataSet();
    try {
        SetCurrentRow(index.row());
        ds->Edit();
        if (role == Qt::CheckStateRole)
            f->SetAsBoolean(value.toInt() == Qt::Checked);
        else
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
