#pragma once
// The preview window of a listing: Qt's print preview with its widgets and
// actions named for the unattended driver, and its print and page set-up
// windows run through the dialog service like every modal window. Driven, it
// takes "pdf <path>": the listing it shows written to that file, answered
// with "PDF <path> <pages>".
#include "Ui/ModalDriver.h"

#include <QPrintPreviewDialog>

#include <functional>

class QPrinter;

class TQRPreviewDlg : public QPrintPreviewDialog, public IDrivenWindowCommands {
    Q_OBJECT
public:
    using TPaintPages = std::function<void(QPrinter *)>;
    // printer: set up for the listing; it outlives the window.
    TQRPreviewDlg(QPrinter *printer, const QString &caption, TPaintPages paintPages, QWidget *parent = nullptr);

    bool ExecuteDrivenCommand(const QString &line) override;

private:
    void nameWidgets();
    bool writePdf(const QString &path);
    TPaintPages m_paintPages;
    void routePrinterDialogs();
};
