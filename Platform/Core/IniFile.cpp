#include "Core/IniFile.h"

#include "Core/CoreLog.h"
#include "Core/Exceptions.h"
#include "Core/TextCodec.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct KeyEntry {
    QString key;
    QString value;
    QString raw;
    int line;
};

struct Section {
    QString name;
    int headerLine;
    std::vector<KeyEntry> keys;
};

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString unquote(QString value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

void checkName(const QString &what, const QString &name, const QString &fileName)
{
    if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        throw EIniFileError(QStringLiteral("%1: the %2 \"%3\" holds a line break").arg(fileName, what, name));
}

// Refuses what would not read back as written: a line break, a key with "=", a section with "]".
void checkWrite(const QString &fileName, const QString &section, const QString &key, const QString &value)
{
    checkName(QStringLiteral("section"), section, fileName);
    checkName(QStringLiteral("key"), key, fileName);
    checkName(QStringLiteral("value"), value, fileName);
    if (key.trimmed().isEmpty() || key.contains(QLatin1Char('=')))
        throw EIniFileError(QStringLiteral("%1: \"%2\" is not a valid key name").arg(fileName, key));
    if (section.contains(QLatin1Char(']')))
        throw EIniFileError(QStringLiteral("%1: \"%2\" is not a valid section name").arg(fileName, section));
}

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// File times come from a coarse clock: a file read less than a grain after its
// last change may change again with the same time stamps, so it is read again.
// File systems that keep whole seconds only (no nanoseconds in either time)
// get a grain of two seconds, as the coarsest of them keep.
constexpr qint64 kTimeStampGrainNs = 100 * 1000000;
constexpr qint64 kWholeSecondGrainNs = 2000 * 1000000;

qint64 timeNs(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

// Once per file and run: a file that is not text is read again and again.
void warnNotText(const QString &fileName)
{
    static QSet<QString> warned;
    if (warned.contains(fileName))
        return;
    warned.insert(fileName);
    qCWarning(lcCore) << fileName << "is not a text file: it is read as far as it can be, never written";
}

} // namespace

struct TIniFile::Document {
    TTextLines text;
    std::vector<Section> sections;
    bool truncated = false;
    bool exists = false;
    // The file is there but cannot be read: writing it would lose what it holds.
    bool unreadable = false;
    // Identity of the file that was read: a rename gives a new inode, a write a
    // new change time even when the writer puts the modification time back.
    qint64 size = -1;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    qint64 readNs = 0;

    static Document read(const QString &fileName)
    {
        Document doc;
        doc.errorName = fileName;
        struct stat st {};
        doc.readNs = nowNs();
        doc.exists = ::stat(QFile::encodeName(fileName).constData(), &st) == 0 && S_ISREG(st.st_mode);
        if (doc.exists) {
            doc.size = st.st_size;
            doc.mtimeNs = timeNs(st.st_mtim);
            doc.ctimeNs = timeNs(st.st_ctim);
            doc.inode = st.st_ino;
            QFile file(fileName);
            if (file.open(QIODevice::ReadOnly)) {
                // As much memory as the file needs, never more than the largest file read.
                const QByteArray bytes = file.read(std::min<qint64>(st.st_size, kMaxFileSize));
                doc.truncated = st.st_size > kMaxFileSize;
                if (doc.truncated)
                    qCWarning(lcCore) << fileName << "is read up to its first" << kMaxFileSize
                                      << "bytes and never written";
                doc.text = TTextLines::Split(bytes);
                if (!doc.text.IsText())
                    warnNotText(fileName);
            } else {
                doc.unreadable = true;
                qCWarning(lcCore) << fileName << "cannot be read:" << file.errorString();
            }
        }
        doc.parse();
        return doc;
    }

    // The same text, to be changed without touching this one.
    Document copy() const
    {
        Document doc;
        doc.errorName = errorName;
        doc.text = text;
        doc.truncated = truncated;
        doc.exists = exists;
        doc.parse();
        return doc;
    }

    // Whether this parsed form still describes the file as it is now.
    bool matches(const QString &fileName) const
    {
        struct stat st {};
        const bool nowExists = ::stat(QFile::encodeName(fileName).constData(), &st) == 0 && S_ISREG(st.st_mode);
        if (nowExists != exists)
            return false;
        if (!exists)
            return true;
        if (size != st.st_size || inode != st.st_ino || mtimeNs != timeNs(st.st_mtim) || ctimeNs != timeNs(st.st_ctim))
            return false;
        const bool wholeSeconds = st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0;
        const qint64 grain = wholeSeconds ? kWholeSecondGrainNs : kTimeStampGrainNs;
        return readNs - std::max(mtimeNs, ctimeNs) > grain;
    }

    QString lineText(int i) const { return text.Lines.at(size_t(i)).Text; }
    int lineCount() const { return int(text.Lines.size()); }

    void parse()
    {
        sections.clear();
        Section *current = nullptr;
        for (int i = 0; i < lineCount(); ++i) {
            const QString line = lineText(i).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('['))) {
                qsizetype close = line.indexOf(QLatin1Char(']'));
                if (close < 0)
                    close = line.size();
                sections.push_back(Section{line.mid(1, close - 1).trimmed(), i, {}});
                current = &sections.back();
                continue;
            }
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (!current || eq < 0)
                continue;
            const QString key = line.left(eq).trimmed();
            if (key.isEmpty())
                continue;
            const QString raw = line.mid(eq + 1).trimmed();
            current->keys.push_back(KeyEntry{key, unquote(raw), raw, i});
        }
    }

    // The first section of that name counts, as with the Windows functions.
    const Section *find(const QString &name) const
    {
        const QString trimmed = name.trimmed();
        for (const Section &s : sections)
            if (sameName(s.name, trimmed))
                return &s;
        return nullptr;
    }

    static const KeyEntry *findKey(const Section &s, const QString &key)
    {
        const QString trimmed = key.trimmed();
        for (const KeyEntry &k : s.keys)
            if (sameName(k.key, trimmed))
                return &k;
        return nullptr;
    }

    const KeyEntry *findKey(const QString &section, const QString &key) const
    {
        const Section *s = find(section);
        return s ? findKey(*s, key) : nullptr;
    }

    // The line after the section's last line (the next header or the end of the file).
    int sectionEnd(const Section &s) const
    {
        for (const Section &other : sections)
            if (other.headerLine > s.headerLine)
                return other.headerLine;
        return lineCount();
    }

    // A line in the file's encoding; a Windows-1251 file cannot take every character.
    TTextLine newLine(const QString &content) const
    {
        if (std::optional<TTextLine> line = text.MakeLine(content))
            return *line;
        throw EIniWriteError(
            errorName, EIniWriteError::Failed,
            QStringLiteral("\"%1\" holds characters that the file's Windows-1251 text cannot hold").arg(content));
    }

    // The key's line with the new value: the bytes up to "=" stay as they are
    // when the key is written as it stands, and the value takes the line's own encoding.
    TTextLine changedLine(const TTextLine &old, const QString &key, const QString &value) const
    {
        const qsizetype eq = old.Text.indexOf(QLatin1Char('='));
        if (old.Text.left(eq).trimmed() == key) {
            const std::optional<QByteArray> prefix = EncodeText(old.Text.left(eq + 1), old.Encoding);
            const std::optional<QByteArray> valueBytes = EncodeText(value, old.Encoding);
            if (prefix && valueBytes && old.Bytes.startsWith(*prefix)) {
                TTextLine line = old;
                line.Bytes = old.Bytes.left(prefix->size()) + *valueBytes;
                line.Text = old.Text.left(eq + 1) + value;
                return line;
            }
        }
        TTextLine line = newLine(key + QLatin1Char('=') + value);
        line.End = old.End;
        return line;
    }

    // Inserts a line after line `at`, with the line end of that line.
    void insertAfter(int at, TTextLine line)
    {
        TTextLine &before = text.Lines.at(size_t(at));
        if (before.End.isEmpty())
            before.End = text.LineEnd;
        line.End = before.End;
        text.Lines.insert(text.Lines.begin() + at + 1, std::move(line));
    }

    void append(TTextLine line)
    {
        if (!text.Lines.empty() && text.Lines.back().End.isEmpty())
            text.Lines.back().End = text.LineEnd;
        text.Lines.push_back(std::move(line));
    }

    void set(const QString &section, const QString &key, const QString &value)
    {
        const QString name = key.trimmed();
        if (const Section *s = find(section)) {
            if (const KeyEntry *k = findKey(*s, name)) {
                TTextLine &line = text.Lines.at(size_t(k->line));
                line = changedLine(line, name, value);
            } else {
                // After the section's last non-blank line, so that a blank separator line stays last.
                int at = s->headerLine;
                for (int i = s->headerLine + 1; i < sectionEnd(*s); ++i)
                    if (!lineText(i).trimmed().isEmpty())
                        at = i;
                insertAfter(at, newLine(name + QLatin1Char('=') + value));
            }
        } else {
            TTextLine header = newLine(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
            TTextLine line = newLine(name + QLatin1Char('=') + value);
            if (!text.Lines.empty() && !text.Lines.back().Text.trimmed().isEmpty())
                append(newLine(QString()));
            append(std::move(header));
            append(std::move(line));
        }
        parse();
    }

    void remove(const QString &section, const QString &key)
    {
        if (const KeyEntry *k = findKey(section, key)) {
            text.Lines.erase(text.Lines.begin() + k->line);
            parse();
        }
    }

    void erase(const QString &section)
    {
        if (const Section *s = find(section)) {
            text.Lines.erase(text.Lines.begin() + s->headerLine, text.Lines.begin() + sectionEnd(*s));
            parse();
        }
    }

    QByteArray serialize() const { return text.Join(); }

    // The name errors give.
    QString errorName;
};

