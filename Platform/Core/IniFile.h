#pragma once
// TIniFile: a file of sections and "key=value" lines read and written the way
// the Windows private-profile functions do it.
//
// - section and key names are compared without regard to case; file order is kept;
// - blanks around section names, keys and values are trimmed, and one pair of
//   double quotes around a value is removed; a line without "=" is no key;
// - CR, LF and CR LF line ends are all accepted;
// - integers are read as the Windows API reads them ("+1" is 1, "42A" is 42, "B" is 0);
// - every write goes straight to the file, written whole to a temporary file and
//   renamed into place, so that a crash never leaves half a file behind; a write
//   that fails raises EIniFileError and leaves the old file as it was;
// - files are UTF-8; a file that is not valid UTF-8 is read as Windows-1251.
//
// Reads always see the file as it is now: the parsed form is reused only while
// the file's size, time and identity are unchanged.
#include "PlatformExport.h"

#include <QString>
#include <QStringList>

#include <memory>

class PLATFORM_EXPORT TIniFile {
public:
    explicit TIniFile(QString fileName);
    ~TIniFile();
    TIniFile(const TIniFile &) = delete;
    TIniFile &operator=(const TIniFile &) = delete;

    const QString &FileName() const { return m_fileName; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // The value with blanks trimmed but its quotes kept (for comma texts whose first and last items are quoted).
    QString ReadRawString(const QString &section, const QString &key, const QString &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    void DeleteKey(const QString &section, const QString &key);
    void EraseSection(const QString &section);

    // The key names of a section in file order; empty when the section is missing.
    QStringList ReadSection(const QString &section) const;
    QStringList ReadSections() const;
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

    // The integer value of a profile text as GetPrivateProfileInt reads it.
    static int ProfileInt(const QString &text);

    // Files larger than this are read only up to it and are never rewritten.
    static constexpr qint64 kMaxFileSize = 32 * 1024 * 1024;

private:
    struct Document;
    const Document &load() const;
    Document loadForWrite() const;
    void save(const Document &doc);

    QString m_fileName;
    mutable std::unique_ptr<Document> m_cache;
};
