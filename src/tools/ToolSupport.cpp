#include "tools/ToolSupport.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

bool CStoreSession::Open(bool create) {
    const long st = create ? CStoreFile::OpenOrCreate(m_ctx.storePath, m_pFile)
                           : CStoreFile::Open(m_ctx.storePath, m_pFile);
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
    switch (status) {
        case ERROR_ACCESS_DENIED: why = "access denied"; break;
        case ERROR_BADDB: why = "the file is damaged or is not a Klavora store"; break;
        case ERROR_BUSY: why = "another program keeps it busy"; break;
        default: why = "error " + std::to_string(status);
    }
    if (m_pFile && !m_pFile->LastError().empty() && status != ERROR_BADDB) {
        why += " (" + m_pFile->LastError() + ")";
    }
    m_nStatus = m_ctx.Fail(kExitStore, "the store " + m_ctx.storePath + " cannot be used: " + why);
    return m_nStatus;
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
