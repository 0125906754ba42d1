// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool against stores that are busy, damaged or not files at all,
// and against names the program could not read back: it says what is wrong
// in one line, and what it refuses it refuses in every command alike.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "store/ExportFormat.h"
#include "store/StoreSetup.h"
#include "support/StoreLock.h"
#include "support/TempStore.h"
#include "support/ToolRun.h"

namespace {

const std::string kTemps = "SOFTWARE\\Klavora\\Temperaments";
const std::string kSettings = "SOFTWARE\\Klavora\\Settings";
const std::string kEqual = "-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Puts a value into the store behind the tool's back, as an older version
// or another program may have done.
void StoreRaw(const std::string& path, const std::string& key, const std::string& name,
              const std::string& text) {
    std::unique_ptr<CStoreFile> file;
    ASSERT_EQ(CStoreFile::Open(path, file), ERROR_SUCCESS);
    std::int64_t id = 0;
    ASSERT_EQ(file->CreateKey(key, &id), ERROR_SUCCESS);
    ASSERT_EQ(file->SetValue(id, name, text + '\0'), ERROR_SUCCESS);
}

}  // namespace

TEST(StoreToolFault, ABusyStoreIsCalledBusyNotDamaged) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string before = Tool({"export"}).out;
    CStoreLock lock(store.Path(), true);
    ASSERT_TRUE(lock.Locked());
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", kTemps}, {"set", kSettings, "View", "2"}, {"init"}}) {
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.code, kExitStore) << args[0];
        EXPECT_TRUE(Has(r.err, "busy")) << r.err;
        EXPECT_FALSE(Has(r.err, "damaged")) << r.err;
    }
    lock.Release();
    EXPECT_EQ(Tool({"export"}).out, before);
}

