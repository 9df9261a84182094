#pragma once
// A language data module without a database: translations come from a map.
#include "Core/ResourcePack.h"

#include <QHash>

class FakeLanguages : public TLanguagesDM {
public:
    FakeLanguages() { SetComLanguages(this); }
    ~FakeLanguages() override { SetComLanguages(nullptr); }

    QHash<QString, QString> apl;
    QHash<QString, QString> english;
    int aplLang = 9;
    int repLang = 9;

    QString GET_RESOURCE_APL_TXT(const QString &id) override { return apl.value(id, id); }
    QString GET_RESOURCE_APL_EN_TXT(const QString &id) override { return english.value(id, id); }
    QString GET_RESOURCE_APL_TXT_OF_FIELD(const QString &id, int, const QString &defaultText) override
    {
        return apl.value(id, defaultText);
    }
    void RESOURCE_APL_TXT(QString &text) override { text = apl.value(text, text); }
    bool IsNecessaryAplTrans() override { return true; }
    bool IsNecessaryRepTrans() override { return true; }
    int GET_USER_APL_LANG_ID() override { return aplLang; }
    int GET_USER_REP_LANG_ID() override { return repLang; }
    void SET_USER_APL_LANG(int lang, int) override { aplLang = lang; }
    void SET_USER_REP_LANG(int lang, int) override { repLang = lang; }
    TOraSession *Connection() const override { return nullptr; }
};
