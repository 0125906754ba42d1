// SPDX-License-Identifier: GPL-3.0-or-later
// CScalaImportWindow shows what a Scala file holds before it is imported: its
// description, the twelve notes in cents above C, the fifths they imply as
// offsets in the window's arithmetic and the comma left, with the name to
// give the temperament. The logic (CScalaImportDlg) decides everything; this
// window shows it and acts on the result of Import. User-interface thread
// only.
#pragma once

#include <wx/dialog.h>

class CScalaImportDlg;
class IMessageHost;
class wxTextCtrl;

class CScalaImportWindow : public wxDialog {
public:
    CScalaImportWindow(wxWindow* pParent, CScalaImportDlg& dlg, IMessageHost& host);

    wxTextCtrl* NameEdit() const { return m_pName; }
    // The Import button.
    void Import();

private:
    void CreateControls();

    CScalaImportDlg& m_dlg;
    IMessageHost& m_host;
    wxTextCtrl* m_pName = nullptr;
};
