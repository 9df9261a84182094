#pragma once
// The progress of a listing being painted. Once the work has lasted half a
// second a window shows the page reached, a bar over the rows and Cancel; it
// keeps the events going meanwhile, so that Cancel can be clicked, and is
// application-modal without ever waiting. The unattended mode shows nothing
// and lets no event in while the pages are painted.
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

class TQRProgress {
public:
    TQRProgress(QWidget *parent, const QString &caption, int rows);
    ~TQRProgress();
    TQRProgress(const TQRProgress &) = delete;
    TQRProgress &operator=(const TQRProgress &) = delete;

    // After each row painted; false once the user has cancelled.
    bool Step(int rowsDone, int page);
    bool Cancelled() const { return m_cancelled; }

    static constexpr int kShowAfterMs = 500;

private:
    void show();

    QPointer<QWidget> m_parent;
    QString m_caption;
    int m_rows;
    bool m_unattended;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
    std::unique_ptr<QProgressDialog> m_window;
    bool m_cancelled = false;
};
