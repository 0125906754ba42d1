// SPDX-License-Identifier: GPL-3.0-or-later
// The registry calls the program makes, over the store file (see Store.h):
// the registry's result codes, key handles, and value access by name and by
// index. Each key opened holds its own connection to the store, closed with
// the key; a handle belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Result codes, as the registry gives them.
constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;
constexpr long ERROR_ACCESS_DENIED = 5;
constexpr long ERROR_INVALID_PARAMETER = 87;
constexpr long ERROR_BUSY = 170;
constexpr long ERROR_ALREADY_EXISTS = 183;
constexpr long ERROR_MORE_DATA = 234;
constexpr long ERROR_NO_MORE_ITEMS = 259;
constexpr long ERROR_BADDB = 1009;

struct StoreKey;
// An open key; null when no key was opened.
using HKEY = StoreKey*;

// How long one access waits for another process's transaction to end before
// it reports ERROR_BUSY. The registry calls wait briefly, since the program
// makes them on its user-interface thread.
constexpr int kStoreWaitMs = 250;

// Where the store lives: $KLAVORA_STORE, else $XDG_CONFIG_HOME/klavora/klavora.db,
// else ~/.config/klavora/klavora.db. Resolved anew at every call.
std::string StoreFilePath();

// The registry calls the program makes. Value data is kept as given; a string
// value's data includes its terminating NUL.
long RegOpenKeyA(const std::string& subkey, HKEY* result);
long RegCloseKey(HKEY key);
long RegSetValueExA(HKEY key, const std::string& name, const char* data, std::size_t size);
// Copies the value's data into data (capacity *size bytes) and sets *size to
// the data's length; ERROR_MORE_DATA when it does not fit.
long RegQueryValueExA(HKEY key, const std::string& name, char* data, std::size_t* size);
// The name of the value at index (creation order) into name (capacity *chars
// including the NUL); ERROR_MORE_DATA when it does not fit, ERROR_NO_MORE_ITEMS
// past the last value.
long RegEnumValueA(HKEY key, std::size_t index, char* name, std::size_t* chars);
long RegDeleteValueA(HKEY key, const std::string& name);

struct StoreValue {
    std::string name;
    std::string data;  // as stored, a string's terminating NUL included
};
// Every value of the key, names and data, in enumeration order, read at once.
long RegEnumValuesA(HKEY key, std::vector<StoreValue>& values);
// Sets several values in one transaction: all of them are written or none.
long RegSetValuesA(HKEY key, const std::vector<StoreValue>& values);
