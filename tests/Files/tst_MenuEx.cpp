// Extended menu templates (MENUEX) listed by the menu item and by peres, and
// a peres listing that goes on after a damaged resource.
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

Run Peres(const QString &folder, const QString &file)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(PERES_EXECUTABLE), {file});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput()};
}

// The lines of the menu resource `name` of a file made of the given template.
QStringList MenuLines(const QByteArray &menu)
{
    PeBuilder builder;
    builder.Add(4, 7, menu);
    TExeImage image(builder.Build(), QStringLiteral("menu.dll"));
    QStringList lines;
    TypeNamed(image, QStringLiteral("Menu"))->List()->Items(0)->AssignTo(lines);
    return lines;
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

class TestMenuEx : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void itemsAreListed_data();
    void itemsAreListed();
    void damagedTemplateFails_data();
    void damagedTemplateFails();
    void peresListsACompiledMenuEx();
    void peresGoesOnAfterADamagedResource();
};

void TestMenuEx::itemsAreListed_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("flat") << PeBuilder::MenuEx({{0, 0, 1, 0, QStringLiteral("One")},
                                                {0x800, 0, 0, 0, QString()},
                                                {0, 3, 2, 0x80, QStringLiteral("Two")}})
                          << QStringList{"MENUITEM \"One\",  1,  type 0x0,  state 0x0", "MENUITEM SEPARATOR",
                                         "MENUITEM \"Two\",  2,  type 0x0,  state 0x3"};
    // A pop-up that is the last item of its pop-up closes both.
    QTest::newRow("nested") << PeBuilder::MenuEx({{0, 0, 10, 0x01, QStringLiteral("&File"), 5},
                                                  {0, 0, 100, 0, QStringLiteral("&Open")},
                                                  {0, 0, 11, 0x81, QStringLiteral("&Recent")},
                                                  {0, 8, 110, 0x80, QStringLiteral("First")},
                                                  {0x4000, 0, 30, 0x80, QStringLiteral("&Quit")}})
                            << QStringList{"POPUP \"&File\",  10,  type 0x0,  state 0x0",
                                           "  MENUITEM \"&Open\",  100,  type 0x0,  state 0x0",
                                           "  POPUP \"&Recent\",  11,  type 0x0,  state 0x0",
                                           "    MENUITEM \"First\",  110,  type 0x0,  state 0x8",
                                           "  ENDPOPUP",
                                           "ENDPOPUP",
                                           "MENUITEM \"&Quit\",  30,  type 0x4000,  state 0x0"};
    // The end of the menu bar ends the listing, whatever follows.
    QTest::newRow("bytes after the end")
        << PeBuilder::MenuEx({{0, 0, 1, 0x80, QStringLiteral("Only")}}) + QByteArray(16, '\x7F')
        << QStringList{"MENUITEM \"Only\",  1,  type 0x0,  state 0x0"};
    QTest::newRow("no items") << PeBuilder::MenuEx({}) << QStringList();
    // The classic template is listed as before.
    QTest::newRow("classic") << PeBuilder::Menu({{0x90, 0, QStringLiteral("&File")}, {0x80, 101, QStringLiteral("E&xit")}})
                             << QStringList{"POPUP \"&File\"", "  MENUITEM \"E&xit\",  101", "ENDPOPUP"};
}

void TestMenuEx::itemsAreListed()
{
    QFETCH(QByteArray, menu);
    QFETCH(QStringList, lines);
    QCOMPARE(MenuLines(menu), lines);
}

void TestMenuEx::damagedTemplateFails_data()
{
    QTest::addColumn<QByteArray>("menu");
    QTest::addColumn<QString>("error");
    const QByteArray good = PeBuilder::MenuEx({{0, 0, 10, 0x81, QStringLiteral("&File"), 5},
                                               {0, 0, 100, 0x80, QStringLiteral("&Open")}});
    const QString cut = QStringLiteral("Damaged menu 7: an item is cut short");
    QTest::newRow("header cut short") << good.left(3) << QStringLiteral("Damaged menu 7: its header is cut short");
    QByteArray farItems = good;
    PeBuilder::PutU16(farItems, 2, 0x4000);
    QTest::newRow("first item past the end") << farItems << QStringLiteral("Damaged menu 7: its header is cut short");
    QByteArray version2 = good;
    PeBuilder::PutU16(version2, 0, 2);
    QTest::newRow("unknown version") << version2 << QStringLiteral("Damaged menu 7: unknown template version 2");
    QTest::newRow("item cut in its values") << good.left(8 + 10) << cut;
    QTest::newRow("text without its end") << good.left(8 + 14 + 6) << cut;
    QTest::newRow("pop-up without its help identifier") << good.left(8 + 14 + 12 + 2) << cut;
    QTest::newRow("pop-up without its items") << good.left(8 + 14 + 12 + 2 + 4) + QByteArray(4, '\0') << cut;
}

void TestMenuEx::damagedTemplateFails()
{
    QFETCH(QByteArray, menu);
    QFETCH(QString, error);
    QCOMPARE(ExeErrorOf([&] { MenuLines(menu); }), error);
}

void TestMenuEx::peresListsACompiledMenuEx()
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
    const Run run = Peres(m_dir.path(), QStringLiteral("menu.dll"));
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

void TestMenuEx::peresGoesOnAfterADamagedResource()
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

    const Run run = Peres(m_dir.path(), QStringLiteral("mixed.dll"));
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

QTEST_MAIN(TestMenuEx)
#include "tst_MenuEx.moc"
