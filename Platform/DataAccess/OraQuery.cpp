#include "DataAccess/OraQuery.h"

TOraQuery::~TOraQuery() = default;
TSmartQuery::~TSmartQuery() = default;
