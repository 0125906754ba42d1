#include "audio/PitchDetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "audio/ReferencePitchDetector.h"
#include "support/WaveTestSupport.h"

namespace {

std::vector<char> Sine(double dFrequency, std::size_t nFrames, int nRate = 44100,
                       double dAmplitude = 10000) {
    return StereoBlock(nFrames,
                       [&](std::size_t n) { return SineValue(dFrequency, dAmplitude, nRate, n); });
}

TEST(PitchDetector, LagRangeAtTheDefaults) {
    CPitchDetector detector(440.0, 44100, 4096);
    EXPECT_TRUE(detector.IsValid());
    EXPECT_EQ(728, detector.GetMinLag());
    EXPECT_EQ(890, detector.GetMaxLag());
    EXPECT_EQ(4, detector.GetWindowCount());
}

TEST(PitchDetector, TargetsBelowEightHertzChangeOnlyTheValidFlag) {
    CPitchDetector detector(440.0, 44100, 4096);
    EXPECT_FALSE(detector.SetTarget(7.99));
    EXPECT_FALSE(detector.IsValid());
    EXPECT_EQ(440.0, detector.GetTarget());
    EXPECT_EQ(728, detector.GetMinLag());
    EXPECT_EQ(890, detector.GetMaxLag());
    EXPECT_EQ(0.0, detector.Detect(Sine(440, 2048).data(), 8192));

    EXPECT_FALSE(detector.SetTarget(std::nan("")));
    EXPECT_FALSE(detector.SetTarget(-440.0));

    // 8 Hz computes a range; with 4096 values the longest lag (49000) exceeds the block: P = 0.
    EXPECT_TRUE(detector.SetTarget(8.0));
    EXPECT_EQ(49000, detector.GetMaxLag());
    EXPECT_EQ(0, detector.GetWindowCount());
}

TEST(PitchDetector, MaximumLagDividingTheBlockIsNotValid) {
    // 382.6 Hz at 44100 Hz gives a maximum lag of 1024, which divides 4096.
    CPitchDetector detector(382.6, 44100, 4096);
    EXPECT_EQ(1024, detector.GetMaxLag());
    EXPECT_FALSE(detector.IsValid());
    EXPECT_EQ(0.0, detector.Detect(Sine(382.6, 2048).data(), 8192));
}

TEST(PitchDetector, TargetsTooHighForAnyLagAreNotValid) {
    CPitchDetector detector(1e7, 44100, 4096);
    EXPECT_FALSE(detector.IsValid());
    CPitchDetector noRate(440.0, 0, 4096);
    EXPECT_FALSE(noRate.IsValid());
    EXPECT_EQ(0.0, noRate.Detect(Sine(440, 2048).data(), 8192));
}

TEST(PitchDetector, NoDataGivesNoPitch) {
    CPitchDetector detector(440.0, 44100, 4096);
    std::vector<char> block = Sine(440, 2048);
    EXPECT_EQ(0.0, detector.Detect(nullptr, 8192));
    EXPECT_EQ(0.0, detector.Detect(block.data(), 0));
    // Not more than twice the minimum lag (1456 bytes): nothing is compared.
    EXPECT_EQ(0.0, detector.Detect(block.data(), 1456));
}

TEST(PitchDetector, SilenceMatchesEveryLagAndTheRoundingPicksTheSecond) {
    CPitchDetector detector(440.0, 44100, 4096);
    std::vector<char> silence(8192, 0);
    EXPECT_NEAR(483.29, detector.Detect(silence.data(), 8192), 0.005);
}

TEST(PitchDetector, SteadyTonesNearTheTarget) {
    CPitchDetector detector(440.0, 44100, 4096);
    EXPECT_NEAR(439.9, detector.Detect(Sine(440, 2048).data(), 8192), 0.3);
    EXPECT_NEAR(460.0, detector.Detect(Sine(460, 2048).data(), 8192), 0.3);
    // Three periods of 300 Hz last as long as four of 400 Hz, inside the range.
    EXPECT_NEAR(400.0, detector.Detect(Sine(300, 2048).data(), 8192), 1.0);
}

TEST(PitchDetector, TwentyTwoKilohertzRate) {
    CPitchDetector detector(415.0, 22050, 4096);
    EXPECT_NEAR(415.0, detector.Detect(Sine(415, 2048, 22050).data(), 8192), 1.2);
}

TEST(PitchDetector, OneWindowTakesTheSmallestLagWithAnyAgreement) {
    // Block 2048, 300 Hz: maximum lag 1306, so P = 1 and the divisor P - 1 is zero.
    CPitchDetector detector(300.0, 44100, 2048);
    ASSERT_EQ(1, detector.GetWindowCount());
    ASSERT_TRUE(detector.IsValid());
    std::vector<char> silence(4096, 0);
    EXPECT_EQ(44100.0 / detector.GetMinLag() * 8, detector.Detect(silence.data(), 4096));
}

TEST(PitchDetector, NoWindowFindsNothing) {
    CPitchDetector detector(100.0, 44100, 2048);
    ASSERT_EQ(0, detector.GetWindowCount());
    ASSERT_TRUE(detector.IsValid());
    std::vector<char> silence(4096, 0);
    EXPECT_EQ(0.0, detector.Detect(silence.data(), 4096));
}

// The optimised detector against the plain algorithm on thousands of blocks.
// Each block is allocated to its exact length, so a read past the data is
// caught by the sanitizer build.
class DetectorEquality : public ::testing::Test {
protected:
    void Compare(double dTarget, int nRate, int nBlock, const std::vector<char>& data,
                 unsigned int nBytes, const std::string& strWhat) {
        std::vector<char> exact(data.begin(), data.begin() + nBytes);
        CPitchDetector fast(dTarget, nRate, nBlock);
        CReferencePitchDetector plain(dTarget, nRate, nBlock);
        ASSERT_EQ(plain.Valid(), fast.IsValid());
        const double dFast = fast.Detect(exact.empty() ? nullptr : exact.data(), nBytes);
        const double dPlain = plain.Detect(exact.empty() ? nullptr : exact.data(), nBytes);
        ASSERT_EQ(dPlain, dFast) << strWhat << " target " << dTarget << " rate " << nRate
                                 << " block " << nBlock << " bytes " << nBytes;
        ++m_nCompared;
        m_nFound += dPlain != 0.0 ? 1 : 0;
    }

