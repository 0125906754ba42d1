// SPDX-License-Identifier: GPL-3.0-or-later
// CStandardAWindow is the small window in which the user changes Standard A:
// one edit with its labels, OK and Cancel. The logic (CStandardADlg) accepts
// or refuses the value; this window shows the refusals' consequences in the
// edit. User-interface thread only.
#pragma once

#include <wx/dialog.h>

class CStandardADlg;
class IMessageHost;
class wxTextCtrl;

class CStandardAWindow : public wxDialog {
public:
    CStandardAWindow(wxWindow* pParent, CStandardADlg& dlg, IMessageHost& host);

    wxTextCtrl* Edit() const { return m_pEdit; }
    // The OK button: closes with OK only for an accepted value.
    void Accept();

private:
    // Gives the edit the focus with all its text selected.
    void SelectEdit();

    CStandardADlg& m_dlg;
    IMessageHost& m_host;
    wxTextCtrl* m_pEdit = nullptr;
};
