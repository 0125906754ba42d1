// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the store tool in-process with its output captured.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "storetool/StoreTool.h"

struct ToolRun {
    int code;
    std::string out;
    std::string err;
};

inline ToolRun Tool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunStoreTool(args, out, err);
    return ToolRun{code, out.str(), err.str()};
}
