// SPDX-License-Identifier: GPL-3.0-or-later
// CSurveyCollector turns the readings of the fine pitch analysis into the
// notes of a survey, as the user plays one octave of an instrument: in any
// order, in any octave, each note as often as they like. It takes each
// reading as it comes (OnReading) and decides when a steady note has been
// measured: a take is the run of live readings of one tone; it counts once it
// has settled for a few readings and those agree within a cent, and its value
// is the median of its steady readings. Each take is named by the nearest note
// of equal temperament at a reference pitch, and lands in that note's cell; a
// cell can be cleared and played again. The reference follows the notes: it
// starts at the Standard A the user gives and moves, by less than a
// quarter-tone, to the middle of the notes heard, so that an instrument
// tuned between two pitches (A = 430 Hz, say, against 440) has every note
// named alike and none a semitone off. The Fine Tuner window and the store tool's survey both feed
// one, so they agree. Any thread may use an object that it alone touches.
#pragma once

#include <vector>

#include "audio/FineReading.h"
#include "tuning/SurveyNotes.h"

class CSurveyCollector {
public:
    // A take counts from this many steady readings on: with the analysis's
    // own settling, a note heard alone for about 0.35 s.
    static constexpr int kFewestSteadyReadings = 3;
    // ... when they lie within this range.
    static constexpr double kSteadyRangeCents = 1.0;
    // A live reading this far from the take's tone begins another take.
    static constexpr double kOtherToneCents = 30.0;
    // Readings further apart than this in time belong to different takes.
    static constexpr double kLongestGapSeconds = 0.2;

    // What a reading did to the survey.
    enum Event {
        kNothing,   // no tone, or a take that has not settled yet
        kEntered,   // a take has just settled: its note is in its cell
        kUpdated,   // the take in its cell rests on one more reading
        kUnsteady,  // a take ended without settling within a cent
    };

    explicit CSurveyCollector(double dReferenceA = 415.0);

    Event OnReading(const CFineReading& r);
    // Ends the take in progress, as the end of a recording does.
    Event Finish();

    // The Standard A the notes are named from at first; the takes heard so
    // far are named again. Ignored unless a frequency from 200 to 600 Hz.
    void SetReference(double dStandardA);
    double GetAnchor() const { return m_dAnchor; }
    // The pitch the notes are named from now: the anchor moved to the
    // middle of the notes heard.
    double GetReference() const { return m_dReference; }

    // Forgets the takes of a note (0..11); a take of it still sounding is
    // left out as well, so the note is measured afresh when played again.
    void ClearNote(int nNote);
    void ClearAll();

    // The cells: every note's mean over its takes, times heard and spread.
    SSurveyNotes Notes() const;
    // The octave the note was last heard in (A4 holds the reference), 4
    // when it has not been heard.
    int LastOctave(int nNote) const;
    // The note of the take sounding now (-1 when none), whether or not it
    // has settled.
    int SoundingNote() const;
    // The note of the take that the last event was about (-1 before any).
    int LastEventNote() const { return m_nLastEventNote; }
    // The range of the last unsteady take's readings, in cents.
    double LastUnsteadyRange() const { return m_dLastUnsteadyRange; }

private:
    struct STake {
        double dHz = 0;  // the median of the steady readings
        double dLowHz = 0;
        double dHighHz = 0;
        int nNote = 0;
        int nOctave = 4;
        double dCents = 0;  // from equal temperament at the reference
        double dLowCents = 0;
        double dHighCents = 0;
    };
    // The take in progress.
    struct SLive {
        bool bActive = false;
        bool bCleared = false;
        double dToneHz = 0;  // what later readings are compared with
        double dLastTime = 0;
        int nNonSteadyRun = 0;  // non-steady readings in a row after steady ones
        std::vector<double> adSteadyHz;
    };

    void Name(STake& take) const;
    // Moves the reference to the middle of the takes (and the live one when
    // it has settled), then names every take again.
    void Recentre();
    // The take the live readings make so far; false while it has not settled.
    bool LiveTake(STake& take) const;
    Event EndTake();
    void BeginTake(const CFineReading& r);

    double m_dAnchor = 415.0;
    double m_dOffset = 0;  // cents from the anchor to the reference
    double m_dReference = 415.0;
    std::vector<STake> m_takes;
    SLive m_live;
    int m_nLastEventNote = -1;
    double m_dLastUnsteadyRange = 0;
};
