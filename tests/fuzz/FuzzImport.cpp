// SPDX-License-Identifier: GPL-3.0-or-later
// "klavora-store import" of a backup file: any bytes as the file, imported
// into a seeded store. An import either fails and changes nothing, or leaves
// a store that exports and reads as a store again.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "store/ExportFormat.h"
#include "store/StoreSetup.h"
#include "storetool/StoreTool.h"

namespace {

int Run(const std::vector<std::string>& args, std::string& out) {
    std::ostringstream o;
    std::ostringstream e;
    const int code = RunStoreTool(args, o, e);
    out = o.str();
    return code;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SFuzzStore& w = FuzzStore();
    const std::string backup = w.folder.Path("backup.txt");
    WriteFileBytes(w.store, w.pristine);
    WriteFileBytes(backup, std::string(reinterpret_cast<const char*>(data), size));
    std::string out;
    const int code = Run({"import", backup}, out);
    if (code != kExitOk) {
        if (ReadFileBytes(w.store) != w.pristine) {
            std::abort();  // a failed import changed the store
        }
        return 0;
    }
    std::string exported;
    if (Run({"export"}, exported) != kExitOk) {
        std::abort();
    }
    std::vector<ExportKey> keys;
    std::string why;
    if (!ParseExport(exported, keys, why)) {
        std::abort();
    }
    if (Run({"check"}, out) == kExitStore) {
        std::abort();
    }
    return 0;
}
