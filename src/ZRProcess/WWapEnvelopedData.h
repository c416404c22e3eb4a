// WWapEnvelopedData: the enveloped message of mobile clients, a content
// encrypted under a fresh key that travels encrypted for one recipient.
//
//   version                          1 octet   1
//   content encryption algorithm     1 octet   1 3DES-CBC, 9 SEED-CBC, 10 NEAT-CBC
//   IV                               1-octet length (8 for 3DES, 16 otherwise), octets
//   key management algorithm         1 octet   3 RSA, 2 ECDH
//   recipient identifier type        1 octet   1 key identifier (0 issuer and serial)
//   recipient identifier             1-octet length (at most 20), octets
//   encrypted key                    1-octet length (at most 255), octets
//   encrypted content                2-octet length (at most 0xFFFD), octets
//
// The recipient identifier is the recipient certificate's subject key
// identifier; the key is encrypted with RSA PKCS#1 v1.5 under the recipient's
// public key (the one-octet length admits moduli up to 2040 bits, so RSA-1024
// recipients); the content with the key and IV in CBC mode with PKCS padding.
#pragma once

#include <cstdint>

#include "util/error_holder.h"

namespace qelt {

class WWapEnvelopedData : public ErrorHolder {
public:
    enum ContentEncryption : uint8_t { k3DesCbc = 1, kSeedCbc = 9, kNeatCbc = 10 };
    enum KeyManagement : uint8_t { kEcdh = 2, kRsa = 3 };
    enum RecipientIdType : uint8_t { kIssuerSerialNumber = 0, kKeyIdentifier = 1 };
    static constexpr int kMaxRecipientId = 20;
    static constexpr int kMaxEncryptedKey = 0xFF;
    static constexpr int kMaxCipherText = 0xFFFD;
    // setRecipientCertificate: the bytes are not a certificate; its key is not RSA.
    static constexpr int kBadCertificate = 1;
    static constexpr int kNotRsaRecipient = 2;

    // Algorithm code (ALG_3DES, ALG_SEED, ALG_NEAT), key and IV lengths of a
    // content encryption algorithm; false for any other value.
    struct Cipher {
        int nAlg, keyLength, ivLength;
    };
    static bool cipherOf(uint8_t contentEncryption, Cipher& out);

    // 1, 9 or 10.
    [[nodiscard]] int setContentEncryptionAlgorithm(uint8_t algorithm);
    // The recipient's DER certificate; its key must be RSA and it must carry a
    // subject key identifier of at most 20 octets.
    [[nodiscard]] int setRecipientCertificate(const ByteString& cert);
    void setContent(const ByteString& content);
    // Draws key and IV, encrypts and lays out the message.
    [[nodiscard]] int makeWapEnvelopedData(ByteString& out);

    // Key and IV of the last message made.
    const ByteString& key() const { return m_Key; }
    const ByteString& iv() const { return m_Iv; }

private:
    uint8_t m_ucContentEncryption = k3DesCbc;
    ByteString m_Certificate;
    ByteString m_RecipientId;
    ByteString m_Content;
    ByteString m_Key;
    ByteString m_Iv;
};

}  // namespace qelt
