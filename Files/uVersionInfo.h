#pragma once
// The version resource of a file, read by our own parser: the fixed file
// information and every string table of the StringFileInfo block. A PE file
// keeps it as its resource of type 16 (read through the executable-image
// reader); an ELF file of this platform keeps the same bytes in a section of
// its own (uVersionResource.h writes them). Values are asked for by the paths
// of the version API, as in "\StringFileInfo\041904E3\ProductVersion"; block
// keys and value names compare without regard to letter case.
#include "Files/uPE32Image.h"

class TElfImage;

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The binary part of a version resource (its signature is 0xFEEF04BD).
struct TFixedFileInfo {
    quint32 Signature = 0;
    quint32 StrucVersion = 0;
    quint32 FileVersionMS = 0;
    quint32 FileVersionLS = 0;
    quint32 ProductVersionMS = 0;
    quint32 ProductVersionLS = 0;
    quint32 FileFlagsMask = 0;
    quint32 FileFlags = 0;
    quint32 FileOS = 0;
    quint32 FileType = 0;
    quint32 FileSubtype = 0;
    quint32 FileDateMS = 0;
    quint32 FileDateLS = 0;

    // "major.minor.release.build"
    QString FileVersion() const;
    QString ProductVersion() const;
};

struct TVersionString {
    QString Key;
    QString Value;
};

// One block of StringFileInfo, keyed by language and code page in eight hex
// digits ("041904E3": language 0x0419, code page 1251).
struct TVersionStringTable {
    QString Key;
    QList<TVersionString> Strings;
};

class TVersionInfo {
public:
    // Parses the bytes of a version resource; raises EExeError when they are
    // not one or are damaged.
    explicit TVersionInfo(const QByteArray &data);

    // The version resource of an image (the one numbered 1, else the first);
    // none when the image has no resources or no version resource.
    static std::optional<TVersionInfo> FromImage(TExeImage &image);
    // The version section of an ELF file; none when it has no such section.
    static std::optional<TVersionInfo> FromElf(const TElfImage &image);
    // The same for a file, PE or ELF; a file of neither kind, or one that
    // cannot be opened, has no version information. A damaged ELF file or a
    // damaged version resource raises EExeError.
    static std::optional<TVersionInfo> FromFile(const QString &fileName);

    bool HasFixedInfo() const { return m_hasFixedInfo; }
    const TFixedFileInfo &FixedInfo() const { return m_fixedInfo; }
    const QList<TVersionStringTable> &StringTables() const { return m_stringTables; }
    // Language and code page pairs of VarFileInfo\Translation, each as the
    // language in the low and the code page in the high 16 bits.
    const QList<quint32> &Translations() const { return m_translations; }

    // True when the path names a value ("\" names the fixed information);
    // `value` then receives its text (empty for the fixed information).
    bool QueryValue(const QString &path, QString *value = nullptr) const;
    bool Exists(const QString &path) const { return QueryValue(path); }
    // The text at the path; empty when it does not exist.
    QString Value(const QString &path) const;
    // The text of `key` in the string table `table`.
    QString StringValue(const QString &table, const QString &key) const;

private:
    void Parse(const QByteArray &data);

    bool m_hasFixedInfo = false;
    TFixedFileInfo m_fixedInfo;
    QList<TVersionStringTable> m_stringTables;
    QList<quint32> m_translations;
};
