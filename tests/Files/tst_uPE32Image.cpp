// The executable-image reader on PE files built byte by byte: opening and
// header checks, the resource tree, names, and the decoding of each kind.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "uPE32Image.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <QtTest>

class TestPE32Image : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Write(const QString &name, const QByteArray &bytes) { return WriteTestFile(m_dir, name, bytes); }

private slots:
    void constructorFailsWithItsMessages();
    void unmappableFileFails();
    void headersOfPE32AndPE32Plus_data();
    void headersOfPE32AndPE32Plus();
    void optionalHeaderSizeIsTakenFromTheFileHeader();
    void resourceSectionIsFoundByNameInAnyCase();
    void typesAreNamedByNumberOrName();
    void itemClassFollowsTheType();
    void imageTypesAreReachedOnlyThroughGroups();
    void iconAndCursorGroupsNameTheirImages();
    void groupWithoutImageTypeIsEmpty();
    void iconImagesDecodeAndSave();
    void onlyListsHaveLists();
    void rawDataIsThatOfTheFirstLanguage();
    void entryPointingStraightAtDataHasNoLanguageLevel();
    void stringTableLines();
    void stringTableCutShortLeavesTheListAlone_data();
    void stringTableCutShortLeavesTheListAlone();
    void menuLines_data();
    void menuLines();
    void damagedMenuFails();
    void bitmapFileHeader_data();
    void bitmapFileHeader();
    void bitmapDecodesToPicture();
    void assigningToAnotherKindFails();
};

void TestPE32Image::constructorFailsWithItsMessages()
{
    QVERIFY(m_dir.isValid());
    const QString missing = m_dir.filePath(QStringLiteral("missing.dll"));
    QCOMPARE(ExeErrorOf([&] { TExeImage image(missing); }), QStringLiteral("Couldn't open: ") + missing);
    // A folder is no file.
    QCOMPARE(ExeErrorOf([&] { TExeImage image(m_dir.path()); }), QStringLiteral("Couldn't open: ") + m_dir.path());
    // A file of no bytes cannot be mapped.
    const QString empty = Write(QStringLiteral("empty.dll"), {});
    QCOMPARE(ExeErrorOf([&] { TExeImage image(empty); }), QStringLiteral("CreateFileMapping failed"));

    const QString unrecognized = QStringLiteral("unrecognized file format");
    QCOMPARE(ExeErrorOf([&] { TExeImage image(Write(QStringLiteral("zm.dll"), QByteArray("ZM") + QByteArray(200, 0))); }),
             unrecognized);
    QCOMPARE(ExeErrorOf([&] { TExeImage image(Write(QStringLiteral("m.dll"), "M")); }), unrecognized);
    QCOMPARE(ExeErrorOf([&] { TExeImage image(QByteArray("mz\0\0", 4), QStringLiteral("lower")); }), unrecognized);

    const QString notPE = QStringLiteral("Not a PE (WIN32 Executable) file");
    PeLayout layout;
    const QByteArray good = PeBuilder().Build(&layout);
    // The offset at 0x3C cannot even be read.
    QCOMPARE(ExeErrorOf([&] { TExeImage image(good.left(0x3E), QStringLiteral("short")); }), notPE);
    // The offset points outside the file.
    QByteArray outside = good;
    PeBuilder::PutU32(outside, 0x3C, quint32(good.size() - 2));
    QCOMPARE(ExeErrorOf([&] { TExeImage image(Write(QStringLiteral("outside.dll"), outside)); }), notPE);
    PeBuilder::PutU32(outside, 0x3C, 0xFFFFFFF0u);
    QCOMPARE(ExeErrorOf([&] { TExeImage image(outside, QStringLiteral("far")); }), notPE);
    // Another signature.
    QByteArray ne = good;
    ne[layout.ntHeaders] = 'N';
    QCOMPARE(ExeErrorOf([&] { TExeImage image(ne, QStringLiteral("ne")); }), notPE);
    QByteArray peWithoutZeros = good;
    peWithoutZeros[layout.ntHeaders + 2] = 'X';
    QCOMPARE(ExeErrorOf([&] { TExeImage image(peWithoutZeros, QStringLiteral("pex")); }), notPE);
    // The headers are cut off inside the optional header.
    QCOMPARE(ExeErrorOf([&] { TExeImage image(good.left(layout.ntHeaders + 24 + 100), QStringLiteral("cut")); }),
             notPE);
    // The whole file is fine.
    QCOMPARE(ExeErrorOf([&] { TExeImage image(Write(QStringLiteral("good.dll"), good)); }), QStringLiteral("<none>"));
}

void TestPE32Image::unmappableFileFails()
{
    // Attribute files of the kernel's sysfs can be read but not mapped.
    const QStringList candidates = {QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"),
                                    QStringLiteral("/sys/power/state"),
                                    QStringLiteral("/sys/devices/system/cpu/online")};
    for (const QString &path : candidates) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
            continue;
        if (file.map(0, file.size()))
            continue;
        QCOMPARE(ExeErrorOf([&] { TExeImage image(path); }), QStringLiteral("MapViewOfFile failed"));
        return;
    }
    QSKIP("no readable file that refuses to be mapped on this machine");
}

