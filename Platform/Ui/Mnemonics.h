#pragma once
// Mnemonics of menus: every item of a menu has one ("&Файл" is opened with
// Alt+Ф), unique among the items of its menu, in whatever language the menu
// is written. Captions from the database and the language pack come without
// one; they get the first free letter, a word's first letter first.
#include "Core/PlatformExport.h"

#include <QList>
#include <QString>

class QAction;

// The letter a caption's mnemonic marks, in lower case; a null character without one ("&&" is an ampersand).
PLATFORM_EXPORT QChar MnemonicOf(const QString &caption);
// The caption without its mnemonic mark ("&&" stays).
PLATFORM_EXPORT QString WithoutMnemonic(const QString &caption);
// The caption with a mnemonic on a letter or digit not among `taken` (lower case): a word's first
// letter first, then any other; without a mnemonic when none is free.
PLATFORM_EXPORT QString WithMnemonic(const QString &caption, const QString &taken);
// Gives every item of the actions a mnemonic unique among them, and so on down their sub-menus;
// an item whose mnemonic is still free keeps it.
PLATFORM_EXPORT void AssignMnemonics(const QList<QAction *> &actions);
