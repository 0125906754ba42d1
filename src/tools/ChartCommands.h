// The store tool's commands for musicians preparing a tuning away from the
// instrument: a tuning chart of a stored temperament, and Scala files in and out.
#pragma once

#include <vector>

#include "tools/StoreTool.h"

// Appends show, import-scl and export-scl to the tool's commands.
void AddChartCommands(std::vector<ToolCommand>& commands);
