#pragma once
// TDbLanguagesDM: the language data module of a scheme whose language pack
// lives in the database (the scheme's LANG_PACK package and its tables). The
// texts of a language are read in one statement the first time one of them
// is asked for and kept (a menu asks for two per service); where the tables
// cannot be read the package is asked text by text. A change of the user's
// language forgets what was kept.
#include "Core/ResourcePack.h"

#include <QHash>

class TOraSession;

class PLATFORM_EXPORT TDbLanguagesDM : public TLanguagesDM {
    Q_OBJECT
public:
    // Reads the user's languages and the texts that stay untranslated; fails with the database's error.
    TDbLanguagesDM(QObject *owner, const QString &scheme, TOraSession *session);
    ~TDbLanguagesDM() override;

    const QString &Scheme() const { return m_scheme; }

    // The text in the user's application language; the identifier itself when the pack has none.
    QString GET_RESOURCE_APL_TXT(const QString &id) override;
    // The English text; the identifier itself when the pack has none.
    QString GET_RESOURCE_APL_EN_TXT(const QString &id) override;
    // A field's caption: the identifier's text in the user's language, else the default text.
    QString GET_RESOURCE_APL_TXT_OF_FIELD(const QString &id, int flag, const QString &defaultText) override;
    // Without a translation the text comes back empty.
    void RESOURCE_APL_TXT(QString &text) override;
    bool IsNecessaryAplTrans() override;
    bool IsNecessaryRepTrans() override;
    int GET_USER_APL_LANG_ID() override { return m_aplLang; }
    int GET_USER_REP_LANG_ID() override { return m_repLang; }
    // Stores the user's language and commits.
    void SET_USER_APL_LANG(int lang, int subLang) override;
    void SET_USER_REP_LANG(int lang, int subLang) override;
    TOraSession *Connection() const override { return m_session; }

    // The pack's text for a key, null when it has none (kept).
    QVariant PackText(const QString &function, const QString &key);

private:
    void LoadUserLanguages();
    QVariant CallFunction(const QString &function, const QVariantList &args);
    // Every text of a language, read once; null when the tables cannot be read.
    const QHash<QString, QString> *LanguageTexts(int lang);
    void ForgetTexts();

    QString m_scheme;
    TOraSession *m_session;
    int m_aplLang = 25;
    int m_repLang = 25;
    QHash<QString, QVariant> m_cache;            // answers of the package, by function and key
    QHash<int, QHash<QString, QString>> m_texts; // the texts of each language read so far, by key
    bool m_textTablesReadable = true;
};
