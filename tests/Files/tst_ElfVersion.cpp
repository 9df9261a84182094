// Version information of ELF files: the version section read from 32- and
// 64-bit files of either byte order, damaged files that fail with the
// reader's error instead of reading outside them, and the versions of the
// built program, libraries and modules.
#include "ElfBuilder.h"
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "RecordingDialogService.h"
#include "uElfImage.h"
#include "uFileVersion.h"
#include "uShowVer.h"
#include "uVersionInfo.h"
#include "uVersionResource.h"

#include <QDir>
#include <QDirIterator>
#include <QtTest>

namespace {

const QString Russian = QStringLiteral("041904E3");
const QByteArray VersionSection(VersionResource::VersionSectionName.data(),
                                qsizetype(VersionResource::VersionSectionName.size()));

QByteArray SampleVersion()
{
    return PeBuilder::Version(0x00050000, 0x00020001,
                              {{Russian,
                                {{QStringLiteral("FileDescription"), QStringLiteral("Модуль заказов")},
                                 {QStringLiteral("ProductVersion"), QStringLiteral("5.0.2.1")},
                                 {QStringLiteral("ProductName"), QStringLiteral("Заказы")}}}});
}

// A file with its version section between two others.
QByteArray ElfWithVersion(bool is64, bool bigEndian, const QByteArray &version, ElfLayout *layout = nullptr)
{
    ElfBuilder builder;
    builder.is64 = is64;
    builder.bigEndian = bigEndian;
    builder.Add(".text", QByteArray(24, '\x90'));
    builder.Add(VersionSection, version);
    builder.Add(".bss", QByteArray(64, '\0'), ElfBuilder::NoBits);
    return builder.Build(layout);
}
constexpr int VersionIndex = 2; // after the empty section 0 and .text

QString Hex(quint64 value) { return QStringLiteral("0x") + QString::number(value, 16).toUpper(); }

QString ReadError(const QByteArray &bytes)
{
    return ExeErrorOf([&] { TVersionInfo::FromElf(TElfImage(bytes, QStringLiteral("damaged.so"))); });
}

// The programs, libraries and modules that the build installs.
QStringList InstalledElfFiles(const QString &dist)
{
    QStringList files;
    QDirIterator it(dist, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && TElfImage::HasElfSignature(file.read(4)))
            files.append(QDir(dist).relativeFilePath(path));
    }
    files.sort();
    return files;
}

} // namespace

class TestElfVersion : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordingDialogService *dialogs = nullptr;

