#include "EmbeddedServer/ServerFiles.h"

#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

QString userName(uid_t uid)
{
    const passwd *pw = ::getpwuid(uid);
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid);
}

QString ownerOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? userName(st.st_uid) : QString();
}

bool onReadOnlyFileSystem(const QString &path)
{
    struct statvfs fs {};
    return ::statvfs(QFile::encodeName(path).constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
}

// Less room than one more page of the write-ahead log and its index needs.
bool withoutRoom(const QString &path)
{
    struct statvfs fs {};
    return ::statvfs(QFile::encodeName(path).constData(), &fs) == 0 && quint64(fs.f_bavail) * fs.f_frsize < 64 * 1024;
}

bool mayAccess(const QString &path, int mode) { return ::access(QFile::encodeName(path).constData(), mode) == 0; }

QString text(const char *id) { return PlatformText(QString::fromLatin1(id)); }

QString noAccess(const char *id, const QString &path)
{
    return Fmt(text(id), userName(::geteuid()), path, ownerOf(path));
}

// The header is read through SQLite, never through a descriptor of our own:
// closing any descriptor of a file drops every POSIX lock this process holds
// on it, the locks of the server's other connections included. SQLite keeps
// its descriptor open until those connections let their locks go.
bool hasSqliteHeader(const QString &path)
{
    sqlite3 *db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    bool sqliteHeader = true; // a file that cannot be read is left to SQLite, which says why
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_file *file = nullptr;
        if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file && file->pMethods) {
            static const char header[] = "SQLite format 3";
            char start[sizeof header] = {};
            const int rc = file->pMethods->xRead(file, start, int(sizeof start), 0);
            if (rc == SQLITE_OK || rc == SQLITE_IOERR_SHORT_READ)
                sqliteHeader = memcmp(start, header, sizeof header) == 0;
        }
    }
    sqlite3_close(db);
    return sqliteHeader;
}

} // namespace

TDbFileStart DbFileStartOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TDbFileStart::Missing : TDbFileStart::Sqlite;
    if (S_ISREG(st.st_mode) && st.st_size == 0)
        return TDbFileStart::Empty;
    return hasSqliteHeader(path) ? TDbFileStart::Sqlite : TDbFileStart::Other;
}

QString DbFileFault(const QString &path, int sqliteCode, int sysErrno)
{
    const QString folder = QFileInfo(path).absolutePath();
    const int primary = sqliteCode & 0xff;
    switch (DbFileStartOf(path)) {
    case TDbFileStart::Missing:
        return Fmt(text("rstr_fmtmsg_DbFileMissing"), path);
    case TDbFileStart::Empty:
        return Fmt(text("rstr_fmtmsg_DbFileEmpty"), path);
    case TDbFileStart::Other:
        return Fmt(text("rstr_fmtmsg_DbFileDamaged"), path);
    case TDbFileStart::Sqlite:
        break;
    }
    if (primary == SQLITE_FULL || sysErrno == ENOSPC || sysErrno == EDQUOT ||
        ((primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) && withoutRoom(folder)))
        return Fmt(text("rstr_fmtmsg_DbDiskFull"), folder);
    if (sysErrno == EFBIG)
        return Fmt(text("rstr_fmtmsg_DbFileTooLarge"), path);
    // The server writes beside its files (the write-ahead log): a folder it
    // may not write fails even a read.
    if (sysErrno == EROFS || onReadOnlyFileSystem(folder))
        return Fmt(text("rstr_fmtmsg_DbFolderReadOnlyFs"), folder);
    if (!mayAccess(path, R_OK))
        return noAccess("rstr_fmtmsg_DbNoReadAccess", path);
    if (!mayAccess(folder, W_OK | X_OK))
        return noAccess("rstr_fmtmsg_DbNoWriteAccess", folder);
    if (!mayAccess(path, W_OK))
        return noAccess("rstr_fmtmsg_DbNoWriteAccess", path);
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        return Fmt(text("rstr_fmtmsg_DbFileDamaged"), path);
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return Fmt(text("rstr_fmtmsg_DbFileLocked"), path);
    return Fmt(text("rstr_fmtmsg_DbFileUnusable"), path, QString::fromUtf8(sqlite3_errstr(sqliteCode)));
}

QString ForeignSchemeFileText(const QString &path) { return Fmt(text("rstr_fmtmsg_DbFileForeign"), path); }
