// What a grid shows for each kind of field, in Russian and English locales,
// and the check mark of a Boolean field that a person can toggle.
#include "DataSet.h"
#include "DataSetModel.h"
#include "DataSource.h"

#include <QTest>

class tst_GridDisplay : public QObject {
    Q_OBJECT
private slots:
    void displayText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        const QDateTime midnight(QDate(2024, 2, 5), QTime(0, 0));
        const QDateTime afternoon(QDate(2024, 2, 5), QTime(14, 7, 9));
        const int dt = int(TFieldType::ftDateTime), fl = int(TFieldType::ftFloat), in = int(TFieldType::ftInteger);
        QTest::newRow("ru date") << "ru_RU" << dt << -1 << QVariant(midnight) << "05.02.2024";
        QTest::newRow("en date") << "en_US" << dt << -1 << QVariant(midnight) << "2/5/24";
        QTest::newRow("ru date time") << "ru_RU" << dt << -1 << QVariant(afternoon) << "05.02.2024 14:07:09";
        QTest::newRow("ru date kind drops time") << "ru_RU" << int(TFieldType::ftDate) << -1 << QVariant(afternoon)
                                                 << "05.02.2024";
        QTest::newRow("ru time") << "ru_RU" << int(TFieldType::ftTime) << -1 << QVariant(QTime(9, 5, 1)) << "09:05:01";
        QTest::newRow("unreadable date text") << "ru_RU" << dt << -1 << QVariant("31-FEB") << "31-FEB";
        QTest::newRow("ru amount") << "ru_RU" << fl << 2 << QVariant(1234567.5) << QString::fromUtf8("1\u00a0234\u00a0567,50");
        QTest::newRow("en amount") << "en_US" << fl << 2 << QVariant(1234567.5) << "1,234,567.50";
        QTest::newRow("en amount rounds") << "en_US" << fl << 2 << QVariant(0.005 + 1e-9) << "0.01";
        QTest::newRow("en currency") << "en_US" << int(TFieldType::ftCurrency) << -1 << QVariant(12.0) << "12.00";
        QTest::newRow("en float whole") << "en_US" << fl << -1 << QVariant(1500.0) << "1,500";
        QTest::newRow("ru float") << "ru_RU" << fl << -1 << QVariant(2.25) << "2,25";
        QTest::newRow("integer id plain") << "en_US" << in << -1 << QVariant(qlonglong(100234)) << "100234";
        QTest::newRow("null") << "en_US" << fl << 2 << QVariant() << "";
        QTest::newRow("boolean draws no text") << "en_US" << int(TFieldType::ftBoolean) << -1 << QVariant(true) << "";
        QTest::newRow("text") << "ru_RU" << int(TFieldType::ftString) << -1 << QVariant("Склад") << "Склад";
    }

    void displayText()
    {
        QFETCH(QString, locale);
        QFETCH(int, type);
        QFETCH(int, scale);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        QCOMPARE(GridDisplayText(TFieldType(type), scale, value, QLocale(locale)), expected);
    }

    void modelAlignsAndChecks()
    {
        TResultSet rows;
        rows.columns = {{"NAME", TFieldType::ftString, 20, false, -1},
                        {"AMOUNT", TFieldType::ftFloat, 0, false, 2},
                        {"PAID", TFieldType::ftBoolean, 0, false, -1}};
        rows.rows = {{"a", 10.0, true}, {"b", 3.5, false}};
        TDataSet ds;
        TDataSource src(nullptr, &ds);
        TDataSetModel model(&src);
        ds.LoadFrom(rows);
        QCOMPARE(ds.FieldByName("AMOUNT")->Scale(), 2);
        QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
        QCOMPARE(model.data(model.index(0, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model.data(model.index(1, 2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!model.data(model.index(0, 1), Qt::CheckStateRole).isValid());

        // Read-only grid: no toggling; editable grid: the tick is written through the data set.
        QVERIFY(!(model.flags(model.index(1, 2)) & Qt::ItemIsUserCheckable));
        QVERIFY(!model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
        model.Editable = true;
        QVERIFY(model.flags(model.index(1, 2)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(model.flags(model.index(1, 2)) & Qt::ItemIsEditable));
        QVERIFY(model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
        ds.SetRecNo(2);
        QVERIFY(ds.FieldByName("PAID")->AsBoolean());
        QVERIFY(!model.setData(model.index(1, 1), Qt::Checked, Qt::CheckStateRole));
    }
};

QTEST_MAIN(tst_GridDisplay)
#include "tst_GridDisplay.moc"
