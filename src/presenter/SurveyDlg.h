// SPDX-License-Identifier: GPL-3.0-or-later
// CSurveyDlg is the logic of the survey window: the user plays the notes of
// one octave, and the window shows as they come which temperament of the
// catalogue, at which Standard A, the instrument is in, and how far each note
// lies from it. It takes the Fine Tuner's readings (OnReading), keeps the
// twelve cells (CSurveyCollector), fits the catalogue to them
// (CTemperamentFit) and gives every text the window shows: the cells, the
// ranking, the residual marks for the table and the circle, the pass count.
// It saves the temperament the notes make through the temperament editor's
// own Save, and keeps the survey of an instrument in the store to show later
// how far it has moved. The window layer shows it and forwards the user's
// actions. User-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "audio/FineReading.h"
#include "audio/SurveyCollector.h"
#include "presenter/TemperamentDlg.h"
#include "store/SurveyStore.h"
#include "tuning/TemperamentFit.h"

class IMessageHost;

class CSurveyDlg {
public:
    // The caption of the window and of its messages.
    static constexpr const char* kCaption = "Survey";
    // Rows of the ranking the window shows.
    static constexpr int kShownRows = 5;

    CSurveyDlg(const std::vector<SCatalogueEntry>& catalogue, FifthArithmetic arithmetic,
               double dStandardA);

    // ---- What the user and the tuner do ----
    // A reading of the Fine Tuner; true when the window must show it anew.
    bool OnReading(const CFineReading& r);
    void OnClearNote(int nNote);
    void OnClearAll();
    // The catalogue changed, or the Exact Temperaments setting.
    void SetCatalogue(const std::vector<SCatalogueEntry>& catalogue, FifthArithmetic arithmetic);
    // The Standard A the notes are named from at first.
    void SetStandardA(double dStandardA);

    // ---- The table: one cell per note ----
    struct SCell {
        std::string strNote;  // "C#/Db"
        bool bMeasured = false;
        bool bSounding = false;  // the note being played now
        int nHeard = 0;
        std::string strHz;        // "311.25", in the octave last heard, or empty
        std::string strCents;     // from equal temperament at the fitted pitch, "-9.8"
        std::string strSpread;    // "0.2"
        std::string strResidual;  // from the best fit, "+0.4"
        ResidualMark mark = ResidualMark::kNotMeasured;
    };
    SCell Cell(int nNote) const;
    // The best fit's residual of a note and its mark, for the circle of fifths.
    double Residual(int nNote) const;
    ResidualMark Mark(int nNote) const;

    // What to do now, or what just happened: "Play the notes of one octave...".
    std::string StatusText() const;

    // ---- The ranking ----
    bool HasFit() const { return m_fit.bEnough; }
    const SFitResult& Fit() const { return m_fit; }
    struct SRankRow {
        std::string strRank;       // "1"
        std::string strName;       // "Werckmeister III"
        std::string strRotation;   // "0 (C)"
        std::string strStandardA;  // "415.0 Hz"
        std::string strRms;        // "0.12"
        std::string strLargest;    // "+0.31 E"
        bool bClose = false;
    };
    // The first kShownRows (fewer when the catalogue is small); none without a fit.
    std::vector<SRankRow> Ranking() const;
    // "11 of 12 notes within 1 cent of Werckmeister III at 415.0 Hz", or empty.
    std::string PassText() const;
    // The notes too close to call, or empty.
    std::string CloseText() const;

    // ---- The temperament the notes make ----
    bool HasMeasuredTemperament() const { return m_bMeasured; }
    const SMeasuredTemperament& MeasuredTemperament() const { return m_measured; }
    // Fifth k's offset as the store will keep it, "(-5.9)" in brackets when
    // one of its notes was not measured.
    std::string FifthText(int k) const;
    // Saves it as a new temperament under the name, with the editor's checks
    // and questions; kClose when it was saved, and Editor() then hands it to
    // the view as a new temperament.
    CTemperamentDlg::SaveResult OnSaveTemperament(const std::string& strName, IMessageHost& host);
    const CTemperamentDlg& Editor() const { return m_editor; }

    // ---- Drift ----
    // Shows how far the instrument moved since its saved survey; the notes
    // are named from that survey's pitch from now on. False, with a
    // message, when there is none or it cannot be read.
    bool OnCompare(const std::string& strInstrument, IMessageHost& host);
    // Keeps this survey as the instrument's last; an earlier one is shown
    // against it first and replaced only when the user agrees. False when
    // nothing was saved (a message says why).
    bool OnSaveSurvey(const std::string& strInstrument, IMessageHost& host);
    bool HasDrift() const { return m_bDrift; }
    const SSurveyDrift& Drift() const { return m_drift; }
    // "Since 2026-03-01T12:00Z: 3 notes heard in both; overall -2.4 cents".
    std::string DriftText() const;
    // A note's move, "-2.9 (-0.5 beside the shift)", or empty.
    std::string DriftNoteText(int nNote) const;

    // Texts the store tool shares.
    static std::string RotationText(int nRotation);
    static std::string TuningText(const STuningName& name);
    static std::string PassText(const SFitRow& best, int nNotes);
    static std::string CloseText(const SFitResult& fit);
    static std::string SignedText(double dCents, int nDecimals);

private:
    void Refit();
    bool Refuse(IMessageHost& host, const std::string& text) const;
    enum LoadResult { kLoaded, kMissing, kUnreadable, kStoreFailed };
    // Reads a saved survey; a message says why it cannot be read (and, when
    // bMissingIsFine is false, that there is none).
    LoadResult LoadSaved(const std::string& strInstrument, IMessageHost& host, SSavedSurvey& saved,
                         std::string& storedName, bool bMissingIsFine);

    CSurveyCollector m_collector;
    CTemperamentFit m_fitter;
    SSurveyNotes m_notes;
    SFitResult m_fit;
    SMeasuredTemperament m_measured;
    bool m_bMeasured = false;
    CSurveyCollector::Event m_lastEvent = CSurveyCollector::kNothing;
    CTemperamentDlg m_editor;
    SSurveyDrift m_drift;
    bool m_bDrift = false;
    SSavedSurvey m_before;
    std::string m_strBefore;
};
