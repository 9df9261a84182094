#include "uDemoGridForm.h"

#include "DataSetModel.h"
#include "DataSource.h"
#include "DialogService.h"
#include "Field.h"
#include "OraQuery.h"
#include "uBaseService.h"

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
        FText = text;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        if (FText.isEmpty())
            return true;
        for (int column = 0; column < sourceModel()->columnCount(parent); ++column) {
            const QString cell = sourceModel()->index(row, column, parent).data().toString();
            if (cell.contains(FText, Qt::CaseInsensitive))
                return true;
        }
        return false;
    }

private:
    QString FText;
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
    : TServiceForm(parent), FSpec(spec), FMode(mode)
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
    FReportAction = toolBar->addAction(Tr(QStringLiteral("Отчет")), this, &TDemoGridForm::ReportCommand);
    layout->addWidget(toolBar);

    QPushButton *next = nullptr;
    FFindBar = MakeBar(this, Tr(QStringLiteral("Найти:")), FFindEdit, &next, Tr(QStringLiteral("Далее")));
    layout->addWidget(FFindBar);
    connect(FFindEdit, &QLineEdit::returnPressed, this, &TDemoGridForm::FindNext);
    connect(next, &QPushButton::clicked, this, &TDemoGridForm::FindNext);

    FFilterBar = MakeBar(this, Tr(QStringLiteral("Фильтр:")), FFilterEdit, nullptr, QString());
    layout->addWidget(FFilterBar);

    FQuery = new TOraQuery(this);
    FQuery->SetSQLText(FSpec.sql);
    FSource = new TDataSource(this, FQuery);
    FModel = new TDataSetModel(FSource, this);
    auto *filter = new TAnyColumnFilter(this);
    filter->setSourceModel(FModel);
    // Numbers and dates sort by their values, not by their text.
    filter->setSortRole(Qt::EditRole);
    FProxy = filter;
    connect(FFilterEdit, &QLineEdit::textChanged, this, [this, filter](const QString &text) {
        filter->SetText(text);
        UpdateStatus();
    });

    FGrid = new QTableView(this);
    FGrid->setModel(FProxy);
    FGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    FGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    FGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FGrid->verticalHeader()->hide();
    FGrid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(FGrid, 1);

    FStatus = new QLabel(this);
    FStatus->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(FStatus);

    ApplyRights();
    UpdateStatus();
}

TDemoGridForm::~TDemoGridForm()
{
    // The grid and the models go before the query they show.
    delete FGrid;
    delete FProxy;
    delete FModel;
}

QString TDemoGridForm::Tr(const QString &text) const { return LangPackAplText(text); }

void TDemoGridForm::ApplyRights()
{
    const bool reportAllowed = ReportAllowed();
    FReportAction->setEnabled(reportAllowed);
    FReportAction->setToolTip(reportAllowed ? QString() : Tr(QStringLiteral("Нет права на печать отчетов")));
}

bool TDemoGridForm::ReportAllowed() const { return FSpec.reportRight == 0 || RightGranted(FMode, FSpec.reportRight); }

void TDemoGridForm::SetDemoSession(TOraSession *session)
{
    FSession = session;
    if (!FScheme.isEmpty())
        OpenData();
}

void TDemoGridForm::SetDemoScheme(const QString &scheme)
{
    FScheme = scheme;
    if (FSession)
        OpenData();
}

void TDemoGridForm::OpenData()
{
    FError.clear();
    try {
        FQuery->Close();
        FQuery->SetSession(FSession);
        if (TMacro *macro = FQuery->FindMacro(QStringLiteral("shema")))
            macro->SetValue(FScheme);
        FQuery->Open();
        for (int i = 0; i < FQuery->FieldCount(); ++i)
            FQuery->Fields(i)->SetVisible(false);
        // The columns of the description; those without their right stay hidden.
        for (const TDemoColumn &column : std::as_const(FSpec.columns)) {
            TField *field = FQuery->FindField(column.field);
            if (!field)
                continue;
            field->SetDisplayLabel(Tr(column.label));
            field->SetVisible(column.right == 0 || RightGranted(FMode, column.right));
        }
        // The fields keep their settings when the query opens again, and the grid takes them then.
        FQuery->Close();
        FQuery->Open();
    } catch (const std::exception &e) {
        FError = ExceptionMessage(e);
    }
    FSortColumn = -1;
    FGrid->resizeColumnsToContents();
    UpdateStatus();
}

