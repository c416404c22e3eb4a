#include "ZRCrypto/engine/zcap_mac.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <iterator>
#include <memory>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_result.h"
#include "util/byte_string.h"

namespace qelt {

namespace {

constexpr size_t kMaxMac = 32;

struct MacDescriptor {
    int id;
    const char* digest;  // OpenSSL digest name
    size_t macLen;
};

constexpr MacDescriptor kMacs[] = {
    {ENGINE_HMAC_MD5, "MD5", 16},
    {ENGINE_HMAC_SHA1, "SHA1", 20},
    {ENGINE_HMAC_SHA256, "SHA256", 32},
};

const MacDescriptor* descriptorOf(int id) {
    for (const MacDescriptor& d : kMacs)
        if (d.id == id) return &d;
    return nullptr;
}

struct MacCtxFree {
    void operator()(EVP_MAC_CTX* c) const { EVP_MAC_CTX_free(c); }
};
using MacCtx = std::unique_ptr<EVP_MAC_CTX, MacCtxFree>;

// One HMAC context per digest with the digest already bound, made once per
// process and never written again: each call works on a duplicate of it, so
// neither the MAC nor the digest is fetched per call. These objects live as
// long as the process (freeing them from a static destructor would race
// OpenSSL's own exit clean-up).
struct Templates {
    EVP_MAC_CTX* ctx[std::size(kMacs)] = {};
};

const Templates& templates() {
    static const Templates made = [] {
        Templates t;
        EVP_MAC* mac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
        if (mac == nullptr) return t;
        for (size_t i = 0; i < std::size(kMacs); ++i) {
            EVP_MAC_CTX* c = EVP_MAC_CTX_new(mac);
            if (c == nullptr) continue;
            OSSL_PARAM params[] = {
                OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char*>(kMacs[i].digest), 0),
                OSSL_PARAM_construct_end()};
            if (EVP_MAC_CTX_set_params(c, params) != 1) {
                EVP_MAC_CTX_free(c);
                continue;
            }
            t.ctx[i] = c;
        }
        EVP_MAC_free(mac);  // each context keeps its own reference
        return t;
    }();
    return made;
}

// HMAC of data under key into out (capacity outCap); returns a staged ZCAP code.
int computeMac(const uint8_t* key, size_t keyLen, int id, uint8_t* out, size_t outCap, size_t* written,
               const uint8_t* data, size_t dataLen) {
    const MacDescriptor* d = descriptorOf(id);
    if (d == nullptr) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_ALGORITHM);
    if (key == nullptr && keyLen > 0) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_KEY_POINTER);
    const EVP_MAC_CTX* tmpl = templates().ctx[d - kMacs];
    if (tmpl == nullptr) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_STAGED_OPERATION_FAILED);
    MacCtx ctx(EVP_MAC_CTX_dup(tmpl));
    if (!ctx) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_MEMORY_ERROR);
    // An empty key is a valid HMAC key; OpenSSL wants a non-null pointer for it.
    static const uint8_t kNoKey = 0;
    if (EVP_MAC_init(ctx.get(), keyLen > 0 ? key : &kNoKey, keyLen, nullptr) != 1)
        return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_STAGED_OPERATION_FAILED);

    if (data == nullptr && dataLen > 0) return zcapWithStage(ZCAP_STAGE_UPDATE, ZCAP_INVALID_DATA_POINTER);
    if (dataLen > 0 && EVP_MAC_update(ctx.get(), data, dataLen) != 1)
        return zcapWithStage(ZCAP_STAGE_UPDATE, ZCAP_STAGED_OPERATION_FAILED);

    if (out == nullptr) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_INVALID_DATA_POINTER);
    if (outCap < d->macLen) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_NOT_ENOUGH_BUFFER);
    size_t len = 0;
    if (EVP_MAC_final(ctx.get(), out, &len, outCap) != 1 || len != d->macLen)
        return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED);
    *written = len;
    return ZCAP_OK;
}

}  // namespace

size_t zcapMacLength(int id) {
    const MacDescriptor* d = descriptorOf(id);
    return d ? d->macLen : 0;
}

int ZCAP_GenerateMAC(const uint8_t* key, size_t keyLen, int id, uint8_t* out, size_t* outLen, const uint8_t* data,
                     size_t dataLen) {
    if (outLen == nullptr) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_INVALID_DATA_POINTER);
    size_t written = 0;
    const int rc = computeMac(key, keyLen, id, out, *outLen, &written, data, dataLen);
    if (rc == ZCAP_OK) *outLen = written;
    return rc;
}

int ZCAP_VerifyMAC(const uint8_t* key, size_t keyLen, int id, const uint8_t* mac, size_t macLen, const uint8_t* data,
                   size_t dataLen) {
    uint8_t expected[kMaxMac];
    size_t written = 0;
    int rc = computeMac(key, keyLen, id, expected, sizeof expected, &written, data, dataLen);
    if (rc == ZCAP_OK) {
        if (mac == nullptr) rc = zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_INVALID_DATA_POINTER);
        // The length is public; only the bytes are compared in constant time.
        else if (macLen != written || CRYPTO_memcmp(mac, expected, written) != 0)
            rc = ZCAP_VERIFY_FAIL;
    }
    secureWipe(expected, sizeof expected);
    return rc;
}

}  // namespace qelt
