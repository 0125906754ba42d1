// SPDX-License-Identifier: GPL-3.0-or-later
// The installer's step: create the store with the program's two keys and put
// the first catalogue of temperaments into it. The program never creates keys
// itself; the store tool runs this, and so does the program's first start when
// no store file exists yet.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "store/Store.h"

// The two keys the program opens.
extern const char* const kSettingsKeyPath;
extern const char* const kTemperamentsKeyPath;

struct SeedTemperament {
    std::string name;
    std::string text;  // the temperament text as stored
};

// The catalogue shipped with the program, in file order.
std::vector<SeedTemperament> SeedCatalogue();

struct StoreSetupResult {
    long status = 0;           // ERROR_SUCCESS or the store's failure code
    bool createdFile = false;  // the store file did not exist before
    bool createdSettings = false;
    bool createdTemperaments = false;  // and seeded with the catalogue
    std::string error;                 // text of a failure
};

// Creates the store file if needed, and each of the two keys only if it does
// not exist yet; a key the user emptied stays empty. One transaction. waitMs
// bounds each wait for another process that holds the store.
StoreSetupResult InitializeStore(const std::string& path, int waitMs = kStoreWaitMs);

struct StoreRecoveryResult {
    long status = 0;      // ERROR_SUCCESS: set aside, and a new store made
    std::string movedTo;  // where the damaged file went; empty while it stays
    StoreSetupResult created;
    std::string error;  // text of a failure
};

// The way out of a damaged store: the file is moved aside (SetAsideStoreFile,
// never replacing or deleting anything) and a new store is made as at the
// first start, with the catalogue. A store that is sound, busy, missing or
// not a regular file is left where it is, with the reason.
StoreRecoveryResult RecoverDamagedStore(const std::string& path, std::time_t now,
                                        int waitMs = kStoreWaitMs);
