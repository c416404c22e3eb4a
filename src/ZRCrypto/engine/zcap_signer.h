// The per-scheme half of a staged signature: what is hashed before the
// message, and the signing or checking of the finished digest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ZRCrypto/engine/zcap_engine.h"

namespace qelt {

class ZcapSigner {
public:
    virtual ~ZcapSigner() = default;
    // Feeds the bytes that precede the message (KCDSA's z); true when done.
    [[nodiscard]] virtual bool prefix(ZcapHashState& /*hash*/) { return true; }
    // Signs the digest into out (*outLen: capacity in, length out). ZCAP_* code.
    [[nodiscard]] virtual int sign(const uint8_t* digest, size_t len, uint8_t* out, int* outLen) = 0;
    // ZCAP_OK, ZCAP_INVALID_SIGNATURE or ZCAP_VERIFY_FAIL.
    [[nodiscard]] virtual int verify(const uint8_t* digest, size_t len, const uint8_t* sig, size_t sigLen) = 0;
};

}  // namespace qelt
