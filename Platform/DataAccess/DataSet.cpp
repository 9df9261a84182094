#include "DataAccess/DataSet.h"

#include "DataAccess/DataSource.h"
#include "DataAccess/DbWait.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>

namespace {

const QVariant kNull;

// (A variant without a type is null as well.)
bool isNullValue(const QVariant &v) { return v.isNull(); }

// A stored value with its type read once (reading it is a call): filters and
// searches look at every record.
struct TValue {
    explicit TValue(const QVariant &value) : v(value), type(value.typeId()) {}
    // The text as it is stored, without a copy (null for other values).
    const QString *StoredText() const
    {
        return type == QMetaType::QString ? static_cast<const QString *>(v.constData()) : nullptr;
    }
    // A NULL of a type (as SQL drivers give it) holds the type's default
    // value, so a number other than 0 or a text that is not empty is no NULL
    // and QVariant need not be asked.
    bool IsNull() const
    {
        switch (type) {
        case QMetaType::UnknownType:
            return true;
        case QMetaType::Double:
            if (*static_cast<const double *>(v.constData()) != 0)
                return false;
            break;
        case QMetaType::LongLong:
            if (*static_cast<const qlonglong *>(v.constData()) != 0)
                return false;
            break;
        case QMetaType::QString:
            if (!static_cast<const QString *>(v.constData())->isEmpty())
                return false;
            break;
        default:
            break;
        }
        return v.isNull();
    }
    const QVariant &v;
    const int type;
};

// The number a value stands for.
Q_ALWAYS_INLINE bool numberOf(const TValue &value, double *out)
{
    switch (value.type) {
    case QMetaType::Double:
        *out = *static_cast<const double *>(value.v.constData());
        return true;
    case QMetaType::LongLong:
        *out = double(*static_cast<const qlonglong *>(value.v.constData()));
        return true;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        *out = value.v.toDouble();
        return true;
    default: {
        bool ok = false;
        *out = value.v.toString().trimmed().toDouble(&ok);
        return ok;
    }
    }
}

bool toNumber(const QVariant &v, double *out) { return !isNullValue(v) && numberOf(TValue(v), out); }

// The text of a value: a whole number without decimals.
QString textOfValue(const TValue &value)
{
    if (const QString *text = value.StoredText())
        return *text;
    if (value.type == QMetaType::Double) {
        const double d = *static_cast<const double *>(value.v.constData());
        if (d == double(qint64(d)) && qAbs(d) < 1e15)
            return QString::number(qint64(d));
    }
    return value.v.toString();
}

QString textOf(const QVariant &v) { return isNullValue(v) ? QString() : textOfValue(TValue(v)); }

// The moment a value stands for: a date-time, a date, or a text in ISO form ("2024-03-01", "2024-03-01 10:30:00").
std::optional<QDateTime> dateTimeOf(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return v.toDateTime();
    case QMetaType::QDate:
        return v.toDate().startOfDay();
    case QMetaType::QString: {
        const QDateTime dt = DateTimeOfText(v.toString().trimmed());
        return dt.isValid() ? std::optional(dt) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// A wanted value read once for comparing it with many stored values.
class TWanted {
public:
    explicit TWanted(const QVariant &value)
        : m_value(value), m_null(isNullValue(value)), m_isText(value.typeId() == QMetaType::QString),
          m_isNumber(toNumber(value, &m_number))
    {
    }
    bool IsNull() const { return m_null; }
    bool IsText() const { return m_isText; }
    bool IsNumber() const { return m_isNumber; }
    double Number() const { return m_number; }
    // The moment the value stands for: a date-time, a date, or a text in ISO form.
    const std::optional<QDateTime> &DateTime() const
    {
        if (!m_dateTimeKnown) {
            m_dateTime = dateTimeOf(m_value);
            m_dateTimeKnown = true;
        }
        return m_dateTime;
    }
    const QString &Text() const
    {
        if (!m_textKnown) {
            m_text = textOf(m_value);
            m_textKnown = true;
        }
        return m_text;
    }

private:
    QVariant m_value;
    bool m_null;
    bool m_isText;
    double m_number = 0;
    bool m_isNumber;
    mutable QString m_text;
    mutable bool m_textKnown = false;
    mutable std::optional<QDateTime> m_dateTime;
    mutable bool m_dateTimeKnown = false;
};

// Compares a stored value that is not null with a wanted one that is not
// null: numbers as numbers when both are numbers, unless the field holds texts
// and both values are texts.
Q_ALWAYS_INLINE int compareNotNull(const TValue &stored, const TWanted &wanted, bool numericField,
                                   Qt::CaseSensitivity cs)
{
    const QString *text = stored.StoredText();
    double a = 0;
    if (wanted.IsNumber() && (numericField || !wanted.IsText() || !text) && numberOf(stored, &a)) {
        const double b = wanted.Number();
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    // Dates as moments: their texts ("Fri Mar 1 2024") do not sort.
    if ((stored.type == QMetaType::QDateTime || stored.type == QMetaType::QDate) && wanted.DateTime()) {
        const QDateTime have = *dateTimeOf(stored.v), want = *wanted.DateTime();
        return have < want ? -1 : (have > want ? 1 : 0);
    }
    return text ? QString::compare(*text, wanted.Text(), cs) : QString::compare(textOfValue(stored), wanted.Text(), cs);
}

// The same, NULL coming first.
int compareWith(const TValue &stored, const TWanted &wanted, bool numericField, Qt::CaseSensitivity cs)
{
    const bool sn = stored.IsNull(), wn = wanted.IsNull();
    if (sn || wn)
        return sn == wn ? 0 : (sn ? -1 : 1);
    return compareNotNull(stored, wanted, numericField, cs);
}

int compareValues(const QVariant &stored, const QVariant &wanted, bool numericField, bool caseInsensitive)
{
    return compareWith(TValue(stored), TWanted(wanted), numericField,
                       caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

QStringList splitNames(const QString &names)
{
    QStringList out;
    for (const QString &n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            out.append(n.trimmed());
    return out;
}

} // namespace

// One condition of the filter, read once when the filter is set.
struct TDataSet::FilterCondition {
    enum Op { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual };
    int field = -1;
    Op op = Equal;
    bool numericField = false;
    TWanted value{QVariant()}; // null: compare with NULL
};

TDataSet::TDataSet(QObject *owner) : QObject(owner) {}

TDataSet::~TDataSet()
{
    const QList<TDataSource *> sources = m_sources;
    for (TDataSource *s : sources)
        s->DataSetGone();
}

// ---------------------------------------------------------------- fields

TField *TDataSet::Fields(int i) const
{
    if (i < 0 || i >= FieldCount())
        throw EDatabaseError(QStringLiteral("%1: Field index out of range: %2").arg(Name()).arg(i));
    return m_fields[size_t(i)].get();
}

TField *TDataSet::FindField(const QString &name) const
{
    const QString wanted = name.trimmed();
    for (const auto &f : m_fields)
        if (f->FieldName().compare(wanted, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField *TDataSet::FieldByName(const QString &name) const
{
    TField *f = FindField(name);
    if (!f)
        throw EDatabaseError(Name().isEmpty() ? QStringLiteral("Field '%1' not found").arg(name)
                                              : QStringLiteral("%1: Field '%2' not found").arg(Name(), name));
    return f;
}

QStringList TDataSet::FieldNames() const
{
    QStringList names;
    for (const auto &f : m_fields)
        names.append(f->FieldName());
    return names;
}

TField *TDataSet::AddField(const QString &name, TFieldType type, int size, bool required)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("%1: Cannot add a field to an open data set").arg(Name()));
    if (!m_persistentFields)
        m_fields.clear();
    m_persistentFields = true;
    if (FindField(name))
        throw EDatabaseError(QStringLiteral("%1: Duplicate field name '%2'").arg(Name(), name));
    auto f = std::make_unique<TField>(this, name, type, size, required);
    f->m_index = FieldCount();
    m_fields.push_back(std::move(f));
    NotifyLayoutChanged();
    return m_fields.back().get();
}

void TDataSet::ClearPersistentFields()
{
    if (Active())
        throw EDatabaseError(QStringLiteral("%1: Cannot remove fields of an open data set").arg(Name()));
    m_persistentFields = false;
    m_fields.clear();
    NotifyLayoutChanged();
}

QList<int> TDataSet::FieldIndexes(const QStringList &names) const
{
    QList<int> out;
    for (const QString &n : names)
        out.append(FieldByName(n)->Index());
    return out;
}

// ---------------------------------------------------------------- open / close

TResultSet TDataSet::InternalOpen()
{
    // An in-memory table: its records as they stand (none after Close).
    return ToResultSet();
}

void TDataSet::InternalPost(const QVector<QVariant> &, const QVector<QVariant> &, bool) {}
void TDataSet::InternalDelete(const QVector<QVariant> &) {}

std::optional<QVector<QVariant>> TDataSet::InternalRefreshRecord(const QVector<QVariant> &values) { return values; }

void TDataSet::ApplyResult(const TResultSet &result, bool keepFields)
{
    Q_UNUSED(keepFields);
    QVector<int> columnOfField;
    if (m_persistentFields) {
        for (const auto &f : m_fields) {
            const int c = result.ColumnIndex(f->FieldName());
            if (c < 0)
                throw EDatabaseError(QStringLiteral("%1: Field '%2' not found").arg(Name(), f->FieldName()));
            columnOfField.append(c);
        }
    } else {
        // Fields follow the result's columns; a field of the same name is kept
        // (pointers to it stay valid, and its display settings with it).
        std::vector<std::unique_ptr<TField>> fields;
        for (int c = 0; c < result.columns.size(); ++c) {
            const TColumnInfo &col = result.columns[c];
            std::unique_ptr<TField> kept;
            for (auto &f : m_fields)
                if (f && f->FieldName().compare(col.name, Qt::CaseInsensitive) == 0)
                    kept = std::move(f);
            if (kept) {
                kept->m_fieldName = col.name;
                kept->m_dataType = col.type;
                kept->m_size = col.size;
                kept->m_required = col.required;
                // A computed column declares no decimal places: those its form gave it stay.
                if (col.scale >= 0)
                    kept->m_scale = col.scale;
            } else {
                kept = std::make_unique<TField>(this, col.name, col.type, col.size, col.required);
                kept->m_scale = col.scale;
            }
            kept->m_index = int(fields.size());
            fields.push_back(std::move(kept));
            columnOfField.append(c);
        }
        m_fields = std::move(fields);
    }
    m_records.clear();
    m_records.reserve(result.rows.size());
    for (const QVector<QVariant> &row : result.rows) {
        TRecord r;
        r.id = m_nextId++;
        if (!m_persistentFields && row.size() == FieldCount()) {
            r.values = row; // fields follow the columns: the record shares the row
        } else {
            r.values.resize(FieldCount());
            for (int i = 0; i < FieldCount(); ++i) {
                const int c = columnOfField[i];
                const QVariant v = c < row.size() ? row[c] : QVariant();
                r.values[i] = m_persistentFields ? m_fields[size_t(i)]->Coerce(v) : v;
            }
        }
        m_records.append(std::move(r));
        DbWorkGoesOn();
    }
    m_insertedIndex = -1;
    // The filter names fields: it is read again on the fields as they are now.
    try {
        ParseFilter();
    } catch (...) {
        ClearRecords();
        throw;
    }
}

void TDataSet::Open()
{
    if (Active())
        return;
    // The statement, the rows taken in and what the grids make of them: one wait for the user.
    const TDbWork work;
    Fire(BeforeOpen);
    OpenWith(InternalOpen());
}

void TDataSet::OpenWith(const TResultSet &result)
{
    ApplyResult(result, true);
    m_state = TDataSetState::dsBrowse;
    RebuildView(0);
    m_cur = m_view.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.isEmpty();
    NotifyLayoutChanged();
    NotifyDataSetChanged();
    NotifyStateChanged();
    Fire(AfterOpen);
    Fire(AfterScroll);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    Fire(BeforeClose);
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        Cancel();
    InternalClose();
    ClearRecords();
    m_state = TDataSetState::dsInactive;
    NotifyDataSetChanged();
    NotifyStateChanged();
    Fire(AfterClose);
}

void TDataSet::ClearRecords()
{
    m_records.clear();
    m_view.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    m_insertedIndex = -1;
    m_editOldValues.clear();
    m_modified = false;
}

void TDataSet::LoadFrom(const TResultSet &result)
{
    if (Active())
        Close();
    Fire(BeforeOpen);
    OpenWith(result);
}

TResultSet TDataSet::ToResultSet() const
{
    TResultSet out;
    for (const auto &f : m_fields)
        out.columns.append({f->FieldName(), f->DataType(), f->Size(), f->Required()});
    for (const TRecord &r : m_records)
        out.rows.append(r.values);
    return out;
}

void TDataSet::Refresh()
{
    CheckActive();
    CheckBrowseMode();
    const TDbWork work;
    Fire(BeforeRefresh);
    // Remember the current record: by its key fields, else by its values, else by position.
    const QVector<QVariant> oldValues = CurrentValues();
    const QStringList keys = splitNames(KeyFields);
    QVariantList keyValues;
    QStringList usableKeys;
    for (const QString &k : keys)
        if (TField *f = FindField(k)) {
            usableKeys.append(k);
            keyValues.append(oldValues.isEmpty() ? QVariant() : oldValues[f->Index()]);
        }
    const QStringList oldNames = FieldNames();
    const int oldRecNo = RecNo();

    const TResultSet result = InternalOpen();
    ApplyResult(result, true);
    RebuildView(0);
    int target = -1;
    if (!oldValues.isEmpty()) {
        if (!usableKeys.isEmpty()) {
            target = FindRecord(usableKeys, keyValues, 0);
        } else if (FieldNames() == oldNames) {
            for (int v = 0; v < m_view.size() && target < 0; ++v)
                if (m_records[m_view[v]].values == oldValues)
                    target = v;
        }
        if (target < 0 && !m_view.isEmpty())
            target = qMin(oldRecNo, int(m_view.size())) - 1;
    }
    m_cur = m_view.isEmpty() ? -1 : qMax(0, target);
    m_bof = m_cur <= 0;
    m_eof = m_view.isEmpty();
    NotifyLayoutChanged();
    NotifyDataSetChanged();
    Fire(AfterRefresh);
}

void TDataSet::CheckActive() const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(Name()));
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) {
        if (m_modified)
            Post();
        else
            Cancel();
    }
}

// ---------------------------------------------------------------- records and view

const TDataSet::TRecord *TDataSet::CurrentRecord() const
{
    if (m_filterRecord >= 0)
        return &m_records[m_filterRecord];
    if (m_cur < 0 || m_cur >= m_view.size())
        return nullptr;
    return &m_records[m_view[m_cur]];
}

TDataSet::TRecord *TDataSet::CurrentRecordMutable() { return const_cast<TRecord *>(CurrentRecord()); }

QVector<QVariant> TDataSet::CurrentValues() const
{
    const TRecord *r = CurrentRecord();
    return r ? r->values : QVector<QVariant>();
}

QVariant TDataSet::CurrentValue(int fieldIndex) const
{
    const TRecord *r = CurrentRecord();
    if (!r || fieldIndex < 0 || fieldIndex >= r->values.size())
        return QVariant();
    return r->values[fieldIndex];
}

QVariant TDataSet::CurrentOldValue(int fieldIndex) const
{
    if (m_state == TDataSetState::dsEdit && fieldIndex >= 0 && fieldIndex < m_editOldValues.size())
        return m_editOldValues[fieldIndex];
    if (m_state == TDataSetState::dsInsert)
        return QVariant();
    return CurrentValue(fieldIndex);
}

void TDataSet::SetCurrentValue(int fieldIndex, const QVariant &value)
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        throw EDatabaseError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(Name()));
    TRecord *r = CurrentRecordMutable();
    if (!r || fieldIndex < 0 || fieldIndex >= r->values.size())
        throw EDatabaseError(QStringLiteral("%1: No current record").arg(Name()));
    r->values[fieldIndex] = value;
    m_modified = true;
    NotifyRecordChanged(m_fields[size_t(fieldIndex)].get());
}

QVariant TDataSet::ValueAt(int row, int fieldIndex) const
{
    if (row < 0 || row >= m_view.size())
        return QVariant();
    const TRecord &r = m_records[m_view[row]];
    return fieldIndex >= 0 && fieldIndex < r.values.size() ? r.values[fieldIndex] : QVariant();
}

bool TDataSet::RecordPassesFilter(int recordIndex)
{
    if (!m_filtered || recordIndex == m_insertedIndex)
        return true;
    const TRecord &r = std::as_const(m_records)[recordIndex];
    if (m_conditions) {
        for (const FilterCondition &c : *m_conditions) {
            const TValue v(c.field < r.values.size() ? r.values[c.field] : kNull);
            if (c.value.IsNull()) {
                const bool isNull = v.IsNull();
                if ((c.op == FilterCondition::Equal && !isNull) || (c.op == FilterCondition::NotEqual && isNull))
                    return false;
                continue;
            }
            if (v.IsNull())
                return false;
            const int cmp = compareNotNull(v, c.value, c.numericField, Qt::CaseSensitive);
            bool ok = false;
            switch (c.op) {
            case FilterCondition::Equal:
                ok = cmp == 0;
                break;
            case FilterCondition::NotEqual:
                ok = cmp != 0;
                break;
            case FilterCondition::Less:
                ok = cmp < 0;
                break;
            case FilterCondition::Greater:
                ok = cmp > 0;
                break;
            case FilterCondition::LessOrEqual:
                ok = cmp <= 0;
                break;
            case FilterCondition::GreaterOrEqual:
                ok = cmp >= 0;
                break;
            }
            if (!ok)
                return false;
        }
    }
    if (OnFilterRecord) {
        m_filterRecord = recordIndex;
        bool accepted = false;
        try {
            accepted = OnFilterRecord(this);
        } catch (...) {
            m_filterRecord = -1;
            throw;
        }
        m_filterRecord = -1;
        if (!accepted)
            return false;
    }
    return true;
}

void TDataSet::RebuildView(qint64 keepId)
{
    if (m_filtered) {
        m_view.clear();
        for (int i = 0; i < m_records.size(); ++i)
            if (RecordPassesFilter(i))
                m_view.append(i);
    } else {
        m_view.resize(m_records.size());
        std::iota(m_view.begin(), m_view.end(), 0);
    }
    const QStringList index = splitNames(m_indexFieldNames);
    if (!index.isEmpty() && m_insertedIndex < 0) {
        QList<int> fields;
        QList<bool> numeric;
        for (const QString &n : index) {
            TField *f = FieldByName(n);
            fields.append(f->Index());
            numeric.append(IsNumericFieldType(f->DataType()));
        }
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (int k = 0; k < fields.size(); ++k) {
                const int c = compareValues(m_records[a].values.value(fields[k]), m_records[b].values.value(fields[k]),
                                            numeric[k], false);
                if (c != 0)
                    return c < 0;
            }
            return false;
        });
    }
    if (keepId)
        for (int v = 0; v < m_view.size(); ++v)
            if (std::as_const(m_records)[std::as_const(m_view)[v]].id == keepId) {
                m_cur = v;
                return;
            }
    if (m_cur >= m_view.size())
        m_cur = int(m_view.size()) - 1;
    if (m_cur < 0 && !m_view.isEmpty())
        m_cur = 0;
}

