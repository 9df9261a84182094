#include "PeBuilder.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr qint64 FileAlignment = 0x200;
constexpr qint64 HeadersSize = 0x400;
constexpr qint64 NtHeadersOffset = 0x80;
constexpr quint32 CodeVirtualAddress = 0x1000;

qint64 AlignUp(qint64 value, qint64 alignment) { return (value + alignment - 1) / alignment * alignment; }

// Windows orders a directory's named entries first (by name), then the
// numbered ones (ascending).
bool ResIdLess(const ResId &a, const ResId &b)
{
    if (a.IsNamed() != b.IsNamed())
        return a.IsNamed();
    if (a.IsNamed())
        return a.name.toUpper() < b.name.toUpper();
    return a.id < b.id;
}

void AppendU16(QByteArray &bytes, quint16 value)
{
    char b[2];
    qToLittleEndian(value, b);
    bytes.append(b, 2);
}

void AppendU32(QByteArray &bytes, quint32 value)
{
    char b[4];
    qToLittleEndian(value, b);
    bytes.append(b, 4);
}

void AppendText(QByteArray &bytes, const QString &text, bool terminate)
{
    for (QChar c : text)
        AppendU16(bytes, c.unicode());
    if (terminate)
        AppendU16(bytes, 0);
}

void PadTo4(QByteArray &bytes)
{
    while (bytes.size() % 4)
        bytes.append('\0');
}

// A 40-byte bitmap information header.
QByteArray InfoHeader(qint32 width, qint32 height, quint16 bitCount, quint32 imageSize, quint32 used)
{
    QByteArray h;
    AppendU32(h, 40);
    AppendU32(h, quint32(width));
    AppendU32(h, quint32(height));
    AppendU16(h, 1);
    AppendU16(h, bitCount);
    AppendU32(h, 0); // no compression
    AppendU32(h, imageSize);
    AppendU32(h, 0);
    AppendU32(h, 0);
    AppendU32(h, used);
    AppendU32(h, 0);
    return h;
}

qint64 Stride(int width, int bitCount) { return (qint64(width) * bitCount + 31) / 32 * 4; }

// Rows of pixels that all have palette index 1 (or the colour itself).
QByteArray SolidPixels(int width, int height, int bitCount, QRgb colour)
{
    const qint64 stride = Stride(width, bitCount);
    QByteArray rows(stride * height, '\0');
    for (int y = 0; y < height; ++y) {
        char *row = rows.data() + stride * y;
        for (int x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1:
                row[x / 8] = char(uchar(row[x / 8]) | (0x80 >> (x % 8)));
                break;
            case 4:
                row[x / 2] = char(uchar(row[x / 2]) | (x % 2 ? 0x01 : 0x10));
                break;
            case 8:
                row[x] = 1;
                break;
            case 24:
                row[3 * x] = char(qBlue(colour));
                row[3 * x + 1] = char(qGreen(colour));
                row[3 * x + 2] = char(qRed(colour));
                break;
            case 32:
                row[4 * x] = char(qBlue(colour));
                row[4 * x + 1] = char(qGreen(colour));
                row[4 * x + 2] = char(qRed(colour));
                row[4 * x + 3] = char(0xFF);
                break;
            default:
                throw std::invalid_argument("unsupported bit count");
            }
        }
    }
    return rows;
}

// A palette whose entry 1 is the colour; the others are grey steps.
QByteArray Palette(int count, QRgb colour)
{
    QByteArray palette;
    for (int i = 0; i < count; ++i) {
        const QRgb c = i == 1 ? colour : qRgb(i % 256, i % 256, i % 256);
        palette.append(char(qBlue(c)));
        palette.append(char(qGreen(c)));
        palette.append(char(qRed(c)));
        palette.append('\0');
    }
    return palette;
}

// One block of a version resource: key, value, children, each on 32 bits.
QByteArray VersionBlock(const QString &key, const QByteArray &value, quint16 valueLength, quint16 type,
                        const QList<QByteArray> &children)
{
    QByteArray block;
    AppendU16(block, 0); // length, set below
    AppendU16(block, valueLength);
    AppendU16(block, type);
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
    const int colours = spec.bitCount <= 8 ? 1 << spec.bitCount : 0;
    const QByteArray pixels = SolidPixels(spec.width, spec.height, spec.bitCount, spec.colour);
    // The mask: opaque everywhere but the top-left pixel.
    const qint64 maskStride = Stride(spec.width, 1);
    QByteArray mask(maskStride * spec.height, '\0');
    mask[maskStride * (spec.height - 1)] = char(0x80);
    QByteArray image = InfoHeader(spec.width, 2 * spec.height, quint16(spec.bitCount),
                                  quint32(pixels.size() + mask.size()), 0);
    image += Palette(colours, spec.colour);
    image += pixels;
    image += mask;
    return image;
}

