#include "audio/FineAnalyser.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCentsPerRatio = 1200.0 / 0.69314718055994530942;
// The period search: a window of at least 80 ms (a power of two long), tones
// from 25 Hz to the top of the analysed band.
constexpr double kCoarseSeconds = 0.08;
constexpr double kLowestHz = 25.0;
// Two frames a reading.
constexpr int kHopsPerReading = 2;
// The phase regressions reach back this far; the drift check compares the
// newer half with the whole.
constexpr double kRegressionSeconds = 0.6;
// Below this root mean square (-80 dBFS) the input counts as silence.
constexpr double kSilence = 1e-4;
// A track starts on a period this clear; a reading without one this clear
// counts towards losing the track.
constexpr double kStartClarity = 0.8;
constexpr double kKeepClarity = 0.5;
// A hop this much louder than the one before (6 dB) is a new pluck.
constexpr double kOnsetRatio = 4.0;
// A track lost for this many readings in a row ends.
constexpr int kLostReadings = 6;
// Another period seen this many readings in a row starts a new track.
constexpr int kDisagreeReadings = 2;
constexpr double kOtherNoteCents = 60.0;
// A reading is steady once the track is this old, precise to this, and not drifting.
constexpr double kSettleSeconds = 0.2;
constexpr double kSteadyErrorCents = 0.15;
constexpr double kSteadyConfidence = 0.7;
constexpr double kDriftCents = 0.15;
// From here up a tone's first partial is never missing (within 30 dB of its
// strongest).
constexpr double kFirstPartialHeardHz = 120.0;
// The shortest stretch of frames the drift check compares.
constexpr double kShortestDriftSeconds = 0.1;
// The working signal kept, in seconds.
constexpr double kKeepSeconds = 0.5;
// Input frames taken at a time.
constexpr std::size_t kChunkFrames = 4096;

// 0 at or below dLow, 1 at or above dHigh, straight between (dLow > dHigh reverses).
double Ramp(double x, double dLow, double dHigh) {
    return std::clamp((x - dLow) / (dHigh - dLow), 0.0, 1.0);
}

double Cents(double dHz, double dReference) {
    return kCentsPerRatio * std::log(dHz / dReference);
}

// Whether two frequencies are the same note in octaves up to two apart.
bool OctaveRelated(double a, double b) {
    for (int j = -2; j <= 2; ++j) {
        if (std::abs(Cents(a, std::ldexp(b, j))) < kOtherNoteCents) {
            return true;
        }
    }
    return false;
}

std::size_t CoarseWindow(double dWorkRate) {
    std::size_t n = 256;
    while (static_cast<double>(n) < kCoarseSeconds * dWorkRate) {
        n *= 2;
    }
    return n;
}

}  // namespace

CFineAnalyser::CFineAnalyser(int nSamplingRate, int nChannels)
    : m_nRate(std::max(1, nSamplingRate)),
      m_mixer(nChannels, m_nRate),
      m_decimator(m_nRate, CDecimator::FactorFor(m_nRate)),
      m_dWorkRate(m_decimator.GetOutputRate()),
      m_period(m_dWorkRate, CoarseWindow(m_dWorkRate), kLowestHz,
               CPartialTracker::kHighestPartial * m_dWorkRate),
      m_tracker(m_dWorkRate),
      m_nHop(
          std::max<long long>(1, std::llround(kReadingInterval * m_dWorkRate / kHopsPerReading))),
      m_nNextHop(m_nHop) {
    m_partials.reserve(CPartialTracker::kMaxPartials);
}

void CFineAnalyser::FollowNote(const CPitchTable& table, int nNote, int nOctave) {
    m_targetMode = kFollowNote;
    m_table = table;
    m_nTargetNote = ((nNote % 12) + 12) % 12;
    m_nTargetOctave = nOctave;
}

void CFineAnalyser::FindAnyNote(const CPitchTable& table) {
    m_targetMode = kAnyNote;
    m_table = table;
}

