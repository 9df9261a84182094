#include "Console/uConsoleVersion.h"

#include "Console/uConsoleLog.h"
#include "Files/uFileVersion.h"
#include "Files/uVersionInfo.h"

#include <QCoreApplication>

TConsoleVersionInfo ConsoleVersionInfo() { return ConsoleVersionInfoOf(QCoreApplication::applicationFilePath()); }

TConsoleVersionInfo ConsoleVersionInfoOf(const QString &programFile)
{
    std::optional<TVersionInfo> version;
    try {
        version = TVersionInfo::FromFile(programFile);
    } catch (const EExeError &e) {
        // A damaged version resource gives no values, as a missing one does.
        qCWarning(lcConsole) << "the console's version resource is damaged:" << e.message();
    }
    TConsoleVersionInfo info;
    if (!version)
        return info;
    const QString block = QLatin1String(kVersionBlock);
    info.InternalName = version->StringValue(block, QStringLiteral("InternalName"));
    info.FileDescription = version->StringValue(block, QStringLiteral("FileDescription"));
    info.FileVersion = version->StringValue(block, QStringLiteral("FileVersion"));
    info.LegalCopyright = version->StringValue(block, QStringLiteral("LegalCopyright"));
    info.ProductVersion = version->StringValue(block, QStringLiteral("ProductVersion"));
    info.Comments = version->StringValue(block, QStringLiteral("Comments"));
    return info;
}
