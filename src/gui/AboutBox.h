// SPDX-License-Identifier: GPL-3.0-or-later
// CAboutBox is the "About Klavora" window: the version in a group box, the
// program's picture, the makers' notice, an acknowledgement and the
// disclaimer in two read-only text boxes, and OK. User-interface thread only.
#pragma once

#include <wx/dialog.h>

class wxTextCtrl;

class CAboutBox : public wxDialog {
public:
    explicit CAboutBox(wxWindow* pParent);

    static const char* const kNotice;
    static const char* const kAcknowledgement;
    static const char* const kDisclaimer;

    wxTextCtrl* Acknowledgement() const { return m_pAcknowledgement; }
    wxTextCtrl* Disclaimer() const { return m_pDisclaimer; }

private:
    wxTextCtrl* m_pAcknowledgement = nullptr;
    wxTextCtrl* m_pDisclaimer = nullptr;
};
