// SPDX-License-Identifier: GPL-3.0-or-later
// The window's file commands where the user meets them: a Scala file dropped
// on the main window waits while the tones play, as New Temperament does,
// then its preview imports it into the list, the menu's states follow the
// view's, and the sheet window follows the temperament chosen.
#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "gui/GuiTestSupport.h"
#include "gui/ScalaImportWindow.h"
#include "gui/TemperamentFiles.h"
#include "gui/TuningSheetWindow.h"
#include "store/TemperamentStore.h"

namespace {

bool MenuEnabled(wxFrame* pFrame, int id) {
    pFrame->DoMenuUpdates();
    return pFrame->GetMenuBar()->IsEnabled(WxIdOfCommand(id));
}

// Runs script on the import preview once it shows, from its modal loop.
class CPreviewScript {
public:
    explicit CPreviewScript(std::function<void(CScalaImportWindow&)> script)
        : m_script(std::move(script)) {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            for (wxWindow* pWindow : wxTopLevelWindows) {
                auto* pPreview = dynamic_cast<CScalaImportWindow*>(pWindow);
                if (pPreview != nullptr && pPreview->IsModal() && !m_bRan) {
                    m_bRan = true;
                    m_script(*pPreview);
                    if (pPreview->IsModal()) {
                        pPreview->EndModal(wxID_CANCEL);
                    }
                }
            }
        });
        m_timer.Start(20);
    }
    bool Ran() const { return m_bRan; }

private:
    std::function<void(CScalaImportWindow&)> m_script;
    wxTimer m_timer;
    bool m_bRan = false;
};

}  // namespace

TEST_F(GuiTest, ADroppedScalaFileIsImportedWhenNewTemperamentCouldBe) {
    AddDevices();
    OpenFrame();
    const std::string file = std::string(KLAVORA_TEST_DATA) + "/scala/young2.scl";
    CPreviewScript script([this](CScalaImportWindow& preview) {
        EXPECT_EQ(preview.NameEdit()->GetValue(), "Young No. 2 (1799)");
        m_host.m_answers = {IDYES};
        preview.Import();
    });
    Menu(ID_PLAY_NOTES);
    EXPECT_FALSE(MenuEnabled(m_pFrame, ID_IMPORT_SCALA));
    EXPECT_TRUE(MenuEnabled(m_pFrame, ID_TUNING_SHEET));
    auto* pTarget = dynamic_cast<wxFileDropTarget*>(m_pFrame->GetDropTarget());
    ASSERT_NE(pTarget, nullptr);
    wxArrayString files;
    files.Add(wxString::FromUTF8(file));
    EXPECT_TRUE(pTarget->OnDropFiles(10, 10, files));
    // While the tones play the file waits, as New Temperament would.
    RunLoopUntil([] { return false; }, 400);
    EXPECT_FALSE(script.Ran());
    EXPECT_EQ(m_pFrame->GetTemperamentFiles().WaitingFiles(), 1u);
    Menu(ID_PLAY_NOTES);
    EXPECT_TRUE(
        RunLoopUntil([&] { return Form()->ListFindStringExact("Young No. 2 (1799)") >= 0; }, 5000));
    EXPECT_TRUE(script.Ran());
    EXPECT_TRUE(TemperamentExists("Young No. 2 (1799)"));
    ASSERT_EQ(m_host.m_boxes.size(), 1u);
    EXPECT_EQ(m_host.m_boxes[0].caption, "Save Temperament");

    // The sheet shows the temperament chosen, and follows the next choice.
    Menu(ID_TUNING_SHEET);
    CTuningSheetWindow* pSheet = m_pFrame->GetTemperamentFiles().SheetWindow();
    ASSERT_NE(pSheet, nullptr);
    const std::string first = View()->GetTemperamentName();
    EXPECT_EQ(pSheet->GetTitle(), wxString::FromUTF8("Tuning Sheet: " + first));
    Form()->ListSetCurSel(Form()->ListFindStringExact("Young No. 2 (1799)"));
    View()->OnSelchangeTemperament();
    RunLoopUntil([&] { return pSheet->GetTitle().Contains("Young"); }, 2000);
    EXPECT_EQ(pSheet->GetTitle(), "Tuning Sheet: Young No. 2 (1799)");
    EXPECT_EQ(pSheet->Sheet().Info().name, "Young No. 2 (1799)");
}
