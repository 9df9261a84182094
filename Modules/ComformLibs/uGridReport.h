#pragma once
// The report of a grid: a printable listing of the grid's visible columns, a
// title on every page, the column titles repeated on every page, the page
// number below, and for a detail grid its master's current row above the
// rows. Columns are laid out across the page by their display widths (one
// character to a millimetre, 3 mm apart, from 1 mm on); the first column that
// does not fit a portrait page turns the page to landscape, and a column that
// does not fit even then ends the listing. The report is previewed on screen.
#include "DataAccess/FieldType.h"

#include <QList>
#include <QPrintPreviewDialog>
#include <QString>

class IDBGrid;
class QPainter;
class QPrinter;
class QTextCursor;
class QTextDocument;
class TField;

struct TReportColumn {
    TField *field = nullptr;
    QString title;
    double leftMm = 0;
    double widthMm = 0;
};

struct TReportLayout {
    QList<TReportColumn> columns;
    bool landscape = false;
};

// Alignment of a column's title and values by the field's type.
Qt::Alignment ReportAlignment(TFieldType type);
// False for the types a listing never shows (binary and long data, cursors).
bool ListedFieldType(TFieldType type);
// The grid's visible columns laid out on a band portraitWidthMm wide, turning to
// landscapeWidthMm when a column does not fit (pass the same width twice to keep the page).
TReportLayout LayoutReportColumns(IDBGrid *grid, double portraitWidthMm, double landscapeWidthMm);

// The printable width of an A4 page in the report's margins.
double ReportBandWidthMm(bool landscape);

// Builds the report's body as a document and paints it page by page.
class TGridListing {
public:
    // documentParent owns the document.
    TGridListing(IDBGrid *grid, IDBGrid *masterGrid, const QString &title, QObject *documentParent);

    QString Title() const { return m_title; }
    QTextDocument *Document() const { return m_document; }
    // Lays the document out for the printer's page and paints every page on it.
    void Print(QPrinter *printer);

private:
    // Fills the document for a band of that width.
    void build(double bandWidthMm);
    void paintPage(QPainter &painter, const QRectF &page, int number, double dotsPerMm);

    IDBGrid *m_grid;
    IDBGrid *m_masterGrid;
    QString m_title;
    QTextDocument *m_document;
};

// The preview window of a report.
class TGridReportDlg : public QPrintPreviewDialog {
    Q_OBJECT
public:
    // printer: set up for the report (page, margins, orientation); it outlives the window.
    TGridReportDlg(IDBGrid *grid, IDBGrid *masterGrid, const QString &title, QPrinter *printer,
                   QWidget *parent = nullptr);

private:
    void nameWidgets();
    void routePrinterDialogs();
    TGridListing m_report;
};

// The report entry: previews the grid's report; returns 1 when it was shown.
int ShowGridReport(IDBGrid *grid, IDBGrid *masterGrid, const QString &title);