void TestPE32Image::headersOfPE32AndPE32Plus_data()
{
    QTest::addColumn<bool>("pe32Plus");
    QTest::newRow("PE32") << false;
    QTest::newRow("PE32+") << true;
}

void TestPE32Image::headersOfPE32AndPE32Plus()
{
    QFETCH(bool, pe32Plus);
    PeBuilder builder;
    builder.pe32Plus = pe32Plus;
    builder.Add(10, 7, "seven");
    builder.Add(6, 1, PeBuilder::StringBlock({QString(), QStringLiteral("Hello")}));
    PeLayout layout;
    TExeImage image(Write(QStringLiteral("headers.dll"), builder.Build(&layout)));
    QCOMPARE(image.IsPE32Plus(), pe32Plus);
    QCOMPARE(image.NtHeaders(), layout.ntHeaders);
    // The resource section is looked for on first use.
    QCOMPARE(image.ResourceBase(), qint64(-1));
    QCOMPARE(NamesOf(image.Resources()), QStringList({QStringLiteral("String"), QStringLiteral("RCData")}));
    QCOMPARE(image.ResourceBase(), layout.resourceSection);
    QCOMPARE(image.ResourceVirtualAddress(), layout.resourceVirtualAddress);
    TResourceItem *rcdata = TypeNamed(image, QStringLiteral("RCData"))->List()->Items(0);
    QCOMPARE(rcdata->Name(), QStringLiteral("7"));
    QCOMPARE(rcdata->RawData(), QByteArray("seven"));
    // The section table of a 64-bit file lies 16 bytes further than that of a 32-bit one.
    QCOMPARE(layout.sectionTable, layout.ntHeaders + 24 + (pe32Plus ? 240 : 224));
}

void TestPE32Image::optionalHeaderSizeIsTakenFromTheFileHeader()
{
    // A file whose optional header is followed by 8 spare bytes that the file
    // header counts: the section table moves with it.
    PeBuilder builder;
    builder.Add(10, 1, "data");
    PeLayout layout;
    QByteArray bytes = builder.Build(&layout);
    const QByteArray table = bytes.mid(layout.sectionTable, 80);
    bytes.replace(layout.sectionTable, 88, QByteArray(8, '\0') + table);
    PeBuilder::PutU16(bytes, layout.ntHeaders + 4 + 16, 224 + 8);
    TExeImage image(bytes, QStringLiteral("spare"));
    QCOMPARE(NamesOf(image.Resources()), QStringList({QStringLiteral("RCData")}));

    // A header size that runs past the end of the file is no PE file.
    QByteArray tooLong = bytes.left(0x400);
    PeBuilder::PutU16(tooLong, layout.ntHeaders + 4 + 16, 0xFFFF);
    QCOMPARE(ExeErrorOf([&] { TExeImage image(tooLong, QStringLiteral("long")); }),
             QStringLiteral("Not a PE (WIN32 Executable) file"));
}

void TestPE32Image::resourceSectionIsFoundByNameInAnyCase()
{
    const QString none = QStringLiteral("No resources in this file.");
    PeBuilder without;
    without.withResourceSection = false;
    TExeImage noSection(without.Build(), QStringLiteral("nosection"));
    QVERIFY(!noSection.HasResources());
    QCOMPARE(ExeErrorOf([&] { noSection.Resources(); }), none);
    // Asked again, the same answer.
    QCOMPARE(ExeErrorOf([&] { noSection.Resources(); }), none);

    for (const QString &name : {QStringLiteral(".RSRC"), QStringLiteral(".Rsrc")}) {
        PeBuilder builder;
        builder.sectionName = name;
        builder.resourceSectionFirst = true;
        builder.Add(10, 1, "x");
        TExeImage image(builder.Build(), name);
        QVERIFY(image.HasResources());
        QCOMPARE(image.Resources()->Count(), 1);
    }
    // A section table that runs out of the file fails the same way each time.
    PeLayout layout;
    QByteArray damaged = without.Build(&layout);
    PeBuilder::PutU16(damaged, layout.ntHeaders + 4 + 2, 0xFFFF);
    TExeImage damagedImage(damaged, QStringLiteral("damaged"));
    QVERIFY(!damagedImage.HasResources());
    const QString outside = ExeErrorOf([&] { damagedImage.Resources(); });
    QVERIFY2(outside.startsWith(QStringLiteral("Damaged file: section header at offset")), qPrintable(outside));
    QCOMPARE(ExeErrorOf([&] { damagedImage.Resources(); }), outside);

    for (const QString &name : {QStringLiteral(".rsrc2"), QStringLiteral(".rsr"), QStringLiteral("rsrc")}) {
        PeBuilder builder;
        builder.sectionName = name;
        builder.Add(10, 1, "x");
        TExeImage image(builder.Build(), name);
        QCOMPARE(ExeErrorOf([&] { image.Resources(); }), none);
    }
}

