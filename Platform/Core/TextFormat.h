#pragma once
// Format strings in the style the console's texts are written in: "%s" and
// "%d" take the next argument in order, "%%" is a percent sign. Missing
// arguments leave their placeholder as it stands, so that a translated text
// with a wrong placeholder count still shows something readable.
#include "Core/PlatformExport.h"

#include <QString>
#include <QStringList>

#include <type_traits>

PLATFORM_EXPORT QString FormatText(const QString &format, const QStringList &args);

template <typename... Args>
QString Fmt(const QString &format, const Args &...args)
{
    auto toText = [](const auto &v) -> QString {
        if constexpr (std::is_convertible_v<decltype(v), QString>)
            return QString(v);
        else
            return QString::number(v);
    };
    return FormatText(format, QStringList{toText(args)...});
}

// Menus, tool buttons and buttons read "&" as the mark of a mnemonic: a text
// of the data (a group's or a service's caption) shows as typed once each
// "&" is doubled. PlainCaption reads such a caption back as it shows: a
// mnemonic mark dropped, "&&" as "&".
PLATFORM_EXPORT QString EscapeMnemonics(const QString &text);
PLATFORM_EXPORT QString PlainCaption(const QString &caption);
