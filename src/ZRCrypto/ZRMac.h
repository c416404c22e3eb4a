// ZRMac: HMAC generation and verification in the crypto layer, by algorithm
// code (43 HMAC-MD5, 44 HMAC-SHA-1, 45 HMAC-SHA-256).
#pragma once

#include "util/byte_string.h"
#include "util/error_holder.h"

namespace qelt {

class ZRMac : public ErrorHolder {
public:
    // The full MAC of `data` under `key` into `mac`. Returns 0, 1 (unmapped
    // code) or 2 (engine failure, with the engine's text in the chain).
    [[nodiscard]] int GenerateMAC(int nAlg, const ByteString& key, const ByteString& data, ByteString& mac);
    // 0 when `mac` is the MAC of `data` under `key`; 1 (unmapped code) or 2
    // (engine failure or mismatch).
    [[nodiscard]] int VerifyMAC(int nAlg, const ByteString& key, const ByteString& data, const ByteString& mac);
};

}  // namespace qelt
