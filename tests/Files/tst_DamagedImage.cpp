// Damaged PE files: every offset and size out of range, directories that
// point back into themselves or nest too deep, counts far beyond the file.
// Each gives an EExeError, never a crash or a read outside the file. The
// same walk goes over every file of tests/Files/regression: the fuzzer's
// seeds (seed-*), the smallest input it made for each kind of damage the
// reader reports (fuzz-*), and every input with which it finds a fault. The
// peres tool: its listing of built files and of an extended menu template
// compiled by a resource compiler, compared with the exact text; a listing
// goes on after a damaged resource.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "uPE32Image.h"
#include "uResourceDump.h"
#include "uResourceExercise.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

// The sample that the cases damage: a bitmap, an icon group, a string
// table, named data and a version resource.
QByteArray Sample(PeLayout &layout)
{
    PeBuilder builder;
    builder.Add(2, 1, PeBuilder::Bitmap(4, 4, 24));
    builder.AddIconGroup(1, {IconSpec()}, 1);
    builder.Add(6, 1, PeBuilder::StringBlock({QStringLiteral("text")}));
    builder.Add(10, "NAMED", "data");
    builder.Add(16, 1, PeBuilder::Version(0x10000, 0, {{QStringLiteral("041904E3"), {{QStringLiteral("ProductName"), QStringLiteral("P")}}}}));
    return builder.Build(&layout);
}

// Points an entry at a directory, given as a file offset.
void PointAtDirectory(QByteArray &bytes, const PeLayout &layout, qint64 entry, qint64 directory)
{
    PeBuilder::PutU32(bytes, entry + 4, 0x80000000u | quint32(directory - layout.resourceSection));
}

struct DamageCase {
    const char *name;
    std::function<QByteArray()> make;
    QString expected; // the start of the message that the walk must meet
    int peresStatus;
};

