// SPDX-License-Identifier: GPL-3.0-or-later
// Lowers the sampling rate of the mixed recording by a whole factor to the
// working rate of the fine pitch analysis (about 11 to 16 kHz), behind a
// linear-phase low-pass filter that keeps everything up to 0.4 of the working
// rate and stops what would fold back into it, then takes away any constant
// offset. A filter that does not vary in time shifts the phase of each partial
// by a fixed amount, so frequencies measured afterwards are unchanged. Any
// thread may use an object that it alone touches.
#pragma once

#include <cstddef>
#include <vector>

class CDecimator {
public:
    // The factor for a recording rate: the working rate stays at or above 11 kHz.
    static int FactorFor(int nSamplingRate);

    CDecimator(int nSamplingRate, int nFactor);

    int GetFactor() const { return m_nFactor; }
    double GetOutputRate() const { return m_dOutputRate; }
    std::size_t GetTapCount() const { return m_adTaps.size(); }

    // Appends the output samples that the n new input samples complete.
    void Process(const float* pIn, std::size_t n, std::vector<float>& out);
    void Reset();

private:
    int m_nFactor;
    double m_dOutputRate;
    std::vector<float> m_adTaps;    // reversed, so that a tap meets the sample it weighs
    std::vector<float> m_adBuffer;  // the last taps - 1 inputs, then the new ones
    std::size_t m_nPhase = 0;       // inputs to skip before the next output
    double m_dBlockPole;            // the offset remover: y = x - x1 + pole * y1
    double m_dLastIn = 0.0;
    double m_dLastOut = 0.0;
};
