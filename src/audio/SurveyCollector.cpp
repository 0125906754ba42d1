#include "audio/SurveyCollector.h"

#include <algorithm>
#include <cmath>

namespace {

// Steady readings, then this many that are not, then steady ones again: the
// string was plucked again (or the tone was disturbed), and the readings
// after are another take of the same note.
constexpr int kRepluckReadings = 2;

constexpr double kPi = 3.14159265358979323846;

double Cents(double dHz, double dReference) {
    return 1200.0 * std::log2(dHz / dReference);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

CSurveyCollector::CSurveyCollector(double dReferenceA) {
    SetReference(dReferenceA);
}

void CSurveyCollector::SetReference(double dStandardA) {
    if (!(dStandardA >= 200.0 && dStandardA <= 600.0)) {
        return;
    }
    m_dAnchor = dStandardA;
    m_dOffset = 0;
    Recentre();
}

void CSurveyCollector::Recentre() {
    // The notes' offsets from the anchor's semitones, as angles round a
    // circle of 100 cents: their mean direction is where the instrument lies
    // between two semitones of the anchor, whatever its temperament.
    double dCos = 0;
    double dSin = 0;
    int nTakes = 0;
    auto add = [&](double dHz) {
        const double a = 2 * kPi * Cents(dHz, m_dAnchor) / 100.0;
        dCos += std::cos(a);
        dSin += std::sin(a);
        ++nTakes;
    };
    for (const STake& t : m_takes) {
        add(t.dHz);
    }
    STake live;
    if (LiveTake(live)) {
        add(live.dHz);
    }
    // Too few, or spread all round: keep the reference where it is.
    if (nTakes > 0 && std::hypot(dCos, dSin) > 0.2 * nTakes) {
        const double dMiddle = 100.0 * std::atan2(dSin, dCos) / (2 * kPi);
        // Of the places that are the same on the circle, the one nearest the
        // reference so far, so that no note's name flips at the quarter-tone.
        m_dOffset = dMiddle + 100.0 * std::round((m_dOffset - dMiddle) / 100.0);
    }
    m_dReference = m_dAnchor * std::exp2(m_dOffset / 1200.0);
    for (STake& take : m_takes) {
        Name(take);
    }
}

void CSurveyCollector::Name(STake& take) const {
    const double semitones = Cents(take.dHz, m_dReference) / 100.0;
    const long k = std::lround(semitones);
    take.nNote = static_cast<int>(((9 + k) % 12 + 12) % 12);
    take.nOctave = 4 + static_cast<int>(std::floor((9.0 + static_cast<double>(k)) / 12.0));
    take.dCents = 100.0 * (semitones - static_cast<double>(k));
    take.dLowCents = take.dCents + Cents(take.dLowHz, take.dHz);
    take.dHighCents = take.dCents + Cents(take.dHighHz, take.dHz);
}

bool CSurveyCollector::LiveTake(STake& take) const {
    const std::vector<double>& hz = m_live.adSteadyHz;
    if (!m_live.bActive || m_live.bCleared ||
        hz.size() < static_cast<std::size_t>(kFewestSteadyReadings)) {
        return false;
    }
    const auto [low, high] = std::minmax_element(hz.begin(), hz.end());
    take.dHz = Median(hz);
    take.dLowHz = *low;
    take.dHighHz = *high;
    Name(take);
    return Cents(*high, *low) <= kSteadyRangeCents;
}

void CSurveyCollector::BeginTake(const CFineReading& r) {
    m_live = SLive();
    m_live.bActive = true;
    m_live.dToneHz = r.m_dHz;
    m_live.dLastTime = r.m_dTime;
}

CSurveyCollector::Event CSurveyCollector::EndTake() {
    Event event = kNothing;
    STake take;
    if (LiveTake(take)) {
        m_takes.push_back(take);
        m_live = SLive();
        Recentre();
    } else if (m_live.bActive && !m_live.bCleared &&
               m_live.adSteadyHz.size() >= static_cast<std::size_t>(kFewestSteadyReadings)) {
        event = kUnsteady;
        m_nLastEventNote = take.nNote;
        m_dLastUnsteadyRange = Cents(take.dHighHz, take.dLowHz);
    }
    m_live = SLive();
    return event;
}

CSurveyCollector::Event CSurveyCollector::OnReading(const CFineReading& r) {
    // Dashes, or a held value: the tone has gone.
    if (!r.m_bValid || !(r.m_dHz > 0) || !std::isfinite(r.m_dHz)) {
        return m_live.bActive ? EndTake() : kNothing;
    }
    Event ended = kNothing;
    const bool bSettled =
        m_live.adSteadyHz.size() >= static_cast<std::size_t>(kFewestSteadyReadings);
    if (m_live.bActive && (r.m_dTime - m_live.dLastTime > kLongestGapSeconds ||
                           std::fabs(Cents(r.m_dHz, m_live.dToneHz)) > kOtherToneCents ||
                           (r.m_bSteady && bSettled && m_live.nNonSteadyRun >= kRepluckReadings))) {
        ended = EndTake();
    }
    if (!m_live.bActive) {
        BeginTake(r);
    }
    m_live.dLastTime = r.m_dTime;
    if (!r.m_bSteady) {
        m_live.dToneHz = m_live.adSteadyHz.empty() ? r.m_dHz : m_live.dToneHz;
        m_live.nNonSteadyRun += m_live.adSteadyHz.empty() ? 0 : 1;
        return ended;
    }
    m_live.nNonSteadyRun = 0;
    m_live.adSteadyHz.push_back(r.m_dHz);
    m_live.dToneHz = r.m_dHz;
    STake take;
    if (!LiveTake(take)) {
        return ended;
    }
    if (m_live.adSteadyHz.size() == static_cast<std::size_t>(kFewestSteadyReadings)) {
        Recentre();
        LiveTake(take);
        m_nLastEventNote = take.nNote;
        return kEntered;
    }
    m_nLastEventNote = take.nNote;
    return kUpdated;
}

CSurveyCollector::Event CSurveyCollector::Finish() {
    return m_live.bActive ? EndTake() : kNothing;
}

void CSurveyCollector::ClearNote(int nNote) {
    const int n = ((nNote % 12) + 12) % 12;
    m_takes.erase(std::remove_if(m_takes.begin(), m_takes.end(),
                                 [n](const STake& t) { return t.nNote == n; }),
                  m_takes.end());
    if (SoundingNote() == n) {
        m_live.bCleared = true;
    }
    Recentre();
}

void CSurveyCollector::ClearAll() {
    m_takes.clear();
    if (m_live.bActive) {
        m_live.bCleared = true;
    }
    m_dOffset = 0;
    Recentre();
}

SSurveyNotes CSurveyCollector::Notes() const {
    std::vector<STake> takes = m_takes;
    STake live;
    if (LiveTake(live)) {
        takes.push_back(live);
    }
    SSurveyNotes notes;
    notes.dReferenceA = m_dReference;
    std::array<double, 12> sum{};
    std::array<double, 12> low;
    std::array<double, 12> high;
    low.fill(INFINITY);
    high.fill(-INFINITY);
    for (const STake& t : takes) {
        sum[t.nNote] += t.dCents;
        ++notes.anHeard[t.nNote];
        low[t.nNote] = std::min(low[t.nNote], t.dLowCents);
        high[t.nNote] = std::max(high[t.nNote], t.dHighCents);
    }
    for (int n = 0; n < 12; ++n) {
        if (notes.anHeard[n] > 0) {
            notes.adCents[n] = sum[n] / notes.anHeard[n];
            notes.adSpread[n] = high[n] - low[n];
        }
    }
    return notes;
}

int CSurveyCollector::LastOctave(int nNote) const {
    const int n = ((nNote % 12) + 12) % 12;
    STake live;
    if (LiveTake(live) && live.nNote == n) {
        return live.nOctave;
    }
    for (auto it = m_takes.rbegin(); it != m_takes.rend(); ++it) {
        if (it->nNote == n) {
            return it->nOctave;
        }
    }
    return 4;
}

int CSurveyCollector::SoundingNote() const {
    if (!m_live.bActive || m_live.bCleared) {
        return -1;
    }
    STake take;
    take.dHz = take.dLowHz = take.dHighHz = m_live.dToneHz;
    Name(take);
    return take.nNote;
}
