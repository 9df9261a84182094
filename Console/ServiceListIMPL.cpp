#include "Console/ServiceListIMPL.h"

int TServiceListView::Add(std::unique_ptr<TBaseService> &&service, const QIcon &icon)
{
    m_icons.append(icon);
    return TBaseServiceList::Add(std::move(service));
}

QIcon TServiceListView::Icon(int index) const
{
    Items(index);
    return m_icons.at(index);
}

void TServiceListView::Clear()
{
    TBaseServiceList::Clear();
    m_icons.clear();
}
