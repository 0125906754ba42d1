#include "storetool/WindowFiles.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "storetool/ToolSupport.h"
#include "tuning/ScalaFile.h"

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& text,
                   std::string& why) {
    // Opened without waiting, so that a named pipe cannot hold the window up;
    // only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "it is not a file";
        ::close(fd);
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        why = "it is too large to be a scale";
        ::close(fd);
        return false;
    }
    text.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            why = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > limit) {
            why = "it is too large to be a scale";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}

bool SaveChosenFile(const std::string& path, const std::string& bytes, std::string& why) {
    return WriteFileAtomically(path, bytes, why);
}

std::string SaveFailureMessage(const std::string& path, const std::string& why) {
    return "Klavora could not save \"" + path + "\": " + why + ".";
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    if (path.size() >= extension.size()) {
        const std::string tail = path.substr(path.size() - extension.size());
        if (strcasecmp(tail.c_str(), extension.c_str()) == 0) {
            return path;
        }
    }
    return path + extension;
}

std::string ChosenSavePath(const std::string& chosen, const std::string& extension,
                           IMessageHost& host, const std::string& caption) {
    std::string path = WithExtension(chosen, extension);
    struct stat st {};
    if (path != chosen && ::stat(path.c_str(), &st) == 0 &&
        host.MessageBox("A file named \"" + path.substr(path.find_last_of('/') + 1) +
                            "\" already exists. Do you want to replace it?",
                        caption, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        return std::string();
    }
    return path;
}

std::string OfferedFileName(const std::string& name, const std::string& extension) {
    std::string file;
    for (char c : name) {
        const bool bad = c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        file += bad ? '_' : c;
    }
    if (file.empty() || file == "." || file == "..") {
        file = "temperament";
    }
    return file + extension;
}

std::string ScalaExportText(const std::string& name, const CTemperament& t) {
    CTemperament stored = t;
    stored.Rotate(0);
    return FormatScala(name, stored.Offsets(), t.GetArithmetic());
}
