// SPDX-License-Identifier: GPL-3.0-or-later
// Turns recorded frames of one or two channels into the one signal that the
// fine pitch analysis reads. Two channels that carry the same sound (equal, or
// one inverted) are mixed; two that differ (a delayed second microphone, one
// silent channel) are not, since mixing them could cancel partials: the
// stronger one is taken instead. The choice changes only on clear evidence, and
// every change is counted so that the analysis can start its phase tracks
// afresh. Any thread may use an object that it alone touches.
#pragma once

#include <cstddef>
#include <vector>

class CChannelMixer {
public:
    enum Source { kUndecided, kMixed, kMixedInverted, kLeft, kRight };

    // nChannels is 1 or 2 (anything above 2 is read as its first two);
    // nSamplingRate sets how fast the channel statistics forget.
    CChannelMixer(int nChannels, int nSamplingRate);

    // Appends one value per frame (full scale 1.0) to out. pData holds
    // nFrames interleaved 16-bit little-endian frames.
    void Mix16(const unsigned char* pData, std::size_t nFrames, std::vector<float>& out);
    // The same for interleaved float frames (full scale 1.0).
    void MixFloat(const float* pData, std::size_t nFrames, std::vector<float>& out);
    void Reset();

    int GetChannels() const { return m_nChannels; }
    Source GetSource() const { return m_source; }
    // How often the source has changed after its first choice.
    unsigned int GetSwitchCount() const { return m_nSwitches; }

private:
    // Decides the source for the next piece from its sums of squares and
    // products, blended into the running statistics.
    void Decide(double dLeft, double dRight, double dCross, std::size_t nFrames);
    float MixOne(float l, float r) const;
    template <typename Fetch>
    void MixWith(std::size_t nFrames, std::vector<float>& out, Fetch fetch);

    int m_nChannels;
    double m_dForgetPerFrame;
    double m_dLeft = 0.0;  // running sums of squares and cross products
    double m_dRight = 0.0;
    double m_dCross = 0.0;
    Source m_source = kUndecided;
    unsigned int m_nSwitches = 0;
};
