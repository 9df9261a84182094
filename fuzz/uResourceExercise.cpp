#include "fuzz/uResourceExercise.h"

#include "Files/uElfImage.h"
#include "Files/uMultiIcoFromResource.h"
#include "Files/uPE32Image.h"
#include "Files/uVersionInfo.h"
#include "tools/peres/uResourceDump.h"

#include <QBuffer>
#include <QImage>

namespace {

template <typename Step>
void Guard(QStringList &errors, Step step)
{
    try {
        step();
    } catch (const EExeError &e) {
        errors.append(e.message());
    }
}

void Save(const TResourceItem *item)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    item->SaveToStream(buffer);
}

void ExerciseItem(TResourceItem *item, QStringList &errors);

// A damaged list fails the same way for item after item: a few dozen of its
// errors tell all there is to tell.
constexpr int MaxErrorsPerList = 32;

void ExerciseList(TResourceList *list, QStringList &errors)
{
    const qsizetype before = errors.size();
    int count = 0;
    Guard(errors, [&] { count = list->Count(); });
    for (int i = 0; i < count && errors.size() - before < MaxErrorsPerList; ++i)
        ExerciseItem(list->Items(i), errors);
}

void ExerciseItem(TResourceItem *item, QStringList &errors)
{
    Guard(errors, [&] { item->Name(); });
    Guard(errors, [&] {
        item->RawOffset();
        item->RawSize();
        item->RawData();
    });
    Guard(errors, [&] { Save(item); });
    QImage picture;
    QStringList lines;
    if (auto *group = dynamic_cast<TIconResource *>(item)) {
        Guard(errors, [&] {
            TResourceList *images = group->List();
            for (int i = 0; i < images->Count(); ++i) {
                TResourceItem *image = images->Items(i);
                Guard(errors, [&] { image->Name(); });
                Guard(errors, [&] { image->AssignTo(picture); });
                Guard(errors, [&] { Save(image); });
                if (auto *entry = dynamic_cast<TIconResEntry *>(image))
                    Guard(errors, [&] { entry->GroupImageSize(); });
            }
        });
        return;
    }
    if (dynamic_cast<TStringResource *>(item) || dynamic_cast<TMenuResource *>(item))
        Guard(errors, [&] { item->AssignTo(lines); });
    else if (dynamic_cast<TBitMapResource *>(item) || dynamic_cast<TIconResEntry *>(item))
        Guard(errors, [&] { item->AssignTo(picture); });
    bool isList = false;
    Guard(errors, [&] { isList = item->IsList(); });
    if (isList)
        Guard(errors, [&] { ExerciseList(item->List(), errors); });
}

// Every value of a version resource, as the version list and the console read them.
void ExerciseVersion(const TVersionInfo &version)
{
    for (const TVersionStringTable &table : version.StringTables())
        for (const TVersionString &string : table.Strings)
            version.Value(QStringLiteral("\\StringFileInfo\\%1\\%2").arg(table.Key, string.Key));
    version.Exists(QStringLiteral("\\StringFileInfo\\041904E3\\SpecialBuild"));
    version.FixedInfo().FileVersion();
}

} // namespace

QStringList ExerciseImage(TExeImage &image)
{
    QStringList errors;
    TResourceList *types = nullptr;
    Guard(errors, [&] { types = image.Resources(); });
    if (!types)
        return errors;
    ExerciseList(types, errors);
    for (TResourceItem *imageType : {image.IconImages(), image.CursorImages()})
        if (imageType)
            ExerciseItem(imageType, errors);

    // The best icon of every icon group, by a few sizes.
    Guard(errors, [&] {
        for (int t = 0; t < types->Count(); ++t) {
            TResourceItem *type = types->Items(t);
            if (type->Name() != QLatin1String("Icon") || !type->IsList())
                continue;
            TResourceList *groups = type->List();
            for (int g = 0; g < groups->Count(); ++g) {
                const QString name = groups->Items(g)->Name();
                for (int size : {16, 32, 48})
                    Guard(errors, [&] { GetBestIconImage(image, name, size, size); });
            }
        }
    });
    Guard(errors, [&] { GetBestIconImage(image, QStringLiteral("NO SUCH ICON"), 32, 32); });

    // The version resource as the version list reads it, and every version item alone.
    Guard(errors, [&] {
        if (const auto version = TVersionInfo::FromImage(image))
            ExerciseVersion(*version);
    });
    Guard(errors, [&] {
        for (int t = 0; t < types->Count(); ++t) {
            TResourceItem *type = types->Items(t);
            if (type->IsNamed() || type->EntryName() != rtVersion || !type->IsList())
                continue;
            TResourceList *versions = type->List();
            for (int i = 0; i < versions->Count(); ++i)
                Guard(errors, [&] { TVersionInfo version(versions->Items(i)->RawData()); });
        }
    });
    return errors;
}

QStringList ExerciseBytes(const QByteArray &bytes)
{
    QStringList errors;
    QByteArray listing;
    DumpResourceBytes(bytes, QByteArrayLiteral("input"), listing);
    Guard(errors, [&] {
        TExeImage image(bytes, QStringLiteral("input"));
        errors += ExerciseImage(image);
    });
    // The version section of an ELF file.
    Guard(errors, [&] {
        const TElfImage elf(bytes, QStringLiteral("input"));
        if (const auto version = TVersionInfo::FromElf(elf))
            ExerciseVersion(*version);
    });
    // The decoders on their own, for inputs that are no PE file.
    Guard(errors, [&] { TVersionInfo version(bytes); });
    Guard(errors, [&] { DecodeIconImage(bytes, false); });
    Guard(errors, [&] { DecodeIconImage(bytes, true); });
    return errors;
}
