#include "storetool/StoreTool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "store/StoreSetup.h"
#include "support/TempStore.h"
#include "support/ToolRun.h"

namespace {

const std::string kTemps = "SOFTWARE\\Klavora\\Temperaments";
const std::string kSettings = "SOFTWARE\\Klavora\\Settings";

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) {
        n += c == '\n';
    }
    return n;
}

}  // namespace

TEST(StoreTool, InitSeedsOnceAndNeverBringsBackDeletedValues) {
    CTempStore store;
    ToolRun r = Tool({"init"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(store.Exists());
    EXPECT_EQ(Tool({"list", kSettings}).out, "");
    r = Tool({"list", "software\\klavora\\temperaments"});
    EXPECT_EQ(Lines(r.out), static_cast<int>(SeedCatalogue().size()));
    EXPECT_EQ(r.out.substr(0, 54), "Equal temperament\t-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2\n");

    ASSERT_EQ(Tool({"delete", kTemps, "vallotti"}).code, kExitOk);
    ASSERT_EQ(Tool({"set", kSettings, "View", "3"}).code, kExitOk);
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    EXPECT_EQ(Tool({"get", kTemps, "Vallotti"}).code, kExitNotFound);
    EXPECT_EQ(Tool({"get", kSettings, "view"}).out, "3\n");
}

TEST(StoreTool, FailuresHaveOneLineAndTheirExitCode) {
    CTempStore store;
    ToolRun r = Tool({"list", kTemps});  // no store yet
    EXPECT_EQ(r.code, kExitStore);
    EXPECT_EQ(Lines(r.err), 1);
    EXPECT_FALSE(store.Exists());
    EXPECT_EQ(Tool({"set", kSettings, "View", "3"}).code, kExitStore);
    EXPECT_FALSE(store.Exists());

    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    r = Tool({"get", kTemps, "No such temperament"});
    EXPECT_EQ(r.code, kExitNotFound);
    EXPECT_EQ(r.err, "klavora-store: no value \"No such temperament\" in key " + kTemps + "\n");
    EXPECT_EQ(Tool({"list", "SOFTWARE\\Nothing"}).code, kExitNotFound);
    EXPECT_EQ(Tool({"delete", kTemps, "Nothing"}).code, kExitNotFound);
    EXPECT_EQ(Tool({"import", store.Dir() + "/missing.txt"}).code, kExitNotFound);

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"get", kTemps},
                                                                  {"set", "a", "b"},
                                                                  {"keys", "x"},
                                                                  {"set", "\\\\", "n", "t"},
                                                                  {"set", "a\\\\b", "n", "t"}}) {
        r = Tool(args);
        EXPECT_EQ(r.code, kExitUsage) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(Tool({"--version"}).out, std::string("klavora-store ") + KLAVORA_VERSION + "\n");
    r = Tool({"--help"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_NE(r.out.find("import FILE"), std::string::npos);
}

TEST(StoreTool, ExportImportRoundTripsAnyCharacters) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    std::string awkward;
    std::string printable;  // what a name may hold: no control characters
    for (int c = 1; c < 256; ++c) {
        awkward += static_cast<char>(c);
        if (c >= 0x20 && c != 0x7f) {
            printable += static_cast<char>(c);
        }
    }
    ASSERT_EQ(Tool({"set", kTemps, "Quote \" back\\slash = [x]", awkward}).code, kExitOk);
    ASSERT_EQ(Tool({"set", kTemps, printable, "line one\nline two\r\n\tend"}).code, kExitOk);
    ASSERT_EQ(Tool({"set", "Odd key ] [ \xc3\xa9", "=", ""}).code, kExitOk);
    const std::string dump = store.Dir() + "/dump.txt";
    ASSERT_EQ(Tool({"export", dump}).code, kExitOk);
    const std::string exported = CTempStore::ReadBytes(dump);
    EXPECT_EQ(Tool({"export"}).out, exported);

    // Restore into a store that does not exist yet.
    setenv("KLAVORA_STORE", (store.Dir() + "/restored.db").c_str(), 1);
    ToolRun r = Tool({"import", dump});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Tool({"export"}).out, exported);
    EXPECT_EQ(Tool({"get", kTemps, printable}).out, "line one\nline two\r\n\tend\n");
    EXPECT_EQ(Tool({"get", kTemps, "quote \" BACK\\slash = [x]"}).out, awkward + "\n");
    setenv("KLAVORA_STORE", store.Path().c_str(), 1);
}

TEST(StoreTool, FailedCommandsChangeNothing) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string before = Tool({"export"}).out;

    // An import that is broken half-way stores none of it.
    const std::string bad = store.Dir() + "/bad.txt";
    CTempStore::WriteBytes(bad, "; Klavora store export 1\n[" + kTemps +
                                    "]\n\"New one\"=\"1,2,3,4,5,6,7,8,9,10,11,12\"\n"
                                    "\"Broken\"=\"unterminated\n");
    ToolRun r = Tool({"import", bad});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("line 4"), std::string::npos) << r.err;
    EXPECT_EQ(Tool({"export"}).out, before);

    // A read-only store refuses writes with its own exit code.
    ASSERT_EQ(chmod(store.Path().c_str(), 0444), 0);
    EXPECT_EQ(Tool({"set", kSettings, "View", "2"}).code, kExitStore);
    EXPECT_EQ(Tool({"delete", kTemps, "Vallotti"}).code, kExitStore);
    CTempStore::WriteBytes(bad, "; Klavora store export 1\n[" + kSettings + "]\n\"View\"=\"2\"\n");
    EXPECT_EQ(Tool({"import", bad}).code, kExitStore);
    EXPECT_EQ(Tool({"init"}).code, kExitOk);  // nothing to do, nothing written
    EXPECT_EQ(Tool({"export"}).out, before);
    ASSERT_EQ(chmod(store.Path().c_str(), 0644), 0);

    // A damaged store is reported and left as it is.
    const std::string junk(3000, '\x5a');
    CTempStore::WriteBytes(store.Path(), junk);
    for (const auto& args : std::vector<std::vector<std::string>>{{"init"},
                                                                  {"keys"},
                                                                  {"list", kTemps},
                                                                  {"set", kSettings, "View", "2"},
                                                                  {"import", bad},
                                                                  {"export"}}) {
        r = Tool(args);
        EXPECT_EQ(r.code, kExitStore) << args[0];
        EXPECT_EQ(Lines(r.err), 1) << args[0];
    }
    EXPECT_EQ(CTempStore::ReadBytes(store.Path()), junk);
}

TEST(StoreTool, InstalledBinaryRunsTheSameCommands) {
    CTempStore store;
    const std::string tool = KLAVORA_STORE_BINARY;
    auto run = [&](const std::string& args) {
        const int status = std::system((tool + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("init"), kExitOk);
    EXPECT_EQ(run("get 'SOFTWARE\\Klavora\\Temperaments' 'Vallotti'"), kExitOk);
    EXPECT_EQ(run("get 'SOFTWARE\\Klavora\\Temperaments' 'Nope'"), kExitNotFound);
    EXPECT_EQ(run("bogus"), kExitUsage);
}
