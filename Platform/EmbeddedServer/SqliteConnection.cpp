#include "EmbeddedServer/SqliteConnection.h"

#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/DbWait.h"
#include "DataAccess/Field.h"
#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/EmbeddedServerLog.h"
#include "EmbeddedServer/SchemeServer.h"
#include "EmbeddedServer/ServerFiles.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>
#include <QVarLengthArray>

#include <span>
#include <sqlite3.h>

namespace {

QAtomicInt g_counter;
int g_busyTimeoutMs = TSqliteConnection::kBusyTimeoutMs;

QString text16(sqlite3_value *v)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

QVariant variantOf(sqlite3_value *v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return text16(v);
    case SQLITE_BLOB:
        return QByteArray(reinterpret_cast<const char *>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default:
        return QVariant();
    }
}

void resultVariant(sqlite3_context *ctx, const QVariant &v)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        sqlite3_result_int64(ctx, v.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_result_double(ctx, v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_result_blob(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QString s = v.typeId() == QMetaType::QDateTime
                              ? v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                              : v.toString();
        if (s.isEmpty()) {
            sqlite3_result_null(ctx); // Oracle has no empty text
            return;
        }
        const QByteArray u = s.toUtf8();
        sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    }
}

TSqliteConnection *connOf(sqlite3_context *ctx) { return static_cast<TSqliteConnection *>(sqlite3_user_data(ctx)); }

void fnNvl(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) != SQLITE_NULL ? argv[0] : argv[1]);
}

void fnNvl2(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) != SQLITE_NULL ? argv[1] : argv[2]);
}

// DECODE(expr, search1, result1, ..., [default]); NULL matches NULL as on Oracle.
void fnDecode(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc < 3) {
        sqlite3_result_error(ctx, "ORA-00938: not enough arguments for function", -1);
        return;
    }
    const QVariant e = variantOf(argv[0]);
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        const QVariant s = variantOf(argv[i]);
        const bool both = e.isNull() && s.isNull();
        bool same = both;
        if (!both && !e.isNull() && !s.isNull()) {
            bool a = false, b = false;
            const double x = e.toDouble(&a), y = s.toDouble(&b);
            same = (a && b) ? x == y : e.toString() == s.toString();
        }
        if (same) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    if (i < argc)
        sqlite3_result_value(ctx, argv[i]);
    else
        sqlite3_result_null(ctx);
}

void fnUpper(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        resultVariant(ctx, text16(argv[0]).toUpper());
}

void fnLower(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        resultVariant(ctx, text16(argv[0]).toLower());
}

