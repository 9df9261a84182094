// zverstamp: writes the version-stamp file of one installed product.
//
//   zverstamp <file.ver> <name> <major.minor.release.build> <yyyy-mm-dd> [--old]
//
// The current layout is 80 bytes: the name in the Windows code page (52
// bytes, zero-ended, at most 51 characters), four signed 32-bit numbers,
// 4 reserved bytes and the date as a double (days since 30 December 1899).
// --old writes the older 64-byte layout: the name in 51 bytes, four
// version bytes, 1 reserved byte and the date.
#include "Core/TextCodec.h"
#include "Files/uVerList.h"

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>

#include <cstdio>
#include <cstring>

namespace {

int Fail(const QString &message)
{
    std::fprintf(stderr, "zverstamp: %s\n", qPrintable(message));
    return 1;
}

void PutDouble(QByteArray &bytes, int offset, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, bytes.data() + offset);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool old = args.removeAll(QStringLiteral("--old")) > 0;
    if (args.size() != 4)
        return Fail(QStringLiteral("usage: zverstamp <file.ver> <name> <a.b.c.d> <yyyy-mm-dd> [--old]"));

    const QByteArray name = EncodeWindows1251(args[1]).left(51);
    const QStringList parts = args[2].split(QLatin1Char('.'));
    qint32 numbers[4];
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i) {
        numbers[i] = parts[i].toInt(&ok);
        ok = ok && (!old || (numbers[i] >= 0 && numbers[i] <= 255));
    }
    if (!ok)
        return Fail(QStringLiteral("\"%1\" is not a version of four numbers%2").arg(args[2], old ? " of 0..255" : ""));
    const QDate date = QDate::fromString(args[3], Qt::ISODate);
    if (!date.isValid())
        return Fail(QStringLiteral("\"%1\" is not a date yyyy-mm-dd").arg(args[3]));
    const double days = DaysFromDateTime(QDateTime(date, QTime(0, 0)));

    QByteArray stamp(old ? kOldVerFileSize : kVerFileSize, '\0');
    std::memcpy(stamp.data(), name.constData(), size_t(name.size()));
    if (old) {
        for (int i = 0; i < 4; ++i)
            stamp[51 + i] = char(quint8(numbers[i]));
        PutDouble(stamp, 56, days);
    } else {
        for (int i = 0; i < 4; ++i)
            qToLittleEndian(numbers[i], stamp.data() + 52 + 4 * i);
        PutDouble(stamp, 72, days);
    }

    QFile file(args[0]);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(stamp) != stamp.size())
        return Fail(QStringLiteral("cannot write \"%1\": %2").arg(args[0], file.errorString()));
    return 0;
}
