#pragma once
// Registration of services from the module files in the program's folder.
#include <QString>

#include <functional>

class TBaseServiceList;

// True for an identifier the caller leaves out (typically one already in the catalogue).
using TLoaderFilter = std::function<bool(const QString &guid)>;

// Reads every module of the program's folder, lets the user tick the services
// found and appends copies of the ticked ones to list. True when confirmed.
bool ShowLoader(TBaseServiceList &list, const TLoaderFilter &filter);