void CFineAnalyser::FollowFrequency(double dHz) {
    m_targetMode = kFrequency;
    m_dTargetHz = dHz;
}

void CFineAnalyser::SetClockCorrection(double dFactor) {
    if (std::isfinite(dFactor) && dFactor > 0) {
        m_dClock = dFactor;
    }
}

void CFineAnalyser::Reset() {
    m_mixer.Reset();
    m_decimator.Reset();
    m_adWork.clear();
    m_nWorkBase = 0;
    m_anCarry.clear();
    m_nNextHop = m_nHop;
    m_nHopCount = 0;
    m_dHopEnergy = -1.0;
    m_nEarliest = 0;
    EndTrack();
    m_nMixerSwitches = 0;
    m_dClarity = 0;
    m_latest = CFineReading();
    m_held = CFineReading();
    m_bHaveHeld = false;
    m_dStrobe = 0;
}

double CFineAnalyser::GetSeconds() const {
    return static_cast<double>(WorkEnd()) / m_dWorkRate;
}

std::size_t CFineAnalyser::Feed16(const void* pData, std::size_t nBytes,
                                  std::vector<CFineReading>* pOut) {
    const std::size_t nFrameBytes = 2 * static_cast<std::size_t>(GetChannels());
    const auto* p = static_cast<const unsigned char*>(pData);
    std::size_t nReadings = 0;
    if (p == nullptr) {
        return 0;
    }
    // First the frame that the last block left unfinished.
    if (!m_anCarry.empty()) {
        const std::size_t nTake = std::min(nBytes, nFrameBytes - m_anCarry.size());
        m_anCarry.insert(m_anCarry.end(), p, p + nTake);
        p += nTake;
        nBytes -= nTake;
        if (m_anCarry.size() == nFrameBytes) {
            m_adMixed.clear();
            m_mixer.Mix16(m_anCarry.data(), 1, m_adMixed);
            m_decimator.Process(m_adMixed.data(), m_adMixed.size(), m_adWork);
            m_anCarry.clear();
        }
    }
    while (nBytes >= nFrameBytes) {
        const std::size_t nFrames = std::min(kChunkFrames, nBytes / nFrameBytes);
        m_adMixed.clear();
        m_mixer.Mix16(p, nFrames, m_adMixed);
        m_decimator.Process(m_adMixed.data(), m_adMixed.size(), m_adWork);
        p += nFrames * nFrameBytes;
        nBytes -= nFrames * nFrameBytes;
        Run(pOut, nReadings);
    }
    m_anCarry.insert(m_anCarry.end(), p, p + nBytes);
    Run(pOut, nReadings);
    return nReadings;
}

std::size_t CFineAnalyser::FeedFloat(const float* pFrames, std::size_t nFrames,
                                     std::vector<CFineReading>* pOut) {
    std::size_t nReadings = 0;
    if (pFrames == nullptr) {
        return 0;
    }
    const std::size_t nStride = static_cast<std::size_t>(GetChannels());
    for (std::size_t n = 0; n < nFrames; n += kChunkFrames) {
        const std::size_t nTake = std::min(kChunkFrames, nFrames - n);
        m_adMixed.clear();
        m_mixer.MixFloat(pFrames + n * nStride, nTake, m_adMixed);
        m_decimator.Process(m_adMixed.data(), m_adMixed.size(), m_adWork);
        Run(pOut, nReadings);
    }
    return nReadings;
}

void CFineAnalyser::Run(std::vector<CFineReading>* pOut, std::size_t& nReadings) {
    if (m_mixer.GetSwitchCount() != m_nMixerSwitches) {
        // Another channel: the phases jump, so the track starts afresh.
        m_nMixerSwitches = m_mixer.GetSwitchCount();
        EndTrack();
        m_nEarliest =
            WorkEnd() - static_cast<long long>(m_adMixed.size()) / m_decimator.GetFactor();
    }
    while (m_nNextHop <= WorkEnd()) {
        const long long e = m_nNextHop;
        m_nNextHop += m_nHop;
        OnHop(e);
        if (++m_nHopCount % kHopsPerReading == 0) {
            OnReading(e, pOut, nReadings);
        }
    }
    // Keep what the longest window needs.
    const auto nKeep = static_cast<long long>(kKeepSeconds * m_dWorkRate) +
                       static_cast<long long>(m_period.GetWindow());
    const long long nExcess = static_cast<long long>(m_adWork.size()) - nKeep;
    if (nExcess > nKeep) {
        m_adWork.erase(m_adWork.begin(), m_adWork.begin() + nExcess);
        m_nWorkBase += nExcess;
    }
}

