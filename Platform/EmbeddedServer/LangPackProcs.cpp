#include "EmbeddedServer/LangPackProcs.h"

#include "EmbeddedServer/SchemeServer.h"
#include "EmbeddedServer/SqliteConnection.h"

#include <QHash>

namespace {

using TFT = TFieldType;
constexpr int kRussian = 25;
constexpr int kEnglish = 9;

TProcArgInfo In(const char *name, TFT type = TFT::ftFloat)
{
    return {QString::fromLatin1(name), TParamType::ptInput, type};
}
TProcArgInfo Result(TFT type) { return {QStringLiteral("RESULT"), TParamType::ptResult, type}; }

void Add(const char *package, const char *name, QList<TProcArgInfo> args, bool writes,
         std::function<QVariant(TServerCall &)> body, TProcLock lock = TProcLock::Scheme,
         std::function<bool(TServerCall &)> changes = {})
{
    RegisterServerProc({QString::fromLatin1(package), QString::fromLatin1(name), std::move(args), writes,
                        std::move(body), lock, std::move(changes)});
}

// A statement's text for the call's scheme ("%1" stands for the scheme's
// prefix), made once: a query may call these functions once per row.
const QString &SchemeSql(const TServerCall &c, const char *pattern)
{
    thread_local QHash<std::pair<QString, const char *>, QString> texts;
    const std::pair<QString, const char *> key{c.scheme, pattern};
    auto text = texts.constFind(key);
    if (text == texts.constEnd())
        text = texts.insert(key, QString::fromLatin1(pattern).arg(QStringLiteral("\"%1\".").arg(c.scheme)));
    return *text;
}

// The session user's language (column APL_LANG_ID, ...); Russian until the user chose one.
// Inside a query it is read once per run of the query.
int UserLang(TServerCall &c, const QString &column, int fallback)
{
    if (c.queryValues) {
        const auto kept = c.queryValues->constFind(column);
        if (kept != c.queryValues->constEnd())
            return kept->toInt();
    }
    const QVariant v = c.conn.Scalar(
        QStringLiteral("SELECT %1 FROM %2 WHERE LOGIN = ?").arg(column, c.T(QStringLiteral("USER_LANGS"))),
        {c.conn.SessionUser});
    const int lang = v.isNull() ? fallback : v.toInt();
    if (c.queryValues)
        c.queryValues->insert(column, lang);
    return lang;
}

QVariant Text(TServerCall &c, const QString &key, int lang)
{
    if (key.isEmpty())
        return QVariant();
    return c.conn.Scalar(SchemeSql(c, "SELECT TXT FROM %1LANG_TEXTS WHERE RES_KEY = ? AND LANG_ID = ?"), {key, lang});
}

// A text in the session user's application language (Russian, 25, until the
// user chose one). A call on its own reads the language in the same
// statement; inside a query it is kept.
QVariant AplText(TServerCall &c, const QString &key)
{
    if (key.isEmpty())
        return QVariant();
    if (c.queryValues)
        return Text(c, key, UserLang(c, QStringLiteral("APL_LANG_ID"), kRussian));
    return c.conn.Scalar(SchemeSql(c, "SELECT TXT FROM %1LANG_TEXTS WHERE RES_KEY = ? AND LANG_ID = "
                                      "coalesce((SELECT APL_LANG_ID FROM %1USER_LANGS WHERE LOGIN = ?), 25)"),
                         {key, c.conn.SessionUser});
}

// Whether the call asks for another language than the user has: every log-in
// sets the user's language, and one that sets the same again writes nothing.
bool LangChanges(TServerCall &c, const char *langColumn, const char *subColumn)
{
    const TResultSet r = c.conn.Query(
        QStringLiteral("SELECT %1, %2 FROM %3 WHERE LOGIN = ?")
            .arg(QString::fromLatin1(langColumn), QString::fromLatin1(subColumn), c.T(QStringLiteral("USER_LANGS"))),
        {c.conn.SessionUser});
    const qlonglong lang = r.rows.isEmpty() ? kRussian : r.rows.first()[0].toLongLong();
    const qlonglong sub = r.rows.isEmpty() ? 0 : r.rows.first()[1].toLongLong();
    return lang != c.Int(0) || sub != c.Int(1);
}

void SetUserLang(TServerCall &c, const char *langColumn, const char *subColumn)
{
    const qlonglong lang = c.Int(0), sub = c.Int(1);
    if (c.conn
            .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE LANG_ID = ? AND LANG_SUB_ID = ?")
                        .arg(c.T(QStringLiteral("LANGUAGES"))),
                    {lang, sub})
            .toInt() == 0)
        RaiseApplicationError(20003, QStringLiteral("language %1/%2 is not in the language pack").arg(lang).arg(sub));
    const QString table = c.T(QStringLiteral("USER_LANGS"));
    c.conn.Exec(
        QStringLiteral("INSERT OR IGNORE INTO %1 (LOGIN, APL_LANG_ID, APL_LANG_SUB_ID, REP_LANG_ID, REP_LANG_SUB_ID) "
                       "VALUES (?, %2, 0, %2, 0)")
            .arg(table)
            .arg(kRussian),
        {c.conn.SessionUser});
    c.conn.Exec(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ? WHERE LOGIN = ?")
                    .arg(table, QString::fromLatin1(langColumn), QString::fromLatin1(subColumn)),
                {lang, sub, c.conn.SessionUser});
}

} // namespace

