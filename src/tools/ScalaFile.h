// Scala scale files (.scl), the form in which the tuning community shares
// temperaments: a description line, the number of notes, and one pitch a line
// in cents (with a '.') or as a ratio, the last being the octave. Lines that
// begin with '!' are comments.
#pragma once

#include <array>
#include <string>

struct ScalaScale {
    std::string description;
    // Cents above the first note of degrees 1..11; the twelfth is the octave.
    std::array<double, 11> cents{};
    // Fifth offsets recorded by Klavora in a comment, when present and valid.
    bool hasRecordedOffsets = false;
    std::array<double, 12> recordedOffsets{};
};

// Reads a 12-note scale with a 2/1 octave. On failure returns false with a
// message that says what is wrong.
bool ParseScalaTwelveTone(const std::string& text, ScalaScale& scale, std::string& error);

// Fifth offsets (C-G ... F-C, cents from a 702-cent fifth) of a scale whose
// first note is C: the offsets that give the scale's note positions, closing
// the circle at -24. False when the scale's fifths do not form one circle.
bool DeriveFifthOffsets(const ScalaScale& scale, std::array<double, 12>& offsets,
                        std::string& error);

// A Scala file for a temperament: the twelve notes in cents from C, the octave
// as 2/1, the name as the description, and the offsets in a comment so that
// reading the file back gives them exactly.
std::string FormatScala(const std::string& name, const std::array<double, 12>& offsets);