void CFineAnalyser::OnHop(long long e) {
    double dEnergy = 0;
    const long long nFrom = std::max(m_nWorkBase, e - m_nHop);
    for (long long i = nFrom; i < e; ++i) {
        dEnergy += static_cast<double>(*At(i)) * *At(i);
    }
    dEnergy /= static_cast<double>(std::max<long long>(1, e - nFrom));
    const bool bOnset =
        m_dHopEnergy >= 0 && dEnergy > kOnsetRatio * m_dHopEnergy && dEnergy > kSilence * kSilence;
    m_dHopEnergy = dEnergy;
    if (bOnset) {
        EndTrack();
        m_nEarliest = e - m_nHop;
    }
    if (m_tracker.IsActive()) {
        const auto nLength = static_cast<long long>(m_tracker.GetFrameLength());
        const long long nStart = e - nLength;
        if (nStart >= std::max(m_nEarliest, m_nWorkBase)) {
            m_tracker.AddFrame(At(nStart), static_cast<double>(nStart));
        }
    }
}

void CFineAnalyser::EndTrack() {
    m_tracker.Stop();
    m_nDisagreements = 0;
    m_nInvalidRun = 0;
}

void CFineAnalyser::StartTrack(double dHz, long long e) {
    m_tracker.Start(dHz, 0.0);
    m_nTrackStart = e;
    m_nDisagreements = 0;
    m_nInvalidRun = 0;
    // Another note: the value held for the last one no longer applies. The
    // same string plucked again (or still sounding) keeps it until a new
    // steady reading takes its place.
    if (m_bHaveHeld && !OctaveRelated(dHz, m_held.m_dHz / m_dClock)) {
        m_bHaveHeld = false;
    }
    // Frames back to the earliest sample allowed, oldest first, so that the
    // first reading already rests on several.
    const auto nLength = static_cast<long long>(m_tracker.GetFrameLength());
    const long long nOldest = std::max(m_nEarliest, m_nWorkBase);
    long long nBack = 0;
    while (e - (nBack + 1) * m_nHop - nLength >= nOldest &&
           static_cast<double>((nBack + 1) * m_nHop) < kRegressionSeconds * m_dWorkRate) {
        ++nBack;
    }
    for (long long j = nBack; j >= 0; --j) {
        const long long nStart = e - j * m_nHop - nLength;
        if (nStart >= nOldest) {
            m_tracker.AddFrame(At(nStart), static_cast<double>(nStart));
            m_nTrackStart = std::min(m_nTrackStart, nStart);
        }
    }
}

bool CFineAnalyser::CorrectOctave(long long e) {
    double dOdd = 0, dEven = 0, dBetween = 0;
    m_tracker.GetLastOctaveEvidence(dOdd, dEven, dBetween);
    const double dHz = m_tracker.GetAnalysisHz();
    const double dTop = CPartialTracker::kHighestPartial * m_dWorkRate;
    if (m_nOctaveMoves >= 2 || dOdd + dEven <= 0) {
        return false;
    }
    double dNew = 0;
    if (m_tracker.GetPartialCount() >= 2 && dOdd < 0.05 * dEven && 2 * dHz <= dTop) {
        dNew = 2 * dHz;  // only even partials: the tone is an octave higher
    } else if (dBetween > 0.3 * (dOdd + dEven) && dHz / 2 >= kLowestHz) {
        dNew = dHz / 2;  // partials midway too: the tone is an octave lower
    }
    if (dNew == 0) {
        return false;
    }
    ++m_nOctaveMoves;
    const long long nEarliest = m_nEarliest;
    StartTrack(dNew, e);
    m_nEarliest = nEarliest;
    return true;
}

