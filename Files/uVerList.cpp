#include "Files/uVerList.h"

#include "Core/ResourcePack.h"
#include "Core/SessionLocale.h"
#include "Core/TextCodec.h"
#include "Core/TextFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const QDate kDayZero(1899, 12, 30);
// Dates further than this from day zero are damage, not dates (about 8000 years).
constexpr double kMaxDays = 3.0e6;
constexpr qint64 kMsecsPerDay = 86400000;

// The name characters up to the first zero byte, at most `width`, in the Windows code page.
QString NameField(const QByteArray &bytes, int offset, int width)
{
    QByteArray name = bytes.mid(offset, width);
    const qsizetype zero = name.indexOf('\0');
    if (zero >= 0)
        name.truncate(zero);
    return DecodeWindows1251(name);
}

double DoubleAt(const QByteArray &bytes, int offset)
{
    const quint64 bits = qFromLittleEndian<quint64>(bytes.constData() + offset);
    double value;
    static_assert(sizeof value == sizeof bits);
    memcpy(&value, &bits, sizeof value);
    return value;
}

// The date separator of the session's language (never of the process's LANG): the first
// character of its date format that is not a pattern letter.
QChar LocaleDateSeparator()
{
    const QString format = SessionDateFormat();
    for (const QChar c : format)
        if (!c.isLetter() && c != QLatin1Char('\''))
            return c;
    return QLatin1Char('/');
}

EVerFileError WrongSizeError(const QString &fileName)
{
    return EVerFileError(QStringLiteral("TVerItem.Create: ") +
                         Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_IsNotFileVer")), fileName));
}

} // namespace

QDateTime DateTimeFromDays(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > kMaxDays)
        return QDateTime();
    const double whole = std::trunc(days);
    const qint64 msecs = qint64(std::llround(std::fabs(days - whole) * kMsecsPerDay));
    return QDateTime(kDayZero.addDays(qint64(whole)), QTime(0, 0)).addMSecs(qMin(msecs, kMsecsPerDay - 1));
}

double DaysFromDateTime(const QDateTime &time)
{
    const double days = double(kDayZero.daysTo(time.date()));
    const double fraction = double(time.time().msecsSinceStartOfDay()) / kMsecsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

QString FormatVerDate(const QDateTime &time)
{
    if (!time.isValid())
        return QString();
    const QChar sep = LocaleDateSeparator();
    return time.toString(QStringLiteral("dd%1MM%1yy").arg(sep));
}

TVerItem::TVerItem(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EVerFileError(QStringLiteral("TVerItem.Create: \"%1\": %2").arg(fileName, file.errorString()));
    // The size decides first, so that a big file is never read whole.
    const qint64 size = file.size();
    if (size != kVerFileSize && size != kOldVerFileSize)
        throw WrongSizeError(fileName);
    const QByteArray bytes = file.readAll();
    if (bytes.size() != size)
        throw EVerFileError(QStringLiteral("TVerItem.Create: \"%1\": %2").arg(fileName, file.errorString()));
    Decode(bytes, fileName);
}

TVerItem::TVerItem(const QByteArray &bytes, const QString &fileName) { Decode(bytes, fileName); }

void TVerItem::Decode(const QByteArray &bytes, const QString &fileName)
{
    qint32 numbers[4];
    double days = 0;
    if (bytes.size() == kVerFileSize) {
        Name = NameField(bytes, 0, 51);
        for (int i = 0; i < 4; ++i)
            numbers[i] = qFromLittleEndian<qint32>(bytes.constData() + 52 + 4 * i);
        days = DoubleAt(bytes, 72);
    } else if (bytes.size() == kOldVerFileSize) {
        Name = NameField(bytes, 0, 51);
        for (int i = 0; i < 4; ++i)
            numbers[i] = quint8(bytes.at(51 + i));
        days = DoubleAt(bytes, 56);
    } else {
        throw WrongSizeError(fileName);
    }
    Version = QStringLiteral("%1.%2.%3.%4").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]).arg(numbers[3]);
    Date = DateTimeFromDays(days);
    DateText = FormatVerDate(Date);
}

TVerList::TVerList(const QString &dataDir) : m_dataDir(dataDir)
{
    QStringList files = FindVerFiles(dataDir);
    // Each file found goes in front of those found before it.
    std::reverse(files.begin(), files.end());
    for (const QString &file : files)
        m_items.push_back(std::make_unique<TVerItem>(file));
}

QString TVerList::DefaultDataDir() { return QCoreApplication::applicationDirPath() + QStringLiteral("/Data"); }

QStringList TVerList::FindVerFiles(const QString &dataDir)
{
    const QDir dir(dataDir);
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*.ver")}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDir::Name | QDir::IgnoreCase);
    QStringList files;
    for (const QFileInfo &entry : entries)
        files.append(entry.filePath());
    return files;
}

const TVerItem &TVerList::Items(int index) const
{
    Z_ASSERT(index >= 0 && index < Count(), QStringLiteral("TVerList.Items: index %1 out of range").arg(index));
    return *m_items[size_t(index)];
}

QString TVerList::Names() const
{
    QString text;
    for (const auto &item : m_items)
        text += PackAplText(item->Name) + QStringLiteral("\r\n");
    return text;
}

QString TVerList::Versions() const
{
    QString text;
    for (const auto &item : m_items)
        text += item->Version + QStringLiteral("\r\n");
    return text;
}

QString TVerList::Dates() const
{
    QString text;
    for (const auto &item : m_items)
        text += item->DateText + QLatin1Char('\r');
    return text;
}
