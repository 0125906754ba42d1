// SPDX-License-Identifier: GPL-3.0-or-later
// A radix-2 complex fast Fourier transform of one fixed power-of-two size,
// with its twiddle factors and bit-reversal table computed once. The fine
// pitch analysis uses it for autocorrelations. Any thread may use an object
// that it alone touches.
#pragma once

#include <cstddef>
#include <vector>

class CFft {
public:
    // nSize is rounded up to a power of two (at least 2).
    explicit CFft(std::size_t nSize);

    std::size_t GetSize() const { return m_nSize; }
    // In place on separate real and imaginary arrays of GetSize() values.
    // Forward uses e^(-i...), Inverse e^(+i...) without the 1/N factor.
    void Forward(double* pRe, double* pIm) const { Transform(pRe, pIm, false); }
    void Inverse(double* pRe, double* pIm) const { Transform(pRe, pIm, true); }

private:
    void Transform(double* pRe, double* pIm, bool bInverse) const;

    std::size_t m_nSize = 2;
    std::vector<std::size_t> m_anReversed;
    std::vector<double> m_adCos;  // cos(2 pi k / N), k < N / 2
    std::vector<double> m_adSin;  // sin(2 pi k / N)
};
