#pragma once
// The installed products and their versions, read from the version-stamp
// files "*.ver" of the Data folder beside the program. A stamp file is a
// fixed record, 80 bytes (current layout) or 64 bytes (older layout):
//
//   80: name (52 bytes, ANSI, zero-ended or 51 characters), four signed
//       32-bit version numbers (major, minor, release, build), 4 reserved,
//       the date as a double (days since 30 December 1899).
//   64: name (51 bytes, zero-ended), four version bytes, 1 reserved, the date.
//
// Any other size is refused. The splash screen prints the three texts.
#include "Core/Exceptions.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

ZANDRELL_EXCEPTION_CLASS(EVerFileError, Exception)

constexpr int kVerFileSize = 80;
constexpr int kOldVerFileSize = 64;

// A date-time stored as days since 30 December 1899, the fraction being the time of day.
QDateTime DateTimeFromDays(double days);
double DaysFromDateTime(const QDateTime &time);
// "dd/mm/yy" with "/" written as the date separator of the session's language (Core/SessionLocale.h).
QString FormatVerDate(const QDateTime &time);

class TVerItem {
public:
    // Reads one stamp file; raises EVerFileError when it cannot be read or has another size.
    explicit TVerItem(const QString &fileName);
    // Decodes the bytes of a stamp file named fileName (the name is only used in the error).
    TVerItem(const QByteArray &bytes, const QString &fileName);

    QString Name;
    QString Version; // "major.minor.release.build"
    QDateTime Date;
    QString DateText;

private:
    void Decode(const QByteArray &bytes, const QString &fileName);
};

class TVerList {
public:
    // Reads every "*.ver" file of the data folder; the first unreadable or
    // wrongly sized file stops the list with its error.
    explicit TVerList(const QString &dataDir = DefaultDataDir());

    // The program's folder followed by "/Data".
    static QString DefaultDataDir();
    // The stamp files of a folder in the order the search finds them (by name, as a Windows folder lists them).
    static QStringList FindVerFiles(const QString &dataDir);

    int Count() const { return int(m_items.size()); }
    const TVerItem &Items(int index) const;
    QString DataDir() const { return m_dataDir; }

    // Names (through the language pack, as the main menu shows its services) and versions, each
    // followed by CR LF; dates, each followed by CR.
    QString Names() const;
    QString Versions() const;
    QString Dates() const;

private:
    QString m_dataDir;
    std::vector<std::unique_ptr<TVerItem>> m_items;
};
