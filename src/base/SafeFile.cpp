#include "base/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

// Letters for the fresh names; 62^10 names leave no pattern worth guessing.
const char kNameLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int kNameLength = 10;
constexpr int kNameTries = 100;

std::string FreshName(std::mt19937_64& random) {
    std::string name = ".klavora-";
    for (int i = 0; i < kNameLength; ++i) {
        name += kNameLetters[random() % (sizeof kNameLetters - 1)];
    }
    return name;
}

bool WriteAll(int fd, const std::string& bytes, int& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string SystemReason(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int CreateFileBeside(const std::string& target, std::string& createdPath, std::string& why) {
    const std::string folder = FolderOf(target);
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^
                           static_cast<std::uint64_t>(::getpid()));
    for (int i = 0; i < kNameTries; ++i) {
        const std::string candidate = folder + "/" + FreshName(random);
        // O_EXCL refuses anything already there, a planted link included;
        // O_NOFOLLOW says the same for a link once more.
        const int fd = ::open(candidate.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                              kPrivateFileMode);
        if (fd >= 0) {
            createdPath = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            why = "cannot create a file in " + folder + ": " + SystemReason(errno);
            return -1;
        }
    }
    why = "cannot create a file in " + folder + ": " + SystemReason(EEXIST);
    return -1;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& why) {
    std::string temp;
    const int fd = CreateFileBeside(path, temp, why);
    if (fd < 0) {
        return false;
    }
    int error = 0;
    bool ok = WriteAll(fd, bytes, error);
    // A full disk may show only when the data are flushed.
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) {
        error = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        why = SystemReason(error);
    }
    return ok;
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: a new link fails on a taken name too.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}
