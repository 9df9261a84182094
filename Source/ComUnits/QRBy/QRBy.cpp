#include "Source/ComUnits/QRBy/QRBy.h"

#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/SessionLocale.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/Field.h"
#include "Source/ComUnits/QRBy/uQRPreview.h"
#include "Source/ComUnits/QRBy/uQRProgress.h"
#include "Source/ComUnits/uComLog.h"
#include "Ui/DataSetModel.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QTextLayout>
#include <QTextOption>
#include <QWidget>

namespace {

constexpr double kMarginMm = 10;
constexpr double kFirstLeftMm = 1;
constexpr double kColumnGapMm = 3;
constexpr double kDetailMm = 4;
constexpr double kColumnHeaderMm = 5;
constexpr double kPageHeaderMm = 8;
constexpr double kPageFooterMm = 6;
constexpr double kTitleTopMm = 1;
constexpr double kFrameLineMm = 0.2;
constexpr int kFontPoints = 8;
constexpr int kTitlePoints = 14;
const QColor kTitleColor(0x00, 0x00, 0xFF);  // blue
const QColor kHeaderColor(0x80, 0x00, 0x00); // maroon

double bandWidthMm(QPageLayout::Orientation orientation)
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    return (orientation == QPageLayout::Landscape ? a4.height() : a4.width()) - 2 * kMarginMm;
}

