// PKEKAlgorithm: the CMS key-wrap algorithms for KEK recipients — a
// content-encryption key wrapped under a key-encryption key of the same
// family (3DES under 3DES, RC2 under RC2), with a SHA-1 key checksum and two
// CBC passes, the second one over the reversed first result with the fixed
// IV 4ADDA22C79E82105.
#pragma once

#include "util/error_holder.h"

namespace qelt {

class PKEKAlgorithm : public ErrorHolder {
public:
    // Wraps a 24-byte 3DES key (its parity bits are set first) under a 24-byte KEK:
    // the result is always 40 bytes.
    [[nodiscard]] int wrapTripleDESKey(const ByteString& bsTBEKey, const ByteString& bsKEK, ByteString& bsWrapped);
    [[nodiscard]] int unwrapTripleDESKey(const ByteString& bsWrapped, const ByteString& bsKEK, ByteString& bsKey);
    // Wraps an RC2 key of 1..255 bytes under a 16-byte RC2 KEK (128 effective bits).
    [[nodiscard]] int wrapRC2Key(const ByteString& bsTBEKey, const ByteString& bsKEK, ByteString& bsWrapped);
    [[nodiscard]] int unwrapRC2Key(const ByteString& bsWrapped, const ByteString& bsKEK, ByteString& bsKey);

    // By the algorithm code of the content-encryption key (3DES or RC2).
    [[nodiscard]] int wrapKey(int nAlg, const ByteString& bsTBEKey, const ByteString& bsKEK, ByteString& bsWrapped);
    [[nodiscard]] int unwrapKey(int nAlg, const ByteString& bsWrapped, const ByteString& bsKEK, ByteString& bsKey);

    // The 8-byte key checksum: the first eight bytes of SHA-1 over the key.
    [[nodiscard]] static bool keyChecksum(const ByteString& data, uint8_t icv[8]);

private:
    int cbc(bool decrypt, int engineId, const ByteString& key, const uint8_t iv[8], const ByteString& in,
            ByteString& out, const char* method, const char* label, int code);
    int wrapCommon(int engineId, const ByteString& payload, const ByteString& kek, ByteString& wrapped,
                   const char* method, int stepBase);
    int unwrapCommon(int engineId, const ByteString& wrapped, const ByteString& kek, ByteString& payload,
                     const char* method, int stepBase);
};

}  // namespace qelt
