#include "store/Store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "store/StoreSetup.h"
#include "support/TempStore.h"

namespace {

// A store with one empty key, made as the tool makes it.
void MakeStoreWithKey(const std::string& path, const std::string& key) {
    std::unique_ptr<CStoreFile> file;
    ASSERT_EQ(CStoreFile::OpenOrCreate(path, file), ERROR_SUCCESS);
    std::int64_t id = 0;
    ASSERT_EQ(file->CreateKey(key, &id), ERROR_SUCCESS);
}

long SetText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name, text.c_str(), text.size() + 1);
}

std::vector<std::string> EnumNames(HKEY key) {
    std::vector<std::string> names;
    char buffer[255];
    for (std::size_t i = 0;; ++i) {
        std::size_t chars = sizeof buffer;
        if (RegEnumValueA(key, i, buffer, &chars) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(buffer, chars);
    }
    return names;
}

}  // namespace

TEST(Store, PathComesFromTheEnvironmentAtEveryCall) {
    const std::string saved = getenv("HOME") ? getenv("HOME") : "";
    unsetenv("KLAVORA_STORE");
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(StoreFilePath(), "/xdg/klavora/klavora.db");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(StoreFilePath(), "/home/u/.config/klavora/klavora.db");
    setenv("HOME", saved.c_str(), 1);
    CTempStore store;
    EXPECT_EQ(StoreFilePath(), store.Path());
}

TEST(Store, OpenNeverCreatesTheFileOrAKey) {
    CTempStore store;
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyA("SOFTWARE\\Klavora\\Settings", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(store.Exists());

    MakeStoreWithKey(store.Path(), "SOFTWARE\\Klavora\\Settings");
    EXPECT_EQ(RegOpenKeyA("SOFTWARE\\Klavora\\Temperaments", &key), ERROR_FILE_NOT_FOUND);
    std::unique_ptr<CStoreFile> file;
    ASSERT_EQ(CStoreFile::Open(store.Path(), file), ERROR_SUCCESS);
    EXPECT_EQ(file->FindKey("SOFTWARE\\Klavora\\Temperaments", nullptr), ERROR_FILE_NOT_FOUND);
    // Parents of a created key exist as keys of their own.
    EXPECT_EQ(RegOpenKeyA("software\\KLAVORA", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(Store, LetterCaseIsIgnoredAndKept) {
    CTempStore store;
    MakeStoreWithKey(store.Path(), "SOFTWARE\\Klavora\\Temperaments");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA("software\\klavora\\TEMPERAMENTS", &key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Vallotti", "1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "Werckmeister III", "2"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "VALLOTTI", "3"), ERROR_SUCCESS);  // replaces, keeps name and place

    EXPECT_EQ(EnumNames(key), (std::vector<std::string>{"Vallotti", "Werckmeister III"}));
    char data[255];
    std::size_t size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "vallotti", data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(data, size), std::string("3\0", 2));

    EXPECT_EQ(RegDeleteValueA(key, "WERCKMEISTER iii"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, "Werckmeister III"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(EnumNames(key), std::vector<std::string>{"Vallotti"});
    RegCloseKey(key);
}

TEST(Store, EnumerationFollowsCreationOrder) {
    CTempStore store;
    MakeStoreWithKey(store.Path(), "K");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA("K", &key), ERROR_SUCCESS);
    for (const char* n : {"zeta", "Alpha", "mid", "beta"}) {
        ASSERT_EQ(SetText(key, n, n), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegDeleteValueA(key, "mid"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "mid", "again"), ERROR_SUCCESS);  // a new value goes last
    EXPECT_EQ(EnumNames(key), (std::vector<std::string>{"zeta", "Alpha", "beta", "mid"}));
    char name[255];
    std::size_t chars = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 4, name, &chars), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(Store, BufferLimitsOfTheRegistryCalls) {
    CTempStore store;
    MakeStoreWithKey(store.Path(), "K");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA("K", &key), ERROR_SUCCESS);
    const std::string name254(254, 'n');
    const std::string name255(255, 'm');
    ASSERT_EQ(SetText(key, name254, "x"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, name255, "y"), ERROR_SUCCESS);
    char name[255];
    std::size_t chars = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 0, name, &chars), ERROR_SUCCESS);
    EXPECT_EQ(chars, 254u);
    chars = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 1, name, &chars), ERROR_MORE_DATA);

    ASSERT_EQ(SetText(key, "t", std::string(254, 'a')), ERROR_SUCCESS);  // 255 bytes with NUL
    ASSERT_EQ(SetText(key, "u", std::string(255, 'a')), ERROR_SUCCESS);  // 256 bytes
    char data[255];
    std::size_t size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "t", data, &size), ERROR_SUCCESS);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "u", data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 256u);
    RegCloseKey(key);
}

