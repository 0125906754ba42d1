#include "controls/ReadoutPanel.h"

void CReadoutPanel::Setup(ICanvas* pCanvas, Colour background, Colour text,
                          const std::string& face) {
    m_pCanvas = pCanvas;
    m_backColour = background;
    m_textColour = text;
    m_strFace = face;
    m_nFormat = kTextCenter;
    m_bDrawn = false;
}

void CReadoutPanel::SetText(const std::string& text) {
    if (m_pCanvas == nullptr || !m_pCanvas->IsWindow()) {
        return;
    }
    if (m_bDrawn && text == m_strText) {
        return;
    }
    m_strText = text;
    m_bDrawn = true;
    // One pixel of the panel's edge stays untouched on every side.
    const Rect rc = m_pCanvas->GetClientRect().Deflated(1);
    m_pCanvas->FillRect(rc, m_backColour);
    // A font as tall as the panel, so the text fills it from the top.
    const FontSpec font{m_strFace, rc.Height(), kFontWeightNormal, FontQuality::Antialiased};
    m_pCanvas->DrawText(m_strText, rc, font, m_textColour, m_backColour, m_nFormat | kTextVCenter);
}
