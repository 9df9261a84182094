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
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// An open data set with `rows` records of fields "NAME:kind:width", kind s
// string, i integer, f float, d date, l Boolean, m memo, b blob; ":hidden" at
// the end hides the field. A string is "NAME r" followed by x's up to the
// field's display width in characters; numbers are r, dates days of 2026.
void fill(TDataSet &dataSet, const QStringList &definitions, int rows)
{
    static const QHash<QString, TFieldType> kinds{{"s", TFieldType::ftString},  {"i", TFieldType::ftInteger},
                                                  {"f", TFieldType::ftFloat},   {"d", TFieldType::ftDate},
                                                  {"l", TFieldType::ftBoolean}, {"m", TFieldType::ftMemo},
                                                  {"b", TFieldType::ftBlob}};
    TResultSet result;
    for (const QString &definition : definitions)
        result.columns.append({definition.section(':', 0, 0), kinds.value(definition.section(':', 1, 1)), 60, false});
    for (int r = 1; r <= rows; ++r) {
        QVector<QVariant> values;
        for (int c = 0; c < result.columns.size(); ++c) {
            const TColumnInfo &column = result.columns.at(c);
            const QString text = QStringLiteral("%1 %2").arg(column.name).arg(r);
            const int width = definitions.at(c).section(':', 2, 2).toInt();
            values.append(column.type == TFieldType::ftString ? QVariant(text.leftJustified(width, 'x'))
                          : column.type == TFieldType::ftDate ? QVariant(QDate(2026, 1, 1).addDays(r))
                                                              : QVariant(r));
        }
        result.rows.append(values);
    }
    dataSet.LoadFrom(result);
    for (const QString &definition : definitions) {
        TField *field = dataSet.FieldByName(definition.section(':', 0, 0));
        field->SetDisplayWidth(definition.section(':', 2, 2).toInt());
        field->SetVisible(!definition.endsWith(":hidden"));
    }
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
        QTest::addColumn<QString>("columns"); // NAME/alignment, in order
        // A portrait band is 190 mm wide, a landscape one 277 mm; 8-point x's take about 1.7 mm.
        QTest::newRow("portrait kept when all fit")
            << QStringList{"A:s:10", "B:i:6", "C:d:20"} << false << "A/L B/R C/C";
        QTest::newRow("first column past portrait turns the page")
            << QStringList{"A:s:70", "B:s:60", "C:l:50"} << true << "A/L B/L C/C";
        QTest::newRow("the stop: later narrower columns are left out")
            << QStringList{"A:s:100", "B:s:100", "C:i:5"} << true << "A/L";
        QTest::newRow("a text wider than the page takes the page") << QStringList{"A:s:400", "B:i:5"} << true << "A/L";
        QTest::newRow("hidden field takes no gap")
            << QStringList{"A:s:10", "B:s:50:hidden", "C:f:6"} << false << "A/L C/R";
        QTest::newRow("width 0, memo and blob fields take no gap")
            << QStringList{"A:s:10", "B:s:0", "C:m:20", "D:b:20", "E:i:6"} << false << "A/L E/R";
        QTest::newRow("no listed field") << QStringList{"A:m:10", "B:s:0"} << false << "";
    }
    void layoutPlacesColumnsAcrossThePage()
    {
        QFETCH(QStringList, fields);
        QFETCH(bool, landscape);
        TDataSet dataSet;
        fill(dataSet, fields, 3);
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        const TQRLayout layout = listing.Layout();
        QCOMPARE(layout.Orientation, landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        QCOMPARE(listing.PageLayout().orientation(), layout.Orientation); // the pages follow it
        QStringList placed;
        double right = -2; // the first column starts at 1 mm, each next one 3 mm after the last
        for (const TQRColumn &c : layout.Columns) {
            const char *alignment = c.Alignment & Qt::AlignRight ? "R" : c.Alignment & Qt::AlignHCenter ? "C" : "L";
            placed << QStringLiteral("%1/%2").arg(c.Field->FieldName(), alignment);
            QCOMPARE(c.Left, right + 3);
            QVERIFY(c.Width > 0);
            right = c.Left + c.Width;
            QCOMPARE(c.Wraps, c.Field->DataType() == TFieldType::ftString);
        }
        QVERIFY(right <= layout.BandWidth);
        QTEST(placed.join(' '), "columns");
    }

    // Two pages, each with title, column titles and its number; the user's
    // record neither moves nor scrolls, and controls come back enabled.
    void pdfHoldsTitleHeadersAndPageNumbersOnEveryPage()
    {
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:40", "QTY:i:20", "DAY:d:20", "NOTE:m:20"}, 90);
        dataSet.FieldByName("QTY")->SetDisplayLabel("Количество");
        dataSet.SetRecNo(37);
        int scrolls = 0;
        dataSet.AfterScroll = [&scrolls](TDataSet *) { ++scrolls; };
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        listing.SetCaption("Список товаров");
        QVERIFY(listing.PrintToPdf(m_dir.filePath("two-pages.pdf")));
        QCOMPARE(dataSet.RecNo(), 37);
        QCOMPARE(scrolls, 0);
        QVERIFY(!dataSet.ControlsDisabled());
        const QStringList pages = PdfPages(m_dir.filePath("two-pages.pdf"));
        QCOMPARE(pages.size(), 2);
        for (int p = 0; p < pages.size(); ++p) {
            const QString &text = pages.at(p);
            QVERIFY2(text.contains("Список товаров") && text.contains("Количество") && text.contains("DAY"),
                     qPrintable(text));
            QVERIFY(!text.contains("NOTE")); // a memo field is never listed
            QVERIFY2(text.contains(QStringLiteral("стр. %1").arg(p + 1)), qPrintable(text));
            QVERIFY(!text.contains(QStringLiteral("стр. %1").arg(2 - p)));
        }
        QVERIFY(pages.at(0).contains("NAME 1x") && !pages.at(0).contains("NAME 90"));
        QVERIFY(pages.at(1).contains("NAME 90") && !pages.at(1).contains("NAME 1x"));
    }

    // A text wider than the page wraps: rows of three lines take three times
    // the room, and nothing of a wrapped text is lost.
    void longTextWrapsAndTheRowGrows()
    {
        TDataSet wide;
        fill(wide, {"NAME:s:400"}, 90);
        TQRByDataSet listing;
        listing.SetDataSet(&wide);
        QVERIFY(listing.PrintToPdf(m_dir.filePath("wide.pdf")));
        const QStringList pages = PdfPages(m_dir.filePath("wide.pdf"));
        QVERIFY(pages.size() >= 4); // the same rows take two pages when they fit on a line
        const QString text = pages.join("").remove(QRegularExpression("\\s"));
        QVERIFY2(text.contains("NAME90" + QString(393, 'x') + QStringLiteral("стр.%1").arg(pages.size())),
                 qPrintable(text.right(600)));
    }

    // Nowhere to write, or nothing to list (a closed data set): no file; no preview of a closed one.
    void nothingToListOrNowhereToWrite()
    {
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:20"}, 3);
        TQRByDataSet listing;
        listing.SetDataSet(&dataSet);
        RecordingDialogService dialogs;
        QVERIFY(!listing.PrintToPdf(m_dir.filePath("no-such-folder/listing.pdf")));
        QVERIFY(listing.ShowListing());
        dataSet.Close();
        QVERIFY(!listing.PrintToPdf(m_dir.filePath("closed.pdf")));
        QVERIFY(!QFile::exists(m_dir.filePath("closed.pdf")));
        QVERIFY(!listing.ShowListing());
    }

    // A listing whose pages take more than half a second shows its progress;
    // Cancel stops it: a PDF file is not left behind, a preview closes.
    void longListingShowsProgressAndCancels_data()
    {
        QTest::addColumn<bool>("preview");
        QTest::newRow("PDF file") << false;
        QTest::newRow("preview") << true;
    }
    void longListingShowsProgressAndCancels()
    {
        QFETCH(bool, preview);
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:40", "QTY:i:20", "DAY:d:20"}, 100000);
        QWidget form;
        auto *listing = new TQRByDataSet(&form);
        listing->SetDataSet(&dataSet);
        listing->SetCaption(u"Orders"_s);
        QString progressTitle;
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, this, [&] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (window->objectName() == u"fmListingProgress" && window->isVisible())
                    if (auto *button = window->findChild<QPushButton *>()) {
                        progressTitle = window->windowTitle();
                        button->click();
                    }
        });
        cancel.start(10);
        const QString path = m_dir.filePath(u"cancelled.pdf"_s);
        RecordingDialogService dialogs;
        bool closedByItself = false;
        dialogs.onModal = [&](QDialog *d) {
            d->show(); // paints the pages
            closedByItself = QTest::qWaitFor([d] { return !d->isVisible(); }, 5000);
            return d->result();
        };
        if (preview) {
            QVERIFY(listing->ShowListing());
            QVERIFY(closedByItself);
        } else {
            QVERIFY(!listing->PrintToPdf(path));
            QVERIFY(!QFile::exists(path));
        }
        QVERIFY(listing->Cancelled());
        QCOMPARE(progressTitle, u"Orders"_s);
        const auto windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(),
                             [](QWidget *w) { return w->objectName() == u"fmListingProgress"; }));
    }

    // The preview stands over the form; it and its printer go when it closes, each time.
    void previewIsFreedWhenItCloses()
    {
        TDataSet dataSet;
        fill(dataSet, {"NAME:s:20"}, 10);
        QWidget form;
        auto *listing = new TQRByDataSet(&form);
        listing->SetDataSet(&dataSet);
        RecordingDialogService dialogs;
        const qsizetype windowsBefore = QApplication::topLevelWidgets().size();
        QList<QPointer<QDialog>> previews;
        int overTheForm = 0;
        dialogs.onModal = [&](QDialog *d) {
            previews << d;
            overTheForm += d->parentWidget() == &form;
            d->reject();
            return int(QDialog::Rejected);
        };
        for (int shown = 1; shown <= 3; ++shown)
            QVERIFY(listing->ShowListing());
        QCOMPARE(overTheForm, 3);
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        for (const QPointer<QDialog> &preview : previews)
            QVERIFY(preview.isNull()); // the window and its printer went with it
        QCOMPARE(form.findChildren<TQRByDataSet *>().size(), 1);
    }
};

QTEST_MAIN(tst_QRBy)
#include "tst_QRBy.moc"
