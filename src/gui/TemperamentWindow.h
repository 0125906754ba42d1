// SPDX-License-Identifier: GPL-3.0-or-later
// CTemperamentWindow is the window of the temperament editor: the name, the
// twelve fifth offsets with their labels, the remaining comma and the Save,
// Cancel and Help buttons. The logic (CTemperamentDlg) decides everything;
// this window moves text between the edits and the logic and acts on the
// result of Save. User-interface thread only.
#pragma once

#include <array>

#include <wx/dialog.h>

class CTemperamentDlg;
class IMessageHost;
class wxStaticBox;
class wxStaticText;
class wxTextCtrl;

class CTemperamentWindow : public wxDialog {
public:
    CTemperamentWindow(wxWindow* pParent, CTemperamentDlg& dlg, IMessageHost& host);

    wxTextCtrl* NameEdit() const { return m_pName; }
    wxTextCtrl* OffsetEdit(int k) const { return m_apOffsets[static_cast<std::size_t>(k)]; }
    wxStaticText* CommaText() const { return m_pComma; }

    // What leaving an offset edit does: reads every edit (an unreadable one
    // is reported and shows its previous value again) and recomputes the
    // remaining comma.
    void LeaveOffsetEdit();
    // The Save button.
    void Save();

private:
    void CreateControls();
    // Reads the name and the offsets into the logic; an offset that is not a
    // number is reported, keeps its previous value and takes the focus.
    bool ReadControls();
    // Shows the logic's values in the edits and the remaining comma.
    void FillControls();

    // Runs the leave of an offset edit that is still waiting, before a
    // button shows something of its own: its message about an unreadable
    // entry must not come up over that. False when an entry was unreadable
    // (reported, the edit has the focus again).
    bool FinishPendingLeave();

    void OnOffsetKillFocus(wxFocusEvent& event);
    void OnNameChanged(wxCommandEvent& event);

    CTemperamentDlg& m_dlg;
    IMessageHost& m_host;
    wxTextCtrl* m_pName = nullptr;
    std::array<wxTextCtrl*, 12> m_apOffsets{};
    wxStaticText* m_pComma = nullptr;
    wxStaticBox* m_pNameGroup = nullptr;
    // Set while a leave is being handled, so the focus moving to a message
    // box does not start another one.
    bool m_bLeaving = false;
    // A leave is waiting to be handled; and whether the last one read every
    // entry.
    bool m_bLeavePending = false;
    bool m_bLastReadGood = true;
};
