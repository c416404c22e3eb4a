// HAS-160, the Korean standard hash function (TTAS.KO-12.0011/R2): a 160-bit
// digest over 64-byte blocks with little-endian words, run on the shared
// Merkle-Damgard driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ZRCrypto/engine/md_driver.h"

namespace qelt {

class Has160Compression final {
public:
    static constexpr size_t kBlockSize = 64;
    static constexpr size_t kDigestSize = 20;
    static constexpr bool kBigEndianLength = false;

    void reset();
    void compress(const uint8_t* blocks, size_t n);
    void writeDigest(uint8_t* out) const;
    void wipe();

private:
    uint32_t m_h[5];
};

using Has160 = MdHash<Has160Compression>;

}  // namespace qelt
