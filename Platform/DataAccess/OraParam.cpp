#include "DataAccess/OraParam.h"

#include "DataAccess/DAError.h"

TOraParam::TOraParam(QString name, TParamType paramType, TFieldType dataType)
    : m_name(std::move(name)), m_paramType(paramType), m_dataType(dataType)
{
}

bool TOraParam::IsNull() const
{
    if (m_dataType == TFieldType::ftCursor)
        return !m_cursor;
    return m_value.isNull() || !m_value.isValid();
}

void TOraParam::Clear()
{
    m_value = QVariant();
    m_cursor.reset();
}

void TOraParam::SetAsVariant(const QVariant &v)
{
    m_value = v;
    if (m_dataType == TFieldType::ftUnknown && v.isValid() && !v.isNull()) {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            m_dataType = TFieldType::ftInteger;
            break;
        case QMetaType::Double:
            m_dataType = TFieldType::ftFloat;
            break;
        case QMetaType::QDateTime:
        case QMetaType::QDate:
            m_dataType = TFieldType::ftDateTime;
            break;
        default:
            m_dataType = TFieldType::ftString;
        }
    }
}

QString TOraParam::AsString() const { return IsNull() ? QString() : m_value.toString(); }
void TOraParam::SetAsString(const QString &v)
{
    m_dataType = TFieldType::ftString;
    m_value = v;
}

int TOraParam::AsInteger() const { return int(qRound64(AsFloat())); }
void TOraParam::SetAsInteger(int v)
{
    m_dataType = TFieldType::ftInteger;
    m_value = v;
}

double TOraParam::AsFloat() const
{
    if (IsNull())
        return 0;
    bool ok = false;
    const double d = m_value.toDouble(&ok);
    if (!ok)
        RaiseOraError(OraErr::InvalidNumber,
                      QStringLiteral("invalid number (parameter %1 = '%2')").arg(m_name, m_value.toString()));
    return d;
}
void TOraParam::SetAsFloat(double v)
{
    m_dataType = TFieldType::ftFloat;
    m_value = v;
}

bool TOraParam::AsBoolean() const { return AsInteger() != 0; }
void TOraParam::SetAsBoolean(bool v)
{
    m_dataType = TFieldType::ftInteger;
    m_value = v ? 1 : 0;
}

QDateTime TOraParam::AsDateTime() const { return IsNull() ? QDateTime() : m_value.toDateTime(); }
void TOraParam::SetAsDateTime(const QDateTime &v)
{
    m_dataType = TFieldType::ftDateTime;
    m_value = v;
}

void TOraParam::SetAsCursor(std::shared_ptr<const TResultSet> cursor)
{
    m_dataType = TFieldType::ftCursor;
    m_cursor = std::move(cursor);
    m_value = QVariant();
}

TOraParams::TOraParams(const TOraParams &other) { *this = other; }

TOraParams &TOraParams::operator=(const TOraParams &other)
{
    if (this == &other)
        return *this;
    m_items.clear();
    for (const auto &p : other.m_items)
        m_items.push_back(std::make_unique<TOraParam>(*p));
    return *this;
}

TOraParam *TOraParams::FindParam(const QString &name)
{
    for (auto &p : m_items)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

const TOraParam *TOraParams::FindParam(const QString &name) const
{
    return const_cast<TOraParams *>(this)->FindParam(name);
}

TOraParam &TOraParams::ParamByName(const QString &name)
{
    TOraParam *p = FindParam(name);
    if (!p)
        throw EDAError(0, QStringLiteral("Parameter '%1' not found").arg(name));
    return *p;
}

const TOraParam &TOraParams::ParamByName(const QString &name) const
{
    return const_cast<TOraParams *>(this)->ParamByName(name);
}

TOraParam &TOraParams::Add(const QString &name, TParamType paramType, TFieldType dataType)
{
    m_items.push_back(std::make_unique<TOraParam>(name, paramType, dataType));
    return *m_items.back();
}

void TOraParams::Rebuild(const QStringList &names)
{
    std::vector<std::unique_ptr<TOraParam>> items;
    for (const QString &name : names) {
        std::unique_ptr<TOraParam> kept;
        for (auto &p : m_items)
            if (p && p->Name().compare(name, Qt::CaseInsensitive) == 0)
                kept = std::move(p);
        items.push_back(kept ? std::move(kept) : std::make_unique<TOraParam>(name));
    }
    m_items = std::move(items);
}

void TOraParams::AssignValues(const TOraParams &other)
{
    for (auto &p : m_items)
        if (const TOraParam *o = other.FindParam(p->Name())) {
            if (o->DataType() == TFieldType::ftCursor)
                p->SetAsCursor(o->AsCursor());
            else {
                if (p->DataType() == TFieldType::ftUnknown)
                    p->SetDataType(o->DataType());
                p->SetAsVariant(o->AsVariant());
            }
        }
}