QFont listingFont(int points, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

// "стр. n"; a translation without exactly one place for the number falls back to the built-in text.
QString pageNumberFormat()
{
    const QString id = QStringLiteral("rstr_fmt_PageNo");
    const QString translated = TranslateAplText(id);
    return translated.count(QLatin1String("%d")) == 1 ? translated : ResStrRu(id);
}

// Room left beside the widest text: the printer's text may run a little wider than it measures.
constexpr double kColumnSlackMm = 0.5;
// Texts are measured at the resolution of the printer.
constexpr int kMeasureDpi = 1200;

// A value as the listing prints it: the session's formats, a Boolean as "+" or "-".
QString cellText(const TField *field, const QVariant &value)
{
    if (field->DataType() == TFieldType::ftBoolean)
        return value.isNull() ? QString() : (value.toBool() ? QStringLiteral("+") : QStringLiteral("-"));
    return GridDisplayText(field->DataType(), field->Scale(), value, SessionLocale());
}

// Widths in millimetres of texts in the listing's font, measured at the printer's resolution.
class TTextMeasure {
public:
    TTextMeasure()
        : m_device(imageAt(kMeasureDpi)), m_plain(listingFont(kFontPoints, false), &m_device),
          m_bold(listingFont(kFontPoints, true), &m_device)
    {
    }
    double Width(const QString &text, bool bold) const
    {
        return (bold ? m_bold : m_plain).horizontalAdvance(text) * 25.4 / kMeasureDpi;
    }

private:
    static QImage imageAt(int dpi)
    {
        QImage image(1, 1, QImage::Format_Mono);
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }
    QImage m_device;
    QFontMetricsF m_plain;
    QFontMetricsF m_bold;
};

bool neverWraps(TFieldType type)
{
    switch (type) {
    case TFieldType::ftBoolean:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
    case TFieldType::ftTimeStamp:
        return true;
    default:
        return IsNumericFieldType(type);
    }
}

// Paints the pages of one listing on a device whose painter is active.
class TListingPainter {
public:
    TListingPainter(QPainter &painter, QPagedPaintDevice *device, const TQRLayout &layout, const QString &title,
                    const QString &subTitle)
        : m_painter(painter), m_device(device), m_layout(layout), m_title(title), m_subTitle(subTitle),
          m_dotsPerMm(device->logicalDpiY() / 25.4), m_font(listingFont(kFontPoints, false)),
          m_headerFont(listingFont(kFontPoints, true)), m_titleFont(listingFont(kTitlePoints, true)),
          m_metrics(m_font, device), m_headerMetrics(m_headerFont, device), m_pageNumber(pageNumberFormat())
    {
        const QRectF paint = device->pageLayout().paintRectPixels(device->logicalDpiX());
        m_page = QRectF(0, 0, paint.width(), paint.height());
        measureHeaders();
    }

    // Paints every page; false when the user cancelled. The progress window lets
    // events in: a data set closed or cut meanwhile ends the listing where it is.
    bool Paint(const QPointer<TDataSet> &dataSet, TQRProgress &progress)
    {
        const double bodyBottom = m_page.height() - mm(kPageFooterMm);
        const double bodyHeight = bodyBottom - m_bodyTop;
        QStringList texts(m_layout.Columns.size());
        int page = 1;
        paintPageBands(page);
        double y = m_bodyTop;
        bool pageHasRows = false;
        for (int row = 0; dataSet && dataSet->Active() && row < dataSet->RecordCount(); ++row) {
            double height = mm(kDetailMm);
            for (int c = 0; c < m_layout.Columns.size(); ++c) {
                const TQRColumn &column = m_layout.Columns.at(c);
                texts[c] = cellText(column.Field, dataSet->ValueAt(row, column.Field->Index()));
                if (column.Wraps)
                    height = qMax(height, textHeight(m_font, m_metrics, texts.at(c), mm(column.Width)));
            }
            // A row taller than a page is cut at the page's foot rather than never placed.
            height = qMin(height, bodyHeight);
            if (pageHasRows && y + height > bodyBottom) {
                m_device->newPage();
                paintPageBands(++page);
                y = m_bodyTop;
            }
            paintRow(texts, y, height);
            y += height;
            pageHasRows = true;
            if (!progress.Step(row + 1, page))
                return false;
        }
        return true;
    }

private:
    double mm(double value) const { return value * m_dotsPerMm; }

    // The height of a text wrapped in a column of that width; one line when it fits.
    double textHeight(const QFont &font, const QFontMetricsF &metrics, const QString &text, double width) const
    {
        if (metrics.horizontalAdvance(text) <= width)
            return metrics.height();
        QTextLayout layout(text, font, m_device);
        layout.setTextOption(wrapOption(Qt::AlignLeft));
        layout.beginLayout();
        double height = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
        return qMax(height, metrics.height());
    }

    // Lines break between words, and inside a word only when it is wider than its column.
    static QTextOption wrapOption(Qt::Alignment alignment)
    {
        QTextOption option(alignment | Qt::AlignTop);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        return option;
    }

    void measureHeaders()
    {
        const double band = m_page.width();
        m_titleHeight = textHeight(m_titleFont, QFontMetricsF(m_titleFont, m_device), m_title, band);
        m_subTitleHeight = m_subTitle.isEmpty() ? 0 : textHeight(m_font, m_metrics, m_subTitle, band);
        m_pageHeaderHeight =
            qMax(mm(kPageHeaderMm), mm(kTitleTopMm) + m_titleHeight + m_subTitleHeight + mm(kTitleTopMm));
        double columnHeader = mm(kColumnHeaderMm);
        for (const TQRColumn &column : m_layout.Columns)
            columnHeader =
                qMax(columnHeader, textHeight(m_headerFont, m_headerMetrics, column.Title, mm(column.Width)));
        m_columnHeaderHeight = columnHeader;
        m_bodyTop = m_pageHeaderHeight + m_columnHeaderHeight;
    }

    // A text that fits its column on one line, or must not wrap, is drawn
    // unclipped on one line, which also keeps large files small and fast.
    void drawText(const QRectF &rect, Qt::Alignment alignment, const QString &text, const QFontMetricsF &metrics,
                  bool wraps = true)
    {
        if (!wraps || metrics.horizontalAdvance(text) <= rect.width())
            m_painter.drawText(rect, int(alignment | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine), text);
        else
            m_painter.drawText(rect, text, wrapOption(alignment));
    }

    void paintPageBands(int page)
    {
        const double band = m_page.width();
        // Page header: the title (and the second line) between two frame lines.
        m_painter.setPen(QPen(Qt::black, mm(kFrameLineMm)));
        m_painter.drawLine(QPointF(0, 0), QPointF(band, 0));
        m_painter.drawLine(QPointF(0, m_pageHeaderHeight), QPointF(band, m_pageHeaderHeight));
        m_painter.setFont(m_titleFont);
        m_painter.setPen(kTitleColor);
        m_painter.drawText(QRectF(0, mm(kTitleTopMm), band, m_titleHeight), m_title, wrapOption(Qt::AlignHCenter));
        m_painter.setFont(m_font);
        m_painter.setPen(Qt::black);
        if (!m_subTitle.isEmpty())
            m_painter.drawText(QRectF(0, mm(kTitleTopMm) + m_titleHeight, band, m_subTitleHeight), m_subTitle,
                               wrapOption(Qt::AlignHCenter));
        // Column header: bold maroon titles over a frame line.
        m_painter.setFont(m_headerFont);
        m_painter.setPen(kHeaderColor);
        for (const TQRColumn &column : m_layout.Columns)
            drawText(QRectF(mm(column.Left), m_pageHeaderHeight, mm(column.Width), m_columnHeaderHeight),
                     column.Alignment, column.Title, m_headerMetrics);
        m_painter.setPen(QPen(Qt::black, mm(kFrameLineMm)));
        m_painter.drawLine(QPointF(0, m_bodyTop), QPointF(band, m_bodyTop));
        // Page footer: the page number across the band.
        m_painter.setFont(m_font);
        m_painter.drawText(QRectF(0, m_page.height() - mm(kPageFooterMm), band, mm(kPageFooterMm)), Qt::AlignCenter,
                           QString(m_pageNumber).replace(QLatin1String("%d"), QString::number(page)));
    }

    void paintRow(const QStringList &texts, double top, double height)
    {
        for (int c = 0; c < m_layout.Columns.size(); ++c) {
            const TQRColumn &column = m_layout.Columns.at(c);
            drawText(QRectF(mm(column.Left), top, mm(column.Width), height), column.Alignment, texts.at(c), m_metrics,
                     column.Wraps);
        }
    }

    QPainter &m_painter;
    QPagedPaintDevice *m_device;
    const TQRLayout &m_layout;
    QString m_title;
    QString m_subTitle;
    double m_dotsPerMm;
    QFont m_font;
    QFont m_headerFont;
    QFont m_titleFont;
    QFontMetricsF m_metrics;
    QFontMetricsF m_headerMetrics;
    QString m_pageNumber;
    QRectF m_page;
    double m_titleHeight = 0;
    double m_subTitleHeight = 0;
    double m_pageHeaderHeight = 0;
    double m_columnHeaderHeight = 0;
    double m_bodyTop = 0;
};

} // namespace

