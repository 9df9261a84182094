#pragma once
// Pointing the data components of a form at a scheme and a session. SQL texts
// name the scheme's objects through the macro "&shema"; packages and stored
// procedures carry the scheme as the owner part of their dotted names.
#include "Core/PlatformExport.h"

#include <QString>

class QObject;
class TOraSession;

// Replaces the owner part (everything before the first ".") of a dotted name:
// "a.PACK.PROC" with scheme S becomes "S.PACK.PROC". A name without "." is refused.
PLATFORM_EXPORT void fSetShemaName(QString &objectName, const QString &scheme);
// Points every data component owned by the owner (Tag 0) at the scheme.
PLATFORM_EXPORT void fSetShema(QObject *owner, const QString &scheme);
// Gives every data set, package and error handler owned by the owner the session.
PLATFORM_EXPORT void SetComponentsSession(QObject *owner, TOraSession *session);
// "xxx.Request" becomes "<scheme>.Request": the part after the first "." behind the scheme.
PLATFORM_EXPORT QString QualifyObjectName(const QString &name, const QString &scheme);
