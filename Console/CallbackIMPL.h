#pragma once
// The console's callback object: what a service module calls to send the
// console a command about a service (close it, forget it, free the others).
#include "Source/ComUnits/ZandrellInterface.h"

#include <functional>

class TCallback : public TICallback {
public:
    // identifier, alternative identifier, command -> result.
    using THandler = std::function<int32_t(const char *guid, const char *altGuid, uint8_t command)>;

    TCallback() = default;
    TCallback(const TCallback &) = delete;
    TCallback &operator=(const TCallback &) = delete;
    virtual ~TCallback();

    // Forwards to the handler; fails when none is set.
    int32_t ExecServiceCmd(const char *guid, const char *altGuid, uint8_t command) override;
    int32_t Reserved() override { return 0; }

    const THandler &Handler() const { return m_handler; }
    void SetHandler(THandler handler) { m_handler = std::move(handler); }

private:
    THandler m_handler;
};
