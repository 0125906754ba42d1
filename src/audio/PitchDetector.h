// SPDX-License-Identifier: GPL-3.0-or-later
// Estimates the pitch of one recorded block near a known target frequency by
// sign-agreement autocorrelation over the periods of about 0.9 to 1.1 times the
// target (three octaves down). User-interface thread only.
#pragma once

#include <cstdint>
#include <vector>

class CPitchDetector {
public:
    // samplingRate in Hz; blockLength in 16-bit sample values (buffer bytes / 2).
    CPitchDetector(double target, int samplingRate, int blockLength);
    virtual ~CPitchDetector();

    // Sets the target and its lag range; returns whether the range is usable.
    // A target below 8 Hz (or not a number) changes nothing but the valid flag.
    bool SetTarget(double target);

    // The frequency found in the block of 16-bit little-endian samples, or 0.0
    // when none is. Reads no byte at or beyond data + bytes.
    double Detect(const char* data, unsigned int bytes);

    bool IsValid() const { return m_bValid; }
    double GetTarget() const { return m_dTarget; }
    int GetMinLag() const { return m_nMinLag; }
    int GetMaxLag() const { return m_nMaxLag; }
    int GetWindowCount() const { return m_nWindowCount; }

private:
    // Packs the sign bit of each of the first nValues 16-bit values into m_signs.
    void PackSigns(const unsigned char* pData, std::size_t nValues);
    // Agreements between the first nLag values and each of the windows 1..P.
    std::uint64_t CountAgreements(std::size_t nLag, std::size_t nValues) const;

    bool m_bValid = false;
    int m_nBlockLength;
    int m_nSamplingRate;
    int m_nWindowCount = 0;  // P
    double m_dTarget = 0.0;
    int m_nMaxLag = 0;
    int m_nMinLag = 0;
    std::vector<std::uint64_t> m_signs;  // one bit per value, bit n of word n / 64
};