void TestPE32Image::typesAreNamedByNumberOrName()
{
    PeBuilder builder;
    builder.Add(17, 1, "seventeen");
    builder.Add(16, 1, PeBuilder::Version(0x10000, 1, {}));
    builder.Add("MYDATA", "FIRST", "named");
    builder.Add("MYDATA", 5, "numbered");
    builder.Add(0, 3, "zero");
    builder.Add(15, 2, "fifteen");
    builder.Add(300, QStringLiteral("Имя"), "cyrillic");
    TExeImage image(builder.Build(), QStringLiteral("types"));
    // Named types come first in the file, then numbers in ascending order.
    QCOMPARE(NamesOf(image.Resources()), QStringList({QStringLiteral("MYDATA"), QStringLiteral("Unknown0"),
                                                      QStringLiteral("Unknown15"), QStringLiteral("Version"),
                                                      QStringLiteral("17"), QStringLiteral("300")}));
    TResourceList *named = TypeNamed(image, QStringLiteral("MYDATA"))->List();
    QCOMPARE(NamesOf(named), QStringList({QStringLiteral("FIRST"), QStringLiteral("5")}));
    QVERIFY(named->Items(0)->IsNamed());
    QVERIFY(!named->Items(1)->IsNamed());
    QCOMPARE(named->Items(0)->RawData(), QByteArray("named"));
    QCOMPARE(NamesOf(TypeNamed(image, QStringLiteral("300"))->List()), QStringList({QStringLiteral("Имя")}));
    // A list of a type keeps the type's number, a named type its name field.
    QCOMPARE(TypeNamed(image, QStringLiteral("17"))->List()->ResType(), 17u);
    QCOMPARE(TypeNamed(image, QStringLiteral("Version"))->List()->ResType(), quint32(rtVersion));
    QVERIFY(named->ResType() & 0x80000000u);
    QCOMPARE(image.Resources()->ResType(), 0u);
}

void TestPE32Image::itemClassFollowsTheType()
{
    PeBuilder builder;
    builder.Add(2, 1, PeBuilder::Bitmap(2, 2, 24));
    builder.Add(4, 1, PeBuilder::Menu({{0x80, 1, QStringLiteral("Exit")}}));
    builder.Add(5, 1, "dialog");
    builder.Add(6, 1, PeBuilder::StringBlock({}));
    builder.Add(16, 1, PeBuilder::Version(0, 0, {}));
    builder.Add(17, 1, "x");
    builder.Add("NAMED", 1, "x");
    builder.AddIconGroup(1, {IconSpec()}, 1);
    builder.AddCursorGroup(1, {{32, 32}}, 1);
    TExeImage image(builder.Build(), QStringLiteral("classes"));
    const QList<QPair<QString, QString>> expected = {
        {QStringLiteral("NAMED"), QStringLiteral("TResourceItem")},
        {QStringLiteral("Bitmap"), QStringLiteral("TBitMapResource")},
        {QStringLiteral("Menu"), QStringLiteral("TMenuResource")},
        {QStringLiteral("Dialog"), QStringLiteral("TResourceItem")},
        {QStringLiteral("String"), QStringLiteral("TStringResource")},
        {QStringLiteral("Cursor"), QStringLiteral("TCursorResource")},
        {QStringLiteral("Icon"), QStringLiteral("TIconResource")},
        {QStringLiteral("Version"), QStringLiteral("TResourceItem")},
        {QStringLiteral("17"), QStringLiteral("TResourceItem")},
    };
    QCOMPARE(image.Resources()->Count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        TResourceItem *type = image.Resources()->Items(i);
        QCOMPARE(type->Name(), expected[i].first);
        QCOMPARE(QString::fromLatin1(type->ClassName()), QStringLiteral("TResourceItem"));
        QCOMPARE(QString::fromLatin1(type->List()->Items(0)->ClassName()), expected[i].second);
    }
    QCOMPARE(QString::fromLatin1(image.IconImages()->List()->Items(0)->ClassName()), QStringLiteral("TIconResEntry"));
    QCOMPARE(QString::fromLatin1(image.CursorImages()->List()->Items(0)->ClassName()),
             QStringLiteral("TCursorResEntry"));
}

void TestPE32Image::imageTypesAreReachedOnlyThroughGroups()
{
    PeBuilder builder;
    builder.AddIconGroup(QStringLiteral("MAINICON"), {IconSpec()}, 1);
    builder.AddCursorGroup(QStringLiteral("HAND"), {{32, 32}}, 1);
    TExeImage image(builder.Build(), QStringLiteral("groups"));
    QVERIFY(!image.IconImages());
    QVERIFY(!image.CursorImages());
    QCOMPARE(NamesOf(image.Resources()), QStringList({QStringLiteral("Cursor"), QStringLiteral("Icon")}));
    QVERIFY(image.IconImages());
    QVERIFY(image.CursorImages());
    QCOMPARE(image.IconImages()->EntryName(), quint32(rtIconEntry));
    QCOMPARE(image.CursorImages()->EntryName(), quint32(rtCursorEntry));
    QCOMPARE(image.IconImages()->Name(), QStringLiteral("IconEntry"));
    QCOMPARE(image.CursorImages()->Name(), QStringLiteral("CursorEntry"));
}

