// The splash window: the product panel, the picture and the window size, the
// single window of the process, its status line and its minimum showing time;
// and the stamps and picture that the build puts into the installation.
#include "uConsoleCfg.h"
#include "uConsoleVersion.h"
#include "uSplash.h"
#include "uVerList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>

namespace {

// An 80-byte stamp file.
QByteArray Stamp(const QByteArray &name, qint32 major, qint32 minor)
{
    QByteArray bytes(kVerFileSize, '\0');
    std::memcpy(bytes.data(), name.constData(), size_t(name.size()));
    const qint32 numbers[4] = {major, minor, 0, 1};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian(numbers[i], bytes.data() + 52 + 4 * i);
    const double days = 45376.0;
    quint64 bits;
    std::memcpy(&bits, &days, sizeof bits);
    qToLittleEndian(bits, bytes.data() + 72);
    return bytes;
}

} // namespace

class TestSplash : public QObject {
    Q_OBJECT

    QTemporaryDir *dir = nullptr;

    void write(const QString &relative, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(dir->filePath(relative)).path());
        QFile f(dir->filePath(relative));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void writePicture(int width, int height)
    {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        QVERIFY(picture.save(dir->filePath(QStringLiteral("Data/WaitPic.jpg")), "JPEG"));
    }

private slots:
    void init()
    {
        dir = new QTemporaryDir;
        SetExeDirForTests(dir->path());
        QDir(dir->path()).mkdir(QStringLiteral("Data"));
    }
    void cleanup()
    {
        FreeSplash();
        SetExeDirForTests(QString());
        delete dir;
    }

    void productPanelHeight()
    {
        QCOMPARE(ProductPanelHeight(5), 85);
        QCOMPARE(ProductPanelHeight(0), 0);
        // Never negative, and never lower for more products.
        for (int n = 1; n <= 40; ++n) {
            QVERIFY(ProductPanelHeight(n) > 0);
            QVERIFY(ProductPanelHeight(n) >= ProductPanelHeight(n - 1));
        }
        QVERIFY(ProductPanelHeight(30) > 0);
    }

    void splashLines()
    {
        QCOMPARE(SplashLines(QStringLiteral("a\r\nb\r\n")), (QStringList{"a", "b"}));
        QCOMPARE(SplashLines(QStringLiteral("1\r2\r")), (QStringList{"1", "2"}));
        QCOMPARE(SplashLines(QString()), QStringList());
    }

    void jpegReaderIsAvailable() { QVERIFY(QImageReader::supportedImageFormats().contains("jpeg")); }

    void productsAndPictureSizeTheWindow()
    {
        write(QStringLiteral("Data/a.ver"), Stamp("Alpha", 1, 2));
        write(QStringLiteral("Data/b.ver"), Stamp("Beta", 3, 4));
        writePicture(300, 200);
        TWaitScr *splash = GetSplash();
        QVERIFY(splash->isVisible());
        QCOMPARE(splash->mProduct->text(), QStringLiteral("Beta\nAlpha"));
        QCOMPARE(splash->mVersion->text(), QStringLiteral("3.4.0.1\n1.2.0.1"));
        QCOMPARE(splash->mDate->text().split(QLatin1Char('\n')).size(), 2);
        QCOMPARE(splash->pProductList->height(), ProductPanelHeight(2));
        QCOMPARE(splash->width(), 300);
        QCOMPARE(splash->height(), 200 + ProductPanelHeight(2));
        QCOMPARE(splash->Image1->pixmap().size(), QSize(300, 200));
        QVERIFY(splash->StartTime.isValid());
        QCOMPARE(splash->MinShowTime, 2300);
        splash->MinShowTime = 0;
    }

    void windowKind()
    {
        TWaitScr *splash = GetSplash();
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(qAbs(splash->windowOpacity() - 235.0 / 255.0) < 0.01);
        QCOMPARE(splash->StatusPanel0->width(), 320);
        QCOMPARE(splash->StatusPanel1->width(), 150);
        QVERIFY(!splash->StatusPanel1->text().isEmpty());
        splash->MinShowTime = 0;
    }

