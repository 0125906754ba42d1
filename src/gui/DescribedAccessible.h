// SPDX-License-Identifier: GPL-3.0-or-later
// The accessible objects GTK hands out, in place of its own, for the wx
// windows that the toolkit can only call unnamed panels: the drawn controls,
// the temperament list, the status bar. Each is GTK's accessible of a
// container widget (so position, focus and visibility stay GTK's) with the
// text interface and, where asked, the value interface, both fed from a
// description the caller tells it. User-interface thread only.
#pragma once

#include <atk/atk.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "presenter/AccessibleForm.h"

// Makes the widget (a container) answer with an object of its own, with the
// value interface when bHasValue; null for a widget that is no container or
// answers so already. The widget holds the object.
AtkObject* InstallDescribedAccessible(GtkWidget* widget, bool bHasValue);
// A new description, with the events that let a screen reader follow it.
void TellDescription(AtkObject* object, const SAccessibleState& state);
// Enabled or not, whatever the toolkit thinks of the widget.
void SetDescribedEnabled(AtkObject* object, bool enabled);
// Reads the text (and the name) from fnText whenever asked, instead.
void SetDescribedTextSource(AtkObject* object, std::function<std::string()> fnText);
// Has a screen reader say text now (where ATK can: from version 2.46 on).
void Announce(AtkObject* object, const std::string& text);
AtkRole AtkRoleOf(AccessibleRole role);
