// Pieces the store tool's commands share: opening the store with the tool's
// messages and exit codes, and reading and writing whole files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Store.h"
#include "tools/StoreTool.h"

// One command's use of the store. Open and FindKey print the failure and
// remember its exit code, which Status returns.
class CStoreSession {
public:
    explicit CStoreSession(ToolContext& ctx) : m_ctx(ctx) {}

    // Opens the store; with create, makes an empty store when there is none.
    bool Open(bool create = false);
    bool FindKey(const std::string& path, std::int64_t& id);
    CStoreFile& File() { return *m_pFile; }
    int Status() const { return m_nStatus; }
    // Reports a failed store operation; returns the exit code.
    int Failed(long status);

private:
    ToolContext& m_ctx;
    std::unique_ptr<CStoreFile> m_pFile;
    int m_nStatus = kExitOk;
};

// A string value's text: its data without the terminating NUL.
std::string StoredText(const std::string& data);
bool ReadWholeFile(const std::string& path, std::string& text, std::string& why);
// Writes through a temporary file and a rename, so a failure leaves any
// earlier file as it was.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& why);