void fnSysdate(sqlite3_context *ctx, int, sqlite3_value **)
{
    resultVariant(ctx, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

void fnSessionUser(sqlite3_context *ctx, int, sqlite3_value **) { resultVariant(ctx, connOf(ctx)->SessionUser); }

void fnToChar(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const QVariant v = variantOf(argv[0]);
    if (v.typeId() == QMetaType::Double && v.toDouble() == double(qint64(v.toDouble())))
        resultVariant(ctx, QString::number(qint64(v.toDouble())));
    else
        resultVariant(ctx, v.isNull() ? QVariant() : QVariant(v.toString()));
}

void fnToNumber(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const QVariant v = variantOf(argv[0]);
    if (v.isNull()) {
        sqlite3_result_null(ctx);
        return;
    }
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok) {
        sqlite3_result_error(ctx, "ORA-01722: invalid number", -1);
        return;
    }
    if (d == double(qint64(d)))
        sqlite3_result_int64(ctx, qint64(d));
    else
        sqlite3_result_double(ctx, d);
}

// Z$CONCAT(a, b, ...): "||" as Oracle has it, NULL counting as an empty text.
void fnConcat(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    // Joined in UTF-8, as SQLite holds texts, in one buffer of the right
    // size: a query may do this once per row.
    QVarLengthArray<QByteArray, 4> written; // the pieces that are no stored text, in order
    qint64 total = 0;
    bool any = false;
    for (int i = 0; i < argc; ++i) {
        const int type = sqlite3_value_type(argv[i]);
        if (type == SQLITE_NULL)
            continue;
        any = true;
        if (type == SQLITE_TEXT) {
            total += sqlite3_value_bytes(argv[i]);
            continue;
        }
        const QVariant v = variantOf(argv[i]);
        written.append(v.typeId() == QMetaType::Double && v.toDouble() == double(qint64(v.toDouble()))
                           ? QByteArray::number(qint64(v.toDouble()))
                           : v.toString().toUtf8());
        total += written.last().size();
    }
    if (!any || total == 0) {
        sqlite3_result_null(ctx); // Oracle has no empty text
        return;
    }
    char *const out = static_cast<char *>(sqlite3_malloc64(quint64(total)));
    if (!out) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    char *at = out;
    int next = 0;
    for (int i = 0; i < argc; ++i) {
        const int type = sqlite3_value_type(argv[i]);
        if (type == SQLITE_NULL)
            continue;
        if (type == SQLITE_TEXT) {
            const int bytes = sqlite3_value_bytes(argv[i]);
            memcpy(at, sqlite3_value_text(argv[i]), size_t(bytes));
            at += bytes;
        } else {
            const QByteArray &piece = written[next++];
            memcpy(at, piece.constData(), size_t(piece.size()));
            at += piece.size();
        }
    }
    sqlite3_result_text64(ctx, out, quint64(total), sqlite3_free, SQLITE_UTF8);
}

// What a call of Z$CALL in a query keeps while the query runs: SQLite holds
// it with the constant first argument, so the name is resolved once per run.
struct TQueryCallSite {
    TResolvedProc proc;
    QHash<QString, QVariant> values;
};

// Z$CALL('SCHEME.PACKAGE.FUNCTION', args...): a server function inside a query.
void fnCall(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc < 1) {
        sqlite3_result_error(ctx, "ORA-00938: not enough arguments for function", -1);
        return;
    }
    QVariantList args;
    args.reserve(argc - 1);
    for (int i = 1; i < argc; ++i)
        args.append(variantOf(argv[i]));
    try {
        TSqliteConnection &conn = *connOf(ctx);
        auto *site = static_cast<TQueryCallSite *>(sqlite3_get_auxdata(ctx, 0));
        std::unique_ptr<TQueryCallSite> unkept; // SQLite may decline to keep it
        if (!site) {
            sqlite3_set_auxdata(ctx, 0, new TQueryCallSite{ResolveServerFunction(conn, text16(argv[0])), {}},
                                [](void *p) { delete static_cast<TQueryCallSite *>(p); });
            site = static_cast<TQueryCallSite *>(sqlite3_get_auxdata(ctx, 0));
            if (!site) {
                unkept.reset(new TQueryCallSite{ResolveServerFunction(conn, text16(argv[0])), {}});
                site = unkept.get();
            }
        }
        resultVariant(ctx, CallServerProc(conn, site->proc, args, nullptr, &site->values));
    } catch (const EDAError &e) {
        sqlite3_result_error(ctx, e.message().toUtf8().constData(), -1);
    } catch (const std::exception &e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

int authorizer(void *user, int action, const char *a, const char *b, const char *dbName, const char *)
{
    auto *c = static_cast<TSqliteConnection *>(user);
    if (c->IsInternal() || c->Administrator)
        return SQLITE_OK;
    const bool accounts = dbName && qstrcmp(dbName, "main") == 0;
    switch (action) {
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        return accounts ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
    case SQLITE_PRAGMA:
        return SQLITE_DENY;
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_TEMP_TRIGGER:
    case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_ALTER_TABLE:
        return SQLITE_DENY;
    default:
        Q_UNUSED(a);
        Q_UNUSED(b);
        return SQLITE_OK;
    }
}

// The declared type of a column as the Oracle client would report it.
void typeOfDecl(const QString &declared, TColumnInfo *col)
{
    const QString d = declared.trimmed().toUpper();
    static const QRegularExpression sizeRe(QStringLiteral("\\(\\s*(\\d+)\\s*(?:,\\s*(-?\\d+)\\s*)?\\)"));
    const QRegularExpressionMatch m = sizeRe.match(d);
    const int precision = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int scale = m.hasMatch() && !m.captured(2).isEmpty() ? m.captured(2).toInt() : 0;
    if (d.contains(QLatin1String("CHAR")) || d.startsWith(QLatin1String("TEXT")) ||
        d.startsWith(QLatin1String("VARCHAR"))) {
        col->type = d.startsWith(QLatin1String("CHAR")) || d.startsWith(QLatin1String("NCHAR"))
                        ? TFieldType::ftFixedChar
                        : TFieldType::ftString;
        col->size = precision;
    } else if (d.startsWith(QLatin1String("CLOB")) || d.startsWith(QLatin1String("NCLOB")) ||
               d.startsWith(QLatin1String("LONG"))) {
        col->type = TFieldType::ftMemo;
    } else if (d.startsWith(QLatin1String("BLOB")) || d.startsWith(QLatin1String("RAW"))) {
        col->type = TFieldType::ftBlob;
    } else if (d.startsWith(QLatin1String("DATE"))) {
        col->type = TFieldType::ftDateTime;
    } else if (d.startsWith(QLatin1String("TIMESTAMP"))) {
        col->type = TFieldType::ftTimeStamp;
    } else if (d.startsWith(QLatin1String("INT"))) {
        col->type = TFieldType::ftInteger;
    } else if (d.startsWith(QLatin1String("NUMBER")) || d.startsWith(QLatin1String("NUMERIC")) ||
               d.startsWith(QLatin1String("DECIMAL"))) {
        col->type = (m.hasMatch() && scale == 0 && precision <= 9) ? TFieldType::ftInteger
                    : (m.hasMatch() && scale == 0)                 ? TFieldType::ftLargeint
                                                                   : TFieldType::ftFloat;
        if (m.hasMatch() && scale > 0)
            col->scale = scale;
    } else if (d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("REAL")) ||
               d.startsWith(QLatin1String("DOUBLE"))) {
        col->type = TFieldType::ftFloat;
    } else {
        col->type = TFieldType::ftUnknown; // decided by the values
    }
}

// The bytes of the texts and blobs bound to a statement: they stay until the
// statement is reset, so SQLite need not copy them.
using TBoundBytes = QVarLengthArray<QByteArray, 4>;

void bindBytes(sqlite3_stmt *st, int index, QByteArray bytes, bool text, TBoundBytes &kept)
{
    kept.append(std::move(bytes));
    const QByteArray &b = kept.last();
    if (text)
        sqlite3_bind_text(st, index, b.constData(), int(b.size()), SQLITE_STATIC);
    else
        sqlite3_bind_blob(st, index, b.constData(), int(b.size()), SQLITE_STATIC);
}

void bindValue(sqlite3_stmt *st, int index, const QVariant &v, TBoundBytes &kept)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        sqlite3_bind_int64(st, index, v.toLongLong());
        return;
    case QMetaType::Double:
        sqlite3_bind_double(st, index, v.toDouble());
        return;
    case QMetaType::QByteArray:
        bindBytes(st, index, v.toByteArray(), false, kept);
        return;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        bindBytes(st, index, v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8(), true, kept);
        return;
    default: {
        const QString s = v.toString();
        if (s.isEmpty()) {
            sqlite3_bind_null(st, index); // Oracle has no empty text
            return;
        }
        bindBytes(st, index, s.toUtf8(), true, kept);
    }
    }
}

struct Stmt {
    sqlite3_stmt *st = nullptr;
    ~Stmt() { sqlite3_finalize(st); }
};

// The database library opens paths up to a length of its own and fails a
// longer one without saying why: such a path is refused here, with the reason.
// Its journal is the file's path and "-journal", which must fit as well.
void RequirePathFits(const QString &path)
{
    const sqlite3_vfs *vfs = sqlite3_vfs_find(nullptr);
    const int limit = (vfs ? vfs->mxPathname : 512) - int(sizeof("-journal") - 1);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (QFile::encodeName(absolute).size() > limit)
        RaiseConfigError(OraErr::DataFileUnusable,
                         Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_PathTooLong")), absolute, limit));
}

} // namespace

// ---------------------------------------------------------------- errors

