// The version resource parser (fixed file information, string tables by their
// language key, values by the paths of the version API) and the file version
// information built on it: the lines of one file (name, size, times and the
// three version strings of the 041904E3 block), BuildKind, the error box of a
// file that cannot be read, and the manager over a list of files.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "RecordingDialogService.h"
#include "ResourcePack.h"
#include "uFileVersion.h"
#include "uVersionInfo.h"

#include <QFileInfo>
#include <QLocale>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString Russian = u"041904E3"_s;
const QString English = u"040904B0"_s;

using Strings = QList<QPair<QString, QString>>;

Strings Sample()
{
    return {{u"FileDescription"_s, u"Модуль заказов"_s}, {u"ProductVersion"_s, u"5.0.0.1"_s}, {u"ProductName"_s, u"Заказы"_s}};
}

QByteArray PeWithVersion(const QList<VersionTableSpec> &tables)
{
    PeBuilder builder;
    builder.Add(16, 1, PeBuilder::Version(0x00050000, 1, tables));
    return builder.Build();
}

// The names of a file's lines, in order.
QStringList LineNames(const TFileVersion &file)
{
    QStringList names;
    for (const QString &line : file.Values)
        names.append(line.section(QLatin1Char('='), 0, 0));
    return names;
}

} // namespace

class TestFileVersion : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordingDialogService *dialogs = nullptr;

