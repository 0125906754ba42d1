#include "storetool/ChartCommands.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <ostream>

#include "store/StoreSetup.h"
#include "storetool/ToolSupport.h"
#include "tuning/NumberFormat.h"
#include "tuning/ScalaFile.h"
#include "tuning/TemperamentSet.h"
#include "tuning/TuningChart.h"

namespace {

constexpr double kDefaultStandardA = 415.0;

}  // namespace

bool InStandardARange(double hz) {
    return hz >= 200.0 && hz <= 600.0;
}

// Finds a stored temperament by name, exactly or else regardless of letter
// case. On failure the session has reported it.
bool LoadTemperament(CStoreSession& s, ToolContext& ctx, const std::string& wanted,
                     std::string& name, std::array<double, 12>& offsets, int& status) {
    std::int64_t key = 0;
    if (!s.Open() || !s.FindKey(kTemperamentsKeyPath, key)) {
        status = s.Status();
        return false;
    }
    std::string data;
    const long st = s.File().GetValue(key, wanted, data);  // names compare without case
    if (st == ERROR_FILE_NOT_FOUND) {
        std::vector<CStoreFile::Value> values;
        std::vector<std::string> names;
        if (s.File().ListValues(key, values) == ERROR_SUCCESS) {
            for (const CStoreFile::Value& v : values) {
                names.push_back(v.name);
            }
        }
        status = ctx.Fail(kExitNotFound, "there is no temperament " + QuotedForMessage(wanted) +
                                             DidYouMean(ClosestNames(wanted, names)));
        return false;
    }
    if (st != ERROR_SUCCESS) {
        status = s.Failed(st);
        return false;
    }
    std::vector<CStoreFile::Value> values;
    s.File().ListValues(key, values);
    name = wanted;
    for (const CStoreFile::Value& v : values) {
        if (strcasecmp(v.name.c_str(), wanted.c_str()) == 0) {
            name = v.name;
        }
    }
    if (!ParseTemperamentText(StoredText(data), offsets)) {
        status = ctx.Fail(kExitStore, "the stored temperament " + QuotedForMessage(name) +
                                          " is not a list of twelve numbers");
        return false;
    }
    return true;
}

// The Standard A the program would use: its stored setting when that is a
// frequency the program accepts, else the default.
double StoredStandardA(CStoreSession& s) {
    std::int64_t key = 0;
    std::string data;
    if (s.File().FindKey(kSettingsKeyPath, &key) == ERROR_SUCCESS &&
        s.File().GetValue(key, "StandardA", data) == ERROR_SUCCESS) {
        const double hz = ParseAtof(StoredText(data).c_str());
        if (InStandardARange(hz)) {
            return hz;
        }
    }
    return kDefaultStandardA;
}

FifthArithmetic StoredArithmetic(CStoreSession& s) {
    std::int64_t key = 0;
    std::string data;
    if (s.File().FindKey(kSettingsKeyPath, &key) == ERROR_SUCCESS &&
        s.File().GetValue(key, "ExactTemperaments", data) == ERROR_SUCCESS &&
        ParseAtoi(StoredText(data).c_str()) != 0) {
        return FifthArithmetic::Exact;
    }
    return FifthArithmetic::Classic;
}

bool ReadNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

namespace {

int Show(ToolContext& ctx, const std::vector<std::string>& args) {
    const char* const usage =
        "usage: klavora-store show NAME [--standard-a HZ] [--rotation N] [--csv]";
    std::string wanted;
    bool haveName = false;
    bool csv = false;
    bool haveStandardA = false;
    double standardA = kDefaultStandardA;
    int rotation = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--csv") {
            csv = true;
        } else if (a == "--standard-a" || a == "--rotation") {
            double v = 0;
            if (i + 1 >= args.size() || !ReadNumber(args[i + 1], v)) {
                return ctx.Fail(kExitUsage, a + " needs a number; " + usage);
            }
            ++i;
            if (a == "--standard-a") {
                if (!InStandardARange(v)) {
                    return ctx.Fail(kExitUsage, "Standard A must lie between 200 and 600 Hz");
                }
                standardA = v;
                haveStandardA = true;
            } else {
                if (v != std::floor(v) || v < 0 || v > 11) {
                    return ctx.Fail(kExitUsage,
                                    "the rotation is a whole number of fifths, 0 to 11");
                }
                rotation = static_cast<int>(v);
            }
        } else if (!haveName && (a.empty() || a[0] != '-' || a == "-")) {
            wanted = a;
            haveName = true;
        } else {
            return ctx.Fail(kExitUsage, usage);
        }
    }
    if (!haveName) {
        return ctx.Fail(kExitUsage, usage);
    }
    CStoreSession s(ctx);
    std::string name;
    std::array<double, 12> offsets;
    int status = kExitOk;
    if (!LoadTemperament(s, ctx, NameArgument(wanted), name, offsets, status)) {
        return status;
    }
    if (!haveStandardA) {
        standardA = StoredStandardA(s);
    }
    CTemperament t(offsets);
    t.SetArithmetic(StoredArithmetic(s));
    t.Rotate(rotation);
    ctx.out << (csv ? FormatChartCsv(BuildChart(t, standardA))
                    : FormatChartText(name, t, standardA));
    return kExitOk;
}