// ---------------------------------------------------------------- navigation

void TDataSet::MoveTo(int viewIndex, bool scrollEvents)
{
    if (viewIndex == m_cur)
        return;
    if (scrollEvents)
        Fire(BeforeScroll);
    m_cur = viewIndex;
    NotifyScrolled();
    if (scrollEvents)
        Fire(AfterScroll);
}

void TDataSet::First()
{
    CheckBrowseMode();
    if (!m_view.isEmpty())
        MoveTo(0);
    m_bof = true;
    m_eof = m_view.isEmpty();
}

void TDataSet::Last()
{
    CheckBrowseMode();
    if (!m_view.isEmpty())
        MoveTo(int(m_view.size()) - 1);
    m_eof = true;
    m_bof = m_view.isEmpty();
}

void TDataSet::Next()
{
    CheckBrowseMode();
    if (m_cur + 1 < m_view.size()) {
        MoveTo(m_cur + 1);
        m_bof = m_eof = false;
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior()
{
    CheckBrowseMode();
    if (m_cur > 0) {
        MoveTo(m_cur - 1);
        m_bof = m_eof = false;
    } else {
        m_bof = true;
    }
}

int TDataSet::MoveBy(int distance)
{
    CheckBrowseMode();
    if (m_view.isEmpty()) {
        m_bof = m_eof = true;
        return 0;
    }
    const int target = qBound(0, m_cur + distance, int(m_view.size()) - 1);
    const int moved = target - m_cur;
    MoveTo(target);
    m_bof = distance < 0 && moved != distance;
    m_eof = distance > 0 && moved != distance;
    return moved;
}

void TDataSet::SetRecNo(int recNo)
{
    CheckBrowseMode();
    if (m_view.isEmpty())
        return;
    MoveTo(qBound(1, recNo, int(m_view.size())) - 1);
    m_bof = m_eof = false;
}

// ---------------------------------------------------------------- filter

void TDataSet::SetFilter(const QString &filter)
{
    m_filter = filter;
    m_conditions.reset();
    if (Active() && m_filtered) {
        CheckBrowseMode();
        SetFiltered(true);
    }
}

void TDataSet::SetFiltered(bool filtered)
{
    if (Active())
        CheckBrowseMode();
    m_filtered = filtered;
    if (!Active())
        return;
    if (filtered && !m_conditions)
        ParseFilter();
    const TRecord *cur = CurrentRecord();
    const qint64 keep = cur ? cur->id : 0;
    RebuildView(keep);
    const TRecord *now = CurrentRecord();
    m_bof = m_cur <= 0;
    m_eof = m_view.isEmpty();
    NotifyDataSetChanged();
    if ((now ? now->id : 0) != keep)
        Fire(AfterScroll);
}

void TDataSet::ParseFilter()
{
    m_conditions.reset();
    if (!m_filtered || m_filter.trimmed().isEmpty())
        return;
    // "FIELD=value", conditions joined by AND; a value in quotes is a text.
    auto conds = std::make_shared<std::vector<FilterCondition>>();
    static const QRegularExpression andSplit(QStringLiteral("\\s+AND\\s+(?=(?:[^']*'[^']*')*[^']*$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression condRe(
        QStringLiteral("^\\s*\"?([^\\s=<>!\"]+)\"?\\s*(=|<>|!=|<=|>=|<|>)\\s*(.*?)\\s*$"));
    static const QHash<QString, FilterCondition::Op> ops = {
        {QStringLiteral("="), FilterCondition::Equal},          {QStringLiteral("<>"), FilterCondition::NotEqual},
        {QStringLiteral("!="), FilterCondition::NotEqual},      {QStringLiteral("<"), FilterCondition::Less},
        {QStringLiteral(">"), FilterCondition::Greater},        {QStringLiteral("<="), FilterCondition::LessOrEqual},
        {QStringLiteral(">="), FilterCondition::GreaterOrEqual}};
    for (const QString &part : m_filter.split(andSplit)) {
        const QRegularExpressionMatch m = condRe.match(part);
        if (!m.hasMatch())
            throw EDatabaseError(QStringLiteral("%1: Invalid filter \"%2\"").arg(Name(), m_filter));
        FilterCondition c;
        const TField *field = FieldByName(m.captured(1));
        c.field = field->Index();
        c.numericField = IsNumericFieldType(field->DataType());
        c.op = ops.value(m.captured(2));
        QString v = m.captured(3);
        QVariant value;
        if (v.size() >= 2 && v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))
            value = v.mid(1, v.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        else if (v.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
            value = QVariant();
        else {
            bool ok = false;
            const double d = v.toDouble(&ok);
            value = ok ? QVariant(d) : QVariant(v);
        }
        c.value = TWanted(value);
        conds->push_back(c);
    }
    m_conditions = conds;
}

// ---------------------------------------------------------------- order

void TDataSet::SetIndexFieldNames(const QString &fields)
{
    if (Active())
        CheckBrowseMode();
    m_indexFieldNames = fields;
    if (!Active())
        return;
    const TRecord *cur = CurrentRecord();
    RebuildView(cur ? cur->id : 0);
    NotifyDataSetChanged();
}

// ---------------------------------------------------------------- search

QVariantList TDataSet::KeyValuesList(const QVariant &keyValues, int count) const
{
    if (count == 1 && keyValues.typeId() != QMetaType::QVariantList)
        return {keyValues};
    QVariantList list = keyValues.toList();
    if (list.size() != count)
        throw EDatabaseError(
            QStringLiteral("%1: %2 key values given for %3 key fields").arg(Name()).arg(list.size()).arg(count));
    return list;
}

int TDataSet::FindRecord(const QStringList &keyFields, const QVariantList &values, TLocateOptions options)
{
    // Each key read once: its field, how it compares, the wanted value.
    struct Key {
        int field;
        bool numeric;
        bool prefix; // a partial key: the start of the stored text
        TWanted wanted;
    };
    const QList<int> idx = FieldIndexes(keyFields);
    const Qt::CaseSensitivity cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const bool partial = options & loPartialKey;
    std::vector<Key> keys;
    keys.reserve(size_t(idx.size()));
    for (int k = 0; k < idx.size(); ++k) {
        const bool numeric = IsNumericFieldType(m_fields[size_t(idx[k])]->DataType());
        keys.push_back(
            {idx[k], numeric, partial && !numeric && values[k].typeId() == QMetaType::QString, TWanted(values[k])});
    }
    const QList<TRecord> &records = m_records;
    const QVector<int> &view = m_view;
    for (int v = 0; v < view.size(); ++v) {
        const TRecord &r = records[view[v]];
        bool match = true;
        for (const Key &key : keys) {
            const TValue stored(r.values[key.field]);
            if (key.prefix && !stored.IsNull()) {
                const QString *text = stored.StoredText();
                match = text ? text->startsWith(key.wanted.Text(), cs)
                             : textOfValue(stored).startsWith(key.wanted.Text(), cs);
            } else {
                match = compareWith(stored, key.wanted, key.numeric, cs) == 0;
            }
            if (!match)
                break;
        }
        if (match)
            return v;
    }
    return -1;
}

bool TDataSet::Locate(const QString &keyFields, const QVariant &keyValues, TLocateOptions options)
{
    CheckBrowseMode();
    const QStringList keys = splitNames(keyFields);
    const int found = FindRecord(keys, KeyValuesList(keyValues, int(keys.size())), options);
    if (found < 0)
        return false;
    MoveTo(found);
    m_bof = m_eof = false;
    return true;
}

QVariant TDataSet::Lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields)
{
    CheckActive();
    const QStringList keys = splitNames(keyFields);
    const int found = FindRecord(keys, KeyValuesList(keyValues, int(keys.size())), 0);
    const QList<int> results = FieldIndexes(splitNames(resultFields));
    if (found < 0)
        return QVariant();
    const TRecord &r = m_records[m_view[found]];
    if (results.size() == 1)
        return r.values[results.first()];
    QVariantList out;
    for (int i : results)
        out.append(r.values[i]);
    return out;
}

// ---------------------------------------------------------------- bookmarks

TBookmark TDataSet::GetBookmark() const
{
    const TRecord *r = CurrentRecord();
    return r ? r->id : 0;
}

bool TDataSet::BookmarkValid(TBookmark bookmark) const
{
    if (!bookmark || !Active())
        return false;
    for (int i : m_view)
        if (m_records[i].id == bookmark)
            return true;
    return false;
}

void TDataSet::GotoBookmark(TBookmark bookmark)
{
    CheckBrowseMode();
    for (int v = 0; v < m_view.size(); ++v)
        if (m_records[m_view[v]].id == bookmark) {
            MoveTo(v);
            m_bof = m_eof = false;
            return;
        }
    throw EDatabaseError(QStringLiteral("%1: Record not found").arg(Name()));
}

int TDataSet::CompareBookmarks(TBookmark a, TBookmark b) const
{
    int pa = -1, pb = -1;
    for (int v = 0; v < m_view.size(); ++v) {
        if (m_records[m_view[v]].id == a)
            pa = v;
        if (m_records[m_view[v]].id == b)
            pb = v;
    }
    return pa < pb ? -1 : (pa > pb ? 1 : 0);
}

// ---------------------------------------------------------------- controls

void TDataSet::DisableControls() { ++m_disableCount; }

void TDataSet::EnableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_changedWhileDisabled) {
        m_changedWhileDisabled = false;
        NotifyDataSetChanged();
    }
}

// ---------------------------------------------------------------- changes

void TDataSet::SetState(TDataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    NotifyStateChanged();
}

void TDataSet::Edit()
{
    CheckActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return;
    if (m_view.isEmpty()) {
        Insert();
        return;
    }
    if (m_readOnly)
        throw EDatabaseError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(Name()));
    Fire(BeforeEdit);
    m_editOldValues = CurrentValues();
    m_modified = false;
    SetState(TDataSetState::dsEdit);
    Fire(AfterEdit);
}

