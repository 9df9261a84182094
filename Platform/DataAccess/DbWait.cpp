#include "DataAccess/DbWait.h"

#include "DataAccess/DataAccessLog.h"

#include <exception>

namespace {
TDbWaitIndicator *g_indicator = nullptr;
int g_workDepth = 0;
unsigned g_rowsSinceReport = 0;
// Rows between two reports: the report reads a clock, a row costs far less.
constexpr unsigned kRowsPerReport = 256;

// The indicator must not end the work it reports on.
template <typename Call>
void tell(Call call) noexcept
{
    if (!g_indicator)
        return;
    try {
        call(*g_indicator);
    } catch (const std::exception &e) {
        qCWarning(lcData) << "the wait indicator failed:" << e.what();
    } catch (...) {
        qCWarning(lcData) << "the wait indicator failed";
    }
}
} // namespace

TDbWaitIndicator::~TDbWaitIndicator()
{
    if (g_indicator == this)
        g_indicator = nullptr;
}

void SetDbWaitIndicator(TDbWaitIndicator *indicator) { g_indicator = indicator; }
TDbWaitIndicator *DbWaitIndicator() { return g_indicator; }

TDbWork::TDbWork()
{
    if (g_workDepth++ == 0)
        tell([](TDbWaitIndicator &i) { i.WorkStarted(); });
    else
        tell([](TDbWaitIndicator &i) { i.WorkGoesOn(); });
}

TDbWork::~TDbWork()
{
    if (--g_workDepth == 0)
        tell([](TDbWaitIndicator &i) { i.WorkEnded(); });
}

void DbWorkGoesOn()
{
    if (g_workDepth == 0 || ++g_rowsSinceReport < kRowsPerReport)
        return;
    g_rowsSinceReport = 0;
    tell([](TDbWaitIndicator &i) { i.WorkGoesOn(); });
}
