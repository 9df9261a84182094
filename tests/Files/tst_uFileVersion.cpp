// File version information: the lines of one file (name, size, times and the
// three version strings of the 041904E3 block), BuildKind, the error box of a
// file that cannot be read, and the manager over a list of files.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "RecordingDialogService.h"
#include "ResourcePack.h"
#include "uFileVersion.h"

#include <QFileInfo>
#include <QLocale>
#include <QtTest>

namespace {

const QString Russian = QStringLiteral("041904E3");

using Strings = QList<QPair<QString, QString>>;

Strings Sample()
{
    return {{QStringLiteral("FileDescription"), QStringLiteral("Модуль заказов")},
            {QStringLiteral("ProductVersion"), QStringLiteral("5.0.0.1")},
            {QStringLiteral("ProductName"), QStringLiteral("Заказы")}};
}

QByteArray PeWithVersion(const QList<VersionTableSpec> &tables)
{
    PeBuilder builder;
    builder.Add(16, 1, PeBuilder::Version(0x00050000, 1, tables));
    return builder.Build();
}

// The names of a file's lines, in order.
QStringList LineNames(const TFileVersion &file)
{
    QStringList names;
    for (const QString &line : file.Values)
        names.append(line.section(QLatin1Char('='), 0, 0));
    return names;
}

} // namespace

class TestFileVersion : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordingDialogService *dialogs = nullptr;

private slots:
    void init() { dialogs = new RecordingDialogService; }
    void cleanup()
    {
        delete dialogs;
        QLocale::setDefault(QLocale::system());
    }

    void versionStrings_data();
    void versionStrings();
    void linesInOrderWithoutFolder();
    void descriptionAndProductAreTranslatedVersionIsNot();
    void notAPeFileHasNoVersionInformation();
    void fileThatCannotBeOpened_data();
    void fileThatCannotBeOpened();
    void damagedVersionResourceKeepsTheLinesBefore();
    void sizeIsGroupedByTheLocale_data();
    void sizeIsGroupedByTheLocale();
    void emptyFileHasAnEmptySize();
    void timesBeginWithABlank();
    void columnTableNamesTheLines();
    void managerReadsEveryFileInOrder();
    void refreshReadsAgain();
};

void TestFileVersion::versionStrings_data()
{
    QTest::addColumn<QList<VersionTableSpec>>("tables");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("product");
    QTest::addColumn<int>("buildKind");

    QTest::newRow("Russian block") << QList<VersionTableSpec>{{Russian, Sample()}} << "Модуль заказов"
                                   << "5.0.0.1" << "Заказы" << 3;
    QTest::newRow("other block only") << QList<VersionTableSpec>{{QStringLiteral("040904B0"), Sample()}} << ""
                                      << "" << "" << 3;
    QTest::newRow("both blocks") << QList<VersionTableSpec>{{QStringLiteral("040904B0"),
                                                              {{QStringLiteral("ProductVersion"), QStringLiteral("9")}}},
                                                             {Russian, Sample()}}
                                 << "Модуль заказов" << "5.0.0.1" << "Заказы" << 3;
    QTest::newRow("no ProductVersion")
        << QList<VersionTableSpec>{{Russian,
                                    {{QStringLiteral("FileDescription"), QStringLiteral("Склад")},
                                     {QStringLiteral("ProductName"), QStringLiteral("Учёт")}}}}
        << "Склад" << "" << "Учёт" << 3;
    QTest::newRow("SpecialBuild") << QList<VersionTableSpec>{{Russian, Sample() + Strings{{QStringLiteral("SpecialBuild"),
                                                                                             QStringLiteral("test")}}}}
                                  << "Модуль заказов" << "5.0.0.1" << "Заказы" << 1;
    QTest::newRow("PrivateBuild") << QList<VersionTableSpec>{{Russian, Sample() + Strings{{QStringLiteral("PrivateBuild"),
                                                                                             QStringLiteral("me")}}}}
                                  << "Модуль заказов" << "5.0.0.1" << "Заказы" << 2;
    QTest::newRow("both special keys")
        << QList<VersionTableSpec>{{Russian, Sample() + Strings{{QStringLiteral("SpecialBuild"), QString()},
                                                                {QStringLiteral("PrivateBuild"), QString()}}}}
        << "Модуль заказов" << "5.0.0.1" << "Заказы" << 2;
    QTest::newRow("special key in another block only")
        << QList<VersionTableSpec>{{QStringLiteral("040904B0"), {{QStringLiteral("SpecialBuild"), QStringLiteral("x")}}},
                                   {Russian, Sample()}}
        << "Модуль заказов" << "5.0.0.1" << "Заказы" << 3;
}

