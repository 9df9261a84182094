#include "Ui/ResourceLibrary.h"

#include "Ui/UiLog.h"

#include <QBitmap>
#include <QColor>
#include <QFile>
#include <QLibrary>

#include <memory>

namespace {
std::unique_ptr<QLibrary> g_library;
}

QString ResourceLibraryFileName() { return QStringLiteral("LumRes.so"); }

bool LoadResourceLibrary(const QString &path)
{
    FreeResourceLibrary();
    if (!QFile::exists(path))
        return false;
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        // The windows go on without the library's pictures.
        qCWarning(lcUi) << "the resource library is not loaded:" << library->errorString();
        return false;
    }
    g_library = std::move(library);
    return true;
}

void FreeResourceLibrary()
{
    if (g_library) {
        g_library->unload();
        g_library.reset();
    }
}

bool ResourceLibraryLoaded() { return g_library != nullptr; }

QPixmap ResourceBitmap(int id)
{
    if (!g_library)
        return {};
    for (const char *ext : {".xpm", ".png", ".bmp"}) {
        const QString name = QStringLiteral(":/LumRes/%1%2").arg(id).arg(QLatin1String(ext));
        if (QFile::exists(name))
            return QPixmap(name);
    }
    return {};
}

QIcon ResourceGlyph(int id)
{
    QPixmap picture = ResourceBitmap(id);
    if (picture.isNull())
        return QIcon();
    picture.setMask(picture.createMaskFromColor(QColor(0xFF, 0x00, 0xFF)));
    return QIcon(picture);
}
