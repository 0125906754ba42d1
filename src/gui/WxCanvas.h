// SPDX-License-Identifier: GPL-3.0-or-later
// CWxCanvas lets a display object draw on a wx window. Drawing goes into a
// picture kept for the window (its backing store), and the window's paint
// handler shows that picture, so what was drawn survives every repaint and
// no drawing happens outside a paint event, which GTK 3 does not allow.
// While the window has the keyboard focus, the paint handler lays a focus
// mark over the picture in the toolkit's focus colour. User-interface thread
// only.
#pragma once

#include <functional>
#include <vector>

#include <wx/bitmap.h>
#include <wx/window.h>

#include "controls/Canvas.h"

class wxDC;
class wxFont;

class CWxCanvas : public ICanvas {
public:
    // Takes over painting of the window, which should be a plain wxWindow
    // (native static controls do not let others paint them). The backing
    // store starts as the backdrop picture when one is given, else as the
    // window's background colour.
    explicit CWxCanvas(wxWindow* pWindow, const wxBitmap& backdrop = wxNullBitmap);
    ~CWxCanvas() override;
    CWxCanvas(const CWxCanvas&) = delete;
    CWxCanvas& operator=(const CWxCanvas&) = delete;

    bool IsWindow() const override;
    Rect GetClientRect() const override;
    void FillRect(const Rect& rc, Colour colour) override;
    void DrawText(const std::string& text, const Rect& rc, const FontSpec& font, Colour textColour,
                  Colour backColour, unsigned format) override;
    int TextWidth(const std::string& text, const FontSpec& font) override;

    // The rectangles of the focus mark, asked for at each paint; by default
    // a frame along the window's edges.
    void SetFocusMark(std::function<std::vector<Rect>()> mark) { m_focusMark = std::move(mark); }

    // What the window shows, for tests and screenshots.
    const wxBitmap& GetBackingStore() const { return m_backing; }

    // A font whose cell height (ascent plus descent) on dc is the requested
    // pixel height, within a pixel. Each is found once and then kept.
    static wxFont MakeFont(wxDC& dc, const FontSpec& wanted);

private:
    void EnsureBacking();
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnDestroy(wxWindowDestroyEvent& event);
    void OnFocus(wxFocusEvent& event);

    wxWindow* m_pWindow;
    wxBitmap m_backdrop;
    wxBitmap m_backing;
    std::function<std::vector<Rect>()> m_focusMark;
};