    // Work of the plain scan: lags times values compared.
    static double Cost(double dTarget, int nRate, int nBlock) {
        CReferencePitchDetector plain(dTarget, nRate, nBlock);
        const double dLags = plain.MaxLag() - plain.MinLag() + 1;
        const double dValues = std::min<double>(nBlock, (plain.P() + 1.0) * plain.MaxLag());
        return plain.P() == 0 ? 0 : dLags * dValues;
    }

    std::mt19937 m_random{20240611};
    int m_nCompared = 0;
    int m_nFound = 0;
};

TEST_F(DetectorEquality, ThousandsOfBlocks) {
    const int small[] = {2048, 3000, 4096, 8192, 16384};
    const int large[] = {65536, 262144};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int nCase = 0; nCase < 400; ++nCase) {
        const int nRate = nCase % 2 == 0 ? 44100 : 22050;
        // The plain scan is slow on large blocks with low targets: every tenth
        // case takes a large block, and targets are drawn within a work budget.
        const bool bLarge = nCase % 10 == 9;
        const int nBlock = bLarge ? large[(nCase / 10) % 2] : small[nCase % 5];
        const double dBudget = bLarge ? 4e6 : 4e5;
        // Three cases in four want at least two windows; the rest take any range.
        const int nMinWindows = nCase % 4 == 0 ? 0 : 2;
        double dTarget = 5000.0;
        for (int nTry = 0; nTry < 100; ++nTry) {
            const double dTry = 8.0 * std::pow(625.0, unit(m_random));  // 8 Hz .. 5 kHz
            if (Cost(dTry, nRate, nBlock) <= dBudget &&
                CReferencePitchDetector(dTry, nRate, nBlock).P() >= nMinWindows) {
                dTarget = dTry;
                break;
            }
        }
        const std::size_t nFrames = static_cast<std::size_t>(nBlock) / 2;
        const unsigned int nBytes = static_cast<unsigned int>(nBlock) * 2;
        const double dPhase = unit(m_random) * 6.28;
        const double dAmplitude = 50 + unit(m_random) * 20000;
        std::normal_distribution<double> noise(0.0, unit(m_random) * 3000);

        const double dNear = dTarget * (0.85 + 0.3 * unit(m_random));
        std::vector<char> block = StereoBlock(
            nFrames, [&](std::size_t n) { return SineValue(dNear, dAmplitude, nRate, n, dPhase); });
        Compare(dTarget, nRate, nBlock, block, nBytes, "near tone");

        const double dFar = dTarget * (0.25 + 3.0 * unit(m_random));
        block = StereoBlock(nFrames, [&](std::size_t n) {
            return static_cast<short>(SineValue(dFar, dAmplitude, nRate, n) +
                                      noise(m_random) * 0.2);
        });
        Compare(dTarget, nRate, nBlock, block, nBytes, "far tone");

        block = StereoBlock(nFrames, [&](std::size_t n) {
            return static_cast<short>(SineValue(dNear, dAmplitude, nRate, n) + noise(m_random));
        });
        Compare(dTarget, nRate, nBlock, block, nBytes, "noisy tone");

        for (char& c : block) {
            c = static_cast<char>(m_random());
        }
        Compare(dTarget, nRate, nBlock, block, nBytes, "noise");

        std::fill(block.begin(), block.end(), 0);
        Compare(dTarget, nRate, nBlock, block, nBytes, "silence");

        const double dPeriod = nRate / dNear;
        block = StereoBlock(nFrames, [&](std::size_t n) {
            return static_cast<short>(
                std::fmod(n + dPhase * dPeriod, dPeriod) < dPeriod / 2 ? 8000 : -8000);
        });
        Compare(dTarget, nRate, nBlock, block, nBytes, "square");

        // Truncated: any length, odd ones included, down to a few bytes.
        const unsigned int nShort = 1 + static_cast<unsigned int>(unit(m_random) * (nBytes - 1));
        Compare(dTarget, nRate, nBlock, block, nShort, "truncated square");
        Compare(dTarget, nRate, nBlock, block, nShort | 1u, "odd length");
    }
    EXPECT_GE(m_nCompared, 3200);
    // The cases must exercise the scoring, not only the early returns.
    EXPECT_GT(m_nFound, m_nCompared / 8);
}

