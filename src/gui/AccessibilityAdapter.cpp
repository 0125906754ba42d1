#include "gui/AccessibilityAdapter.h"

#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/window.h>

#include "gui/KlavoraForm.h"
#include "gui/UpDownButton.h"
#include "view/KlavoraView.h"
#include "view/ViewIds.h"

namespace {

// ---- the accessible object of a described control ---------------------------
//
// Two GObject types over GTK's own accessible of a container widget (every wx
// window is one): one offers the text interface, the other the value
// interface as well. Their text and value come from the core; GTK keeps the
// rest (position, focus, visibility) as for any widget.

struct SDescribed {
    SAccessibleState state;
    bool bEnabled = true;
    // Where the text is read each time it is asked for, instead of state.
    std::function<std::string()> fnText;
    std::string name;  // the last text given as the name, when it is read
};

GQuark DescribedQuark() {
    static const GQuark quark = g_quark_from_static_string("klavora-described");
    return quark;
}

SDescribed* Described(gpointer object) {
    return static_cast<SDescribed*>(g_object_get_qdata(G_OBJECT(object), DescribedQuark()));
}

std::string TextOf(gpointer object) {
    const SDescribed* pDescribed = Described(object);
    if (pDescribed == nullptr) {
        return std::string();
    }
    return pDescribed->fnText ? pDescribed->fnText() : pDescribed->state.text;
}

// The text as characters, for offsets counted in characters.
std::u32string Characters(const std::string& text) {
    std::u32string out;
    for (const char* p = text.c_str(); *p != '\0'; p = g_utf8_next_char(p)) {
        out.push_back(static_cast<char32_t>(g_utf8_get_char(p)));
    }
    return out;
}

gchar* Substring(const std::string& text, gint start, gint end) {
    const glong length = g_utf8_strlen(text.c_str(), -1);
    if (end < 0 || end > length) {
        end = static_cast<gint>(length);
    }
    start = std::max(0, start);
    return start >= end ? g_strdup("") : g_utf8_substring(text.c_str(), start, end);
}

gchar* TextGetText(AtkText* text, gint start, gint end) {
    return Substring(TextOf(text), start, end);
}

gint TextGetCharacterCount(AtkText* text) {
    return static_cast<gint>(g_utf8_strlen(TextOf(text).c_str(), -1));
}

gunichar TextGetCharacterAtOffset(AtkText* text, gint offset) {
    const std::u32string chars = Characters(TextOf(text));
    return offset >= 0 && static_cast<std::size_t>(offset) < chars.size()
               ? static_cast<gunichar>(chars[static_cast<std::size_t>(offset)])
               : 0;
}

gint TextGetCaretOffset(AtkText*) {
    return 0;
}

gint TextGetNSelections(AtkText*) {
    return 0;
}

// A character, a word (a run between blanks) or the whole text, which is one
// line and one sentence.
gchar* TextGetStringAtOffset(AtkText* text, gint offset, AtkTextGranularity granularity,
                             gint* pStart, gint* pEnd) {
    const std::string str = TextOf(text);
    const std::u32string chars = Characters(str);
    const gint length = static_cast<gint>(chars.size());
    gint start = 0;
    gint end = length;
    const gint at = std::max(0, std::min(offset, length));
    if (granularity == ATK_TEXT_GRANULARITY_CHAR) {
        start = at;
        end = std::min(at + 1, length);
    } else if (granularity == ATK_TEXT_GRANULARITY_WORD) {
        start = at;
        while (start > 0 && chars[static_cast<std::size_t>(start - 1)] != U' ') {
            --start;
        }
        end = at;
        while (end < length && chars[static_cast<std::size_t>(end)] != U' ') {
            ++end;
        }
    }
    *pStart = start;
    *pEnd = end;
    return Substring(str, start, end);
}

gchar* TextGetTextAtOffset(AtkText* text, gint offset, AtkTextBoundary boundary, gint* pStart,
                           gint* pEnd) {
    AtkTextGranularity granularity = ATK_TEXT_GRANULARITY_LINE;
    if (boundary == ATK_TEXT_BOUNDARY_CHAR) {
        granularity = ATK_TEXT_GRANULARITY_CHAR;
    } else if (boundary == ATK_TEXT_BOUNDARY_WORD_START || boundary == ATK_TEXT_BOUNDARY_WORD_END) {
        granularity = ATK_TEXT_GRANULARITY_WORD;
    }
    return TextGetStringAtOffset(text, offset, granularity, pStart, pEnd);
}

void TextInterfaceInit(gpointer iface, gpointer) {
    auto* text = static_cast<AtkTextIface*>(iface);
    text->get_text = TextGetText;
    text->get_character_count = TextGetCharacterCount;
    text->get_character_at_offset = TextGetCharacterAtOffset;
    text->get_caret_offset = TextGetCaretOffset;
    text->get_n_selections = TextGetNSelections;
    text->get_string_at_offset = TextGetStringAtOffset;
    text->get_text_at_offset = TextGetTextAtOffset;
}

const SAccessibleState& StateOf(gpointer object) {
    static const SAccessibleState none;
    const SDescribed* pDescribed = Described(object);
    return pDescribed != nullptr ? pDescribed->state : none;
}

void SetDouble(GValue* value, double d) {
    g_value_init(value, G_TYPE_DOUBLE);
    g_value_set_double(value, d);
}

void ValueGetCurrent(AtkValue* obj, GValue* value) {
    SetDouble(value, StateOf(obj).dValue);
}

void ValueGetMinimum(AtkValue* obj, GValue* value) {
    SetDouble(value, StateOf(obj).dMinimum);
}

void ValueGetMaximum(AtkValue* obj, GValue* value) {
    SetDouble(value, StateOf(obj).dMaximum);
}

void ValueGetMinimumIncrement(AtkValue* obj, GValue* value) {
    SetDouble(value, StateOf(obj).dStep);
}

void ValueGetValueAndText(AtkValue* obj, gdouble* pValue, gchar** pText) {
    const SAccessibleState& state = StateOf(obj);
    if (pValue != nullptr) {
        *pValue = state.dValue;
    }
    if (pText != nullptr) {
        *pText = g_strdup(state.text.c_str());
    }
}

AtkRange* ValueGetRange(AtkValue* obj) {
    const SAccessibleState& state = StateOf(obj);
    return atk_range_new(state.dMinimum, state.dMaximum, nullptr);
}

gdouble ValueGetIncrement(AtkValue* obj) {
    return StateOf(obj).dStep;
}

// The values follow the program's state; a screen reader cannot set them.
gboolean ValueSetCurrent(AtkValue*, const GValue*) {
    return FALSE;
}

void ValueSetValue(AtkValue*, gdouble) {}

void ValueInterfaceInit(gpointer iface, gpointer) {
    auto* value = static_cast<AtkValueIface*>(iface);
    value->get_current_value = ValueGetCurrent;
    value->get_minimum_value = ValueGetMinimum;
    value->get_maximum_value = ValueGetMaximum;
    value->get_minimum_increment = ValueGetMinimumIncrement;
    value->get_value_and_text = ValueGetValueAndText;
    value->get_range = ValueGetRange;
    value->get_increment = ValueGetIncrement;
    value->set_current_value = ValueSetCurrent;
    value->set_value = ValueSetValue;
}

AtkStateSet* (*g_pParentRefStateSet)(AtkObject*) = nullptr;
const gchar* (*g_pParentGetName)(AtkObject*) = nullptr;

// A control whose text is read where it shows (the status bar) is named by
// that text, as GTK names its own status bars.
const gchar* GetName(AtkObject* object) {
    SDescribed* pDescribed = Described(object);
    if (pDescribed != nullptr && pDescribed->fnText) {
        pDescribed->name = pDescribed->fnText();
        return pDescribed->name.c_str();
    }
    return g_pParentGetName(object);
}

// The keyboard and the circle stay enabled for the toolkit so that the hand
// shows over them, yet take no clicks while the view has them disabled.
AtkStateSet* RefStateSet(AtkObject* object) {
    AtkStateSet* set = g_pParentRefStateSet(object);
    const SDescribed* pDescribed = Described(object);
    if (pDescribed != nullptr && !pDescribed->bEnabled) {
        atk_state_set_remove_state(set, ATK_STATE_ENABLED);
        atk_state_set_remove_state(set, ATK_STATE_SENSITIVE);
    }
    return set;
}

void ClassInit(gpointer klass, gpointer) {
    auto* objectClass = ATK_OBJECT_CLASS(klass);
    auto* parentClass = ATK_OBJECT_CLASS(g_type_class_peek_parent(klass));
    if (g_pParentRefStateSet == nullptr) {
        g_pParentRefStateSet = parentClass->ref_state_set;
        g_pParentGetName = parentClass->get_name;
    }
    objectClass->ref_state_set = RefStateSet;
    objectClass->get_name = GetName;
}

GType TextAccessibleType() {
    static const GType type = [] {
        const GType t =
            g_type_register_static_simple(GTK_TYPE_CONTAINER_ACCESSIBLE, "KlavoraTextAccessible",
                                          sizeof(GtkContainerAccessibleClass), ClassInit,
                                          sizeof(GtkContainerAccessible), nullptr, GTypeFlags(0));
        const GInterfaceInfo text{TextInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(t, ATK_TYPE_TEXT, &text);
        return t;
    }();
    return type;
}

GType ValueAccessibleType() {
    static const GType type = [] {
        const GType t = g_type_register_static_simple(
            TextAccessibleType(), "KlavoraValueAccessible", sizeof(GtkContainerAccessibleClass),
            nullptr, sizeof(GtkContainerAccessible), nullptr, GTypeFlags(0));
        const GInterfaceInfo value{ValueInterfaceInit, nullptr, nullptr};
        g_type_add_interface_static(t, ATK_TYPE_VALUE, &value);
        return t;
    }();
    return type;
}

AtkRole AtkRoleOf(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::ComboBox:
            return ATK_ROLE_COMBO_BOX;
        case AccessibleRole::Text:
            return ATK_ROLE_TEXT;
        case AccessibleRole::LevelBar:
            return ATK_ROLE_LEVEL_BAR;
        case AccessibleRole::Slider:
            return ATK_ROLE_SLIDER;
        case AccessibleRole::Chart:
            return ATK_ROLE_CHART;
    }
    return ATK_ROLE_UNKNOWN;
}

// GTK asks a widget's class for the widget's accessible object. For the
// classes of the described widgets the question comes here first: a described
// widget answers with its own object, any other as its class always did.
GQuark OwnAccessibleQuark() {
    static const GQuark quark = g_quark_from_static_string("klavora-accessible");
    return quark;
}

using GetAccessibleFn = AtkObject* (*)(GtkWidget*);
std::map<GType, GetAccessibleFn>& ClassAnswers() {
    static std::map<GType, GetAccessibleFn> answers;
    return answers;
}

AtkObject* GetAccessible(GtkWidget* widget) {
    if (auto* own =
            static_cast<AtkObject*>(g_object_get_qdata(G_OBJECT(widget), OwnAccessibleQuark()))) {
        return own;
    }
    // A class derived after the change inherits it: its own answer is the
    // nearest one kept.
    for (GType type = G_OBJECT_TYPE(widget); type != 0; type = g_type_parent(type)) {
        const auto it = ClassAnswers().find(type);
        if (it != ClassAnswers().end()) {
            return it->second(widget);
        }
    }
    return nullptr;
}

void AnswerForClass(GtkWidget* widget) {
    auto* klass = GTK_WIDGET_GET_CLASS(widget);
    if (klass->get_accessible != GetAccessible) {
        ClassAnswers()[G_OBJECT_TYPE(widget)] = klass->get_accessible;
        klass->get_accessible = GetAccessible;
    }
}

void OnWidgetDestroyed(GtkWidget*, gpointer object) {
    gtk_accessible_set_widget(GTK_ACCESSIBLE(object), nullptr);
}

AtkObject* InstallAccessible(GtkWidget* widget, bool bHasValue) {
    if (!GTK_IS_CONTAINER(widget) ||
        g_object_get_qdata(G_OBJECT(widget), OwnAccessibleQuark()) != nullptr) {
        return nullptr;
    }
    auto* object = ATK_OBJECT(g_object_new(bHasValue ? ValueAccessibleType() : TextAccessibleType(),
                                           "widget", widget, nullptr));
    g_object_set_qdata_full(G_OBJECT(object), DescribedQuark(), new SDescribed,
                            [](gpointer p) { delete static_cast<SDescribed*>(p); });
    // The widget holds the object until it is finalized; once destroyed, the
    // object tells a screen reader that it is gone.
    g_object_set_qdata_full(G_OBJECT(widget), OwnAccessibleQuark(), object, g_object_unref);
    g_signal_connect(widget, "destroy", G_CALLBACK(OnWidgetDestroyed), object);
    AnswerForClass(widget);
    atk_object_initialize(object, widget);
    return object;
}

// Tells a new description, with the events that let a screen reader follow.
void Tell(AtkObject* object, const SAccessibleState& state) {
    SDescribed* pDescribed = Described(object);
    if (pDescribed == nullptr) {
        return;
    }
    const SAccessibleState old = pDescribed->state;
    if (old.text != state.text) {
        const gint oldLength = static_cast<gint>(g_utf8_strlen(old.text.c_str(), -1));
        if (oldLength > 0) {
            g_signal_emit_by_name(object, "text-remove", 0, oldLength, old.text.c_str());
        }
    }
    pDescribed->state = state;
    if (old.text != state.text) {
        const gint newLength = static_cast<gint>(g_utf8_strlen(state.text.c_str(), -1));
        if (newLength > 0) {
            g_signal_emit_by_name(object, "text-insert", 0, newLength, state.text.c_str());
        }
    }
    if (ATK_IS_VALUE(object) && (old.dValue != state.dValue || old.text != state.text)) {
        g_object_notify(G_OBJECT(object), "accessible-value");
    }
}

void Announce(AtkObject* object, const std::string& text) {
    // The announcement signal came with ATK 2.46; older ones have none.
    if (g_signal_lookup("announcement", ATK_TYPE_OBJECT) != 0) {
        g_signal_emit_by_name(object, "announcement", text.c_str());
    }
}

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
    AtkObject* object = InstallAccessible(widget, pControl->bHasValue);
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
            Tell(it->second, change.second);
        }
    }
    for (auto& entry : m_enabled) {
        const bool enabled = m_form.IsControlEnabled(entry.first);
        if (enabled != entry.second) {
            entry.second = enabled;
            AtkObject* object = m_objects[entry.first];
            if (SDescribed* pDescribed = Described(object)) {
                pDescribed->bEnabled = enabled;
            }
            atk_object_notify_state_change(object, ATK_STATE_ENABLED, enabled);
            atk_object_notify_state_change(object, ATK_STATE_SENSITIVE, enabled);
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
    AtkObject* object = widget != nullptr ? InstallAccessible(widget, false) : nullptr;
    if (object == nullptr) {
        return;
    }
    atk_object_set_role(object, ATK_ROLE_STATUSBAR);
    // The panes change from many places (menu prompts, the tuner's state):
    // they are read when asked for.
    Described(object)->fnText = [pBar] {
        std::string text;
        for (int i = 0; i < pBar->GetFieldsCount(); ++i) {
            const std::string pane = pBar->GetStatusText(i).ToStdString(wxConvUTF8);
            if (!pane.empty()) {
                text += (text.empty() ? "" : ". ") + pane;
            }
        }
        return text;
    };
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
