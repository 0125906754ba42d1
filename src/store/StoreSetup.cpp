#include "store/StoreSetup.h"

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <sstream>

#include "base/SafeFile.h"
#include "store/Store.h"

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
    std::string why;
    result.status = CStoreFile::OpenOrCreate(path, file, waitMs, &why);
    if (result.status != ERROR_SUCCESS) {
        result.createdFile = false;
        switch (result.status) {
            case ERROR_BADDB:
                result.error = "the file is damaged or is not a Klavora store";
                break;
            case ERROR_BUSY:
                result.error = kBusyText;
                break;
            default:
                result.error = why.empty() ? "the store cannot be created" : why;
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
        result.error =
            file->LastError().empty() ? "the store cannot be written" : file->LastError();
    }
    return result;
}

namespace {

// Whether the store at path is damaged: its file is not a store, its pages
// fail the check, or the program's two keys cannot be read.
long FindDamage(const std::string& path, int waitMs, bool& damaged, std::string& why) {
    damaged = false;
    std::unique_ptr<CStoreFile> file;
    const long status = CStoreFile::Open(path, file, waitMs);
    if (status == ERROR_BADDB) {
        damaged = true;
        return ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS) {
        why = status == ERROR_BUSY             ? kBusyText
              : status == ERROR_FILE_NOT_FOUND ? "there is no store"
                                               : "it is not allowed to read the store";
        return status;
    }
    std::vector<std::string> problems;
    if (file->CheckIntegrity(problems) == ERROR_BADDB || !problems.empty()) {
        damaged = true;
        return ERROR_SUCCESS;
    }
    for (const char* key : {kSettingsKeyPath, kTemperamentsKeyPath}) {
        std::int64_t id = 0;
        std::vector<CStoreFile::Value> values;
        long st = file->FindKey(key, &id);
        if (st == ERROR_SUCCESS) {
            st = file->ListValues(id, values);
        }
        if (st == ERROR_BADDB) {
            damaged = true;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_SUCCESS;
}

}  // namespace

StoreRecoveryResult RecoverDamagedStore(const std::string& path, std::time_t now, int waitMs) {
    StoreRecoveryResult result;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        result.status = ERROR_INVALID_PARAMETER;
        result.error = "it is not a regular file";
        return result;
    }
    bool damaged = false;
    result.status = FindDamage(path, waitMs, damaged, result.error);
    if (result.status != ERROR_SUCCESS) {
        return result;
    }
    if (!damaged) {
        result.status = ERROR_INVALID_PARAMETER;
        result.error = "the store is not damaged";
        return result;
    }
    const int error = SetAsideStoreFile(path, now, result.movedTo);
    if (error != 0) {
        result.status = ERROR_ACCESS_DENIED;
        result.error = "it cannot be moved: " + SystemReason(error);
        return result;
    }
    result.created = InitializeStore(path, waitMs);
    result.status = result.created.status;
    result.error = result.created.error;
    return result;
}
