// The version resource parser: fixed file information, string tables by
// their language key, values by the paths of the version API.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "uVersionInfo.h"

#include <QtTest>

namespace {

const QString Russian = QStringLiteral("041904E3");

QList<QPair<QString, QString>> SampleStrings()
{
    return {{QStringLiteral("FileDescription"), QStringLiteral("Модуль заказов")},
            {QStringLiteral("ProductVersion"), QStringLiteral("5.0.0.1")},
            {QStringLiteral("ProductName"), QStringLiteral("Заказы")},
            {QStringLiteral("SpecialBuild"), QString()}};
}

QString DamageOf(const QByteArray &data)
{
    return ExeErrorOf([&] { TVersionInfo info(data); });
}

} // namespace

class TestVersionInfo : public QObject {
    Q_OBJECT

private slots:
    void readsFixedInfoAndStrings();
    void valuesByPath();
    void otherLanguageBlockOnly();
    void translations();
    void fromImageTakesNumberOne();
    void noVersionInformation();
    void valueLengthInBytesStillReadsTheText();
    void damagedResourceFails_data();
    void damagedResourceFails();
    void lengthPastTheEndIsCutToIt();
};

void TestVersionInfo::readsFixedInfoAndStrings()
{
    const TVersionInfo info(PeBuilder::Version(0x00050000, 0x00020001, {{Russian, SampleStrings()}}));
    QVERIFY(info.HasFixedInfo());
    QCOMPARE(info.FixedInfo().Signature, 0xFEEF04BDu);
    QCOMPARE(info.FixedInfo().FileVersion(), QStringLiteral("5.0.2.1"));
    QCOMPARE(info.FixedInfo().ProductVersion(), QStringLiteral("5.0.2.1"));
    QCOMPARE(info.StringTables().size(), 1);
    QCOMPARE(info.StringTables()[0].Key, Russian);
    QCOMPARE(info.StringTables()[0].Strings.size(), 4);
    QCOMPARE(info.StringTables()[0].Strings[0].Key, QStringLiteral("FileDescription"));
    QCOMPARE(info.StringTables()[0].Strings[0].Value, QStringLiteral("Модуль заказов"));
}

void TestVersionInfo::valuesByPath()
{
    const TVersionInfo info(PeBuilder::Version(1, 2, {{QStringLiteral("040904B0"), {{QStringLiteral("ProductName"), QStringLiteral("English")}}},
                                                      {Russian, SampleStrings()}}));
    QCOMPARE(info.Value(QStringLiteral("\\StringFileInfo\\041904E3\\ProductVersion")), QStringLiteral("5.0.0.1"));
    QCOMPARE(info.StringValue(Russian, QStringLiteral("ProductName")), QStringLiteral("Заказы"));
    QCOMPARE(info.StringValue(QStringLiteral("040904B0"), QStringLiteral("ProductName")), QStringLiteral("English"));
    // Keys compare without regard to letter case.
    QCOMPARE(info.Value(QStringLiteral("\\stringfileinfo\\041904e3\\productname")), QStringLiteral("Заказы"));
    // A key that is there with an empty value exists; a missing one does not.
    QVERIFY(info.Exists(QStringLiteral("\\StringFileInfo\\041904E3\\SpecialBuild")));
    QVERIFY(!info.Exists(QStringLiteral("\\StringFileInfo\\041904E3\\PrivateBuild")));
    QVERIFY(!info.Exists(QStringLiteral("\\StringFileInfo\\040904B0\\ProductVersion")));
    QVERIFY(!info.Exists(QStringLiteral("\\StringFileInfo\\041904E3")));
    QVERIFY(!info.Exists(QStringLiteral("\\VarFileInfo\\041904E3\\ProductName")));
    QVERIFY(info.Exists(QStringLiteral("\\")));
    QString value = QStringLiteral("old");
    QVERIFY(!info.QueryValue(QStringLiteral("\\StringFileInfo\\041904E3\\Comments"), &value));
    QVERIFY(value.isEmpty());
    QCOMPARE(info.Value(QStringLiteral("\\StringFileInfo\\041904E3\\Comments")), QString());
}

void TestVersionInfo::otherLanguageBlockOnly()
{
    const TVersionInfo info(PeBuilder::Version(1, 2, {{QStringLiteral("040904B0"), SampleStrings()}}));
    QCOMPARE(info.StringValue(Russian, QStringLiteral("ProductVersion")), QString());
    QVERIFY(!info.Exists(QStringLiteral("\\StringFileInfo\\041904E3\\SpecialBuild")));
    QCOMPARE(info.StringValue(QStringLiteral("040904B0"), QStringLiteral("ProductVersion")), QStringLiteral("5.0.0.1"));
}

void TestVersionInfo::translations()
{
    const TVersionInfo info(PeBuilder::Version(1, 2, {{Russian, SampleStrings()}}, {0x04E30419, 0x04B00409}));
    QCOMPARE(info.Translations(), QList<quint32>({0x04E30419, 0x04B00409}));
    // The string tables are read whether the translations come before or after.
    QCOMPARE(info.StringValue(Russian, QStringLiteral("ProductName")), QStringLiteral("Заказы"));
}

