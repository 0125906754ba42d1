// SPDX-License-Identifier: GPL-3.0-or-later
// The plain-text form of a whole store, written by "klavora-store export" and
// read back by "import": it round-trips every key, name and text exactly.
//
//   ; Klavora store export 1
//   [SOFTWARE\Klavora\Temperaments]
//   "Equal temperament"="-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2,-2"
//
// A key line holds the path between brackets as it is (paths hold no control
// characters). Names and texts are quoted; inside the quotes a backslash
// starts an escape: \\ \" \n \r \t or \xHH for any other byte below 0x20 and
// 0x7f. Bytes from 0x80 up are written as they are.
#pragma once

#include <string>
#include <vector>

struct ExportKey {
    std::string path;
    struct Entry {
        std::string name;
        std::string text;  // the value's data without its terminating NUL
    };
    std::vector<Entry> values;
};

extern const char* const kExportHeader;

std::string EscapeQuoted(const std::string& raw);
// The reverse of EscapeQuoted for a whole argument: false unless quoted is
// one quoted string and nothing else.
bool UnescapeQuoted(const std::string& quoted, std::string& raw);
// A name or text as the tool prints it in a list: as it is, or quoted as in
// an export when it holds control characters or begins with a quote.
std::string PrintableField(const std::string& raw);
std::string FormatExport(const std::vector<ExportKey>& keys);
// Parses an export; on failure returns false with "line N: what" in error.
bool ParseExport(const std::string& text, std::vector<ExportKey>& keys, std::string& error);
// True when a key path can be written in an export (no control characters).
bool IsPrintableKeyPath(const std::string& path);
