#include "store/SurveyStore.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

#include "store/Store.h"
#include "tuning/NumberFormat.h"

const char* const kSurveysKeyPath = "SOFTWARE\\Klavora\\Surveys";

namespace {

// The program reads values through a buffer of 255 bytes with the NUL.
constexpr std::size_t kLongestText = 254;
constexpr std::size_t kLongestWhen = 32;
constexpr int kMostHeard = 999;
constexpr double kWidestSpread = 99.99;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

// The whole field as a finite number in [low, high], whatever the locale.
bool ReadNumber(const std::string& field, double low, double high, double& value) {
    const char* end = field.data() + field.size();
    double v = 0;
    const auto [ptr, ec] = std::from_chars(field.data(), end, v, std::chars_format::fixed);
    if (field.empty() || ec != std::errc() || ptr != end || !std::isfinite(v) || v < low ||
        v > high) {
        return false;
    }
    value = v;
    return true;
}

bool ReadCount(const std::string& field, int low, int high, int& value) {
    const char* end = field.data() + field.size();
    int v = 0;
    const auto [ptr, ec] = std::from_chars(field.data(), end, v);
    if (field.empty() || ec != std::errc() || ptr != end || v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

bool PlainWhen(const std::string& when) {
    if (when.empty() || when.size() > kLongestWhen) {
        return false;
    }
    for (const char c : when) {
        const bool ok = (c >= '0' && c <= '9') || c == '-' || c == ':' || c == 'T' || c == 'Z';
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string SurveyTimestamp(std::time_t now) {
    std::tm tm{};
    char text[32];
    if (gmtime_r(&now, &tm) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%MZ", &tm) == 0) {
        return "1970-01-01T00:00Z";
    }
    return text;
}

std::string FormatSurveyText(const SSavedSurvey& survey) {
    const SSurveyNotes& n = survey.notes;
    std::string text = "1;" + (PlainWhen(survey.strWhen) ? survey.strWhen : SurveyTimestamp(0)) +
                       ";" + FormatFixed(n.dReferenceA, 3) + ";";
    for (int i = 0; i < 12; ++i) {
        if (i > 0) {
            text += ',';
        }
        if (n.Measured(i)) {
            text += FormatFixed(n.adCents[i], 2) + "/" +
                    std::to_string(std::clamp(n.anHeard[i], 1, kMostHeard)) + "/" +
                    FormatFixed(std::clamp(n.adSpread[i], 0.0, kWidestSpread), 2);
        }
    }
    return text;
}

bool ParseSurveyText(const std::string& text, SSavedSurvey& survey) {
    if (text.size() > kLongestText) {
        return false;
    }
    const std::vector<std::string> parts = Split(text, ';');
    if (parts.size() != 4 || parts[0] != "1" || !PlainWhen(parts[1])) {
        return false;
    }
    SSavedSurvey read;
    read.strWhen = parts[1];
    if (!ReadNumber(parts[2], 200.0, 600.0, read.notes.dReferenceA)) {
        return false;
    }
    const std::vector<std::string> fields = Split(parts[3], ',');
    if (fields.size() != 12) {
        return false;
    }
    for (int i = 0; i < 12; ++i) {
        if (fields[i].empty()) {
            continue;
        }
        const std::vector<std::string> f = Split(fields[i], '/');
        if (f.size() != 3 || !ReadNumber(f[0], -100.0, 100.0, read.notes.adCents[i]) ||
            !ReadCount(f[1], 1, kMostHeard, read.notes.anHeard[i]) ||
            !ReadNumber(f[2], 0.0, 100.0, read.notes.adSpread[i])) {
            return false;
        }
    }
    survey = read;
    return true;
}

long SaveSurvey(const std::string& storePath, const std::string& name, const SSavedSurvey& survey,
                int waitMs) {
    std::unique_ptr<CStoreFile> file;
    long st = CStoreFile::Open(storePath, file, waitMs);
    if (st != ERROR_SUCCESS) {
        return st;
    }
    std::int64_t key = 0;
    st = file->Begin();
    if (st == ERROR_SUCCESS) {
        st = file->CreateKey(kSurveysKeyPath, &key);
    }
    if (st == ERROR_SUCCESS) {
        st = file->SetValue(key, name, FormatSurveyText(survey) + '\0');
    }
    if (st == ERROR_SUCCESS) {
        return file->Commit();
    }
    file->Rollback();
    return st;
}

long ReadSurveyText(const std::string& storePath, const std::string& name, std::string& text,
                    std::string& storedName, int waitMs) {
    text.clear();
    std::unique_ptr<CStoreFile> file;
    long st = CStoreFile::Open(storePath, file, waitMs);
    std::int64_t key = 0;
    if (st == ERROR_SUCCESS) {
        st = file->FindKey(kSurveysKeyPath, &key);
    }
    std::string data;
    if (st == ERROR_SUCCESS) {
        st = file->GetValue(key, name, data);
    }
    if (st != ERROR_SUCCESS) {
        return st;
    }
    text = data.substr(0, data.find('\0'));
    storedName = name;
    std::vector<CStoreFile::Value> values;
    if (file->ListValues(key, values) == ERROR_SUCCESS) {
        for (const CStoreFile::Value& v : values) {
            if (strcasecmp(v.name.c_str(), name.c_str()) == 0) {
                storedName = v.name;
            }
        }
    }
    return ERROR_SUCCESS;
}

long ListSurveys(const std::string& storePath, std::vector<std::string>& names, int waitMs) {
    names.clear();
    std::unique_ptr<CStoreFile> file;
    long st = CStoreFile::Open(storePath, file, waitMs);
    std::int64_t key = 0;
    if (st == ERROR_SUCCESS) {
        st = file->FindKey(kSurveysKeyPath, &key);
    }
    std::vector<CStoreFile::Value> values;
    if (st == ERROR_SUCCESS) {
        st = file->ListValues(key, values);
    }
    for (const CStoreFile::Value& v : values) {
        names.push_back(v.name);
    }
    return st;
}

SSurveyDrift CompareSurveys(const SSurveyNotes& before, const SSurveyNotes& now) {
    SSurveyDrift drift;
    drift.adMoved.fill(NAN);
    drift.adBesideShift.fill(NAN);
    double dSum = 0;
    for (int n = 0; n < 12; ++n) {
        if (before.Measured(n) && now.Measured(n)) {
            drift.adMoved[n] = 1200.0 * std::log2(now.Frequency(n) / before.Frequency(n));
            dSum += drift.adMoved[n];
            ++drift.nCommon;
        }
    }
    if (drift.nCommon == 0) {
        return drift;
    }
    drift.dShiftCents = dSum / drift.nCommon;
    for (int n = 0; n < 12; ++n) {
        drift.adBesideShift[n] = drift.adMoved[n] - drift.dShiftCents;
    }
    return drift;
}
