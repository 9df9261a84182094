#include "Modules/DemoServices/uDemoDataForm.h"

#include "Core/ResourcePack.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "Source/ComUnits/Lang/uLangComp.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uDBGrid.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>

TDemoDataForm::TDemoDataForm(const QString &caption, const QString &mode, TOraSession *session, const QString &scheme)
    : TBaseForm(nullptr, session, scheme, mode)
{
    setWindowTitle(caption);
    resize(720, 460);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    ViewDS = new TQRByDataSet(this);
    ViewDS->setObjectName(QStringLiteral("ViewDS"));
    // Each grid takes the action: the key works wherever a grid has the focus, and only there.
    m_acViewDS = new QAction(this);
    m_acViewDS->setObjectName(QStringLiteral("acViewDS"));
    m_acViewDS->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m_acViewDS->setShortcutContext(Qt::WidgetShortcut);
    connect(m_acViewDS, &QAction::triggered, this, &TDemoDataForm::acViewDSExecute);
    // The record counts of the focused grid (and of its master); the grids go above it.
    sbStatus = new QStatusBar(this);
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->setSizeGripEnabled(false);
    lbRecords = new QLabel(sbStatus);
    lbRecords->setObjectName(QStringLiteral("lbRecords"));
    // The counts are no text to translate or to capture for the language pack.
    lbRecords->setProperty("tag", kLangNoTranslateTag);
    sbStatus->addWidget(lbRecords, 1);
    layout->addWidget(sbStatus);
}

TOraQuery *TDemoDataForm::AddQuery(const QString &name, const QString &sql, const QString &orderField)
{
    auto *query = new TOraQuery(this);
    query->setObjectName(name);
    query->SetSQLText(sql);
    query->MacroByName(QStringLiteral("ORDER")).SetValue(QStringLiteral("ORDER BY"));
    query->MacroByName(QStringLiteral("FIELD")).SetValue(orderField);
    m_queries.append(query);
    return query;
}

TDBGrid *TDemoDataForm::AddGrid(const QString &name, const QString &hint, TOraQuery *query)
{
    auto *grid = new TDBGrid(this);
    grid->setObjectName(name);
    grid->SetHint(hint);
    grid->SetDataSource(new TDataSource(this, query));
    auto *box = static_cast<QVBoxLayout *>(layout());
    box->insertWidget(box->indexOf(sbStatus), grid);
    grid->addAction(m_acViewDS);
    m_grids.append(grid);
    if (m_grids.size() == 1)
        MainDataSet = query;
    return grid;
}

void TDemoDataForm::ShowField(TOraQuery *query, const QString &field, const QString &label, bool granted)
{
    TField *f = query->FindField(field);
    if (!f)
        return;
    f->SetVisible(granted);
    f->SetDisplayLabel(granted ? LangPackAplText(label) : QString());
}

void TDemoDataForm::ShowMoney(TOraQuery *query, const QString &field, const QString &label, bool granted)
{
    ShowField(query, field, label, granted);
    if (TField *f = query->FindField(field))
        f->SetScale(2);
}

void TDemoDataForm::SetSession(TOraSession *session)
{
    TBaseForm::SetSession(session);
    OpenData();
}

void TDemoDataForm::SetScheme(const QString &scheme)
{
    TBaseForm::SetScheme(scheme);
    OpenData();
}

void TDemoDataForm::FormCreate()
{
    CheckStates()->SetStatusControl(lbRecords);
    OpenData();
}

void TDemoDataForm::OpenData()
{
    if (!BindDb())
        return;
    try {
        for (TOraQuery *query : std::as_const(m_queries)) {
            query->Close();
            // Every field starts hidden: only those a form labels are shown.
            query->Open();
            for (int i = 0; i < query->FieldCount(); ++i)
                query->Fields(i)->SetVisible(false);
        }
        ShowFields();
        // The fields keep their settings when a query opens again; the grids take them then.
        for (TOraQuery *query : std::as_const(m_queries)) {
            query->Close();
            query->Open();
        }
    } catch (const std::exception &e) {
        MsgBoxKind(this, ExceptionMessage(e), 1);
    }
    // Grids set up before the data was there get their fields' settings now;
    // columns the user arranged keep their places and widths.
    if (Built())
        for (TDBGrid *grid : std::as_const(m_grids)) {
            SetUpGridDataSet(grid);
            grid->FitColumns();
        }
}

void TDemoDataForm::UserMessage(int message, qintptr, qintptr lParam)
{
    if (message != WM_SERVICE_COMMAND)
        return;
    switch (lParam) {
    case saFind:
        Find();
        break;
    case saSort:
        Sort();
        break;
    case saReport:
        Report();
        break;
    case saFilter:
        Filter();
        break;
    default:
        break;
    }
}

void TDemoDataForm::acViewDSExecute()
{
    QAbstractItemView *grid = GetFocusedGrid();
    if (!grid)
        return;
    ViewDS->SetDataSet(DataSetOfView(grid));
    ViewDS->SetCaption(windowTitle());
    ViewDS->ShowListing();
}

void TDemoDataForm::AddAccessFuncs()
{
    AccessFuncsList().Add([this](bool on) { m_guardedColumns = on; });
    // The listing prints what the report would: the same right.
    AccessFuncsList().Add([this](bool on) {
        pReport->setEnabled(on);
        m_acViewDS->setEnabled(on);
    });
}
