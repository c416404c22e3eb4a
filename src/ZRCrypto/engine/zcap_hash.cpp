// Engine hash descriptors: MD5, SHA-1 and SHA-256 are computed by OpenSSL
// (algorithm objects fetched once per process), HAS-160 by the engine itself.
#include <openssl/evp.h>

#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/has160.h"
#include "ZRCrypto/engine/zcap_engine.h"
#include "util/byte_string.h"

namespace qelt {

namespace {

struct EvpMdDeleter {
    void operator()(EVP_MD* md) const { EVP_MD_free(md); }
};
struct EvpMdCtxDeleter {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// The fetched digests, looked up on first use and kept for the process.
const EVP_MD* fetchedMd(int id) {
    static const std::unique_ptr<EVP_MD, EvpMdDeleter> md5(EVP_MD_fetch(nullptr, "MD5", nullptr));
    static const std::unique_ptr<EVP_MD, EvpMdDeleter> sha1(EVP_MD_fetch(nullptr, "SHA1", nullptr));
    static const std::unique_ptr<EVP_MD, EvpMdDeleter> sha256(EVP_MD_fetch(nullptr, "SHA256", nullptr));
    switch (id) {
        case ENGINE_MD5: return md5.get();
        case ENGINE_SHA1: return sha1.get();
        case ENGINE_SHA256: return sha256.get();
        default: return nullptr;
    }
}

class EvpHashState final : public ZcapHashState {
public:
    explicit EvpHashState(const EVP_MD* md) : m_ctx(EVP_MD_CTX_new()) {
        m_ok = m_ctx && md && EVP_DigestInit_ex2(m_ctx.get(), md, nullptr) == 1;
    }
    bool ok() const { return m_ok; }
    bool update(const uint8_t* data, size_t len) override { return EVP_DigestUpdate(m_ctx.get(), data, len) == 1; }
    bool final(uint8_t* out) override { return EVP_DigestFinal_ex(m_ctx.get(), out, nullptr) == 1; }

private:
    std::unique_ptr<EVP_MD_CTX, EvpMdCtxDeleter> m_ctx;
    bool m_ok = false;
};

template <int Id>
std::unique_ptr<ZcapHashState> createEvp() {
    auto state = std::make_unique<EvpHashState>(fetchedMd(Id));
    if (!state->ok()) return nullptr;
    return state;
}

template <class Hash>
class OwnHashState final : public ZcapHashState {
public:
    bool update(const uint8_t* data, size_t len) override {
        m_hash.update(data, len);
        return true;
    }
    bool final(uint8_t* out) override {
        m_hash.final(out);
        return true;
    }

private:
    Hash m_hash;
};

std::unique_ptr<ZcapHashState> createHas160() { return std::make_unique<OwnHashState<Has160>>(); }

constexpr ZcapHashDescriptor kHashes[] = {
    {ENGINE_MD5, 16, 64, &createEvp<ENGINE_MD5>},
    {ENGINE_SHA1, 20, 64, &createEvp<ENGINE_SHA1>},
    {ENGINE_SHA256, 32, 64, &createEvp<ENGINE_SHA256>},
    {ENGINE_HAS160, 20, 64, &createHas160},
};

}  // namespace

ZcapContext::~ZcapContext() {
    // Hash contexts never stage: skip the 1 KiB wipe for them.
    if (cipher != nullptr) secureWipe(staging, sizeof staging);
    secureWipe(iv, sizeof iv);
}

// Signature identifiers read <algorithm><hash digits><size digits> (121401 is
// RSA, SHA-1, 1024 bits) and HMAC identifiers are 30000 + the hash identifier;
// both select the descriptor of their hash.
const ZcapHashDescriptor* zcapHashDescriptor(int id) {
    int hashId = id;
    if (id == 13202) hashId = ENGINE_SHA256;
    else if (id >= 31000 && id < 32000) hashId = id - 30000;
    else if (id >= 100000 && id < 1000000) hashId = (id / 100) % 100 * 100;
    for (const ZcapHashDescriptor& d : kHashes)
        if (d.id == hashId) return &d;
    return nullptr;
}

int ZCAP_DigestInit(ZcapContext* ctx, int id) {
    if (ctx == nullptr) return ZCAP_INVALID_DATA_POINTER;
    const ZcapHashDescriptor* d = zcapHashDescriptor(id);
    if (d == nullptr) return ctx->lastResult = ZCAP_INVALID_ALGORITHM;
    ctx->algClass = 0;
    ctx->hash = d;
    ctx->hashState = d->create();
    if (!ctx->hashState) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    return ctx->lastResult = ZCAP_OK;
}

int ZCAP_DigestUpdate(ZcapContext* ctx, const uint8_t* data, int len) {
    if (ctx == nullptr || (data == nullptr && len != 0) || len < 0) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->hashState) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    if (len != 0 && !ctx->hashState->update(data, static_cast<size_t>(len)))
        return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    return ctx->lastResult = ZCAP_OK;
}

int ZCAP_DigestFinal(ZcapContext* ctx, uint8_t* out, int* outLen) {
    if (ctx == nullptr || out == nullptr || outLen == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->hashState || ctx->hash == nullptr) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    const int digestLen = static_cast<int>(ctx->hash->digestLen);
    if (*outLen < digestLen) return ctx->lastResult = ZCAP_NOT_ENOUGH_BUFFER;
    if (!ctx->hashState->final(out)) return ctx->lastResult = ZCAP_STAGED_OPERATION_FAILED;
    ctx->hashState.reset();
    *outLen = digestLen;
    return ctx->lastResult = ZCAP_OK;
}

int ZCAP_DigestData(int id, uint8_t* out, int* outLen, const uint8_t* in, int inLen) {
    auto ctx = std::unique_ptr<ZcapContext>(new (std::nothrow) ZcapContext);
    if (!ctx) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_MEMORY_ERROR);
    int rc = ZCAP_DigestInit(ctx.get(), id);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_INIT, rc);
    rc = ZCAP_DigestUpdate(ctx.get(), in, inLen);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_UPDATE, rc);
    rc = ZCAP_DigestFinal(ctx.get(), out, outLen);
    return zcapWithStage(ZCAP_STAGE_FINAL, rc);
}

}  // namespace qelt
