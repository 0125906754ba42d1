#include "audio/PartialTracker.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
// A frame holds about six periods of the tone, between these lengths.
constexpr double kPeriodsPerFrame = 6.0;
constexpr double kShortestFrameSeconds = 0.035;
constexpr double kLongestFrameSeconds = 0.19;
constexpr std::size_t kFrameCapacity = 128;
// A partial is heard clearly, and anchors the unwrapping, from this weight
// on (a signal-to-noise ratio of 10).
constexpr double kClearWeight = 20.0;
// The noise under a partial is never taken below this share of its power.
constexpr double kResidueFloor = 1e-8;
// The Blackman window's equivalent noise bandwidth, in bins.
constexpr double kNoiseBandwidth = 1.73;

double Blackman(std::size_t n, std::size_t nLength) {
    const double x = kTwoPi * static_cast<double>(n) / static_cast<double>(nLength - 1);
    return 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x);
}

// The first partial's multiple k of a stiff string.
double PartialHz(double dHz, double dInharmonicity, int k) {
    return k * dHz * std::sqrt((1 + dInharmonicity * k * k) / (1 + dInharmonicity));
}

}  // namespace

CPartialTracker::CPartialTracker(double dRate) : m_dRate(dRate), m_frames(kFrameCapacity) {}

std::size_t CPartialTracker::FrameLengthFor(double dHz) const {
    const double dSeconds = std::clamp(kPeriodsPerFrame / std::max(dHz, 1.0), kShortestFrameSeconds,
                                       kLongestFrameSeconds);
    return static_cast<std::size_t>(std::lround(dSeconds * m_dRate));
}

void CPartialTracker::SetAnalysisFrequencies(double dHz, double dInharmonicity) {
    m_dHz = dHz;
    m_dInharmonicity = dInharmonicity;
    double dBelow = 0;
    for (int k = 0; k <= m_nPartials; ++k) {
        const double dPartial = PartialHz(dHz, dInharmonicity, k + 1);
        if (k < m_nPartials) {
            m_adOmega[k] = kTwoPi * dPartial / m_dRate;
        }
        // Midway below each partial, and one above the last, short of the top.
        const double dMid = std::min(0.5 * (dBelow + dPartial), 0.47 * m_dRate);
        m_adMidOmega[k] = kTwoPi * dMid / m_dRate;
        dBelow = dPartial;
    }
}

void CPartialTracker::Start(double dHz, double dInharmonicity) {
    m_nPartials = 0;
    while (m_nPartials < kMaxPartials &&
           PartialHz(dHz, dInharmonicity, m_nPartials + 1) <= kHighestPartial * m_dRate) {
        ++m_nPartials;
    }
    SetAnalysisFrequencies(dHz, dInharmonicity);
    const std::size_t nLength = FrameLengthFor(dHz);
    if (nLength != m_nLength) {
        m_nLength = nLength;
        m_adWindow.resize(nLength);
        m_adSlope.resize(nLength);
        m_dWindowSum = 0;
        m_dWindowSquares = 0;
        const double dStep = kTwoPi / static_cast<double>(nLength - 1);
        for (std::size_t n = 0; n < nLength; ++n) {
            const double w = Blackman(n, nLength);
            const double x = dStep * static_cast<double>(n);
            m_adWindow[n] = static_cast<float>(w);
            m_adSlope[n] = static_cast<float>(dStep * (0.5 * std::sin(x) - 0.16 * std::sin(2 * x)));
            m_dWindowSum += w;
            m_dWindowSquares += w * w;
        }
    }
    m_nHead = 0;
    m_nCount = 0;
    for (int k = 0; k < kMaxPartials; ++k) {
        m_abAnchored[k] = false;
        m_abSlopeKnown[k] = false;
    }
    m_bActive = m_nPartials > 0;
}

void CPartialTracker::Stop() {
    m_bActive = false;
    m_nCount = 0;
}

const CPartialTracker::SFrame& CPartialTracker::FrameAt(std::size_t i) const {
    return m_frames[(m_nHead + i) % kFrameCapacity];
}

