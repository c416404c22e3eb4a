// Shared by the fuzz targets that go through the exported functions: one
// library context for the whole run.
#pragma once

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

}  // namespace qelt_fuzz
