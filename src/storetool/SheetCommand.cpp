#include "storetool/SheetCommand.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <ostream>

#include "sheet/TuningSheet.h"
#include "store/ExportFormat.h"
#include "storetool/ChartCommands.h"
#include "storetool/SheetSurvey.h"
#include "storetool/ToolSupport.h"

namespace {

const char* const kUsage =
    "usage: klavora-store sheet NAME [--standard-a HZ] [--rotation N] "
    "[--bearing F3-F4|C4-C5|A3-A4] [--exact|--classic] [--survey FILE.wav|SURVEY] -o FILE";

struct SheetRequest {
    std::string wanted;
    bool haveName = false;
    bool haveStandardA = false;
    double standardA = 0;
    int rotation = 0;
    Bearing bearing = Bearing::F3toF4;
    std::string output;
    SheetFormat format = SheetFormat::Pdf;
    // Exact unless asked otherwise: the beat rates are then those of a real
    // string, and a pure third reads as pure.
    FifthArithmetic arithmetic = FifthArithmetic::Exact;
    bool haveRotation = false;
    // A recording or a saved survey whose notes the sheet shows.
    std::string survey;
};

// Reads the arguments; on a mistake reports it and returns false. Nothing
// is opened or written before every argument has been found good.
bool ReadRequest(ToolContext& ctx, const std::vector<std::string>& args, SheetRequest& r) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--standard-a" || a == "--rotation" || a == "--bearing" ||
                                a == "-o" || a == "--output" || a == "--survey";
        if (takesValue && i + 1 >= args.size()) {
            ctx.Fail(kExitUsage, a + " needs a value; " + kUsage);
            return false;
        }
        if (a == "--standard-a" || a == "--rotation") {
            double v = 0;
            if (!ReadNumber(args[++i], v)) {
                ctx.Fail(kExitUsage, a + " needs a number; " + kUsage);
                return false;
            }
            if (a == "--standard-a") {
                if (!InStandardARange(v)) {
                    ctx.Fail(kExitUsage, "Standard A must lie between 200 and 600 Hz");
                    return false;
                }
                r.standardA = v;
                r.haveStandardA = true;
            } else {
                if (v != std::floor(v) || v < 0 || v > 11) {
                    ctx.Fail(kExitUsage, "the rotation is a whole number of fifths, 0 to 11");
                    return false;
                }
                r.rotation = static_cast<int>(v);
                r.haveRotation = true;
            }
        } else if (a == "--bearing") {
            if (!ParseBearing(args[++i], r.bearing)) {
                ctx.Fail(kExitUsage,
                         "the bearing is F3-F4, C4-C5 or A3-A4, not " + QuotedForMessage(args[i]));
                return false;
            }
        } else if (a == "--exact" || a == "--classic") {
            r.arithmetic = a == "--exact" ? FifthArithmetic::Exact : FifthArithmetic::Classic;
        } else if (a == "-o" || a == "--output") {
            r.output = args[++i];
        } else if (a == "--survey") {
            r.survey = args[++i];
        } else if (!r.haveName && (a.empty() || a[0] != '-')) {
            r.wanted = a;
            r.haveName = true;
        } else {
            ctx.Fail(kExitUsage, kUsage);
            return false;
        }
    }
    if ((!r.haveName && r.survey.empty()) || r.output.empty()) {
        ctx.Fail(kExitUsage, kUsage);
        return false;
    }
    if (!SheetFormatOfPath(r.output, r.format)) {
        ctx.Fail(kExitUsage, "the sheet is written as a .pdf or an .svg file, not " +
                                 QuotedForMessage(r.output));
        return false;
    }
    return true;
}

int Sheet(ToolContext& ctx, const std::vector<std::string>& args) {
    SheetRequest r;
    if (!ReadRequest(ctx, args, r)) {
        return kExitUsage;
    }
    CStoreSession s(ctx);
    TuningSheetInfo info;
    std::array<double, 12> offsets;
    int status = kExitOk;
    SSurveyNotes notes;
    if (!r.survey.empty()) {
        // Without a name the sheet is of the temperament the survey found.
        SSurveySheet found;
        if (!ReadSheetSurvey(ctx, s, r.survey, r.haveStandardA ? r.standardA : 0.0, r.arithmetic,
                             !r.haveName, notes, info.measuredFrom, found, status)) {
            return status;
        }
        if (!r.haveName) {
            r.wanted = found.name;
            r.rotation = r.haveRotation ? r.rotation : found.rotation;
            r.standardA = r.haveStandardA ? r.standardA : found.standardA;
            r.haveStandardA = true;
        }
    }
    if (!LoadTemperament(s, ctx, r.wanted, info.name, offsets, status)) {
        // A name that is not in the store is a mistake in the arguments;
        // a store that cannot be read keeps its own code.
        return status == kExitNotFound ? kExitUsage : status;
    }
    // A name the program would leave out is not put on paper either.
    if (const std::string refusal = NameRefusal(info.name); !refusal.empty()) {
        return ctx.Fail(kExitUsage, "the temperament cannot be put on a sheet: " + refusal +
                                        " (\"klavora-store rename\" gives it another name)");
    }
    info.standardA = r.haveStandardA ? r.standardA : StoredStandardA(s);
    info.bearing = r.bearing;
    info.date = MakeSheetDate(std::getenv("SOURCE_DATE_EPOCH"), std::time(nullptr));
    CTemperament t(offsets);
    t.SetArithmetic(r.arithmetic);
    t.Rotate(r.rotation);
    if (!r.survey.empty()) {
        info.hasMeasured = true;
        info.measuredCents = MeasuredAgainst(notes, t, info.standardA);
    }

    std::string bytes;
    std::string why;
    if (!RenderTuningSheet(info, t, r.format, bytes, why)) {
        return ctx.Fail(kExitUsage, "cannot draw the sheet: " + why);
    }
    if (!WriteFileAtomically(r.output, bytes, why)) {
        return ctx.Fail(kExitUsage, "cannot write " + PrintableField(r.output) + ": " + why);
    }
    return kExitOk;
}

}  // namespace

void AddSheetCommand(std::vector<ToolCommand>& commands) {
    commands.push_back(
        {"sheet",
         "NAME [--standard-a HZ] [--rotation N] [--bearing F3-F4|C4-C5|A3-A4] [--exact|--classic] "
         "[--survey FILE.wav|SURVEY] -o FILE",
         "a printable tuning sheet with the bearing plan (.pdf or .svg)", 3, 12, Sheet});
}
