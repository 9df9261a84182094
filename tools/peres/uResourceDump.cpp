#include "tools/peres/uResourceDump.h"

#include "Files/uPE32Image.h"
#include "Files/uVersionInfo.h"

#include <QBuffer>
#include <QtEndian>

#include <functional>
#include <memory>

namespace {

// The version values that the listing ends with, from the Russian block.
const char *const VersionTable = "041904E3";
const char *const VersionKeys[] = {"FileDescription", "ProductVersion", "ProductName"};

void Line(QByteArray &out, int level, const QString &text)
{
    out += QByteArray(2 * level, ' ');
    out += text.toUtf8();
    out += '\n';
}

// What one resource holds, one level below its name.
void DumpItemDetails(TResourceItem *item, QByteArray &out)
{
    if (auto *group = dynamic_cast<TIconResource *>(item)) {
        TResourceList *images = group->List();
        for (int i = 0; i < images->Count(); ++i)
            Line(out, 3, images->Items(i)->Name());
    } else if (dynamic_cast<TStringResource *>(item) || dynamic_cast<TMenuResource *>(item)) {
        QStringList lines;
        item->AssignTo(lines);
        for (const QString &line : lines)
            Line(out, 3, line);
    } else if (dynamic_cast<TBitMapResource *>(item)) {
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        item->SaveToStream(buffer);
        const quint32 bitsOffset = file.size() >= 14 ? qFromLittleEndian<quint32>(file.constData() + 10) : 0;
        Line(out, 3, QStringLiteral("BMP %1 %2").arg(file.size()).arg(bitsOffset));
    }
}

// Runs one step of the listing. A damaged resource gives its ERROR line at
// `level`, where its own lines would have gone, and the listing goes on.
bool Listed(QByteArray &out, int level, const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const EExeError &e) {
        Line(out, level, QStringLiteral("ERROR ") + e.message());
        return false;
    }
}

// The names of one type's resources and what each holds; false when any failed.
bool DumpType(TResourceItem *type, QByteArray &out)
{
    QString typeName;
    if (!Listed(out, 1, [&] { typeName = type->Name(); }))
        return false;
    Line(out, 1, typeName);
    TResourceList *items = nullptr;
    int count = 0;
    if (!Listed(out, 2, [&] {
            items = type->List();
            count = items->Count();
        }))
        return false;
    bool listed = true;
    for (int i = 0; i < count; ++i) {
        TResourceItem *item = items->Items(i);
        QString name;
        if (!Listed(out, 2, [&] { name = item->Name(); })) {
            listed = false;
            continue;
        }
        Line(out, 2, name);
        listed = Listed(out, 3, [&] { DumpItemDetails(item, out); }) && listed;
    }
    return listed;
}

int Dump(const std::function<std::unique_ptr<TExeImage>()> &open, const QByteArray &shownName, QByteArray &out)
{
    out += shownName;
    out += '\n';
    std::unique_ptr<TExeImage> image;
    int typeCount = 0;
    // Without the image and its list of types there is nothing more to list.
    if (!Listed(out, 1, [&] {
            image = open();
            typeCount = image->Resources()->Count();
        }))
        return 1;
    bool listed = true;
    for (int t = 0; t < typeCount; ++t)
        listed = DumpType(image->Resources()->Items(t), out) && listed;
    listed =
        Listed(out, 1,
               [&] {
                   const std::optional<TVersionInfo> version = TVersionInfo::FromImage(*image);
                   QByteArray values;
                   for (const char *key : VersionKeys) {
                       const QString value =
                           version ? version->StringValue(QLatin1String(VersionTable), QLatin1String(key)) : QString();
                       Line(values, 1, QLatin1String(key) + QLatin1Char('=') + value);
                   }
                   out += values;
               }) &&
        listed;
    return listed ? 0 : 1;
}

} // namespace

int DumpResourceFile(const QString &fileName, const QByteArray &shownName, QByteArray &out)
{
    return Dump([&] { return std::make_unique<TExeImage>(fileName); }, shownName, out);
}

int DumpResourceBytes(const QByteArray &bytes, const QByteArray &shownName, QByteArray &out)
{
    return Dump([&] { return std::make_unique<TExeImage>(bytes, QString::fromUtf8(shownName)); }, shownName, out);
}