QList<DamageCase> Cases()
{
    using L = PeLayout;
    auto damaged = [](std::function<void(QByteArray &, const L &)> damage) {
        return [damage] {
            L layout;
            QByteArray bytes = Sample(layout);
            damage(bytes, layout);
            return bytes;
        };
    };
    const QString outside = QStringLiteral("Damaged file: %1 at offset ");
    return {
        {"root count beyond the file",
         damaged([](QByteArray &b, const L &l) {
             PeBuilder::PutU16(b, l.resourceSection + 12, 0xFFFF);
             PeBuilder::PutU16(b, l.resourceSection + 14, 0xFFFF);
         }),
         outside.arg(QStringLiteral("resource directory entries")), 1},
        {"type directory outside the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.TypeOf(6).entry + 4, 0xFFFFFFF0u); }),
         outside.arg(QStringLiteral("resource directory")), 1},
        {"type points back to the root",
         damaged([](QByteArray &b, const L &l) { PointAtDirectory(b, l, l.TypeOf(6).entry, l.resourceSection); }),
         QStringLiteral("Damaged file: resource directory at offset 0x600 points back into itself"), 1},
        {"name points back to its type",
         damaged([](QByteArray &b, const L &l) {
             PointAtDirectory(b, l, l.Find(6, 1).nameEntry, l.TypeOf(6).directory);
         }),
         QStringLiteral("Damaged file: resource directory at offset"), 1},
        {"directories nest too deep",
         damaged([](QByteArray &b, const L &l) {
             PointAtDirectory(b, l, l.Find(6, 1).languageDirectory + 16, l.TypeOf(10).directory);
             PointAtDirectory(b, l, l.Find(10, "NAMED").languageDirectory + 16, l.TypeOf(2).directory);
         }),
         QStringLiteral("Damaged file: resource directories nest too deep"), 1},
        {"data beyond the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.Find(6, 1).dataEntry, 0xFFFFFF00u); }),
         outside.arg(QStringLiteral("resource data")), 1},
        {"data size beyond the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.Find(6, 1).dataEntry + 4, 0x7FFFFFFFu); }),
         outside.arg(QStringLiteral("resource data")), 1},
        {"data before the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.Find(6, 1).dataEntry, 0); }),
         outside.arg(QStringLiteral("resource data")), 1},
        {"data entry outside the file",
         damaged([](QByteArray &b, const L &l) {
             PeBuilder::PutU32(b, l.Find(6, 1).languageDirectory + 16 + 4, 0x7FFFFFF0u);
         }),
         outside.arg(QStringLiteral("resource data entry")), 1},
        {"name outside the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.Find(10, "NAMED").nameEntry, 0xFFFFFFF0u); }),
         outside.arg(QStringLiteral("resource name")), 1},
        {"name longer than the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU16(b, l.Find(10, "NAMED").nameString, 0xFFFF); }),
         outside.arg(QStringLiteral("resource name")), 1},
        {"resource section beyond the file",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.sectionTable + 40 + 20, 0x7FFFFFF0u); }),
         outside.arg(QStringLiteral("resource section")), 1},
        {"section count beyond the file",
         damaged([](QByteArray &b, const L &l) {
             b.replace(l.sectionTable + 40, 5, ".data");
             PeBuilder::PutU16(b, l.ntHeaders + 4 + 2, 0xFFFF);
         }),
         outside.arg(QStringLiteral("section header")), 1},
        {"icon group counts more images than it holds",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU16(b, l.Find(14, 1).data + 4, 0xFFFF); }),
         QStringLiteral("Damaged file: icon or cursor group at offset"), 1},
        {"icon group shorter than its header",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.Find(14, 1).dataEntry + 4, 4); }),
         QStringLiteral("Damaged file: icon or cursor group at offset"), 1},
        {"icon image damaged",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU32(b, l.Find(3, 1).data + 4, 0x7FFFFFFF); }),
         QStringLiteral("Damaged icon image: size"), 0},
        {"version resource damaged",
         damaged([](QByteArray &b, const L &l) { PeBuilder::PutU16(b, l.Find(16, 1).data + 6, 'X'); }),
         QStringLiteral("Damaged version resource: it starts with"), 1},
        {"one directory shared by hundreds of types",
         [] {
             // 300 types whose entries all point at one directory of 2000
             // names: far more items than the file holds entries.
             PeBuilder builder;
             for (int i = 0; i < 2000; ++i)
                 builder.Add(10, i + 1, "d");
             for (int t = 100; t < 400; ++t)
                 builder.Add(t, 1, "t");
             L layout;
             QByteArray bytes = builder.Build(&layout);
             for (int t = 100; t < 400; ++t)
                 PointAtDirectory(bytes, layout, layout.TypeOf(t).entry, layout.TypeOf(10).directory);
             return bytes;
         },
         QStringLiteral("Damaged file: the resource directory has more entries than the file can hold"), 1},
    };
}


struct Run {
    int status = -1;
    QByteArray out;
};

Run Peres(const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(PERES_EXECUTABLE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput()};
}

const char *const Script = R"(1 MENUEX
BEGIN
  POPUP "&File", 10, 0, 0, 77
  BEGIN
    MENUITEM "&Open", 100, 0, 0
    MENUITEM "", 0, 0x800, 0
    POPUP "&Recent", 11
    BEGIN
      MENUITEM "First", 110
      MENUITEM "Second", 111, 0x200, 8
    END
  END
  POPUP "&Help", 20
  BEGIN
    MENUITEM "&About", -1, 0, 3
  END
  MENUITEM "&Quit", 30, 0x4000
END
)";
} // namespace