std::string BaseNameWithoutScl(const std::string& path) {
    std::string base = path.substr(path.find_last_of('/') + 1);
    if (base.size() > 4 && strcasecmp(base.c_str() + base.size() - 4, ".scl") == 0) {
        base.resize(base.size() - 4);
    }
    return base;
}

int ImportScl(ToolContext& ctx, const std::vector<std::string>& args) {
    std::string text;
    std::string why;
    if (const int code = ReadInputFile(args[0], kLargestScalaFile, "a Scala file", text, why);
        code != kExitOk) {
        return ctx.Fail(code, "cannot read " + args[0] + ": " + why);
    }
    ScalaScale scale;
    std::array<double, 12> offsets;
    if (!ParseScalaTwelveTone(text, scale, why) || !DeriveFifthOffsets(scale, offsets, why)) {
        return ctx.Fail(kExitUsage, args[0] + ": " + why);
    }
    std::string name = args.size() > 1 ? args[1] : scale.description;
    if (name.empty()) {
        name = BaseNameWithoutScl(args[0]);
    }
    int status = kExitOk;
    if (!CheckNewName(ctx, name, status)) {
        return status;
    }
    CStoreSession s(ctx);
    std::int64_t key = 0;
    if (!s.Open() || !s.FindKey(kTemperamentsKeyPath, key)) {
        return s.Status();
    }
    // The file's cents become offsets in the arithmetic the program reads
    // them in, so that it plays the notes the file lists. Whether a file is
    // a scale does not depend on the arithmetic: it was checked above.
    const FifthArithmetic arithmetic = StoredArithmetic(s);
    if (arithmetic != FifthArithmetic::Classic &&
        (!ParseScalaTwelveTone(text, scale, why, arithmetic) ||
         !DeriveFifthOffsets(scale, offsets, why, arithmetic))) {
        return ctx.Fail(kExitUsage, args[0] + ": " + why);
    }
    CStoreFile& f = s.File();
    std::string existing;
    long st = f.Begin();
    if (st == ERROR_SUCCESS) {
        st = f.GetValue(key, name, existing);  // letter case ignored
        if (st == ERROR_SUCCESS) {
            f.Rollback();
            return ctx.Fail(kExitUsage, "a temperament named \"" + name + "\" exists already");
        }
        st = st == ERROR_FILE_NOT_FOUND
                 ? f.SetValue(key, name, FormatTemperamentText(offsets) + '\0')
                 : st;
    }
    if (st == ERROR_SUCCESS) {
        st = f.Commit();
    } else {
        f.Rollback();
    }
    if (st != ERROR_SUCCESS) {
        return s.Failed(st);
    }
    ctx.out << "Imported \"" << name << "\": " << FormatTemperamentText(offsets) << '\n';
    return kExitOk;
}

int ExportScl(ToolContext& ctx, const std::vector<std::string>& args) {
    CStoreSession s(ctx);
    std::string name;
    std::array<double, 12> offsets;
    int status = kExitOk;
    if (!LoadTemperament(s, ctx, NameArgument(args[0]), name, offsets, status)) {
        return status;
    }
    const std::string text = FormatScala(name, offsets, StoredArithmetic(s));
    if (args.size() < 2 || args[1] == "-") {
        ctx.out << text;
        return kExitOk;
    }
    std::string why;
    if (!WriteFileAtomically(args[1], text, why)) {
        return ctx.Fail(kExitStore, "cannot write " + args[1] + ": " + why);
    }
    return kExitOk;
}

}  // namespace

void AddChartCommands(std::vector<ToolCommand>& commands) {
    commands.push_back({"show", "NAME [--standard-a HZ] [--rotation N] [--csv]",
                        "a tuning chart: tables, frequencies and beat rates", 1, 6, Show});
    commands.push_back({"import-scl", "FILE [NAME]", "add a 12-note Scala scale as a temperament",
                        1, 2, ImportScl});
    commands.push_back({"export-scl", "NAME [FILE]", "write a temperament as a Scala scale file", 1,
                        2, ExportScl});
}
