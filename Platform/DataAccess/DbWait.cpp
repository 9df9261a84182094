#include "DataAccess/DbWait.h"

namespace {
TDbWaitIndicator *g_indicator = nullptr;
}

TDbWaitIndicator::~TDbWaitIndicator()
{
    if (g_indicator == this)
        g_indicator = nullptr;
}

void SetDbWaitIndicator(TDbWaitIndicator *indicator) { g_indicator = indicator; }
TDbWaitIndicator *DbWaitIndicator() { return g_indicator; }