QByteArray PeBuilder::IconGroup(const QList<IconSpec> &images, quint16 firstId)
{
    QByteArray group;
    AppendU16(group, 0);
    AppendU16(group, 1); // icons
    AppendU16(group, quint16(images.size()));
    for (int i = 0; i < images.size(); ++i) {
        const IconSpec &spec = images[i];
        group.append(char(spec.width & 0xFF));
        group.append(char(spec.height & 0xFF));
        group.append(char(spec.groupColours));
        group.append('\0');
        AppendU16(group, 1);
        AppendU16(group, quint16(spec.bitCount));
        AppendU32(group, quint32(IconImage(spec).size()));
        AppendU16(group, quint16(firstId + i));
    }
    return group;
}

QByteArray PeBuilder::CursorImage(int width, int height, quint16 hotX, quint16 hotY)
{
    QByteArray image;
    AppendU16(image, hotX);
    AppendU16(image, hotY);
    const QByteArray pixels = SolidPixels(width, height, 1, qRgb(255, 255, 255));
    const QByteArray mask(Stride(width, 1) * height, '\0');
    image += InfoHeader(width, 2 * height, 1, quint32(pixels.size() + mask.size()), 0);
    image += Palette(2, qRgb(255, 255, 255));
    image += pixels;
    image += mask;
    return image;
}

QByteArray PeBuilder::CursorGroup(const QList<QPair<int, int>> &sizes, quint16 firstId)
{
    QByteArray group;
    AppendU16(group, 0);
    AppendU16(group, 2); // cursors
    AppendU16(group, quint16(sizes.size()));
    for (int i = 0; i < sizes.size(); ++i) {
        AppendU16(group, quint16(sizes[i].first));
        AppendU16(group, quint16(2 * sizes[i].second)); // the mask counts too
        AppendU16(group, 1);
        AppendU16(group, 1);
        AppendU32(group, quint32(CursorImage(sizes[i].first, sizes[i].second, 1, 2).size()));
        AppendU16(group, quint16(firstId + i));
    }
    return group;
}

QByteArray PeBuilder::Bitmap(int width, int height, int bitCount, quint32 used, quint32 headerSize)
{
    const QByteArray pixels = SolidPixels(width, height, bitCount, qRgb(0, 128, 255));
    const int paletteSize = bitCount <= 8 ? 1 << bitCount : 0;
    if (headerSize == 12) {
        QByteArray bitmap;
        AppendU32(bitmap, 12);
        AppendU16(bitmap, quint16(width));
        AppendU16(bitmap, quint16(height));
        AppendU16(bitmap, 1);
        AppendU16(bitmap, quint16(bitCount));
        for (int i = 0; i < paletteSize; ++i) {
            const QRgb c = i == 1 ? qRgb(0, 128, 255) : qRgb(i, i, i);
            bitmap.append(char(qBlue(c)));
            bitmap.append(char(qGreen(c)));
            bitmap.append(char(qRed(c)));
        }
        return bitmap + pixels;
    }
    QByteArray bitmap = InfoHeader(width, height, quint16(bitCount), quint32(pixels.size()), used);
    bitmap += Palette(used ? int(used) : paletteSize, qRgb(0, 128, 255));
    return bitmap + pixels;
}

QByteArray PeBuilder::StringBlock(const QStringList &strings)
{
    QByteArray block;
    for (int i = 0; i < 16; ++i) {
        const QString text = i < strings.size() ? strings[i] : QString();
        AppendU16(block, quint16(text.size()));
        AppendText(block, text, false);
    }
    return block;
}

QByteArray PeBuilder::Menu(const QList<MenuItemSpec> &items)
{
    QByteArray menu;
    AppendU16(menu, 0); // version
    AppendU16(menu, 0); // header size
    for (const MenuItemSpec &item : items) {
        AppendU16(menu, item.flags);
        if (!(item.flags & 0x10))
            AppendU16(menu, item.id);
        AppendText(menu, item.text, true);
    }
    return menu;
}

QByteArray PeBuilder::MenuEx(const QList<MenuExItemSpec> &items)
{
    QByteArray menu;
    AppendU16(menu, 1); // version
    AppendU16(menu, 4); // offset of the first item behind this field
    AppendU32(menu, 0); // help identifier
    for (const MenuExItemSpec &item : items) {
        PadTo4(menu);
        AppendU32(menu, item.type);
        AppendU32(menu, item.state);
        AppendU32(menu, item.id);
        AppendU16(menu, item.flags);
        AppendText(menu, item.text, true);
        if (item.flags & 0x01) {
            PadTo4(menu);
            AppendU32(menu, item.helpId);
        }
    }
    return menu;
}

