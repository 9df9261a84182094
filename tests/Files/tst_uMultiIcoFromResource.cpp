// The icon of a module file: the image of a named group that best fits a size.
#include "FilesTestSupport.h"
#include "PeBuilder.h"
#include "uMultiIcoFromResource.h"
#include "uPE32Image.h"

#include <QIcon>
#include <QtTest>

namespace {

IconSpec Image(int width, int height, QRgb colour)
{
    return {.width = width, .height = height, .bitCount = 24, .groupColours = 0, .colour = colour};
}

const QRgb Red = qRgb(255, 0, 0);
const QRgb Green = qRgb(0, 255, 0);
const QRgb Blue = qRgb(0, 0, 255);

} // namespace

class TestMultiIcoFromResource : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;

private slots:
    void initTestCase()
    {
        PeBuilder builder;
        builder.AddIconGroup(QStringLiteral("MAINICON"), {Image(16, 16, Red), Image(32, 32, Green), Image(48, 48, Blue)}, 1);
        builder.AddIconGroup(7, {Image(48, 48, Blue), Image(16, 16, Red)}, 10);
        builder.AddIconGroup(QStringLiteral("SHAPES"), {Image(24, 40, Red), Image(40, 40, Green)}, 20);
        builder.Add(10, QStringLiteral("NOTANICON"), "data");
        m_file = WriteTestFile(m_dir, QStringLiteral("module.so"), builder.Build());
    }

    void bestImageBySize_data()
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
        // A square beats an oblong image of the same distance.
        QTest::newRow("square first") << QStringLiteral("SHAPES") << 32 << 40 << Green;
    }
    void bestImageBySize()
    {
        QFETCH(QString, name);
        QFETCH(int, asked);
        QFETCH(int, side);
        QFETCH(QRgb, colour);
        TExeImage image(m_file);
        const QImage best = GetBestIconImage(image, name, asked, asked);
        QCOMPARE(best.size(), QSize(side, side));
        QCOMPARE(best.pixel(side / 2, side / 2), colour | 0xFF000000u);
        // The icon of the file holds that image only.
        const QIcon icon = GetBestIconFromFile(m_file, name, asked, asked);
        QCOMPARE(icon.availableSizes(), QList<QSize>({QSize(side, side)}));
        QCOMPARE(icon.pixmap(side, side).toImage().pixel(side / 2, side / 2), colour | 0xFF000000u);
    }

    // A name that is no icon group gives no icon; a file the reader refuses gives its error.
    void noIcon()
    {
        // (A size byte of 0 stands for 256 pixels.)
        QCOMPARE(IconSizeDistance(0, 0, 256, 256), 0.0);
        for (const QString &name : {QStringLiteral("NOSUCHICON"), QStringLiteral("mainicon"), QStringLiteral("NOTANICON"),
                                    QStringLiteral("MAINICON "), QString()})
            QVERIFY2(GetBestIconFromFile(m_file, name, 32, 32).isNull(), qPrintable(name));
        PeBuilder plain;
        plain.Add(10, 1, "x");
        QVERIFY(GetBestIconFromFile(WriteTestFile(m_dir, QStringLiteral("plain.so"), plain.Build()), QStringLiteral("MAINICON"), 16, 16)
                    .isNull());
        const QString missing = m_dir.filePath(QStringLiteral("missing.so"));
        QCOMPARE(ExeErrorOf([&] { GetBestIconFromFile(missing, QStringLiteral("MAINICON"), 16, 16); }),
                 QStringLiteral("Couldn't open: ") + missing);
        PeBuilder without;
        without.withResourceSection = false;
        const QString bare = WriteTestFile(m_dir, QStringLiteral("bare.so"), without.Build());
        QCOMPARE(ExeErrorOf([&] { GetBestIconFromFile(bare, QStringLiteral("MAINICON"), 16, 16); }),
                 QStringLiteral("No resources in this file."));
    }
};

QTEST_MAIN(TestMultiIcoFromResource)
#include "tst_uMultiIcoFromResource.moc"