void TDataSet::Insert() { DoInsert(false); }

void TDataSet::Append() { DoInsert(true); }

void TDataSet::DoInsert(bool atEnd)
{
    CheckBrowseMode();
    if (m_readOnly)
        throw EDatabaseError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(Name()));
    Fire(BeforeInsert);
    Fire(BeforeScroll);
    TRecord r;
    r.id = m_nextId++;
    r.values.resize(FieldCount());
    const int at = (!atEnd && m_cur >= 0 && m_cur < m_view.size()) ? m_view[m_cur] : int(m_records.size());
    m_records.insert(at, r);
    m_insertedIndex = at;
    RebuildView(r.id);
    m_editOldValues.clear();
    m_modified = false;
    m_bof = false;
    m_eof = atEnd;
    m_state = TDataSetState::dsInsert;
    NotifyDataSetChanged();
    NotifyStateChanged();
    try {
        Fire(OnNewRecord);
    } catch (...) {
        Cancel();
        throw;
    }
    Fire(AfterInsert);
    Fire(AfterScroll);
}

void TDataSet::Post()
{
    CheckActive();
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        throw EDatabaseError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(Name()));
    Fire(BeforePost);
    TRecord *r = CurrentRecordMutable();
    Z_ASSERT(r, QStringLiteral("TDataSet.Post: no current record"));
    for (const auto &f : m_fields)
        if (f->Required() && f->FieldKind() == TFieldKind::fkData && isNullValue(r->values[f->Index()]))
            throw EDatabaseError(QStringLiteral("Field '%1' must have a value").arg(f->DisplayName()));
    const bool inserting = m_state == TDataSetState::dsInsert;
    InternalPost(r->values, m_editOldValues, inserting);
    const qint64 id = r->id;
    m_insertedIndex = -1;
    m_editOldValues.clear();
    m_modified = false;
    m_state = TDataSetState::dsBrowse;
    RebuildView(id);
    m_bof = m_cur <= 0;
    m_eof = m_view.isEmpty();
    NotifyDataSetChanged();
    NotifyStateChanged();
    Fire(AfterPost);
}

