// What the fuzz targets share: a private folder for store files, on a memory
// file system where there is one (so that each run's writes cost no disk
// syncs), removed when the process ends.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
