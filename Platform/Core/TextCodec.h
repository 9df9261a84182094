#pragma once
// Decoding of the text files that a Windows installation may leave behind:
// UTF-8 (with or without a byte-order mark), UTF-16 with a byte-order mark,
// and anything that is not valid UTF-8 read as Windows-1251.
#include "Core/PlatformExport.h"

#include <QByteArray>
#include <QString>

PLATFORM_EXPORT bool IsValidUtf8(const QByteArray &bytes);
PLATFORM_EXPORT QString DecodeWindows1251(const QByteArray &bytes);
PLATFORM_EXPORT QByteArray EncodeWindows1251(const QString &text);
PLATFORM_EXPORT QString DecodeTextFile(const QByteArray &bytes);