    void missingPictureKeepsTheDesignedWindow()
    {
        const QSize designed = TWaitScr().size();
        TWaitScr *splash = GetSplash();
        QCOMPARE(splash->size(), designed);
        QVERIFY(!splash->Image1->pixmap().isNull());
        QCOMPARE(splash->pProductList->height(), 0);
        splash->MinShowTime = 0;
    }

    void undecodablePictureIsIgnored()
    {
        write(QStringLiteral("Data/WaitPic.jpg"), "this is no JPEG");
        TWaitScr designed;
        const QSize picture = designed.Image1->pixmap().size();
        TWaitScr *splash = GetSplash();
        QCOMPARE(splash->Image1->pixmap().size(), picture);
        QCOMPARE(splash->width(), picture.width());
        splash->MinShowTime = 0;
    }

    void damagedStampLeavesTheListEmpty()
    {
        write(QStringLiteral("Data/a.ver"), Stamp("Alpha", 1, 2));
        write(QStringLiteral("Data/bad.ver"), "short");
        TWaitScr *splash = GetSplash();
        QCOMPARE(splash->mProduct->text(), QString());
        QCOMPARE(splash->pProductList->height(), 0);
        splash->MinShowTime = 0;
    }

    void oneWindowAndItsStatusLine()
    {
        TWaitScr *splash = GetSplash();
        QCOMPARE(GetSplash(), splash);
        QCOMPARE(CurrentSplash(), splash);
        SetSplashStatus(splash, QStringLiteral("Service list loading..."));
        QCOMPARE(splash->StatusPanel0->text(), QStringLiteral("Service list loading..."));
        SetSplashStatus(nullptr, QStringLiteral("nowhere")); // no window: nothing happens
        splash->MinShowTime = 0;
        FreeSplash();
        QVERIFY(!CurrentSplash());
        FreeSplash(); // nothing left to free
        QVERIFY(GetSplash() != nullptr);
        CurrentSplash()->MinShowTime = 0;
    }

    void freeingEarlyWaitsForTheRest()
    {
        GetSplash();
        QTest::qWait(1000);
        QElapsedTimer timer;
        timer.start();
        FreeSplash();
        const qint64 blocked = timer.elapsed();
        // About 1.3 seconds; the bounds are loose, the machine may be busy.
        QVERIFY2(blocked >= 1000 && blocked <= 2300, qPrintable(QString::number(blocked)));
        QVERIFY(!CurrentSplash());
    }

    void freeingLateDoesNotWait()
    {
        TWaitScr *splash = GetSplash();
        splash->MinShowTime = 200;
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        FreeSplash();
        QVERIFY2(timer.elapsed() < 200, qPrintable(QString::number(timer.elapsed())));
    }

    void installationCarriesStampsAndPicture()
    {
        const QString data = qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/Data");
        const TVerList products(data);
        QVERIFY(products.Count() >= 2);
        QStringList versions;
        for (int i = 0; i < products.Count(); ++i) {
            QVERIFY(!products.Items(i).Name.isEmpty());
            QVERIFY(products.Items(i).Date.isValid());
            versions.append(products.Items(i).Version);
        }
        const QString program = qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/KorConsole");
        QVERIFY2(versions.contains(ConsoleVersionInfoOf(program).FileVersion), qPrintable(versions.join(' ')));
        const QImage picture(data + QStringLiteral("/WaitPic.jpg"));
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() > 0 && picture.height() > 0);
    }

    void consoleVersionInformation()
    {
        // Read from the program's own version resource.
        const TConsoleVersionInfo info =
            ConsoleVersionInfoOf(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/KorConsole"));
        QCOMPARE(info.InternalName, QStringLiteral("KorConsole"));
        QVERIFY(!info.FileDescription.isEmpty());
        QCOMPARE(info.FileVersion.split(QLatin1Char('.')).size(), 4);
        QCOMPARE(info.ProductVersion, info.FileVersion);
        QVERIFY(!info.LegalCopyright.isEmpty());
    }
};

QTEST_MAIN(TestSplash)
#include "tst_Splash.moc"
