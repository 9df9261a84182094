#pragma once
// Choice of catalogue services, with their rights, for new menu items.
#include "Source/ComUnits/uBaseService.h"

#include <QString>
#include <QVector>

#include <functional>

using TSrvItemArray = QVector<TSrvItem>;
using TSrvModeArray = QVector<QString>;
// True for a catalogue service id that may still be offered.
using TSrvCheck = std::function<bool(int itemId)>;

// Offers the services that check accepts; on OK fills items and modes (same
// length, same order: one rights string per chosen service) and returns true.
bool ChooseServices(TSrvItemArray &items, TSrvModeArray &modes, const TSrvCheck &check);
