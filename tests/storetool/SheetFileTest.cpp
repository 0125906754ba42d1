// SPDX-License-Identifier: GPL-3.0-or-later
// The sheet command run as a user runs it, its pages read back with
// poppler's and libxml2's own tools.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "store/SurveyStore.h"
#include "support/TempStore.h"

namespace {

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    return out;
}

bool HasLineWith(const std::string& text, const std::string& a, const std::string& b) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(a) != std::string::npos && line.find(b) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class SheetFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"pdftotext", "pdfinfo", "pdftoppm", "xmllint"}) {
            ASSERT_EQ(Shell(std::string("command -v ") + tool + " >/dev/null"), 0)
                << tool << " is missing; scripts/install-deps.sh installs it";
        }
        setenv("SOURCE_DATE_EPOCH", "1767225600", 1);
        ASSERT_EQ(Sheet("init"), 0);
    }
    void TearDown() override { unsetenv("SOURCE_DATE_EPOCH"); }

    int Sheet(const std::string& args) {
        return Shell(std::string(KLAVORA_STORE_BINARY) + " " + args + " >/dev/null 2>&1");
    }
    std::string File(const std::string& name) const { return m_store.Dir() + "/" + name; }

    CTempStore m_store;
};

}  // namespace

TEST_F(SheetFiles, PdfPagesCarryNamePitchAndBeatRates) {
    ASSERT_EQ(Sheet("sheet 'Werckmeister III' --standard-a 415 --classic -o " + File("w3.pdf")), 0);
    ASSERT_EQ(Sheet("sheet 'Equal temperament' --standard-a 440 -o " + File("et.pdf")), 0);

    for (const char* name : {"w3.pdf", "et.pdf"}) {
        const std::string info = Capture("pdfinfo " + File(name));
        EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
        EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    }
    const std::string w3 = Capture("pdftotext -layout " + File("w3.pdf") + " -");
    EXPECT_NE(w3.find("Werckmeister III"), std::string::npos);
    EXPECT_NE(w3.find("Standard A = 415 Hz"), std::string::npos);
    EXPECT_NE(w3.find("2026-01-01"), std::string::npos);
    EXPECT_NE(w3.find("Classic 702-cent fifths"), std::string::npos);
    EXPECT_TRUE(HasLineWith(w3, "fourth up from A3", "2.9 wide")) << w3;
    EXPECT_TRUE(HasLineWith(w3, "fifth down from D4", "1.9 narrow")) << w3;
    EXPECT_TRUE(HasLineWith(w3, "F#3-B3 fourth", "2.4 wide")) << w3;
    EXPECT_NE(w3.find("415.00"), std::string::npos);  // the frequency table's A

    const std::string et = Capture("pdftotext -layout " + File("et.pdf") + " -");
    EXPECT_NE(et.find("Standard A = 440 Hz"), std::string::npos);
    EXPECT_TRUE(HasLineWith(et, "fifth up from A3", "0.7 narrow")) << et;
    EXPECT_TRUE(HasLineWith(et, "check F3-A3 major third", "6.9 wide")) << et;
    EXPECT_TRUE(HasLineWith(et, "6.9 wide", "416/min")) << et;
    EXPECT_NE(et.find("261.63"), std::string::npos);

    // The page renders, and the same SOURCE_DATE_EPOCH makes the same file.
    ASSERT_EQ(Shell("pdftoppm -r 40 -png -singlefile " + File("w3.pdf") + " " + File("w3")), 0);
    EXPECT_GT(CTempStore::ReadBytes(File("w3.png")).size(), 1000u);
    ASSERT_EQ(Sheet("sheet 'Werckmeister III' --standard-a 415 --classic -o " + File("again.pdf")),
              0);
    EXPECT_EQ(CTempStore::ReadBytes(File("again.pdf")), CTempStore::ReadBytes(File("w3.pdf")));
}

TEST_F(SheetFiles, SvgPagesAreWellFormedA4) {
    ASSERT_EQ(Sheet("sheet 'Werckmeister III' --standard-a 415 --rotation 3 -o " + File("w3.svg")),
              0);
    ASSERT_EQ(
        Sheet("sheet 'Equal temperament' --standard-a 440 --bearing A3-A4 -o " + File("et.SVG")),
        0);
    for (const char* name : {"w3.svg", "et.SVG"}) {
        EXPECT_EQ(Shell("xmllint --noout " + File(name)), 0) << name;
        const std::string head = CTempStore::ReadBytes(File(name)).substr(0, 400);
        EXPECT_NE(head.find("width=\"595.276pt\""), std::string::npos) << head;
        EXPECT_NE(head.find("height=\"841.89pt\""), std::string::npos) << head;
    }
}

