#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "store/StoreSetup.h"
#include "storetool/StoreTool.h"
#include "support/TempStore.h"
#include "support/ToolRun.h"
#include "tuning/ScalaFile.h"
#include "tuning/TemperamentSet.h"
#include "tuning/TemperamentTables.h"
#include "tuning/TuningChart.h"

namespace {

CTemperament FromText(const std::string& text) {
    std::array<double, 12> o{};
    EXPECT_TRUE(ParseTemperamentText(text, o));
    return CTemperament(o);
}

std::string SeedText(const std::string& name) {
    for (const auto& s : SeedCatalogue()) {
        if (s.name == name) {
            return s.text;
        }
    }
    ADD_FAILURE() << name;
    return "";
}

}  // namespace

TEST(TuningChart, EqualTemperamentBeatsAt440) {
    const auto rows = BuildChart(FromText(SeedText("Equal temperament")), 440.0);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_NEAR(rows[0].fifthBeats, -0.89, 0.005);       // C-G, narrow
    EXPECT_NEAR(rows[0].majorThirdBeats, 10.38, 0.01);   // C-E, wide
    EXPECT_NEAR(rows[0].minorThirdBeats, -14.12, 0.01);  // C-Eb, narrow
    EXPECT_NEAR(rows[9].fifthBeats, -1.49, 0.005);       // A-E
    // Every fifth is the same 2 cents narrow, so its beats grow with the pitch.
    for (int n = 1; n < 12; ++n) {
        EXPECT_GT(rows[n].fifthBeats, -2.0);
        EXPECT_LT(rows[n].fifthBeats, rows[n - 1].fifthBeats) << n;
    }
    EXPECT_EQ(FifthName(0), "C-G");
    EXPECT_EQ(FifthName(8), "G#-Eb");
    EXPECT_EQ(FifthName(5), "F-C");
}

TEST(TuningChart, WerckmeisterAndMeantone) {
    const auto w3 = BuildChart(FromText(SeedText("Werckmeister III")), 415.0);
    EXPECT_EQ(w3[0].fifthOffset, -6.0);  // C-G tempered
    EXPECT_EQ(w3[4].fifthOffset, 0.0);   // E-B pure in the model
    EXPECT_LT(w3[0].fifthBeats, -2.0);
    // A fifth of 702 cents is 0.045 cents wider than 3:2: it barely beats.
    EXPECT_NEAR(w3[4].fifthBeats, 0.0, 0.05);
    EXPECT_EQ(FormatTableValue(1, w3[1].cents), "90");

    const auto mt = BuildChart(FromText(SeedText("Meantone 1/4 comma")), 415.0);
    for (int n : {0, 2, 5, 7}) {  // C-E, D-F#, F-A, G-B: 386 cents, pure in the model
        EXPECT_EQ(mt[n].majorThird, 386.0);
        EXPECT_NEAR(mt[n].majorThirdBeats, 0.0, 0.35) << n;
    }
    EXPECT_GT(mt[1].majorThirdBeats, 25.0);  // C#-F, the wide diminished fourth
}