EDAError OraErrorOfSqlite(int rc, const QString &message)
{
    static const QRegularExpression ora(QStringLiteral("^ORA-(\\d{5}):"));
    const QRegularExpressionMatch om = ora.match(message);
    if (om.hasMatch())
        return EDAError(om.captured(1).toInt(), message);
    const int primary = rc & 0xff;
    auto make = [](int code, const QString &text) { return EDAError(code, OraMessage(code, text)); };
    if (message.startsWith(QLatin1String("no such table")) || message.startsWith(QLatin1String("no such view")))
        return make(
            OraErr::TableOrViewMissing,
            QStringLiteral("table or view does not exist (%1)").arg(message.section(QLatin1Char(':'), 1).trimmed()));
    if (primary == SQLITE_AUTH || message.contains(QLatin1String("not authorized")))
        return make(OraErr::TableOrViewMissing, QStringLiteral("table or view does not exist"));
    if (message.startsWith(QLatin1String("no such column")))
        return make(
            OraErr::InvalidIdentifier,
            QStringLiteral("\"%1\": invalid identifier").arg(message.section(QLatin1Char(':'), 1).trimmed().toUpper()));
    if (message.startsWith(QLatin1String("no such function")) ||
        message.startsWith(QLatin1String("wrong number of arguments")))
        return make(
            OraErr::InvalidIdentifier,
            QStringLiteral("\"%1\": invalid identifier").arg(message.section(QLatin1Char(':'), 1).trimmed().toUpper()));
    if (message.startsWith(QLatin1String("UNIQUE constraint failed")) || message.contains(QLatin1String("PRIMARY KEY")))
        return make(
            OraErr::UniqueConstraint,
            QStringLiteral("unique constraint (%1) violated").arg(message.section(QLatin1Char(':'), 1).trimmed()));
    if (message.startsWith(QLatin1String("NOT NULL constraint failed")))
        return make(OraErr::NotNullViolation,
                    QStringLiteral("cannot insert NULL into (%1)").arg(message.section(QLatin1Char(':'), 1).trimmed()));
    if (message.startsWith(QLatin1String("FOREIGN KEY constraint failed")))
        return make(OraErr::ChildRecordFound, QStringLiteral("integrity constraint violated - child record found"));
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return make(
            OraErr::NoSessionLock,
            QStringLiteral("resource busy and acquire with NOWAIT specified or timeout expired (%1)").arg(message));
    if (primary == SQLITE_NOTADB || primary == SQLITE_CANTOPEN || primary == SQLITE_CORRUPT ||
        primary == SQLITE_IOERR || primary == SQLITE_READONLY || primary == SQLITE_PERM)
        return make(OraErr::DataFileUnusable, QStringLiteral("cannot identify/lock data file - %1").arg(message));
    if (message.contains(QLatin1String("syntax error")) || message.contains(QLatin1String("incomplete input")))
        return make(OraErr::InvalidSql, QStringLiteral("invalid SQL statement (%1)").arg(message));
    return make(OraErr::InvalidSql, message);
}

void RaiseSqliteError(sqlite3 *db, int rc, const QString &context)
{
    QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    EDAError e = OraErrorOfSqlite(db ? sqlite3_extended_errcode(db) : rc, message);
    if (!context.isEmpty() && e.ErrorCode() == OraErr::DataFileUnusable)
        e.setMessage(e.message() + QStringLiteral(" (%1)").arg(context));
    throw e;
}

namespace {

bool isFileFault(int primary)
{
    switch (primary) {
    case SQLITE_FULL:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return true;
    default:
        return false;
    }
}

} // namespace

void TSqliteConnection::RaiseError(int rc, const QString &database) const
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
    const int primary = rc & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        // Which scheme another session holds is known when the wait was for its lock.
        const QString readable = database.isEmpty() || database == QLatin1String("main")
                                     ? PlatformText(QStringLiteral("rstr_msg_DataBusy"))
                                     : Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_SchemeBusy")), database);
        throw EDAError(OraErr::NoSessionLock, OraMessage(OraErr::NoSessionLock, readable));
    }
    if (isFileFault(primary) && m_db)
        RaiseConfigError(OraErr::DataFileUnusable,
                         DbFileFault(FileOfDatabase(database), code, sqlite3_system_errno(m_db)));
    EDAError e =
        OraErrorOfSqlite(code, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc)));
    // A name of a scheme whose file was left out: the file and why, not a missing table.
    if (e.ErrorCode() == OraErr::TableOrViewMissing) {
        static const QRegularExpression qualified(QStringLiteral("no such table: \"?([A-Za-z][A-Za-z0-9_$#]*)\"?\\."));
        const QRegularExpressionMatch m = qualified.match(QString::fromUtf8(sqlite3_errmsg(m_db)));
        const QString fault = m.hasMatch() ? m_schemeFaults.value(m.captured(1).toUpper()) : QString();
        if (!fault.isEmpty())
            RaiseConfigError(OraErr::DataFileUnusable, fault);
    }
    throw e;
}

// The file a fault is told of: the database's own when known, else one that
// is read-only, else the one last written, else the accounts file (its folder
// is every file's folder).
QString TSqliteConnection::FileOfDatabase(const QString &database) const
{
    auto fileOf = [this](const QString &name) {
        const char *file = sqlite3_db_filename(m_db, name.toUtf8().constData());
        return file && *file ? QString::fromUtf8(file) : QString();
    };
    if (!database.isEmpty() && !fileOf(database).isEmpty())
        return fileOf(database);
    for (const QString &scheme : m_schemes)
        if (sqlite3_db_readonly(m_db, scheme.toUtf8().constData()) == 1)
            return fileOf(scheme);
    if (!m_lastWritten.isEmpty() && !fileOf(m_lastWritten).isEmpty())
        return fileOf(m_lastWritten);
    return QDir(m_folder).filePath(AccountsFileName());
}

int TSqliteConnection::BusyTimeoutMs() { return g_busyTimeoutMs; }
void TSqliteConnection::SetBusyTimeoutMs(int ms) { g_busyTimeoutMs = ms; }

// Ends a wait that OnBusy began when the operation that waited is over.
struct TSqliteConnection::TBusyWaitScope {
    TSqliteConnection &c;
    ~TBusyWaitScope() { c.EndBusyWait(); }
};

// ---------------------------------------------------------------- opening

TSqliteConnection::TSqliteConnection() = default;

TSqliteConnection::~TSqliteConnection() { Close(); }

bool TSqliteConnection::IsValidSchemeName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z][A-Za-z0-9_$#]{0,29}$"));
    return re.match(name).hasMatch() && name.compare(QLatin1String("main"), Qt::CaseInsensitive) != 0 &&
           name.compare(QLatin1String("temp"), Qt::CaseInsensitive) != 0;
}