namespace {

TIniFile::TWriteFault g_writeFault;

[[noreturn]] void throwWriteError(const QString &fileName, int error)
{
    EIniWriteError::TReason reason = EIniWriteError::Failed;
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        reason = EIniWriteError::NoSpace;
    else if (error == EACCES || error == EPERM || error == EROFS)
        reason = EIniWriteError::NoPermission;
    throw EIniWriteError(fileName, reason, QString::fromLocal8Bit(std::strerror(error)));
}

// write(2) through the test seam: a full disk once the free bytes are used up.
ssize_t writeSome(int fd, const char *data, size_t size)
{
    if (g_writeFault.BytesFree >= 0) {
        if (g_writeFault.BytesFree == 0) {
            errno = ENOSPC;
            return -1;
        }
        size = std::min<size_t>(size, size_t(g_writeFault.BytesFree));
    }
    const ssize_t written = ::write(fd, data, size);
    if (written > 0 && g_writeFault.BytesFree >= 0)
        g_writeFault.BytesFree -= written;
    return written;
}

// 0 when every byte went out, otherwise the error.
int writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = writeSome(fd, data, std::min<size_t>(left, 64 * 1024));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        data += written;
        left -= size_t(written);
    }
    return 0;
}

int flushToDisk(int fd)
{
    if (g_writeFault.FailFlush)
        return ENOSPC;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Gives the new file the mode of the one it replaces, and its owner and group where the user may.
void keepModeAndOwner(int fd, const struct stat &old)
{
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid))
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)!::fchown(fd, uid_t(-1), old.st_gid);
    (void)!::fchmod(fd, old.st_mode & 07777);
}

