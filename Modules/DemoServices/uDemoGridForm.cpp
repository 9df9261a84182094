#include "Modules/DemoServices/uDemoGridForm.h"

#include "Ui/DataSetModel.h"
#include "DataAccess/DataSource.h"
#include "Core/DialogService.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "Source/ComUnits/uBaseService.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Keeps the rows in which any column holds the text, ignoring case.
class TAnyColumnFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetText(const QString &text)
    {
        m_text = text;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (m_text.isEmpty())
            return true;
        for (int column = 0; column < sourceModel()->columnCount(parent); ++column) {
            const QString cell = sourceModel()->index(row, column, parent).data().toString();
            if (cell.contains(m_text, Qt::CaseInsensitive))
                return true;
        }
        return false;
    }

private:
    QString m_text;
};

QWidget *MakeBar(QWidget *parent, const QString &label, QLineEdit *&edit, QPushButton **button,
                 const QString &buttonText)
{
    auto *bar = new QWidget(parent);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(label, bar));
    edit = new QLineEdit(bar);
    edit->setClearButtonEnabled(true);
    layout->addWidget(edit, 1);
    if (button) {
        *button = new QPushButton(buttonText, bar);
        layout->addWidget(*button);
    }
    bar->hide();
    return bar;
}

} // namespace

bool RightGranted(const QString &mode, int right)
{
    return right >= 1 && right < mode.size() && mode[right] == QLatin1Char('1');
}

TDemoGridForm::TDemoGridForm(const TDemoGridSpec &spec, const QString &mode, QWidget *parent)
    : TServiceForm(parent), m_spec(spec), m_mode(mode)
{
    resize(640, 420);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *toolBar = new QToolBar(this);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    toolBar->addAction(Tr(QStringLiteral("Поиск")), this, &TDemoGridForm::FindCommand);
    toolBar->addAction(Tr(QStringLiteral("Сортировка")), this, &TDemoGridForm::SortCommand);
    toolBar->addAction(Tr(QStringLiteral("Фильтр")), this, &TDemoGridForm::FilterCommand);
    m_reportAction = toolBar->addAction(Tr(QStringLiteral("Отчет")), this, &TDemoGridForm::ReportCommand);
    layout->addWidget(toolBar);

    QPushButton *next = nullptr;
    m_findBar = MakeBar(this, Tr(QStringLiteral("Найти:")), m_findEdit, &next, Tr(QStringLiteral("Далее")));
    layout->addWidget(m_findBar);
    connect(m_findEdit, &QLineEdit::returnPressed, this, &TDemoGridForm::FindNext);
    connect(next, &QPushButton::clicked, this, &TDemoGridForm::FindNext);

    m_filterBar = MakeBar(this, Tr(QStringLiteral("Фильтр:")), m_filterEdit, nullptr, QString());
    layout->addWidget(m_filterBar);

    m_query = new TOraQuery(this);
    m_query->SetSQLText(m_spec.sql);
    m_source = new TDataSource(this, m_query);
    m_model = new TDataSetModel(m_source, this);
    auto *filter = new TAnyColumnFilter(this);
    filter->setSourceModel(m_model);
    // Numbers and dates sort by their values, not by their text.
    filter->setSortRole(Qt::EditRole);
    m_proxy = filter;
    connect(m_filterEdit, &QLineEdit::textChanged, this, [this, filter](const QString &text) {
        filter->SetText(text);
        UpdateStatus();
    });

    m_grid = new QTableView(this);
    m_grid->setModel(m_proxy);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_grid, 1);

    m_status = new QLabel(this);
    m_status->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(m_status);

    ApplyRights();
    UpdateStatus();
}

TDemoGridForm::~TDemoGridForm()
{
    // The grid and the models go before the query they show.
    delete m_grid;
    delete m_proxy;
    delete m_model;
}

QString TDemoGridForm::Tr(const QString &text) const { return LangPackAplText(text); }

void TDemoGridForm::ApplyRights()
{
    const bool reportAllowed = ReportAllowed();
    m_reportAction->setEnabled(reportAllowed);
    m_reportAction->setToolTip(reportAllowed ? QString() : Tr(QStringLiteral("Нет права на печать отчетов")));
}

bool TDemoGridForm::ReportAllowed() const { return m_spec.reportRight == 0 || RightGranted(m_mode, m_spec.reportRight); }

void TDemoGridForm::SetDemoSession(TOraSession *session)
{
    m_session = session;
    if (!m_scheme.isEmpty())
        OpenData();
}

void TDemoGridForm::SetDemoScheme(const QString &scheme)
{
    m_scheme = scheme;
    if (m_session)
        OpenData();
}

void TDemoGridForm::OpenData()
{
    m_error.clear();
    try {
        m_query->Close();
        m_query->SetSession(m_session);
        if (TMacro *macro = m_query->FindMacro(QStringLiteral("shema")))
            macro->SetValue(m_scheme);
        m_query->Open();
        for (int i = 0; i < m_query->FieldCount(); ++i)
            m_query->Fields(i)->SetVisible(false);
        // The columns of the description; those without their right stay hidden.
        for (const TDemoColumn &column : std::as_const(m_spec.columns)) {
            TField *field = m_query->FindField(column.field);
            if (!field)
                continue;
            field->SetDisplayLabel(Tr(column.label));
            field->SetVisible(column.right == 0 || RightGranted(m_mode, column.right));
        }
        // The fields keep their settings when the query opens again, and the grid takes them then.
        m_query->Close();
        m_query->Open();
    } catch (const std::exception &e) {
        m_error = ExceptionMessage(e);
    }
    m_sortColumn = -1;
    m_grid->resizeColumnsToContents();
    UpdateStatus();
}

