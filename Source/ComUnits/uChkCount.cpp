#include "Source/ComUnits/uChkCount.h"

#include "Core/Exceptions.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/DataSet.h"
#include "DataAccess/DataSource.h"
#include "Source/ComUnits/uDBGrid.h"

#include <QAbstractItemView>
#include <QLabel>

namespace {

const QString kReadRecords = QStringLiteral("rstr_fmtmsg_ReadDBRecords");

QString gridHint(const QAbstractItemView *grid)
{
    if (auto *dbGrid = qobject_cast<const TDBGrid *>(grid))
        return dbGrid->Hint();
    return grid->toolTip();
}

// Fills the "%d" places in order and nothing else, whatever else the text holds.
QString fillCounts(QString format, std::initializer_list<int> counts)
{
    for (int count : counts) {
        const qsizetype at = format.indexOf(QLatin1String("%d"));
        if (at < 0)
            break;
        format.replace(at, 2, QString::number(count));
    }
    return format;
}

} // namespace

namespace {

// Whether the text has exactly one place for a value ("%s" or "%d"; "%%" is a percent sign).
bool hasOnePlace(QString text)
{
    text.remove(QLatin1String("%%"));
    return text.count(QLatin1String("%s")) + text.count(QLatin1String("%d")) == 1;
}

} // namespace

QString CountFormat(const QString &translation, const QString &builtIn, bool detail)
{
    const QString counts = detail ? QStringLiteral("%d (%d)") : QStringLiteral("%d");
    const QString format = hasOnePlace(translation) ? translation : builtIn;
    return QLatin1Char(' ') + FormatText(format, {counts});
}

// --- TChkState

// Follows the data set through a data source of its own, so that the form's event handlers stay its own.
class TChkState::TWatch : public TDataLink {
public:
    explicit TWatch(TChkState *state) : m_state(state) {}
    void DataSetChanged() override { notify(); }
    void DataSetScrolled() override { notify(); }
    void StateChanged() override { notify(); }

private:
    void notify()
    {
        if (m_state->m_dataSet)
            m_state->m_update(m_state->m_dataSet);
    }
    TChkState *m_state;
};

TChkState::TChkState(TDataSet *dataSet, int state, TUpdateEvent pUpdEv, TChkStateList *list)
    : m_dataSet(dataSet), m_state(state), m_update(std::move(pUpdEv)), m_list(list)
{
    Z_ASSERT(m_update, QStringLiteral("TChkState.Create: pUpdEv=nil"));
    m_watch = std::make_unique<TWatch>(this);
    m_source = std::make_unique<TDataSource>(nullptr, dataSet);
    m_source->AddLink(m_watch.get());
}

TChkState::~TChkState()
{
    m_source->RemoveLink(m_watch.get());
    m_source.reset();
}

// --- TChkStateList

TChkStateList::TChkStateList(TGridFinder gridFinder, QObject *owner)
    : m_gridFinder(std::move(gridFinder)), m_owner(owner)
{
    Z_ASSERT(m_gridFinder, QStringLiteral("pEvent=nil"));
}

TChkStateList::~TChkStateList() = default;

TChkState *TChkStateList::Find(const TDataSet *dataSet) const
{
    for (const auto &item : m_items)
        if (item->DataSet() == dataSet)
            return item.get();
    return nullptr;
}

TChkState *TChkStateList::Add(TDataSet *dataSet, int state)
{
    if (TChkState *known = Find(dataSet))
        return known;
    m_items.push_back(std::make_unique<TChkState>(
        dataSet, state, [this](TDataSet *ds) { watchedChanged(ds); }, this));
    if (m_items.size() == 1)
        m_activeItem = m_items.front().get();
    return m_items.back().get();
}

void TChkStateList::SetActive(TDataSet *dataSet)
{
    TChkState *item = Find(dataSet);
    if (!item)
        return;
    m_activeItem = item;
    UpdateState();
}

void TChkStateList::SetStatusControl(QLabel *control)
{
    m_statusControl = control;
    if (!m_items.empty())
        UpdateState();
}

void TChkStateList::watchedChanged(TDataSet *dataSet)
{
    TDataSet *active = m_activeItem ? m_activeItem->DataSet() : nullptr;
    if (active && (dataSet == active || dataSet == active->MasterDataSet()))
        UpdateState();
}

void TChkStateList::UpdateState()
{
    if (m_items.empty())
        return;
    Z_ASSERT(m_activeItem, QStringLiteral("TChkStateList.UpdateState: FActiveItem=nil"));
    TDataSet *ds = m_activeItem->DataSet();
    if (OnUpdate)
        OnUpdate(ds, m_activeItem->State());
    QAbstractItemView *grid = ds ? m_gridFinder(ds) : nullptr;
    if (!grid)
        return;
    const QString translation = TranslateAplText(kReadRecords);
    const QString builtIn = CaseMessageTxt(ResStrRu(kReadRecords), ResStrEn(kReadRecords));
    const auto count = [](const TDataSet *d) { return d->Active() ? d->RecordCount() : 0; };
    if (TDataSet *master = ds->MasterDataSet()) {
        const QAbstractItemView *masterGrid = m_gridFinder(master);
        m_text = fillCounts(CountFormat(translation, builtIn, true), {count(ds), count(master)});
        m_hint = gridHint(grid) + QStringLiteral(" (") +
                 (masterGrid ? gridHint(masterGrid) + QLatin1Char(')') : QStringLiteral("'')"));
    } else {
        m_text = fillCounts(CountFormat(translation, builtIn, false), {count(ds)});
        m_hint = gridHint(grid);
    }
    if (m_statusControl) {
        m_statusControl->setText(m_text);
        m_statusControl->setToolTip(m_hint);
    }
}
