#include "Source/ComUnits/uQueryOrdering.h"

#include <QRegularExpression>

namespace {

const QString kIdentifier = QStringLiteral("(?:\"[^\"]+\"|[A-Za-z_][A-Za-z0-9_$#]*)");

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

// Whether the keyword stands at `at` as a whole word.
bool keywordAt(const QString &text, qsizetype at, QLatin1String keyword)
{
    if (at + keyword.size() > text.size() ||
        QStringView(text).mid(at, keyword.size()).compare(keyword, Qt::CaseInsensitive) != 0)
        return false;
    const bool before = at == 0 || !isWordChar(text.at(at - 1));
    const bool after = at + keyword.size() >= text.size() || !isWordChar(text.at(at + keyword.size()));
    return before && after;
}

// The items of the outer select list, split at the commas of the outer level; empty when there is none.
QStringList selectItems(const QString &sql)
{
    static const QRegularExpression head(QStringLiteral("^\\s*SELECT\\s+(?:(?:DISTINCT|UNIQUE|ALL)\\s+)?"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch start = head.match(sql);
    if (!start.hasMatch())
        return {};
    QStringList items;
    QString current;
    int depth = 0;
    QChar quote;
    for (qsizetype i = start.capturedEnd(); i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            --depth;
        } else if (depth == 0 && c == QLatin1Char(',')) {
            items << current.simplified();
            current.clear();
            continue;
        } else if (depth == 0 && keywordAt(sql, i, QLatin1String("FROM"))) {
            items << current.simplified();
            return items;
        }
        current.append(c);
    }
    return {}; // no FROM at the outer level: not a list this reading knows
}

QString unquoted(const QString &name)
{
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        return name.mid(1, name.size() - 2);
    return name;
}

TSelectItem readItem(const QString &text)
{
    static const QRegularExpression aliased(QStringLiteral("^(.*?\\S)\\s+(AS\\s+)?(%1)$").arg(kIdentifier),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression column(QStringLiteral("^(?:%1\\.)*(%1)$").arg(kIdentifier));
    TSelectItem item;
    item.Expression = text;
    const QRegularExpressionMatch m = aliased.match(text);
    if (m.hasMatch()) {
        const QString before = m.captured(1);
        const QString alias = m.captured(3);
        const QChar last = before.back();
        // "C.NAME CUSTOMER", "COUNT(*) ORDERS": an alias; "A - B", "CASE ... END": none.
        const bool endsOperand =
            isWordChar(last) || last == QLatin1Char(')') || last == QLatin1Char('\'') || last == QLatin1Char('"');
        const bool keyword = alias.compare(QLatin1String("END"), Qt::CaseInsensitive) == 0 ||
                             alias.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0;
        if (!m.captured(2).isEmpty() || (endsOperand && !keyword)) {
            item.Expression = before.trimmed();
            item.Alias = alias;
            item.Name = unquoted(alias);
            return item;
        }
    }
    const QRegularExpressionMatch c = column.match(text);
    if (c.hasMatch())
        item.Name = unquoted(c.captured(1));
    return item;
}

QString normalized(const QString &expression) { return expression.simplified().toUpper(); }

} // namespace

QList<TSelectItem> SelectListOf(const QString &sql)
{
    QList<TSelectItem> list;
    for (const QString &text : selectItems(sql)) {
        if (text.isEmpty() || text == QLatin1String("*") || text.endsWith(QLatin1String(".*")))
            return {};
        list << readItem(text);
    }
    return list;
}

QString OrderExpressionOf(const QList<TSelectItem> &list, const QString &fieldName)
{
    for (const TSelectItem &item : list)
        if (!item.Name.isEmpty() && item.Name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return item.Alias.isEmpty() ? item.Expression : item.Alias;
    return QString();
}

QString FieldOfOrderItem(const QList<TSelectItem> &list, const QString &expression)
{
    const QString text = expression.trimmed();
    bool isNumber = false;
    const int position = text.toInt(&isNumber);
    if (isNumber)
        return position >= 1 && position <= list.size() ? list.at(position - 1).Name : QString();
    const QString wanted = normalized(text);
    for (const TSelectItem &item : list)
        if (!item.Name.isEmpty() && (normalized(item.Expression) == wanted || normalized(item.Alias) == wanted))
            return item.Name;
    return unquoted(text.section(QLatin1Char('.'), -1));
}

QStringList SelectedFieldNames(const QList<TSelectItem> &list)
{
    QStringList names;
    for (const TSelectItem &item : list)
        if (!item.Name.isEmpty())
            names << item.Name;
    return names;
}
