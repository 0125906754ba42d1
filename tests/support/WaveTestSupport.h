// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the audio tests: a sink that records the messages it gets
// (and can answer them), and signal generators.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "sound/WaveLayer.h"

struct SWaveMessage {
    unsigned int m_nMessage;
    WAVEHDR* m_pHeader;
};

class CRecordingSink : public CWaveSink {
public:
    void OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) override {
        m_messages.push_back({nMessage, pHeader});
        if (m_fnHandler) {
            m_fnHandler(nMessage, pHeader);
        }
    }

    std::vector<SWaveMessage> m_messages;
    std::function<void(unsigned int, WAVEHDR*)> m_fnHandler;
};

// 16-bit value of a sine of dFrequency Hz at frame nFrame.
inline short SineValue(double dFrequency, double dAmplitude, int nRate, std::uint64_t nFrame,
                       double dPhase = 0.0) {
    const double dPi = 3.141592653589793;
    return static_cast<short>(
        std::lround(dAmplitude *
                    std::sin(2 * dPi * dFrequency * static_cast<double>(nFrame) / nRate + dPhase)));
}

// nFrames two-channel 16-bit little-endian frames, both channels from fnValue.
inline std::vector<char> StereoBlock(std::size_t nFrames,
                                     const std::function<short(std::size_t)>& fnValue) {
    std::vector<char> block(nFrames * 4);
    for (std::size_t n = 0; n < nFrames; ++n) {
        const short nValue = fnValue(n);
        for (int c = 0; c < 2; ++c) {
            block[4 * n + 2 * c] = static_cast<char>(nValue & 0xFF);
            block[4 * n + 2 * c + 1] = static_cast<char>((nValue >> 8) & 0xFF);
        }
    }
    return block;
}
