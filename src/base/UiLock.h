// SPDX-License-Identifier: GPL-3.0-or-later
// CUiLock is the user-interface lock (see CWaveDispatcher): a plain lock that
// can also be tried for a while. Built on a mutex and a condition variable
// rather than std::timed_mutex, whose timed wait the thread checker of the
// test build cannot see. Any thread; unlock only on the thread that locked.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class CUiLock {
public:
    void lock();
    void unlock();
    bool try_lock_for(std::chrono::milliseconds wait);

private:
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_bHeld = false;  // guarded by m_mutex
};
