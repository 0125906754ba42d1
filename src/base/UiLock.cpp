#include "base/UiLock.h"

void CUiLock::lock() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_free.wait(lock, [this] { return !m_bHeld; });
    m_bHeld = true;
}

void CUiLock::unlock() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bHeld = false;
    }
    m_free.notify_one();
}

bool CUiLock::try_lock_for(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_free.wait_for(lock, wait, [this] { return !m_bHeld; })) {
        return false;
    }
    m_bHeld = true;
    return true;
}