private slots:
    void init() { dialogs = new RecordingDialogService; }
    void cleanup()
    {
        delete dialogs;
        QLocale::setDefault(QLocale::system());
    }

    void versionValuesByPath()
    {
        const QList<VersionTableSpec> tables{{English, {{u"ProductName"_s, u"English"_s}}},
                                             {Russian, Sample() + Strings{{u"SpecialBuild"_s, {}}}}};
        const TVersionInfo info(PeBuilder::Version(0x00050000, 0x00020001, tables, {0x04E30419, 0x04B00409}));
        QVERIFY(info.HasFixedInfo());
        QCOMPARE(info.FixedInfo().Signature, 0xFEEF04BDu);
        QCOMPARE(info.FixedInfo().FileVersion(), u"5.0.2.1"_s);
        QCOMPARE(info.FixedInfo().ProductVersion(), u"5.0.2.1"_s);
        QCOMPARE(info.StringTables().size(), 2);
        QCOMPARE(info.StringTables()[1].Strings[0].Value, u"Модуль заказов"_s);
        QCOMPARE(info.Translations(), QList<quint32>({0x04E30419, 0x04B00409}));
        QCOMPARE(info.Value(u"\\StringFileInfo\\041904E3\\ProductVersion"_s), u"5.0.0.1"_s);
        QCOMPARE(info.StringValue(English, u"ProductName"_s), u"English"_s);
        // Keys compare without regard to letter case.
        QCOMPARE(info.Value(u"\\stringfileinfo\\041904e3\\productname"_s), u"Заказы"_s);
        // A key that is there with an empty value exists; a missing one does not.
        QVERIFY(info.Exists(u"\\StringFileInfo\\041904E3\\SpecialBuild"_s));
        for (const QString &path : {u"\\StringFileInfo\\041904E3\\PrivateBuild"_s, u"\\StringFileInfo\\040904B0\\ProductVersion"_s,
                                    u"\\StringFileInfo\\041904E3"_s, u"\\VarFileInfo\\041904E3\\ProductName"_s})
            QVERIFY2(!info.Exists(path), qPrintable(path));
        QVERIFY(info.Exists(u"\\"_s));
        QString value = u"old"_s;
        QVERIFY(!info.QueryValue(u"\\StringFileInfo\\041904E3\\Comments"_s, &value));
        QVERIFY(value.isEmpty());
        // The string block's value length counts characters; some files state bytes.
        QByteArray data = PeBuilder::Version(1, 0, {{Russian, {{u"ProductName"_s, u"Bytes"_s}}}});
        const qint64 at = data.indexOf(QByteArray("P\0r\0o\0d", 8)) - 6;
        QCOMPARE(quint16(uchar(data[at + 2])), quint16(6));
        PeBuilder::PutU16(data, at + 2, 12);
        QCOMPARE(TVersionInfo(data).StringValue(Russian, u"ProductName"_s), u"Bytes"_s);
        // A root that claims more than there is reads what is there; zero padding ends the children.
        data = PeBuilder::Version(1, 0, {{Russian, Sample()}});
        PeBuilder::PutU16(data, 0, quint16(data.size() + 40));
        QCOMPARE(TVersionInfo(data).StringValue(Russian, u"ProductVersion"_s), u"5.0.0.1"_s);
        data = PeBuilder::Version(1, 0, {{Russian, Sample()}}) + QByteArray(16, '\0');
        PeBuilder::PutU16(data, 0, quint16(data.size()));
        QCOMPARE(TVersionInfo(data).StringValue(Russian, u"ProductName"_s), u"Заказы"_s);
    }

    void versionResourceOfAFile()
    {
        // Number 1 when there is one, else the first.
        PeBuilder builder;
        builder.Add(16, 2, PeBuilder::Version(2, 0, {}));
        builder.Add(16, 1, PeBuilder::Version(1, 0, {}));
        TExeImage image(builder.Build(), u"versions"_s);
        QCOMPARE(TVersionInfo::FromImage(image)->FixedInfo().FileVersionMS, 1u);
        PeBuilder other;
        other.Add(16, 5, PeBuilder::Version(5, 0, {}));
        QCOMPARE(TVersionInfo::FromFile(WriteTestFile(dir, u"five.dll"_s, other.Build()))->FixedInfo().FileVersionMS, 5u);
        // None: no file, no PE file, no resources, no version resource, a named type called "16".
        PeBuilder without;
        without.withResourceSection = false;
        PeBuilder noVersion;
        noVersion.Add(10, 1, "data");
        PeBuilder named;
        named.Add("16", 1, PeBuilder::Version(1, 0, {}));
        QVERIFY(!TVersionInfo::FromFile(dir.filePath(u"missing.dll"_s)));
        for (const QByteArray &bytes : {QByteArray("plain text"), without.Build(), noVersion.Build(), named.Build()})
            QVERIFY(!TVersionInfo::FromFile(WriteTestFile(dir, u"none.dll"_s, bytes)));
    }

    void damagedVersionResource_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        const QByteArray good = PeBuilder::Version(1, 0, {{Russian, Sample()}});
        auto patched = [&](qint64 offset, quint16 value) {
            QByteArray bytes = good;
            PeBuilder::PutU16(bytes, offset, value);
            return bytes;
        };
        QTest::newRow("empty") << QByteArray() << u"block at offset 0 is cut short"_s;
        QTest::newRow("header only") << good.left(4) << u"block at offset 0 is cut short"_s;
        QTest::newRow("length below the header") << patched(0, 4) << u"block at offset 0 has length 4"_s;
        QTest::newRow("wrong key") << patched(6, 'W') << u"it starts with \"WS_VERSION_INFO\""_s;
        QTest::newRow("key not terminated") << good.left(20) << u"a key is not terminated"_s;
        QTest::newRow("fixed info past the block") << patched(2, 0xFFF0) << u"the fixed file information is cut short"_s;
        // The first child follows the root's header, key and fixed information.
        QTest::newRow("child length below the header") << patched(40 + 52, 3) << u"block at offset 92 has length 3"_s;
    }
    void damagedVersionResource()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        QCOMPARE(ExeErrorOf([&] { TVersionInfo info(data); }), u"Damaged version resource: "_s + expected);
    }

    // Description, version, product and BuildKind (1 special, 2 private, 3 plain, 0 none).
    void versionStrings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("buildKind");
        const QStringList sample{"Модуль заказов", "5.0.0.1", "Заказы"};
        const QStringList none{"", "", ""};
        QTest::newRow("Russian block") << PeWithVersion({{Russian, Sample()}}) << sample << 3;
        QTest::newRow("other block only") << PeWithVersion({{English, Sample()}}) << none << 3;
        QTest::newRow("both blocks") << PeWithVersion({{English, {{u"ProductVersion"_s, u"9"_s}}}, {Russian, Sample()}})
                                     << sample << 3;
        QTest::newRow("no ProductVersion")
            << PeWithVersion({{Russian, {{u"FileDescription"_s, u"Склад"_s}, {u"ProductName"_s, u"Учёт"_s}}}})
            << QStringList{"Склад", "", "Учёт"} << 3;
        QTest::newRow("SpecialBuild") << PeWithVersion({{Russian, Sample() + Strings{{u"SpecialBuild"_s, u"test"_s}}}})
                                      << sample << 1;
        QTest::newRow("PrivateBuild") << PeWithVersion({{Russian, Sample() + Strings{{u"PrivateBuild"_s, u"me"_s}}}})
                                      << sample << 2;
        QTest::newRow("both special keys")
            << PeWithVersion({{Russian, Sample() + Strings{{u"SpecialBuild"_s, QString()}, {u"PrivateBuild"_s, QString()}}}})
            << sample << 2;
        QTest::newRow("special key in another block only")
            << PeWithVersion({{English, {{u"SpecialBuild"_s, u"x"_s}}}, {Russian, Sample()}}) << sample << 3;
        // A description or product naming a resource string of the language package shows its text; a version not.
        const QString id = u"rstr_to_Close"_s;
        QTest::newRow("resource strings") << PeWithVersion({{Russian, {{u"FileDescription"_s, id}, {u"ProductVersion"_s, id},
                                                                       {u"ProductName"_s, id}}}})
                                          << QStringList{ResStr(id), id, ResStr(id)} << 3;
        QTest::newRow("plain text") << QByteArray("plain text, not a program") << none << 0;
        QTest::newRow("MZ only") << QByteArray("MZ but nothing more") << none << 0;
        PeBuilder noVersion;
        noVersion.Add(10, 1, "data");
        QTest::newRow("PE without version") << noVersion.Build() << none << 0;
    }
    void versionStrings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, values);
        QFETCH(int, buildKind);
        const TFileVersion file(WriteTestFile(dir, u"module.dll"_s, bytes));
        QCOMPARE(LineNames(file),
                 (QStringList{"FileName", "FileSize", "CreateDate", "LastChange", "FileDescription", "ProductVersion", "ProductName"}));
        QCOMPARE((QStringList{file.Value(u"FileDescription"_s), file.Value(u"ProductVersion"_s), file.Value(u"ProductName"_s)}),
                 values);
        QCOMPARE(int(file.BuildKind), buildKind);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void linesOfAFile()
    {
        const QString path = WriteTestFile(dir, u"Orders.dll"_s, PeWithVersion({{Russian, Sample()}}));
        TFileVersion file(path);
        QCOMPARE(file.FileName, path);
        QCOMPARE(file.Values.first(), u"FileName=Orders.dll"_s);
        QCOMPARE(file.FileSize, quint32(QFileInfo(path).size()));
        QCOMPARE(file.LastWriteTime, QFileInfo(path).lastModified().toLocalTime());
        QVERIFY(file.CreationTime.isValid());
        QCOMPARE(file.Value(u"CreateDate"_s), QLatin1Char(' ') + FormatFileTime(file.CreationTime));
        QCOMPARE(file.Value(u"LastChange"_s), QLatin1Char(' ') + FormatFileTime(file.LastWriteTime));
        // Filled once: running it again only adds lines.
        QVERIFY(file.FormVersionData(path));
        QCOMPARE(file.LineCount(), 14);
        // An empty file has an empty size.
        QVERIFY(TFileVersion(WriteTestFile(dir, u"empty.bin"_s, {})).Values.contains(u"FileSize="_s));
        // Every column of the window names one of the lines.
        QCOMPARE(TFileVersionMgr().FieldCount(), kFileVersionFieldCount);
        for (int i = 0; i < kFileVersionFieldCount; ++i)
            QVERIFY(LineNames(file).contains(QString::fromLatin1(TFileVersionMgr::Fields(i).Name)));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, FileVersionField(kFileVersionFieldCount));
    }

    void fileThatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << u"missing.dll"_s;
        QTest::newRow("folder") << u"folder.dll"_s;
    }
    void fileThatCannotBeOpened()
    {
        QFETCH(QString, name);
        QDir(dir.path()).mkdir(u"folder.dll"_s);
        const QString path = dir.filePath(name);
        TFileVersion file(path);
        QCOMPARE(file.Values, QStringList{u"FileName="_s + name});
        QCOMPARE(file.BuildKind, quint8(0));
        QCOMPARE(dialogs->boxes.size(), 1);
        const RecordedBox &box = dialogs->boxes.first();
        QCOMPARE(box.flags, unsigned(MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST));
        QVERIFY2(box.text.contains(path), qPrintable(box.text));
        QVERIFY(!file.FormVersionData(path));
        QCOMPARE(dialogs->boxes.size(), 2);
    }

    void damagedVersionResourceKeepsTheLinesBefore()
    {
        QByteArray version = PeBuilder::Version(1, 0, {{Russian, Sample()}});
        PeBuilder::PutU16(version, 0, 3); // a root block shorter than its header
        PeBuilder builder;
        builder.Add(16, 1, version);
        const TFileVersion file(WriteTestFile(dir, u"damaged.dll"_s, builder.Build()));
        QCOMPARE(LineNames(file), (QStringList{"FileName", "FileSize", "CreateDate", "LastChange"}));
        QCOMPARE(file.BuildKind, quint8(0));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes.first().text.startsWith(u"could not load info"_s), qPrintable(dialogs->boxes.first().text));
    }

    void sizeIsGroupedByTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
    }
    void sizeIsGroupedByTheLocale()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const QString path = dir.filePath(u"big.bin"_s);
        {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly | QIODevice::Truncate) && big.resize(1234567));
        }
        const TFileVersion file(path);
        const QString sep = locale.groupSeparator();
        QCOMPARE(file.FileSize, quint32(1234567));
        QCOMPARE(file.Value(u"FileSize"_s), u"1"_s + sep + u"234"_s + sep + u"567"_s);
        QCOMPARE(FormatFileSize(999), u"999"_s);
    }

    void managerReadsEveryFileInOrder()
    {
        TFileVersionMgr manager;
        manager.FileNames = {WriteTestFile(dir, u"a.dll"_s, PeWithVersion({{Russian, Sample()}})), dir.filePath(u"gone.dll"_s),
                             WriteTestFile(dir, u"c.txt"_s, "text")};
        QCOMPARE(manager.Count(), 0);
        manager.Refresh();
        QCOMPARE(manager.Count(), 3);
        QCOMPARE(manager.Items(0)->Value(u"FileName"_s), u"a.dll"_s);
        QCOMPARE(manager.Items(0)->BuildKind, quint8(3));
        QCOMPARE(manager.Items(1)->LineCount(), 1);
        QCOMPARE(manager.Items(2)->LineCount(), 7);
        // The failing file is reported once; the others are still read.
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, manager.Items(3));
        // A refresh reads the files again.
        WriteTestFile(dir, u"c.txt"_s, "longer text");
        manager.FileNames.removeAt(1);
        manager.Refresh();
        QCOMPARE(manager.Count(), 2);
        QCOMPARE(manager.Items(1)->FileSize, quint32(11));
    }
};

QTEST_GUILESS_MAIN(TestFileVersion)
#include "tst_uFileVersion.moc"
