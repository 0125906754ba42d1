// SPDX-License-Identifier: GPL-3.0-or-later
// Surveys of rendered octaves: the notes heard through the fine analysis,
// collected note by note, and the catalogue fitted to them.
#include "audio/SurveyCollector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

#include "store/StoreSetup.h"
#include "support/OctaveSynthesis.h"
#include "tuning/TemperamentFit.h"
#include "tuning/TemperamentSet.h"
#include "tuning/TemperamentTables.h"

namespace {

constexpr int kRate = 22050;

SSurveyNotes Survey(const std::vector<SPlayedNote>& notes, double reference, unsigned seed) {
    CSurveyCollector collector(reference);
    AnalyseRecording(RenderNotes(notes, kRate, seed), kRate,
                     [&](const CFineReading& r) { collector.OnReading(r); });
    collector.Finish();
    return collector.Notes();
}

}  // namespace

// Whole octaves in several temperaments, rotations and pitches, plucked and
// sustained, apart and overlapping, every note detuned by up to 1.5 cents:
// the temperament played comes first, at its pitch, and each residual is the
// detuning put in (less the mean, which the fitted pitch takes up).
TEST(Survey, FindsTheTemperamentPitchAndDetuning) {
    const struct {
        const char* name;
        int rotation;
        double standardA;
        double anchor;  // the pitch the notes are named from at first
        FifthArithmetic arithmetic;
        bool plucked;
        bool overlap;
        std::vector<int> octaves;
    } cases[] = {
        {"Werckmeister III", 0, 415.0, 415, FifthArithmetic::Exact, true, false, {4}},
        {"Meantone 1/4 comma", 3, 440.0, 440, FifthArithmetic::Classic, true, true, {3, 4}},
        {"Kirnberger III", 0, 392.0, 392, FifthArithmetic::Exact, false, true, {4, 3, 5}},
        {"Pythagorean", 5, 466.0, 466, FifthArithmetic::Classic, false, false, {3}},
        {"Werckmeister IV", 2, 415.3, 415, FifthArithmetic::Classic, true, false, {4, 3}},
        // Between two pitches: G# of this meantone lies 67 cents below the
        // semitones of 440, yet is named G#, not G.
        {"Meantone 1/3 comma", 0, 430.0, 440, FifthArithmetic::Exact, true, true, {4}},
        {"Kirnberger II", 7, 425.0, 415, FifthArithmetic::Classic, false, false, {4, 5}},
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " rotation " + std::to_string(c.rotation));
        std::mt19937 random(++seed);
        std::uniform_real_distribution<double> detuning(-1.5, 1.5);
        std::array<double, 12> detune;
        for (double& d : detune) {
            d = detuning(random);
        }
        std::vector<int> order(12);
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
        order.push_back(order[3]);  // a note played again
        const auto played =
            PlanOctave(ShippedTargets(c.name, c.rotation, c.standardA, c.arithmetic), detune, order,
                       c.octaves, c.plucked, c.overlap, seed);
        const SSurveyNotes notes = Survey(played, c.anchor, seed);
        ASSERT_EQ(notes.Count(), 12);
        EXPECT_EQ(notes.anHeard[order[3]], 2);

        const SFitResult fit = CTemperamentFit(ShippedCatalogue(), c.arithmetic).Fit(notes);
        ASSERT_FALSE(fit.rows.empty());
        const SFitRow& best = fit.rows.front();
        EXPECT_EQ(best.name.strName, c.name);
        EXPECT_EQ(best.name.nRotation, c.rotation);
        const double mean = std::accumulate(detune.begin(), detune.end(), 0.0) / 12;
        EXPECT_NEAR(best.dStandardA, c.standardA, 0.2);
        for (int n = 0; n < 12; ++n) {
            EXPECT_NEAR(best.adResiduals[n], detune[n] - mean, 0.3) << NoteName(n);
        }
    }
}
// Tunings that differ by under a cent per note are named together as close,
// not told apart; a tuning with no such neighbour stands alone.
TEST(Survey, TuningsUnderACentApartAreReportedClose) {
    const struct {
        const char* name;
        const char* neighbour;  // empty: none is close
    } cases[] = {
        {"Sorge 1758", "Neidhardt 1724 Grosse Stadt"},
        {"Vallotti", "Young 1799 No. 1"},
        {"Werckmeister III", ""},
    };
    std::vector<int> order(12);
    std::iota(order.begin(), order.end(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<double, 12> detune{};
        const auto played = PlanOctave(ShippedTargets(c.name, 0, 440.0, FifthArithmetic::Exact),
                                       detune, order, {4}, false, false, 7);
        const SFitResult fit = CTemperamentFit(ShippedCatalogue(), FifthArithmetic::Exact)
                                   .Fit(Survey(played, 440.0, 7));
        ASSERT_FALSE(fit.rows.empty());
        const std::string first = fit.rows.front().name.strName;
        std::vector<std::string> close;
        for (const SFitRow* row : fit.Close()) {
            close.push_back(row->name.strName);
        }
        if (*c.neighbour == 0) {
            EXPECT_EQ(first, c.name);
            EXPECT_TRUE(close.empty()) << close.front();
            continue;
        }
        const std::string other = first == c.name ? c.neighbour : c.name;
        EXPECT_TRUE(first == c.name || first == c.neighbour) << first;
        EXPECT_NE(std::find(close.begin(), close.end(), other), close.end());
    }
}
