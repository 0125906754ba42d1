#include "gui/DescribedAccessible.h"

#include <gtk/gtk-a11y.h>

#include <algorithm>
#include <map>

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

}  // namespace

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

namespace {

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
    // A screen reader may hold the object longer: it no longer reads the
    // window it came from.
    if (SDescribed* pDescribed = Described(object)) {
        pDescribed->fnText = nullptr;
    }
    gtk_accessible_set_widget(GTK_ACCESSIBLE(object), nullptr);
}

}  // namespace

AtkObject* InstallDescribedAccessible(GtkWidget* widget, bool bHasValue) {
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
void TellDescription(AtkObject* object, const SAccessibleState& state) {
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

void SetDescribedEnabled(AtkObject* object, bool enabled) {
    SDescribed* pDescribed = Described(object);
    if (pDescribed == nullptr || pDescribed->bEnabled == enabled) {
        return;
    }
    pDescribed->bEnabled = enabled;
    atk_object_notify_state_change(object, ATK_STATE_ENABLED, enabled);
    atk_object_notify_state_change(object, ATK_STATE_SENSITIVE, enabled);
}

void SetDescribedTextSource(AtkObject* object, std::function<std::string()> fnText) {
    if (SDescribed* pDescribed = Described(object)) {
        pDescribed->fnText = std::move(fnText);
    }
}
