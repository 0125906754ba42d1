// SPDX-License-Identifier: GPL-3.0-or-later
// CRegistryKey is the small class through which the program reads and writes
// its temperaments and settings in the store: open a key (never creating it),
// read, write, delete and enumerate string values. It holds no state; the
// caller closes every key it opened. User-interface thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/Store.h"

class CRegistryKey {
public:
    // Size of the buffers the program reads names and texts into, NUL included:
    // longer names end the enumeration and longer texts cannot be read.
    static constexpr std::size_t kBufferSize = 255;

    virtual ~CRegistryKey();

    // The open key, or null when the key (or the store) does not exist.
    HKEY Open(const std::string& subkey);
    // The same, telling why there is no key: ERROR_FILE_NOT_FOUND when there
    // is no store or no such key, ERROR_BUSY, ERROR_BADDB, ERROR_ACCESS_DENIED.
    HKEY Open(const std::string& subkey, long& status);
    void Close(HKEY key);
    // Writes a string value (its data with the terminating NUL).
    long SetString(HKEY key, const std::string& name, const std::string& text);
    // Writes several string values at once: all of them or, on failure, none.
    long SetStrings(HKEY key, const std::vector<std::pair<std::string, std::string>>& values);
    // Reads a string value: the data up to its first NUL. On failure text is empty.
    long GetString(HKEY key, const std::string& name, std::string& text);
    long DeleteValue(HKEY key, const std::string& name);
    // True when the value can be read.
    bool ValueExists(HKEY key, const std::string& name);
    // The name of the value at index; index + 1 on success, 0 when there is
    // none or it cannot be read.
    int EnumValueName(HKEY key, int index, std::string& name);
    // Every value of the key with its text, in enumeration order, read at
    // once and within the same limits: a name too long for the name buffer
    // is left out (without ending the list), and a text too long for the read
    // buffer reads as empty, as GetString gives it.
    long EnumStrings(HKEY key, std::vector<std::pair<std::string, std::string>>& values);
};
