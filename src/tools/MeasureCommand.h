// The store tool's measure command: the fine pitch analysis over a recorded
// WAV file, one line per reading, then a summary per note, against the
// targets of a temperament.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tools/StoreTool.h"

// How a temperament's offsets become frequencies: exact (the offsets read as
// parts of the Pythagorean comma against a pure fifth) or classic (cents
// against a 702-cent fifth, as the window computes them).
enum class TargetArithmetic { kExact, kClassic };

// The twelve targets C4 to B4 (the octave that holds Standard A, A4) of a
// temperament for the measure command. This is the one place where the
// arithmetic is chosen: until exact temperaments exist in the core, a request
// for exact arithmetic is answered with the classic one, and used says which
// arithmetic the frequencies come from.
std::array<double, 12> MeasureTargetFrequencies(const std::array<double, 12>& offsets,
                                                double standardA, TargetArithmetic wanted,
                                                TargetArithmetic& used);

// Reads a note argument: a letter A to G, then at most one # or b, then an
// optional octave 0 to 9 ("A", "c#", "Bb3"); the program's double names
// ("C#/Db") are taken too. octave is -1 when none is given.
bool ParseNoteArgument(const std::string& text, int& note, int& octave);

// Appends measure to the tool's commands.
void AddMeasureCommand(std::vector<ToolCommand>& commands);