// The temporary file beside the target. Where the file system allows it the
// file has no name until it is complete, so a killed writer leaves nothing;
// otherwise it is "<target>.tmp", which the next writer (under the same lock) replaces.
struct TTempFile {
    int fd = -1;
    bool named = false;
    QByteArray path;

    ~TTempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (named)
            ::unlink(path.constData());
    }

    int open(const QByteArray &dir, bool allowUnnamed, mode_t mode)
    {
#ifdef O_TMPFILE
        if (allowUnnamed) {
            fd = ::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (fd >= 0)
                return 0;
        }
#endif
        ::unlink(path.constData());
        fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0)
            return errno;
        named = true;
        return 0;
    }

    // Gives an unnamed file its temporary name; 0 when done.
    int name()
    {
        if (named)
            return 0;
        ::unlink(path.constData());
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) != 0)
            return errno;
        named = true;
        return 0;
    }

    int close()
    {
        const int result = ::close(fd);
        fd = -1;
        return result == 0 ? 0 : errno;
    }

    int renameTo(const QByteArray &target)
    {
        if (::rename(path.constData(), target.constData()) != 0)
            return errno;
        named = false;
        return 0;
    }
};

// Writes the bytes as the whole new content of the file; 0 when it is in place.
int replaceFile(const QByteArray &target, const QByteArray &bytes, bool allowUnnamed)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    struct stat old {};
    const bool replaces = ::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);

    TTempFile temp;
    temp.path = target + ".tmp";
    if (const int error = temp.open(dir, allowUnnamed, replaces ? 0600 : 0666))
        return error;
    if (replaces)
        keepModeAndOwner(temp.fd, old);
    if (const int error = writeAll(temp.fd, bytes))
        return error;
    if (const int error = flushToDisk(temp.fd))
        return error;
    if (temp.name() != 0) // no /proc or no link support: write it again under a name
        return allowUnnamed ? replaceFile(target, bytes, false) : EIO;
    if (const int error = temp.close())
        return error;
    if (const int error = temp.renameTo(target))
        return error;
    // The rename itself reaches the disk with the folder.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