void TSqliteConnection::Open(const QString &folder, bool create)
{
    Close();
    const QDir dir(folder);
    if (!dir.exists()) {
        if (!create || !QDir().mkpath(folder))
            RaiseOraError(
                OraErr::DataFileUnusable,
                QStringLiteral("cannot identify/lock data file - the server folder \"%1\" does not exist").arg(folder));
    }
    const QString accounts = dir.filePath(AccountsFileName());
    RequirePathFits(accounts);
    // Nothing is written before the accounts are known for this server's:
    // an empty or foreign file is reported, never made a database.
    switch (DbFileStartOf(accounts)) {
    case TDbFileStart::Missing:
        if (!create)
            RaiseConfigError(OraErr::DataFileUnusable,
                             Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_AccountsMissing")), accounts));
        break;
    case TDbFileStart::Empty:
        RaiseConfigError(OraErr::DataFileUnusable, DbFileFault(accounts, SQLITE_OK, 0));
    case TDbFileStart::Other:
        RaiseConfigError(OraErr::DataFileUnusable,
                         Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_AccountsDamaged")), accounts));
    case TDbFileStart::Sqlite:
        break;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        RaiseOraError(OraErr::DriverMissing, QStringLiteral("the Qt SQL driver QSQLITE is not installed"));

    m_connectionName = QStringLiteral("zandrell-sqlite-%1").arg(g_counter.fetchAndAddRelaxed(1));
    m_qdb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_qdb.setDatabaseName(accounts);
    m_qdb.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_qdb.open()) {
        const int code = m_qdb.lastError().nativeErrorCode().toInt();
        Close();
        RaiseConfigError(OraErr::DataFileUnusable, DbFileFault(accounts, code, 0));
    }
    const QVariant h = m_qdb.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0 || !*static_cast<sqlite3 *const *>(h.data())) {
        Close();
        RaiseOraError(OraErr::DataFileUnusable, QStringLiteral("no SQLite handle for \"%1\"").arg(accounts));
    }
    m_db = *static_cast<sqlite3 *const *>(h.data());
    m_folder = dir.absolutePath();
    sqlite3_busy_handler(m_db, &TSqliteConnection::OnBusy, this);
    sqlite3_extended_result_codes(m_db, 1);
    try {
        InternalScope internal(*this);
        {
            // A file another program holds locked is reported soon, not after the lock wait.
            const TWaitLimit probe(*this, kFileProbeWaitMs);
            CheckAccounts(accounts, create);
            UseWal(QStringLiteral("main"));
        }
        if (create)
            Exec(QStringLiteral("CREATE TABLE IF NOT EXISTS main.ACCOUNTS (USERNAME VARCHAR2(30) PRIMARY KEY, "
                                "PASSWORD_HASH VARCHAR2(200) NOT NULL, LOCKED NUMBER(1) DEFAULT 0 NOT NULL, "
                                "CREATED DATE)"));
        m_lockTables.insert(QStringLiteral("main"), QStringLiteral("ACCOUNTS"));
        RegisterFunctions();
        Exec(QStringLiteral("PRAGMA foreign_keys=ON"));
        sqlite3_set_authorizer(m_db, authorizer, this);
        const QStringList files = dir.entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name);
        for (const QString &file : files) {
            const QString scheme = QFileInfo(file).completeBaseName();
            if (file.compare(AccountsFileName(), Qt::CaseInsensitive) == 0 || !IsValidSchemeName(scheme))
                continue;
            AttachSchemeFile(scheme.toUpper(), dir.filePath(file));
        }
        CreateTempViews();
    } catch (...) {
        Close();
        throw;
    }
}

