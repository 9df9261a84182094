// The peres tool: its listing of built files and of an extended menu template
// compiled by a resource compiler, compared with the exact text; a listing
// goes on after a damaged resource.
#include "FilesTestSupport.h"
#include "PeBuilder.h"

#include <QProcess>
#include <QStandardPaths>
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

class TestPeres : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
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

QTEST_MAIN(TestPeres)
#include "tst_peres.moc"
