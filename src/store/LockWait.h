#pragma once

#include <functional>

struct sqlite3;

// A write that finds the file locked by another program waits for it, up to a
// few seconds. The store has no windows: whoever shows the user that the
// program is waiting sets a hook, told once at the start of each wait. The wait
// ends when the call that waited returns.
using LockWaitHook = std::function<void()>;
void setLockWaitHook(LockWaitHook hook);

// Makes a connection wait up to timeoutMs for other programs' locks, telling the hook.
void waitForLocks(sqlite3* db, int timeoutMs);