void TDemoGridForm::UpdateStatus(const QString &extra)
{
    if (!FError.isEmpty()) {
        FStatus->setStyleSheet(QStringLiteral("color: #b00020"));
        FStatus->setText(FError);
        return;
    }
    FStatus->setStyleSheet(QString());
    QString text = Tr(QStringLiteral("Записей: %1")).arg(FProxy->rowCount());
    if (!FFilterEdit->text().isEmpty())
        text += QStringLiteral("   ") + Tr(QStringLiteral("Фильтр: \"%1\"")).arg(FFilterEdit->text());
    if (FSortColumn >= 0)
        text += QStringLiteral("   ") + Tr(QStringLiteral("Сортировка: %1 %2"))
                                            .arg(FProxy->headerData(FSortColumn, Qt::Horizontal).toString(),
                                                 FSortOrder == Qt::AscendingOrder ? QStringLiteral("↑")
                                                                                   : QStringLiteral("↓"));
    if (!extra.isEmpty())
        text += QStringLiteral("   ") + extra;
    FStatus->setText(text);
}

void TDemoGridForm::FindCommand()
{
    FFindBar->show();
    FFindEdit->setFocus();
    FFindEdit->selectAll();
}

void TDemoGridForm::FindNext()
{
    const QString text = FFindEdit->text();
    const int rows = FProxy->rowCount();
    if (text.isEmpty() || rows == 0)
        return;
    const int start = CurrentRow();
    for (int step = 1; step <= rows; ++step) {
        const int row = (start + step) % rows;
        for (int column = 0; column < FProxy->columnCount(); ++column) {
            if (FProxy->index(row, column).data().toString().contains(text, Qt::CaseInsensitive)) {
                FGrid->selectRow(row);
                FGrid->setCurrentIndex(FProxy->index(row, column));
                UpdateStatus();
                return;
            }
        }
    }
    UpdateStatus(Tr(QStringLiteral("\"%1\" не найдено")).arg(text));
}

void TDemoGridForm::SortCommand()
{
    const int column = FGrid->currentIndex().isValid() ? FGrid->currentIndex().column() : 0;
    if (FProxy->columnCount() == 0)
        return;
    FSortOrder = column == FSortColumn && FSortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    FSortColumn = column;
    FProxy->sort(column, FSortOrder);
    FGrid->horizontalHeader()->setSortIndicatorShown(true);
    FGrid->horizontalHeader()->setSortIndicator(column, FSortOrder);
    UpdateStatus();
}

void TDemoGridForm::FilterCommand()
{
    FFilterBar->setVisible(!FFilterBar->isVisible() || FFilterEdit->text().isEmpty());
    if (FFilterBar->isVisible()) {
        FFilterEdit->setFocus();
        FFilterEdit->selectAll();
    } else {
        FFilterEdit->clear();
    }
}

QString TDemoGridForm::ReportHtml() const
{
    QString html = QStringLiteral("<h3>%1</h3><table border=1 cellspacing=0 cellpadding=3><tr>")
                       .arg(Tr(FSpec.reportTitle).toHtmlEscaped());
    for (int column = 0; column < FProxy->columnCount(); ++column)
        html += QStringLiteral("<th>%1</th>").arg(FProxy->headerData(column, Qt::Horizontal).toString().toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (int row = 0; row < FProxy->rowCount(); ++row) {
        html += QStringLiteral("<tr>");
        for (int column = 0; column < FProxy->columnCount(); ++column)
            html += QStringLiteral("<td>%1</td>").arg(CellText(row, column).toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table><p>%1</p>").arg(Tr(QStringLiteral("Записей: %1")).arg(FProxy->rowCount()));
    return html;
}

void TDemoGridForm::ReportCommand()
{
    if (!ReportAllowed()) {
        UpdateStatus(Tr(QStringLiteral("Нет права на печать отчетов")));
        return;
    }
    QDialog dialog(this);
    dialog.setWindowTitle(Tr(FSpec.reportTitle));
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

int TDemoGridForm::VisibleRowCount() const { return FProxy->rowCount(); }

QStringList TDemoGridForm::VisibleColumns() const
{
    QStringList labels;
    for (int column = 0; column < FProxy->columnCount(); ++column)
        labels << FProxy->headerData(column, Qt::Horizontal).toString();
    return labels;
}

QString TDemoGridForm::CellText(int row, int column) const { return FProxy->index(row, column).data().toString(); }

int TDemoGridForm::CurrentRow() const { return FGrid->currentIndex().isValid() ? FGrid->currentIndex().row() : -1; }

QString TDemoGridForm::StatusText() const { return FStatus->text(); }

void TDemoGridForm::TypeFindText(const QString &text)
{
    FindCommand();
    FFindEdit->setText(text);
}

void TDemoGridForm::TypeFilterText(const QString &text)
{
    FFilterBar->show();
    FFilterEdit->setText(text);
}
