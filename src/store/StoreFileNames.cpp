// SPDX-License-Identifier: GPL-3.0-or-later
// Which file a store path names, and where a damaged store is set aside.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>

#include "base/SafeFile.h"
#include "store/Store.h"

StoreFileIdentity IdentifyStoreFile(const std::string& path) {
    StoreFileIdentity id;
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_INO | STATX_BTIME, &st) == 0) {
        id.exists = true;
        id.device = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
        id.inode = st.stx_ino;
        if ((st.stx_mask & STATX_BTIME) != 0) {
            id.bornSeconds = st.stx_btime.tv_sec;
            id.bornNanoseconds = st.stx_btime.tv_nsec;
        }
    }
    return id;
}

std::string SetAsideStoreName(const std::string& path, std::time_t now) {
    std::tm tm{};
    localtime_r(&now, &tm);
    char date[16];
    if (std::strftime(date, sizeof date, "%Y-%m-%d", &tm) == 0) {
        date[0] = '\0';
    }
    return path + ".damaged-" + date;
}

int SetAsideStoreFile(const std::string& path, std::time_t now, std::string& movedTo) {
    const std::string base = SetAsideStoreName(path, now);
    int error = EEXIST;
    for (int n = 1; n < 1000 && error == EEXIST; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        error = RenameNoReplace(path, name);
        if (error == 0) {
            movedTo = name;
        }
    }
    return error;
}
