// The splash window: the product panel and the picture size the window, one
// window per process with its status line and minimum showing time; and the
// stamps and picture that the build puts into the installation.
#include "uConsoleVersion.h"
#include "uSplash.h"
#include "uVerList.h"

#include "TempExeDir.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
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

// The window of the process, told not to wait when it is freed.
TWaitScr *Splash()
{
    TWaitScr *splash = GetSplash();
    splash->MinShowTime = 0;
    return splash;
}

} // namespace

class TestSplash : public QObject {
    Q_OBJECT

    TempExeDir *dir = nullptr;

    void writePicture(int width, int height)
    {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        QDir().mkpath(dir->filePath(QStringLiteral("Data")));
        QVERIFY(picture.save(dir->filePath(QStringLiteral("Data/WaitPic.jpg")), "JPEG"));
    }

private slots:
    void init() { dir = new TempExeDir; }
    void cleanup()
    {
        FreeSplash();
        delete dir;
    }

    void productsAndPictureSizeTheWindow()
    {
        QCOMPARE(ProductPanelHeight(0), 0);
        for (int n = 1; n <= 40; ++n)
            QVERIFY(ProductPanelHeight(n) > 0 && ProductPanelHeight(n) >= ProductPanelHeight(n - 1));
        dir->write(QStringLiteral("Data/a.ver"), Stamp("Alpha", 1, 2));
        dir->write(QStringLiteral("Data/b.ver"), Stamp("Beta", 3, 4));
        writePicture(300, 200);
        TWaitScr *splash = Splash();
        QVERIFY(splash->isVisible());
        QCOMPARE(splash->mProduct->text(), QStringLiteral("Beta\nAlpha"));
        QCOMPARE(splash->mVersion->text(), QStringLiteral("3.4.0.1\n1.2.0.1"));
        QCOMPARE(splash->mDate->text().split(QLatin1Char('\n')).size(), 2);
        QCOMPARE(splash->size(), QSize(300, 200 + ProductPanelHeight(2)));
        QCOMPARE(splash->Image1->pixmap().size(), QSize(300, 200));
        // One window per process, with its status line.
        QCOMPARE(GetSplash(), splash);
        QCOMPARE(CurrentSplash(), splash);
        SetSplashStatus(splash, QStringLiteral("Service list loading..."));
        QCOMPARE(splash->StatusPanel0->text(), QStringLiteral("Service list loading..."));
        SetSplashStatus(nullptr, QStringLiteral("nowhere")); // no window: nothing happens
        FreeSplash();
        QVERIFY(!CurrentSplash());
        FreeSplash(); // nothing left to free
    }

    // No picture, one that does not decode, a damaged stamp: the designed window, an empty list.
    void badFilesKeepTheDesignedWindow_data()
    {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QByteArray>("stamp");
        QTest::newRow("no picture") << QByteArray() << QByteArray();
        QTest::newRow("no JPEG") << QByteArray("this is no JPEG") << QByteArray();
        QTest::newRow("damaged stamp") << QByteArray() << QByteArray("short");
    }
    void badFilesKeepTheDesignedWindow()
    {
        QFETCH(QByteArray, picture);
        QFETCH(QByteArray, stamp);
        if (!picture.isEmpty())
            dir->write(QStringLiteral("Data/WaitPic.jpg"), picture);
        if (!stamp.isEmpty()) {
            dir->write(QStringLiteral("Data/a.ver"), Stamp("Alpha", 1, 2));
            dir->write(QStringLiteral("Data/bad.ver"), stamp);
        }
        const TWaitScr designed;
        TWaitScr *splash = Splash();
        QCOMPARE(splash->Image1->pixmap().size(), designed.Image1->pixmap().size());
        QVERIFY(!splash->Image1->pixmap().isNull());
        QCOMPARE(splash->width(), designed.width());
        QCOMPARE(splash->mProduct->text(), QString());
        QCOMPARE(splash->pProductList->height(), 0);
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
        // Freed after its time: no wait.
        GetSplash()->MinShowTime = 200;
        QTest::qWait(300);
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
            QVERIFY(!products.Items(i).Name.isEmpty() && products.Items(i).Date.isValid());
            versions.append(products.Items(i).Version);
        }
        // Read from the program's own version resource.
        const TConsoleVersionInfo info =
            ConsoleVersionInfoOf(qEnvironmentVariable("ZANDRELL_DIST_DIR") + QStringLiteral("/KorConsole"));
        QCOMPARE(info.InternalName, QStringLiteral("KorConsole"));
        QCOMPARE(info.FileVersion.split(QLatin1Char('.')).size(), 4);
        QVERIFY2(versions.contains(info.FileVersion), qPrintable(versions.join(' ')));
        QVERIFY(!QImage(data + QStringLiteral("/WaitPic.jpg")).isNull());
    }
};

QTEST_MAIN(TestSplash)
#include "tst_Splash.moc"
