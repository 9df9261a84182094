// Version information: the version resource parser, the lines and build kind
// of a file, the manager over a list of files, the version section of ELF
// files (damaged ones included) and of the installation's files, and the
// versions window with its export, columns and placement.
#include "Core/ResourcePack.h"
#include "Files/uElfImage.h"
#include "Files/uFileVersion.h"
#include "Files/uShowVer.h"
#include "Files/uVerList.h"
#include "Files/uVersionInfo.h"
#include "Files/uVersionResource.h"
#include "tests/Files/ElfBuilder.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/Files/PeBuilder.h"
#include "tests/common/FakeLanguages.h"
#include "tests/common/RecordingDialogService.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <numeric>

using namespace Qt::StringLiterals;

namespace {

const QString Russian = u"041904E3"_s;
const QString English = u"040904B0"_s;

using Strings = QList<QPair<QString, QString>>;

Strings Sample()
{
    return {{u"FileDescription"_s, u"Модуль заказов"_s},
            {u"ProductVersion"_s, u"5.0.0.1"_s},
            {u"ProductName"_s, u"Заказы"_s}};
}

QByteArray PeWithVersion(const QList<VersionTableSpec> &tables)
{
    PeBuilder builder;
    builder.Add(16, 1, PeBuilder::Version(0x00050000, 1, tables));
    return builder.Build();
}

QStringList LineNames(const TFileVersion &file)
{
    QStringList names;
    for (const QString &line : file.Values)
        names.append(line.section(QLatin1Char('='), 0, 0));
    return names;
}

const QByteArray VersionSection(VersionResource::VersionSectionName.data(),
                                qsizetype(VersionResource::VersionSectionName.size()));

QByteArray SampleVersion() { return PeBuilder::Version(0x00050000, 0x00020001, {{Russian, Sample()}}); }

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

} // namespace

class TestFileVersion : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordingDialogService *dialogs = nullptr;

