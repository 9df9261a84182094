#pragma once
// TOraQuery and TSmartQuery: data sets on a SQL statement. They differ only in
// name here; both carry the update and refresh texts of TOraDataSet.
#include "DataAccess/OraDataSet.h"

class PLATFORM_EXPORT TOraQuery : public TOraDataSet {
    Q_OBJECT
public:
    using TOraDataSet::TOraDataSet;
    ~TOraQuery() override;
};

class PLATFORM_EXPORT TSmartQuery : public TOraQuery {
    Q_OBJECT
public:
    using TOraQuery::TOraQuery;
    ~TSmartQuery() override;
};
