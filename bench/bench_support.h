// Shared by the benchmark programs: one library context for the whole run
// (work directory under the system's temporary directory), deterministic
// input bytes, OpenSSL's digest as a reference loop, and the process's
// memory figures from /proc.
#pragma once

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
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

// The reference side of the hash benchmarks: OpenSSL's one-shot digest
// `name` ("SHA256", ...) over `in`, fetched once.
inline void opensslDigestLoop(benchmark::State& state, const char* name, const std::vector<uint8_t>& in) {
    std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md(EVP_MD_fetch(nullptr, name, nullptr), &EVP_MD_free);
    uint8_t out[EVP_MAX_MD_SIZE];
    for (auto _ : state) {
        unsigned len = 0;
        EVP_Digest(in.data(), in.size(), out, &len, md.get(), nullptr);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 when absent.
inline long statusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
    return -1;
}

// Resets the kernel's peak-RSS mark (VmHWM) to the current RSS.
inline void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace qelt_bench
