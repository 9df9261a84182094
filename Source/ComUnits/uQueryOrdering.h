#pragma once
// How an ordering of a query names its fields. A query that joins tables
// ("SELECT O.ID, C.NAME AS CUSTOMER FROM ORDERS O, CUSTOMERS C") must be
// ordered by its fields as its own select list names them: "O.ID", not the
// bare "ID" that both tables have; "CUSTOMER", the alias. And an ordering
// written by position ("3 DESC") names the third field of the list.
//
// The select list is read from the query's SQL text: the items between the
// first SELECT and its FROM, at the outer level (brackets, quotes and
// sub-queries kept whole); macros (&name) stay as they are written. A list
// that cannot be read, or holds "*", names no field: its fields are ordered
// by their bare names.
#include "Core/PlatformExport.h"

#include <QList>
#include <QString>
#include <QStringList>

// One item of a select list.
struct TSelectItem {
    QString Expression; // "O.ID", "L.QUANTITY * L.PRICE"
    QString Alias;      // as written ("AMOUNT", "\"Sum\""); empty without one
    QString Name;       // the field it gives: "ID", "AMOUNT"; empty for an expression without an alias
};

PLATFORM_EXPORT QList<TSelectItem> SelectListOf(const QString &sql);

// The ORDER BY spelling of a field: its alias, or its column as the list
// qualifies it ("O.ID"); empty when the list does not name the field.
PLATFORM_EXPORT QString OrderExpressionOf(const QList<TSelectItem> &list, const QString &fieldName);

// The field an item of an ordering names ("3", "O.AMOUNT", "CUSTOMER",
// "C.NAME" aliased as CUSTOMER): its name, or the item's last part when the
// list does not know it.
PLATFORM_EXPORT QString FieldOfOrderItem(const QList<TSelectItem> &list, const QString &expression);

// The field names a list gives (those it can name).
PLATFORM_EXPORT QStringList SelectedFieldNames(const QList<TSelectItem> &list);
