// zwaitpic: paints the splash picture and saves it as a JPEG file.
//
//   zwaitpic <WaitPic.jpg> <caption> <version>
//
// Runs without a display (QT_QPA_PLATFORM=offscreen); the JPEG writer is
// Qt's image plugin, which encodes with the system's libjpeg.
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>

namespace {

constexpr int kWidth = 470;
constexpr int kHeight = 260;

QImage Paint(const QString &caption, const QString &version)
{
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(28, 58, 108));
    sky.setColorAt(1, QColor(8, 18, 40));
    painter.fillRect(picture.rect(), sky);

    QRadialGradient glow(QPointF(kWidth * 0.78, kHeight * 0.3), kHeight * 0.6);
    glow.setColorAt(0, QColor(90, 150, 220, 140));
    glow.setColorAt(1, QColor(90, 150, 220, 0));
    painter.fillRect(picture.rect(), glow);

    painter.setPen(QPen(QColor(120, 170, 230, 90), 2));
    for (int i = 0; i < 6; ++i)
        painter.drawLine(0, kHeight - 30 - i * 14, kWidth, kHeight - 70 - i * 22);

    QFont title = painter.font();
    title.setPixelSize(42);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(QColor(236, 242, 250));
    painter.drawText(QRect(24, 60, kWidth - 48, 60), Qt::AlignLeft | Qt::AlignVCenter, caption);

    QFont small = painter.font();
    small.setPixelSize(16);
    small.setBold(false);
    painter.setFont(small);
    painter.setPen(QColor(170, 196, 230));
    painter.drawText(QRect(26, 120, kWidth - 48, 30), Qt::AlignLeft | Qt::AlignVCenter, version);
    return picture;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: zwaitpic <WaitPic.jpg> <caption> <version>\n");
        return 1;
    }
    if (!QImageWriter::supportedImageFormats().contains("jpeg")) {
        std::fprintf(stderr, "zwaitpic: Qt's JPEG image plugin is missing (Debian package libqt6gui6)\n");
        return 1;
    }
    QImageWriter writer(args[0], "jpeg");
    writer.setQuality(90);
    if (!writer.write(Paint(args[1], args[2]))) {
        std::fprintf(stderr, "zwaitpic: cannot write %s: %s\n", qPrintable(args[0]), qPrintable(writer.errorString()));
        return 1;
    }
    return 0;
}
