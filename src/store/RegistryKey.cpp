#include "store/RegistryKey.h"

#include <cstring>

CRegistryKey::~CRegistryKey() = default;

HKEY CRegistryKey::Open(const std::string& subkey) {
    long status = ERROR_SUCCESS;
    return Open(subkey, status);
}

HKEY CRegistryKey::Open(const std::string& subkey, long& status) {
    HKEY key = nullptr;
    status = RegOpenKeyA(subkey, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

void CRegistryKey::Close(HKEY key) {
    if (key != nullptr) {
        RegCloseKey(key);
    }
}

long CRegistryKey::SetString(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name, text.c_str(), text.size() + 1);
}

long CRegistryKey::SetStrings(HKEY key,
                              const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<StoreValue> data;
    data.reserve(values.size());
    for (const auto& value : values) {
        data.push_back(StoreValue{value.first, value.second + '\0'});
    }
    return RegSetValuesA(key, data);
}

long CRegistryKey::GetString(HKEY key, const std::string& name, std::string& text) {
    char buffer[kBufferSize];
    std::size_t size = sizeof buffer;
    const long status = RegQueryValueExA(key, name, buffer, &size);
    if (status != ERROR_SUCCESS) {
        text.clear();
        return status;
    }
    const void* nul = std::memchr(buffer, '\0', size);
    text.assign(buffer, nul != nullptr ? static_cast<const char*>(nul) - buffer : size);
    return status;
}

long CRegistryKey::DeleteValue(HKEY key, const std::string& name) {
    return RegDeleteValueA(key, name);
}

bool CRegistryKey::ValueExists(HKEY key, const std::string& name) {
    char buffer[kBufferSize];
    std::size_t size = sizeof buffer;
    return RegQueryValueExA(key, name, buffer, &size) == ERROR_SUCCESS;
}

int CRegistryKey::EnumValueName(HKEY key, int index, std::string& name) {
    if (index < 0) {
        return 0;
    }
    char buffer[kBufferSize];
    std::size_t chars = sizeof buffer;
    if (RegEnumValueA(key, static_cast<std::size_t>(index), buffer, &chars) != ERROR_SUCCESS) {
        return 0;
    }
    name.assign(buffer, chars);
    return index + 1;
}

long CRegistryKey::EnumStrings(HKEY key, std::vector<std::pair<std::string, std::string>>& values) {
    values.clear();
    std::vector<StoreValue> stored;
    const long status = RegEnumValuesA(key, stored);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    values.reserve(stored.size());
    for (const StoreValue& value : stored) {
        if (value.name.size() + 1 > kBufferSize) {
            continue;
        }
        std::string text;
        if (value.data.size() <= kBufferSize) {
            const std::size_t nul = value.data.find('\0');
            text = value.data.substr(0, nul);
        }
        values.emplace_back(value.name, std::move(text));
    }
    return ERROR_SUCCESS;
}
