// SPDX-License-Identifier: GPL-3.0-or-later
// The last survey of each instrument, kept in the store under a name the user
// gives, and how far an instrument has moved since. The surveys have a key of
// their own beside the program's two, "SOFTWARE\Klavora\Surveys", made when
// the first survey is saved; the program's own keys are never touched. Each
// value holds one survey in a short text (under 255 characters, as every
// value the program reads):
//   1;2026-03-01T12:00Z;415.000;-5.87/2/0.12,,1.03/1/0.05,...
// the format's version, when it was taken (UTC), the pitch its notes were
// named from, then twelve fields C to B: cents from equal temperament at that
// pitch, times heard and spread in cents, or nothing for a note not measured.
// A value that does not read exactly so is refused whole, never half used.
// The store calls wait at most waitMs for another process. Any thread, one
// call at a time per store handle (each call opens its own).
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "tuning/SurveyNotes.h"

extern const char* const kSurveysKeyPath;

struct SSavedSurvey {
    std::string strWhen;  // "2026-03-01T12:00Z"
    SSurveyNotes notes;
};

// The time of a survey as the value keeps it, in UTC to the minute.
std::string SurveyTimestamp(std::time_t now);

std::string FormatSurveyText(const SSavedSurvey& survey);
// False, leaving survey as it was, for anything but a text FormatSurveyText
// could have written (a longer text, numbers out of range, fields missing or
// left over).
bool ParseSurveyText(const std::string& text, SSavedSurvey& survey);

// The registry's codes, as the store gives them: ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND (no store file, no surveys key or no such value),
// ERROR_BUSY, ERROR_BADDB, ERROR_ACCESS_DENIED.
// Keeps the survey under the name, replacing one of that name in any letter
// case; makes the surveys key when it is missing, never the store itself.
long SaveSurvey(const std::string& storePath, const std::string& name, const SSavedSurvey& survey,
                int waitMs);
// The stored text of the survey of that name (letter case aside) and the
// name as it was stored.
long ReadSurveyText(const std::string& storePath, const std::string& name, std::string& text,
                    std::string& storedName, int waitMs);
// The names of the saved surveys, in the order they were first saved.
long ListSurveys(const std::string& storePath, std::vector<std::string>& names, int waitMs);

// How far an instrument moved between two surveys of it: each note heard in
// both, in cents (NaN otherwise); the overall shift of pitch, the mean of
// those; and each note's move beside that shift, which shows the strings
// that went their own way.
struct SSurveyDrift {
    int nCommon = 0;
    double dShiftCents = 0;
    std::array<double, 12> adMoved;
    std::array<double, 12> adBesideShift;
};
SSurveyDrift CompareSurveys(const SSurveyNotes& before, const SSurveyNotes& now);
