#include "controls/FineTunerFace.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const kFace = "DejaVu Sans";
constexpr int kSmallestFont = 7;
// The widest deviation the figures take, so that their size stays put while
// the digits change.
const char* const kWidestCents =
    "\xE2\x88\x92"
    "88.8";
const char* const kWidestNote = "C#8";
constexpr Colour kStripeIdle = MakeColour(58, 62, 72);

FontSpec Font(int nHeight, bool bBold) {
    FontSpec font;
    font.face = kFace;
    font.nHeight = std::max(nHeight, kSmallestFont);
    font.nWeight = bBold ? kFontWeightBold : kFontWeightNormal;
    font.quality = FontQuality::Antialiased;
    return font;
}

// The tallest font up to nHeight in which sample fits nWidth.
FontSpec Fitted(ICanvas& canvas, const std::string& sample, int nHeight, int nWidth, bool bBold) {
    FontSpec font = Font(nHeight, bBold);
    for (int i = 0; i < 3; ++i) {
        const int nText = canvas.TextWidth(sample, font);
        if (nText <= nWidth || nText <= 0 || font.nHeight <= kSmallestFont) {
            break;
        }
        font.nHeight = std::max(kSmallestFont, font.nHeight * nWidth / nText);
    }
    return font;
}

void Text(ICanvas& canvas, const std::string& text, const Rect& rc, const FontSpec& font,
          Colour colour, unsigned nAlign) {
    if (!text.empty() && !rc.IsEmpty()) {
        canvas.DrawText(text, rc, font, colour, CFineTunerFace::kBackground,
                        nAlign | kTextVCenter | kTextSingleLine);
    }
}

int Share(int nTotal, double dShare, int nLeast) {
    return std::max(nLeast, static_cast<int>(nTotal * dShare));
}

}  // namespace

CFineTunerFace::SLayout CFineTunerFace::Layout(const Rect& c) {
    SLayout l;
    const int nWidth = c.Width();
    const int nHeight = c.Height();
    const int pad = std::max(6, std::min(nWidth, nHeight) / 36);
    const int x0 = c.left + pad;
    const int x1 = c.right - pad;
    int y = c.top + pad;
    auto take = [&](double dShare, int nLeast) {
        const Rect rc{x0, y, x1, y + Share(nHeight, dShare, nLeast)};
        y = rc.bottom;
        return rc;
    };
    l.header = take(0.075, 12);
    y += pad / 2;
    const Rect main = take(0.38, 30);
    l.note = Rect{x0, main.top, x0 + (x1 - x0) * 3 / 10, main.bottom};
    const int centsLeft = l.note.right + pad;
    const int centsBottom = main.top + main.Height() * 4 / 5;
    l.cents = Rect{centsLeft, main.top, x1, centsBottom};
    l.unit = Rect{centsLeft, centsBottom, x1, main.bottom};
    y += pad;
    l.meter = take(0.11, 10);
    l.scale = take(0.055, 10);
    y += pad / 2;
    l.strobe = take(0.075, 8);
    y += pad;
    const Rect numbers = take(0.095, 12);
    const int middle = (x0 + x1) / 2;
    l.hertz = Rect{x0, numbers.top, middle, numbers.bottom};
    l.target = Rect{middle, numbers.top, x1, numbers.bottom};
    const int footer = Share(nHeight, 0.055, 10);
    l.footer = Rect{x0, std::max(y, c.bottom - pad - footer), x1, c.bottom - pad};
    l.lines = Rect{x0, main.top, x1, l.strobe.bottom};
    return l;
}

int CFineTunerFace::MeterColumn(const Rect& meter, double dCents) {
    const double c = std::isfinite(dCents) ? std::clamp(dCents, -kMeterCents, kMeterCents)
                     : dCents > 0          ? kMeterCents
                                           : -kMeterCents;
    const double t = (c + kMeterCents) / (2 * kMeterCents);
    return meter.left + static_cast<int>(std::lround(t * (meter.Width() - 1)));
}

Colour CFineTunerFace::ValueColour(const SFineFace& face) {
    switch (face.state) {
        case SFineFace::EState::Live:
            return face.bInTune ? kInTune : kOutOfTune;
        case SFineFace::EState::Held:
            return kHeld;
        default:
            return kDashes;
    }
}

