// What the toolkit's accessibility layer holds for a screen reader, read in
// the process: the drawn controls' roles, names, texts and values as the user
// works, and every field of the dialogs named by its label. (The same, read
// over AT-SPI from outside, is the end-to-end test e2e_accessibility.)
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include <wx/choice.h>
#include <wx/textctrl.h>

#include "gui/GuiTestSupport.h"
#include "gui/OptionsWindow.h"
#include "gui/StandardAWindow.h"
#include "gui/TemperamentWindow.h"
#include "gui/UpDownButton.h"
#include "view/AccessibleForm.h"

namespace {

AtkObject* Accessible(wxWindow* pWindow) {
    return gtk_widget_get_accessible(static_cast<GtkWidget*>(pWindow->GetHandle()));
}

std::string Name(AtkObject* object) {
    const char* name = atk_object_get_name(object);
    return name != nullptr ? name : "";
}

std::string Text(AtkObject* object) {
    if (!ATK_IS_TEXT(object)) {
        return "(no text)";
    }
    gchar* text = atk_text_get_text(ATK_TEXT(object), 0, -1);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
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

TEST_F(GuiTest, DrawnControlsTellRolesNamesTextsAndValues) {
    AddDevices();
    OpenFrame();
    const std::vector<std::pair<int, AtkRole>> roles{
        {IDC_BANNER, ATK_ROLE_LEVEL_BAR},       {IDC_HERTZ_PANEL, ATK_ROLE_TEXT},
        {IDC_NOTE_PANEL, ATK_ROLE_TEXT},        {IDC_CENTS_PANEL, ATK_ROLE_TEXT},
        {IDC_TEMPERAMENTS, ATK_ROLE_COMBO_BOX}, {IDC_KEYBOARD, ATK_ROLE_SLIDER},
        {IDC_CYCLE_OF_FIFTHS, ATK_ROLE_CHART},
    };
    for (const auto& entry : roles) {
        AtkObject* object = Accessible(Form()->Control(entry.first));
        EXPECT_EQ(atk_object_get_role(object), entry.second) << entry.first;
        EXPECT_EQ(Name(object), FindAccessibleControl(entry.first)->pszName);
    }

    // A typed letter moves the keyboard's value and the note panel's text.
    AtkObject* keyboard = Accessible(Form()->Control(IDC_KEYBOARD));
    Form()->OnTypedChar('F');
    gdouble value = 0;
    gchar* text = nullptr;
    atk_value_get_value_and_text(ATK_VALUE(keyboard), &value, &text);
    EXPECT_EQ(value, 6.0);
    EXPECT_STREQ(text, "F sharp or G flat");
    g_free(text);
    EXPECT_EQ(Text(Accessible(Form()->Control(IDC_NOTE_PANEL))), "F#/Gb");

    // The pictures the view disables say so, though the toolkit keeps them on.
    Form()->EnableControl(IDC_KEYBOARD, false);
    Form()->RefreshDrawnControls();
    EXPECT_FALSE(Has(keyboard, ATK_STATE_ENABLED));
    Form()->EnableControl(IDC_KEYBOARD, true);
    Form()->RefreshDrawnControls();
    EXPECT_TRUE(Has(keyboard, ATK_STATE_ENABLED));

    // The status bar reads as the status bar it is.
    AtkObject* status = Accessible(m_pFrame->GetStatusBar());
    EXPECT_EQ(atk_object_get_role(status), ATK_ROLE_STATUSBAR);
    EXPECT_EQ(Text(status), "For Help, press F1. Tuner Off");
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
