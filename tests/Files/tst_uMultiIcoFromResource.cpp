// The icon of a module file: the image of a named group that best fits a size.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "uMultiIcoFromResource.h"
#include "uPE32Image.h"

#include <QIcon>
#include <QtTest>

namespace {

IconSpec Square(int side, QRgb colour)
{
    IconSpec spec;
    spec.width = spec.height = side;
    spec.bitCount = 24;
    spec.groupColours = 0;
    spec.colour = colour;
    return spec;
}

IconSpec Oblong(int width, int height, QRgb colour)
{
    IconSpec spec = Square(width, colour);
    spec.height = height;
    return spec;
}

const QRgb Red = qRgb(255, 0, 0);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Blue = qRgb(0, 0, 255);

} // namespace

class TestMultiIcoFromResource : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_file;

private slots:
    void initTestCase();
    void distanceScoresSizeAndShape();
    void bestImageBySize_data();
    void bestImageBySize();
    void squareBeatsOblongOfTheSameDistance();
    void missingNameGivesEmptyIcon();
    void iconHoldsTheChosenImage();
    void readerErrorsReachTheCaller();
};

void TestMultiIcoFromResource::initTestCase()
{
    QVERIFY(m_dir.isValid());
    PeBuilder builder;
    builder.AddIconGroup(QStringLiteral("MAINICON"), {Square(16, Red), Square(32, Green), Square(48, Blue)}, 1);
    builder.AddIconGroup(7, {Square(48, Blue), Square(16, Red)}, 10);
    builder.AddIconGroup(QStringLiteral("SHAPES"), {Oblong(24, 40, Red), Square(40, Green)}, 20);
    builder.Add(10, QStringLiteral("NOTANICON"), "data");
    m_file = WriteTestFile(m_dir, QStringLiteral("module.so"), builder.Build());
}

void TestMultiIcoFromResource::distanceScoresSizeAndShape()
{
    QCOMPARE(IconSizeDistance(32, 32, 32, 32), 0.0);
    QCOMPARE(IconSizeDistance(16, 16, 20, 20), 8.0 / 3);
    QCOMPARE(IconSizeDistance(32, 32, 20, 20), 24.0 / 3);
    QCOMPARE(IconSizeDistance(24, 40, 32, 32), 32.0 / 3);
    // A size byte of 0 stands for 256 pixels.
    QCOMPARE(IconSizeDistance(0, 0, 256, 256), 0.0);
}

void TestMultiIcoFromResource::bestImageBySize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("side");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("32 of 16/32/48") << QStringLiteral("MAINICON") << 32 << 32 << Green;
    QTest::newRow("20 of 16/32/48") << QStringLiteral("MAINICON") << 20 << 16 << Red;
    QTest::newRow("64 of 16/32/48") << QStringLiteral("MAINICON") << 64 << 48 << Blue;
    // 40 lies as far from 32 as from 48: the earlier image wins.
    QTest::newRow("tie goes to the first") << QStringLiteral("MAINICON") << 40 << 32 << Green;
    QTest::newRow("numbered group") << QStringLiteral("7") << 16 << 16 << Red;
    QTest::newRow("numbered group, tie") << QStringLiteral("7") << 32 << 48 << Blue;
}

void TestMultiIcoFromResource::bestImageBySize()
{
    QFETCH(QString, name);
    QFETCH(int, asked);
    QFETCH(int, side);
    QFETCH(QRgb, colour);
    TExeImage image(m_file);
    const QImage best = GetBestIconImage(image, name, asked, asked);
    QCOMPARE(best.size(), QSize(side, side));
    QCOMPARE(best.pixel(side / 2, side / 2), colour | 0xFF000000u);
}

void TestMultiIcoFromResource::squareBeatsOblongOfTheSameDistance()
{
    TExeImage image(m_file);
    const QImage best = GetBestIconImage(image, QStringLiteral("SHAPES"), 32, 32);
    QCOMPARE(best.size(), QSize(40, 40));
}

void TestMultiIcoFromResource::missingNameGivesEmptyIcon()
{
    for (const QString &name : {QStringLiteral("NOSUCHICON"), QStringLiteral("mainicon"), QStringLiteral("NOTANICON"),
                                QStringLiteral("MAINICON "), QString()}) {
        const QIcon icon = GetBestIconFromFile(m_file, name, 32, 32);
        QVERIFY2(icon.isNull(), qPrintable(name));
    }
    // A file with resources but no icons at all.
    PeBuilder builder;
    builder.Add(10, 1, "x");
    const QString plain = WriteTestFile(m_dir, QStringLiteral("plain.so"), builder.Build());
    QVERIFY(GetBestIconFromFile(plain, QStringLiteral("MAINICON"), 16, 16).isNull());
}

void TestMultiIcoFromResource::iconHoldsTheChosenImage()
{
    const QIcon icon = GetBestIconFromFile(m_file, QStringLiteral("MAINICON"), 20, 20);
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(), QList<QSize>({QSize(16, 16)}));
    const QImage picture = icon.pixmap(16, 16).toImage();
    QCOMPARE(picture.pixel(8, 8), Red | 0xFF000000u);
}

void TestMultiIcoFromResource::readerErrorsReachTheCaller()
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.so"));
    QCOMPARE(ExeErrorOf([&] { GetBestIconFromFile(missing, QStringLiteral("MAINICON"), 16, 16); }),
             QStringLiteral("Couldn't open: ") + missing);
    PeBuilder without;
    without.withResourceSection = false;
    const QString bare = WriteTestFile(m_dir, QStringLiteral("bare.so"), without.Build());
    QCOMPARE(ExeErrorOf([&] { GetBestIconFromFile(bare, QStringLiteral("MAINICON"), 16, 16); }),
             QStringLiteral("No resources in this file."));
    const QString text = WriteTestFile(m_dir, QStringLiteral("text.so"), "not an executable");
    QCOMPARE(ExeErrorOf([&] { GetBestIconFromFile(text, QStringLiteral("MAINICON"), 16, 16); }),
             QStringLiteral("unrecognized file format"));
}

QTEST_MAIN(TestMultiIcoFromResource)
#include "tst_uMultiIcoFromResource.moc"
