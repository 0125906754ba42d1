// SPDX-License-Identifier: GPL-3.0-or-later
// What the window's file commands decide without a window: the preview and
// the refusals of Scala files from tests/data/scala, the import through the
// editor's Save, the exported file, the sheet's saving and following, and
// the beat rates of what is playing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>

#include "store/StoreSetup.h"
#include "store/TemperamentStore.h"
#include "storetool/PlayedBeats.h"
#include "storetool/ScalaImportDlg.h"
#include "storetool/TuningSheetDlg.h"
#include "storetool/WindowFiles.h"
#include "support/ScriptedMessages.h"
#include "support/TempStore.h"
#include "tuning/ScalaFile.h"

namespace {

std::string Data(const std::string& name) {
    return std::string(KLAVORA_TEST_DATA) + "/scala/" + name;
}

// The file's pitches, read independently of the reader: the cents lines
// after the note count.
std::array<double, 12> FileCents(const std::string& name) {
    std::string text;
    std::string why;
    EXPECT_TRUE(ReadSmallFile(Data(name), 1 << 20, text, why)) << why;
    std::array<double, 12> cents{};
    int n = 0;
    int count = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line) && n < 11) {
        if (line.empty() || line[0] == '!') {
            continue;
        }
        if (++count > 2) {
            cents[++n] = std::stod(line);
        }
    }
    return cents;
}

}  // namespace

TEST(ScalaImport, RealWorldFilesPreviewAndReadBackAsTheirPitches) {
    const struct {
        const char* file;
        const char* name;
        std::array<double, 12> exact;  // the fifths, read exactly; NaN: not checked
    } cases[] = {
        {"werckmeister3.scl", "Werckmeister III (1691)", {-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0}},
        {"werckmeister3-crlf.scl",
         "Werckmeister III (1691), Windows line ends",
         {-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0}},
        {"vallotti.scl", "Vallotti", {-4, -4, -4, -4, -4, 0, 0, 0, 0, 0, 0, -4}},
        {"blank-description.scl", "blank-description", {-4, -4, -4, -4, -4, 0, 0, 0, 0, 0, 0, -4}},
        {"young2.scl", "", {-4, -4, -4, -4, -4, -4, 0, 0, 0, 0, 0, 0}},
        {"kirnberger3.scl", "", {NAN}},
        {"meantone-quarter.scl", "", {NAN}},
    };
    for (const auto& c : cases) {
        const std::array<double, 12> cents = FileCents(c.file);
        for (FifthArithmetic arithmetic : {FifthArithmetic::Classic, FifthArithmetic::Exact}) {
            CScalaImportDlg dlg(arithmetic);
            ASSERT_TRUE(dlg.Load(Data(c.file))) << c.file << ": " << dlg.Refusal();
            if (*c.name != '\0') {
                EXPECT_EQ(dlg.m_strName, c.name);
            }
            EXPECT_EQ(dlg.RemainingCommaText(), "0.00 cents") << c.file;
            // The offsets, read in the same arithmetic, put every note where
            // the file does.
            std::array<double, 12> offsets{};
            for (int k = 0; k < 12; ++k) {
                offsets[k] = dlg.FifthOffset(k);
            }
            CTemperament t(offsets);
            t.SetArithmetic(arithmetic);
            for (int n = 0; n < 12; ++n) {
                EXPECT_NEAR(dlg.NoteCents(n), cents[n], 1e-9) << c.file << " note " << n;
                EXPECT_NEAR(t.Interval(0, n), cents[n], 0.003) << c.file << " note " << n;
            }
            if (arithmetic == FifthArithmetic::Exact && !std::isnan(c.exact[0])) {
                EXPECT_EQ(offsets, c.exact) << c.file;
            }
        }
    }
}

TEST(ScalaImport, FilesThatAreNoTwelveToneOctaveScaleSayWhatTheyAre) {
    const struct {
        const char* file;
        const char* refusal;
    } cases[] = {
        {"seven-notes.scl", "This scale has 7 notes per octave; Klavora tunes twelve."},
        {"nineteen-tet.scl", "This scale has 19 notes per octave; Klavora tunes twelve."},
        {"bohlen-pierce.scl",
         "This scale has 13 notes to a period of 1901.96 cents, not to the octave; Klavora tunes "
         "twelve notes to the octave."},
        {"stretched-octave.scl",
         "This scale repeats at 1203 cents, not at the octave; Klavora tunes scales that repeat "
         "at the octave."},
        {"missing.scl", "\"missing.scl\" cannot be read: No such file or directory."},
        {"", "\"\" cannot be read: No such file or directory."},
    };
    for (const auto& c : cases) {
        CScalaImportDlg dlg(FifthArithmetic::Exact);
        EXPECT_FALSE(dlg.Load(*c.file != '\0' ? Data(c.file) : std::string()));
        EXPECT_EQ(dlg.Refusal(), c.refusal);
    }
    // A folder or a pipe is not read at all; text that is no scale gets the
    // reader's reason.
    CScalaImportDlg dlg(FifthArithmetic::Classic);
    EXPECT_FALSE(dlg.Load(KLAVORA_TEST_DATA));
    EXPECT_EQ(dlg.Refusal(), "\"data\" cannot be read: it is not a file.");
    CTempStore dir;
    const std::string fifo = dir.Dir() + "/pipe.scl";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(dlg.Load(fifo));
    EXPECT_EQ(dlg.Refusal(), "\"pipe.scl\" cannot be read: it is not a file.");
    EXPECT_FALSE(dlg.LoadText("/x/notes.scl", "only a description\n"));
    EXPECT_EQ(dlg.Refusal(),
              "\"notes.scl\" is not a scale Klavora can import: not a Scala scale file: it needs a "
              "description line and the number of notes.");
}

