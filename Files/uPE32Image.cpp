#include "Files/uPE32Image.h"

#include "Files/uFilesLog.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QImage>
#include <QtEndian>

namespace {

// Sizes and offsets of the PE structures that the reader uses.
constexpr qint64 DosLfanewOffset = 0x3C;
constexpr qint64 FileHeaderSize = 20;
constexpr qint64 SignatureSize = 4;
constexpr qint64 SectionHeaderSize = 40;
constexpr qint64 DirectoryHeaderSize = 16;
constexpr qint64 DirectoryEntrySize = 8;
constexpr qint64 DataEntrySize = 16;
constexpr qint64 GroupHeaderSize = 6;
constexpr qint64 GroupEntrySize = 14;
constexpr quint32 HighBit = 0x80000000u;
constexpr quint16 OptionalMagicPE32Plus = 0x20B;

// Real trees are three levels deep (type, name, language); anything deeper
// than this is damage.
constexpr int MaxListDepth = 3;

[[noreturn]] void Fail(const QString &message) { throw EExeError(message); }

QString Hex(qint64 value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

} // namespace

// ---------------------------------------------------------------- TExeImage

TExeImage::TExeImage(const QString &fileName) : m_fileName(fileName)
{
    Open();
    CheckHeaders();
}

TExeImage::TExeImage(const QByteArray &bytes, const QString &fileName) : m_fileName(fileName), m_bytes(bytes)
{
    m_view = reinterpret_cast<const uchar *>(m_bytes.constData());
    m_size = m_bytes.size();
    CheckHeaders();
}

TExeImage::~TExeImage()
{
    // The tree points into the view: free it first.
    m_resources.reset();
    if (m_file.isOpen() && m_view)
        m_file.unmap(const_cast<uchar *>(m_view));
}

void TExeImage::Open()
{
    // Only existing plain files: a folder or a pipe is not an executable file.
    const QFileInfo info(m_fileName);
    m_file.setFileName(m_fileName);
    if (!info.isFile() || !m_file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Couldn't open: ") + m_fileName);
    m_size = m_file.size();
    // A file of no bytes cannot be mapped.
    if (m_size <= 0)
        Fail(QStringLiteral("CreateFileMapping failed"));
    m_view = m_file.map(0, m_size);
    if (!m_view)
        Fail(QStringLiteral("MapViewOfFile failed"));
}

void TExeImage::CheckHeaders()
{
    if (m_size < 2 || m_view[0] != 'M' || m_view[1] != 'Z')
        Fail(QStringLiteral("unrecognized file format"));
    const QString notPE = QStringLiteral("Not a PE (WIN32 Executable) file");
    if (!Contains(DosLfanewOffset, 4))
        Fail(notPE);
    m_ntHeaders = qFromLittleEndian<quint32>(m_view + DosLfanewOffset);
    if (!Contains(m_ntHeaders, SignatureSize + FileHeaderSize))
        Fail(notPE);
    const uchar *nt = m_view + m_ntHeaders;
    if (nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0)
        Fail(notPE);
    // The optional header is as long as the file header says: 224 bytes for
    // 32-bit files, 240 for 64-bit ones.
    const quint16 optionalSize = qFromLittleEndian<quint16>(nt + SignatureSize + 16);
    if (!Contains(m_ntHeaders, SignatureSize + FileHeaderSize + optionalSize))
        Fail(notPE);
    m_pe32Plus =
        optionalSize >= 2 && qFromLittleEndian<quint16>(nt + SignatureSize + FileHeaderSize) == OptionalMagicPE32Plus;
}

bool TExeImage::Contains(qint64 offset, qint64 length) const
{
    return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
}

void TExeImage::Require(qint64 offset, qint64 length, const char *what) const
{
    if (!Contains(offset, length))
        Fail(QStringLiteral("Damaged file: %1 at offset %2 (%3 bytes) lies outside the file")
                 .arg(QLatin1String(what), offset < 0 ? QString::number(offset) : Hex(offset))
                 .arg(length));
}

quint16 TExeImage::U16(qint64 offset, const char *what) const
{
    Require(offset, 2, what);
    return qFromLittleEndian<quint16>(m_view + offset);
}

quint32 TExeImage::U32(qint64 offset, const char *what) const
{
    Require(offset, 4, what);
    return qFromLittleEndian<quint32>(m_view + offset);
}

QByteArray TExeImage::Bytes(qint64 offset, qint64 length, const char *what) const
{
    Require(offset, length, what);
    return QByteArray::fromRawData(reinterpret_cast<const char *>(m_view + offset), length);
}

void TExeImage::ChargeNodes(qint64 count)
{
    m_nodeBudget -= count;
    if (m_nodeBudget < 0)
        Fail(QStringLiteral("Damaged file: the resource directory has more than %1 entries").arg(kMaxResourceEntries));
}

void TExeImage::ListDirectory(qint64 directory)
{
    if (m_listedDirectories.contains(directory))
        Fail(QStringLiteral("Damaged file: resource directory at offset %1 is reached twice").arg(Hex(directory)));
    m_listedDirectories.insert(directory);
}

void TExeImage::FindResourceSection()
{
    // A damaged section table gives the same answer every time it is asked.
    if (m_sectionSearched) {
        if (!m_sectionError.isEmpty())
            Fail(m_sectionError);
        return;
    }
    m_sectionSearched = true;
    try {
        SearchSectionTable();
    } catch (const EExeError &e) {
        m_sectionError = e.message();
        throw;
    }
}

void TExeImage::SearchSectionTable()
{
    const qint64 fileHeader = m_ntHeaders + SignatureSize;
    const quint16 sectionCount = U16(fileHeader + 2, "file header");
    const quint16 optionalSize = U16(fileHeader + 16, "file header");
    // The section table follows the optional header, whatever its size.
    const qint64 table = fileHeader + FileHeaderSize + optionalSize;
    for (int i = 0; i < sectionCount; ++i) {
        const qint64 section = table + i * SectionHeaderSize;
        Require(section, SectionHeaderSize, "section header");
        if (qstrnicmp(reinterpret_cast<const char *>(m_view + section), ".rsrc", 8) != 0)
            continue;
        m_resourceVirtualAddress = qFromLittleEndian<quint32>(m_view + section + 12);
        m_resourceBase = qFromLittleEndian<quint32>(m_view + section + 20);
        Require(m_resourceBase, DirectoryHeaderSize, "resource section");
        return;
    }
}

bool TExeImage::HasResources()
{
    try {
        FindResourceSection();
    } catch (const EExeError &e) {
        qCDebug(lcFiles) << FileName() << "has no readable resources:" << e.message();
        return false;
    }
    return m_resourceBase >= 0;
}

TResourceList *TExeImage::Resources()
{
    if (!m_resources) {
        FindResourceSection();
        if (m_resourceBase < 0)
            Fail(QStringLiteral("No resources in this file."));
        m_resources = std::make_unique<TResourceList>(*this, m_resourceBase, 0, nullptr);
    }
    return m_resources.get();
}

void TExeImage::SetImageTypeItems(TResourceItem *iconImages, TResourceItem *cursorImages)
{
    m_iconImages = iconImages;
    m_cursorImages = cursorImages;
}

const QList<TResourceItem *> &TExeImage::ImagesWithId(TResourceItem *imageType, quint32 id)
{
    static const QList<TResourceItem *> none;
    if (!imageType)
        return none;
    auto index = m_imagesById.find(imageType);
    if (index == m_imagesById.end()) {
        // One pass over the images instead of one per group entry.
        QHash<quint32, QList<TResourceItem *>> byId;
        TResourceList *images = imageType->List();
        for (int i = 0, n = images->Count(); i < n; ++i)
            byId[images->Items(i)->EntryName()].append(images->Items(i));
        index = m_imagesById.insert(imageType, byId);
    }
    const auto found = index->constFind(id);
    return found == index->constEnd() ? none : *found;
}

// ------------------------------------------------------------ TResourceList

namespace {

// The item class for an entry of a list of the given type.
std::unique_ptr<TResourceItem> CreateItem(quint32 resType, TResourceList &owner, qint64 entry)
{
    switch (resType) {
    case rtCursorEntry:
        return std::make_unique<TCursorResEntry>(owner, entry);
    case rtBitmap:
        return std::make_unique<TBitMapResource>(owner, entry);
    case rtIconEntry:
        return std::make_unique<TIconResEntry>(owner, entry);
    case rtMenu:
        return std::make_unique<TMenuResource>(owner, entry);
    case rtString:
        return std::make_unique<TStringResource>(owner, entry);
    case rtCursor:
        return std::make_unique<TCursorResource>(owner, entry);
    case rtIcon:
        return std::make_unique<TIconResource>(owner, entry);
    default:
        return std::make_unique<TResourceItem>(owner, entry);
    }
}

} // namespace

TResourceList::TResourceList(TExeImage &image, qint64 directory, quint32 resType, const TResourceList *parent)
    : m_image(image), m_directory(directory), m_resType(resType), m_parent(parent), m_isRoot(parent == nullptr)
{
    if (parent) {
        m_depth = parent->m_depth + 1;
        if (m_depth > MaxListDepth)
            Fail(QStringLiteral("Damaged file: resource directories nest too deep"));
        for (const TResourceList *up = parent; up; up = up->m_parent)
            if (up->m_directory == directory)
                Fail(QStringLiteral("Damaged file: resource directory at offset %1 points back into itself")
                         .arg(Hex(directory)));
    }
    // Each directory is listed once: directories that point into each other
    // would otherwise make a tree far larger than the file.
    image.ListDirectory(directory);
}

TResourceList::TResourceList(TExeImage &image, qint64 groupData, GroupTag)
    : m_image(image), m_directory(groupData), m_resType(0), m_parent(nullptr)
{
}

TResourceList::~TResourceList() = default;

void TResourceList::Build()
{
    if (m_built)
        return;
    BuildItems();
    m_built = true;
}

int TResourceList::Count()
{
    Build();
    return int(m_items.size());
}

TResourceItem *TResourceList::Items(int index)
{
    Build();
    Z_ASSERT(index >= 0 && index < m_items.size(),
             QStringLiteral("TResourceList.Items: index %1 out of bounds (count %2)").arg(index).arg(m_items.size()));
    return m_items[index];
}

void TResourceList::BuildItems()
{
    const quint16 named = m_image.U16(m_directory + 12, "resource directory");
    const quint16 numbered = m_image.U16(m_directory + 14, "resource directory");
    const qint64 count = qint64(named) + numbered;
    m_image.Require(m_directory + DirectoryHeaderSize, count * DirectoryEntrySize, "resource directory entries");
    m_image.ChargeNodes(count);
    TResourceItem *iconImages = nullptr;
    TResourceItem *cursorImages = nullptr;
    for (qint64 i = 0; i < count; ++i) {
        const qint64 entry = m_directory + DirectoryHeaderSize + i * DirectoryEntrySize;
        m_owned.push_back(CreateItem(m_resType, *this, entry));
        TResourceItem *item = m_owned.back().get();
        // The single icon and cursor images are reached through their groups.
        if (m_isRoot && item->EntryName() == rtCursorEntry)
            cursorImages = item;
        else if (m_isRoot && item->EntryName() == rtIconEntry)
            iconImages = item;
        else
            m_items.append(item);
    }
    if (m_isRoot)
        m_image.SetImageTypeItems(iconImages, cursorImages);
}

// -------------------------------------------------------- TIconResourceList

TIconResourceList::TIconResourceList(TExeImage &image, qint64 groupData, quint32 groupSize)
    : TResourceList(image, groupData, GroupTag{}), m_groupSize(groupSize)
{
}

TResourceItem *TIconResourceList::ImageType() const { return m_image.IconImages(); }

void TIconResourceList::Attach(TResourceItem *image, qint64 groupEntry)
{
    if (auto *entry = dynamic_cast<TIconResEntry *>(image))
        entry->SetGroupEntry(groupEntry);
}

TResourceItem *TCursorResourceList::ImageType() const { return m_image.CursorImages(); }

void TCursorResourceList::Attach(TResourceItem *image, qint64 groupEntry)
{
    if (auto *entry = dynamic_cast<TCursorResEntry *>(image))
        entry->SetCursorGroupEntry(groupEntry);
}

void TIconResourceList::BuildItems()
{
    if (m_groupSize < GroupHeaderSize)
        Fail(QStringLiteral("Damaged file: icon or cursor group at offset %1 is too short").arg(Hex(m_directory)));
    const quint16 count = m_image.U16(m_directory + 4, "icon or cursor group");
    if (GroupHeaderSize + qint64(count) * GroupEntrySize > m_groupSize)
        Fail(QStringLiteral("Damaged file: icon or cursor group at offset %1 lists more images than it holds")
                 .arg(Hex(m_directory)));
    // Without an image type there is nothing to resolve the entries against.
    TResourceItem *imageType = ImageType();
    if (!imageType)
        return;
    for (int i = 0; i < count; ++i) {
        const qint64 groupEntry = m_directory + GroupHeaderSize + i * GroupEntrySize;
        const quint16 id = m_image.U16(groupEntry + 12, "icon or cursor group entry");
        const QList<TResourceItem *> &images = m_image.ImagesWithId(imageType, id);
        m_image.ChargeNodes(images.size());
        for (TResourceItem *image : images) {
            Attach(image, groupEntry);
            m_items.append(image);
        }
    }
}

// ------------------------------------------------------------ TResourceItem

TResourceItem::TResourceItem(TResourceList &owner, qint64 dirEntry) : m_owner(owner), m_dirEntry(dirEntry) {}

TResourceItem::~TResourceItem() = default;

quint32 TResourceItem::EntryName() const { return Image().U32(m_dirEntry, "resource directory entry"); }

bool TResourceItem::PointsToDirectory() const
{
    return (Image().U32(m_dirEntry + 4, "resource directory entry") & HighBit) != 0;
}

qint64 TResourceItem::SubDirectory() const
{
    const quint32 offset = Image().U32(m_dirEntry + 4, "resource directory entry") & ~HighBit;
    const qint64 directory = Image().ResourceBase() + offset;
    Image().Require(directory, DirectoryHeaderSize, "resource directory");
    return directory;
}

qint64 TResourceItem::DataEntry() const
{
    TExeImage &image = Image();
    const quint32 offset = image.U32(m_dirEntry + 4, "resource directory entry");
    qint64 dataEntry;
    if (offset & HighBit) {
        // The usual case: the first language entry below the name.
        const qint64 directory = SubDirectory();
        const quint32 count =
            quint32(image.U16(directory + 12, "resource directory")) + image.U16(directory + 14, "resource directory");
        if (count == 0)
            return -1;
        const quint32 child = image.U32(directory + DirectoryHeaderSize + 4, "resource directory entry");
        if (child & HighBit)
            return -1;
        dataEntry = image.ResourceBase() + child;
    } else {
        // An entry that points straight at its data has no language level.
        dataEntry = image.ResourceBase() + offset;
    }
    image.Require(dataEntry, DataEntrySize, "resource data entry");
    return dataEntry;
}

bool TResourceItem::IsList() const { return PointsToDirectory() && DataEntry() < 0; }

TResourceList *TResourceItem::List()
{
    if (!m_list) {
        if (!IsList())
            Fail(QStringLiteral("ResourceItem is not a list"));
        // A type's list is of that type; a deeper level keeps its parent's type.
        const quint32 resType = m_owner.IsRoot() ? EntryName() : ResType();
        m_list = std::make_unique<TResourceList>(Image(), SubDirectory(), resType, &m_owner);
    }
    return m_list.get();
}

qint64 TResourceItem::RawOffset() const
{
    // Judged by the directory, not by IsList: a group is a list of images
    // and still has data of its own.
    const qint64 dataEntry = DataEntry();
    if (dataEntry < 0)
        return -1;
    const quint32 rva = Image().U32(dataEntry, "resource data entry");
    const quint32 size = Image().U32(dataEntry + 4, "resource data entry");
    const qint64 offset = Image().ResourceBase() + (qint64(rva) - Image().ResourceVirtualAddress());
    Image().Require(offset, size, "resource data");
    return offset;
}

quint32 TResourceItem::RawSize() const
{
    const qint64 dataEntry = DataEntry();
    return dataEntry < 0 ? 0 : Image().U32(dataEntry + 4, "resource data entry");
}

QByteArray TResourceItem::RawData() const
{
    const qint64 offset = RawOffset();
    if (offset < 0)
        return {};
    return Image().Bytes(offset, RawSize(), "resource data");
}

QString TResourceItem::EntryNameText() const
{
    const quint32 name = EntryName();
    if (!(name & HighBit))
        return QString::number(name);
    const qint64 at = Image().ResourceBase() + (name & ~HighBit);
    const quint16 length = Image().U16(at, "resource name");
    const QByteArray units = Image().Bytes(at + 2, qint64(length) * 2, "resource name");
    QString text(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(units.constData() + 2 * i));
    return text;
}

QString TResourceItem::Name() const
{
    const quint32 name = EntryName();
    if (m_owner.IsRoot() && IsKnownResourceType(name))
        return ResourceTypeName(name);
    return EntryNameText();
}

void TResourceItem::SaveToStream(QIODevice &stream) const { stream.write(RawData()); }

void TResourceItem::CannotAssignTo(const char *target) const
{
    throw EConvertError(
        QStringLiteral("Cannot assign a %1 to a %2").arg(QLatin1String(ClassName()), QLatin1String(target)));
}

void TResourceItem::AssignTo(QImage &) const { CannotAssignTo("QImage"); }

void TResourceItem::AssignTo(QStringList &) const { CannotAssignTo("QStringList"); }

// ------------------------------------------------------ icon and cursor groups

TResourceList *TIconResource::List()
{
    if (!m_list)
        m_list = MakeGroupList();
    return m_list.get();
}

std::unique_ptr<TResourceList> TIconResource::MakeGroupList() const
{
    return std::make_unique<TIconResourceList>(Image(), RawOffset(), RawSize());
}

std::unique_ptr<TResourceList> TCursorResource::MakeGroupList() const
{
    return std::make_unique<TCursorResourceList>(Image(), RawOffset(), RawSize());
}

// ------------------------------------------------------ icon and cursor images

QString TIconResEntry::Name() const
{
    if (m_groupEntry < 0)
        return TResourceItem::Name();
    const QByteArray entry = Image().Bytes(m_groupEntry, GroupEntrySize, "icon group entry");
    return QStringLiteral("%1 X %2 %3 Colors").arg(quint8(entry[0])).arg(quint8(entry[1])).arg(quint8(entry[2]));
}

QSize TIconResEntry::GroupImageSize() const
{
    if (m_groupEntry < 0)
        return {};
    const QByteArray entry = Image().Bytes(m_groupEntry, GroupEntrySize, "icon group entry");
    return QSize(quint8(entry[0]), quint8(entry[1]));
}

QString TCursorResEntry::Name() const
{
    if (m_cursorGroupEntry < 0)
        return TIconResEntry::Name();
    // The width fills both numbers: the stored height counts the mask too.
    const quint16 width = Image().U16(m_cursorGroupEntry, "cursor group entry");
    const quint16 bits = Image().U16(m_cursorGroupEntry + 6, "cursor group entry");
    return QStringLiteral("%1 X %1 %2 Bit(s)").arg(width).arg(bits);
}

QSize TCursorResEntry::GroupImageSize() const
{
    if (m_cursorGroupEntry < 0)
        return TIconResEntry::GroupImageSize();
    const quint16 width = Image().U16(m_cursorGroupEntry, "cursor group entry");
    return QSize(width, width);
}

namespace {

constexpr int MaxIconSide = 1024;
constexpr char PngSignature[] = "\x89PNG\r\n\x1a\n";

// Header facts of an icon image that its file entry repeats.
struct IconImageHeader {
    int width = 0;
    int height = 0;
    int colours = 0;
    int bitCount = 0;
};

[[noreturn]] void DamagedIcon(const QString &why) { Fail(QStringLiteral("Damaged icon image: ") + why); }

bool IsPng(const QByteArray &data) { return data.startsWith(QByteArray(PngSignature, 8)); }

// Reads and checks the bitmap header of an icon image.
IconImageHeader ReadIconHeader(const QByteArray &data)
{
    if (data.size() < 40)
        DamagedIcon(QStringLiteral("too short"));
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const quint32 headerSize = qFromLittleEndian<quint32>(p);
    if (headerSize < 40 || headerSize > quint32(data.size()))
        DamagedIcon(QStringLiteral("unknown header size %1").arg(headerSize));
    IconImageHeader h;
    const qint32 width = qFromLittleEndian<qint32>(p + 4);
    const qint32 doubleHeight = qFromLittleEndian<qint32>(p + 8);
    h.bitCount = qFromLittleEndian<quint16>(p + 14);
    const quint32 compression = qFromLittleEndian<quint32>(p + 16);
    const quint32 used = qFromLittleEndian<quint32>(p + 32);
    if (width <= 0 || width > MaxIconSide || doubleHeight < 2 || doubleHeight > 2 * MaxIconSide)
        DamagedIcon(QStringLiteral("size %1 x %2").arg(width).arg(doubleHeight));
    if (compression != 0)
        DamagedIcon(QStringLiteral("compression %1").arg(compression));
    switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        DamagedIcon(QStringLiteral("%1 bits per pixel").arg(h.bitCount));
    }
    if (used > 256 || (h.bitCount <= 8 && used > (1u << h.bitCount)))
        DamagedIcon(QStringLiteral("%1 colours").arg(used));
    h.width = width;
    h.height = doubleHeight / 2; // the height counts the colour bits and the mask
    h.colours = int(used ? used : (h.bitCount <= 8 ? 1u << h.bitCount : 0u));
    return h;
}

QImage DecodeDib(const QByteArray &data)
{
    const IconImageHeader h = ReadIconHeader(data);
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 headerSize = qFromLittleEndian<quint32>(p);
    const qint64 palette = headerSize;
    const qint64 pixels = palette + 4 * qint64(h.colours);
    const qint64 colourStride = ((qint64(h.width) * h.bitCount + 31) / 32) * 4;
    const qint64 maskStride = ((qint64(h.width) + 31) / 32) * 4;
    const qint64 mask = pixels + colourStride * h.height;
    if (mask > data.size())
        DamagedIcon(QStringLiteral("pixel data missing"));
    // Some files leave the mask out; such an image is opaque.
    const bool hasMask = mask + maskStride * h.height <= data.size();
    const int paletteCount = h.bitCount <= 8 ? h.colours : 0;

    QImage image(h.width, h.height, QImage::Format_ARGB32);
    if (image.isNull())
        DamagedIcon(QStringLiteral("out of memory"));
    bool anyAlpha = false;
    for (int y = 0; y < h.height; ++y) {
        // Rows are stored bottom-up.
        const uchar *row = p + pixels + colourStride * (h.height - 1 - y);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < h.width; ++x) {
            QRgb colour = 0;
            if (h.bitCount <= 8) {
                const int perByte = 8 / h.bitCount;
                const int shift = 8 - h.bitCount * (x % perByte + 1);
                const int index = (row[x / perByte] >> shift) & ((1 << h.bitCount) - 1);
                if (index < paletteCount) {
                    const uchar *c = p + palette + 4 * index;
                    colour = qRgb(c[2], c[1], c[0]);
                } else {
                    colour = qRgb(0, 0, 0);
                }
            } else if (h.bitCount == 16) {
                const quint16 v = qFromLittleEndian<quint16>(row + 2 * x);
                colour = qRgb(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
            } else if (h.bitCount == 24) {
                const uchar *c = row + 3 * x;
                colour = qRgb(c[2], c[1], c[0]);
            } else {
                const uchar *c = row + 4 * x;
                colour = qRgba(c[2], c[1], c[0], c[3]);
                anyAlpha = anyAlpha || c[3] != 0;
            }
            out[x] = h.bitCount == 32 ? colour : (colour | 0xFF000000u);
        }
    }
    // A 32-bit image without any alpha is opaque like the others.
    if (h.bitCount == 32 && !anyAlpha) {
        for (int y = 0; y < h.height; ++y) {
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < h.width; ++x)
                out[x] |= 0xFF000000u;
        }
    }
    // An image with an alpha channel ignores the mask; any other image is
    // transparent where the mask bit is set.
    if (hasMask && !(h.bitCount == 32 && anyAlpha)) {
        for (int y = 0; y < h.height; ++y) {
            const uchar *row = p + mask + maskStride * (h.height - 1 - y);
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < h.width; ++x) {
                const bool transparent = (row[x / 8] >> (7 - x % 8)) & 1;
                if (transparent)
                    out[x] = 0u;
            }
        }
    }
    return image;
}

} // namespace

