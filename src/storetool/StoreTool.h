// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool: creates the store with its first catalogue (the installer's
// part) and lets users list, change, back up and restore what it holds. Each
// command either does all it says or, on failure, changes nothing, prints one
// line on standard error and exits non-zero.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr int kExitStore = 3;
constexpr int kExitProblems = 4;  // "check" found something the program cannot use

struct ToolContext {
    std::ostream& out;
    std::ostream& err;
    std::string storePath;

    // Prints "klavora-store: message" on the error stream; returns code.
    int Fail(int code, const std::string& message) const;
};

struct ToolCommand {
    const char* name;
    const char* usage;    // arguments, for the help text
    const char* summary;  // one line for the help text
    std::size_t minArgs;
    std::size_t maxArgs;
    int (*run)(ToolContext& ctx, const std::vector<std::string>& args);
};

// Every command the tool knows, in the order the help lists them.
const std::vector<ToolCommand>& ToolCommands();

// Runs the tool as main does; args excludes the program name.
int RunStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