TEST(ScalaImport, EveryFileOfTheTestDataIsReadOrRefusedInASentence) {
    // The same files seed the Scala reader's fuzzer: whatever they hold, a
    // file gives twelve pitches within the octave or one sentence of refusal.
    int read = 0;
    int refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Data(""))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        CScalaImportDlg dlg(FifthArithmetic::Exact);
        if (dlg.Load(entry.path().string())) {
            ++read;
            for (int note = 0; note < 12; ++note) {
                EXPECT_TRUE(std::isfinite(dlg.NoteCents(note)));
                EXPECT_GT(dlg.NoteCents(note), -1200.0);
                EXPECT_LT(dlg.NoteCents(note), 1200.0);
            }
        } else {
            ++refused;
            EXPECT_FALSE(dlg.Refusal().empty());
            EXPECT_EQ(dlg.Refusal().back(), '.') << dlg.Refusal();
        }
    }
    EXPECT_GE(read, 10);
    EXPECT_GE(refused, 4);
}

TEST(ScalaImport, AddsTheTemperamentThroughTheEditorsSave) {
    CTempStore store;
    ASSERT_EQ(InitializeStore(store.Path()).status, 0);
    CScalaImportDlg dlg(FifthArithmetic::Exact);
    ASSERT_TRUE(dlg.Load(Data("vallotti.scl")));
    // The catalogue's own Vallotti: the editor's refusal, in any letter case.
    CScriptedHost host;
    dlg.m_strName = "VALLOTTI";
    EXPECT_EQ(dlg.OnImport(host), CTemperamentDlg::kStayOpen);
    ASSERT_EQ(host.m_boxes.size(), 1u);
    EXPECT_EQ(host.m_boxes[0].text,
              "A temperament with that name already exists.\r\nPlease choose a different name.");
    dlg.m_strName = "";
    EXPECT_EQ(dlg.OnImport(host), CTemperamentDlg::kFocusName);
    dlg.m_strName = "Vallotti (file)";
    host.m_answers = {IDYES};
    EXPECT_EQ(dlg.OnImport(host), CTemperamentDlg::kClose);
    EXPECT_EQ(host.m_boxes.back().text, "Do you want to save your changes to this temperament?");
    EXPECT_TRUE(TemperamentExists("Vallotti (file)"));
    std::string name;
    std::string text;
    ASSERT_TRUE(dlg.Editor().GetResult(name, text));
    EXPECT_EQ(text, "-4,-4,-4,-4,-4,0,0,0,0,0,0,-4");
}

TEST(WindowFiles, ExportWritesTheStoredTemperamentWhateverItsRotation) {
    CTemperament t({-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0});
    t.SetArithmetic(FifthArithmetic::Exact);
    t.Rotate(3);
    const std::string text = ScalaExportText("Werckmeister III", t);
    EXPECT_EQ(text, FormatScala("Werckmeister III", {-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0},
                                FifthArithmetic::Exact));
    EXPECT_NE(text.find(" 390.224996\n"), std::string::npos);

    CTempStore dir;
    std::string why;
    const std::string path = WithExtension(dir.Dir() + "/w3", ".scl");
    EXPECT_EQ(path, dir.Dir() + "/w3.scl");
    EXPECT_EQ(WithExtension(dir.Dir() + "/W3.SCL", ".scl"), dir.Dir() + "/W3.SCL");
    ASSERT_TRUE(SaveChosenFile(path, text, why)) << why;
    CScalaImportDlg back(FifthArithmetic::Exact);
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.m_strName, "Werckmeister III");
    EXPECT_EQ(back.FifthOffsetText(0), "-6");
    EXPECT_FALSE(SaveChosenFile(dir.Dir() + "/no/such/folder/w3.scl", text, why));
    // A name typed without the extension that makes it a file that exists:
    // asked, and kept unless the answer is Yes.
    CScriptedHost host;
    EXPECT_EQ(ChosenSavePath(dir.Dir() + "/w3", ".scl", host, "Export"), "");
    host.m_answers = {IDYES};
    EXPECT_EQ(ChosenSavePath(dir.Dir() + "/w3", ".scl", host, "Export"), path);
    EXPECT_EQ(ChosenSavePath(path, ".scl", host, "Export"), path);
    EXPECT_EQ(ChosenSavePath(dir.Dir() + "/new", ".scl", host, "Export"), dir.Dir() + "/new.scl");
    ASSERT_EQ(host.m_boxes.size(), 2u);
    EXPECT_EQ(host.m_boxes[0].text,
              "A file named \"w3.scl\" already exists. Do you want to replace it?");
    EXPECT_EQ(OfferedFileName("1/4 comma\tmeantone", ".scl"), "1_4 comma_meantone.scl");
    EXPECT_EQ(OfferedFileName("..", ".pdf"), "temperament.pdf");
}