QByteArray PeBuilder::Version(quint32 fileVersionMS, quint32 fileVersionLS, const QList<VersionTableSpec> &tables,
                              const QList<quint32> &translations)
{
    QByteArray fixed;
    const quint32 fields[13] = {0xFEEF04BD, 0x10000, fileVersionMS, fileVersionLS, fileVersionMS, fileVersionLS,
                                0x3F,       0,       0x40004,       1,             0,             0,
                                0};
    for (quint32 field : fields)
        AppendU32(fixed, field);

    QList<QByteArray> tableBlocks;
    for (const VersionTableSpec &table : tables) {
        QList<QByteArray> strings;
        for (const auto &pair : table.strings) {
            QByteArray value;
            AppendText(value, pair.second, true);
            strings.append(VersionBlock(pair.first, value, quint16(pair.second.size() + 1), 1, {}));
        }
        tableBlocks.append(VersionBlock(table.key, {}, 0, 1, strings));
    }
    QList<QByteArray> parts;
    parts.append(VersionBlock(QStringLiteral("StringFileInfo"), {}, 0, 1, tableBlocks));
    if (!translations.isEmpty()) {
        QByteArray value;
        for (quint32 t : translations)
            AppendU32(value, t);
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

quint32 PeBuilder::GetU32(const QByteArray &bytes, qint64 offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

QByteArray PeBuilder::Build(PeLayout *layout) const
{
    PeLayout where;

    // The tree: types, their names, the languages of each name.
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
        if (type == types.end()) {
            types.append({entry.type, {}});
            type = types.end() - 1;
        }
        auto name = std::find_if(type->names.begin(), type->names.end(),
                                 [&](const Name &n) { return n.id == entry.name; });
        if (name == type->names.end()) {
            type->names.append({entry.name, {}});
            name = type->names.end() - 1;
        }
        name->languages.append(&entry);
    }
    std::sort(types.begin(), types.end(), [](const Type &a, const Type &b) { return ResIdLess(a.id, b.id); });
    for (Type &type : types) {
        std::sort(type.names.begin(), type.names.end(), [](const Name &a, const Name &b) { return ResIdLess(a.id, b.id); });
        for (Name &name : type.names)
            std::sort(name.languages.begin(), name.languages.end(),
                      [](const Entry *a, const Entry *b) { return a->language < b->language; });
    }

    // Offsets inside the section: directories, data entries, names, data.
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
    QHash<const Entry *, qint64> dataEntries;
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
    QHash<const Entry *, qint64> data;
    for (const Type &type : types)
        for (const Name &name : type.names)
            for (const Entry *entry : name.languages) {
                data.insert(entry, at);
                at = AlignUp(at + entry->data.size(), 4);
            }

    const qint64 sectionSize = AlignUp(qMax<qint64>(at, 1), FileAlignment);
    QByteArray rsrc(sectionSize, '\0');
    auto nameField = [&](const ResId &id) { return id.IsNamed() ? 0x80000000u | quint32(strings[id.name]) : id.id; };
    auto directory = [&](qint64 offset, const QList<ResId> &ids) {
        quint16 named = 0;
        for (const ResId &id : ids)
            named += id.IsNamed() ? 1 : 0;
        PutU16(rsrc, offset + 12, named);
        PutU16(rsrc, offset + 14, quint16(ids.size() - named));
    };
    const qint64 rsrcFileOffset = HeadersSize + FileAlignment;
    const quint32 va = resourceVirtualAddress;
    QList<ResId> typeIds;
    for (const Type &type : types)
        typeIds.append(type.id);
    directory(0, typeIds);
    for (int t = 0; t < types.size(); ++t) {
        const Type &type = types[t];
        const qint64 typeEntry = 16 + 8 * t;
        PutU32(rsrc, typeEntry, nameField(type.id));
        PutU32(rsrc, typeEntry + 4, 0x80000000u | quint32(typeDirs[t]));
        where.types.append({type.id, rsrcFileOffset + typeEntry, rsrcFileOffset + typeDirs[t]});
        QList<ResId> nameIds;
        for (const Name &name : type.names)
            nameIds.append(name.id);
        directory(typeDirs[t], nameIds);
        for (int n = 0; n < type.names.size(); ++n) {
            const Name &name = type.names[n];
            const qint64 nameEntry = typeDirs[t] + 16 + 8 * n;
            PutU32(rsrc, nameEntry, nameField(name.id));
            PutU32(rsrc, nameEntry + 4, 0x80000000u | quint32(languageDirs[t][n]));
            QList<ResId> languageIds;
            for (const Entry *entry : name.languages)
                languageIds.append(ResId(entry->language));
            directory(languageDirs[t][n], languageIds);
            for (int l = 0; l < name.languages.size(); ++l) {
                const Entry *entry = name.languages[l];
                const qint64 languageEntry = languageDirs[t][n] + 16 + 8 * l;
                PutU32(rsrc, languageEntry, entry->language);
                PutU32(rsrc, languageEntry + 4, quint32(dataEntries[entry]));
                PutU32(rsrc, dataEntries[entry], va + quint32(data[entry]));
                PutU32(rsrc, dataEntries[entry] + 4, quint32(entry->data.size()));
                rsrc.replace(data[entry], entry->data.size(), entry->data);
                if (l == 0)
                    where.resources.append({type.id, name.id, rsrcFileOffset + nameEntry,
                                            rsrcFileOffset + languageDirs[t][n], rsrcFileOffset + dataEntries[entry],
                                            rsrcFileOffset + data[entry],
                                            name.id.IsNamed() ? rsrcFileOffset + strings[name.id.name] : -1});
            }
        }
    }
    for (auto s = strings.constBegin(); s != strings.constEnd(); ++s) {
        PutU16(rsrc, s.value(), quint16(s.key().size()));
        for (int i = 0; i < s.key().size(); ++i)
            PutU16(rsrc, s.value() + 2 + 2 * i, s.key()[i].unicode());
    }

    // Headers: DOS header, PE signature, file header, optional header, sections.
    QByteArray file(HeadersSize, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    PutU32(file, 0x3C, NtHeadersOffset);
    const qint64 nt = NtHeadersOffset;
    file[nt] = 'P';
    file[nt + 1] = 'E';
    const int sectionCount = withResourceSection ? 2 : 1;
    const quint16 optionalSize = pe32Plus ? 240 : 224;
    const qint64 fileHeader = nt + 4;
    PutU16(file, fileHeader, pe32Plus ? 0x8664 : 0x14C);
    PutU16(file, fileHeader + 2, quint16(sectionCount));
    PutU16(file, fileHeader + 16, optionalSize);
    PutU16(file, fileHeader + 18, pe32Plus ? 0x2022 : 0x2102); // executable DLL
    const qint64 optional = fileHeader + 20;
    const quint32 imageSize = quint32(AlignUp(va + sectionSize, 0x1000));
    PutU16(file, optional, pe32Plus ? 0x20B : 0x10B);
    PutU32(file, optional + 4, FileAlignment);     // size of code
    PutU32(file, optional + 16, CodeVirtualAddress); // entry point
    PutU32(file, optional + 20, CodeVirtualAddress);
    if (pe32Plus) {
        PutU32(file, optional + 24, 0x80000000u); // image base, low half
        PutU32(file, optional + 28, 0x1);
    } else {
        PutU32(file, optional + 28, 0x10000000u);
    }
    PutU32(file, optional + 32, 0x1000);
    PutU32(file, optional + 36, FileAlignment);
    PutU16(file, optional + 40, 4);
    PutU16(file, optional + 48, 4);
    PutU32(file, optional + 56, imageSize);
    PutU32(file, optional + 60, HeadersSize);
    PutU16(file, optional + 68, 2); // GUI
    const qint64 directories = optional + (pe32Plus ? 112 : 96);
    PutU32(file, directories - 4, 16);
    if (withResourceSection) {
        PutU32(file, directories + 2 * 8, va);
        PutU32(file, directories + 2 * 8 + 4, quint32(at));
    }
    const qint64 sections = optional + optionalSize;
    auto section = [&](int index, const char *name, quint32 virtualAddress, quint32 rawSize, quint32 rawOffset,
                       quint32 characteristics) {
        const qint64 header = sections + 40 * index;
        const QByteArray bytes = QByteArray(name).left(8);
        file.replace(header, bytes.size(), bytes);
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
        section(rsrcIndex, sectionName.toLatin1().constData(), va, quint32(sectionSize), quint32(rsrcFileOffset),
                0x40000040);

    QByteArray code(FileAlignment, '\0');
    code[0] = char(0xC3); // ret
    file += code;
    if (withResourceSection)
        file += rsrc;

    where.ntHeaders = nt;
    where.sectionTable = sections;
    where.resourceSection = rsrcFileOffset;
    where.resourceVirtualAddress = va;
    if (layout)
        *layout = where;
    return file;
}
