#include "gui/WxCanvas.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/settings.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/FocusMark.h"

namespace {

wxColour ToWx(Colour c) {
    return wxColour(c.r, c.g, c.b);
}

wxRect ToWx(const Rect& rc) {
    return wxRect(rc.left, rc.top, rc.Width(), rc.Height());
}

}  // namespace

CWxCanvas::CWxCanvas(wxWindow* pWindow, const wxBitmap& backdrop)
    : m_pWindow(pWindow), m_backdrop(backdrop) {
    if (m_pWindow == nullptr) {
        return;
    }
    m_pWindow->SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_pWindow->Bind(wxEVT_PAINT, &CWxCanvas::OnPaint, this);
    m_pWindow->Bind(wxEVT_SIZE, &CWxCanvas::OnSize, this);
    m_pWindow->Bind(wxEVT_DESTROY, &CWxCanvas::OnDestroy, this);
    m_pWindow->Bind(wxEVT_SET_FOCUS, &CWxCanvas::OnFocus, this);
    m_pWindow->Bind(wxEVT_KILL_FOCUS, &CWxCanvas::OnFocus, this);
    m_focusMark = [this] { return FocusFrame(GetClientRect()); };
    EnsureBacking();
}

CWxCanvas::~CWxCanvas() {
    if (m_pWindow != nullptr) {
        m_pWindow->Unbind(wxEVT_PAINT, &CWxCanvas::OnPaint, this);
        m_pWindow->Unbind(wxEVT_SIZE, &CWxCanvas::OnSize, this);
        m_pWindow->Unbind(wxEVT_DESTROY, &CWxCanvas::OnDestroy, this);
        m_pWindow->Unbind(wxEVT_SET_FOCUS, &CWxCanvas::OnFocus, this);
        m_pWindow->Unbind(wxEVT_KILL_FOCUS, &CWxCanvas::OnFocus, this);
    }
}

bool CWxCanvas::IsWindow() const {
    return m_pWindow != nullptr && !m_pWindow->IsBeingDeleted();
}

Rect CWxCanvas::GetClientRect() const {
    if (!IsWindow()) {
        return Rect{};
    }
    const wxSize size = m_pWindow->GetClientSize();
    return Rect{0, 0, size.GetWidth(), size.GetHeight()};
}

void CWxCanvas::EnsureBacking() {
    if (!IsWindow()) {
        return;
    }
    const wxSize size = m_pWindow->GetClientSize();
    if (size.GetWidth() <= 0 || size.GetHeight() <= 0) {
        return;
    }
    if (m_backing.IsOk() && m_backing.GetSize() == size) {
        return;
    }
    wxBitmap fresh(size, 24);
    wxMemoryDC dc(fresh);
    dc.SetBackground(wxBrush(m_pWindow->GetBackgroundColour()));
    dc.Clear();
    if (m_backdrop.IsOk()) {
        dc.DrawBitmap(m_backdrop, 0, 0, true);
    }
    // Whatever was drawn before a resize stays where it was.
    if (m_backing.IsOk()) {
        dc.DrawBitmap(m_backing, 0, 0, false);
    }
    dc.SelectObject(wxNullBitmap);
    m_backing = fresh;
}

void CWxCanvas::FillRect(const Rect& rc, Colour colour) {
    EnsureBacking();
    if (!IsWindow() || !m_backing.IsOk() || rc.IsEmpty()) {
        return;
    }
    {
        wxMemoryDC dc(m_backing);
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(ToWx(colour)));
        dc.DrawRectangle(ToWx(rc));
    }
    m_pWindow->RefreshRect(ToWx(rc), false);
}

wxFont CWxCanvas::MakeFont(wxDC& dc, const FontSpec& wanted) {
    // Finding the size takes a text layout or three, each a font lookup of
    // the toolkit's: a font found once is kept, as the few the program uses
    // are asked for again at every drawing. Fonts are found on memory
    // drawings of the backing stores only, which all measure alike.
    struct SFound {
        FontSpec m_spec;
        wxFont m_font;
    };
    // Never destroyed: no font is let go after the toolkit has ended.
    static std::vector<SFound>& s_found = *new std::vector<SFound>;
    for (const SFound& found : s_found) {
        if (found.m_spec == wanted) {
            return found.m_font;
        }
    }
    const int nHeight = std::max(wanted.nHeight, 1);
    wxFont font(wxFontInfo(wxSize(0, nHeight))
                    .Family(wxFONTFAMILY_SWISS)
                    .FaceName(wanted.face)
                    .AntiAliased(wanted.quality != FontQuality::Default));
    font.SetNumericWeight(wanted.nWeight);
    // Pixel sizes set the em height; scale so that the cell comes out as
    // tall as asked, as the program's fonts are specified by cell height.
    dc.SetFont(font);
    const int nCell = dc.GetCharHeight();
    if (nCell > 0 && nCell != nHeight) {
        const int nScaled = std::max(
            1, static_cast<int>(std::lround(static_cast<double>(nHeight) * nHeight / nCell)));
        font.SetPixelSize(wxSize(0, nScaled));
        dc.SetFont(font);
        // Rounding inside the font engine can leave the cell a pixel over.
        if (dc.GetCharHeight() > nHeight && nScaled > 1) {
            font.SetPixelSize(wxSize(0, nScaled - 1));
        }
    }
    // A bound, should some caller ever ask for ever new sizes.
    constexpr std::size_t kMaxKept = 64;
    if (s_found.size() >= kMaxKept) {
        s_found.erase(s_found.begin());
    }
    s_found.push_back(SFound{wanted, font});
    return font;
}

