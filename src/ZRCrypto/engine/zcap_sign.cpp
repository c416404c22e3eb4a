// Public-key descriptors, the staged sign/verify calls and key-pair generation.
#include <openssl/err.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_ecdsa.h"
#include "ZRCrypto/engine/zcap_kcdsa.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "ZRCrypto/engine/zcap_rsa.h"

namespace qelt {

namespace {

using S = PkScheme;
using C = EcCurve;

constexpr ZcapPkDescriptor kDescriptors[] = {
    {12000, S::RsaPkcs1, 512, 0, 0, C::None, false, 64},
    {12001, S::RsaPkcs1, 1024, 0, 0, C::None, false, 128},
    {12002, S::RsaPkcs1, 2048, 0, 0, C::None, false, 256},
    {13101, S::RsaOaep, 1024, ENGINE_SHA1, ENGINE_SHA1, C::None, false, 128},
    {13102, S::RsaOaep, 2048, ENGINE_SHA1, ENGINE_SHA1, C::None, false, 256},
    {13202, S::RsaOaep, 2048, ENGINE_SHA256, ENGINE_SHA256, C::None, false, 256},
    {121400, S::RsaSign, 512, ENGINE_SHA1, 0, C::None, false, 64},
    {121201, S::RsaSign, 1024, ENGINE_MD5, 0, C::None, false, 128},
    {121401, S::RsaSign, 1024, ENGINE_SHA1, 0, C::None, false, 128},
    {121501, S::RsaSign, 1024, ENGINE_SHA256, 0, C::None, false, 128},
    {121202, S::RsaSign, 2048, ENGINE_MD5, 0, C::None, false, 256},
    {121402, S::RsaSign, 2048, ENGINE_SHA1, 0, C::None, false, 256},
    {121502, S::RsaSign, 2048, ENGINE_SHA256, 0, C::None, false, 256},
    // KCDSA values: SEQUENCE { r BIT STRING (the hash bits), s INTEGER (|q| bits) }.
    {140000, S::Kcdsa, 0, 0, 0, C::None, false, 72},
    {141401, S::Kcdsa, 1024, ENGINE_SHA1, 0, C::None, false, 48},
    {141403, S::Kcdsa, 1024, ENGINE_SHA1, 0, C::None, true, 48},
    {141402, S::Kcdsa, 2048, ENGINE_SHA1, 0, C::None, false, 72},
    {141502, S::Kcdsa, 2048, ENGINE_SHA256, 0, C::None, false, 72},
    {141801, S::Kcdsa, 1024, ENGINE_HAS160, 0, C::None, false, 48},
    {141802, S::Kcdsa, 2048, ENGINE_HAS160, 0, C::None, false, 72},
    {171401, S::Ecdsa, 0, ENGINE_SHA1, 0, C::Sect163k1, false, 48},
    {171404, S::Ecdsa, 0, ENGINE_SHA1, 0, C::C2pnb163v1, false, 48},
    {171402, S::Ecdsa, 0, ENGINE_SHA1, 0, C::Secp160r1, false, 48},
    {171410, S::Ecdsa, 0, ENGINE_SHA256, 0, C::Sect163k1, false, 48},
    {171411, S::Ecdsa, 0, ENGINE_SHA256, 0, C::C2pnb163v1, false, 48},
    {171412, S::Ecdsa, 0, ENGINE_SHA256, 0, C::Secp160r1, false, 48},
};

struct CurveInfo {
    EcCurve curve;
    const char* oid;
    int width;
};
constexpr CurveInfo kCurves[] = {
    {C::Sect163k1, "1 3 132 0 1", 21},
    {C::C2pnb163v1, "1 2 840 10045 3 0 1", 21},
    {C::Secp160r1, "1 3 132 0 8", 20},
};

// Loads the key the descriptor needs; ZCAP_OK or the init failure.
int makeSigner(const ZcapPkDescriptor& d, const uint8_t* key, int keyLen, bool privateKey,
               std::unique_ptr<ZcapSigner>& out) {
    if (key == nullptr || keyLen <= 0) return ZCAP_INVALID_KEY_POINTER;
    const size_t len = static_cast<size_t>(keyLen);
    switch (d.scheme) {
        case S::RsaSign: {
            EvpPkeyPtr k = privateKey ? rsa_detail::privateKeyFromDer(key, len) : rsa_detail::publicKeyFromDer(key, len);
            if (!k) return ZCAP_ASN1_OPERATION_FAILED;
            if (EVP_PKEY_get_bits(k.get()) != d.bits) return ZCAP_INVALID_KEY;
            out = rsa_detail::makeSigner(std::move(k), d.hashId, privateKey);
            return ZCAP_OK;
        }
        case S::Kcdsa: {
            kcdsa_detail::KcdsaKey k;
            const bool ok = privateKey ? kcdsa_detail::privateKeyFromDer(key, len, k)
                                       : kcdsa_detail::publicKeyFromDer(key, len, k);
            if (!ok) return ZCAP_ASN1_OPERATION_FAILED;
            if (static_cast<int>(k.pBytes() * 8) != d.bits) return ZCAP_INVALID_KEY;
            out = kcdsa_detail::makeSigner(std::move(k), d.fullY, *zcapHashDescriptor(d.hashId));
            return ZCAP_OK;
        }
        case S::Ecdsa: {
            ecdsa_detail::EcKey k;
            const bool ok = privateKey ? ecdsa_detail::privateKeyFromDer(key, len, k)
                                       : ecdsa_detail::publicKeyFromDer(key, len, k);
            if (!ok) return ZCAP_ASN1_OPERATION_FAILED;
            if (k.curve != d.curve) return ZCAP_INVALID_KEY;
            out = ecdsa_detail::makeSigner(std::move(k));
            return ZCAP_OK;
        }
        default: return ZCAP_INVALID_ALGORITHM;
    }
}

int signInit(ZcapSignContext* ctx, int id, const uint8_t* key, int keyLen, bool verifying) {
    if (ctx == nullptr) return ZCAP_INVALID_DATA_POINTER;
    ctx->signer.reset();
    ctx->hash.reset();
    const ZcapPkDescriptor* d = zcapPkDescriptor(id);
    if (d == nullptr || d->hashId == 0 || d->scheme == S::RsaPkcs1 || d->scheme == S::RsaOaep)
        return ZCAP_INVALID_ALGORITHM;
    const ZcapHashDescriptor* h = zcapHashDescriptor(d->hashId);
    if (h == nullptr) return ZCAP_INVALID_ALGORITHM;
    const int rc = makeSigner(*d, key, keyLen, !verifying, ctx->signer);
    if (rc != ZCAP_OK) {
        ERR_clear_error();
        return rc;
    }
    ctx->hash = h->create();
    if (!ctx->hash || !ctx->signer->prefix(*ctx->hash)) {
        ctx->signer.reset();
        return ZCAP_MEMORY_ERROR;
    }
    ctx->desc = d;
    ctx->verifying = verifying;
    return ZCAP_OK;
}

int signUpdate(ZcapSignContext* ctx, const uint8_t* data, int len, bool verifying) {
    if (ctx == nullptr || len < 0 || (data == nullptr && len != 0)) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->signer || !ctx->hash || ctx->verifying != verifying) return ZCAP_STAGED_OPERATION_FAILED;
    if (len != 0 && !ctx->hash->update(data, static_cast<size_t>(len))) return ZCAP_STAGED_OPERATION_FAILED;
    return ZCAP_OK;
}

bool finishDigest(ZcapSignContext* ctx, uint8_t* digest, size_t* len) {
    const ZcapHashDescriptor* h = zcapHashDescriptor(ctx->desc->hashId);
    if (!ctx->hash->final(digest)) return false;
    *len = h->digestLen;
    ctx->hash.reset();
    return true;
}

}  // namespace

