#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "controls/CycleOfFifthsControl.h"
#include "sheet/CairoCanvas.h"
#include "sheet/SheetLayout.h"
#include "sheet/TuningSheet.h"
#include "store/StoreSetup.h"
#include "support/TempStore.h"
#include "support/ToolRun.h"
#include "tuning/BearingPlan.h"
#include "tuning/TemperamentSet.h"

namespace {

CTemperament Seed(const std::string& name, int rotation = 0) {
    std::array<double, 12> o{};
    for (const auto& s : SeedCatalogue()) {
        if (s.name == name) {
            EXPECT_TRUE(ParseTemperamentText(s.text, o));
        }
    }
    CTemperament t(o);
    t.Rotate(rotation);
    return t;
}

// The plan as "A4 fork, A3 octave down, D4 fourth up, ...".
std::string Sequence(const BearingPlanResult& plan) {
    std::string text;
    for (const BearingStep& s : plan.steps) {
        text += (text.empty() ? "" : ", ") + KeyName(s.key) + " " +
                (s.FromFork() ? std::string("fork")
                              : IntervalName(s.interval.kind) + (s.Upwards() ? " up" : " down"));
    }
    return text;
}

const BearingStep& StepTo(const BearingPlanResult& plan, const std::string& key) {
    for (const BearingStep& s : plan.steps) {
        if (KeyName(s.key) == key) {
            return s;
        }
    }
    ADD_FAILURE() << key;
    return plan.steps.front();
}

std::string Rate(double beats) {
    return FormatBeatRate(beats) + " " + BeatSide(beats);
}

}  // namespace

TEST(BearingPlan, EqualTemperamentAt440GivesTheFamiliarFigures) {
    const BearingPlanResult plan =
        BuildBearingPlan(Seed("Equal temperament"), 440.0, Bearing::F3toF4);
    EXPECT_EQ(Sequence(plan),
              "A4 fork, A3 octave down, D4 fourth up, G3 fifth down, C4 fourth up, F3 fifth down, "
              "F4 octave up, Bb3 fourth up, Eb4 fourth up, E4 fifth up, B3 fourth down, "
              "F#3 fourth down, C#4 fifth up, G#3 fourth down");
    const BearingStep& e4 = StepTo(plan, "E4");
    EXPECT_EQ(KeyName(e4.fromKey), "A3");
    EXPECT_NEAR(e4.interval.beats, -0.745, 0.001);  // 2 x 329.63 - 3 x 220
    EXPECT_EQ(Rate(e4.interval.beats), "0.7 narrow");
    EXPECT_EQ(MetronomeFigure(e4.interval.beats), "45/min");
    EXPECT_EQ(Rate(StepTo(plan, "D4").interval.beats), "1.0 wide");  // fourths are wide
    EXPECT_EQ(BeatSide(StepTo(plan, "F4").interval.beats), "pure");

    // F3-A3 is checked as soon as F3 is set, at 6.9 wide.
    const BearingStep& f3 = StepTo(plan, "F3");
    ASSERT_EQ(f3.checks.size(), 1u);
    EXPECT_EQ(CheckText(f3.checks[0]), "F3-A3 major third");
    EXPECT_NEAR(f3.checks[0].beats, 6.93, 0.005);
    EXPECT_EQ(Rate(f3.checks[0].beats), "6.9 wide");

    // The thirds up the bearing quicken step by step, from 6.9 to 11.0.
    ASSERT_EQ(plan.thirds.size(), 9u);
    for (std::size_t i = 1; i < plan.thirds.size(); ++i) {
        EXPECT_GT(plan.thirds[i].beats, plan.thirds[i - 1].beats) << i;
    }
    EXPECT_EQ(Rate(plan.thirds.back().beats), "11.0 wide");
    EXPECT_EQ(CheckText(plan.closing), "G#3-Eb4 fifth");
    EXPECT_EQ(Rate(plan.closing.beats), "0.7 narrow");
}

