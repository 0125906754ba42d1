#include "support/RecordingCanvas.h"

void CRecordingCanvas::FillRect(const Rect& rc, Colour colour) {
    Call call;
    call.kind = CallKind::Fill;
    call.rc = rc;
    call.colour = colour;
    m_calls.push_back(call);
}

void CRecordingCanvas::DrawText(const std::string& text, const Rect& rc, const FontSpec& font,
                                Colour textColour, Colour backColour, unsigned format) {
    Call call;
    call.kind = CallKind::Text;
    call.rc = rc;
    call.colour = textColour;
    call.backColour = backColour;
    call.text = text;
    call.font = font;
    call.format = format;
    m_calls.push_back(call);
}

int CRecordingCanvas::TextWidth(const std::string& text, const FontSpec& font) {
    double dWidth = 0.0;
    for (const char ch : text) {
        dWidth += (ch == '.' || ch == ',') ? 0.25 : (ch == '-' || ch == ' ') ? 0.3 : 0.5;
    }
    return static_cast<int>(dWidth * font.nHeight + 0.5);
}

std::vector<CRecordingCanvas::Call> CRecordingCanvas::TextCalls() const {
    std::vector<Call> texts;
    for (const Call& call : m_calls) {
        if (call.kind == CallKind::Text) {
            texts.push_back(call);
        }
    }
    return texts;
}

Colour CRecordingCanvas::PixelAfterFills(int x, int y, Colour fallback) const {
    Colour colour = fallback;
    for (const Call& call : m_calls) {
        if (call.kind == CallKind::Fill && call.rc.Contains(x, y)) {
            colour = call.colour;
        }
    }
    return colour;
}
