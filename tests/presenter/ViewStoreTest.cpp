// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start and end against stores that are busy, damaged, foreign,
// read-only, gone or very large: it never waits long, tells the user once
// when it cannot read the store, starts with the defaults, and leaves every
// byte of a store it could not read as it was.
#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "presenter/OptionsDlg.h"
#include "presenter/ViewTestSupport.h"
#include "support/StoreLock.h"
#include "support/StoreSnapshot.h"
#include "tuning/NumberFormat.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

const char* const kEight[8] = {"Temperament", "View",       "StandardA",       "SamplingRate",
                               "BufferSize",  "NumBuffers", "RecordingDevice", "PlaybackDevice"};

// Every key of a snapshot but the settings.
std::string WithoutSettings(const std::string& snapshot) {
    const std::string head = std::string("[") + kSettingsKeyPath + "]\n";
    const std::size_t start = snapshot.find(head);
    if (start == std::string::npos) {
        return snapshot;
    }
    const std::size_t end = snapshot.find("\n[", start + head.size());
    return snapshot.substr(0, start) +
           (end == std::string::npos ? std::string() : snapshot.substr(end + 1));
}

}  // namespace

class ViewStoreTest : public ViewTest {
protected:
    // A store whose settings differ from every default.
    void InstallWithSettings() {
        Install();
        SetSetting("Temperament", "Werckmeister III");
        SetSetting("View", "4");
        SetSetting("StandardA", "440");
        SetSetting("BufferSize", "4096");
    }
    void ExpectDefaults(const CKlavoraView& view) {
        EXPECT_EQ(view.GetView(), 1);
        EXPECT_EQ(view.GetStandardA(), 415.0);
        EXPECT_EQ(view.GetSamplingRate(), 44100);
        EXPECT_EQ(view.GetBufferSize(), 8192);
        EXPECT_EQ(view.GetNumBuffers(), 5);
        EXPECT_EQ(view.GetRecordingDevice(), -1);
        EXPECT_EQ(view.GetPlaybackDevice(), -1);
    }
    // The one message about the store: caption, icon, the file and the cause.
    // A damaged file is also asked whether to set it aside, after the message.
    void ExpectStoreMessage(const std::string& cause) {
        ASSERT_EQ(m_form.m_boxes.size(), 1u);
        const CFakeForm::Box& box = m_form.m_boxes[0];
        EXPECT_EQ(box.caption, "Klavora");
        struct stat st;
        const bool damagedFile = cause.find("damaged") != std::string::npos &&
                                 stat(m_store.Path().c_str(), &st) == 0 && S_ISREG(st.st_mode);
        EXPECT_EQ(box.type,
                  damagedFile ? MB_YESNO | MB_ICONEXCLAMATION : MB_OK | MB_ICONINFORMATION);
        EXPECT_NE(box.text.find(m_store.Path()), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(cause), std::string::npos) << box.text;
        const std::string question = "\r\n\r\nDo you want Klavora to move the file aside as ";
        EXPECT_EQ(box.text.find("will leave the file as it is." + question) != std::string::npos,
                  damagedFile)
            << box.text;
    }
};

TEST_F(ViewStoreTest, ABusyStoreIsReportedOnceAndNeverOverwritten) {
    InstallWithSettings();
    const std::string before = StoreSnapshot(m_store.Path());
    CStoreLock lock(m_store.Path(), true);
    ASSERT_TRUE(lock.Locked());
    const Clock::time_point start = Clock::now();
    CKlavoraView& view = Start();
    EXPECT_LT(SecondsSince(start), 1.5);  // one short wait, not one for every setting
    ExpectDefaults(view);
    EXPECT_FALSE(view.TemperamentsReady());
    EXPECT_EQ(view.StoreFailure(), ERROR_BUSY);
    ExpectStoreMessage("another program is using the store");
    // The other program lets go; closing still must not put the defaults
    // over the settings it never read.
    lock.Release();
    Close();
    EXPECT_EQ(StoreSnapshot(m_store.Path()), before);
    EXPECT_EQ(Setting("View"), "4");
}