TEST(StoreToolFault, NoFileIsEverMadeIntoAStore) {
    CTempStore store;
    CTempStore::WriteBytes(store.Path(), "");
    ToolRun r = Tool({"init"});
    EXPECT_EQ(r.code, kExitStore);
    EXPECT_TRUE(Has(r.err, "not a Klavora store")) << r.err;
    EXPECT_EQ(CTempStore::ReadBytes(store.Path()), "");
    const std::string backup = store.Dir() + "/backup.txt";
    CTempStore::WriteBytes(backup,
                           "; Klavora store export 1\n[" + kSettings + "]\n\"View\"=\"2\"\n");
    EXPECT_EQ(Tool({"import", backup}).code, kExitStore);
    EXPECT_EQ(CTempStore::ReadBytes(store.Path()), "");

    // A path that is no file at all is refused at once, never waited on.
    ASSERT_EQ(std::remove(store.Path().c_str()), 0);
    ASSERT_EQ(mkfifo(store.Path().c_str(), 0600), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(5);
        const ToolRun keys = Tool({"keys"});
        _exit(keys.code == kExitStore && Has(keys.err, "not a regular file") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(StoreToolFault, NamesTheProgramCannotReadBackAreRefusedEverywhere) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string before = Tool({"export"}).out;
    const std::string longest(254, 'n');
    const std::string scl = store.Dir() + "/equal.scl";
    CTempStore::WriteBytes(scl, Tool({"export-scl", "Equal temperament"}).out);
    const std::string backup = store.Dir() + "/backup.txt";
    for (const std::string& bad :
         {longest + "n", std::string(10000, 'x'), std::string(), std::string("Tab\there"),
          std::string("Line\nbreak"), std::string("Bell\x07"), std::string("Del\x7f")}) {
        CTempStore::WriteBytes(backup, "; Klavora store export 1\n[" + kTemps + "]\n" +
                                           EscapeQuoted(bad) + "=\"" + kEqual + "\"\n");
        std::vector<std::vector<std::string>> commands = {{"set", kTemps, bad, kEqual},
                                                          {"set", kSettings, bad, "1"},
                                                          {"import", backup},
                                                          {"rename", kTemps, "Vallotti", bad}};
        if (!bad.empty()) {  // an empty NAME there means the file's own description
            commands.push_back({"import-scl", scl, bad});
        }
        for (const auto& args : commands) {
            const ToolRun r = Tool(args);
            EXPECT_EQ(r.code, kExitUsage) << args[0] << " " << bad.size();
            EXPECT_TRUE(Has(r.err, "name")) << r.err;
        }
    }
    EXPECT_EQ(Tool({"export"}).out, before);
    EXPECT_EQ(Tool({"set", kTemps, longest, kEqual}).code, kExitOk);
    EXPECT_EQ(Tool({"get", kTemps, longest}).out, kEqual + "\n");
}

TEST(StoreToolFault, CheckFindsWhatHidesTemperamentsAndRenameMendsIt) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    ToolRun r = Tool({"check"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Has(r.out, "no problems")) << r.out;

    const std::string tooLong(300, 'L');
    StoreRaw(store.Path(), kTemps, tooLong, kEqual);
    StoreRaw(store.Path(), kTemps, "Tab\tname", kEqual);
    StoreRaw(store.Path(), kTemps, "Broken", "1,2,3");
    r = Tool({"check"});
    EXPECT_EQ(r.code, kExitProblems);
    EXPECT_TRUE(Has(r.out, "300 bytes")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"Tab\\tname\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "Broken")) << r.out;

    // The names are given as check and list show them.
    EXPECT_EQ(Tool({"rename", kTemps, tooLong, "Long, renamed"}).code, kExitOk);
    EXPECT_EQ(Tool({"rename", kTemps, "\"Tab\\tname\"", "Tab name"}).code, kExitOk);
    EXPECT_EQ(Tool({"rename", kTemps, "Tab name", "vallotti"}).code, kExitUsage);  // taken
    EXPECT_EQ(Tool({"rename", kTemps, "Nothing", "Something"}).code, kExitNotFound);
    EXPECT_EQ(Tool({"rename", kTemps, "tab NAME", "Tab Name"}).code, kExitOk);  // its own case
    EXPECT_EQ(Tool({"delete", kTemps, "Broken"}).code, kExitOk);
    r = Tool({"check"});
    EXPECT_EQ(r.code, kExitOk) << r.out;
    EXPECT_EQ(Tool({"get", kTemps, "Long, renamed"}).out, kEqual + "\n");
    EXPECT_TRUE(Has(Tool({"list", kTemps}).out, "Tab Name\t" + kEqual))
        << Tool({"list", kTemps}).out;

    // Damaged pages are found too, and the file is left as it is.
    CTempStore::WriteBytes(store.Path(), CTempStore::ReadBytes(store.Path()).substr(0, 4096));
    const std::string damaged = CTempStore::ReadBytes(store.Path());
    r = Tool({"check"});
    EXPECT_NE(r.code, kExitOk);
    EXPECT_TRUE(Has(r.out + r.err, "damaged")) << r.out << r.err;
    EXPECT_TRUE(CTempStore::ReadBytes(store.Path()) == damaged);
}

TEST(StoreToolFault, ListQuotesWhatItCannotPrintAsItIs) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    StoreRaw(store.Path(), kTemps, "Tab\there", "a\tb");
    StoreRaw(store.Path(), kTemps, "\"Quoted\"", "line\nbreak");
    const std::string out = Tool({"list", kTemps}).out;
    EXPECT_TRUE(Has(out, "\n\"Tab\\there\"\t\"a\\tb\"\n")) << out;
    EXPECT_TRUE(Has(out, "\n\"\\\"Quoted\\\"\"\t\"line\\nbreak\"\n")) << out;
    EXPECT_TRUE(Has(out, "\nVallotti\t-4,")) << out;  // plain names stay plain
    EXPECT_EQ(Tool({"get", kTemps, "\"\\\"Quoted\\\"\""}).out, "line\nbreak\n");
}

TEST(StoreToolFault, ExportedScalaFilesAlwaysReadBack) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    ASSERT_EQ(Tool({"set", kTemps, "!Mine", kEqual}).code, kExitOk);
    const std::string scl = store.Dir() + "/mine.scl";
    ASSERT_EQ(Tool({"export-scl", "!Mine", scl}).code, kExitOk);
    // The description is the first line that does not begin with '!'.
    const std::string text = CTempStore::ReadBytes(scl);
    std::size_t start = 0;
    while (text[start] == '!') {
        start = text.find('\n', start) + 1;
    }
    EXPECT_TRUE(Has(text.substr(start, text.find('\n', start) - start), "!Mine")) << text;
    ASSERT_EQ(Tool({"delete", kTemps, "!Mine"}).code, kExitOk);
    const ToolRun r = Tool({"import-scl", scl});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Tool({"get", kTemps, "!Mine"}).out, kEqual + "\n");

    // A note that lies a hair's breadth from C is written as 0 cents, not as
    // a pitch the reader refuses.
    const std::string nearC = "-302,298,-2,-2,-2,-2,-2,398.00000001,-102,-302,-2,-2.00000001";
    ASSERT_EQ(Tool({"set", kTemps, "Near C", nearC}).code, kExitOk);
    ASSERT_EQ(Tool({"export-scl", "Near C", scl}).code, kExitOk);
    const ToolRun back = Tool({"import-scl", scl, "Near C again"});
    EXPECT_EQ(back.code, kExitOk) << back.err;
}

