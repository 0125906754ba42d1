// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a private folder for store files, on a memory
// file system where there is one (so that each run's writes cost no disk
// syncs), removed when the process ends.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "store/StoreSetup.h"

class CFuzzFolder {
public:
    CFuzzFolder() {
        std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/klavora-fuzz.XXXXXX";
        const char* dir = mkdtemp(pattern.data());
        m_strDir = dir != nullptr ? dir : base;
    }
    ~CFuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
    }
    std::string Path(const std::string& name) const { return m_strDir + "/" + name; }
    const std::string& Dir() const { return m_strDir; }

private:
    std::string m_strDir;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A seeded store of the fuzz target's own, named by KLAVORA_STORE and made
// once per process; its first bytes are kept so that each input can start
// from the same store.
struct SFuzzStore {
    CFuzzFolder folder;
    std::string store = folder.Path("store.db");
    std::string pristine;
};

// The store outlives every static of the process (the store library's among
// them), so it is never destroyed; its folder goes at exit all the same.
inline SFuzzStore& FuzzStore() {
    static SFuzzStore* pStore = [] {
        auto* p = new SFuzzStore;
        static const std::string s_strDir = p->folder.Dir();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(s_strDir, ec);
        });
        setenv("KLAVORA_STORE", p->store.c_str(), 1);
        if (InitializeStore(p->store).status != 0) {
            std::abort();
        }
        p->pristine = ReadFileBytes(p->store);
        return p;
    }();
    return *pStore;
}