int CWxCanvas::TextWidth(const std::string& text, const FontSpec& wanted) {
    // Measured on the backing store where there is one, so the width is the
    // one drawing will give.
    EnsureBacking();
    wxBitmap scratch;
    if (!m_backing.IsOk()) {
        scratch.Create(8, 8, 24);
    }
    wxMemoryDC dc(m_backing.IsOk() ? m_backing : scratch);
    dc.SetFont(MakeFont(dc, wanted));
    return dc.GetTextExtent(wxString::FromUTF8(text)).GetWidth();
}

void CWxCanvas::DrawText(const std::string& text, const Rect& rc, const FontSpec& wanted,
                         Colour textColour, Colour backColour, unsigned format) {
    EnsureBacking();
    if (!IsWindow() || !m_backing.IsOk() || rc.IsEmpty()) {
        return;
    }
    {
        wxMemoryDC dc(m_backing);
        dc.SetFont(MakeFont(dc, wanted));
        dc.SetTextForeground(ToWx(textColour));
        dc.SetTextBackground(ToWx(backColour));
        dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);

        int nAlign = wxALIGN_LEFT;
        if (format & kTextCenter) {
            nAlign = wxALIGN_CENTER_HORIZONTAL;
        } else if (format & kTextRight) {
            nAlign = wxALIGN_RIGHT;
        }
        // Vertical placement other than the top needs single-line mode.
        if (format & kTextSingleLine) {
            if (format & kTextBottom) {
                nAlign |= wxALIGN_BOTTOM;
            } else if (format & kTextVCenter) {
                nAlign |= wxALIGN_CENTER_VERTICAL;
            }
        }
        const wxString label = wxString::FromUTF8(text);
        wxRect rcRefresh = ToWx(rc);
        if (format & kTextNoClip) {
            // Text wider than its rectangle spills past it, but is moved inwards
            // where it would cross the window's edge, so a leading minus sign is
            // never cut off.
            wxRect rcText = ToWx(rc);
            const int nWidth = dc.GetTextExtent(label).GetWidth();
            const int nClient = m_backing.GetWidth();
            if (nWidth > rcText.width && nWidth <= nClient) {
                int nLeft = rcText.x + (rcText.width - nWidth) / 2;
                nLeft = std::max(0, std::min(nLeft, nClient - nWidth));
                rcText = wxRect(nLeft, rcText.y, nWidth, rcText.height);
            }
            wxRect rcBounds;
            dc.DrawLabel(label, wxNullBitmap, rcText, nAlign, -1, &rcBounds);
            rcRefresh.Union(rcBounds);
        } else {
            wxDCClipper clip(dc, ToWx(rc));
            dc.DrawLabel(label, ToWx(rc), nAlign);
        }
        m_pWindow->RefreshRect(rcRefresh, false);
    }
}

void CWxCanvas::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(m_pWindow);
    EnsureBacking();
    if (m_backing.IsOk()) {
        dc.DrawBitmap(m_backing, 0, 0, false);
    }
    if (m_focusMark && m_pWindow->HasFocus()) {
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT)));
        for (const Rect& rc : m_focusMark()) {
            dc.DrawRectangle(ToWx(rc));
        }
    }
}

void CWxCanvas::OnFocus(wxFocusEvent& event) {
    // The mark comes and goes with the focus.
    if (IsWindow()) {
        m_pWindow->Refresh(false);
    }
    event.Skip();
}

void CWxCanvas::OnSize(wxSizeEvent& event) {
    EnsureBacking();
    event.Skip();
}

void CWxCanvas::OnDestroy(wxWindowDestroyEvent& event) {
    if (event.GetEventObject() == m_pWindow) {
        m_pWindow = nullptr;
    }
    event.Skip();
}
