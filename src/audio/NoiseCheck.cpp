#include "audio/NoiseCheck.h"

#include <algorithm>
#include <cstring>

namespace {

// A period this clear is a tone, however it moves. A tone as loud as the
// white noise around it reaches about 0.8; white noise stays below 0.2, and
// noise with most of its power low down below 0.6.
constexpr double kToneClarity = 0.7;
// The newest part whose period is looked at first: the period window and time
// for the filters before it to settle.
constexpr double kRecentSeconds = 0.15;

}  // namespace

CNoiseCheck::CNoiseCheck(int nSamplingRate, int nChannels)
    : m_analyser(nSamplingRate, nChannels),
      m_nFrameBytes(2 * static_cast<std::size_t>(m_analyser.GetChannels())) {
    const auto nFrames = static_cast<std::size_t>(kKeptSeconds * m_analyser.GetSamplingRate());
    m_anRing.resize(std::max<std::size_t>(1, nFrames) * m_nFrameBytes);
    m_nRecentBytes =
        static_cast<std::size_t>(kRecentSeconds * m_analyser.GetSamplingRate()) * m_nFrameBytes;
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
    // In order, oldest first: the kept frames from m_nStart, then from the start.
    m_anOrdered.resize(m_nFilled);
    const std::size_t nFirst = std::min(m_nFilled, m_anRing.size() - m_nStart);
    std::memcpy(m_anOrdered.data(), m_anRing.data() + m_nStart, nFirst);
    std::memcpy(m_anOrdered.data() + nFirst, m_anRing.data(), m_nFilled - nFirst);
    // A clear period in the newest part settles it cheaply; only without one
    // does the whole analysis run.
    const std::size_t nRecent = std::min(m_anOrdered.size(), m_nRecentBytes);
    if (m_analyser.ClarityOf(m_anOrdered.data() + m_anOrdered.size() - nRecent, nRecent) >=
        kToneClarity) {
        return false;
    }
    m_analyser.Feed16(m_anOrdered.data(), m_anOrdered.size());
    return !m_analyser.Latest().m_bValid && m_analyser.GetClarity() < kToneClarity;
}