TEST(Store, DamagedOrForeignFilesAreNeverTouched) {
    CTempStore store;
    const std::string garbage = "this is not a database, just some text\n" + std::string(5000, 'x');
    CTempStore::WriteBytes(store.Path(), garbage);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyA("SOFTWARE\\Klavora\\Settings", &key), ERROR_SUCCESS);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(InitializeStore(store.Path()).status == ERROR_SUCCESS);
    EXPECT_EQ(CTempStore::ReadBytes(store.Path()), garbage);

    // A real store whose pages were damaged: a truncated copy.
    ASSERT_EQ(InitializeStore(store.Dir() + "/good.db").status, ERROR_SUCCESS);
    std::string good = CTempStore::ReadBytes(store.Dir() + "/good.db");
    good.resize(100);
    CTempStore::WriteBytes(store.Path(), good);
    EXPECT_NE(RegOpenKeyA("SOFTWARE\\Klavora\\Temperaments", &key), ERROR_SUCCESS);
    EXPECT_NE(InitializeStore(store.Path()).status, ERROR_SUCCESS);
    EXPECT_EQ(CTempStore::ReadBytes(store.Path()), good);
}

TEST(Store, ReadOnlyStoreReadsButRefusesWrites) {
    CTempStore store;
    ASSERT_EQ(InitializeStore(store.Path()).status, ERROR_SUCCESS);
    ASSERT_EQ(chmod(store.Path().c_str(), 0444), 0);
    ASSERT_EQ(chmod(store.Dir().c_str(), 0555), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA("SOFTWARE\\Klavora\\Temperaments", &key), ERROR_SUCCESS);
    char data[255];
    std::size_t size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "Vallotti", data, &size), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, "Vallotti", "1,2"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(key, "Vallotti"), ERROR_ACCESS_DENIED);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "Vallotti", data, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    // Setting up again neither fails silently nor changes anything.
    EXPECT_EQ(InitializeStore(store.Path()).status, ERROR_SUCCESS);
}

TEST(Store, TwoProcessesWritingAtOnceBothSucceed) {
    CTempStore store;
    MakeStoreWithKey(store.Path(), "K");
    constexpr int kWrites = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            // Writers that wait as long as the tool does; the registry calls
            // wait less, and under such a stream of writes may report busy.
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                std::unique_ptr<CStoreFile> file;
                std::int64_t id = 0;
                if (CStoreFile::Open(store.Path(), file, 5000) != ERROR_SUCCESS ||
                    file->FindKey("K", &id) != ERROR_SUCCESS) {
                    ++failures;
                    continue;
                }
                const std::string name = "p" + std::to_string(c) + "-" + std::to_string(i);
                failures += file->SetValue(id, name, name) != ERROR_SUCCESS;
            }
            _exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA("K", &key), ERROR_SUCCESS);
    EXPECT_EQ(EnumNames(key).size(), 2u * kWrites);
    RegCloseKey(key);
}

TEST(Store, KeyRemovedUnderAnOpenHandle) {
    CTempStore store;
    MakeStoreWithKey(store.Path(), "A\\B");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA("A\\B", &key), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "v", "1"), ERROR_SUCCESS);
    // Another program replaces the store file altogether.
    ASSERT_EQ(std::remove(store.Path().c_str()), 0);
    MakeStoreWithKey(store.Path(), "Other");
    // A write through the stale handle fails cleanly and the new file is intact.
    EXPECT_NE(SetText(key, "w", "2"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyA("A\\B", &key), ERROR_FILE_NOT_FOUND);
}
