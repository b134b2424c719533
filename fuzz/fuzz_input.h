// Helpers of the fuzz targets: splitting one input into several values, and stopping on an
// invariant that does not hold.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kelvo::fuzz {

// The input cut at each NUL byte into at least `count` texts (missing ones are empty).
inline std::vector<std::string> SplitAtNul(const std::uint8_t* data, std::size_t size,
                                           std::size_t count = 0) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    if (parts.size() < count) parts.resize(count);
    return parts;
}

// Aborts, so the fuzzer keeps the input, when `holds` is false.
inline void Check(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

}  // namespace kelvo::fuzz