bool CFineAnalyser::MeasureTrack(long long e, CFineReading& r) {
    const double dWindow = kRegressionSeconds * m_dWorkRate;
    const auto nLength = static_cast<double>(m_tracker.GetFrameLength());
    m_tracker.Forget(static_cast<double>(e) - dWindow - nLength);
    if (m_tracker.GetFrameCount() == 0) {
        return false;
    }
    if (!m_bOctaveChecked) {
        while (CorrectOctave(e)) {
        }
        m_bOctaveChecked = true;
        if (m_tracker.GetFrameCount() == 0) {
            return false;
        }
    }
    double dHarmonicity = 0;
    const double dEnd = static_cast<double>(e);
    if (m_tracker.Estimate(dEnd - dWindow, dEnd, m_partials, dHarmonicity) == 0 ||
        !m_fit.Fit(m_partials.data(), m_partials.size())) {
        return false;
    }
    double dHz = m_fit.GetFirstPartial();
    double dSigma = m_fit.GetSigma();
    const double dB = m_fit.GetInharmonicity();
    const double dScatter = m_fit.GetScatterCents();
    const double dAgreement = m_fit.GetAgreement();
    const double dLowShare = m_fit.GetLowShare();
    // Above the lowest octaves every string and pipe sounds its first
    // partial; a "tone" without one there is two notes with a common divisor.
    const double dFirstShare = dHz >= kFirstPartialHeardHz ? m_fit.GetFirstShare() : 1.0;
    // Keep the analysed frequencies on the partials: a partial more than a
    // twentieth of a bin away is moved.
    const int nTop = m_tracker.GetPartialCount();
    const double dTopNow = nTop * m_tracker.GetAnalysisHz();
    const double dTopNew = nTop * dHz * std::sqrt((1 + dB * nTop * nTop) / (1 + dB));
    if (std::abs(dTopNew - dTopNow) * nLength / m_dWorkRate > 0.05 &&
        Cents(dHz + dSigma, dHz) < 1.0) {
        m_tracker.Retune(dHz, dB);
    }
    // A pitch on the move (a tuning pin being turned) shows as a difference
    // between the newer half of the frames and the whole, or between the
    // newer quarter and the half: the shorter stretch is then the reading,
    // and it is not steady.
    bool bDrifting = false;
    const double dAge = static_cast<double>(e - m_nTrackStart);
    const double dSpan = std::min(dAge, dWindow);
    for (double dShare : {0.5, 0.25}) {
        if (dShare * dSpan < kShortestDriftSeconds * m_dWorkRate) {
            break;
        }
        double dNewerHarmonicity = 0;
        CHarmonicFit newer;
        if (m_tracker.Estimate(dEnd - dShare * dSpan, dEnd, m_partials, dNewerHarmonicity) < 3 ||
            !newer.Fit(m_partials.data(), m_partials.size())) {
            break;
        }
        const double dApart = std::abs(Cents(newer.GetFirstPartial(), dHz));
        const double dNoise = Cents(dHz + std::hypot(dSigma, newer.GetSigma()), dHz);
        if (dApart <= std::max(kDriftCents, 3 * dNoise)) {
            break;
        }
        bDrifting = true;
        dHz = newer.GetFirstPartial();
        dSigma = newer.GetSigma();
    }
    const double dErrorCents = Cents(dHz + dSigma, dHz);
    // The confidence is the weakest of the kinds of evidence: energy at the
    // partials rather than between them, over the stretch and in the newest
    // frame and period window (a tone that has stopped is not read from the
    // frames before it), a precise frequency, partials that agree with one
    // string and carry its power, and power in the lowest partials (a common
    // divisor of two notes has none there).
    const double dConfidence =
        std::min({Ramp(dHarmonicity, 0.4, 0.8), Ramp(m_tracker.GetLastHarmonicity(), 0.3, 0.6),
                  Ramp(m_dClarity, 0.3, 0.6),
                  Ramp(std::log(std::max(dErrorCents, 1e-9)), std::log(5.0), std::log(0.1)),
                  Ramp(dScatter, 3.0, 0.5), Ramp(dAgreement, 0.6, 0.9),
                  Ramp(dLowShare, 0.003, 0.02), Ramp(dFirstShare, 3e-4, 1e-3)});
    r.m_dHz = dHz * m_dClock;
    r.m_dErrorCents = dErrorCents;
    r.m_dInharmonicity = dB;
    r.m_dConfidence = dConfidence;
    r.m_bValid = dConfidence >= kValidConfidence;
    r.m_bSteady = r.m_bValid && !bDrifting && dAge >= kSettleSeconds * m_dWorkRate &&
                  dErrorCents <= kSteadyErrorCents && dConfidence >= kSteadyConfidence;
    return true;
}

