#include "tuning/BearingPlan.h"

#include <strings.h>

#include <algorithm>
#include <cmath>

#include "tuning/NoteSpelling.h"
#include "tuning/TemperamentTables.h"
#include "tuning/TuningChart.h"

namespace {

constexpr int kCircleOfA = 3;  // A's place in the circle C, G, D, A, ...

int NoteOfKey(int key) {
    return ((key % 12) + 12) % 12;
}

// The note at place p of the circle: C, G, D, ... rising a fifth each place.
int NoteAtCirclePlace(int p) {
    return (7 * (((p % 12) + 12) % 12)) % 12;
}

// The partials that meet: p times the upper frequency against q times the lower.
void Partials(IntervalKind kind, int& p, int& q) {
    switch (kind) {
        case IntervalKind::Octave:
            p = 1;
            q = 2;
            break;
        case IntervalKind::Fifth:
            p = 2;
            q = 3;
            break;
        case IntervalKind::Fourth:
            p = 3;
            q = 4;
            break;
        case IntervalKind::MajorThird:
            p = 4;
            q = 5;
            break;
    }
}

class CPlanner {
public:
    CPlanner(const CTemperament& t, double standardA, Bearing b)
        : m_t(t), m_dStandardA(standardA), m_bearing(b) {}

    BearingPlanResult Build();

private:
    void Add(int key, int fromKey, IntervalKind kind);
    // Sets the other end of the bearing by an octave when key is one end.
    void CompleteOctave(int key);
    // Tunes the note a fifth away around the circle from fromKey, as a fifth
    // or as a fourth the other way, whichever stays inside the bearing (the
    // fifth when both do). Returns the key tuned.
    int TuneNeighbour(int fromKey, bool sharpwards);
    bool Tuned(int key) const { return InBearing(m_bearing, key) && m_abTuned[key - Low()]; }
    int Low() const { return BearingLowKey(m_bearing); }

    const CTemperament& m_t;
    double m_dStandardA;
    Bearing m_bearing;
    bool m_abTuned[13] = {};
    BearingPlanResult m_result;
};

void CPlanner::Add(int key, int fromKey, IntervalKind kind) {
    BearingStep step;
    step.key = key;
    step.fromKey = fromKey;
    if (fromKey >= 0) {
        step.interval =
            MakeInterval(m_t, m_dStandardA, kind, std::min(key, fromKey), std::max(key, fromKey));
    }
    if (InBearing(m_bearing, key)) {
        m_abTuned[key - Low()] = true;
        for (int lower = key - 4; lower <= key; lower += 4) {
            if (Tuned(lower) && Tuned(lower + 4)) {
                step.checks.push_back(
                    MakeInterval(m_t, m_dStandardA, IntervalKind::MajorThird, lower, lower + 4));
            }
        }
    }
    m_result.steps.push_back(step);
}

void CPlanner::CompleteOctave(int key) {
    const int other = key == Low() ? Low() + 12 : key == Low() + 12 ? Low() : -1;
    if (other >= 0 && !Tuned(other)) {
        Add(other, key, IntervalKind::Octave);
    }
}

int CPlanner::TuneNeighbour(int fromKey, bool sharpwards) {
    const int byFifth = sharpwards ? fromKey + 7 : fromKey - 7;
    const int byFourth = sharpwards ? fromKey - 5 : fromKey + 5;
    const bool fifth = InBearing(m_bearing, byFifth);
    const int key = fifth ? byFifth : byFourth;
    Add(key, fromKey, fifth ? IntervalKind::Fifth : IntervalKind::Fourth);
    CompleteOctave(key);
    return key;
}

BearingPlanResult CPlanner::Build() {
    m_result.bearing = m_bearing;
    // The fork's A, then by octaves into the bearing.
    Add(kKeyA4, -1, IntervalKind::Octave);
    int a = kKeyA4;
    while (!InBearing(m_bearing, a)) {
        const int next = a < Low() ? a + 12 : a - 12;
        Add(next, a, IntervalKind::Octave);
        a = next;
    }
    CompleteOctave(a);
    const int start = Tuned(a - 12) ? a - 12 : a;

    // Flat side first, down the circle from A, then the sharp side up from A;
    // the two meet at the closing fifth.
    const int closing = ClosingFifth(m_t);
    const int flatCount = ((kCircleOfA - 1 - closing) % 12 + 12) % 12;
    int key = start;
    for (int i = 0; i < flatCount; ++i) {
        key = TuneNeighbour(key, false);
    }
    key = start;
    for (int i = 0; i < 11 - flatCount; ++i) {
        key = TuneNeighbour(key, true);
    }

    // The closing fifth as a fifth inside the bearing, else as its fourth.
    const int lowerNote = NoteAtCirclePlace(closing);
    const int lowerKey = Low() + (lowerNote - NoteOfKey(Low()) + 12) % 12;
    m_result.closing =
        lowerKey + 7 <= Low() + 12
            ? MakeInterval(m_t, m_dStandardA, IntervalKind::Fifth, lowerKey, lowerKey + 7)
            : MakeInterval(m_t, m_dStandardA, IntervalKind::Fourth, lowerKey - 5, lowerKey);

    for (int lower = Low(); lower + 4 <= Low() + 12; ++lower) {
        m_result.thirds.push_back(
            MakeInterval(m_t, m_dStandardA, IntervalKind::MajorThird, lower, lower + 4));
    }
    return m_result;
}

}  // namespace

bool ParseBearing(const std::string& text, Bearing& bearing) {
    for (Bearing b : {Bearing::F3toF4, Bearing::C4toC5, Bearing::A3toA4}) {
        if (strcasecmp(text.c_str(), BearingName(b).c_str()) == 0) {
            bearing = b;
            return true;
        }
    }
    return false;
}

std::string BearingName(Bearing bearing) {
    return KeyName(BearingLowKey(bearing)) + "-" + KeyName(BearingHighKey(bearing));
}

std::string KeyName(int key) {
    const int note = NoteOfKey(key);
    const int octave = (key - note) / 12 - 1;
    return CircleNoteName((7 * note) % 12) + std::to_string(octave);
}

double KeyFrequency(const CTemperament& t, double standardA, int key) {
    const int note = NoteOfKey(key);
    const int octave = (key - note) / 12 - 1;
    return std::ldexp(StandardAOctaveFrequency(t, standardA, note), octave - 4);
}

BeatingInterval MakeInterval(const CTemperament& t, double standardA, IntervalKind kind,
                             int lowerKey, int upperKey) {
    int p = 0;
    int q = 0;
    Partials(kind, p, q);
    BeatingInterval i;
    i.kind = kind;
    i.lowerKey = lowerKey;
    i.upperKey = upperKey;
    i.beats =
        BeatRate(KeyFrequency(t, standardA, lowerKey), KeyFrequency(t, standardA, upperKey), p, q);
    return i;
}

int ClosingFifth(const CTemperament& t) {
    static const int kPreference[12] = {8, 9, 7, 10, 6, 11, 5, 0, 4, 1, 3, 2};
    int best = kPreference[0];
    for (int k : kPreference) {
        if (std::fabs(t.GetOffset(k)) > std::fabs(t.GetOffset(best)) + 1e-9) {
            best = k;
        }
    }
    return best;
}

BearingPlanResult BuildBearingPlan(const CTemperament& t, double standardA, Bearing bearing) {
    return CPlanner(t, standardA, bearing).Build();
}
