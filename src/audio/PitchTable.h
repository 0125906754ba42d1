// SPDX-License-Identifier: GPL-3.0-or-later
// The target frequencies of one temperament: the twelve notes C4 to B4 of
// the octave that holds Standard A (A4), however the caller computed them,
// and every other octave by doubling and halving. Finds the note nearest a
// measured frequency within C1 to C7. Pure arithmetic.
#pragma once

#include <array>

class CPitchTable {
public:
    static constexpr int kTableOctave = 4;
    static constexpr int kLowestOctave = 1;   // from C1
    static constexpr int kHighestOctave = 7;  // up to C7

    // No notes: IsValid is false and nothing is found.
    CPitchTable() = default;
    // adHz[n] is the frequency of note n (0 C ... 11 B) in octave 4.
    explicit CPitchTable(const std::array<double, 12>& adHz);

    // Every frequency finite and positive, each note above the one before.
    bool IsValid() const { return m_bValid; }
    // The target of a note (0..11, folded) in an octave.
    double Frequency(int nNote, int nOctave) const;
    // The octave in which the note lies nearest dHz.
    int NearestOctave(int nNote, double dHz) const;
    // The note nearest dHz in any octave; false when that note lies outside
    // C1 .. C7 (or there are no notes, or dHz is not a frequency).
    bool Nearest(double dHz, int& nNote, int& nOctave) const;
    // The note's name as the circle of fifths writes it: "C", "C#", ... "Bb", "B".
    static const char* Name(int nNote);

private:
    std::array<double, 12> m_adHz{};
    bool m_bValid = false;
};
