// CTemperament holds one temperament: the offsets of the twelve fifths of the
// circle from a pure 702-cent fifth, and the note positions derived from them.
// Pure arithmetic; any thread may use an object that it alone touches.
#pragma once

#include <array>

// A pitch class in semitones from C: 0 C, 1 C#/Db, ... 9 A, ... 11 B.
using NoteIndex = int;

// Folds a note index the way the note operations take it: 12..23 lose one
// octave; anything else outside 0..11 is folded fully so that no index can
// reach outside the twelve notes.
NoteIndex FoldNote(int note);

class CTemperament {
public:
    static constexpr double kPureFifth = 702.0;
    static constexpr double kOctave = 1200.0;
    // Twelve pure fifths exceed seven octaves by this many cents.
    static constexpr double kComma = 24.0;

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

private:
    int m_nRotation = 0;
    std::array<double, 12> m_adOffsets;
    std::array<double, 12> m_adPositions{};
};
