// SPDX-License-Identifier: GPL-3.0-or-later
// CTemperamentDlg is the logic of the temperament editor: twelve fifth offsets
// typed by the user, the comma they leave open, and the Save path that checks
// the entries, asks for confirmation and writes the temperament. The window
// layer shows it and forwards the user's actions. User-interface thread only.
#pragma once

#include <array>
#include <string>

#include "presenter/MessageHost.h"

class CTemperament;

class CTemperamentDlg {
public:
    // What the dialog does after Save.
    enum SaveResult {
        kStayOpen,   // a question was answered No, or a refusal was shown
        kFocusName,  // no name: the name field takes the focus, its text selected
        kClose,      // saved: the dialog closes with OK
    };

    // An empty name opens the dialog for a new temperament; otherwise the
    // named temperament is edited in place.
    CTemperamentDlg(const std::string& name, CTemperament* pTemperament);

    // Dialog start: the caption, and the remaining comma computed.
    std::string OnInitDialog();
    // Sums the offsets and the comma; sets the remaining comma and its text.
    void UpdateRemainingComma();
    // Data exchange into offset k; false when the text is not a number.
    bool SetOffsetText(int k, const std::string& text);
    std::string GetOffsetText(int k) const;
    // The Save button.
    SaveResult OnSave(IMessageHost& host);
    // Name and temperament text of a saved dialog; false when nothing was saved.
    bool GetResult(std::string& name, std::string& text) const;

    bool IsEditMode() const { return m_bEditMode; }
    // Whether the name can be edited (only for a new temperament).
    bool NameEnabled() const { return !m_bEditMode; }

    std::array<double, 12> m_adOffsets{};
    std::string m_strRemainingComma = "24 cents";
    std::string m_strName;
    double m_dRemainingComma = 24.0;

private:
    // The confirmation for a comma that is not closed, or for a closed one.
    std::string Question() const;

    CTemperament* m_pTemperament = nullptr;
    bool m_bEditMode = false;
    bool m_bSaved = false;
};