// The file that a write really replaces: the target of a symbolic link.
QString writeTarget(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
    }
    return fileName;
}

// The exclusive lock of a write: a kernel lock (flock) on "<file>.lock". The
// system drops it when its holder dies, so no lock is ever left behind; the
// file is removed by its holder. A lock path that is not a regular file (a
// FIFO, a folder, a device, a link) is never opened: opening a FIFO waits for
// a writer that never comes.
class TWriteLock {
public:
    enum TResult { Held, Busy, NotAFile, Failed };

    explicit TWriteLock(QByteArray path) : m_path(std::move(path)) {}
    ~TWriteLock()
    {
        if (m_fd < 0)
            return;
        ::unlink(m_path.constData());
        ::close(m_fd);
    }
    TWriteLock(const TWriteLock &) = delete;
    TWriteLock &operator=(const TWriteLock &) = delete;

    // Waits up to the time-out for the lock; the error of a failure is in Error().
    TResult Acquire(int timeoutMs)
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            struct stat named {};
            if (::lstat(m_path.constData(), &named) == 0 && !S_ISREG(named.st_mode))
                return NotAFile;
            const int fd = ::open(m_path.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
            if (fd < 0) {
                m_error = errno;
                return m_error == ELOOP || m_error == EISDIR ? NotAFile : Failed;
            }
            struct stat opened {};
            if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
                ::close(fd);
                return NotAFile;
            }
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                // The holder before may have removed the file after this one opened it:
                // the lock counts only on the file that has the name now.
                if (::lstat(m_path.constData(), &named) == 0 && named.st_ino == opened.st_ino &&
                    named.st_dev == opened.st_dev) {
                    m_fd = fd;
                    return Held;
                }
                ::close(fd);
                continue;
            }
            m_error = errno;
            ::close(fd);
            if (m_error != EWOULDBLOCK)
                return Failed;
            if (waited.elapsed() >= timeoutMs)
                return Busy;
            // A write holds the lock for milliseconds: short steps wait no longer than needed.
            QThread::msleep(2);
        }
    }

    int Error() const { return m_error; }