TEST_F(SheetFiles, ExactByDefaultWithPureThirdsReadingPure) {
    // Exact fifths: a quarter-comma fifth 5.865 cents narrow, not 5.955, so the
    // fourth A3-D4 beats 2.8 times a second; meantone's good thirds are pure.
    ASSERT_EQ(Sheet("sheet 'Werckmeister III' --standard-a 415 -o " + File("w3.pdf")), 0);
    ASSERT_EQ(Sheet("sheet 'Meantone 1/4 comma' --standard-a 415 -o " + File("mt.pdf")), 0);
    ASSERT_EQ(Sheet("sheet 'Meantone 1/4 comma' --standard-a 415 --classic -o " + File("mc.pdf")),
              0);
    const std::string w3 = Capture("pdftotext -layout " + File("w3.pdf") + " -");
    EXPECT_NE(w3.find("Exact temperament"), std::string::npos) << w3;
    EXPECT_TRUE(HasLineWith(w3, "fourth up from A3", "2.8 wide")) << w3;
    EXPECT_NE(w3.find("-5.865"), std::string::npos) << w3;  // the circle
    EXPECT_NE(w3.find("311.25"), std::string::npos) << w3;  // E4 in the frequency table
    const std::string mt = Capture("pdftotext -layout " + File("mt.pdf") + " -");
    const std::string mc = Capture("pdftotext -layout " + File("mc.pdf") + " -");
    for (const char* third : {"check F3-A3 major third", "check C4-E4 major third"}) {
        EXPECT_TRUE(HasLineWith(mt, third, "pure")) << mt;
        EXPECT_TRUE(HasLineWith(mc, third, "narrow")) << mc;
    }
    EXPECT_TRUE(HasLineWith(mt, "Bb3-D4", "pure")) << mt;
    EXPECT_FALSE(HasLineWith(mt, "Bb3-D4", "/min")) << mt;
}

// A saved survey's notes on the page: the plan's measured column beside each
// note tuned and a row of the tables, cents from the sheet's own targets.
TEST_F(SheetFiles, SurveyAddsTheMeasuredNotes) {
    SSavedSurvey survey;
    survey.strWhen = "2026-03-01T12:00Z";
    const std::array<double, 12> w3 = {11.73, 1.96, 3.91, 5.87, 1.96, 9.78,
                                       0.0,   7.82, 3.91, 0.0,  7.82, 3.91};
    for (int n = 0; n < 12; ++n) {
        if (n != 8) {  // G# not measured
            survey.notes.adCents[n] = w3[n];
            survey.notes.anHeard[n] = 1;
        }
    }
    survey.notes.adCents[4] += 2.4;
    survey.notes.adCents[10] -= 1.5;
    ASSERT_EQ(SaveSurvey(m_store.Path(), "Ruckers", survey, 1000), 0);
    ASSERT_EQ(
        Sheet("sheet 'Werckmeister III' --standard-a 415 --survey Ruckers -o " + File("m.pdf")), 0);
    const std::string page = Capture("pdftotext -layout " + File("m.pdf") + " -");
    EXPECT_TRUE(HasLineWith(page, "beats per second", "measured")) << page;
    EXPECT_TRUE(HasLineWith(page, "E4", "+2.4")) << page;
    EXPECT_TRUE(HasLineWith(page, "Measured: cents from the targets", "Ruckers")) << page;
    EXPECT_TRUE(HasLineWith(page, "+2.4", "-1.5")) << page;  // the tables' row
    ASSERT_EQ(Shell("pdftoppm -r 80 -png -singlefile " + File("m.pdf") + " " + File("m")), 0);
    if (const char* shot = std::getenv("KLAVORA_SHOT")) {
        CTempStore::WriteBytes(shot, CTempStore::ReadBytes(File("m.png")));
        CTempStore::WriteBytes(std::string(shot) + ".pdf", CTempStore::ReadBytes(File("m.pdf")));
    }
}
