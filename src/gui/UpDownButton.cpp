#include "gui/UpDownButton.h"

#include <algorithm>

#include <wx/dcbuffer.h>
#include <wx/renderer.h>
#include <wx/settings.h>

CUpDownButton::CUpDownButton(wxWindow* pParent, int id, const wxPoint& pos, const wxSize& size,
                             std::function<void(int)> fnStep)
    : wxWindow(pParent, id, pos, size, wxBORDER_NONE), m_fnStep(std::move(fnStep)) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CUpDownButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CUpDownButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CUpDownButton::OnLeftDown, this);
}

void CUpDownButton::AttachBuddy(wxWindow* pBuddy) {
    pBuddy->Bind(wxEVT_KEY_DOWN, &CUpDownButton::OnBuddyKey, this);
}

void CUpDownButton::Step(int delta) {
    if (IsEnabled() && m_fnStep) {
        m_fnStep(delta);
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

    const wxColour arrow =
        wxSystemSettings::GetColour(IsEnabled() ? wxSYS_COLOUR_BTNTEXT : wxSYS_COLOUR_GRAYTEXT);
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

void CUpDownButton::OnBuddyKey(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case WXK_UP:
        case WXK_NUMPAD_UP:
            Step(-1);
            break;
        case WXK_DOWN:
        case WXK_NUMPAD_DOWN:
            Step(+1);
            break;
        default:
            event.Skip();
            break;
    }
}