TEST_F(ViewStoreTest, AStoreBusyAtTheEndIsLeftAsItIs) {
    InstallWithSettings();
    CKlavoraView& view = Start();
    EXPECT_EQ(view.GetView(), 4);
    EXPECT_TRUE(Command(ID_VIEW_CENTS));
    const std::string before = StoreSnapshot(m_store.Path());
    {
        CStoreLock lock(m_store.Path(), false);  // reading allowed, writing not
        ASSERT_TRUE(lock.Locked());
        const Clock::time_point start = Clock::now();
        Close();
        EXPECT_LT(SecondsSince(start), 1.5);
    }
    EXPECT_EQ(StoreSnapshot(m_store.Path()), before);
    // With the store free, the next end writes all eight.
    Start();
    EXPECT_TRUE(Command(ID_VIEW_CENTS));
    Close();
    EXPECT_EQ(Setting("View"), "1");
    EXPECT_EQ(Setting("BufferSize"), "4096");
}

TEST_F(ViewStoreTest, AllEightSettingsAreWrittenTogether) {
    InstallWithSettings();
    Start();
    EXPECT_TRUE(Command(ID_VIEW_FREQUENCIES));
    const std::uint64_t before = StoreStatementCount();
    Close();
    // One opening of the key and one transaction, however many values.
    EXPECT_LT(StoreStatementCount() - before, 30u);
    EXPECT_EQ(Setting("View"), "5");
    EXPECT_EQ(Setting("Temperament"), "Werckmeister III");
}

TEST_F(ViewStoreTest, LoadingReadsTheKeyOnceAndFillsTheListOnce) {
    Install();
    {
        std::unique_ptr<CStoreFile> file;
        ASSERT_EQ(CStoreFile::Open(m_store.Path(), file), ERROR_SUCCESS);
        std::int64_t id = 0;
        ASSERT_EQ(file->FindKey(kTemperamentsKeyPath, &id), ERROR_SUCCESS);
        ASSERT_EQ(file->Begin(), ERROR_SUCCESS);
        for (int i = 0; i < 2000; ++i) {
            // A name the program cannot read back, stored by some other means,
            // hides nothing enumerated after it.
            const std::string name = i == 10 ? std::string(300, 'L') : "T" + std::to_string(i);
            ASSERT_EQ(file->SetValue(id, name, std::string("0,0,0,0,0,0,0,0,0,0,0,-24") + '\0'),
                      ERROR_SUCCESS);
        }
        ASSERT_EQ(file->Commit(), ERROR_SUCCESS);
    }
    const std::uint64_t before = StoreStatementCount();
    CKlavoraView& view = Start();
    // The settings and one read of the key, not a query for every name.
    EXPECT_LT(StoreStatementCount() - before, 60u);
    EXPECT_EQ(m_form.m_nBulkFills, 1);
    EXPECT_EQ(m_form.ListGetCount(), static_cast<int>(SeedCatalogue().size()) + 1999);
    EXPECT_GE(m_form.ListFindStringExact("T1999"), 0);
    EXPECT_LT(m_form.ListFindStringExact(std::string(300, 'L')), 0);
    EXPECT_TRUE(std::is_sorted(m_form.m_list.begin(), m_form.m_list.end(),
                               [](const std::string& a, const std::string& b) {
                                   return strcasecmp(a.c_str(), b.c_str()) < 0;
                               }));
    EXPECT_EQ(view.GetTemperamentName(), m_form.m_list[0]);
    EXPECT_EQ(m_form.ListGetCurSel(), 0);
}

// The store's fault matrix as the program meets it at start.
struct StoreFaultCase {
    const char* label;
    // Puts the fault in place over a seeded store with its own settings.
    void (*make)(const std::string& path, const std::string& dir);
    // The message's cause; null: no message about the store.
    const char* cause;
    // A damaged copy may still read as far as the program goes: then there
    // may be no message, but never another one.
    bool causeMayBeMissing = false;
    // False where the program may rightly write its (unchanged) settings, as
    // into a read-only folder for a user whom permissions do not stop.
    bool bytesKept = true;
};

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
    CTempStore::WriteBytes(path, bytes);
}

