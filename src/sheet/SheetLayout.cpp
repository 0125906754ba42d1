#include "sheet/SheetLayout.h"

#include <cmath>
#include <cstdlib>

#include "tuning/NumberFormat.h"

namespace {

constexpr double kA4Width = 595.276;   // 210 mm
constexpr double kA4Height = 841.890;  // 297 mm
constexpr double kMargin = 36.0;
constexpr double kGap = 14.0;

std::string FormatTime(const std::tm& tm, const char* format) {
    char text[32];
    return std::strftime(text, sizeof text, format, &tm) > 0 ? std::string(text) : std::string();
}

}  // namespace

SheetGeometry A4SheetGeometry(bool bMeasured) {
    SheetGeometry g;
    g.pageWidth = kA4Width;
    g.pageHeight = kA4Height;
    g.content = {kMargin, kMargin, kA4Width - 2 * kMargin, kA4Height - 2 * kMargin};
    const double left = g.content.x;
    const double width = g.content.w;
    g.title = {left, g.content.y, width, 52};

    // The plan on the left; the circle and the thirds in a column on the right.
    const double top = g.title.Bottom() + 8;
    const double rightWidth = 186;
    const double rightX = g.content.Right() - rightWidth;
    g.plan = {left, top, rightX - kGap - left, 400};
    g.blockTitle = 24;
    g.circle = {rightX, top, rightWidth, g.blockTitle + rightWidth * 303.0 / 304.0};
    g.thirds = {rightX, g.circle.Bottom() + kGap, rightWidth,
                g.plan.Bottom() - g.circle.Bottom() - kGap};

    // The tables along the foot of the page, the legend between.
    const double tablesHeight = bMeasured ? 162 : 150;
    g.tables = {left, g.content.Bottom() - tablesHeight, width, tablesHeight};
    g.legend = {left, g.plan.Bottom() + kGap / 2, width,
                g.tables.y - kGap - g.plan.Bottom() - kGap / 2};

    g.planLineHeight = 14;
    g.planFontSize = 10;
    g.tableFontSize = 8.5;
    g.textFontSize = 8.5;
    g.tableRowStep = bMeasured ? 11 : 12;
    g.legendLeading = g.textFontSize + (bMeasured ? 2.0 : 2.5);
    return g;
}

int PlanLineCount(const BearingPlanResult& plan) {
    int n = 3;  // the column heading and the closing check's two lines
    for (const BearingStep& s : plan.steps) {
        n += 1 + static_cast<int>(s.checks.size());
    }
    return n;
}

int PlanLineCapacity(const SheetGeometry& g) {
    return static_cast<int>(std::floor((g.plan.h - g.blockTitle) / g.planLineHeight));
}

std::string FormatBeatRate(double beats) {
    return FormatFixed(std::fabs(beats), 1);
}

std::string BeatSide(double beats) {
    if (FormatBeatRate(beats) == "0.0") {
        return "pure";
    }
    return beats > 0 ? "wide" : "narrow";
}

std::string MetronomeFigure(double beats) {
    if (BeatSide(beats) == "pure") {
        return "";
    }
    const std::string figure = FormatFixed(std::fabs(beats) * 60.0, 0);
    // A metronome runs from 40 to 208; the legend halves a faster figure and
    // doubles a slower one, and past that no metronome can be set to it.
    const double perMinute = std::atof(figure.c_str());
    if (perMinute < kSlowestMetronome / 2 || perMinute > kFastestMetronome * 2) {
        return "\xE2\x80\x93";  // an en dash
    }
    return figure + "/min";
}

std::string IntervalName(IntervalKind kind) {
    switch (kind) {
        case IntervalKind::Octave:
            return "octave";
        case IntervalKind::Fifth:
            return "fifth";
        case IntervalKind::Fourth:
            return "fourth";
        case IntervalKind::MajorThird:
            return "major third";
    }
    return "";
}

std::string StepText(const BearingStep& step, double standardA) {
    if (step.FromFork()) {
        return "fork at " + FormatStreamDouble(standardA) + " Hz";
    }
    return IntervalName(step.interval.kind) + (step.Upwards() ? " up" : " down") + " from " +
           KeyName(step.fromKey);
}

std::string CheckText(const BeatingInterval& interval) {
    return KeyName(interval.lowerKey) + "-" + KeyName(interval.upperKey) + " " +
           IntervalName(interval.kind);
}

std::vector<std::string> WrapText(const std::string& text, double width,
                                  const std::function<double(const std::string&)>& measure) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = text.find(' ', i);
        const std::string word = text.substr(i, end == std::string::npos ? end : end - i);
        i = end == std::string::npos ? text.size() : end + 1;
        if (word.empty()) {
            continue;
        }
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && measure(longer) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

std::string ValidUtf8(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                   ? 1
                             : (c >= 0xC2 && c <= 0xDF) ? 2
                             : (c >= 0xE0 && c <= 0xEF) ? 3
                             : (c >= 0xF0 && c <= 0xF4) ? 4
                                                        : 0;
        bool good = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; good && k < length; ++k) {
            good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (good && length > 2) {
            // No overlong forms, no surrogates, nothing above U+10FFFF.
            const unsigned char d = static_cast<unsigned char>(text[i + 1]);
            good = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0) &&
                   !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
        }
        if (good && c >= 0x20 && c != 0x7f) {
            out.append(text, i, length);
            i += length;
        } else if (good) {
            out += ' ';  // a control character
            ++i;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string FitWithEllipsis(const std::string& text, double width,
                            const std::function<double(const std::string&)>& measure) {
    if (measure(text) <= width) {
        return text;
    }
    // Where each character begins; a head of k characters ends at starts[k].
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            starts.push_back(i);
        }
    }
    // The longest head that fits, found by halving: a name of any length is
    // measured some twenty times, not once for every character.
    const char* const ellipsis = "\xE2\x80\xA6";
    std::size_t fits = 0;  // nothing but the ellipsis, when not even one character fits
    std::size_t tooLong = starts.size();
    while (tooLong - fits > 1) {
        const std::size_t mid = fits + (tooLong - fits) / 2;
        if (measure(text.substr(0, starts[mid]) + ellipsis) <= width) {
            fits = mid;
        } else {
            tooLong = mid;
        }
    }
    return text.substr(0, fits > 0 ? starts[fits] : 0) + ellipsis;
}

SheetDate MakeSheetDate(const char* sourceDateEpoch, std::time_t now) {
    std::tm tm{};
    bool fixed = false;
    if (sourceDateEpoch != nullptr && *sourceDateEpoch != '\0') {
        char* end = nullptr;
        const long long seconds = std::strtoll(sourceDateEpoch, &end, 10);
        if (*end == '\0' && seconds >= 0 && seconds < 253402300800LL) {  // up to year 9999
            const std::time_t t = static_cast<std::time_t>(seconds);
            fixed = gmtime_r(&t, &tm) != nullptr;
        }
    }
    SheetDate d;
    if (fixed) {
        d.timestamp = FormatTime(tm, "%Y-%m-%dT%H:%M:%SZ");
    } else {
        std::tm utc{};
        gmtime_r(&now, &utc);
        d.timestamp = FormatTime(utc, "%Y-%m-%dT%H:%M:%SZ");
        localtime_r(&now, &tm);
    }
    d.date = FormatTime(tm, "%Y-%m-%d");
    return d;
}
