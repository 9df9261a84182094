#pragma once
// The services the registration window read from the module files: an owning
// list of service entries, each with the icon its module gave (copied out of
// the module, so it outlives it).
#include "Source/ComUnits/uBaseService.h"

#include <QIcon>
#include <QList>

#include <memory>

class TServiceListView : public TBaseServiceList {
public:
    // Appends the entry with its icon (a null icon: the service has none) and returns its index.
    int Add(std::unique_ptr<TBaseService> &&service, const QIcon &icon = QIcon());
    // The icon of the entry at the index; null when the service has none.
    QIcon Icon(int index) const;
    void Clear();

private:
    QList<QIcon> m_icons;
};
