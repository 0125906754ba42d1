#include "audio/Fft.h"

#include <cmath>
#include <utility>

CFft::CFft(std::size_t nSize) {
    while (m_nSize < nSize) {
        m_nSize *= 2;
    }
    unsigned int nBits = 0;
    while ((std::size_t{1} << nBits) < m_nSize) {
        ++nBits;
    }
    m_anReversed.resize(m_nSize);
    for (std::size_t i = 0; i < m_nSize; ++i) {
        std::size_t r = 0;
        for (unsigned int b = 0; b < nBits; ++b) {
            r |= ((i >> b) & 1U) << (nBits - 1 - b);
        }
        m_anReversed[i] = r;
    }
    const double dPi = 3.14159265358979323846;
    m_adCos.resize(m_nSize / 2);
    m_adSin.resize(m_nSize / 2);
    for (std::size_t k = 0; k < m_nSize / 2; ++k) {
        const double dAngle = 2 * dPi * static_cast<double>(k) / static_cast<double>(m_nSize);
        m_adCos[k] = std::cos(dAngle);
        m_adSin[k] = std::sin(dAngle);
    }
}

void CFft::Transform(double* pRe, double* pIm, bool bInverse) const {
    for (std::size_t i = 0; i < m_nSize; ++i) {
        const std::size_t r = m_anReversed[i];
        if (r > i) {
            std::swap(pRe[i], pRe[r]);
            std::swap(pIm[i], pIm[r]);
        }
    }
    const double dSign = bInverse ? 1.0 : -1.0;
    for (std::size_t nHalf = 1; nHalf < m_nSize; nHalf *= 2) {
        const std::size_t nStep = m_nSize / (2 * nHalf);
        for (std::size_t nStart = 0; nStart < m_nSize; nStart += 2 * nHalf) {
            for (std::size_t j = 0; j < nHalf; ++j) {
                const double wr = m_adCos[j * nStep];
                const double wi = dSign * m_adSin[j * nStep];
                const std::size_t a = nStart + j;
                const std::size_t b = a + nHalf;
                const double tr = pRe[b] * wr - pIm[b] * wi;
                const double ti = pRe[b] * wi + pIm[b] * wr;
                pRe[b] = pRe[a] - tr;
                pIm[b] = pIm[a] - ti;
                pRe[a] += tr;
                pIm[a] += ti;
            }
        }
    }
}
