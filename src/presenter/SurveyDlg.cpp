#include "presenter/SurveyDlg.h"

#include <cmath>
#include <ctime>

#include "audio/PitchTable.h"
#include "presenter/MessageHost.h"
#include "store/Store.h"
#include "tuning/NumberFormat.h"
#include "tuning/TemperamentName.h"
#include "tuning/TemperamentTables.h"

namespace {

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string StoreReason(long status) {
    switch (status) {
        case ERROR_BUSY:
            return "another program is writing to the store; try again in a moment.";
        case ERROR_BADDB:
            return "the store is damaged.";
        case ERROR_ACCESS_DENIED:
            return "the store cannot be written.";
        case ERROR_FILE_NOT_FOUND:
            return "there is no store.";
        default:
            return "the store cannot be written.";
    }
}

}  // namespace

CSurveyDlg::CSurveyDlg(const std::vector<SCatalogueEntry>& catalogue, FifthArithmetic arithmetic,
                       double dStandardA)
    : m_collector(dStandardA), m_fitter(catalogue, arithmetic), m_editor("", nullptr) {
    Refit();
}

void CSurveyDlg::Refit() {
    m_notes = m_collector.Notes();
    m_fit = m_fitter.Fit(m_notes);
    m_bMeasured =
        m_fit.bEnough && MeasureTemperament(m_notes, m_fitter.GetArithmetic(), m_measured);
    if (m_bDrift) {
        m_drift = CompareSurveys(m_before.notes, m_notes);
    }
}

bool CSurveyDlg::OnReading(const CFineReading& r) {
    const int nSounding = m_collector.SoundingNote();
    const CSurveyCollector::Event event = m_collector.OnReading(r);
    if (event != CSurveyCollector::kNothing) {
        m_lastEvent = event;
        Refit();
        return true;
    }
    return nSounding != m_collector.SoundingNote();
}

void CSurveyDlg::OnClearNote(int nNote) {
    m_collector.ClearNote(nNote);
    m_lastEvent = CSurveyCollector::kNothing;
    Refit();
}

void CSurveyDlg::OnClearAll() {
    m_collector.ClearAll();
    m_lastEvent = CSurveyCollector::kNothing;
    Refit();
}

void CSurveyDlg::SetCatalogue(const std::vector<SCatalogueEntry>& catalogue,
                              FifthArithmetic arithmetic) {
    m_fitter = CTemperamentFit(catalogue, arithmetic);
    Refit();
}

void CSurveyDlg::SetStandardA(double dStandardA) {
    m_collector.SetReference(dStandardA);
    Refit();
}

std::string CSurveyDlg::SignedText(double dCents, int nDecimals) {
    std::string text = FormatFixed(dCents, nDecimals);
    // A value that rounds to zero has no sign.
    if (text.find_first_not_of("-0.") == std::string::npos) {
        return FormatFixed(0.0, nDecimals);
    }
    return text[0] == '-' ? text : "+" + text;
}

CSurveyDlg::SCell CSurveyDlg::Cell(int nNote) const {
    const int n = FoldNote(nNote);
    SCell cell;
    cell.strNote = NoteName(n);
    cell.bSounding = m_collector.SoundingNote() == n;
    cell.bMeasured = m_notes.Measured(n);
    if (!cell.bMeasured) {
        return cell;
    }
    cell.nHeard = m_notes.anHeard[n];
    cell.strHz = FormatFixed(std::ldexp(m_notes.Frequency(n), m_collector.LastOctave(n) - 4), 2);
    cell.strSpread = FormatFixed(m_notes.adSpread[n], 1);
    if (m_fit.bEnough) {
        const SFitRow& best = m_fit.rows.front();
        cell.strCents = SignedText(m_notes.adCents[n] - best.dShiftCents, 1);
        cell.strResidual = SignedText(best.adResiduals[n], 1);
        cell.mark = MarkResidual(best.adResiduals[n]);
    }
    return cell;
}

double CSurveyDlg::Residual(int nNote) const {
    return m_fit.bEnough ? m_fit.rows.front().adResiduals[FoldNote(nNote)] : NAN;
}

ResidualMark CSurveyDlg::Mark(int nNote) const {
    return MarkResidual(Residual(nNote));
}

