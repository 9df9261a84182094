#include "Core/TextFormat.h"

QString FormatText(const QString &format, const QStringList &args)
{
    QString out;
    out.reserve(format.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out.append(c);
            continue;
        }
        const QChar kind = format.at(i + 1);
        if (kind == QLatin1Char('%')) {
            out.append(QLatin1Char('%'));
            ++i;
        } else if ((kind == QLatin1Char('s') || kind == QLatin1Char('d')) && next < args.size()) {
            out.append(args.at(next++));
            ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

QString EscapeMnemonics(const QString &text)
{
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString PlainCaption(const QString &caption)
{
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        plain += caption.at(i);
    }
    return plain;
}
