#include "gui/UpDownButton.h"

#include <algorithm>

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

CUpDownButton::CUpDownButton(wxWindow* pParent, int id, const wxPoint& pos, const wxSize& size,
                             std::function<void(int)> fnStep)
    : wxWindow(pParent, id, pos, size, wxBORDER_NONE), m_fnStep(std::move(fnStep)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CUpDownButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CUpDownButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CUpDownButton::OnLeftDown, this);
    Bind(wxEVT_KEY_DOWN, &CUpDownButton::OnKey, this);
    Bind(wxEVT_SET_FOCUS, &CUpDownButton::OnFocusChange, this);
    Bind(wxEVT_KILL_FOCUS, &CUpDownButton::OnFocusChange, this);
}

void CUpDownButton::AttachBuddy(wxTextCtrl* pBuddy) {
    m_pBuddy = pBuddy;
    pBuddy->Bind(wxEVT_KEY_DOWN, &CUpDownButton::OnKey, this);
}

void CUpDownButton::Step(int delta) {
    if (IsEnabled() && m_fnStep) {
        m_fnStep(delta);
    }
}

void CUpDownButton::StepRepeatedly(int delta, int nTimes) {
    for (int i = 0; i < nTimes; ++i) {
        const wxString before = m_pBuddy != nullptr ? m_pBuddy->GetValue() : wxString();
        Step(delta);
        if (m_pBuddy == nullptr || m_pBuddy->GetValue() == before) {
            break;
        }
    }
}

void CUpDownButton::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    const int half = size.GetHeight() / 2;
    wxRendererNative& renderer = wxRendererNative::Get();
    const int flags = IsEnabled() ? 0 : static_cast<int>(wxCONTROL_DISABLED);
    dc.SetBackground(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
    dc.Clear();
    const wxRect upper(0, 0, size.GetWidth(), half);
    const wxRect lower(0, half, size.GetWidth(), size.GetHeight() - half);
    renderer.DrawPushButton(this, dc, upper, flags);
    renderer.DrawPushButton(this, dc, lower, flags);

    // With the focus the arrows and a frame round them take the selection
    // colour: the control is too narrow for a dotted focus rectangle to show.
    const bool bFocus = HasFocus();
    const wxColour arrow = wxSystemSettings::GetColour(!IsEnabled() ? wxSYS_COLOUR_GRAYTEXT
                                                       : bFocus     ? wxSYS_COLOUR_HIGHLIGHT
                                                                    : wxSYS_COLOUR_BTNTEXT);
    if (bFocus) {
        dc.SetPen(wxPen(arrow, 2));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(size).Deflate(1));
    }
    dc.SetPen(wxPen(arrow));
    dc.SetBrush(wxBrush(arrow));
    const int cx = size.GetWidth() / 2;
    const int w = std::max(2, std::min(size.GetWidth() / 3, half / 2));
    const int upY = half / 2;
    const int downY = half + (size.GetHeight() - half) / 2;
    const wxPoint up[3] = {{cx - w, upY + w / 2}, {cx + w, upY + w / 2}, {cx, upY - w / 2}};
    const wxPoint down[3] = {{cx - w, downY - w / 2}, {cx + w, downY - w / 2}, {cx, downY + w / 2}};
    dc.DrawPolygon(3, up);
    dc.DrawPolygon(3, down);
}

void CUpDownButton::OnLeftDown(wxMouseEvent& event) {
    Step(event.GetY() < GetClientSize().GetHeight() / 2 ? -1 : +1);
}

void CUpDownButton::OnKey(wxKeyEvent& event) {
    // Enough steps to cross the whole range of either value.
    constexpr int kPageSteps = 10;
    constexpr int kRangeSteps = 1000;
    switch (event.GetKeyCode()) {
        case WXK_UP:
        case WXK_NUMPAD_UP:
            Step(-1);
            break;
        case WXK_DOWN:
        case WXK_NUMPAD_DOWN:
            Step(+1);
            break;
        case WXK_PAGEUP:
        case WXK_NUMPAD_PAGEUP:
            StepRepeatedly(-1, kPageSteps);
            break;
        case WXK_PAGEDOWN:
        case WXK_NUMPAD_PAGEDOWN:
            StepRepeatedly(+1, kPageSteps);
            break;
        case WXK_END:
        case WXK_NUMPAD_END:
            StepRepeatedly(-1, kRangeSteps);
            break;
        case WXK_HOME:
        case WXK_NUMPAD_HOME:
            StepRepeatedly(+1, kRangeSteps);
            break;
        default:
            event.Skip();
            break;
    }
}

void CUpDownButton::OnFocusChange(wxFocusEvent& event) {
    Refresh();
    event.Skip();
}