bool CFineAnalyser::FindPeriod(long long e, double& dHz, double& dClarity, bool& bSilent) {
    const auto nWindow = static_cast<long long>(m_period.GetWindow());
    dHz = 0;
    dClarity = 0;
    bSilent = true;
    if (e - nWindow < m_nWorkBase || e > WorkEnd()) {
        return false;
    }
    bool bFound = m_period.Estimate(At(e - nWindow), dHz, dClarity);
    bSilent = m_period.GetRms() < kSilence;
    if (!bSilent && dClarity < kStartClarity) {
        // Rumble below the tone (traffic, a knock on the stand) can hide its
        // period: look again at the differences of the samples, which weigh
        // each partial by its frequency.
        const float* p = At(e - nWindow);
        m_adDifferences.resize(static_cast<std::size_t>(nWindow));
        m_adDifferences[0] = 0;
        for (long long i = 1; i < nWindow; ++i) {
            m_adDifferences[static_cast<std::size_t>(i)] = p[i] - p[i - 1];
        }
        double dOther = 0;
        double dOtherClarity = 0;
        if (m_period.Estimate(m_adDifferences.data(), dOther, dOtherClarity) &&
            dOtherClarity > dClarity) {
            bFound = true;
            dHz = dOther;
            dClarity = dOtherClarity;
        }
    }
    return bFound;
}

double CFineAnalyser::ClarityOf(const void* pData, std::size_t nBytes) {
    Reset();
    const std::size_t nFrameBytes = 2 * static_cast<std::size_t>(GetChannels());
    const auto* p = static_cast<const unsigned char*>(pData);
    if (p == nullptr) {
        return 0.0;
    }
    for (std::size_t nFrames = nBytes / nFrameBytes; nFrames > 0;) {
        const std::size_t nTake = std::min(kChunkFrames, nFrames);
        m_adMixed.clear();
        m_mixer.Mix16(p, nTake, m_adMixed);
        m_decimator.Process(m_adMixed.data(), m_adMixed.size(), m_adWork);
        p += nTake * nFrameBytes;
        nFrames -= nTake;
    }
    double dHz = 0;
    double dClarity = 0;
    bool bSilent = true;
    FindPeriod(WorkEnd(), dHz, dClarity, bSilent);
    Reset();
    return dClarity;
}

