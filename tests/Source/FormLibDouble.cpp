// A stand-in for the form library ComformLibs.so: each entry writes what it
// was given into the property "formLibCall" of the grid's view, so that a
// test sees which entry a form called and with what. Built without
// FORMLIB_FULL it offers no entries at all.
#include "Source/ComUnits/uComFormLibs.h"

#include <QAbstractItemView>
#include <QString>

#define DOUBLE_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef FORMLIB_FULL
namespace {

void record(IDBGrid *grid, const QString &call)
{
    if (grid && grid->Grid())
        grid->Grid()->setProperty("formLibCall", call);
}

} // namespace

DOUBLE_EXPORT int _SortDBGridB(IDBGrid *grid, const char *hint)
{
    record(grid, QStringLiteral("sort|%1").arg(QString::fromUtf8(hint)));
    return 1;
}

// Searches the second column.
DOUBLE_EXPORT int _FindByDBGridExB(IDBGrid *grid, const char *hint, int *fieldIndex)
{
    record(grid, QStringLiteral("find|%1|%2").arg(QString::fromUtf8(hint)).arg(*fieldIndex));
    *fieldIndex = 1;
    return 1;
}

// Sets a filter: the mode comes back 1.
DOUBLE_EXPORT int _FilterByDBGridD(int *mode, IDBGrid *grid, const char *hint)
{
    record(grid, QStringLiteral("filter|%1|%2").arg(QString::fromUtf8(hint)).arg(*mode));
    *mode = 1;
    return 1;
}

DOUBLE_EXPORT int RunSelectGrid(IDBGrid *grid, int mode, const char *column, int flag)
{
    record(grid, QStringLiteral("select|%1|%2|%3").arg(mode).arg(QString::fromUtf8(column)).arg(flag));
    return 1;
}
#endif

#ifdef FORMLIB_PROGRESS
#include <QStringList>

namespace {

// What the progress window was told, in order.
QStringList g_progressLog;

// The user presses Cancel after the file numbered FORMLIB_CANCEL_AT (from 1; 0: never).
class TProgressDouble final : public IProgress {
public:
    explicit TProgressDouble(int cancelAt) : m_cancelAt(cancelAt) {}
    void BeforeFile(const char *fileName) override { g_progressLog << QStringLiteral("before ") + fileName; }
    bool AfterFile(const char *fileName) override
    {
        g_progressLog << QStringLiteral("after ") + fileName;
        return ++m_done != m_cancelAt;
    }
    void Release() override
    {
        g_progressLog << QStringLiteral("release");
        delete this;
    }

private:
    ~TProgressDouble() = default;
    int m_cancelAt;
    int m_done = 0;
};

} // namespace

DOUBLE_EXPORT int GetIProgress(IProgress **progress, const char *caption, int count)
{
    g_progressLog = QStringList{QStringLiteral("open %1 %2").arg(QString::fromUtf8(caption)).arg(count)};
    *progress = new TProgressDouble(qEnvironmentVariableIntValue("FORMLIB_CANCEL_AT"));
    return 1;
}

DOUBLE_EXPORT const QStringList *ProgressLog() { return &g_progressLog; }
#endif
