#include "gui/MenuShortcuts.h"

#include <vector>

#include <gtk/gtk.h>
#include <wx/menuitem.h>

namespace {

struct SAccel {
    GtkAccelGroup* pGroup;
    guint nKey;
    GdkModifierType mods;
};

gboolean IsClosure(GtkAccelKey*, GClosure* pClosure, gpointer pData) {
    return pClosure == pData;
}

// The accelerators GTK keeps for the item's widget.
std::vector<SAccel> AccelsOf(GtkWidget* pWidget) {
    std::vector<SAccel> accels;
    GList* pClosures = gtk_widget_list_accel_closures(pWidget);
    for (GList* p = pClosures; p != nullptr; p = p->next) {
        auto* pClosure = static_cast<GClosure*>(p->data);
        GtkAccelGroup* pGroup = gtk_accel_group_from_accel_closure(pClosure);
        const GtkAccelKey* pKey =
            pGroup != nullptr ? gtk_accel_group_find(pGroup, IsClosure, pClosure) : nullptr;
        if (pKey != nullptr) {
            accels.push_back(SAccel{pGroup, pKey->accel_key, pKey->accel_mods});
        }
    }
    g_list_free(pClosures);
    return accels;
}

GtkAccelLabel* LabelOf(GtkWidget* pWidget) {
    GtkWidget* pChild = GTK_IS_BIN(pWidget) ? gtk_bin_get_child(GTK_BIN(pWidget)) : nullptr;
    return pChild != nullptr && GTK_IS_ACCEL_LABEL(pChild) ? GTK_ACCEL_LABEL(pChild) : nullptr;
}

}  // namespace

void ShowShortcutOnly(wxMenuItem* pItem) {
    GtkWidget* pWidget = pItem != nullptr ? pItem->GetMenuItem() : nullptr;
    if (pWidget == nullptr) {
        return;
    }
    GtkAccelLabel* pLabel = LabelOf(pWidget);
    for (const SAccel& accel : AccelsOf(pWidget)) {
        gtk_widget_remove_accelerator(pWidget, accel.pGroup, accel.nKey, accel.mods);
        // Shown as before, from the label's own record of the key.
        if (pLabel != nullptr) {
            gtk_accel_label_set_accel(pLabel, accel.nKey, accel.mods);
        }
    }
}

bool HasWorkingShortcut(const wxMenuItem* pItem) {
    GtkWidget* pWidget = pItem != nullptr ? pItem->GetMenuItem() : nullptr;
    return pWidget != nullptr && !AccelsOf(pWidget).empty();
}

std::string ShownShortcut(const wxMenuItem* pItem) {
    GtkWidget* pWidget = pItem != nullptr ? pItem->GetMenuItem() : nullptr;
    GtkAccelLabel* pLabel = pWidget != nullptr ? LabelOf(pWidget) : nullptr;
    if (pLabel == nullptr) {
        return std::string();
    }
    guint nKey = 0;
    GdkModifierType mods = GdkModifierType(0);
    gtk_accel_label_get_accel(pLabel, &nKey, &mods);
    if (nKey == 0) {
        // Not set by hand: the label shows the key of its accelerator.
        const std::vector<SAccel> accels = AccelsOf(pWidget);
        if (accels.empty()) {
            return std::string();
        }
        nKey = accels[0].nKey;
        mods = accels[0].mods;
    }
    gchar* pName = gtk_accelerator_name(nKey, mods);
    std::string name = pName != nullptr ? pName : "";
    g_free(pName);
    return name;
}
