#include "audio/FineAnalyser.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/ToneSynthesis.h"

namespace {

// A rendered recording and what the analyser must make of it.
struct SToneCase {
    std::string strName;
    std::function<std::vector<float>()> render;  // interleaved frames
    int nChannels;
    int nRate;
    double dTrueHz;  // 0: no tone, every reading must be dashes
    double dMedian;  // the goals, in cents
    double dP95;
    double dJitter;
    double dFirst;  // seconds from the onset to the first reading within 1 cent
};

constexpr double kOnset = 0.2;
constexpr int kRate = 44100;

SSynthString String(double dHz) {
    SSynthString s;
    s.dHz = dHz;
    s.dInharmonicity = 1e-4;
    s.dUnisonCents = 0.3;
    s.dUnisonLevel = 0.6;
    return s;
}

SToneCase Sine(double dHz, int nRate = kRate, int nChannels = 2) {
    const SynthChannels how = nChannels == 1 ? SynthChannels::kMono : SynthChannels::kBoth;
    auto render = [=] {
        return SynthChannelsOf(SynthSine(dHz, 2.0, nRate, 0.3, kOnset), how, nRate);
    };
    const std::string strName =
        "Sine" + std::to_string(static_cast<int>(dHz)) + "HzAt" + std::to_string(nRate);
    return {strName, render, nChannels, nRate, dHz, 0.02, 0.02, 0.02, 0.4};
}

// A plucked string; with dNoiseDb above -100, white noise that many dB below it.
SToneCase Plucked(const std::string& strName, const SSynthString& s, double dNoiseDb = -1000,
                  SynthChannels how = SynthChannels::kBoth) {
    auto render = [=] {
        std::vector<float> x = SynthString(s, 2.5, kRate, kOnset, 11);
        SynthAddNoise(x, SynthRms(x, kRate, kOnset, 1.0) * std::pow(10, dNoiseDb / 20), 12);
        return SynthChannelsOf(x, how, kRate);
    };
    const int nChannels = how == SynthChannels::kMono ? 1 : 2;
    const bool bNoisy = dNoiseDb > -100;
    const double dMedian = bNoisy ? 0.5 : 0.1;
    const double dP95 = bNoisy ? 0.5 : 0.3;
    return {strName, render, nChannels, kRate, s.TrueHz(), dMedian, dP95, 1.0, 0.4};
}

SToneCase Dashes(const std::string& strName, const std::function<std::vector<float>()>& render) {
    return {strName, render, 2, kRate, 0.0, 0, 0, 0, 0};
}

std::vector<float> Stereo(const std::vector<float>& x) {
    return SynthChannelsOf(x, SynthChannels::kBoth, kRate);
}

std::vector<float> TwoStrings(double a, double b) {
    SSynthString s = String(a);
    s.dUnisonLevel = 0;
    std::vector<float> x = SynthString(s, 2.5, kRate, kOnset, 3);
    s.dHz = b;
    const std::vector<float> y = SynthString(s, 2.5, kRate, kOnset, 4);
    for (std::size_t n = 0; n < x.size(); ++n) {
        x[n] += y[n];
    }
    return Stereo(x);
}

// A string plucked while its fifth above still rings, the fifth damped
// 0.1 s later: together they share the period of the octave below the lower
// note, which must not keep the reading when the lower one sounds alone.
SToneCase LowerNoteAfterItsFifth() {
    const SSynthString lower = String(261.6);
    auto render = [=] {
        std::vector<float> x = SynthString(lower, 2.5, kRate, kOnset, 21);
        SSynthString upper = String(392.4);
        upper.dUnisonLevel = 0;
        const std::vector<float> y = SynthString(upper, 2.5, kRate, 0.0, 22);
        const auto nDamper = static_cast<std::size_t>((kOnset + 0.1) * kRate);
        for (std::size_t n = 0; n < nDamper + 200; ++n) {
            x[n] += y[n] * static_cast<float>(std::min(1.0, (nDamper + 200.0 - n) / 200.0));
        }
        return Stereo(x);
    };
    return {"LowerNoteAfterItsFifth", render, 2, kRate, lower.TrueHz(), 0.1, 0.3, 1.0, 0.4};
}

class FineAccuracyTest : public ::testing::TestWithParam<SToneCase> {};

TEST_P(FineAccuracyTest, MeetsTheGoals) {
    const SToneCase& c = GetParam();
    const SSynthAccuracy a = SynthMeasure(c.render(), c.nChannels, c.nRate, c.dTrueHz, kOnset);
    EXPECT_GE(a.dReadingsPerSecond, 10.0);
    if (c.dTrueHz <= 0) {
        EXPECT_EQ(a.dDashRate, 1.0);
        return;
    }
    EXPECT_EQ(a.dDashRate, 0.0);
    EXPECT_LE(a.dMedianCents, c.dMedian);
    EXPECT_LE(a.dP95Cents, c.dP95);
    EXPECT_LE(a.dJitterCents, c.dJitter);
    EXPECT_LE(a.dFirstSeconds, c.dFirst);
}

SSynthString WeakFundamental() {
    SSynthString s = String(55.0);
    s.dFundamental = 0.03;
    s.dDecay = 3;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    RenderedTones, FineAccuracyTest,
    ::testing::Values(
        Sine(32.7), Sine(110), Sine(440), Sine(2093), Sine(4000), Sine(440, 22050, 1),
        Sine(440, 48000), Plucked("StringC2", String(65.41)), Plucked("StringC4", String(261.6)),
        Plucked("StringA4", String(440)), Plucked("StringC6", String(1046.5)),
        Plucked("StringA1WeakFundamental", WeakFundamental()),
        Plucked("StringC4Noise20dB", String(261.6), -20),
        Plucked("StringC2Noise20dB", String(65.41), -20),
        // Two channels that differ lose nothing: one delayed, silent, inverted.
        Plucked("StringC4SecondChannelDelayed", String(261.6), -1000, SynthChannels::kDelayed),
        Plucked("StringC4SecondChannelSilent", String(261.6), -1000, SynthChannels::kSilent),
        Plucked("StringC4SecondChannelInverted", String(261.6), -1000, SynthChannels::kInverted),
        LowerNoteAfterItsFifth(),
        Dashes("Silence", [] { return Stereo(std::vector<float>(2 * kRate)); }),
        Dashes("WhiteNoiseQuiet",
               [] {
                   std::vector<float> x(2 * kRate);
                   SynthAddNoise(x, 0.001, 5);
                   return Stereo(x);
               }),
        Dashes("WhiteNoiseLoud",
               [] {
                   std::vector<float> x(2 * kRate);
                   SynthAddNoise(x, 0.2, 6);
                   return Stereo(x);
               }),
        Dashes("TwoNotesATritoneApart", [] { return TwoStrings(261.6, 370.0); }),
        Dashes("TwoNotesAPureThirdApart", [] { return TwoStrings(261.6, 327.0); })),
    [](const ::testing::TestParamInfo<SToneCase>& info) { return info.param.strName; });

// Readings do not depend on how the recording is cut into blocks, even
// through the middle of a frame.
TEST(FineAnalyser, BlockSizesDoNotChangeTheReadings) {
    std::vector<float> x = SynthSine(330.0, 0.6, kRate, 0.3, 0.1);
    SynthAddNoise(x, 0.01, 8);
    const std::vector<unsigned char> bytes = Synth16(Stereo(x));
    std::vector<std::vector<CFineReading>> results;
    for (std::size_t nBlock : {std::size_t{1}, std::size_t{3}, std::size_t{8192}}) {
        CFineAnalyser analyser(kRate, 2);
        std::vector<CFineReading> readings;
        for (std::size_t i = 0; i < bytes.size(); i += nBlock) {
            analyser.Feed16(bytes.data() + i, std::min(nBlock, bytes.size() - i), &readings);
        }
        results.push_back(readings);
    }
    ASSERT_GE(results[0].size(), 11u);
    for (const std::vector<CFineReading>& r : results) {
        ASSERT_EQ(r.size(), results[0].size());
        for (std::size_t i = 0; i < r.size(); ++i) {
            EXPECT_EQ(r[i].m_bValid, results[0][i].m_bValid) << i;
            EXPECT_EQ(r[i].m_dHz, results[0][i].m_dHz) << i;
        }
    }
    EXPECT_NEAR(results[0].back().m_dHz, 330.0, 0.01);
}

std::array<double, 12> EqualTemperament(double dStandardA) {
    std::array<double, 12> hz;
    for (int n = 0; n < 12; ++n) {
        hz[n] = dStandardA * std::pow(2.0, (n - 9) / 12.0);
    }
    return hz;
}

// The same 412 Hz tone against each kind of target, and with the clock corrected.
TEST(FineAnalyser, ReadingsNameTheirTarget) {
    const CPitchTable table(EqualTemperament(415.0));
    const std::vector<unsigned char> bytes = Synth16(SynthSine(412.0, 1.0, kRate, 0.3));
    struct Case {
        std::function<void(CFineAnalyser&)> aim;
        int nNote;
        int nOctave;
        double dTargetHz;
        double dHz;
    };
    const Case cases[] = {
        {[&](CFineAnalyser& a) { a.FindAnyNote(table); }, 9, 4, 415.0, 412.0},
        {[&](CFineAnalyser& a) { a.FollowNote(table, 9); }, 9, 4, 415.0, 412.0},
        {[&](CFineAnalyser& a) { a.FollowNote(table, 9, 3); }, 9, 3, 207.5, 412.0},
        {[&](CFineAnalyser& a) { a.FollowNote(table, 0); }, 0, 5, 2 * table.Frequency(0, 4), 412.0},
        {[&](CFineAnalyser& a) { a.FollowFrequency(400.0); }, -1, 0, 400.0, 412.0},
        {[&](CFineAnalyser& a) {
             a.FindAnyNote(table);
             a.SetClockCorrection(1 + 100e-6);
         },
         9, 4, 415.0, 412.0 * (1 + 100e-6)},
    };
    for (const Case& c : cases) {
        CFineAnalyser analyser(kRate, 1);
        c.aim(analyser);
        analyser.Feed16(bytes.data(), bytes.size());
        const CFineReading& r = analyser.Latest();
        ASSERT_TRUE(r.m_bValid);
        EXPECT_TRUE(r.m_bSteady);
        EXPECT_EQ(r.m_nNote, c.nNote);
        EXPECT_EQ(r.m_nOctave, c.nOctave);
        EXPECT_NEAR(r.m_dTargetHz, c.dTargetHz, 1e-9);
        EXPECT_NEAR(r.m_dHz, c.dHz, 0.001);
        EXPECT_NEAR(r.m_dCents, 1200 * std::log2(c.dHz / c.dTargetHz), 0.01);
    }
}

// Any note: the nearest in C1 .. C7, nothing beyond.
TEST(FineAnalyser, PitchTableFindsNotesFromC1ToC7) {
    const CPitchTable table(EqualTemperament(440.0));
    struct Case {
        double dHz;
        bool bFound;
        int nNote;
        int nOctave;
    };
    const Case cases[] = {{32.70, true, 0, 1},  {31.0, false, 11, 0},  {2093.0, true, 0, 7},
                          {2150.0, true, 0, 7}, {2200.0, false, 1, 7}, {4000.0, false, 11, 7},
                          {452.0, true, 9, 4},  {454.0, true, 10, 4}};
    for (const Case& c : cases) {
        int nNote = -1;
        int nOctave = -1;
        EXPECT_EQ(table.Nearest(c.dHz, nNote, nOctave), c.bFound) << c.dHz;
        EXPECT_EQ(nNote, c.nNote) << c.dHz;
        EXPECT_EQ(nOctave, c.nOctave) << c.dHz;
    }
    std::array<double, 12> broken = EqualTemperament(440.0);
    broken[3] = NAN;
    EXPECT_FALSE(CPitchTable(broken).IsValid());
}

// After the string dies away the last steady reading stays, marked as held;
// a new note replaces it.
TEST(FineAnalyser, HoldsTheLastSteadyReadingUntilTheNextNote) {
    std::vector<float> x = SynthSine(300.0, 1.0, kRate, 0.3);
    x.resize(2 * kRate);  // then a second of silence
    SynthAddNoise(x, 0.0005, 9);
    const std::vector<float> next = SynthSine(200.0, 1.0, kRate, 0.3);
    x.insert(x.end(), next.begin(), next.end());
    CFineAnalyser analyser(kRate, 1);
    std::vector<CFineReading> readings;
    const std::vector<unsigned char> bytes = Synth16(x);
    analyser.Feed16(bytes.data(), bytes.size(), &readings);
    int nHeld = 0;
    for (const CFineReading& r : readings) {
        if (r.m_dTime > 1.1 && r.m_dTime < 2.0) {
            EXPECT_FALSE(r.m_bValid) << r.m_dTime;
            EXPECT_TRUE(r.m_bHeld) << r.m_dTime;
            EXPECT_NEAR(r.m_dHz, 300.0, 0.01) << r.m_dTime;
            ++nHeld;
        }
        if (r.m_dTime > 2.05 && r.HasValue()) {
            EXPECT_FALSE(r.m_bHeld) << r.m_dTime;
            EXPECT_NEAR(r.m_dHz, 200.0, 0.05) << r.m_dTime;
        }
    }
    EXPECT_GE(nHeld, 15);
    EXPECT_TRUE(analyser.Latest().m_bSteady);
}

}  // namespace
