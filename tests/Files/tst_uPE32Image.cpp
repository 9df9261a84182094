// The executable-image reader on PE files built byte by byte: each kind's decoding, the icon that best fits a size;
// damaged files (built ones, the fuzzer's inputs) give the reader's error, never a crash; the peres tool's listings.
#include "Files/uMultiIcoFromResource.h"
#include "Files/uPE32Image.h"
#include "fuzz/uResourceExercise.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/Files/PeBuilder.h"
#include "tools/peres/uResourceDump.h"

#include <QBuffer>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QProcess>
#include <QtEndian>
#include <QtTest>

#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QString NotPE = u"Not a PE (WIN32 Executable) file"_s;
const QString NoResources = u"No resources in this file."_s;

QByteArray Saved(TResourceItem *item)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    item->SaveToStream(buffer);
    return bytes;
}

quint32 U32(const QByteArray &bytes, int offset) { return qFromLittleEndian<quint32>(bytes.constData() + offset); }
quint16 U16(const QByteArray &bytes, int offset) { return qFromLittleEndian<quint16>(bytes.constData() + offset); }

// A block whose first and last strings are set: 8 + 14 * 2 + 10 = 46 bytes.
QByteArray FirstAndLast()
{
    QStringList strings(16);
    strings[0] = u"one"_s;
    strings[15] = u"last"_s;
    return PeBuilder::StringBlock(strings);
}

IconSpec Image(int width, int height, QRgb colour)
{
    return {.width = width, .height = height, .bitCount = 24, .groupColours = 0, .colour = colour};
}

const QRgb Red = qRgb(255, 0, 0);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Blue = qRgb(0, 0, 255);

// A module with three icon groups and a resource that is no icon.
QString IconModule(const QTemporaryDir &dir)
{
    PeBuilder builder;
    builder.AddIconGroup(u"MAINICON"_s, {Image(16, 16, Red), Image(32, 32, Green), Image(48, 48, Blue)}, 1);
    builder.AddIconGroup(7, {Image(48, 48, Blue), Image(16, 16, Red)}, 10);
    builder.AddIconGroup(u"SHAPES"_s, {Image(24, 40, Red), Image(40, 40, Green)}, 20);
    builder.Add(10, u"NOTANICON"_s, "data");
    return WriteTestFile(dir, u"module.so"_s, builder.Build());
}

// The exit status of the peres tool run in the folder; its listing in `out`.
int Peres(const QStringList &arguments, const QString &folder, QByteArray *out = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(PERES_EXECUTABLE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitCode();
}

} // namespace