void TestPE32Image::iconAndCursorGroupsNameTheirImages()
{
    PeBuilder builder;
    IconSpec small;
    small.width = small.height = 16;
    IconSpec truecolour;
    truecolour.bitCount = 32;
    truecolour.groupColours = 0;
    builder.AddIconGroup(QStringLiteral("MAINICON"), {IconSpec(), small, truecolour}, 1);
    builder.AddCursorGroup(2, {{32, 32}, {48, 48}}, 10);
    TExeImage image(builder.Build(), QStringLiteral("names"));
    // Before a group is listed its images go by number.
    image.Resources()->Count();
    QCOMPARE(NamesOf(image.IconImages()->List()),
             QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));

    TResourceItem *group = TypeNamed(image, QStringLiteral("Icon"))->List()->Items(0);
    QCOMPARE(group->Name(), QStringLiteral("MAINICON"));
    QCOMPARE(NamesOf(group->List()), QStringList({QStringLiteral("32 X 32 16 Colors"),
                                                  QStringLiteral("16 X 16 16 Colors"),
                                                  QStringLiteral("32 X 32 0 Colors")}));
    // The images stay owned by the image type; the group refers to them.
    QCOMPARE(group->List()->Items(1), image.IconImages()->List()->Items(1));
    QCOMPARE(group->List()->Items(1)->ResType(), quint32(rtIconEntry));

    TResourceItem *cursors = TypeNamed(image, QStringLiteral("Cursor"))->List()->Items(0);
    QCOMPARE(cursors->Name(), QStringLiteral("2"));
    QCOMPARE(NamesOf(cursors->List()), QStringList({QStringLiteral("32 X 32 1 Bit(s)"),
                                                    QStringLiteral("48 X 48 1 Bit(s)")}));
    auto *cursor = dynamic_cast<TCursorResEntry *>(cursors->List()->Items(0));
    QVERIFY(cursor);
    // The cursor keeps its own group entry; the icon one stays empty.
    QVERIFY(cursor->CursorGroupEntry() >= 0);
    QCOMPARE(cursor->GroupEntry(), qint64(-1));
    QCOMPARE(cursor->GroupImageSize(), QSize(32, 32));
}

void TestPE32Image::groupWithoutImageTypeIsEmpty()
{
    PeBuilder builder;
    builder.Add(14, 1, PeBuilder::IconGroup({IconSpec(), IconSpec()}, 1));
    builder.Add(12, 1, PeBuilder::CursorGroup({{32, 32}}, 1));
    TExeImage image(builder.Build(), QStringLiteral("lonely"));
    QCOMPARE(TypeNamed(image, QStringLiteral("Icon"))->List()->Items(0)->List()->Count(), 0);
    QCOMPARE(TypeNamed(image, QStringLiteral("Cursor"))->List()->Items(0)->List()->Count(), 0);

    // A group naming an image number that the file lacks lists only those it has.
    PeBuilder partial;
    partial.Add(3, 1, PeBuilder::IconImage(IconSpec()));
    partial.Add(14, 1, PeBuilder::IconGroup({IconSpec(), IconSpec()}, 1));
    TExeImage partialImage(partial.Build(), QStringLiteral("partial"));
    QCOMPARE(NamesOf(TypeNamed(partialImage, QStringLiteral("Icon"))->List()->Items(0)->List()),
             QStringList({QStringLiteral("32 X 32 16 Colors")}));
}

