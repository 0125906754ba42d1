// SPDX-License-Identifier: GPL-3.0-or-later
// Everything a store file holds, every key and value in order, as one text to
// compare before and after: what "klavora-store export" shows, read directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/Store.h"

// The store's keys and values, or "<status N>" when it cannot be read.
inline std::string StoreSnapshot(const std::string& path) {
    std::unique_ptr<CStoreFile> file;
    long status = CStoreFile::Open(path, file, 2000);
    std::vector<std::string> keys;
    if (status == ERROR_SUCCESS) {
        status = file->ListKeys(keys);
    }
    std::string text;
    for (std::size_t i = 0; status == ERROR_SUCCESS && i < keys.size(); ++i) {
        std::int64_t id = 0;
        std::vector<CStoreFile::Value> values;
        status = file->FindKey(keys[i], &id);
        if (status == ERROR_SUCCESS) {
            status = file->ListValues(id, values);
        }
        text += "[" + keys[i] + "]\n";
        for (const CStoreFile::Value& v : values) {
            text += v.name + "=" + v.data + "\n";
        }
    }
    return status == ERROR_SUCCESS ? text : "<status " + std::to_string(status) + ">";
}
