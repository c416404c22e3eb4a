// Shared by the benchmark programs: one library context for the whole run
// (work directory under the system's temporary directory) and deterministic
// input bytes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "qeltapi.h"

namespace qelt_bench {

inline void* apiContext() {
    static void* ctx = [] {
        void* c = nullptr;
        const auto dir = std::filesystem::temp_directory_path() / "qelt-bench";
        std::filesystem::create_directories(dir);
        if (QELT_API_Init(&c, dir.c_str()) != QELT_OK) std::abort();
        return c;
    }();
    return ctx;
}

// n bytes of a fixed pattern, the same in every run.
inline std::vector<uint8_t> patternBytes(size_t n) {
    std::vector<uint8_t> d(n);
    for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(i * 131 + 7);
    return d;
}

}  // namespace qelt_bench
