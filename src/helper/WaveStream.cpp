#include "helper/WaveStream.h"

#include <algorithm>
#include <cstring>

CWaveStream::CWaveStream(bool bInput, const WAVEFORMATEX& format, CWaveSink* pSink,
                         std::size_t nCapacity)
    : m_bInput(bInput),
      m_format(format),
      m_pSink(pSink),
      m_nCapacity(nCapacity),
      m_queued(nCapacity),
      m_finished(nCapacity) {}

MMRESULT CWaveStream::Queue(WAVEHDR* pHeader) {
    if (m_nInFlight >= m_nCapacity) {
        return MMSYSERR_NOMEM;
    }
    const MMRESULT nResult = WaveQueueHeader(pHeader);
    if (nResult != MMSYSERR_NOERROR) {
        return nResult;
    }
    auto stale = std::find(m_completions.begin(), m_completions.end(), pHeader);
    if (stale != m_completions.end()) {
        m_completions.erase(stale);
    }
    // Cannot fail: fewer than the capacity are in flight, and the finished
    // queue holds only buffers in flight.
    m_queued.Push(pHeader);
    ++m_nInFlight;
    return MMSYSERR_NOERROR;
}

void CWaveStream::Complete(WAVEHDR* pHeader) {
    WaveMarkDone(pHeader);
    m_completions.push_back(pHeader);
    --m_nInFlight;
}

void CWaveStream::CollectFinished() {
    WAVEHDR* pHeader = nullptr;
    while (m_finished.Pop(pHeader)) {
        Complete(pHeader);
    }
}

void CWaveStream::AfterStop() {
    // The callback has returned for good; this acquire pairs with its last release.
    m_nCallbacks.load(std::memory_order_acquire);
    CollectFinished();
    if (m_pCurrent != nullptr) {
        if (m_bInput) {
            m_pCurrent->dwBytesRecorded = m_nOffset;
        }
        Complete(m_pCurrent);
        m_pCurrent = nullptr;
        m_nOffset = 0;
    }
    m_nLeadBytes = 0;
    // The queue's consuming side passes to this thread while the stream is stopped.
    WAVEHDR* pHeader = nullptr;
    while (m_queued.Pop(pHeader)) {
        Complete(pHeader);
    }
}

void CWaveStream::Withdraw(WAVEHDR* pHeader) {
    m_nCallbacks.load(std::memory_order_acquire);
    std::deque<WAVEHDR*> kept;
    WAVEHDR* pQueued = nullptr;
    while (m_queued.Pop(pQueued)) {
        if (pQueued == pHeader) {
            pHeader->dwFlags &= ~WHDR_INQUEUE;
            --m_nInFlight;
        } else {
            kept.push_back(pQueued);
        }
    }
    for (WAVEHDR* pKept : kept) {
        m_queued.Push(pKept);
    }
}

bool CWaveStream::HasWaiting() const {
    return !m_completions.empty() || !m_finished.Empty();
}

WAVEHDR* CWaveStream::TakeCompletion() {
    if (m_completions.empty()) {
        return nullptr;
    }
    WAVEHDR* pHeader = m_completions.front();
    m_completions.pop_front();
    return pHeader;
}

bool CWaveStream::Transfer(const void* pInput, void* pOutput, std::size_t nBytes) {
    return m_bInput ? Record(static_cast<const char*>(pInput), nBytes)
                    : Play(static_cast<char*>(pOutput), nBytes);
}

bool CWaveStream::Record(const char* pData, std::size_t nBytes) {
    bool bFinished = false;
    while (pData != nullptr && nBytes > 0) {
        if (m_pCurrent == nullptr) {
            if (!m_queued.Pop(m_pCurrent)) {
                m_nDry.fetch_add(1, std::memory_order_relaxed);
                break;
            }
            m_nOffset = 0;
        }
        const std::size_t nCopy =
            std::min<std::size_t>(nBytes, m_pCurrent->dwBufferLength - m_nOffset);
        std::memcpy(m_pCurrent->lpData + m_nOffset, pData, nCopy);
        m_nOffset += static_cast<std::uint32_t>(nCopy);
        pData += nCopy;
        nBytes -= nCopy;
        if (m_nOffset == m_pCurrent->dwBufferLength) {
            m_pCurrent->dwBytesRecorded = m_nOffset;
            m_finished.Push(m_pCurrent);
            m_pCurrent = nullptr;
            bFinished = true;
        }
    }
    return bFinished;
}

bool CWaveStream::Play(char* pData, std::size_t nBytes) {
    bool bFinished = false;
    if (pData != nullptr && m_nLeadBytes > 0) {
        const std::size_t nLead = std::min(nBytes, m_nLeadBytes);
        std::memset(pData, m_format.wBitsPerSample == 8 ? 0x80 : 0, nLead);
        m_nLeadBytes -= nLead;
        pData += nLead;
        nBytes -= nLead;
    }
    while (pData != nullptr && nBytes > 0) {
        if (m_pCurrent == nullptr) {
            if (!m_queued.Pop(m_pCurrent)) {
                std::memset(pData, m_format.wBitsPerSample == 8 ? 0x80 : 0, nBytes);
                m_nDry.fetch_add(1, std::memory_order_relaxed);
                break;
            }
            m_nOffset = 0;
        }
        const std::size_t nCopy =
            std::min<std::size_t>(nBytes, m_pCurrent->dwBufferLength - m_nOffset);
        std::memcpy(pData, m_pCurrent->lpData + m_nOffset, nCopy);
        m_nOffset += static_cast<std::uint32_t>(nCopy);
        pData += nCopy;
        nBytes -= nCopy;
        if (m_nOffset == m_pCurrent->dwBufferLength) {
            m_finished.Push(m_pCurrent);
            m_pCurrent = nullptr;
            bFinished = true;
        }
    }
    return bFinished;
}