QImage DecodeIconImage(const QByteArray &data, bool cursor)
{
    QByteArray bits = data;
    if (cursor) {
        // A cursor image starts with its hot spot.
        if (data.size() < 4)
            DamagedIcon(QStringLiteral("too short"));
        bits = data.mid(4);
    }
    if (IsPng(bits)) {
        QImage image;
        if (!image.loadFromData(bits, "PNG"))
            DamagedIcon(QStringLiteral("unreadable PNG"));
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    return DecodeDib(bits);
}

void TIconResEntry::AssignTo(QImage &picture) const { picture = DecodeIconImage(RawData(), IsCursorImage()); }

void TIconResEntry::SaveToStream(QIODevice &stream) const
{
    // A one-image icon (or cursor) file: directory, one entry, the image bytes.
    const QByteArray data = RawData();
    const bool cursor = IsCursorImage();
    DecodeIconImage(data, cursor); // only sound images are written
    const QByteArray bits = cursor ? data.mid(4) : data;
    int width = 0, height = 0, colours = 0, planes = 1, bitCount = 0;
    if (!IsPng(bits)) {
        const IconImageHeader h = ReadIconHeader(bits);
        width = h.width;
        height = h.height;
        colours = h.bitCount <= 8 ? h.colours : 0;
        bitCount = h.bitCount;
    }
    if (cursor) {
        // A cursor file keeps the hot spot where an icon file keeps planes and bits.
        planes = qFromLittleEndian<quint16>(data.constData());
        bitCount = qFromLittleEndian<quint16>(data.constData() + 2);
    }
    QByteArray file(22, '\0');
    auto *f = reinterpret_cast<uchar *>(file.data());
    qToLittleEndian<quint16>(0, f);
    qToLittleEndian<quint16>(cursor ? 2 : 1, f + 2);
    qToLittleEndian<quint16>(1, f + 4);
    f[6] = uchar(width >= 256 ? 0 : width);
    f[7] = uchar(height >= 256 ? 0 : height);
    f[8] = uchar(colours >= 256 ? 0 : colours);
    qToLittleEndian<quint16>(quint16(planes), f + 10);
    qToLittleEndian<quint16>(quint16(bitCount), f + 12);
    qToLittleEndian<quint32>(quint32(bits.size()), f + 14);
    qToLittleEndian<quint32>(22, f + 18);
    stream.write(file);
    stream.write(bits);
}

// ------------------------------------------------------------------ bitmaps

namespace {

int PaletteSize(int bitCount)
{
    switch (bitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

} // namespace

QByteArray TBitMapResource::FileHeader() const
{
    const QByteArray data = RawData();
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    auto need = [&](qint64 bytes) {
        if (data.size() < bytes)
            Fail(QStringLiteral("Damaged bitmap resource %1: its header is cut short").arg(Name()));
    };
    need(4);
    const quint32 headerSize = qFromLittleEndian<quint32>(p);
    quint64 bitsOffset;
    if (headerSize >= 40) {
        // An information header (40 bytes or one of its longer versions):
        // colour masks when its compression says so, then the colour table.
        need(36);
        const int bitCount = qFromLittleEndian<quint16>(p + 14);
        const quint32 compression = qFromLittleEndian<quint32>(p + 16);
        const quint32 used = qFromLittleEndian<quint32>(p + 32);
        const quint64 colours = used ? used : quint64(PaletteSize(bitCount));
        quint64 masks = 0;
        if (headerSize == 40 && compression == 3) // BI_BITFIELDS
            masks = 12;
        else if (headerSize == 40 && compression == 6) // BI_ALPHABITFIELDS
            masks = 16;
        bitsOffset = 14 + quint64(headerSize) + masks + 4 * colours;
    } else {
        // A core header: three bytes per colour.
        need(12);
        const int bitCount = qFromLittleEndian<quint16>(p + 10);
        bitsOffset = 14 + 12 + 3 * quint64(PaletteSize(bitCount));
    }
    QByteArray header(14, '\0');
    auto *h = reinterpret_cast<uchar *>(header.data());
    qToLittleEndian<quint16>(0x4D42, h);
    qToLittleEndian<quint32>(quint32(quint64(data.size()) + 14), h + 2);
    qToLittleEndian<quint32>(quint32(bitsOffset), h + 10);
    return header;
}

void TBitMapResource::SaveToStream(QIODevice &stream) const
{
    const QByteArray header = FileHeader();
    stream.write(header);
    stream.write(RawData());
}

void TBitMapResource::AssignTo(QImage &picture) const
{
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    SaveToStream(buffer);
    QImage image;
    if (!image.loadFromData(file, "BMP"))
        Fail(QStringLiteral("Damaged bitmap resource %1: not a readable bitmap").arg(Name()));
    picture = image;
}

// ------------------------------------------------------------ string tables

void TStringResource::AssignTo(QStringList &lines) const
{
    if (IsNamed())
        Fail(QStringLiteral("Damaged string table %1: a block is known by its number").arg(Name()));
    const QByteArray data = RawData();
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qint64 firstId = (qint64(EntryName()) - 1) * 16;
    QStringList result;
    qint64 at = 0;
    for (int position = 0; position < 16; ++position) {
        if (at + 2 > data.size())
            Fail(QStringLiteral("Damaged string table %1: the block is cut short").arg(Name()));
        const quint16 length = qFromLittleEndian<quint16>(p + at);
        at += 2;
        if (at + 2 * qint64(length) > data.size())
            Fail(QStringLiteral("Damaged string table %1: the block is cut short").arg(Name()));
        if (length == 0)
            continue;
        QString text(length, Qt::Uninitialized);
        for (int i = 0; i < length; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(p + at + 2 * i));
        at += 2 * qint64(length);
        result.append(QStringLiteral("%1,  \"%2\"").arg(firstId + position).arg(text));
    }
    // The target changes only when the whole block was read.
    lines = result;
}

// -------------------------------------------------------------------- menus

namespace {

constexpr quint16 MenuPopup = 0x10;
constexpr quint16 MenuEnd = 0x80;
// An extended item: it has sub-items (bResInfo 0x01), it is a separator (MFT_SEPARATOR).
constexpr quint16 MenuExPopup = 0x01;
constexpr quint32 MenuExSeparator = 0x800;

// The lines of a menu listing: two blanks per open pop-up before each item,
// and an ENDPOPUP line where a pop-up's last item closes it.
class MenuListing {
public:
    // Adds an item; true when it was the last item of the menu bar itself.
    bool Add(const QString &line, bool popup, bool last)
    {
        m_lines.append(Indent() + line);
        if (popup) {
            m_open.append(last);
            return false;
        }
        // The last item of a pop-up closes it, and with it every pop-up that
        // was itself the last of its menu.
        bool closes = last;
        while (closes) {
            if (m_open.isEmpty())
                return true;
            closes = m_open.takeLast();
            m_lines.append(Indent() + QStringLiteral("ENDPOPUP"));
        }
        return false;
    }
    const QStringList &Lines() const { return m_lines; }

private:
    QString Indent() const { return QString(2 * m_open.size(), QLatin1Char(' ')); }

    QStringList m_lines;
    // For each open pop-up: whether it was the last item of its own menu.
    QList<bool> m_open;
};

// Reads the little-endian values of a menu template; anything past its end
// is damage.
class MenuReader {
public:
    MenuReader(const QByteArray &data, const TResourceItem &menu) : m_data(data), m_menu(menu) {}

    [[noreturn]] void Damaged(const char *why) const
    {
        Fail(QStringLiteral("Damaged menu %1: %2").arg(m_menu.Name(), QLatin1String(why)));
    }

    qint64 At() const { return m_at; }
    qint64 Size() const { return m_data.size(); }
    bool AtEnd() const { return m_at >= m_data.size(); }
    void Seek(qint64 at) { m_at = at; }
    // Items of an extended menu start on 32-bit boundaries of the template.
    void Align() { m_at = (m_at + 3) & ~qint64(3); }
    quint16 U16() { return quint16(Take(2)); }
    quint32 U32() { return quint32(Take(4)); }
    QString Text()
    {
        QString text;
        for (quint16 unit = U16(); unit != 0; unit = U16())
            text.append(QChar(unit));
        return text;
    }

private:
    quint64 Take(int bytes)
    {
        if (m_at + bytes > m_data.size())
            Damaged("an item is cut short");
        const auto *p = reinterpret_cast<const uchar *>(m_data.constData()) + m_at;
        m_at += bytes;
        return bytes == 2 ? qFromLittleEndian<quint16>(p) : qFromLittleEndian<quint32>(p);
    }

    const QByteArray &m_data;
    const TResourceItem &m_menu;
    qint64 m_at = 0;
};

// The classic template: flags, an identifier unless the item is a pop-up, text.
QStringList ListStandardMenu(MenuReader &reader)
{
    MenuListing listing;
    reader.Seek(4);
    while (!reader.AtEnd()) {
        const quint16 flags = reader.U16();
        const bool popup = flags & MenuPopup;
        const quint16 id = popup ? 0 : reader.U16();
        const QString text = reader.Text();
        QString line;
        if (text.isEmpty())
            line = QStringLiteral("MENUITEM SEPARATOR");
        else if (popup)
            line = QStringLiteral("POPUP \"%1\"").arg(text);
        else
            line = QStringLiteral("MENUITEM \"%1\",  %2").arg(text).arg(id);
        if (listing.Add(line, popup, flags & MenuEnd))
            break;
    }
    return listing.Lines();
}

// The extended template (version 1): type, state, a 32-bit identifier,
// flags and text for every item; a pop-up adds its help identifier and is
// followed by its items.
QStringList ListExtendedMenu(MenuReader &reader)
{
    MenuListing listing;
    reader.Seek(2);
    const qint64 firstItem = 4 + qint64(reader.U16());
    reader.Seek(firstItem);
    if (reader.At() > reader.Size())
        reader.Damaged("its header is cut short");
    while (true) {
        reader.Align();
        if (reader.AtEnd())
            break;
        const quint32 type = reader.U32();
        const quint32 state = reader.U32();
        const qint32 id = qint32(reader.U32());
        const quint16 flags = reader.U16();
        const QString text = reader.Text();
        const bool popup = flags & MenuExPopup;
        if (popup) {
            reader.Align();
            reader.U32(); // help identifier
        }
        const QString values = QStringLiteral(",  %1,  type 0x%2,  state 0x%3")
                                   .arg(id)
                                   .arg(QString::number(type, 16).toUpper(), QString::number(state, 16).toUpper());
        QString line;
        if (popup)
            line = QStringLiteral("POPUP \"%1\"").arg(text) + values;
        else if (type & MenuExSeparator)
            line = QStringLiteral("MENUITEM SEPARATOR");
        else
            line = QStringLiteral("MENUITEM \"%1\"").arg(text) + values;
        if (listing.Add(line, popup, flags & MenuEnd))
            break;
    }
    return listing.Lines();
}

} // namespace

void TMenuResource::AssignTo(QStringList &lines) const
{
    const QByteArray data = RawData();
    MenuReader reader(data, *this);
    if (data.size() < 4)
        reader.Damaged("its header is cut short");
    const quint16 version = reader.U16();
    QStringList result;
    switch (version) {
    case 0:
        result = ListStandardMenu(reader);
        break;
    case 1:
        result = ListExtendedMenu(reader);
        break;
    default:
        Fail(QStringLiteral("Damaged menu %1: unknown template version %2").arg(Name()).arg(version));
    }
    // The target changes only when the whole menu was read.
    lines = result;
}