void TestPE32Image::iconImagesDecodeAndSave()
{
    PeBuilder builder;
    IconSpec red;
    red.colour = qRgb(200, 10, 20);
    IconSpec green;
    green.width = green.height = 48;
    green.bitCount = 24;
    green.groupColours = 0;
    green.colour = qRgb(10, 200, 20);
    IconSpec blue;
    blue.width = blue.height = 16;
    blue.bitCount = 32;
    blue.groupColours = 0;
    blue.colour = qRgb(10, 20, 200);
    IconSpec mono;
    mono.bitCount = 1;
    mono.groupColours = 2;
    mono.colour = qRgb(255, 255, 255);
    builder.AddIconGroup(1, {red, green, blue, mono}, 1);
    builder.AddCursorGroup(1, {{32, 32}}, 1);
    TExeImage image(builder.Build(), QStringLiteral("decode"));
    TResourceList *images = TypeNamed(image, QStringLiteral("Icon"))->List()->Items(0)->List();
    const QList<QPair<IconSpec, bool>> specs = {{red, true}, {green, true}, {blue, false}, {mono, true}};
    for (int i = 0; i < specs.size(); ++i) {
        const IconSpec &spec = specs[i].first;
        QImage picture;
        images->Items(i)->AssignTo(picture);
        QCOMPARE(picture.size(), QSize(spec.width, spec.height));
        QCOMPARE(picture.pixel(spec.width / 2, spec.height / 2), spec.colour | 0xFF000000u);
        // The mask makes the top-left pixel transparent, except where an alpha channel rules.
        QCOMPARE(qAlpha(picture.pixel(0, 0)), specs[i].second ? 0 : 255);
    }

    // Saved as a one-image icon file: directory, one entry, the image bytes.
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    images->Items(0)->SaveToStream(buffer);
    const QByteArray raw = images->Items(0)->RawData();
    QCOMPARE(file.size(), 22 + raw.size());
    QCOMPARE(qFromLittleEndian<quint16>(file.constData() + 2), quint16(1));
    QCOMPARE(qFromLittleEndian<quint16>(file.constData() + 4), quint16(1));
    QCOMPARE(quint8(file[6]), quint8(32));
    QCOMPARE(quint8(file[8]), quint8(16));
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 14), quint32(raw.size()));
    QCOMPARE(file.mid(22), raw);

    // A cursor decodes past its hot spot and saves as a cursor file with it.
    TResourceItem *cursor = TypeNamed(image, QStringLiteral("Cursor"))->List()->Items(0)->List()->Items(0);
    QImage arrow;
    cursor->AssignTo(arrow);
    QCOMPARE(arrow.size(), QSize(32, 32));
    QByteArray cursorFile;
    QBuffer cursorBuffer(&cursorFile);
    cursorBuffer.open(QIODevice::WriteOnly);
    cursor->SaveToStream(cursorBuffer);
    QCOMPARE(qFromLittleEndian<quint16>(cursorFile.constData() + 2), quint16(2));
    QCOMPARE(qFromLittleEndian<quint16>(cursorFile.constData() + 10), quint16(1)); // hot spot x
    QCOMPARE(qFromLittleEndian<quint16>(cursorFile.constData() + 12), quint16(2)); // hot spot y
    QCOMPARE(cursorFile.mid(22), cursor->RawData().mid(4));

    // Damaged image data fails with a reader error.
    QByteArray damaged = PeBuilder::IconImage(red);
    PeBuilder::PutU16(damaged, 14, 7); // 7 bits per pixel
    QCOMPARE(ExeErrorOf([&] { DecodeIconImage(damaged, false); }),
             QStringLiteral("Damaged icon image: 7 bits per pixel"));
    QCOMPARE(ExeErrorOf([&] { DecodeIconImage(PeBuilder::IconImage(red).left(100), false); }),
             QStringLiteral("Damaged icon image: pixel data missing"));
    QCOMPARE(ExeErrorOf([&] { DecodeIconImage(QByteArray("\x89PNG\r\n\x1a\nbroken"), false); }),
             QStringLiteral("Damaged icon image: unreadable PNG"));
    // A PNG image is decoded as such.
    QImage png(8, 8, QImage::Format_ARGB32);
    png.fill(qRgb(1, 2, 3));
    QByteArray pngBytes;
    QBuffer pngBuffer(&pngBytes);
    pngBuffer.open(QIODevice::WriteOnly);
    QVERIFY(png.save(&pngBuffer, "PNG"));
    QCOMPARE(DecodeIconImage(pngBytes, false).pixel(3, 3), qRgb(1, 2, 3));
}

void TestPE32Image::onlyListsHaveLists()
{
    PeBuilder builder;
    builder.Add(10, 1, "data");
    builder.AddIconGroup(1, {IconSpec()}, 1);
    TExeImage image(builder.Build(), QStringLiteral("lists"));
    TResourceItem *type = TypeNamed(image, QStringLiteral("RCData"));
    QVERIFY(type->IsList());
    QCOMPARE(type->RawSize(), 0u);
    QVERIFY(type->RawData().isEmpty());
    TResourceItem *item = type->List()->Items(0);
    QVERIFY(!item->IsList());
    QCOMPARE(item->RawSize(), 4u);
    QCOMPARE(ExeErrorOf([&] { item->List(); }), QStringLiteral("ResourceItem is not a list"));
    // A group is always a list, and still has data of its own.
    TResourceItem *group = TypeNamed(image, QStringLiteral("Icon"))->List()->Items(0);
    QVERIFY(group->IsList());
    QCOMPARE(group->RawSize(), quint32(6 + 14));
    // Lists are built once.
    QCOMPARE(type->List(), type->List());
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, type->List()->Items(1));
}

void TestPE32Image::rawDataIsThatOfTheFirstLanguage()
{
    PeBuilder builder;
    builder.Add(10, 1, "english", 0x0409);
    builder.Add(10, 1, "russian", 0x0419);
    builder.Add(10, 1, "neutral", 0x0000);
    TExeImage image(builder.Build(), QStringLiteral("languages"));
    TResourceList *items = TypeNamed(image, QStringLiteral("RCData"))->List();
    QCOMPARE(items->Count(), 1);
    QCOMPARE(items->Items(0)->RawData(), QByteArray("neutral"));

    QByteArray saved;
    QBuffer buffer(&saved);
    buffer.open(QIODevice::WriteOnly);
    items->Items(0)->SaveToStream(buffer);
    QCOMPARE(saved, QByteArray("neutral"));
}

