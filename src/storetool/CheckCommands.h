// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's "check" and "rename" commands: finding what the program
// cannot read in a store (damaged pages, missing keys, names and texts it
// leaves out) and mending names without losing the values they hold.
#pragma once

#include <vector>

#include "storetool/StoreTool.h"

void AddCheckCommands(std::vector<ToolCommand>& commands);
