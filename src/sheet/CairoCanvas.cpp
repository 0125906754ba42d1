#include "sheet/CairoCanvas.h"

#include <algorithm>
#include <cmath>

void CCairoCanvas::SetColour(Colour colour) {
    for (const auto& [wanted, drawn] : m_palette) {
        if (wanted == colour) {
            colour = drawn;
            break;
        }
    }
    cairo_set_source_rgb(m_pContext, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

void CCairoCanvas::SelectFont(cairo_t* pContext, const FontSpec& font) {
    cairo_select_font_face(pContext, font.face.c_str(), CAIRO_FONT_SLANT_NORMAL,
                           font.nWeight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(pContext, 1.0);
    cairo_font_extents_t fe;
    cairo_font_extents(pContext, &fe);
    const double cell = fe.ascent + fe.descent;
    cairo_set_font_size(pContext, cell > 0 ? std::max(font.nHeight, 1) / cell : 1.0);
}

void CCairoCanvas::FillRect(const Rect& rc, Colour colour) {
    if (!IsWindow() || rc.IsEmpty()) {
        return;
    }
    SetColour(colour);
    cairo_rectangle(m_pContext, rc.left, rc.top, rc.Width(), rc.Height());
    cairo_fill(m_pContext);
}

int CCairoCanvas::TextWidth(const std::string& text, const FontSpec& font) {
    if (!IsWindow()) {
        return 0;
    }
    cairo_save(m_pContext);
    SelectFont(m_pContext, font);
    cairo_text_extents_t te;
    cairo_text_extents(m_pContext, text.c_str(), &te);
    cairo_restore(m_pContext);
    return static_cast<int>(std::ceil(te.x_advance));
}

void CCairoCanvas::DrawText(const std::string& text, const Rect& rc, const FontSpec& font,
                            Colour textColour, Colour backColour, unsigned format) {
    if (!IsWindow() || rc.IsEmpty()) {
        return;
    }
    cairo_save(m_pContext);
    SelectFont(m_pContext, font);
    cairo_font_extents_t fe;
    cairo_font_extents(m_pContext, &fe);
    cairo_text_extents_t te;
    cairo_text_extents(m_pContext, text.c_str(), &te);
    const double width = te.x_advance;
    const double cell = fe.ascent + fe.descent;

    double left = rc.left;
    if (format & kTextCenter) {
        left = rc.left + (rc.Width() - width) / 2;
    } else if (format & kTextRight) {
        left = rc.right - width;
    }
    // Vertical placement other than the top needs single-line mode.
    double top = rc.top;
    if (format & kTextSingleLine) {
        if (format & kTextBottom) {
            top = rc.bottom - cell;
        } else if (format & kTextVCenter) {
            top = rc.top + (rc.Height() - cell) / 2;
        }
    }
    if (format & kTextNoClip) {
        // Spilling past the cell, but kept inside the drawing so that a
        // leading minus sign is never cut off.
        if (width > rc.Width() && width <= m_rcClient.Width()) {
            left =
                std::max<double>(m_rcClient.left, std::min<double>(left, m_rcClient.right - width));
        }
    } else {
        cairo_rectangle(m_pContext, rc.left, rc.top, rc.Width(), rc.Height());
        cairo_clip(m_pContext);
    }
    // An opaque text background covers the text's own cells.
    SetColour(backColour);
    cairo_rectangle(m_pContext, left, top, width, cell);
    cairo_fill(m_pContext);
    SetColour(textColour);
    cairo_move_to(m_pContext, left, top + fe.ascent);
    cairo_show_text(m_pContext, text.c_str());
    cairo_restore(m_pContext);
}
