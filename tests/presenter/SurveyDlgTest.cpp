// SPDX-License-Identifier: GPL-3.0-or-later
// The survey window's logic on readings made up note by note: what it says as
// the cells fill, and the refusals and questions of keeping, comparing and
// saving, over a real store file.
#include "presenter/SurveyDlg.h"

#include <gtest/gtest.h>

#include <cmath>

#include "store/StoreSetup.h"
#include "store/SurveyStore.h"
#include "support/OctaveSynthesis.h"
#include "support/ScriptedMessages.h"
#include "support/TempStore.h"

namespace {

class SurveyDlgTest : public ::testing::Test {
protected:
    SurveyDlgTest()
        : m_dlg(ShippedCatalogue(), FifthArithmetic::Exact, 415.0),
          m_targets(ShippedTargets("Werckmeister III", 0, 415.0, FifthArithmetic::Exact)) {}
    void SetUp() override { ASSERT_EQ(InitializeStore(m_store.Path()).status, 0); }

    // A steady note: four readings a twentieth of a second apart, then
    // dashes as it dies away.
    void Play(int note, double cents = 0.0, double spread = 0.0) {
        CFineReading r;
        r.m_bValid = r.m_bSteady = true;
        for (int i = 0; i < 4; ++i) {
            r.m_dTime = (m_dTime += 0.05);
            r.m_dHz = m_targets[note] * std::exp2((cents + spread * (i % 2)) / 1200);
            m_dlg.OnReading(r);
        }
        m_dlg.OnReading(CFineReading());
    }
    void PlayAll(double shift = 0.0) {
        for (int n = 0; n < 12; ++n) {
            Play(n, shift);
        }
    }

    CTempStore m_store;
    CScriptedHost m_host;
    CSurveyDlg m_dlg;
    std::array<double, 12> m_targets;
    double m_dTime = 0;
};

TEST_F(SurveyDlgTest, SaysWhatToDoAsTheCellsFill) {
    EXPECT_EQ(m_dlg.StatusText().rfind("Play the notes of one octave", 0), 0u);
    for (int n = 0; n < 6; ++n) {
        Play(n);
    }
    EXPECT_EQ(m_dlg.StatusText(), "6 of 12 notes measured: play at least 1 more.");
    EXPECT_FALSE(m_dlg.HasFit());
    EXPECT_TRUE(m_dlg.Ranking().empty());
    Play(4, 0.0, 3.0);  // E, wavering
    EXPECT_EQ(m_dlg.StatusText().rfind("E was not steady", 0), 0u) << m_dlg.StatusText();
    for (int n = 6; n < 12; ++n) {
        Play(n);
    }
    Play(9, 0.4);  // A again
    EXPECT_EQ(m_dlg.StatusText(), "All 12 notes measured.");
    EXPECT_EQ(m_dlg.Cell(9).nHeard, 2);
    ASSERT_EQ(m_dlg.Ranking().size(), static_cast<std::size_t>(CSurveyDlg::kShownRows));
    EXPECT_EQ(m_dlg.Ranking().front().strName, "Werckmeister III");
    EXPECT_EQ(m_dlg.PassText(), "12 of 12 notes within 1 cent of Werckmeister III at 415.0 Hz");
    EXPECT_EQ(m_dlg.FifthText(0), "-6");
    m_dlg.OnClearNote(2);
    EXPECT_FALSE(m_dlg.Cell(2).bMeasured);
    // G-D and D-A share G to A (the second A 0.4 cent sharp) now D is gone.
    EXPECT_EQ(m_dlg.FifthText(1), "(-5.898)");
    EXPECT_EQ(m_dlg.PassText(),
              "11 of 12 notes within 1 cent of Werckmeister III at 415.0 Hz (1 not measured)");
}

// Keeping, comparing and saving: each refusal is one message and changes
// nothing; an earlier survey is replaced only when the user agrees.
TEST_F(SurveyDlgTest, KeepsComparesAndSavesWithTheUsersConsent) {
    EXPECT_FALSE(m_dlg.OnSaveSurvey("Ruckers", m_host));  // no notes yet
    EXPECT_EQ(m_dlg.OnSaveTemperament("Ruckers", m_host), CTemperamentDlg::kStayOpen);
    EXPECT_FALSE(m_dlg.OnCompare("Ruckers", m_host));
    ASSERT_EQ(m_host.m_boxes.size(), 3u);
    EXPECT_EQ(m_host.m_boxes[2].text, "There is no saved survey of \"Ruckers\".");

    PlayAll();
    EXPECT_FALSE(m_dlg.OnSaveSurvey("", m_host));
    EXPECT_TRUE(m_dlg.OnSaveSurvey("Ruckers", m_host));
    CSurveyDlg later(ShippedCatalogue(), FifthArithmetic::Exact, 415.0);
    std::swap(later, m_dlg);
    PlayAll(-2.0);
    m_host.m_boxes.clear();
    EXPECT_FALSE(m_dlg.OnSaveSurvey("ruckers", m_host));  // asked, answered No
    ASSERT_EQ(m_host.m_boxes.size(), 1u);
    EXPECT_EQ(m_host.m_boxes[0].text.rfind("Replace the saved survey of \"Ruckers\" of ", 0), 0u);
    // The earlier survey is shown against this one all the same.
    EXPECT_NE(m_dlg.DriftText().find("12 notes heard in both; the pitch moved -2.0 cents"),
              std::string::npos)
        << m_dlg.DriftText();
    EXPECT_EQ(m_dlg.DriftNoteText(4), "-2.0 (0.0 beside the shift)");
    std::string text;
    std::string stored;
    ASSERT_EQ(ReadSurveyText(m_store.Path(), "Ruckers", text, stored, 100), 0);
    SSavedSurvey kept;
    ASSERT_TRUE(ParseSurveyText(text, kept));
    EXPECT_NEAR(kept.notes.Frequency(9), 415.0, 0.01);

    m_host.m_answers = {IDYES};
    EXPECT_TRUE(m_dlg.OnSaveSurvey("ruckers", m_host));
    ASSERT_EQ(ReadSurveyText(m_store.Path(), "Ruckers", text, stored, 100), 0);
    ASSERT_TRUE(ParseSurveyText(text, kept));
    EXPECT_NEAR(kept.notes.Frequency(9), 415.0 * std::exp2(-2.0 / 1200), 0.01);

    // The notes' temperament, through the editor's own checks.
    m_host.m_boxes.clear();
    m_host.m_answers = {IDYES};
    EXPECT_EQ(m_dlg.OnSaveTemperament("Werckmeister III", m_host), CTemperamentDlg::kStayOpen);
    EXPECT_NE(m_host.m_boxes.back().text.find("already exists"), std::string::npos);
    m_host.m_answers = {IDYES};
    EXPECT_EQ(m_dlg.OnSaveTemperament("Ruckers as found", m_host), CTemperamentDlg::kClose);
    std::string name;
    EXPECT_TRUE(m_dlg.Editor().GetResult(name, text));
    EXPECT_EQ(text, "-6,-6,-6,0,0,-6,0,0,0,0,0,0");
}

}  // namespace
