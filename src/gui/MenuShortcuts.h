// SPDX-License-Identifier: GPL-3.0-or-later
// Menu items whose text shows a shortcut that must do nothing. GTK makes a
// working accelerator of every shortcut written into an item's text, and it
// runs that accelerator whenever the control with the focus does not take
// the key first; the program's own key handling never sees the key then.
// These functions keep the hint and take the accelerator away.
// User-interface thread only.
#pragma once

#include <string>

class wxMenuItem;

// Leaves the item's shortcut shown beside its text but bound to nothing.
void ShowShortcutOnly(wxMenuItem* pItem);
// Whether the toolkit would run the item from a key.
bool HasWorkingShortcut(const wxMenuItem* pItem);
// The shortcut shown beside the item's text, as GTK names it ("<Primary>n"),
// or empty.
std::string ShownShortcut(const wxMenuItem* pItem);
