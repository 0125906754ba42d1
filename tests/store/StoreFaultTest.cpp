// SPDX-License-Identifier: GPL-3.0-or-later
// The store under attack: files that are busy, damaged, foreign or not files
// at all. Whatever happens, nothing blocks for long and nothing already stored
// is lost or changed.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "store/Store.h"
#include "store/StoreSetup.h"
#include "support/StoreLock.h"
#include "support/TempStore.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long SetText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name, text.c_str(), text.size() + 1);
}

// Runs fn in a child process that is killed if it takes more than a few
// seconds, so that a call that blocks for good fails the test instead of
// hanging it. Returns fn's result, or -1 when the child did not finish.
template <typename Fn>
int InChildWithDeadline(Fn fn) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(5);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(StoreFault, BusyIsNotDamageAndIsWaitedForOnlyBriefly) {
    CTempStore store;
    ASSERT_EQ(InitializeStore(store.Path()).status, ERROR_SUCCESS);
    const std::string before = CTempStore::ReadBytes(store.Path());
    {
        CStoreLock lock(store.Path(), true);  // readers are kept out too
        ASSERT_TRUE(lock.Locked());
        const Clock::time_point start = Clock::now();
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyA(kSettingsKeyPath, &key), ERROR_BUSY);
        EXPECT_EQ(key, nullptr);
        EXPECT_LT(SecondsSince(start), 1.0);
        std::unique_ptr<CStoreFile> file;
        EXPECT_EQ(CStoreFile::Open(store.Path(), file), ERROR_BUSY);
        EXPECT_EQ(InitializeStore(store.Path()).status, ERROR_BUSY);
    }
    {
        CStoreLock lock(store.Path(), false);  // readers may read, writers wait
        ASSERT_TRUE(lock.Locked());
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyA(kSettingsKeyPath, &key), ERROR_SUCCESS);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(SetText(key, "View", "3"), ERROR_BUSY);
        EXPECT_LT(SecondsSince(start), 1.0);
        RegCloseKey(key);
    }
    EXPECT_TRUE(CTempStore::ReadBytes(store.Path()) == before) << "the store changed";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(kSettingsKeyPath, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "View", "3"), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(StoreFault, APathThatIsNoRegularFileIsRefusedAtOnce) {
    CTempStore store;
    ASSERT_EQ(mkfifo(store.Path().c_str(), 0600), 0);
    // Opening a FIFO for reading waits for a writer: it must never be opened.
    EXPECT_EQ(InChildWithDeadline([] {
                  HKEY key = nullptr;
                  return RegOpenKeyA(kSettingsKeyPath, &key) == ERROR_BADDB ? 0 : 1;
              }),
              0);
    EXPECT_EQ(InChildWithDeadline(
                  [&] { return InitializeStore(store.Path()).status == ERROR_BADDB ? 0 : 1; }),
              0);
    ASSERT_EQ(std::remove(store.Path().c_str()), 0);

    ASSERT_EQ(mkdir(store.Path().c_str(), 0700), 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(kSettingsKeyPath, &key), ERROR_BADDB);
    EXPECT_NE(InitializeStore(store.Path()).status, ERROR_SUCCESS);
    ASSERT_EQ(rmdir(store.Path().c_str()), 0);

    ASSERT_EQ(symlink("/dev/zero", store.Path().c_str()), 0);
    EXPECT_EQ(InChildWithDeadline([] {
                  HKEY key = nullptr;
                  return RegOpenKeyA(kSettingsKeyPath, &key) == ERROR_BADDB ? 0 : 1;
              }),
              0);
}

TEST(StoreFault, AnEmptyFileIsNeverMadeIntoAStore) {
    CTempStore store;
    CTempStore::WriteBytes(store.Path(), "");
    std::unique_ptr<CStoreFile> file;
    EXPECT_EQ(CStoreFile::OpenOrCreate(store.Path(), file), ERROR_BADDB);
    const StoreSetupResult r = InitializeStore(store.Path());
    EXPECT_EQ(r.status, ERROR_BADDB);
    EXPECT_FALSE(r.createdFile);
    EXPECT_EQ(CTempStore::ReadBytes(store.Path()), "");
}

TEST(StoreFault, NothingIsWrittenIntoAStoreWithDamagedPages) {
    CTempStore store;
    ASSERT_EQ(InitializeStore(store.Path()).status, ERROR_SUCCESS);
    {
        std::unique_ptr<CStoreFile> file;
        ASSERT_EQ(CStoreFile::Open(store.Path(), file), ERROR_SUCCESS);
        std::int64_t id = 0;
        ASSERT_EQ(file->CreateKey("Bulk", &id), ERROR_SUCCESS);
        ASSERT_EQ(file->Begin(), ERROR_SUCCESS);
        for (int i = 0; i < 400; ++i) {
            ASSERT_EQ(file->SetValue(id, "value " + std::to_string(i), std::string(200, 'v')),
                      ERROR_SUCCESS);
        }
        ASSERT_EQ(file->Commit(), ERROR_SUCCESS);
    }
    // Scribble over a page in the middle; the header and the first pages stay.
    std::string bytes = CTempStore::ReadBytes(store.Path());
    ASSERT_GT(bytes.size(), 16u * 4096);
    for (std::size_t i = 8 * 4096; i < 9 * 4096; ++i) {
        bytes[i] = static_cast<char>(i * 7919 % 251);
    }
    CTempStore::WriteBytes(store.Path(), bytes);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(kSettingsKeyPath, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "View", "3"), ERROR_BADDB);
    EXPECT_EQ(RegDeleteValueA(key, "View"), ERROR_BADDB);
    RegCloseKey(key);
    EXPECT_TRUE(CTempStore::ReadBytes(store.Path()) == bytes) << "the damaged store was written";
}
