#include "Ui/Mnemonics.h"

#include <QAction>
#include <QMenu>

QChar MnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) != QLatin1Char('&'))
            return caption.at(i + 1).toLower();
        ++i;
    }
    return QChar();
}

namespace {

// The text as the menu shows it: without the mark, "&&" as one ampersand.
QString displayed(const QString &caption)
{
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        text += caption.at(i);
    }
    return text;
}

QString escaped(QString text) { return text.replace(QLatin1String("&"), QLatin1String("&&")); }

} // namespace

QString WithoutMnemonic(const QString &caption) { return escaped(displayed(caption)); }

QString WithMnemonic(const QString &caption, const QString &taken)
{
    const QChar own = MnemonicOf(caption);
    if (!own.isNull() && !taken.contains(own))
        return caption;
    const QString plain = displayed(caption);
    const auto free = [&](qsizetype i) {
        const QChar c = plain.at(i);
        return c.isLetterOrNumber() && !taken.contains(c.toLower());
    };
    const auto marked = [&](qsizetype i) { return escaped(plain.left(i)) + QLatin1Char('&') + escaped(plain.mid(i)); };
    for (qsizetype i = 0; i < plain.size(); ++i)
        if ((i == 0 || !plain.at(i - 1).isLetterOrNumber()) && free(i))
            return marked(i);
    for (qsizetype i = 0; i < plain.size(); ++i)
        if (free(i))
            return marked(i);
    return escaped(plain);
}

void AssignMnemonics(const QList<QAction *> &actions)
{
    QString taken;
    // Items that have a free mnemonic keep it; the others get one after them.
    QList<QAction *> without;
    for (QAction *action : actions) {
        if (action->isSeparator())
            continue;
        const QChar own = MnemonicOf(action->text());
        if (own.isNull() || taken.contains(own))
            without << action;
        else
            taken += own;
    }
    for (QAction *action : std::as_const(without)) {
        const QString text = WithMnemonic(action->text(), taken);
        const QChar own = MnemonicOf(text);
        if (!own.isNull())
            taken += own;
        action->setText(text);
    }
    for (QAction *action : actions)
        if (QMenu *menu = action->menu())
            AssignMnemonics(menu->actions());
}
