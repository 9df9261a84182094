// The console in one language: Qt's own texts follow the console's language.
#include "uQtTranslation.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

class tst_ConsoleLanguage : public QObject {
    Q_OBJECT
private slots:
    void qtTexts_data()
    {
        QTest::addColumn<int>("langId");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("Russian") << 25 << QStringLiteral("Отмена");
        QTest::newRow("English") << 9 << QStringLiteral("Cancel");
        QTest::newRow("back to Russian") << 25 << QStringLiteral("Отмена");
        QTest::newRow("unknown language: Qt's own") << 4242 << QStringLiteral("Cancel");
    }

    void qtTexts()
    {
        QFETCH(int, langId);
        QFETCH(QString, cancel);
        QVERIFY(UseQtTranslation(langId));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), cancel);
    }

    void isoCodes()
    {
        QCOMPARE(IsoLanguageOf(25), QStringLiteral("ru"));
        QCOMPARE(IsoLanguageOf(9), QStringLiteral("en"));
        QCOMPARE(IsoLanguageOf(0), QString());
    }
};

QTEST_MAIN(tst_ConsoleLanguage)
#include "tst_ConsoleLanguage.moc"
