#include "audio/ToneVoice.h"

#include <cmath>

CToneVoice::CToneVoice(double frequency, int amplitude, unsigned int samplingRate)
    : m_nAmplitude(amplitude), m_dFrequency(frequency), m_nSamplingRate(samplingRate) {
    ComputePhaseStep();
}

CToneVoice::~CToneVoice() = default;

void CToneVoice::ComputePhaseStep() {
    m_dPhaseStep = 2 * m_dPi / (static_cast<double>(m_nSamplingRate) / m_dFrequency);
}

short CToneVoice::NextSoundingSample() {
    const double dValue = std::sin(m_nSampleCounter * m_dPhaseStep) * m_nAmplitude;
    // Truncation toward zero; the value is within +-amplitude, so it fits.
    // A non-finite value (a zero sampling rate) gives silence rather than UB.
    const long long nValue = std::isfinite(dValue) ? static_cast<long long>(dValue) : 0;
    const std::uint16_t nLow = static_cast<std::uint16_t>(nValue & 0xFFFF);
    // Wraps from the largest value to the smallest without signed overflow.
    m_nSampleCounter = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_nSampleCounter) + 1u);
    return static_cast<short>(nLow >= 0x8000 ? static_cast<int>(nLow) - 0x10000 : nLow);
}

void CToneVoice::SetFrequency(double frequency) {
    if (frequency > 0) {
        m_dFrequency = frequency;
    }
    ComputePhaseStep();
}

void CToneVoice::SetAmplitude(int amplitude) {
    m_nAmplitude = amplitude < 0 ? 0 : amplitude;
}

void CToneVoice::Restart() {
    m_nSampleCounter = 0;
}

void CToneVoice::SetSamplingRate(unsigned int samplingRate) {
    m_nSamplingRate = samplingRate;
    ComputePhaseStep();
}