void CFineTunerFace::Draw(ICanvas& canvas, const SFineFace& face) {
    if (!canvas.IsWindow()) {
        return;
    }
    const Rect client = canvas.GetClientRect();
    if (client.IsEmpty()) {
        return;
    }
    canvas.FillRect(client, kBackground);
    const SLayout l = Layout(client);
    const bool bPlaying = face.state == SFineFace::EState::Playing;

    // The header: what the tuner is doing, and against what it measures.
    const FontSpec header = Font(l.header.Height() * 4 / 5, true);
    const Colour statusColour = face.state == SFineFace::EState::Live   ? kText
                                : face.state == SFineFace::EState::Held ? kHeld
                                                                        : kDim;
    Text(canvas, face.status, l.header, header, statusColour, kTextLeft);
    Text(canvas, face.mode, l.header, Font(l.header.Height() * 4 / 5, false), kDim, kTextRight);

    if (bPlaying) {
        DrawLines(canvas, l.lines, face.lines);
    } else {
        const Colour value = ValueColour(face);
        const Colour noteColour = face.state == SFineFace::EState::Live   ? kText
                                  : face.state == SFineFace::EState::Held ? kHeld
                                                                          : kDim;
        Text(canvas, face.note, l.note,
             Fitted(canvas, kWidestNote, l.note.Height() * 3 / 4, l.note.Width(), true), noteColour,
             kTextLeft);
        Text(canvas, face.cents, l.cents,
             Fitted(canvas, kWidestCents, l.cents.Height(), l.cents.Width(), true), value,
             kTextRight);
        Text(canvas, face.unit, l.unit, Font(l.unit.Height() * 4 / 5, false), kDim, kTextRight);
        DrawMeter(canvas, l, face);
        DrawStrobe(canvas, l.strobe, face);
    }

    const FontSpec numbers = Font(l.hertz.Height() * 4 / 5, false);
    Text(canvas, face.hertz, l.hertz, numbers,
         face.state == SFineFace::EState::Live || bPlaying ? kText
         : face.state == SFineFace::EState::Held           ? kHeld
                                                           : kDim,
         kTextLeft);
    Text(canvas, face.target, l.target, numbers, kDim, kTextRight);
    const FontSpec footer = Font(l.footer.Height() * 4 / 5, false);
    Text(canvas, face.footer, l.footer, footer, kDim, kTextLeft);
    Text(canvas, face.clock, l.footer, footer, kDim, kTextRight);
}

void CFineTunerFace::DrawMeter(ICanvas& canvas, const SLayout& l, const SFineFace& face) {
    const Rect& m = l.meter;
    canvas.FillRect(m, kTrack);
    // The in-tune band, brighter while the tone lies in it.
    const int bandLeft = MeterColumn(m, -face.dInTuneCents);
    const int bandRight = MeterColumn(m, face.dInTuneCents) + 1;
    const bool bLive = face.state == SFineFace::EState::Live;
    canvas.FillRect(Rect{bandLeft, m.top, bandRight, m.bottom},
                    bLive && face.bInTune ? kBandInTune : kBand);
    // A tick every cent, taller every five; the zero line across.
    const int nScale = static_cast<int>(kMeterCents);
    for (int c = -nScale; c <= nScale; ++c) {
        const int x = MeterColumn(m, c);
        const int h = c == 0 ? m.Height() : c % 5 == 0 ? m.Height() / 2 : m.Height() / 4;
        canvas.FillRect(Rect{x - (c == 0 ? 1 : 0), m.bottom - h, x + 1, m.bottom},
                        c == 0 ? kDim : kTick);
    }
    if (face.bValue) {
        const int x = MeterColumn(m, face.dCents);
        const int w = std::max(3, m.Width() / 120);
        canvas.FillRect(Rect{x - w / 2, m.top, x - w / 2 + w, m.bottom}, ValueColour(face));
    }
    const FontSpec font = Font(l.scale.Height() * 4 / 5, false);
    const int labelWidth = std::max(20, l.scale.Height() * 3);
    for (int c = -nScale; c <= nScale; c += 5) {
        const int x = MeterColumn(m, c);
        std::string label =
            c == 0 ? "0" : (c < 0 ? "\xE2\x88\x92" : "+") + std::to_string(std::abs(c));
        Rect rc{x - labelWidth / 2, l.scale.top, x + labelWidth / 2, l.scale.bottom};
        unsigned align = kTextCenter;
        if (c == -nScale) {
            rc = Rect{m.left, l.scale.top, m.left + labelWidth, l.scale.bottom};
            align = kTextLeft;
        } else if (c == nScale) {
            rc = Rect{m.right - labelWidth, l.scale.top, m.right, l.scale.bottom};
            align = kTextRight;
        }
        Text(canvas, label, rc, font, kDim, align);
    }
}

void CFineTunerFace::DrawStrobe(ICanvas& canvas, const Rect& rc, const SFineFace& face) {
    canvas.FillRect(rc, kTrack);
    const int period = std::max(8, rc.Height() * 2);
    const int half = period / 2;
    const int offset =
        ((face.nStrobeStep % kStrobeSteps + kStrobeSteps) % kStrobeSteps) * period / kStrobeSteps;
    const Colour stripe = face.state != SFineFace::EState::Live ? kStripeIdle
                          : face.bInTune                        ? kStripeInTune
                                                                : kStripe;
    for (int x = rc.left - period + offset; x < rc.right; x += period) {
        const Rect s{std::max(x, rc.left), rc.top, std::min(x + half, rc.right), rc.bottom};
        if (!s.IsEmpty()) {
            canvas.FillRect(s, stripe);
        }
    }
}

void CFineTunerFace::DrawLines(ICanvas& canvas, const Rect& rc,
                               const std::vector<std::string>& lines) {
    if (lines.empty() || rc.IsEmpty()) {
        return;
    }
    const int n = static_cast<int>(lines.size());
    const int slot = rc.Height() / std::max(n, 2);
    std::string longest;
    for (const std::string& line : lines) {
        if (line.size() > longest.size()) {
            longest = line;
        }
    }
    const FontSpec font = Fitted(canvas, longest, slot * 11 / 20, rc.Width(), false);
    // The lines stand together in the middle of the space.
    int y = rc.top + (rc.Height() - slot * n) / 2;
    for (const std::string& line : lines) {
        Text(canvas, line, Rect{rc.left, y, rc.right, y + slot}, font, kText, kTextCenter);
        y += slot;
    }
}
