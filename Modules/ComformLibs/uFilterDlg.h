#pragma once
// The filter dialog of the form library: conditions on the grid's fields,
// all of which a record must meet, written as the data set's filter
// ("AMOUNT >= 100000 AND STATUS = 'Новый'") with the comparisons the data set
// knows (=, <>, <, >, <=, >=, and = NULL / <> NULL for an empty value).
#include "Modules/ComformLibs/uFormLibCommon.h"

#include <QDialog>

#include <optional>

class QAction;
class QComboBox;
class QLineEdit;
class QListWidget;
class TDataSet;

enum class TFilterOp { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual, IsEmpty, IsNotEmpty };

struct TFilterCondition {
    QString fieldName;
    TFilterOp op = TFilterOp::Equal;
    // The value as the filter writes it: a number, or a text in quotes; empty for IsEmpty and IsNotEmpty.
    QString literal;
};

// The filter text of the conditions, joined by AND; empty for none.
QString FilterText(const QList<TFilterCondition> &conditions);
// The conditions of a filter text (those it cannot read are left out).
QList<TFilterCondition> ParseFilterText(const QString &filter);
// The literal for a value typed for a field: numbers and dates read as the
// grids show them (the session's formats) or in the C and ISO forms; nothing
// (and the reason) when it does not suit the field.
std::optional<QString> FilterLiteral(const TField *field, const QString &typed, QString *error);
// A condition as the user reads it: the column's title, the operator, the
// value in the session's formats ("Сумма >= 100000", "Дата = 05.02.2024").
QString ConditionCaption(const TFilterCondition &condition, const QList<TOfferedColumn> &columns);
// The conditions' captions, one per line.
QString FilterCaption(const QList<TFilterCondition> &conditions, const QList<TOfferedColumn> &columns);
// Puts the filter in force (an empty text removes it); on failure the previous filter stays and the error is raised.
void ApplyFilter(TDataSet *dataSet, const QString &filter);
bool FilterInForce(const TDataSet *dataSet);

class TFilterDlg : public QDialog {
    Q_OBJECT
public:
    // current: the conditions in force.
    TFilterDlg(const QList<TOfferedColumn> &columns, const QList<TFilterCondition> &current, QWidget *parent = nullptr);

    QList<TFilterCondition> Conditions() const { return m_conditions; }

    // OK also takes the condition still standing in the editors when a value was typed.
    void accept() override;

private:
    void buildWidgets();
    bool addCondition();
    void deleteCondition();
    void clearConditions();
    void refreshList();
    void updateActions();

    QList<TOfferedColumn> m_columns;
    QList<TFilterCondition> m_conditions;
    QComboBox *cmbField = nullptr;
    QComboBox *cmbOperator = nullptr;
    QLineEdit *edValue = nullptr;
    QListWidget *lbConditions = nullptr;
    QAction *acAdd = nullptr;
    QAction *acDelete = nullptr;
    QAction *acClear = nullptr;
    QAction *acOk = nullptr;
    QAction *acCancel = nullptr;
};

// The filter entry: the conditions the user confirms are put in force on the
// grid's data set (a detail grid's filter stays in force while its master
// moves). Returns 1 when the user confirmed.
int FilterByDBGrid(IDBGrid *grid);
