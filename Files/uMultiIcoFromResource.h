#pragma once
// The icon of a module file: the image of a named icon group whose size best
// fits the size asked for. The menu gives each entry the icon that the
// service's module file carries this way.
#include <QIcon>
#include <QImage>
#include <QString>

class TExeImage;

// How far an image of imageWidth x imageHeight is from width x height: the
// mean of the width and height differences and of the image's own
// oblongness. Group entries store 256 as 0.
double IconSizeDistance(int imageWidth, int imageHeight, int width, int height);

// The best-fitting image of the icon group `iconName` (compared whole and
// with letter case); a null image when the image has no such group.
QImage GetBestIconImage(TExeImage &image, const QString &iconName, int width, int height);

// Opens the file and returns a new icon holding that image; an icon without
// an image when the file has no such group. Raises EExeError when the file
// cannot be read. Needs the GUI application object (an icon holds pixmaps).
QIcon GetBestIconFromFile(const QString &fileName, const QString &iconName, int width, int height);
