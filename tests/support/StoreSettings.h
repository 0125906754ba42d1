// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing the program's settings in the store from a test.
#pragma once

#include <string>

#include "store/RegistryKey.h"
#include "store/StoreSetup.h"

// The text of a setting, or "<missing>" when it cannot be read.
inline std::string ReadStoredSetting(const std::string& name) {
    CRegistryKey reg;
    HKEY key = reg.Open(kSettingsKeyPath);
    std::string text = "<missing>";
    if (key != nullptr && reg.ValueExists(key, name)) {
        reg.GetString(key, name, text);
    }
    reg.Close(key);
    return text;
}

// Writes a setting into an existing settings key; false when there is none.
inline bool WriteStoredSetting(const std::string& name, const std::string& text) {
    CRegistryKey reg;
    HKEY key = reg.Open(kSettingsKeyPath);
    if (key == nullptr) {
        return false;
    }
    reg.SetString(key, name, text);
    reg.Close(key);
    return true;
}
