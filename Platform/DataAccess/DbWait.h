#pragma once
// What the user waits for on the program's thread, reported to the layer above
// so that it can show the wait (a wait cursor, a status text). Two kinds:
//
// - a wait for the database: a write lock that another program holds keeps a
//   statement waiting up to the backend's time-out; the backend reports the
//   wait while it lasts;
// - work: a statement runs and its rows are read, a data set takes them in.
//   Every statement and every opening of a data set is work (TDbWork), and the
//   loops that read rows report that it goes on (DbWorkGoesOn), so the layer
//   above can show the wait once work has lasted long enough.
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

    // Work began (the outermost of nested work only).
    virtual void WorkStarted() {}
    // Work goes on; called every so often while it lasts.
    virtual void WorkGoesOn() {}
    // The outermost work is over.
    virtual void WorkEnded() {}
};

// The indicator in use (not owned), or null: then nothing is shown.
PLATFORM_EXPORT void SetDbWaitIndicator(TDbWaitIndicator *indicator);
PLATFORM_EXPORT TDbWaitIndicator *DbWaitIndicator();

// Work for the time the object lives; nests.
class PLATFORM_EXPORT TDbWork {
public:
    TDbWork();
    ~TDbWork();
    TDbWork(const TDbWork &) = delete;
    TDbWork &operator=(const TDbWork &) = delete;
};

// Called for every row a loop reads: tells the indicator, every few hundred rows, that work goes on.
PLATFORM_EXPORT void DbWorkGoesOn();
