// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers to text and back, as the program writes them into tables, readouts
// and the store: always with '.' as the decimal point, whatever locale the
// window toolkit switched the process to. Pure functions.
#pragma once

#include <string>

// As a default output string stream writes a double: six significant digits,
// the "%g" style (415 for 415.0, 415.123 for 415.12345, 1e-07).
std::string FormatStreamDouble(double value);

// Fixed notation with the given number of decimals, as "%.*f" writes it.
std::string FormatFixed(double value, int decimals);

// The C library's atof: leading white space skipped, the longest prefix that
// reads as a number, 0.0 when there is none.
double ParseAtof(const char* text);

// The C library's atoi, without its undefined behaviour on overflow: the
// value saturates at the int range.
int ParseAtoi(const char* text);

// A number in a dialog field: "%.*g" with 15 significant digits.
std::string FormatDialogDouble(double value);

// Reads a dialog field as the "%lf" scan conversion does: leading white space
// skipped, the longest number prefix ("440abc" reads 440). False when the text
// does not begin with a number.
bool ScanDialogDouble(const std::string& text, double& value);
