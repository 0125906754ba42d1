#include "gui/AccessibilityAdapter.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <string>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/window.h>

#include "gui/DescribedAccessible.h"
#include "gui/KlavoraForm.h"
#include "gui/UpDownButton.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"

namespace {

GtkToolbar* FindToolbar(GtkWidget* widget) {
    if (GTK_IS_TOOLBAR(widget)) {
        return GTK_TOOLBAR(widget);
    }
    GtkToolbar* found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* l = children; l != nullptr && found == nullptr; l = l->next) {
            found = FindToolbar(GTK_WIDGET(l->data));
        }
        g_list_free(children);
    }
    return found;
}

}  // namespace

CAccessibilityAdapter::CAccessibilityAdapter(CKlavoraForm& form) : m_form(form) {
    m_timer.Bind(wxEVT_TIMER, &CAccessibilityAdapter::OnTimer, this);
}

CAccessibilityAdapter::~CAccessibilityAdapter() {
    m_timer.Stop();
    for (auto& entry : m_objects) {
        g_object_unref(entry.second);
    }
}

void CAccessibilityAdapter::Attach(int controlId, wxWindow* pWindow, wxWindow* pLabel) {
    const SAccessibleControl* pControl = FindAccessibleControl(controlId);
    auto* widget = static_cast<GtkWidget*>(pWindow->GetHandle());
    if (pControl == nullptr || widget == nullptr) {
        return;
    }
    AtkObject* object = InstallDescribedAccessible(widget, pControl->bHasValue);
    if (object == nullptr) {
        // Not a container, or described already: it gets at least its role
        // and name.
        object = gtk_widget_get_accessible(widget);
    }
    atk_object_set_role(object, AtkRoleOf(pControl->role));
    atk_object_set_name(object, pControl->pszName);
    const std::string help = pWindow->GetHelpText().ToStdString(wxConvUTF8);
    if (!help.empty()) {
        atk_object_set_description(object, help.c_str());
    }
    if (pLabel != nullptr && pLabel->GetHandle() != nullptr) {
        AtkObject* label = gtk_widget_get_accessible(static_cast<GtkWidget*>(pLabel->GetHandle()));
        atk_object_add_relationship(object, ATK_RELATION_LABELLED_BY, label);
        atk_object_add_relationship(label, ATK_RELATION_LABEL_FOR, object);
    }
    m_objects[controlId] = ATK_OBJECT(g_object_ref(object));
    if (controlId == IDC_KEYBOARD || controlId == IDC_CYCLE_OF_FIFTHS) {
        m_enabled[controlId] = true;
    }
}

void CAccessibilityAdapter::AttachAll() {
    for (const SAccessibleControl& control : AccessibleControls()) {
        if (wxWindow* pWindow = m_form.Control(control.nId)) {
            Attach(control.nId, pWindow,
                   control.nLabelId != 0 ? m_form.Control(control.nLabelId) : nullptr);
        }
    }
}

void CAccessibilityAdapter::Update() {
    const CKlavoraView* pView = m_form.GetView();
    if (pView == nullptr) {
        m_timer.Stop();
        return;
    }
    const auto now = CAccessibleForm::Clock::now();
    const CAccessibleForm::SUpdate update = m_core.Poll(*pView, now);
    for (const auto& change : update.changed) {
        const auto it = m_objects.find(change.first);
        if (it != m_objects.end()) {
            TellDescription(it->second, change.second);
        }
    }
    for (auto& entry : m_enabled) {
        const bool enabled = m_form.IsControlEnabled(entry.first);
        if (enabled != entry.second) {
            entry.second = enabled;
            SetDescribedEnabled(m_objects[entry.first], enabled);
        }
    }
    if (update.announcement) {
        // Where the reading shows: the meter.
        const auto it = m_objects.find(IDC_BANNER);
        if (it != m_objects.end()) {
            Announce(it->second, *update.announcement);
        }
    }
    if (update.pollAt) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(*update.pollAt - now).count();
        m_timer.StartOnce(static_cast<int>(std::max<long long>(1, wait)));
    } else {
        m_timer.Stop();
    }
}

void CAccessibilityAdapter::OnTimer(wxTimerEvent&) {
    Update();
}

