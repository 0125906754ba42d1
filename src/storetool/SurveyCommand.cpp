#include "storetool/SurveyCommand.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <ostream>

#include "audio/PitchTable.h"
#include "presenter/MessageHost.h"
#include "presenter/SurveyDlg.h"
#include "presenter/TemperamentDlg.h"
#include "store/ExportFormat.h"
#include "store/TemperamentStore.h"
#include "storetool/ChartCommands.h"
#include "storetool/RecordedSurvey.h"
#include "tuning/NumberFormat.h"
#include "tuning/TemperamentSet.h"

namespace {

const char* const kUsage =
    "usage: klavora-store survey FILE.wav [--standard-a HZ] [--exact|--classic] [--top N] "
    "[--compare NAME] [--save NAME] [--add-temperament NAME]";

struct SSurveyRequest {
    std::string file;
    bool haveFile = false;
    double standardA = 0;
    bool haveStandardA = false;
    FifthArithmetic arithmetic = FifthArithmetic::Classic;
    bool haveArithmetic = false;
    int top = CSurveyDlg::kShownRows;
    std::string compare;      // a saved survey to show the drift against
    std::string save;         // the name to keep this survey under
    std::string temperament;  // the name to add the measured temperament under
};

bool ReadRequest(ToolContext& ctx, const std::vector<std::string>& args, SSurveyRequest& r) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--standard-a" || a == "--top" || a == "--compare" ||
                                a == "--save" || a == "--add-temperament";
        if (takesValue && i + 1 >= args.size()) {
            ctx.Fail(kExitUsage, a + " needs a value; " + kUsage);
            return false;
        }
        if (a == "--standard-a" || a == "--top") {
            double v = 0;
            if (!ReadNumber(args[++i], v)) {
                ctx.Fail(kExitUsage, a + " needs a number; " + kUsage);
                return false;
            }
            if (a == "--standard-a" && !InStandardARange(v)) {
                ctx.Fail(kExitUsage, "Standard A must lie between 200 and 600 Hz");
                return false;
            }
            if (a == "--top" && (v != std::floor(v) || v < 1 || v > 1000)) {
                ctx.Fail(kExitUsage, "--top takes a whole number of rows, 1 to 1000");
                return false;
            }
            if (a == "--standard-a") {
                r.standardA = v;
                r.haveStandardA = true;
            } else {
                r.top = static_cast<int>(v);
            }
        } else if ((a == "--exact" || a == "--classic") && !r.haveArithmetic) {
            r.arithmetic = a == "--exact" ? FifthArithmetic::Exact : FifthArithmetic::Classic;
            r.haveArithmetic = true;
        } else if (a == "--compare") {
            r.compare = NameArgument(args[++i]);
        } else if (a == "--save") {
            r.save = args[++i];
        } else if (a == "--add-temperament") {
            r.temperament = args[++i];
        } else if (!r.haveFile && (a.empty() || a[0] != '-')) {
            r.file = a;
            r.haveFile = true;
        } else {
            ctx.Fail(kExitUsage, kUsage);
            return false;
        }
    }
    if (!r.haveFile) {
        ctx.Fail(kExitUsage, kUsage);
        return false;
    }
    return true;
}

// The editor's questions answered Yes, as the command line asked for the
// save; a refusal kept to be reported.
class CCommandLineAnswers : public IMessageHost {
public:
    int MessageBox(const std::string& text, const std::string&, unsigned type) override {
        if ((type & MB_YESNO) == MB_YESNO) {
            return IDYES;
        }
        m_strRefusal = text;
        for (std::size_t at = m_strRefusal.find("\r\n"); at != std::string::npos;
             at = m_strRefusal.find("\r\n")) {
            m_strRefusal.replace(at, 2, " ");
        }
        return IDOK;
    }
    std::string m_strRefusal;
};

std::string Column(const std::string& text, std::size_t width) {
    std::string out = text;
    if (out.size() < width) {
        out.resize(width, ' ');
    }
    return out;
}

