// The version stamps of the products (files of 80 and 64 bytes built byte by
// byte, a wrong size, the order of the list and its three texts) and the
// splash window: the product panel and the picture size the window, one
// window per process with its status line and minimum showing time; and the
// stamps and picture that the build puts into the installation.
#include "FilesTestSupport.h"
#include "ResourcePack.h"
#include "TempExeDir.h"
#include "TextCodec.h"
#include "TextFormat.h"
#include "uConsoleVersion.h"
#include "uSplash.h"
#include "uVerList.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

// The window of the process, told not to wait when it is freed.
TWaitScr *Splash()
{
    TWaitScr *splash = GetSplash();
    splash->MinShowTime = 0;
    return splash;
}


void PutDouble(QByteArray &bytes, int offset, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, bytes.data() + offset);
}

// The current layout: name in 52 bytes, four 32-bit numbers at 52, the date at 72.
QByteArray Stamp80(const QByteArray &name, const QList<qint32> &numbers, double days)
{
    QByteArray bytes(80, '\0');
    std::memcpy(bytes.data(), name.constData(), size_t(qMin<qsizetype>(name.size(), 52)));
    for (int i = 0; i < 4; ++i)
        qToLittleEndian(numbers[i], bytes.data() + 52 + 4 * i);
    qToLittleEndian(quint32(0xDEADBEEF), bytes.data() + 68); // reserved: never read
    PutDouble(bytes, 72, days);
    return bytes;
}

// The older layout: name in 51 bytes, four version bytes at 51, the date at 56.
QByteArray Stamp64(const QByteArray &name, const QList<quint8> &numbers, double days)
{
    QByteArray bytes(64, '\0');
    std::memcpy(bytes.data(), name.constData(), size_t(qMin<qsizetype>(name.size(), 51)));
    for (int i = 0; i < 4; ++i)
        bytes[51 + i] = char(numbers[i]);
    bytes[55] = char(0x7F); // reserved
    PutDouble(bytes, 56, days);
    return bytes;
}

// 25 March 2024, half past one in the afternoon.
const double kSampleDays = 45376.0 + 13.5 / 24.0;

