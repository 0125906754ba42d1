#include "tuning/Temperament.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

std::array<double, 12> Filled(double v) {
    std::array<double, 12> a;
    a.fill(v);
    return a;
}

std::array<double, 12> Positions(const CTemperament& t) {
    std::array<double, 12> p;
    for (int n = 0; n < 12; ++n) {
        p[n] = t.GetPosition(n);
    }
    return p;
}

bool SameBits(const std::array<double, 12>& a, const std::array<double, 12>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::uint64_t nA = 0;
        std::uint64_t nB = 0;
        std::memcpy(&nA, &a[i], sizeof nA);
        std::memcpy(&nB, &b[i], sizeof nB);
        if (nA != nB) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(Temperament, EqualTemperamentPositionsAndFrequencies) {
    CTemperament t(Filled(-2.0));
    for (int n = 0; n < 12; ++n) {
        EXPECT_NEAR(t.GetPosition(n), 100.0 * n, 1e-9) << "note " << n;
    }
    EXPECT_NEAR(t.Interval(9, 0), 300.0, 1e-9);
    EXPECT_NEAR(CTemperament::Frequency(440.0, t.Interval(9, 0)), 523.2511306, 1e-6);
    EXPECT_NEAR(CTemperament::Frequency(440.0, t.Interval(9, 0)) / 2, 261.6255653, 1e-6);
    EXPECT_NEAR(t.NoteFrequency(261.6255653, 9), 440.0, 1e-6);
}

TEST(Temperament, PositionsWithCommaOnOneFifth) {
    std::array<double, 12> o = Filled(0.0);
    o[8] = -24.0;
    CTemperament t(o);
    // G 702, D 204, A 906, E 408, B 1110, F# 612, C# 114, G# 816, Eb 294, Bb 996, F 498, C 0.
    const double expected[12] = {0, 114, 204, 294, 408, 498, 612, 702, 816, 906, 996, 1110};
    for (int n = 0; n < 12; ++n) {
        EXPECT_DOUBLE_EQ(t.GetPosition(n), expected[n]) << "note " << n;
    }
}

TEST(Temperament, OpenCommaShowsOnC) {
    CTemperament pure(Filled(0.0));
    EXPECT_DOUBLE_EQ(pure.GetPosition(0), 24.0);
    EXPECT_DOUBLE_EQ(pure.GetPosition(3), 318.0);
    EXPECT_DOUBLE_EQ(pure.GetPosition(10), 1020.0);
    EXPECT_DOUBLE_EQ(pure.GetPosition(5), 522.0);
    EXPECT_EQ(pure.Interval(0, 0), 0.0);

    CTemperament wide(Filled(-2.5));  // sums to -30
    EXPECT_DOUBLE_EQ(wide.GetPosition(0), 1194.0);
    EXPECT_DOUBLE_EQ(wide.Interval(0, 1), 102.5);
}

TEST(Temperament, IntervalFoldsOnceAndEqualPositionsGiveZero) {
    CTemperament t(Filled(-2.0));
    EXPECT_EQ(t.Interval(9, 21), t.Interval(9, 9));
    EXPECT_EQ(t.Interval(9, 9), 0.0);
    EXPECT_NEAR(t.Interval(21, 12), 300.0, 1e-9);
    EXPECT_NEAR(t.Interval(11, 0), 100.0, 1e-9);
    // Two notes that land on the same position: 0, never 1200.
    std::array<double, 12> o = Filled(0.0);
    o[0] = -702.0;  // G lands on C's position 0 ... and C too when the rest closes
    o[11] = -24.0 + 702.0;
    CTemperament same(o);
    ASSERT_EQ(same.GetPosition(7), same.GetPosition(0));
    EXPECT_EQ(same.Interval(7, 0), 0.0);
}

TEST(Temperament, OffsetAccessOutsideTheCircle) {
    CTemperament t(Filled(-2.0));
    EXPECT_EQ(t.GetOffset(12), 0.0);
    EXPECT_EQ(t.GetOffset(-1), 0.0);
    const auto before = t.Offsets();
    t.SetOffset(12, 99.0);
    t.SetOffset(-3, 99.0);
    EXPECT_TRUE(SameBits(before, t.Offsets()));
    t.SetOffset(0, -3.0);
    EXPECT_EQ(t.GetOffset(0), -3.0);
    EXPECT_DOUBLE_EQ(t.GetPosition(7), 699.0);
    EXPECT_DOUBLE_EQ(t.GetPosition(0), 1199.0);  // the circle no longer closes
}

TEST(Temperament, RotationMovesValuesAndRestoresThemBitForBit) {
    const std::array<double, 12> o = {-5.5, -5.5, -5.5, -5.5, -5.5, 0.1,
                                      0.2,  0.3,  7.25, 7.25, -5.5, -1.0 / 3.0};
    CTemperament t(o);
    const auto positions = Positions(t);

    t.Rotate(t.GetRotation() + 1);
    EXPECT_EQ(t.GetRotation(), 1);
    EXPECT_EQ(t.GetOffset(1), o[0]);   // C-G's offset now belongs to G-D
    EXPECT_EQ(t.GetOffset(0), o[11]);  // and F-C's to C-G
    t.Rotate(t.GetRotation() - 1);
    EXPECT_EQ(t.GetRotation(), 0);
    EXPECT_TRUE(SameBits(t.Offsets(), o));
    EXPECT_TRUE(SameBits(Positions(t), positions));

    // Twelve steps right come back to the start as well.
    for (int i = 0; i < 12; ++i) {
        t.Rotate(t.GetRotation() + 1);
    }
    EXPECT_EQ(t.GetRotation(), 0);
    EXPECT_TRUE(SameBits(t.Offsets(), o));
    EXPECT_TRUE(SameBits(Positions(t), positions));
}

TEST(Temperament, RotationEdgeArguments) {
    std::array<double, 12> o;
    for (int k = 0; k < 12; ++k) {
        o[k] = k;
    }
    CTemperament t(o);
    t.Rotate(12);  // a shift of twelve is none
    EXPECT_EQ(t.GetRotation(), 0);
    EXPECT_TRUE(SameBits(t.Offsets(), o));
    t.Rotate(0);  // rotating to the current rotation changes nothing
    EXPECT_TRUE(SameBits(t.Offsets(), o));

    t.Rotate(-1);  // eleven places onward, one back
    EXPECT_EQ(t.GetRotation(), 11);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(t.GetOffset(k), o[(k + 1) % 12]);
    }
    t.Rotate(5);  // from 11 to 5: six places onward
    EXPECT_EQ(t.GetRotation(), 5);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(t.GetOffset((k + 5) % 12), o[k]);
    }
}

