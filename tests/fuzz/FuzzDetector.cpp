// SPDX-License-Identifier: GPL-3.0-or-later
// The pitch detector with any target, sampling rate and block length, over
// any recorded bytes: the first 16 bytes of the input are the target (a
// double), the rate and the block length (two 32-bit integers), the rest the
// block. Nothing may be read outside the bytes given, and the answer is a
// frequency or 0.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/PitchDetector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 16) {
        return 0;
    }
    double target = 0;
    std::int32_t rate = 0;
    std::int32_t block = 0;
    std::memcpy(&target, data, 8);
    std::memcpy(&rate, data + 8, 4);
    std::memcpy(&block, data + 12, 4);
    // The block in a buffer of its own, so that any read past it is caught.
    const std::vector<char> bytes(data + 16, data + size);
    CPitchDetector detector(target, rate, block);
    const double found = detector.Detect(bytes.empty() ? nullptr : bytes.data(),
                                         static_cast<unsigned int>(bytes.size()));
    if (std::isnan(found) || found < 0) {
        std::abort();
    }
    detector.SetTarget(target * 0.5);
    detector.Detect(bytes.data(), static_cast<unsigned int>(bytes.size() / 2));
    return 0;
}
