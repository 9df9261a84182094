#include "DataAccess/LanguagesDM.h"

#include "DataAccess/DataAccessLog.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"

#include <QRegularExpression>

namespace {
constexpr int kRussian = 25;
constexpr int kEnglish = 9;
} // namespace

TDbLanguagesDM::TDbLanguagesDM(QObject *owner, const QString &scheme, TOraSession *session)
    : TLanguagesDM(owner), m_scheme(scheme.trimmed().toUpper()), m_session(session)
{
    if (!m_session)
        throw EDAError(OraErr::NotConnected, OraMessage(OraErr::NotConnected, QStringLiteral("not logged on")));
    // The scheme name goes into statements: it must be a plain name.
    static const QRegularExpression name(QStringLiteral("^[A-Z][A-Z0-9_$#]*$"));
    if (!name.match(m_scheme).hasMatch())
        throw EDAError(OraErr::InvalidIdentifier,
                       OraMessage(OraErr::InvalidIdentifier, QStringLiteral("\"%1\": invalid identifier").arg(scheme)));
    LoadUserLanguages();
    // Texts that translation leaves as they are (a scheme without the list has none).
    TOraQuery q;
    q.SetSession(m_session);
    q.SetSQLText(QStringLiteral("SELECT TXT FROM %1.V_LANG_NO_TRANSLATE").arg(m_scheme));
    try {
        q.Open();
        for (q.First(); !q.Eof(); q.Next())
            UntranslatedTexts.append(q.Fields(0)->AsString());
    } catch (const EDAError &e) {
        qCDebug(lcData) << "no list of untranslated texts in" << m_scheme << ":" << e.message();
    }
}

TDbLanguagesDM::~TDbLanguagesDM() = default;

QVariant TDbLanguagesDM::CallFunction(const QString &function, const QVariantList &args)
{
    TOraPackage pack;
    pack.SetSession(m_session);
    pack.SetPackageName(m_scheme + QStringLiteral(".LANG_PACK"));
    return pack.ExecProc(function, args);
}

void TDbLanguagesDM::LoadUserLanguages()
{
    m_aplLang = CallFunction(QStringLiteral("GET_USER_APL_LANG_ID"), {}).toInt();
    m_repLang = CallFunction(QStringLiteral("GET_USER_REP_LANG_ID"), {}).toInt();
}

const QHash<QString, QString> *TDbLanguagesDM::LanguageTexts(int lang)
{
    if (!m_textTablesReadable)
        return nullptr;
    const auto kept = m_texts.constFind(lang);
    if (kept != m_texts.constEnd())
        return &*kept;
    QHash<QString, QString> texts;
    try {
        TOraQuery q;
        q.SetSession(m_session);
        q.SetSQLText(QStringLiteral("SELECT RES_KEY, TXT FROM %1.LANG_TEXTS WHERE LANG_ID = :LANG AND TXT IS NOT NULL")
                         .arg(m_scheme));
        q.ParamByName(QStringLiteral("LANG")).SetAsInteger(lang);
        q.Open();
        TField *key = q.Fields(0), *text = q.Fields(1);
        texts.reserve(q.RecordCount());
        for (q.First(); !q.Eof(); q.Next())
            if (!text->AsString().isEmpty()) // an empty text is none, as in the package
                texts.insert(key->AsString(), text->AsString());
    } catch (const EDAError &e) {
        m_textTablesReadable = false; // a pack kept elsewhere: its package answers text by text
        qCDebug(lcData) << "the language texts of" << m_scheme << "are read text by text:" << e.message();
        return nullptr;
    }
    return &*m_texts.insert(lang, std::move(texts));
}

void TDbLanguagesDM::ForgetTexts()
{
    m_cache.clear();
    m_texts.clear();
}

