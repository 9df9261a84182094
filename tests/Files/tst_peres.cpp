// The peres tool: its listing of built files, compared with the exact text.
#include "FilesTestSupport.h"
#include "PeBuilder.h"

#include <QProcess>
#include <QtTest>

namespace {

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

QByteArray SampleFile()
{
    PeBuilder builder;
    builder.Add(2, 101, PeBuilder::Bitmap(8, 8, 24));
    builder.Add(6, 1, PeBuilder::StringBlock({QString(), QStringLiteral("Hello, world")}));
    IconSpec icon;
    icon.bitCount = 32;
    icon.groupColours = 0;
    builder.AddIconGroup(1, {icon}, 1);
    builder.Add(16, 1,
                PeBuilder::Version(0x10000, 1, {{QStringLiteral("041904E3"),
                                                 {{QStringLiteral("FileDescription"), QStringLiteral("Sample library")},
                                                  {QStringLiteral("ProductVersion"), QStringLiteral("1.0.0.1")},
                                                  {QStringLiteral("ProductName"), QStringLiteral("Sample")}}}}));
    return builder.Build();
}

} // namespace

class TestPeres : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void listsTheSample();
    void listsEveryKind_data();
    void listsEveryKind();
    void errorEndsTheListing();
    void severalFiles();
    void noArgumentsShowsUsage();
};

void TestPeres::listsTheSample()
{
    WriteTestFile(m_dir, QStringLiteral("sample.dll"), SampleFile());
    const Run run = Peres({QStringLiteral("sample.dll")}, m_dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("sample.dll\n"
                                 "  Bitmap\n"
                                 "    101\n"
                                 "      BMP 246 54\n"
                                 "  String\n"
                                 "    1\n"
                                 "      1,  \"Hello, world\"\n"
                                 "  Icon\n"
                                 "    1\n"
                                 "      32 X 32 0 Colors\n"
                                 "  Version\n"
                                 "    1\n"
                                 "  FileDescription=Sample library\n"
                                 "  ProductVersion=1.0.0.1\n"
                                 "  ProductName=Sample\n"));
}

void TestPeres::listsEveryKind_data()
{
    QTest::addColumn<bool>("pe32Plus");
    QTest::newRow("PE32") << false;
    QTest::newRow("PE32+") << true;
}

void TestPeres::listsEveryKind()
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

void TestPeres::errorEndsTheListing()
{
    const Run missing = Peres({QStringLiteral("missing.dll")}, m_dir.path());
    QCOMPARE(missing.status, 1);
    QCOMPARE(missing.out, QByteArray("missing.dll\n  ERROR Couldn't open: missing.dll\n"));

    WriteTestFile(m_dir, QStringLiteral("notes.txt"), "plain text");
    const Run text = Peres({QStringLiteral("notes.txt")}, m_dir.path());
    QCOMPARE(text.status, 1);
    QCOMPARE(text.out, QByteArray("notes.txt\n  ERROR unrecognized file format\n"));

    PeBuilder bare;
    bare.withResourceSection = false;
    WriteTestFile(m_dir, QStringLiteral("bare.dll"), bare.Build());
    const Run noResources = Peres({QStringLiteral("bare.dll")}, m_dir.path());
    QCOMPARE(noResources.status, 1);
    QCOMPARE(noResources.out, QByteArray("bare.dll\n  ERROR No resources in this file.\n"));

    // A file without a version resource lists empty values.
    PeBuilder plain;
    plain.Add(10, 1, "x");
    WriteTestFile(m_dir, QStringLiteral("plain.dll"), plain.Build());
    const Run noVersion = Peres({QStringLiteral("plain.dll")}, m_dir.path());
    QCOMPARE(noVersion.status, 0);
    QCOMPARE(noVersion.out, QByteArray("plain.dll\n  RCData\n    1\n  FileDescription=\n  ProductVersion=\n  ProductName=\n"));

    // A damaged string table: its error line, and the listing goes on.
    PeBuilder damaged;
    damaged.Add(2, 101, PeBuilder::Bitmap(8, 8, 24));
    damaged.Add(6, 1, PeBuilder::StringBlock({QStringLiteral("cut")}).left(5));
    damaged.Add(10, 1, "listed");
    WriteTestFile(m_dir, QStringLiteral("damaged.dll"), damaged.Build());
    const Run cut = Peres({QStringLiteral("damaged.dll")}, m_dir.path());
    QCOMPARE(cut.status, 1);
    QCOMPARE(cut.out, QByteArray("damaged.dll\n"
                                 "  Bitmap\n"
                                 "    101\n"
                                 "      BMP 246 54\n"
                                 "  String\n"
                                 "    1\n"
                                 "      ERROR Damaged string table 1: the block is cut short\n"
                                 "  RCData\n"
                                 "    1\n"
                                 "  FileDescription=\n"
                                 "  ProductVersion=\n"
                                 "  ProductName=\n"));
}

void TestPeres::severalFiles()
{
    PeBuilder plain;
    plain.Add(10, 1, "x");
    WriteTestFile(m_dir, QStringLiteral("one.dll"), plain.Build());
    const Run run = Peres({QStringLiteral("one.dll"), QStringLiteral("gone.dll"), QStringLiteral("one.dll")},
                          m_dir.path());
    QCOMPARE(run.status, 1);
    const QByteArray one = "one.dll\n  RCData\n    1\n  FileDescription=\n  ProductVersion=\n  ProductName=\n";
    QCOMPARE(run.out, one + "gone.dll\n  ERROR Couldn't open: gone.dll\n" + one);
}

void TestPeres::noArgumentsShowsUsage()
{
    QProcess process;
    process.start(QStringLiteral(PERES_EXECUTABLE), {});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().startsWith("usage: peres"));
}

QTEST_MAIN(TestPeres)
#include "tst_peres.moc"