void TSqliteConnection::CheckAccounts(const QString &path, bool create)
{
    Stmt s;
    int rc = sqlite3_prepare_v2(
        m_db, "SELECT count(*) FROM main.sqlite_master WHERE type = 'table' AND name = 'ACCOUNTS'", -1, &s.st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(s.st);
    if (rc == SQLITE_ROW) {
        if (sqlite3_column_int(s.st, 0) == 0 && !create)
            RaiseConfigError(OraErr::DataFileUnusable,
                             Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_AccountsForeign")), path));
        return;
    }
    const int code = sqlite3_extended_errcode(m_db);
    if ((code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT)
        RaiseConfigError(OraErr::DataFileUnusable,
                         Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_AccountsDamaged")), path));
    RaiseConfigError(OraErr::DataFileUnusable, DbFileFault(path, code, sqlite3_system_errno(m_db)));
}

// Readers never wait for a writer in WAL mode. Only a file of this server is
// switched; one that cannot be switched now (another program uses it) stays
// in its mode.
void TSqliteConnection::UseWal(const QString &schema)
{
    const QByteArray sql = QStringLiteral("PRAGMA \"%1\".journal_mode").arg(schema).toUtf8();
    {
        Stmt mode;
        if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &mode.st, nullptr) != SQLITE_OK ||
            sqlite3_step(mode.st) != SQLITE_ROW ||
            qstricmp(reinterpret_cast<const char *>(sqlite3_column_text(mode.st, 0)), "wal") == 0)
            return;
    }
    const QByteArray toWal = sql + "=WAL";
    const int rc = sqlite3_exec(m_db, toWal.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        qCWarning(lcServer) << "the file of" << schema << "stays in its journal mode:" << sqlite3_errmsg(m_db);
}

bool TSqliteConnection::AttachSchemeFile(const QString &scheme, const QString &path)
{
    auto leaveOut = [&](const QString &why) {
        m_schemeFaults.insert(scheme, why);
        qCWarning(lcServer).noquote() << "scheme" << scheme << "is left out:" << why;
        return false;
    };
    if (DbFileStartOf(path) != TDbFileStart::Sqlite)
        return leaveOut(DbFileFault(path, SQLITE_OK, 0));
    // A file another program holds locked is left out soon, not after the lock wait.
    const TWaitLimit probe(*this, kFileProbeWaitMs);
    const QByteArray attach = QStringLiteral("ATTACH DATABASE ? AS \"%1\"").arg(scheme).toUtf8();
    const QByteArray file = path.toUtf8();
    int rc = SQLITE_OK;
    {
        Stmt s;
        rc = sqlite3_prepare_v2(m_db, attach.constData(), -1, &s.st, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(s.st, 1, file.constData(), int(file.size()), SQLITE_STATIC);
            rc = sqlite3_step(s.st);
        }
    }
    if (rc != SQLITE_DONE)
        return leaveOut(DbFileFault(path, sqlite3_extended_errcode(m_db), sqlite3_system_errno(m_db)));
    // Statements compiled before know nothing of the new scheme's names.
    m_statements.Clear();
    Stmt s;
    const QByteArray sql =
        QStringLiteral(
            "SELECT count(*) FROM \"%1\".sqlite_master WHERE type = 'table' AND upper(name) = 'SERVER_OBJECTS'")
            .arg(scheme)
            .toUtf8();
    rc = sqlite3_prepare_v2(m_db, sql.constData(), -1, &s.st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(s.st);
    const bool ours = rc == SQLITE_ROW && sqlite3_column_int(s.st, 0) > 0;
    const QString why = rc != SQLITE_ROW ? DbFileFault(path, sqlite3_extended_errcode(m_db), sqlite3_system_errno(m_db))
                        : !ours          ? ForeignSchemeFileText(path)
                                         : QString();
    sqlite3_finalize(s.st);
    s.st = nullptr;
    if (!why.isEmpty()) {
        const QByteArray detach = QStringLiteral("DETACH DATABASE \"%1\"").arg(scheme).toUtf8();
        sqlite3_exec(m_db, detach.constData(), nullptr, nullptr, nullptr);
        return leaveOut(why);
    }
    UseWal(scheme);
    m_schemes.append(scheme);
    m_lockTables.insert(scheme, QStringLiteral("SERVER_OBJECTS"));
    CreateSessionTables(scheme);
    return true;
}

void TSqliteConnection::AttachScheme(const QString &scheme, bool create)
{
    if (!IsValidSchemeName(scheme))
        RaiseOraError(OraErr::InvalidIdentifier, QStringLiteral("\"%1\": invalid scheme name").arg(scheme));
    const QString name = scheme.toUpper();
    if (HasScheme(name))
        return;
    QString existing;
    for (const QString &f : QDir(m_folder).entryList({QStringLiteral("*.db")}, QDir::Files))
        if (QFileInfo(f).completeBaseName().compare(name, Qt::CaseInsensitive) == 0)
            existing = QDir(m_folder).filePath(f);
    RequirePathFits(existing.isEmpty() ? QDir(m_folder).filePath(name + QStringLiteral(".db")) : existing);
    InternalScope internal(*this);
    if (!existing.isEmpty() || !create) {
        if (!AttachSchemeFile(name,
                              existing.isEmpty() ? QDir(m_folder).filePath(name + QStringLiteral(".db")) : existing))
            RaiseConfigError(OraErr::DataFileUnusable, SchemeFault(name));
    } else {
        // A new scheme of this server.
        const QString path = QDir(m_folder).filePath(name + QStringLiteral(".db"));
        TOraParams p;
        p.Add(QStringLiteral("F")).SetAsString(path);
        Exec(QStringLiteral("ATTACH DATABASE :F AS \"%1\"").arg(name), p);
        m_statements.Clear();
        Exec(QStringLiteral("PRAGMA \"%1\".journal_mode=WAL").arg(name));
        m_schemes.append(name);
    }
    m_schemeFaults.remove(name);
    CreateTempViews();
}

QString TSqliteConnection::SchemeFault(const QString &scheme) const
{
    const QString name = scheme.trimmed().toUpper();
    if (!IsValidSchemeName(name) || HasScheme(name))
        return QString();
    const auto fault = m_schemeFaults.constFind(name);
    if (fault != m_schemeFaults.constEnd())
        return *fault;
    return DbFileFault(QDir(m_folder).filePath(name + QStringLiteral(".db")), SQLITE_OK, 0);
}

// ---------------------------------------------------------------- session tables

QString TSqliteConnection::SessionTable(const QString &scheme, const QString &table) const
{
    return m_sessionTables.value(SessionTableKey(scheme, table));
}

void TSqliteConnection::CreateSessionTable(const QString &scheme, const QString &table, const QString &columns)
{
    InternalScope internal(*this);
    const QString name = SessionTableSqlName(scheme, table);
    Exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (%2)").arg(name, columns));
    m_sessionTables.insert(SessionTableKey(scheme, table), name);
    m_sessionTableKeys.insert(SessionTableKey(scheme, table));
}

void TSqliteConnection::CreateSessionTables(const QString &scheme)
{
    InternalScope internal(*this);
    if (Scalar(QStringLiteral("SELECT count(*) FROM \"%1\".sqlite_master WHERE type = 'table' AND name = '%2'")
                   .arg(scheme, QLatin1String(kSessionTablesTable)))
            .toInt() == 0)
        return;
    const TResultSet tables = Query(
        QStringLiteral("SELECT TABLE_NAME, COLUMNS FROM \"%1\".%2").arg(scheme, QLatin1String(kSessionTablesTable)));
    for (const QVector<QVariant> &row : tables.rows) {
        try {
            CreateSessionTable(scheme, row[0].toString(), row[1].toString());
        } catch (const EDAError &e) {
            qCWarning(lcServer) << "the session table" << row[0].toString() << "of" << scheme
                                << "cannot be made:" << e.message();
        }
    }
}

void TSqliteConnection::DeclareSessionTable(const TSessionTableDecl &decl)
{
    if (!Administrator)
        RaiseOraError(OraErr::InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    if (!HasScheme(decl.scheme))
        RaiseOraError(1918, QStringLiteral("user '%1' does not exist").arg(decl.scheme));
    InternalScope internal(*this);
    if (Scalar(QStringLiteral("SELECT count(*) FROM \"%1\".sqlite_master WHERE upper(name) = ?").arg(decl.scheme),
               {decl.table})
            .toInt() > 0)
        RaiseOraError(
            955, QStringLiteral("name is already used by an existing object (%1.%2)").arg(decl.scheme, decl.table));
    Exec(QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\".%2 (TABLE_NAME VARCHAR2(30) PRIMARY KEY, "
                        "COLUMNS VARCHAR2(4000) NOT NULL)")
             .arg(decl.scheme, QLatin1String(kSessionTablesTable)));
    Exec(QStringLiteral("INSERT OR REPLACE INTO \"%1\".%2 (TABLE_NAME, COLUMNS) VALUES (?, ?)")
             .arg(decl.scheme, QLatin1String(kSessionTablesTable)),
         {decl.table, decl.columns});
    CreateSessionTable(decl.scheme, decl.table, decl.columns);
    CreateTempViews();
}

bool TSqliteConnection::HasScheme(const QString &scheme) const
{
    return m_schemes.contains(scheme, Qt::CaseInsensitive);
}

bool TSqliteConnection::SchemeHasObject(const QString &scheme, const QString &objectName) const
{
    if (!HasScheme(scheme))
        return false;
    // A scheme's server objects do not change during a session (only the
    // administrator's build adds them), so the answer is kept.
    const QString key = scheme.toUpper() + QLatin1Char('.') + objectName.toUpper();
    const auto cached = m_objectCache.constFind(key);
    if (cached != m_objectCache.constEnd() && !Administrator)
        return *cached;
    auto *self = const_cast<TSqliteConnection *>(this);
    InternalScope internal(*self);
    const QString s = scheme.toUpper();
    bool has = false;
    if (self->Scalar(
                QStringLiteral(
                    "SELECT count(*) FROM \"%1\".sqlite_master WHERE type='table' AND upper(name)='SERVER_OBJECTS'")
                    .arg(s))
            .toInt() > 0)
        has = self->Scalar(
                      QStringLiteral("SELECT count(*) FROM \"%1\".SERVER_OBJECTS WHERE upper(OBJECT_NAME) = upper(?)")
                          .arg(s),
                      {objectName})
                  .toInt() > 0;
    m_objectCache.insert(key, has);
    return has;
}

void TSqliteConnection::Close()
{
    if (m_db && InTransaction()) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    m_statements.Clear();
    m_db = nullptr;
    m_schemes.clear();
    m_objectCache.clear();
    m_schemeFaults.clear();
    m_sessionTables.clear();
    m_sessionTableKeys.clear();
    m_lockTables.clear();
    m_lastWritten.clear();
    if (!m_connectionName.isEmpty()) {
        m_qdb.close();
        m_qdb = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName.clear();
    }
}

void TSqliteConnection::RegisterFunctions()
{
    struct Fn {
        const char *name;
        int argc;
        void (*fn)(sqlite3_context *, int, sqlite3_value **);
        bool deterministic;
    };
    static const Fn fns[] = {
        {"NVL", 2, fnNvl, true},
        {"NVL2", 3, fnNvl2, true},
        {"DECODE", -1, fnDecode, true},
        {"UPPER", 1, fnUpper, true},
        {"LOWER", 1, fnLower, true},
        {"ZSYSDATE", 0, fnSysdate, false},
        {"SYS_SESSION_USER", 0, fnSessionUser, false},
        {"TO_CHAR", 1, fnToChar, true},
        {"TO_CHAR", 2, fnToChar, true},
        {"TO_NUMBER", 1, fnToNumber, true},
        {"Z$CALL", -1, fnCall, false},
        {"Z$CONCAT", -1, fnConcat, true},
    };
    for (const Fn &f : fns) {
        const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        const int rc = sqlite3_create_function_v2(m_db, f.name, f.argc, flags, this, f.fn, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            RaiseSqliteError(m_db, rc, QString::fromLatin1(f.name));
    }
}

void TSqliteConnection::CreateTempViews()
{
    InternalScope internal(*this);
    Exec(QStringLiteral("DROP VIEW IF EXISTS temp.DUAL"));
    Exec(QStringLiteral("CREATE TEMP VIEW DUAL AS SELECT 'X' AS DUMMY"));
    QStringList parts;
    for (const QString &s : m_schemes) {
        parts.append(QStringLiteral("SELECT '%1' AS OWNER, UPPER(name) AS OBJECT_NAME, UPPER(type) AS OBJECT_TYPE "
                                    "FROM \"%1\".sqlite_master WHERE type IN ('table','view')")
                         .arg(s));
        if (Scalar(QStringLiteral(
                       "SELECT count(*) FROM \"%1\".sqlite_master WHERE type='table' AND upper(name)='SERVER_OBJECTS'")
                       .arg(s))
                .toInt() > 0)
            parts.append(
                QStringLiteral("SELECT '%1', UPPER(OBJECT_NAME), UPPER(OBJECT_TYPE) FROM \"%1\".SERVER_OBJECTS")
                    .arg(s));
    }
    // The session tables are tables of their scheme.
    for (const QString &key : std::as_const(m_sessionTableKeys))
        parts.append(QStringLiteral("SELECT '%1', '%2', 'TABLE'")
                         .arg(key.section(QLatin1Char('.'), 0, 0), key.section(QLatin1Char('.'), 1)));
    if (parts.isEmpty())
        parts.append(QStringLiteral("SELECT NULL AS OWNER, NULL AS OBJECT_NAME, NULL AS OBJECT_TYPE WHERE 0"));
    Exec(QStringLiteral("DROP VIEW IF EXISTS temp.ALL_OBJECTS"));
    Exec(QStringLiteral("CREATE TEMP VIEW ALL_OBJECTS AS ") + parts.join(QStringLiteral(" UNION ALL ")));
}

// ---------------------------------------------------------------- statements

void TSqliteConnection::PrepareStatement(const QString &sql, TCachedStatement *statement)
{
    const QByteArray utf8 = sql.toUtf8();
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &statement->st, &tail);
    if (rc != SQLITE_OK)
        RaiseError(rc);
    if (!statement->st)
        RaiseOraError(OraErr::InvalidSql, QStringLiteral("invalid SQL statement (empty)"));
    if (tail && QString::fromUtf8(tail).trimmed().remove(QLatin1Char(';')).trimmed().size() > 0)
        RaiseOraError(933, QStringLiteral("SQL command not properly ended"));
}

const QList<TColumnInfo> &TSqliteConnection::DescribeColumns(TCachedStatement *statement) const
{
    sqlite3_stmt *const st = statement->st;
    // SQLite prepares a statement anew when the schema changed under it; its columns may have changed with it.
    const int prepared = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (statement->describedAt == prepared)
        return statement->columns;
    statement->columns.clear();
    const int columns = sqlite3_column_count(st);
    for (int c = 0; c < columns; ++c) {
        TColumnInfo col;
        col.name = QString::fromUtf8(sqlite3_column_name(st, c)).toUpper();
        const char *decl = sqlite3_column_decltype(st, c);
        typeOfDecl(decl ? QString::fromUtf8(decl) : QString(), &col);
        const char *dbn = sqlite3_column_database_name(st, c);
        const char *tbl = sqlite3_column_table_name(st, c);
        const char *org = sqlite3_column_origin_name(st, c);
        if (dbn && tbl && org) {
            int notNull = 0, primaryKey = 0, autoinc = 0;
            if (sqlite3_table_column_metadata(m_db, dbn, tbl, org, nullptr, nullptr, &notNull, &primaryKey, &autoinc) ==
                SQLITE_OK)
                col.required = notNull != 0;
        }
        statement->columns.append(col);
    }
    statement->describedAt = prepared;
    return statement->columns;
}

namespace {

// A statement of the cache for one run, bound to its values: kept when the
// run succeeded, dropped when it failed.
class TStatementRun {
public:
    TStatementRun(TStatementCache &cache, const QString &sql, bool unrestricted)
        : statement(cache.Take(sql, unrestricted)), m_cache(cache)
    {
    }
    ~TStatementRun() { m_cache.Give(statement, m_succeeded); }
    TStatementRun(const TStatementRun &) = delete;
    TStatementRun &operator=(const TStatementRun &) = delete;

    void Bind(const TOraParams *params, std::span<const QVariant> positional)
    {
        sqlite3_stmt *const st = statement->st;
        const int count = sqlite3_bind_parameter_count(st);
        for (int i = 1; i <= count; ++i) {
            const char *rawName = sqlite3_bind_parameter_name(st, i);
            if (rawName && params) {
                const QString name = QString::fromUtf8(rawName + 1);
                const TOraParam *p = params->FindParam(name);
                if (!p)
                    RaiseOraError(1008, QStringLiteral("not all variables bound (%1)").arg(name));
                bindValue(st, i, p->AsVariant(), m_boundBytes);
            } else if (size_t(i - 1) < positional.size()) {
                bindValue(st, i, positional[size_t(i - 1)], m_boundBytes);
            } else {
                RaiseOraError(1008, QStringLiteral("not all variables bound"));
            }
        }
    }
    void Succeeded() { m_succeeded = true; }

    TCachedStatement *const statement;

private:
    TBoundBytes m_boundBytes; // outlives the binding: the statement is reset before the bytes go
    TStatementCache &m_cache;
    bool m_succeeded = false;
};

// A column's value in the current row, read as its declared type asks.
QVariant columnValue(sqlite3_stmt *st, int c, int storage, const TColumnInfo &col)
{
    switch (storage) {
    case SQLITE_INTEGER:
        return col.type == TFieldType::ftFloat ? QVariant(double(sqlite3_column_int64(st, c)))
                                               : QVariant(qlonglong(sqlite3_column_int64(st, c)));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, c);
    case SQLITE_TEXT: {
        const QString text =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c));
        if (col.type != TFieldType::ftDateTime && col.type != TFieldType::ftTimeStamp)
            return text;
        const QDateTime dt = DateTimeOfText(text);
        return dt.isValid() ? QVariant(dt) : QVariant(text);
    }
    case SQLITE_BLOB:
        return QByteArray(reinterpret_cast<const char *>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c));
    default:
        return QVariant();
    }
}

} // namespace