std::string CSurveyDlg::StatusText() const {
    if (m_lastEvent == CSurveyCollector::kUnsteady && m_collector.LastEventNote() >= 0) {
        return std::string(NoteName(m_collector.LastEventNote())) +
               " was not steady (its readings spread " +
               FormatFixed(m_collector.LastUnsteadyRange(), 1) + " cents): play it again.";
    }
    const int count = m_notes.Count();
    if (count == 0) {
        return "Play the notes of one octave, in any order and in any octave; hold each for "
               "about a second.";
    }
    if (count < CTemperamentFit::kFewestNotes) {
        const int more = CTemperamentFit::kFewestNotes - count;
        return std::to_string(count) + " of 12 notes measured: play at least " +
               std::to_string(more) + (more == 1 ? " more." : " more.");
    }
    return count == 12 ? "All 12 notes measured."
                       : std::to_string(count) + " of 12 notes measured.";
}

std::string CSurveyDlg::RotationText(int nRotation) {
    return std::to_string(nRotation) + " (" + CPitchTable::Name(7 * nRotation) + ")";
}

std::string CSurveyDlg::TuningText(const STuningName& name) {
    return name.nRotation == 0 ? name.strName
                               : name.strName + ", rotation " + RotationText(name.nRotation);
}

std::vector<CSurveyDlg::SRankRow> CSurveyDlg::Ranking() const {
    std::vector<SRankRow> rows;
    for (std::size_t i = 0; i < m_fit.rows.size() && i < static_cast<std::size_t>(kShownRows);
         ++i) {
        const SFitRow& f = m_fit.rows[i];
        SRankRow row;
        row.strRank = std::to_string(i + 1);
        row.strName = f.name.strName;
        row.strRotation = RotationText(f.name.nRotation);
        row.strStandardA = FormatFixed(f.dStandardA, 1) + " Hz";
        row.strRms = FormatFixed(f.dRms, 2);
        row.strLargest = SignedText(f.dLargest, 2) + " " + CPitchTable::Name(f.nLargestNote);
        row.bClose = f.bClose;
        rows.push_back(row);
    }
    return rows;
}

std::string CSurveyDlg::PassText(const SFitRow& best, int nNotes) {
    std::string text = std::to_string(best.nPasses) + " of 12 notes within 1 cent of " +
                       TuningText(best.name) + " at " + FormatFixed(best.dStandardA, 1) + " Hz";
    if (nNotes < 12) {
        text += " (" + std::to_string(12 - nNotes) + " not measured)";
    }
    return text;
}

std::string CSurveyDlg::PassText() const {
    return m_fit.bEnough ? PassText(m_fit.rows.front(), m_fit.nNotes) : std::string();
}

std::string CSurveyDlg::CloseText(const SFitResult& fit) {
    const std::vector<const SFitRow*> close = fit.Close();
    if (close.empty()) {
        return std::string();
    }
    std::string names;
    for (std::size_t i = 0; i < close.size(); ++i) {
        names += (i == 0                  ? ""
                  : i + 1 == close.size() ? " or "
                                          : ", ") +
                 TuningText(close[i]->name) + " (" + FormatFixed(close[i]->dApartCents, 2) + ")";
    }
    return "Close, not confidently told apart: " + TuningText(fit.rows.front().name) + " and " +
           names + " differ by under 1 cent per note (RMS) over the notes measured.";
}

std::string CSurveyDlg::CloseText() const {
    return m_fit.bEnough ? CloseText(m_fit) : std::string();
}

std::string CSurveyDlg::FifthText(int k) const {
    if (!m_bMeasured || k < 0 || k > 11) {
        return std::string();
    }
    const std::string text = FormatStreamDouble(m_measured.adOffsets[k]);
    return m_measured.abMeasured[k] ? text : "(" + text + ")";
}

CTemperamentDlg::SaveResult CSurveyDlg::OnSaveTemperament(const std::string& strName,
                                                          IMessageHost& host) {
    if (!m_bMeasured) {
        Refuse(host, "The temperament of the notes can be saved once at least " +
                         std::to_string(CTemperamentFit::kFewestNotes) + " notes are measured.");
        return CTemperamentDlg::kStayOpen;
    }
    m_editor = CTemperamentDlg("", nullptr);
    m_editor.m_adOffsets = m_measured.adOffsets;
    m_editor.m_strName = strName;
    m_editor.UpdateRemainingComma();
    return m_editor.OnSave(host);
}

