#include "Console/RightsEditIMPL.h"

#include "Core/Exceptions.h"

#include <QString>

bool EditRights(TMnuItem *)
{
    throw Exception(QStringLiteral("EditRights: not built yet"));
}
