#include "LockWait.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <sqlite3.h>
#include <thread>

namespace {

LockWaitHook& hook() {
    static LockWaitHook instance;
    return instance;
}

// SQLite calls this each time it finds the lock taken; `tries` counts the calls
// of one wait. Returning 0 gives up, and the statement fails as busy.
int waitOnce(void* timeout, int tries) {
    // The first tries are short, so a lock held for a moment costs a moment.
    static constexpr int Delays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    constexpr int Count = int(sizeof Delays / sizeof Delays[0]);
    const int limit = int(reinterpret_cast<intptr_t>(timeout));
    int waited = 0;
    for (int i = 0; i < tries; ++i)
        waited += i < Count ? Delays[i] : Delays[Count - 1];
    if (waited >= limit)
        return 0;
    if (tries == 0 && hook())
        hook()();
    const int delay = tries < Count ? Delays[tries] : Delays[Count - 1];
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(delay, limit - waited)));
    return 1;
}

} // namespace

void setLockWaitHook(LockWaitHook newHook) {
    hook() = std::move(newHook);
}

void waitForLocks(sqlite3* db, int timeoutMs) {
    sqlite3_busy_handler(db, &waitOnce, reinterpret_cast<void*>(intptr_t(timeoutMs)));
}