private:
    QByteArray m_path;
    int m_fd = -1;
    int m_error = 0;
};

// A copy of a file that is not rewritten, beside it: "<file>.damaged", or the
// first "<file>.damaged-<n>" that is free or holds the same bytes. Empty when
// none can be made.
QString keepCopy(const QString &fileName, const QByteArray &bytes)
{
    for (int n = 1; n <= 9; ++n) {
        const QString copy =
            fileName + QStringLiteral(".damaged") + (n == 1 ? QString() : QStringLiteral("-%1").arg(n));
        QFile existing(copy);
        if (existing.exists()) {
            if (QFileInfo(copy).isFile() && existing.open(QIODevice::ReadOnly) && existing.size() == bytes.size() &&
                existing.readAll() == bytes)
                return copy;
            continue;
        }
        return replaceFile(QFile::encodeName(copy), bytes, true) == 0 ? copy : QString();
    }
    return QString();
}

} // namespace

EIniWriteError::EIniWriteError(const QString &fileName, TReason reason, const QString &systemText,
                               const QString &otherFile)
    : EIniFileError(QStringLiteral("\"%1\" cannot be written: %2").arg(fileName, systemText)), m_fileName(fileName),
      m_reason(reason), m_systemText(systemText), m_otherFile(otherFile)
{
}

void TIniFile::SetWriteFaultForTests(const TWriteFault &fault) { g_writeFault = fault; }

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}
TIniFile::~TIniFile() = default;

const TIniFile::Document &TIniFile::load() const
{
    if (!m_cache || !m_cache->matches(m_fileName))
        m_cache = std::make_unique<Document>(Document::read(m_fileName));
    return *m_cache;
}

bool TIniFile::modify(const std::function<void(Document &)> &change)
{
    // Most writes repeat what the file holds: those need neither the lock nor a write.
    {
        Document probe = load().copy();
        const QByteArray before = probe.serialize();
        change(probe);
        if (probe.serialize() == before)
            return false;
    }
    const QString target = writeTarget(m_fileName);
    const QString lockName = target + QStringLiteral(".lock");
    TWriteLock lock(QFile::encodeName(lockName));
    switch (lock.Acquire(g_writeFault.LockTimeoutMs >= 0 ? g_writeFault.LockTimeoutMs : kLockTimeoutMs)) {
    case TWriteLock::Held:
        break;
    case TWriteLock::Busy:
        throw EIniWriteError(m_fileName, EIniWriteError::Locked,
                             QStringLiteral("locked by another program (%1)").arg(lockName));
    case TWriteLock::NotAFile:
        throw EIniWriteError(m_fileName, EIniWriteError::LockNotAFile,
                             QStringLiteral("its lock \"%1\" is not a regular file").arg(lockName), lockName);
    case TWriteLock::Failed:
        throwWriteError(m_fileName, lock.Error());
    }
    Document doc = Document::read(target);
    if (doc.unreadable)
        throwWriteError(m_fileName, EACCES);
    if (doc.truncated)
        throw EIniWriteError(m_fileName, EIniWriteError::Failed,
                             QStringLiteral("larger than %1 bytes, it is not rewritten").arg(kMaxFileSize));
    // Rewritten, a file that is not text would lose what it holds: it stays as it
    // is, and a copy beside it keeps its bytes should it be replaced by hand.
    if (!doc.text.IsText()) {
        const QString copy = keepCopy(target, doc.serialize());
        throw EIniWriteError(m_fileName, EIniWriteError::NotText,
                             copy.isEmpty() ? QStringLiteral("it is not a text file")
                                            : QStringLiteral("it is not a text file (a copy is kept in %1)").arg(copy),
                             copy);
    }
    doc.errorName = m_fileName;
    const QByteArray before = doc.serialize();
    change(doc);
    if (doc.serialize() == before)
        return false;
    save(doc);
    return true;
}

