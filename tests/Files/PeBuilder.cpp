#include "tests/Files/PeBuilder.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr qint64 FileAlignment = 0x200;
constexpr qint64 HeadersSize = 0x400;
constexpr qint64 NtHeadersOffset = 0x80;
constexpr quint32 CodeVirtualAddress = 0x1000;
constexpr quint32 ResourceVirtualAddress = 0x2000;

qint64 AlignUp(qint64 value, qint64 alignment) { return (value + alignment - 1) / alignment * alignment; }

// Windows orders a directory's named entries first (by name), then the numbered ones (ascending).
bool ResIdLess(const ResId &a, const ResId &b)
{
    if (a.IsNamed() != b.IsNamed())
        return a.IsNamed();
    return a.IsNamed() ? a.name.toUpper() < b.name.toUpper() : a.id < b.id;
}

// Appends little-endian fields: {size in bytes, value}.
void Append(QByteArray &bytes, std::initializer_list<std::pair<int, quint32>> fields)
{
    for (const auto &[size, value] : fields) {
        char b[4];
        qToLittleEndian(value, b);
        bytes.append(b, size);
    }
}

void AppendText(QByteArray &bytes, const QString &text, bool terminate)
{
    for (QChar c : text)
        Append(bytes, {{2, c.unicode()}});
    if (terminate)
        Append(bytes, {{2, 0}});
}

void PadTo4(QByteArray &bytes) { bytes.append((4 - bytes.size() % 4) % 4, '\0'); }

// A 40-byte bitmap information header.
QByteArray InfoHeader(qint32 width, qint32 height, quint16 bitCount, quint32 imageSize, quint32 used)
{
    QByteArray h;
    Append(h, {{4, 40},
               {4, quint32(width)},
               {4, quint32(height)},
               {2, 1},
               {2, bitCount},
               {4, 0},
               {4, imageSize},
               {4, 0},
               {4, 0},
               {4, used},
               {4, 0}});
    return h;
}

qint64 Stride(int width, int bitCount) { return (qint64(width) * bitCount + 31) / 32 * 4; }

// Rows of pixels that all have palette index 1 (or the colour itself).
QByteArray SolidPixels(int width, int height, int bitCount, QRgb colour)
{
    const qint64 stride = Stride(width, bitCount);
    QByteArray rows(stride * height, '\0');
    const char bgra[4] = {char(qBlue(colour)), char(qGreen(colour)), char(qRed(colour)), char(0xFF)};
    for (int y = 0; y < height; ++y) {
        char *row = rows.data() + stride * y;
        for (int x = 0; x < width; ++x) {
            if (bitCount == 1)
                row[x / 8] = char(uchar(row[x / 8]) | (0x80 >> (x % 8)));
            else if (bitCount == 4)
                row[x / 2] = char(uchar(row[x / 2]) | (x % 2 ? 0x01 : 0x10));
            else if (bitCount == 8)
                row[x] = 1;
            else if (bitCount == 24 || bitCount == 32)
                std::copy(bgra, bgra + bitCount / 8, row + x * bitCount / 8);
            else
                throw std::invalid_argument("unsupported bit count");
        }
    }
    return rows;
}

// A palette of RGBQUADs (or RGBTRIPLEs) whose entry 1 is the colour; the others are grey steps.
QByteArray Palette(int count, QRgb colour, int entrySize = 4)
{
    QByteArray palette;
    for (int i = 0; i < count; ++i) {
        const QRgb c = i == 1 ? colour : qRgb(i % 256, i % 256, i % 256);
        const char entry[4] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
        palette.append(entry, entrySize);
    }
    return palette;
}

// One block of a version resource: key, value, children, each on 32 bits.
QByteArray VersionBlock(const QString &key, const QByteArray &value, quint16 valueLength, quint16 type,
                        const QList<QByteArray> &children)
{
    QByteArray block;
    Append(block, {{2, 0}, {2, valueLength}, {2, type}}); // the length is set below
    AppendText(block, key, true);
    PadTo4(block);
    block.append(value);
    for (const QByteArray &child : children) {
        PadTo4(block);
        block.append(child);
    }
    PeBuilder::PutU16(block, 0, quint16(block.size()));
    return block;
}

} // namespace

