#include "Modules/ComformLibs/uGridReport.h"

#include "Core/DialogService.h"
#include "Core/TextFormat.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "Modules/ComformLibs/uFormLibCommon.h"
#include "Source/ComUnits/DBGridInterface.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr double kFirstLeftMm = 1;
constexpr double kColumnGapMm = 3;
constexpr double kMarginMm = 10;
constexpr double kHeaderMm = 8;
constexpr double kHeaderGapMm = 2;
constexpr double kFooterMm = 6;
constexpr double kLineMm = 0.3;
constexpr double kCellPaddingMm = 0.3;
constexpr int kFontPoints = 8;
constexpr int kTitlePoints = 14;
// The document's lengths are in pixels of 96 per inch; its layout scales them to the printer.
constexpr double kDocDotsPerMm = 96 / 25.4;
const QColor kTitleColor(0x00, 0x00, 0xFF);  // blue
const QColor kHeaderColor(0x80, 0x00, 0x00); // maroon

QFont reportFont(int points, bool bold)
{
    QFont font = QGuiApplication::font();
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

// Adds a table of the columns: their titles, then every row of the grid (or only its current row).
void addRowsTable(QTextCursor &cursor, const QList<TReportColumn> &columns, IDBGrid *grid, bool currentRowOnly)
{
    TDataSet *ds = grid->DataSet();
    if (columns.isEmpty() || !ds || !ds->Active())
        return;
    const int records = currentRowOnly ? qMin(1, ds->RecordCount()) : ds->RecordCount();
    QTextTableFormat tableFormat;
    tableFormat.setBorder(0);
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    tableFormat.setBorderCollapse(true);
    tableFormat.setCellSpacing(0);
    tableFormat.setCellPadding(0);
    tableFormat.setHeaderRowCount(1);
    tableFormat.setLeftMargin(columns.first().leftMm * kDocDotsPerMm);
    tableFormat.setAlignment(Qt::AlignLeft);
    QList<QTextLength> widths;
    for (const TReportColumn &c : columns)
        widths.append(QTextLength(QTextLength::FixedLength, (c.widthMm + kColumnGapMm) * kDocDotsPerMm));
    tableFormat.setColumnWidthConstraints(widths);
    QTextTable *table = cursor.insertTable(records + 1, int(columns.size()), tableFormat);

    QTextCharFormat titleFormat;
    titleFormat.setFont(reportFont(kFontPoints, true));
    titleFormat.setForeground(kHeaderColor);
    QTextCharFormat valueFormat;
    valueFormat.setFont(reportFont(kFontPoints, false));
    for (int c = 0; c < columns.size(); ++c) {
        const TReportColumn &column = columns.at(c);
        QTextBlockFormat alignment;
        alignment.setAlignment(ReportAlignment(column.field->DataType()));
        for (int row = 0; row <= records; ++row) {
            QTextTableCell cell = table->cellAt(row, c);
            QTextTableCellFormat cellFormat;
            cellFormat.setRightPadding(kColumnGapMm * kDocDotsPerMm);
            cellFormat.setTopPadding(kCellPaddingMm * kDocDotsPerMm);
            cellFormat.setBottomPadding(kCellPaddingMm * kDocDotsPerMm);
            if (row == 0) {
                cellFormat.setBottomBorder(kLineMm * kDocDotsPerMm);
                cellFormat.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
                cellFormat.setBottomBorderBrush(Qt::black);
            }
            cell.setFormat(cellFormat);
            QTextCursor text = cell.firstCursorPosition();
            text.setBlockFormat(alignment);
            if (row == 0) {
                text.insertText(column.title, titleFormat);
                continue;
            }
            const QVariant value = currentRowOnly ? column.field->Value() : ds->ValueAt(row - 1, column.field->Index());
            text.insertText(DisplayText(column.field, value), valueFormat);
        }
    }
    cursor.movePosition(QTextCursor::End);
}

struct TPreviewActionName {
    const char *text; // the source text Qt's preview window gives the action
    const char *name;
};
constexpr TPreviewActionName kPreviewActions[] = {
    {"Fit width", "acFitWidth"},
    {"Fit page", "acFitPage"},
    {"Zoom in", "acZoomIn"},
    {"Zoom out", "acZoomOut"},
    {"Portrait", "acPortrait"},
    {"Landscape", "acLandscape"},
    {"First page", "acFirstPage"},
    {"Previous page", "acPrevPage"},
    {"Next page", "acNextPage"},
    {"Last page", "acLastPage"},
    {"Show single page", "acSinglePage"},
    {"Show facing pages", "acFacingPages"},
    {"Show overview of all pages", "acOverview"},
    {"Print", "acPrint"},
    {"Page setup", "acPageSetup"},
};

} // namespace

