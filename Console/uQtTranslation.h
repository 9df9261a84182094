#pragma once
// Qt's own texts (standard buttons, file dialogs, the print preview, the
// context menus of edits) in the console's language, from Qt's translations.
#include <QString>

// The ISO code of a Windows primary language id (25 "ru", 9 "en"), empty when unknown.
QString IsoLanguageOf(int langId);
// Installs Qt's translation for the language, replacing the previous one;
// English and unknown languages use Qt's built-in texts. False when the
// language has a translation that could not be loaded.
bool UseQtTranslation(int langId);
