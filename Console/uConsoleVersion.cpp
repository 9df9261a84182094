#include "uConsoleVersion.h"

#ifndef KORCONSOLE_VERSION
#error "KORCONSOLE_VERSION must be given by the build (the project's version)"
#endif

TConsoleVersionInfo ConsoleVersionInfo()
{
    TConsoleVersionInfo info;
    info.InternalName = QStringLiteral("KorConsole");
    info.FileDescription = QStringLiteral("Консоль сервисов");
    info.FileVersion = QStringLiteral(KORCONSOLE_VERSION);
    info.LegalCopyright = QStringLiteral("© Zandrell");
    info.ProductVersion = QStringLiteral(KORCONSOLE_VERSION);
    info.Comments = QString();
    return info;
}
