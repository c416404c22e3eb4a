// A heap buffer of fixed size that is zero-filled before it is released:
// for keys, plaintext and anything else that must not stay in freed memory.
// Allocation failure leaves it empty (false), for callers that report 1003.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "util/byte_string.h"

namespace qelt {

class WipedBuffer {
public:
    explicit WipedBuffer(size_t n) : m_data(new (std::nothrow) uint8_t[n == 0 ? 1 : n]()), m_size(n) {}
    ~WipedBuffer() {
        if (m_data) secureWipe(m_data.get(), m_size);
    }
    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;
    explicit operator bool() const { return m_data != nullptr; }
    uint8_t* data() { return m_data.get(); }

private:
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_size;
};

}  // namespace qelt
