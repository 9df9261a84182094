#pragma once
// The window of the demo services: a grid over one table of the demo scheme,
// read through the session the console hands over, with its own tool bar for
// the console's four commands:
//   Find    shows a find line; Enter (or "Next") moves to the next row that holds the text;
//   Sort    sorts by the current column, ascending, then descending on the next call;
//   Filter  shows a filter line that keeps only the rows holding the text;
//   Report  shows the listing of the rows in view (the service's report).
// Rights come from the rights string: a column may need a right to be shown,
// and the report needs its right; what is not granted is hidden or disabled.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/ComUnits/uServiceForm.h"

#include <QList>
#include <QString>

class QAction;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;
class QWidget;
class TDataSetModel;
class TDataSource;
class TOraQuery;

struct TDemoColumn {
    QString field;
    QString label;
    // The right (from 1) without which the column is hidden; 0: always shown.
    int right = 0;
};

struct TDemoGridSpec {
    QString title;
    // The statement; the demo tables are named through the scheme macro: &shema.DEMO_ORDERS.
    QString sql;
    QList<TDemoColumn> columns;
    // The right (from 1) that the report needs.
    int reportRight = 0;
    QString reportTitle;
};

// True when right `right` (from 1) is granted in the rights string.
bool RightGranted(const QString &mode, int right);

class TDemoGridForm : public TServiceForm {
    Q_OBJECT
public:
    TDemoGridForm(const TDemoGridSpec &spec, const QString &mode, QWidget *parent = nullptr);
    ~TDemoGridForm() override;

    // Opens the table once both the session and the scheme are known.
    void SetDemoSession(TOraSession *session);
    void SetDemoScheme(const QString &scheme);
    void OpenData();

    void FindCommand();
    void SortCommand();
    void ReportCommand();
    void FilterCommand();

    // For the tests of the demo modules: the rows and columns in view, and the status line.
    Q_INVOKABLE int VisibleRowCount() const;
    Q_INVOKABLE QStringList VisibleColumns() const;
    Q_INVOKABLE QString CellText(int row, int column) const;
    Q_INVOKABLE int CurrentRow() const;
    Q_INVOKABLE QString StatusText() const;
    Q_INVOKABLE bool ReportAllowed() const;
    // Types into the find or filter line as a person would.
    Q_INVOKABLE void TypeFindText(const QString &text);
    Q_INVOKABLE void TypeFilterText(const QString &text);
    Q_INVOKABLE void FindNext();
    // The listing the report shows, as HTML.
    Q_INVOKABLE QString ReportHtml() const;

protected:
    void UserMessage(int message, qintptr wParam, qintptr lParam) override;

private:
    void ApplyRights();
    void UpdateStatus(const QString &extra = QString());
    QString Tr(const QString &text) const;

    TDemoGridSpec m_spec;
    QString m_mode;
    TOraSession *m_session = nullptr;
    QString m_scheme;
    TOraQuery *m_query = nullptr;
    TDataSource *m_source = nullptr;
    TDataSetModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QTableView *m_grid = nullptr;
    QWidget *m_findBar = nullptr;
    QLineEdit *m_findEdit = nullptr;
    QWidget *m_filterBar = nullptr;
    QLineEdit *m_filterEdit = nullptr;
    QLabel *m_status = nullptr;
    QAction *m_reportAction = nullptr;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_error;
};

// The window of a form-style demo service: the grid window with the console's
// interface, through which the console hands over the session and the scheme
// and forwards find, sort, report and filter.
class TDemoServiceForm : public TDemoGridForm, public IZandrell {
    Q_OBJECT
    Q_INTERFACES(IZandrell)
public:
    using TDemoGridForm::TDemoGridForm;

    void SetSession(TOraSession *session) override { SetDemoSession(session); }
    void Find() override { FindCommand(); }
    void Sort() override { SortCommand(); }
    void Report() override { ReportCommand(); }
    void Filter() override { FilterCommand(); }
    void CloseService() override { close(); }
    void SetScheme(const QString &scheme) override { SetDemoScheme(scheme); }
};
