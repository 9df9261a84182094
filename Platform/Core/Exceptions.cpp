#include "Core/Exceptions.h"

#include <QFileInfo>

Exception::~Exception() = default;

QString UnitNameOfSource(const char *file)
{
    // The unit is named by its path below the project root, as in "Source/ComUnits/uBaseService".
    const QString path = QString::fromUtf8(file).replace(QLatin1Char('\\'), QLatin1Char('/'));
    static const char *const roots[] = {"/Console/", "/Source/", "/Platform/", "/Files/",
                                        "/Modules/", "/tools/",  "/tests/"};
    int best = -1;
    for (const char *root : roots) {
        const int at = path.lastIndexOf(QLatin1String(root));
        if (at > best)
            best = at;
    }
    QString unit = best >= 0 ? path.mid(best + 1) : QFileInfo(path).fileName();
    const int dot = unit.lastIndexOf(QLatin1Char('.'));
    if (dot > unit.lastIndexOf(QLatin1Char('/')))
        unit.truncate(dot);
    return unit;
}

QString AssertionText(const QString &message, const char *file, int line)
{
    return QStringLiteral("%1 (%2, line %3)").arg(message, UnitNameOfSource(file)).arg(line);
}

QString ExceptionMessage(const std::exception &e)
{
    if (auto *ours = dynamic_cast<const Exception *>(&e))
        return ours->message();
    return QString::fromLocal8Bit(e.what());
}
