#include "Files/uMultiIcoFromResource.h"

#include "Files/uPE32Image.h"

#include <QPixmap>

#include <cmath>
#include <limits>

double IconSizeDistance(int imageWidth, int imageHeight, int width, int height)
{
    // A width or height byte of 0 means 256 pixels.
    const double w = imageWidth == 0 ? 256 : imageWidth;
    const double h = imageHeight == 0 ? 256 : imageHeight;
    return (std::fabs(w - width) + std::fabs(h - height) + std::fabs(w - h)) / 3;
}

namespace {

// The first icon group (type 14) named `iconName` below an "Icon" type item.
TIconResource *FindIconGroup(TExeImage &image, const QString &iconName)
{
    TResourceList *types = image.Resources();
    for (int t = 0; t < types->Count(); ++t) {
        TResourceItem *type = types->Items(t);
        if (type->Name() != QLatin1String("Icon"))
            continue;
        TResourceList *groups = type->List();
        for (int i = 0; i < groups->Count(); ++i) {
            TResourceItem *group = groups->Items(i);
            if (group->ResType() == rtIcon && group->Name() == iconName)
                return dynamic_cast<TIconResource *>(group);
        }
    }
    return nullptr;
}

} // namespace

QImage GetBestIconImage(TExeImage &image, const QString &iconName, int width, int height)
{
    TIconResource *group = FindIconGroup(image, iconName);
    if (!group)
        return {};
    // The lowest score wins; among equal scores the earliest image.
    TIconResEntry *best = nullptr;
    double bestScore = std::numeric_limits<qint32>::max();
    TResourceList *images = group->List();
    for (int i = 0; i < images->Count(); ++i) {
        auto *entry = dynamic_cast<TIconResEntry *>(images->Items(i));
        if (!entry || entry->ResType() != rtIconEntry)
            continue;
        const QSize size = entry->GroupImageSize();
        const double score = IconSizeDistance(size.width(), size.height(), width, height);
        if (score < bestScore) {
            bestScore = score;
            best = entry;
        }
    }
    QImage picture;
    if (best)
        best->AssignTo(picture);
    return picture;
}

QIcon GetBestIconFromFile(const QString &fileName, const QString &iconName, int width, int height)
{
    TExeImage image(fileName);
    const QImage picture = GetBestIconImage(image, iconName, width, height);
    if (picture.isNull())
        return {};
    return QIcon(QPixmap::fromImage(picture));
}
