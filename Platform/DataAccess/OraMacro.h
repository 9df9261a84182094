#pragma once
// Macros of a SQL text: "&name" stands for a piece of text (the scheme name,
// an ORDER BY clause) put in before the statement is prepared. Macro names
// compare without regard to case ("&shema", "&Shema", "&SHEMA" are one macro).
#include "Core/PlatformExport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class PLATFORM_EXPORT TMacro {
public:
    explicit TMacro(QString name) : m_name(std::move(name)) {}
    const QString &Name() const { return m_name; }
    const QString &Value() const { return m_value; }
    void SetValue(const QString &value) { m_value = value; }
    QString AsString() const { return m_value; }
    void SetAsString(const QString &value) { m_value = value; }
    // An inactive macro is replaced by nothing.
    bool Active() const { return m_active; }
    void SetActive(bool active) { m_active = active; }

private:
    QString m_name;
    QString m_value;
    bool m_active = true;
};

class PLATFORM_EXPORT TMacros {
public:
    TMacros() = default;
    TMacros(const TMacros &other);
    TMacros &operator=(const TMacros &other);

    int Count() const { return int(m_items.size()); }
    TMacro &Items(int i) { return *m_items[i]; }
    const TMacro &Items(int i) const { return *m_items[i]; }
    TMacro *FindMacro(const QString &name) const;
    // Raises EDatabaseError "Macro 'X' not found" when missing.
    TMacro &MacroByName(const QString &name) const;
    // Keeps exactly the macros named in the text, in order of appearance;
    // macros already present keep their value.
    void ParseFrom(const QString &sqlText);
    // The text with every macro replaced by its value (an inactive one by nothing).
    QString Expand(const QString &sqlText) const;

    // The macro names of a SQL text in order of first appearance (not inside literals or comments).
    static QStringList NamesIn(const QString &sqlText);

private:
    std::vector<std::unique_ptr<TMacro>> m_items;
};
