#pragma once
// The language package: the shared resource strings (rstr...) with their
// built-in Russian and English texts, the language data module of a scheme
// (TLanguagesDM) and the functions that translate through it.
//
// A resource string's current text is its built-in Russian text until
// IniResString loads the texts of the user's application language from the
// language data module. Without a language pack (GetComLanguages() is null)
// every translation passes its text through unchanged.
#include "Core/PlatformExport.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TOraSession;

// One shared resource string.
struct TResString {
    const char *id;
    const char *ru;
    const char *en;
};

// The current text of a resource string ("rstrNotification"); an unknown id is returned as it is.
PLATFORM_EXPORT QString ResStr(const QString &id);
PLATFORM_EXPORT QString ResStrRu(const QString &id);
PLATFORM_EXPORT QString ResStrEn(const QString &id);
PLATFORM_EXPORT bool ResStrExists(const QString &id);
PLATFORM_EXPORT QStringList ResStrIds();
// Back to the built-in Russian texts (when the language pack goes away).
PLATFORM_EXPORT void ResetResStrings();

// The platform's own readable texts (faults of its configuration files) in
// the program's language. The program installs how it picks a text from the
// built-in Russian and English ones (and where its language files override
// them); until then the English text is used.
using TPlatformTextProc = QString (*)(const QString &id, const QString &russian, const QString &english);
PLATFORM_EXPORT void SetPlatformTextProc(TPlatformTextProc proc);
// The text of a resource string for the user, by the installed choice.
PLATFORM_EXPORT QString PlatformText(const QString &id);

// The language data module of one scheme: texts of the user's languages.
class PLATFORM_EXPORT TLanguagesDM : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TLanguagesDM() override;

    // The text for an identifier in the user's application language, or in English.
    virtual QString GET_RESOURCE_APL_TXT(const QString &id) = 0;
    virtual QString GET_RESOURCE_APL_EN_TXT(const QString &id) = 0;
    // A field's caption in the user's language.
    virtual QString GET_RESOURCE_APL_TXT_OF_FIELD(const QString &id, int flag, const QString &defaultText) = 0;
    // Translates a text in place; without a translation it may come back empty or unchanged.
    virtual void RESOURCE_APL_TXT(QString &text) = 0;
    virtual bool IsNecessaryAplTrans() = 0;
    virtual bool IsNecessaryRepTrans() = 0;
    virtual int GET_USER_APL_LANG_ID() = 0;
    virtual int GET_USER_REP_LANG_ID() = 0;
    virtual void SET_USER_APL_LANG(int lang, int subLang) = 0;
    virtual void SET_USER_REP_LANG(int lang, int subLang) = 0;
    // The session on which the pack runs its statements.
    virtual TOraSession *Connection() const = 0;
    // Texts that translation must leave as they are.
    QStringList UntranslatedTexts;
};

// The language data module in use, or null when no language pack is in use.
PLATFORM_EXPORT TLanguagesDM *GetComLanguages();
// Installs (not owned; it belongs to the owner it was created for) or removes the module.
PLATFORM_EXPORT void SetComLanguages(TLanguagesDM *languages);

// Creates the language data module for a scheme on a session; afterwards
// GetComLanguages() returns it. Fails with the database's error.
PLATFORM_EXPORT TLanguagesDM *CreateComLanguages(QObject *owner, const QString &scheme, TOraSession *session);
// True when the scheme holds the language pack.
PLATFORM_EXPORT bool ExistsLangPack(const QString &scheme, TOraSession *session);
// Loads the resource strings' texts in the user's application language.
PLATFORM_EXPORT void IniResString();

// The text of a resource string in the user's application language.
PLATFORM_EXPORT QString TranslateAplText(const QString &resStringId);
// Whether the user's application language is Russian (also without a language pack);
// every other language gets the English texts and formats.
PLATFORM_EXPORT bool UserWorksInRussian();
// The Russian or the English text, whichever suits the user's application language.
PLATFORM_EXPORT QString CaseMessageTxt(const QString &russian, const QString &english);
// A text in the user's application language as the language pack has it (GET_RESOURCE_APL_TXT);
// the text itself without a pack or where the pack has nothing for it.
PLATFORM_EXPORT QString PackAplText(const QString &text);
// A text of the program's own with its built-in English: the pack's translation of the
// Russian text where the pack knows it, else the built-in text of the user's language.
PLATFORM_EXPORT QString PackAplText(const QString &russian, const QString &english);
// True when the text holds a Cyrillic letter.
PLATFORM_EXPORT bool RusCharExists(const QString &text);