QVariant TDbLanguagesDM::PackText(const QString &function, const QString &key)
{
    if (key.isEmpty())
        return QVariant();
    // A text of the application language, or of English, is looked up among that language's texts.
    const bool english = function == QLatin1String("GET_RESOURCE_APL_EN_TXT");
    const bool application =
        function == QLatin1String("GET_RESOURCE_APL_TXT") || function == QLatin1String("RESOURCE_APL_TXT");
    if (english || application)
        if (const QHash<QString, QString> *texts = LanguageTexts(english ? kEnglish : m_aplLang)) {
            const auto text = texts->constFind(key);
            return text == texts->constEnd() ? QVariant() : QVariant(*text);
        }
    const QString cacheKey = function + QLatin1Char('\x1f') + key;
    const auto it = m_cache.constFind(cacheKey);
    if (it != m_cache.constEnd())
        return *it;
    const QVariant text = CallFunction(function, {key});
    m_cache.insert(cacheKey, text);
    return text;
}

QString TDbLanguagesDM::GET_RESOURCE_APL_TXT(const QString &id)
{
    const QVariant t = PackText(QStringLiteral("GET_RESOURCE_APL_TXT"), id);
    return t.isNull() ? id : t.toString();
}

QString TDbLanguagesDM::GET_RESOURCE_APL_EN_TXT(const QString &id)
{
    const QVariant t = PackText(QStringLiteral("GET_RESOURCE_APL_EN_TXT"), id);
    return t.isNull() ? id : t.toString();
}

QString TDbLanguagesDM::GET_RESOURCE_APL_TXT_OF_FIELD(const QString &id, int flag, const QString &defaultText)
{
    const QString cacheKey = QStringLiteral("OF_FIELD\x1f%1\x1f%2\x1f").arg(flag).arg(id) + defaultText;
    auto it = m_cache.constFind(cacheKey);
    if (it == m_cache.constEnd())
        it = m_cache.insert(cacheKey,
                            CallFunction(QStringLiteral("GET_RESOURCE_APL_TXT_OF_FIELD"), {id, flag, defaultText}));
    return it->isNull() ? defaultText : it->toString();
}

void TDbLanguagesDM::RESOURCE_APL_TXT(QString &text)
{
    const QVariant t = PackText(QStringLiteral("RESOURCE_APL_TXT"), text);
    text = t.isNull() ? QString() : t.toString();
}

bool TDbLanguagesDM::IsNecessaryAplTrans() { return m_aplLang > 0 && m_aplLang != kRussian; }
bool TDbLanguagesDM::IsNecessaryRepTrans() { return m_repLang > 0 && m_repLang != kRussian; }

void TDbLanguagesDM::SET_USER_APL_LANG(int lang, int subLang)
{
    CallFunction(QStringLiteral("SET_USER_APL_LANG"), {lang, subLang});
    m_session->Commit();
    ForgetTexts();
    LoadUserLanguages();
}

void TDbLanguagesDM::SET_USER_REP_LANG(int lang, int subLang)
{
    CallFunction(QStringLiteral("SET_USER_REP_LANG"), {lang, subLang});
    m_session->Commit();
    ForgetTexts();
    LoadUserLanguages();
}

bool ExistsLangPack(const QString &scheme, TOraSession *session)
{
    if (!session || scheme.trimmed().isEmpty())
        return false;
    try {
        TOraQuery q;
        q.SetSession(session);
        q.SetSQLText(
            QStringLiteral("SELECT 1 FROM ALL_OBJECTS WHERE OWNER = UPPER(:OWNER) AND OBJECT_NAME = 'LANG_PACK' "
                           "AND OBJECT_TYPE = 'PACKAGE'"));
        q.ParamByName(QStringLiteral("OWNER")).SetAsString(scheme.trimmed());
        q.Open();
        return !q.IsEmpty();
    } catch (const Exception &e) {
        qCWarning(lcData) << "whether" << scheme << "has a language pack could not be asked:" << e.message();
        return false;
    }
}

TLanguagesDM *CreateComLanguages(QObject *owner, const QString &scheme, TOraSession *session)
{
    if (!ExistsLangPack(scheme, session))
        throw EDAError(
            OraErr::PlsqlError,
            OraMessage(OraErr::PlsqlError, QStringLiteral("PLS-00201: identifier '%1.LANG_PACK' must be declared")
                                               .arg(scheme.trimmed().toUpper())));
    auto *languages = new TDbLanguagesDM(owner, scheme, session);
    SetComLanguages(languages);
    return languages;
}
