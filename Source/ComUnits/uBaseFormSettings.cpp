#include "Source/ComUnits/uBaseFormSettings.h"

#include "Core/Exceptions.h"
#include "DataAccess/DataSource.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

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
    m_button->setToolTip(filter);
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
    m_button->setGeometry(m_grid->frameWidth(), m_grid->frameWidth(), std::max(width, kLeast),
                          std::max(height, kLeast));
    m_button->raise();
}

void TFilesForEMail::Add(const QString &fileName)
{
    const auto at = std::lower_bound(m_files.begin(), m_files.end(), fileName);
    m_files.insert(at, fileName);
}