TExecResult TSqliteConnection::Run(const QString &sql, const TOraParams *params, std::span<const QVariant> positional,
                                   bool wantRows)
{
    if (!m_db)
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    // A write lock held by another program: the wait shows (cursor, then a status text).
    const TBusyWaitScope wait{*this};
    TStatementRun run(m_statements, sql, IsInternal() || Administrator);
    if (!run.statement->st)
        PrepareStatement(sql, run.statement);
    run.Bind(params, positional);
    sqlite3_stmt *const st = run.statement->st;

    TExecResult result;
    int columns = -1;
    QVarLengthArray<int, 16> kinds; // first non-null storage class seen per undeclared column
    for (int attempt = 0;; ++attempt) {
        const int rc = sqlite3_step(st);
        if (columns < 0 && (rc == SQLITE_ROW || rc == SQLITE_DONE)) {
            // Described after the first step, which takes in a change of the schema.
            result.rows.columns = DescribeColumns(run.statement);
            columns = int(result.rows.columns.size());
            kinds.resize(columns);
            std::fill(kinds.begin(), kinds.end(), -1);
            result.hasRows = wantRows || columns > 0;
        }
        if (rc == SQLITE_ROW) {
            QVector<QVariant> row(columns);
            for (int c = 0; c < columns; ++c) {
                const int t = sqlite3_column_type(st, c);
                TColumnInfo &col = result.rows.columns[c];
                row[c] = columnValue(st, c, t, col);
                if (t == SQLITE_TEXT && col.type == TFieldType::ftUnknown) {
                    if (kinds[c] < 0)
                        kinds[c] = SQLITE_TEXT;
                    col.size = qMax(col.size, int(static_cast<const QString *>(row[c].constData())->size()));
                }
                if (col.type == TFieldType::ftUnknown && t != SQLITE_NULL) {
                    if (kinds[c] < 0)
                        kinds[c] = t;
                    else if (kinds[c] != t && kinds[c] != SQLITE_TEXT)
                        kinds[c] = (t == SQLITE_TEXT) ? SQLITE_TEXT : SQLITE_FLOAT;
                }
            }
            result.rows.rows.append(std::move(row));
            DbWorkGoesOn();
            continue;
        }
        if (rc == SQLITE_DONE)
            break;
        if ((rc & 0xff) == SQLITE_BUSY && result.rows.rows.isEmpty() && attempt < 3) {
            sqlite3_reset(st);
            QThread::msleep(50);
            continue;
        }
        RaiseError(rc);
    }
    // Columns of expressions take their kind from their values.
    for (int c = 0; c < columns; ++c) {
        TColumnInfo &col = result.rows.columns[c];
        if (col.type != TFieldType::ftUnknown)
            continue;
        switch (kinds[c]) {
        case SQLITE_INTEGER:
            col.type = TFieldType::ftInteger;
            break;
        case SQLITE_FLOAT:
            col.type = TFieldType::ftFloat;
            for (QVector<QVariant> &row : result.rows.rows)
                if (!row[c].isNull())
                    row[c] = row[c].toDouble();
            break;
        case SQLITE_BLOB:
            col.type = TFieldType::ftBlob;
            break;
        default:
            col.type = TFieldType::ftString;
            col.size = qMax(col.size, 1);
            for (QVector<QVariant> &row : result.rows.rows)
                if (!row[c].isNull() && row[c].typeId() != QMetaType::QString)
                    row[c] = row[c].toString();
        }
    }
    result.rowsAffected = columns > 0 ? 0 : sqlite3_changes(m_db);
    run.Succeeded();
    return result;
}

