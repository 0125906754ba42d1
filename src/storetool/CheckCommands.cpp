#include "storetool/CheckCommands.h"

#include <array>
#include <ctime>
#include <ostream>
#include <string>

#include "store/ExportFormat.h"
#include "store/RegistryKey.h"
#include "store/Store.h"
#include "store/StoreSetup.h"
#include "storetool/ToolSupport.h"
#include "tuning/TemperamentSet.h"

namespace {

// Collects the problems found, one line each.
class CFindings {
public:
    explicit CFindings(std::ostream& out) : m_out(out) {}
    void Add(const std::string& line) {
        m_out << line << '\n';
        ++m_nCount;
    }
    int Count() const { return m_nCount; }

private:
    std::ostream& m_out;
    int m_nCount = 0;
};

// A value whose name the program would not read back: with it, loading the
// catalogue once stopped, hiding every temperament enumerated after it.
void CheckNames(const std::string& path, const std::vector<CStoreFile::Value>& values,
                CFindings& findings) {
    for (const CStoreFile::Value& v : values) {
        const std::string why = NameRefusal(v.name);
        if (!why.empty()) {
            findings.Add(path + ": " + PrintableField(v.name) + ": " + why +
                         "; the program leaves this value out (\"klavora-store rename\" gives "
                         "it another name)");
        }
    }
}

void CheckTemperaments(const std::vector<CStoreFile::Value>& values, CFindings& findings) {
    for (const CStoreFile::Value& v : values) {
        const std::string text = StoredText(v.data);
        std::array<double, 12> offsets{};
        if (text.size() + 1 > CRegistryKey::kBufferSize) {
            findings.Add(std::string(kTemperamentsKeyPath) + ": " + PrintableField(v.name) +
                         ": its text has " + std::to_string(text.size()) +
                         " bytes, more than the 254 the program reads; it is left out");
        } else if (!ParseTemperamentText(text, offsets)) {
            findings.Add(std::string(kTemperamentsKeyPath) + ": " + PrintableField(v.name) +
                         ": its text is not twelve numbers joined by commas; it is left out");
        }
    }
}

int Check(ToolContext& ctx, const std::vector<std::string>&) {
    CStoreSession s(ctx);
    s.NameRecovery();
    if (!s.Open()) {
        return s.Status();
    }
    CStoreFile& f = s.File();
    CFindings findings(ctx.out);
    std::vector<std::string> damage;
    if (const long st = f.CheckIntegrity(damage); st != ERROR_SUCCESS) {
        return s.Failed(st);
    }
    for (const std::string& d : damage) {
        findings.Add("damaged: " + d);
    }
    if (damage.empty()) {
        for (const char* path : {kSettingsKeyPath, kTemperamentsKeyPath}) {
            std::int64_t id = 0;
            long st = f.FindKey(path, &id);
            if (st == ERROR_FILE_NOT_FOUND) {
                findings.Add(std::string("the key ") + path +
                             " is missing (\"klavora-store init\" creates it)");
                continue;
            }
            std::vector<CStoreFile::Value> values;
            if (st == ERROR_SUCCESS) {
                st = f.ListValues(id, values);
            }
            if (st != ERROR_SUCCESS) {
                return s.Failed(st);
            }
            CheckNames(path, values, findings);
            if (path == kTemperamentsKeyPath) {
                CheckTemperaments(values, findings);
            }
        }
    }
    if (findings.Count() == 0) {
        ctx.out << "The store " << ctx.storePath << " has no problems.\n";
        return kExitOk;
    }
    ctx.out << findings.Count() << (findings.Count() == 1 ? " problem" : " problems")
            << " found in " << ctx.storePath
            << (damage.empty() ? ""
                               : "; the file is damaged: restore it from a backup, or " +
                                     RecoveryHint(ctx.storePath))
            << '\n';
    return kExitProblems;
}

int Recover(ToolContext& ctx, const std::vector<std::string>&) {
    const StoreRecoveryResult r =
        RecoverDamagedStore(ctx.storePath, std::time(nullptr), kToolWaitMs);
    if (r.movedTo.empty()) {
        const int code = r.status == ERROR_INVALID_PARAMETER ? kExitUsage : kExitStore;
        return ctx.Fail(code, "the store " + ctx.storePath + " is left where it is: " + r.error);
    }
    ctx.out << "Moved the damaged store to " << r.movedTo << '\n';
    if (r.status != ERROR_SUCCESS) {
        return ctx.Fail(kExitStore, "cannot make a new store at " + ctx.storePath + ": " + r.error);
    }
    ctx.out << "Created store " << ctx.storePath << " with " << SeedCatalogue().size()
            << " temperaments\n";
    return kExitOk;
}

int Rename(ToolContext& ctx, const std::vector<std::string>& args) {
    int status = kExitOk;
    if (!CheckNewName(ctx, args[2], status)) {
        return status;
    }
    CStoreSession s(ctx);
    std::int64_t key = 0;
    if (!s.Open() || !s.FindKey(args[0], key)) {
        return s.Status();
    }
    const long st = s.File().RenameValue(key, NameArgument(args[1]), args[2]);
    if (st == ERROR_FILE_NOT_FOUND) {
        return ctx.Fail(kExitNotFound, "no value \"" + args[1] + "\" in key " + args[0]);
    }
    if (st == ERROR_ALREADY_EXISTS) {
        return ctx.Fail(kExitUsage,
                        "a value named \"" + args[2] + "\" exists already in key " + args[0]);
    }
    return st == ERROR_SUCCESS ? kExitOk : s.Failed(st);
}

}  // namespace

void AddCheckCommands(std::vector<ToolCommand>& commands) {
    commands.push_back(
        {"check", "", "find what the program cannot read: damage, names, texts", 0, 0, Check});
    commands.push_back({"rename", "KEY NAME NEWNAME", "give a value another name, keeping its text",
                        3, 3, Rename});
    commands.push_back({"recover", "",
                        "move a damaged store aside (FILE.damaged-DATE) and make a new one", 0, 0,
                        Recover});
}
