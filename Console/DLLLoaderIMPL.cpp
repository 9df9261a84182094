#include "Console/DLLLoaderIMPL.h"

#include "Core/Exceptions.h"

bool ShowLoader(TBaseServiceList &, const TLoaderFilter &)
{
    throw Exception(QStringLiteral("ShowLoader: not built yet"));
}
