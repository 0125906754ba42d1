#include "tuning/ScalaFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "tuning/NumberFormat.h"
#include "tuning/Temperament.h"
#include "tuning/TemperamentSet.h"

namespace {

// The comment line in which Klavora records the exact offsets.
const char* const kOffsetsComment = "! Klavora fifths: ";
// How far the recorded offsets' notes may lie from the listed ones (cents):
// a circle that does not quite close (-24.00003) still matches.
constexpr double kRecordedTolerance = 0.001;

std::string Trim(const std::string& s) {
    const std::size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return std::string();
    }
    const std::size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool IsDigits(const std::string& s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// One pitch line: its first word is cents (with a '.') or a ratio a/b or a.
// decimals becomes the number of digits after the point, -1 for a ratio.
bool ParsePitch(const std::string& line, double& cents, int& decimals, std::string& why) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    decimals = -1;
    if (word.find('.') != std::string::npos) {
        decimals = static_cast<int>(word.size() - word.find('.') - 1);
        char* end = nullptr;
        cents = std::strtod(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0' || !std::isfinite(cents)) {
            why = "\"" + word + "\" is not a number of cents";
            return false;
        }
        return true;
    }
    const std::size_t slash = word.find('/');
    const std::string num = word.substr(0, slash);
    const std::string den = slash == std::string::npos ? "1" : word.substr(slash + 1);
    if (!IsDigits(num) || !IsDigits(den) || num.size() > 18 || den.size() > 18) {
        why = "\"" + word + "\" is neither cents nor a ratio";
        return false;
    }
    const double n = std::strtod(num.c_str(), nullptr);
    const double d = std::strtod(den.c_str(), nullptr);
    if (n <= 0 || d <= 0) {
        why = "the ratio \"" + word + "\" is not positive";
        return false;
    }
    cents = 1200.0 * std::log2(n / d);
    return true;
}

std::array<double, 11> PositionsOf(const std::array<double, 12>& offsets,
                                   FifthArithmetic arithmetic) {
    CTemperament t(offsets);
    t.SetArithmetic(arithmetic);
    std::array<double, 11> cents;
    for (int i = 1; i < 12; ++i) {
        cents[i - 1] = t.Interval(0, i);
    }
    return cents;
}

// Rounds a derived offset to drop the noise of the subtraction and nothing a
// scale file can say. Classic offsets are differences of the file's decimals
// and 702, so nine decimals keep all of them. An exact offset is cents divided
// by a 24th of the comma, which turns the file's last rounded digit into noise
// in every decimal: one decimal fewer than the file's cents keeps what they
// say (a file's 696.08999 reads as -6, not -6.00001), at least three.
double RoundDerivedOffset(double offset, const ScalaScale& scale, FifthArithmetic arithmetic) {
    int decimals = 9;
    if (arithmetic == FifthArithmetic::Exact && scale.centsDecimals >= 0) {
        decimals = std::clamp(scale.centsDecimals - 1, 3, 9);
    }
    const double scaleBy = std::pow(10.0, decimals);
    // Adding 0 turns the -0 of a tiny negative residue into 0, which the
    // store would otherwise keep as "-0".
    return std::round(offset * scaleBy) / scaleBy + 0.0;
}

// The last of the declared number of pitches, the interval at which the
// scale repeats; left as it is when that line is missing or unreadable.
void NotePeriod(const std::vector<std::string>& lines, long notes, double& period) {
    long seen = 0;
    for (std::size_t i = 2; i < lines.size() && notes > 0; ++i) {
        if (!Trim(lines[i]).empty() && ++seen == notes) {
            double cents = 0;
            int decimals = -1;
            std::string why;
            if (ParsePitch(Trim(lines[i]), cents, decimals, why)) {
                period = cents;
            }
            return;
        }
    }
}

}  // namespace

