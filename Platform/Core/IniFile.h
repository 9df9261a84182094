#pragma once
// TIniFile: a file of sections and "key=value" lines read and written the way
// the Windows private-profile functions do it.
//
// - section and key names are compared without regard to case; file order is kept;
// - blanks around section names, keys and values are trimmed, and one pair of
//   double quotes around a value is removed; a line without "=" is no key;
// - CR, LF and CR LF line ends are all accepted;
// - integers are read as the Windows API reads them ("+1" is 1, "42A" is 42, "B" is 0);
// - every write goes straight to the file: under an exclusive lock (a lock file
//   beside it, "<name>.lock", held with the system's file lock, which dies with
//   its holder) the file is read again, changed, written whole to a temporary
//   file whose every write and flush is checked, and renamed into place; so two
//   programs writing at once lose nothing, and a crash or a full disk never
//   leaves half a file. A write that fails raises EIniWriteError and leaves the
//   old file byte for byte. A change that leaves the text as it is does not
//   touch the file. A lock path that is not a regular file is never opened:
//   the write fails at once;
// - a write changes only the lines of what it writes (a key written as it
//   stands keeps its bytes up to "="); every other line keeps its bytes and its
//   line end, so a Windows-1251 line, a stray byte or mixed line ends survive;
// - files are UTF-8, or Windows-1251 when most of their non-ASCII lines are not
//   UTF-8 (TTextLines); new lines take the file's encoding;
// - a file that is not text (control characters, random bytes) is read as far
//   as it can be and never rewritten: a write fails, and a copy of the file is
//   kept beside it ("<name>.damaged");
// - rewriting keeps the file's mode, and its owner and group where the user may.
//
// Reads take no lock (the rename makes every file whole) and always see the
// file as it is now: the parsed form is reused only while the file's size, time
// and identity are unchanged.
#include "Core/Exceptions.h"
#include "Core/PlatformExport.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A write of an INI file that did not reach the disk; the file is as it was.
class PLATFORM_EXPORT EIniWriteError : public EIniFileError {
public:
    enum TReason { NoSpace, NoPermission, Locked, LockNotAFile, NotText, Failed };
    EIniWriteError(const QString &fileName, TReason reason, const QString &systemText,
                   const QString &otherFile = QString());
    QString className() const override { return QStringLiteral("EIniWriteError"); }
    const QString &FileName() const { return m_fileName; }
    TReason Reason() const { return m_reason; }
    // The operating system's own words for the failure (English).
    const QString &SystemText() const { return m_systemText; }
    // LockNotAFile: the lock path; NotText: the copy kept of the file (empty when none could be made).
    const QString &OtherFile() const { return m_otherFile; }

private:
    QString m_fileName;
    TReason m_reason;
    QString m_systemText;
    QString m_otherFile;
};

class PLATFORM_EXPORT TIniFile {
    struct Document;

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

    // Several reads and changes made as one write: the edit sees the file as it
    // is under the lock, and all its changes reach the file together or not at all.
    class PLATFORM_EXPORT TEdit {
    public:
        QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
        bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;
        QStringList ReadSection(const QString &section) const;
        bool SectionExists(const QString &section) const;
        bool ValueExists(const QString &section, const QString &key) const;
        void WriteString(const QString &section, const QString &key, const QString &value);
        void WriteBool(const QString &section, const QString &key, bool value);
        void DeleteKey(const QString &section, const QString &key);

    private:
        friend class TIniFile;
        TEdit(Document &doc, const QString &fileName) : m_doc(doc), m_fileName(fileName) {}
        Document &m_doc;
        const QString &m_fileName;
    };
    // The edit may run twice (first against the file as last read, to see whether
    // it changes anything); true when the file was rewritten.
    bool Update(const std::function<void(TEdit &)> &edit);

    // The integer value of a profile text as GetPrivateProfileInt reads it.
    static int ProfileInt(const QString &text);

    // Files larger than this are read only up to it and are never rewritten.
    static constexpr qint64 kMaxFileSize = 32 * 1024 * 1024;
    // How long a write waits for another program's lock before it gives up.
    static constexpr int kLockTimeoutMs = 10000;

    // Test seam for write failures in this process: once BytesFree more bytes
    // have been written the disk is full (-1: no limit); FailFlush makes the
    // flush to the disk fail; LockTimeoutMs replaces kLockTimeoutMs (-1: not).
    // Cleared with a default-constructed value.
    struct TWriteFault {
        qint64 BytesFree = -1;
        bool FailFlush = false;
        int LockTimeoutMs = -1;
    };
    static void SetWriteFaultForTests(const TWriteFault &fault);

private:
    const Document &load() const;
    bool modify(const std::function<void(Document &)> &change);
    void save(const Document &doc);

    QString m_fileName;
    mutable std::unique_ptr<Document> m_cache;
};
