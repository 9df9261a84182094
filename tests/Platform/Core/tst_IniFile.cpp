// The INI file class: private-profile reading rules, writes that replace the
// whole file, Windows-1251 files, and files that are damaged or cannot be written.
#include "Exceptions.h"
#include "IniFile.h"
#include "TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>
#include <QFileInfo>

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString &name = QStringLiteral("Console.ini")) const { return dir.filePath(name); }
    void writeBytes(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray readBytes(const QString &name)
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        QFile::remove(path());
        QFile::remove(path(QStringLiteral("other.ini")));
    }

    void readingRules()
    {
        writeBytes(QStringLiteral("Console.ini"),
                   "; a comment\r\n"
                   "orphan=before any section\r\n"
                   "  [ Start ]  \r\n"
                   "  LangID  =  9  \r\n"
                   "Quoted=\"  spaced value  \"\n"
                   "Half=\"open\r"
                   "no equals sign here\n"
                   "Empty=\n"
                   "=no key\n"
                   "[start]\n"
                   "LangID=25\n"
                   "Late=only in the repeated section\n"
                   "[FORM]\n"
                   "CAPTION=Second"); // the last line without a line break

        TIniFile ini(path());
        QCOMPARE(ini.ReadString("START", "langid", "x"), QStringLiteral("9"));
        QCOMPARE(ini.ReadInteger("start", "LANGID", 0), 9);
        QCOMPARE(ini.ReadString("START", "Quoted", "x"), QStringLiteral("  spaced value  "));
        QCOMPARE(ini.ReadString("START", "Half", "x"), QStringLiteral("\"open"));
        QCOMPARE(ini.ReadString("START", "Empty", "x"), QString());
        QCOMPARE(ini.ReadString("START", "no equals sign here", "x"), QStringLiteral("x"));
        QCOMPARE(ini.ReadSection("START"), (QStringList{"LangID", "Quoted", "Half", "Empty"}));
        // The first section of a name counts, as with the Windows functions.
        QCOMPARE(ini.ReadString("START", "Late", "x"), QStringLiteral("x"));
        QCOMPARE(ini.ReadSections(), (QStringList{"Start", "FORM"}));
        QVERIFY(ini.SectionExists("form"));
        QVERIFY(!ini.SectionExists("SCHEMES"));
        QCOMPARE(ini.ReadString("form", "caption", "x"), QStringLiteral("Second"));
        QVERIFY(!ini.ValueExists("form", "orphan"));
        QCOMPARE(ini.ReadString("Missing", "key", "default"), QStringLiteral("default"));
    }

    void integersAsTheWindowsApiReadsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plus") << "+1" << 1;
        QTest::newRow("trailing letters") << "42A" << 42;
        QTest::newRow("letter") << "B" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("negative") << "-7" << -7;
        QTest::newRow("hex") << "0x1F" << 31;
        QTest::newRow("blanks") << "  12  " << 12;
        QTest::newRow("huge") << "99999999999999" << -1;
    }
    void integersAsTheWindowsApiReadsThem()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(TIniFile::ProfileInt(text), value);
        writeBytes(QStringLiteral("Console.ini"), "[S]\nK=" + text.toUtf8() + "\n");
        QCOMPARE(TIniFile(path()).ReadInteger("S", "K", 555), value);
    }

    void writesKeepFileOrderAndEverythingElse()
    {
        writeBytes(QStringLiteral("Console.ini"), "; keep me\r\n[SCHEMES]\r\nB=0\r\nA=1\r\n\r\n[FORM]\r\nx=1\r\n");
        TIniFile ini(path());
        ini.WriteString("schemes", "a", "0");
        ini.WriteString("SCHEMES", "C", "1");
        ini.WriteString("NEW", "k", "v");
        QCOMPARE(ini.ReadSection("SCHEMES"), (QStringList{"B", "a", "C"}));
        QCOMPARE(readBytes(QStringLiteral("Console.ini")),
                 QByteArray("; keep me\r\n[SCHEMES]\r\nB=0\r\na=0\r\nC=1\r\n\r\n[FORM]\r\nx=1\r\n\r\n[NEW]\r\nk=v\r\n"));
        ini.DeleteKey("Schemes", "B");
        ini.DeleteKey("Schemes", "not there");
        QCOMPARE(ini.ReadSection("SCHEMES"), (QStringList{"a", "C"}));
        ini.EraseSection("FORM");
        QVERIFY(!ini.SectionExists("FORM"));
        QVERIFY(ini.SectionExists("NEW"));
    }

    // Reading a missing file gives the defaults and writes nothing; the first write creates it.
    void missingFileIsCreatedOnFirstWrite()
    {
        TIniFile ini(path());
        QVERIFY(ini.ReadSection("SCHEMES").isEmpty());
        QCOMPARE(ini.ReadBool("FORM", "HideMinimized", true), true);
        QCOMPARE(ini.ReadInteger("FORM", "Missing", 25), 25);
        QVERIFY(!QFile::exists(path()));
        ini.WriteBool("FORM", "HideMinimized", false);
        QCOMPARE(readBytes(QStringLiteral("Console.ini")), QByteArray("[FORM]\nHideMinimized=0\n"));
        QCOMPARE(ini.ReadBool("FORM", "HideMinimized", true), false);
        ini.WriteBool("FORM", "HideMinimized", true);
        QCOMPARE(ini.ReadString("FORM", "HideMinimized", ""), QStringLiteral("1"));
    }

    void changesByAnotherWriterAreSeen()
    {
        TIniFile first(path());
        TIniFile second(path());
        QCOMPARE(first.ReadString("S", "K", "none"), QStringLiteral("none"));
        second.WriteString("S", "K", "1");
        QCOMPARE(first.ReadString("S", "K", "none"), QStringLiteral("1"));
        second.WriteString("S", "K", "2");
        QCOMPARE(first.ReadString("S", "K", "none"), QStringLiteral("2"));
        writeBytes(QStringLiteral("Console.ini"), "[S]\nK=3\n");
        QCOMPARE(first.ReadString("S", "K", "none"), QStringLiteral("3"));
    }

    void windows1251FileIsReadAndRewrittenAsUtf8()
    {
        const QString name = QString::fromUtf8("Схема");
        writeBytes(QStringLiteral("Console.ini"),
                   "[SCHEMES]\r\n" + EncodeWindows1251(name) + "=1\r\n[FORM]\r\nCAPTION=" +
                       EncodeWindows1251(QString::fromUtf8("Отчеты")) + "\r\n");
        TIniFile ini(path());
        QCOMPARE(ini.ReadSection("SCHEMES"), QStringList{name});
        QCOMPARE(ini.ReadString("FORM", "CAPTION", ""), QString::fromUtf8("Отчеты"));
        ini.WriteString("SCHEMES", "ABC", "0");
        const QByteArray bytes = readBytes(QStringLiteral("Console.ini"));
        QVERIFY(IsValidUtf8(bytes));
        QCOMPARE(TIniFile(path()).ReadString("SCHEMES", name, ""), QStringLiteral("1"));
    }

    void utf8WithBomAndUtf16()
    {
        writeBytes(QStringLiteral("Console.ini"), "\xEF\xBB\xBF[S]\nK=\xD0\xAF\n");
        QCOMPARE(TIniFile(path()).ReadString("S", "K", ""), QString::fromUtf8("Я"));
        const QString text = QStringLiteral("[S]\r\nK=wide\r\n");
        QByteArray utf16("\xFF\xFE", 2);
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        writeBytes(QStringLiteral("Console.ini"), utf16);
        QCOMPARE(TIniFile(path()).ReadString("S", "K", ""), QStringLiteral("wide"));
    }

    void damagedAndBinaryContentNeverCrashes()
    {
        QByteArray garbage;
        for (int i = 0; i < 70000; ++i)
            garbage.append(static_cast<char>((i * 7919) % 256));
        garbage.insert(100, "\n[S]\nK=found\n");
        writeBytes(QStringLiteral("Console.ini"), garbage);
        TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "K", "x"), QStringLiteral("found"));
        ini.WriteString("S", "K2", "v");
        QCOMPARE(ini.ReadString("S", "K2", "x"), QStringLiteral("v"));
    }

    void hugeFileIsReadButNeverRewritten()
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[S]\nK=1\n");
        QVERIFY(f.resize(TIniFile::kMaxFileSize + 10));
        f.close();
        TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "K", "x"), QStringLiteral("1"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "K", "2"));
        QCOMPARE(QFileInfo(path()).size(), TIniFile::kMaxFileSize + 10);
    }

    void invalidNamesAreRefusedAndLoseNothing()
    {
        writeBytes(QStringLiteral("Console.ini"), "[S]\nK=1\n");
        TIniFile ini(path());
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "a=b", "1"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "", "1"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "K", "two\nlines"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S]", "K", "1"));
        QCOMPARE(readBytes(QStringLiteral("Console.ini")), QByteArray("[S]\nK=1\n"));
    }

    void unwritableTargetGivesAClearError()
    {
        // A folder where the file should be: the write fails whoever runs it, the folder stays.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("blocked.ini")));
        TIniFile ini(path(QStringLiteral("blocked.ini")));
        try {
            ini.WriteString("S", "K", "1");
            QFAIL("the write should have failed");
        } catch (const EIniFileError &e) {
            QVERIFY(e.message().contains(QStringLiteral("blocked.ini")));
        }
        QVERIFY(QFileInfo(path(QStringLiteral("blocked.ini"))).isDir());
        QCOMPARE(ini.ReadString("S", "K", "none"), QStringLiteral("none"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_IniFile.moc"
