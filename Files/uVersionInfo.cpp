#include "Files/uVersionInfo.h"

#include "Files/uElfImage.h"
#include "Files/uFilesLog.h"
#include "Files/uVersionResource.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr quint32 FixedInfoSignature = 0xFEEF04BDu;
constexpr qint64 FixedInfoSize = 52;
constexpr qint64 BlockHeaderSize = 6;

[[noreturn]] void Damaged(const QString &why) { throw EExeError(QStringLiteral("Damaged version resource: ") + why); }

// Offsets in a version resource are aligned to 32 bits from its start.
qint64 Align4(qint64 offset) { return (offset + 3) & ~qint64(3); }

// One block of the resource: length, value length, type, key, value and
// children, all within [start, end).
struct Block {
    qint64 start = 0;
    qint64 end = 0;
    quint16 valueLength = 0;
    quint16 type = 0;
    QString key;
    qint64 value = 0;
};

class BlockReader {
public:
    explicit BlockReader(const QByteArray &data) : m_data(reinterpret_cast<const uchar *>(data.constData())) {}

    quint16 U16(qint64 at) const { return qFromLittleEndian<quint16>(m_data + at); }
    quint32 U32(qint64 at) const { return qFromLittleEndian<quint32>(m_data + at); }

    // The block at `at`, which must end by `limit`. A length past the limit
    // is cut to it: some files count the padding of their parent too.
    Block Read(qint64 at, qint64 limit) const
    {
        if (at + BlockHeaderSize > limit)
            Damaged(QStringLiteral("block at offset %1 is cut short").arg(at));
        Block b;
        b.start = at;
        const quint16 length = U16(at);
        if (length < BlockHeaderSize)
            Damaged(QStringLiteral("block at offset %1 has length %2").arg(at).arg(length));
        b.end = qMin(at + length, limit);
        b.valueLength = U16(at + 2);
        b.type = U16(at + 4);
        b.key = Text(at + BlockHeaderSize, b.end, &b.value, true);
        b.value = Align4(b.value);
        return b;
    }

    // Zero-terminated UTF-16 text from `at`, before `end`. `after` receives
    // the offset behind the terminator. Without a terminator the key is
    // damaged; a value simply ends with the block.
    QString Text(qint64 at, qint64 end, qint64 *after, bool mustEnd) const
    {
        QString text;
        while (at + 2 <= end) {
            const quint16 unit = U16(at);
            at += 2;
            if (unit == 0) {
                if (after)
                    *after = at;
                return text;
            }
            text.append(QChar(unit));
        }
        if (mustEnd)
            Damaged(QStringLiteral("a key is not terminated"));
        if (after)
            *after = end;
        return text;
    }

    // The children of a block start after its value and follow each other on
    // 32-bit boundaries; zero padding ends them.
    template <typename Visit>
    void Children(const Block &parent, qint64 first, Visit visit) const
    {
        qint64 at = Align4(first);
        while (at + BlockHeaderSize <= parent.end) {
            if (U16(at) == 0)
                break;
            const Block child = Read(at, parent.end);
            visit(child);
            at = Align4(child.end);
        }
    }

private:
    const uchar *m_data;
};

QString VersionText(quint32 ms, quint32 ls)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ms >> 16).arg(ms & 0xFFFF).arg(ls >> 16).arg(ls & 0xFFFF);
}

} // namespace

QString TFixedFileInfo::FileVersion() const { return VersionText(FileVersionMS, FileVersionLS); }

QString TFixedFileInfo::ProductVersion() const { return VersionText(ProductVersionMS, ProductVersionLS); }

TVersionInfo::TVersionInfo(const QByteArray &data) { Parse(data); }

