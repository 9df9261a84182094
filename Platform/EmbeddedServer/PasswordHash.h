#pragma once
// Salted password hashes of the embedded server's accounts:
// "pbkdf2-sha256$<iterations>$<salt>$<hash>" (salt and hash in Base64).
#include "PlatformExport.h"

#include <QString>

PLATFORM_EXPORT QString HashPassword(const QString &password);
PLATFORM_EXPORT bool VerifyPassword(const QString &password, const QString &stored);
