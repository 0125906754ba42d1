#include "tuning/TemperamentTables.h"

#include <gtest/gtest.h>

namespace {

std::array<double, 12> Filled(double v) {
    std::array<double, 12> a;
    a.fill(v);
    return a;
}

std::vector<std::string> Row(const CTemperament& t, int mode, double standardA) {
    std::vector<std::string> row;
    row.reserve(12);
    for (int n = 0; n < 12; ++n) {
        row.push_back(FormatTableValue(mode, TableValue(t, mode, n, standardA)));
    }
    return row;
}

}  // namespace

TEST(TemperamentTables, EqualTemperamentInEveryMode) {
    CTemperament t(Filled(-2.0));
    const auto cents = Row(t, kDisplayCents, 440);
    EXPECT_EQ(cents[0], "0");
    EXPECT_EQ(cents[1], "100");
    EXPECT_EQ(cents[11], "1100");
    for (const auto& v : Row(t, kDisplayDeviations, 440)) {
        // A rounding residue would print as 1e-13 or -2.27374e-13.
        EXPECT_TRUE(v == "0" || v.find('e') != std::string::npos) << v;
    }
    for (const auto& v : Row(t, kDisplayMinorThirds, 440)) {
        EXPECT_EQ(v, "300");
    }
    for (const auto& v : Row(t, kDisplayMajorThirds, 440)) {
        EXPECT_EQ(v, "400");
    }
    const auto hz = Row(t, kDisplayFrequencies, 440);
    EXPECT_EQ(hz[0], "261.63");
    EXPECT_EQ(hz[9], "440.00");
    EXPECT_EQ(hz[11], "493.88");
}

TEST(TemperamentTables, PureFifthsMeasureFromTheirOwnC) {
    CTemperament t(Filled(0.0));
    EXPECT_EQ(Row(t, kDisplayCents, 415)[7], "678");
    EXPECT_EQ(FormatTableValue(kDisplayFrequencies, TableValue(t, kDisplayFrequencies, 9, 415)),
              "415.00");
}

TEST(TemperamentTables, ThirdsWrapAroundTheOctave) {
    std::array<double, 12> o = Filled(-5.5);
    o[8] = 36.5;  // quarter-comma meantone, wolf on G#-Eb
    CTemperament t(o);
    EXPECT_EQ(FormatTableValue(kDisplayMajorThirds, TableValue(t, kDisplayMajorThirds, 0, 415)),
              "386");
    // B up to D# (note 11 + 4 - 12 = 3) and G# up to C (8 + 4 - 12 = 0).
    EXPECT_EQ(FormatTableValue(kDisplayMajorThirds, TableValue(t, kDisplayMajorThirds, 8, 415)),
              "428");
    EXPECT_EQ(FormatTableValue(kDisplayMinorThirds, TableValue(t, kDisplayMinorThirds, 9, 415)),
              "310.5");
}

TEST(TemperamentTables, FrequencyFromStandardAFollowsTheFactor) {
    CTemperament t(Filled(-2.0));
    EXPECT_DOUBLE_EQ(FrequencyFromStandardA(t, 415, 9, 1.0), 415.0);
    // The equal-tempered frequencies themselves are the model's (its tests):
    // here only the octave factor and the note's place in the octave.
    const double c5 = CTemperament::Frequency(440.0, t.Interval(9, 0));
    EXPECT_DOUBLE_EQ(FrequencyFromStandardA(t, 440, 0, 1.0), c5);
    EXPECT_DOUBLE_EQ(FrequencyFromStandardA(t, 440, 12, 0.5), c5 / 2);
    EXPECT_DOUBLE_EQ(FrequencyFromStandardA(t, 415, 21, 4.0), 1660.0);
}

TEST(TemperamentTables, CaptionsAndFormats) {
    EXPECT_STREQ(TableCaption(1), "Cents from beginning of scale");
    EXPECT_STREQ(TableCaption(5), "Frequencies from Standard A (Hertz)");
    EXPECT_STREQ(TableCaption(6), "");
    EXPECT_EQ(FormatTableValue(4, 386.3137), "386.314");
    EXPECT_EQ(FormatTableValue(1, 1199.9999999), "1200");
    EXPECT_EQ(FormatTableValue(5, 261.625), "261.62");  // as printf rounds the binary value
}
