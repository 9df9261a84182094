#include "Source/ComUnits/QRBy/uQRPreview.h"

#include "Core/DialogService.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QToolButton>

namespace {

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

TQRPreviewDlg::TQRPreviewDlg(QPrinter *printer, const QString &caption, TPaintPages paintPages, QWidget *parent)
    : QPrintPreviewDialog(printer, parent), m_paintPages(paintPages)
{
    setObjectName(QStringLiteral("QRPreviewDlg"));
    SetDrivenUnattended(this);
    setWindowTitle(caption);
    connect(this, &QPrintPreviewDialog::paintRequested, this, std::move(paintPages));
    nameWidgets();
    routePrinterDialogs();
    resize(900, 700);
}

bool TQRPreviewDlg::ExecuteDrivenCommand(const QString &line)
{
    if (line.section(QLatin1Char(' '), 0, 0) != QLatin1String("pdf"))
        return false;
    const QString path = line.section(QLatin1Char(' '), 1).trimmed();
    const auto *preview = findChild<QPrintPreviewWidget *>();
    if (path.isEmpty() || !writePdf(path))
        WriteProtocolLine(QStringLiteral("ERROR pdf not written: ") + path);
    else
        WriteProtocolLine(QStringLiteral("PDF %1 %2").arg(path).arg(preview ? preview->pageCount() : 0));
    return true;
}

// The pages the window shows, on the same paper, into a PDF file.
bool TQRPreviewDlg::writePdf(const QString &path)
{
    QFile::remove(path);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    pdf.setResolution(printer()->resolution());
    pdf.setPageLayout(printer()->pageLayout());
    pdf.setDocName(windowTitle());
    m_paintPages(&pdf);
    return QFileInfo(path).size() > 0;
}

void TQRPreviewDlg::routePrinterDialogs()
{
    auto *preview = findChild<QPrintPreviewWidget *>();
    if (QAction *print = findChild<QAction *>(QStringLiteral("acPrint"))) {
        disconnect(print, &QAction::triggered, nullptr, nullptr);
        connect(print, &QAction::triggered, this, [this, preview] {
            // Qt's print window offers a PDF file as one of its printers.
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

void TQRPreviewDlg::nameWidgets()
{
    for (QAction *action : findChildren<QAction *>())
        for (const TPreviewActionName &known : kPreviewActions)
            if (action->text() == QCoreApplication::translate("QPrintPreviewDialog", known.text))
                action->setObjectName(QString::fromLatin1(known.name));
    if (auto *window = findChild<QMainWindow *>())
        window->setObjectName(QStringLiteral("mwPreview"));
    if (auto *preview = findChild<QPrintPreviewWidget *>())
        preview->setObjectName(QStringLiteral("pvReport"));
    if (auto *zoom = findChild<QComboBox *>())
        zoom->setObjectName(QStringLiteral("cmbZoom"));
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        if (!qobject_cast<QComboBox *>(edit->parentWidget())) {
            edit->setObjectName(QStringLiteral("edPage"));
            edit->parentWidget()->setObjectName(QStringLiteral("pnlPage"));
        }
    if (auto *pages = findChild<QLabel *>())
        pages->setObjectName(QStringLiteral("lblPageCount"));
    auto *toolBar = findChild<QToolBar *>();
    if (!toolBar)
        return;
    toolBar->setObjectName(QStringLiteral("tbPreview"));
    toolBar->toggleViewAction()->setObjectName(QStringLiteral("acShowToolBar"));
    // A tool button is named after its action: tbtnPrint for acPrint.
    for (QToolButton *button : toolBar->findChildren<QToolButton *>())
        if (button->defaultAction() && button->defaultAction()->objectName().startsWith(QLatin1String("ac")))
            button->setObjectName(QStringLiteral("tbtn") + button->defaultAction()->objectName().mid(2));
    // The tool bar's own actions: its separators, and those that hold the zoom box and the page number.
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
