// SPDX-License-Identifier: GPL-3.0-or-later
// The notes of one octave as a survey of an instrument measured them: for
// each pitch class C to B, how far it lies from equal temperament at a
// reference pitch (the Standard A the notes were named from), how many times
// it was heard and how far its readings spread. Octaves count as pure, so a
// note heard in any octave lands in its pitch class. Plain data; any thread.
#pragma once

#include <array>
#include <cmath>

struct SSurveyNotes {
    // The Standard A the notes were named from: each note is the nearest
    // note of equal temperament at this pitch.
    double dReferenceA = 415.0;
    // Cents from equal temperament at dReferenceA, -50..50; NaN when the
    // note was not measured.
    std::array<double, 12> adCents;
    // Times the note was heard steadily (0 when not measured).
    std::array<int, 12> anHeard{};
    // The range of the steady readings the note rests on, in cents.
    std::array<double, 12> adSpread{};

    SSurveyNotes() { adCents.fill(NAN); }

    bool Measured(int note) const { return !std::isnan(adCents[note]); }
    int Count() const {
        int n = 0;
        for (int i = 0; i < 12; ++i) {
            n += Measured(i) ? 1 : 0;
        }
        return n;
    }
    // The note's frequency in the octave C4 to B4 around A4 = dReferenceA.
    double Frequency(int note) const {
        return dReferenceA * std::exp2((100.0 * (note - 9) + adCents[note]) / 1200.0);
    }
};