void TDataSet::Cancel()
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    Fire(BeforeCancel);
    const bool inserting = m_state == TDataSetState::dsInsert;
    if (inserting) {
        if (m_insertedIndex >= 0 && m_insertedIndex < m_records.size())
            m_records.removeAt(m_insertedIndex);
        m_insertedIndex = -1;
        const int keep = m_cur;
        m_cur = -1;
        RebuildView(0);
        m_cur = m_view.isEmpty() ? -1 : qBound(0, keep, int(m_view.size()) - 1);
    } else if (TRecord *r = CurrentRecordMutable()) {
        if (!m_editOldValues.isEmpty())
            r->values = m_editOldValues;
    }
    m_editOldValues.clear();
    m_modified = false;
    m_state = TDataSetState::dsBrowse;
    m_bof = m_cur <= 0;
    m_eof = m_view.isEmpty();
    NotifyDataSetChanged();
    NotifyStateChanged();
    Fire(AfterCancel);
    if (inserting)
        Fire(AfterScroll);
}

void TDataSet::Delete()
{
    CheckActive();
    if (m_state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (m_view.isEmpty())
        throw EDatabaseError(QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(Name()));
    CheckBrowseMode();
    if (m_readOnly)
        throw EDatabaseError(QStringLiteral("%1: Cannot modify a read-only dataset").arg(Name()));
    Fire(BeforeDelete);
    Fire(BeforeScroll);
    const int index = m_view[m_cur];
    InternalDelete(m_records[index].values);
    m_records.removeAt(index);
    const int keep = m_cur;
    RebuildView(0);
    m_cur = m_view.isEmpty() ? -1 : qMin(keep, int(m_view.size()) - 1);
    m_bof = m_cur <= 0;
    m_eof = m_view.isEmpty();
    NotifyDataSetChanged();
    Fire(AfterDelete);
    Fire(AfterScroll);
}

void TDataSet::RefreshRecord()
{
    CheckActive();
    CheckBrowseMode();
    TRecord *r = CurrentRecordMutable();
    if (!r)
        return;
    const qint64 id = r->id;
    const std::optional<QVector<QVariant>> fresh = InternalRefreshRecord(r->values);
    // The statement may have reached other data sets; find the record again.
    int index = -1;
    for (int i = 0; i < m_records.size(); ++i)
        if (m_records[i].id == id)
            index = i;
    if (index < 0)
        return;
    if (!fresh) {
        // The row is gone on the server: so is the record.
        m_records.removeAt(index);
        const int keep = m_cur;
        RebuildView(0);
        m_cur = m_view.isEmpty() ? -1 : qMin(keep, int(m_view.size()) - 1);
        m_eof = m_view.isEmpty();
        NotifyDataSetChanged();
        Fire(AfterScroll);
        return;
    }
    m_records[index].values = *fresh;
    RebuildView(id);
    NotifyRecordChanged(nullptr);
}

// ---------------------------------------------------------------- notification

void TDataSet::Fire(const TDataSetNotifyEvent &event)
{
    if (event)
        event(this);
}

void TDataSet::AttachSource(TDataSource *source)
{
    if (!m_sources.contains(source))
        m_sources.append(source);
}

void TDataSet::DetachSource(TDataSource *source) { m_sources.removeAll(source); }

// Tells every data source; while the controls are disabled only the fact that something changed is kept.
void TDataSet::NotifySources(const std::function<void(TDataSource *)> &send, bool remember)
{
    if (m_disableCount > 0) {
        if (remember)
            m_changedWhileDisabled = true;
        return;
    }
    const QList<TDataSource *> sources = m_sources;
    for (TDataSource *s : sources)
        send(s);
}

void TDataSet::NotifyDataSetChanged()
{
    NotifySources([](TDataSource *s) { s->SendDataSetChanged(); });
}
void TDataSet::NotifyScrolled()
{
    NotifySources([](TDataSource *s) { s->SendScrolled(); });
}
void TDataSet::NotifyRecordChanged(TField *field)
{
    NotifySources([field](TDataSource *s) { s->SendRecordChanged(field); });
}
void TDataSet::NotifyStateChanged()
{
    NotifySources([](TDataSource *s) { s->SendStateChanged(); }, false);
}
void TDataSet::NotifyLayoutChanged()
{
    NotifySources([](TDataSource *s) { s->SendLayoutChanged(); });
}
