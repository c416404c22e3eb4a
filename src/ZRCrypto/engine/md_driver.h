// The Merkle-Damgard block driver shared by the engine's own hash functions:
// it buffers input into 64-byte blocks, hands whole blocks to the compression
// function, and appends the final padding (0x80, zeros, bit length). A hash
// supplies only its compression function, its initial state and its output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "util/byte_string.h"

namespace qelt {

// Compression: static constexpr size_t kBlockSize, kDigestSize; static constexpr
// bool kBigEndianLength; void reset(); void compress(const uint8_t* blocks, size_t n);
// void writeDigest(uint8_t* out) const; void wipe().
template <class Compression>
class MdHash final {
public:
    static constexpr size_t kBlockSize = Compression::kBlockSize;
    static constexpr size_t kDigestSize = Compression::kDigestSize;
    static_assert(kBlockSize == 64, "the driver encodes a 64-bit length in the last 8 bytes of a 64-byte block");

    MdHash() { reset(); }
    ~MdHash() {
        m_state.wipe();
        secureWipe(m_buffer, sizeof m_buffer);
    }
    MdHash(const MdHash&) = delete;
    MdHash& operator=(const MdHash&) = delete;

    void reset() {
        m_state.reset();
        m_used = 0;
        m_total = 0;
    }

    void update(const uint8_t* data, size_t len) {
        m_total += len;
        if (m_used != 0) {
            const size_t take = len < kBlockSize - m_used ? len : kBlockSize - m_used;
            std::memcpy(m_buffer + m_used, data, take);
            m_used += take;
            data += take;
            len -= take;
            if (m_used < kBlockSize) return;
            m_state.compress(m_buffer, 1);
            m_used = 0;
        }
        const size_t whole = len / kBlockSize;
        if (whole != 0) m_state.compress(data, whole);
        data += whole * kBlockSize;
        len -= whole * kBlockSize;
        if (len != 0) std::memcpy(m_buffer, data, len);
        m_used = len;
    }

    // Writes kDigestSize bytes and resets the state for a new message.
    void final(uint8_t* out) {
        const uint64_t bits = m_total * 8;
        m_buffer[m_used++] = 0x80;
        if (m_used > kBlockSize - 8) {
            std::memset(m_buffer + m_used, 0, kBlockSize - m_used);
            m_state.compress(m_buffer, 1);
            m_used = 0;
        }
        std::memset(m_buffer + m_used, 0, kBlockSize - 8 - m_used);
        for (size_t i = 0; i < 8; ++i) {
            const size_t shift = Compression::kBigEndianLength ? 8 * (7 - i) : 8 * i;
            m_buffer[kBlockSize - 8 + i] = static_cast<uint8_t>(bits >> shift);
        }
        m_state.compress(m_buffer, 1);
        m_state.writeDigest(out);
        secureWipe(m_buffer, sizeof m_buffer);
        reset();
    }

private:
    Compression m_state;
    uint8_t m_buffer[kBlockSize];
    size_t m_used = 0;
    uint64_t m_total = 0;
};

}  // namespace qelt
