// Pieces the store tool's commands share: opening the store with the tool's
// messages and exit codes, and reading and writing whole files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Store.h"
#include "tools/StoreTool.h"

// How long the tool waits for another process that holds the store: longer
// than the program does, as nobody waits on a window meanwhile.
constexpr int kToolWaitMs = 2000;

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

// Checks a name that a command is about to store: the program reads back
// names of 1 to 254 characters without control characters. On refusal the
// reason is printed and status holds the exit code.
bool CheckNewName(ToolContext& ctx, const std::string& name, int& status);
// Why a name cannot be stored, or empty when it can.
std::string NameRefusal(const std::string& name);
// A name given on the command line: as it is, or, written in quotes as list
// and check print it, the name those quotes stand for.
std::string NameArgument(const std::string& arg);

// A string value's text: its data without the terminating NUL.
std::string StoredText(const std::string& data);
bool ReadWholeFile(const std::string& path, std::string& text, std::string& why);
// Writes through a temporary file and a rename, so a failure leaves any
// earlier file as it was.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& why);