Qt::Alignment ReportAlignment(TFieldType type)
{
    switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftBytes:
    case TFieldType::ftAutoInc:
        return Qt::AlignRight;
    case TFieldType::ftBoolean:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

bool ListedFieldType(TFieldType type)
{
    switch (type) {
    case TFieldType::ftVarBytes:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle:
    case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary:
    case TFieldType::ftCursor:
        return false;
    default:
        return true;
    }
}

TReportLayout LayoutReportColumns(IDBGrid *grid, double portraitWidthMm, double landscapeWidthMm)
{
    TReportLayout layout;
    double left = kFirstLeftMm;
    for (int c = 0; c < grid->ColumnCount(); ++c) {
        TField *field = grid->ColumnField(c);
        if (!field || !grid->ColumnVisible(c) || !ListedFieldType(field->DataType()))
            continue;
        const double width = field->DisplayWidth();
        if (width <= 0)
            continue;
        if (left + width > portraitWidthMm)
            layout.landscape = true;
        if (left + width > landscapeWidthMm)
            break;
        const QString title = grid->ColumnTitle(c);
        layout.columns.append({field, title.isEmpty() ? field->DisplayLabel() : title, left, width});
        left += width + kColumnGapMm;
    }
    return layout;
}

double ReportBandWidthMm(bool landscape)
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    return (landscape ? a4.height() : a4.width()) - 2 * kMarginMm;
}

TGridListing::TGridListing(IDBGrid *grid, IDBGrid *masterGrid, const QString &title, QObject *documentParent)
    : m_grid(grid), m_masterGrid(masterGrid), m_title(title), m_document(new QTextDocument(documentParent))
{
    m_document->setObjectName(QStringLiteral("docReport"));
}

void TGridListing::build(double bandWidthMm)
{
    m_document->clear();
    m_document->setDocumentMargin(0);
    m_document->setDefaultFont(reportFont(kFontPoints, false));
    QTextCursor cursor(m_document);
    // One layout pass for the whole document, not one per cell.
    cursor.beginEditBlock();
    TDataSet *master = m_masterGrid ? m_masterGrid->DataSet() : nullptr;
    if (master && master->Active() && !master->IsEmpty()) {
        addRowsTable(cursor, LayoutReportColumns(m_masterGrid, bandWidthMm, bandWidthMm).columns, m_masterGrid, true);
        cursor.insertBlock();
    }
    addRowsTable(cursor, LayoutReportColumns(m_grid, bandWidthMm, bandWidthMm).columns, m_grid, false);
    cursor.endEditBlock();
}

void TGridListing::Print(QPrinter *printer)
{
    const double dotsPerMm = printer->resolution() / 25.4;
    const QRectF paper = printer->pageLayout().paintRectPixels(printer->resolution());
    const QRectF page(0, 0, paper.width(), paper.height());
    // Laid out for the printer: fonts keep their sizes, the page is in the printer's units.
    m_document->documentLayout()->setPaintDevice(printer);
    build(page.width() / dotsPerMm);
    const double bodyHeight = page.height() - (kHeaderMm + kHeaderGapMm + kFooterMm) * dotsPerMm;
    m_document->setPageSize(QSizeF(page.width(), bodyHeight));
    QPainter painter(printer);
    if (!painter.isActive())
        return;
    const int pages = m_document->pageCount();
    for (int number = 1; number <= pages; ++number) {
        if (number > 1)
            printer->newPage();
        paintPage(painter, page, number, dotsPerMm);
    }
}

void TGridListing::paintPage(QPainter &painter, const QRectF &page, int number, double dotsPerMm)
{
    // Title between two lines.
    const QRectF header(page.left(), page.top(), page.width(), kHeaderMm * dotsPerMm);
    painter.setPen(QPen(Qt::black, kLineMm * dotsPerMm));
    painter.drawLine(header.topLeft(), header.topRight());
    painter.drawLine(header.bottomLeft(), header.bottomRight());
    painter.setFont(reportFont(kTitlePoints, true));
    painter.setPen(kTitleColor);
    painter.drawText(header, Qt::AlignCenter | Qt::TextSingleLine, m_title);

    // The part of the body that falls on this page.
    const double bodyTop = header.bottom() + kHeaderGapMm * dotsPerMm;
    const double bodyHeight = m_document->pageSize().height();
    const QRectF slice(0, (number - 1) * bodyHeight, page.width(), bodyHeight);
    painter.save();
    painter.translate(page.left(), bodyTop - slice.top());
    m_document->drawContents(&painter, slice);
    painter.restore();

    const QRectF footer(page.left(), page.bottom() - kFooterMm * dotsPerMm, page.width(), kFooterMm * dotsPerMm);
    painter.setFont(reportFont(kFontPoints, false));
    painter.setPen(Qt::black);
    painter.drawText(footer, Qt::AlignCenter, Fmt(LibText(QStringLiteral("rstr_fmt_PageNo")), number));
}

