#include "Source/ComUnits/QRBy/uQRProgress.h"

#include "Core/DialogService.h"
#include "Core/ResourcePack.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {
// How often the window takes its events: often enough to feel at once, seldom enough to cost nothing.
constexpr int kEventsEveryMs = 50;
} // namespace

TQRProgress::TQRProgress(QWidget *parent, const QString &caption, int rows)
    : m_parent(parent), m_caption(caption), m_rows(rows), m_unattended(IsUnattended())
{
    m_started.start();
}

TQRProgress::~TQRProgress() = default;

void TQRProgress::show()
{
    m_window = std::make_unique<QProgressDialog>(m_parent);
    m_window->setObjectName(QStringLiteral("fmListingProgress"));
    m_window->setWindowTitle(m_caption);
    m_window->setWindowModality(Qt::ApplicationModal);
    m_window->setCancelButtonText(TranslateAplText(QStringLiteral("rstr_to_Cancel")));
    m_window->setRange(0, qMax(m_rows, 1));
    m_window->setAutoReset(false);
    m_window->setAutoClose(false);
    m_window->setMinimumDuration(0);
    m_window->show();
    m_lastEvents.invalidate();
}

bool TQRProgress::Step(int rowsDone, int page)
{
    if (m_unattended || m_cancelled)
        return !m_cancelled;
    if (!m_window) {
        if (m_started.elapsed() < kShowAfterMs)
            return true;
        show();
    }
    if (m_lastEvents.isValid() && m_lastEvents.elapsed() < kEventsEveryMs)
        return true;
    m_window->setLabelText(
        TranslateAplText(QStringLiteral("rstr_fmt_ListingPage")).replace(QLatin1String("%d"), QString::number(page)));
    m_window->setValue(qMin(rowsDone, m_window->maximum()));
    QCoreApplication::processEvents(QEventLoop::AllEvents, kEventsEveryMs / 2);
    m_lastEvents.start();
    m_cancelled = m_window->wasCanceled();
    return !m_cancelled;
}
