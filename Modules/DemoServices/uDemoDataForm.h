#pragma once
// TDemoDataForm: the window of a demo service, a data form over the demo
// scheme. The console makes it without a session, then hands it the session
// and the scheme through IZandrell; the queries open once both are known.
// Find, sort, report and filter, whether they come through IZandrell or as
// the posted commands of an object-style service, run the form's grid
// actions on the focused grid.
//
// A derived form declares its queries and grids in its constructor
// (AddQuery, AddGrid, masters before their details), registers one access
// function per right of its service, and labels the fields in ShowFields.
#include "Source/ComUnits/ZandrellInterface.h"
#include "Source/FormReposit/uBaseForm.h"

#include <QList>
#include <QString>

class QAction;
class QLabel;
class QStatusBar;
class TDBGrid;
class TOraQuery;
class TQRByDataSet;

class TDemoDataForm : public TBaseForm, public IZandrell {
    Q_OBJECT
    Q_INTERFACES(IZandrell)
public:
    TDemoDataForm(const QString &caption, const QString &mode, TOraSession *session = nullptr,
                  const QString &scheme = QString());

    void SetSession(TOraSession *session) override;
    void SetScheme(const QString &scheme) override;
    void Find() override { pFind->trigger(); }
    void Sort() override { pSort->trigger(); }
    void Report() override { pReport->trigger(); }
    void Filter() override { pFilter->trigger(); }
    void CloseService() override { close(); }

    // The printable listing of the focused grid's data set.
    TQRByDataSet *ViewDS;
    // The status bar with the record counts (CheckStates).
    QStatusBar *sbStatus;
    QLabel *lbRecords;

protected:
    // A query named `name` over the demo scheme: its text names the tables as
    // &shema.TABLE and ends with "&ORDER &FIELD", ordered by orderField.
    TOraQuery *AddQuery(const QString &name, const QString &sql, const QString &orderField);
    // A grid of the query; the hint names its settings.
    TDBGrid *AddGrid(const QString &name, const QString &hint, TOraQuery *query);
    // Gives a field its label in the user's language and shows it; a field
    // that is not granted is hidden and unlabelled, so that neither the grid
    // nor the form library's find, filter and report offer it.
    static void ShowField(TOraQuery *query, const QString &field, const QString &label, bool granted = true);
    // The same for an amount of money: two decimal places, also when the query computes it.
    static void ShowMoney(TOraQuery *query, const QString &field, const QString &label, bool granted = true);
    // Labels the fields once the queries have opened.
    virtual void ShowFields() = 0;

    // The rights of most demo services: right 1 shows the guarded columns
    // (amounts, prices, phone numbers), right 2 the report.
    void AddAccessFuncs() override;
    bool GuardedColumnsGranted() const { return m_guardedColumns; }

    void FormCreate() override;
    void UserMessage(int message, qintptr wParam, qintptr lParam) override;

private:
    void OpenData();
    void acViewDSExecute();

    QList<TOraQuery *> m_queries;
    QList<TDBGrid *> m_grids;
    QAction *m_acViewDS;
    bool m_guardedColumns = false;
};