void TestFileVersion::versionStrings()
{
    QFETCH(QList<VersionTableSpec>, tables);
    const QString path = WriteTestFile(dir, QStringLiteral("module.dll"), PeWithVersion(tables));
    const TFileVersion file(path);
    QFETCH(QString, description);
    QFETCH(QString, version);
    QFETCH(QString, product);
    QFETCH(int, buildKind);
    QCOMPARE(file.Value(QStringLiteral("FileDescription")), description);
    QCOMPARE(file.Value(QStringLiteral("ProductVersion")), version);
    QCOMPARE(file.Value(QStringLiteral("ProductName")), product);
    QCOMPARE(int(file.BuildKind), buildKind);
    QVERIFY(dialogs->boxes.isEmpty());
}

void TestFileVersion::linesInOrderWithoutFolder()
{
    const QString path = WriteTestFile(dir, QStringLiteral("Orders.dll"), PeWithVersion({{Russian, Sample()}}));
    TFileVersion file(path);
    QCOMPARE(file.FileName, path);
    QCOMPARE(file.LineCount(), 7);
    QCOMPARE(LineNames(file), (QStringList{"FileName", "FileSize", "CreateDate", "LastChange", "FileDescription",
                                           "ProductVersion", "ProductName"}));
    QCOMPARE(file.Values.first(), QStringLiteral("FileName=Orders.dll"));
    QCOMPARE(file.FileSize, quint32(QFileInfo(path).size()));
    QCOMPARE(file.LastWriteTime, QFileInfo(path).lastModified().toLocalTime());
    QVERIFY(file.CreationTime.isValid());
    // Filled once: running it again only adds lines, the constructor's run returned true.
    QVERIFY(file.FormVersionData(path));
    QCOMPARE(file.LineCount(), 14);
}

void TestFileVersion::descriptionAndProductAreTranslatedVersionIsNot()
{
    // The language package translates its resource strings; a value that names one shows its text.
    const QString id = QStringLiteral("rstr_to_Close");
    QVERIFY(ResStr(id) != id);
    const QString path = WriteTestFile(dir, QStringLiteral("named.dll"),
                                       PeWithVersion({{Russian,
                                                       {{QStringLiteral("FileDescription"), id},
                                                        {QStringLiteral("ProductVersion"), id},
                                                        {QStringLiteral("ProductName"), id}}}}));
    const TFileVersion file(path);
    QCOMPARE(file.Value(QStringLiteral("FileDescription")), ResStr(id));
    QCOMPARE(file.Value(QStringLiteral("ProductName")), ResStr(id));
    QCOMPARE(file.Value(QStringLiteral("ProductVersion")), id);
}

void TestFileVersion::notAPeFileHasNoVersionInformation()
{
    for (const QByteArray &bytes : {QByteArray("plain text, not a program"), QByteArray("MZ but nothing more")}) {
        const QString path = WriteTestFile(dir, QStringLiteral("notes.txt"), bytes);
        const TFileVersion file(path);
        QCOMPARE(file.LineCount(), 7);
        QCOMPARE(file.BuildKind, quint8(0));
        QCOMPARE(file.Value(QStringLiteral("FileDescription")), QString());
        QCOMPARE(file.Value(QStringLiteral("ProductVersion")), QString());
        QCOMPARE(file.Value(QStringLiteral("ProductName")), QString());
    }
    // A PE file with resources but no version resource is the same.
    PeBuilder builder;
    builder.Add(10, 1, "data");
    const TFileVersion file(WriteTestFile(dir, QStringLiteral("plain.dll"), builder.Build()));
    QCOMPARE(file.BuildKind, quint8(0));
    QCOMPARE(file.LineCount(), 7);
    QVERIFY(dialogs->boxes.isEmpty());
}

void TestFileVersion::fileThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("missing.dll");
    QTest::newRow("folder") << QStringLiteral("folder.dll");
}

void TestFileVersion::fileThatCannotBeOpened()
{
    QFETCH(QString, name);
    QDir(dir.path()).mkdir(QStringLiteral("folder.dll"));
    const QString path = dir.filePath(name);
    TFileVersion file(path);
    QCOMPARE(file.Values, QStringList{QStringLiteral("FileName=") + name});
    QCOMPARE(file.BuildKind, quint8(0));
    QCOMPARE(dialogs->boxes.size(), 1);
    const RecordedBox &box = dialogs->boxes.first();
    QCOMPARE(box.caption, TranslateAplText(QStringLiteral("rstrNotification")));
    QCOMPARE(box.flags, unsigned(MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST));
    QVERIFY2(box.text.contains(path), qPrintable(box.text));
    QCOMPARE(box.text, box.text.trimmed());
    dialogs->clear();
    QVERIFY(!file.FormVersionData(path));
    QCOMPARE(dialogs->boxes.size(), 1);
}

void TestFileVersion::damagedVersionResourceKeepsTheLinesBefore()
{
    QByteArray version = PeBuilder::Version(1, 0, {{Russian, Sample()}});
    version.replace(0, 2, QByteArray("\x03\x00", 2)); // a root block shorter than its header
    PeBuilder builder;
    builder.Add(16, 1, version);
    const TFileVersion file(WriteTestFile(dir, QStringLiteral("damaged.dll"), builder.Build()));
    QCOMPARE(LineNames(file), (QStringList{"FileName", "FileSize", "CreateDate", "LastChange"}));
    QCOMPARE(file.BuildKind, quint8(0));
    QCOMPARE(dialogs->boxes.size(), 1);
    QVERIFY2(dialogs->boxes.first().text.startsWith(QStringLiteral("could not load info")),
             qPrintable(dialogs->boxes.first().text));
}

