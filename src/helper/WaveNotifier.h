// SPDX-License-Identifier: GPL-3.0-or-later
// CWaveNotifier turns the audio callbacks' signals into calls of a wake
// handler, on a thread of its own: a callback only posts a semaphore (which
// never blocks or allocates), and this thread wakes whoever pumps the layer.
// While streams run it also wakes them every tick, so that a stream that went
// quiet is noticed even when nothing else happens. Post may be called from
// any thread; everything else from the layer's owner.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CWaveNotifier {
public:
    explicit CWaveNotifier(int nTickMs);
    ~CWaveNotifier();
    CWaveNotifier(const CWaveNotifier&) = delete;
    CWaveNotifier& operator=(const CWaveNotifier&) = delete;

    // Any thread, the audio callback included: something has arrived.
    void Post() { sem_post(&m_semArrived); }

    // Ticks run while at least one stream has started and not stopped.
    void StreamStarted();
    void StreamStopped();

    // fnWake runs on the notifier's thread after every post and tick.
    void SetWakeHandler(std::function<void()> fnWake);

    // Forgets earlier arrivals, then waits up to nTimeoutMs for the next one
    // (or a tick), checking bWaiting first so that nothing is missed.
    bool Wait(int nTimeoutMs, const std::function<bool()>& bWaiting);

private:
    void Run();

    const int m_nTickMs;
    sem_t m_semArrived;
    std::mutex m_mutex;
    std::condition_variable m_cvArrived;
    bool m_bArrived = false;
    bool m_bQuit = false;
    std::function<void()> m_fnWake;
    std::atomic<int> m_nRunning{0};
    std::thread m_thread;
};
