// The versions window's columns in fonts of several sizes: scaled from the
// widths designed for 8 points at 96 dpi, never cutting a header, a size, a
// time or a file name; the export keeps its character widths.
#include "FilesTestSupport.h"
#include "RecordingDialogService.h"
#include "uShowVer.h"

#include <QHeaderView>
#include <QLocale>
#include <QStyle>
#include <QTableWidget>
#include <QtTest>

namespace {

constexpr qint64 SizeShown = 2244000;

// What a header section needs: its text between the style's margins.
int HeaderTextWidth(const QHeaderView *header, const QString &text)
{
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    return QFontMetrics(header->font()).horizontalAdvance(text) + 2 * margin;
}

} // namespace

class TestVersionColumns : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QStringList files;
    RecordingDialogService *dialogs = nullptr;

private slots:
    void initTestCase();
    void init() { dialogs = new RecordingDialogService; }
    void cleanup() { delete dialogs; }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }

    void wholeValuesInEveryFont_data();
    void wholeValuesInEveryFont();
    void widthsFollowTheFontSize();
};

void TestVersionColumns::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QFile big(dir.filePath(QStringLiteral("libZandrellEmbeddedServer-with-a-long-name.so")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(SizeShown));
    big.close();
    files = {big.fileName(), WriteTestFile(dir, QStringLiteral("a.so"), "x")};
}

void TestVersionColumns::wholeValuesInEveryFont_data()
{
    QTest::addColumn<QFont>("font");
    for (int points : {6, 8, 9, 12, 16}) {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QTest::addRow("%d points", points) << font;
    }
    QFont bold = QApplication::font();
    bold.setPointSize(11);
    bold.setBold(true);
    QTest::newRow("11 points bold") << bold;
    QFont pixels = QApplication::font();
    pixels.setPixelSize(20);
    QTest::newRow("20 pixels") << pixels;
}

void TestVersionColumns::wholeValuesInEveryFont()
{
    QFETCH(QFont, font);
    TShowVer window;
    window.setFont(font);
    window.Manager().FileNames = files;
    window.FillGrid();
    QCOMPARE(window.Grid->item(0, 4)->text(), QStringLiteral("2,244,000"));

    const QFontMetrics cells(window.Grid->font());
    int widths = 0;
    for (int c = 0; c < kFileVersionFieldCount; ++c) {
        const int width = window.Grid->columnWidth(c);
        widths += width;
        QVERIFY(width >= FileVersionField(c).Width);
        const QString header = window.Grid->horizontalHeaderItem(c)->text();
        QVERIFY2(HeaderTextWidth(window.Grid->horizontalHeader(), header) <= width,
                 qPrintable(QStringLiteral("header %1 in %2 pixels").arg(header).arg(width)));
        // Cells are written 2 pixels in from the left.
        for (int row = 0; row < window.Grid->rowCount(); ++row) {
            const QString text = window.Grid->item(row, c) ? window.Grid->item(row, c)->text() : QString();
            QVERIFY2(cells.horizontalAdvance(text) + 2 <= width,
                     qPrintable(QStringLiteral("\"%1\" in %2 pixels").arg(text).arg(width)));
        }
    }
    // Never wider than the screen.
    QCOMPARE(window.width(),
             qMin(widths + 25 + window.pnlGrid->frameWidth() + 20, window.screen()->availableGeometry().width()));

    // The export keeps its character widths, whatever the font.
    for (const QString &line : window.ExportLines())
        QCOMPARE(line.size(), 25 + 10 + 20 + 60 + 10 + 20 + 20);
    // The grid shows the whole file name, the export cuts it to its 25 characters.
    QVERIFY(window.ExportLines()[2].startsWith(QStringLiteral("libZandrellEmbeddedServe ")));
    QVERIFY(dialogs->boxes.isEmpty());
}

void TestVersionColumns::widthsFollowTheFontSize()
{
    // 32 pixels are three times 8 points at 96 dpi.
    QFont designed = QApplication::font();
    designed.setPixelSize(11);
    QFont larger = designed;
    larger.setPixelSize(32);
    QFont smaller = designed;
    smaller.setPixelSize(7);
    for (int c = 0; c < kFileVersionFieldCount; ++c) {
        const int width = FileVersionField(c).Width;
        QCOMPARE(ScaledColumnWidth(width, larger), 3 * width);
        // Never narrower than designed.
        QCOMPARE(ScaledColumnWidth(width, smaller), width);
    }
    // The room a value needs grows with the font too.
    QVERIFY(CellTextWidth(QStringLiteral("2,244,000"), larger) > CellTextWidth(QStringLiteral("2,244,000"), designed));
}

QTEST_MAIN(TestVersionColumns)
#include "tst_VersionColumns.moc"