void TestPE32Image::entryPointingStraightAtDataHasNoLanguageLevel()
{
    // A type entry that points at a data entry instead of a directory: the
    // item is no list and its data is that entry's.
    PeBuilder builder;
    builder.Add(10, 1, "direct");
    PeLayout layout;
    QByteArray bytes = builder.Build(&layout);
    const PeLayout::Resource &resource = layout.Find(10, 1);
    PeBuilder::PutU32(bytes, layout.TypeOf(10).entry + 4, quint32(resource.dataEntry - layout.resourceSection));
    TExeImage image(bytes, QStringLiteral("direct"));
    TResourceItem *type = TypeNamed(image, QStringLiteral("RCData"));
    QVERIFY(!type->IsList());
    QCOMPARE(ExeErrorOf([&] { type->List(); }), QStringLiteral("ResourceItem is not a list"));
    QCOMPARE(type->RawData(), QByteArray("direct"));
}

void TestPE32Image::stringTableLines()
{
    PeBuilder builder;
    builder.Add(6, 3, PeBuilder::StringBlock({QString(), QStringLiteral("first"), QStringLiteral("second")}));
    QStringList full;
    for (int i = 0; i < 16; ++i)
        full.append(QStringLiteral("Строка %1").arg(i));
    builder.Add(6, 1, PeBuilder::StringBlock(full));
    builder.Add(6, 4, PeBuilder::StringBlock({}));
    builder.Add(6, 2, PeBuilder::StringBlock({QString(), QString(), QString(), QString(), QString(), QString(),
                                              QString(), QString(), QString(), QString(), QString(), QString(),
                                              QString(), QString(), QString(), QStringLiteral("last")}));
    TExeImage image(builder.Build(), QStringLiteral("strings"));
    TResourceList *blocks = TypeNamed(image, QStringLiteral("String"))->List();
    QCOMPARE(NamesOf(blocks), QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                           QStringLiteral("4")}));
    QStringList lines = {QStringLiteral("old")};
    blocks->Items(2)->AssignTo(lines);
    QCOMPARE(lines, QStringList({QStringLiteral("33,  \"first\""), QStringLiteral("34,  \"second\"")}));
    blocks->Items(0)->AssignTo(lines);
    QCOMPARE(lines.size(), 16);
    QCOMPARE(lines[0], QStringLiteral("0,  \"Строка 0\""));
    QCOMPARE(lines[15], QStringLiteral("15,  \"Строка 15\""));
    blocks->Items(1)->AssignTo(lines);
    QCOMPARE(lines, QStringList({QStringLiteral("31,  \"last\"")}));
    // A block of empty strings clears the list.
    blocks->Items(3)->AssignTo(lines);
    QVERIFY(lines.isEmpty());
}

namespace {
// A block whose first and last strings are set: 8 + 14 * 2 + 10 = 46 bytes.
QByteArray FirstAndLast()
{
    QStringList strings(16);
    strings[0] = QStringLiteral("one");
    strings[15] = QStringLiteral("last");
    return PeBuilder::StringBlock(strings);
}
} // namespace

void TestPE32Image::stringTableCutShortLeavesTheListAlone_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("error");
    const QString cut = QStringLiteral("Damaged string table 1: the block is cut short");
    QTest::newRow("empty") << QByteArray() << cut;
    QTest::newRow("inside the first text") << FirstAndLast().left(5) << cut;
    QTest::newRow("inside a length") << FirstAndLast().left(9) << cut;
    QTest::newRow("before the last length") << FirstAndLast().left(36) << cut;
    QTest::newRow("inside the last text") << FirstAndLast().left(43) << cut;
    QTest::newRow("last character halved") << FirstAndLast().left(45) << cut;
    QTest::newRow("whole") << FirstAndLast() << QStringLiteral("<none>");
}

void TestPE32Image::stringTableCutShortLeavesTheListAlone()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, error);
    PeBuilder builder;
    builder.Add(6, 1, block);
    builder.Add(6, "NAMED", FirstAndLast());
    TExeImage image(builder.Build(), QStringLiteral("cut"));
    TResourceList *blocks = TypeNamed(image, QStringLiteral("String"))->List();
    QStringList lines = {QStringLiteral("kept")};
    QCOMPARE(ExeErrorOf([&] { blocks->Items(1)->AssignTo(lines); }), error);
    QCOMPARE(lines, error == QStringLiteral("<none>") ? QStringList({QStringLiteral("0,  \"one\""), QStringLiteral("15,  \"last\"")})
                                                      : QStringList({QStringLiteral("kept")}));
    QCOMPARE(ExeErrorOf([&] { blocks->Items(0)->AssignTo(lines); }),
             QStringLiteral("Damaged string table NAMED: a block is known by its number"));
}

