#include "DataAccess/DataSource.h"

#include "DataAccess/DataSet.h"

TDataLink::~TDataLink() = default;

TDataSource::TDataSource(QObject *owner, TDataSet *dataSet) : QObject(owner) { SetDataSet(dataSet); }

TDataSource::~TDataSource()
{
    if (m_dataSet)
        m_dataSet->DetachSource(this);
}

void TDataSource::SetDataSet(TDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->DetachSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->AttachSource(this);
    SendLayoutChanged();
    SendDataSetChanged();
}

void TDataSource::SetEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    SendDataSetChanged();
}

void TDataSource::AddLink(TDataLink *link)
{
    if (!m_links.contains(link))
        m_links.append(link);
}

void TDataSource::RemoveLink(TDataLink *link) { m_links.removeAll(link); }

void TDataSource::DataSetGone()
{
    m_dataSet = nullptr;
    SendLayoutChanged();
    SendDataSetChanged();
}

void TDataSource::SendDataSetChanged()
{
    if (!m_enabled && m_dataSet)
        return;
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        l->DataSetChanged();
    if (OnDataChange)
        OnDataChange(this, nullptr);
}

void TDataSource::SendScrolled()
{
    if (!m_enabled)
        return;
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        l->DataSetScrolled();
    if (OnDataChange)
        OnDataChange(this, nullptr);
}

void TDataSource::SendRecordChanged(TField *field)
{
    if (!m_enabled)
        return;
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        l->RecordChanged(field);
    if (OnDataChange)
        OnDataChange(this, field);
}

void TDataSource::SendStateChanged()
{
    if (!m_enabled)
        return;
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        l->StateChanged();
    if (OnStateChange)
        OnStateChange(this);
}

void TDataSource::SendLayoutChanged()
{
    const QList<TDataLink *> links = m_links;
    for (TDataLink *l : links)
        l->LayoutChanged();
}
