#include "Console/CallbackIMPL.h"

#include "Core/Exceptions.h"

TCallback::~TCallback() = default;

int32_t TCallback::ExecServiceCmd(const char *guid, const char *altGuid, uint8_t command)
{
    if (!m_handler)
        throw Exception(QStringLiteral("TCallback.ExecServiceCmd: CallBack function is not defined"));
    // A copy: the handler may be replaced while it runs.
    const THandler handler = m_handler;
    return handler(guid, altGuid, command);
}