void TVersionInfo::Parse(const QByteArray &data)
{
    const BlockReader reader(data);
    const Block root = reader.Read(0, data.size());
    if (root.key != QLatin1String("VS_VERSION_INFO"))
        Damaged(QStringLiteral("it starts with \"%1\"").arg(root.key));

    const qint64 valueEnd = root.value + root.valueLength;
    if (valueEnd > root.end)
        Damaged(QStringLiteral("the fixed file information is cut short"));
    if (root.valueLength >= FixedInfoSize) {
        quint32 fields[13];
        for (int i = 0; i < 13; ++i)
            fields[i] = reader.U32(root.value + 4 * i);
        if (fields[0] == FixedInfoSignature) {
            m_hasFixedInfo = true;
            m_fixedInfo = {fields[0], fields[1], fields[2], fields[3],  fields[4],  fields[5], fields[6],
                           fields[7], fields[8], fields[9], fields[10], fields[11], fields[12]};
        }
    }

    reader.Children(root, valueEnd, [&](const Block &part) {
        if (part.key.compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) == 0) {
            reader.Children(part, part.value, [&](const Block &table) {
                TVersionStringTable strings;
                strings.Key = table.key;
                reader.Children(table, table.value, [&](const Block &string) {
                    // The value length counts characters in most files and
                    // bytes in some: the text simply ends at its terminator.
                    const QString value =
                        string.valueLength == 0 ? QString() : reader.Text(string.value, string.end, nullptr, false);
                    strings.Strings.append({string.key, value});
                });
                m_stringTables.append(strings);
            });
        } else if (part.key.compare(QLatin1String("VarFileInfo"), Qt::CaseInsensitive) == 0) {
            reader.Children(part, part.value, [&](const Block &var) {
                if (var.key.compare(QLatin1String("Translation"), Qt::CaseInsensitive) != 0)
                    return;
                const qint64 end = qMin(var.value + var.valueLength, var.end);
                for (qint64 at = var.value; at + 4 <= end; at += 4)
                    m_translations.append(reader.U32(at));
            });
        }
    });
}

std::optional<TVersionInfo> TVersionInfo::FromImage(TExeImage &image)
{
    if (!image.HasResources())
        return std::nullopt;
    TResourceList *types = image.Resources();
    for (int t = 0; t < types->Count(); ++t) {
        TResourceItem *type = types->Items(t);
        if (type->IsNamed() || type->EntryName() != rtVersion || !type->IsList())
            continue;
        TResourceList *versions = type->List();
        if (versions->Count() == 0)
            return std::nullopt;
        // The version API reads the resource numbered 1.
        TResourceItem *chosen = versions->Items(0);
        for (int i = 0; i < versions->Count(); ++i)
            if (versions->Items(i)->EntryName() == 1) {
                chosen = versions->Items(i);
                break;
            }
        if (chosen->IsList())
            Damaged(QStringLiteral("its directory nests one level too deep"));
        return TVersionInfo(chosen->RawData());
    }
    return std::nullopt;
}

std::optional<TVersionInfo> TVersionInfo::FromElf(const TElfImage &image)
{
    const QByteArray sectionName(VersionResource::VersionSectionName.data(),
                                 qsizetype(VersionResource::VersionSectionName.size()));
    const std::optional<QByteArray> section = image.Section(sectionName);
    if (!section)
        return std::nullopt;
    return TVersionInfo(*section);
}

namespace {

bool IsElfFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) && TElfImage::HasElfSignature(file.read(4));
}

} // namespace

std::optional<TVersionInfo> TVersionInfo::FromFile(const QString &fileName)
{
    if (IsElfFile(fileName))
        return FromElf(TElfImage(fileName));
    std::unique_ptr<TExeImage> image;
    try {
        image = std::make_unique<TExeImage>(fileName);
    } catch (const EExeError &e) {
        qCDebug(lcFiles) << fileName << "has no version:" << e.message();
        return std::nullopt;
    }
    return FromImage(*image);
}

bool TVersionInfo::QueryValue(const QString &path, QString *value) const
{
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (value)
        value->clear();
    if (parts.isEmpty())
        return m_hasFixedInfo;
    if (parts.size() != 3 || parts[0].compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) != 0)
        return false;
    for (const TVersionStringTable &table : m_stringTables) {
        if (table.Key.compare(parts[1], Qt::CaseInsensitive) != 0)
            continue;
        for (const TVersionString &string : table.Strings)
            if (string.Key.compare(parts[2], Qt::CaseInsensitive) == 0) {
                if (value)
                    *value = string.Value;
                return true;
            }
        return false;
    }
    return false;
}

QString TVersionInfo::Value(const QString &path) const
{
    QString value;
    QueryValue(path, &value);
    return value;
}

QString TVersionInfo::StringValue(const QString &table, const QString &key) const
{
    return Value(QStringLiteral("\\StringFileInfo\\%1\\%2").arg(table, key));
}
