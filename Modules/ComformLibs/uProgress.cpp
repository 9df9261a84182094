#include "Modules/ComformLibs/uProgress.h"

#include "Modules/ComformLibs/uFormLibCommon.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TProgressForm::TProgressForm(const QString &caption, int count)
{
    setObjectName(QStringLiteral("fmProgress"));
    setWindowTitle(caption);
    setWindowModality(Qt::ApplicationModal);
    lbFile = Named(new QLabel(this), "lbFile");
    lbFile->setTextFormat(Qt::PlainText);
    lbFile->setMinimumWidth(360);
    pbFiles = Named(new QProgressBar(this), "pbFiles");
    pbFiles->setRange(0, qMax(count, 0));
    pbFiles->setValue(0);
    btnCancel = Named(new QPushButton(LibText(QStringLiteral("rstr_to_Cancel")), this), "btnCancel");
    connect(btnCancel, &QPushButton::clicked, this, &TProgressForm::cancel);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbFile);
    layout->addWidget(pbFiles);
    layout->addLayout(buttons);
}

TProgressForm::~TProgressForm() = default;

void TProgressForm::keepEventsGoing() { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); }

void TProgressForm::BeforeFile(const char *fileName)
{
    lbFile->setText(QString::fromUtf8(fileName ? fileName : ""));
    keepEventsGoing();
}

bool TProgressForm::AfterFile(const char *)
{
    if (pbFiles->maximum() > 0)
        pbFiles->setValue(qMin(++m_done, pbFiles->maximum()));
    keepEventsGoing();
    return !m_cancelled;
}

void TProgressForm::Release()
{
    hide();
    delete this;
}

void TProgressForm::cancel()
{
    m_cancelled = true;
    btnCancel->setEnabled(false);
}

void TProgressForm::reject() { cancel(); }

void TProgressForm::closeEvent(QCloseEvent *event)
{
    // The window goes when its owner releases it.
    cancel();
    event->ignore();
}
