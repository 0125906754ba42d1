// SPDX-License-Identifier: GPL-3.0-or-later
// The survey window over the real main frame: a rendered octave fed as the
// recorder's blocks fills the table and the ranking; a note cleared, the
// notes' temperament saved into the main window's list, the survey kept and
// compared. With KLAVORA_SHOT set, the window is photographed into that file.
#include "gui/SurveyWindow.h"

#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include <cstdlib>

#include "GuiTestSupport.h"
#include "support/OctaveSynthesis.h"
#include "support/ToneSynthesis.h"

TEST_F(GuiTest, SurveyWindowFillsAsNotesAreHeard) {
    AddDevices();
    OpenFrame();
    auto* pWindow = new CSurveyWindow(m_pFrame, *View(), m_host);
    pWindow->Show();
    Settle();
    EXPECT_EQ(pWindow->RankingTable()->GetItemCount(), 0);

    // Werckmeister III at 415 Hz, a few notes off their targets.
    std::array<double, 12> detune{};
    detune[4] = 2.5;
    detune[10] = -1.8;
    std::vector<int> order(12);
    std::iota(order.begin(), order.end(), 0);
    const int rate = 22050;
    const std::vector<unsigned char> pcm = Synth16(RenderNotes(
        PlanOctave(ShippedTargets("Werckmeister III", 0, 415.0, FifthArithmetic::Classic), detune,
                   order, {4, 3}, true, false, 9),
        rate, 9));
    for (std::size_t at = 0; at < pcm.size(); at += 4096) {
        pWindow->OnRecordedBlock(pcm.data() + at, std::min<std::size_t>(4096, pcm.size() - at),
                                 rate, 1);
    }
    pWindow->OnReading(CFineReading());  // the last note dies away
    Settle();

    wxListCtrl* pNotes = pWindow->NoteTable();
    wxListCtrl* pRanking = pWindow->RankingTable();
    ASSERT_EQ(pRanking->GetItemCount(), CSurveyDlg::kShownRows);
    EXPECT_EQ(pRanking->GetItemText(0, 1), "Werckmeister III");
    EXPECT_EQ(pRanking->GetItemText(0, 3), "415.0 Hz");
    // E sharp and Bb flat beyond a cent, in colour; the others in tune.
    EXPECT_TRUE(pNotes->GetItemText(4, 5).EndsWith("sharp")) << pNotes->GetItemText(4, 5);
    EXPECT_TRUE(pNotes->GetItemText(10, 5).EndsWith("flat")) << pNotes->GetItemText(10, 5);
    EXPECT_TRUE(pNotes->GetItemText(0, 5).EndsWith("in tune")) << pNotes->GetItemText(0, 5);
    EXPECT_NE(pNotes->GetItemTextColour(4), pNotes->GetItemTextColour(0));
    EXPECT_EQ(pWindow->Survey().PassText(),
              "10 of 12 notes within 1 cent of Werckmeister III at 415.0 Hz");

    if (const char* shot = std::getenv("KLAVORA_SHOT")) {
        pWindow->Raise();
        RunLoopUntil([] { return false; }, 500);
        EXPECT_EQ(std::system(("import -window root " + std::string(shot)).c_str()), 0);
    }

    // A cell cleared is empty until the note is played again.
    pNotes->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    pWindow->ClearSelectedNote();
    EXPECT_EQ(pNotes->GetItemText(1, 1), "");
    EXPECT_EQ(pWindow->Survey().Fit().nNotes, 11);

    // The notes' temperament joins the main window's list.
    const int listed = Form()->ListGetCount();
    m_host.m_answers.push_back(IDYES);  // the editor's "save your changes?"
    pWindow->SaveAsTemperament("Found at the church");
    EXPECT_EQ(Form()->ListGetCount(), listed + 1);
    EXPECT_GE(Form()->ListFindStringExact("Found at the church"), 0);

    // Kept under the instrument's name, then compared with itself.
    pWindow->InstrumentEdit()->ChangeValue("Chamber organ");
    pWindow->KeepSurvey();
    pWindow->Compare();
    EXPECT_NE(pWindow->Survey().DriftText().find("11 notes heard in both; the pitch moved 0.0"),
              std::string::npos)
        << pWindow->Survey().DriftText();
    if (const char* shot = std::getenv("KLAVORA_SHOT")) {
        RunLoopUntil([] { return false; }, 500);
        EXPECT_EQ(std::system(("import -window root " + std::string(shot) + "-drift.png").c_str()),
                  0);
    }
    pWindow->Destroy();
    Settle();
}
