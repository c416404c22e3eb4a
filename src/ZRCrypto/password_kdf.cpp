#include "ZRCrypto/password_kdf.h"

// The PKCS#12 derivation iterates SHA-1 over its own 20-byte output thousands
// of times; it runs the SHA-1 block function directly on one pre-padded block
// (the low-level interface OpenSSL keeps for this kind of use) instead of a
// provider-dispatched digest per iteration.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/sha.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/zr_hash.h"

namespace qelt {

namespace {

constexpr const char* kClass = "PasswordKdf";
constexpr int kSha1Len = 20;
constexpr int kPkcs12Block = 64;  // SHA-1 input block

struct KdfCtxFree {
    void operator()(EVP_KDF_CTX* c) const { EVP_KDF_CTX_free(c); }
};

// PBKDF2 is fetched once per process; each derivation works on its own context.
EVP_KDF* pbkdf2() {
    static EVP_KDF* const kdf = EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_PBKDF2, nullptr);
    return kdf;
}

// Repeats `src` to fill a whole number of `block`-byte blocks (nothing for an empty source).
ByteString fillBlocks(const ByteString& src, int block) {
    ByteString out;
    if (src.isEmpty()) return out;
    const int total = block * ((src.length() + block - 1) / block);
    out.allocZero(total);
    for (int i = 0; i < total; ++i) out.append(src.data()[i % src.length()]);
    return out;
}

}  // namespace

ByteString widenPassword(const ByteString& password) {
    ByteString wide;
    if (password.isEmpty()) return wide;
    wide.allocZero(2 * password.length() + 2);
    for (int i = 0; i < password.length(); ++i) {
        wide.append(static_cast<uint8_t>(0));
        wide.append(password.data()[i]);
    }
    wide.append(static_cast<uint8_t>(0));
    wide.append(static_cast<uint8_t>(0));
    return wide;
}

int PasswordKdf::pbkdf1(int nHashAlg, const ByteString& password, const ByteString& salt, int iterations,
                        ByteString& out) {
    ByteString input(password);
    input.append(salt);
    ZRHash hash;
    if (hash.DigestData(nHashAlg, input, out, iterations < 1 ? 1 : iterations) != 0)
        return fail(kClass, "pbkdf1", "DigestData", 1, hash.errorText());
    return 0;
}

int PasswordKdf::pbkdf2Sha1(const ByteString& password, const ByteString& salt, int iterations, int len,
                            ByteString& out) {
    out.clear();
    if (len <= 0) return fail(kClass, "pbkdf2Sha1", "len", 1, "PBKDF2 error");
    EVP_KDF* kdf = pbkdf2();
    std::unique_ptr<EVP_KDF_CTX, KdfCtxFree> ctx(kdf ? EVP_KDF_CTX_new(kdf) : nullptr);
    if (!ctx) return fail(kClass, "pbkdf2Sha1", "EVP_KDF_CTX_new", 2, "PBKDF2 error");
    // The stored keys carry short salts and modest counts: the lower-bound
    // checks of newer guidance do not apply to reading them.
    int pkcs5 = 1;
    uint64_t iter = iterations < 1 ? 1 : static_cast<uint64_t>(iterations);
    char digest[] = "SHA1";
    static const uint8_t kEmpty[1] = {0};
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD,
                                          const_cast<uint8_t*>(password.isEmpty() ? kEmpty : password.data()),
                                          static_cast<size_t>(password.length())),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT,
                                          const_cast<uint8_t*>(salt.isEmpty() ? kEmpty : salt.data()),
                                          static_cast<size_t>(salt.length())),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_ITER, &iter),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_PKCS5, &pkcs5),
        OSSL_PARAM_construct_end(),
    };
    std::vector<uint8_t> buf(static_cast<size_t>(len));
    const int ok = EVP_KDF_derive(ctx.get(), buf.data(), buf.size(), params);
    if (ok == 1) out.set(buf.data(), len);
    secureWipe(buf.data(), buf.size());
    if (ok != 1) return fail(kClass, "pbkdf2Sha1", "EVP_KDF_derive", 4, "PBKDF2 error");
    return 0;
}

namespace {

// SHA-1 of `in`, then SHA-1 of each digest until `rounds` hashes were made.
// From the second hash on the input is always one block: the 20-byte digest,
// the 0x80 marker and the bit length 160.
void iteratedSha1(const uint8_t* in, size_t len, int rounds, uint8_t out[kSha1Len]) {
    SHA_CTX ctx;
    SHA1_Init(&ctx);
    SHA1_Update(&ctx, in, len);
    SHA1_Final(out, &ctx);
    if (rounds <= 1) {
        secureWipe(&ctx, sizeof ctx);
        return;
    }
    alignas(16) uint8_t block[64] = {};
    std::memcpy(block, out, kSha1Len);
    block[kSha1Len] = 0x80;
    block[63] = 8 * kSha1Len;
    for (int r = 1; r < rounds; ++r) {
        ctx.h0 = 0x67452301u;
        ctx.h1 = 0xEFCDAB89u;
        ctx.h2 = 0x98BADCFEu;
        ctx.h3 = 0x10325476u;
        ctx.h4 = 0xC3D2E1F0u;
        SHA1_Transform(&ctx, block);
        const SHA_LONG h[5] = {ctx.h0, ctx.h1, ctx.h2, ctx.h3, ctx.h4};
        for (int w = 0; w < 5; ++w) {
            block[4 * w] = static_cast<uint8_t>(h[w] >> 24);
            block[4 * w + 1] = static_cast<uint8_t>(h[w] >> 16);
            block[4 * w + 2] = static_cast<uint8_t>(h[w] >> 8);
            block[4 * w + 3] = static_cast<uint8_t>(h[w]);
        }
    }
    std::memcpy(out, block, kSha1Len);
    secureWipe(block, sizeof block);
    secureWipe(&ctx, sizeof ctx);
}

}  // namespace

int PasswordKdf::pkcs12Sha1(const ByteString& widePassword, const ByteString& salt, int id, int iterations, int len,
                            ByteString& out) {
    out.clear();
    if (len <= 0) return 0;
    // D || I with I = S || P, each repeated to whole 64-byte blocks; D = 64 bytes of ID.
    ByteString input;
    for (int k = 0; k < kPkcs12Block; ++k) input.append(static_cast<uint8_t>(id));
    input.append(fillBlocks(salt, kPkcs12Block));
    input.append(fillBlocks(widePassword, kPkcs12Block));
    if (input.status() != ByteString::kOk) return fail(kClass, "pkcs12Sha1", "input", 1, "Memory allocation failed.");
    const int rounds = iterations < 1 ? 1 : iterations;
    uint8_t a[kSha1Len];
    while (out.length() < len) {
        iteratedSha1(input.data(), static_cast<size_t>(input.length()), rounds, a);
        const int take = len - out.length() < kSha1Len ? len - out.length() : kSha1Len;
        out.append(a, take);
        if (out.length() >= len) break;
        // Each block of I becomes (I_j + B + 1) mod 2^512, B being A repeated to 64 bytes.
        uint8_t* p = input.data();
        for (int off = kPkcs12Block; off < input.length(); off += kPkcs12Block) {
            unsigned carry = 1;
            for (int k = kPkcs12Block - 1; k >= 0; --k) {
                carry += static_cast<unsigned>(p[off + k]) + a[k % kSha1Len];
                p[off + k] = static_cast<uint8_t>(carry);
                carry >>= 8;
            }
        }
    }
    secureWipe(a, sizeof a);
    return 0;
}

}  // namespace qelt
