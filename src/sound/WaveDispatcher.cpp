#include "sound/WaveDispatcher.h"

#include <chrono>

#include "sound/WaveLayer.h"

CWaveDispatcher::CWaveDispatcher(CWaveLayer* pLayer, CUiLock& uiLock, PostFn fnPost)
    : m_pShared(std::make_shared<SShared>()) {
    m_pShared->m_pLayer = pLayer;
    m_pShared->m_pUiLock = &uiLock;
    m_pShared->m_fnPost = std::move(fnPost);
}

void CWaveDispatcher::Start(bool bThread) {
    Stop();
    {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        m_pShared->m_bActive = true;
        m_pShared->m_bWoken = true;  // whatever arrived before the start
    }
    std::weak_ptr<SShared> pWeak = m_pShared;
    m_pShared->m_pLayer->SetWakeHandler([pWeak] {
        if (std::shared_ptr<SShared> pShared = pWeak.lock()) {
            {
                std::lock_guard<std::mutex> lock(pShared->m_mutex);
                pShared->m_bWoken = true;
            }
            pShared->m_wake.notify_one();
        }
    });
    if (bThread) {
        std::shared_ptr<SShared> pShared = m_pShared;
        m_thread = std::thread([pShared] { Run(pShared); });
    }
}

void CWaveDispatcher::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        if (!m_pShared->m_bActive) {
            return;
        }
        m_pShared->m_bActive = false;
    }
    m_pShared->m_wake.notify_one();
    m_pShared->m_pLayer->SetWakeHandler(nullptr);
    // The thread cannot hold the lock now (the caller does): it is waiting
    // for a wake or for the lock, and sees the stop within kLockWaitMs.
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CWaveDispatcher::DispatchLocked() {
    {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        if (!m_pShared->m_bActive) {
            return;
        }
        m_pShared->m_bWoken = false;
    }
    Serve(m_pShared);
}

void CWaveDispatcher::Run(const std::shared_ptr<SShared>& pShared) {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(pShared->m_mutex);
            pShared->m_wake.wait(lock, [&] { return pShared->m_bWoken || !pShared->m_bActive; });
            if (!pShared->m_bActive) {
                return;
            }
            pShared->m_bWoken = false;
        }
        if (!pShared->m_pUiLock->try_lock_for(std::chrono::milliseconds(kLockWaitMs))) {
            // The user-interface thread is busy: it does the work itself.
            Post(pShared);
            continue;
        }
        bool bActive = false;
        {
            std::lock_guard<std::mutex> lock(pShared->m_mutex);
            bActive = pShared->m_bActive;
        }
        if (bActive) {
            Serve(pShared);
        }
        pShared->m_pUiLock->unlock();
    }
}

void CWaveDispatcher::Serve(const std::shared_ptr<SShared>& pShared) {
    {
        std::lock_guard<std::mutex> lock(pShared->m_mutex);
        if (pShared->m_bPosted) {
            return;  // the posted Pump takes everything, in order
        }
    }
    if (pShared->m_pLayer->PumpQuietly()) {
        Post(pShared);
    }
}

void CWaveDispatcher::Post(const std::shared_ptr<SShared>& pShared) {
    {
        std::lock_guard<std::mutex> lock(pShared->m_mutex);
        if (pShared->m_bPosted || !pShared->m_bActive) {
            return;
        }
        pShared->m_bPosted = true;
    }
    pShared->m_fnPost([pShared] {
        bool bActive = false;
        {
            std::lock_guard<std::mutex> lock(pShared->m_mutex);
            pShared->m_bPosted = false;
            bActive = pShared->m_bActive;
        }
        if (bActive) {
            pShared->m_pLayer->Pump();
        }
    });
}
