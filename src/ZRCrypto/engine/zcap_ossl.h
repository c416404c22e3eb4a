// Ownership of the OpenSSL objects the public-key engine computes with, and
// the conversions between big numbers and byte strings.
#pragma once

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "util/byte_string.h"

namespace qelt {

struct BnFree {
    void operator()(BIGNUM* b) const { BN_clear_free(b); }  // values may be secret: always wiped
};
struct BnCtxFree {
    void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};
struct EvpPkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct EvpPkeyCtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
struct EcGroupFree {
    void operator()(EC_GROUP* g) const { EC_GROUP_free(g); }
};
struct EcPointFree {
    void operator()(EC_POINT* p) const { EC_POINT_clear_free(p); }
};

using BnPtr = std::unique_ptr<BIGNUM, BnFree>;
using BnCtxPtr = std::unique_ptr<BN_CTX, BnCtxFree>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, EvpPkeyFree>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, EvpPkeyCtxFree>;
using EcGroupPtr = std::unique_ptr<EC_GROUP, EcGroupFree>;
using EcPointPtr = std::unique_ptr<EC_POINT, EcPointFree>;

inline BnPtr bnNew() { return BnPtr(BN_new()); }
inline BnPtr bnSecure() {
    BnPtr b(BN_secure_new());
    if (b) BN_set_flags(b.get(), BN_FLG_CONSTTIME);
    return b;
}
// Big-endian magnitude -> number; null on failure.
inline BnPtr bnFromBytes(const uint8_t* p, size_t n) { return BnPtr(BN_bin2bn(p, static_cast<int>(n), nullptr)); }
inline BnPtr bnFromBytes(const ByteString& b) { return bnFromBytes(b.data(), static_cast<size_t>(b.length())); }

// Number -> big-endian bytes; with width > 0 exactly `width` bytes (left
// padded with zeros, or the least significant bytes of a longer value).
inline ByteString bnToBytes(const BIGNUM* n, size_t width = 0) {
    const size_t len = static_cast<size_t>(BN_num_bytes(n));
    const size_t full = len > width ? len : (width == 0 ? 1 : width);
    std::unique_ptr<uint8_t[]> buf(new uint8_t[full]());
    BN_bn2binpad(n, buf.get(), static_cast<int>(full));
    const size_t take = width == 0 ? (len == 0 ? 1 : len) : width;
    ByteString out(buf.get() + (full - take), static_cast<int>(take));
    secureWipe(buf.get(), full);
    return out;
}

}  // namespace qelt