const PeLayout::Type &PeLayout::TypeOf(const ResId &id) const
{
    for (const Type &type : types)
        if (type.id == id)
            return type;
    throw std::out_of_range("no such resource type in the layout");
}

const PeLayout::Resource &PeLayout::Find(const ResId &type, const ResId &name) const
{
    for (const Resource &resource : resources)
        if (resource.type == type && resource.name == name)
            return resource;
    throw std::out_of_range("no such resource in the layout");
}

void PeBuilder::Add(const ResId &type, const ResId &name, const QByteArray &data, quint16 language)
{
    m_entries.append({type, name, language, data});
}

void PeBuilder::AddIconGroup(const ResId &name, const QList<IconSpec> &images, quint16 firstId)
{
    for (int i = 0; i < images.size(); ++i)
        Add(3, firstId + i, IconImage(images[i]));
    Add(14, name, IconGroup(images, firstId));
}

void PeBuilder::AddCursorGroup(const ResId &name, const QList<QPair<int, int>> &sizes, quint16 firstId)
{
    for (int i = 0; i < sizes.size(); ++i)
        Add(1, firstId + i, CursorImage(sizes[i].first, sizes[i].second, 1, 2));
    Add(12, name, CursorGroup(sizes, firstId));
}

QByteArray PeBuilder::IconImage(const IconSpec &spec)
{
    const QByteArray pixels = SolidPixels(spec.width, spec.height, spec.bitCount, spec.colour);
    // The mask: opaque everywhere but the top-left pixel.
    const qint64 maskStride = Stride(spec.width, 1);
    QByteArray mask(maskStride * spec.height, '\0');
    mask[maskStride * (spec.height - 1)] = char(0x80);
    return InfoHeader(spec.width, 2 * spec.height, quint16(spec.bitCount), quint32(pixels.size() + mask.size()), 0) +
           Palette(spec.bitCount <= 8 ? 1 << spec.bitCount : 0, spec.colour) + pixels + mask;
}

QByteArray PeBuilder::IconGroup(const QList<IconSpec> &images, quint16 firstId)
{
    QByteArray group;
    Append(group, {{2, 0}, {2, 1}, {2, quint32(images.size())}}); // icons
    for (int i = 0; i < images.size(); ++i) {
        const IconSpec &spec = images[i];
        Append(group, {{1, quint32(spec.width)},
                       {1, quint32(spec.height)},
                       {1, quint32(spec.groupColours)},
                       {1, 0},
                       {2, 1},
                       {2, quint32(spec.bitCount)},
                       {4, quint32(IconImage(spec).size())},
                       {2, quint32(firstId + i)}});
    }
    return group;
}

QByteArray PeBuilder::CursorImage(int width, int height, quint16 hotX, quint16 hotY)
{
    QByteArray image;
    Append(image, {{2, hotX}, {2, hotY}});
    const QByteArray pixels = SolidPixels(width, height, 1, qRgb(255, 255, 255));
    const QByteArray mask(Stride(width, 1) * height, '\0');
    return image + InfoHeader(width, 2 * height, 1, quint32(pixels.size() + mask.size()), 0) +
           Palette(2, qRgb(255, 255, 255)) + pixels + mask;
}

QByteArray PeBuilder::CursorGroup(const QList<QPair<int, int>> &sizes, quint16 firstId)
{
    QByteArray group;
    Append(group, {{2, 0}, {2, 2}, {2, quint32(sizes.size())}}); // cursors
    for (int i = 0; i < sizes.size(); ++i) {
        // The height counts the mask too.
        Append(group, {{2, quint32(sizes[i].first)},
                       {2, quint32(2 * sizes[i].second)},
                       {2, 1},
                       {2, 1},
                       {4, quint32(CursorImage(sizes[i].first, sizes[i].second, 1, 2).size())},
                       {2, quint32(firstId + i)}});
    }
    return group;
}