QString VerErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const EVerFileError &e) {
        return e.message();
    }
    return QStringLiteral("<none>");
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
        QLocale::setDefault(QLocale::system());
    }

    void productsAndPictureSizeTheWindow()
    {
        QCOMPARE(ProductPanelHeight(0), 0);
        for (int n = 1; n <= 40; ++n)
            QVERIFY(ProductPanelHeight(n) > 0 && ProductPanelHeight(n) >= ProductPanelHeight(n - 1));
        dir->write(QStringLiteral("Data/a.ver"), Stamp80("Alpha", {1, 2, 0, 1}, 45376.0));
        dir->write(QStringLiteral("Data/b.ver"), Stamp80("Beta", {3, 4, 0, 1}, 45376.0));
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
            dir->write(QStringLiteral("Data/a.ver"), Stamp80("Alpha", {1, 2, 0, 1}, 45376.0));
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


    // The two layouts: name, version and date; a date that is no number is no date.
    void stamps_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QDateTime>("date");
        const QDateTime sample(QDate(2024, 3, 25), QTime(13, 30));
        const QByteArray longName(60, 'N');
        QTest::newRow("80 bytes") << Stamp80(EncodeWindows1251(QStringLiteral("Заказы")), {5, 0, 2, 1}, kSampleDays)
                                  << "Заказы" << "5.0.2.1" << sample;
        // The numbers are signed 32-bit values.
        QTest::newRow("80 bytes, big numbers") << Stamp80("Big", {70000, -1, 0, 2147483647}, 0) << "Big"
                                               << "70000.-1.0.2147483647" << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        QTest::newRow("64 bytes") << Stamp64("Stock", {1, 2, 0, 255}, kSampleDays) << "Stock" << "1.2.0.255" << sample;
        QTest::newRow("80 bytes, full name") << Stamp80(longName, {1, 0, 0, 0}, 0) << QString(51, 'N') << "1.0.0.0"
                                             << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        QTest::newRow("64 bytes, full name") << Stamp64(longName, {1, 0, 0, 0}, 0) << QString(51, 'N') << "1.0.0.0"
                                             << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
        QTest::newRow("no name") << Stamp80(QByteArray(), {1, 0, 0, 0}, 1.25) << "" << "1.0.0.0"
                                 << QDateTime(QDate(1899, 12, 31), QTime(6, 0));
        for (double days : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300})
            QTest::addRow("date %g", days) << Stamp80("x", {1, 2, 3, 4}, days) << "x" << "1.2.3.4" << QDateTime();
    }
    void stamps()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, version);
        QFETCH(QDateTime, date);
        const TVerItem item(bytes, QStringLiteral("x.ver"));
        QCOMPARE(item.Name, name);
        QCOMPARE(item.Version, version);
        QCOMPARE(item.Date, date);
        QCOMPARE(item.DateText.isEmpty(), !date.isValid());
        // The stamp tool writes the days the other way round.
        if (date.isValid())
            QCOMPARE(DateTimeFromDays(DaysFromDateTime(date)), date);
    }

    void dateUsesTheLocaleSeparator_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    }
    void dateUsesTheLocaleSeparator()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const TVerItem item(Stamp80("x", {1, 0, 0, 0}, kSampleDays), QStringLiteral("x.ver"));
        // "dd/mm/yy": day, month, two-digit year, joined by the separator of the locale's short date.
        const QString format = locale.dateFormat(QLocale::ShortFormat);
        QChar sep;
        for (QChar c : format)
            if (!c.isLetter()) {
                sep = c;
                break;
            }
        QCOMPARE(item.DateText, QStringList({"25", "03", "24"}).join(sep));
        QCOMPARE(item.DateText.size(), 8);
    }

    void wrongSizeIsRefused_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("63") << 63;
        QTest::newRow("65") << 65;
        QTest::newRow("79") << 79;
        QTest::newRow("81") << 81;
        QTest::newRow("big") << 100000;
    }
    void wrongSizeIsRefused()
    {
        QFETCH(int, size);
        QTemporaryDir dir;
        const QString path = WriteTestFile(dir, QStringLiteral("odd.ver"), QByteArray(size, 'v'));
        const QString expected =
            QStringLiteral("TVerItem.Create: ") + Fmt(TranslateAplText(QStringLiteral("rstr_fmtmsg_IsNotFileVer")), path);
        QCOMPARE(VerErrorOf([&] { TVerItem item(path); }), expected);
        QVERIFY(expected.contains(path));
        QCOMPARE(VerErrorOf([&] { TVerItem item(QByteArray(size, 'v'), path); }), expected);
    }

    void unreadableFileIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone.ver"));
        const QString error = VerErrorOf([&] { TVerItem item(path); });
        QVERIFY2(error.startsWith(QStringLiteral("TVerItem.Create: ")) && error.contains(path), qPrintable(error));
    }

    // The .ver files of the folder, in reverse search order, and the list's three texts.
    void listOfAFolder()
    {
        QTemporaryDir dir;
        WriteTestFile(dir, QStringLiteral("a.ver"), Stamp80(EncodeWindows1251(QStringLiteral("Консоль")), {5, 0, 0, 1}, kSampleDays));
        // A name that is a resource string of the language package shows its text.
        WriteTestFile(dir, QStringLiteral("b.ver"), Stamp64("rstr_to_Close", {1, 2, 0, 255}, kSampleDays + 1));
        WriteTestFile(dir, QStringLiteral("readme.txt"), "not a stamp");
        WriteTestFile(dir, QStringLiteral("a.ver.bak"), "not a stamp");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.ver")));
        QCOMPARE(TVerList::FindVerFiles(dir.path()), QStringList({dir.filePath("a.ver"), dir.filePath("b.ver")}));
        const TVerList list(dir.path());
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.DataDir(), dir.path());
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, list.Items(2));
        QCOMPARE(list.Names(), ResStr(QStringLiteral("rstr_to_Close")) + "\r\n" + QStringLiteral("Консоль") + "\r\n");
        QCOMPARE(list.Versions(), QStringLiteral("1.2.0.255\r\n5.0.0.1\r\n"));
        QCOMPARE(list.Dates(), list.Items(0).DateText + "\r" + list.Items(1).DateText + "\r");
        QVERIFY(list.Items(0).DateText != list.Items(1).DateText);
        // A missing folder gives an empty list; a bad file stops it.
        const TVerList none(dir.filePath(QStringLiteral("missing")));
        QCOMPARE(none.Count(), 0);
        QCOMPARE(none.Names() + none.Versions() + none.Dates(), QString());
        QVERIFY(TVerList::DefaultDataDir().endsWith(QStringLiteral("/Data")));
        WriteTestFile(dir, QStringLiteral("c.ver"), QByteArray(70, 'x'));
        const QString error = VerErrorOf([&] { TVerList list(dir.path()); });
        QVERIFY2(error.startsWith(QStringLiteral("TVerItem.Create: ")) && error.contains(dir.filePath("c.ver")), qPrintable(error));
    }
};

QTEST_MAIN(TestSplash)
#include "tst_Splash.moc"
