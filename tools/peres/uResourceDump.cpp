#include "uResourceDump.h"

#include "uPE32Image.h"
#include "uVersionInfo.h"

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

int Dump(const std::function<std::unique_ptr<TExeImage>()> &open, const QByteArray &shownName, QByteArray &out)
{
    out += shownName;
    out += '\n';
    try {
        const std::unique_ptr<TExeImage> image = open();
        TResourceList *types = image->Resources();
        for (int t = 0; t < types->Count(); ++t) {
            TResourceItem *type = types->Items(t);
            Line(out, 1, type->Name());
            TResourceList *items = type->List();
            for (int i = 0; i < items->Count(); ++i) {
                TResourceItem *item = items->Items(i);
                Line(out, 2, item->Name());
                DumpItemDetails(item, out);
            }
        }
        const std::optional<TVersionInfo> version = TVersionInfo::FromImage(*image);
        for (const char *key : VersionKeys) {
            const QString value =
                version ? version->StringValue(QLatin1String(VersionTable), QLatin1String(key)) : QString();
            Line(out, 1, QLatin1String(key) + QLatin1Char('=') + value);
        }
    } catch (const EExeError &e) {
        Line(out, 1, QStringLiteral("ERROR ") + e.message());
        return 1;
    }
    return 0;
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
