// SPDX-License-Identifier: GPL-3.0-or-later
// CFineTunerFace draws the Fine Tuner's face: the note, the deviation in
// large figures, a meter with the in-tune band, a strobe-like band that moves
// right when sharp and left when flat, the frequency and its target, and a
// footer with the temperament and the clock's calibration; while a sound
// plays, the beat rates of what sounds instead. The face is dark whatever
// the desktop's theme, as a tuner's display is, and every size follows the
// window's, so it reads from the instrument's bench. Drawing goes through
// the canvas interface. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/Canvas.h"

// What the face shows; the presenter fills it in, the face only draws it.
struct SFineFace {
    enum class EState { Off, NoReading, Live, Held, Playing };

    EState state = EState::Off;
    std::string status;   // top left: "Listening", "Held", "Not listening"...
    std::string mode;     // top right: what the readings are measured against
    std::string note;     // "A4"; empty for none
    std::string cents;    // the deviation's figures, or dashes
    std::string unit;     // "cents flat", "cents sharp", "cents"
    bool bValue = false;  // a deviation to mark on the meter (live or held)
    double dCents = 0.0;  // the deviation as shown, to 0.1
    bool bInTune = false;
    double dInTuneCents = 1.0;
    std::string hertz;               // "412.00 Hz"
    std::string target;              // "Target 415.00 Hz"
    int nStrobeStep = 0;             // the strobe band's phase, 0 .. kStrobeSteps - 1
    std::vector<std::string> lines;  // while playing: what sounds
    std::string footer;              // the temperament and Standard A
    std::string clock;               // the clock's calibration

    friend bool operator==(const SFineFace& a, const SFineFace& b) {
        return a.state == b.state && a.status == b.status && a.mode == b.mode && a.note == b.note &&
               a.cents == b.cents && a.unit == b.unit && a.bValue == b.bValue &&
               a.dCents == b.dCents && a.bInTune == b.bInTune && a.dInTuneCents == b.dInTuneCents &&
               a.hertz == b.hertz && a.target == b.target && a.nStrobeStep == b.nStrobeStep &&
               a.lines == b.lines && a.footer == b.footer && a.clock == b.clock;
    }
    friend bool operator!=(const SFineFace& a, const SFineFace& b) { return !(a == b); }
};

class CFineTunerFace {
public:
    // Steps of the strobe band's phase in one stripe period.
    static constexpr int kStrobeSteps = 48;
    // The meter's scale, either side of zero, in cents.
    static constexpr double kMeterCents = 10.0;

    static constexpr Colour kBackground = MakeColour(24, 26, 30);
    static constexpr Colour kText = MakeColour(236, 238, 240);
    static constexpr Colour kDim = MakeColour(138, 144, 154);
    static constexpr Colour kDashes = MakeColour(96, 100, 108);
    static constexpr Colour kInTune = MakeColour(72, 222, 142);
    static constexpr Colour kOutOfTune = MakeColour(255, 184, 76);
    static constexpr Colour kHeld = MakeColour(142, 170, 214);
    static constexpr Colour kTrack = MakeColour(50, 54, 62);
    static constexpr Colour kBand = MakeColour(34, 96, 70);
    static constexpr Colour kBandInTune = MakeColour(44, 140, 96);
    static constexpr Colour kTick = MakeColour(100, 106, 116);
    static constexpr Colour kStripe = MakeColour(74, 80, 92);
    static constexpr Colour kStripeInTune = MakeColour(52, 150, 104);

    // Where each part of the face lies in a client area.
    struct SLayout {
        Rect header;
        Rect note;
        Rect cents;
        Rect unit;
        Rect meter;  // the bar itself
        Rect scale;  // its labels
        Rect strobe;
        Rect hertz;
        Rect target;
        Rect footer;
        Rect lines;  // while playing: from the top of the note to the strobe's bottom
    };
    static SLayout Layout(const Rect& client);
    // The column of the meter's rectangle at which a deviation lies, pinned
    // at the ends beyond the scale.
    static int MeterColumn(const Rect& meter, double dCents);
    // The colour of the deviation's figures and the meter's mark.
    static Colour ValueColour(const SFineFace& face);

    // Draws the whole face over the canvas's client area.
    static void Draw(ICanvas& canvas, const SFineFace& face);

private:
    static void DrawMeter(ICanvas& canvas, const SLayout& l, const SFineFace& face);
    static void DrawStrobe(ICanvas& canvas, const Rect& rc, const SFineFace& face);
    static void DrawLines(ICanvas& canvas, const Rect& rc, const std::vector<std::string>& lines);
};
