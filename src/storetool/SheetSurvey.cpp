#include "storetool/SheetSurvey.h"

#include <sys/stat.h>

#include <cmath>

#include "store/ExportFormat.h"
#include "store/SurveyStore.h"
#include "storetool/ChartCommands.h"
#include "storetool/RecordedSurvey.h"
#include "tuning/TemperamentFit.h"
#include "tuning/TemperamentTables.h"

bool ReadSheetSurvey(ToolContext& ctx, CStoreSession& s, const std::string& arg, double anchor,
                     FifthArithmetic arithmetic, bool findTemperament, SSurveyNotes& notes,
                     std::string& from, SSurveySheet& found, int& status) {
    const bool storeExists = StoreExists(ctx);
    if (storeExists && !s.Open()) {
        status = s.Status();
        return false;
    }
    if (anchor <= 0) {
        anchor = storeExists ? StoredStandardA(s) : 415.0;
    }
    struct stat st;
    if (::stat(arg.c_str(), &st) == 0) {
        SRecordedSurvey survey;
        std::string why;
        if (!SurveyRecording(arg, anchor, survey, why)) {
            status = ctx.Fail(kExitUsage, arg + ": " + why);
            return false;
        }
        notes = survey.notes;
        from = "survey of " + arg.substr(arg.find_last_of('/') + 1);
    } else {
        std::string text;
        std::string storedName;
        if (ReadSurveyText(ctx.storePath, arg, text, storedName, kToolWaitMs) ==
            ERROR_FILE_NOT_FOUND) {
            std::vector<std::string> names;
            ListSurveys(ctx.storePath, names, kToolWaitMs);
            status = ctx.Fail(kExitUsage, QuotedForMessage(arg) +
                                              " is neither a file nor a saved survey" +
                                              DidYouMean(ClosestNames(arg, names)));
            return false;
        }
        SSavedSurvey saved;
        if (const int code = LoadSavedSurvey(ctx, arg, saved, storedName); code != kExitOk) {
            status = code == kExitNotFound ? kExitUsage : code;
            return false;
        }
        notes = saved.notes;
        from = "survey " + PrintableField(storedName) + " of " + saved.strWhen;
    }
    const int count = notes.Count();
    if (count == 0 || (findTemperament && count < CTemperamentFit::kFewestNotes)) {
        status =
            ctx.Fail(kExitUsage,
                     "only " + std::to_string(count) + " of the 12 notes could be measured in " +
                         QuotedForMessage(arg) +
                         (findTemperament ? "; finding the temperament needs 7" : std::string()));
        return false;
    }
    if (findTemperament) {
        std::vector<SCatalogueEntry> catalogue;
        std::string source;
        if (!LoadFitCatalogue(s, storeExists, catalogue, source, status)) {
            return false;
        }
        const SFitResult fit = CTemperamentFit(catalogue, arithmetic).Fit(notes);
        if (fit.rows.empty()) {
            status = ctx.Fail(kExitUsage, "there are no temperaments to compare the notes with");
            return false;
        }
        found.name = fit.rows.front().name.strName;
        found.rotation = fit.rows.front().name.nRotation;
        found.standardA = std::round(fit.rows.front().dStandardA * 10) / 10;
    }
    return true;
}

std::array<double, 12> MeasuredAgainst(const SSurveyNotes& notes, const CTemperament& t,
                                       double standardA) {
    const std::array<double, 12> targets = TargetFrequencies(t, standardA, t.GetArithmetic());
    std::array<double, 12> cents;
    for (int n = 0; n < 12; ++n) {
        cents[n] = notes.Measured(n)
                       ? std::remainder(1200.0 * std::log2(notes.Frequency(n) / targets[n]), 1200.0)
                       : NAN;
    }
    return cents;
}
