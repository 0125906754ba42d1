// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog windows as the user meets them: opened from the frame's
// commands and the form's button, filled in inside their modal loops, and
// what their results do to the view and the store.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "gui/GuiTestSupport.h"
#include "gui/OptionsWindow.h"
#include "gui/StandardAWindow.h"
#include "gui/TemperamentWindow.h"
#include "gui/UpDownButton.h"
#include "store/TemperamentStore.h"

namespace {

void SetText(wxTextCtrl* pEdit, const char* text) {
    pEdit->ChangeValue(text);
}

}  // namespace

TEST_F(GuiTest, NewTemperamentIsEnteredCheckedAndSaved) {
    AddDevices();
    OpenFrame();
    const int count = Form()->ListGetCount();
    WhenDialogRuns<CTemperamentWindow>([this](CTemperamentWindow& window) {
        EXPECT_EQ(window.GetTitle(), "New Temperament");
        EXPECT_TRUE(window.NameEdit()->IsEnabled());
        EXPECT_EQ(window.CommaText()->GetLabel(), "24.00 cents");
        SetText(window.NameEdit(), "aaa Test circle");
        for (int k = 0; k < 12; ++k) {
            SetText(window.OffsetEdit(k), "-2");
        }
        // An entry that is no number is reported and shows its value again.
        SetText(window.OffsetEdit(3), "abc");
        window.LeaveOffsetEdit();
        ASSERT_EQ(m_host.m_boxes.size(), 1u);
        EXPECT_EQ(m_host.m_boxes[0].text, "Please enter a number.");
        EXPECT_EQ(window.OffsetEdit(3)->GetValue(), "0");
        EXPECT_EQ(window.CommaText()->GetLabel(), "2.00 cents");
        // The last entry is saved even though the focus never left it.
        SetText(window.OffsetEdit(3), "-2");
        m_host.m_answers = {IDYES};
        window.Save();
        ASSERT_EQ(m_host.m_boxes.size(), 2u);
        EXPECT_EQ(m_host.m_boxes[1].text, "Do you want to save your changes to this temperament?");
        EXPECT_EQ(m_host.m_boxes[1].caption, "Save Temperament");
        EXPECT_FALSE(window.IsModal());
    });
    Menu(ID_NEW_TEMPERAMENT);
    EXPECT_TRUE(m_bScriptRan);
    EXPECT_EQ(Form()->ListGetCount(), count + 1);
    EXPECT_EQ(Form()->ListGetText(0), "aaa Test circle");
    EXPECT_TRUE(TemperamentExists("aaa Test circle"));
}

TEST_F(GuiTest, EditorRefusalsKeepTheDialogOpen) {
    AddDevices();
    OpenFrame();
    WhenDialogRuns<CTemperamentWindow>([this](CTemperamentWindow& window) {
        // No name: refused, the name edit takes the focus.
        window.Save();
        ASSERT_EQ(m_host.m_boxes.size(), 1u);
        EXPECT_EQ(m_host.m_boxes[0].text, "Please enter a name for your new temperament");
        EXPECT_TRUE(window.IsModal());
        // A comma left open is questioned; No keeps the dialog open.
        SetText(window.NameEdit(), "Vallotti");
        window.Save();
        ASSERT_EQ(m_host.m_boxes.size(), 2u);
        EXPECT_EQ(m_host.m_boxes[1].text,
                  "You need to temper by 24 cents more. Are you sure you want to save this "
                  "temperament?");
        EXPECT_TRUE(window.IsModal());
        // Yes, but the name exists already.
        m_host.m_answers = {IDYES};
        window.Save();
        ASSERT_EQ(m_host.m_boxes.size(), 4u);
        EXPECT_EQ(m_host.m_boxes[3].text,
                  "A temperament with that name already exists.\r\nPlease choose a different "
                  "name.");
        EXPECT_TRUE(window.IsModal());
    });
    Menu(ID_NEW_TEMPERAMENT);
    EXPECT_TRUE(m_bScriptRan);

    // Editing keeps the name.
    WhenDialogRuns<CTemperamentWindow>([](CTemperamentWindow& window) {
        EXPECT_EQ(window.GetTitle(), "Edit Temperament");
        EXPECT_FALSE(window.NameEdit()->IsEnabled());
        EXPECT_EQ(window.NameEdit()->GetValue(), "Barnes 1979 (Bach)");
    });
    Menu(ID_EDIT_TEMPERAMENT);
    EXPECT_TRUE(m_bScriptRan);
}