void CAccessibilityAdapter::NameToolButtons(wxToolBar* pBar) {
    GtkToolbar* toolbar =
        pBar != nullptr ? FindToolbar(static_cast<GtkWidget*>(pBar->GetHandle())) : nullptr;
    if (toolbar == nullptr) {
        return;
    }
    // wx places its tools in the toolkit's bar in its own order, separators
    // included.
    const int count = std::min(static_cast<int>(pBar->GetToolsCount()),
                               static_cast<int>(gtk_toolbar_get_n_items(toolbar)));
    for (int i = 0; i < count; ++i) {
        const wxToolBarToolBase* pTool = pBar->GetToolByPos(i);
        GtkToolItem* item = gtk_toolbar_get_nth_item(toolbar, i);
        if (pTool == nullptr || pTool->IsSeparator() || !GTK_IS_TOOL_BUTTON(item)) {
            continue;
        }
        GtkWidget* button = gtk_bin_get_child(GTK_BIN(item));
        if (button == nullptr) {
            continue;
        }
        AtkObject* object = gtk_widget_get_accessible(button);
        atk_object_set_name(object, pTool->GetShortHelp().ToStdString(wxConvUTF8).c_str());
        const std::string prompt = pTool->GetLongHelp().ToStdString(wxConvUTF8);
        if (!prompt.empty()) {
            atk_object_set_description(object, prompt.c_str());
        }
    }
}

void CAccessibilityAdapter::DescribeStatusBar(wxStatusBar* pBar) {
    auto* widget = pBar != nullptr ? static_cast<GtkWidget*>(pBar->GetHandle()) : nullptr;
    AtkObject* object = widget != nullptr ? InstallDescribedAccessible(widget, false) : nullptr;
    if (object == nullptr) {
        return;
    }
    atk_object_set_role(object, ATK_ROLE_STATUSBAR);
    // The panes change from many places (menu prompts, the tuner's state):
    // they are read when asked for.
    SetDescribedTextSource(object, [pBar] {
        std::string text;
        for (int i = 0; i < pBar->GetFieldsCount(); ++i) {
            const std::string pane = pBar->GetStatusText(i).ToStdString(wxConvUTF8);
            if (!pane.empty()) {
                text += (text.empty() ? "" : ". ") + pane;
            }
        }
        return text;
    });
}

namespace {

// A label's caption as a name: no mnemonic, no closing colon.
std::string NameFromLabel(const wxString& label) {
    std::string name = wxControl::RemoveMnemonics(label).ToStdString(wxConvUTF8);
    while (!name.empty() && (name.back() == ':' || name.back() == ' ')) {
        name.pop_back();
    }
    return name;
}

// Controls that carry their own caption.
bool NamesItself(const wxWindow* pWindow) {
    return dynamic_cast<const wxButton*>(pWindow) != nullptr ||
           dynamic_cast<const wxCheckBox*>(pWindow) != nullptr ||
           dynamic_cast<const wxRadioButton*>(pWindow) != nullptr;
}

void LabelField(const wxStaticText* pLabel, wxWindow* pField) {
    auto* labelWidget = static_cast<GtkWidget*>(pLabel->GetHandle());
    auto* fieldWidget = static_cast<GtkWidget*>(pField->GetHandle());
    if (labelWidget == nullptr || fieldWidget == nullptr) {
        return;
    }
    AtkObject* label = gtk_widget_get_accessible(labelWidget);
    AtkObject* field = gtk_widget_get_accessible(fieldWidget);
    atk_object_add_relationship(field, ATK_RELATION_LABELLED_BY, label);
    atk_object_add_relationship(label, ATK_RELATION_LABEL_FOR, field);
    // A drop-down list is named by its choice, as GTK names it; an edit
    // or the arrows beside one take the label's caption.
    const char* current = atk_object_get_name(field);
    if (current == nullptr || *current == '\0') {
        atk_object_set_name(field, NameFromLabel(pLabel->GetLabel()).c_str());
    }
    if (dynamic_cast<const CUpDownButton*>(pField) != nullptr) {
        atk_object_set_role(field, ATK_ROLE_SPIN_BUTTON);
    }
}

void LabelFieldsBelow(wxWindow* pParent) {
    const wxStaticText* pLabel = nullptr;      // names the next field
    const wxStaticText* pLabelUsed = nullptr;  // named the field just before
    for (wxWindow* pChild : pParent->GetChildren()) {
        if (auto* pText = dynamic_cast<const wxStaticText*>(pChild)) {
            pLabel = pText;
            pLabelUsed = nullptr;
        } else if (dynamic_cast<const CUpDownButton*>(pChild) != nullptr) {
            // The arrows beside an edit share its label.
            if (pLabelUsed != nullptr) {
                LabelField(pLabelUsed, pChild);
            }
            pLabelUsed = nullptr;
        } else if (pLabel != nullptr && pChild->AcceptsFocus() && !NamesItself(pChild)) {
            LabelField(pLabel, pChild);
            pLabelUsed = pLabel;
            pLabel = nullptr;
        } else {
            pLabel = pLabelUsed = nullptr;
            LabelFieldsBelow(pChild);
        }
    }
}

}  // namespace

void CAccessibilityAdapter::LabelDialogFields(wxWindow* pDialog) {
    if (pDialog != nullptr) {
        LabelFieldsBelow(pDialog);
    }
}
