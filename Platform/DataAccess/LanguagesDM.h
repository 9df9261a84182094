#pragma once
// TDbLanguagesDM: the language data module of a scheme whose language pack
// lives in the database (the scheme's LANG_PACK package). Texts are asked of
// the package once and kept; a change of the user's language forgets them.
#include "ResourcePack.h"

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

    // The pack's text for a key, null when it has none (cached).
    QVariant PackText(const QString &function, const QString &key);

private:
    void LoadUserLanguages();
    QVariant CallFunction(const QString &function, const QVariantList &args);

    QString m_scheme;
    TOraSession *m_session;
    int m_aplLang = 25;
    int m_repLang = 25;
    QHash<QString, QVariant> m_cache;
};
