// ZRHash: message digests for the rest of the library, by algorithm code.
// One-shot with optional iteration, or staged for inputs hashed in pieces.
// Methods return 0 or a small step number and leave the error text in the
// ErrorHolder base ("[file:line]ZRHash::method-label(code),message").
#pragma once

#include <cstdint>
#include <memory>

#include "ZRCrypto/engine/zcap_engine.h"
#include "util/error_holder.h"

namespace qelt {

class ZRHash : public ErrorHolder {
public:
    ZRHash() = default;
    ~ZRHash() override;
    ZRHash(const ZRHash&) = delete;
    ZRHash& operator=(const ZRHash&) = delete;

    // Digest of `in`; with nIter > 1 the digest is hashed again nIter - 1 times.
    [[nodiscard]] int DigestData(int nAlg, const ByteString& in, ByteString& out, int nIter = 1);
    [[nodiscard]] int DigestData_Init(int nAlg);
    [[nodiscard]] int DigestData_Update(const ByteString& in);
    [[nodiscard]] int DigestData_Update(const uint8_t* data, int len);
    [[nodiscard]] int DigestData_Final(ByteString& out);

private:
    std::unique_ptr<ZcapContext> m_pZCAPCtx;
};

}  // namespace qelt