void CPartialTracker::Retune(double dHz, double dInharmonicity) {
    if (!m_bActive) {
        return;
    }
    double adOld[kMaxPartials];
    std::copy(m_adOmega, m_adOmega + m_nPartials, adOld);
    SetAnalysisFrequencies(dHz, dInharmonicity);
    for (int k = 0; k < m_nPartials; ++k) {
        const double d = m_adOmega[k] - adOld[k];
        for (std::size_t i = 0; i < m_nCount; ++i) {
            SFrame& f = m_frames[(m_nHead + i) % kFrameCapacity];
            f.m_partials[k].m_dPhase -= d * f.m_dCentre;
            f.m_partials[k].m_dOffset -= d;
        }
        m_adAnchorPhase[k] -= d * m_adAnchorTime[k];
        m_adSlopeEstimate[k] -= d;
    }
}

void CPartialTracker::Analyse(const float* p, SFrame& frame) {
    const int nPartials = m_nPartials;
    const int nMids = nPartials + 1;
    double c[kMaxPartials], s1[kMaxPartials] = {}, s2[kMaxPartials] = {};
    double d1[kMaxPartials] = {}, d2[kMaxPartials] = {};
    double cm[kMaxPartials + 1], m1[kMaxPartials + 1] = {}, m2[kMaxPartials + 1] = {};
    for (int k = 0; k < nPartials; ++k) {
        c[k] = 2 * std::cos(m_adOmega[k]);
    }
    for (int k = 0; k < nMids; ++k) {
        cm[k] = 2 * std::cos(m_adMidOmega[k]);
    }
    const float* pWindow = m_adWindow.data();
    const float* pSlope = m_adSlope.data();
    for (std::size_t n = 0; n < m_nLength; ++n) {
        const double y = static_cast<double>(pWindow[n]) * p[n];
        const double yd = static_cast<double>(pSlope[n]) * p[n];
        for (int k = 0; k < nPartials; ++k) {
            const double s0 = y + c[k] * s1[k] - s2[k];
            s2[k] = s1[k];
            s1[k] = s0;
            const double t0 = yd + c[k] * d1[k] - d2[k];
            d2[k] = d1[k];
            d1[k] = t0;
        }
        for (int k = 0; k < nMids; ++k) {
            const double u0 = y + cm[k] * m1[k] - m2[k];
            m2[k] = m1[k];
            m1[k] = u0;
        }
    }
    // Each partial's spectrum, referred to the frame's middle:
    // X = e^(-i w (L - 1) / 2) (s1 - e^(-i w) s2).
    const double dHalf = 0.5 * static_cast<double>(m_nLength - 1);
    double adRe[kMaxPartials], adIm[kMaxPartials], adPower[kMaxPartials];
    double adMid[kMaxPartials + 1];
    for (int k = 0; k < nMids; ++k) {
        adMid[k] = m1[k] * m1[k] + m2[k] * m2[k] - cm[k] * m1[k] * m2[k];
    }
    double dOdd = 0, dEven = 0, dBetween = 0;
    for (int k = 0; k < nPartials; ++k) {
        const double w = m_adOmega[k];
        const double co = std::cos(w);
        const double si = std::sin(w);
        const double ca = std::cos(w * dHalf);
        const double sa = -std::sin(w * dHalf);
        const double re0 = s1[k] - co * s2[k];
        const double im0 = si * s2[k];
        const double re1 = d1[k] - co * d2[k];
        const double im1 = si * d2[k];
        adRe[k] = re0 * ca - im0 * sa;
        adIm[k] = re0 * sa + im0 * ca;
        const double dRe1 = re1 * ca - im1 * sa;
        const double dIm1 = re1 * sa + im1 * ca;
        adPower[k] = adRe[k] * adRe[k] + adIm[k] * adIm[k];
        SPartialPhase& q = frame.m_partials[k];
        q.m_dEnergy = adPower[k];
        ((k % 2 == 0) ? dOdd : dEven) += adPower[k];
        if (k > 0) {
            dBetween += adMid[k];  // not below the first partial, where rumble lies
        }
        // The frequency this frame alone suggests: w - Im(X' conj X) / |X|^2.
        q.m_dOffset = adPower[k] > 0 ? -(dIm1 * adRe[k] - dRe1 * adIm[k]) / adPower[k] : 0.0;
    }
    frame.m_dOdd = dOdd;
    frame.m_dEven = dEven;
    frame.m_dBetween = dBetween;
    // The noise under a partial, from the spectrum midway to its neighbours;
    // the phase's variance is that over twice the partial's power.
    for (int k = 0; k < nPartials; ++k) {
        double dNoise = 0;
        int nNoise = 0;
        for (int j = std::max(0, k - 1); j <= std::min(nMids - 1, k + 2); ++j) {
            dNoise += adMid[j];
            ++nNoise;
        }
        dNoise = std::max({dNoise / nNoise, kResidueFloor * adPower[k], 1e-30});
        SPartialPhase& q = frame.m_partials[k];
        q.m_dWeight = 2 * adPower[k] / dNoise;
        q.m_dPhase = std::atan2(adIm[k], adRe[k]);
    }
    // Each midway value stands for the noise of one partial spacing, which is
    // wider than the window's noise bandwidth by this factor.
    const double dSpacing = m_dHz / m_dRate * static_cast<double>(m_nLength) / kNoiseBandwidth;
    const double dHarmonic = dOdd + dEven;
    const double dTotal = dHarmonic + std::max(1.0, dSpacing) * dBetween;
    frame.m_dHarmonicity = dTotal > 0 ? dHarmonic / dTotal : 0.0;
}