private slots:
    void init() { dialogs = new RecordingDialogService; }
    void cleanup() { delete dialogs; }

    void versionValuesByPath()
    {
        const QList<VersionTableSpec> tables{{English, {{u"ProductName"_s, u"English"_s}}},
                                             {Russian, Sample() + Strings{{u"SpecialBuild"_s, {}}}}};
        const TVersionInfo info(PeBuilder::Version(0x00050000, 0x00020001, tables, {0x04E30419, 0x04B00409}));
        QCOMPARE(info.FixedInfo().FileVersion(), u"5.0.2.1"_s);
        QCOMPARE(info.Translations(), QList<quint32>({0x04E30419, 0x04B00409}));
        QCOMPARE(info.Value(u"\\StringFileInfo\\041904E3\\ProductVersion"_s), u"5.0.0.1"_s);
        QCOMPARE(info.StringValue(English, u"ProductName"_s), u"English"_s);
        // Keys compare without regard to letter case.
        QCOMPARE(info.Value(u"\\stringfileinfo\\041904e3\\productname"_s), u"Заказы"_s);
        // A key that is there with an empty value exists; a missing one does not.
        QVERIFY(info.Exists(u"\\StringFileInfo\\041904E3\\SpecialBuild"_s));
        QVERIFY(!info.Exists(u"\\StringFileInfo\\040904B0\\ProductVersion"_s));
        QString value = u"old"_s;
        QVERIFY(!info.QueryValue(u"\\StringFileInfo\\041904E3\\Comments"_s, &value));
        QVERIFY(value.isEmpty());
        // The string block's value length counts characters; some files state bytes.
        QByteArray data = PeBuilder::Version(1, 0, {{Russian, {{u"ProductName"_s, u"Bytes"_s}}}});
        const qint64 at = data.indexOf(QByteArray("P\0r\0o\0d", 8)) - 6;
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
        QCOMPARE(TVersionInfo::FromFile(WriteTestFile(dir, u"five.dll"_s, other.Build()))->FixedInfo().FileVersionMS,
                 5u);
        // None: no file, no version resource, a named type called "16".
        PeBuilder named;
        named.Add("16", 1, PeBuilder::Version(1, 0, {}));
        QVERIFY(!TVersionInfo::FromFile(dir.filePath(u"missing.dll"_s)));
        QVERIFY(!TVersionInfo::FromFile(WriteTestFile(dir, u"none.dll"_s, named.Build())));
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
        QTest::newRow("length below the header") << patched(0, 4) << u"block at offset 0 has length 4"_s;
        QTest::newRow("wrong key") << patched(6, 'W') << u"it starts with \"WS_VERSION_INFO\""_s;
        QTest::newRow("key not terminated") << good.left(20) << u"a key is not terminated"_s;
        QTest::newRow("fixed info past the block")
            << patched(2, 0xFFF0) << u"the fixed file information is cut short"_s;
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
        QTest::newRow("SpecialBuild") << PeWithVersion({{Russian, Sample() + Strings{{u"SpecialBuild"_s, u"test"_s}}}})
                                      << sample << 1;
        QTest::newRow("PrivateBuild") << PeWithVersion({{Russian, Sample() + Strings{{u"PrivateBuild"_s, u"me"_s}}}})
                                      << sample << 2;
        QTest::newRow("both special keys")
            << PeWithVersion(
                   {{Russian, Sample() + Strings{{u"SpecialBuild"_s, QString()}, {u"PrivateBuild"_s, QString()}}}})
            << sample << 2;
        // A description or product naming a resource string of the language package shows its text; a version not.
        const QString id = u"rstr_to_Close"_s;
        QTest::newRow("resource strings")
            << PeWithVersion(
                   {{Russian, {{u"FileDescription"_s, id}, {u"ProductVersion"_s, id}, {u"ProductName"_s, id}}}})
            << QStringList{ResStr(id), id, ResStr(id)} << 3;
        QTest::newRow("not a program") << QByteArray("plain text, not a program") << none << 0;
    }
    void versionStrings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, values);
        QFETCH(int, buildKind);
        const TFileVersion file(WriteTestFile(dir, u"module.dll"_s, bytes));
        QCOMPARE(LineNames(file), (QStringList{"FileName", "FileSize", "CreateDate", "LastChange", "FileDescription",
                                               "ProductVersion", "ProductName"}));
        QCOMPARE((QStringList{file.Value(u"FileDescription"_s), file.Value(u"ProductVersion"_s),
                              file.Value(u"ProductName"_s)}),
                 values);
        QCOMPARE(int(file.BuildKind), buildKind);
        QVERIFY(dialogs->boxes.isEmpty());
    }

    void linesOfAFile()
    {
        const QString path = WriteTestFile(dir, u"Orders.dll"_s, PeWithVersion({{Russian, Sample()}}));
        TFileVersion file(path);
        QCOMPARE(file.Values.first(), u"FileName=Orders.dll"_s);
        QCOMPARE(file.LastWriteTime, QFileInfo(path).lastModified().toLocalTime());
        QCOMPARE(file.Value(u"CreateDate"_s), QLatin1Char(' ') + FormatFileTime(file.CreationTime));
        QCOMPARE(file.Value(u"LastChange"_s), QLatin1Char(' ') + FormatFileTime(file.LastWriteTime));
        // Filled once: running it again only adds lines.
        QVERIFY(file.FormVersionData(path));
        QCOMPARE(file.LineCount(), 14);
        // An empty file has an empty size.
        QVERIFY(TFileVersion(WriteTestFile(dir, u"empty.bin"_s, {})).Values.contains(u"FileSize="_s));
    }

    // A file that cannot be read keeps the lines read before the fault, which is told each time.
    void fileThatCannotBeRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("told"); // a part of the box's text; %1: the file's path
        QTest::newRow("missing") << "missing.dll" << QStringList{"FileName"} << "%1";
        QTest::newRow("damaged version resource")
            << "damaged.dll" << QStringList{"FileName", "FileSize", "CreateDate", "LastChange"}
            << "could not load info";
    }
    void fileThatCannotBeRead()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        QFETCH(QString, told);
        QByteArray version = PeBuilder::Version(1, 0, {{Russian, Sample()}});
        PeBuilder::PutU16(version, 0, 3); // a root block shorter than its header
        PeBuilder builder;
        builder.Add(16, 1, version);
        WriteTestFile(dir, u"damaged.dll"_s, builder.Build());
        const QString path = dir.filePath(name);
        TFileVersion file(path);
        QCOMPARE(LineNames(file), lines);
        QCOMPARE(file.BuildKind, quint8(0));
        QCOMPARE(dialogs->boxes.size(), 1);
        QVERIFY2(dialogs->boxes.first().text.contains(told.replace(u"%1"_s, path)),
                 qPrintable(dialogs->boxes.first().text));
        QVERIFY(!file.FormVersionData(path));
        QCOMPARE(dialogs->boxes.size(), 2);
    }

    // The manager reads its files at each refresh.
    void managerReadsAgainAtRefresh()
    {
        TFileVersionMgr manager;
        manager.FileNames = {WriteTestFile(dir, u"a.dll"_s, PeWithVersion({{Russian, Sample()}})),
                             WriteTestFile(dir, u"c.txt"_s, "text")};
        QCOMPARE(manager.Count(), 0);
        manager.Refresh();
        QCOMPARE(manager.Items(1)->FileSize, quint32(4));
        WriteTestFile(dir, u"c.txt"_s, "longer text");
        manager.Refresh();
        QCOMPARE(manager.Count(), 2);
        QCOMPARE(manager.Items(1)->FileSize, quint32(11));
    }

    // Files with very many sections keep the count and the name table's index in the first section header.
    void readsTheVersionSection_data()
    {
        QTest::addColumn<bool>("is64");
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<bool>("extended");
        QTest::newRow("ELF64") << true << false << false;
        QTest::newRow("ELF32 big-endian") << false << true << false;
        QTest::newRow("ELF32, count in section 0") << false << false << true;
    }

    void readsTheVersionSection()
    {
        QFETCH(bool, is64);
        QFETCH(bool, bigEndian);
        QFETCH(bool, extended);
        ElfLayout layout;
        QByteArray bytes = ElfWithVersion(is64, bigEndian, SampleVersion(), &layout);
        if (extended) {
            layout.Put(bytes, ElfLayout::ShNum, 0);
            layout.Put(bytes, ElfLayout::ShStrNdx, 0xFFFF);
            layout.Put(bytes, 0, ElfLayout::Size, quint64(layout.sectionCount));
            layout.Put(bytes, 0, ElfLayout::Link, quint64(layout.nameTableIndex));
        }
        const QString path = WriteTestFile(dir, QStringLiteral("Orders.so"), bytes);
        const TElfImage image(path);
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
        // No section header table at all: no sections to find.
        ElfLayout layout;
        QByteArray bare = ElfWithVersion(true, false, SampleVersion(), &layout);
        layout.Put(bare, ElfLayout::ShOff, 0);
        QVERIFY(!TVersionInfo::FromElf(TElfImage(bare, QStringLiteral("bare.so"))));
    }

    void damagedFileFails_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // the start of the reader's message
        for (bool is64 : {true, false}) {
            ElfLayout at;
            const QByteArray good = ElfWithVersion(is64, false, SampleVersion(), &at);
            const quint64 wordMax = is64 ? ~quint64(0) - 15 : 0xFFFFFFF0u;
            const auto row = [&](const char *name, const QByteArray &bytes, const QString &error) {
                QTest::newRow(QByteArray(is64 ? "ELF64 " : "ELF32 ") + name) << bytes << error;
            };
            // The good file with a field of the ELF header, or of a section header, changed.
            const auto header = [&](ElfLayout::Field field, quint64 value) {
                QByteArray bytes = good;
                at.Put(bytes, field, value);
                return bytes;
            };
            const auto section = [&](int index, ElfLayout::SectionField field, quint64 value) {
                QByteArray bytes = good;
                at.Put(bytes, index, field, value);
                return bytes;
            };
            const QString outside = u"Damaged file: %1 at offset %2"_s;
            row("header cut short", good.left(40), outside.arg(u"ELF header"_s, u"0x0"_s));
            row("unknown class", QByteArray(good).replace(4, 1, "\3"), u"Damaged ELF file: unknown class 3"_s);
            row("unknown byte order", QByteArray(good).replace(5, 1, QByteArray(1, '\0')),
                u"Damaged ELF file: unknown byte order 0"_s);
            row("section headers too short", header(ElfLayout::ShEntSize, 8),
                u"Damaged ELF file: section headers of 8 bytes"_s);
            row("name table index past the sections", header(ElfLayout::ShStrNdx, 40),
                u"Damaged ELF file: the section name table is section 40 of %1"_s.arg(at.sectionCount));
            row("name outside the name table", section(1, ElfLayout::Name, 0x7FFFFFFF),
                u"Damaged ELF file: the name of section 1 lies outside the name table"_s);
            row("version section of the largest size", section(VersionIndex, ElfLayout::Size, wordMax),
                outside.arg(u"section"_s, Hex(at.sectionData[VersionIndex])) + u" (%1 bytes)"_s.arg(wordMax));
            row("version section without bytes", section(VersionIndex, ElfLayout::Type, 8),
                u"Damaged ELF file: section .zversion holds no bytes"_s);
        }
    }

    void damagedFileFails()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QVERIFY2(ReadError(bytes).startsWith(error), qPrintable(ReadError(bytes)));
        const QString path = WriteTestFile(dir, QStringLiteral("damaged.so"), bytes);
        QCOMPARE(ExeErrorOf([&] { TVersionInfo::FromFile(path); }), ReadError(bytes));
    }

    void builtFilesCarryTheProjectVersion()
    {
        const QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        QStringList files;
        QDirIterator it(dist, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly) && TElfImage::HasElfSignature(file.read(4)))
                files.append(QDir(dist).relativeFilePath(file.fileName()));
        }
        QVERIFY2(files.contains(u"KorConsole"_s) && files.contains(u"Plugins/Notes.plg"_s),
                 qPrintable(files.join(' ')));

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
            QCOMPARE(info->FixedInfo().FileVersion(), version);
            const bool program = name == QLatin1String("KorConsole") || name == QLatin1String("KorModuleProbe");
            QCOMPARE(info->FixedInfo().FileType,
                     program ? VersionResource::FileTypeProgram : VersionResource::FileTypeLibrary);
        }
    }

    // Sizes, times and the splash's dates are written as the session's language writes them, whatever the
    // process's LANG (CTest runs this case with LANG set to C, en_US and ru_RU).
    void formatsFollowTheSessionNotTheProcess_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("Russian") << 25 << u"1\u00A0234\u00A0567"_s << u" 05.02.2024 14:07"_s << u"05.02.24"_s;
        QTest::newRow("English") << 9 << u"1,234,567"_s << u" 02/05/2024 2:07 PM"_s << u"05/02/24"_s;
    }
    void formatsFollowTheSessionNotTheProcess()
    {
        QFETCH(int, language);
        QFETCH(QString, size);
        QFETCH(QString, time);
        QFETCH(QString, stamp);
        FakeLanguages languages;
        languages.aplLang = language;
        const QDateTime moment(QDate(2024, 2, 5), QTime(14, 7, 9));
        QCOMPARE(FormatFileSize(1234567), size);
        QCOMPARE(QLatin1Char(' ') + FormatFileTime(moment), time);
        QCOMPARE(FormatVerDate(moment), stamp);
    }

    // The export asks where to save (the documents folder, the caption as the name), asks before
    // replacing a file, writes the grid and names the file it wrote.
    void exportWritesTheFileAndSaysSo()
    {
        // In a folder of its own, the folder the export writes to.
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        const auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
        TShowVer window;
        window.setWindowTitle(QStringLiteral("Список всех библиотек"));
        window.FillGrid();
        QCOMPARE(window.ExportFileName(), QStringLiteral("Список всех библиотек.txt"));
        const QString target = folder.filePath(window.ExportFileName());
        QString proposed, startFolder;
        int asked = 0;
        dialogs->onModal = [&](QDialog *dialog) {
            auto *save = qobject_cast<QFileDialog *>(dialog);
            if (++asked == 2) { // asked again after "No": cancelled
                save->reject();
                return int(QDialog::Rejected);
            }
            startFolder = save->directory().absolutePath();
            proposed = save->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
            save->selectFile(target);
            static_cast<QDialog *>(save)->accept();
            return int(QDialog::Accepted);
        };
        // An older export is replaced after a question; "No" asks again, and a cancelled dialog writes nothing.
        QVERIFY(WriteBytes(target, QByteArray(5000, 'o')));
        dialogs->answers = {IDNO};
        window.actExportToFile->trigger();
        QCOMPARE(asked, 2);
        QCOMPARE(QFileInfo(target).size(), 5000);
        QCOMPARE(startFolder, QDir(TShowVer::ExportFolder()).absolutePath());
        QCOMPARE(proposed, window.ExportFileName());
        dialogs->clear();
        asked = 0;
        dialogs->answers = {IDYES};
        window.actExportToFile->trigger();
        QCOMPARE(QString::fromUtf8(ReadBytes(target)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 window.ExportLines());
        QCOMPARE(dialogs->boxes.size(), 2);
        QVERIFY(dialogs->boxes[1].text.contains(QLatin1Char('"') + target + QLatin1Char('"')));
        // A caption never leads the export into another folder.
        window.setWindowTitle(QStringLiteral("../up/and away"));
        QVERIFY(!window.ExportFileName().contains(QLatin1Char('/')));
        // A target that cannot be written is reported instead of the notice.
        dialogs->clear();
        QVERIFY(QDir(folder.path()).mkdir(window.ExportFileName()));
        QVERIFY_THROWS_EXCEPTION(EOSError, window.ExportToFile(folder.filePath(window.ExportFileName())));
    }

    void closeAndDrag()
    {
        for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), 0}) {
            TShowVer window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            if (key)
                QTest::keyClick(&window, Qt::Key(key));
            else
                window.Button1->click();
            QVERIFY(!window.isVisible());
            QCOMPARE(window.result(), key ? int(QDialog::Accepted) : int(QDialog::Rejected));
        }
        // The frameless window goes with the mouse pressed in its title strip, and only there.
        TShowVer window;
        window.stxtTitle->setText(QStringLiteral("Title"));
        window.move(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();
        for (const QPoint &at : {QPoint(window.width() / 2, window.height() - 5),
                                 QPoint(window.width() / 2, window.stxtTitle->height() / 2)}) {
            QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at);
            QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 20)),
                             QPointF(window.mapToGlobal(at) + QPoint(30, 20)), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&window, &move);
            QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at);
        }
        QCOMPARE(window.pos(), start + QPoint(30, 20));
    }

    // Executables and shared objects of the folder, the .dll and .exe files too; no folders, no data.
    void programFilesOfFolder()
    {
        QTemporaryDir folder;
        for (const char *name : {"KorConsole", "AutoUpdate", "Orders.so", "setup.exe"})
            QFile::setPermissions(WriteTestFile(folder, QString::fromLatin1(name), "x"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const char *name : {"ComformLibs.so", "Console.ini", "OLD.DLL", "Lum.dll"})
            QFile::setPermissions(WriteTestFile(folder, QString::fromLatin1(name), "x"),
                                  QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Data")));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Plugins.so")));
        QStringList names;
        for (const QString &file : ProgramFilesOfFolder(folder.path())) {
            QCOMPARE(QFileInfo(file).path(), folder.path());
            names.append(QFileInfo(file).fileName());
        }
        QCOMPARE(names, (QStringList{"AutoUpdate", "KorConsole", "ComformLibs.so", "Orders.so", "Lum.dll", "OLD.DLL",
                                     "setup.exe"}));
        QCOMPARE(ProgramFilesOfFolder(folder.filePath(QStringLiteral("missing"))), QStringList());
    }

    // Every file gets a row, one that cannot be read its module name only (and is reported once); the kind of
    // build picks the text colour. In a font larger than designed, in pixels and bold, columns widen, and no
    // value or caption is cut.
    void gridShowsEveryFileWhole()
    {
        QFont font = QApplication::font();
        font.setPixelSize(20);
        font.setBold(true);
        FakeLanguages english;
        QFile big(dir.filePath(QStringLiteral("libZandrellEmbeddedServer-with-a-long-name.so")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(2244000));
        big.close();
        TShowVer window;
        window.setFont(font);
        const QString exact = QString(kExportWidths[0] - 3, QLatin1Char('m')) + u".so"_s;
        window.Manager().FileNames = {big.fileName(), WriteTestFile(dir, exact, "x"),
                                      WriteTestFile(dir, QStringLiteral("Orders.dll"),
                                                    PeWithVersion({{Russian, Strings{{"FileDescription", "Заказы"},
                                                                                     {"ProductVersion", "5.1"},
                                                                                     {"ProductName", "Учёт"},
                                                                                     {"SpecialBuild", "x"}}}})),
                                      dir.filePath(QStringLiteral("gone.dll"))};
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.Grid->rowCount(), 4);
        QCOMPARE(window.Grid->item(0, 4)->text(), QStringLiteral("2,244,000"));
        QStringList orders;
        for (int c = 0; c < 4; ++c)
            orders << window.Grid->item(2, c)->text();
        QCOMPARE(orders, (QStringList{"Orders.dll", "5.1", "Учёт", "Заказы"}));
        QVERIFY(window.Grid->item(2, 5)->text().startsWith(QLatin1Char(' ')));
        QCOMPARE(window.Grid->item(2, 0)->data(Qt::UserRole).toInt(), 1);
        QCOMPARE(window.Grid->item(0, 0)->data(Qt::UserRole).toInt(), 0);
        QVERIFY(VersionCellTextColour(1) != VersionCellTextColour(0));
        QCOMPARE(window.Grid->item(3, 0)->text(), QStringLiteral("gone.dll"));
        QVERIFY(!window.Grid->item(3, 1));
        const QFontMetrics cells(window.Grid->font());
        const QHeaderView *header = window.Grid->horizontalHeader();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int c = 0; c < kFileVersionFieldCount; ++c) {
            const int width = window.Grid->columnWidth(c);
            QVERIFY(width >= FileVersionField(c).Width);
            const QString caption = window.Grid->horizontalHeaderItem(c)->text();
            QVERIFY2(QFontMetrics(header->font()).horizontalAdvance(caption) + 2 * margin <= width,
                     qPrintable(caption));
            // Cells are written 2 pixels in from the left.
            for (int row = 0; row < window.Grid->rowCount(); ++row) {
                const QString text = window.Grid->item(row, c) ? window.Grid->item(row, c)->text() : QString();
                QVERIFY2(cells.horizontalAdvance(text) + 2 <= width,
                         qPrintable(QStringLiteral("\"%1\" in %2 pixels").arg(text).arg(width)));
            }
        }
        QVERIFY(window.width() <= window.screen()->availableGeometry().width());
        // The export keeps its character widths and cuts the file name to leave a blank before the next column,
        // also a name exactly as wide as its column.
        for (const QString &line : window.ExportLines())
            QCOMPARE(line.size(), std::accumulate(std::begin(kExportWidths), std::end(kExportWidths), 0));
        QVERIFY(window.ExportLines()[2].startsWith(QStringLiteral("libZandrellEmbeddedServe ")));
        QVERIFY(window.ExportLines()[3].startsWith(exact.chopped(1) + u' '));
        // Filled when first shown, not again.
        window.hide();
        window.show();
        QCOMPARE(dialogs->boxes.size(), 1);
        // An empty list gives one empty row.
        window.Manager().FileNames.clear();
        window.FillGrid();
        QCOMPARE(window.Grid->rowCount(), 1);
        QVERIFY(!window.Grid->item(0, 0));
    }
};

QTEST_MAIN(TestFileVersion)
#include "tst_uFileVersion.moc"
