#include "Source/ComUnits/uBaseFormSettings.h"

#include "Core/Exceptions.h"
#include "DataAccess/DataSource.h"
#include "Ui/ResourceLibrary.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>

#include <algorithm>

namespace {

const char kFilterCaption[] = "zandrellFilterCaption";
const char kFilterCaptionOf[] = "zandrellFilterCaptionOf";
// The resource library's filter picture, shown also on the main tool bar's filter button.
constexpr int kFilterGlyph = 4;

// A funnel, for a console without the resource library.
QIcon drawnFunnel()
{
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x6b, 0x4f, 0xa0));
    painter.drawPolygon(QPolygonF({{0, 1}, {12, 1}, {7.5, 6}, {7.5, 11}, {4.5, 9.5}, {4.5, 6}}));
    return QIcon(picture);
}

QIcon filterGlyph()
{
    const QIcon glyph = ResourceGlyph(kFilterGlyph);
    return glyph.isNull() ? drawnFunnel() : glyph;
}

} // namespace

void SetFilterCaption(TDataSet *dataSet, const QString &filter, const QString &caption)
{
    if (!dataSet)
        return;
    dataSet->setProperty(kFilterCaption, caption);
    dataSet->setProperty(kFilterCaptionOf, filter.trimmed());
}

QString FilterCaptionOf(const TDataSet *dataSet)
{
    if (!dataSet || !dataSet->Filtered() || dataSet->Filter().trimmed().isEmpty())
        return QString();
    if (dataSet->property(kFilterCaptionOf).toString() != dataSet->Filter().trimmed())
        return QString();
    return dataSet->property(kFilterCaption).toString();
}

// Follows the query's filter and keeps the button in the grid's corner.
class TDBGridOfQuery::TWatch : public QObject, public TDataLink {
public:
    explicit TWatch(TDBGridOfQuery *owner) : m_owner(owner) {}
    void DataSetChanged() override { m_owner->UpdateFilterButton(); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)
            m_owner->placeButton();
        return false;
    }

private:
    TDBGridOfQuery *m_owner;
};

TDBGridOfQuery::TDBGridOfQuery(QObject *AOwner, QAbstractItemView *Grid, TOraDataSet *query)
    : m_owner(AOwner), m_grid(Grid), m_query(query)
{
    Z_ASSERT(AOwner, QStringLiteral("constructor TDBGridOfQuery.Create: AOwner = nil"));
    Z_ASSERT(Grid, QStringLiteral("constructor TDBGridOfQuery.Create: Grig = nil"));
    m_button = new QToolButton(Grid);
    m_button->setObjectName(Grid->objectName() + QStringLiteral("_SQLFilterButton"));
    m_button->setText(QStringLiteral("F"));
    m_button->setIcon(filterGlyph());
    m_button->setIconSize(QSize(12, 12));
    m_button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_button->setAutoRaise(true);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_watch = std::make_unique<TWatch>(this);
    Grid->installEventFilter(m_watch.get());
    if (query) {
        m_source = std::make_unique<TDataSource>(nullptr, query);
        m_source->AddLink(m_watch.get());
    }
    placeButton();
    UpdateFilterButton();
}

TDBGridOfQuery::~TDBGridOfQuery()
{
    if (m_source)
        m_source->RemoveLink(m_watch.get());
    // The button goes with the record; a grid freed first took it along.
    delete m_button;
}

QString TDBGridOfQuery::FilterInForce() const
{
    if (!m_query || !m_query->Filtered())
        return QString();
    return m_query->Filter().trimmed();
}

void TDBGridOfQuery::UpdateFilterButton()
{
    if (!m_button)
        return;
    const QString filter = FilterInForce();
    const QString caption = FilterCaptionOf(m_query);
    m_button->setToolTip(caption.isEmpty() ? filter : caption);
    m_button->setVisible(!filter.isEmpty());
}

// The corner where the headers meet (the grid's top left corner without headers).
void TDBGridOfQuery::placeButton()
{
    if (!m_button || !m_grid)
        return;
    constexpr int kLeast = 16;
    auto *table = qobject_cast<QTableView *>(m_grid.data());
    const int width = table && table->verticalHeader()->isVisible() ? table->verticalHeader()->width() : 0;
    const int height = table && table->horizontalHeader()->isVisible() ? table->horizontalHeader()->height() : 0;
    // Wide enough for the glyph and the letter, over the row numbers when they are wider.
    m_button->setGeometry(m_grid->frameWidth(), m_grid->frameWidth(), std::max(width, m_button->sizeHint().width()),
                          std::max(height, kLeast));
    m_button->raise();
}

void TFilesForEMail::Add(const QString &fileName)
{
    const auto at = std::lower_bound(m_files.begin(), m_files.end(), fileName);
    m_files.insert(at, fileName);
}
