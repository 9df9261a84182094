// The INI file class: private-profile reading rules; writes that keep every line they do not change byte for byte;
// writes that meet faults (a full disk, a read-only place, a held lock, another writer, a writer killed midway).
#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/TextCodec.h"
#include "tests/common/ScratchMount.h"
#include "tests/common/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The reason of the write error that the write raises; -1 when it raises none.
int refusal(const std::function<void()> &write)
{
    try {
        write();
    } catch (const EIniWriteError &e) {
        return int(e.Reason());
    }
    return -1;
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
        QCOMPARE(ini.ReadString("START", "Quoted", "x"), QStringLiteral("  spaced value  "));
        QCOMPARE(ini.ReadString("START", "Half", "x"), QStringLiteral("\"open"));
        QCOMPARE(ini.ReadString("START", "Empty", "x"), QString());
        QCOMPARE(ini.ReadString("START", "no equals sign here", "x"), QStringLiteral("x"));
        QCOMPARE(ini.ReadSection("START"), (QStringList{"LangID", "Quoted", "Half", "Empty"}));
        // The first section of a name counts, as with the Windows functions.
        QCOMPARE(ini.ReadString("START", "Late", "x"), QStringLiteral("x"));
        QCOMPARE(ini.ReadSections(), (QStringList{"Start", "FORM"}));
        QVERIFY(!ini.SectionExists("SCHEMES"));
        QCOMPARE(ini.ReadString("form", "caption", "x"), QStringLiteral("Second"));
        QVERIFY(!ini.ValueExists("form", "orphan"));
    }

    void integersAsTheWindowsApiReadsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plus") << "+1" << 1;
        QTest::newRow("trailing letters") << "42A" << 42;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("hex") << "0x1F" << 31;
        QTest::newRow("2^31 wraps negative") << "2147483648" << int(0x80000000u);
        QTest::newRow("2^32+1 wraps to 1") << "4294967297" << 1;
        QTest::newRow("wrapped digits then letters") << "4294967299xyz" << 3;
    }
    void integersAsTheWindowsApiReadsThem()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(TIniFile::ProfileInt(text), value);
    }

    // What another writer wrote is read at once, also a rewrite in place of the same size with the old time put back.
    void changesByAnotherWriterAreSeen()
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

    // Reading a missing file gives the defaults and writes nothing; the first write creates it.
    void missingFileIsCreatedOnFirstWrite()
    {
        TIniFile ini(path());
        QCOMPARE(ini.ReadBool("FORM", "HideMinimized", true), true);
        QVERIFY(!QFile::exists(path()));
        ini.WriteBool("FORM", "HideMinimized", false);
        QCOMPARE(ReadBytes(path()), QByteArray("[FORM]\nHideMinimized=0\n"));
    }

    // A write changes only the lines of its key; every other line keeps its bytes and its line end.
    void writesKeepEveryOtherByte_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("writes"); // section|key|value; section|key deletes the key, section the section
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("readBack"); // section|key|value read from the file written
        QTest::newRow("file order, new keys after a section's last key, deletes")
            << QByteArray("; keep me\r\n[SCHEMES]\r\nB=0\r\nA=1\r\n\r\n[GONE]\r\ny=1\r\n[FORM]\r\nx=1\r\n")
            << QStringList{u"schemes|a|0"_s, u"SCHEMES|C|1"_s,       u"NEW|k|v"_s,
                           u"Schemes|B"_s,   u"Schemes|not there"_s, u"gone"_s}
            << QByteArray("; keep me\r\n[SCHEMES]\r\na=0\r\nC=1\r\n\r\n[FORM]\r\nx=1\r\n\r\n[NEW]\r\nk=v\r\n")
            << u"FORM|x|1"_s;
        const QByteArray scheme = u"Схема"_s.toUtf8();
        const QByteArray reports = u"Отчеты"_s.toUtf8();
        QTest::newRow("UTF-8 with one stray byte")
            << "[SCHEMES]\n" + scheme + "=1\nBAD\xFF=0\n[FORM]\nCAPTION=" + reports + "\n"
            << QStringList{u"SCHEMES|"_s + u"Схема"_s + u"|0"_s, u"SCHEMES|ABC|1"_s}
            << "[SCHEMES]\n" + scheme + "=0\nBAD\xFF=0\nABC=1\n[FORM]\nCAPTION=" + reports + "\n"
            << u"FORM|CAPTION|Отчеты"_s;
        const QByteArray scheme1251 = EncodeWindows1251(u"Схема"_s);
        QTest::newRow("Windows-1251 stays Windows-1251")
            << "[SCHEMES]\r\n" + scheme1251 + "=1\r\n[FORM]\r\nCAPTION=" + EncodeWindows1251(u"Отчеты"_s) + "\r\n"
            << QStringList{u"FORM|CAPTION|Итоги"_s}
            << "[SCHEMES]\r\n" + scheme1251 + "=1\r\n[FORM]\r\nCAPTION=" + EncodeWindows1251(u"Итоги"_s) + "\r\n"
            << u"SCHEMES|Схема|1"_s;
        QTest::newRow("mixed line ends, no end after the last line")
            << QByteArray("[A]\r\nk=1\nj=2\r[B]\r\nx=1") << QStringList{u"A|k|5"_s, u"B|y|2"_s, u"C|z|3"_s}
            << QByteArray("[A]\r\nk=5\nj=2\r[B]\r\nx=1\r\ny=2\r\n\r\n[C]\r\nz=3\r\n") << u"A|j|2"_s;
        QTest::newRow("a key keeps its spelling, blanks and quotes of other lines")
            << QByteArray("[S]\n  Key  =  old\nQ = \"  quoted  \" \n")
            << QStringList{u"s|Key|new"_s, u"S| Key |newer"_s}
            << QByteArray("[S]\n  Key  =newer\nQ = \"  quoted  \" \n") << u"S|Q|  quoted  "_s;
        const auto utf16 = [](const QString &text) {
            return QByteArray("\xFF\xFE", 2) +
                   QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        };
        QTest::newRow("UTF-16 with its mark")
            << utf16(u"[S]\r\nK=Я\r\n"_s) << QStringList{u"S|L|ж"_s} << utf16(u"[S]\r\nK=Я\r\nL=ж\r\n"_s) << u"S|K|Я"_s;
        QTest::newRow("UTF-8 with its mark")
            << "\xEF\xBB\xBF[S]\nK=" + scheme + "\n"
            << QStringList{u"S|K|Я"_s} << "\xEF\xBB\xBF[S]\nK=" + u"Я"_s.toUtf8() + "\n"
            << u"S|K|Я"_s;
    }
    void writesKeepEveryOtherByte()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, after);
        QFETCH(QString, readBack);
        QVERIFY(WriteBytes(path(), before));
        TIniFile ini(path());
        for (const QString &write : writes) {
            const QStringList parts = write.split(u'|');
            if (parts.size() == 3)
                ini.WriteString(parts.at(0), parts.at(1), parts.at(2));
            else if (parts.size() == 2)
                ini.DeleteKey(parts.at(0), parts.at(1));
            else
                ini.EraseSection(parts.at(0));
        }
        QCOMPARE(ReadBytes(path()), after);
        const QStringList parts = readBack.split(u'|');
        QCOMPARE(TIniFile(path()).ReadString(parts.at(0), parts.at(1), u"missing"_s), parts.at(2));
    }

    // A file that is not text (zero bytes after a crash) is read as far as it can be and never rewritten: the
    // write fails, and a copy of the file is kept beside it.
    void fileThatIsNotTextIsLeftAlone()
    {
        const QByteArray bytes = QByteArray("[S]\nK=kept\n") + QByteArray(512, '\0');
        QVERIFY(WriteBytes(path(), bytes));
        TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "K", "none"), u"kept"_s);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                ini.WriteString("S", "K2", "v");
                QFAIL("the write should have failed");
            } catch (const EIniWriteError &e) {
                QCOMPARE(e.Reason(), EIniWriteError::NotText);
                QCOMPARE(e.OtherFile(), path(u"Console.ini.damaged"_s));
            }
        }
        QCOMPARE(ReadBytes(path()), bytes);
        QCOMPARE(ReadBytes(path(u"Console.ini.damaged"_s)), bytes);
        QCOMPARE(filesIn(dir->path()), (QStringList{u"Console.ini"_s, u"Console.ini.damaged"_s}));
    }

    // A lock that is not a regular file is never opened (a FIFO would wait for ever) and fails the write at once.
    void lockThatIsNoFile()
    {
        const QByteArray before = "[S]\nK=1\n";
        QVERIFY(WriteBytes(path(), before));
        const QByteArray lockPath = QFile::encodeName(path() + u".lock"_s);
        QCOMPARE(::mkfifo(lockPath.constData(), 0600), 0);
        TIniFile ini(path());
        for (int attempt = 0; attempt < 2; ++attempt)
            QCOMPARE(refusal([&] { ini.WriteString("S", "K", "2"); }), int(EIniWriteError::LockNotAFile));
        QCOMPARE(ReadBytes(path()), before);
        struct stat st {};
        QCOMPARE(::lstat(lockPath.constData(), &st), 0); // the lock path is left as it was
    }

    // A lock another program holds is waited for: held past the wait, the write is refused after it and changes
    // nothing; released during the wait, the write goes through.
    void heldLockIsWaitedFor()
    {
        QVERIFY(WriteBytes(path(), "[S]\nK=1\n"));
        const int holder =
            ::open(QFile::encodeName(path() + u".lock"_s).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
        TIniFile::SetWriteFaultForTests({.LockTimeoutMs = 300});
        TIniFile ini(path());
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(refusal([&] { ini.WriteString("S", "K", "2"); }), int(EIniWriteError::Locked));
        QVERIFY(waited.elapsed() >= 300);
        QCOMPARE(ReadBytes(path()), QByteArray("[S]\nK=1\n"));
        std::thread release([holder] {
            QThread::msleep(50);
            ::close(holder);
        });
        ini.WriteString("S", "K", "2");
        release.join();
        QCOMPARE(ReadBytes(path()), QByteArray("[S]\nK=2\n"));
    }

    // Writes the file cannot take are refused and change nothing: a character a Windows-1251 file has no code
    // for, names and values that would break a line, and a file too large to rewrite (read all the same).
    void refusedWritesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("write"); // section, key, value
        const QByteArray keyK = "[S]\nK=1\n";
        QTest::newRow("Windows-1251") << keyK + EncodeWindows1251(u"Ключ=1\n"_s) << QStringList{"S", "K", u"東京"_s};
        QTest::newRow("key with =") << keyK << QStringList{"S", "a=b", "1"};
        QTest::newRow("value of two lines") << keyK << QStringList{"S", "K", "two\nlines"};
        QTest::newRow("section with ]") << keyK << QStringList{"S]", "K", "1"};
        // Text throughout: comment lines of a mebibyte.
        const QByteArray comment = ';' + QByteArray(1024 * 1024 - 2, 'x') + '\n';
        QTest::newRow("huge") << keyK + comment.repeated(TIniFile::kMaxFileSize / comment.size() + 1)
                              << QStringList{"S", "K", "2"};
    }
    void refusedWritesChangeNothing()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, write);
        QVERIFY(WriteBytes(path(), before));
        TIniFile ini(path());
        QCOMPARE(ini.ReadString("S", "K", "x"), u"1"_s);
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString(write[0], write[1], write[2]));
        QCOMPARE(ReadBytes(path()), before);
    }

    void faultInTheWriteLeavesTheFile_data()
    {
        QTest::addColumn<TIniFile::TWriteFault>("fault");
        QTest::newRow("full after a few bytes") << TIniFile::TWriteFault{.BytesFree = 7};
        QTest::newRow("the flush fails") << TIniFile::TWriteFault{.FailFlush = true};
    }
    void faultInTheWriteLeavesTheFile()
    {
        QFETCH(TIniFile::TWriteFault, fault);
        const QByteArray before = "[KEYS]\nKey0=0\nKey1=1\n";
        QVERIFY(WriteBytes(path(), before));
        TIniFile ini(path());
        TIniFile::SetWriteFaultForTests(fault);
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
        QCOMPARE(ReadBytes(path()), before + "Added=new value\n");
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
        QCOMPARE(refusal([&] { ini.WriteString("CONNECTION", "server", "OTHER"); }), int(EIniWriteError::NoPermission));
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
        // Each writer writes its own keys A0..A99 and B0..B99.
        QCOMPARE(TIniFile(path()).ReadSection("KEYS").size(), 200);
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
