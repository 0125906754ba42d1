#include "tuning/Temperament.h"

#include <cmath>

namespace {

// ln 2 and 1/1200 as the frequency rule uses them.
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kInvOctave = 1.0 / CTemperament::kOctave;

// Reduces a position below one octave. The remainder is exact, so this equals
// subtracting 1200 step by step, but it also ends for huge and infinite sums
// (an infinite sum becomes NaN). Values below 0 are left as they are.
double ReduceBelowOctave(double cents) {
    if (cents >= CTemperament::kOctave) {
        return std::fmod(cents, CTemperament::kOctave);
    }
    return cents;
}

int FoldFully(int n) {
    n %= 12;
    return n < 0 ? n + 12 : n;
}

}  // namespace

NoteIndex FoldNote(int note) {
    if (note > 11) {
        note -= 12;
    }
    return (note >= 0 && note <= 11) ? note : FoldFully(note);
}

CTemperament::CTemperament(const std::array<double, 12>& offsets) : m_adOffsets(offsets) {
    UpdatePositions();
}

double CTemperament::GetOffset(int fifth) const {
    if (fifth < 0 || fifth > 11) {
        return 0.0;
    }
    return m_adOffsets[fifth];
}

void CTemperament::SetOffset(int fifth, double cents) {
    if (fifth >= 0 && fifth <= 11) {
        m_adOffsets[fifth] = cents;
    }
    UpdatePositions();
}

int CTemperament::GetRotation() const {
    return m_nRotation;
}

void CTemperament::Rotate(int start) {
    const int shift = FoldFully(start - m_nRotation);
    std::array<double, 12> turned;
    for (int j = 0; j < 12; ++j) {
        turned[(j + shift) % 12] = m_adOffsets[j];
    }
    m_adOffsets = turned;
    m_nRotation = FoldFully(start);
    UpdatePositions();
}

void CTemperament::UpdatePositions() {
    if (m_arithmetic == FifthArithmetic::Exact) {
        UpdateExactPositions();
        return;
    }
    // Walk the circle from C: fifth k lands on note 7(k+1) mod 12, so the notes
    // are written G, D, A, ... F and C last, where the comma left open shows.
    double sum = 0.0;
    int note = 7;
    for (int k = 0; k < 12; ++k) {
        sum += m_adOffsets[k] + kPureFifth;
        m_adPositions[note] = ReduceBelowOctave(sum);
        note = (note + 7) % 12;
    }
}

void CTemperament::UpdateExactPositions() {
    // A pure fifth is 700 cents and two units (twelve pure fifths overshoot
    // seven octaves by the 24 units of the comma), so k fifths span 700 k
    // cents and (their offsets + 2 k) units. Summing the units apart from the
    // whole hundreds keeps every position within about 1e-12 cents of its
    // true value, and equal temperament, whose units sum to 0 exactly, lands
    // on exact multiples of 100. The reduction below the octave is the
    // classic one, so the comma left open shows on C in the same way.
    double units = 0.0;
    int note = 7;
    for (int k = 0; k < 12; ++k) {
        units += m_adOffsets[k] + 2.0;
        m_adPositions[note] = ReduceBelowOctave(700.0 * (k + 1) + units * kExactUnit);
        note = (note + 7) % 12;
    }
}

void CTemperament::SetArithmetic(FifthArithmetic arithmetic) {
    m_arithmetic = arithmetic;
    UpdatePositions();
}

double CTemperament::FifthDeviation(int fifth) const {
    const double offset = GetOffset(fifth);
    return m_arithmetic == FifthArithmetic::Exact ? offset * kExactUnit : offset;
}

double CTemperament::Interval(int from, int to) const {
    const double a = m_adPositions[FoldNote(from)];
    const double b = m_adPositions[FoldNote(to)];
    if (a > b) {
        return b - (a - kOctave);
    }
    return b - a;
}

double CTemperament::Frequency(double base, double cents) {
    return base * std::exp(kLn2 * (cents * kInvOctave));
}

double CTemperament::NoteFrequency(double base, int note) const {
    return Frequency(base, m_adPositions[FoldNote(note)]);
}

double CTemperament::GetPosition(int note) const {
    return m_adPositions[FoldNote(note)];
}
