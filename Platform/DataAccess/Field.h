#pragma once
// TField: one column of a data set. It reads and writes the value of the data
// set's current record and carries the display settings that grids, listings
// and the form library use (label, width, visibility, tag).
#include "Core/PlatformExport.h"
#include "DataAccess/FieldType.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

class TDataSet;

// The moment a text of the database stands for: "2024-03-01 10:30:00",
// "2024-03-01" or another ISO 8601 form; an invalid date-time for any other text.
PLATFORM_EXPORT QDateTime DateTimeOfText(const QString &text);

enum class TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

class PLATFORM_EXPORT TField {
public:
    TField(TDataSet *dataSet, QString fieldName, TFieldType dataType, int size = 0, bool required = false);

    TDataSet *DataSet() const { return m_dataSet; }
    const QString &FieldName() const { return m_fieldName; }
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType t) { m_dataType = t; }
    int Size() const { return m_size; }
    void SetSize(int size) { m_size = size; }
    // Decimal places of a number column that declares them (NUMBER(12,2): 2), else -1;
    // places given to a computed column stay when the data set opens again.
    int Scale() const { return m_scale; }
    void SetScale(int scale) { m_scale = scale; }
    // Position among the data set's fields, from 0.
    int Index() const { return m_index; }

    // The label shown in grid titles; the field name until set.
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel; }
    void SetDisplayLabel(const QString &label) { m_displayLabel = label; }
    QString DisplayName() const { return DisplayLabel(); }
    // Width in characters; by default the size of a text column or a width that suits the kind.
    int DisplayWidth() const;
    void SetDisplayWidth(int width) { m_displayWidth = width; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    TFieldKind FieldKind() const { return m_fieldKind; }
    void SetFieldKind(TFieldKind kind) { m_fieldKind = kind; }

    // The value in the current record (null on an empty or closed data set).
    QVariant Value() const;
    // Writes the current record; the data set must be in edit or insert state.
    void SetValue(const QVariant &value);
    bool IsNull() const;
    void Clear() { SetValue(QVariant()); }
    // The value before the current edit began.
    QVariant OldValue() const;

    QVariant AsVariant() const { return Value(); }
    void SetAsVariant(const QVariant &v) { SetValue(v); }
    QString AsString() const;
    void SetAsString(const QString &v);
    int AsInteger() const;
    void SetAsInteger(int v) { SetValue(v); }
    qlonglong AsLargeInt() const;
    double AsFloat() const;
    void SetAsFloat(double v) { SetValue(v); }
    bool AsBoolean() const;
    void SetAsBoolean(bool v) { SetValue(v ? 1 : 0); }
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime &v) { SetValue(v); }

    // Copies the display settings (label, width, visibility, tag, read-only) of another field.
    void AssignDisplaySettings(const TField &other);

    // The value converted to this field's kind (numbers as numbers, texts as texts).
    QVariant Coerce(const QVariant &value) const;

private:
    friend class TDataSet;
    TDataSet *m_dataSet;
    QString m_fieldName;
    int m_scale = -1;
    TFieldType m_dataType;
    int m_size;
    bool m_required;
    int m_index = -1;
    QString m_displayLabel;
    int m_displayWidth = -1;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_tag = 0;
    TFieldKind m_fieldKind = TFieldKind::fkData;
};
