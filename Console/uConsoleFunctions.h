#pragma once
// The console's own texts, the database translation routines, and the
// optional form library ComformLibs.so with its input dialog.
#include <QString>

class QObject;

// The console's built-in texts, in their fixed order. After login their
// Russian values are replaced once by their database translations.
enum TConsoleText {
    ctLibLoadFailed,
    ctFuncNotExists,
    ctIncorrectService,
    ctActiveOracleHome,
    ctAllLibraries,
    ctConfigServices,
    ctKeepAtTopEdge,
    ctToTopEdge,
    ctHideMinimized,
    ctHideMinimized2,
    ctShowLogo,
    ctToolBar,
    ctButtonSize,
    ctMenuSeparators,
    ctSelectServiceForItem,
    ctSyncRights,
    ctAccessRights,
    ctServiceNotSelected,
    ctNoNewServices,
    ctServiceListLoading,
    ctServiceRegistration,
    ctDeleteServiceQ,
    ctMenuSetup,
    ctMenuConfiguration,
    ctServiceList,
    ctAccessForUser,
    ctCreateAs,
    ctCreateAsQ,
    ctAddAccess,
    ctEditAccess,
    ctRenameMenu,
    ctDeleteMenu,
    ctDeleteMenuQ,
    ctAddMenu,
    ctAddMenuItem,
    ctDeleteMenuItem,
    ctDeleteMenuItemQ,
    ctRemoveServiceEverywhere,
    ctRemoveServiceEverywhereQ,
    ctButton,
    ctCannotDeleteUsersAttached,
    ctAutoUpdate,
    ctAutoUpdateLaunch,
    ctWaitingTimeExpired,
    ctUserNotRegistered,
    ctMenuConfigChanged,
    ctConsoleTextCount
};

// The text in the configured language (SelectText of its two values).
QString ConsoleText(TConsoleText text);
QString ConsoleTextRu(TConsoleText text);
QString ConsoleTextEn(TConsoleText text);
// Replaces the Russian values by their application-language translations
// (GET_RESOURCE_APL_TXT); without a language pack they stay.
void TranslateConsoleTexts();
// Back to the built-in values (when the console-functions unit finalises).
void ReleaseConsoleTexts();

// Database translation routines; each passes its text through unchanged
// while no language pack is in use.
QString TranslateAppText(const QString &text);
void ApplyAplText(QString &text);
QString TranslateToEnglish(const QString &text);
void ApplyAplEnText(QString &text);
QString TranslateFieldText(const QString &text, int flag, const QString &defaultText);
// Translates the texts of an object and what it holds into the English of the language pack, once; the
// mode is the translation walk's flags (2, the usual one: child widgets, menu items, listed actions).
void TranslateComponentTexts(QObject *component, int mode = 2);
// A widget gets the hint and the caption as its text, an action its hint and
// caption; other objects are left alone.
void SetComponentText(QObject *component, const QString &caption, const QString &hint);
void SetComponentText(QObject *component, const QString &text);

// The form library: loaded once when the unit initialises, unloaded at its end.
void InitConsoleFunctions();
void FinalizeConsoleFunctions();
bool ComFormLibLoaded();
// Looks an entry point up in the form library; reports a missing one.
bool ComFormLibLoad(const QString &entryName, void **address);
// An entry point of the form library, or null (without the library or the entry; nothing is shown).
void *ComFormLibEntry(const char *name);
// Asks for a text through the form library's dialog, or the standard one.
bool lumInputQuery(const QString &caption, const QString &prompt, const QString &okText, const QString &cancelText,
                   QString &value, int maxLength);
// The form library's file name on this platform.
QString ComFormLibFileName();
