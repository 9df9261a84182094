#pragma once
// The find dialog of the form library: a field of the grid, the text to look
// for, part of the value or the whole value, case, and where to start (the
// first record, or the record after the current one). The records are read
// in the order and filter the grid shows; a find moves the data set there.
#include "Modules/ComformLibs/uFormLibCommon.h"

#include <QDialog>

class IDBGrid;
class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class TDataSet;

struct TFindRequest {
    TField *field = nullptr;
    QString text;
    bool wholeValue = false;
    bool matchCase = false;
    // Start after the current record instead of at the first one.
    bool onward = false;
};

// True when the value matches: its text as the grid shows it, or as stored.
bool FindValueMatches(const TField *field, const QVariant &value, const TFindRequest &request);
// The first row (from 0) at or after startRow whose value matches, or -1.
int FindRow(const TDataSet *dataSet, const TFindRequest &request, int startRow);

class TFindDlg : public QDialog {
    Q_OBJECT
public:
    // hint: the grid's settings name, under which the last choice is remembered;
    // firstColumn: the grid column offered first (when it is among the columns).
    TFindDlg(IDBGrid *grid, const QString &hint, const QList<TOfferedColumn> &columns, int firstColumn,
             QWidget *parent = nullptr);

    // The grid column searched by the last successful find, or -1.
    int FoundColumn() const { return m_foundColumn; }
    TFindRequest Request() const;

    // OK looks for the record: the window closes on a find and stays open when nothing matches.
    void accept() override;

private:
    void buildWidgets(int firstColumn);
    void updateActions();
    bool findRecord();

    IDBGrid *m_grid;
    QString m_hint;
    QList<TOfferedColumn> m_columns;
    int m_foundColumn = -1;
    QComboBox *cmbField = nullptr;
    QLineEdit *edText = nullptr;
    QRadioButton *rbPartial = nullptr;
    QRadioButton *rbWhole = nullptr;
    QCheckBox *chkCase = nullptr;
    QCheckBox *chkOnward = nullptr;
    QAction *acFind = nullptr;
    QAction *acCancel = nullptr;
};

// The find entry: returns 1 when a record was found, and the grid column searched.
int FindByDBGrid(IDBGrid *grid, const QString &hint, int *fieldIndex);