void TestPE32Image::menuLines_data()
{
    QTest::addColumn<QList<MenuItemSpec>>("items");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("separators") << QList<MenuItemSpec>{{0x10, 0, QString()},
                                                       {0, 0, QString()},
                                                       {0x80, 5, QStringLiteral("Item")},
                                                       {0x80, 0, QString()}}
                                << QStringList{QStringLiteral("MENUITEM SEPARATOR"),
                                               QStringLiteral("  MENUITEM SEPARATOR"),
                                               QStringLiteral("  MENUITEM \"Item\",  5"), QStringLiteral("ENDPOPUP"),
                                               QStringLiteral("MENUITEM SEPARATOR")};
    QTest::newRow("two popups") << QList<MenuItemSpec>{{0x10, 0, QStringLiteral("&File")},
                                                       {0, 100, QStringLiteral("&Open")},
                                                       {0, 0, QString()},
                                                       {0x80, 101, QStringLiteral("E&xit")},
                                                       {0x90, 0, QStringLiteral("&Help")},
                                                       {0x80, 200, QStringLiteral("&About")}}
                                << QStringList{QStringLiteral("POPUP \"&File\""),
                                               QStringLiteral("  MENUITEM \"&Open\",  100"),
                                               QStringLiteral("  MENUITEM SEPARATOR"),
                                               QStringLiteral("  MENUITEM \"E&xit\",  101"),
                                               QStringLiteral("ENDPOPUP"),
                                               QStringLiteral("POPUP \"&Help\""),
                                               QStringLiteral("  MENUITEM \"&About\",  200"),
                                               QStringLiteral("ENDPOPUP")};
    QTest::newRow("nested last popups") << QList<MenuItemSpec>{{0x90, 0, QStringLiteral("Outer")},
                                                               {0, 1, QStringLiteral("A")},
                                                               {0x90, 0, QStringLiteral("Inner")},
                                                               {0x80, 65535, QStringLiteral("Deep")}}
                                        << QStringList{QStringLiteral("POPUP \"Outer\""),
                                                       QStringLiteral("  MENUITEM \"A\",  1"),
                                                       QStringLiteral("  POPUP \"Inner\""),
                                                       QStringLiteral("    MENUITEM \"Deep\",  65535"),
                                                       QStringLiteral("  ENDPOPUP"), QStringLiteral("ENDPOPUP")};
    QTest::newRow("flat menu bar") << QList<MenuItemSpec>{{0, 1, QStringLiteral("Один")},
                                                          {0x80, 2, QStringLiteral("Два")}}
                                   << QStringList{QStringLiteral("MENUITEM \"Один\",  1"),
                                                  QStringLiteral("MENUITEM \"Два\",  2")};
    // Bytes after the end of the menu bar are not menu items.
    QTest::newRow("padding after the end") << QList<MenuItemSpec>{{0x80, 9, QStringLiteral("Only")},
                                                                  {0, 0, QString()}}
                                           << QStringList{QStringLiteral("MENUITEM \"Only\",  9")};
    // A menu that stops before closing its popups lists what it has.
    QTest::newRow("unclosed popup") << QList<MenuItemSpec>{{0x10, 0, QStringLiteral("Open")},
                                                           {0, 3, QStringLiteral("Item")}}
                                    << QStringList{QStringLiteral("POPUP \"Open\""),
                                                   QStringLiteral("  MENUITEM \"Item\",  3")};
    QTest::newRow("empty menu") << QList<MenuItemSpec>{} << QStringList{};
}

void TestPE32Image::menuLines()
{
    QFETCH(QList<MenuItemSpec>, items);
    QFETCH(QStringList, expected);
    PeBuilder builder;
    builder.Add(4, 1, PeBuilder::Menu(items));
    TExeImage image(builder.Build(), QStringLiteral("menu"));
    QStringList lines = {QStringLiteral("old line")};
    TypeNamed(image, QStringLiteral("Menu"))->List()->Items(0)->AssignTo(lines);
    QCOMPARE(lines, expected);
}

void TestPE32Image::damagedMenuFails()
{
    PeBuilder builder;
    builder.Add(4, 1, QByteArray("\0\0", 2));
    builder.Add(4, 2, PeBuilder::Menu({{0, 1, QStringLiteral("Open")}}).chopped(2)); // no terminator
    builder.Add(4, 3, PeBuilder::Menu({}) + QByteArray("\0", 1));                     // half a flags word
    builder.Add(4, 4, PeBuilder::Menu({}) + QByteArray("\0\0\1", 3));                 // half an identifier
    TExeImage image(builder.Build(), QStringLiteral("damaged menu"));
    TResourceList *menus = TypeNamed(image, QStringLiteral("Menu"))->List();
    QStringList lines = {QStringLiteral("kept")};
    QCOMPARE(ExeErrorOf([&] { menus->Items(0)->AssignTo(lines); }),
             QStringLiteral("Damaged menu 1: its header is cut short"));
    for (int i = 1; i < 4; ++i)
        QCOMPARE(ExeErrorOf([&] { menus->Items(i)->AssignTo(lines); }),
                 QStringLiteral("Damaged menu %1: an item is cut short").arg(i + 1));
    QCOMPARE(lines, QStringList({QStringLiteral("kept")}));
}