std::string Right(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

void PrintNotes(std::ostream& out, const SRecordedSurvey& survey, const SFitRow& best) {
    out << "note        Hz   cents  heard  spread  residual\n";
    for (int n = 0; n < 12; ++n) {
        const SSurveyNotes& notes = survey.notes;
        out << Column(SurveyNoteLabel(survey, n), 5);
        if (!notes.Measured(n)) {
            out << Right("--", 9) << "  not measured\n";
            continue;
        }
        const double hz = std::ldexp(notes.Frequency(n), survey.anOctaves[n] - 4);
        const double r = best.adResiduals[n];
        const ResidualMark mark = MarkResidual(r);
        out << Right(FormatFixed(hz, 2), 9)
            << Right(CSurveyDlg::SignedText(notes.adCents[n] - best.dShiftCents, 1), 8)
            << Right(std::to_string(notes.anHeard[n]), 7)
            << Right(FormatFixed(notes.adSpread[n], 1), 8)
            << Right(CSurveyDlg::SignedText(r, 1), 10)
            << (mark == ResidualMark::kInTune  ? "  in tune"
                : mark == ResidualMark::kSharp ? "  sharp"
                                               : "  flat")
            << '\n';
    }
}

void PrintRanking(std::ostream& out, const SFitResult& fit, int top) {
    out << "\nRanking: the Standard A that fits each temperament best, least squares in cents\n"
        << "  #  temperament                     rotation  Standard A     RMS  largest\n";
    for (std::size_t i = 0; i < fit.rows.size() && i < static_cast<std::size_t>(top); ++i) {
        const SFitRow& row = fit.rows[i];
        out << Right(std::to_string(i + 1), 3) << "  "
            << Column(PrintableField(row.name.strName), 30) << "  "
            << Column(CSurveyDlg::RotationText(row.name.nRotation), 8)
            << Right(FormatFixed(row.dStandardA, 1) + " Hz", 12)
            << Right(FormatFixed(row.dRms, 2), 8) << "  " << CSurveyDlg::SignedText(row.dLargest, 2)
            << ' ' << CPitchTable::Name(row.nLargestNote) << (row.bClose ? "  close" : "") << '\n';
        for (const STuningName& same : row.sameTuning) {
            out << "     the same notes as " << PrintableField(CSurveyDlg::TuningText(same))
                << '\n';
        }
    }
    out << '\n' << CSurveyDlg::PassText(fit.rows.front(), fit.nNotes) << ".\n";
    if (const std::string close = CSurveyDlg::CloseText(fit); !close.empty()) {
        out << close << '\n';
    }
}

void PrintMeasured(std::ostream& out, const SMeasuredTemperament& m) {
    static const char* const fifths[12] = {"C-G",   "G-D",   "D-A",   "A-E",   "E-B",  "B-F#",
                                           "F#-C#", "C#-G#", "G#-Eb", "Eb-Bb", "Bb-F", "F-C"};
    out << "\nThe temperament the notes make ("
        << (m.arithmetic == FifthArithmetic::Exact
                ? "24ths of the Pythagorean comma from a pure fifth"
                : "cents from a 702-cent fifth")
        << "; in brackets where a note was not measured and the gap is shared), at "
        << FormatFixed(m.dStandardA, 1) << " Hz:\n";
    for (int k = 0; k < 12; ++k) {
        const std::string value = FormatStreamDouble(m.adOffsets[k]);
        out << (k % 6 == 0 ? " " : "") << ' ' << fifths[k] << ' '
            << (m.abMeasured[k] ? value : "(" + value + ")") << (k % 6 == 5 ? "\n" : "");
    }
}

void PrintDrift(std::ostream& out, const std::string& name, const SSavedSurvey& before,
                const SSurveyNotes& now, const SFitRow& best) {
    const SSurveyDrift d = CompareSurveys(before.notes, now);
    out << "\nSince the survey " << PrintableField(name) << " of " << before.strWhen << ": ";
    if (d.nCommon == 0) {
        out << "no note was heard in both.\n";
        return;
    }
    out << d.nCommon << (d.nCommon == 1 ? " note" : " notes") << " heard in both; the pitch moved "
        << CSurveyDlg::SignedText(d.dShiftCents, 1) << " cents (A "
        << FormatFixed(best.dStandardA * std::exp2(-d.dShiftCents / 1200), 1) << " to "
        << FormatFixed(best.dStandardA, 1) << " Hz).\n"
        << "note   moved  beside the shift\n";
    for (int n = 0; n < 12; ++n) {
        if (!std::isnan(d.adMoved[n])) {
            out << Column(CPitchTable::Name(n), 4)
                << Right(CSurveyDlg::SignedText(d.adMoved[n], 1), 8)
                << Right(CSurveyDlg::SignedText(d.adBesideShift[n], 1), 18) << '\n';
        }
    }
}

std::string NoteList(const SSurveyNotes& notes) {
    std::string list;
    for (int n = 0; n < 12; ++n) {
        if (notes.Measured(n)) {
            list += std::string(list.empty() ? "" : " ") + CPitchTable::Name(n);
        }
    }
    return list.empty() ? "none" : list;
}

int Survey(ToolContext& ctx, const std::vector<std::string>& args) {
    SSurveyRequest r;
    if (!ReadRequest(ctx, args, r)) {
        return kExitUsage;
    }
    int status = kExitOk;
    if (!r.save.empty() && !CheckNewName(ctx, r.save, status)) {
        return status;
    }
    // The store gives the catalogue, the pitch the notes are named from, the
    // arithmetic, and a saved survey to compare with.
    const bool storeExists = StoreExists(ctx);
    if (!r.save.empty() && !storeExists) {
        return ctx.Fail(kExitStore, "there is no store at " + ctx.storePath +
                                        " to keep the survey in (\"klavora-store init\" "
                                        "creates it)");
    }
    if (!r.temperament.empty()) {
        // Checked before anything is written, so that a refusal changes nothing.
        if (!storeExists) {
            return ctx.Fail(kExitStore, "there is no store at " + ctx.storePath +
                                            " to add the temperament to (\"klavora-store "
                                            "init\" creates it)");
        }
        if (!CheckNewName(ctx, r.temperament, status)) {
            return status;
        }
        if (TemperamentExists(r.temperament)) {
            return ctx.Fail(kExitUsage, "a temperament named " + QuotedForMessage(r.temperament) +
                                            " exists already");
        }
    }
    CStoreSession s(ctx);
    std::vector<SCatalogueEntry> catalogue;
    std::string source;
    if (!LoadFitCatalogue(s, storeExists, catalogue, source, status)) {
        return status;
    }
    double anchor = r.haveStandardA ? r.standardA : storeExists ? StoredStandardA(s) : 415.0;
    const FifthArithmetic arithmetic = r.haveArithmetic ? r.arithmetic
                                       : storeExists    ? StoredArithmetic(s)
                                                        : FifthArithmetic::Classic;
    SSavedSurvey before;
    std::string beforeName;
    const std::string& against = !r.compare.empty() ? r.compare : r.save;
    bool haveBefore = false;
    std::string earlier;
    std::string earlierName;
    // A first save has no earlier survey to show, and nothing to report.
    const bool firstSave = r.compare.empty() && !against.empty() && storeExists &&
                           ReadSurveyText(ctx.storePath, against, earlier, earlierName,
                                          kToolWaitMs) == ERROR_FILE_NOT_FOUND;
    if (!against.empty() && storeExists && !firstSave) {
        const int code = LoadSavedSurvey(ctx, against, before, beforeName);
        if (code != kExitOk && !(code == kExitNotFound && r.compare.empty())) {
            return code;
        }
        haveBefore = code == kExitOk;
    } else if (!r.compare.empty()) {
        return ctx.Fail(kExitNotFound, "there is no saved survey " + QuotedForMessage(r.compare) +
                                           " (there is no store)");
    }
    if (haveBefore && !r.haveStandardA) {
        // Named from the same pitch, the notes of both surveys are the same notes.
        anchor = before.notes.dReferenceA;
    }

    SRecordedSurvey survey;
    std::string why;
    if (!SurveyRecording(r.file, anchor, survey, why)) {
        return ctx.Fail(kExitUsage, r.file + ": " + why);
    }
    const int count = survey.notes.Count();
    if (count < CTemperamentFit::kFewestNotes) {
        return ctx.Fail(kExitUsage, "only " + std::to_string(count) +
                                        " of the 12 notes could be measured (" +
                                        NoteList(survey.notes) + "); a survey needs at least " +
                                        std::to_string(CTemperamentFit::kFewestNotes) +
                                        " different notes, each held steady for about a second");
    }
    const CTemperamentFit fitter(catalogue, arithmetic);
    const SFitResult fit = fitter.Fit(survey.notes);
    if (fit.rows.empty()) {
        return ctx.Fail(kExitUsage, "there are no temperaments to compare the notes with");
    }
    const SFitRow& best = fit.rows.front();
    ctx.out << survey.strHeader << '\n'
            << "Notes named from A = " << FormatFixed(survey.notes.dReferenceA, 2) << " Hz; "
            << (arithmetic == FifthArithmetic::Exact ? "exact" : "classic") << " arithmetic; "
            << source << ", 12 rotations each (" << fitter.TuningCount()
            << " different tunings)\n\n";
    PrintNotes(ctx.out, survey, best);
    PrintRanking(ctx.out, fit, r.top);
    SMeasuredTemperament measured;
    const bool haveMeasured = MeasureTemperament(survey.notes, arithmetic, measured);
    if (haveMeasured) {
        PrintMeasured(ctx.out, measured);
    }
    if (haveBefore) {
        PrintDrift(ctx.out, beforeName, before, survey.notes, best);
    }

    if (!r.save.empty()) {
        SSavedSurvey now;
        now.strWhen = SurveyTimestamp(std::time(nullptr));
        now.notes = survey.notes;
        if (const long st = SaveSurvey(ctx.storePath, r.save, now, kToolWaitMs);
            st != ERROR_SUCCESS) {
            return s.Failed(st);
        }
        ctx.out << "\nKept this survey as " << PrintableField(r.save)
                << (haveBefore ? ", in place of the earlier one" : "") << ".\n";
    }
    if (!r.temperament.empty() && haveMeasured) {
        // The editor's own Save: its checks of the name, its refusal of a name
        // taken, the circle's comma.
        CTemperamentDlg editor("", nullptr);
        editor.m_adOffsets = measured.adOffsets;
        editor.m_strName = r.temperament;
        editor.UpdateRemainingComma();
        CCommandLineAnswers answers;
        if (editor.OnSave(answers) != CTemperamentDlg::kClose) {
            return ctx.Fail(kExitUsage, "the temperament was not added: " + answers.m_strRefusal);
        }
        // The editor does not look at what the store made of the write.
        if (!TemperamentExists(r.temperament)) {
            return ctx.Fail(kExitStore, "the temperament could not be written to the store at " +
                                            ctx.storePath);
        }
        ctx.out << "Added the temperament " << PrintableField(r.temperament) << ": "
                << FormatTemperamentText(measured.adOffsets) << '\n';
    }
    return kExitOk;
}

}  // namespace

void AddSurveyCommand(std::vector<ToolCommand>& commands) {
    commands.push_back({"survey",
                        "FILE.wav [--standard-a HZ] [--exact|--classic] [--top N] "
                        "[--compare NAME] [--save NAME] [--add-temperament NAME]",
                        "which temperament and pitch a recording of an octave is in", 1, 13,
                        Survey});
}
