#include "gui/FirstStart.h"

#include <filesystem>
#include <system_error>

#include "store/Store.h"
#include "store/StoreSetup.h"

bool PrepareStoreOnFirstStart(std::string& error) {
    const std::string path = StoreFilePath();
    std::error_code ec;
    if (path.empty() || std::filesystem::exists(path, ec)) {
        return true;
    }
    const StoreSetupResult result = InitializeStore(path);
    if (result.status != ERROR_SUCCESS) {
        error = result.error.empty() ? "cannot create " + path : result.error;
        return false;
    }
    return true;
}
