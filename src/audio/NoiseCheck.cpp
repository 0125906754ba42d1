#include "audio/NoiseCheck.h"

#include <algorithm>
#include <cstring>

namespace {

// A period this clear is a tone, however it moves. A tone as loud as the
// white noise around it reaches about 0.8; white noise stays below 0.2, and
// noise with most of its power low down below 0.6.
constexpr double kToneClarity = 0.7;

}  // namespace

CNoiseCheck::CNoiseCheck(int nSamplingRate, int nChannels)
    : m_analyser(nSamplingRate, nChannels),
      m_nFrameBytes(2 * static_cast<std::size_t>(m_analyser.GetChannels())) {
    const auto nFrames = static_cast<std::size_t>(kKeptSeconds * m_analyser.GetSamplingRate());
    m_anRing.resize(std::max<std::size_t>(1, nFrames) * m_nFrameBytes);
}

void CNoiseCheck::Clear() {
    m_nStart = 0;
    m_nFilled = 0;
}

void CNoiseCheck::Keep(const void* pData, std::size_t nBytes) {
    if (pData == nullptr) {
        return;
    }
    const auto* p = static_cast<const unsigned char*>(pData);
    nBytes -= nBytes % m_nFrameBytes;
    // Only the newest ring's worth matters.
    if (nBytes > m_anRing.size()) {
        p += nBytes - m_anRing.size();
        nBytes = m_anRing.size();
    }
    while (nBytes > 0) {
        const std::size_t nEnd = (m_nStart + m_nFilled) % m_anRing.size();
        const std::size_t nTake = std::min(nBytes, m_anRing.size() - nEnd);
        std::memcpy(m_anRing.data() + nEnd, p, nTake);
        p += nTake;
        nBytes -= nTake;
        const std::size_t nRoom = m_anRing.size() - m_nFilled;
        if (nTake <= nRoom) {
            m_nFilled += nTake;
        } else {
            m_nFilled = m_anRing.size();
            m_nStart = (m_nStart + nTake - nRoom) % m_anRing.size();
        }
    }
}

bool CNoiseCheck::IsNoise() {
    m_analyser.Reset();
    const std::size_t nFirst = std::min(m_nFilled, m_anRing.size() - m_nStart);
    m_analyser.Feed16(m_anRing.data() + m_nStart, nFirst);
    m_analyser.Feed16(m_anRing.data(), m_nFilled - nFirst);
    return !m_analyser.Latest().m_bValid && m_analyser.GetClarity() < kToneClarity;
}