TEST(Temperament, ExtremeOffsetsAlwaysFinish) {
    const double huge = 1e300;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {huge, -huge, inf, -inf, nan, 1e17, 123456789.123}) {
        std::array<double, 12> o = Filled(-2.0);
        o[3] = v;
        CTemperament t(o);  // must return
        for (int n = 0; n < 12; ++n) {
            const double p = t.GetPosition(n);
            EXPECT_TRUE(std::isnan(p) || p < 1200.0) << "offset " << v << " note " << n;
        }
        t.Rotate(3);
        (void)t.Interval(0, 7);
    }
    // A large but finite sum is reduced exactly, as repeated subtraction would.
    std::array<double, 12> o = Filled(-2.0);
    o[0] = 1200.0 * 1000 - 2.0;
    CTemperament t(o);
    EXPECT_DOUBLE_EQ(t.GetPosition(7), 700.0);
    EXPECT_DOUBLE_EQ(t.GetPosition(0), 0.0);
}

TEST(Temperament, FrequencyRule) {
    EXPECT_DOUBLE_EQ(CTemperament::Frequency(415.0, 0.0), 415.0);
    EXPECT_NEAR(CTemperament::Frequency(415.0, 1200.0), 830.0, 1e-9);
    EXPECT_NEAR(CTemperament::Frequency(440.0, -1200.0), 220.0, 1e-9);
    EXPECT_NEAR(CTemperament::Frequency(100.0, 701.955), 150.0, 1e-5);
}

TEST(Temperament, NoteFoldingForIndicesAboveEleven) {
    EXPECT_EQ(FoldNote(9), 9);
    EXPECT_EQ(FoldNote(21), 9);
    EXPECT_EQ(FoldNote(23), 11);
    EXPECT_EQ(FoldNote(-1), 11);
    EXPECT_EQ(FoldNote(40), 4);
}