private slots:
    void init() { dialogs = new RecordingDialogService; }
    void cleanup() { delete dialogs; }

    void readsTheVersionSection_data()
    {
        QTest::addColumn<bool>("is64");
        QTest::addColumn<bool>("bigEndian");
        QTest::newRow("ELF64") << true << false;
        QTest::newRow("ELF32") << false << false;
        QTest::newRow("ELF64 big-endian") << true << true;
        QTest::newRow("ELF32 big-endian") << false << true;
    }

    void readsTheVersionSection()
    {
        QFETCH(bool, is64);
        QFETCH(bool, bigEndian);
        const QString path = WriteTestFile(dir, QStringLiteral("Orders.so"), ElfWithVersion(is64, bigEndian, SampleVersion()));

        const TElfImage image(path);
        QCOMPARE(image.Is64Bit(), is64);
        QCOMPARE(image.IsBigEndian(), bigEndian);
        QCOMPARE(image.Section(VersionSection), SampleVersion());

        const auto version = TVersionInfo::FromFile(path);
        QVERIFY(version);
        QCOMPARE(version->FixedInfo().FileVersion(), QStringLiteral("5.0.2.1"));
        QCOMPARE(version->StringValue(Russian, QStringLiteral("FileDescription")), QStringLiteral("Модуль заказов"));
    }

    void fileWithoutVersionSection()
    {
        ElfBuilder other;
        other.Add(".text", "code");
        other.Add(".zversionx", SampleVersion()); // a longer name is another section
        const QString path = WriteTestFile(dir, QStringLiteral("other.so"), other.Build());
        QVERIFY(!TVersionInfo::FromFile(path));

        // No section header table at all, or no name table: no sections to find.
        ElfLayout layout;
        QByteArray bare = ElfWithVersion(true, false, SampleVersion(), &layout);
        layout.Put(bare, ElfLayout::ShOff, 0);
        QVERIFY(!TVersionInfo::FromElf(TElfImage(bare, QStringLiteral("bare.so"))));
        QByteArray unnamed = ElfWithVersion(false, false, SampleVersion(), &layout);
        layout.Put(unnamed, ElfLayout::ShStrNdx, 0);
        QVERIFY(!TVersionInfo::FromElf(TElfImage(unnamed, QStringLiteral("unnamed.so"))));
    }

    void extendedSectionCountAndNameTable()
    {
        // Files with very many sections keep the count and the name table's
        // index in the first section header.
        for (bool is64 : {true, false}) {
            ElfLayout layout;
            QByteArray bytes = ElfWithVersion(is64, false, SampleVersion(), &layout);
            layout.Put(bytes, ElfLayout::ShNum, 0);
            layout.Put(bytes, ElfLayout::ShStrNdx, 0xFFFF);
            layout.Put(bytes, 0, ElfLayout::Size, quint64(layout.sectionCount));
            layout.Put(bytes, 0, ElfLayout::Link, quint64(layout.nameTableIndex));
            const auto version = TVersionInfo::FromElf(TElfImage(bytes, QStringLiteral("many.so")));
            QVERIFY(version);
            QCOMPARE(version->StringValue(Russian, QStringLiteral("ProductName")), QStringLiteral("Заказы"));
        }
    }

    void damagedFileFails_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // the start of the reader's message
        for (bool is64 : {true, false}) {
            ElfLayout at;
            const QByteArray good = ElfWithVersion(is64, false, SampleVersion(), &at);
            const quint64 size = quint64(good.size()), wordMax = is64 ? ~quint64(0) - 15 : 0xFFFFFFF0u;
            auto damaged = [&](const char *name, const std::function<void(QByteArray &)> &damage, const QString &error) {
                QByteArray bytes = good;
                damage(bytes);
                QTest::newRow(QByteArray(is64 ? "ELF64 " : "ELF32 ") + name) << bytes << error;
            };
            const QString outside = QStringLiteral("Damaged file: %1 at offset %2");
            const QString table = outside.arg(QStringLiteral("section header table"), Hex(at.sectionTable));
            damaged("header cut short", [](QByteArray &b) { b.truncate(40); }, outside.arg(QStringLiteral("ELF header"), QStringLiteral("0x0")));
            damaged("unknown class", [](QByteArray &b) { b[4] = 3; }, QStringLiteral("Damaged ELF file: unknown class 3"));
            damaged("unknown byte order", [](QByteArray &b) { b[5] = 0; }, QStringLiteral("Damaged ELF file: unknown byte order 0"));
            damaged("section table past the end", [&](QByteArray &b) { at.Put(b, ElfLayout::ShOff, size + 8); },
                    outside.arg(QStringLiteral("section header table"), Hex(size + 8)));
            damaged("section table at the largest offset", [&](QByteArray &b) { at.Put(b, ElfLayout::ShOff, wordMax); },
                    outside.arg(QStringLiteral("section header table"), Hex(wordMax)));
            damaged("file cut inside the section table", [&](QByteArray &b) { b.truncate(at.sectionTable + at.entrySize + 8); }, table);
            damaged("more sections than the file holds", [&](QByteArray &b) { at.Put(b, ElfLayout::ShNum, 0xFFF0); }, table + " (65520 ");
            damaged("extended count beyond the file", [&](QByteArray &b) {
                        at.Put(b, ElfLayout::ShNum, 0);
                        at.Put(b, 0, ElfLayout::Size, is64 ? (quint64(1) << 40) : 0x10000000u);
                    }, table);
            damaged("section headers too short", [&](QByteArray &b) { at.Put(b, ElfLayout::ShEntSize, 8); },
                    QStringLiteral("Damaged ELF file: section headers of 8 bytes"));
            damaged("name table index past the sections", [&](QByteArray &b) { at.Put(b, ElfLayout::ShStrNdx, 40); },
                    QStringLiteral("Damaged ELF file: the section name table is section 40 of %1").arg(at.sectionCount));
            damaged("name table past the end", [&](QByteArray &b) { at.Put(b, at.nameTableIndex, ElfLayout::Offset, size - 4); },
                    outside.arg(QStringLiteral("section name table"), Hex(size - 4)));
            damaged("name table of the largest size", [&](QByteArray &b) { at.Put(b, at.nameTableIndex, ElfLayout::Size, wordMax); },
                    outside.arg(QStringLiteral("section name table"), Hex(at.nameTable)) + QStringLiteral(" (%1 bytes)").arg(wordMax));
            damaged("name table without bytes", [&](QByteArray &b) { at.Put(b, at.nameTableIndex, ElfLayout::Type, 8); },
                    QStringLiteral("Damaged ELF file: the section name table holds no bytes"));
            damaged("name outside the name table", [&](QByteArray &b) { at.Put(b, 1, ElfLayout::Name, 0x7FFFFFFF); },
                    QStringLiteral("Damaged ELF file: the name of section 1 lies outside the name table"));
            damaged("version section past the end", [&](QByteArray &b) { at.Put(b, VersionIndex, ElfLayout::Offset, size - 4); },
                    outside.arg(QStringLiteral("section"), Hex(size - 4)));
            damaged("version section of the largest size", [&](QByteArray &b) { at.Put(b, VersionIndex, ElfLayout::Size, wordMax); },
                    outside.arg(QStringLiteral("section"), Hex(at.sectionData[VersionIndex])) + QStringLiteral(" (%1 bytes)").arg(wordMax));
            damaged("version section without bytes", [&](QByteArray &b) { at.Put(b, VersionIndex, ElfLayout::Type, 8); },
                    QStringLiteral("Damaged ELF file: section .zversion holds no bytes"));
            damaged("version section of no bytes", [&](QByteArray &b) { at.Put(b, VersionIndex, ElfLayout::Size, 0); },
                    QStringLiteral("Damaged version resource: block at offset 0 is cut short"));
        }
    }

    void damagedFileFails()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QVERIFY2(ReadError(bytes).startsWith(error), qPrintable(ReadError(bytes)));
        // Read from a file the same way.
        const QString path = WriteTestFile(dir, QStringLiteral("damaged.so"), bytes);
        QCOMPARE(ExeErrorOf([&] { TVersionInfo::FromFile(path); }), ReadError(bytes));
    }

    void everyTruncationFails()
    {
        // The section header table comes last: a file cut anywhere lacks part of
        // it, and reading it fails with the reader's error (under the sanitizers
        // also without reading past the cut).
        for (bool is64 : {true, false}) {
            ElfLayout at;
            const QByteArray whole = ElfWithVersion(is64, true, SampleVersion(), &at);
            QCOMPARE(at.sectionTable + at.sectionCount * at.entrySize, qint64(whole.size()));
            for (qsizetype length = 0; length < whole.size(); ++length) {
                const QByteArray cut = whole.left(length);
                QVERIFY2(ReadError(cut) != QLatin1String("<none>"), qPrintable(QString::number(length)));
            }
            QCOMPARE(ReadError(whole), QStringLiteral("<none>"));
        }
    }

    void builtFilesCarryTheProjectVersion()
    {
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        const QStringList files = InstalledElfFiles(dist);
        for (const char *name : {"KorConsole", "libZandrellCore.so", "libZandrellDataAccess.so", "libZandrellEmbeddedServer.so",
                                 "libZandrellUi.so", "libZandrellCom.so", "ComformLibs.so", "LumConsoleAbout.so", "LumRes.so",
                                 "Orders.so", "Stock.so", "Plugins/Notes.plg"})
            QVERIFY2(files.contains(QLatin1String(name)), qPrintable(QLatin1String(name) + QStringLiteral(" is not in ") + files.join(' ')));

        const QString version = QStringLiteral(ZANDRELL_PROJECT_VERSION);
        // Every program and shared object of the installation, not only those above.
        for (const QString &name : files) {
            const auto info = TVersionInfo::FromFile(QDir(dist).filePath(name));
            QVERIFY2(info, qPrintable(name + QStringLiteral(" has no version information")));
            QString base = QFileInfo(name).completeBaseName();
            if (base.startsWith(QLatin1String("lib")))
                base = base.mid(3);
            auto value = [&](const char *key) { return info->StringValue(Russian, QLatin1String(key)); };
            QCOMPARE(value("InternalName"), base);
            QCOMPARE(value("FileVersion") + ' ' + value("ProductVersion") + ' ' + value("ProductName"),
                     version + ' ' + version + QStringLiteral(" KorConsole"));
            QVERIFY2(!value("FileDescription").isEmpty() && !value("LegalCopyright").isEmpty(), qPrintable(name));
            QVERIFY(info->Exists(QStringLiteral("\\StringFileInfo\\041904E3\\Comments")));
            QCOMPARE(info->FixedInfo().FileVersion(), version);
            QCOMPARE(info->FixedInfo().FileType,
                     name == QLatin1String("KorConsole") ? VersionResource::FileTypeProgram : VersionResource::FileTypeLibrary);
        }

        // What the versions window reads for "all libraries" of the installation folder.
        TFileVersionMgr manager;
        manager.FileNames = ProgramFilesOfFolder(dist);
        manager.Refresh();
        QVERIFY(manager.Count() >= 11);
        for (int i = 0; i < manager.Count(); ++i)
            QCOMPARE(manager.Items(i)->Value(QStringLiteral("ProductVersion")) + QString::number(manager.Items(i)->BuildKind), version + '3');
        QVERIFY(dialogs->boxes.isEmpty());
    }
};

QTEST_MAIN(TestElfVersion)
#include "tst_ElfVersion.moc"
