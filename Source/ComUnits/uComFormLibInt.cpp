#include "Source/ComUnits/uComFormLibInt.h"

#include "Core/Exceptions.h"
#include "Source/ComUnits/uComFormLibs.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uComLog.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <memory>

namespace ComFormLibs {

namespace {

std::unique_ptr<QLibrary> g_library;

QLibrary &loadLib()
{
    if (g_library && g_library->isLoaded())
        return *g_library;
    const QString path = LibraryPath();
    if (!QFileInfo(path).isFile())
        throw Exception(QStringLiteral("uComFormLibInt.LoadLib: \"%1\" library is not found").arg(path));
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load())
        throw EOSError(library->errorString());
    qCDebug(lcCom) << "form library loaded:" << path;
    g_library = std::move(library);
    return *g_library;
}

template <typename TEntry>
TEntry entry(const char *name)
{
    auto *address = reinterpret_cast<TEntry>(loadLib().resolve(name));
    Z_ASSERT(address, QStringLiteral("uComFormLibInt: \"%1\" procedure not found in %2")
                          .arg(QString::fromLatin1(name), LibraryFileName()));
    return address;
}

} // namespace

QString LibraryFileName() { return QStringLiteral("ComformLibs.so"); }

QString LibraryPath() { return QDir(ProgramFolder()).filePath(LibraryFileName()); }

void FreeLibrary()
{
    if (g_library)
        g_library->unload();
    g_library.reset();
}

bool SortDBGridB(IDBGrid *grid, const QString &hint)
{
    return entry<TSortDBGridB>("_SortDBGridB")(grid, hint.toUtf8().constData()) != 0;
}

bool FindByDBGridExB(IDBGrid *grid, const QString &hint, int &fieldIndex)
{
    return entry<TFindByDBGridExB>("_FindByDBGridExB")(grid, hint.toUtf8().constData(), &fieldIndex) != 0;
}

bool FilterByDBGridD(int &mode, IDBGrid *grid, const QString &hint)
{
    return entry<TFilterByDBGridD>("_FilterByDBGridD")(&mode, grid, hint.toUtf8().constData()) != 0;
}

bool GridReport(IDBGrid *grid, IDBGrid *masterGrid, const QString &hint, const QString &masterHint,
                const QString &title)
{
    return entry<TGridReport>("GridReport")(grid, masterGrid, hint.toUtf8().constData(),
                                            masterHint.toUtf8().constData(), title.toUtf8().constData()) != 0;
}

bool RunSelectGrid(IDBGrid *grid, int mode, const QString &column, int flag)
{
    return entry<TRunSelectGrid>("RunSelectGrid")(grid, mode, column.toUtf8().constData(), flag) != 0;
}

bool RunMySelect(TDataSet *dataSet, int mode, const QRect &area, const QString &column, int flag)
{
    return entry<TRunMySelect>("RunMySelect")(dataSet, mode, area.left(), area.top(), area.right(), area.bottom(),
                                              column.toUtf8().constData(), flag) != 0;
}

} // namespace ComFormLibs