bool ParseScalaTwelveTone(const std::string& text, ScalaScale& scale, std::string& error,
                          FifthArithmetic arithmetic) {
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> lines;  // lines that are not comments
    std::string recorded;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '!') {
            if (line.compare(0, std::string(kOffsetsComment).size(), kOffsetsComment) == 0) {
                recorded = line.substr(std::string(kOffsetsComment).size());
            }
            continue;
        }
        lines.push_back(line);
    }
    if (lines.size() < 2) {
        error = "not a Scala scale file: it needs a description line and the number of notes";
        return false;
    }
    scale.description = Trim(lines[0]);
    std::istringstream countLine(lines[1]);
    std::string countWord;
    countLine >> countWord;
    scale.declaredNotes = -1;
    scale.periodCents = 0;
    if (!IsDigits(countWord)) {
        error = "not a Scala scale file: the second line must give the number of notes";
        return false;
    }
    scale.declaredNotes =
        countWord.size() > 9 ? 999999999 : std::strtol(countWord.c_str(), nullptr, 10);
    NotePeriod(lines, scale.declaredNotes, scale.periodCents);
    if (countWord != "12" && std::strtol(countWord.c_str(), nullptr, 10) != 12) {
        error = "the scale has " + countWord + " notes to the octave; a temperament needs 12";
        return false;
    }
    std::vector<double> pitches;
    scale.centsDecimals = -1;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        if (Trim(lines[i]).empty()) {
            continue;
        }
        double cents = 0;
        int decimals = -1;
        std::string why;
        if (!ParsePitch(Trim(lines[i]), cents, decimals, why)) {
            error = "pitch " + std::to_string(pitches.size() + 1) + ": " + why;
            return false;
        }
        pitches.push_back(cents);
        scale.centsDecimals = std::max(scale.centsDecimals, decimals);
    }
    if (pitches.size() != 12) {
        error = "the file lists " + std::to_string(pitches.size()) + " pitches instead of 12";
        return false;
    }
    if (std::fabs(pitches[11] - 1200.0) > 1e-6) {
        error = "the scale repeats at " + FormatStreamDouble(pitches[11]) +
                " cents, not at the octave 2/1";
        return false;
    }
    for (int i = 0; i < 11; ++i) {
        scale.cents[i] = pitches[i];
        // A degree may sound with the first note (0 cents, as a written-out
        // 1199.9999999 does), never below it or at the octave.
        if (!(pitches[i] >= 0.0 && pitches[i] < 1200.0)) {
            error = "pitch " + std::to_string(i + 1) + " lies outside the octave";
            return false;
        }
    }
    scale.hasRecordedOffsets = false;
    std::array<double, 12> offsets{};
    if (!recorded.empty() && ParseTemperamentText(Trim(recorded), offsets)) {
        // Use the recorded offsets only if they still describe the listed notes.
        const auto cents = PositionsOf(offsets, arithmetic);
        bool same = true;
        for (int i = 0; i < 11; ++i) {
            // A note just below the octave is listed as the first note.
            const double apart = std::fabs(cents[i] - scale.cents[i]);
            same = same && std::min(apart, std::fabs(apart - 1200.0)) <= kRecordedTolerance;
        }
        if (same) {
            scale.hasRecordedOffsets = true;
            scale.recordedOffsets = offsets;
        }
    }
    return true;
}

bool DeriveFifthOffsets(const ScalaScale& scale, std::array<double, 12>& offsets,
                        std::string& error, FifthArithmetic arithmetic) {
    if (scale.hasRecordedOffsets) {
        offsets = scale.recordedOffsets;
        return true;
    }
    auto position = [&](int note) { return note == 0 ? 0.0 : scale.cents[note - 1]; };
    double total = 0.0;
    std::array<double, 12> derived;
    for (int k = 0; k < 12; ++k) {
        const int from = (7 * k) % 12;
        const int to = (7 * (k + 1)) % 12;
        double fifth = position(to) - position(from);
        if (fifth < 0) {
            fifth += 1200.0;
        }
        total += fifth;
        const double offset =
            arithmetic == FifthArithmetic::Exact
                ? (fifth - CTemperament::kExactPureFifth) / CTemperament::kExactUnit
                : fifth - CTemperament::kPureFifth;
        derived[k] = RoundDerivedOffset(offset, scale, arithmetic);
    }
    // Twelve fifths up from C and back to C span seven octaves.
    if (std::fabs(total - 7 * 1200.0) > 1e-6) {
        error = "the scale's fifths do not form one circle of fifths";
        return false;
    }
    // The closing fifth F-C takes what the rounding left over, so the offsets
    // add up to the comma exactly.
    double sum = 0.0;
    for (int k = 0; k < 11; ++k) {
        sum += derived[k];
    }
    derived[11] = -CTemperament::kComma - sum;
    offsets = derived;
    return true;
}

std::string FormatScala(const std::string& rawName, const std::array<double, 12>& offsets,
                        FifthArithmetic arithmetic) {
    // The description is one line: a name's control characters become spaces.
    std::string name = rawName;
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    const auto cents = PositionsOf(offsets, arithmetic);
    std::string out = "! " + name + ".scl\n";
    out += "!\n";
    out += kOffsetsComment + FormatTemperamentText(offsets) + "\n";
    // A description beginning with '!' would be read as a comment, and the
    // file as one without a description: a blank in front keeps it a
    // description, and readers trim it.
    out += (name.empty() || name[0] != '!' ? "" : " ") + name + "\n";
    out += " 12\n!\n";
    for (double c : cents) {
        // A note that rounds to the octave is the first note again.
        std::string text = FormatFixed(c, 6);
        if (text == "1200.000000") {
            text = "0.000000";
        }
        out += " " + text + "\n";
    }
    out += " 2/1\n";
    return out;
}