TEST_F(GuiTest, StandardAFromTheChangeButton) {
    AddDevices();
    OpenFrame();
    WhenDialogRuns<CStandardAWindow>([this](CStandardAWindow& window) {
        EXPECT_EQ(window.GetTitle(), "Change Standard A");
        EXPECT_EQ(window.Edit()->GetValue(), "415");
        SetText(window.Edit(), "600.01");
        window.Accept();
        ASSERT_EQ(m_host.m_boxes.size(), 1u);
        EXPECT_EQ(m_host.m_boxes[0].text, "Please enter a value between 200 and 600 Hz");
        EXPECT_EQ(m_host.m_boxes[0].caption, "Invalid Frequency");
        EXPECT_EQ(window.Edit()->GetValue(), "415");
        SetText(window.Edit(), "abc");
        window.Accept();
        ASSERT_EQ(m_host.m_boxes.size(), 2u);
        EXPECT_EQ(m_host.m_boxes[1].text, "Please enter a number.");
        EXPECT_EQ(window.Edit()->GetValue(), "abc");
        SetText(window.Edit(), "440abc");
        window.Accept();
        EXPECT_FALSE(window.IsModal());
    });
    wxWindow* pButton = Form()->Control(IDC_CHANGE_STANDARD_A);
    wxCommandEvent click(wxEVT_BUTTON, IDC_CHANGE_STANDARD_A);
    click.SetEventObject(pButton);
    pButton->GetEventHandler()->ProcessEvent(click);
    EXPECT_TRUE(m_bScriptRan);
    EXPECT_EQ(View()->GetStandardA(), 440.0);
    auto* pLine = wxDynamicCast(Form()->Control(IDC_STANDARD_A), wxStaticText);
    EXPECT_EQ(pLine->GetLabel(), "Standard A = 440 Hertz (Hz)");
}

TEST_F(GuiTest, AudioOptionsAreShownChangedAndApplied) {
    AddDevices();
    m_sim.AddInDevice("USB Microphone");
    OpenFrame();
    WhenDialogRuns<COptionsWindow>([](COptionsWindow& window) {
        EXPECT_EQ(window.GetTitle(), "Klavora Options");
        // The defaults are in force: ticked, and the controls disabled.
        EXPECT_TRUE(window.UseDefaults()->GetValue());
        EXPECT_FALSE(window.Rate22050()->IsEnabled());
        EXPECT_FALSE(window.RecordingList()->IsEnabled());
        EXPECT_FALSE(window.BufferSize()->IsEnabled());
        EXPECT_EQ(window.RecordingList()->GetCount(), 3u);
        EXPECT_EQ(window.PlaybackList()->GetCount(), 2u);
        EXPECT_EQ(window.RecordingList()->GetString(0), "Microsoft Sound Mapper (default)");
        EXPECT_EQ(window.RecordingList()->GetSelection(), 0);
        EXPECT_EQ(window.BufferSize()->GetValue(), "8192");
        EXPECT_EQ(window.Duration()->GetLabel(), "(0.05 seconds)");

        window.UseDefaults()->SetValue(false);
        wxCommandEvent untick(wxEVT_CHECKBOX, window.UseDefaults()->GetId());
        untick.SetEventObject(window.UseDefaults());
        untick.SetInt(0);
        window.UseDefaults()->GetEventHandler()->ProcessEvent(untick);
        EXPECT_TRUE(window.Rate22050()->IsEnabled());
        EXPECT_TRUE(window.RecordingList()->IsEnabled());
        EXPECT_EQ(window.BufferSize()->GetValue(), "8192");

        window.Rate22050()->SetValue(true);
        wxCommandEvent rate(wxEVT_RADIOBUTTON, window.Rate22050()->GetId());
        rate.SetEventObject(window.Rate22050());
        window.Rate22050()->GetEventHandler()->ProcessEvent(rate);
        EXPECT_EQ(window.Duration()->GetLabel(), "(0.09 seconds)");
        // Down from 8192 reaches 4096 and stops there; up adds a buffer.
        window.BufferSizeArrows()->Step(+1);
        window.BufferSizeArrows()->Step(+1);
        EXPECT_EQ(window.BufferSize()->GetValue(), "4096");
        EXPECT_EQ(window.Duration()->GetLabel(), "(0.05 seconds)");
        window.BufferCountArrows()->Step(-1);
        EXPECT_EQ(window.BufferCount()->GetValue(), "6");
        window.RecordingList()->SetSelection(2);
        window.Accept();
    });
    Menu(ID_OPTIONS);
    EXPECT_TRUE(m_bScriptRan);
    EXPECT_EQ(View()->GetSamplingRate(), 22050);
    EXPECT_EQ(View()->GetBufferSize(), 4096);
    EXPECT_EQ(View()->GetNumBuffers(), 6);
    EXPECT_EQ(View()->GetRecordingDevice(), 1);
    EXPECT_EQ(View()->GetPlaybackDevice(), -1);
    EXPECT_TRUE(m_host.m_boxes.empty());
    CloseFrame();
    EXPECT_EQ(Setting("SamplingRate"), "22050");
    EXPECT_EQ(Setting("RecordingDevice"), "1");
}
