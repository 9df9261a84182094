// The INI file class: private-profile reading rules, writes that replace the
// whole file, Windows-1251 files, and files that are damaged or cannot be
// written; writes that meet faults: a full disk, a failing flush, a read-only
// place, another program writing the same file, a writer killed in the
// middle; and what a rewrite keeps of the file it replaces.
#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/TextCodec.h"
#include "tests/common/ScratchMount.h"
#include "tests/common/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file of some size: [KEYS] with Key<n>=<n> lines.
QByteArray keysFile(int count)
{
    QByteArray text = "[KEYS]\n";
    for (int n = 0; n < count; ++n)
        text += "Key" + QByteArray::number(n) + '=' + QByteArray::number(n) + '\n';
    return text;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Another program writing the file (see IniWriterHelper).
QProcess *startWriter(const QString &file, const QString &prefix, int count, const QString &goFile, QObject *parent)
{
    auto *writer = new QProcess(parent);
    writer->start(QStringLiteral(INI_WRITER_HELPER), {file, prefix, QString::number(count), goFile});
    return writer;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir *dir = nullptr;
    QString path(const QString &name = QStringLiteral("Console.ini")) const { return dir->filePath(name); }

private slots:
    void init() { dir = new QTemporaryDir; }
    void cleanup()
    {
        TIniFile::SetWriteFaultForTests({});
        delete dir;
    }

    void readingRules()
    {
        QVERIFY(WriteBytes(path(), "; a comment\r\n"
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
                                   "CAPTION=Second")); // the last line without a line break

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
        QTest::newRow("2^31 wraps negative") << "2147483648" << int(0x80000000u);
        QTest::newRow("2^32 wraps to 0") << "4294967296" << 0;
        QTest::newRow("2^32+1 wraps to 1") << "4294967297" << 1;
        QTest::newRow("2^32+25 wraps to 25") << "4294967321" << 25;
        QTest::newRow("-(2^32+1) wraps to -1") << "-4294967297" << -1;
        QTest::newRow("+(2^32+2)") << "+4294967298" << 2;
        QTest::newRow("wrapped digits then letters") << "4294967299xyz" << 3;
        QTest::newRow("hex wraps") << "0x100000005" << 5;
    }
    void integersAsTheWindowsApiReadsThem()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(TIniFile::ProfileInt(text), value);
        QVERIFY(WriteBytes(path(), "[S]\nK=" + text.toUtf8() + "\n"));
        QCOMPARE(TIniFile(path()).ReadInteger("S", "K", 555), value);
    }

    // Another program rewrites the file in place with the same size and puts
    // the old modification time back: the next read sees the new text.
    void sameSizeRewriteIsReadAtOnce()
    {
        QVERIFY(WriteBytes(path(), "[S]\nK=old\n"));
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &before), 0);
        // Back-date the file so that its time stamps no longer look fresh.
        const struct timespec old[2] = {{before.st_mtim.tv_sec - 60, 0}, {before.st_mtim.tv_sec - 60, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path()).constData(), old, 0), 0);
        QTest::qSleep(150); // past the grain of the change time as well
        TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "K", ""), QStringLiteral("old"));
        QVERIFY(WriteBytes(path(), "[S]\nK=new\n"));
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path()).constData(), old, 0), 0);
        QCOMPARE(ini.ReadString("S", "K", ""), QStringLiteral("new"));
    }

    void writesKeepFileOrderAndEverythingElse()
    {
        QVERIFY(WriteBytes(path(), "; keep me\r\n[SCHEMES]\r\nB=0\r\nA=1\r\n\r\n[FORM]\r\nx=1\r\n"));
        TIniFile ini(path());
        ini.WriteString("schemes", "a", "0");
        ini.WriteString("SCHEMES", "C", "1");
        ini.WriteString("NEW", "k", "v");
        QCOMPARE(ini.ReadSection("SCHEMES"), (QStringList{"B", "a", "C"}));
        QCOMPARE(
            ReadBytes(path()),
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
        QCOMPARE(ReadBytes(path()), QByteArray("[FORM]\nHideMinimized=0\n"));
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
        QVERIFY(WriteBytes(path(), "[S]\nK=3\n"));
        QCOMPARE(first.ReadString("S", "K", "none"), QStringLiteral("3"));
    }

    void windows1251FileIsReadAndRewrittenAsUtf8()
    {
        const QString name = QString::fromUtf8("Схема");
        QVERIFY(WriteBytes(path(), "[SCHEMES]\r\n" + EncodeWindows1251(name) + "=1\r\n[FORM]\r\nCAPTION=" +
                                       EncodeWindows1251(QString::fromUtf8("Отчеты")) + "\r\n"));
        TIniFile ini(path());
        QCOMPARE(ini.ReadSection("SCHEMES"), QStringList{name});
        QCOMPARE(ini.ReadString("FORM", "CAPTION", ""), QString::fromUtf8("Отчеты"));
        ini.WriteString("SCHEMES", "ABC", "0");
        const QByteArray bytes = ReadBytes(path());
        QVERIFY(IsValidUtf8(bytes));
        QCOMPARE(TIniFile(path()).ReadString("SCHEMES", name, ""), QStringLiteral("1"));
    }

    void utf8WithBomAndUtf16()
    {
        QVERIFY(WriteBytes(path(), "\xEF\xBB\xBF[S]\nK=\xD0\xAF\n"));
        QCOMPARE(TIniFile(path()).ReadString("S", "K", ""), QString::fromUtf8("Я"));
        const QString text = QStringLiteral("[S]\r\nK=wide\r\n");
        QByteArray utf16("\xFF\xFE", 2);
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QVERIFY(WriteBytes(path(), utf16));
        QCOMPARE(TIniFile(path()).ReadString("S", "K", ""), QStringLiteral("wide"));
    }

    void damagedAndBinaryContentNeverCrashes()
    {
        QByteArray garbage;
        for (int i = 0; i < 70000; ++i)
            garbage.append(static_cast<char>((i * 7919) % 256));
        garbage.insert(100, "\n[S]\nK=found\n");
        QVERIFY(WriteBytes(path(), garbage));
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
        QVERIFY(WriteBytes(path(), "[S]\nK=1\n"));
        TIniFile ini(path());
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "a=b", "1"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "", "1"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S", "K", "two\nlines"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString("S]", "K", "1"));
        QCOMPARE(ReadBytes(path()), QByteArray("[S]\nK=1\n"));
    }

    void unwritableTargetGivesAClearError()
    {
        // A folder where the file should be: the write fails whoever runs it, the folder stays.
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("blocked.ini")));
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

    void faultInTheWriteLeavesTheFile_data()
    {
        QTest::addColumn<int>("keys");
        QTest::addColumn<qint64>("bytesFree");
        QTest::addColumn<bool>("failFlush");
        QTest::newRow("full before the first byte") << 3 << qint64(0) << false;
        QTest::newRow("full after a few bytes") << 3 << qint64(7) << false;
        QTest::newRow("full in the second block of a large file") << 20000 << qint64(70000) << false;
        QTest::newRow("the flush fails") << 3 << qint64(-1) << true;
    }
    void faultInTheWriteLeavesTheFile()
    {
        QFETCH(int, keys);
        QFETCH(qint64, bytesFree);
        QFETCH(bool, failFlush);
        const QByteArray before = keysFile(keys);
        QVERIFY(WriteBytes(path(), before));
        TIniFile ini(path());
        TIniFile::SetWriteFaultForTests({bytesFree, failFlush});
        try {
            ini.WriteString("KEYS", "Added", "new value");
            QFAIL("the write should have failed");
        } catch (const EIniWriteError &e) {
            QCOMPARE(e.Reason(), EIniWriteError::NoSpace);
            QCOMPARE(e.FileName(), path());
        }
        QCOMPARE(ReadBytes(path()), before);
        QCOMPARE(filesIn(dir->path()), QStringList{"Console.ini"});
        QCOMPARE(ini.ReadString("KEYS", "Added", "none"), QStringLiteral("none"));

        TIniFile::SetWriteFaultForTests({});
        ini.WriteString("KEYS", "Added", "new value");
        QCOMPARE(TIniFile(path()).ReadString("KEYS", "Added", "none"), QStringLiteral("new value"));
        QCOMPARE(TIniFile(path()).ReadString("KEYS", "Key2", "none"), QStringLiteral("2"));
    }

    void readOnlyPlaceWritesOnlyWhatChanges()
    {
        ScratchMount disk;
        QString folder = dir->path();
        if (geteuid() == 0) {
            if (!disk.Mount(64))
                QSKIP("root ignores file modes and no tmpfs can be mounted here");
            folder = disk.path();
        }
        const QString file = folder + QStringLiteral("/Console.ini");
        const QByteArray before = "[CONNECTION]\nserver=ZANDRELL\n";
        QVERIFY(WriteBytes(file, before));
        if (geteuid() == 0)
            QVERIFY(disk.MakeReadOnly());
        else
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

        TIniFile ini(file);
        // The same value needs no write; a new one cannot be written.
        ini.WriteString("CONNECTION", "server", "ZANDRELL");
        ini.DeleteKey("CONNECTION", "user");
        try {
            ini.WriteString("CONNECTION", "server", "OTHER");
            QFAIL("the write should have failed");
        } catch (const EIniWriteError &e) {
            QCOMPARE(e.Reason(), EIniWriteError::NoPermission);
        }
        QCOMPARE(ReadBytes(file), before);
        QCOMPARE(ini.ReadString("CONNECTION", "server", "x"), QStringLiteral("ZANDRELL"));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void rewriteKeepsModeAndOwner()
    {
        QVERIFY(WriteBytes(path(), "[S]\nK=1\n"));
        QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0640) == 0);
        const bool root = geteuid() == 0;
        if (root)
            QVERIFY(::chown(QFile::encodeName(path()).constData(), 12345, 12346) == 0);
        TIniFile(path()).WriteString("S", "K", "2");
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(path()).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        if (root) {
            QCOMPARE(st.st_uid, uid_t(12345));
            QCOMPARE(st.st_gid, gid_t(12346));
        }
        QCOMPARE(ReadBytes(path()), QByteArray("[S]\nK=2\n"));
    }

    void twoWritersLoseNothing()
    {
        const QString go = dir->filePath(QStringLiteral("go"));
        QProcess *first = startWriter(path(), QStringLiteral("A"), 100, go, this);
        QProcess *second = startWriter(path(), QStringLiteral("B"), 100, go, this);
        QVERIFY(first->waitForStarted() && second->waitForStarted());
        QVERIFY(WriteBytes(go, QByteArray()));
        for (QProcess *writer : {first, second}) {
            QVERIFY(writer->waitForFinished(120000));
            QCOMPARE(writer->exitCode(), 0);
        }
        QStringList expected;
        for (const char *prefix : {"A", "B"})
            for (int n = 0; n < 100; ++n)
                expected << QString::fromLatin1(prefix) + QString::number(n);
        QStringList keys = TIniFile(path()).ReadSection("KEYS");
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);
    }

    void abandonedLockIsTakenOver()
    {
        // A writer killed while it created its lock leaves an empty lock file that names no process.
        const QString lockPath = path() + QStringLiteral(".lock");
        QVERIFY(WriteBytes(lockPath, QByteArray()));
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime));
        lock.close();
        QElapsedTimer timer;
        timer.start();
        TIniFile(path()).WriteString("S", "K", "1");
        QVERIFY(timer.elapsed() < TIniFile::kLockTimeoutMs);
        QCOMPARE(ReadBytes(path()), QByteArray("[S]\nK=1\n"));
        QVERIFY(!QFile::exists(lockPath));
    }

    void killedWriterLeavesAWholeFile()
    {
        const QString go = dir->filePath(QStringLiteral("go"));
        QVERIFY(WriteBytes(go, QByteArray()));
        static const QRegularExpression keyLine(QStringLiteral("^R\\d+_\\d+=\\d+$"));
        QStringList acknowledged;
        for (int round = 0; round < 12; ++round) {
            const QString prefix = QStringLiteral("R%1_").arg(round);
            QProcess *writer = startWriter(path(), prefix, -1, go, this);
            QVERIFY(writer->waitForReadyRead(10000));
            QTest::qWait(QRandomGenerator::global()->bounded(1, 40));
            ::kill(pid_t(writer->processId()), SIGKILL);
            QVERIFY(writer->waitForFinished(10000));
            for (const QByteArray &line : writer->readAllStandardOutput().split('\n'))
                if (!line.isEmpty())
                    acknowledged << prefix + QString::fromLatin1(line);

            const QByteArray bytes = ReadBytes(path());
            QVERIFY2(bytes.endsWith('\n'), "the file ends in the middle of a line");
            const QList<QByteArray> lines = bytes.trimmed().split('\n');
            QCOMPARE(lines.first(), QByteArray("[KEYS]"));
            for (qsizetype i = 1; i < lines.size(); ++i)
                QVERIFY2(keyLine.match(QString::fromLatin1(lines.at(i))).hasMatch(), lines.at(i).constData());
            const QStringList keys = TIniFile(path()).ReadSection("KEYS");
            for (const QString &key : acknowledged)
                QVERIFY2(keys.contains(key), qPrintable(key + QStringLiteral(" was written and is lost")));
            // A killed writer may leave its lock, which the next one takes over, and (killed between
            // naming its finished copy and putting it in place) "<file>.tmp", which the next one replaces.
            QStringList files = filesIn(dir->path());
            files.removeAll(QStringLiteral("Console.ini.lock"));
            files.removeAll(QStringLiteral("Console.ini.tmp"));
            QCOMPARE(files, (QStringList{"Console.ini", "go"}));
        }
        QVERIFY(acknowledged.size() >= 12);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_IniFile.moc"
