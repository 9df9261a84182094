// Every file of tests/Files/regression goes through the fuzzer's whole walk:
// no crash, no read outside the file, no error other than the reader's own.
// The folder holds the fuzzer's seeds (seed-*), the smallest input it made
// for each kind of damage the reader reports (fuzz-*), and belongs to every
// input with which the fuzzer finds a fault.
#include "uResourceDump.h"
#include "uResourceExercise.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestResourceRegression : public QObject {
    Q_OBJECT

private slots:
    void everyInputIsHandled_data();
    void everyInputIsHandled();
};

void TestResourceRegression::everyInputIsHandled_data()
{
    QTest::addColumn<QString>("path");
    const QDir folder(QStringLiteral(REGRESSION_DIR));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), REGRESSION_DIR);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
}

void TestResourceRegression::everyInputIsHandled()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    try {
        ExerciseBytes(bytes);
        QByteArray listing;
        const int status = DumpResourceFile(path, QFile::encodeName(path), listing);
        QVERIFY(status == 0 || status == 1);
        QVERIFY(listing.startsWith(QFile::encodeName(path) + '\n'));
    } catch (const std::exception &e) {
        QFAIL(qPrintable(QStringLiteral("not a reader error: ") + QString::fromUtf8(e.what())));
    }
}

QTEST_MAIN(TestResourceRegression)
#include "tst_ResourceRegression.moc"
