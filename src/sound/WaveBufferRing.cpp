#include "sound/WaveBufferRing.h"

#include <new>

#include "sound/WaveHelperProtocol.h"

// The sound layer refuses to queue more than this.
static_assert(CWaveBufferRing::kMaxCount <= static_cast<int>(kHelperMaxQueued),
              "a ring must fit the sound layer's queue");

std::string CWaveBufferRing::Unusable(int nCount, int nSize, int nFrameBytes) {
    const std::string strRing =
        std::to_string(nCount) + " buffers of " + std::to_string(nSize) + " bytes";
    if (nSize <= 0 || (nFrameBytes > 0 && nSize % nFrameBytes != 0)) {
        return "The buffer size cannot be used: " + strRing + ", not a whole number of " +
               std::to_string(nFrameBytes) + "-byte frames";
    }
    if (nSize > kMaxSize) {
        return "The buffer size cannot be used: " + strRing + ", more than " +
               std::to_string(kMaxSize) + " bytes each";
    }
    if (nCount > kMaxCount) {
        return "The buffers cannot be used: " + strRing + ", more than the " +
               std::to_string(kMaxCount) + " a sound device can queue";
    }
    if (static_cast<long long>(nCount) * nSize > kMaxBytes) {
        return "The buffers cannot be used: " + strRing + ", more than " +
               std::to_string(kMaxBytes / (1024 * 1024)) + " MB in all";
    }
    return std::string();
}

CWaveBufferRing::CWaveBufferRing(int nCount)
    : m_bTooMany(nCount > kMaxCount),
      m_headers(nCount > 0 && nCount <= kMaxCount ? static_cast<std::size_t>(nCount) : 0, nullptr) {
}

CWaveBufferRing::~CWaveBufferRing() {
    Release();
}

bool CWaveBufferRing::Allocate(int nSize) {
    Release();
    if (m_bTooMany || nSize > kMaxSize ||
        static_cast<long long>(m_headers.size()) * nSize > kMaxBytes) {
        return false;
    }
    const std::size_t nBytes = nSize > 0 ? static_cast<std::size_t>(nSize) : 0;
    for (std::size_t i = 0; i < m_headers.size(); ++i) {
        WAVEHDR* pHeader = new (std::nothrow) WAVEHDR();
        char* pBlock = new (std::nothrow) char[nBytes > 0 ? nBytes : 1]();
        if (pHeader == nullptr || pBlock == nullptr) {
            delete pHeader;
            delete[] pBlock;
            m_bAllocated = true;  // so that Release frees the slots filled so far
            Release();
            return false;
        }
        pHeader->lpData = pBlock;
        pHeader->dwBufferLength = static_cast<std::uint32_t>(nBytes);
        pHeader->dwFlags = 0;
        pHeader->dwUser = i;
        m_headers[i] = pHeader;
    }
    m_bAllocated = true;
    return true;
}

void CWaveBufferRing::Release() {
    if (!m_bAllocated) {
        return;
    }
    for (WAVEHDR*& pHeader : m_headers) {
        if (pHeader != nullptr) {
            delete[] pHeader->lpData;
            delete pHeader;
            pHeader = nullptr;
        }
    }
    m_bAllocated = false;
}

WAVEHDR* CWaveBufferRing::Header(int nIndex) const {
    if (nIndex < 0 || nIndex >= Count()) {
        return nullptr;
    }
    return m_headers[static_cast<std::size_t>(nIndex)];
}

bool CWaveBufferRing::Owns(const WAVEHDR* pHeader) const {
    if (pHeader == nullptr) {
        return false;
    }
    for (const WAVEHDR* pOwn : m_headers) {
        if (pOwn == pHeader) {
            return true;
        }
    }
    return false;
}