Qt::Alignment QRByAlignment(TFieldType type)
{
    switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftBytes:
    case TFieldType::ftAutoInc:
        return Qt::AlignRight;
    case TFieldType::ftBoolean:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

bool QRByListedType(TFieldType type)
{
    switch (type) {
    case TFieldType::ftVarBytes:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle:
    case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary:
    case TFieldType::ftCursor:
        return false;
    default:
        return true;
    }
}

TQRByDataSet::TQRByDataSet(QObject *owner) : QObject(owner) {}

QList<TQRColumnSource> TQRByDataSet::columnSources() const
{
    if (!m_columns.isEmpty())
        return m_columns;
    QList<TQRColumnSource> sources;
    for (int i = 0; i < m_dataSet->FieldCount(); ++i) {
        TField *field = m_dataSet->Fields(i);
        if (field->Visible())
            sources.append({field, field->DisplayLabel()});
    }
    return sources;
}

TQRLayout TQRByDataSet::Layout() const
{
    TQRLayout layout;
    layout.BandWidth = bandWidthMm(layout.Orientation);
    if (!m_dataSet)
        return layout;
    double left = kFirstLeftMm;
    const double widest = bandWidthMm(QPageLayout::Landscape) - kFirstLeftMm;
    const int rows = m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
    const TTextMeasure measure;
    for (const TQRColumnSource &source : columnSources()) {
        TField *field = source.Field;
        if (!field || field->DisplayWidth() <= 0 || !QRByListedType(field->DataType()))
            continue;
        // As wide as the title and the widest value printed, within the page.
        double width = measure.Width(source.Title, true);
        for (int row = 0; row < rows && width < widest; ++row)
            width = qMax(width, measure.Width(cellText(field, m_dataSet->ValueAt(row, field->Index())), false));
        width = qMin(width + kColumnSlackMm, widest);
        if (left + width > layout.BandWidth && layout.Orientation == QPageLayout::Portrait) {
            layout.Orientation = QPageLayout::Landscape;
            layout.BandWidth = bandWidthMm(layout.Orientation);
        }
        if (left + width > layout.BandWidth)
            break;
        layout.Columns.append(
            {field, source.Title, left, width, QRByAlignment(field->DataType()), !neverWraps(field->DataType())});
        left += width + kColumnGapMm;
    }
    return layout;
}

QPageLayout TQRByDataSet::PageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4), Layout().Orientation,
                       QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);
}

bool TQRByDataSet::Render(QPagedPaintDevice *device)
{
    // The progress window lets events in: a second request meanwhile waits for none.
    if (m_rendering)
        return false;
    m_cancelled = false;
    if (!m_dataSet || !m_dataSet->Active())
        return false;
    // A PDF writer opens its file here: a folder that cannot be written fails now.
    QPainter painter(device);
    if (!painter.isActive()) {
        qCWarning(lcCom) << "TQRByDataSet: the listing's pages cannot be painted";
        return false;
    }
    const TQRLayout layout = Layout();
    TQRProgress progress(previewParent(), m_caption, m_dataSet->RecordCount());
    const QScopedValueRollback rendering(m_rendering, true);
    m_cancelled = !TListingPainter(painter, device, layout, m_caption, m_subTitle).Paint(m_dataSet, progress);
    return !m_cancelled;
}

bool TQRByDataSet::PrintToPdf(const QString &path)
{
    if (!m_dataSet || !m_dataSet->Active())
        return false;
    bool written = false;
    {
        QPdfWriter writer(path);
        writer.setPageLayout(PageLayout());
        writer.setResolution(600);
        writer.setTitle(m_caption);
        writer.setCreator(QStringLiteral("KorConsole"));
        written = Render(&writer);
    }
    // A listing cut short by the user leaves no file that looks whole.
    if (m_cancelled)
        QFile::remove(path);
    return written;
}

QWidget *TQRByDataSet::previewParent() const
{
    auto *widget = qobject_cast<QWidget *>(parent());
    return widget ? widget->window() : nullptr;
}

bool TQRByDataSet::ShowListing()
{
    if (!m_dataSet || !m_dataSet->Active())
        return false;
    // Both live on this call's stack: closing the preview frees them.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(PageLayout());
    printer.setDocName(m_caption);
    // Cancelled while its pages are painted, the preview closes as soon as it can.
    QPointer<QDialog> shown;
    TQRPreviewDlg preview(
        &printer, m_caption,
        [this, &shown](QPrinter *target) {
            if (!Render(target) && m_cancelled && shown)
                QMetaObject::invokeMethod(shown, &QDialog::reject, Qt::QueuedConnection);
        },
        previewParent());
    shown = &preview;
    ExecModalDialog(&preview);
    return true;
}
