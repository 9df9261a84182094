#pragma once
// TDataSetModel: a Qt table model over a data source, so that a grid view
// shows a data set: one column per visible field (title = display label), one
// row per visible record. It follows the data set's changes; selecting a row
// moves the data set there (SetCurrentRow), and edits go through Edit/Post.
#include "Core/PlatformExport.h"
#include "Core/SessionLocale.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/FieldType.h"

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>

class TField;

// A value as a grid shows it, by default in the session's formats
// (Core/SessionLocale): dates with a four-digit year (with the time only when
// it is not midnight), times without a zone, numbers with the locale's
// separators (amounts with their declared decimal places, currency with two),
// Boolean values as no text (the grid draws a check mark).
PLATFORM_EXPORT QString GridDisplayText(TFieldType type, int scale, const QVariant &value,
                                        const QLocale &locale = SessionLocale());

class PLATFORM_EXPORT TDataSetModel : public QAbstractTableModel, private TDataLink {
    Q_OBJECT
public:
    explicit TDataSetModel(TDataSource *source, QObject *parent = nullptr);
    ~TDataSetModel() override;

    TDataSource *DataSource() const { return m_source; }
    // The field shown in a column, or null.
    TField *FieldOfColumn(int column) const;
    int CurrentRow() const;
    void SetCurrentRow(int row);
    bool Editable = false;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // The data set's current record moved (row from 0, -1 for none).
    void currentRowChanged(int row);

private:
    void DataSetChanged() override;
    void DataSetScrolled() override;
    void RecordChanged(TField *field) override;
    void LayoutChanged() override;
    void RebuildColumns();

    TDataSource *m_source;
    QList<int> m_columns; // field indexes of the visible fields
};
