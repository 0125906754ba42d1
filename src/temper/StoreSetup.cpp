#include "temper/StoreSetup.h"

#include <cstdint>
#include <memory>
#include <sstream>

#include "platform/Store.h"

extern const char kSeedCatalogueText[];
extern const std::size_t kSeedCatalogueTextSize;

namespace {

const char* const kBusyText = "the store is busy: another program is writing to it";

}  // namespace

const char* const kSettingsKeyPath = "SOFTWARE\\Klavora\\Settings";
const char* const kTemperamentsKeyPath = "SOFTWARE\\Klavora\\Temperaments";

std::vector<SeedTemperament> SeedCatalogue() {
    std::vector<SeedTemperament> seeds;
    std::istringstream in(std::string(kSeedCatalogueText, kSeedCatalogueTextSize));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) {
            continue;
        }
        seeds.push_back(SeedTemperament{line.substr(0, tab), line.substr(tab + 1)});
    }
    return seeds;
}

StoreSetupResult InitializeStore(const std::string& path, int waitMs) {
    StoreSetupResult result;
    std::unique_ptr<CStoreFile> file;
    result.createdFile = CStoreFile::Open(path, file, waitMs) == ERROR_FILE_NOT_FOUND;
    result.status = CStoreFile::OpenOrCreate(path, file, waitMs);
    if (result.status != ERROR_SUCCESS) {
        result.createdFile = false;
        switch (result.status) {
            case ERROR_BADDB: result.error = "the file is damaged or is not a Klavora store"; break;
            case ERROR_BUSY: result.error = kBusyText; break;
            default: result.error = "the store cannot be created";
        }
        return result;
    }
    // Nothing to write when both keys are there: a read-only store passes too.
    if (file->FindKey(kSettingsKeyPath, nullptr) == ERROR_SUCCESS &&
        file->FindKey(kTemperamentsKeyPath, nullptr) == ERROR_SUCCESS) {
        return result;
    }
    result.status = file->Begin();
    if (result.status == ERROR_SUCCESS) {
        std::int64_t id = 0;
        result.status = file->CreateKey(kSettingsKeyPath, &id, &result.createdSettings);
        if (result.status == ERROR_SUCCESS) {
            result.status = file->CreateKey(kTemperamentsKeyPath, &id, &result.createdTemperaments);
        }
        if (result.status == ERROR_SUCCESS && result.createdTemperaments) {
            for (const SeedTemperament& seed : SeedCatalogue()) {
                result.status = file->SetValue(id, seed.name, seed.text + '\0');
                if (result.status != ERROR_SUCCESS) {
                    break;
                }
            }
        }
        if (result.status == ERROR_SUCCESS) {
            result.status = file->Commit();
        } else {
            file->Rollback();
        }
    }
    if (result.status == ERROR_SUCCESS) {
        return result;
    }
    result.createdSettings = result.createdTemperaments = false;
    if (result.status == ERROR_BUSY) {
        result.error = kBusyText;
    } else if (result.status == ERROR_BADDB) {
        result.error = "the file is damaged (" + file->LastError() + ")";
    } else {
        result.error = file->LastError().empty() ? "the store cannot be written" : file->LastError();
    }
    return result;
}
