// SPDX-License-Identifier: GPL-3.0-or-later
// Tells whether the newest recorded sound is noise, by the fine pitch
// analysis's own measures: it keeps the last 0.4 s of what was recorded (a
// copy, cheap enough for every buffer) and only when asked looks at it. A
// clear period in the newest 90 ms means a tone, even one whose pitch moves
// too fast to be read finely; without one, a fresh CFineAnalyser runs over all
// of it, and the sound is noise when that gives no live reading either. The
// main window asks once for each reading it shows: while a tone sounds that
// costs a tenth of a millisecond, in noise about a millisecond. Any thread may
// use an object that it alone touches.
#pragma once

#include <cstddef>
#include <vector>

#include "audio/FineAnalyser.h"

class CNoiseCheck {
public:
    static constexpr double kKeptSeconds = 0.4;

    // nSamplingRate in Hz, nChannels of 16-bit little-endian values per frame.
    CNoiseCheck(int nSamplingRate, int nChannels);

    int GetSamplingRate() const { return m_analyser.GetSamplingRate(); }
    int GetChannels() const { return m_analyser.GetChannels(); }

    // Keeps the newest whole frames of a recorded block, dropping the oldest kept.
    void Keep(const void* pData, std::size_t nBytes);
    // Forgets what was kept (a new recording begins).
    void Clear();
    // True when the sound kept holds no tone.
    bool IsNoise();

private:
    CFineAnalyser m_analyser;
    std::size_t m_nFrameBytes;
    std::vector<unsigned char> m_anRing;  // whole frames, oldest at m_nStart once full
    std::size_t m_nStart = 0;
    std::size_t m_nFilled = 0;
    std::vector<unsigned char> m_anOrdered;  // the kept frames oldest first, when asked
    std::size_t m_nRecentBytes = 0;
};
