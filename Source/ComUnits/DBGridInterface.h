#pragma once
// IDBGrid: what the data forms and the form library ask of a data grid. The
// grid base form wraps each data grid of a form in an object with this
// interface and hands it to the form library's dialogs (find, sort, filter,
// report, mass selection), which never touch the grid control itself.
//
// Objects that implement it are QObjects (qobject_cast<IDBGrid *> finds the
// interface across modules by its identifier). Columns are the grid's visible
// columns in display order.
#include <QFont>
#include <QString>
#include <QtPlugin>

#include <cstdint>

class QAbstractItemView;
class TDataSet;
class TField;

// Members of a grid's option set, as bits (1u << member).
enum TDBGridOption : int {
    dgEditing = 0,
    dgAlwaysShowEditor = 1,
    dgTitles = 2,
    dgIndicator = 3,
    dgColumnResize = 4,
    dgColLines = 5,
    dgRowLines = 6,
    dgTabs = 7,
    dgRowSelect = 8,
    dgAlwaysShowSelection = 9,
    dgConfirmDelete = 10,
    dgCancelOnExit = 11,
    dgMultiSelect = 12,
};
using TDBGridOptions = std::uint32_t;
constexpr TDBGridOptions DBGridOption(TDBGridOption member) { return TDBGridOptions(1) << member; }

// The default name of the check-box column.
inline constexpr const char *kDefaultCheckField = "RCHECK";

class IDBGrid {
public:
    virtual ~IDBGrid() = default;

    virtual TDBGridOptions GetOptions() const = 0;
    virtual void SetOptions(TDBGridOptions options) = 0;
    // Whether the check column is drawn as a check box by the grid's owner.
    virtual bool CheckColumnOwnerDrawn() const = 0;
    virtual void SetCheckColumnOwnerDrawn(bool drawn) = 0;
    virtual QFont TitleFont() const = 0;
    virtual void SetTitleFont(const QFont &font) = 0;

    virtual TDataSet *DataSet() const = 0;
    virtual QAbstractItemView *Grid() const = 0;

    // The check column: its name ("RCHECK" unless set), whether the data set
    // has it, and the check value of the current record. Setting the value
    // edits the record and posts it unless the data set was already editing.
    virtual QString CheckFieldName() const = 0;
    virtual void SetCheckFieldName(const QString &name) = 0;
    virtual bool HasCheckField() const = 0;
    virtual bool GetCheckValue() const = 0;
    virtual void SetCheckValue(bool checked) = 0;

    virtual int ColumnCount() const = 0;
    // The field of a visible column (looked up by name while the data set is closed).
    virtual TField *ColumnField(int column) const = 0;
    virtual QString ColumnTitle(int column) const = 0;
    virtual int ColumnWidth(int column) const = 0;
    virtual bool ColumnVisible(int column) const = 0;
    // The index of the column that has the focus, or -1.
    virtual int SelectedColumn() const = 0;
    virtual void SetSelectedColumn(int column) = 0;

    // The grid's hint: the name its settings are kept under.
    virtual QString Hint() const = 0;

    // The grid stops and resumes following its data set while a dialog walks it.
    virtual void SaveDrawState() = 0;
    virtual void RestoreDrawState() = 0;

    // Mass selection of the check column, through the form library.
    virtual void SelectAll() = 0;
    virtual void SelectNone() = 0;
    virtual void InvertSelection() = 0;
};

#define IDBGrid_iid "{45E61263-A5C6-461C-B10A-6C1CF8961E1E}"
Q_DECLARE_INTERFACE(IDBGrid, IDBGrid_iid)
