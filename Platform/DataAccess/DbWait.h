#pragma once
// Waiting for the database: a write lock that another program holds keeps a
// statement waiting up to the backend's time-out. The layer above shows the
// user that the program waits (a wait cursor, a status text); the backend
// reports the wait here, on the waiting thread, while it lasts.
#include "Core/PlatformExport.h"

class PLATFORM_EXPORT TDbWaitIndicator {
public:
    virtual ~TDbWaitIndicator();
    // A wait began.
    virtual void WaitStarted() = 0;
    // The wait goes on; called again and again with the time waited so far.
    virtual void WaitGoesOn(int elapsedMs) = 0;
    // The wait is over (the lock came, or the time ran out).
    virtual void WaitEnded() = 0;
};

// The indicator in use (not owned), or null: then nothing is shown.
PLATFORM_EXPORT void SetDbWaitIndicator(TDbWaitIndicator *indicator);
PLATFORM_EXPORT TDbWaitIndicator *DbWaitIndicator();
