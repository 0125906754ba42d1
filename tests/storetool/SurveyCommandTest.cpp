// SPDX-License-Identifier: GPL-3.0-or-later
// The survey command on recordings the test renders and writes, the saved
// surveys it keeps in a real store file, and the sheet's measured column.
#include "storetool/SurveyCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "store/ExportFormat.h"
#include "store/SurveyStore.h"
#include "support/OctaveSynthesis.h"
#include "support/TempStore.h"
#include "support/ToolRun.h"
#include "support/WavBytes.h"

namespace {

constexpr int kRate = 22050;

std::string Right(const std::string& s) {
    return std::string(3 - s.size(), ' ') + s;
}

class SurveyCommandTest : public ::testing::Test {
protected:
    // An octave of the temperament (the notes given, in that order) played
    // at standardA, each note detuned by detune cents, written as 16-bit WAV.
    std::string Record(const std::string& file, const std::string& name, double standardA,
                       const std::vector<int>& order, const std::array<double, 12>& detune = {},
                       unsigned seed = 3) {
        const auto played = PlanOctave(ShippedTargets(name, 0, standardA, FifthArithmetic::Exact),
                                       detune, order, {4, 3}, true, false, seed);
        std::string path = m_store.Dir() + "/" + file;
        CTempStore::WriteBytes(path, Wav(1, 1, kRate, 16, Pcm16(RenderNotes(played, kRate, seed))));
        return path;
    }
    static std::vector<int> Octave(int notes = 12) {
        std::vector<int> order(static_cast<std::size_t>(notes));
        std::iota(order.begin(), order.end(), 0);
        return order;
    }
    CTempStore m_store;
};

// The temperament played ranks first at its pitch; the table has every
// note; the arithmetic and the length of the ranking are as asked.
TEST_F(SurveyCommandTest, NamesTheTemperamentAndPitch) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> detuning(-1.5, 1.5);
    std::array<double, 12> detune;
    for (double& d : detune) {
        d = detuning(random);
    }
    const struct {
        const char* name;
        double standardA;
        std::vector<std::string> options;
        std::string arithmetic;
        int rows;
    } cases[] = {
        {"Werckmeister III", 415.0, {"--exact"}, "exact arithmetic", 5},
        {"Meantone 1/4 comma",
         440.0,
         {"--classic", "--top", "2", "--standard-a", "440"},
         "classic arithmetic",
         2},
        {"Kirnberger III", 392.0, {"--top", "8", "--standard-a", "392"}, "classic arithmetic", 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"survey",
                                         Record("o.wav", c.name, c.standardA, Octave(), detune)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun r = Tool(args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_NE(r.out.find(c.arithmetic), std::string::npos) << r.out;
        char first[96];
        std::snprintf(first, sizeof first, "  1  %-30s  0 (C)   %9.1f Hz", c.name, c.standardA);
        EXPECT_NE(r.out.find(first), std::string::npos) << r.out;
        const auto row = [&](int n) { return r.out.find("\n" + Right(std::to_string(n)) + "  "); };
        EXPECT_NE(row(c.rows), std::string::npos) << r.out;
        EXPECT_EQ(row(c.rows + 1), std::string::npos) << r.out;
        for (const char* note : {"\nC", "\nEb", "\nF#", "\nB"}) {
            EXPECT_NE(r.out.find(note), std::string::npos) << note;
        }
        EXPECT_EQ(r.out.find("  not measured\n"), std::string::npos) << r.out;
    }
}

// What cannot be surveyed: one line, exit status 2.
TEST_F(SurveyCommandTest, RefusesTooFewNotesAndBadArguments) {
    const std::string six = Record("six.wav", "Werckmeister III", 415.0, Octave(6));
    const std::string seven = Record("seven.wav", "Werckmeister III", 415.0, Octave(7));
    const struct {
        std::vector<std::string> args;
        std::string why;
    } cases[] = {
        {{"survey", six},
         "only 6 of the 12 notes could be measured (C C# D Eb E F); a survey "
         "needs at least 7"},
        {{"survey", m_store.Dir() + "/none.wav"}, "none.wav"},
        {{"survey", seven, "--top", "0"}, "--top takes a whole number"},
        {{"survey", seven, "--compare", "Ruckers"}, "no saved survey"},
    };
    for (const auto& c : cases) {
        const ToolRun r = Tool(c.args);
        EXPECT_NE(r.code, kExitOk) << c.why;
        EXPECT_EQ(r.out, "") << c.why;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(Tool({"survey", six}).code, kExitUsage);
    EXPECT_EQ(Tool({"survey", seven}).code, kExitOk);
}

// A survey kept under an instrument's name in a real store file, a later one
// set against it, the store's own keys untouched; the notes' temperament
// added to the catalogue through the editor's checks.
TEST_F(SurveyCommandTest, KeepsSurveysAndShowsTheDrift) {
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const auto ownKeys = [] {
        std::vector<ExportKey> keys;
        std::string why;
        EXPECT_TRUE(ParseExport(Tool({"export"}).out, keys, why)) << why;
        std::string text;
        for (const ExportKey& k : keys) {
            for (const ExportKey::Entry& e : k.values) {
                text += k.path.find("Surveys") == std::string::npos ? k.path + e.name + e.text : "";
            }
        }
        return text;
    };
    const std::string before = ownKeys();
    const std::string first = Record("first.wav", "Werckmeister III", 415.0, Octave());
    ToolRun r = Tool({"survey", first, "--save", "Ruckers"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Kept this survey as Ruckers"), std::string::npos) << r.out;
    EXPECT_EQ(ownKeys(), before);

    // Three cents higher, E four more.
    std::array<double, 12> moved;
    moved.fill(3.0);
    moved[4] = 7.0;
    const std::string later = Record("later.wav", "Werckmeister III", 415.0, Octave(), moved, 5);
    r = Tool({"survey", later, "--compare", "ruckers"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Since the survey Ruckers of "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("12 notes heard in both; the pitch moved +3.3 cents"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nE       +7.0              +3.7"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nC       +3.0              -0.3"), std::string::npos) << r.out;

    r = Tool({"survey", later, "--add-temperament", "Ruckers as found"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Tool({"show", "Ruckers as found"}).code, kExitOk);
    r = Tool({"survey", later, "--add-temperament", "Ruckers as found"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("exists already"), std::string::npos) << r.err;
}

// The saved text reads back as written; anything else is refused whole.
TEST(SurveyStore, ReadsOnlyItsOwnText) {
    SSavedSurvey s;
    s.strWhen = "2026-03-01T12:00Z";
    s.notes.dReferenceA = 415.3;
    s.notes.adCents[0] = -5.87;
    s.notes.anHeard[0] = 2;
    s.notes.adSpread[0] = 0.12;
    s.notes.adCents[11] = 49.5;
    s.notes.anHeard[11] = 1;
    const std::string text = FormatSurveyText(s);
    EXPECT_EQ(text, "1;2026-03-01T12:00Z;415.300;-5.87/2/0.12,,,,,,,,,,,49.50/1/0.00");
    SSavedSurvey read;
    ASSERT_TRUE(ParseSurveyText(text, read));
    EXPECT_EQ(FormatSurveyText(read), text);
    for (const std::string& bad : std::vector<std::string>{
             "2;2026-03-01T12:00Z;415.300;,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415.300;,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415.300;,,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;700;,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415;1/0/0,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415;300/1/0,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415;nan/1/0,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415;1/1,,,,,,,,,,,",
             "1;2026-03-01 12:00;415;,,,,,,,,,,,",
             "1;2026-03-01T12:00Z;415;,,,,,,,,,,,;",
             text + std::string(200, ' '),
         }) {
        SSavedSurvey kept = read;
        EXPECT_FALSE(ParseSurveyText(bad, kept)) << bad;
        EXPECT_EQ(FormatSurveyText(kept), text);
    }
}

// The sheet of a recording or of a saved survey: written, with or without
// a temperament named (the survey's best fit then).
TEST_F(SurveyCommandTest, SheetTakesASurvey) {
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string wav = Record("o.wav", "Werckmeister III", 415.0, Octave());
    ASSERT_EQ(Tool({"survey", wav, "--save", "Ruckers"}).code, kExitOk);
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        {{"sheet", "Werckmeister III", "--survey", wav, "-o", "a.svg"}, kExitOk, ""},
        {{"sheet", "--survey", "Ruckers", "-o", "b.pdf"}, kExitOk, ""},
        {{"sheet", "--survey", "Ruckerz", "-o", "c.pdf"}, kExitUsage, "neither a file nor"},
        {{"sheet", "--survey", Record("six.wav", "Werckmeister III", 415.0, Octave(6)), "-o",
          "d.pdf"},
         kExitUsage,
         "only 6 of the 12 notes"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.back() = m_store.Dir() + "/" + args.back();
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(std::filesystem::exists(args.back()), c.code == kExitOk) << args.back();
    }
}

}  // namespace
