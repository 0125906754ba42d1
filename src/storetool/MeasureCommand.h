// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's measure command: the fine pitch analysis over a recorded
// WAV file, one line per reading, then a summary per note, against the
// targets of a temperament.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "storetool/StoreTool.h"

// Reads a note argument: a letter A to G, then at most one # or b, then an
// optional octave 0 to 9 ("A", "c#", "Bb3"); the program's double names
// ("C#/Db") are taken too. octave is -1 when none is given.
bool ParseNoteArgument(const std::string& text, int& note, int& octave);

// Appends measure to the tool's commands.
void AddMeasureCommand(std::vector<ToolCommand>& commands);
