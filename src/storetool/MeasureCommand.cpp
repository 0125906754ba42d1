#include "storetool/MeasureCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "audio/FineAnalyser.h"
#include "audio/PitchTable.h"
#include "store/StoreSetup.h"
#include "storetool/ChartCommands.h"
#include "storetool/ToolSupport.h"
#include "storetool/WavFile.h"
#include "tuning/Temperament.h"
#include "tuning/TemperamentTables.h"

namespace {

const char* const kUsage =
    "usage: klavora-store measure FILE.wav [--temperament NAME] [--standard-a HZ] "
    "[--exact|--classic] [--note NAME|--any]";
constexpr double kDefaultStandardA = 415.0;
const char* const kEqualName = "Equal temperament";

struct SMeasureRequest {
    std::string file;
    bool haveFile = false;
    std::string temperament;
    bool haveTemperament = false;
    double standardA = 0;
    bool haveStandardA = false;
    FifthArithmetic arithmetic = FifthArithmetic::Exact;
    bool haveArithmetic = false;
    int note = -1;  // -1: any note
    int octave = -1;
    bool haveTarget = false;
};

bool ReadRequest(ToolContext& ctx, const std::vector<std::string>& args, SMeasureRequest& r) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--temperament" || a == "--standard-a" || a == "--note";
        if (takesValue && i + 1 >= args.size()) {
            ctx.Fail(kExitUsage, a + " needs a value; " + kUsage);
            return false;
        }
        if (a == "--temperament") {
            r.temperament = NameArgument(args[++i]);
            r.haveTemperament = true;
        } else if (a == "--standard-a") {
            double v = 0;
            if (!ReadNumber(args[++i], v)) {
                ctx.Fail(kExitUsage, "--standard-a needs a number; " + std::string(kUsage));
                return false;
            }
            if (!InStandardARange(v)) {
                ctx.Fail(kExitUsage, "Standard A must lie between 200 and 600 Hz");
                return false;
            }
            r.standardA = v;
            r.haveStandardA = true;
        } else if ((a == "--exact" || a == "--classic") && !r.haveArithmetic) {
            r.arithmetic = a == "--exact" ? FifthArithmetic::Exact : FifthArithmetic::Classic;
            r.haveArithmetic = true;
        } else if (a == "--note" && !r.haveTarget) {
            if (!ParseNoteArgument(args[++i], r.note, r.octave)) {
                ctx.Fail(kExitUsage, "not a note: \"" + args[i] + "\" (for example A, C#, Bb3)");
                return false;
            }
            r.haveTarget = true;
        } else if (a == "--any" && !r.haveTarget) {
            r.haveTarget = true;
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

// The temperament and Standard A to measure against: the ones named, else
// the program's own (its stored settings), else equal temperament at 415 Hz
// when there is no store at all.
bool ChooseTemperament(ToolContext& ctx, const SMeasureRequest& r, std::string& name,
                       std::array<double, 12>& offsets, double& standardA, int& status) {
    standardA = r.haveStandardA ? r.standardA : kDefaultStandardA;
    name = kEqualName;
    offsets.fill(-2.0);
    struct stat st;
    if (!r.haveTemperament && ::stat(ctx.storePath.c_str(), &st) != 0) {
        return true;
    }
    CStoreSession s(ctx);
    if (!s.Open()) {
        status = s.Status();
        return false;
    }
    std::string wanted = r.temperament;
    if (!r.haveTemperament) {
        std::int64_t key = 0;
        std::string data;
        if (s.File().FindKey(kSettingsKeyPath, &key) == ERROR_SUCCESS &&
            s.File().GetValue(key, "Temperament", data) == ERROR_SUCCESS) {
            wanted = StoredText(data);
        }
        std::int64_t temperaments = 0;
        if (wanted.empty() ||
            s.File().FindKey(kTemperamentsKeyPath, &temperaments) != ERROR_SUCCESS ||
            s.File().GetValue(temperaments, wanted, data) != ERROR_SUCCESS) {
            wanted = kEqualName;  // the program's choice is gone: equal temperament
            if (s.File().GetValue(temperaments, wanted, data) != ERROR_SUCCESS) {
                standardA = r.haveStandardA ? r.standardA : StoredStandardA(s);
                return true;
            }
        }
    }
    if (!LoadTemperament(s, ctx, wanted, name, offsets, status)) {
        // A name that is not in the store is a mistake in the arguments.
        status = status == kExitNotFound ? kExitUsage : status;
        return false;
    }
    if (!r.haveStandardA) {
        standardA = StoredStandardA(s);
    }
    return true;
}

std::string NoteText(const CFineReading& r) {
    if (r.m_nNote < 0) {
        return "--";
    }
    return std::string(CPitchTable::Name(r.m_nNote)) + std::to_string(r.m_nOctave);
}

// One summary line's readings.
struct SNoteReadings {
    std::string note;
    double first = 0;
    double last = 0;
    int count = 0;
    std::vector<double> steadyHz, steadyCents, allHz, allCents;
};

double Quantile(std::vector<double> v, double q) {
    if (v.empty()) {
        return NAN;
    }
    std::sort(v.begin(), v.end());
    const double x = q * static_cast<double>(v.size() - 1);
    const auto i = static_cast<std::size_t>(x);
    const double f = x - static_cast<double>(i);
    return i + 1 < v.size() ? v[i] * (1 - f) + v[i + 1] * f : v[i];
}

std::string Fixed(double v, const char* format) {
    if (std::isnan(v)) {
        return "--";
    }
    char text[48];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

void PrintReading(std::ostream& out, const CFineReading& r) {
    const bool bLive = r.m_bValid;
    char line[96];
    std::snprintf(line, sizeof line, "%7.2f  %-4s %10s  %8s  %10.2f%s\n", r.m_dTime,
                  bLive ? NoteText(r).c_str() : "--", bLive ? Fixed(r.m_dHz, "%.3f").c_str() : "--",
                  bLive ? Fixed(r.m_dCents, "%+.2f").c_str() : "--", r.m_dConfidence,
                  bLive && r.m_bSteady ? "  steady" : "");
    out << line;
}

void PrintSummary(std::ostream& out, const std::vector<SNoteReadings>& notes) {
    if (notes.empty()) {
        out << "\nNo tone was found.\n";
        return;
    }
    out << "\nSummary by note (medians of the steady readings, or of all where none is steady):\n"
        << "note  readings  steady  from s    to s          Hz     cents     iqr\n";
    for (const SNoteReadings& n : notes) {
        const bool bSteady = !n.steadyHz.empty();
        const std::vector<double>& hz = bSteady ? n.steadyHz : n.allHz;
        const std::vector<double>& cents = bSteady ? n.steadyCents : n.allCents;
        char line[128];
        std::snprintf(line, sizeof line, "%-4s %9d %7zu %7.2f %7.2f %11s %9s %7s\n", n.note.c_str(),
                      n.count, n.steadyHz.size(), n.first, n.last,
                      Fixed(Quantile(hz, 0.5), "%.3f").c_str(),
                      Fixed(Quantile(cents, 0.5), "%+.2f").c_str(),
                      Fixed(Quantile(cents, 0.75) - Quantile(cents, 0.25), "%.2f").c_str());
        out << line;
    }
}

int Measure(ToolContext& ctx, const std::vector<std::string>& args) {
    SMeasureRequest r;
    if (!ReadRequest(ctx, args, r)) {
        return kExitUsage;
    }
    CWavFile wav;
    std::string why;
    if (!wav.Open(r.file, why)) {
        return ctx.Fail(kExitUsage, r.file + ": " + why);
    }
    std::string name;
    std::array<double, 12> offsets;
    double standardA = kDefaultStandardA;
    int status = kExitOk;
    if (!ChooseTemperament(ctx, r, name, offsets, standardA, status)) {
        return status;
    }
    const CPitchTable table(TargetFrequencies(CTemperament(offsets), standardA, r.arithmetic));

    CFineAnalyser analyser(wav.GetSamplingRate(), wav.GetChannels());
    std::string target = "the nearest note from C1 to C7";
    if (r.note >= 0) {
        analyser.FollowNote(table, r.note,
                            r.octave >= 0 ? r.octave : CFineAnalyser::kNearestOctave);
        target = std::string("following ") + CPitchTable::Name(r.note) +
                 (r.octave >= 0 ? std::to_string(r.octave) : " in the octave nearest the tone");
    } else {
        analyser.FindAnyNote(table);
    }
    const double seconds = static_cast<double>(wav.GetFrames()) / wav.GetSamplingRate();
    ctx.out << r.file << ": " << wav.GetSamplingRate() << " Hz, "
            << (wav.GetChannels() == 1 ? "mono" : "stereo") << ", "
            << (wav.IsFloat() ? "32-bit float" : "16-bit PCM") << ", " << Fixed(seconds, "%.2f")
            << " s\n"
            << "Targets: " << name << " at A = " << Fixed(standardA, "%g") << " Hz, "
            << (r.arithmetic == FifthArithmetic::Exact ? "exact" : "classic") << " arithmetic; "
            << target << "\n\n"
            << " time s  note         Hz     cents  confidence\n";

    std::vector<SNoteReadings> notes;
    const bool bRead = AnalyseWavFile(
        wav, analyser,
        [&](const CFineReading& reading) {
            PrintReading(ctx.out, reading);
            if (!reading.m_bValid) {
                return;
            }
            const std::string note = NoteText(reading);
            auto it = std::find_if(notes.begin(), notes.end(),
                                   [&](const SNoteReadings& x) { return x.note == note; });
            if (it == notes.end()) {
                notes.emplace_back();
                it = notes.end() - 1;
                it->note = note;
                it->first = reading.m_dTime;
            }
            it->last = reading.m_dTime;
            ++it->count;
            it->allHz.push_back(reading.m_dHz);
            it->allCents.push_back(reading.m_dCents);
            if (reading.m_bSteady) {
                it->steadyHz.push_back(reading.m_dHz);
                it->steadyCents.push_back(reading.m_dCents);
            }
        },
        why);
    if (!bRead) {
        return ctx.Fail(kExitUsage, r.file + ": " + why);
    }
    PrintSummary(ctx.out, notes);
    return kExitOk;
}

}  // namespace

bool ParseNoteArgument(const std::string& text, int& note, int& octave) {
    static const int naturals[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    const std::string t = text.substr(0, text.find('/'));   // "C#/Db" is C#
    if (t.empty()) {
        return false;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
    if (letter < 'A' || letter > 'G') {
        return false;
    }
    int n = naturals[letter - 'A'];
    int shift = 0;  // Cb4 is B3, B#3 is C4
    std::size_t i = 1;
    if (i < t.size() && (t[i] == '#' || t[i] == 'b')) {
        n += t[i] == '#' ? 1 : -1;
        ++i;
    }
    if (n < 0 || n > 11) {
        shift = n < 0 ? -1 : 1;
        n = (n + 12) % 12;
    }
    octave = -1;
    if (i < t.size()) {
        if (i + 1 != t.size() || !std::isdigit(static_cast<unsigned char>(t[i]))) {
            return false;
        }
        octave = t[i] - '0' + shift;
        if (octave < 0) {
            return false;
        }
    }
    note = n;
    return true;
}

void AddMeasureCommand(std::vector<ToolCommand>& commands) {
    commands.push_back({"measure",
                        "FILE.wav [--temperament NAME] [--standard-a HZ] [--exact|--classic] "
                        "[--note NAME|--any]",
                        "measure the pitch in a recording, reading by reading", 1, 8, Measure});
}
