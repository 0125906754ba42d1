#include "storetool/StoreTool.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "store/ExportFormat.h"
#include "store/Store.h"
#include "store/StoreSetup.h"
#include "storetool/ChartCommands.h"
#include "storetool/CheckCommands.h"
#include "storetool/MeasureCommand.h"
#include "storetool/SheetCommand.h"
#include "storetool/SurveyCommand.h"
#include "storetool/ToolSupport.h"

int ToolContext::Fail(int code, const std::string& message) const {
    err << "klavora-store: " << message << '\n';
    return code;
}

namespace {

int Init(ToolContext& ctx, const std::vector<std::string>&) {
    const StoreSetupResult r = InitializeStore(ctx.storePath, kToolWaitMs);
    if (r.status != ERROR_SUCCESS) {
        return ctx.Fail(kExitStore, "cannot initialise " + ctx.storePath + ": " + r.error);
    }
    ctx.out << (r.createdFile ? "Created store " : "Kept store ") << ctx.storePath << '\n';
    ctx.out << (r.createdSettings ? "Created key " : "Kept key ") << kSettingsKeyPath << '\n';
    if (r.createdTemperaments) {
        ctx.out << "Created key " << kTemperamentsKeyPath << " with " << SeedCatalogue().size()
                << " temperaments\n";
    } else {
        ctx.out << "Kept key " << kTemperamentsKeyPath << '\n';
    }
    return kExitOk;
}

int Keys(ToolContext& ctx, const std::vector<std::string>&) {
    CStoreSession s(ctx);
    if (!s.Open()) {
        return s.Status();
    }
    std::vector<std::string> paths;
    if (const long st = s.File().ListKeys(paths); st != ERROR_SUCCESS) {
        return s.Failed(st);
    }
    for (const std::string& p : paths) {
        ctx.out << PrintableField(p) << '\n';
    }
    return kExitOk;
}

int List(ToolContext& ctx, const std::vector<std::string>& args) {
    CStoreSession s(ctx);
    std::int64_t key = 0;
    if (!s.Open() || !s.FindKey(args[0], key)) {
        return s.Status();
    }
    std::vector<CStoreFile::Value> values;
    if (const long st = s.File().ListValues(key, values); st != ERROR_SUCCESS) {
        return s.Failed(st);
    }
    // One value a line, name and text split by a tab: what would break the
    // line up is quoted.
    for (const CStoreFile::Value& v : values) {
        ctx.out << PrintableField(v.name) << '\t' << PrintableField(StoredText(v.data)) << '\n';
    }
    return kExitOk;
}

int Get(ToolContext& ctx, const std::vector<std::string>& args) {
    CStoreSession s(ctx);
    std::int64_t key = 0;
    if (!s.Open() || !s.FindKey(args[0], key)) {
        return s.Status();
    }
    std::string data;
    const long st = s.File().GetValue(key, NameArgument(args[1]), data);
    if (st == ERROR_FILE_NOT_FOUND) {
        return ctx.Fail(kExitNotFound, "no value \"" + args[1] + "\" in key " + args[0]);
    }
    if (st != ERROR_SUCCESS) {
        return s.Failed(st);
    }
    ctx.out << StoredText(data) << '\n';
    return kExitOk;
}

int Set(ToolContext& ctx, const std::vector<std::string>& args) {
    if (NormaliseKeyPath(args[0]).empty() || !IsPrintableKeyPath(args[0]) ||
        args[0].find("\\\\") != std::string::npos) {
        return ctx.Fail(kExitUsage, "not a key path: \"" + args[0] + "\"");
    }
    int status = kExitOk;
    if (!CheckNewName(ctx, args[1], status)) {
        return status;
    }
    CStoreSession s(ctx);
    if (!s.Open()) {
        return s.Status();
    }
    CStoreFile& f = s.File();
    std::int64_t key = 0;
    long st = f.Begin();
    if (st == ERROR_SUCCESS) {
        st = f.CreateKey(args[0], &key);
    }
    if (st == ERROR_SUCCESS) {
        st = f.SetValue(key, args[1], args[2] + '\0');
    }
    if (st == ERROR_SUCCESS) {
        st = f.Commit();
    } else {
        f.Rollback();
    }
    return st == ERROR_SUCCESS ? kExitOk : s.Failed(st);
}

int Delete(ToolContext& ctx, const std::vector<std::string>& args) {
    CStoreSession s(ctx);
    std::int64_t key = 0;
    if (!s.Open() || !s.FindKey(args[0], key)) {
        return s.Status();
    }
    const long st = s.File().DeleteValue(key, NameArgument(args[1]));
    if (st == ERROR_FILE_NOT_FOUND) {
        return ctx.Fail(kExitNotFound, "no value \"" + args[1] + "\" in key " + args[0]);
    }
    return st == ERROR_SUCCESS ? kExitOk : s.Failed(st);
}

int Export(ToolContext& ctx, const std::vector<std::string>& args) {
    CStoreSession s(ctx);
    if (!s.Open()) {
        return s.Status();
    }
    std::vector<std::string> paths;
    long st = s.File().ListKeys(paths);
    std::vector<ExportKey> keys;
    for (std::size_t i = 0; st == ERROR_SUCCESS && i < paths.size(); ++i) {
        std::int64_t id = 0;
        std::vector<CStoreFile::Value> values;
        st = s.File().FindKey(paths[i], &id);
        if (st == ERROR_SUCCESS) {
            st = s.File().ListValues(id, values);
        }
        ExportKey key{paths[i], {}};
        for (const CStoreFile::Value& v : values) {
            key.values.push_back({v.name, StoredText(v.data)});
        }
        keys.push_back(std::move(key));
    }
    if (st != ERROR_SUCCESS) {
        return s.Failed(st);
    }
    const std::string text = FormatExport(keys);
    if (text.size() > kLargestBackup) {
        // Still written: it holds the whole store. But import would refuse it.
        ctx.err << "klavora-store: warning: this backup has more than " << (kLargestBackup >> 20)
                << " MiB, more than import reads\n";
    }
    if (args.empty() || args[0] == "-") {
        ctx.out << text;
        return kExitOk;
    }
    std::string why;
    if (!WriteFileAtomically(args[0], text, why)) {
        return ctx.Fail(kExitStore, "cannot write " + args[0] + ": " + why);
    }
    return kExitOk;
}

int Import(ToolContext& ctx, const std::vector<std::string>& args) {
    std::string text;
    std::string why;
    if (const int code = ReadInputFile(args[0], kLargestBackup, "a backup", text, why);
        code != kExitOk) {
        return ctx.Fail(code, "cannot read " + args[0] + ": " + why);
    }
    std::vector<ExportKey> keys;
    if (!ParseExport(text, keys, why)) {
        return ctx.Fail(kExitUsage, args[0] + ": " + why);
    }
    for (const ExportKey& k : keys) {
        if (NormaliseKeyPath(k.path).empty() || k.path.find("\\\\") != std::string::npos) {
            return ctx.Fail(kExitUsage, args[0] + ": not a key path: \"" + k.path + "\"");
        }
        for (const ExportKey::Entry& e : k.values) {
            const std::string why = NameRefusal(e.name);
            if (!why.empty()) {
                return ctx.Fail(kExitUsage, args[0] + ": in key " + k.path + ": " + why);
            }
        }
    }
    // A restore may start from nothing: the store is created when missing.
    CStoreSession s(ctx);
    if (!s.Open(true)) {
        return s.Status();
    }
    CStoreFile& f = s.File();
    long st = f.Begin();
    for (const ExportKey& k : keys) {
        std::int64_t id = 0;
        if (st == ERROR_SUCCESS) {
            st = f.CreateKey(k.path, &id);
        }
        for (const ExportKey::Entry& e : k.values) {
            if (st == ERROR_SUCCESS) {
                st = f.SetValue(id, e.name, e.text + '\0');
            }
        }
    }
    if (st == ERROR_SUCCESS) {
        st = f.Commit();
    } else {
        f.Rollback();
    }
    return st == ERROR_SUCCESS ? kExitOk : s.Failed(st);
}

std::vector<ToolCommand> BuildCommands() {
    std::vector<ToolCommand> commands = {
        {"init", "", "create the store and seed the catalogue of temperaments", 0, 0, Init},
        {"keys", "", "list the store's keys", 0, 0, Keys},
        {"list", "KEY", "list the values of a key: name, a tab, text", 1, 1, List},
        {"get", "KEY NAME", "print the text of one value", 2, 2, Get},
        {"set", "KEY NAME TEXT", "set a value (the key is created if needed)", 3, 3, Set},
        {"delete", "KEY NAME", "delete a value", 2, 2, Delete},
        {"export", "[FILE]", "write every key and value as text (to standard output)", 0, 1,
         Export},
        {"import", "FILE", "read keys and values from an export, replacing equal names", 1, 1,
         Import},
    };
    AddCheckCommands(commands);
    AddChartCommands(commands);
    AddSheetCommand(commands);
    AddMeasureCommand(commands);
    AddSurveyCommand(commands);
    return commands;
}

void PrintHelp(std::ostream& out) {
    out << "Usage: klavora-store COMMAND [ARGUMENTS]\n"
           "Looks after Klavora's store of temperaments and settings.\n\n"
           "Commands:\n";
    for (const ToolCommand& c : ToolCommands()) {
        std::string head = std::string(c.name) + (*c.usage != '\0' ? " " : "") + c.usage;
        if (head.size() < 30) {
            head.resize(30, ' ');
        } else {
            head += "\n" + std::string(32, ' ');
        }
        out << "  " << head << c.summary << '\n';
    }
    out << "\nKeys are paths such as \"SOFTWARE\\Klavora\\Temperaments\"; letter case does not"
           " matter.\n"
           "The store is $KLAVORA_STORE, else $XDG_CONFIG_HOME/klavora/klavora.db\n"
           "(~/.config/klavora/klavora.db).\n\n"
           "Names to look up may be given as list prints them (in quotes, with escapes).\n\n"
           "Exit status: 0 done, 1 not found, 2 wrong usage or input, 3 the store (or a file)\n"
           "cannot be read or written, 4 check found problems. A failed command changes\n"
           "nothing. sheet gives 2 also for a name it cannot find and a file it cannot\n"
           "write.\n";
}

}  // namespace

const std::vector<ToolCommand>& ToolCommands() {
    static const std::vector<ToolCommand> commands = BuildCommands();
    return commands;
}

int RunStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ToolContext ctx{out, err, StoreFilePath()};
    if (args.empty()) {
        PrintHelp(err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(out);
        return kExitOk;
    }
    if (args[0] == "--version") {
        out << "klavora-store " << KLAVORA_VERSION << '\n';
        return kExitOk;
    }
    for (const ToolCommand& c : ToolCommands()) {
        if (args[0] != c.name) {
            continue;
        }
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (rest.size() < c.minArgs || rest.size() > c.maxArgs) {
            return ctx.Fail(kExitUsage, std::string("usage: klavora-store ") + c.name +
                                            (*c.usage != '\0' ? " " : "") + c.usage);
        }
        return c.run(ctx, rest);
    }
    return ctx.Fail(kExitUsage, "unknown command \"" + args[0] + "\" (see klavora-store --help)");
}
