// The printable listing of a data set: how its columns are laid out across
// the page, the pages it writes to a PDF file, the data set it leaves as it
// was, and the preview window it frees when the window closes.
#include "Core/DialogService.h"
#include "DataAccess/DataSet.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "tests/common/PdfText.h"
#include "tests/common/RecordingDialogService.h"

#include <QApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A field of a data set made for a test: "NAME:kind:width", kind s string,
// i integer, f float, d date, l Boolean, m memo, b blob; ":hidden" at the end hides it.
struct TFieldDef {
    QString name;
    TFieldType type;
    int width;
    bool visible;
};

TFieldDef parseFieldDef(const QString &text)
{
    const QStringList parts = text.split(':');
    static const QHash<QString, TFieldType> kinds{{"s", TFieldType::ftString},  {"i", TFieldType::ftInteger},
                                                  {"f", TFieldType::ftFloat},   {"d", TFieldType::ftDate},
                                                  {"l", TFieldType::ftBoolean}, {"m", TFieldType::ftMemo},
                                                  {"b", TFieldType::ftBlob}};
    return {parts.at(0), kinds.value(parts.at(1)), parts.at(2).toInt(), parts.size() < 4};
}

// An open data set of those fields with `rows` records ("NAME n" in text fields, n in numbers).
void fill(TDataSet &dataSet, const QStringList &definitions, int rows)
{
    TResultSet result;
    QList<TFieldDef> fields;
    for (const QString &text : definitions) {
        fields.append(parseFieldDef(text));
        result.columns.append({fields.last().name, fields.last().type, 60, false});
    }
    for (int r = 1; r <= rows; ++r) {
        QVector<QVariant> values;
        for (const TFieldDef &f : fields)
            values.append(f.type == TFieldType::ftString ? QVariant(QStringLiteral("%1 %2").arg(f.name).arg(r))
                          : f.type == TFieldType::ftDate ? QVariant(QDate(2026, 1, 1).addDays(r))
                                                         : QVariant(r));
        result.rows.append(values);
    }
    dataSet.LoadFrom(result);
    for (const TFieldDef &f : fields) {
        dataSet.FieldByName(f.name)->SetDisplayWidth(f.width);
        dataSet.FieldByName(f.name)->SetVisible(f.visible);
    }
}

QString alignmentLetter(Qt::Alignment alignment)
{
    return alignment & Qt::AlignRight ? "R" : alignment & Qt::AlignHCenter ? "C" : "L";
}

} // namespace

