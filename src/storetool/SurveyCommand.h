// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's survey command: which temperament of the catalogue, at
// which Standard A, a recording of an instrument's notes is in; the notes as
// measured, the ranking, the temperament the notes make, and, against a
// saved survey of the same instrument, how far it moved.
#pragma once

#include <vector>

#include "storetool/StoreTool.h"

// Appends survey to the tool's commands.
void AddSurveyCommand(std::vector<ToolCommand>& commands);
