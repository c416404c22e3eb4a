// RSA in the engine: raw modular operations by OpenSSL (private ones
// constant-time, by CRT, checked with the public exponent), the
// PKCS#1 v1.5 blocks, OAEP and the DigestInfo of signatures done here. The
// functions below work on keys of any size; the descriptors restrict the
// sizes the library accepts.
#pragma once

#include <memory>

#include "ZRCrypto/engine/zcap_ossl.h"
#include "ZRCrypto/engine/zcap_signer.h"

namespace qelt::rsa_detail {

// An RSA key as numbers; the CRT components only for a private key.
struct RsaKey {
    BnPtr n, e, p, q, dp, dq, qinv;
    bool isPrivate() const { return p && q && dp && dq && qinv; }
    int bits() const { return BN_num_bits(n.get()); }
    size_t bytes() const { return static_cast<size_t>(BN_num_bytes(n.get())); }
};

// DER RSAPublicKey / RSAPrivateKey -> key; false when it does not decode.
bool publicKeyFromDer(const uint8_t* der, size_t len, RsaKey& key);
bool privateKeyFromDer(const uint8_t* der, size_t len, RsaKey& key);

// x^e mod n and x^d mod n over k-byte blocks (x < n, k the modulus bytes);
// false on any failure.
bool rawPublic(const RsaKey& key, const uint8_t* in, uint8_t* out, size_t k);
bool rawPrivate(const RsaKey& key, const uint8_t* in, uint8_t* out, size_t k);

// 00 || type || PS || 00 || msg in k bytes: PS of 0xFF for type 1, of random
// non-zero bytes for type 2; at least 8 padding bytes (len <= k - 11).
bool pkcs1Pad(int type, size_t k, const uint8_t* msg, size_t len, uint8_t* block);
// The message of a k-byte block of the given type into out (k bytes of room);
// its length, or -1 for a malformed block. Type 2 is checked without
// branching on the padding bytes.
int pkcs1Unpad(int type, const uint8_t* block, size_t k, uint8_t* out);

// RSAES-OAEP encoding with an empty label: hashId hashes the label, mgfId
// drives MGF1. `seed` (the hash length) is drawn when null.
bool oaepEncode(int hashId, int mgfId, size_t k, const uint8_t* msg, size_t len, const uint8_t* seed,
                uint8_t* block);
// Message length or -1; out needs k bytes of room.
int oaepDecode(int hashId, int mgfId, const uint8_t* block, size_t k, uint8_t* out);

// DER DigestInfo of an MD5, SHA-1 or SHA-256 digest; false for another hash.
bool digestInfo(int hashId, const uint8_t* digest, size_t len, ByteString& out);

// The signature side of a PKCS#1 v1.5 descriptor over an already loaded key.
std::unique_ptr<ZcapSigner> makeSigner(RsaKey key, int hashId, bool privateKey);

}  // namespace qelt::rsa_detail