TEST(BearingPlan, WerckmeisterLeavesATemperedFifthToTheEnd) {
    for (double a : {415.0, 440.0}) {
        const BearingPlanResult plan =
            BuildBearingPlan(Seed("Werckmeister III"), a, Bearing::F3toF4);
        // Flat side first through the three tempered fifths to F#, then E and B.
        EXPECT_EQ(Sequence(plan),
                  "A4 fork, A3 octave down, D4 fourth up, G3 fifth down, C4 fourth up, "
                  "F3 fifth down, F4 octave up, Bb3 fourth up, Eb4 fourth up, G#3 fifth down, "
                  "C#4 fourth up, F#3 fifth down, E4 fifth up, B3 fourth down");
        EXPECT_EQ(BeatSide(StepTo(plan, "D4").interval.beats), "wide");
        EXPECT_EQ(BeatSide(StepTo(plan, "G3").interval.beats), "narrow");
        EXPECT_EQ(BeatSide(StepTo(plan, "Bb3").interval.beats), "pure");
        EXPECT_EQ(CheckText(plan.closing), "F#3-B3 fourth");  // B-F# inverted into the bearing
        EXPECT_EQ(BeatSide(plan.closing.beats), "wide");
    }
    const BearingPlanResult at415 =
        BuildBearingPlan(Seed("Werckmeister III"), 415.0, Bearing::F3toF4);
    EXPECT_EQ(Rate(StepTo(at415, "D4").interval.beats), "2.9 wide");
    EXPECT_EQ(Rate(StepTo(at415, "G3").interval.beats), "1.9 narrow");
    EXPECT_EQ(Rate(at415.closing.beats), "2.4 wide");
}

TEST(BearingPlan, MeantoneWolfIsNeverTunedWhereverItLies) {
    EXPECT_EQ(ClosingFifth(Seed("Meantone 1/4 comma")), 8);     // G#-Eb
    EXPECT_EQ(ClosingFifth(Seed("Meantone 1/4 comma", 1)), 9);  // rotated: Eb-Bb
    EXPECT_EQ(ClosingFifth(Seed("Equal temperament")), 8);
    const BearingPlanResult plan =
        BuildBearingPlan(Seed("Meantone 1/4 comma", 1), 415.0, Bearing::C4toC5);
    EXPECT_EQ(CheckText(plan.closing), "Eb4-Bb4 fifth");
    EXPECT_GT(plan.closing.beats, 5.0);
}

// Whatever the temperament, rotation and bearing: every note of the bearing
// is tuned once from a note already set, by the interval the step names,
// inside the bearing; every third of the bearing is checked exactly once;
// and the plan fits its block on the page.
TEST(BearingPlan, EveryPlanStaysInsideItsBearing) {
    const SheetGeometry g = A4SheetGeometry();
    for (const auto& seed : SeedCatalogue()) {
        for (Bearing b : {Bearing::F3toF4, Bearing::C4toC5, Bearing::A3toA4}) {
            for (int rotation = 0; rotation < 12; ++rotation) {
                const BearingPlanResult plan =
                    BuildBearingPlan(Seed(seed.name, rotation), 415.0, b);
                const std::string where =
                    seed.name + " " + BearingName(b) + " " + std::to_string(rotation);
                std::set<int> tuned{kKeyA4};
                std::multiset<int> thirds;
                ASSERT_TRUE(plan.steps[0].FromFork()) << where;
                for (std::size_t i = 1; i < plan.steps.size(); ++i) {
                    const BearingStep& s = plan.steps[i];
                    EXPECT_TRUE(tuned.count(s.fromKey)) << where;
                    EXPECT_TRUE(tuned.insert(s.key).second) << where << " " << KeyName(s.key);
                    EXPECT_TRUE(InBearing(b, s.key) || i == 1) << where;
                    const int span = s.interval.upperKey - s.interval.lowerKey;
                    const int expected = s.interval.kind == IntervalKind::Octave  ? 12
                                         : s.interval.kind == IntervalKind::Fifth ? 7
                                                                                  : 5;
                    EXPECT_EQ(span, expected) << where;
                    for (const BeatingInterval& c : s.checks) {
                        thirds.insert(c.lowerKey);
                    }
                }
                for (int key = BearingLowKey(b); key <= BearingHighKey(b); ++key) {
                    EXPECT_TRUE(tuned.count(key)) << where << " " << KeyName(key);
                    if (key + 4 <= BearingHighKey(b)) {
                        EXPECT_EQ(thirds.count(key), 1u) << where << " " << KeyName(key);
                    }
                }
                EXPECT_TRUE(InBearing(b, plan.closing.lowerKey) &&
                            InBearing(b, plan.closing.upperKey));
                EXPECT_LE(PlanLineCount(plan), PlanLineCapacity(g)) << where;
            }
        }
    }
}

TEST(SheetLayout, BlocksLieOnThePageApart) {
    const SheetGeometry g = A4SheetGeometry();
    EXPECT_NEAR(g.pageWidth / 72 * 25.4, 210.0, 0.01);
    EXPECT_NEAR(g.pageHeight / 72 * 25.4, 297.0, 0.01);
    const std::vector<SheetBox> blocks = g.Blocks();
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_TRUE(blocks[i].Inside(g.content)) << i;
        EXPECT_GT(blocks[i].h, 40) << i;
        for (std::size_t j = i + 1; j < blocks.size(); ++j) {
            EXPECT_FALSE(blocks[i].Overlaps(blocks[j])) << i << " " << j;
        }
    }
}

