// WWapEnvelopedDataProcess: opens a WapEnvelopedData (layout in
// WWapEnvelopedData.h) with the recipient's certificate and decrypted private
// key. Messages whose key travels by ECDH are recognised and refused: no
// writer of this library makes them.
#pragma once

#include <cstdint>
#include <span>

#include "util/error_holder.h"

namespace qelt {

class WWapEnvelopedDataProcess : public ErrorHolder {
public:
    // The message names another recipient than the certificate given.
    static constexpr int kRecipientMismatch = 4099;
    // The content encryption algorithm is none of 3DES, SEED and NEAT.
    static constexpr int kUnsupportedCipher = 4110;

    // Reads every field with its length checks, finds the own certificate's
    // subject key identifier as recipient, decrypts the key with `priKey`
    // (PrivateKeyInfo) and the content with it into `content`.
    [[nodiscard]] int parseWapEnvelopedData(std::span<const uint8_t> in, const ByteString& cert,
                                            const ByteString& priKey, ByteString& content);

    uint8_t contentEncryption() const { return m_ucContentEncryption; }
    // Algorithm code of the content cipher (ALG_3DES, ALG_SEED, ALG_NEAT).
    int cipherAlgorithm() const { return m_nCipherAlg; }
    const ByteString& key() const { return m_Key; }
    const ByteString& iv() const { return m_Iv; }

private:
    uint8_t m_ucContentEncryption = 0;
    int m_nCipherAlg = 0;
    ByteString m_Key;
    ByteString m_Iv;
};

}  // namespace qelt
