// SPDX-License-Identifier: GPL-3.0-or-later
// The five tables that describe a temperament note by note (cents above C,
// deviation from equal temperament, the minor and major third above each note,
// the frequencies of the Standard A octave), with their number formats. The
// window's table and the store tool's chart both use them. Pure functions.
#pragma once

#include <array>
#include <string>

#include "tuning/Temperament.h"

enum DisplayMode {
    kDisplayCents = 1,
    kDisplayDeviations = 2,
    kDisplayMinorThirds = 3,
    kDisplayMajorThirds = 4,
    kDisplayFrequencies = 5,
};

// The name of a note 0..11 as the note panel and the tables write it:
// "C", "C#/Db", ... "B".
const char* NoteName(int note);

// The frequency of a note from Standard A: A itself is standardA, every other
// note lies in [standardA, 2 standardA) -- C to G# in the octave above A --
// all times factor.
double FrequencyFromStandardA(const CTemperament& t, double standardA, int note, double factor);

// The frequency of a note in the Standard A octave, C to B around Standard A
// (the notes below A halved).
double StandardAOctaveFrequency(const CTemperament& t, double standardA, int note);

// The tuner's targets: the frequencies of the twelve notes C to B in the
// Standard A octave, as StandardAOctaveFrequency gives them, for the
// temperament's offsets read in the given arithmetic (whichever arithmetic t
// itself carries). Every tuner of the program takes its targets from here.
std::array<double, 12> TargetFrequencies(const CTemperament& t, double standardA,
                                         FifthArithmetic arithmetic);

// The value shown under note 0..11 in a table of the given mode (1..5).
double TableValue(const CTemperament& t, int mode, int note, double standardA);

// The value as the table writes it: modes 1 to 4 as a default output string
// stream writes a double, mode 5 with two decimals.
std::string FormatTableValue(int mode, double value);

// The caption of a table mode, empty outside 1..5.
const char* TableCaption(int mode);
