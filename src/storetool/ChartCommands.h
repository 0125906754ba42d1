// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's commands for musicians preparing a tuning away from the
// instrument: a tuning chart of a stored temperament, and Scala files in and out.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "storetool/StoreTool.h"
#include "storetool/ToolSupport.h"
#include "tuning/Temperament.h"

// Appends show, import-scl and export-scl to the tool's commands.
void AddChartCommands(std::vector<ToolCommand>& commands);

// Shared by the commands that read one temperament.
bool InStandardARange(double hz);
// Finds a stored temperament by name, exactly or else regardless of letter
// case. On failure the session has reported it and status holds the code.
bool LoadTemperament(CStoreSession& s, ToolContext& ctx, const std::string& wanted,
                     std::string& name, std::array<double, 12>& offsets, int& status);
// The Standard A the program would use: its stored setting when that is a
// frequency the program accepts, else the default.
double StoredStandardA(CStoreSession& s);
// The arithmetic the program reads the offsets in: exact when its setting
// Exact Temperaments is stored as a number other than 0, else classic.
FifthArithmetic StoredArithmetic(CStoreSession& s);
// A whole argument read as a finite number.
bool ReadNumber(const std::string& text, double& value);
