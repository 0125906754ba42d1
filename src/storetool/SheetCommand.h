// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's sheet command: a printable page for tuning a stored
// temperament by ear, written as PDF or SVG.
#pragma once

#include <vector>

#include "storetool/StoreTool.h"

// Appends sheet to the tool's commands.
void AddSheetCommand(std::vector<ToolCommand>& commands);
