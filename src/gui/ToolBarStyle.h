// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the main toolbar compact: flat 16 x 16 pictures with little padding
// and narrow separators, so that its twenty buttons fit across the form. The
// platform's default button padding would make the toolbar, and with it the
// frame, wider than the form. User-interface thread only.
#pragma once

class wxToolBar;

// Call before the tools are added and the toolbar realized.
void ApplyCompactToolBarStyle(wxToolBar* pBar);
