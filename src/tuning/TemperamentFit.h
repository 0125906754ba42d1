// SPDX-License-Identifier: GPL-3.0-or-later
// Which temperament, at which pitch, an instrument is in: the notes of a
// survey (SSurveyNotes) against every temperament of the catalogue in each of
// its twelve rotations. For each, the Standard A that fits best (least
// squares in cents over the measured notes, the notes taken round the octave
// so that a note just below C and one just above it are a few cents apart,
// not an octave), the residual of each note, their root mean square and the
// largest; the candidates ranked by that RMS. Also the temperament the notes
// themselves make: the twelve fifths fitted directly. Pure arithmetic; any
// thread may use an object that it alone touches.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tuning/SurveyNotes.h"
#include "tuning/Temperament.h"

class CTemperamentSet;

// One temperament of the catalogue as stored: its offsets at rotation 0.
struct SCatalogueEntry {
    std::string strName;
    std::array<double, 12> adOffsets{};
};

// The catalogue's temperaments, each turned back to rotation 0 (the window
// may show one turned).
std::vector<SCatalogueEntry> CatalogueOf(const CTemperamentSet& set);

// How a residual reads: within +-1 cent (as shown to 0.1 cent) in tune,
// beyond that sharp or flat.
enum class ResidualMark { kNotMeasured, kInTune, kSharp, kFlat };
ResidualMark MarkResidual(double dCents);

// A temperament in one rotation.
struct STuningName {
    std::string strName;
    int nRotation = 0;
};

// One candidate's fit.
struct SFitRow {
    STuningName name;
    // Other entries of the catalogue that give exactly the same twelve notes
    // (a temperament stored twice, or one that is another turned).
    std::vector<STuningName> sameTuning;
    double dStandardA = 0;   // the best fitting Standard A, 200..600 Hz
    double dShiftCents = 0;  // the same, in cents from the notes' reference pitch
    // Measured minus fitted, in cents; NaN for notes not measured.
    std::array<double, 12> adResiduals{};
    double dRms = 0;
    double dLargest = 0;  // the residual of largest size, with its sign
    int nLargestNote = -1;
    int nPasses = 0;  // measured notes in tune
    // How far this tuning lies from the best one, per note over the measured
    // notes (RMS of the difference of the two fits), and whether that is too
    // little to tell them apart.
    double dApartCents = 0;
    bool bClose = false;
};

struct SFitResult {
    int nNotes = 0;             // pitch classes measured
    bool bEnough = false;       // at least CTemperamentFit::kFewestNotes
    std::vector<SFitRow> rows;  // every distinct tuning, best first; empty when not enough
    // Rows after the first that are close to it.
    std::vector<const SFitRow*> Close() const;
};

class CTemperamentFit {
public:
    // A fit needs this many pitch classes.
    static constexpr int kFewestNotes = 7;
    // Two tunings closer than this per note (RMS) are not confidently told
    // apart: tuners' own tolerance is about a cent.
    static constexpr double kCloseCents = 1.0;

    CTemperamentFit(const std::vector<SCatalogueEntry>& catalogue, FifthArithmetic arithmetic);

    SFitResult Fit(const SSurveyNotes& notes) const;

    FifthArithmetic GetArithmetic() const { return m_arithmetic; }
    std::size_t EntryCount() const { return m_nEntries; }
    // Distinct tunings among the entries' rotations.
    std::size_t TuningCount() const { return m_candidates.size(); }

private:
    struct SCandidate {
        STuningName name;
        std::vector<STuningName> sameTuning;
        std::array<double, 12> adPattern{};
    };
    std::vector<SCandidate> m_candidates;
    std::size_t m_nEntries = 0;
    FifthArithmetic m_arithmetic;
};

// What a tuning gives each note: cents from equal temperament with A as the
// common point (A itself 0), -600..600.
std::array<double, 12> TuningPattern(const CTemperament& t);
// The fit of one tuning's pattern to the notes (the name and the closeness
// left empty).
SFitRow FitPattern(const std::array<double, 12>& adPattern, const SSurveyNotes& notes);

// The temperament the notes make: each fifth from the two notes it joins. A
// fifth with a note that was not measured cannot be measured itself: the
// fifths of a stretch of the circle between two measured notes share that
// stretch equally, so the circle still closes and every measured note keeps
// its place.
struct SMeasuredTemperament {
    FifthArithmetic arithmetic = FifthArithmetic::Classic;
    // In the arithmetic's units, rounded to 0.001, adding up to -24 exactly.
    std::array<double, 12> adOffsets{};
    // Fifth k (C-G ... F-C) rests on two measured notes.
    std::array<bool, 12> abMeasured{};
    double dStandardA = 0;
};
// False when fewer than two notes were measured.
bool MeasureTemperament(const SSurveyNotes& notes, FifthArithmetic arithmetic,
                        SMeasuredTemperament& out);