void TIniFile::save(const Document &doc)
{
    m_cache.reset();
    if (const int error = replaceFile(QFile::encodeName(writeTarget(m_fileName)), doc.serialize(), true))
        throwWriteError(m_fileName, error);
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const KeyEntry *k = load().findKey(section, key);
    return k ? k->value : defaultValue;
}

QString TIniFile::ReadRawString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const KeyEntry *k = load().findKey(section, key);
    return k ? k->raw : defaultValue;
}

int TIniFile::ProfileInt(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i + 1 < t.size() && t.at(i) == QLatin1Char('0') &&
        (t.at(i + 1) == QLatin1Char('x') || t.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    auto digitOf = [](QChar c) -> int {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9')
            return u - '0';
        if (u >= 'a' && u <= 'f')
            return u - 'a' + 10;
        if (u >= 'A' && u <= 'F')
            return u - 'A' + 10;
        return -1;
    };
    // Windows reads the digits into an unsigned 32-bit value that wraps on
    // overflow (4294967297 reads 1), then negates and returns it as a signed one.
    quint32 value = 0;
    for (; i < t.size(); ++i) {
        const int digit = digitOf(t.at(i));
        if (digit < 0 || digit >= base)
            break;
        value = value * quint32(base) + quint32(digit);
    }
    if (negative)
        value = 0u - value;
    return static_cast<int>(value);
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const KeyEntry *k = load().findKey(section, key);
    return k ? ProfileInt(k->value) : defaultValue;
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    checkWrite(m_fileName, section, key, value);
    modify([&](Document &doc) { doc.set(section, key, value); });
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    modify([&](Document &doc) { doc.remove(section, key); });
}

void TIniFile::EraseSection(const QString &section)
{
    modify([&](Document &doc) { doc.erase(section); });
}

bool TIniFile::Update(const std::function<void(TEdit &)> &edit)
{
    return modify([&](Document &doc) {
        TEdit change(doc, m_fileName);
        edit(change);
    });
}

namespace {

// The names in order, each once (compared without regard to case).
template <typename Items, typename NameOf>
QStringList uniqueNames(const Items &items, NameOf nameOf)
{
    QStringList names;
    for (const auto &item : items) {
        const QString &name = nameOf(item);
        const bool seen =
            std::any_of(names.cbegin(), names.cend(), [&](const QString &have) { return sameName(have, name); });
        if (!seen)
            names.append(name);
    }
    return names;
}

QStringList keyNames(const Section *s)
{
    return s ? uniqueNames(s->keys, [](const KeyEntry &k) -> const QString & { return k.key; }) : QStringList();
}

} // namespace

QStringList TIniFile::ReadSection(const QString &section) const { return keyNames(load().find(section)); }

QStringList TIniFile::ReadSections() const
{
    return uniqueNames(load().sections, [](const Section &s) -> const QString & { return s.name; });
}

bool TIniFile::SectionExists(const QString &section) const { return load().find(section) != nullptr; }

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return load().findKey(section, key) != nullptr;
}

QString TIniFile::TEdit::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const KeyEntry *k = m_doc.findKey(section, key);
    return k ? k->value : defaultValue;
}

bool TIniFile::TEdit::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    const KeyEntry *k = m_doc.findKey(section, key);
    return k ? ProfileInt(k->value) != 0 : defaultValue;
}

QStringList TIniFile::TEdit::ReadSection(const QString &section) const { return keyNames(m_doc.find(section)); }

bool TIniFile::TEdit::SectionExists(const QString &section) const { return m_doc.find(section) != nullptr; }

bool TIniFile::TEdit::ValueExists(const QString &section, const QString &key) const
{
    return m_doc.findKey(section, key) != nullptr;
}

void TIniFile::TEdit::WriteString(const QString &section, const QString &key, const QString &value)
{
    checkWrite(m_fileName, section, key, value);
    m_doc.set(section, key, value);
}

void TIniFile::TEdit::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::TEdit::DeleteKey(const QString &section, const QString &key) { m_doc.remove(section, key); }