const ZcapPkDescriptor* zcapPkDescriptor(int id) {
    for (const ZcapPkDescriptor& d : kDescriptors)
        if (d.id == id) return &d;
    return nullptr;
}

EcCurve ecCurveOfOid(const char* oidText) {
    if (oidText == nullptr) return C::None;
    for (const CurveInfo& c : kCurves)
        if (std::strcmp(c.oid, oidText) == 0) return c.curve;
    return C::None;
}
const char* ecCurveOid(EcCurve curve) {
    for (const CurveInfo& c : kCurves)
        if (c.curve == curve) return c.oid;
    return "";
}
int ecCoordinateWidth(EcCurve curve) {
    for (const CurveInfo& c : kCurves)
        if (c.curve == curve) return c.width;
    return 0;
}

ZcapSignContext::ZcapSignContext() = default;
ZcapSignContext::~ZcapSignContext() = default;

int ZCAP_SignInit(ZcapSignContext* ctx, int id, const uint8_t* key, int keyLen) {
    return signInit(ctx, id, key, keyLen, false);
}
int ZCAP_VerifyInit(ZcapSignContext* ctx, int id, const uint8_t* key, int keyLen) {
    return signInit(ctx, id, key, keyLen, true);
}
int ZCAP_SignUpdate(ZcapSignContext* ctx, const uint8_t* data, int len) { return signUpdate(ctx, data, len, false); }
int ZCAP_VerifyUpdate(ZcapSignContext* ctx, const uint8_t* data, int len) { return signUpdate(ctx, data, len, true); }

