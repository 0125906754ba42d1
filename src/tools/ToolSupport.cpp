#include "tools/ToolSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "temper/TemperamentName.h"
#include "tools/ExportFormat.h"

bool CStoreSession::Open(bool create) {
    const long st = create ? CStoreFile::OpenOrCreate(m_ctx.storePath, m_pFile, kToolWaitMs)
                           : CStoreFile::Open(m_ctx.storePath, m_pFile, kToolWaitMs);
    if (st == ERROR_FILE_NOT_FOUND) {
        m_nStatus = m_ctx.Fail(kExitStore, "there is no store at " + m_ctx.storePath +
                                               " (\"klavora-store init\" creates it)");
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
        case ERROR_ACCESS_DENIED: why = "access denied"; break;
        case ERROR_BADDB:
            why = ::stat(m_ctx.storePath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)
                      ? "it is not a regular file"
                      : "the file is damaged or is not a Klavora store";
            break;
        case ERROR_BUSY:
            why = "it is busy: another program is writing to it (try again when it has finished)";
            break;
        default: why = "error " + std::to_string(status);
    }
    if (m_pFile && !m_pFile->LastError().empty() && status != ERROR_BADDB &&
        status != ERROR_BUSY) {
        why += " (" + m_pFile->LastError() + ")";
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
            return "a name can have at most 254 characters; this one has " +
                   std::to_string(name.size()) + " characters";
        case NameProblem::ControlCharacter:
            return "a name cannot hold tabs, line breaks or other control characters: " +
                   EscapeQuoted(name.substr(0, 80)) + (name.size() > 80 ? "..." : "");
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

bool ReadWholeFile(const std::string& path, std::string& text, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::strerror(errno);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        why = "read error";
        return false;
    }
    text = buffer.str();
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& why) {
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            why = std::strerror(errno);
            return false;
        }
        out << text;
        out.flush();
        if (!out) {
            why = "write error";
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