void CPartialTracker::AddFrame(const float* pFrame, double dFirst) {
    if (!m_bActive) {
        return;
    }
    if (m_nCount == 0) {
        m_dOrigin = dFirst;
    }
    SFrame* pSlot;
    if (m_nCount < kFrameCapacity) {
        pSlot = &m_frames[(m_nHead + m_nCount) % kFrameCapacity];
        ++m_nCount;
    } else {
        pSlot = &m_frames[m_nHead];
        m_nHead = (m_nHead + 1) % kFrameCapacity;
    }
    SFrame& frame = *pSlot;
    frame.m_dCentre = dFirst - m_dOrigin + 0.5 * static_cast<double>(m_nLength - 1);
    Analyse(pFrame, frame);
    const double t = frame.m_dCentre;
    for (int k = 0; k < m_nPartials; ++k) {
        SPartialPhase& q = frame.m_partials[k];
        const double dRaw = std::remainder(q.m_dPhase - m_adOmega[k] * t, kTwoPi);
        const bool bClear = q.m_dWeight >= kClearWeight;
        if (m_abAnchored[k]) {
            // Predicted from the last clear frame with the best slope known.
            const double dSlope = m_abSlopeKnown[k] ? m_adSlopeEstimate[k]
                                  : bClear          ? q.m_dOffset
                                                    : 0.0;
            const double dPredicted = m_adAnchorPhase[k] + dSlope * (t - m_adAnchorTime[k]);
            q.m_dPhase = dPredicted + std::remainder(dRaw - dPredicted, kTwoPi);
        } else {
            q.m_dPhase = dRaw;
        }
        if (bClear) {
            m_abAnchored[k] = true;
            m_adAnchorTime[k] = t;
            m_adAnchorPhase[k] = q.m_dPhase;
        }
    }
}

double CPartialTracker::GetLastCentre() const {
    return m_nCount == 0 ? -1.0 : FrameAt(m_nCount - 1).m_dCentre + m_dOrigin;
}

double CPartialTracker::GetLastHarmonicity() const {
    return m_nCount == 0 ? 0.0 : FrameAt(m_nCount - 1).m_dHarmonicity;
}

void CPartialTracker::GetLastOctaveEvidence(double& dOdd, double& dEven, double& dBetween) const {
    dOdd = dEven = dBetween = 0;
    if (m_nCount > 0) {
        const SFrame& f = FrameAt(m_nCount - 1);
        dOdd = f.m_dOdd;
        dEven = f.m_dEven;
        dBetween = f.m_dBetween;
    }
}