class TestDamagedImage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void damagedFileGivesReaderError_data()
    {
        QTest::addColumn<int>("index");
        const QList<DamageCase> cases = Cases();
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].name) << i;
    }
    void damagedFileGivesReaderError()
    {
        QFETCH(int, index);
        const DamageCase damage = Cases()[index];
        const QByteArray bytes = damage.make();

        // The whole walk meets the expected reader error, and only reader errors.
        QStringList errors;
        try {
            errors = ExerciseBytes(bytes);
        } catch (const std::exception &e) {
            QFAIL(qPrintable(QStringLiteral("not a reader error: ") + QString::fromUtf8(e.what())));
        }
        const bool met = std::any_of(errors.cbegin(), errors.cend(),
                                     [&](const QString &error) { return error.startsWith(damage.expected); });
        QVERIFY2(met, qPrintable(QStringLiteral("expected \"%1\" among:\n%2").arg(damage.expected, errors.join('\n'))));

        // The listing shows the error where it meets it.
        QTemporaryDir dir;
        const QString path = WriteTestFile(dir, QStringLiteral("damaged.dll"), bytes);
        QByteArray listing;
        QCOMPARE(DumpResourceFile(path, QByteArrayLiteral("damaged.dll"), listing), damage.peresStatus);
        if (damage.peresStatus == 1)
            QVERIFY2(listing.contains("  ERROR Damaged "), listing.constData());
    }

    void truncatedFilesNeverReadOutside()
    {
        // Cut at every length the file is a different damaged file; none may
        // raise anything but the reader's error.
        PeLayout layout;
        const QByteArray whole = Sample(layout);
        auto walk = [](const QByteArray &bytes) {
            QStringList errors;
            try {
                TExeImage image(bytes, QStringLiteral("cut"));
                errors = ExerciseImage(image);
            } catch (const EExeError &e) {
                errors.append(e.message());
            }
            return errors;
        };
        int failures = 0;
        for (qint64 length = 0; length < whole.size(); length += length < 0x700 ? 1 : 7) {
            try {
                failures += walk(whole.left(length)).isEmpty() ? 0 : 1;
            } catch (const std::exception &e) {
                QFAIL(qPrintable(QStringLiteral("length %1: %2").arg(length).arg(QString::fromUtf8(e.what()))));
            }
        }
        // Every cut loses something the reader needs; the whole file loses nothing.
        QVERIFY(failures > 0);
        QCOMPARE(walk(whole), QStringList());
        QByteArray listing;
        QCOMPARE(DumpResourceBytes(whole, QByteArrayLiteral("whole"), listing), 0);
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
        try {
            ExerciseBytes(file.readAll());
            QByteArray listing;
            const int status = DumpResourceFile(path, QFile::encodeName(path), listing);
            QVERIFY(status == 0 || status == 1);
            QVERIFY(listing.startsWith(QFile::encodeName(path) + '\n'));
        } catch (const std::exception &e) {
            QFAIL(qPrintable(QStringLiteral("not a reader error: ") + QString::fromUtf8(e.what())));
        }
    }

    void listsEveryKind_data()
    {
        QTest::addColumn<bool>("pe32Plus");
        QTest::newRow("PE32") << false;
        QTest::newRow("PE32+") << true;
    }
    void listsEveryKind()
    {
        QFETCH(bool, pe32Plus);
        PeBuilder builder;
        builder.pe32Plus = pe32Plus;
        builder.Add("MYDATA", "FIRST", "data");
        builder.AddCursorGroup(2, {{32, 32}}, 1);
        builder.Add(2, 1, PeBuilder::Bitmap(4, 4, 8));
        builder.Add(4, 1, PeBuilder::Menu({{0x90, 0, QStringLiteral("&File")}, {0x80, 101, QStringLiteral("E&xit")}}));
        builder.Add(6, 2, PeBuilder::StringBlock({QStringLiteral("Первая"), QString(), QStringLiteral("Третья")}));
        IconSpec small;
        small.width = small.height = 16;
        builder.AddIconGroup(QStringLiteral("MAINICON"), {IconSpec(), small}, 1);
        builder.Add(17, 5, "seventeen");
        builder.Add(16, 1,
                    PeBuilder::Version(0x20000, 0, {{QStringLiteral("041904E3"),
                                                     {{QStringLiteral("FileDescription"), QStringLiteral("Описание")},
                                                      {QStringLiteral("ProductVersion"), QStringLiteral("2.0.0.0")}}}}));
        const QString name = QStringLiteral("пример файла.dll");
        WriteTestFile(m_dir, name, builder.Build());
        const Run run = Peres({name}, m_dir.path());
        QCOMPARE(run.status, 0);
        QCOMPARE(QString::fromUtf8(run.out), QStringLiteral("пример файла.dll\n"
                                                            "  MYDATA\n"
                                                            "    FIRST\n"
                                                            "  Bitmap\n"
                                                            "    1\n"
                                                            "      BMP 1094 1078\n"
                                                            "  Menu\n"
                                                            "    1\n"
                                                            "      POPUP \"&File\"\n"
                                                            "        MENUITEM \"E&xit\",  101\n"
                                                            "      ENDPOPUP\n"
                                                            "  String\n"
                                                            "    2\n"
                                                            "      16,  \"Первая\"\n"
                                                            "      18,  \"Третья\"\n"
                                                            "  Cursor\n"
                                                            "    2\n"
                                                            "      32 X 32 1 Bit(s)\n"
                                                            "  Icon\n"
                                                            "    MAINICON\n"
                                                            "      32 X 32 16 Colors\n"
                                                            "      16 X 16 16 Colors\n"
                                                            "  Version\n"
                                                            "    1\n"
                                                            "  17\n"
                                                            "    5\n"
                                                            "  FileDescription=Описание\n"
                                                            "  ProductVersion=2.0.0.0\n"
                                                            "  ProductName=\n"));
    }

    // A file that cannot be read ends its listing with the error; the next file is listed all the same.
    void errorEndsTheListing()
    {
        WriteTestFile(m_dir, QStringLiteral("notes.txt"), "plain text");
        PeBuilder bare;
        bare.withResourceSection = false;
        WriteTestFile(m_dir, QStringLiteral("bare.dll"), bare.Build());
        // Without a version resource the values are empty.
        PeBuilder plain;
        plain.Add(10, 1, "x");
        WriteTestFile(m_dir, QStringLiteral("plain.dll"), plain.Build());
        const Run run = Peres({"missing.dll", "notes.txt", "bare.dll", "plain.dll"}, m_dir.path());
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, "missing.dll\n  ERROR Couldn't open: missing.dll\n"
                          "notes.txt\n  ERROR unrecognized file format\n"
                          "bare.dll\n  ERROR No resources in this file.\n"
                          "plain.dll\n  RCData\n    1\n  FileDescription=\n  ProductVersion=\n  ProductName=\n");
        QCOMPARE(Peres({"plain.dll"}, m_dir.path()).status, 0);
    }

    void listsACompiledMenuEx()
    {
        const QString windres = QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-windres"));
        const QString linker = QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-ld"));
        const QString preprocessor = QStandardPaths::findExecutable(QStringLiteral("cpp"));
        if (windres.isEmpty() || linker.isEmpty() || preprocessor.isEmpty())
            QSKIP("the mingw-w64 resource compiler and linker are not installed");
        WriteTestFile(m_dir, QStringLiteral("menu.rc"), Script);
        for (const auto &[program, arguments] :
             QList<QPair<QString, QStringList>>{{windres,
                                                 {QStringLiteral("--preprocessor=") + preprocessor, QStringLiteral("-i"),
                                                  QStringLiteral("menu.rc"), QStringLiteral("-o"), QStringLiteral("menu.o")}},
                                                {linker,
                                                 {QStringLiteral("--dll"), QStringLiteral("-e"), QStringLiteral("0"),
                                                  QStringLiteral("-o"), QStringLiteral("menu.dll"), QStringLiteral("menu.o")}}}) {
            QProcess process;
            process.setWorkingDirectory(m_dir.path());
            process.start(program, arguments);
            QVERIFY(process.waitForFinished(60000));
            QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        }
        const Run run = Peres({QStringLiteral("menu.dll")}, m_dir.path());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("menu.dll\n"
                                     "  Menu\n"
                                     "    1\n"
                                     "      POPUP \"&File\",  10,  type 0x0,  state 0x0\n"
                                     "        MENUITEM \"&Open\",  100,  type 0x0,  state 0x0\n"
                                     "        MENUITEM SEPARATOR\n"
                                     "        POPUP \"&Recent\",  11,  type 0x0,  state 0x0\n"
                                     "          MENUITEM \"First\",  110,  type 0x0,  state 0x0\n"
                                     "          MENUITEM \"Second\",  111,  type 0x200,  state 0x8\n"
                                     "        ENDPOPUP\n"
                                     "      ENDPOPUP\n"
                                     "      POPUP \"&Help\",  20,  type 0x0,  state 0x0\n"
                                     "        MENUITEM \"&About\",  -1,  type 0x0,  state 0x3\n"
                                     "      ENDPOPUP\n"
                                     "      MENUITEM \"&Quit\",  30,  type 0x4000,  state 0x0\n"
                                     "  FileDescription=\n"
                                     "  ProductVersion=\n"
                                     "  ProductName=\n"));
    }

    void goesOnAfterADamagedResource()
    {
        PeBuilder builder;
        builder.Add(2, 101, PeBuilder::Bitmap(8, 8, 24));
        builder.Add(4, 1, PeBuilder::MenuEx({{0, 0, 1, 0x81, QStringLiteral("&File")}, {0, 0, 2, 0x80, QStringLiteral("&Open")}}).left(20));
        builder.Add(4, 2, PeBuilder::MenuEx({{0, 0, 3, 0x80, QStringLiteral("&Help")}}));
        builder.Add(6, 1, PeBuilder::StringBlock({QStringLiteral("cut")}).left(5));
        builder.Add(6, 2, PeBuilder::StringBlock({QStringLiteral("whole")}));
        builder.Add(10, 1, "data");
        IconSpec icon;
        builder.AddIconGroup(1, {icon}, 1);
        builder.Add(16, 1,
                    PeBuilder::Version(0x10000, 1, {{QStringLiteral("041904E3"),
                                                     {{QStringLiteral("FileDescription"), QStringLiteral("Mixed")},
                                                      {QStringLiteral("ProductVersion"), QStringLiteral("1.0.0.1")}}}}));
        PeLayout layout;
        QByteArray file = builder.Build(&layout);
        // The icon group's data entry points outside the file.
        PeBuilder::PutU32(file, layout.Find(14, 1).dataEntry + 4, 0x7FFFFF00);
        WriteTestFile(m_dir, QStringLiteral("mixed.dll"), file);

        const Run run = Peres({QStringLiteral("mixed.dll")}, m_dir.path());
        QCOMPARE(run.status, 1);
        const QByteArray expected("mixed.dll\n"
                                     "  Bitmap\n"
                                     "    101\n"
                                     "      BMP 246 54\n"
                                     "  Menu\n"
                                     "    1\n"
                                     "      ERROR Damaged menu 1: an item is cut short\n"
                                     "    2\n"
                                     "      MENUITEM \"&Help\",  3,  type 0x0,  state 0x0\n"
                                     "  String\n"
                                     "    1\n"
                                     "      ERROR Damaged string table 1: the block is cut short\n"
                                     "    2\n"
                                     "      16,  \"whole\"\n"
                                     "  RCData\n"
                                     "    1\n"
                                     "  Icon\n"
                                     "    1\n"
                                     "      ERROR Damaged file: resource data at offset 0x" +
                                 QByteArray::number(layout.Find(14, 1).data, 16).toUpper() +
                                 " (2147483392 bytes) lies outside the file\n"
                                     "  Version\n"
                                     "    1\n"
                                     "  FileDescription=Mixed\n"
                                     "  ProductVersion=1.0.0.1\n"
                                     "  ProductName=\n");
        QVERIFY2(run.out == expected, run.out.constData());
    }

    void noArgumentsShowsUsage()
    {
        QProcess process;
        process.start(QStringLiteral(PERES_EXECUTABLE), {});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QVERIFY(process.readAllStandardError().startsWith("usage: peres"));
    }
};

QTEST_MAIN(TestDamagedImage)
#include "tst_DamagedImage.moc"
