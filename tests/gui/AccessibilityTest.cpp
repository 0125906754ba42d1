// SPDX-License-Identifier: GPL-3.0-or-later
// What the toolkit's accessibility layer holds for a screen reader, read in
// the process where the end-to-end test e2e_accessibility, which reads the
// main window over AT-SPI, does not look: disabled pictures, and every field
// of the dialogs named by its label.
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include <wx/choice.h>
#include <wx/textctrl.h>

#include "gui/GuiTestSupport.h"
#include "gui/OptionsWindow.h"
#include "gui/StandardAWindow.h"
#include "gui/TemperamentWindow.h"
#include "gui/UpDownButton.h"

namespace {

AtkObject* Accessible(wxWindow* pWindow) {
    return gtk_widget_get_accessible(static_cast<GtkWidget*>(pWindow->GetHandle()));
}

std::string Name(AtkObject* object) {
    const char* name = atk_object_get_name(object);
    return name != nullptr ? name : "";
}

bool Has(AtkObject* object, AtkStateType state) {
    AtkStateSet* set = atk_object_ref_state_set(object);
    const bool has = atk_state_set_contains_state(set, state);
    g_object_unref(set);
    return has;
}

bool LabelledBy(AtkObject* object) {
    AtkRelationSet* set = atk_object_ref_relation_set(object);
    const bool labelled = atk_relation_set_contains(set, ATK_RELATION_LABELLED_BY);
    g_object_unref(set);
    return labelled;
}

// The names of the fields (edits, drop-down lists, arrows) below a window,
// "?" for one that no label names.
void FieldNames(wxWindow* pWindow, std::vector<std::string>& names) {
    for (wxWindow* pChild : pWindow->GetChildren()) {
        if (dynamic_cast<wxTextCtrl*>(pChild) || dynamic_cast<wxChoice*>(pChild) ||
            dynamic_cast<CUpDownButton*>(pChild)) {
            AtkObject* object = Accessible(pChild);
            names.push_back(LabelledBy(object) && !Name(object).empty() ? Name(object) : "?");
        }
        FieldNames(pChild, names);
    }
}

}  // namespace

// The pictures the view disables say so, though the toolkit keeps them on
// for the pointer's sake.
TEST_F(GuiTest, DisabledPicturesSayTheyAreDisabled) {
    AddDevices();
    OpenFrame();
    for (int id : {IDC_KEYBOARD, IDC_CYCLE_OF_FIFTHS}) {
        AtkObject* picture = Accessible(Form()->Control(id));
        Form()->EnableControl(id, false);
        Form()->RefreshDrawnControls();
        EXPECT_FALSE(Has(picture, ATK_STATE_ENABLED)) << id;
        Form()->EnableControl(id, true);
        Form()->RefreshDrawnControls();
        EXPECT_TRUE(Has(picture, ATK_STATE_ENABLED)) << id;
    }
}

TEST_F(GuiTest, DialogFieldsAreNamedByTheirLabels) {
    AddDevices();
    OpenFrame();
    std::vector<std::string> names;
    auto collect = [&names](wxDialog& dialog) { FieldNames(&dialog, names); };

    WhenDialogRuns<COptionsWindow>(collect);
    Menu(ID_OPTIONS);
    EXPECT_EQ(names, (std::vector<std::string>{"Microsoft Sound Mapper (default)",
                                               "Microsoft Sound Mapper (default)",
                                               "Number of buffers", "Number of buffers",
                                               "Buffer size (samples)", "Buffer size (samples)"}));

    names.clear();
    WhenDialogRuns<CTemperamentWindow>(collect);
    Menu(ID_NEW_TEMPERAMENT);
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(names[0], "Name");
    EXPECT_EQ(names[1], "C to G");
    EXPECT_EQ(names[12], "F to C");

    names.clear();
    WhenDialogRuns<CStandardAWindow>(collect);
    wxWindow* pButton = Form()->Control(IDC_CHANGE_STANDARD_A);
    wxCommandEvent click(wxEVT_BUTTON, IDC_CHANGE_STANDARD_A);
    click.SetEventObject(pButton);
    pButton->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(names, std::vector<std::string>{"A ="});
}