void CFineAnalyser::OnReading(long long e, std::vector<CFineReading>* pOut,
                              std::size_t& nReadings) {
    CFineReading r;
    r.m_dTime = static_cast<double>(e) / m_dWorkRate;
    double dCandidate = 0;
    double dClarity = 0;
    bool bSilent = true;
    const bool bCandidate = FindPeriod(e, dCandidate, dClarity, bSilent);
    m_dClarity = dClarity;
    const bool bClear = bCandidate && dClarity >= kStartClarity;
    if (bSilent) {
        EndTrack();
    } else if (!m_tracker.IsActive()) {
        if (bClear) {
            m_nOctaveMoves = 0;
            m_bOctaveChecked = false;
            StartTrack(dCandidate, e);
        }
    } else {
        // A track that gives no reading while a clear period lies an octave
        // or more from it is on the wrong tone: two notes a fifth apart
        // share a period an octave below the lower, and when the upper one
        // stops, the lower one's own period is only octave-related to it.
        const double dTrackHz = m_tracker.GetAnalysisHz();
        const bool bElsewhere = !OctaveRelated(dCandidate, dTrackHz) ||
                                (m_nInvalidRun >= kDisagreeReadings &&
                                 std::abs(Cents(dCandidate, dTrackHz)) > kOtherNoteCents);
        m_nDisagreements = bClear && bElsewhere ? m_nDisagreements + 1 : 0;
        if (m_nDisagreements >= kDisagreeReadings) {
            // Another note without a new pluck: it began a few readings ago.
            m_nEarliest = std::max(m_nEarliest, e - 2 * kHopsPerReading * m_nHop);
            m_nOctaveMoves = 0;
            m_bOctaveChecked = false;
            StartTrack(dCandidate, e);
        }
    }
    if (m_tracker.IsActive()) {
        if (!MeasureTrack(e, r)) {
            r = CFineReading();
            r.m_dTime = static_cast<double>(e) / m_dWorkRate;
        }
        m_nInvalidRun = r.m_bValid ? 0 : m_nInvalidRun + 1;
        if (m_nInvalidRun >= kLostReadings && dClarity < kKeepClarity) {
            EndTrack();
        }
    }
    if (!r.m_bValid) {
        // Dashes: nothing of the measurement but how sure it was.
        CFineReading dashes;
        dashes.m_dTime = r.m_dTime;
        dashes.m_dConfidence = std::min(r.m_dConfidence, Ramp(dClarity, 0.5, 0.9));
        r = dashes;
    }
    Label(r);
    if (r.m_bValid) {
        if (r.m_dTargetHz > 0) {
            m_dStrobe += (r.m_dHz - r.m_dTargetHz) * kReadingInterval;
            m_dStrobe -= std::floor(m_dStrobe);
        }
        r.m_dStrobeTurns = m_dStrobe;
        if (r.m_bSteady) {
            m_held = r;
            m_bHaveHeld = true;
        }
    } else if (m_bHaveHeld) {
        const double dTime = r.m_dTime;
        const double dConfidence = r.m_dConfidence;
        r = m_held;
        r.m_bValid = false;
        r.m_bHeld = true;
        r.m_dTime = dTime;
        r.m_dConfidence = dConfidence;
        Label(r);
    }
    m_latest = r;
    if (pOut != nullptr) {
        pOut->push_back(r);
    }
    ++nReadings;
}

void CFineAnalyser::Label(CFineReading& r) const {
    r.m_nNote = -1;
    r.m_nOctave = 0;
    r.m_dTargetHz = 0;
    r.m_dCents = NAN;
    if (!r.HasValue()) {
        return;
    }
    switch (m_targetMode) {
        case kFollowNote:
            if (m_table.IsValid()) {
                r.m_nNote = m_nTargetNote;
                r.m_nOctave = m_nTargetOctave == kNearestOctave
                                  ? m_table.NearestOctave(m_nTargetNote, r.m_dHz)
                                  : m_nTargetOctave;
                r.m_dTargetHz = m_table.Frequency(r.m_nNote, r.m_nOctave);
            }
            break;
        case kAnyNote:
            if (m_table.Nearest(r.m_dHz, r.m_nNote, r.m_nOctave)) {
                r.m_dTargetHz = m_table.Frequency(r.m_nNote, r.m_nOctave);
            } else {
                r.m_nNote = -1;
                r.m_nOctave = 0;
            }
            break;
        case kFrequency:
            if (m_dTargetHz > 0 && std::isfinite(m_dTargetHz)) {
                r.m_dTargetHz = m_dTargetHz;
            }
            break;
        case kNoTarget:
            break;
    }
    if (r.m_dTargetHz > 0) {
        r.m_dCents = Cents(r.m_dHz, r.m_dTargetHz);
    }
}
