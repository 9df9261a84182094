#pragma once
// The rows a statement returned, as the backends hand them to the data sets
// (and as a cursor parameter carries them).
#include "DataAccess/FieldType.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

struct TColumnInfo {
    QString name;
    TFieldType type = TFieldType::ftString;
    int size = 0;          // characters for text columns, 0 otherwise
    bool required = false; // NOT NULL
    int scale = -1;        // decimal places a number column declares, -1 when it declares none
};

struct TResultSet {
    QList<TColumnInfo> columns;
    QList<QVector<QVariant>> rows;

    int ColumnIndex(const QString &name) const
    {
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

// What running one statement gave: rows (a query), or the count of rows changed.
struct TExecResult {
    bool hasRows = false;
    TResultSet rows;
    int rowsAffected = 0;
};
