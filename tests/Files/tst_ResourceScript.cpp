// A PE file compiled from a resource script by a real resource compiler and
// linker (the mingw-w64 binutils), read by the reader and listed by peres.
// Skipped where those tools are not installed.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "uMultiIcoFromResource.h"
#include "uResourceDump.h"
#include "uResourceExercise.h"
#include "uVersionInfo.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>

namespace {

const char *const Script = R"(101 BITMAP "pic.bmp"
MAINMENU MENU
BEGIN
  POPUP "&File"
  BEGIN
    MENUITEM "&Open", 100
    MENUITEM SEPARATOR
    MENUITEM "E&xit", 101
  END
  POPUP "&Help"
  BEGIN
    MENUITEM "&About", 200
  END
END
STRINGTABLE
BEGIN
  1 "Hello, world"
  18 "Eighteen"
END
MAINICON ICON "icon.ico"
2 CURSOR "arrow.cur"
1 VERSIONINFO
FILEVERSION 1,2,3,4
PRODUCTVERSION 1,2,3,4
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "041904E3"
    BEGIN
      VALUE "FileDescription", "Script library"
      VALUE "ProductVersion", "1.2.3.4"
      VALUE "ProductName", "Script"
      VALUE "SpecialBuild", "test"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x419, 1251
  END
END
)";

// An icon (type 1) or cursor (type 2) file of one image.
QByteArray IconFile(quint16 type, const QByteArray &image, quint8 width, quint8 colours, quint16 planes,
                    quint16 bits)
{
    QByteArray file(22, '\0');
    PeBuilder::PutU16(file, 2, type);
    PeBuilder::PutU16(file, 4, 1);
    file[6] = char(width);
    file[7] = char(width);
    file[8] = char(colours);
    PeBuilder::PutU16(file, 10, planes);
    PeBuilder::PutU16(file, 12, bits);
    PeBuilder::PutU32(file, 14, quint32(image.size()));
    PeBuilder::PutU32(file, 18, 22);
    return file + image;
}

} // namespace

class TestResourceScript : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_dll;
    QByteArray m_bitmap;

    bool Run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
            return false;
        }
        return true;
    }

private slots:
    void initTestCase();
    void peresListsTheCompiledFile();
    void readerDecodesEverything();
};

void TestResourceScript::initTestCase()
{
    const QString windres = QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-windres"));
    const QString linker = QStandardPaths::findExecutable(QStringLiteral("x86_64-w64-mingw32-ld"));
    const QString preprocessor = QStandardPaths::findExecutable(QStringLiteral("cpp"));
    if (windres.isEmpty() || linker.isEmpty() || preprocessor.isEmpty())
        QSKIP("the mingw-w64 resource compiler and linker are not installed");
    QVERIFY(m_dir.isValid());

    WriteTestFile(m_dir, QStringLiteral("sample.rc"), Script);
    IconSpec icon;
    WriteTestFile(m_dir, QStringLiteral("icon.ico"), IconFile(1, PeBuilder::IconImage(icon), 32, 16, 1, 4));
    // A cursor file keeps its hot spot where an icon file keeps planes and bits.
    WriteTestFile(m_dir, QStringLiteral("arrow.cur"),
                  IconFile(2, PeBuilder::CursorImage(32, 32, 0, 0).mid(4), 32, 2, 3, 5));
    m_bitmap = PeBuilder::Bitmap(4, 4, 24);
    QByteArray bitmapFile(14, '\0');
    bitmapFile[0] = 'B';
    bitmapFile[1] = 'M';
    PeBuilder::PutU32(bitmapFile, 2, quint32(14 + m_bitmap.size()));
    PeBuilder::PutU32(bitmapFile, 10, 54);
    WriteTestFile(m_dir, QStringLiteral("pic.bmp"), bitmapFile + m_bitmap);

    QVERIFY(Run(windres, {QStringLiteral("--preprocessor=") + preprocessor, QStringLiteral("-i"),
                          QStringLiteral("sample.rc"), QStringLiteral("-o"), QStringLiteral("sample.o")}));
    QVERIFY(Run(linker, {QStringLiteral("--dll"), QStringLiteral("-e"), QStringLiteral("0"), QStringLiteral("-o"),
                         QStringLiteral("sample.dll"), QStringLiteral("sample.o")}));
    m_dll = m_dir.filePath(QStringLiteral("sample.dll"));
}

void TestResourceScript::peresListsTheCompiledFile()
{
    QByteArray listing;
    QCOMPARE(DumpResourceFile(m_dll, QByteArrayLiteral("sample.dll"), listing), 0);
    const QByteArray expected = "sample.dll\n"
                                "  Bitmap\n"
                                "    101\n"
                                "      BMP " + QByteArray::number(14 + m_bitmap.size()) + " 54\n"
                                "  Menu\n"
                                "    MAINMENU\n"
                                "      POPUP \"&File\"\n"
                                "        MENUITEM \"&Open\",  100\n"
                                "        MENUITEM SEPARATOR\n"
                                "        MENUITEM \"E&xit\",  101\n"
                                "      ENDPOPUP\n"
                                "      POPUP \"&Help\"\n"
                                "        MENUITEM \"&About\",  200\n"
                                "      ENDPOPUP\n"
                                "  String\n"
                                "    1\n"
                                "      1,  \"Hello, world\"\n"
                                "    2\n"
                                "      18,  \"Eighteen\"\n"
                                "  Cursor\n"
                                "    2\n"
                                "      32 X 32 1 Bit(s)\n"
                                "  Icon\n"
                                "    MAINICON\n"
                                "      32 X 32 16 Colors\n"
                                "  Version\n"
                                "    1\n"
                                "  FileDescription=Script library\n"
                                "  ProductVersion=1.2.3.4\n"
                                "  ProductName=Script\n";
    QCOMPARE(listing, expected);
}

void TestResourceScript::readerDecodesEverything()
{
    TExeImage image(m_dll);
    QVERIFY(image.IsPE32Plus());
    QCOMPARE(ExerciseImage(image), QStringList());

    const QImage icon = GetBestIconImage(image, QStringLiteral("MAINICON"), 16, 16);
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.pixel(10, 10), IconSpec().colour | 0xFF000000u);

    TResourceItem *bitmap = TypeNamed(image, QStringLiteral("Bitmap"))->List()->Items(0);
    QCOMPARE(bitmap->RawData(), m_bitmap);

    const auto version = TVersionInfo::FromImage(image);
    QVERIFY(version);
    QCOMPARE(version->FixedInfo().FileVersion(), QStringLiteral("1.2.3.4"));
    QCOMPARE(version->Value(QStringLiteral("\\StringFileInfo\\041904E3\\SpecialBuild")), QStringLiteral("test"));
    QVERIFY(!version->Exists(QStringLiteral("\\StringFileInfo\\041904E3\\PrivateBuild")));
    QCOMPARE(version->Translations(), QList<quint32>({0x04E30419}));
}

QTEST_MAIN(TestResourceScript)
#include "tst_ResourceScript.moc"