bool CSurveyDlg::Refuse(IMessageHost& host, const std::string& text) const {
    host.MessageBox(text, kCaption, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

CSurveyDlg::LoadResult CSurveyDlg::LoadSaved(const std::string& strInstrument, IMessageHost& host,
                                             SSavedSurvey& saved, std::string& storedName,
                                             bool bMissingIsFine) {
    std::string text;
    const long st = ReadSurveyText(StoreFilePath(), strInstrument, text, storedName, kStoreWaitMs);
    if (st == ERROR_FILE_NOT_FOUND) {
        if (!bMissingIsFine) {
            Refuse(host, "There is no saved survey of " + Quoted(strInstrument) + ".");
        }
        return kMissing;
    }
    if (st != ERROR_SUCCESS) {
        Refuse(host, "The saved survey cannot be read: " + StoreReason(st));
        return kStoreFailed;
    }
    if (!ParseSurveyText(text, saved)) {
        // Not the survey's own text: nothing of it is used, and it is said.
        Refuse(host, "The saved survey of " + Quoted(storedName) +
                         " cannot be read; a survey saved under that name replaces it.");
        return kUnreadable;
    }
    return kLoaded;
}

bool CSurveyDlg::OnCompare(const std::string& strInstrument, IMessageHost& host) {
    SSavedSurvey saved;
    std::string storedName;
    if (LoadSaved(strInstrument, host, saved, storedName, false) != kLoaded) {
        return false;
    }
    m_before = saved;
    m_strBefore = storedName;
    m_bDrift = true;
    // Named from the same pitch, the notes of both surveys are the same notes.
    m_collector.SetReference(saved.notes.dReferenceA);
    Refit();
    return true;
}

bool CSurveyDlg::OnSaveSurvey(const std::string& strInstrument, IMessageHost& host) {
    switch (CheckValueName(strInstrument)) {
        case NameProblem::Empty:
            return Refuse(host, "Please enter a name for the instrument.");
        case NameProblem::TooLong:
            return Refuse(host,
                          "The name of an instrument can have at most 254 characters.\r\n"
                          "Please choose a shorter name.");
        case NameProblem::ControlCharacter:
            return Refuse(host,
                          "The name of an instrument cannot contain tabs, line breaks or "
                          "other control characters.\r\nPlease choose a different name.");
        case NameProblem::None:
            break;
    }
    if (!m_fit.bEnough) {
        return Refuse(host, "A survey needs at least " +
                                std::to_string(CTemperamentFit::kFewestNotes) +
                                " notes before it can be kept.");
    }
    SSavedSurvey saved;
    std::string storedName;
    const LoadResult earlier = LoadSaved(strInstrument, host, saved, storedName, true);
    if (earlier == kStoreFailed) {
        return false;
    }
    if (earlier == kLoaded) {
        // The earlier survey is shown against this one before it goes.
        m_before = saved;
        m_strBefore = storedName;
        m_bDrift = true;
        Refit();
    }
    if (earlier != kMissing &&
        host.MessageBox("Replace the saved survey of " + Quoted(storedName) +
                            (earlier == kLoaded ? " of " + saved.strWhen : std::string()) +
                            " with this one?",
                        kCaption, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        return false;
    }
    SSavedSurvey now;
    now.strWhen = SurveyTimestamp(std::time(nullptr));
    now.notes = m_notes;
    const long st = SaveSurvey(StoreFilePath(), strInstrument, now, kStoreWaitMs);
    if (st != ERROR_SUCCESS) {
        return Refuse(host, "The survey could not be saved: " + StoreReason(st));
    }
    return true;
}

std::string CSurveyDlg::DriftText() const {
    if (!m_bDrift) {
        return std::string();
    }
    std::string text =
        "Since the survey of " + Quoted(m_strBefore) + " of " + m_before.strWhen + ": ";
    if (m_drift.nCommon == 0) {
        return text + "no note heard in both.";
    }
    const double before =
        m_fit.bEnough ? m_fit.rows.front().dStandardA * std::exp2(-m_drift.dShiftCents / 1200)
                      : 0.0;
    text += std::to_string(m_drift.nCommon) + (m_drift.nCommon == 1 ? " note" : " notes") +
            " heard in both; the pitch moved " + SignedText(m_drift.dShiftCents, 1) + " cents";
    if (before > 0) {
        text += " (A " + FormatFixed(before, 1) + " to " +
                FormatFixed(m_fit.rows.front().dStandardA, 1) + " Hz)";
    }
    return text + ".";
}

std::string CSurveyDlg::DriftNoteText(int nNote) const {
    const int n = FoldNote(nNote);
    if (!m_bDrift || std::isnan(m_drift.adMoved[n])) {
        return std::string();
    }
    return SignedText(m_drift.adMoved[n], 1) + " (" + SignedText(m_drift.adBesideShift[n], 1) +
           " beside the shift)";
}
