// zconsoleicon: the console's own icon, painted at build time.
//   zconsoleicon <Data/ConsoleIcon.ico> <KorConsole.png>
// The icon file holds every size a desktop asks for (16 to 256 pixels), each
// as a PNG entry of the icon directory; the PNG is the 256-pixel picture for
// the desktop entry.
#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cstdio>

namespace {

// A narrow window across the top (the console) above a row of service buttons.
QImage paintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal margin = s / 16.0;
    const QRectF body(margin, margin, s - 2 * margin, s - 2 * margin);
    QLinearGradient back(body.topLeft(), body.bottomLeft());
    back.setColorAt(0, QColor(0x1f, 0x5f, 0xaf));
    back.setColorAt(1, QColor(0x0d, 0x2f, 0x66));
    QPainterPath rounded;
    rounded.addRoundedRect(body, s / 7.0, s / 7.0);
    p.fillPath(rounded, back);

    // The console's window: a title strip and a menu line.
    const QRectF bar(body.left() + s / 8.0, body.top() + s / 6.0, body.width() - s / 4.0, s / 4.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf5, 0xf8, 0xfc));
    p.drawRoundedRect(bar, s / 32.0, s / 32.0);
    p.setBrush(QColor(0x3d, 0x8b, 0xfd));
    p.drawRect(QRectF(bar.left(), bar.top(), bar.width(), bar.height() / 3.0));

    // Three service buttons below it.
    const QColor tiles[] = {QColor(0xff, 0xb3, 0x00), QColor(0x43, 0xa0, 0x47), QColor(0xe5, 0x39, 0x35)};
    const qreal gap = s / 16.0;
    const qreal tile = (bar.width() - 2 * gap) / 3.0;
    for (int i = 0; i < 3; ++i) {
        p.setBrush(tiles[i]);
        p.drawRoundedRect(QRectF(bar.left() + i * (tile + gap), bar.bottom() + s / 8.0, tile, tile), s / 40.0,
                          s / 40.0);
    }
    return image;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// ICONDIR, then one ICONDIRENTRY per image, then the PNG data.
QByteArray iconFile(const QList<int> &sizes)
{
    QList<QByteArray> images;
    for (int size : sizes)
        images.append(pngOf(paintIcon(size)));
    QByteArray out;
    put16(out, 0);
    put16(out, 1); // icon
    put16(out, quint16(sizes.size()));
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (int i = 0; i < sizes.size(); ++i) {
        out.append(char(sizes[i] >= 256 ? 0 : sizes[i])); // 0 stands for 256
        out.append(char(sizes[i] >= 256 ? 0 : sizes[i]));
        out.append(char(0)); // no palette
        out.append(char(0));
        put16(out, 1);  // planes
        put16(out, 32); // bits per pixel
        put32(out, quint32(images[i].size()));
        put32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray &image : images)
        out.append(image);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: zconsoleicon <ConsoleIcon.ico> <KorConsole.png>\n");
        return 2;
    }
    if (!writeFile(QString::fromLocal8Bit(argv[1]), iconFile({16, 24, 32, 48, 64, 128, 256})) ||
        !writeFile(QString::fromLocal8Bit(argv[2]), pngOf(paintIcon(256)))) {
        std::fprintf(stderr, "zconsoleicon: cannot write the icon files\n");
        return 1;
    }
    return 0;
}
