// SPDX-License-Identifier: GPL-3.0-or-later
// The files the store tool writes and reads, as another local user or a hostile
// input would meet them: no write goes through a planted link, what is made is
// private, long names and full disks are handled with the system's reason, and
// an input that is no regular file, or too large, is refused before reading.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "store/StoreSetup.h"
#include "support/TempStore.h"
#include "support/ToolRun.h"

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

unsigned ModeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs body in a child process bounded by seconds; what it writes to out
// comes back. False when the child did not end by itself within the bound.
bool InChild(const std::function<void(std::string& out)>& body, std::string& out,
             int seconds = 10) {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(static_cast<unsigned>(seconds));
        std::string text;
        body(text);
        (void)!write(fds[1], text.data(), text.size());
        _exit(0);
    }
    close(fds[1]);
    out.clear();
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The tool in a child, so that an input that blocks, or eats all memory,
// fails the test instead of hanging or ending it.
bool ToolInChild(const std::vector<std::string>& args, ToolRun& run) {
    std::string out;
    const bool ended = InChild(
        [&](std::string& text) {
#if !defined(__SANITIZE_ADDRESS__)
            const rlimit memory{1ul << 30, 1ul << 30};
            setrlimit(RLIMIT_AS, &memory);
#endif
            const ToolRun r = Tool(args);
            text = std::to_string(r.code) + "\n" + r.err;
        },
        out, 5);
    run.code = ended ? std::atoi(out.c_str()) : -1;
    run.err = out.substr(out.find('\n') + 1);
    return ended;
}

// A private mount namespace, so that a test may mount file systems of its
// own that vanish with the child. False where the system allows none.
bool EnterMountNamespace() {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (unshare(CLONE_NEWNS) != 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return false;
        }
        const auto put = [](const char* file, const std::string& text) {
            const int fd = open(file, O_WRONLY);
            const bool ok =
                fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (fd >= 0) {
                close(fd);
            }
            return ok;
        };
        put("/proc/self/setgroups", "deny");
        if (!put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
            return false;
        }
    }
    return mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

const std::string kTemps = "SOFTWARE\\Klavora\\Temperaments";

}  // namespace

// Another user plants links in a shared folder for the names the tool would
// write through; every command that writes a file writes only its own.
TEST(ToolFile, NoWriteGoesThroughAPlantedLink) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string shared = store.Dir() + "/shared";
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
    const std::string victim = store.Dir() + "/victim";
    CTempStore::WriteBytes(victim, "precious");
    chmod(victim.c_str(), 0600);
    const std::string pid = std::to_string(getpid());
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"sheet", "Pythagorean", "-o", shared + "/sheet.svg"},
             {"export", shared + "/backup.txt"},
             {"export-scl", "Vallotti", shared + "/vallotti.scl"}}) {
        SCOPED_TRACE(args[0]);
        const std::string out = args.back();
        std::vector<std::string> planted = {out, out + ".tmp-" + pid};
        for (const std::string& link : planted) {
            ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
        }
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.code, kExitOk) << r.err;
        EXPECT_TRUE(CTempStore::ReadBytes(victim) == "precious") << "written through the link";
        struct stat st;
        ASSERT_EQ(lstat(out.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_GT(st.st_size, 100);
        std::filesystem::remove(out);
        std::filesystem::remove(out + ".tmp-" + pid);
        EXPECT_TRUE(Entries(shared).empty()) << Entries(shared).front();  // nothing left behind
    }
}

// The store and every export are private to their owner, whatever the
// umask leaves to others; output names up to the system's longest work.
TEST(ToolFile, FilesArePrivateAndMayHaveTheLongestNames) {
    for (const mode_t mask : {0, 022, 077}) {
        SCOPED_TRACE(mask);
        CTempStore store;
        const mode_t saved = umask(mask);
        const ToolRun init = Tool({"init"});
        const ToolRun exported = Tool({"export", store.Dir() + "/backup.txt"});
        umask(saved);
        EXPECT_EQ(init.code, kExitOk) << init.err;
        EXPECT_EQ(exported.code, kExitOk) << exported.err;
        EXPECT_EQ(ModeOf(store.Path()), 0600u);
        EXPECT_EQ(ModeOf(store.Dir() + "/backup.txt"), 0600u);
    }
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    for (std::size_t length : {241u, 250u, 255u}) {
        const std::string txt = store.Dir() + "/" + std::string(length - 4, 'n') + ".txt";
        const std::string pdf = store.Dir() + "/" + std::string(length - 4, 'p') + ".pdf";
        EXPECT_EQ(Tool({"export", txt}).code, kExitOk) << length << Tool({"export", txt}).err;
        EXPECT_EQ(Tool({"export-scl", "Vallotti", txt}).code, kExitOk) << length;
        EXPECT_EQ(Tool({"sheet", "Vallotti", "-o", pdf}).code, kExitOk) << length;
        EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
    }
}

