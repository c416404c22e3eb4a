// Helpers shared by the engine tests: one-shot engine calls on byte vectors,
// random bytes from a seeded generator, and OpenSSL as the reference.
#pragma once

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>
#include <random>
#include <string>

#include "ZRCrypto/engine/zcap_engine.h"
#include "kat_reader.h"

namespace qelt::test {

inline Bytes randomBytes(std::mt19937& rng, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

// Engine one-shot with a raw key: expands, runs, returns the result code;
// iv is updated with the chaining value.
inline int engineRun(bool decrypt, int id, int mode, const Bytes& key, Bytes& iv, const Bytes& in, int padding,
                     Bytes& out) {
    uint8_t expanded[GENKEY_MAX_LEN];
    int expandedLen = sizeof expanded;
    int rc = ZCAP_GenerateKey(expanded, &expandedLen, id, key.data(), static_cast<int>(key.size()));
    if (rc != 0) return rc;
    out.assign(in.size() + 64, 0);
    int len = static_cast<int>(out.size());
    rc = decrypt ? ZCAP_DecryptData(expanded, expandedLen, id, mode, out.data(), &len, in.data(),
                                    static_cast<int>(in.size()), iv.empty() ? nullptr : iv.data(),
                                    static_cast<int>(iv.size()), padding)
                 : ZCAP_EncryptData(expanded, expandedLen, id, mode, out.data(), &len, in.data(),
                                    static_cast<int>(in.size()), iv.empty() ? nullptr : iv.data(),
                                    static_cast<int>(iv.size()), padding);
    out.resize(rc == 0 ? static_cast<size_t>(len) : 0);
    return rc;
}

// Loads OpenSSL's legacy provider (DES, SEED, RC2, RC4) beside the default one;
// false when it is not installed.
inline bool loadLegacyProvider() {
    // Held for the process and unloaded at exit.
    static const struct Providers {
        OSSL_PROVIDER* defaults = OSSL_PROVIDER_load(nullptr, "default");
        OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
        ~Providers() {
            if (legacy) OSSL_PROVIDER_unload(legacy);
            if (defaults) OSSL_PROVIDER_unload(defaults);
        }
    } providers;
    return providers.legacy != nullptr;
}

// OpenSSL doing the same job; an empty optional-like result (ok = false) when it refuses.
struct Reference {
    bool ok = false;
    Bytes out;
};

inline Reference openssl(const std::string& name, const Bytes& key, const Bytes& iv, const Bytes& in, bool decrypt,
                         bool pad, int rc2Bits = 0) {
    Reference r;
    std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> c(EVP_CIPHER_fetch(nullptr, name.c_str(), nullptr),
                                                             &EVP_CIPHER_free);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!c || !ctx || EVP_CipherInit_ex2(ctx.get(), c.get(), nullptr, nullptr, decrypt ? 0 : 1, nullptr) != 1) return r;
    if (EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(key.size())) != 1) return r;
    if (rc2Bits != 0 && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_SET_RC2_KEY_BITS, rc2Bits, nullptr) != 1) return r;
    if (EVP_CipherInit_ex2(ctx.get(), nullptr, key.data(), iv.empty() ? nullptr : iv.data(), decrypt ? 0 : 1,
                           nullptr) != 1)
        return r;
    EVP_CIPHER_CTX_set_padding(ctx.get(), pad ? 1 : 0);
    r.out.resize(in.size() + 64);
    int len = 0, fin = 0;
    if (EVP_CipherUpdate(ctx.get(), r.out.data(), &len, in.data(), static_cast<int>(in.size())) != 1) return r;
    if (EVP_CipherFinal_ex(ctx.get(), r.out.data() + len, &fin) != 1) return r;
    r.out.resize(static_cast<size_t>(len + fin));
    r.ok = true;
    return r;
}

}  // namespace qelt::test
