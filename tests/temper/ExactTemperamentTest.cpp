// The exact arithmetic: offsets read as 24ths of the Pythagorean comma from a
// pure 3:2 fifth, the figures tuners check a temperament by.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/CycleOfFifthsControl.h"
#include "temper/TemperamentSet.h"
#include "temper/TemperamentTables.h"

namespace {

const double kPythagorean = 1200.0 * std::log2(531441.0 / 524288.0);
const double kSyntonic = 1200.0 * std::log2(81.0 / 80.0);
const double kPureThird = 1200.0 * std::log2(5.0 / 4.0);

const std::array<double, 12> kEqual = {-2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2};
const std::array<double, 12> kWerckmeister3 = {-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0};
const std::array<double, 12> kMeantone = {-5.5, -5.5, -5.5, -5.5, -5.5, -5.5,
                                          -5.5, -5.5, 36.5, -5.5, -5.5, -5.5};

CTemperament Exact(const std::array<double, 12>& offsets) {
    CTemperament t(offsets);
    t.SetArithmetic(FifthArithmetic::Exact);
    return t;
}

std::string Cell(const CTemperament& t, int mode, int note, double standardA = 415.0) {
    return FormatTableValue(mode, TableValue(t, mode, note, standardA));
}

}  // namespace

TEST(ExactTemperament, OffsetsAreFractionsOfTheComma) {
    const struct {
        double offset;
        double deviation;  // cents from a pure fifth
        double tolerance;
        const char* circle;
    } cases[] = {
        {-6.0, -kPythagorean / 4, 1e-12, "-5.865"},                // a quarter Pythagorean comma
        {-5.5, -kSyntonic / 4, 0.001, "-5.37625"},                 // a quarter syntonic comma
        {-2.0, 700.0 - 1200.0 * std::log2(1.5), 1e-12, "-1.955"},  // equal temperament
        {0.0, 0.0, 0.0, "0"},
        {36.5, 35.6788, 1e-4, "35.6788"},
    };
    for (const auto& c : cases) {
        std::array<double, 12> o = kEqual;
        o[3] = c.offset;
        const CTemperament t = Exact(o);
        EXPECT_NEAR(t.FifthDeviation(3), c.deviation, c.tolerance) << c.offset;
        EXPECT_EQ(CCycleOfFifthsControl::FormatOffset(t.FifthDeviation(3)), c.circle);
        // A pure fifth plus the deviation is the fifth A-E itself.
        EXPECT_NEAR(t.Interval(9, 4), 1200.0 * std::log2(1.5) + t.FifthDeviation(3), 1e-9)
            << c.offset;
        EXPECT_EQ(CTemperament(o).FifthDeviation(3), c.offset);  // classic: the offset itself
    }
    EXPECT_EQ(Exact(kEqual).FifthDeviation(12), 0.0);
}

TEST(ExactTemperament, EqualWerckmeisterAndMeantone) {
    const CTemperament equal = Exact(kEqual);
    for (int n = 0; n < 12; ++n) {
        EXPECT_EQ(equal.GetPosition(n), 100.0 * n) << n;  // exactly, not to within rounding
        EXPECT_EQ(Cell(equal, kDisplayDeviations, n), "0") << n;
    }
    EXPECT_EQ(Cell(equal, kDisplayFrequencies, 0, 440.0), "261.63");

    // Werckmeister III at 415: E a pure fifth above A, four fifths above C
    // less a Pythagorean comma's worth of three of them.
    const CTemperament w3 = Exact(kWerckmeister3);
    EXPECT_NEAR(w3.Interval(0, 4), 390.225, 0.0005);
    EXPECT_EQ(Cell(w3, kDisplayCents, 4), "390.225");
    EXPECT_EQ(Cell(w3, kDisplayFrequencies, 4), "311.25");
    EXPECT_EQ(Cell(CTemperament(kWerckmeister3), kDisplayFrequencies, 4), "311.26");

    // Quarter-comma meantone: the eight thirds that do not cross the wolf
    // G#-Eb are pure; the classic arithmetic leaves them 0.3 cents narrow.
    const CTemperament mt = Exact(kMeantone);
    int pure = 0;
    for (int n = 0; n < 12; ++n) {
        const int place = (7 * n) % 12;  // the note's place in the circle
        if (place >= 5 && place <= 8) {
            continue;  // the four fifths of this third include G#-Eb
        }
        EXPECT_NEAR(mt.Interval(n, n + 4), kPureThird, 0.01) << n;
        EXPECT_NEAR(CTemperament(kMeantone).Interval(n, n + 4), kPureThird - 0.314, 0.001) << n;
        ++pure;
    }
    EXPECT_EQ(pure, 8);
}

TEST(ExactTemperament, SwitchingAndRotatingKeepTheOffsets) {
    CTemperament t(kMeantone);
    std::array<double, 12> classic;
    for (int n = 0; n < 12; ++n) {
        classic[n] = t.GetPosition(n);
    }
    t.SetArithmetic(FifthArithmetic::Exact);
    t.Rotate(3);
    EXPECT_EQ(t.GetArithmetic(), FifthArithmetic::Exact);
    EXPECT_EQ(t.GetOffset(11), 36.5);  // moved, not recomputed
    // The wolf now closes on F-C: C-E stays pure, F-A crosses the wolf.
    EXPECT_NEAR(t.Interval(0, 4), kPureThird, 0.01);
    EXPECT_GT(t.Interval(5, 9), kPureThird + 40);
    t.Rotate(0);
    t.SetArithmetic(FifthArithmetic::Classic);
    for (int n = 0; n < 12; ++n) {
        EXPECT_EQ(t.GetPosition(n), classic[n]) << n;  // bit for bit
    }
}

TEST(ExactTemperament, TargetsAndTheCatalogueFollowTheArithmeticAsked) {
    // Whatever arithmetic the temperament carries, the targets are those asked for.
    for (const CTemperament& t : {CTemperament(kWerckmeister3), Exact(kWerckmeister3)}) {
        const auto exact = TargetFrequencies(t, 415.0, FifthArithmetic::Exact);
        const auto classic = TargetFrequencies(t, 415.0, FifthArithmetic::Classic);
        EXPECT_EQ(FormatFixed(exact[4], 2), "311.25");
        EXPECT_EQ(FormatFixed(classic[4], 2), "311.26");
        EXPECT_EQ(exact[9], 415.0);
        for (int n = 0; n < 12; ++n) {
            EXPECT_EQ(classic[n], StandardAOctaveFrequency(CTemperament(kWerckmeister3), 415.0, n));
        }
    }
    CTemperamentSet set;
    ASSERT_TRUE(set.AddFromText(FormatTemperamentText(kWerckmeister3), "W3"));
    set.SetArithmetic(FifthArithmetic::Exact);
    ASSERT_TRUE(set.AddFromText(FormatTemperamentText(kMeantone), "M"));
    EXPECT_EQ(set.Find("W3")->GetArithmetic(), FifthArithmetic::Exact);
    EXPECT_EQ(set.Find("M")->GetArithmetic(), FifthArithmetic::Exact);
    set.SetArithmetic(FifthArithmetic::Classic);
    EXPECT_EQ(set.Find("M")->GetPosition(4), CTemperament(kMeantone).GetPosition(4));
}