// A name not found brings the closest stored names; the messages of the
// commands that take a temperament escape what a terminal would act on, and
// the sheet takes no name that check reports.
TEST(StoreToolFault, NamesNotFoundOrUnprintableAreToldPlainly) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const struct {
        const char* typed;
        const char* suggested;  // null: no suggestion
    } typos[] = {{"Valotti", "(did you mean \"Vallotti\"?)"},
                 {"Werkmeister 3", "\"Werckmeister III\""},
                 {"kirnberger", "\"Kirnberger II\" or \"Kirnberger III\"?)"},
                 {"Zzyzx", nullptr}};
    for (const auto& t : typos) {
        for (const char* command : {"show", "export-scl"}) {
            const ToolRun r = Tool({command, t.typed});
            EXPECT_EQ(r.code, kExitNotFound) << command;
            EXPECT_TRUE(Has(r.err, std::string("there is no temperament \"") + t.typed + "\""))
                << r.err;
            EXPECT_EQ(Has(r.err, "did you mean"), t.suggested != nullptr) << r.err;
            if (t.suggested != nullptr) {
                EXPECT_TRUE(Has(r.err, t.suggested)) << r.err;
            }
        }
    }

    const std::string escape = "Red \x1b[31m bell\x07";
    StoreRaw(store.Path(), kTemps, escape, kEqual);
    StoreRaw(store.Path(), kTemps, std::string(65536, 'L'), kEqual);
    const std::string out = store.Dir() + "/sheet.pdf";
    for (const std::string& name : {escape, std::string(65536, 'L')}) {
        const ToolRun r = Tool({"sheet", name, "-o", out});
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_TRUE(Has(r.err, "name")) << r.err.substr(0, 200);
        EXPECT_LT(r.err.size(), 300u);
        EXPECT_FALSE(Has(r.err, "\x1b") || Has(r.err, "\x07")) << r.err;
    }
    EXPECT_TRUE(Has(Tool({"sheet", escape + "x", "-o", out}).err, "\\x1b[31m bell\\x07x\""));
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Check names the way out of a damaged store, and recover takes it: the file
// is kept under a new name, a new store holds the catalogue; a sound store is
// never moved.
TEST(StoreToolFault, RecoverSetsADamagedStoreAsideAndStartsAfresh) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string sound = CTempStore::ReadBytes(store.Path());
    for (const std::string& damaged : {sound.substr(0, 4096), std::string("no store at all")}) {
        CTempStore::WriteBytes(store.Path(), damaged);
        const ToolRun check = Tool({"check"});
        EXPECT_NE(check.code, kExitOk);
        EXPECT_TRUE(Has(check.out + check.err,
                        "\"klavora-store recover\" moves it aside as store.db.damaged-"))
            << check.out << check.err;
        const ToolRun r = Tool({"recover"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        const std::string head = "Moved the damaged store to " + store.Path() + ".damaged-";
        ASSERT_EQ(r.out.compare(0, head.size(), head), 0) << r.out;
        const std::string moved = r.out.substr(27, r.out.find('\n') - 27);
        EXPECT_TRUE(CTempStore::ReadBytes(moved) == damaged) << moved;
        EXPECT_EQ(Tool({"check"}).code, kExitOk);
        EXPECT_EQ(Tool({"get", kTemps, "Vallotti"}).code, kExitOk);
    }
    const std::string kept = CTempStore::ReadBytes(store.Path());
    const ToolRun again = Tool({"recover"});
    EXPECT_EQ(again.code, kExitUsage);
    EXPECT_TRUE(Has(again.err, "not damaged")) << again.err;
    EXPECT_TRUE(CTempStore::ReadBytes(store.Path()) == kept);
}
