// SPDX-License-Identifier: GPL-3.0-or-later
// CFineAnalyser measures the pitch of a string or a pipe finely enough for
// tuning historical temperaments. It takes recorded blocks as they come (16-bit
// or float, one or two interleaved channels, any block size) and gives a
// reading every 50 ms: the frequency of the first partial, how sure it is, and
// whether the tone is steady; dashes (no value) for noise, silence or two notes
// at once; the last steady reading held after the tone dies away.
//
// How: the channels become one signal (CChannelMixer), which is brought to a
// working rate near 11 kHz (CDecimator). Every reading looks for a period in
// the last 90 ms or so (CPeriodEstimator); a clear one starts a track, checked for
// octave errors, along which the phase of every partial is followed frame by
// frame (CPartialTracker). Regressions of those phases over up to 0.6 s give
// each partial's frequency, and a stiff-string fit across the partials
// (CHarmonicFit) gives the first partial's frequency, even when it is weak or
// missing. A new pluck, a new note or silence ends the track.
//
// Readings are measured against a target: a note to follow (in the octave
// nearest the tone, or a given one), or the nearest note of a temperament in
// any octave from C1 to C7, both from a CPitchTable that the caller fills by
// whatever arithmetic it uses, or a bare frequency. A clock-correction factor
// (true rate / nominal rate of the sound card) scales every frequency: a
// calibration divides the known frequency of a reference by the median of its
// steady readings taken with the factor at 1 (or by reading / factor).
//
// A window feeds it every recorded buffer and shows Latest(): the note, the
// cents (m_dCents) and Hz while m_bValid, the same values marked as held while
// m_bHeld, dashes otherwise; m_dStrobeTurns turns a strobe-like band.
//
// Any thread may use an object that it alone touches; Feed keeps its buffers
// from block to block.
#pragma once

#include <cstddef>
#include <vector>

#include "audio/ChannelMixer.h"
#include "audio/Decimator.h"
#include "audio/FineReading.h"
#include "audio/HarmonicFit.h"
#include "audio/PartialTracker.h"
#include "audio/PeriodEstimator.h"
#include "audio/PitchTable.h"

class CFineAnalyser {
public:
    // FollowNote's octave when the tone decides it.
    static constexpr int kNearestOctave = -1000;
    // Seconds between readings.
    static constexpr double kReadingInterval = 0.05;
    // A reading counts as valid from this confidence on.
    static constexpr double kValidConfidence = 0.5;

    // nSamplingRate in Hz; nChannels 1 or 2 (more are read as their first two).
    CFineAnalyser(int nSamplingRate, int nChannels);

    // ---- What the readings are measured against ----
    // A note 0..11 of the table, in a given octave or the one nearest the tone.
    void FollowNote(const CPitchTable& table, int nNote, int nOctave = kNearestOctave);
    // The nearest note of the table, C1 to C7; outside that, no note.
    void FindAnyNote(const CPitchTable& table);
    // A bare frequency; the deviation is not folded into another octave.
    void FollowFrequency(double dHz);
    // The true frequency is the measured one times dFactor (a sound card
    // whose clock runs p ppm fast needs 1 + p / 1e6). Ignored unless positive
    // and finite.
    void SetClockCorrection(double dFactor);
    double GetClockCorrection() const { return m_dClock; }

    // ---- Sound in, readings out ----
    // Appends the readings that the new sound completes to pOut (when given)
    // and returns how many there were. A frame split across two blocks is
    // put together.
    std::size_t Feed16(const void* pData, std::size_t nBytes,
                       std::vector<CFineReading>* pOut = nullptr);
    std::size_t FeedFloat(const float* pFrames, std::size_t nFrames,
                          std::vector<CFineReading>* pOut = nullptr);
    // The newest reading (dashes before the first).
    const CFineReading& Latest() const { return m_latest; }
    // How clearly the last 90 ms or so repeat at one period, 0..1 (0 for silence):
    // the short-term evidence of a tone, high even for a pitch on the move.
    double GetClarity() const { return m_dClarity; }
    // The same for the end of a recording of 16-bit frames on its own, far
    // more cheaply than feeding it (no readings). Forgets all sound heard, as
    // Reset does.
    double ClarityOf(const void* pData, std::size_t nBytes);
    // Forgets all sound heard, the held reading and the time; keeps the
    // target and the clock correction.
    void Reset();

    int GetSamplingRate() const { return m_nRate; }
    int GetChannels() const { return m_mixer.GetChannels(); }
    double GetWorkingRate() const { return m_dWorkRate; }
    // Seconds of sound taken in.
    double GetSeconds() const;

private:
    enum TargetMode { kNoTarget, kFollowNote, kAnyNote, kFrequency };

    // Runs the hops and readings that the working signal now allows.
    void Run(std::vector<CFineReading>* pOut, std::size_t& nReadings);
    void OnHop(long long e);
    void OnReading(long long e, std::vector<CFineReading>* pOut, std::size_t& nReadings);
    // The period of the window that ends at e, with its clarity; bSilent when
    // the window is below the silence threshold (or not there).
    bool FindPeriod(long long e, double& dHz, double& dClarity, bool& bSilent);
    // Begins a track at dHz with frames back to the earliest allowed sample.
    void StartTrack(double dHz, long long e);
    void EndTrack();
    // Fills the reading's measurement from the track; false when there is none.
    bool MeasureTrack(long long e, CFineReading& r);
    // A tone read an octave off gives itself away in its newest frame; true
    // when the track was started again an octave away.
    bool CorrectOctave(long long e);
    void Label(CFineReading& r) const;
    const float* At(long long nIndex) const { return m_adWork.data() + (nIndex - m_nWorkBase); }
    long long WorkEnd() const { return m_nWorkBase + static_cast<long long>(m_adWork.size()); }

    int m_nRate;
    CChannelMixer m_mixer;
    CDecimator m_decimator;
    double m_dWorkRate;
    CPeriodEstimator m_period;
    CPartialTracker m_tracker;
    CHarmonicFit m_fit;
    std::vector<float> m_adMixed;
    std::vector<float> m_adDifferences;    // a period window's sample differences
    std::vector<float> m_adWork;           // the working signal, oldest first
    long long m_nWorkBase = 0;             // the absolute index of m_adWork[0]
    std::vector<unsigned char> m_anCarry;  // the start of a frame split between blocks
    std::vector<CHarmonicFit::SPartial> m_partials;

    long long m_nHop;      // working samples between frames
    long long m_nNextHop;  // where the next frame ends
    int m_nHopCount = 0;
    double m_dHopEnergy = -1.0;  // mean square of the last hop, before the first
    long long m_nEarliest = 0;   // frames begin here or later (after an onset)
    long long m_nTrackStart = 0;
    int m_nDisagreements = 0;  // readings whose period points elsewhere
    int m_nInvalidRun = 0;     // readings in a row without a value
    int m_nOctaveMoves = 0;
    bool m_bOctaveChecked = false;
    unsigned int m_nMixerSwitches = 0;
    double m_dClarity = 0.0;

    TargetMode m_targetMode = kNoTarget;
    CPitchTable m_table;
    int m_nTargetNote = 0;
    int m_nTargetOctave = kNearestOctave;
    double m_dTargetHz = 0.0;
    double m_dClock = 1.0;

    CFineReading m_latest;
    CFineReading m_held;
    bool m_bHaveHeld = false;
    double m_dStrobe = 0.0;
};
