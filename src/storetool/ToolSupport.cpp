#include "storetool/ToolSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "store/ExportFormat.h"
#include "tuning/TemperamentName.h"

bool CStoreSession::Open(bool create) {
    std::string why;
    const long st = create ? CStoreFile::OpenOrCreate(m_ctx.storePath, m_pFile, kToolWaitMs, &why)
                           : CStoreFile::Open(m_ctx.storePath, m_pFile, kToolWaitMs);
    if (st == ERROR_FILE_NOT_FOUND) {
        m_nStatus = m_ctx.Fail(kExitStore, "there is no store at " + m_ctx.storePath +
                                               " (\"klavora-store init\" creates it)");
        return false;
    }
    if (st != ERROR_SUCCESS && !why.empty()) {
        m_nStatus =
            m_ctx.Fail(kExitStore, "the store " + m_ctx.storePath + " cannot be made: " + why);
        return false;
    }
    if (st != ERROR_SUCCESS) {
        Failed(st);
        return false;
    }
    return true;
}

bool CStoreSession::FindKey(const std::string& path, std::int64_t& id) {
    const long st = m_pFile->FindKey(path, &id);
    if (st == ERROR_FILE_NOT_FOUND) {
        m_nStatus = m_ctx.Fail(kExitNotFound, "there is no key \"" + path + "\"");
        return false;
    }
    if (st != ERROR_SUCCESS) {
        Failed(st);
        return false;
    }
    return true;
}

int CStoreSession::Failed(long status) {
    std::string why;
    struct stat st;
    switch (status) {
        case ERROR_ACCESS_DENIED:
            why = "access denied";
            break;
        case ERROR_BADDB:
            why = ::stat(m_ctx.storePath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)
                      ? "it is not a regular file"
                      : "the file is damaged or is not a Klavora store";
            break;
        case ERROR_BUSY:
            why = "it is busy: another program is writing to it (try again when it has finished)";
            break;
        default:
            why = "error " + std::to_string(status);
    }
    if (m_pFile && !m_pFile->LastError().empty() && status != ERROR_BADDB && status != ERROR_BUSY) {
        why += " (" + m_pFile->LastError() + ")";
    }
    if (m_bNameRecovery && status == ERROR_BADDB && ::stat(m_ctx.storePath.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode)) {
        why += "; " + RecoveryHint(m_ctx.storePath);
    }
    m_nStatus = m_ctx.Fail(kExitStore, "the store " + m_ctx.storePath + " cannot be used: " + why);
    return m_nStatus;
}

std::string NameRefusal(const std::string& name) {
    switch (CheckValueName(name)) {
        case NameProblem::None:
            break;
        case NameProblem::Empty:
            return "a name cannot be empty";
        case NameProblem::TooLong:
            // The limit is the program's buffer, in bytes: a letter outside
            // ASCII takes two to four of them.
            return "a name can have at most 254 bytes; this one has " +
                   std::to_string(name.size()) + " bytes";
        case NameProblem::ControlCharacter:
            return "a name cannot hold tabs, line breaks or other control characters: " +
                   QuotedForMessage(name);
    }
    return std::string();
}

bool CheckNewName(ToolContext& ctx, const std::string& name, int& status) {
    const std::string why = NameRefusal(name);
    if (why.empty()) {
        return true;
    }
    status = ctx.Fail(kExitUsage, why);
    return false;
}

std::string QuotedForMessage(const std::string& name) {
    std::size_t shown = 80;
    if (name.size() <= shown) {
        return EscapeQuoted(name);
    }
    while (shown > 0 && (static_cast<unsigned char>(name[shown]) & 0xC0) == 0x80) {
        --shown;  // not inside a character
    }
    return EscapeQuoted(name.substr(0, shown)) + "...";
}

std::string NameArgument(const std::string& arg) {
    std::string raw;
    if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"' && UnescapeQuoted(arg, raw)) {
        return raw;
    }
    return arg;
}

std::string StoredText(const std::string& data) {
    if (!data.empty() && data.back() == '\0') {
        return data.substr(0, data.size() - 1);
    }
    return data;
}

std::string RecoveryHint(const std::string& path) {
    const std::string aside = SetAsideStoreName(path, std::time(nullptr));
    return "\"klavora-store recover\" moves it aside as " + aside.substr(aside.rfind('/') + 1) +
           " and makes a new store with the catalogue";
}

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        c = Lower(c);
    }
    return out;
}

// The edit distance of a and b, or limit + 1 once it is sure to exceed limit.
std::size_t EditDistance(const std::string& a, const std::string& b, std::size_t limit) {
    const std::size_t longer = std::max(a.size(), b.size());
    if (longer - std::min(a.size(), b.size()) > limit) {
        return limit + 1;
    }
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        std::size_t best = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
            best = std::min(best, row[j]);
        }
        if (best > limit) {
            return limit + 1;
        }
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string& wanted,
                                      const std::vector<std::string>& names) {
    std::vector<std::pair<std::size_t, std::string>> found;
    if (wanted.empty() || !NameRefusal(wanted).empty()) {
        return {};
    }
    const std::string key = Lowered(wanted);
    // A slip of about one letter in three is taken for a typing mistake; a
    // name that holds the whole of what was typed is close too.
    const std::size_t limit = std::max<std::size_t>(1, key.size() / 3);
    for (const std::string& name : names) {
        if (!NameRefusal(name).empty()) {
            continue;
        }
        const std::string lowered = Lowered(name);
        std::size_t distance = EditDistance(key, lowered, limit);
        if (distance > limit && key.size() >= 3 && lowered.find(key) != std::string::npos) {
            distance = limit;
        }
        if (distance <= limit) {
            found.emplace_back(distance, name);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> best;
    for (std::size_t i = 0; i < found.size() && i < 3; ++i) {
        best.push_back(found[i].second);
    }
    return best;
}

std::string DidYouMean(const std::vector<std::string>& suggestions) {
    if (suggestions.empty()) {
        return std::string();
    }
    std::string text = " (did you mean ";
    for (std::size_t i = 0; i < suggestions.size(); ++i) {
        if (i > 0) {
            text += i + 1 == suggestions.size() ? " or " : ", ";
        }
        text += EscapeQuoted(suggestions[i]);
    }
    return text + "?)";
}

int ReadInputFile(const std::string& path, std::size_t maxBytes, const char* what,
                  std::string& text, std::string& why) {
    // Not blocking: a FIFO opens at once and is then refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = SystemReason(errno);
        return kExitNotFound;
    }
    struct stat st;
    int code = kExitOk;
    if (::fstat(fd, &st) != 0) {
        why = SystemReason(errno);
        code = kExitNotFound;
    } else if (S_ISDIR(st.st_mode)) {
        why = "it is a folder, not a file";
        code = kExitUsage;
    } else if (!S_ISREG(st.st_mode)) {
        why = "it is not a regular file (a pipe or a device is not read)";
        code = kExitUsage;
    } else if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        why = "it has " + std::to_string(st.st_size) + " bytes; " + what + " can have at most " +
              std::to_string(maxBytes >> 20) + " MiB";
        code = kExitUsage;
    }
    std::string bytes;
    char buffer[65536];
    while (code == kExitOk) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            why = SystemReason(errno);
            code = kExitNotFound;
        } else if (n == 0) {
            break;
        } else if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            // A file that grows while it is read.
            why = std::string("it has more than ") + std::to_string(maxBytes >> 20) + " MiB; " +
                  what + " can have at most that";
            code = kExitUsage;
        } else {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (code == kExitOk) {
        text = std::move(bytes);
    }
    return code;
}