// Painted for real, no line of text leaves its block or runs into another,
// even for the longest name the store holds.
TEST(SheetLayout, NothingOverlapsOnTheDrawnPage) {
    TuningSheetInfo info;
    info.date = MakeSheetDate("0", 0);
    for (const char* name : {"Werckmeister III", "Equal temperament", "Meantone 1/4 comma",
                             "Kirnberger III", "Vallotti"}) {
        for (Bearing b : {Bearing::F3toF4, Bearing::C4toC5, Bearing::A3toA4}) {
            // The exact arithmetic writes six-digit offsets in the circle.
            for (FifthArithmetic a : {FifthArithmetic::Classic, FifthArithmetic::Exact}) {
                info.name = name;
                info.bearing = b;
                info.standardA = 415.305;
                CTemperament t = Seed(name, 5);
                t.SetArithmetic(a);
                const auto problems = CheckTuningSheetLayout(info, t);
                EXPECT_TRUE(problems.empty()) << name << ": " << problems.front();
            }
        }
    }
    info.name = std::string(254, 'W');
    info.bearing = Bearing::F3toF4;
    for (FifthArithmetic a : {FifthArithmetic::Classic, FifthArithmetic::Exact}) {
        CTemperament t = Seed("Vallotti");
        t.SetArithmetic(a);
        const auto problems = CheckTuningSheetLayout(info, t);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
}

// With a survey's column and row, the widest figures still keep to their
// columns and blocks, for every temperament, rotation and bearing.
TEST(SheetLayout, MeasuredNotesFitThePage) {
    TuningSheetInfo info;
    info.date = MakeSheetDate("0", 0);
    info.hasMeasured = true;
    info.measuredCents.fill(-49.96);
    info.measuredCents[4] = NAN;
    info.measuredFrom = "survey \"" + std::string(100, 'W') + "\" of 2026-03-01T12:00Z";
    for (const auto& seed : SeedCatalogue()) {
        for (Bearing b : {Bearing::F3toF4, Bearing::C4toC5, Bearing::A3toA4}) {
            for (int rotation : {0, 5, 9}) {
                info.name = seed.name;
                info.bearing = b;
                CTemperament t = Seed(seed.name, rotation);
                t.SetArithmetic(FifthArithmetic::Exact);
                const auto problems = CheckTuningSheetLayout(info, t);
                EXPECT_TRUE(problems.empty()) << seed.name << " " << BearingName(b) << " "
                                              << rotation << ": " << problems.front();
            }
        }
    }
}

TEST(SheetLayout, TextHelpers) {
    EXPECT_EQ(Rate(-0.04), "0.0 pure");
    EXPECT_EQ(MetronomeFigure(0.04), "");
    EXPECT_EQ(MetronomeFigure(-6.93), "416/min");

    const auto chars = [](const std::string& s) { return static_cast<double>(s.size()); };
    EXPECT_EQ(WrapText("one two  three four", 9, chars),
              (std::vector<std::string>{"one two", "three", "four"}));
    EXPECT_EQ(WrapText("a unbreakable b", 5, chars),
              (std::vector<std::string>{"a", "unbreakable", "b"}));
    EXPECT_EQ(FitWithEllipsis("Werckmeister", 20, chars), "Werckmeister");
    // An ellipsis is three bytes: "Wer" + it fits in 6, cut at a character.
    EXPECT_EQ(FitWithEllipsis("Werckmeister", 6, chars), "Wer\xE2\x80\xA6");
    EXPECT_EQ(FitWithEllipsis("\xC3\xA9\xC3\xA9\xC3\xA9", 5, chars), "\xC3\xA9\xE2\x80\xA6");
    EXPECT_EQ(ValidUtf8("Ch\xE9vre\tx \xC3\xA9"), "Ch\xEF\xBF\xBDvre x \xC3\xA9");

    const SheetDate fixed = MakeSheetDate("1767225600", 0);
    EXPECT_EQ(fixed.date, "2026-01-01");
    EXPECT_EQ(fixed.timestamp, "2026-01-01T00:00:00Z");
    EXPECT_EQ(MakeSheetDate("soon", 86400 * 3).timestamp, "1970-01-04T00:00:00Z");
}

// A metronome figure only where a metronome, set to the figure, its half or
// its double, can beat 40 to 208 a minute; a dash elsewhere.
TEST(SheetLayout, MetronomeFiguresOnlyWhereAMetronomeHelps) {
    const struct {
        double beats;
        const char* figure;
    } cases[] = {{0.04, ""},
                 {0.32, "\xE2\x80\x93"},
                 {0.34, "20/min"},
                 {-0.7, "42/min"},
                 {3.47, "208/min"},
                 {-6.93, "416/min"},
                 {6.95, "\xE2\x80\x93"},
                 {16.5, "\xE2\x80\x93"},
                 {47.25, "\xE2\x80\x93"}};
    for (const auto& c : cases) {
        EXPECT_EQ(MetronomeFigure(c.beats), c.figure) << c.beats;
    }
}

// However long the name, the title is fitted with a bounded number of
// measurements, and the head kept is the longest that fits.
TEST(SheetLayout, FittingANameTakesFewMeasurements) {
    int calls = 0;
    const auto chars = [&](const std::string& s) {
        ++calls;
        return static_cast<double>(s.size());
    };
    for (const std::size_t length : {10u, 254u, 65536u}) {
        const std::string name(length, 'W');
        calls = 0;
        EXPECT_EQ(FitWithEllipsis(name, 9, chars), "WWWWWW\xE2\x80\xA6");
        EXPECT_LE(calls, 20) << length;
    }
    EXPECT_EQ(FitWithEllipsis("Werckmeister", 2, chars), "\xE2\x80\xA6");
}

// The circle on paper is the window's circle: the same cells, and the
// starting note, alone, in red.
TEST(CairoCanvas, DrawsTheProgramsCircle) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 304, 303);
    cairo_t* cr = cairo_create(image);
    CCairoCanvas canvas(cr, Rect{0, 0, 304, 303});
    CCycleOfFifthsControl circle;
    circle.SetWindow(&canvas);
    const CTemperament t = Seed("Werckmeister III", 2);
    circle.SetTemperament(&t);
    circle.Paint();
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    auto count = [&](const Rect& rc, auto pixelTest) {
        int n = 0;
        for (int y = rc.top; y < rc.bottom; ++y) {
            for (int x = rc.left; x < rc.right; ++x) {
                const unsigned char* p = data + y * stride + 4 * x;  // B, G, R, unused
                n += pixelTest(p[2], p[1], p[0]) ? 1 : 0;
            }
        }
        return n;
    };
    const auto red = [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; };
    const auto white = [](int r, int g, int b) { return r > 128 && g > 128 && b > 128; };
    for (int i = 0; i < 12; ++i) {
        const int redPixels = count(circle.NameCell(i), red);
        if (i == 2) {
            EXPECT_GT(redPixels, 30) << "D is red";
        } else {
            EXPECT_EQ(redPixels, 0) << circle.NoteName(i);
        }
        EXPECT_GT(count(circle.OffsetCell(i), white), 10) << "offset " << i;
    }
    EXPECT_EQ(count(Rect{140, 140, 160, 160}, white), 0);  // the black middle
    cairo_destroy(cr);
    cairo_surface_destroy(image);
}

