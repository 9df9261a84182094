#pragma once
// The progress window of the form library (GetIProgress): a caption, a bar
// over the count of steps, the file at hand and a Cancel button. The caller
// works on in its own loop and reports each file; the window keeps the events
// going meanwhile, so that Cancel can be clicked, and answers after a file
// whether to go on. It is application-modal but never waits: nothing blocks,
// attended or not.
#include "Source/ComUnits/ZandrellInterface.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TProgressForm : public QDialog, public IProgress {
    Q_OBJECT
public:
    TProgressForm(const QString &caption, int count);

    void BeforeFile(const char *fileName) override;
    bool AfterFile(const char *fileName) override;
    void Release() override;

    bool Cancelled() const { return m_cancelled; }

    QLabel *lbFile;
    QProgressBar *pbFiles;
    QPushButton *btnCancel;

protected:
    // Esc and the close button cancel as the button does.
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    ~TProgressForm() override;
    void cancel();
    void keepEventsGoing();

    bool m_cancelled = false;
    int m_done = 0;
};
