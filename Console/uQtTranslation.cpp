#include "Console/uQtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

QString IsoLanguageOf(int langId)
{
    // Windows primary language ids of the languages Qt translates.
    switch (langId) {
    case 7:
        return QStringLiteral("de");
    case 9:
        return QStringLiteral("en");
    case 10:
        return QStringLiteral("es");
    case 12:
        return QStringLiteral("fr");
    case 16:
        return QStringLiteral("it");
    case 21:
        return QStringLiteral("pl");
    case 25:
        return QStringLiteral("ru");
    case 34:
        return QStringLiteral("uk");
    default:
        return QString();
    }
}

bool UseQtTranslation(int langId)
{
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    const QString iso = IsoLanguageOf(langId);
    if (iso.isEmpty() || iso == QLatin1String("en"))
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + iso, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}
