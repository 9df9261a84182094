#pragma once
// TDBGrid: the data grid of the shared forms, a table view over a data
// source. One column per visible field, one row per record; the grid's
// current row and the data set's current record follow each other. Typing
// in the grid jumps to the row that begins with the text (the view's own
// keyboard search).
//
// Hint() is the name under which the grid's settings are kept (the form
// library reads it); it is no tool tip.
#include "Core/PlatformExport.h"
#include "Source/ComUnits/DBGridInterface.h"

#include <QTableView>

class TDataSet;
class TDataSetModel;
class TDataSource;

class PLATFORM_EXPORT TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source);
    // The data set of the data source, or null.
    TDataSet *DataSet() const;
    TDataSetModel *Model() const { return m_model; }

    QString Hint() const { return m_hint; }
    void SetHint(const QString &hint) { m_hint = hint; }

    TDBGridOptions Options() const { return m_options; }
    void SetOptions(TDBGridOptions options);

private:
    void followDataSet(int row);
    void followView(const QModelIndex &current);

    TDataSource *m_source = nullptr;
    TDataSetModel *m_model = nullptr;
    QString m_hint;
    TDBGridOptions m_options = 0;
};

// The data set a view shows: a TDBGrid's, or that of a TDataSetModel behind
// the view's model (through proxy models); null for a view of other data.
PLATFORM_EXPORT TDataSet *DataSetOfView(const QAbstractItemView *view);
