#pragma once
// TDBGrid: the data grid of the shared forms, a table view over a data
// source. One column per visible field, one row per record; the grid's
// current row and the data set's current record follow each other. Typing
// in the grid jumps to the row that begins with the text (the view's own
// keyboard search).
//
// Hint() is the name under which the grid's settings are kept (the form
// library reads it); it is no tool tip.
//
// The columns the user arranges (drags a title to another place, drags the
// edge of a title) stay as arranged when the data set opens again; the
// arrangement can be read as text to keep it, given back at the next opening,
// and reset to the design (the fields' order, each as wide as its contents).
// Rows keep one line: a number never wraps at its group separator, and
// columns not arranged by the user widen when new rows need it.
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

    // The columns in display order with their widths: "NAME=120,ID=40"; empty without columns.
    QString ColumnLayout() const;
    // Takes an arrangement (fields it does not name follow those it names, in
    // their design order); it is applied now and whenever the columns are made anew.
    void SetColumnLayout(const QString &layout);
    // Back to the design, for good: the fields' order, widths to the contents.
    void ResetColumns();
    // Widths to the contents, unless the columns are arranged.
    void FitColumns();
    // Whether the arrangement is the user's (or was given), and whether the
    // user changed it, or reset it, since it was given.
    bool ColumnsArranged() const { return !m_layout.isEmpty() || m_userArranged; }
    bool ColumnLayoutChanged() const { return m_layoutChanged; }

signals:
    // The user moved or resized a column, or reset the columns.
    void columnLayoutChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followDataSet(int row);
    void followView(const QModelIndex &current);
    void keepLayout();
    void applyLayout();
    void widenToContents();
    void userChangedColumns();

    TDataSource *m_source = nullptr;
    TDataSetModel *m_model = nullptr;
    QString m_hint;
    TDBGridOptions m_options = 0;
    // The arrangement kept across new columns; empty: the design's.
    QString m_layout;
    bool m_userArranged = false;
    bool m_layoutChanged = false;
    // A mouse gesture on the titles is going on: what moves or resizes then is the user's doing.
    bool m_titleGesture = false;
    bool m_applying = false;
};

// The data set a view shows: a TDBGrid's, or that of a TDataSetModel behind
// the view's model (through proxy models); null for a view of other data.
PLATFORM_EXPORT TDataSet *DataSetOfView(const QAbstractItemView *view);
