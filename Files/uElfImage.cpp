#include "Files/uElfImage.h"

#include <QFileInfo>
#include <QtEndian>

#include <cstring>

namespace {

constexpr char ElfSignature[] = "\x7F"
                                "ELF";
constexpr int IdentSize = 16;
constexpr int ClassOffset = 4;
constexpr int DataOffset = 5;
constexpr uchar Class32 = 1;
constexpr uchar Class64 = 2;
constexpr uchar LittleEndian = 1;
constexpr uchar BigEndian = 2;
constexpr quint64 HeaderSize32 = 52;
constexpr quint64 HeaderSize64 = 64;
constexpr quint64 SectionHeaderSize32 = 40;
constexpr quint64 SectionHeaderSize64 = 64;
// Section index values with a meaning of their own.
constexpr quint16 NoSection = 0;
constexpr quint16 ExtendedIndex = 0xFFFF;
// A section that occupies no bytes of the file.
constexpr quint32 SectionNoBits = 8;

QString Hex(quint64 value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

} // namespace

TElfImage::TElfImage(const QString &fileName) : m_fileName(fileName)
{
    Open();
    CheckHeader();
}

TElfImage::TElfImage(const QByteArray &bytes, const QString &fileName) : m_fileName(fileName), m_bytes(bytes)
{
    m_view = reinterpret_cast<const uchar *>(m_bytes.constData());
    m_size = quint64(m_bytes.size());
    CheckHeader();
}

TElfImage::~TElfImage()
{
    if (m_file.isOpen() && m_view)
        m_file.unmap(const_cast<uchar *>(m_view));
}

bool TElfImage::HasElfSignature(const QByteArray &start) { return start.startsWith(QByteArray(ElfSignature, 4)); }

void TElfImage::Open()
{
    const QFileInfo info(m_fileName);
    m_file.setFileName(m_fileName);
    if (!info.isFile() || !m_file.open(QIODevice::ReadOnly))
        throw EExeError(QStringLiteral("Couldn't open: ") + m_fileName);
    const qint64 size = m_file.size();
    if (size <= 0)
        throw EExeError(QStringLiteral("Not an ELF file"));
    m_view = m_file.map(0, size);
    if (!m_view)
        throw EExeError(QStringLiteral("MapViewOfFile failed"));
    m_size = quint64(size);
}

void TElfImage::Damaged(const QString &why) const { throw EExeError(QStringLiteral("Damaged ELF file: ") + why); }

void TElfImage::Require(quint64 offset, quint64 length, const char *what) const
{
    if (offset > m_size || length > m_size - offset)
        throw EExeError(QStringLiteral("Damaged file: %1 at offset %2 (%3 bytes) lies outside the file")
                            .arg(QLatin1String(what), Hex(offset))
                            .arg(length));
}

quint16 TElfImage::U16(quint64 offset) const
{
    return m_bigEndian ? qFromBigEndian<quint16>(m_view + offset) : qFromLittleEndian<quint16>(m_view + offset);
}

quint32 TElfImage::U32(quint64 offset) const
{
    return m_bigEndian ? qFromBigEndian<quint32>(m_view + offset) : qFromLittleEndian<quint32>(m_view + offset);
}

quint64 TElfImage::U64(quint64 offset) const
{
    return m_bigEndian ? qFromBigEndian<quint64>(m_view + offset) : qFromLittleEndian<quint64>(m_view + offset);
}

quint64 TElfImage::Word(quint64 offset) const { return m_64 ? U64(offset) : U32(offset); }

void TElfImage::CheckHeader()
{
    if (m_size < IdentSize || std::memcmp(m_view, ElfSignature, 4) != 0)
        throw EExeError(QStringLiteral("Not an ELF file"));
    const uchar elfClass = m_view[ClassOffset];
    const uchar data = m_view[DataOffset];
    if (elfClass != Class32 && elfClass != Class64)
        Damaged(QStringLiteral("unknown class %1").arg(elfClass));
    if (data != LittleEndian && data != BigEndian)
        Damaged(QStringLiteral("unknown byte order %1").arg(data));
    m_64 = elfClass == Class64;
    m_bigEndian = data == BigEndian;
    Require(0, m_64 ? HeaderSize64 : HeaderSize32, "ELF header");

    m_sectionTable = Word(m_64 ? 0x28 : 0x20);
    m_sectionEntrySize = U16(m_64 ? 0x3A : 0x2E);
    m_sectionCount = U16(m_64 ? 0x3C : 0x30);
    m_nameTableIndex = U16(m_64 ? 0x3E : 0x32);
    if (m_sectionTable == 0) {
        // No section header table: a file without sections.
        m_sectionCount = 0;
        return;
    }
    const quint64 minimalEntry = m_64 ? SectionHeaderSize64 : SectionHeaderSize32;
    if (m_sectionEntrySize < minimalEntry)
        Damaged(QStringLiteral("section headers of %1 bytes").arg(m_sectionEntrySize));
    // Large counts live in the first section header.
    Require(m_sectionTable, m_sectionEntrySize, "section header table");
    if (m_sectionCount == 0)
        m_sectionCount = ReadSectionHeader(0).size;
    if (m_nameTableIndex == ExtendedIndex)
        m_nameTableIndex = ReadSectionHeader(0).link;
    if (m_sectionCount > (m_size - m_sectionTable) / m_sectionEntrySize)
        throw EExeError(QStringLiteral("Damaged file: section header table at offset %1 (%2 headers of %3 bytes) "
                                       "lies outside the file")
                            .arg(Hex(m_sectionTable))
                            .arg(m_sectionCount)
                            .arg(m_sectionEntrySize));
}

TElfImage::SectionHeader TElfImage::ReadSectionHeader(quint64 index) const
{
    const quint64 at = m_sectionTable + index * m_sectionEntrySize;
    Require(at, m_sectionEntrySize, "section header");
    SectionHeader header;
    header.name = U32(at);
    header.type = U32(at + 4);
    header.offset = Word(m_64 ? at + 24 : at + 16);
    header.size = Word(m_64 ? at + 32 : at + 20);
    header.link = U32(m_64 ? at + 40 : at + 24);
    return header;
}

std::optional<QByteArray> TElfImage::Section(const QByteArray &name) const
{
    if (m_sectionCount == 0 || m_nameTableIndex == NoSection)
        return std::nullopt;
    if (m_nameTableIndex >= m_sectionCount)
        Damaged(QStringLiteral("the section name table is section %1 of %2").arg(m_nameTableIndex).arg(m_sectionCount));
    const SectionHeader names = ReadSectionHeader(m_nameTableIndex);
    if (names.type == SectionNoBits)
        Damaged(QStringLiteral("the section name table holds no bytes"));
    Require(names.offset, names.size, "section name table");

    for (quint64 i = 0; i < m_sectionCount; ++i) {
        const SectionHeader section = ReadSectionHeader(i);
        if (section.name >= names.size)
            Damaged(QStringLiteral("the name of section %1 lies outside the name table").arg(i));
        // The name and its terminator must lie inside the name table.
        const quint64 room = names.size - section.name;
        const quint64 needed = quint64(name.size()) + 1;
        const char *stored = reinterpret_cast<const char *>(m_view + names.offset + section.name);
        if (needed > room || std::memcmp(stored, name.constData(), needed) != 0)
            continue;
        if (section.type == SectionNoBits)
            Damaged(QStringLiteral("section %1 holds no bytes").arg(QString::fromLatin1(name)));
        Require(section.offset, section.size, "section");
        return QByteArray::fromRawData(reinterpret_cast<const char *>(m_view + section.offset),
                                       qsizetype(section.size));
    }
    return std::nullopt;
}