// Inputs that are no regular file, or too large, are refused at once with
// what is wrong; nothing blocks, nothing runs out of memory.
TEST(ToolFile, InputsThatAreNoFileOrTooLargeAreRefusedBeforeReading) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string before = Tool({"export"}).out;
    const std::string fifo = store.Dir() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = store.Dir() + "/folder";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string huge = store.Dir() + "/huge";
    { std::ofstream(huge) << "; Klavora store export 1\n"; }
    ASSERT_EQ(truncate(huge.c_str(), 17 << 20), 0);  // sparse: costs no disk
    const struct {
        std::string path;
        int code;
        const char* why;
    } cases[] = {
        {fifo, kExitUsage, "not a regular file"},
        {"/dev/zero", kExitUsage, "not a regular file"},
        {folder, kExitUsage, "folder"},
        {huge, kExitUsage, "at most"},
        {store.Dir() + "/missing", kExitNotFound, "No such file"},
    };
    for (const auto& c : cases) {
        for (const char* command : {"import", "import-scl"}) {
            SCOPED_TRACE(c.path + " " + command);
            ToolRun r;
            ASSERT_TRUE(ToolInChild({command, c.path}, r)) << "blocked or crashed";
            EXPECT_EQ(r.code, c.code) << r.err;
            EXPECT_TRUE(Has(r.err, c.why)) << r.err;
        }
    }
    EXPECT_EQ(Tool({"export"}).out, before);
}

// A full disk and a store that cannot be made say why, in the system's words,
// and leave nothing behind; output to a full device is no success either.
TEST(ToolFile, FullAndReadOnlyFileSystemsGiveTheSystemsReason) {
    CTempStore store;
    ASSERT_EQ(Tool({"init"}).code, kExitOk);
    const std::string full = store.Dir() + "/full";
    const std::string readOnly = store.Dir() + "/ro";
    ASSERT_EQ(mkdir(full.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(readOnly.c_str(), 0700), 0);
    std::string report;
    ASSERT_TRUE(InChild(
        [&](std::string& out) {
            if (!EnterMountNamespace() ||
                mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0 ||
                mount("tmpfs", readOnly.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
                out = "skip";
                return;
            }
            std::ofstream filler(full + "/filler");
            const std::string block(4096, 'f');
            while (filler.write(block.data(), block.size())) {
            }
            filler.close();
            for (const auto& args : std::vector<std::vector<std::string>>{
                     {"export", full + "/backup.txt"},
                     {"sheet", "Vallotti", "-o", full + "/sheet.pdf"}}) {
                const ToolRun r = Tool(args);
                out += std::to_string(r.code) + " " + r.err;
            }
            out += "files: " + std::to_string(Entries(full).size()) + "\n";
            setenv("KLAVORA_STORE", (readOnly + "/store.db").c_str(), 1);
            out += Tool({"init"}).err;
        },
        report));
    if (report == "skip") {
        GTEST_SKIP() << "no private mount namespace here";
    }
    EXPECT_EQ(report.find("0 "), std::string::npos) << report;
    EXPECT_TRUE(Has(report, "backup.txt: No space left on device")) << report;
    EXPECT_TRUE(Has(report, "sheet.pdf: No space left on device")) << report;
    EXPECT_TRUE(Has(report, "files: 1\n")) << report;
    EXPECT_TRUE(Has(report, "Read-only file system")) << report;
    if (geteuid() != 0) {  // permissions do not stop root
        ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
        setenv("KLAVORA_STORE", (readOnly + "/store.db").c_str(), 1);
        EXPECT_TRUE(Has(Tool({"init"}).err, "Permission denied"));
        setenv("KLAVORA_STORE", store.Path().c_str(), 1);
    }

    const std::string err = store.Dir() + "/err.txt";
    const int status =
        std::system((std::string(KLAVORA_STORE_BINARY) + " export >/dev/full 2>" + err).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitStore) << status;
    EXPECT_TRUE(Has(CTempStore::ReadBytes(err), "No space left on device"))
        << CTempStore::ReadBytes(err);
}