TResultSet TSqliteConnection::Query(const QString &sql, const QVariantList &positional)
{
    return Run(sql, nullptr, positional, true).rows;
}

TResultSet TSqliteConnection::Query(const QString &sql, const TOraParams &params)
{
    return Run(sql, &params, {}, true).rows;
}

int TSqliteConnection::Exec(const QString &sql, const QVariantList &positional)
{
    return Run(sql, nullptr, positional, false).rowsAffected;
}

int TSqliteConnection::Exec(const QString &sql, const TOraParams &params)
{
    return Run(sql, &params, {}, false).rowsAffected;
}

QVariant TSqliteConnection::Scalar(const QString &sql, const QVariantList &positional)
{
    return ScalarOf(sql, positional);
}

QVariant TSqliteConnection::Scalar(const QString &sql, std::initializer_list<QVariant> positional)
{
    return ScalarOf(sql, std::span<const QVariant>(positional.begin(), positional.size()));
}

// The first value read as Run reads it, without gathering a result (a server
// function may do this once per row of a query).
QVariant TSqliteConnection::ScalarOf(const QString &sql, std::span<const QVariant> positional)
{
    if (!m_db)
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    TStatementRun run(m_statements, sql, IsInternal() || Administrator);
    if (!run.statement->st)
        PrepareStatement(sql, run.statement);
    run.Bind(nullptr, positional);
    sqlite3_stmt *const st = run.statement->st;
    for (int attempt = 0;; ++attempt) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
            const QList<TColumnInfo> &columns = DescribeColumns(run.statement);
            const QVariant value = rc == SQLITE_ROW && !columns.isEmpty()
                                       ? columnValue(st, 0, sqlite3_column_type(st, 0), columns.first())
                                       : QVariant();
            run.Succeeded();
            return value;
        }
        if ((rc & 0xff) == SQLITE_BUSY && attempt < 3) {
            sqlite3_reset(st);
            QThread::msleep(50);
            continue;
        }
        RaiseError(rc);
    }
}

