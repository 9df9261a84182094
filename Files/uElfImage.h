#pragma once
// Finds a section of an ELF file (32- or 64-bit, either byte order) by its
// name without loading the file: the programs and modules of this platform
// carry their version resource in a section of their own.
//
// As in the PE reader, every offset and size taken from the file is checked
// against the file before it is read; a damaged file raises EExeError, never
// reads outside it.
#include "Files/uPE32Image.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

class TElfImage {
public:
    // Opens and maps the file and checks its header; raises EExeError.
    explicit TElfImage(const QString &fileName);
    // The same checks over bytes already in memory.
    TElfImage(const QByteArray &bytes, const QString &fileName);
    ~TElfImage();
    TElfImage(const TElfImage &) = delete;
    TElfImage &operator=(const TElfImage &) = delete;

    // True when the bytes start like an ELF file.
    static bool HasElfSignature(const QByteArray &start);

    const QString &FileName() const { return m_fileName; }
    bool Is64Bit() const { return m_64; }
    bool IsBigEndian() const { return m_bigEndian; }

    // The bytes of the first section with this name, without a copy (valid
    // while the image lives); none when the file has no such section.
    std::optional<QByteArray> Section(const QByteArray &name) const;

private:
    struct SectionHeader {
        quint32 name = 0;
        quint32 type = 0;
        quint64 offset = 0;
        quint64 size = 0;
        quint32 link = 0;
    };

    void Open();
    void CheckHeader();
    SectionHeader ReadSectionHeader(quint64 index) const;
    [[noreturn]] void Damaged(const QString &why) const;
    void Require(quint64 offset, quint64 length, const char *what) const;
    quint16 U16(quint64 offset) const;
    quint32 U32(quint64 offset) const;
    quint64 U64(quint64 offset) const;
    // A word of the file's class: 32 bits in ELF32, 64 bits in ELF64.
    quint64 Word(quint64 offset) const;

    QString m_fileName;
    QFile m_file;
    QByteArray m_bytes; // the bytes when the image was made from memory
    const uchar *m_view = nullptr;
    quint64 m_size = 0;
    bool m_64 = false;
    bool m_bigEndian = false;
    // The section header table, as the header gives it (the extended count
    // and name-table index already resolved).
    quint64 m_sectionTable = 0;
    quint64 m_sectionCount = 0;
    quint64 m_sectionEntrySize = 0;
    quint64 m_nameTableIndex = 0;
};