TEST(TuningChart, ShowCommandTextAndCsv) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    ToolRun r = Tool({"show", "equal TEMPERAMENT", "--standard-a", "440"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind("Equal temperament, Standard A = 440 Hz", 0), 0u);
    EXPECT_NE(r.out.find("261.63"), std::string::npos);
    EXPECT_NE(r.out.find("-0.89"), std::string::npos);

    r = Tool({"show", "Werckmeister III", "--csv", "--rotation", "1"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::istringstream lines(r.out);
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(header.rfind("note,cents,deviation,", 0), 0u);
    // Rotated one fifth on, the offset of C-G belongs to G-D, and F-C's (0) to C-G.
    EXPECT_NE(first.find(",C-G,0,"), std::string::npos) << first;

    // The stored Standard A is the default.
    ASSERT_EQ(Tool({"set", "SOFTWARE\\Klavora\\Settings", "StandardA", "440"}).code, kExitOk);
    EXPECT_NE(Tool({"show", "Equal temperament"}).out.find("= 440 Hz"), std::string::npos);

    EXPECT_EQ(Tool({"show", "Nope"}).code, kExitNotFound);
    EXPECT_EQ(Tool({"show"}).code, kExitUsage);
    EXPECT_EQ(Tool({"show", "Vallotti", "--standard-a", "1000"}).code, kExitUsage);
    EXPECT_EQ(Tool({"show", "Vallotti", "--rotation", "12"}).code, kExitUsage);
    EXPECT_EQ(Tool({"show", "Vallotti", "--standard-a"}).code, kExitUsage);
    EXPECT_EQ(Tool({"show", "Vallotti", "--loud"}).code, kExitUsage);
}

TEST(ScalaFiles, WholeCatalogueRoundTrips) {
    for (const auto& seed : SeedCatalogue()) {
        std::array<double, 12> offsets{};
        ASSERT_TRUE(ParseTemperamentText(seed.text, offsets));
        const std::string file = FormatScala(seed.name, offsets);
        ScalaScale scale;
        std::string error;
        ASSERT_TRUE(ParseScalaTwelveTone(file, scale, error)) << seed.name << ": " << error;
        EXPECT_EQ(scale.description, seed.name);
        std::array<double, 12> back{};
        ASSERT_TRUE(DeriveFifthOffsets(scale, back, error)) << error;
        EXPECT_EQ(FormatTemperamentText(back), seed.text) << seed.name;
    }
}

TEST(ScalaFiles, OffsetsFollowFromTheNotesAlone) {
    // Without the recorded offsets, a closed circle is derived from the notes.
    for (const char* name : {"Werckmeister III", "Vallotti", "Kirnberger III", "Young 1799 No. 1",
                             "Meantone 1/4 comma", "Pythagorean"}) {
        std::array<double, 12> offsets{};
        ASSERT_TRUE(ParseTemperamentText(SeedText(name), offsets));
        std::string file = FormatScala(name, offsets);
        file.erase(file.find("! Klavora fifths:"),
                   file.find('\n', file.find("! Klavora")) - file.find("! Klavora fifths:") + 1);
        ScalaScale scale;
        std::string error;
        ASSERT_TRUE(ParseScalaTwelveTone(file, scale, error)) << error;
        ASSERT_FALSE(scale.hasRecordedOffsets);
        std::array<double, 12> back{};
        ASSERT_TRUE(DeriveFifthOffsets(scale, back, error)) << error;
        EXPECT_EQ(FormatTemperamentText(back), SeedText(name)) << name;
    }
    // Ratios, comments and a description as other programs write them.
    const std::string pythagorean =
        "! pyth.scl\n!\n12-tone Pythagorean scale\n 12\n!\n 2187/2048\n 9/8\n 32/27\n"
        " 81/64\n 4/3\n 729/512\n 3/2\n 6561/4096\n 27/16\n 16/9\n 243/128\n 2/1\n";
    ScalaScale scale;
    std::string error;
    ASSERT_TRUE(ParseScalaTwelveTone(pythagorean, scale, error)) << error;
    std::array<double, 12> o{};
    ASSERT_TRUE(DeriveFifthOffsets(scale, o, error)) << error;
    double sum = 0;
    for (double v : o) {
        sum += v;
    }
    EXPECT_NEAR(sum, -24.0, 1e-9);
    EXPECT_NEAR(o[0], 701.955 - 702.0, 1e-3);
}

TEST(ScalaFiles, RefusesWhatIsNotATwelveNoteOctave) {
    const std::string head = "! x.scl\n!\nTest\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + " 7\n!\n 200.0\n 400.0\n 500.0\n 700.0\n 900.0\n 1100.0\n 2/1\n", "7 notes"},
        {head + " 12\n 100.\n 200.\n 300.\n 400.\n 500.\n 600.\n 700.\n 800.\n 900.\n 1000.\n"
                " 1100.\n 3/1\n",
         "not at the octave"},
        {head + " 12\n 100.\n 200.\n", "2 pitches instead of 12"},
        {head + " twelve\n", "number of notes"},
        {"just one line\n", "description line"},
        {head + " 12\n 100.\n 2oo.0\n 300.\n 400.\n 500.\n 600.\n 700.\n 800.\n 900.\n 1000.\n"
                " 1100.\n 2/1\n",
         "pitch 2"},
        {head + " 12\n 100.\n 0/4\n 300.\n 400.\n 500.\n 600.\n 700.\n 800.\n 900.\n 1000.\n"
                " 1100.\n 2/1\n",
         "not positive"},
    };
    for (const auto& [text, expected] : cases) {
        ScalaScale scale;
        std::string error;
        EXPECT_FALSE(ParseScalaTwelveTone(text, scale, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

TEST(ScalaFiles, ToolImportAndExport) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string scl = store.Dir() + "/w3.scl";
    ASSERT_EQ(Tool({"export-scl", "werckmeister iii", scl}).code, kExitOk);
    EXPECT_EQ(CTempStore::ReadBytes(scl).substr(0, 22), "! Werckmeister III.scl");

    const std::string before = Tool({"export"}).out;
    ToolRun r = Tool({"import-scl", scl});  // the description names an existing temperament
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("exists already"), std::string::npos);
    EXPECT_EQ(Tool({"import-scl", scl, "WERCKMEISTER III"}).code, kExitUsage);
    EXPECT_EQ(Tool({"import-scl", scl, std::string(255, 'x')}).code, kExitUsage);
    CTempStore::WriteBytes(store.Dir() + "/seven.scl",
                           "Seven\n 7\n 1.\n 2.\n 3.\n 4.\n 5.\n 6.\n 2/1\n");
    EXPECT_EQ(Tool({"import-scl", store.Dir() + "/seven.scl", "Seven"}).code, kExitUsage);
    EXPECT_EQ(Tool({"import-scl", store.Dir() + "/none.scl"}).code, kExitNotFound);
    EXPECT_EQ(Tool({"export"}).out, before);  // nothing stored by any refusal

    r = Tool({"import-scl", scl, "My Werckmeister"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Tool({"get", kTemperamentsKeyPath, "My Werckmeister"}).out,
              SeedText("Werckmeister III") + "\n");
    EXPECT_EQ(Tool({"export-scl", "Nope"}).code, kExitNotFound);
    EXPECT_NE(Tool({"export-scl", "Vallotti"}).out.find("\nVallotti\n 12\n"), std::string::npos);
}

TEST(ScalaFiles, ExactCentsFollowTheStoredArithmetic) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    ASSERT_EQ(Tool({"set", kSettingsKeyPath, "ExactTemperaments", "1"}).code, kExitOk);
    const std::string scl = store.Dir() + "/w3.scl";
    ASSERT_EQ(Tool({"export-scl", "Werckmeister III", scl}).code, kExitOk);
    std::string file = CTempStore::ReadBytes(scl);
    EXPECT_NE(file.find("\n 390.224996\n"), std::string::npos) << file;
    // Read back from the notes alone, and from the file of the common Scala
    // archive (five decimals), the fifths are -6 and 0, never -0.045.
    file.erase(file.find("! Klavora fifths:"),
               file.find('\n', file.find("! Klavora")) - file.find("! Klavora fifths:") + 1);
    const std::string archive =
        "! werck3.scl\n!\nWerckmeister III\n 12\n!\n 90.22500\n 192.18000\n 294.13500\n"
        " 390.22500\n 498.04500\n 588.26999\n 696.09000\n 792.18000\n 888.26999\n 996.09000\n"
        " 1092.18000\n 2/1\n";
    for (const std::string& text : {file, archive}) {
        CTempStore::WriteBytes(scl, text);
        ASSERT_EQ(Tool({"import-scl", scl, "W3 again"}).code, kExitOk);
        EXPECT_EQ(Tool({"get", kTemperamentsKeyPath, "W3 again"}).out,
                  SeedText("Werckmeister III") + "\n");
        ASSERT_EQ(Tool({"delete", kTemperamentsKeyPath, "W3 again"}).code, kExitOk);
    }
    EXPECT_NE(Tool({"show", "Werckmeister III"}).out.find("-5.865"), std::string::npos);
}
