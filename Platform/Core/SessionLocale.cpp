#include "Core/SessionLocale.h"

#include "Core/ResourcePack.h"

QLocale SessionLocale()
{
    static const QLocale russian(QLocale::Russian, QLocale::Russia);
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return UserWorksInRussian() ? russian : english;
}

QString DateFormatOf(const QLocale &locale)
{
    if (locale.language() == QLocale::Russian)
        return QStringLiteral("dd.MM.yyyy");
    if (locale.language() == QLocale::English && locale.territory() == QLocale::UnitedStates)
        return QStringLiteral("MM/dd/yyyy");
    // Another locale keeps its order and separators, with every date the same width.
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    if (!format.contains(QLatin1String("dd")))
        format.replace(QLatin1Char('d'), QLatin1String("dd"));
    if (!format.contains(QLatin1String("MM")))
        format.replace(QLatin1Char('M'), QLatin1String("MM"));
    return format;
}

QString TimeFormatOf(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

QString PlainNumberText(double value, const QLocale &locale)
{
    QLocale plain(locale);
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', QLocale::FloatingPointShortest);
}