void RegisterLangPackProcs()
{
    Add(
        "LANG_PACK", "SET_USER_APL_LANG", {In("PLANG"), In("PSUBLANG")}, true,
        [](TServerCall &c) {
            SetUserLang(c, "APL_LANG_ID", "APL_LANG_SUB_ID");
            return QVariant();
        },
        TProcLock::Scheme, [](TServerCall &c) { return LangChanges(c, "APL_LANG_ID", "APL_LANG_SUB_ID"); });
    Add(
        "LANG_PACK", "SET_USER_REP_LANG", {In("PLANG"), In("PSUBLANG")}, true,
        [](TServerCall &c) {
            SetUserLang(c, "REP_LANG_ID", "REP_LANG_SUB_ID");
            return QVariant();
        },
        TProcLock::Scheme, [](TServerCall &c) { return LangChanges(c, "REP_LANG_ID", "REP_LANG_SUB_ID"); });
    Add("LANG_PACK", "GET_USER_APL_LANG_ID", {Result(TFT::ftInteger)}, false,
        [](TServerCall &c) -> QVariant { return UserLang(c, QStringLiteral("APL_LANG_ID"), kRussian); });
    Add("LANG_PACK", "GET_USER_APL_LANG_SUB_ID", {Result(TFT::ftInteger)}, false,
        [](TServerCall &c) -> QVariant { return UserLang(c, QStringLiteral("APL_LANG_SUB_ID"), 0); });
    Add("LANG_PACK", "GET_USER_REP_LANG_ID", {Result(TFT::ftInteger)}, false,
        [](TServerCall &c) -> QVariant { return UserLang(c, QStringLiteral("REP_LANG_ID"), kRussian); });
    Add("LANG_PACK", "GET_USER_REP_LANG_SUB_ID", {Result(TFT::ftInteger)}, false,
        [](TServerCall &c) -> QVariant { return UserLang(c, QStringLiteral("REP_LANG_SUB_ID"), 0); });
    // The text of an identifier in the user's application language; NULL when the pack has none.
    Add("LANG_PACK", "GET_RESOURCE_APL_TXT", {Result(TFT::ftString), In("PID", TFT::ftString)}, false,
        [](TServerCall &c) { return AplText(c, c.Str(0)); });
    Add("LANG_PACK", "GET_RESOURCE_APL_EN_TXT", {Result(TFT::ftString), In("PID", TFT::ftString)}, false,
        [](TServerCall &c) { return Text(c, c.Str(0), kEnglish); });
    // GET_RESOURCE_APL_TXT_OF_FIELD(PID, PFLAG, PDEFAULT): a field caption's text, else the default.
    Add("LANG_PACK", "GET_RESOURCE_APL_TXT_OF_FIELD",
        {Result(TFT::ftString), In("PID", TFT::ftString), In("PFLAG"), In("PDEFAULT", TFT::ftString)}, false,
        [](TServerCall &c) {
            const QVariant own = AplText(c, c.Str(0));
            return own.isNull() && !c.IsNull(2) ? QVariant(c.Str(2)) : own;
        });
    // A Russian text in the user's application language; NULL when the pack has none.
    Add("LANG_PACK", "RESOURCE_APL_TXT", {Result(TFT::ftString), In("PTEXT", TFT::ftString)}, false,
        [](TServerCall &c) { return AplText(c, c.Str(0)); });
    // SAVE_RUSSIAN_PHRASE(PPHRASE, PID_DFM, PCOMMENT): one phrase of a form, once.
    Add("LANG_PACK", "SAVE_RUSSIAN_PHRASE",
        {In("PPHRASE", TFT::ftString), In("PID_DFM"), In("PCOMMENT", TFT::ftString)}, true, [](TServerCall &c) {
            const QString phrase = c.Str(0).trimmed();
            if (phrase.isEmpty())
                return QVariant();
            if (c.conn
                    .Scalar(QStringLiteral("SELECT count(*) FROM %1 WHERE ID_DFM = ?").arg(c.T(QStringLiteral("DFM"))),
                            {c.Int(1)})
                    .toInt() == 0)
                RaiseOraError(2291, QStringLiteral("integrity constraint violated - form %1 not found").arg(c.Int(1)));
            c.conn.Exec(QStringLiteral("INSERT OR IGNORE INTO %1 (ID_DFM, PHRASE, COMMENTS) VALUES (?, ?, ?)")
                            .arg(c.T(QStringLiteral("RUSSIAN_PHRASES"))),
                        {c.Int(1), phrase, c.Str(2)});
            return QVariant();
        });

    // The marks of order lines are the session's own (a session table): a
    // mark blocks nobody and ends with the session.
    const QList<TProcArgInfo> lineArgs = {In("PGUID_SERVICE", TFT::ftString), In("PQUERY_NAME", TFT::ftString),
                                          In("PROWID", TFT::ftString)};
    Add(
        "TEMP_SELECT_PACK", "INS_ORDER_LINES_REPORT", lineArgs, true,
        [](TServerCall &c) {
            c.conn.Exec(
                QStringLiteral(
                    "INSERT OR IGNORE INTO %1 (LOGIN, GUID_SERVICE, QUERY_NAME, ROWID_QUERY) VALUES (?, ?, ?, ?)")
                    .arg(c.T(QStringLiteral("TEMP_ORDER_LINES_REPORT"))),
                {c.conn.SessionUser, c.Str(0), c.Str(1), c.Str(2)});
            return QVariant();
        },
        TProcLock::Session);
    Add(
        "TEMP_SELECT_PACK", "DEL_ORDER_LINES_REPORT", lineArgs, true,
        [](TServerCall &c) {
            c.conn.Exec(
                QStringLiteral(
                    "DELETE FROM %1 WHERE LOGIN = ? AND GUID_SERVICE = ? AND QUERY_NAME = ? AND ROWID_QUERY = ?")
                    .arg(c.T(QStringLiteral("TEMP_ORDER_LINES_REPORT"))),
                {c.conn.SessionUser, c.Str(0), c.Str(1), c.Str(2)});
            return QVariant();
        },
        TProcLock::Session);
}