TEST_F(DetectorEquality, DegenerateRanges) {
    for (int nRate : {22050, 44100}) {
        for (int nBlock : {2048, 4096, 8192}) {
            // Targets from 8 Hz up to where P reaches 3: P = 0, 1 and 2.
            const int nTop = static_cast<int>(8.0 * nRate * 3 / (nBlock * 0.9)) + 2;
            for (int nTarget = 8; nTarget < nTop; nTarget += 7) {
                if (Cost(nTarget, nRate, nBlock) > 2e6) {
                    continue;
                }
                const std::vector<char> silence(static_cast<std::size_t>(nBlock) * 2, 0);
                Compare(nTarget, nRate, nBlock, silence, nBlock * 2, "silence");
                const std::vector<char> tone = Sine(nTarget * 1.02, nBlock / 2, nRate);
                Compare(nTarget, nRate, nBlock, tone, nBlock * 2, "tone");
            }
            // Targets whose maximum lag divides the block, one per such lag.
            int nLastLag = 0;
            int nDividing = 0;
            for (double dTarget = 8.0; dTarget < 1000.0; dTarget += 0.05) {
                CReferencePitchDetector plain(dTarget, nRate, nBlock);
                if (plain.MaxLag() != nLastLag && nBlock % plain.MaxLag() == 0) {
                    nLastLag = plain.MaxLag();
                    ++nDividing;
                    EXPECT_FALSE(plain.Valid());
                    const std::vector<char> tone = Sine(dTarget, nBlock / 2, nRate);
                    Compare(dTarget, nRate, nBlock, tone, nBlock * 2, "dividing lag");
                }
            }
            EXPECT_GT(nDividing, 0);
        }
    }
}

}  // namespace