int ZCAP_SignFinal(ZcapSignContext* ctx, uint8_t* out, int* outLen) {
    if (ctx == nullptr || out == nullptr || outLen == nullptr) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->signer || !ctx->hash || ctx->verifying) return ZCAP_STAGED_OPERATION_FAILED;
    if (*outLen < 0 || static_cast<size_t>(*outLen) < ctx->desc->maxSig) return ZCAP_NOT_ENOUGH_BUFFER;
    uint8_t digest[64];
    size_t len = 0;
    if (!finishDigest(ctx, digest, &len)) return ZCAP_STAGED_OPERATION_FAILED;
    const int rc = ctx->signer->sign(digest, len, out, outLen);
    ctx->signer.reset();
    ERR_clear_error();
    return rc == ZCAP_NOT_ENOUGH_BUFFER || rc == ZCAP_OK ? rc : ZCAP_STAGED_OPERATION_FAILED;
}

int ZCAP_VerifyFinal(ZcapSignContext* ctx, const uint8_t* sig, int sigLen) {
    if (ctx == nullptr || (sig == nullptr && sigLen != 0) || sigLen < 0) return ZCAP_INVALID_DATA_POINTER;
    if (!ctx->signer || !ctx->hash || !ctx->verifying) return ZCAP_STAGED_OPERATION_FAILED;
    uint8_t digest[64];
    size_t len = 0;
    if (!finishDigest(ctx, digest, &len)) return ZCAP_STAGED_OPERATION_FAILED;
    const int rc = ctx->signer->verify(digest, len, sig, static_cast<size_t>(sigLen));
    ctx->signer.reset();
    ERR_clear_error();
    return rc;
}

int ZCAP_SignData(int id, const uint8_t* key, int keyLen, const uint8_t* data, int len, uint8_t* out, int* outLen) {
    ZcapSignContext ctx;
    int rc = ZCAP_SignInit(&ctx, id, key, keyLen);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_INIT, rc);
    rc = ZCAP_SignUpdate(&ctx, data, len);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_UPDATE, rc);
    return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_SignFinal(&ctx, out, outLen));
}

int ZCAP_VerifyData(int id, const uint8_t* key, int keyLen, const uint8_t* data, int len, const uint8_t* sig,
                    int sigLen) {
    ZcapSignContext ctx;
    int rc = ZCAP_VerifyInit(&ctx, id, key, keyLen);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_INIT, rc);
    rc = ZCAP_VerifyUpdate(&ctx, data, len);
    if (rc != ZCAP_OK) return zcapWithStage(ZCAP_STAGE_UPDATE, rc);
    return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_VerifyFinal(&ctx, sig, sigLen));
}