void TestVersionInfo::fromImageTakesNumberOne()
{
    PeBuilder builder;
    builder.Add(16, 2, PeBuilder::Version(2, 0, {{Russian, {{QStringLiteral("ProductName"), QStringLiteral("Two")}}}}));
    builder.Add(16, 1, PeBuilder::Version(1, 0, {{Russian, {{QStringLiteral("ProductName"), QStringLiteral("One")}}}}));
    builder.Add(10, 1, "data");
    TExeImage image(builder.Build(), QStringLiteral("versions"));
    const auto info = TVersionInfo::FromImage(image);
    QVERIFY(info);
    QCOMPARE(info->StringValue(Russian, QStringLiteral("ProductName")), QStringLiteral("One"));

    // Without number 1 the first one is read.
    PeBuilder other;
    other.Add(16, 5, PeBuilder::Version(5, 0, {{Russian, {{QStringLiteral("ProductName"), QStringLiteral("Five")}}}}));
    TExeImage otherImage(other.Build(), QStringLiteral("five"));
    QCOMPARE(TVersionInfo::FromImage(otherImage)->StringValue(Russian, QStringLiteral("ProductName")),
             QStringLiteral("Five"));

    QTemporaryDir dir;
    const QString path = WriteTestFile(dir, QStringLiteral("versions.dll"), builder.Build());
    QCOMPARE(TVersionInfo::FromFile(path)->FixedInfo().FileVersionMS, 1u);
}

void TestVersionInfo::noVersionInformation()
{
    QTemporaryDir dir;
    QVERIFY(!TVersionInfo::FromFile(dir.filePath(QStringLiteral("missing.dll"))));
    QVERIFY(!TVersionInfo::FromFile(WriteTestFile(dir, QStringLiteral("text.txt"), "plain text")));
    PeBuilder without;
    without.withResourceSection = false;
    QVERIFY(!TVersionInfo::FromFile(WriteTestFile(dir, QStringLiteral("bare.dll"), without.Build())));
    PeBuilder noVersion;
    noVersion.Add(10, 1, "data");
    QVERIFY(!TVersionInfo::FromFile(WriteTestFile(dir, QStringLiteral("noversion.dll"), noVersion.Build())));
    // A named type that happens to be called like the version type is not it.
    PeBuilder named;
    named.Add("16", 1, PeBuilder::Version(1, 0, {}));
    TExeImage namedImage(named.Build(), QStringLiteral("named"));
    QVERIFY(!TVersionInfo::FromImage(namedImage));
}

void TestVersionInfo::valueLengthInBytesStillReadsTheText()
{
    QByteArray data = PeBuilder::Version(1, 0, {{Russian, {{QStringLiteral("ProductName"), QStringLiteral("Bytes")}}}});
    // The string block's value length: 6 characters; some files state 12 bytes.
    const qint64 at = data.indexOf(QByteArray("P\0r\0o\0d", 8)) - 6;
    QVERIFY(at > 0);
    QCOMPARE(quint16(uchar(data[at + 2])), quint16(6));
    PeBuilder::PutU16(data, at + 2, 12);
    QCOMPARE(TVersionInfo(data).StringValue(Russian, QStringLiteral("ProductName")), QStringLiteral("Bytes"));
}

void TestVersionInfo::damagedResourceFails_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    const QByteArray good = PeBuilder::Version(1, 0, {{Russian, SampleStrings()}});

    QTest::newRow("empty") << QByteArray() << QStringLiteral("Damaged version resource: block at offset 0 is cut short");
    QTest::newRow("header only") << good.left(4) << QStringLiteral("Damaged version resource: block at offset 0 is cut short");
    QByteArray tiny = good;
    PeBuilder::PutU16(tiny, 0, 4);
    QTest::newRow("length below the header") << tiny << QStringLiteral("Damaged version resource: block at offset 0 has length 4");
    QByteArray wrongKey = good;
    wrongKey[6] = 'W';
    QTest::newRow("wrong key") << wrongKey << QStringLiteral("Damaged version resource: it starts with \"WS_VERSION_INFO\"");
    QTest::newRow("key not terminated") << good.left(20) << QStringLiteral("Damaged version resource: a key is not terminated");
    QByteArray longValue = good;
    PeBuilder::PutU16(longValue, 2, 0xFFF0);
    QTest::newRow("fixed info past the block") << longValue << QStringLiteral("Damaged version resource: the fixed file information is cut short");
    // A child whose length is below a block header.
    QByteArray badChild = good;
    const qint64 child = 40 + 52; // header and key of the root, then the fixed information
    PeBuilder::PutU16(badChild, child, 3);
    QTest::newRow("child length below the header") << badChild << QStringLiteral("Damaged version resource: block at offset 92 has length 3");
}

void TestVersionInfo::damagedResourceFails()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    QCOMPARE(DamageOf(data), expected);
}

void TestVersionInfo::lengthPastTheEndIsCutToIt()
{
    QByteArray data = PeBuilder::Version(1, 0, {{Russian, SampleStrings()}});
    // The root claims more bytes than the resource has: read what is there.
    PeBuilder::PutU16(data, 0, quint16(data.size() + 40));
    QCOMPARE(TVersionInfo(data).StringValue(Russian, QStringLiteral("ProductVersion")), QStringLiteral("5.0.0.1"));
    // Zero padding after the last child ends the children.
    QByteArray padded = PeBuilder::Version(1, 0, {{Russian, SampleStrings()}}) + QByteArray(16, '\0');
    PeBuilder::PutU16(padded, 0, quint16(padded.size()));
    QCOMPARE(TVersionInfo(padded).StringValue(Russian, QStringLiteral("ProductName")), QStringLiteral("Заказы"));
}

QTEST_MAIN(TestVersionInfo)
#include "tst_uVersionInfo.moc"
