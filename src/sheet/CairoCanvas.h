// SPDX-License-Identifier: GPL-3.0-or-later
// CCairoCanvas lets the display objects draw onto a cairo context, so that a
// printed page shows the very picture the window shows, as vector drawing.
// The caller places and scales the drawing with the context's transformation;
// the canvas works in the object's own pixel coordinates. A palette may swap
// colours, so that a picture drawn light on black on screen prints dark on
// white paper. One thread at a time.
#pragma once

#include <cairo.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/Canvas.h"

class CCairoCanvas : public ICanvas {
public:
    // The context is borrowed and must outlive the canvas.
    CCairoCanvas(cairo_t* pContext, Rect rcClient) : m_pContext(pContext), m_rcClient(rcClient) {}

    // Each pair maps a colour the objects ask for to the colour drawn.
    void SetPalette(std::vector<std::pair<Colour, Colour>> palette) {
        m_palette = std::move(palette);
    }

    bool IsWindow() const override { return m_pContext != nullptr; }
    Rect GetClientRect() const override { return m_rcClient; }
    void FillRect(const Rect& rc, Colour colour) override;
    void DrawText(const std::string& text, const Rect& rc, const FontSpec& font, Colour textColour,
                  Colour backColour, unsigned format) override;
    int TextWidth(const std::string& text, const FontSpec& font) override;

    // Selects the font on a context with its cell (ascent plus descent) as
    // tall as asked, as the display objects give their fonts.
    static void SelectFont(cairo_t* pContext, const FontSpec& font);

private:
    void SetColour(Colour colour);

    cairo_t* m_pContext;
    Rect m_rcClient;
    std::vector<std::pair<Colour, Colour>> m_palette;
};
