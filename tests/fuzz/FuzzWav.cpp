// SPDX-License-Identifier: GPL-3.0-or-later
// The store tool's WAV reader over any file: the input is written to a file
// of its own and opened, and every sample it gives is read. A damaged header
// must be refused with a reason; a file that opens must give at most as many
// frames as it claims, each value finite or taken as it was stored.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "storetool/WavFile.h"

namespace {

// The file each input is written to, removed when the fuzzer ends.
struct STempFile {
    std::string path = "/tmp/klavora-fuzz-wav-" + std::to_string(::getpid());
    ~STempFile() { std::remove(path.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const STempFile file;
    const std::string& path = file.path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    CWavFile wav;
    std::string why;
    if (!wav.Open(path, why)) {
        if (why.empty()) {
            std::abort();
        }
        return 0;
    }
    if (wav.GetChannels() < 1 || wav.GetChannels() > 2 || wav.GetSamplingRate() <= 0 ||
        wav.GetFrames() == 0) {
        std::abort();
    }
    std::vector<float> frames(257 * static_cast<std::size_t>(wav.GetChannels()));
    std::uint64_t total = 0;
    while (std::size_t n = wav.Read(frames.data(), 257, why)) {
        total += n;
    }
    if (total > wav.GetFrames()) {
        std::abort();
    }
    return 0;
}
