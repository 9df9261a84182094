#include "DataAccess/Field.h"

#include "DataAccess/DataSet.h"

#include <optional>

namespace {

// The number the ASCII digits at..at+count stand for; -1 for any other character.
int digitsAt(QStringView text, qsizetype at, int count)
{
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The two forms the servers write, read directly: the general parser takes
// about 18 µs a value, which a window of 100,000 rows feels. Anything else,
// and a moment the local clock skips, is left to it.
std::optional<QDateTime> serversForm(QStringView text)
{
    if ((text.size() != 10 && text.size() != 19) || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
    if (!date.isValid() || date.year() <= 0)
        return std::nullopt;
    QTime time(0, 0);
    if (text.size() == 19) {
        if (text[10] != u' ' || text[13] != u':' || text[16] != u':')
            return std::nullopt;
        time = QTime(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2));
        if (!time.isValid())
            return std::nullopt;
    }
    const QDateTime moment(date, time);
    if (!moment.isValid() || moment.date() != date || moment.time() != time)
        return std::nullopt;
    return moment;
}

} // namespace

QDateTime DateTimeOfText(const QString &text)
{
    if (const auto moment = serversForm(text))
        return *moment;
    QDateTime moment = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!moment.isValid())
        moment = QDateTime::fromString(text, Qt::ISODate);
    return moment;
}

TField::TField(TDataSet *dataSet, QString fieldName, TFieldType dataType, int size, bool required)
    : m_dataSet(dataSet), m_fieldName(std::move(fieldName)), m_dataType(dataType), m_size(size), m_required(required)
{
}

int TField::DisplayWidth() const
{
    if (m_displayWidth >= 0)
        return m_displayWidth;
    switch (m_dataType) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
        return m_size > 0 ? m_size : 20;
    case TFieldType::ftSmallint:
    case TFieldType::ftWord:
        return 6;
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        return 11;
    case TFieldType::ftLargeint:
        return 15;
    case TFieldType::ftBoolean:
        return 5;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftFMTBcd:
        return 10;
    case TFieldType::ftDate:
        return 10;
    case TFieldType::ftTime:
        return 8;
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp:
        return 18;
    default:
        return 10;
    }
}

QVariant TField::Value() const { return m_dataSet ? m_dataSet->CurrentValue(m_index) : QVariant(); }

void TField::SetValue(const QVariant &value)
{
    if (!m_dataSet)
        throw EDatabaseError(QStringLiteral("Field '%1' has no data set").arg(m_fieldName));
    m_dataSet->SetCurrentValue(m_index, Coerce(value));
}

bool TField::IsNull() const
{
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

QVariant TField::OldValue() const { return m_dataSet ? m_dataSet->CurrentOldValue(m_index) : QVariant(); }

QString TField::AsString() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (d == double(qint64(d)) && qAbs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    return v.toString();
}

void TField::SetAsString(const QString &v) { SetValue(v); }

int TField::AsInteger() const { return int(AsLargeInt()); }

qlonglong TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
    return qRound64(d);
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
    return d;
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toUpper();
        return s == QLatin1String("TRUE") || s == QLatin1String("T") || s == QLatin1String("Y") ||
               s == QLatin1String("+") || (s.toDouble() != 0);
    }
    return v.toDouble() != 0;
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return QDateTime();
    if (v.typeId() == QMetaType::QString) {
        return DateTimeOfText(v.toString());
    }
    return v.toDateTime();
}

void TField::AssignDisplaySettings(const TField &other)
{
    m_displayLabel = other.m_displayLabel;
    m_displayWidth = other.m_displayWidth;
    m_visible = other.m_visible;
    m_tag = other.m_tag;
    m_readOnly = other.m_readOnly;
}

namespace {
// A number from a value; a blank text is null, anything else that is no number is refused.
QVariant numberOf(const QVariant &value, const char *kind)
{
    if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())
        return QVariant();
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid %2 value").arg(value.toString(), QLatin1String(kind)));
    return QVariant(d);
}
} // namespace

QVariant TField::Coerce(const QVariant &value) const
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (m_dataType) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
    case TFieldType::ftBoolean: {
        const QVariant number = numberOf(value, "integer");
        return number.isNull() ? number : QVariant(qlonglong(qRound64(number.toDouble())));
    }
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftFMTBcd: {
        return numberOf(value, "floating point");
    }
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftOraClob:
        if (value.typeId() == QMetaType::Double) {
            const double d = value.toDouble();
            if (d == double(qint64(d)) && qAbs(d) < 1e15)
                return QString::number(qint64(d));
        }
        return value.toString();
    default:
        return value;
    }
}
