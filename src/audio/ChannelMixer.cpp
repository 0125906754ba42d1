#include "audio/ChannelMixer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The statistics forget with this time constant.
constexpr double kMemorySeconds = 0.3;
// Channels this closely correlated are mixed; mixed ones part below the lower value.
constexpr double kMixFrom = 0.95;
constexpr double kMixUntil = 0.85;
// A single channel gives way to the other when that is this much stronger (6 dB).
constexpr double kSwitchRatio = 4.0;
// Below this mean square per frame (about -100 dBFS) nothing is decided.
constexpr double kQuiet = 1e-10;
// Frames decided at a time, so that a long block can change source midway.
constexpr std::size_t kPiece = 1024;

float Value16(const unsigned char* p) {
    const auto n = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    return static_cast<float>(n) * (1.0f / 32768.0f);
}

}  // namespace

CChannelMixer::CChannelMixer(int nChannels, int nSamplingRate)
    : m_nChannels(std::max(1, nChannels)),
      m_dForgetPerFrame(std::exp(-1.0 / (kMemorySeconds * std::max(1, nSamplingRate)))) {}

void CChannelMixer::Reset() {
    m_dLeft = m_dRight = m_dCross = 0.0;
    m_source = kUndecided;
    m_nSwitches = 0;
}

void CChannelMixer::Decide(double dLeft, double dRight, double dCross, std::size_t nFrames) {
    const double dKeep = std::pow(m_dForgetPerFrame, static_cast<double>(nFrames));
    m_dLeft = m_dLeft * dKeep + dLeft;
    m_dRight = m_dRight * dKeep + dRight;
    m_dCross = m_dCross * dKeep + dCross;
    // The sums weigh about 1 / (1 - forget) frames once they have filled.
    const double dFrames = 1.0 / std::max(1e-12, 1.0 - m_dForgetPerFrame);
    if ((m_dLeft + m_dRight) / dFrames < kQuiet) {
        return;  // too quiet to tell
    }
    const double dProduct = m_dLeft * m_dRight;
    const double dCorrelation = dProduct > 0 ? m_dCross / std::sqrt(dProduct) : 0.0;
    Source next = m_source;
    switch (m_source) {
        case kMixed:
        case kMixedInverted: {
            const double dAlike = m_source == kMixed ? dCorrelation : -dCorrelation;
            if (dAlike < kMixUntil) {
                next = m_dLeft >= m_dRight ? kLeft : kRight;
            }
            break;
        }
        case kUndecided:
        case kLeft:
        case kRight:
            if (dCorrelation >= kMixFrom) {
                next = kMixed;
            } else if (dCorrelation <= -kMixFrom) {
                next = kMixedInverted;
            } else if (m_source == kUndecided) {
                next = m_dLeft >= m_dRight ? kLeft : kRight;
            } else if (m_source == kLeft && m_dRight > kSwitchRatio * m_dLeft) {
                next = kRight;
            } else if (m_source == kRight && m_dLeft > kSwitchRatio * m_dRight) {
                next = kLeft;
            }
            break;
    }
    if (next != m_source) {
        if (m_source != kUndecided) {
            ++m_nSwitches;
        }
        m_source = next;
    }
}

float CChannelMixer::MixOne(float l, float r) const {
    switch (m_source) {
        case kMixed:
            return 0.5f * (l + r);
        case kMixedInverted:
            return 0.5f * (l - r);
        case kRight:
            return r;
        default:
            return l;
    }
}

template <typename Fetch>
void CChannelMixer::MixWith(std::size_t nFrames, std::vector<float>& out, Fetch fetch) {
    if (m_nChannels == 1) {
        for (std::size_t n = 0; n < nFrames; ++n) {
            float l = 0;
            float r = 0;
            fetch(n, l, r);
            out.push_back(l);
        }
        return;
    }
    for (std::size_t nStart = 0; nStart < nFrames; nStart += kPiece) {
        const std::size_t nEnd = std::min(nFrames, nStart + kPiece);
        double dLeft = 0;
        double dRight = 0;
        double dCross = 0;
        for (std::size_t n = nStart; n < nEnd; ++n) {
            float l = 0;
            float r = 0;
            fetch(n, l, r);
            dLeft += static_cast<double>(l) * l;
            dRight += static_cast<double>(r) * r;
            dCross += static_cast<double>(l) * r;
        }
        Decide(dLeft, dRight, dCross, nEnd - nStart);
        for (std::size_t n = nStart; n < nEnd; ++n) {
            float l = 0;
            float r = 0;
            fetch(n, l, r);
            out.push_back(MixOne(l, r));
        }
    }
}

void CChannelMixer::Mix16(const unsigned char* pData, std::size_t nFrames,
                          std::vector<float>& out) {
    const std::size_t nStride = 2 * static_cast<std::size_t>(m_nChannels);
    const bool bTwo = m_nChannels >= 2;
    MixWith(nFrames, out, [&](std::size_t n, float& l, float& r) {
        const unsigned char* p = pData + n * nStride;
        l = Value16(p);
        r = bTwo ? Value16(p + 2) : l;
    });
}

void CChannelMixer::MixFloat(const float* pData, std::size_t nFrames, std::vector<float>& out) {
    const std::size_t nStride = static_cast<std::size_t>(m_nChannels);
    const bool bTwo = m_nChannels >= 2;
    MixWith(nFrames, out, [&](std::size_t n, float& l, float& r) {
        const float* p = pData + n * nStride;
        // Not a number counts as silence; beyond full scale is clipped.
        l = std::isfinite(p[0]) ? std::clamp(p[0], -1.0f, 1.0f) : 0.0f;
        r = bTwo ? (std::isfinite(p[1]) ? std::clamp(p[1], -1.0f, 1.0f) : 0.0f) : l;
    });
}
