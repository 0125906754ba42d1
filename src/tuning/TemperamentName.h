// SPDX-License-Identifier: GPL-3.0-or-later
// The names the program can keep: a temperament's name is read back through
// a buffer of 255 characters and shown on one line of the list, so every place
// that gives a temperament (or any stored value) a name checks it here first.
// Any thread.
#pragma once

#include <string>

// The longest name the program reads back.
constexpr std::size_t kLongestValueName = 254;

enum class NameProblem {
    None,
    Empty,
    TooLong,           // more than kLongestValueName characters
    ControlCharacter,  // a byte below 0x20, or 0x7f
};

NameProblem CheckValueName(const std::string& name);