class tst_QRBy : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void layoutPlacesColumnsAcrossThePage_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<QStringList>("columns"); // NAME@left/alignment

        // A portrait band is 190 mm wide, a landscape one 277 mm.
        QTest::newRow("columns at 1 and 14")
            << QStringList{"A:s:10", "B:i:6"} << false << QStringList{"A@1/L", "B@14/R"};
        QTest::newRow("portrait kept when all fit")
            << QStringList{"A:s:100", "B:d:86"} << false << QStringList{"A@1/L", "B@104/C"};
        QTest::newRow("first field past portrait turns the page")
            << QStringList{"A:s:100", "B:s:87", "C:l:50"} << true << QStringList{"A@1/L", "B@104/L", "C@194/C"};
        QTest::newRow("the stop: later narrower fields are left out")
            << QStringList{"A:s:100", "B:s:180", "C:i:5"} << true << QStringList{"A@1/L"};
        QTest::newRow("a field too wide for landscape after the turn ends the list")
            << QStringList{"A:s:150", "B:s:100", "C:s:30", "D:s:2"} << true << QStringList{"A@1/L", "B@154/L"};
        QTest::newRow("hidden field takes no gap")
            << QStringList{"A:s:10", "B:s:50:hidden", "C:f:6"} << false << QStringList{"A@1/L", "C@14/R"};
        QTest::newRow("width 0, memo and blob fields take no gap")
            << QStringList{"A:s:10", "B:s:0", "C:m:20", "D:b:20", "E:i:6"} << false << QStringList{"A@1/L", "E@14/R"};
        QTest::newRow("no listed field") << QStringList{"A:m:10", "B:s:0"} << false << QStringList{};
    }
    void layoutPlacesColumnsAcrossThePage()
    {
        QFETCH(QStringList, fields);
        QFETCH(bool, landscape);
        QFETCH(QStringList, columns);
        TDataSet dataSet;
        fill(dataSet, fields, 1);
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        const TQRLayout layout = listing.Layout();
        QCOMPARE(layout.Orientation, landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        QStringList placed;
        for (const TQRColumn &c : layout.Columns)
            placed
                << QStringLiteral("%1@%2/%3").arg(c.Field->FieldName()).arg(c.Left).arg(alignmentLetter(c.Alignment));
        QCOMPARE(placed, columns);
        // The pages follow the layout's orientation.
        QCOMPARE(listing.PageLayout().orientation(), layout.Orientation);
    }

    void pdfHoldsTitleHeadersAndPageNumbersOnEveryPage()
    {
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:40", "QTY:i:20", "DAY:d:20", "NOTE:m:20"}, 90);
        dataSet.FieldByName("NAME")->SetDisplayLabel("Наименование");
        dataSet.FieldByName("QTY")->SetDisplayLabel("Количество");
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        listing.SetCaption("Список товаров");
        const QString path = m_dir.filePath("two-pages.pdf");
        QVERIFY(listing.PrintToPdf(path));
        const QStringList pages = PdfPages(path);
        QCOMPARE(pages.size(), 2);
        for (int p = 0; p < pages.size(); ++p) {
            const QString &text = pages.at(p);
            QVERIFY2(text.contains("Список товаров"), qPrintable(text));
            QVERIFY(text.contains("Наименование") && text.contains("Количество") && text.contains("DAY"));
            QVERIFY(!text.contains("NOTE")); // a memo field is never listed
            QVERIFY2(text.contains(QStringLiteral("стр. %1").arg(p + 1)), qPrintable(text));
            QVERIFY(!text.contains(QStringLiteral("стр. %1").arg(2 - p)));
        }
        QVERIFY(pages.at(0).contains("NAME 1\n") && !pages.at(0).contains("NAME 90"));
        QVERIFY(pages.at(1).contains("NAME 90") && !pages.at(1).contains("NAME 1\n"));
    }

    void longTextWrapsAndTheRowGrows()
    {
        // Rows of two lines take twice the room: the same rows need more pages.
        TDataSet narrow, wide;
        fill(narrow, {"NAME:s:8"}, 90);
        fill(wide, {"NAME:s:40"}, 90);
        TQRByDataSet listing;
        listing.SetDataSet(&wide);
        QVERIFY(listing.PrintToPdf(m_dir.filePath("wide.pdf")));
        listing.SetDataSet(&narrow);
        QVERIFY(listing.PrintToPdf(m_dir.filePath("narrow.pdf")));
        const QStringList widePages = PdfPages(m_dir.filePath("wide.pdf"));
        const QStringList narrowPages = PdfPages(m_dir.filePath("narrow.pdf"));
        QCOMPARE(widePages.size(), 2);
        QVERIFY(narrowPages.size() >= 3);
        // Nothing of a wrapped text is lost.
        const QString narrowText = narrowPages.join("");
        QVERIFY2(QString(narrowText)
                     .remove(QRegularExpression("\\s"))
                     .contains(QStringLiteral("NAME90стр.%1").arg(narrowPages.size())),
                 qPrintable(narrowText.right(300)));
    }

    void renderingLeavesTheCurrentRecordAndItsControls()
    {
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:20", "QTY:i:6"}, 100);
        dataSet.SetRecNo(37);
        const TBookmark before = dataSet.GetBookmark();
        int scrolls = 0;
        dataSet.AfterScroll = [&scrolls](TDataSet *) { ++scrolls; };
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        QVERIFY(listing.PrintToPdf(m_dir.filePath("record.pdf")));
        QCOMPARE(dataSet.GetBookmark(), before);
        QCOMPARE(dataSet.RecNo(), 37);
        QCOMPARE(scrolls, 0);
        QVERIFY(!dataSet.ControlsDisabled());
        // Every row was listed all the same, not only the current one.
        QVERIFY(PdfPages(m_dir.filePath("record.pdf")).join("").contains("NAME 100"));
    }

    void nothingToListOrNowhereToWrite_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("path");
        QTest::newRow("closed data set") << false << "closed.pdf";
        QTest::newRow("folder that does not exist") << true << "no-such-folder/listing.pdf";
    }
    void nothingToListOrNowhereToWrite()
    {
        QFETCH(bool, open);
        QFETCH(QString, path);
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:20"}, 3);
        if (!open)
            dataSet.Close();
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        QVERIFY(!listing.PrintToPdf(m_dir.filePath(path)));
        QVERIFY(!QFile::exists(m_dir.filePath(path)));
        RecordingDialogService dialogs;
        QCOMPARE(listing.ShowListing(), open);
    }

    void previewIsFreedWhenItCloses()
    {
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:20", "QTY:i:6"}, 100);
        QWidget form;
        form.setWindowTitle("Склад");
        auto *listing = new TQRByDataSet(&form);
        listing->SetDataSet(&dataSet);
        listing->SetCaption(form.windowTitle());
        RecordingDialogService dialogs;
        const qsizetype windowsBefore = QApplication::topLevelWidgets().size();
        QPointer<QDialog> preview;
        QString caption;
        bool overTheForm = false;
        dialogs.onModal = [&](QDialog *d) {
            preview = d;
            caption = d->windowTitle();
            overTheForm = d->parentWidget() == &form;
            d->reject();
            return int(QDialog::Rejected);
        };
        for (int shown = 1; shown <= 3; ++shown) {
            QVERIFY(listing->ShowListing());
            QCOMPARE(dialogs.modalClasses.size(), shown);
            QVERIFY(preview.isNull()); // the window and its printer went with it
            QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        }
        QCOMPARE(dialogs.modalClasses.first(), "TQRPreviewDlg");
        QCOMPARE(caption, "Склад");
        QVERIFY(overTheForm);
        QCOMPARE(form.findChildren<TQRByDataSet *>().size(), 1);
    }
};

QTEST_MAIN(tst_QRBy)
#include "tst_QRBy.moc"
