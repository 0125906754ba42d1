#include "helper/WaveNotifier.h"

#include <time.h>

#include <cerrno>
#include <chrono>

CWaveNotifier::CWaveNotifier(int nTickMs) : m_nTickMs(nTickMs) {
    sem_init(&m_semArrived, 0, 0);
    m_thread = std::thread([this] { Run(); });
}

CWaveNotifier::~CWaveNotifier() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    sem_post(&m_semArrived);
    m_thread.join();
    sem_destroy(&m_semArrived);
}

void CWaveNotifier::StreamStarted() {
    m_nRunning.fetch_add(1, std::memory_order_relaxed);
    sem_post(&m_semArrived);  // the thread may be waiting without a tick: start ticking
}

void CWaveNotifier::StreamStopped() {
    m_nRunning.fetch_sub(1, std::memory_order_relaxed);
}

void CWaveNotifier::SetWakeHandler(std::function<void()> fnWake) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fnWake = std::move(fnWake);
}

bool CWaveNotifier::Wait(int nTimeoutMs, const std::function<bool()>& bWaiting) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bArrived = false;
    }
    if (bWaiting()) {
        return true;
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cvArrived.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                             [this] { return m_bArrived; });
    }
    return bWaiting();
}

void CWaveNotifier::Run() {
    for (;;) {
        if (m_nRunning.load(std::memory_order_relaxed) > 0) {
            timespec deadline{};
            clock_gettime(CLOCK_REALTIME, &deadline);
            deadline.tv_nsec += static_cast<long>(m_nTickMs) * 1000000L;
            while (deadline.tv_nsec >= 1000000000L) {
                deadline.tv_sec += 1;
                deadline.tv_nsec -= 1000000000L;
            }
            while (sem_timedwait(&m_semArrived, &deadline) != 0 && errno == EINTR) {
            }
        } else {
            while (sem_wait(&m_semArrived) != 0 && errno == EINTR) {
            }
        }
        // Several posts in a row need one wake only.
        while (sem_trywait(&m_semArrived) == 0) {
        }
        std::function<void()> fnWake;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_bQuit) {
                return;
            }
            m_bArrived = true;
            fnWake = m_fnWake;
        }
        m_cvArrived.notify_all();
        if (fnWake) {
            fnWake();
        }
    }
}
