// SPDX-License-Identifier: GPL-3.0-or-later
// One sine voice of the reference sound: produces 16-bit samples at a
// frequency and amplitude, with the phase computed afresh from a sample counter
// so that it never drifts. User-interface thread only.
#pragma once

#include <cstdint>

class CToneVoice {
public:
    CToneVoice(double frequency, int amplitude, unsigned int samplingRate);
    virtual ~CToneVoice();

    // The next sample: 0 while silent (the counter then stays), otherwise
    // sin(counter x phase step) x amplitude truncated toward zero, low 16 bits.
    short NextSample() {
        if (m_nAmplitude <= 0) {
            return 0;
        }
        return NextSoundingSample();
    }
    // A frequency of 0 or less keeps the old one; the phase step is recomputed either way.
    void SetFrequency(double frequency);
    // Negative amplitudes become 0.
    void SetAmplitude(int amplitude);
    void Restart();
    void SetSamplingRate(unsigned int samplingRate);

    int GetAmplitude() const { return m_nAmplitude; }
    double GetFrequency() const { return m_dFrequency; }
    double GetPhaseStep() const { return m_dPhaseStep; }
    unsigned int GetSamplingRate() const { return m_nSamplingRate; }
    int GetSampleCounter() const { return m_nSampleCounter; }
    // Sets the counter directly, for tests of its wrap-around.
    void SetSampleCounter(int nCounter) { m_nSampleCounter = nCounter; }

private:
    short NextSoundingSample();
    void ComputePhaseStep();

    int m_nAmplitude;
    double m_dFrequency;
    double m_dPhaseStep = 0.0;
    unsigned int m_nSamplingRate;
    // 32-bit and signed: after 2^31 samples without a restart it wraps to its
    // smallest value and the phase jumps once.
    std::int32_t m_nSampleCounter = 0;
    double m_dPi = 3.141592653589793;
};