QByteArray PeBuilder::Bitmap(int width, int height, int bitCount, quint32 used, quint32 headerSize)
{
    const QRgb colour = qRgb(0, 128, 255);
    const QByteArray pixels = SolidPixels(width, height, bitCount, colour);
    const int paletteSize = bitCount <= 8 ? 1 << bitCount : 0;
    if (headerSize == 12) {
        QByteArray bitmap;
        Append(bitmap, {{4, 12}, {2, quint32(width)}, {2, quint32(height)}, {2, 1}, {2, quint32(bitCount)}});
        return bitmap + Palette(paletteSize, colour, 3) + pixels;
    }
    return InfoHeader(width, height, quint16(bitCount), quint32(pixels.size()), used) +
           Palette(used ? int(used) : paletteSize, colour) + pixels;
}

QByteArray PeBuilder::StringBlock(const QStringList &strings)
{
    QByteArray block;
    for (int i = 0; i < 16; ++i) {
        const QString text = strings.value(i);
        Append(block, {{2, quint32(text.size())}});
        AppendText(block, text, false);
    }
    return block;
}

QByteArray PeBuilder::Menu(const QList<MenuItemSpec> &items)
{
    QByteArray menu;
    Append(menu, {{2, 0}, {2, 0}}); // version, header size
    for (const MenuItemSpec &item : items) {
        Append(menu, {{2, item.flags}});
        if (!(item.flags & 0x10))
            Append(menu, {{2, item.id}});
        AppendText(menu, item.text, true);
    }
    return menu;
}

QByteArray PeBuilder::MenuEx(const QList<MenuExItemSpec> &items)
{
    QByteArray menu;
    Append(menu, {{2, 1}, {2, 4}, {4, 0}}); // version, offset of the first item behind this field, help identifier
    for (const MenuExItemSpec &item : items) {
        PadTo4(menu);
        Append(menu, {{4, item.type}, {4, item.state}, {4, item.id}, {2, item.flags}});
        AppendText(menu, item.text, true);
        if (item.flags & 0x01) {
            PadTo4(menu);
            Append(menu, {{4, item.helpId}});
        }
    }
    return menu;
}

QByteArray PeBuilder::Version(quint32 fileVersionMS, quint32 fileVersionLS, const QList<VersionTableSpec> &tables,
                              const QList<quint32> &translations)
{
    QByteArray fixed;
    for (quint32 field : {0xFEEF04BDu, 0x10000u, fileVersionMS, fileVersionLS, fileVersionMS, fileVersionLS, 0x3Fu, 0u,
                          0x40004u, 1u, 0u, 0u, 0u})
        Append(fixed, {{4, field}});
    QList<QByteArray> tableBlocks;
    for (const VersionTableSpec &table : tables) {
        QList<QByteArray> strings;
        for (const auto &[key, text] : table.strings) {
            QByteArray value;
            AppendText(value, text, true);
            strings.append(VersionBlock(key, value, quint16(text.size() + 1), 1, {}));
        }
        tableBlocks.append(VersionBlock(table.key, {}, 0, 1, strings));
    }
    QList<QByteArray> parts{VersionBlock(QStringLiteral("StringFileInfo"), {}, 0, 1, tableBlocks)};
    if (!translations.isEmpty()) {
        QByteArray value;
        for (quint32 t : translations)
            Append(value, {{4, t}});
        parts.append(VersionBlock(QStringLiteral("VarFileInfo"), {}, 0, 1,
                                  {VersionBlock(QStringLiteral("Translation"), value, quint16(value.size()), 0, {})}));
    }
    return VersionBlock(QStringLiteral("VS_VERSION_INFO"), fixed, quint16(fixed.size()), 0, parts);
}

