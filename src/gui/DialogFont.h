// SPDX-License-Identifier: GPL-3.0-or-later
// The font of the main form and the dialog windows: the system's GUI font,
// made smaller where needed so that its average character fits the 6 x 13
// pixel base units the layouts are measured in; and the row of buttons they
// share. User-interface thread only.
#pragma once

#include <initializer_list>

#include <wx/font.h>

wxFont MakeDialogFont();

class wxWindow;

// The height of a one-line edit in the dialogs: the font's line with a
// little room around it, rather than the theme's roomier default.
int CompactEditHeight(const wxWindow* pWindow);

class wxBoxSizer;

// The dialogs' row of buttons: at the right, in the order given (the order
// Tab follows), two gaps apart.
wxBoxSizer* ButtonRow(std::initializer_list<wxWindow*> buttons, int gap);
