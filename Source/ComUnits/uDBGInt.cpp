#include "Source/ComUnits/uDBGInt.h"

#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uComLog.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <memory>

namespace DBGInt {

namespace {

std::unique_ptr<QLibrary> g_library;
bool g_tried = false;

void report(const QString &text) { ShowDialogMessage(text, MsgBoxCaption(1), MsgBoxFlags(1)); }

} // namespace

QString LibraryFileName() { return QStringLiteral("DBG.so"); }

// By its full path: a library of the same name elsewhere on the search path is never taken.
QString LibraryPath() { return QDir(ProgramFolder()).filePath(LibraryFileName()); }

QString MissingEntryText()
{
    return QStringLiteral("uDBGInt: ") + TranslateAplText(QStringLiteral("rstr_msg_NorFoundProcedure")) +
           QLatin1Char(' ') + LibraryFileName() + QStringLiteral(": \"") + QLatin1String(kDBGInitialize) +
           QStringLiteral("\".");
}

bool LoadDBG(QWidget *mainWindow)
{
    if (g_tried)
        return DBGLoaded();
    g_tried = true;
    const QString path = LibraryPath();
    if (!QFileInfo(path).isFile()) {
        qCDebug(lcCom) << "no debugging library:" << path;
        return false;
    }
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        report(QStringLiteral("uDBGInt: ") + library->errorString());
        return false;
    }
    qCInfo(lcCom) << "debugging library loaded:" << path;
    g_library = std::move(library);
    if (auto entry = reinterpret_cast<TDBGInitialize>(g_library->resolve(kDBGInitialize)))
        entry(mainWindow);
    else
        report(MissingEntryText());
    return true;
}

bool DBGLoaded() { return g_library && g_library->isLoaded(); }

void FreeDBG()
{
    if (g_library)
        g_library->unload();
    g_library.reset();
    g_tried = false;
}

} // namespace DBGInt
