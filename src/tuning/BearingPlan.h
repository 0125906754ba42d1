// SPDX-License-Identifier: GPL-3.0-or-later
// The bearing plan of a tuning sheet: starting from A at Standard A, the order
// in which a tuner sets the notes of one octave of the instrument by fifths,
// fourths and octaves, each with the beats per second it should show, the
// major thirds to check as soon as both their notes are set, and the one
// fifth left untuned that closes the circle. Pure arithmetic.
#pragma once

#include <string>
#include <vector>

#include "tuning/Temperament.h"

// Keys are counted in semitones with C4 (middle C) = 60 and A4 = 69, so the
// Standard A octave runs from key 60 to key 71.
constexpr int kKeyA4 = 69;

// The octaves a tuner may lay the bearing in, named by their lowest key.
enum class Bearing { F3toF4 = 53, C4toC5 = 60, A3toA4 = 57 };

// "F3-F4", "C4-C5" or "A3-A4" (letter case ignored); false for anything else.
bool ParseBearing(const std::string& text, Bearing& bearing);
std::string BearingName(Bearing bearing);
inline int BearingLowKey(Bearing b) {
    return static_cast<int>(b);
}
inline int BearingHighKey(Bearing b) {
    return static_cast<int>(b) + 12;
}
inline bool InBearing(Bearing b, int key) {
    return key >= BearingLowKey(b) && key <= BearingHighKey(b);
}

// A key as tuners write it: the circle's name of its note and its octave,
// "F#3", "Eb4", "A4".
std::string KeyName(int key);
// A key's frequency: the Standard A octave's frequency of its note, moved by
// whole octaves.
double KeyFrequency(const CTemperament& t, double standardA, int key);

enum class IntervalKind { Octave, Fifth, Fourth, MajorThird };

// An interval between two keys and the beats per second of its nearly
// coinciding partials: positive when it is wider than pure, negative when
// narrower, 0 for a pure octave.
struct BeatingInterval {
    IntervalKind kind = IntervalKind::Fifth;
    int lowerKey = 0;
    int upperKey = 0;
    double beats = 0;
};

// The beats of an interval between two keys of the temperament (the octave
// from its partials 2:1, the fifth 3:2, the fourth 4:3, the major third 5:4).
BeatingInterval MakeInterval(const CTemperament& t, double standardA, IntervalKind kind,
                             int lowerKey, int upperKey);

struct BearingStep {
    int key = 0;               // the key tuned in this step
    int fromKey = -1;          // the key it is tuned from; -1: from the fork
    BeatingInterval interval;  // between the two (unused for the fork)
    // Major thirds inside the bearing completed by this key, from the bottom up.
    std::vector<BeatingInterval> checks;

    bool FromFork() const { return fromKey < 0; }
    bool Upwards() const { return key > fromKey; }
};

struct BearingPlanResult {
    Bearing bearing = Bearing::F3toF4;
    std::vector<BearingStep> steps;
    // The fifth (or the fourth that inverts it inside the bearing) that is
    // never tuned: both its notes are set from the other side of the circle,
    // so it gathers what error is left and is only listened to.
    BeatingInterval closing;
    // Every major third of the bearing from its lowest note up.
    std::vector<BeatingInterval> thirds;
};

// The fifth left to the end, 0 (C-G) to 11 (F-C): the one furthest from
// pure, which would be hardest to count (a meantone's wolf); among equals the
// one nearest G#-Eb, where tuners traditionally close the circle.
int ClosingFifth(const CTemperament& t);

// The whole plan for a temperament (already rotated) at a Standard A.
BearingPlanResult BuildBearingPlan(const CTemperament& t, double standardA, Bearing bearing);
