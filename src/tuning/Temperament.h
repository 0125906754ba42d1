// SPDX-License-Identifier: GPL-3.0-or-later
// CTemperament holds one temperament: the offsets of the twelve fifths of the
// circle from a pure fifth, and the note positions derived from them. The
// offsets are read in one of two arithmetics: the classic one, in cents from a
// 702-cent fifth, or the exact one, in 24ths of the Pythagorean comma from a
// pure 3:2 fifth. Pure arithmetic; any thread may use an object that it alone
// touches.
#pragma once

#include <array>

// A pitch class in semitones from C: 0 C, 1 C#/Db, ... 9 A, ... 11 B.
using NoteIndex = int;

// Folds a note index the way the note operations take it: 12..23 lose one
// octave; anything else outside 0..11 is folded fully so that no index can
// reach outside the twelve notes.
NoteIndex FoldNote(int note);

// How the twelve offsets of a temperament are read.
//  Classic: cents from a fifth of exactly 702 cents; the circle closes when
//    they add up to -24 cents, and -2 on every fifth is equal temperament.
//  Exact: 24ths of the Pythagorean comma from a pure 3:2 fifth. The same
//    numbers then mean what tuners mean by them: -6 is a quarter of the
//    Pythagorean comma, -5.5 a quarter of the syntonic comma (to 0.0004
//    cents), -2 equal temperament, 0 a pure fifth; the circle closes at -24.
enum class FifthArithmetic { Classic, Exact };

class CTemperament {
public:
    static constexpr double kPureFifth = 702.0;
    static constexpr double kOctave = 1200.0;
    // Twelve pure fifths exceed seven octaves by this many cents.
    static constexpr double kComma = 24.0;
    // The exact arithmetic: a pure fifth, 1200 log2(3/2) cents; the
    // Pythagorean comma, 1200 log2(3^12 / 2^19) cents; and its 24th, the
    // unit of an exact offset.
    static constexpr double kExactPureFifth = 701.95500086538741774;
    static constexpr double kPythagoreanComma = 23.460010384649012934;
    static constexpr double kExactUnit = kPythagoreanComma / 24.0;

    // Classic arithmetic.
    explicit CTemperament(const std::array<double, 12>& offsets);

    // Offset of fifth k (0 = C-G ... 11 = F-C); 0.0 outside 0..11.
    double GetOffset(int fifth) const;
    // Stores the offset of fifth k when k is 0..11, then recomputes the
    // positions in every case.
    void SetOffset(int fifth, double cents);
    int GetRotation() const;
    // Turns the offsets around the circle so that the rotation becomes start.
    // The values are moved, never recomputed, so turning back restores them
    // bit for bit.
    void Rotate(int start);
    void UpdatePositions();
    // Cents from note `from` up to note `to` within one octave; 0 for equal
    // positions, never 1200.
    double Interval(int from, int to) const;
    // base raised by the given number of cents.
    static double Frequency(double base, double cents);
    // Frequency of a note when base is the frequency of C.
    double NoteFrequency(double base, int note) const;

    // Position of a note in cents above C, normally in [0, 1200).
    double GetPosition(int note) const;
    const std::array<double, 12>& Offsets() const { return m_adOffsets; }

    // Reads the same offsets in another arithmetic: the positions are
    // recomputed, the offsets and the rotation stay.
    void SetArithmetic(FifthArithmetic arithmetic);
    FifthArithmetic GetArithmetic() const { return m_arithmetic; }
    // How far fifth k lies from a pure fifth in cents, as the arithmetic
    // reads its offset: the offset itself in the classic one, the offset
    // times a 24th of the Pythagorean comma in the exact one (-5.865 for -6).
    // 0.0 outside 0..11.
    double FifthDeviation(int fifth) const;

private:
    void UpdateExactPositions();

    int m_nRotation = 0;
    std::array<double, 12> m_adOffsets;
    std::array<double, 12> m_adPositions{};
    FifthArithmetic m_arithmetic = FifthArithmetic::Classic;
};