TEST(TuningSheetWindow, FollowsTheMainWindowAndSavesThePage) {
    CTuningSheetDlg sheet;
    CTemperament t({-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(sheet.Follow("Werckmeister III", t, 415));
    EXPECT_FALSE(sheet.Follow("Werckmeister III", t, 415));
    EXPECT_EQ(sheet.Title(), "Tuning Sheet: Werckmeister III");
    t.Rotate(1);
    EXPECT_TRUE(sheet.Follow("Werckmeister III", t, 415));
    EXPECT_EQ(sheet.Temperament().GetRotation(), 1);
    t.SetArithmetic(FifthArithmetic::Exact);
    EXPECT_TRUE(sheet.Follow("Werckmeister III", t, 415));
    EXPECT_TRUE(sheet.Follow("Werckmeister III", t, 440));
    sheet.SetBearingIndex(1);
    EXPECT_EQ(sheet.Info().bearing, Bearing::C4toC5);
    sheet.SetBearingIndex(7);
    EXPECT_EQ(sheet.Info().bearing, Bearing::C4toC5);

    CTempStore dir;
    std::string message;
    ASSERT_TRUE(sheet.Save(dir.Dir() + "/sheet.pdf", SheetFormat::Pdf, message)) << message;
    EXPECT_EQ(CTempStore::ReadBytes(dir.Dir() + "/sheet.pdf").substr(0, 5), "%PDF-");
    ASSERT_TRUE(sheet.Save(dir.Dir() + "/sheet.svg", SheetFormat::Svg, message)) << message;
    EXPECT_NE(CTempStore::ReadBytes(dir.Dir() + "/sheet.svg").find("<svg"), std::string::npos);
    EXPECT_FALSE(sheet.Save(dir.Dir() + "/none/sheet.pdf", SheetFormat::Pdf, message));
    EXPECT_EQ(message.rfind("Klavora could not save \"" + dir.Dir() + "/none/sheet.pdf\": ", 0), 0u)
        << message;
}

TEST(PlayedBeats, EachPlayModeSoundsItsIntervalsAtTheSheetsRates) {
    const CTemperament et({-2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2});
    const CTemperament w3({-6, -6, -6, 0, 0, -6, 0, 0, 0, 0, 0, 0});
    const struct {
        const CTemperament& t;
        FifthArithmetic arithmetic;
        double standardA;
        int note;
        double factor;
        int mode;
        std::vector<std::string> lines;
    } cases[] = {
        {et,
         FifthArithmetic::Exact,
         440,
         0,
         1,
         2,
         {"Major third C4-E4: 10.4 beats per second wide"}},
        {et, FifthArithmetic::Exact, 440, 0, 1, 0, {}},
        {et,
         FifthArithmetic::Exact,
         440,
         0,
         2,
         1,
         {"Minor third C5-Eb5: 28.2 beats per second narrow"}},
        {et, FifthArithmetic::Exact, 440, 9, 0.5, 3, {"Fourth A3-D4: 1.0 beats per second wide"}},
        {et, FifthArithmetic::Exact, 440, 9, 1, 4, {"Fifth A4-E5: 1.5 beats per second narrow"}},
        {w3, FifthArithmetic::Exact, 415, 4, 1, 4, {"Fifth E4-B4: pure"}},
        {w3, FifthArithmetic::Exact, 415, 0, 1, 4, {"Fifth C4-G4: 2.5 beats per second narrow"}},
        {w3, FifthArithmetic::Classic, 415, 0, 1, 4, {"Fifth C4-G4: 2.6 beats per second narrow"}},
        {w3,
         FifthArithmetic::Exact,
         415,
         0,
         1,
         6,
         {"Major third C4-E4: 2.8 beats per second wide",
          "Minor third E4-G4: 10.5 beats per second narrow",
          "Fifth C4-G4: 2.5 beats per second narrow"}},
        {w3,
         FifthArithmetic::Exact,
         415,
         9,
         0.25,
         5,
         {"Minor third A2-C3: 1.4 beats per second narrow",
          "Major third C3-E3: 1.4 beats per second wide", "Fifth A2-E3: pure"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines;
        for (const PlayedInterval& i :
             PlayedIntervals(c.t, c.arithmetic, c.standardA, c.note, c.factor, c.mode)) {
            lines.push_back(PlayedIntervalText(i));
        }
        EXPECT_EQ(lines, c.lines) << "note " << c.note << " mode " << c.mode;
    }
}