void TDemoGridForm::UpdateStatus(const QString &extra)
{
    if (!m_error.isEmpty()) {
        m_status->setStyleSheet(QStringLiteral("color: #b00020"));
        m_status->setText(m_error);
        return;
    }
    m_status->setStyleSheet(QString());
    QString text = Tr(QStringLiteral("Записей: %1")).arg(m_proxy->rowCount());
    if (!m_filterEdit->text().isEmpty())
        text += QStringLiteral("   ") + Tr(QStringLiteral("Фильтр: \"%1\"")).arg(m_filterEdit->text());
    if (m_sortColumn >= 0)
        text += QStringLiteral("   ") + Tr(QStringLiteral("Сортировка: %1 %2"))
                                            .arg(m_proxy->headerData(m_sortColumn, Qt::Horizontal).toString(),
                                                 m_sortOrder == Qt::AscendingOrder ? QStringLiteral("↑")
                                                                                   : QStringLiteral("↓"));
    if (!extra.isEmpty())
        text += QStringLiteral("   ") + extra;
    m_status->setText(text);
}

void TDemoGridForm::FindCommand()
{
    m_findBar->show();
    m_findEdit->setFocus();
    m_findEdit->selectAll();
}

void TDemoGridForm::FindNext()
{
    const QString text = m_findEdit->text();
    const int rows = m_proxy->rowCount();
    if (text.isEmpty() || rows == 0)
        return;
    const int start = CurrentRow();
    for (int step = 1; step <= rows; ++step) {
        const int row = (start + step) % rows;
        for (int column = 0; column < m_proxy->columnCount(); ++column) {
            if (m_proxy->index(row, column).data().toString().contains(text, Qt::CaseInsensitive)) {
                m_grid->selectRow(row);
                m_grid->setCurrentIndex(m_proxy->index(row, column));
                UpdateStatus();
                return;
            }
        }
    }
    UpdateStatus(Tr(QStringLiteral("\"%1\" не найдено")).arg(text));
}

void TDemoGridForm::SortCommand()
{
    const int column = m_grid->currentIndex().isValid() ? m_grid->currentIndex().column() : 0;
    if (m_proxy->columnCount() == 0)
        return;
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    m_proxy->sort(column, m_sortOrder);
    m_grid->horizontalHeader()->setSortIndicatorShown(true);
    m_grid->horizontalHeader()->setSortIndicator(column, m_sortOrder);
    UpdateStatus();
}

void TDemoGridForm::FilterCommand()
{
    m_filterBar->setVisible(!m_filterBar->isVisible() || m_filterEdit->text().isEmpty());
    if (m_filterBar->isVisible()) {
        m_filterEdit->setFocus();
        m_filterEdit->selectAll();
    } else {
        m_filterEdit->clear();
    }
}

QString TDemoGridForm::ReportHtml() const
{
    QString html = QStringLiteral("<h3>%1</h3><table border=1 cellspacing=0 cellpadding=3><tr>")
                       .arg(Tr(m_spec.reportTitle).toHtmlEscaped());
    for (int column = 0; column < m_proxy->columnCount(); ++column)
        html += QStringLiteral("<th>%1</th>").arg(m_proxy->headerData(column, Qt::Horizontal).toString().toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        html += QStringLiteral("<tr>");
        for (int column = 0; column < m_proxy->columnCount(); ++column)
            html += QStringLiteral("<td>%1</td>").arg(CellText(row, column).toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table><p>%1</p>").arg(Tr(QStringLiteral("Записей: %1")).arg(m_proxy->rowCount()));
    return html;
}

void TDemoGridForm::ReportCommand()
{
    if (!ReportAllowed()) {
        UpdateStatus(Tr(QStringLiteral("Нет права на печать отчетов")));
        return;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(Tr(m_spec.reportTitle));
    dialog.resize(600, 400);
    auto *layout = new QVBoxLayout(&dialog);
    auto *browser = new QTextBrowser(&dialog);
    browser->setHtml(ReportHtml());
    layout->addWidget(browser);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    ExecModalDialog(&dialog);
}

void TDemoGridForm::UserMessage(int message, qintptr, qintptr lParam)
{
    if (message != WM_SERVICE_COMMAND)
        return;
    switch (lParam) {
    case saFind:
        FindCommand();
        break;
    case saSort:
        SortCommand();
        break;
    case saReport:
        ReportCommand();
        break;
    case saFilter:
        FilterCommand();
        break;
    default:
        break;
    }
}

int TDemoGridForm::VisibleRowCount() const { return m_proxy->rowCount(); }

QStringList TDemoGridForm::VisibleColumns() const
{
    QStringList labels;
    for (int column = 0; column < m_proxy->columnCount(); ++column)
        labels << m_proxy->headerData(column, Qt::Horizontal).toString();
    return labels;
}

QString TDemoGridForm::CellText(int row, int column) const { return m_proxy->index(row, column).data().toString(); }

int TDemoGridForm::CurrentRow() const { return m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1; }

QString TDemoGridForm::StatusText() const { return m_status->text(); }

void TDemoGridForm::TypeFindText(const QString &text)
{
    FindCommand();
    m_findEdit->setText(text);
}

void TDemoGridForm::TypeFilterText(const QString &text)
{
    m_filterBar->show();
    m_filterEdit->setText(text);
}
