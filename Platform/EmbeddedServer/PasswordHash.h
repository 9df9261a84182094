#pragma once
// Salted password hashes of the embedded server's accounts: Argon2id
// (libsodium) in its self-describing form
// "$argon2id$v=19$m=<KiB>,t=<passes>,p=<lanes>$<salt>$<hash>", which carries
// its own cost. Hashes of the older form
// "pbkdf2-sha256$<iterations>$<salt>$<hash>" are still verified, and the
// log-in replaces them (PasswordNeedsRehash).
#include "Core/PlatformExport.h"

#include <QString>

PLATFORM_EXPORT QString HashPassword(const QString &password);
// False for a wrong password and for a stored text that is no hash of a known form.
PLATFORM_EXPORT bool VerifyPassword(const QString &password, const QString &stored);
// The stored hash is of the older form or of another cost than HashPassword's.
PLATFORM_EXPORT bool PasswordNeedsRehash(const QString &stored);
