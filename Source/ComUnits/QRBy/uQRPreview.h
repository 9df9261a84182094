#pragma once
// The preview window of a listing: Qt's print preview with its widgets and
// actions named for the unattended driver, and its print and page set-up
// windows run through the dialog service like every modal window.
#include <QPrintPreviewDialog>

#include <functional>

class QPrinter;

class TQRPreviewDlg : public QPrintPreviewDialog {
    Q_OBJECT
public:
    using TPaintPages = std::function<void(QPrinter *)>;
    // printer: set up for the listing; it outlives the window.
    TQRPreviewDlg(QPrinter *printer, const QString &caption, TPaintPages paintPages, QWidget *parent = nullptr);

private:
    void nameWidgets();
    void routePrinterDialogs();
};
