// SPDX-License-Identifier: GPL-3.0-or-later
// What the store tool's survey and sheet commands share: the survey of a WAV
// recording (the fine analysis and the survey's collector over it, as the
// Fine Tuner window feeds them), the catalogue to fit, and a survey named on
// the command line as a recording or as a saved survey.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "store/SurveyStore.h"
#include "storetool/StoreTool.h"
#include "storetool/ToolSupport.h"
#include "tuning/SurveyNotes.h"
#include "tuning/TemperamentFit.h"

struct SRecordedSurvey {
    SSurveyNotes notes;
    std::array<int, 12> anOctaves{};  // the octave each note was last heard in
    std::string strHeader;            // "FILE: 44100 Hz, mono, 16-bit PCM, 12.30 s"
};

// Surveys the recording at path, the notes named from anchor (a Standard
// A). False with the reason in why when the file is not a recording the
// tool reads.
bool SurveyRecording(const std::string& path, double anchor, SRecordedSurvey& out,
                     std::string& why);

// The temperaments to fit: those of the store, or, where there is no store
// or it holds no temperaments key, the catalogue the program ships. source
// says which. A store that exists but cannot be read is reported.
bool LoadFitCatalogue(CStoreSession& s, bool storeExists, std::vector<SCatalogueEntry>& catalogue,
                      std::string& source, int& status);

// Whether the store file exists at all.
bool StoreExists(const ToolContext& ctx);

// Reads the saved survey of that name. kExitOk; kExitNotFound when there is
// none (reported, with the closest names); kExitStore when the store or the
// value cannot be read (reported). storedName is the name as saved.
int LoadSavedSurvey(ToolContext& ctx, const std::string& name, SSavedSurvey& saved,
                    std::string& storedName);

// The note of a table line: "E4", or "C#" for a note not heard.
std::string SurveyNoteLabel(const SRecordedSurvey& survey, int note);
