// SPDX-License-Identifier: GPL-3.0-or-later
// One reading of the fine pitch analysis: what a tuner shows at one moment.
// Plain data; a copy belongs to whoever holds it.
#pragma once

#include <cmath>

class CFineReading {
public:
    // Seconds of recording analysed when the reading was made.
    double m_dTime = 0.0;
    // A live measurement. False means dashes (noise, silence, two notes at
    // once, nothing heard yet), unless m_bHeld.
    bool m_bValid = false;
    // Not live, but the last steady reading, held after the tone died away;
    // the values below are that reading's.
    bool m_bHeld = false;
    // Settled and not drifting: a value worth writing down.
    bool m_bSteady = false;
    // The first partial's frequency, corrected by the clock factor; 0 for dashes.
    double m_dHz = 0.0;
    // How sure the analysis is that this is one steady tone, 0..1.
    double m_dConfidence = 0.0;
    // The standard error of m_dHz, in cents.
    double m_dErrorCents = 0.0;
    // The string's inharmonicity B as fitted (0 for a pipe or a sine).
    double m_dInharmonicity = 0.0;
    // The target: note 0..11 (-1 when there is none), its octave (A4 is
    // Standard A), its frequency, and the deviation from it (NaN without one).
    int m_nNote = -1;
    int m_nOctave = 0;
    double m_dTargetHz = 0.0;
    double m_dCents = NAN;
    // The phase of the tone against its target, in turns, summed over the
    // live readings: it turns forward when sharp and backward when flat, as a
    // strobe's pattern does.
    double m_dStrobeTurns = 0.0;

    // A number to show: live or held.
    bool HasValue() const { return m_bValid || m_bHeld; }
};
