#pragma once
// TQRByDataSet: a printable listing of any open data set without a designed
// report. One column per listed field, the title on every page, the column
// titles under it, the rows, and the page number at the foot; previewed on
// screen (print, or PDF through the print window) or written straight to a
// PDF file.
//
// The page is A4 with 10 mm margins; positions and widths are millimetres.
// Columns start at 1 mm and follow each other 3 mm apart, each as wide as its
// title and its widest value as printed (in the listing's font, over the rows
// it lists), at most as wide as a landscape page. Values are printed in the
// session's formats (Core/SessionLocale). The first column that does not fit
// a portrait page turns the page to landscape; a column that does not fit
// even then ends the list, later narrower ones included. Hidden fields,
// fields of width 0 and long or binary fields take no column and no gap. A
// number, a date or a time never wraps; a text wider than its column (only
// one wider than the page) wraps and the row grows.
//
// Rows are read by position: rendering never moves the data set's current
// record, so the grids and detail queries that follow it stay where they are.
#include "Core/PlatformExport.h"
#include "DataAccess/FieldType.h"

#include <QList>
#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <QString>

class QPagedPaintDevice;
class QWidget;
class TDataSet;
class TField;

// Alignment of a column's title and values by its field's type.
PLATFORM_EXPORT Qt::Alignment QRByAlignment(TFieldType type);
// False for the types a listing never shows (binary and long data, cursors).
PLATFORM_EXPORT bool QRByListedType(TFieldType type);

// A field offered for a column, with the title to print over it.
struct TQRColumnSource {
    TField *Field = nullptr;
    QString Title;
};

// A column of the listing, in millimetres from the band's left edge.
struct TQRColumn {
    TField *Field = nullptr;
    QString Title;
    double Left = 0;
    double Width = 0;
    Qt::Alignment Alignment = Qt::AlignLeft;
    // Only a text wraps inside its column.
    bool Wraps = true;
};

struct TQRLayout {
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    double BandWidth = 0; // mm
    QList<TQRColumn> Columns;
};

class PLATFORM_EXPORT TQRByDataSet : public QObject {
    Q_OBJECT
public:
    // A widget owner (or the window it sits in) is the preview's parent.
    explicit TQRByDataSet(QObject *owner = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption) { m_caption = caption; }
    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }
    // A second title line (a detail listing names its master's record there); none when empty.
    QString SubTitle() const { return m_subTitle; }
    void SetSubTitle(const QString &subTitle) { m_subTitle = subTitle; }
    // The candidates for columns in their order (a grid's visible columns with
    // its titles); when none are given, every field of the data set with its
    // display label. Fields of width 0 or of an unlisted type are still skipped.
    // The fields are the data set's: set them again after it opens with new fields.
    void SetColumns(const QList<TQRColumnSource> &columns) { m_columns = columns; }

    // The page's orientation and the columns of the data set as it is now.
    TQRLayout Layout() const;

    // Previews the listing in a modal window (through the dialog service);
    // false when there is no open data set. The window and its printer are
    // freed when it closes.
    bool ShowListing();
    // Writes the listing's pages to a PDF file; false when there is no open
    // data set or the file cannot be written.
    bool PrintToPdf(const QString &path);
    // Paints every page on a printer or PDF writer set up with its page layout;
    // false when there is nothing to list, the device cannot be painted on, or
    // the user cancelled. Painting that lasts shows a progress window with
    // Cancel (TQRProgress); a cancelled PDF file is removed, a cancelled preview closes.
    bool Render(QPagedPaintDevice *device);
    // Whether the last painting was stopped by the user.
    bool Cancelled() const { return m_cancelled; }
    // The page layout of the listing: A4, its margins and the orientation of Layout().
    QPageLayout PageLayout() const;

private:
    QList<TQRColumnSource> columnSources() const;
    QWidget *previewParent() const;

    QString m_caption;
    QString m_subTitle;
    QPointer<TDataSet> m_dataSet;
    QList<TQRColumnSource> m_columns;
    bool m_cancelled = false;
    bool m_rendering = false;
};