int zcapGenerateKeyPair(int id, const ByteString& param, ByteString& pub, ByteString& pri) {
    const ZcapPkDescriptor* d = zcapPkDescriptor(id);
    if (d == nullptr) return ZCAP_INVALID_ALGORITHM;
    switch (d->scheme) {
        case S::RsaPkcs1:
        case S::RsaOaep:
        case S::RsaSign: {
            BnPtr e = param.isEmpty() ? bnNew() : bnFromBytes(param);
            if (!e || (param.isEmpty() && BN_set_word(e.get(), RSA_F4) != 1)) return ZCAP_INVALID_DATA;
            EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
            EVP_PKEY* raw = nullptr;
            if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
                EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), d->bits) != 1 ||
                EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1) {
                ERR_clear_error();
                return ZCAP_STAGED_OPERATION_FAILED;
            }
            EvpPkeyPtr key(raw);
            unsigned char* p = nullptr;
            int n = i2d_PublicKey(key.get(), &p);
            if (n <= 0) return ZCAP_ASN1_OPERATION_FAILED;
            pub.set(p, n);
            OPENSSL_free(p);
            p = nullptr;
            n = i2d_PrivateKey(key.get(), &p);
            if (n <= 0) return ZCAP_ASN1_OPERATION_FAILED;
            pri.set(p, n);
            OPENSSL_clear_free(p, static_cast<size_t>(n));
            return ZCAP_OK;
        }
        case S::Kcdsa: {
            kcdsa_detail::KcdsaKey k;
            if (d->id == 140000) {
                RKCDSAParameters params(param);
                if (params.errorCode() != 0) return ZCAP_ASN1_OPERATION_FAILED;
                ByteString b;
                params.getP().getInteger(b, 0);
                k.p = bnFromBytes(b);
                params.getQ().getInteger(b, 0);
                k.q = bnFromBytes(b);
                params.getG().getInteger(b, 0);
                k.g = bnFromBytes(b);
                if (!k.p || !k.q || !k.g) return ZCAP_ASN1_OPERATION_FAILED;
            } else {
                const int qBits = d->bits == 1024 ? 160 : d->bits == 2048 ? 256 : d->bits == 512 ? 128 : 160;
                if (!kcdsa_detail::generateDomain(d->bits, qBits, k)) return ZCAP_STAGED_OPERATION_FAILED;
            }
            if (!kcdsa_detail::generateKeyPair(k)) return ZCAP_STAGED_OPERATION_FAILED;
            return kcdsa_detail::encodePublic(k, pub) && kcdsa_detail::encodePrivate(k, pri)
                       ? ZCAP_OK
                       : ZCAP_ASN1_OPERATION_FAILED;
        }
        case S::Ecdsa: {
            ecdsa_detail::EcKey k;
            if (!ecdsa_detail::generateKeyPair(d->curve, k)) return ZCAP_STAGED_OPERATION_FAILED;
            return ecdsa_detail::encodePublic(k, pub) && ecdsa_detail::encodePrivate(k, pri)
                       ? ZCAP_OK
                       : ZCAP_ASN1_OPERATION_FAILED;
        }
    }
    return ZCAP_INVALID_ALGORITHM;
}

int ZCAP_GenerateKeyPair(int id, const uint8_t* param, int paramLen, uint8_t* pub, int* pubLen, uint8_t* pri,
                         int* priLen) {
    if (pub == nullptr || pubLen == nullptr || pri == nullptr || priLen == nullptr) return ZCAP_INVALID_DATA_POINTER;
    ByteString p(param, param ? paramLen : 0), pb, pk;
    const int rc = zcapGenerateKeyPair(id, p, pb, pk);
    if (rc != ZCAP_OK) return rc;
    if (*pubLen < pb.length() || *priLen < pk.length()) return ZCAP_NOT_ENOUGH_BUFFER;
    std::memcpy(pub, pb.data(), static_cast<size_t>(pb.length()));
    std::memcpy(pri, pk.data(), static_cast<size_t>(pk.length()));
    *pubLen = pb.length();
    *priLen = pk.length();
    return ZCAP_OK;
}

}  // namespace qelt