// Mistakes end with one line and status 2, and leave any earlier file as it was.
TEST(SheetCommand, RefusesWithoutTouchingTheOutput) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string out = store.Dir() + "/sheet.pdf";
    CTempStore::WriteBytes(out, "earlier");
    std::filesystem::create_directory(store.Dir() + "/folder.pdf");
    const std::vector<std::vector<std::string>> mistakes = {
        {"sheet", "Nope", "-o", out},
        {"sheet", "Vallotti", "--rotation", "12", "-o", out},
        {"sheet", "Vallotti", "--rotation", "1.5", "-o", out},
        {"sheet", "Vallotti", "--standard-a", "199", "-o", out},
        {"sheet", "Vallotti", "--standard-a", "600.5", "-o", out},
        {"sheet", "Vallotti", "--bearing", "G3-G4", "-o", out},
        {"sheet", "Vallotti", "-o", store.Dir() + "/sheet.png"},
        {"sheet", "Vallotti", "-o", store.Dir() + "/sheet"},
        {"sheet", "Vallotti", "-o", store.Dir() + "/missing/sheet.pdf"},
        {"sheet", "Vallotti", "-o", store.Dir() + "/folder.pdf"},
        {"sheet", "Vallotti", out},
        {"sheet", "Vallotti", "-o"},
    };
    for (const auto& args : mistakes) {
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.code, kExitUsage) << args[2];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(CTempStore::ReadBytes(out), "earlier");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(store.Dir())) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 2);  // the store and the earlier sheet, no temporary left

    ToolRun r = Tool({"sheet", "werckmeister iii", "--bearing", "c4-c5", "-o", out});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(CTempStore::ReadBytes(out).substr(0, 5), "%PDF-");
    EXPECT_NE(Tool({"--help"}).out.find("sheet NAME"), std::string::npos);
}

// Fontconfig keeps, behind cairo's font faces, patterns that nothing points
// to at exit: they belong to the libraries, not to the sheet, so the
// sanitizer build's leak checker is told to look past them (by the name the
// sanitizer looks for).
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libfontconfig.so\n";
}
