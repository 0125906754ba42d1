// SPDX-License-Identifier: GPL-3.0-or-later
// Scala scale files (.scl), the form in which the tuning community shares
// temperaments: a description line, the number of notes, and one pitch a line
// in cents (with a '.') or as a ratio, the last being the octave. Lines that
// begin with '!' are comments.
#pragma once

#include <array>
#include <string>

#include "tuning/Temperament.h"

struct ScalaScale {
    std::string description;
    // Cents above the first note of degrees 1..11; the twelfth is the octave.
    std::array<double, 11> cents{};
    // The most decimals any pitch given in cents is written with; -1 when
    // every pitch is a ratio, which is exact.
    int centsDecimals = -1;
    // Fifth offsets recorded by Klavora in a comment, when present and valid.
    bool hasRecordedOffsets = false;
    std::array<double, 12> recordedOffsets{};
    // What the file says of itself, kept when it is refused so that a message
    // can say what kind of scale it is: the number of notes it declares (-1
    // when it declares none), and the interval at which it repeats, its last
    // pitch in cents (0 when that cannot be read).
    long declaredNotes = -1;
    double periodCents = 0;
};

// Reads a 12-note scale with a 2/1 octave. On failure returns false with a
// message that says what is wrong. Recorded offsets count only when, read in
// the given arithmetic, they give the listed notes.
bool ParseScalaTwelveTone(const std::string& text, ScalaScale& scale, std::string& error,
                          FifthArithmetic arithmetic = FifthArithmetic::Classic);

// Fifth offsets (C-G ... F-C) of a scale whose first note is C, in the given
// arithmetic (classic: cents from a 702-cent fifth; exact: 24ths of the
// Pythagorean comma from a pure 3:2 fifth): the offsets that give the scale's
// note positions, closing the circle at -24. False when the scale's fifths do
// not form one circle.
bool DeriveFifthOffsets(const ScalaScale& scale, std::array<double, 12>& offsets,
                        std::string& error, FifthArithmetic arithmetic = FifthArithmetic::Classic);

// A Scala file for a temperament: the twelve notes in cents from C as the
// given arithmetic places them, the octave as 2/1, the name as the
// description, and the offsets in a comment so that reading the file back in
// the same arithmetic gives them exactly.
std::string FormatScala(const std::string& name, const std::array<double, 12>& offsets,
                        FifthArithmetic arithmetic = FifthArithmetic::Classic);
