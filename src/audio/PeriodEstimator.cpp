#include "audio/PeriodEstimator.h"

#include <algorithm>
#include <cmath>

namespace {

// A key maximum this close to the highest one is taken.
constexpr double kNearHighest = 0.9;

}  // namespace

CPeriodEstimator::CPeriodEstimator(double dRate, std::size_t nWindow, double dMinHz, double dMaxHz)
    : m_dRate(dRate), m_nWindow(std::max<std::size_t>(nWindow, 8)), m_fft(2 * m_nWindow) {
    m_nMaxLag = std::min(m_nWindow / 2,
                         static_cast<std::size_t>(std::ceil(dRate / std::max(1.0, dMinHz))) + 1);
    m_nMinLag = std::max<std::size_t>(2, static_cast<std::size_t>(dRate / dMaxHz));
    m_adRe.resize(m_fft.GetSize());
    m_adIm.resize(m_fft.GetSize());
    m_adNsdf.assign(m_nMaxLag + 2, 0.0);
}

bool CPeriodEstimator::Estimate(const float* pWindow, double& dHz, double& dClarity) {
    const std::size_t w = m_nWindow;
    double dEnergy = 0;
    for (std::size_t i = 0; i < w; ++i) {
        m_adRe[i] = pWindow[i];
        dEnergy += m_adRe[i] * m_adRe[i];
    }
    m_dRms = std::sqrt(dEnergy / static_cast<double>(w));
    std::fill(m_adRe.begin() + static_cast<std::ptrdiff_t>(w), m_adRe.end(), 0.0);
    std::fill(m_adIm.begin(), m_adIm.end(), 0.0);
    std::fill(m_adNsdf.begin(), m_adNsdf.end(), 0.0);
    dHz = 0;
    dClarity = 0;
    if (!(dEnergy > 0)) {
        return false;
    }
    // Autocorrelation r(lag) = the inverse transform of the power spectrum.
    m_fft.Forward(m_adRe.data(), m_adIm.data());
    for (std::size_t i = 0; i < m_adRe.size(); ++i) {
        m_adRe[i] = m_adRe[i] * m_adRe[i] + m_adIm[i] * m_adIm[i];
        m_adIm[i] = 0;
    }
    m_fft.Inverse(m_adRe.data(), m_adIm.data());
    const double dScale = 1.0 / static_cast<double>(m_adRe.size());
    // m(lag): the energy of both overlapping parts, shrinking by one sample at each end.
    double m = 2 * dEnergy;
    const std::size_t nLast = std::min(m_nMaxLag + 1, w - 1);
    for (std::size_t lag = 1; lag <= nLast; ++lag) {
        const double a = pWindow[lag - 1];
        const double b = pWindow[w - lag];
        m -= a * a + b * b;
        m_adNsdf[lag] = m > 1e-30 ? 2 * m_adRe[lag] * dScale / m : 0.0;
    }
    m_adNsdf[0] = 1.0;

    // Key maxima: the highest point of each positive stretch after the first
    // time the function goes below zero.
    struct Peak {
        double dLag;
        double dValue;
    };
    Peak peaks[64];
    std::size_t nPeaks = 0;
    std::size_t lag = 1;
    while (lag <= m_nMaxLag && m_adNsdf[lag] > 0) {
        ++lag;
    }
    double dHighest = 0;
    while (lag <= m_nMaxLag && nPeaks < 64) {
        while (lag <= m_nMaxLag && m_adNsdf[lag] <= 0) {
            ++lag;
        }
        std::size_t nBest = lag;
        while (lag <= m_nMaxLag && m_adNsdf[lag] > 0) {
            if (m_adNsdf[lag] > m_adNsdf[nBest]) {
                nBest = lag;
            }
            ++lag;
        }
        if (nBest > m_nMaxLag || nBest + 1 >= m_adNsdf.size()) {
            break;
        }
        // A parabola through the three values around the highest one.
        const double a = m_adNsdf[nBest - 1];
        const double b = m_adNsdf[nBest];
        const double c = m_adNsdf[nBest + 1];
        if (c > b) {
            continue;  // still rising where the search ends: no maximum here
        }
        const double dDenominator = a - 2 * b + c;
        double dShift = 0;
        double dValue = b;
        if (dDenominator < 0) {
            dShift = std::clamp(0.5 * (a - c) / dDenominator, -0.5, 0.5);
            dValue = b - 0.25 * (a - c) * dShift;
        }
        const double dLag = static_cast<double>(nBest) + dShift;
        if (dLag >= static_cast<double>(m_nMinLag)) {
            peaks[nPeaks++] = {dLag, dValue};
            dHighest = std::max(dHighest, dValue);
        }
    }
    for (std::size_t i = 0; i < nPeaks; ++i) {
        if (peaks[i].dValue >= kNearHighest * dHighest) {
            dHz = m_dRate / peaks[i].dLag;
            dClarity = std::min(1.0, peaks[i].dValue);
            return true;
        }
    }
    return false;
}

double CPeriodEstimator::ValueAt(double dHz) const {
    if (!(dHz > 0)) {
        return 0.0;
    }
    const double dLag = m_dRate / dHz;
    if (dLag < 1 || dLag >= static_cast<double>(m_nMaxLag)) {
        return 0.0;
    }
    const auto i = static_cast<std::size_t>(dLag);
    const double f = dLag - static_cast<double>(i);
    return m_adNsdf[i] * (1 - f) + m_adNsdf[i + 1] * f;
}