void TestPE32Image::bitmapFileHeader_data()
{
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<quint32>("used");
    QTest::addColumn<quint32>("headerSize");
    QTest::addColumn<quint32>("bitsOffset");
    QTest::newRow("24 bits") << 24 << 0u << 40u << 54u;
    QTest::newRow("8 bits, full palette") << 8 << 0u << 40u << 1078u;
    QTest::newRow("8 bits, 16 colours used") << 8 << 16u << 40u << 118u;
    QTest::newRow("4 bits") << 4 << 0u << 40u << 118u;
    QTest::newRow("1 bit") << 1 << 0u << 40u << 62u;
    QTest::newRow("32 bits") << 32 << 0u << 40u << 54u;
    QTest::newRow("core header, 8 bits") << 8 << 0u << 12u << 794u;
    QTest::newRow("core header, 24 bits") << 24 << 0u << 12u << 26u;
}

void TestPE32Image::bitmapFileHeader()
{
    QFETCH(int, bitCount);
    QFETCH(quint32, used);
    QFETCH(quint32, headerSize);
    QFETCH(quint32, bitsOffset);
    PeBuilder builder;
    const QByteArray raw = PeBuilder::Bitmap(5, 3, bitCount, used, headerSize);
    builder.Add(2, 101, raw);
    TExeImage image(builder.Build(), QStringLiteral("bitmap"));
    TResourceItem *bitmap = TypeNamed(image, QStringLiteral("Bitmap"))->List()->Items(0);
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    bitmap->SaveToStream(buffer);
    QCOMPARE(file.size(), 14 + raw.size());
    QCOMPARE(file.left(2), QByteArray("BM"));
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 2), quint32(14 + raw.size()));
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 6), 0u);
    QCOMPARE(qFromLittleEndian<quint32>(file.constData() + 10), bitsOffset);
    QCOMPARE(file.mid(14), raw);
}

void TestPE32Image::bitmapDecodesToPicture()
{
    PeBuilder builder;
    builder.Add(2, 1, PeBuilder::Bitmap(7, 5, 24));
    builder.Add(2, 2, PeBuilder::Bitmap(6, 4, 8));
    // An information header whose compression says colour masks follow it.
    QByteArray masked = PeBuilder::Bitmap(2, 2, 32);
    PeBuilder::PutU32(masked, 16, 3);
    masked.insert(40, QByteArray("\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 12));
    builder.Add(2, 3, masked);
    builder.Add(2, 4, QByteArray("\x28\0", 2));
    builder.Add(2, 5, PeBuilder::Bitmap(4, 4, 24).left(30));
    TExeImage image(builder.Build(), QStringLiteral("pictures"));
    TResourceList *bitmaps = TypeNamed(image, QStringLiteral("Bitmap"))->List();
    QImage picture;
    bitmaps->Items(0)->AssignTo(picture);
    QCOMPARE(picture.size(), QSize(7, 5));
    QCOMPARE(picture.pixel(3, 2), qRgb(0, 128, 255));
    bitmaps->Items(1)->AssignTo(picture);
    QCOMPARE(picture.size(), QSize(6, 4));
    QCOMPARE(picture.pixel(1, 1), qRgb(0, 128, 255));
    QCOMPARE(qFromLittleEndian<quint32>(dynamic_cast<TBitMapResource *>(bitmaps->Items(2))->FileHeader().constData() + 10),
             quint32(14 + 40 + 12));
    QCOMPARE(ExeErrorOf([&] { bitmaps->Items(3)->AssignTo(picture); }),
             QStringLiteral("Damaged bitmap resource 4: its header is cut short"));
    QCOMPARE(ExeErrorOf([&] { bitmaps->Items(4)->AssignTo(picture); }),
             QStringLiteral("Damaged bitmap resource 5: its header is cut short"));
}

void TestPE32Image::assigningToAnotherKindFails()
{
    PeBuilder builder;
    builder.Add(2, 1, PeBuilder::Bitmap(2, 2, 24));
    builder.Add(6, 1, PeBuilder::StringBlock({QStringLiteral("x")}));
    builder.Add(10, 1, "raw");
    TExeImage image(builder.Build(), QStringLiteral("assign"));
    QImage picture;
    QStringList lines;
    auto convertError = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const EConvertError &e) {
            return e.message();
        }
        return QStringLiteral("<none>");
    };
    QCOMPARE(convertError([&] { TypeNamed(image, QStringLiteral("String"))->List()->Items(0)->AssignTo(picture); }),
             QStringLiteral("Cannot assign a TStringResource to a QImage"));
    QCOMPARE(convertError([&] { TypeNamed(image, QStringLiteral("Bitmap"))->List()->Items(0)->AssignTo(lines); }),
             QStringLiteral("Cannot assign a TBitMapResource to a QStringList"));
    QCOMPARE(convertError([&] { TypeNamed(image, QStringLiteral("RCData"))->List()->Items(0)->AssignTo(lines); }),
             QStringLiteral("Cannot assign a TResourceItem to a QStringList"));
}

QTEST_MAIN(TestPE32Image)
#include "tst_uPE32Image.moc"
