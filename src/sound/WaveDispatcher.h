// SPDX-License-Identifier: GPL-3.0-or-later
// CWaveDispatcher brings the sound devices' completions to their sinks so that
// the user-interface thread wakes only for those that change the window. The
// layer's wake handler wakes the dispatcher's sound thread, which takes the
// user-interface lock (held by the user-interface thread whenever it is not
// waiting for events, so taking it means that thread is asleep) and runs the
// layer's PumpQuietly: buffers that only need refilling or measuring are
// handled there. Whatever is left (a new reading, a lost device) is handed to
// the user-interface thread through the post function, as one call that runs
// the layer's Pump. If the lock cannot be had within a short wait (the
// user-interface thread is busy), that call is posted at once, so a busy
// window never holds up the sound.
// Start, Stop and the destructor run on the user-interface thread, holding the
// user-interface lock.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "base/UiLock.h"

class CWaveLayer;

class CWaveDispatcher {
public:
    // Queues a call to run on the user-interface thread; callable from any thread.
    using PostFn = std::function<void(std::function<void()>)>;

    CWaveDispatcher(CWaveLayer* pLayer, CUiLock& uiLock, PostFn fnPost);
    ~CWaveDispatcher() { Stop(); }
    CWaveDispatcher(const CWaveDispatcher&) = delete;
    CWaveDispatcher& operator=(const CWaveDispatcher&) = delete;

    // Installs the wake handler and, with bThread, starts the sound thread.
    // Without it nothing runs until DispatchLocked is called (tests).
    void Start(bool bThread = true);
    // Removes the wake handler and ends the sound thread; a posted call that
    // runs later finds the dispatcher stopped and does nothing.
    void Stop();

    // One round of the sound thread, run by the caller, who holds the lock.
    void DispatchLocked();

    // How long the sound thread tries for the lock before it leaves the
    // completions to the user-interface thread.
    static constexpr int kLockWaitMs = 20;

private:
    // Shared with the wake handler and the posted calls, which may outlive
    // this object by a call.
    struct SShared {
        CWaveLayer* m_pLayer = nullptr;
        CUiLock* m_pUiLock = nullptr;
        PostFn m_fnPost;
        std::mutex m_mutex;
        std::condition_variable m_wake;
        bool m_bWoken = false;   // guarded by m_mutex
        bool m_bActive = false;  // guarded by m_mutex: between Start and Stop
        bool m_bPosted = false;  // guarded by m_mutex: a call is queued
    };

    static void Run(const std::shared_ptr<SShared>& pShared);
    // Pumps quietly and posts a call for what is left; lock held.
    static void Serve(const std::shared_ptr<SShared>& pShared);
    static void Post(const std::shared_ptr<SShared>& pShared);

    std::shared_ptr<SShared> m_pShared;
    std::thread m_thread;
};
