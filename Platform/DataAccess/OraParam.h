#pragma once
// TOraParam: one named parameter (":NAME") of a statement, and TOraParams, the
// parameters of a query, stored procedure or package call. Names compare
// without regard to case. An output parameter gets its value back after the
// statement ran; a cursor result (a function returning rows) is carried as a
// result set.
#include "Core/PlatformExport.h"
#include "DataAccess/FieldType.h"
#include "DataAccess/ResultSet.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class PLATFORM_EXPORT TOraParam {
public:
    TOraParam() = default;
    explicit TOraParam(QString name, TParamType paramType = TParamType::ptUnknown,
                       TFieldType dataType = TFieldType::ftUnknown);

    const QString &Name() const { return m_name; }
    void SetName(const QString &name) { m_name = name; }
    TParamType ParamType() const { return m_paramType; }
    void SetParamType(TParamType t) { m_paramType = t; }
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType t) { m_dataType = t; }

    bool IsNull() const;
    void Clear();

    QVariant AsVariant() const { return m_value; }
    void SetAsVariant(const QVariant &v);
    QString AsString() const;
    void SetAsString(const QString &v);
    int AsInteger() const;
    void SetAsInteger(int v);
    double AsFloat() const;
    void SetAsFloat(double v);
    bool AsBoolean() const;
    void SetAsBoolean(bool v);
    QDateTime AsDateTime() const;
    void SetAsDateTime(const QDateTime &v);

    // A cursor value (ftCursor): the rows a function returned.
    std::shared_ptr<const TResultSet> AsCursor() const { return m_cursor; }
    void SetAsCursor(std::shared_ptr<const TResultSet> cursor);

    // Where the statement may write back: output, input/output, result and unknown parameters.
    bool CanReceive() const { return m_paramType != TParamType::ptInput; }

private:
    QString m_name;
    TParamType m_paramType = TParamType::ptUnknown;
    TFieldType m_dataType = TFieldType::ftUnknown;
    QVariant m_value;
    std::shared_ptr<const TResultSet> m_cursor;
};

class PLATFORM_EXPORT TOraParams {
public:
    TOraParams() = default;
    TOraParams(const TOraParams &other);
    TOraParams &operator=(const TOraParams &other);
    TOraParams(TOraParams &&) = default;
    TOraParams &operator=(TOraParams &&) = default;

    int Count() const { return int(m_items.size()); }
    TOraParam &Items(int i) { return *m_items[i]; }
    const TOraParam &Items(int i) const { return *m_items[i]; }
    TOraParam &operator[](int i) { return Items(i); }

    // The parameter of that name; raises EDAError "Parameter 'X' not found" when there is none.
    TOraParam &ParamByName(const QString &name);
    const TOraParam &ParamByName(const QString &name) const;
    // The parameter of that name, or null.
    TOraParam *FindParam(const QString &name);
    const TOraParam *FindParam(const QString &name) const;

    TOraParam &Add(const QString &name, TParamType paramType = TParamType::ptUnknown,
                   TFieldType dataType = TFieldType::ftUnknown);
    void Clear() { m_items.clear(); }
    // Keeps exactly these names in this order; parameters already present keep
    // their value, type and direction.
    void Rebuild(const QStringList &names);
    // Copies values (and cursors) of same-named parameters from another list.
    void AssignValues(const TOraParams &other);

private:
    std::vector<std::unique_ptr<TOraParam>> m_items;
};
