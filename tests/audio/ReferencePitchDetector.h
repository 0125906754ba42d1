// SPDX-License-Identifier: GPL-3.0-or-later
// The pitch detector's algorithm written plainly, byte by byte, with no
// optimisation: the yardstick the optimised CPitchDetector must match exactly,
// in the tests and in the benchmark.
#pragma once

class CReferencePitchDetector {
public:
    CReferencePitchDetector(double target, int samplingRate, int blockLength)
        : m_nBlockLength(blockLength), m_nSamplingRate(samplingRate) {
        m_bValid = SetTarget(target);
    }

    bool SetTarget(double target) {
        if (!(target >= 8.0)) {
            m_bValid = false;
            return false;
        }
        m_dTarget = target;
        const double b = target * 0.125;
        m_nMaxLag = static_cast<int>(m_nSamplingRate / (b * 0.9));
        m_nMinLag = static_cast<int>(m_nSamplingRate / (b * 1.1));
        if (m_nMaxLag == 0) {
            m_bValid = false;
            return false;
        }
        m_nP = m_nBlockLength / m_nMaxLag;
        m_bValid = m_nP * m_nMaxLag < m_nBlockLength;
        return m_bValid;
    }

    double Detect(const char* data, unsigned int bytes) const {
        if (!m_bValid || data == nullptr || bytes == 0) {
            return 0.0;
        }
        long long i = 2LL * m_nMinLag;
        if (i >= bytes) {
            return 0.0;
        }
        double bestScore = 0.0;
        double result = 0.0;
        while (i <= 2LL * m_nMaxLag) {
            double c = 0;
            for (long long k = 1; k <= m_nP; ++k) {
                for (long long j = 1; j < i; j += 2) {
                    // Bytes beyond the data count as disagreements.
                    if (k * i + j >= bytes) {
                        continue;
                    }
                    if (((data[k * i + j] ^ data[j]) & 0x80) == 0) {
                        c += 1;
                    }
                }
            }
            const double score = c / (m_nP - 1) / i * 100;
            if (score > bestScore && score >= 50) {
                bestScore = score;
                result = m_nSamplingRate / (i * 0.5) * 8;
            }
            i += 2;
            if (i >= bytes) {
                break;
            }
        }
        return result;
    }

    int MinLag() const { return m_nMinLag; }
    int MaxLag() const { return m_nMaxLag; }
    int P() const { return m_nP; }
    bool Valid() const { return m_bValid; }

private:
    bool m_bValid = false;
    int m_nBlockLength;
    int m_nSamplingRate;
    int m_nP = 0;
    double m_dTarget = 0.0;
    int m_nMaxLag = 0;
    int m_nMinLag = 0;
};
