#pragma once
// The sort dialog of the form library: the fields of the grid in the order the
// user lists them, each ascending or descending (checked: descending). The
// order becomes the query's FIELD macro, each field written as the query's
// select list names it ("O.AMOUNT DESC, CUSTOMER"), and the query is opened
// again on the record it stood on. The ordering in force, positions included
// ("3 DESC"), is listed by the fields it names.
#include "Modules/ComformLibs/uFormLibCommon.h"
#include "Source/ComUnits/uQueryOrdering.h"

#include <QDialog>
#include <QHash>

class QAction;
class QListWidget;
class TOraDataSet;

// One item of an ordering: the SQL expression and its direction.
struct TOrderItem {
    QString expression;
    bool descending = false;
};

// The items of a FIELD macro value ("O.ID, AMOUNT DESC"); commas inside brackets or quotes do not split.
QList<TOrderItem> ParseOrder(const QString &macroValue);
// The macro value of an ordering.
QString OrderText(const QList<TOrderItem> &items);
// A field name as SQL may name it: quoted unless it is a plain identifier.
QString SqlFieldName(const QString &fieldName);

// Sets the FIELD macro (and an empty ORDER macro to "ORDER BY") and opens the
// query again on its current record; on failure the macros are put back and
// the error is raised.
void ApplyOrder(TOraDataSet *query, const QString &fieldMacro, IDBGrid *grid);

class TSortDlg : public QDialog {
    Q_OBJECT
public:
    // current: the ordering in force; its items that name an offered field are listed.
    // selectList: the query's select list, which names the fields.
    TSortDlg(const QList<TOfferedColumn> &columns, const QList<TOrderItem> &current,
             const QList<TSelectItem> &selectList = {}, QWidget *parent = nullptr);

    // The ordering as listed.
    QList<TOrderItem> Order() const;
    // Whether the user changed the listed ordering.
    bool Changed() const { return OrderText(Order()) != m_initialOrder; }

private:
    void buildWidgets();
    void addField();
    void removeField();
    void moveField(int step);
    void updateActions();
    QString titleOf(const QString &fieldName) const;

    QList<TOfferedColumn> m_columns;
    QList<TSelectItem> m_selectList;
    QString m_initialOrder;
    // Expressions of the current ordering by field name (upper case), kept when
    // the field stays listed and the select list does not name it.
    QHash<QString, QString> m_expressions;
    QListWidget *lbFields = nullptr;
    QListWidget *lbOrder = nullptr;
    QAction *acAdd = nullptr;
    QAction *acRemove = nullptr;
    QAction *acUp = nullptr;
    QAction *acDown = nullptr;
    QAction *acOk = nullptr;
    QAction *acCancel = nullptr;
};

// The sort entry: returns 1 when the ordering changed.
int SortDBGrid(IDBGrid *grid);
