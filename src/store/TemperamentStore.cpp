#include "store/TemperamentStore.h"

#include "store/RegistryKey.h"
#include "store/StoreSetup.h"
#include "tuning/TemperamentSet.h"

void WriteTemperament(const std::string& name, const std::array<double, 12>& offsets) {
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    if (key != nullptr) {
        reg.SetString(key, name, FormatTemperamentText(offsets));
    }
    reg.Close(key);
}

bool TemperamentExists(const std::string& name) {
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    const bool exists = key != nullptr && reg.ValueExists(key, name);
    reg.Close(key);
    return exists;
}

void DeleteTemperamentValue(const std::string& name) {
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    if (key != nullptr) {
        reg.DeleteValue(key, name);
    }
    reg.Close(key);
}
