#include "audio/Decimator.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// The working rate never falls below this.
constexpr double kLowestWorkingRate = 11000.0;
// The filter: -75 dB from 0.6 of the working rate on.
constexpr double kStopbandDecibels = 75.0;
// The offset remover's corner.
constexpr double kBlockHz = 5.0;

// The modified Bessel function I0, by its power series.
double BesselI0(double x) {
    double dSum = 1.0;
    double dTerm = 1.0;
    for (int k = 1; k < 50; ++k) {
        dTerm *= (x / (2.0 * k)) * (x / (2.0 * k));
        dSum += dTerm;
        if (dTerm < 1e-17 * dSum) {
            break;
        }
    }
    return dSum;
}

}  // namespace

int CDecimator::FactorFor(int nSamplingRate) {
    return std::max(1, static_cast<int>(std::floor(nSamplingRate / kLowestWorkingRate)));
}

CDecimator::CDecimator(int nSamplingRate, int nFactor)
    : m_nFactor(std::max(1, nFactor)),
      m_dOutputRate(static_cast<double>(std::max(1, nSamplingRate)) / m_nFactor) {
    if (m_nFactor > 1) {
        // A Kaiser-windowed sinc: cut-off at half the working rate, the
        // transition from 0.4 to 0.6 of it, in cycles per input sample.
        const double dCutoff = 0.5 / m_nFactor;
        const double dTransition = 0.2 / m_nFactor;
        const double dBeta = 0.1102 * (kStopbandDecibels - 8.7);
        int nTaps =
            static_cast<int>(std::ceil((kStopbandDecibels - 7.95) / (14.36 * dTransition))) + 1;
        nTaps |= 1;  // odd, so that the filter has a middle tap
        const double dMiddle = (nTaps - 1) / 2.0;
        std::vector<double> taps(static_cast<std::size_t>(nTaps));
        double dSum = 0;
        for (int i = 0; i < nTaps; ++i) {
            const double t = i - dMiddle;
            const double dSinc = t == 0 ? 2 * dCutoff : std::sin(2 * kPi * dCutoff * t) / (kPi * t);
            const double r = t / dMiddle;
            const double dWindow =
                BesselI0(dBeta * std::sqrt(std::max(0.0, 1 - r * r))) / BesselI0(dBeta);
            taps[static_cast<std::size_t>(i)] = dSinc * dWindow;
            dSum += dSinc * dWindow;
        }
        m_adTaps.resize(taps.size());
        for (std::size_t i = 0; i < taps.size(); ++i) {
            m_adTaps[taps.size() - 1 - i] = static_cast<float>(taps[i] / dSum);
        }
    }
    m_dBlockPole = 1.0 - 2 * kPi * kBlockHz / m_dOutputRate;
    Reset();
}

void CDecimator::Reset() {
    m_adBuffer.assign(m_adTaps.empty() ? 0 : m_adTaps.size() - 1, 0.0f);
    m_nPhase = 0;
    m_dLastIn = 0.0;
    m_dLastOut = 0.0;
}

void CDecimator::Process(const float* pIn, std::size_t n, std::vector<float>& out) {
    auto block = [this, &out](double x) {
        const double y = x - m_dLastIn + m_dBlockPole * m_dLastOut;
        m_dLastIn = x;
        m_dLastOut = y;
        out.push_back(static_cast<float>(y));
    };
    if (m_adTaps.empty()) {
        for (std::size_t i = 0; i < n; ++i) {
            block(pIn[i]);
        }
        return;
    }
    const std::size_t nHistory = m_adTaps.size() - 1;
    m_adBuffer.insert(m_adBuffer.end(), pIn, pIn + n);
    // Output j uses the taps over buffer[j .. j + taps - 1].
    const std::size_t nStep = static_cast<std::size_t>(m_nFactor);
    std::size_t j = m_nPhase;
    const float* pTaps = m_adTaps.data();
    for (; j + nHistory < m_adBuffer.size(); j += nStep) {
        const float* p = m_adBuffer.data() + j;
        // Four sums side by side, so that the additions need not wait on each other.
        float a0 = 0, a1 = 0, a2 = 0, a3 = 0;
        std::size_t t = 0;
        for (; t + 4 <= m_adTaps.size(); t += 4) {
            a0 += pTaps[t] * p[t];
            a1 += pTaps[t + 1] * p[t + 1];
            a2 += pTaps[t + 2] * p[t + 2];
            a3 += pTaps[t + 3] * p[t + 3];
        }
        for (; t < m_adTaps.size(); ++t) {
            a0 += pTaps[t] * p[t];
        }
        block(static_cast<double>((a0 + a1) + (a2 + a3)));
    }
    // Keep the last taps - 1 inputs; j counts on from the kept part.
    const std::size_t nDrop = m_adBuffer.size() - nHistory;
    m_nPhase = j - nDrop;
    m_adBuffer.erase(m_adBuffer.begin(), m_adBuffer.begin() + static_cast<std::ptrdiff_t>(nDrop));
}
