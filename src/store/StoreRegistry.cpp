// SPDX-License-Identifier: GPL-3.0-or-later
// The registry calls over the store file, and where the file lives. Each key
// opened holds its own connection to the store, closed with the key.
#include <cstdlib>
#include <cstring>

#include "store/StoreRegistry.h"

#include "store/Store.h"

namespace {

std::string HomeConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

}  // namespace

struct StoreKey {
    std::unique_ptr<CStoreFile> file;
    std::int64_t id = 0;
};

std::string StoreFilePath() {
    const char* explicitPath = std::getenv("KLAVORA_STORE");
    if (explicitPath != nullptr && *explicitPath != '\0') {
        return explicitPath;
    }
    return HomeConfigDir() + "/klavora/klavora.db";
}

std::string NormaliseKeyPath(const std::string& path) {
    const std::size_t first = path.find_first_not_of('\\');
    if (first == std::string::npos) {
        return std::string();
    }
    const std::size_t last = path.find_last_not_of('\\');
    return path.substr(first, last - first + 1);
}

long RegOpenKeyA(const std::string& subkey, HKEY* result) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    std::unique_ptr<CStoreFile> file;
    long status = CStoreFile::Open(StoreFilePath(), file);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::int64_t id = 0;
    status = file->FindKey(subkey, &id);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    *result = new StoreKey{std::move(file), id};
    return ERROR_SUCCESS;
}

long RegCloseKey(HKEY key) {
    if (key == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    delete key;
    return ERROR_SUCCESS;
}

long RegSetValueExA(HKEY key, const std::string& name, const char* data, std::size_t size) {
    if (key == nullptr || (data == nullptr && size > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    return key->file->SetValue(key->id, name, std::string(data != nullptr ? data : "", size));
}

long RegQueryValueExA(HKEY key, const std::string& name, char* data, std::size_t* size) {
    if (key == nullptr || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string stored;
    const long status = key->file->GetValue(key->id, name, stored);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::size_t capacity = *size;
    *size = stored.size();
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (stored.size() > capacity) {
        return ERROR_MORE_DATA;
    }
    // The data as stored: a string value's own terminating NUL is part of it.
    std::memcpy(data, stored.data(), stored.size());  // NOLINT(bugprone-not-null-terminated-result)
    return ERROR_SUCCESS;
}

long RegEnumValueA(HKEY key, std::size_t index, char* name, std::size_t* chars) {
    if (key == nullptr || name == nullptr || chars == nullptr || *chars == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string found;
    const long status = key->file->ValueNameAt(key->id, index, found);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // The name and its NUL must fit.
    if (found.size() + 1 > *chars) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, found.c_str(), found.size() + 1);
    *chars = found.size();
    return ERROR_SUCCESS;
}

long RegDeleteValueA(HKEY key, const std::string& name) {
    if (key == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return key->file->DeleteValue(key->id, name);
}

long RegEnumValuesA(HKEY key, std::vector<StoreValue>& values) {
    values.clear();
    if (key == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return key->file->ListValues(key->id, values);
}

long RegSetValuesA(HKEY key, const std::vector<StoreValue>& values) {
    if (key == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    CStoreFile& file = *key->file;
    long status = file.Begin();
    for (std::size_t i = 0; status == ERROR_SUCCESS && i < values.size(); ++i) {
        status = file.SetValue(key->id, values[i].name, values[i].data);
    }
    if (status != ERROR_SUCCESS) {
        file.Rollback();
        return status;
    }
    return file.Commit();
}
