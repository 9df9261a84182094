#include "Console/SelSrvIMPL.h"

#include "Core/Exceptions.h"

bool ChooseServices(TSrvItemArray &, TSrvModeArray &, const TSrvCheck &)
{
    throw Exception(QStringLiteral("ChooseServices: not built yet"));
}
