// The version list: stamp files of 80 and 64 bytes built byte by byte, a
// wrong size, the order of the list and its three texts.
#include "FilesTestSupport.h"
#include "ResourcePack.h"
#include "TextCodec.h"
#include "TextFormat.h"
#include "uVerList.h"

#include <QLocale>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

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

class TestVerList : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::system()); }

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

QTEST_GUILESS_MAIN(TestVerList)
#include "tst_uVerList.moc"
