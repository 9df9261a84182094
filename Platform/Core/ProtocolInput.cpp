#include "Core/ProtocolInput.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>
#include <utility>

IProtocolReader::~IProtocolReader() = default;

TProtocolInput &TProtocolInput::Instance()
{
    static TProtocolInput input;
    return input;
}

void TProtocolInput::Push(IProtocolReader *reader)
{
    m_readers.removeAll(reader);
    m_readers.append(reader);
    startReading();
    // From the event loop: a window's reader starts once its window runs.
    scheduleDispatch();
}

void TProtocolInput::Remove(IProtocolReader *reader)
{
    m_readers.removeAll(reader);
    m_busy.removeAll(reader);
    m_toldEnd.removeAll(reader);
    scheduleDispatch();
}

void TProtocolInput::Feed(const QByteArray &bytes)
{
    m_fed = true;
    takeLines(bytes);
}

void TProtocolInput::EndInput()
{
    m_fed = true;
    if (!m_partial.trimmed().isEmpty())
        m_lines << QString::fromUtf8(m_partial).trimmed();
    m_partial.clear();
    m_ended = true;
    scheduleDispatch();
}

void TProtocolInput::Reset()
{
    m_readers.clear();
    m_busy.clear();
    m_toldEnd.clear();
    m_lines.clear();
    m_partial.clear();
    m_ended = false;
}

void TProtocolInput::SetSettle(std::function<void()> settle) { m_settle = std::move(settle); }

void TProtocolInput::startReading()
{
    if (m_notifier || m_fed || m_ended)
        return;
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TProtocolInput::readStandardInput);
}

void TProtocolInput::readStandardInput()
{
    char chunk[4096];
    ssize_t n;
    do
        n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    while (n < 0 && errno == EINTR);
    if (n > 0) {
        takeLines(QByteArray(chunk, n));
        return;
    }
    m_notifier->setEnabled(false);
    EndInput();
}

void TProtocolInput::takeLines(const QByteArray &bytes)
{
    m_partial += bytes;
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_partial.left(end)).trimmed();
        m_partial.remove(0, end + 1);
        if (!line.isEmpty())
            m_lines << line;
    }
    scheduleDispatch();
}

void TProtocolInput::scheduleDispatch()
{
    QMetaObject::invokeMethod(this, &TProtocolInput::dispatch, Qt::QueuedConnection);
}

void TProtocolInput::dispatch()
{
    while (!m_readers.isEmpty()) {
        IProtocolReader *reader = m_readers.last();
        if (m_busy.contains(reader) || !reader->ReadsLines())
            return;
        const bool endDue = m_ended && !m_toldEnd.contains(reader);
        if (m_lines.isEmpty() && !endDue)
            return;
        if (m_settle) {
            // The reader waits while the last line's effects complete; a window
            // opened meanwhile pushes its own reader and may take lines first.
            m_busy << reader;
            m_settle();
            m_busy.removeOne(reader);
            if (m_readers.isEmpty() || m_readers.last() != reader || !reader->ReadsLines())
                continue;
        }
        if (!m_lines.isEmpty()) {
            const QString line = m_lines.takeFirst();
            m_busy << reader;
            reader->ProtocolLine(line);
            m_busy.removeOne(reader);
        } else if (m_ended && !m_toldEnd.contains(reader)) {
            m_toldEnd << reader;
            reader->ProtocolEnd();
        } else {
            return;
        }
    }
}
