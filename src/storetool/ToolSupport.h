// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces the store tool's commands share: opening the store with the tool's
// messages and exit codes, and reading and writing whole files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/SafeFile.h"
#include "store/Store.h"
#include "storetool/StoreTool.h"

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
    // A damaged store's report names the way out ("klavora-store recover").
    void NameRecovery() { m_bNameRecovery = true; }

private:
    ToolContext& m_ctx;
    bool m_bNameRecovery = false;
    std::unique_ptr<CStoreFile> m_pFile;
    int m_nStatus = kExitOk;
};

// Checks a name that a command is about to store: the program reads back
// names of 1 to 254 characters without control characters. On refusal the
// reason is printed and status holds the exit code.
bool CheckNewName(ToolContext& ctx, const std::string& name, int& status);
// Why a name cannot be stored, or empty when it can.
std::string NameRefusal(const std::string& name);
// A name as messages show it: in quotes, control characters escaped as list
// and check write them, and a name too long for a line cut short.
std::string QuotedForMessage(const std::string& name);
// A name given on the command line: as it is, or, written in quotes as list
// and check print it, the name those quotes stand for.
std::string NameArgument(const std::string& arg);

// What "klavora-store recover" does with the store at path, for messages.
std::string RecoveryHint(const std::string& path);

// The stored names closest to a name that was not found (letter case aside),
// best first, at most three; names the program cannot read back are never
// offered.
std::vector<std::string> ClosestNames(const std::string& wanted,
                                      const std::vector<std::string>& names);
// " (did you mean "A" or "B"?)", or empty when nothing is close.
std::string DidYouMean(const std::vector<std::string>& suggestions);

// A string value's text: its data without the terminating NUL.
std::string StoredText(const std::string& data);

// The largest backup and Scala file the tool reads.
constexpr std::size_t kLargestBackup = 16u << 20;
constexpr std::size_t kLargestScalaFile = 1u << 20;
// Reads a whole input file of at most maxBytes. Only a regular file is read
// (a FIFO or a device would block or never end) and its size is checked
// before anything is read. kExitOk, or the exit code with the reason in why
// (what names what the file should have been, "a backup").
int ReadInputFile(const std::string& path, std::size_t maxBytes, const char* what,
                  std::string& text, std::string& why);
