// SPDX-License-Identifier: GPL-3.0-or-later
// The exact arithmetic: offsets read as 24ths of the Pythagorean comma from a
// pure 3:2 fifth, the figures tuners check a temperament by.
#include <gtest/gtest.h>

#include <cmath>

#include "tuning/TemperamentSet.h"
#include "tuning/TemperamentTables.h"

namespace {

using Offsets = std::array<double, 12>;
const double kPureFifth = 1200.0 * std::log2(1.5);
const Offsets kEqual = {-2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2};
const Offsets kWerckmeister3 = {-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0};
const Offsets kMeantone = {-5.5, -5.5, -5.5, -5.5, -5.5, -5.5, -5.5, -5.5, 36.5, -5.5, -5.5, -5.5};

CTemperament Exact(const Offsets& offsets) {
    CTemperament t(offsets);
    t.SetArithmetic(FifthArithmetic::Exact);
    return t;
}

}  // namespace

TEST(ExactTemperament, CommaFractionsAndTheFiguresTheyGive) {
    const struct {
        double offset;
        double deviation;  // cents from a pure fifth
        double tolerance;
    } fifths[] = {
        {-6.0, -1200.0 * std::log2(531441.0 / 524288.0) / 4, 1e-12},  // Pythagorean comma / 4
        {-5.5, -1200.0 * std::log2(81.0 / 80.0) / 4, 0.001},          // syntonic comma / 4
        {-2.0, 700.0 - kPureFifth, 1e-12},                            // equal temperament
        {0.0, 0.0, 1e-12},
    };
    for (const auto& f : fifths) {
        Offsets o = kEqual;
        o[3] = f.offset;
        EXPECT_NEAR(Exact(o).FifthDeviation(3), f.deviation, f.tolerance) << f.offset;
        EXPECT_NEAR(Exact(o).Interval(9, 4) - kPureFifth, f.deviation, f.tolerance) << f.offset;
    }
    for (int n = 0; n < 12; ++n) {
        EXPECT_EQ(Exact(kEqual).GetPosition(n), 100.0 * n) << n;  // exactly
    }
    // Werckmeister III at 415: E 390.225 cents above C, 311.25 Hz (311.26 classic).
    EXPECT_NEAR(Exact(kWerckmeister3).Interval(0, 4), 390.225, 0.0005);
    for (const CTemperament& t : {CTemperament(kWerckmeister3), Exact(kWerckmeister3)}) {
        // The targets asked for, whatever arithmetic the temperament carries.
        EXPECT_EQ(FormatFixed(TargetFrequencies(t, 415, FifthArithmetic::Exact)[4], 2), "311.25");
        EXPECT_EQ(FormatFixed(TargetFrequencies(t, 415, FifthArithmetic::Classic)[4], 2), "311.26");
    }
    // Quarter-comma meantone: the eight thirds clear of the wolf G#-Eb are
    // pure; the classic arithmetic leaves them 0.314 cents narrow.
    const double pureThird = 1200.0 * std::log2(1.25);
    for (int n = 0; n < 12; ++n) {
        if ((7 * n) % 12 < 5 || (7 * n) % 12 > 8) {  // its four fifths miss G#-Eb
            EXPECT_NEAR(Exact(kMeantone).Interval(n, n + 4), pureThird, 0.01) << n;
            EXPECT_NEAR(CTemperament(kMeantone).Interval(n, n + 4), pureThird - 0.314, 0.001);
        }
    }
}

TEST(ExactTemperament, SwitchingBackRestoresTheClassicFiguresBitForBit) {
    CTemperamentSet set;
    ASSERT_TRUE(set.AddFromText(FormatTemperamentText(kMeantone), "M"));
    set.SetArithmetic(FifthArithmetic::Exact);
    ASSERT_TRUE(set.AddFromText(FormatTemperamentText(kWerckmeister3), "W3"));  // added later
    CTemperament& m = *set.Find("M");
    EXPECT_EQ(set.Find("W3")->GetArithmetic(), FifthArithmetic::Exact);
    m.Rotate(3);  // the wolf moves to F-C, the arithmetic stays
    EXPECT_NEAR(m.Interval(0, 4), 1200.0 * std::log2(1.25), 0.01);
    m.Rotate(0);
    set.SetArithmetic(FifthArithmetic::Classic);
    const CTemperament classic(kMeantone);
    for (int n = 0; n < 12; ++n) {
        EXPECT_EQ(m.GetPosition(n), classic.GetPosition(n)) << n;
        EXPECT_EQ(TargetFrequencies(m, 415, FifthArithmetic::Classic)[n],
                  StandardAOctaveFrequency(classic, 415, n));
    }
}
