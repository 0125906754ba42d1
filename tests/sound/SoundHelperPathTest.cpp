// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds its sound helper: only a regular file that may be
// run counts, so that a folder or a file without the execute right in the
// first place leaves the installed place to be tried.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "sound/SoundHelperPath.h"

namespace {

enum class EEntry { None, Program, NotRunnable, Folder };

void Place(const std::string& strPath, EEntry entry) {
    if (entry == EEntry::Folder) {
        ASSERT_EQ(0, mkdir(strPath.c_str(), 0755));
    } else if (entry != EEntry::None) {
        std::ofstream(strPath) << "#!/bin/sh\n";
        ASSERT_EQ(0, chmod(strPath.c_str(), entry == EEntry::Program ? 0755 : 0644));
    }
}

TEST(SoundHelperPathTest, OnlyARunnableRegularFileIsTaken) {
    struct SCase {
        EEntry m_beside;
        EEntry m_installed;
        const char* m_pszFound;  // relative to the program's folder, or empty
    };
    const SCase cases[] = {
        {EEntry::Program, EEntry::Program, "klavora-sound"},
        {EEntry::None, EEntry::Program, "../libexec/klavora/klavora-sound"},
        {EEntry::Folder, EEntry::Program, "../libexec/klavora/klavora-sound"},
        {EEntry::NotRunnable, EEntry::Program, "../libexec/klavora/klavora-sound"},
        {EEntry::Folder, EEntry::None, ""},
        {EEntry::NotRunnable, EEntry::Folder, ""},
    };
    for (const SCase& c : cases) {
        char szRoot[] = "/tmp/klavora-helper-path.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(szRoot));
        const std::string strRoot = szRoot;
        const std::string strBin = strRoot + "/bin/";
        ASSERT_EQ(0, mkdir(strBin.c_str(), 0755));
        ASSERT_EQ(0, mkdir((strRoot + "/libexec").c_str(), 0755));
        ASSERT_EQ(0, mkdir((strRoot + "/libexec/klavora").c_str(), 0755));
        Place(strBin + "klavora-sound", c.m_beside);
        Place(strRoot + "/libexec/klavora/klavora-sound", c.m_installed);
        const std::string strWanted = *c.m_pszFound ? strBin + c.m_pszFound : "";
        EXPECT_EQ(strWanted, FindSoundHelperFor(strBin))
            << static_cast<int>(c.m_beside) << "/" << static_cast<int>(c.m_installed);
        std::system(("rm -rf '" + strRoot + "'").c_str());
    }
}

}  // namespace