void TestFileVersion::sizeIsGroupedByTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
}

void TestFileVersion::sizeIsGroupedByTheLocale()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    const QString path = dir.filePath(QStringLiteral("big.bin"));
    {
        QFile big(path);
        QVERIFY(big.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(big.resize(1234567));
    }
    const TFileVersion file(path);
    const QString sep = locale.groupSeparator();
    QVERIFY(!sep.isEmpty());
    QCOMPARE(file.FileSize, quint32(1234567));
    QCOMPARE(file.Value(QStringLiteral("FileSize")), QStringLiteral("1") + sep + "234" + sep + "567");
    QCOMPARE(file.Value(QStringLiteral("FileSize")).split(sep).size(), 3);
    QCOMPARE(FormatFileSize(999), QStringLiteral("999"));
}

void TestFileVersion::emptyFileHasAnEmptySize()
{
    const TFileVersion file(WriteTestFile(dir, QStringLiteral("empty.bin"), QByteArray()));
    QCOMPARE(file.FileSize, quint32(0));
    QVERIFY(file.Values.contains(QStringLiteral("FileSize=")));
}

void TestFileVersion::timesBeginWithABlank()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const TFileVersion file(WriteTestFile(dir, QStringLiteral("times.bin"), "x"));
    const QString created = file.Value(QStringLiteral("CreateDate"));
    const QString changed = file.Value(QStringLiteral("LastChange"));
    QVERIFY(created.startsWith(QLatin1Char(' ')));
    QVERIFY(changed.startsWith(QLatin1Char(' ')));
    QCOMPARE(created, QLatin1Char(' ') + FormatFileTime(file.CreationTime));
    QCOMPARE(changed, QLatin1Char(' ') + FormatFileTime(file.LastWriteTime));
    // The locale's short date, a blank, the locale's short time.
    const QLocale locale;
    QCOMPARE(FormatFileTime(file.LastWriteTime),
             locale.toString(file.LastWriteTime.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                 locale.toString(file.LastWriteTime.time(), QLocale::ShortFormat));
}

void TestFileVersion::columnTableNamesTheLines()
{
    const TFileVersion file(WriteTestFile(dir, QStringLiteral("columns.dll"), PeWithVersion({{Russian, Sample()}})));
    const QStringList names = LineNames(file);
    QCOMPARE(TFileVersionMgr().FieldCount(), kFileVersionFieldCount);
    QSet<QString> columns;
    for (int i = 0; i < kFileVersionFieldCount; ++i) {
        const TFieldDef &field = TFileVersionMgr::Fields(i);
        QVERIFY(names.contains(QString::fromLatin1(field.Name)));
        QVERIFY(field.Width > 0);
        QVERIFY(qstrlen(field.Caption) > 0);
        columns.insert(QString::fromLatin1(field.Name));
    }
    QCOMPARE(columns.size(), kFileVersionFieldCount);
    QCOMPARE(QString::fromLatin1(TFileVersionMgr::Fields(0).Name), QStringLiteral("FileName"));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, FileVersionField(kFileVersionFieldCount));
}

void TestFileVersion::managerReadsEveryFileInOrder()
{
    TFileVersionMgr manager;
    manager.FileNames = {WriteTestFile(dir, QStringLiteral("a.dll"), PeWithVersion({{Russian, Sample()}})),
                         dir.filePath(QStringLiteral("gone.dll")),
                         WriteTestFile(dir, QStringLiteral("c.txt"), "text")};
    QCOMPARE(manager.Count(), 0);
    manager.Refresh();
    QCOMPARE(manager.Count(), 3);
    QCOMPARE(manager.Items(0)->Value(QStringLiteral("FileName")), QStringLiteral("a.dll"));
    QCOMPARE(manager.Items(0)->BuildKind, quint8(3));
    QCOMPARE(manager.Items(1)->LineCount(), 1);
    QCOMPARE(manager.Items(2)->LineCount(), 7);
    // The failing file is reported once; the others are still read.
    QCOMPARE(dialogs->boxes.size(), 1);
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, manager.Items(3));
}

void TestFileVersion::refreshReadsAgain()
{
    TFileVersionMgr manager;
    const QString path = WriteTestFile(dir, QStringLiteral("again.dll"), "first");
    manager.FileNames = {path};
    manager.Refresh();
    QCOMPARE(manager.Items(0)->FileSize, quint32(5));
    WriteTestFile(dir, QStringLiteral("again.dll"), "second time");
    manager.FileNames.append(path);
    manager.Refresh();
    QCOMPARE(manager.Count(), 2);
    QCOMPARE(manager.Items(0)->FileSize, quint32(11));
}

QTEST_GUILESS_MAIN(TestFileVersion)
#include "tst_uFileVersion.moc"
