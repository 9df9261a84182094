#pragma once
// Builds small ELF files byte by byte for the version reader's tests and the
// fuzzer's seeds: the ELF header of a 32- or 64-bit file of either byte
// order, the bytes of each section, the section name table and the section
// header table, in this order. Build() reports where the headers landed, so
// that tests can damage a file at a known place.
#include <QByteArray>
#include <QList>

struct ElfLayout {
    bool is64 = true;
    bool bigEndian = false;
    qint64 sectionTable = 0;
    qint64 entrySize = 0;
    int sectionCount = 0; // with the empty section 0 and the name table
    int nameTableIndex = 0;
    // File offset of each section's bytes, by section number (0 for section 0).
    QList<qint64> sectionData;

    // Fields of the ELF header and of a section header, and their widths.
    enum Field { ShOff, ShEntSize, ShNum, ShStrNdx };
    enum SectionField { Name, Type, Offset, Size, Link };
    qint64 At(Field field) const;
    int Width(Field field) const;
    qint64 At(int section, SectionField field) const;
    int Width(SectionField field) const;
    // Writes a value of the given width in the file's byte order.
    void PutRaw(QByteArray &bytes, qint64 at, quint64 value, int width) const;
    void Put(QByteArray &bytes, Field field, quint64 value) const { PutRaw(bytes, At(field), value, Width(field)); }
    void Put(QByteArray &bytes, int section, SectionField field, quint64 value) const
    {
        PutRaw(bytes, At(section, field), value, Width(field));
    }
};

class ElfBuilder {
public:
    static constexpr quint32 ProgBits = 1;
    static constexpr quint32 NoBits = 8;

    bool is64 = true;
    bool bigEndian = false;

    // Sections are numbered from 1 in the order they are added.
    void Add(const QByteArray &name, const QByteArray &data, quint32 type = ProgBits);
    QByteArray Build(ElfLayout *layout = nullptr) const;

private:
    struct Section {
        QByteArray name;
        QByteArray data;
        quint32 type;
    };
    QList<Section> m_sections;
};
