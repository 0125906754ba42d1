#include "temper/RegistryKey.h"

#include <cstring>

CRegistryKey::~CRegistryKey() = default;

HKEY CRegistryKey::Open(const std::string& subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyA(subkey, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

void CRegistryKey::Close(HKEY key) {
    if (key != nullptr) {
        RegCloseKey(key);
    }
}

long CRegistryKey::SetString(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name, text.c_str(), text.size() + 1);
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
