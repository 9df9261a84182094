#include "EmbeddedServer/PasswordHash.h"

#include "DataAccess/DAError.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRegularExpression>
#include <QStringList>

#include <sodium.h>

namespace {

// One log-in's hash stays well under a fifth of a second on a small machine
// (bench_passwordhash): 19 MiB and two passes.
constexpr unsigned long long kPasses = 2;
constexpr size_t kMemoryBytes = size_t(19) * 1024 * 1024;
// A stored hash asks for its own cost; a damaged one must not make a log-in
// take minutes or gigabytes.
constexpr qulonglong kMaxMemoryKiB = 1024 * 1024;
constexpr qulonglong kMaxPasses = 32;
constexpr qulonglong kMaxLanes = 8;
// The key length of the hashes written before Argon2id.
constexpr qsizetype kPbkdf2KeyBytes = 32;

void requireSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        RaiseOraError(OraErr::InvalidSql, QStringLiteral("the password hash library could not start"));
}

bool isArgon2id(const QString &stored) { return stored.startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX)); }

// The stored text as libsodium reads it, or empty when it is no Argon2id hash within the limits.
QByteArray argon2Text(const QString &stored)
{
    static const QRegularExpression form(
        QStringLiteral("^\\$argon2id\\$v=19\\$m=(\\d{1,10}),t=(\\d{1,10}),p=(\\d{1,3})\\$"
                       "[A-Za-z0-9+/]+\\$[A-Za-z0-9+/]+$"));
    const QRegularExpressionMatch m = form.match(stored);
    if (!m.hasMatch() || stored.size() >= crypto_pwhash_STRBYTES)
        return QByteArray();
    if (m.captured(1).toULongLong() > kMaxMemoryKiB || m.captured(2).toULongLong() > kMaxPasses ||
        m.captured(3).toULongLong() > kMaxLanes)
        return QByteArray();
    return stored.toLatin1();
}

bool verifyPbkdf2(const QString &password, const QString &stored)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != QLatin1String("pbkdf2-sha256"))
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < 1 || iterations > 10000000)
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts[2].toLatin1());
    const QByteArray expected = QByteArray::fromBase64(parts[3].toLatin1());
    // A key of another length is a damaged hash: a shorter one is a prefix of the right key.
    if (expected.size() != kPbkdf2KeyBytes)
        return false;
    const QByteArray actual = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                                                 iterations, quint64(expected.size()));
    return actual.size() == expected.size() &&
           sodium_memcmp(actual.constData(), expected.constData(), size_t(actual.size())) == 0;
}

} // namespace

QString HashPassword(const QString &password)
{
    requireSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), quint64(utf8.size()), kPasses, kMemoryBytes,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        RaiseOraError(4030, QStringLiteral("out of process memory when trying to hash a password"));
    return QString::fromLatin1(out);
}

bool VerifyPassword(const QString &password, const QString &stored)
{
    requireSodium();
    if (!isArgon2id(stored))
        return verifyPbkdf2(password, stored);
    const QByteArray text = argon2Text(stored);
    const QByteArray utf8 = password.toUtf8();
    return !text.isEmpty() && crypto_pwhash_str_verify(text.constData(), utf8.constData(), quint64(utf8.size())) == 0;
}

bool PasswordNeedsRehash(const QString &stored)
{
    requireSodium();
    const QByteArray text = argon2Text(stored);
    // The library reads only the cost: a hash cut short or damaged is replaced as well.
    static const QRegularExpression whole(
        QStringLiteral("^\\$argon2id\\$v=19\\$m=\\d+,t=\\d+,p=\\d+\\$[A-Za-z0-9+/]{22}\\$"
                       "[A-Za-z0-9+/]{43}$"));
    return text.isEmpty() || !whole.match(QString::fromLatin1(text)).hasMatch() ||
           crypto_pwhash_str_needs_rehash(text.constData(), kPasses, kMemoryBytes) != 0;
}
