// SPDX-License-Identifier: GPL-3.0-or-later
// CReadoutPanel draws one line of large text (a frequency, a note name, a
// deviation) filling a black panel, and keeps the text so the panel can be
// drawn again whenever the form repaints. User-interface thread only.
#pragma once

#include <string>

#include "controls/Canvas.h"

class CReadoutPanel {
public:
    CReadoutPanel() = default;

    // Stores the panel's canvas (borrowed), colours and font face, and sets
    // the format to centring.
    void Setup(ICanvas* pCanvas, Colour background, Colour text, const std::string& face);
    void SetFormat(unsigned nFormat) { m_nFormat = nFormat; }
    // Stores the text and draws it; while the panel's window does not exist,
    // nothing is drawn and the text is not stored either. The text already
    // drawn is not drawn again: the tuner sets the same dashes twice a second.
    void SetText(const std::string& text);
    // Draws the text again, whatever was drawn before.
    void Redraw() {
        m_bDrawn = false;
        SetText(m_strText);
    }

    const std::string& GetText() const { return m_strText; }
    unsigned GetFormat() const { return m_nFormat; }

private:
    ICanvas* m_pCanvas = nullptr;
    unsigned m_nFormat = kTextCenter;
    std::string m_strFace;
    Colour m_textColour;
    Colour m_backColour;
    std::string m_strText;
    bool m_bDrawn = false;  // m_strText is what the canvas shows
};
