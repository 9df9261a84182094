#pragma once
// The objects behind IDBGrid. TGridInterfaced knows no grid: the class a
// component gets when no better one is known. TDBGridIntObj wraps one
// TDBGrid: it draws the check column as check boxes and toggles it with the
// space bar or a click. TDBIntList owns the interface objects of a form.
#include "Core/PlatformExport.h"
#include "Source/ComUnits/DBGridInterface.h"

#include <QAbstractItemView>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class TDBGrid;

class PLATFORM_EXPORT TGridInterfaced : public QObject, public IDBGrid {
    Q_OBJECT
    Q_INTERFACES(IDBGrid)
public:
    // component: the view the object stands for (not owned), found again by TDBIntList.
    explicit TGridInterfaced(QAbstractItemView *component = nullptr);
    ~TGridInterfaced() override;

    // The view the object was made for.
    QAbstractItemView *Component() const { return m_component; }

    TDBGridOptions GetOptions() const override { return 0; }
    void SetOptions(TDBGridOptions) override {}
    bool CheckColumnOwnerDrawn() const override { return false; }
    void SetCheckColumnOwnerDrawn(bool) override {}
    QFont TitleFont() const override { return QFont(); }
    void SetTitleFont(const QFont &) override {}
    TDataSet *DataSet() const override { return nullptr; }
    QAbstractItemView *Grid() const override { return nullptr; }
    QString CheckFieldName() const override { return m_checkFieldName; }
    void SetCheckFieldName(const QString &name) override { m_checkFieldName = name; }
    bool HasCheckField() const override { return false; }
    bool GetCheckValue() const override { return false; }
    void SetCheckValue(bool) override {}
    int ColumnCount() const override { return 0; }
    TField *ColumnField(int) const override { return nullptr; }
    QString ColumnTitle(int) const override { return QString(); }
    int ColumnWidth(int) const override { return 0; }
    bool ColumnVisible(int) const override { return false; }
    int SelectedColumn() const override { return -1; }
    void SetSelectedColumn(int) override {}
    QString Hint() const override { return QString(); }
    void SaveDrawState() override {}
    void RestoreDrawState() override {}
    void SelectAll() override {}
    void SelectNone() override {}
    void InvertSelection() override {}

    // What a toggle of the check column does (the form's SetRCheck); without
    // it the check value of the current record is inverted.
    std::function<void()> OnToggleCheck;

protected:
    QPointer<QAbstractItemView> m_component;
    QString m_checkFieldName = QString::fromLatin1(kDefaultCheckField);
};

class PLATFORM_EXPORT TDBGridIntObj : public TGridInterfaced {
    Q_OBJECT
public:
    explicit TDBGridIntObj(TDBGrid *grid);
    ~TDBGridIntObj() override;

    TDBGridOptions GetOptions() const override;
    void SetOptions(TDBGridOptions options) override;
    bool CheckColumnOwnerDrawn() const override { return m_checkDrawn; }
    void SetCheckColumnOwnerDrawn(bool drawn) override;
    QFont TitleFont() const override;
    void SetTitleFont(const QFont &font) override;
    TDataSet *DataSet() const override;
    QAbstractItemView *Grid() const override;
    bool HasCheckField() const override;
    bool GetCheckValue() const override;
    void SetCheckValue(bool checked) override;
    int ColumnCount() const override;
    TField *ColumnField(int column) const override;
    QString ColumnTitle(int column) const override;
    int ColumnWidth(int column) const override;
    bool ColumnVisible(int column) const override;
    int SelectedColumn() const override;
    void SetSelectedColumn(int column) override;
    QString Hint() const override;
    void SaveDrawState() override;
    void RestoreDrawState() override;
    void SelectAll() override;
    void SelectNone() override;
    void InvertSelection() override;

    // The field of a column by the model's numbering (not the display order), or null.
    TField *ModelColumnField(int column) const;
    // Whether a column of the grid (by the model's numbering) shows the check field.
    bool IsCheckColumn(int column) const;
    // Inverts the check of the current record (through OnToggleCheck when set).
    void ToggleCheck();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TDBGrid *grid() const;
    int logicalColumn(int column) const;
    void runSelect(int mode);
    void paintEmptyGrid();

    QAbstractItemDelegate *m_checkDelegate = nullptr;
    bool m_checkDrawn = false;
    bool m_drawStateSaved = false;
};

// The interface objects of a form, owned.
class PLATFORM_EXPORT TDBIntList {
public:
    TDBIntList();
    ~TDBIntList();
    TDBIntList(const TDBIntList &) = delete;
    TDBIntList &operator=(const TDBIntList &) = delete;

    int Add(std::unique_ptr<TGridInterfaced> item);
    int Count() const { return int(m_items.size()); }
    TGridInterfaced *Objects(int i) const;
    // The interface of item i; raises "TDBIntList.GetItem(i): IDBGrid interface is not obtained".
    IDBGrid *GetItem(int i) const;
    // The object made for a view, or null.
    TGridInterfaced *Find(const QAbstractItemView *grid) const;
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TGridInterfaced>> m_items;
};
