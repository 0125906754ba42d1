// SPDX-License-Identifier: GPL-3.0-or-later
// CRecordingCanvas keeps every call made on it, so tests can check what a
// display object drew without a window system. Single-threaded.
#pragma once

#include <string>
#include <vector>

#include "controls/Canvas.h"

class CRecordingCanvas : public ICanvas {
public:
    enum class CallKind { Fill, Text };

    struct Call {
        CallKind kind = CallKind::Fill;
        Rect rc;
        // The fill colour, or the text colour of a text call.
        Colour colour;
        // Text calls only.
        Colour backColour;
        std::string text;
        FontSpec font;
        unsigned format = 0;
    };

    explicit CRecordingCanvas(Rect rcClient = Rect{0, 0, 100, 100}) : m_rcClient(rcClient) {}

    bool IsWindow() const override { return m_bWindowExists; }
    Rect GetClientRect() const override { return m_rcClient; }
    void FillRect(const Rect& rc, Colour colour) override;
    void DrawText(const std::string& text, const Rect& rc, const FontSpec& font, Colour textColour,
                  Colour backColour, unsigned format) override;
    // An estimate from typical proportions of a sans-serif face: digits half
    // the cell height wide, points and signs narrower.
    int TextWidth(const std::string& text, const FontSpec& font) override;

    void SetWindowExists(bool bExists) { m_bWindowExists = bExists; }
    void SetClientRect(const Rect& rc) { m_rcClient = rc; }

    const std::vector<Call>& Calls() const { return m_calls; }
    void Clear() { m_calls.clear(); }
    // The text calls only, in order.
    std::vector<Call> TextCalls() const;
    // The colour the fills leave at one pixel, or fallback when no fill
    // covered it. Text is not rasterised.
    Colour PixelAfterFills(int x, int y, Colour fallback) const;

private:
    bool m_bWindowExists = true;
    Rect m_rcClient;
    std::vector<Call> m_calls;
};
