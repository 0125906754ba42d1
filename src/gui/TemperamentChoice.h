// SPDX-License-Identifier: GPL-3.0-or-later
// CTemperamentChoice is the temperament list's drop-down: a read-only combo
// box whose popup is a virtual list, drawn row by row as it scrolls. GTK's own
// drop-down builds a menu entry for every row and renumbers all of them for
// each row added, so that thousands of temperaments took minutes to list and
// tens of thousands could not be shown at all. User-interface thread only.
#pragma once

#include <wx/arrstr.h>
#include <wx/odcombo.h>

class CTemperamentChoice : public wxOwnerDrawnComboBox {
public:
    CTemperamentChoice(wxWindow* pParent, wxWindowID id, const wxPoint& pos, const wxSize& size);

    // Replaces every entry with texts, in their order, with no selection.
    void SetAll(const wxArrayString& texts);
};