void CPartialTracker::Forget(double dBefore) {
    while (m_nCount > 0 && FrameAt(0).m_dCentre + m_dOrigin < dBefore) {
        m_nHead = (m_nHead + 1) % kFrameCapacity;
        --m_nCount;
    }
}

std::size_t CPartialTracker::Estimate(double dFrom, double dTo,
                                      std::vector<CHarmonicFit::SPartial>& out,
                                      double& dHarmonicity) {
    out.clear();
    dHarmonicity = 0;
    std::size_t nFirst = 0;
    while (nFirst < m_nCount && FrameAt(nFirst).m_dCentre + m_dOrigin < dFrom) {
        ++nFirst;
    }
    std::size_t nEnd = nFirst;
    while (nEnd < m_nCount && FrameAt(nEnd).m_dCentre + m_dOrigin <= dTo) {
        ++nEnd;
    }
    const std::size_t nFrames = nEnd - nFirst;
    if (nFrames == 0) {
        return 0;
    }
    for (std::size_t i = nFirst; i < nEnd; ++i) {
        dHarmonicity += FrameAt(i).m_dHarmonicity;
    }
    dHarmonicity /= static_cast<double>(nFrames);
    const double dLength = static_cast<double>(m_nLength);
    for (int k = 0; k < m_nPartials; ++k) {
        double s = 0, st = 0, sp = 0, dPower = 0;
        for (std::size_t i = nFirst; i < nEnd; ++i) {
            const SFrame& f = FrameAt(i);
            const double w = f.m_partials[k].m_dWeight;
            dPower += f.m_partials[k].m_dEnergy;
            s += w;
            st += w * f.m_dCentre;
            sp += w * f.m_partials[k].m_dPhase;
        }
        if (!(s > 0)) {
            continue;
        }
        const double tm = st / s;
        const double pm = sp / s;
        double stt = 0, stp = 0;
        for (std::size_t i = nFirst; i < nEnd; ++i) {
            const SFrame& f = FrameAt(i);
            const double w = f.m_partials[k].m_dWeight;
            const double dt = f.m_dCentre - tm;
            stt += w * dt * dt;
            stp += w * dt * (f.m_partials[k].m_dPhase - pm);
        }
        double dSlope = 0;
        double dVariance = 0;
        if (nFrames >= 2 && stt > 0) {
            dSlope = stp / stt;
            double dChi = 0;
            for (std::size_t i = nFirst; i < nEnd; ++i) {
                const SFrame& f = FrameAt(i);
                const double r = f.m_partials[k].m_dPhase - pm - dSlope * (f.m_dCentre - tm);
                dChi += f.m_partials[k].m_dWeight * r * r;
            }
            // Scatter beyond what the noise explains widens the error; with
            // two frames nothing shows it, so the error is taken twice as wide.
            const double dScale = nFrames > 2 ? std::max(1.0, dChi / (nFrames - 2)) : 4.0;
            dVariance = dScale / stt;
            if (nFrames >= 3 && std::sqrt(dVariance) * (dTo - dFrom) < 1.0) {
                m_adSlopeEstimate[k] = dSlope;
                m_abSlopeKnown[k] = true;
            }
        } else {
            // One frame: its own frequency estimate, about as precise as a
            // phase difference across a quarter of the frame.
            const SPartialPhase& q = FrameAt(nFirst).m_partials[k];
            dSlope = q.m_dOffset;
            dVariance = 16.0 / (std::max(q.m_dWeight, 1e-12) * dLength * dLength);
        }
        CHarmonicFit::SPartial partial;
        partial.m_nNumber = k + 1;
        partial.m_dHz = (m_adOmega[k] + dSlope) * m_dRate / kTwoPi;
        partial.m_dSigma = std::sqrt(dVariance) * m_dRate / kTwoPi;
        partial.m_dPower = dPower / static_cast<double>(nFrames);
        out.push_back(partial);
    }
    return nFrames;
}