void PeBuilder::PutU16(QByteArray &bytes, qint64 offset, quint16 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void PeBuilder::PutU32(QByteArray &bytes, qint64 offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

QByteArray PeBuilder::Build(PeLayout *layout) const
{
    // The tree: types, their names, the languages of each name; each level sorted as Windows does.
    struct Name {
        ResId id;
        QList<const Entry *> languages;
    };
    struct Type {
        ResId id;
        QList<Name> names;
    };
    QList<Type> types;
    for (const Entry &entry : m_entries) {
        auto type = std::find_if(types.begin(), types.end(), [&](const Type &t) { return t.id == entry.type; });
        if (type == types.end())
            type = types.insert(types.end(), Type{entry.type, {}});
        auto name =
            std::find_if(type->names.begin(), type->names.end(), [&](const Name &n) { return n.id == entry.name; });
        if (name == type->names.end())
            name = type->names.insert(type->names.end(), Name{entry.name, {}});
        name->languages.append(&entry);
    }
    std::sort(types.begin(), types.end(), [](const Type &a, const Type &b) { return ResIdLess(a.id, b.id); });
    for (Type &type : types) {
        std::sort(type.names.begin(), type.names.end(),
                  [](const Name &a, const Name &b) { return ResIdLess(a.id, b.id); });
        for (Name &name : type.names)
            std::sort(name.languages.begin(), name.languages.end(),
                      [](const Entry *a, const Entry *b) { return a->language < b->language; });
    }

    // Offsets inside the section: the root, the types' directories, the names' directories,
    // the data entries, the names' strings, then the data.
    qint64 at = 16 + 8 * qint64(types.size());
    QList<qint64> typeDirs;
    for (const Type &type : types) {
        typeDirs.append(at);
        at += 16 + 8 * qint64(type.names.size());
    }
    QList<QList<qint64>> languageDirs;
    for (const Type &type : types) {
        languageDirs.append(QList<qint64>());
        for (const Name &name : type.names) {
            languageDirs.last().append(at);
            at += 16 + 8 * qint64(name.languages.size());
        }
    }
    QHash<const Entry *, qint64> dataEntries, data;
    for (const Type &type : types)
        for (const Name &name : type.names)
            for (const Entry *entry : name.languages) {
                dataEntries.insert(entry, at);
                at += 16;
            }
    QHash<QString, qint64> strings;
    auto placeString = [&](const ResId &id) {
        if (id.IsNamed() && !strings.contains(id.name)) {
            strings.insert(id.name, at);
            at += 2 + 2 * qint64(id.name.size());
        }
    };
    for (const Type &type : types) {
        placeString(type.id);
        for (const Name &name : type.names)
            placeString(name.id);
    }
    at = AlignUp(at, 4);
    for (const Type &type : types)
        for (const Name &name : type.names)
            for (const Entry *entry : name.languages) {
                data.insert(entry, at);
                at = AlignUp(at + entry->data.size(), 4);
            }

    const qint64 sectionSize = AlignUp(qMax<qint64>(at, 1), FileAlignment);
    const qint64 rsrcFileOffset = HeadersSize + FileAlignment;
    const quint32 va = ResourceVirtualAddress;
    QByteArray rsrc(sectionSize, '\0');
    auto nameField = [&](const ResId &id) { return id.IsNamed() ? 0x80000000u | quint32(strings[id.name]) : id.id; };
    // A directory header and its entries, each pointing at a subdirectory or a data entry.
    auto directory = [&](qint64 offset, const QList<ResId> &ids, const QList<quint32> &targets) {
        const auto named = quint16(std::count_if(ids.begin(), ids.end(), [](const ResId &id) { return id.IsNamed(); }));
        PutU16(rsrc, offset + 12, named);
        PutU16(rsrc, offset + 14, quint16(ids.size() - named));
        for (int i = 0; i < ids.size(); ++i) {
            PutU32(rsrc, offset + 16 + 8 * i, nameField(ids[i]));
            PutU32(rsrc, offset + 16 + 8 * i + 4, targets[i]);
        }
    };
    PeLayout where;
    QList<ResId> typeIds;
    QList<quint32> typeTargets;
    for (int t = 0; t < types.size(); ++t) {
        const Type &type = types[t];
        typeIds.append(type.id);
        typeTargets.append(0x80000000u | quint32(typeDirs[t]));
        where.types.append({type.id, rsrcFileOffset + 16 + 8 * t, rsrcFileOffset + typeDirs[t]});
        QList<ResId> nameIds;
        QList<quint32> nameTargets;
        for (int n = 0; n < type.names.size(); ++n) {
            const Name &name = type.names[n];
            nameIds.append(name.id);
            nameTargets.append(0x80000000u | quint32(languageDirs[t][n]));
            QList<ResId> languageIds;
            QList<quint32> languageTargets;
            for (const Entry *entry : name.languages) {
                languageIds.append(ResId(entry->language));
                languageTargets.append(quint32(dataEntries[entry]));
                PutU32(rsrc, dataEntries[entry], va + quint32(data[entry]));
                PutU32(rsrc, dataEntries[entry] + 4, quint32(entry->data.size()));
                rsrc.replace(data[entry], entry->data.size(), entry->data);
            }
            directory(languageDirs[t][n], languageIds, languageTargets);
            const Entry *first = name.languages.first();
            where.resources.append({type.id, name.id, rsrcFileOffset + languageDirs[t][n],
                                    rsrcFileOffset + dataEntries[first], rsrcFileOffset + data[first],
                                    name.id.IsNamed() ? rsrcFileOffset + strings[name.id.name] : -1});
        }
        directory(typeDirs[t], nameIds, nameTargets);
    }
    directory(0, typeIds, typeTargets);
    for (auto s = strings.constBegin(); s != strings.constEnd(); ++s) {
        QByteArray text;
        Append(text, {{2, quint32(s.key().size())}});
        AppendText(text, s.key(), false);
        rsrc.replace(s.value(), text.size(), text);
    }

    // Headers: DOS header, PE signature, file header, the optional header's magic, sections; the reader
    // needs nothing else of them.
    QByteArray file(HeadersSize, '\0');
    file.replace(0, 2, "MZ");
    PutU32(file, 0x3C, NtHeadersOffset);
    const qint64 nt = NtHeadersOffset;
    file.replace(nt, 2, "PE");
    const int sectionCount = withResourceSection ? 2 : 1;
    const quint16 optionalSize = pe32Plus ? 240 : 224;
    const qint64 fileHeader = nt + 4;
    PutU16(file, fileHeader + 2, quint16(sectionCount));
    PutU16(file, fileHeader + 16, optionalSize);
    const qint64 optional = fileHeader + 20;
    PutU16(file, optional, pe32Plus ? 0x20B : 0x10B);
    const qint64 sections = optional + optionalSize;
    auto section = [&](int index, const QByteArray &name, quint32 virtualAddress, quint32 rawSize, quint32 rawOffset,
                       quint32 characteristics) {
        const qint64 header = sections + 40 * index;
        file.replace(header, qMin<qsizetype>(name.size(), 8), name.left(8));
        PutU32(file, header + 8, rawSize);
        PutU32(file, header + 12, virtualAddress);
        PutU32(file, header + 16, rawSize);
        PutU32(file, header + 20, rawOffset);
        PutU32(file, header + 36, characteristics);
    };
    const int rsrcIndex = resourceSectionFirst ? 0 : 1;
    section(withResourceSection ? 1 - rsrcIndex : 0, ".text", CodeVirtualAddress, FileAlignment, HeadersSize,
            0x60000020);
    if (withResourceSection)
        section(rsrcIndex, sectionName.toLatin1(), va, quint32(sectionSize), quint32(rsrcFileOffset), 0x40000040);

    file += QByteArray(FileAlignment, '\0'); // the code section
    if (withResourceSection)
        file += rsrc;

    where.ntHeaders = nt;
    where.sectionTable = sections;
    where.resourceSection = rsrcFileOffset;
    if (layout)
        *layout = where;
    return file;
}
