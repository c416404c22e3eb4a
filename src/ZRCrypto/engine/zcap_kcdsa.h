// KCDSA over prime-field domain parameters (p, q, g).
//
// Public value y = g^(x^-1 mod q) mod p. Signing with nonce k:
//   W = g^k mod p, written at the length of p;
//   r = the rightmost |q| bits of Hash(W);
//   H = the rightmost |q| bits of Hash(z || M), z = y mod 2^512 (64 bytes);
//   E = (r xor H) mod q;  s = x (k - E) mod q.
// Verification recomputes W' = y^s g^E mod p and compares Hash(W') with r.
// The signature value is SEQUENCE { r BIT STRING, s INTEGER }.
//
// Form 141403 differs only in z: it is the whole of y at the length of p.
// Signatures of one form therefore never verify under the other.
#pragma once

#include <memory>

#include "ZRCrypto/engine/zcap_ossl.h"
#include "ZRCrypto/engine/zcap_signer.h"

namespace qelt::kcdsa_detail {

struct KcdsaKey {
    BnPtr p, q, g, y;
    BnPtr x;  // null for a public key
    size_t pBytes() const { return static_cast<size_t>(BN_num_bytes(p.get())); }
    size_t qBytes() const { return static_cast<size_t>(BN_num_bytes(q.get())); }
};

// DER DSAPrivateKey {p, q, g, x, y} / DSAPublicKey {y, p, q, g}; false when it
// does not decode or a value is missing or out of range.
bool privateKeyFromDer(const uint8_t* der, size_t len, KcdsaKey& key);
bool publicKeyFromDer(const uint8_t* der, size_t len, KcdsaKey& key);

// The bytes hashed before the message.
ByteString zValue(const KcdsaKey& key, bool fullY);

// Signs the truncated hash H (|q| bytes) with `hash` as the hash of W. `k`
// supplies the nonce (tests reproduce published examples with it); null
// draws one from the library's generator. r is |q| bytes.
bool signHashed(const KcdsaKey& key, const ZcapHashDescriptor& hash, const uint8_t* h, size_t hLen, const BIGNUM* k,
                ByteString& r, ByteString& s);
bool verifyHashed(const KcdsaKey& key, const ZcapHashDescriptor& hash, const uint8_t* h, size_t hLen,
                  const ByteString& r, const BIGNUM* s);

// SEQUENCE { r BIT STRING, s INTEGER } both ways.
bool encodeSignature(const ByteString& r, const ByteString& s, ByteString& der);
bool decodeSignature(const uint8_t* der, size_t len, ByteString& r, BnPtr& s);

std::unique_ptr<ZcapSigner> makeSigner(KcdsaKey key, bool fullY, const ZcapHashDescriptor& hash);

// Domain parameters with |p| = pBits and |q| = qBits (q divides p - 1).
bool generateDomain(int pBits, int qBits, KcdsaKey& key);
// x and y over the key's domain parameters.
bool generateKeyPair(KcdsaKey& key);
bool encodePrivate(const KcdsaKey& key, ByteString& der);
bool encodePublic(const KcdsaKey& key, ByteString& der);

}  // namespace qelt::kcdsa_detail