void Truncate(const std::string& path, std::size_t size) {
    std::string bytes = CTempStore::ReadBytes(path);
    bytes.resize(std::min(size, bytes.size()));
    WriteFile(path, bytes);
}

}  // namespace

class ViewStoreFaultTest : public ViewStoreTest,
                           public ::testing::WithParamInterface<StoreFaultCase> {};

TEST_P(ViewStoreFaultTest, StartsWithTheDefaultsAndLeavesTheFileAlone) {
    const StoreFaultCase& c = GetParam();
    InstallWithSettings();
    const std::string content = StoreSnapshot(m_store.Path());
    c.make(m_store.Path(), m_store.Dir());
    struct stat st;
    const bool existed = stat(m_store.Path().c_str(), &st) == 0;
    const bool regular = existed && S_ISREG(st.st_mode);
    const std::string before = regular ? CTempStore::ReadBytes(m_store.Path()) : std::string();
    CKlavoraView& view = Start();
    const bool told =
        !m_form.m_boxes.empty() && m_form.m_boxes[0].text.find(m_store.Path()) != std::string::npos;
    if (c.cause != nullptr && (told || !c.causeMayBeMissing)) {
        ExpectStoreMessage(c.cause);
        ExpectDefaults(view);
        EXPECT_FALSE(view.TemperamentsReady());
    } else {
        EXPECT_FALSE(told) << m_form.m_boxes[0].text;
        EXPECT_EQ(view.GetView(), existed ? 4 : 1);
    }
    // Sound plays or fails as it may; closing changes nothing stored.
    Command(ID_PLAY_NOTES);
    Run(2);
    Close();
    EXPECT_EQ(m_store.Exists(), existed);
    if (regular && c.bytesKept) {
        EXPECT_TRUE(CTempStore::ReadBytes(m_store.Path()) == before) << "the store was changed";
    } else if (regular) {
        // Written back as read: every value stored before is still there.
        const std::string after = StoreSnapshot(m_store.Path());
        std::size_t start = 0;
        for (std::size_t end; (end = content.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const std::string line = content.substr(start, end - start + 1);
            EXPECT_NE(after.find(line), std::string::npos) << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ViewStoreFaultTest,
    ::testing::Values(
        StoreFaultCase{
            "Missing",
            [](const std::string& path, const std::string&) { std::remove(path.c_str()); },
            nullptr},
        StoreFaultCase{"Empty",
                       [](const std::string& path, const std::string&) { WriteFile(path, ""); },
                       "damaged or is not a Klavora store"},
        StoreFaultCase{"RandomBytes",
                       [](const std::string& path, const std::string&) {
                           std::string bytes(20000, '\0');
                           unsigned int x = 12345;
                           for (char& b : bytes) {
                               x = x * 1103515245u + 12345u;
                               b = static_cast<char>(x >> 24);
                           }
                           WriteFile(path, bytes);
                       },
                       "damaged or is not a Klavora store"},
        StoreFaultCase{"AnotherProgramsDatabase",
                       [](const std::string& path, const std::string&) {
                           std::remove(path.c_str());
                           sqlite3* db = nullptr;
                           sqlite3_open(path.c_str(), &db);
                           sqlite3_exec(
                               db,
                               "CREATE TABLE keys(id, path); CREATE TABLE vals(x);"
                               "INSERT INTO keys VALUES(1, 'SOFTWARE\\Klavora\\Settings');",
                               nullptr, nullptr, nullptr);
                           sqlite3_close(db);
                       },
                       "damaged or is not a Klavora store"},
        StoreFaultCase{"TruncatedToItsHeader",
                       [](const std::string& path, const std::string&) { Truncate(path, 100); },
                       "damaged or is not a Klavora store"},
        StoreFaultCase{"TruncatedToOnePage",
                       [](const std::string& path, const std::string&) { Truncate(path, 4096); },
                       "damaged or is not a Klavora store"},
        StoreFaultCase{"TruncatedByAPage",
                       [](const std::string& path, const std::string&) {
                           Truncate(path, CTempStore::ReadBytes(path).size() - 4096);
                       },
                       "damaged or is not a Klavora store", true},
        StoreFaultCase{"TruncatedMidPage",
                       [](const std::string& path, const std::string&) {
                           Truncate(path, CTempStore::ReadBytes(path).size() - 1000);
                       },
                       "damaged or is not a Klavora store", true},
        StoreFaultCase{
            "ReadOnlyFile",
            [](const std::string& path, const std::string&) { chmod(path.c_str(), 0444); },
            nullptr},
        StoreFaultCase{"ReadOnlyFolder",
                       [](const std::string&, const std::string& dir) { chmod(dir.c_str(), 0555); },
                       nullptr, false, false},
        StoreFaultCase{"AFolder",
                       [](const std::string& path, const std::string&) {
                           std::remove(path.c_str());
                           mkdir(path.c_str(), 0700);
                       },
                       "damaged or is not a Klavora store"},
        StoreFaultCase{"AFifo",
                       [](const std::string& path, const std::string&) {
                           std::remove(path.c_str());
                           mkfifo(path.c_str(), 0600);
                       },
                       "damaged or is not a Klavora store"}),
    [](const ::testing::TestParamInfo<StoreFaultCase>& info) { return info.param.label; });

// The store deleted or replaced while the program runs: at the end it is
// made again as on a first start and takes the settings, or one message says
// that they could not be saved; nothing is written into a deleted file.
TEST_F(ViewStoreTest, AStoreGoneWhileRunningIsMadeAgainOrTheLossIsTold) {
    const struct {
        const char* label;
        void (*make)(const std::string& path, const std::string& dir);
        bool saved;
    } cases[] = {
        {"deleted", [](const std::string& path, const std::string&) { std::remove(path.c_str()); },
         true},
        {"replaced by another file",
         [](const std::string& path, const std::string&) {
             std::remove(path.c_str());
             CTempStore::WriteBytes(path, "not a store");
         },
         false},
        {"its folder gone",
         [](const std::string&, const std::string& dir) {
             std::filesystem::remove_all(dir);
             CTempStore::WriteBytes(dir, "a file where the folder was");
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::create_directories(m_store.Dir());
        std::remove(m_store.Path().c_str());
        InstallWithSettings();
        m_form.m_boxes.clear();
        m_form.m_list.clear();
        CKlavoraView& view = Start();
        EXPECT_EQ(view.GetView(), 4);
        c.make(m_store.Path(), m_store.Dir());
        const std::string left = CTempStore::ReadBytes(m_store.Path());
        Command(ID_VIEW_CENTS);
        Close();
        if (c.saved) {
            EXPECT_TRUE(m_form.m_boxes.empty()) << m_form.m_boxes[0].text;
            EXPECT_EQ(Setting("View"), "1");
            EXPECT_EQ(Setting("Temperament"), "Werckmeister III");
            CRegistryKey reg;
            HKEY key = reg.Open(kTemperamentsKeyPath);
            std::vector<std::pair<std::string, std::string>> values;
            EXPECT_EQ(reg.EnumStrings(key, values), ERROR_SUCCESS);
            reg.Close(key);
            EXPECT_EQ(values.size(), SeedCatalogue().size());
        } else {
            ASSERT_EQ(m_form.m_boxes.size(), 1u);
            EXPECT_NE(m_form.m_boxes[0].text.find("unable to save its settings"), std::string::npos)
                << m_form.m_boxes[0].text;
            EXPECT_EQ(CTempStore::ReadBytes(m_store.Path()), left);
        }
        std::filesystem::remove_all(m_store.Dir());
    }
}

// A damaged store set aside at the user's word: the file keeps its bytes under
// a new name, never replacing an earlier one, and the program starts as on its
// first start with the catalogue, saying where the file went.
TEST_F(ViewStoreTest, ADamagedStoreIsSetAsideForANewOneOnYes) {
    const auto asideNames = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_store.Dir())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("store.db.damaged-", 0) == 0) {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> damage = {"", "random bytes, no store", "SQLite format 3"};
    for (std::size_t i = 0; i < damage.size(); ++i) {
        SCOPED_TRACE(i);
        CTempStore::WriteBytes(m_store.Path(), damage[i]);
        m_form.m_boxes.clear();
        m_form.m_list.clear();
        m_form.m_nSel = -1;
        m_form.Answer(IDYES);
        CKlavoraView& view = Start();
        ASSERT_EQ(m_form.m_boxes.size(), 2u);
        EXPECT_EQ(m_form.m_boxes[0].type, MB_YESNO | MB_ICONEXCLAMATION);
        const std::vector<std::string> aside = asideNames();
        ASSERT_EQ(aside.size(), i + 1);
        // The first of the day has the date alone, later ones a number.
        const std::string moved = m_store.Dir() + "/" + aside.back();
        EXPECT_EQ(aside.back().size(),
                  std::string("store.db.damaged-2026-01-01").size() + (i == 0 ? 0 : 2));
        EXPECT_EQ(CTempStore::ReadBytes(moved), damage[i]);
        EXPECT_NE(m_form.m_boxes[1].text.find(moved), std::string::npos) << m_form.m_boxes[1].text;
        EXPECT_TRUE(view.TemperamentsReady());
        EXPECT_EQ(view.StoreFailure(), ERROR_SUCCESS);
        EXPECT_EQ(m_form.ListGetCount(), static_cast<int>(SeedCatalogue().size()));
        EXPECT_EQ(view.GetTemperamentName(), m_form.m_list[0]);
        ExpectDefaults(view);
        struct stat st;
        ASSERT_EQ(stat(m_store.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        Command(ID_VIEW_FREQUENCIES);
        Close();
        EXPECT_EQ(Setting("View"), "5");
    }
}

// Two copies of the program, each with its own eight settings, closing at the
// same moment: afterwards the store holds all eight of one copy, never a mix
// or an empty value, and the catalogue is as it was.
TEST_F(ViewStoreTest, TwoCopiesClosingAtOnceLeaveOneCopysSettingsWhole) {
    InstallWithSettings();
    const std::string catalogue = WithoutSettings(StoreSnapshot(m_store.Path()));
    const std::vector<std::vector<std::string>> copies = {
        {"Vallotti", "2", "430", "44100", "8192", "5", "-1", "-1"},
        {"Equal temperament", "5", "442", "22050", "16384", "6", "0", "0"}};
    // Run in a child process: starts, takes its copy's settings, says it is
    // ready, and closes when told. Its exit status says whether it got there.
    auto runCopy = [&](int copy, int ready, int go) {
        CKlavoraView& view = Start();
        SelectTemperament(copies[copy][0]);
        Command(copy == 0 ? ID_VIEW_DEVIATIONS : ID_VIEW_FREQUENCIES);
        view.UpdateStandardA(copy == 0 ? 430.0 : 442.0);
        m_form.m_options = [copy](COptionsDlg& dlg) {
            dlg.OnInitDialog();
            dlg.OnUseDefaults(copy == 0);
            if (copy == 1) {
                dlg.OnRate22050();
                dlg.OnBufferSizeDelta(0);   // 4096 -> 8192
                dlg.OnBufferSizeDelta(0);   // -> 16384
                dlg.OnBufferCountDelta(0);  // 5 -> 6
            }
            dlg.OnOK(copy, copy);  // the mapper, or the first device
            return static_cast<int>(IDOK);
        };
        Command(ID_OPTIONS);
        const std::vector<std::string> got = {view.GetTemperamentName(),
                                              std::to_string(view.GetView()),
                                              FormatStreamDouble(view.GetStandardA()),
                                              std::to_string(view.GetSamplingRate()),
                                              std::to_string(view.GetBufferSize()),
                                              std::to_string(view.GetNumBuffers()),
                                              std::to_string(view.GetRecordingDevice()),
                                              std::to_string(view.GetPlaybackDevice())};
        char byte = got == copies[copy] ? 1 : 0;
        if (write(ready, &byte, 1) != 1 || byte == 0) {
            return 2;
        }
        (void)!read(go, &byte, 1);  // returns when the parent closes its end
        Close();
        return 0;
    };
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const char* const baseline[8] = {
            "Werckmeister III", "4", "440", "44100", "4096", "5", "-1", "-1"};
        std::vector<std::pair<std::string, std::string>> values;
        values.reserve(8);
        for (int i = 0; i < 8; ++i) {
            values.emplace_back(kEight[i], baseline[i]);
        }
        CRegistryKey reg;
        HKEY key = reg.Open(kSettingsKeyPath);
        ASSERT_EQ(reg.SetStrings(key, values), ERROR_SUCCESS);
        reg.Close(key);
        int ready[2];
        int go[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(go), 0);
        pid_t pids[2];
        for (int copy = 0; copy < 2; ++copy) {
            pids[copy] = fork();
            ASSERT_GE(pids[copy], 0);
            if (pids[copy] == 0) {
                close(ready[0]);
                close(go[1]);
                _exit(runCopy(copy, ready[1], go[0]));
            }
        }
        close(ready[1]);
        close(go[0]);
        char bytes[2] = {0, 0};
        const bool bothReady = read(ready[0], bytes, 1) == 1 && read(ready[0], bytes + 1, 1) == 1;
        close(go[1]);  // both close now
        close(ready[0]);
        for (pid_t pid : pids) {
            int status = -1;
            waitpid(pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        ASSERT_TRUE(bothReady && bytes[0] == 1 && bytes[1] == 1);
        std::vector<std::string> stored;
        for (const char* name : kEight) {
            stored.push_back(Setting(name));
        }
        EXPECT_TRUE(stored == copies[0] || stored == copies[1]) << ::testing::PrintToString(stored);
        EXPECT_EQ(WithoutSettings(StoreSnapshot(m_store.Path())), catalogue);
    }
}

// Hostile values put into the store by other means: the program starts with
// them, shows what it can read back, survives numbers that are no numbers, and
// closing changes none of them.
TEST_F(ViewStoreTest, HostileValuesAreShownOrSkippedAndKeptAsTheyAre) {
    Install();
    const std::string equal = "-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2";
    const std::vector<std::pair<std::string, std::string>> temperaments = {
        {std::string(254, 'n'), equal},
        {std::string(255, 'o'), equal},
        {std::string(10000, 'p'), equal},
        {"Quote's \"double\"", equal},
        {"x'); DROP TABLE vals; --", equal},
        {"Tab\tand\nline", equal},
        {"Not numbers", "nan,inf,-inf,1e308,-1e308,1e-320,nan,inf,-inf,1e308,0,0"},
        {"Too few", "1,2,3"}};
    {
        std::unique_ptr<CStoreFile> file;
        ASSERT_EQ(CStoreFile::Open(m_store.Path(), file), ERROR_SUCCESS);
        std::int64_t id = 0;
        ASSERT_EQ(file->FindKey(kTemperamentsKeyPath, &id), ERROR_SUCCESS);
        for (const auto& t : temperaments) {
            ASSERT_EQ(file->SetValue(id, t.first, t.second + '\0'), ERROR_SUCCESS);
        }
    }
    SetSetting("Temperament", "x'); DROP TABLE vals; --");
    SetSetting("StandardA", "1e308");
    const std::string before = WithoutSettings(StoreSnapshot(m_store.Path()));
    CKlavoraView& view = Start();
    EXPECT_EQ(view.GetTemperamentName(), "x'); DROP TABLE vals; --");
    EXPECT_GE(m_form.ListFindStringExact(std::string(254, 'n')), 0);
    EXPECT_GE(m_form.ListFindStringExact("Quote's \"double\""), 0);
    EXPECT_LT(m_form.ListFindStringExact("Too few"), 0);
    SelectTemperament("Not numbers");
    for (int id : {ID_VIEW_CENTS, ID_VIEW_DEVIATIONS, ID_VIEW_MINOR_THIRDS, ID_VIEW_MAJOR_THIRDS,
                   ID_VIEW_FREQUENCIES, ID_ROTATE_LEFT, ID_OCTAVE_HIGHER, ID_PLAY_NOTES}) {
        Command(id);
        Run(1);
    }
    Close();
    EXPECT_EQ(WithoutSettings(StoreSnapshot(m_store.Path())), before);
    EXPECT_EQ(Setting("Temperament"), "Not numbers");
}
