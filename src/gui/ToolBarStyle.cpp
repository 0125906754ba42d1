#include "gui/ToolBarStyle.h"

#include <wx/toolbar.h>

#include <gtk/gtk.h>

namespace {

// The toolbar is found by its widget name, so no other widget of the
// program changes. Buttons keep their relief, hover and pressed looks; only
// their padding and the separators' room shrink.
const char* const kToolBarName = "klavora-toolbar";
const char* const kToolBarCss =
    "#klavora-toolbar { padding: 1px 2px; }\n"
    "#klavora-toolbar button { padding: 3px 4px; margin: 0; min-width: 16px; min-height: 16px; }\n"
    "#klavora-toolbar separator { margin: 0 3px; }\n";

void InstallProvider() {
    static bool s_bInstalled = false;
    if (s_bInstalled) {
        return;
    }
    GdkScreen* pScreen = gdk_screen_get_default();
    if (pScreen == nullptr) {
        return;
    }
    GtkCssProvider* pProvider = gtk_css_provider_new();
    if (gtk_css_provider_load_from_data(pProvider, kToolBarCss, -1, nullptr)) {
        gtk_style_context_add_provider_for_screen(pScreen, GTK_STYLE_PROVIDER(pProvider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        s_bInstalled = true;
    }
    g_object_unref(pProvider);
}

}  // namespace

void ApplyCompactToolBarStyle(wxToolBar* pBar) {
    if (pBar == nullptr) {
        return;
    }
    auto* pWidget = static_cast<GtkWidget*>(pBar->GetHandle());
    if (pWidget == nullptr) {
        return;
    }
    InstallProvider();
    gtk_widget_set_name(pWidget, kToolBarName);
}