TGridReportDlg::TGridReportDlg(IDBGrid *grid, IDBGrid *masterGrid, const QString &title, QPrinter *printer,
                               QWidget *parent)
    : QPrintPreviewDialog(printer, parent), m_report(grid, masterGrid, title, this)
{
    setObjectName(QStringLiteral("GridReportDlg"));
    SetDrivenUnattended(this);
    setWindowTitle(title);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) { m_report.Print(target); });
    nameWidgets();
    routePrinterDialogs();
    resize(900, 700);
}

void TGridReportDlg::routePrinterDialogs()
{
    // The print and page set-up windows go through the dialog service like every modal window.
    auto *preview = findChild<QPrintPreviewWidget *>();
    if (QAction *print = findChild<QAction *>(QStringLiteral("acPrint"))) {
        disconnect(print, &QAction::triggered, nullptr, nullptr);
        connect(print, &QAction::triggered, this, [this, preview] {
            QPrintDialog dialog(printer(), this);
            dialog.setObjectName(QStringLiteral("PrintDlg"));
            if (ExecModalDialog(&dialog) != QDialog::Accepted)
                return;
            preview->print();
            accept();
        });
    }
    if (QAction *pageSetup = findChild<QAction *>(QStringLiteral("acPageSetup"))) {
        disconnect(pageSetup, &QAction::triggered, nullptr, nullptr);
        connect(pageSetup, &QAction::triggered, this, [this, preview] {
            QPageSetupDialog dialog(printer(), this);
            dialog.setObjectName(QStringLiteral("PageSetupDlg"));
            if (ExecModalDialog(&dialog) == QDialog::Accepted)
                preview->updatePreview();
        });
    }
}

void TGridReportDlg::nameWidgets()
{
    for (QAction *action : findChildren<QAction *>())
        for (const TPreviewActionName &known : kPreviewActions)
            if (action->text() == QCoreApplication::translate("QPrintPreviewDialog", known.text))
                action->setObjectName(QString::fromLatin1(known.name));
    if (auto *window = findChild<QMainWindow *>())
        window->setObjectName(QStringLiteral("mwPreview"));
    if (auto *preview = findChild<QPrintPreviewWidget *>())
        preview->setObjectName(QStringLiteral("pvReport"));
    if (auto *toolBar = findChild<QToolBar *>()) {
        toolBar->setObjectName(QStringLiteral("tbPreview"));
        toolBar->toggleViewAction()->setObjectName(QStringLiteral("acShowToolBar"));
        // A tool button is named after its action: tbtnPrint for acPrint.
        for (QToolButton *button : toolBar->findChildren<QToolButton *>())
            if (button->defaultAction() && button->defaultAction()->objectName().startsWith(QLatin1String("ac")))
                button->setObjectName(QStringLiteral("tbtn") + button->defaultAction()->objectName().mid(2));
    }
    if (auto *zoom = findChild<QComboBox *>())
        zoom->setObjectName(QStringLiteral("cmbZoom"));
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        if (!qobject_cast<QComboBox *>(edit->parentWidget())) {
            edit->setObjectName(QStringLiteral("edPage"));
            edit->parentWidget()->setObjectName(QStringLiteral("pnlPage"));
        }
    if (auto *pages = findChild<QLabel *>())
        pages->setObjectName(QStringLiteral("lblPageCount"));
    // The tool bar's own actions: its separators, and those that hold the zoom box and the page number.
    if (auto *toolBar = findChild<QToolBar *>()) {
        int separators = 0;
        for (QAction *action : toolBar->actions()) {
            if (!action->objectName().isEmpty())
                continue;
            if (action->isSeparator())
                action->setObjectName(QStringLiteral("acSeparator%1").arg(++separators));
            else if (QWidget *holder = toolBar->widgetForAction(action))
                action->setObjectName(QStringLiteral("wa") + holder->objectName());
        }
    }
}

int ShowGridReport(IDBGrid *grid, IDBGrid *masterGrid, const QString &title)
{
    if (!grid || !grid->DataSet() || !grid->DataSet()->Active())
        return 0;
    const bool landscape = LayoutReportColumns(grid, ReportBandWidthMm(false), ReportBandWidthMm(true)).landscape;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
    const QString caption = title.trimmed().isEmpty() ? LibText(QStringLiteral("rstrReport")) : title;
    TGridReportDlg dialog(grid, masterGrid, caption, &printer, GridWindow(grid));
    ExecModalDialog(&dialog);
    return 1;
}
