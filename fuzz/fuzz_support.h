// Shared by the fuzz targets that go through the exported functions: one
// library context for the whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "qeltapi.h"

namespace qelt_fuzz {

inline void* context() {
    static void* ctx = [] {
        void* c = nullptr;
        if (QELT_API_Init(&c, "/tmp") != QELT_OK) std::abort();
        return c;
    }();
    return ctx;
}

// A read-only byte record over fuzz input or a fixed fixture.
inline BINSTR view(const uint8_t* p, size_t n) { return BINSTR{const_cast<uint8_t*>(p), static_cast<int>(n)}; }

}  // namespace qelt_fuzz