void TSqliteConnection::Check(const QString &sql)
{
    if (!m_db)
        RaiseOraError(OraErr::NotConnected, QStringLiteral("not logged on"));
    const QByteArray utf8 = sql.toUtf8();
    Stmt s;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &s.st, nullptr);
    if (rc != SQLITE_OK)
        RaiseError(rc);
}

// ---------------------------------------------------------------- transactions

bool TSqliteConnection::InTransaction() const { return m_db && sqlite3_get_autocommit(m_db) == 0; }

void TSqliteConnection::BeginTransaction()
{
    if (InTransaction())
        return;
    const int rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        RaiseError(rc);
}

bool TSqliteConnection::HoldsWriteLock() const
{
    if (!InTransaction())
        return false;
    if (sqlite3_txn_state(m_db, "main") == SQLITE_TXN_WRITE)
        return true;
    for (const QString &scheme : m_schemes)
        if (sqlite3_txn_state(m_db, scheme.toUtf8().constData()) == SQLITE_TXN_WRITE)
            return true;
    return false;
}

void TSqliteConnection::BeginWrite(const QString &database)
{
    const QString name =
        database.compare(QLatin1String("main"), Qt::CaseInsensitive) == 0 ? QStringLiteral("main") : database.toUpper();
    const bool began = !InTransaction();
    BeginTransaction();
    m_lastWritten = name;
    const QByteArray schema = name.toUtf8();
    if (sqlite3_txn_state(m_db, schema.constData()) == SQLITE_TXN_WRITE)
        return;
    // Deleting nothing from one of its tables takes the database's write lock,
    // waiting for another writer (OnBusy) before the transaction reads it.
    const QString table = m_lockTables.value(name);
    if (table.isEmpty())
        return;
    const TBusyWaitScope wait{*this};
    const InternalScope internal(*this);
    const QByteArray sql = QStringLiteral("DELETE FROM \"%1\".\"%2\" WHERE 0").arg(name, table).toUtf8();
    const int rc = sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return;
    try {
        RaiseError(rc, name);
    } catch (...) {
        // No lock, and no transaction of its own, left behind.
        if (began && InTransaction())
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TSqliteConnection::Commit()
{
    if (!InTransaction())
        return;
    const TBusyWaitScope wait{*this};
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        RaiseError(rc, m_lastWritten);
}

void TSqliteConnection::Rollback()
{
    if (!InTransaction())
        return;
    const int rc = sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        RaiseError(rc);
}

// ---------------------------------------------------------------- waiting for a lock

int TSqliteConnection::OnBusy(void *connection, int)
{
    auto *c = static_cast<TSqliteConnection *>(connection);
    TDbWaitIndicator *indicator = DbWaitIndicator();
    // SQLite calls back from C: nothing may be thrown through it.
    if (c->m_waitLimitMs == 0)
        return 0;
    try {
        if (!c->m_busy) {
            c->m_busy = true;
            c->m_busySince.start();
            if (indicator)
                indicator->WaitStarted();
        }
        const int limit = c->m_waitLimitMs >= 0 ? c->m_waitLimitMs : g_busyTimeoutMs;
        const int elapsed = int(c->m_busySince.elapsed());
        if (elapsed >= limit)
            return 0; // SQLITE_BUSY: ORA-00054
        if (indicator)
            indicator->WaitGoesOn(elapsed);
        QThread::msleep(unsigned(qMin(20, limit - elapsed)));
        return 1;
    } catch (const std::exception &e) {
        // An exception must not cross the database library: the wait ends as a busy error.
        qCWarning(lcServer) << "the wait indicator failed, the wait ends:" << ExceptionMessage(e);
        return 0;
    } catch (...) {
        qCWarning(lcServer) << "the wait indicator failed, the wait ends";
        return 0;
    }
}

void TSqliteConnection::EndBusyWait()
{
    if (!m_busy)
        return;
    m_busy = false;
    try {
        if (TDbWaitIndicator *indicator = DbWaitIndicator())
            indicator->WaitEnded();
    } catch (const std::exception &e) {
        qCWarning(lcServer) << "the wait indicator failed at the end of a wait:" << ExceptionMessage(e);
    } catch (...) {
        qCWarning(lcServer) << "the wait indicator failed at the end of a wait";
    }
}
