#include "tests/Files/ElfBuilder.h"

namespace {

void Append(QByteArray &bytes, const ElfLayout &layout, quint64 value, int width)
{
    const qint64 at = bytes.size();
    bytes.append(width, '\0');
    layout.PutRaw(bytes, at, value, width);
}

void Align(QByteArray &bytes, int alignment) { bytes.append((alignment - bytes.size() % alignment) % alignment, '\0'); }

} // namespace

// Offsets in the ELF header (64-bit file, 32-bit file) and in a section header.
qint64 ElfLayout::At(Field field) const
{
    static constexpr qint64 at64[] = {0x28, 0x3A, 0x3C, 0x3E}, at32[] = {0x20, 0x2E, 0x30, 0x32};
    return (is64 ? at64 : at32)[field];
}

int ElfLayout::Width(Field field) const { return field == ShOff ? (is64 ? 8 : 4) : 2; }

qint64 ElfLayout::At(int section, SectionField field) const
{
    static constexpr qint64 at64[] = {0, 4, 24, 32, 40}, at32[] = {0, 4, 16, 20, 24};
    return sectionTable + section * entrySize + (is64 ? at64 : at32)[field];
}

int ElfLayout::Width(SectionField field) const { return (field == Offset || field == Size) && is64 ? 8 : 4; }

void ElfLayout::PutRaw(QByteArray &bytes, qint64 at, quint64 value, int width) const
{
    auto *p = reinterpret_cast<uchar *>(bytes.data()) + at;
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (bigEndian ? width - 1 - i : i);
        p[i] = uchar(value >> shift);
    }
}

void ElfBuilder::Add(const QByteArray &name, const QByteArray &data, quint32 type)
{
    m_sections.append({name, data, type});
}

QByteArray ElfBuilder::Build(ElfLayout *layoutOut) const
{
    ElfLayout layout;
    layout.is64 = is64;
    layout.bigEndian = bigEndian;
    layout.entrySize = is64 ? 64 : 40;
    const int headerSize = is64 ? 64 : 52;

    // Section bytes after the header; the name table after them.
    QByteArray bytes(headerSize, '\0');
    QList<qint64> offsets;
    for (const Section &section : m_sections) {
        Align(bytes, 4);
        offsets.append(bytes.size());
        if (section.type != ElfBuilder::NoBits)
            bytes.append(section.data);
    }
    QByteArray names("\0", 1);
    QList<qint64> nameOffsets;
    for (const Section &section : m_sections) {
        nameOffsets.append(names.size());
        names.append(section.name).append('\0');
    }
    const qint64 nameTableName = names.size();
    names.append(".shstrtab").append('\0');
    const qint64 nameTable = bytes.size();
    bytes.append(names);
    Align(bytes, 8);
    layout.sectionData = QList<qint64>{0} + offsets + QList<qint64>{nameTable};
    layout.sectionTable = bytes.size();
    layout.sectionCount = int(m_sections.size()) + 2;
    layout.nameTableIndex = layout.sectionCount - 1;

    auto sectionHeader = [&](quint32 name, quint32 type, quint64 offset, quint64 size) {
        const int word = is64 ? 8 : 4;
        // name, type, flags, address, offset, size, link, info, alignment, entry size
        const std::pair<quint64, int> fields[] = {{name, 4},    {type, 4}, {0, word}, {0, word}, {offset, word},
                                                  {size, word}, {0, 4},    {0, 4},    {1, word}, {0, word}};
        for (const auto &[value, width] : fields)
            Append(bytes, layout, value, width);
    };
    sectionHeader(0, 0, 0, 0);
    for (qsizetype i = 0; i < m_sections.size(); ++i)
        sectionHeader(quint32(nameOffsets[i]), m_sections[i].type, quint64(offsets[i]),
                      quint64(m_sections[i].data.size()));
    sectionHeader(quint32(nameTableName), 3 /* string table */, quint64(nameTable), quint64(names.size()));

    // The ELF header: identification and the fields the reader reads.
    bytes.replace(0, 4,
                  "\x7F"
                  "ELF");
    bytes[4] = char(is64 ? 2 : 1);
    bytes[5] = char(bigEndian ? 2 : 1);
    layout.Put(bytes, ElfLayout::ShOff, quint64(layout.sectionTable));
    layout.Put(bytes, ElfLayout::ShEntSize, quint64(layout.entrySize));
    layout.Put(bytes, ElfLayout::ShNum, quint64(layout.sectionCount));
    layout.Put(bytes, ElfLayout::ShStrNdx, quint64(layout.nameTableIndex));
    if (layoutOut)
        *layoutOut = layout;
    return bytes;
}