class TestPE32Image : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void filesThatCannotBeOpened()
    {
        const QString missing = m_dir.filePath(u"missing.dll"_s);
        QCOMPARE(ExeErrorOf([&] { TExeImage image(missing); }), u"Couldn't open: "_s + missing);
        const QString empty = WriteTestFile(m_dir, u"empty.dll"_s, {});
        QCOMPARE(ExeErrorOf([&] { TExeImage image(empty); }), u"CreateFileMapping failed"_s);
    }

    void headerChecks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        PeLayout l;
        const QByteArray good = PeBuilder().Build(&l);
        QByteArray nearTheEnd = good, optionalPastTheEnd = good.left(0x400);
        PeBuilder::PutU32(nearTheEnd, 0x3C, quint32(good.size() - 2));
        PeBuilder::PutU16(optionalPastTheEnd, l.ntHeaders + 4 + 16, 0xFFFF);
        QTest::newRow("one byte") << QByteArray("M") << u"unrecognized file format"_s;
        QTest::newRow("offset near the end") << nearTheEnd << NotPE;
        QTest::newRow("optional header past the end") << optionalPastTheEnd << NotPE;
        QTest::newRow("whole") << good << u"<none>"_s;
    }
    void headerChecks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QCOMPARE(ExeErrorOf([&] { TExeImage image(bytes, u"bytes"_s); }), error);
    }

    void optionalHeaderSizeIsTakenFromTheFileHeader()
    {
        // 8 spare bytes after the optional header that the file header counts: the section table moves with it.
        PeBuilder builder;
        builder.Add(10, 1, "data");
        PeLayout layout;
        QByteArray bytes = builder.Build(&layout);
        bytes.replace(layout.sectionTable, 88, QByteArray(8, '\0') + bytes.mid(layout.sectionTable, 80));
        PeBuilder::PutU16(bytes, layout.ntHeaders + 4 + 16, 224 + 8);
        TExeImage image(bytes, u"spare"_s);
        QCOMPARE(NamesOf(image.Resources()), QStringList({"RCData"}));
    }

    // The resource section goes by its name ".rsrc" in any case, wherever it stands in the table.
    void resourceSectionByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow(".RSRC") << ".RSRC" << true;
        QTest::newRow(".rsrc2") << ".rsrc2" << false;
    }
    void resourceSectionByName()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        for (bool first : {false, true}) {
            PeBuilder builder;
            builder.sectionName = name;
            builder.resourceSectionFirst = first;
            builder.Add(10, 1, "x");
            TExeImage image(builder.Build(), name);
            QCOMPARE(image.HasResources(), found);
            QCOMPARE(ExeErrorOf([&] { QCOMPARE(image.Resources()->Count(), 1); }), found ? u"<none>"_s : NoResources);
        }
    }

    void typesAndNames()
    {
        PeBuilder builder;
        builder.Add(2, 1, PeBuilder::Bitmap(2, 2, 24));
        builder.Add(4, 1, PeBuilder::Menu({{0x80, 1, u"Exit"_s}}));
        builder.Add(5, 1, "dialog");
        builder.Add(6, 1, PeBuilder::StringBlock({}));
        builder.Add(16, 1, PeBuilder::Version(0x10000, 1, {}));
        builder.Add(10, 1, "raw");
        builder.Add(17, 1, "seventeen");
        builder.Add("MYDATA", "FIRST", "named");
        builder.Add("MYDATA", 5, "numbered");
        builder.Add(0, 3, "zero");
        builder.Add(300, u"Имя"_s, "cyrillic");
        builder.AddIconGroup(1, {IconSpec()}, 1);
        builder.AddCursorGroup(1, {{32, 32}}, 1);
        TExeImage image(builder.Build(), u"types"_s);
        // Named types come first in the file, then numbers in ascending order (each kind's decoding is tested
        // with its own resources).
        QCOMPARE(NamesOf(image.Resources()), (QStringList{"MYDATA", "Unknown0", "Bitmap", "Menu", "Dialog", "String",
                                                          "RCData", "Cursor", "Icon", "Version", "17", "300"}));
        TResourceList *named = TypeNamed(image, u"MYDATA"_s)->List();
        QCOMPARE(NamesOf(named), QStringList({"FIRST", "5"}));
        QCOMPARE(NamesOf(TypeNamed(image, u"300"_s)->List()), QStringList({"Имя"}));
        // A list of a type keeps the type's number, a named type its name field.
        QCOMPARE(TypeNamed(image, u"17"_s)->List()->ResType(), 17u);
        QVERIFY(named->ResType() & 0x80000000u);
        // A kind assigns only to what it is: a picture or lines.
        QImage picture;
        QStringList lines;
        QVERIFY_THROWS_EXCEPTION(EConvertError, TypeNamed(image, u"String"_s)->List()->Items(0)->AssignTo(picture));
        QVERIFY_THROWS_EXCEPTION(EConvertError, TypeNamed(image, u"Bitmap"_s)->List()->Items(0)->AssignTo(lines));
    }

    void iconGroupsNameTheirImages()
    {
        PeBuilder builder;
        builder.AddIconGroup(u"MAINICON"_s, {IconSpec(), {.bitCount = 32, .groupColours = 0}}, 1);
        TExeImage image(builder.Build(), u"names"_s);
        // The image types are reached only through the groups: known once the root is listed.
        QVERIFY(!image.IconImages());
        QCOMPARE(NamesOf(image.Resources()), QStringList({"Icon"}));
        // Before a group is listed its images go by number; the group refers to the images the image type owns.
        QCOMPARE(NamesOf(image.IconImages()->List()), QStringList({"1", "2"}));
        TResourceItem *group = TypeNamed(image, u"Icon"_s)->List()->Items(0);
        QCOMPARE(NamesOf(group->List()), QStringList({"32 X 32 16 Colors", "32 X 32 0 Colors"}));
        QCOMPARE(group->List()->Items(1), image.IconImages()->List()->Items(1));
        // A group without its image type lists nothing; one naming a missing image lists those there are.
        PeBuilder lonely;
        lonely.Add(14, 1, PeBuilder::IconGroup({IconSpec(), IconSpec()}, 1));
        lonely.Add(12, 1, PeBuilder::CursorGroup({{32, 32}}, 1));
        TExeImage lonelyImage(lonely.Build(), u"lonely"_s);
        QCOMPARE(TypeNamed(lonelyImage, u"Icon"_s)->List()->Items(0)->List()->Count(), 0);
        QCOMPARE(TypeNamed(lonelyImage, u"Cursor"_s)->List()->Items(0)->List()->Count(), 0);
        lonely.Add(3, 1, PeBuilder::IconImage(IconSpec()));
        TExeImage partial(lonely.Build(), u"partial"_s);
        QCOMPARE(NamesOf(TypeNamed(partial, u"Icon"_s)->List()->Items(0)->List()), QStringList({"32 X 32 16 Colors"}));
    }

    void iconImagesDecodeAndSave()
    {
        const IconSpec red{.colour = qRgb(200, 10, 20)};
        const QList<IconSpec> specs = {
            red,
            {.width = 48, .height = 48, .bitCount = 24, .groupColours = 0, .colour = qRgb(10, 200, 20)},
            {.width = 16, .height = 16, .bitCount = 32, .groupColours = 0, .colour = qRgb(10, 20, 200)},
            {.bitCount = 1, .groupColours = 2, .colour = qRgb(255, 255, 255)}};
        PeBuilder builder;
        builder.AddIconGroup(1, specs, 1);
        builder.AddCursorGroup(1, {{32, 32}}, 1);
        TExeImage image(builder.Build(), u"decode"_s);
        TResourceList *images = TypeNamed(image, u"Icon"_s)->List()->Items(0)->List();
        for (int i = 0; i < specs.size(); ++i) {
            QImage picture;
            images->Items(i)->AssignTo(picture);
            QCOMPARE(picture.size(), QSize(specs[i].width, specs[i].height));
            QCOMPARE(picture.pixel(specs[i].width / 2, specs[i].height / 2), specs[i].colour | 0xFF000000u);
            // The mask makes the top-left pixel transparent, except where an alpha channel rules.
            QCOMPARE(qAlpha(picture.pixel(0, 0)), specs[i].bitCount == 32 ? 255 : 0);
        }
        // Saved as a one-image icon file: directory, one entry, the image bytes.
        const QByteArray file = Saved(images->Items(0));
        const QByteArray raw = images->Items(0)->RawData();
        QCOMPARE((QList<int>{U16(file, 2), U16(file, 4), quint8(file[6]), quint8(file[8]), int(U32(file, 14))}),
                 (QList<int>{1, 1, 32, 16, int(raw.size())}));
        QCOMPARE(file.mid(22), raw);
        // A cursor decodes past its hot spot and saves as a cursor file with it.
        TResourceItem *cursor = TypeNamed(image, u"Cursor"_s)->List()->Items(0)->List()->Items(0);
        QImage arrow;
        cursor->AssignTo(arrow);
        QCOMPARE(arrow.size(), QSize(32, 32));
        const QByteArray cursorFile = Saved(cursor);
        QCOMPARE((QList<int>{U16(cursorFile, 2), U16(cursorFile, 10), U16(cursorFile, 12)}), (QList<int>{2, 1, 2}));
        QCOMPARE(cursorFile.mid(22), cursor->RawData().mid(4));
        // Damaged image data fails with a reader error; a PNG image is decoded as such.
        QByteArray damaged = PeBuilder::IconImage(red);
        PeBuilder::PutU16(damaged, 14, 7);
        QCOMPARE(ExeErrorOf([&] { DecodeIconImage(damaged, false); }), u"Damaged icon image: 7 bits per pixel"_s);
        QCOMPARE(ExeErrorOf([&] { DecodeIconImage(PeBuilder::IconImage(red).left(100), false); }),
                 u"Damaged icon image: pixel data missing"_s);
        QCOMPARE(ExeErrorOf([&] { DecodeIconImage(QByteArray("\x89PNG\r\n\x1a\nbroken"), false); }),
                 u"Damaged icon image: unreadable PNG"_s);
        QImage png(8, 8, QImage::Format_ARGB32);
        png.fill(qRgb(1, 2, 3));
        QByteArray pngBytes;
        QBuffer pngBuffer(&pngBytes);
        QVERIFY(pngBuffer.open(QIODevice::WriteOnly) && png.save(&pngBuffer, "PNG"));
        QCOMPARE(DecodeIconImage(pngBytes, false).pixel(3, 3), qRgb(1, 2, 3));
    }

    void listsAndRawData()
    {
        PeBuilder builder;
        builder.Add(10, 1, "english", 0x0409);
        builder.Add(10, 1, "russian", 0x0419);
        builder.Add(10, 1, "neutral", 0x0000);
        builder.AddIconGroup(1, {IconSpec()}, 1);
        TExeImage image(builder.Build(), u"lists"_s);
        // One item per name: the data of its first language.
        TResourceItem *item = TypeNamed(image, u"RCData"_s)->List()->Items(0);
        QCOMPARE(item->RawSize(), 7u);
        QCOMPARE(Saved(item), QByteArray("neutral"));
        QCOMPARE(ExeErrorOf([&] { item->List(); }), u"ResourceItem is not a list"_s);
        // A group is always a list, and still has data of its own.
        QCOMPARE(TypeNamed(image, u"Icon"_s)->List()->Items(0)->RawSize(), quint32(6 + 14));
        // A type entry that points at a data entry instead of a directory is no list; its data is that entry's.
        PeBuilder direct;
        direct.Add(10, 1, "direct");
        PeLayout layout;
        QByteArray bytes = direct.Build(&layout);
        PeBuilder::PutU32(bytes, layout.TypeOf(10).entry + 4,
                          quint32(layout.Find(10, 1).dataEntry - layout.resourceSection));
        TExeImage directImage(bytes, u"direct"_s);
        QCOMPARE(TypeNamed(directImage, u"RCData"_s)->RawData(), QByteArray("direct"));
    }

    void stringTableLines()
    {
        PeBuilder builder;
        builder.Add(6, 3, PeBuilder::StringBlock({QString(), u"first"_s, u"second"_s}));
        builder.Add(6, 4, PeBuilder::StringBlock({}));
        builder.Add(6, 2, FirstAndLast());
        TExeImage image(builder.Build(), u"strings"_s);
        TResourceList *blocks = TypeNamed(image, u"String"_s)->List();
        // Block n holds the strings 16 * (n - 1) to 16 * n - 1; empty ones are left out.
        QStringList lines = {u"old"_s};
        blocks->Items(1)->AssignTo(lines);
        QCOMPARE(lines, QStringList({"33,  \"first\"", "34,  \"second\""}));
        blocks->Items(0)->AssignTo(lines);
        QCOMPARE(lines, QStringList({"16,  \"one\"", "31,  \"last\""}));
        // A block of empty strings clears the list.
        blocks->Items(2)->AssignTo(lines);
        QVERIFY(lines.isEmpty());
    }

    void stringTableCutShortLeavesTheListAlone()
    {
        PeBuilder builder;
        builder.Add(6, 1, FirstAndLast().left(45)); // the last character halved
        builder.Add(6, "NAMED", FirstAndLast());
        TExeImage image(builder.Build(), u"cut"_s);
        TResourceList *blocks = TypeNamed(image, u"String"_s)->List();
        QStringList lines = {u"kept"_s};
        QCOMPARE(ExeErrorOf([&] { blocks->Items(1)->AssignTo(lines); }),
                 u"Damaged string table 1: the block is cut short"_s);
        QCOMPARE(lines, QStringList({"kept"}));
        QCOMPARE(ExeErrorOf([&] { blocks->Items(0)->AssignTo(lines); }),
                 u"Damaged string table NAMED: a block is known by its number"_s);
    }

    // Menu items of the classic and the extended (MENUEX) template as resource-script lines;
    // a damaged menu fails and leaves the lines alone (every item is read through one bounds check).
    void menuLines_data()
    {
        QTest::addColumn<QByteArray>("menu");
        QTest::addColumn<QStringList>("expected");
        using M = QList<MenuItemSpec>;
        QTest::newRow("separators") << PeBuilder::Menu(
                                           M{{0x10, 0, {}}, {0, 0, {}}, {0x80, 5, u"Item"_s}, {0x80, 0, {}}})
                                    << QStringList{"MENUITEM SEPARATOR", "  MENUITEM SEPARATOR",
                                                   "  MENUITEM \"Item\",  5", "ENDPOPUP", "MENUITEM SEPARATOR"};
        QTest::newRow("nested last popups")
            << PeBuilder::Menu(
                   M{{0x90, 0, u"Outer"_s}, {0, 1, u"A"_s}, {0x90, 0, u"Inner"_s}, {0x80, 65535, u"Deep"_s}})
            << QStringList{"POPUP \"Outer\"",   "  MENUITEM \"A\",  1",
                           "  POPUP \"Inner\"", "    MENUITEM \"Deep\",  65535",
                           "  ENDPOPUP",        "ENDPOPUP"};
        // Bytes after the end of the menu bar are not menu items.
        QTest::newRow("padding after the end")
            << PeBuilder::Menu(M{{0x80, 9, u"Only"_s}, {0, 0, {}}}) << QStringList{"MENUITEM \"Only\",  9"};
        // A menu that stops before closing its popups lists what it has.
        QTest::newRow("unclosed popup") << PeBuilder::Menu(M{{0x10, 0, u"Open"_s}, {0, 3, u"Item"_s}})
                                        << QStringList{"POPUP \"Open\"", "  MENUITEM \"Item\",  3"};
        QTest::newRow("empty menu") << PeBuilder::Menu({}) << QStringList{};
        QTest::newRow("header cut short") << QByteArray("\0\0", 2) << QStringList{"its header is cut short"};

        using X = QList<MenuExItemSpec>;
        QTest::newRow("extended, flat") << PeBuilder::MenuEx(X{
                                               {0, 0, 1, 0, u"One"_s}, {0x800, 0, 0, 0, {}}, {0, 3, 2, 0x80, u"Two"_s}})
                                        << QStringList{"MENUITEM \"One\",  1,  type 0x0,  state 0x0",
                                                       "MENUITEM SEPARATOR",
                                                       "MENUITEM \"Two\",  2,  type 0x0,  state 0x3"};
        // A pop-up that is the last item of its pop-up closes both.
        QTest::newRow("extended, nested") << PeBuilder::MenuEx(X{{0, 0, 10, 0x01, u"&File"_s, 5},
                                                                 {0, 0, 100, 0, u"&Open"_s},
                                                                 {0, 0, 11, 0x81, u"&Recent"_s},
                                                                 {0, 8, 110, 0x80, u"First"_s},
                                                                 {0x4000, 0, 30, 0x80, u"&Quit"_s}})
                                          << QStringList{"POPUP \"&File\",  10,  type 0x0,  state 0x0",
                                                         "  MENUITEM \"&Open\",  100,  type 0x0,  state 0x0",
                                                         "  POPUP \"&Recent\",  11,  type 0x0,  state 0x0",
                                                         "    MENUITEM \"First\",  110,  type 0x0,  state 0x8",
                                                         "  ENDPOPUP",
                                                         "ENDPOPUP",
                                                         "MENUITEM \"&Quit\",  30,  type 0x4000,  state 0x0"};
        QByteArray version2 = PeBuilder::MenuEx(X{{0, 0, 10, 0x81, u"&File"_s, 5}, {0, 0, 100, 0x80, u"&Open"_s}});
        PeBuilder::PutU16(version2, 0, 2);
        QTest::newRow("extended, unknown version") << version2 << QStringList{"unknown template version 2"};
    }
    void menuLines()
    {
        QFETCH(QByteArray, menu);
        QFETCH(QStringList, expected);
        PeBuilder builder;
        builder.Add(4, 1, menu);
        TExeImage image(builder.Build(), u"menu"_s);
        QStringList lines = {u"old line"_s};
        const QString error = ExeErrorOf([&] { TypeNamed(image, u"Menu"_s)->List()->Items(0)->AssignTo(lines); });
        if (error == u"<none>"_s) {
            QCOMPARE(lines, expected);
        } else {
            QCOMPARE(error, u"Damaged menu 1: "_s + expected.value(0));
            QCOMPARE(lines, QStringList{u"old line"_s});
        }
    }

    void bitmapFileHeader_data()
    {
        QTest::addColumn<int>("bitCount");
        QTest::addColumn<quint32>("used");
        QTest::addColumn<quint32>("headerSize");
        QTest::addColumn<quint32>("bitsOffset");
        QTest::newRow("24 bits") << 24 << 0u << 40u << 54u;
        QTest::newRow("8 bits, full palette") << 8 << 0u << 40u << 1078u;
        QTest::newRow("8 bits, 16 colours used") << 8 << 16u << 40u << 118u;
        QTest::newRow("core header, 8 bits") << 8 << 0u << 12u << 794u;
    }
    void bitmapFileHeader()
    {
        QFETCH(int, bitCount);
        QFETCH(quint32, used);
        QFETCH(quint32, headerSize);
        QFETCH(quint32, bitsOffset);
        const QByteArray raw = PeBuilder::Bitmap(5, 3, bitCount, used, headerSize);
        PeBuilder builder;
        builder.Add(2, 101, raw);
        TExeImage image(builder.Build(), u"bitmap"_s);
        TResourceItem *bitmap = TypeNamed(image, u"Bitmap"_s)->List()->Items(0);
        const QByteArray file = Saved(bitmap);
        QCOMPARE(file.left(2), QByteArray("BM"));
        QCOMPARE((QList<quint32>{U32(file, 2), U32(file, 6), U32(file, 10)}),
                 (QList<quint32>{quint32(14 + raw.size()), 0, bitsOffset}));
        QCOMPARE(file.mid(14), raw);
        QImage picture;
        bitmap->AssignTo(picture);
        QCOMPARE(picture.size(), QSize(5, 3));
        QCOMPARE(picture.pixel(1, 1), qRgb(0, 128, 255));
    }

    void bitmapMasksAndCutHeaders()
    {
        // An information header whose compression says colour masks follow it.
        QByteArray masked = PeBuilder::Bitmap(2, 2, 32);
        PeBuilder::PutU32(masked, 16, 3);
        masked.insert(40, QByteArray("\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 12));
        PeBuilder builder;
        builder.Add(2, 1, masked);
        builder.Add(2, 2, PeBuilder::Bitmap(4, 4, 24).left(30));
        TExeImage image(builder.Build(), u"pictures"_s);
        TResourceList *bitmaps = TypeNamed(image, u"Bitmap"_s)->List();
        QCOMPARE(U32(dynamic_cast<TBitMapResource *>(bitmaps->Items(0))->FileHeader(), 10), quint32(14 + 40 + 12));
        QImage picture;
        QCOMPARE(ExeErrorOf([&] { bitmaps->Items(1)->AssignTo(picture); }),
                 u"Damaged bitmap resource 2: its header is cut short"_s);
    }

    void bestImageBySize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("side");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("32 of 16/32/48") << u"MAINICON"_s << 32 << 32 << Green;
        QTest::newRow("64 of 16/32/48") << u"MAINICON"_s << 64 << 48 << Blue;
        // 40 lies as far from 32 as from 48: the earlier image wins.
        QTest::newRow("tie goes to the first") << u"MAINICON"_s << 40 << 32 << Green;
        QTest::newRow("numbered group") << u"7"_s << 16 << 16 << Red;
        // A square beats an oblong image of the same distance.
        QTest::newRow("square first") << u"SHAPES"_s << 32 << 40 << Green;
    }
    void bestImageBySize()
    {
        QFETCH(QString, name);
        QFETCH(int, asked);
        QFETCH(int, side);
        QFETCH(QRgb, colour);
        const QString file = IconModule(m_dir);
        TExeImage image(file);
        const QImage best = GetBestIconImage(image, name, asked, asked);
        QCOMPARE(best.size(), QSize(side, side));
        QCOMPARE(best.pixel(side / 2, side / 2), colour | 0xFF000000u);
        // The icon of the file holds that image only.
        const QIcon icon = GetBestIconFromFile(file, name, asked, asked);
        QCOMPARE(icon.availableSizes(), QList<QSize>({QSize(side, side)}));
        QCOMPARE(icon.pixmap(side, side).toImage().pixel(side / 2, side / 2), colour | 0xFF000000u);
    }

    // A name that is no icon group gives no icon; a file the reader refuses gives its error.
    void noIcon()
    {
        // (A size byte of 0 stands for 256 pixels.)
        QCOMPARE(IconSizeDistance(0, 0, 256, 256), 0.0);
        const QString file = IconModule(m_dir);
        for (const QString &name : {u"mainicon"_s, u"NOTANICON"_s, QString()})
            QVERIFY2(GetBestIconFromFile(file, name, 32, 32).isNull(), qPrintable(name));
        PeBuilder without;
        without.withResourceSection = false;
        const QString bare = WriteTestFile(m_dir, u"bare.so"_s, without.Build());
        QCOMPARE(ExeErrorOf([&] { GetBestIconFromFile(bare, u"MAINICON"_s, 16, 16); }),
                 u"No resources in this file."_s);
    }

    void damagedFileGivesReaderError_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // the start of the message that the walk must meet
        QTest::addColumn<int>("peresStatus");
        // The sample that the rows damage: a bitmap, an icon group, a string table, named data and a version.
        PeBuilder builder;
        builder.Add(2, 1, PeBuilder::Bitmap(4, 4, 24));
        builder.AddIconGroup(1, {IconSpec()}, 1);
        builder.Add(6, 1, PeBuilder::StringBlock({u"text"_s}));
        builder.Add(10, "NAMED", "data");
        builder.Add(16, 1, PeBuilder::Version(0x10000, 0, {{u"041904E3"_s, {{u"ProductName"_s, u"P"_s}}}}));
        PeLayout l;
        const QByteArray sample = builder.Build(&l);
        const auto patched = [&](std::initializer_list<std::tuple<qint64, int, quint32>> values) {
            QByteArray b = sample;
            for (const auto &[at, size, value] : values)
                size == 2 ? PeBuilder::PutU16(b, at, quint16(value)) : PeBuilder::PutU32(b, at, value);
            return b;
        };
        // The bytes with entries pointed at directories: {entry, directory}.
        const auto pointed = [](QByteArray b, const PeLayout &layout, const QList<QPair<qint64, qint64>> &entries) {
            for (const auto &[entry, directory] : entries)
                PeBuilder::PutU32(b, entry + 4, 0x80000000u | quint32(directory - layout.resourceSection));
            return b;
        };
        const QString outside = u"Damaged file: %1 at offset "_s;
        QTest::newRow("root count beyond the file")
            << patched({{l.resourceSection + 12, 2, 0xFFFF}, {l.resourceSection + 14, 2, 0xFFFF}})
            << outside.arg(u"resource directory entries"_s) << 1;
        QTest::newRow("type points back to the root")
            << pointed(sample, l, {{l.TypeOf(6).entry, l.resourceSection}})
            << u"Damaged file: resource directory at offset 0x600 points back into itself"_s << 1;
        QTest::newRow("directories nest too deep")
            << pointed(sample, l,
                       {{l.Find(6, 1).languageDirectory + 16, l.TypeOf(10).directory},
                        {l.Find(10, "NAMED").languageDirectory + 16, l.TypeOf(2).directory}})
            << u"Damaged file: resource directories nest too deep"_s << 1;
        QTest::newRow("name longer than the file")
            << patched({{l.Find(10, "NAMED").nameString, 2, 0xFFFF}}) << outside.arg(u"resource name"_s) << 1;
        QByteArray noResourceSection = patched({{l.ntHeaders + 4 + 2, 2, 0xFFFF}});
        noResourceSection.replace(l.sectionTable + 40, 5, ".data");
        QTest::newRow("section count beyond the file") << noResourceSection << outside.arg(u"section header"_s) << 1;
        QTest::newRow("icon group counts more images than it holds")
            << patched({{l.Find(14, 1).data + 4, 2, 0xFFFF}}) << u"Damaged file: icon or cursor group at offset"_s << 1;
        QTest::newRow("icon image damaged")
            << patched({{l.Find(3, 1).data + 4, 4, 0x7FFFFFFF}}) << u"Damaged icon image: size"_s << 0;
        QTest::newRow("version resource damaged")
            << patched({{l.Find(16, 1).data + 6, 2, 'X'}}) << u"Damaged version resource: it starts with"_s << 1;
        QTest::newRow("one directory reached from two types")
            << pointed(sample, l, {{l.TypeOf(10).entry, l.TypeOf(6).directory}})
            << u"Damaged file: resource directory at offset 0x%1 is reached twice"_s.arg(
                   QString::number(l.TypeOf(6).directory, 16).toUpper())
            << 1;
        // A directory of 131070 entries, all inside the file, whose first entry makes it a list.
        const qint64 directory = sample.size();
        QByteArray huge = sample;
        huge.append(QByteArray(16 + 131070 * 8, '\0'));
        PeBuilder::PutU16(huge, directory + 12, 0xFFFF);
        PeBuilder::PutU16(huge, directory + 14, 0xFFFF);
        QTest::newRow("more entries than any file holds")
            << pointed(huge, l, {{directory + 16, directory}, {l.TypeOf(6).entry, directory}})
            << u"Damaged file: the resource directory has more than 65536 entries"_s << 1;
    }
    void damagedFileGivesReaderError()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QFETCH(int, peresStatus);
        // The whole walk meets the expected reader error, and only reader errors.
        const QStringList errors = ExerciseBytes(bytes);
        const bool met = std::any_of(errors.cbegin(), errors.cend(),
                                     [&](const QString &error) { return error.startsWith(expected); });
        QVERIFY2(met, qPrintable(u"expected \"%1\" among:\n%2"_s.arg(expected, errors.join('\n'))));
        // The listing shows the error where it meets it.
        QTemporaryDir dir;
        const QString path = WriteTestFile(dir, u"damaged.dll"_s, bytes);
        QByteArray listing;
        QCOMPARE(DumpResourceFile(path, QByteArrayLiteral("damaged.dll"), listing), peresStatus);
        if (peresStatus == 1)
            QVERIFY2(listing.contains("  ERROR Damaged "), listing.constData());
    }

    void regressionInputs_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(QStringLiteral(REGRESSION_DIR));
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        QVERIFY2(!names.isEmpty(), REGRESSION_DIR);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }
    void regressionInputs()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        ExerciseBytes(file.readAll());
        QByteArray listing;
        const int status = DumpResourceFile(path, QFile::encodeName(path), listing);
        QVERIFY(status == 0 || status == 1);
        QVERIFY(listing.startsWith(QFile::encodeName(path) + '\n'));
    }

    // Every kind of a 64-bit file; a damaged resource shows its error in place and the listing goes on; a file that
    // cannot be read ends its listing with the error, and the next file is listed all the same.
    void listsEveryKindAndGoesOnAfterDamage()
    {
        PeBuilder builder;
        builder.pe32Plus = true;
        builder.AddCursorGroup(2, {{32, 32}}, 1);
        builder.Add(2, 101, PeBuilder::Bitmap(8, 8, 24));
        builder.Add(4, 1, PeBuilder::MenuEx({{0, 0, 1, 0x81, u"&File"_s}, {0, 0, 2, 0x80, u"&Open"_s}}).left(20));
        builder.Add(4, 2, PeBuilder::Menu({{0x90, 0, u"&File"_s}, {0x80, 101, u"E&xit"_s}}));
        builder.Add(6, 2, PeBuilder::StringBlock({u"Первая"_s, QString(), u"Третья"_s}));
        builder.Add(10, 1, "data");
        builder.AddIconGroup(u"MAINICON"_s, {IconSpec(), {.width = 16, .height = 16}}, 1);
        builder.AddIconGroup(1, {IconSpec()}, 3);
        builder.Add(
            16, 1,
            PeBuilder::Version(
                0x20000, 0,
                {{u"041904E3"_s, {{u"FileDescription"_s, u"Описание"_s}, {u"ProductVersion"_s, u"2.0.0.0"_s}}}}));
        PeLayout layout;
        QByteArray file = builder.Build(&layout);
        // The numbered icon group's data entry points outside the file.
        PeBuilder::PutU32(file, layout.Find(14, 1).dataEntry + 4, 0x7FFFFF00);
        WriteTestFile(m_dir, u"пример файла.dll"_s, file);
        QByteArray listing;
        QCOMPARE(Peres({u"missing.dll"_s, u"пример файла.dll"_s}, m_dir.path(), &listing), 1);
        const QString expected = u"missing.dll\n  ERROR Couldn't open: missing.dll\n"
                                 "пример файла.dll\n"
                                 "  Bitmap\n    101\n      BMP 246 54\n"
                                 "  Menu\n    1\n      ERROR Damaged menu 1: an item is cut short\n"
                                 "    2\n      POPUP \"&File\"\n        MENUITEM \"E&xit\",  101\n      ENDPOPUP\n"
                                 "  String\n    2\n      16,  \"Первая\"\n      18,  \"Третья\"\n"
                                 "  RCData\n    1\n"
                                 "  Cursor\n    2\n      32 X 32 1 Bit(s)\n"
                                 "  Icon\n    MAINICON\n      32 X 32 16 Colors\n      16 X 16 16 Colors\n"
                                 "    1\n      ERROR Damaged file: resource data at offset 0x%1 (2147483392 bytes) "
                                 "lies outside the file\n"
                                 "  Version\n    1\n"
                                 "  FileDescription=Описание\n  ProductVersion=2.0.0.0\n  ProductName=\n"_s;
        QCOMPARE(QString::fromUtf8(listing), expected.arg(QString::number(layout.Find(14, 1).data, 16).toUpper()));
        PeBuilder plain;
        plain.Add(10, 1, "x");
        WriteTestFile(m_dir, u"plain.dll"_s, plain.Build());
        QCOMPARE(Peres({"plain.dll"}, m_dir.path()), 0);
    }
};

QTEST_MAIN(TestPE32Image)
#include "tst_uPE32Image.moc"
