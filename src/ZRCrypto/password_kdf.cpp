#include "ZRCrypto/password_kdf.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

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

int PasswordKdf::pkcs12Sha1(const ByteString& widePassword, const ByteString& salt, int id, int iterations, int len,
                            ByteString& out) {
    out.clear();
    // I = S || P, each repeated to whole 64-byte blocks; D = 64 bytes of ID.
    ByteString i = fillBlocks(salt, kPkcs12Block);
    i.append(fillBlocks(widePassword, kPkcs12Block));
    ByteString d;
    for (int k = 0; k < kPkcs12Block; ++k) d.append(static_cast<uint8_t>(id));
    ZRHash hash;
    const int rounds = iterations < 1 ? 1 : iterations;
    while (out.length() < len) {
        ByteString input(d);
        input.append(i);
        ByteString a;
        if (hash.DigestData(ALG_SHA1, input, a, rounds) != 0 || a.length() != kSha1Len)
            return fail(kClass, "pkcs12Sha1", "DigestData", 1, hash.errorText());
        const int take = len - out.length() < kSha1Len ? len - out.length() : kSha1Len;
        out.append(a.data(), take);
        if (out.length() >= len) break;
        // Each block of I becomes (I_j + B + 1) mod 2^512, B being A repeated to 64 bytes.
        uint8_t* p = i.data();
        for (int off = 0; off < i.length(); off += kPkcs12Block) {
            unsigned carry = 1;
            for (int k = kPkcs12Block - 1; k >= 0; --k) {
                carry += static_cast<unsigned>(p[off + k]) + a.data()[k % kSha1Len];
                p[off + k] = static_cast<uint8_t>(carry);
                carry >>= 8;
            }
        }
    }
    return 0;
}

}  // namespace qelt
