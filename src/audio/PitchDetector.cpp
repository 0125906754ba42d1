#include "audio/PitchDetector.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

// The scan compares the sign bits of the high bytes of 16-bit values: byte
// k*i + j against byte j for odd j. With L = i / 2 values per lag this is value
// k*L + m against value m, so the signs are packed one bit per value once per
// block and each window is compared 64 values at a time with XOR and popcount.
// Positions beyond the received bytes count as disagreements, exactly as in the
// byte-by-byte form, which makes the results identical.

namespace {

// Truncates toward zero into 0 .. INT_MAX.
int TruncLag(double dLag) {
    if (!(dLag >= 0.0)) {
        return 0;
    }
    if (dLag >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    return static_cast<int>(dLag);
}

// 64 sign bits starting at bit nPos (the words hold at least one spare word).
inline std::uint64_t BitsAt(const std::uint64_t* pWords, std::size_t nPos) {
    const std::size_t nWord = nPos >> 6;
    const unsigned int nShift = static_cast<unsigned int>(nPos & 63);
    if (nShift == 0) {
        return pWords[nWord];
    }
    return (pWords[nWord] >> nShift) | (pWords[nWord + 1] << (64 - nShift));
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
// Uses the popcnt instruction where the processor has it.
#define KLAVORA_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define KLAVORA_POPCOUNT_CLONES
#endif

// Disagreements between bits [0, nLength) and [nStart, nStart + nLength).
KLAVORA_POPCOUNT_CLONES
std::uint64_t CountDisagreements(const std::uint64_t* pWords, std::size_t nStart,
                                 std::size_t nLength) {
    std::uint64_t nCount = 0;
    std::size_t q = 0;
    for (; q + 64 <= nLength; q += 64) {
        nCount += static_cast<std::uint64_t>(
            __builtin_popcountll(pWords[q >> 6] ^ BitsAt(pWords, nStart + q)));
    }
    if (q < nLength) {
        const std::uint64_t nMask = (std::uint64_t{1} << (nLength - q)) - 1;
        nCount += static_cast<std::uint64_t>(
            __builtin_popcountll((pWords[q >> 6] ^ BitsAt(pWords, nStart + q)) & nMask));
    }
    return nCount;
}

}  // namespace

CPitchDetector::CPitchDetector(double target, int samplingRate, int blockLength)
    : m_nBlockLength(blockLength), m_nSamplingRate(samplingRate) {
    m_bValid = SetTarget(target);
}

CPitchDetector::~CPitchDetector() = default;

bool CPitchDetector::SetTarget(double target) {
    if (!(target >= 8.0)) {
        m_bValid = false;
        return false;
    }
    m_dTarget = target;
    const double dBase = target * 0.125;
    m_nMaxLag = TruncLag(m_nSamplingRate / (dBase * 0.9));
    m_nMinLag = TruncLag(m_nSamplingRate / (dBase * 1.1));
    if (m_nMaxLag == 0) {
        // Too high a target (or no sampling rate): there is no period to search.
        m_nWindowCount = 0;
        m_bValid = false;
        return false;
    }
    m_nWindowCount = m_nBlockLength / m_nMaxLag;
    m_bValid = static_cast<long long>(m_nWindowCount) * m_nMaxLag < m_nBlockLength;
    return m_bValid;
}

void CPitchDetector::PackSigns(const unsigned char* pData, std::size_t nValues) {
    const std::size_t nWords = nValues / 64 + 2;
    if (m_signs.size() < nWords) {
        m_signs.resize(nWords);
    }
    std::uint64_t* pWords = m_signs.data();
    std::size_t n = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Four values per 8-byte load: their sign bits sit at bits 15, 31, 47 and
    // 63; one multiplication gathers them into bits 45 to 48 without carries.
    for (; n + 64 <= nValues; n += 64) {
        std::uint64_t nWord = 0;
        for (unsigned int k = 0; k < 16; ++k) {
            std::uint64_t nEight;
            std::memcpy(&nEight, pData + 2 * n + 8 * k, 8);
            const std::uint64_t nSigns = (nEight >> 15) & 0x0001000100010001ULL;
            nWord |= ((nSigns * 0x0000200040008001ULL) >> 45 & 0xF) << (4 * k);
        }
        pWords[n >> 6] = nWord;
    }
#endif
    std::uint64_t nWord = 0;
    for (std::size_t m = n; m < nValues; ++m) {
        nWord |= static_cast<std::uint64_t>(pData[2 * m + 1] >> 7) << ((m - n) & 63);
        if (((m - n) & 63) == 63) {
            pWords[m >> 6] = nWord;
            nWord = 0;
        }
    }
    // The partial last word and a spare zero word for BitsAt.
    const std::size_t nFull = nValues >> 6;
    if ((nValues & 63) != 0) {
        pWords[nFull] = nWord;
        pWords[nFull + 1] = 0;
    } else {
        pWords[nFull] = 0;
    }
}

std::uint64_t CPitchDetector::CountAgreements(std::size_t nLag, std::size_t nValues) const {
    std::uint64_t nAgreements = 0;
    for (std::size_t k = 1; k <= static_cast<std::size_t>(m_nWindowCount); ++k) {
        const std::size_t nStart = k * nLag;
        if (nStart >= nValues) {
            break;
        }
        const std::size_t nLength = std::min(nLag, nValues - nStart);
        nAgreements += nLength - CountDisagreements(m_signs.data(), nStart, nLength);
    }
    return nAgreements;
}

double CPitchDetector::Detect(const char* data, unsigned int bytes) {
    if (!m_bValid || data == nullptr || bytes == 0) {
        return 0.0;
    }
    long long i = 2LL * m_nMinLag;
    if (i >= bytes) {
        return 0.0;
    }
    // No window ever reaches past (P + 1) * maximum lag values.
    const std::size_t nValues =
        std::min<std::size_t>(bytes / 2, (static_cast<std::size_t>(m_nWindowCount) + 1) *
                                             static_cast<std::size_t>(m_nMaxLag));
    PackSigns(reinterpret_cast<const unsigned char*>(data), nValues);

    double dBestScore = 0.0;
    double dResult = 0.0;
    for (; i <= 2LL * m_nMaxLag && i < bytes; i += 2) {
        const double c =
            static_cast<double>(CountAgreements(static_cast<std::size_t>(i / 2), nValues));
        // A lag without agreements scores 0 (or 0/0), which is never taken.
        if (c == 0.0) {
            continue;
        }
        // With one window the divisor P - 1 is zero: any agreement is unbeatable.
        const double dScore = m_nWindowCount == 1
                                  ? std::numeric_limits<double>::infinity()
                                  : c / (m_nWindowCount - 1) / static_cast<double>(i) * 100;
        if (dScore > dBestScore && dScore >= 50) {
            dBestScore = dScore;
            dResult = m_nSamplingRate / (static_cast<double>(i) * 0.5) * 8;
        }
    }
    return dResult;
}
