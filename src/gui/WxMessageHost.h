// SPDX-License-Identifier: GPL-3.0-or-later
// CWxMessageHost shows the message boxes the view and the dialog logic ask
// for as wx message dialogs: the text (with "\r\n" line breaks), the caption,
// OK or Yes and No, and the exclamation or information icon. The answer comes
// back as IDOK, IDYES or IDNO. User-interface thread only.
#pragma once

#include <string>

#include "presenter/MessageHost.h"

class wxWindow;

class CWxMessageHost : public IMessageHost {
public:
    // The window the boxes are shown over; null lets wx choose the active one.
    void SetParent(wxWindow* pParent) { m_pParent = pParent; }
    wxWindow* GetParent() const { return m_pParent; }

    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;

    // The wx style bits for a message-box type.
    static long StyleOf(unsigned type);

private:
    wxWindow* m_pParent = nullptr;
};
