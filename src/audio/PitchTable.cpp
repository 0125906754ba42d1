#include "audio/PitchTable.h"

#include <cmath>

namespace {

int Fold(int n) {
    n %= 12;
    return n < 0 ? n + 12 : n;
}

}  // namespace

CPitchTable::CPitchTable(const std::array<double, 12>& adHz) : m_adHz(adHz) {
    m_bValid = true;
    for (int n = 0; n < 12; ++n) {
        if (!(std::isfinite(adHz[n]) && adHz[n] > 0) || (n > 0 && !(adHz[n] > adHz[n - 1]))) {
            m_bValid = false;
        }
    }
    // Within one octave: B4 below C5.
    if (m_bValid && !(adHz[11] < 2 * adHz[0])) {
        m_bValid = false;
    }
}

double CPitchTable::Frequency(int nNote, int nOctave) const {
    return std::ldexp(m_adHz[Fold(nNote)], nOctave - kTableOctave);
}

int CPitchTable::NearestOctave(int nNote, double dHz) const {
    if (!m_bValid || !(dHz > 0) || !std::isfinite(dHz)) {
        return kTableOctave;
    }
    return kTableOctave + static_cast<int>(std::lround(std::log2(dHz / m_adHz[Fold(nNote)])));
}

bool CPitchTable::Nearest(double dHz, int& nNote, int& nOctave) const {
    if (!m_bValid || !(dHz > 0) || !std::isfinite(dHz)) {
        return false;
    }
    double dBest = INFINITY;
    for (int n = 0; n < 12; ++n) {
        const int o = NearestOctave(n, dHz);
        const double dOctaves = std::abs(std::log2(dHz / Frequency(n, o)));
        if (dOctaves < dBest) {
            dBest = dOctaves;
            nNote = n;
            nOctave = o;
        }
    }
    const bool bBelow = nOctave < kLowestOctave;
    const bool bAbove = nOctave > kHighestOctave || (nOctave == kHighestOctave && nNote > 0);
    return !bBelow && !bAbove;
}

const char* CPitchTable::Name(int nNote) {
    static const char* const names[12] = {"C",  "C#", "D",  "Eb", "E",  "F",
                                          "F#", "G",  "G#", "A",  "Bb", "B"};
    return names[Fold(nNote)];
}
