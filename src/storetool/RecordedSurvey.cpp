#include "storetool/RecordedSurvey.h"

#include <sys/stat.h>

#include <cstdio>

#include "audio/FineAnalyser.h"
#include "audio/PitchTable.h"
#include "audio/SurveyCollector.h"
#include "store/StoreSetup.h"
#include "storetool/WavFile.h"
#include "tuning/TemperamentSet.h"

bool SurveyRecording(const std::string& path, double anchor, SRecordedSurvey& out,
                     std::string& why) {
    CWavFile wav;
    if (!wav.Open(path, why)) {
        return false;
    }
    CFineAnalyser analyser(wav.GetSamplingRate(), wav.GetChannels());
    analyser.FollowFrequency(anchor);
    CSurveyCollector collector(anchor);
    if (!AnalyseWavFile(
            wav, analyser, [&](const CFineReading& r) { collector.OnReading(r); }, why)) {
        return false;
    }
    collector.Finish();
    out.notes = collector.Notes();
    for (int n = 0; n < 12; ++n) {
        out.anOctaves[n] = collector.LastOctave(n);
    }
    char line[96];
    std::snprintf(line, sizeof line, ": %d Hz, %s, %s, %.2f s", wav.GetSamplingRate(),
                  wav.GetChannels() == 1 ? "mono" : "stereo",
                  wav.IsFloat() ? "32-bit float" : "16-bit PCM",
                  static_cast<double>(wav.GetFrames()) / wav.GetSamplingRate());
    out.strHeader = path + line;
    return true;
}

bool StoreExists(const ToolContext& ctx) {
    struct stat st;
    return ::stat(ctx.storePath.c_str(), &st) == 0;
}

bool LoadFitCatalogue(CStoreSession& s, bool storeExists, std::vector<SCatalogueEntry>& catalogue,
                      std::string& source, int& status) {
    catalogue.clear();
    std::int64_t key = 0;
    if (storeExists) {
        if (!s.Open()) {
            status = s.Status();
            return false;
        }
        if (s.File().FindKey(kTemperamentsKeyPath, &key) == ERROR_SUCCESS) {
            std::vector<CStoreFile::Value> values;
            if (const long st = s.File().ListValues(key, values); st != ERROR_SUCCESS) {
                status = s.Failed(st);
                return false;
            }
            // As the program loads them: names and texts it cannot read back
            // are left out.
            for (const CStoreFile::Value& v : values) {
                SCatalogueEntry e{v.name, {}};
                const std::string text = StoredText(v.data);
                if (NameRefusal(v.name).empty() && text.size() < 255 &&
                    ParseTemperamentText(text, e.adOffsets)) {
                    catalogue.push_back(e);
                }
            }
            source = "the store's " + std::to_string(catalogue.size()) + " temperaments";
            return true;
        }
    }
    for (const SeedTemperament& seed : SeedCatalogue()) {
        SCatalogueEntry e{seed.name, {}};
        if (ParseTemperamentText(seed.text, e.adOffsets)) {
            catalogue.push_back(e);
        }
    }
    source = "the " + std::to_string(catalogue.size()) + " temperaments Klavora ships (no store)";
    return true;
}

int LoadSavedSurvey(ToolContext& ctx, const std::string& name, SSavedSurvey& saved,
                    std::string& storedName) {
    std::string text;
    const long st = ReadSurveyText(ctx.storePath, name, text, storedName, kToolWaitMs);
    if (st == ERROR_FILE_NOT_FOUND) {
        std::vector<std::string> names;
        ListSurveys(ctx.storePath, names, kToolWaitMs);
        return ctx.Fail(kExitNotFound, "there is no saved survey " + QuotedForMessage(name) +
                                           DidYouMean(ClosestNames(name, names)));
    }
    if (st != ERROR_SUCCESS) {
        CStoreSession s(ctx);
        if (!s.Open()) {
            return s.Status();
        }
        return s.Failed(st);
    }
    if (!ParseSurveyText(text, saved)) {
        return ctx.Fail(kExitStore, "the saved survey " + QuotedForMessage(storedName) +
                                        " cannot be read (saving a survey under its name "
                                        "replaces it)");
    }
    return kExitOk;
}

std::string SurveyNoteLabel(const SRecordedSurvey& survey, int note) {
    std::string label = CPitchTable::Name(note);
    if (survey.notes.Measured(note)) {
        label += std::to_string(survey.anOctaves[note]);
    }
    return label;
}
