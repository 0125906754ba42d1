// SPDX-License-Identifier: GPL-3.0-or-later
// Finds the period of a short window of the working signal with the
// normalised square difference function (the autocorrelation divided by the
// energy of the two overlapping parts, 1.0 for a perfect repetition), taken
// through the fast Fourier transform. The candidate is the first of the
// function's key maxima that comes close to the highest one, which keeps the
// true period rather than a multiple of it; its height, the clarity, says how
// periodic the window is: near 1 for a tone, low for noise. Any thread may use
// an object that it alone touches.
#pragma once

#include <cstddef>
#include <vector>

#include "audio/Fft.h"

class CPeriodEstimator {
public:
    // dRate: the working rate; nWindow: the window length (a power of two);
    // the periods searched lie between 1 / dMaxHz and 1 / dMinHz, and never
    // beyond half the window.
    CPeriodEstimator(double dRate, std::size_t nWindow, double dMinHz, double dMaxHz);

    std::size_t GetWindow() const { return m_nWindow; }

    // Examines nWindow samples. True with a candidate frequency and its
    // clarity (0..1); false when the window repeats at no period searched.
    // The window's root mean square is kept either way.
    bool Estimate(const float* pWindow, double& dHz, double& dClarity);
    double GetRms() const { return m_dRms; }
    // The function's value at a lag of rate / dHz samples, interpolated; 0
    // outside the lags searched. Valid after Estimate.
    double ValueAt(double dHz) const;

private:
    double m_dRate;
    std::size_t m_nWindow;
    std::size_t m_nMinLag;
    std::size_t m_nMaxLag;
    CFft m_fft;
    std::vector<double> m_adRe;
    std::vector<double> m_adIm;
    std::vector<double> m_adNsdf;
    double m_dRms = 0.0;
};
