// SPDX-License-Identifier: GPL-3.0-or-later
// The Fine Tuner window in the real frame: where its command sits, what
// opening and closing it do to the listening, the Survey command, and a
// frame closed with the window still open.
#include <atk/atk.h>
#include <gtk/gtk.h>

#include <wx/button.h>
#include <wx/menu.h>

#include "gui/FineTunerWindow.h"
#include "gui/GuiTestSupport.h"
#include "gui/SurveyWindow.h"
#include "gui/WxCanvas.h"
#include "presenter/FineTuner.h"

TEST_F(GuiTest, TheFineTunerOpensBesideTheMainWindowListensAndStopsWhenClosed) {
    AddDevices();
    OpenFrame();
    // The last item of the Tuner menu, after a separator.
    wxMenu* pTuner = m_pFrame->GetMenuBar()->GetMenu(
        static_cast<size_t>(m_pFrame->GetMenuBar()->FindMenu("Tuner")));
    const wxMenuItemList& items = pTuner->GetMenuItems();
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items.GetLast()->GetData()->GetId(), WxIdOfCommand(ID_FINE_TUNER));
    EXPECT_TRUE(items.GetLast()->GetPrevious()->GetData()->IsSeparator());
    m_pFrame->DoMenuUpdates();
    EXPECT_TRUE(pTuner->IsEnabled(WxIdOfCommand(ID_FINE_TUNER)));

    wxCommandEvent open(wxEVT_MENU, WxIdOfCommand(ID_FINE_TUNER));
    m_pFrame->ProcessWindowEvent(open);
    Settle();
    CFineTunerWindow* pWindow = m_pFrame->FineTunerWindow();
    ASSERT_NE(pWindow, nullptr);
    EXPECT_TRUE(pWindow->IsShown());
    EXPECT_NE(pWindow->GetWindowStyleFlag() & wxRESIZE_BORDER, 0);
    EXPECT_TRUE(View()->IsListening());
    EXPECT_TRUE(pWindow->Tuner().StartedListening());
    EXPECT_GE(pWindow->Face()->GetClientSize().GetHeight(), 300);
    AtkObject* pFace =
        gtk_widget_get_accessible(static_cast<GtkWidget*>(pWindow->Face()->GetHandle()));
    EXPECT_STREQ(atk_object_get_name(pFace), "Fine tuner reading");

    // Survey... opens the main frame's survey window.
    wxWindow* pFound = nullptr;
    for (wxWindow* pChild : pWindow->GetChildren()) {
        if (pChild->GetLabel() == "&Survey...") {
            pFound = pChild;
        }
    }
    ASSERT_NE(pFound, nullptr);
    EXPECT_TRUE(pFound->IsEnabled());
    wxCommandEvent click(wxEVT_BUTTON, pFound->GetId());
    click.SetEventObject(pFound);
    pFound->ProcessWindowEvent(click);
    ASSERT_NE(m_pFrame->SurveyWindow(), nullptr);
    EXPECT_TRUE(m_pFrame->SurveyWindow()->IsShown());
    int surveys = 0;
    m_pFrame->SetSurveyCommand([&](CFineTunerWindow& w) { surveys += &w == pWindow; });
    pFound->ProcessWindowEvent(click);
    EXPECT_EQ(surveys, 1);

    pWindow->Close();
    Settle();
    EXPECT_EQ(m_pFrame->FineTunerWindow(), nullptr);
    EXPECT_FALSE(View()->IsListening());

    // Open again and close the main window with it: it lets go of the view first.
    m_pFrame->ShowFineTuner();
    Settle();
    EXPECT_TRUE(View()->IsListening());
    CloseFrame();
}
