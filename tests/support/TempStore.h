// SPDX-License-Identifier: GPL-3.0-or-later
// A private store file for one test: KLAVORA_STORE points into a fresh
// temporary folder, which is removed afterwards with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class CTempStore {
public:
    CTempStore() {
        char pattern[] = "/tmp/klavora-store-test.XXXXXX";
        const char* dir = mkdtemp(pattern);
        m_strDir = dir != nullptr ? dir : "/tmp";
        m_strPath = m_strDir + "/store.db";
        const char* old = getenv("KLAVORA_STORE");
        m_bHadOld = old != nullptr;
        if (m_bHadOld) {
            m_strOld = old;
        }
        setenv("KLAVORA_STORE", m_strPath.c_str(), 1);
    }
    ~CTempStore() {
        if (m_bHadOld) {
            setenv("KLAVORA_STORE", m_strOld.c_str(), 1);
        } else {
            unsetenv("KLAVORA_STORE");
        }
        std::error_code ec;
        std::filesystem::permissions(m_strDir, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_strDir, ec);
    }
    CTempStore(const CTempStore&) = delete;
    CTempStore& operator=(const CTempStore&) = delete;

    const std::string& Path() const { return m_strPath; }
    const std::string& Dir() const { return m_strDir; }
    bool Exists() const { return std::filesystem::exists(m_strPath); }

    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void WriteBytes(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::string m_strDir;
    std::string m_strPath;
    std::string m_strOld;
    bool m_bHadOld = false;
};
