#include "ZRCrypto/engine/zcap_ecdsa.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/obj_mac.h>

#include "ASN1Pkix/pkcs_keys.h"
#include "ASN1Pkix/x509_certificate.h"
#include "ZRCrypto/engine/zcap_random.h"

namespace qelt::ecdsa_detail {

namespace {

constexpr const char* kEcPublicKeyOid = "1 2 840 10045 2 1";

BnPtr randomScalar(const BIGNUM* n, BN_CTX* ctx) {
    const size_t len = static_cast<size_t>(BN_num_bytes(n)) + 8;
    for (int i = 0; i < 1000; ++i) {
        uint8_t buf[96];
        if (len > sizeof buf || zcapRandomBytes(buf, len) != ZCAP_OK) return nullptr;
        BnPtr t(BN_bin2bn(buf, static_cast<int>(len), nullptr));
        secureWipe(buf, sizeof buf);
        BnPtr v = bnSecure();
        if (!t || !v || BN_mod(v.get(), t.get(), n, ctx) != 1) return nullptr;
        if (!BN_is_zero(v.get())) return v;
    }
    return nullptr;
}

// The leftmost bits of the digest as an integer no longer than the order.
BnPtr digestValue(const uint8_t* digest, size_t len, const BIGNUM* n) {
    BnPtr e = bnFromBytes(digest, len);
    const int excess = static_cast<int>(len * 8) - BN_num_bits(n);
    if (e && excess > 0 && BN_rshift(e.get(), e.get(), excess) != 1) return nullptr;
    return e;
}

class EcdsaSigner final : public ZcapSigner {
public:
    explicit EcdsaSigner(EcKey key) : m_key(std::move(key)) {}

    int sign(const uint8_t* digest, size_t len, uint8_t* out, int* outLen) override {
        if (!m_key.d) return ZCAP_INVALID_KEY;
        const EC_GROUP* g = groupOf(m_key.curve);
        const BIGNUM* n = EC_GROUP_get0_order(g);
        BnCtxPtr ctx(BN_CTX_secure_new());
        BnPtr e = digestValue(digest, len, n);
        EcPointPtr R(EC_POINT_new(g));
        BnPtr r = bnNew(), s = bnSecure(), kinv = bnSecure();
        if (!ctx || !e || !R || !r || !s || !kinv) return ZCAP_STAGED_OPERATION_FAILED;
        for (int attempt = 0; attempt < 32; ++attempt) {
            BnPtr k = randomScalar(n, ctx.get());
            if (!k || EC_POINT_mul(g, R.get(), k.get(), nullptr, nullptr, ctx.get()) != 1 ||
                EC_POINT_get_affine_coordinates(g, R.get(), r.get(), nullptr, ctx.get()) != 1 ||
                BN_nnmod(r.get(), r.get(), n, ctx.get()) != 1)
                return fail();
            if (BN_is_zero(r.get())) continue;
            // s = k^-1 (e + r d) mod n
            if (!BN_mod_inverse(kinv.get(), k.get(), n, ctx.get()) ||
                BN_mod_mul(s.get(), r.get(), m_key.d.get(), n, ctx.get()) != 1 ||
                BN_mod_add(s.get(), s.get(), e.get(), n, ctx.get()) != 1 ||
                BN_mod_mul(s.get(), s.get(), kinv.get(), n, ctx.get()) != 1)
                return fail();
            if (BN_is_zero(s.get())) continue;
            RECDSA_Sig_Value sig;
            const ByteString rb = bnToBytes(r.get()), sb = bnToBytes(s.get());
            sig.editR().setInteger(rb.data(), rb.length(), 0);
            sig.editS().setInteger(sb.data(), sb.length(), 0);
            const ByteString& der = sig.toASN1Object();
            if (der.isEmpty()) return ZCAP_STAGED_OPERATION_FAILED;
            if (*outLen < der.length()) return ZCAP_NOT_ENOUGH_BUFFER;
            std::copy(der.data(), der.data() + der.length(), out);
            *outLen = der.length();
            return ZCAP_OK;
        }
        return ZCAP_STAGED_OPERATION_FAILED;
    }

    int verify(const uint8_t* digest, size_t len, const uint8_t* sig, size_t sigLen) override {
        if (sig == nullptr || sigLen == 0) return ZCAP_INVALID_SIGNATURE;
        RECDSA_Sig_Value rec(std::span<const uint8_t>(sig, sigLen));
        if (rec.errorCode() != 0) return ZCAP_INVALID_SIGNATURE;
        ByteString rb, sb;
        if (rec.getR().getInteger(rb, 0) != 0 || rec.getS().getInteger(sb, 0) != 0 || rb.isEmpty() || sb.isEmpty())
            return ZCAP_INVALID_SIGNATURE;
        const EC_GROUP* g = groupOf(m_key.curve);
        const BIGNUM* n = EC_GROUP_get0_order(g);
        BnCtxPtr ctx(BN_CTX_new());
        BnPtr r = bnFromBytes(rb), s = bnFromBytes(sb), e = digestValue(digest, len, n);
        BnPtr w = bnNew(), u1 = bnNew(), u2 = bnNew(), x = bnNew();
        EcPointPtr X(EC_POINT_new(g));
        if (!ctx || !r || !s || !e || !w || !u1 || !u2 || !x || !X) return ZCAP_STAGED_OPERATION_FAILED;
        if (BN_is_zero(r.get()) || BN_is_zero(s.get()) || BN_cmp(r.get(), n) >= 0 || BN_cmp(s.get(), n) >= 0)
            return ZCAP_VERIFY_FAIL;
        if (!BN_mod_inverse(w.get(), s.get(), n, ctx.get()) ||
            BN_mod_mul(u1.get(), e.get(), w.get(), n, ctx.get()) != 1 ||
            BN_mod_mul(u2.get(), r.get(), w.get(), n, ctx.get()) != 1 ||
            EC_POINT_mul(g, X.get(), u1.get(), m_key.q.get(), u2.get(), ctx.get()) != 1) {
            ERR_clear_error();
            return ZCAP_VERIFY_FAIL;
        }
        if (EC_POINT_is_at_infinity(g, X.get()) ||
            EC_POINT_get_affine_coordinates(g, X.get(), x.get(), nullptr, ctx.get()) != 1 ||
            BN_nnmod(x.get(), x.get(), n, ctx.get()) != 1) {
            ERR_clear_error();
            return ZCAP_VERIFY_FAIL;
        }
        return BN_cmp(x.get(), r.get()) == 0 ? ZCAP_OK : ZCAP_VERIFY_FAIL;
    }

private:
    static int fail() {
        ERR_clear_error();
        return ZCAP_STAGED_OPERATION_FAILED;
    }
    EcKey m_key;
};

EcCurve curveOfParameters(const RecpkParameters& params) {
    if (!params.isNamedCurve()) return EcCurve::None;
    ASN1ObjectIdentifier oid = params.getNamedCurve();
    return ecCurveOfOid(oid.getOID().c_str());
}

bool pointFromOctets(EcKey& key, const uint8_t* p, size_t n) {
    const EC_GROUP* g = groupOf(key.curve);
    if (g == nullptr || n == 0) return false;
    key.q.reset(EC_POINT_new(g));
    BnCtxPtr ctx(BN_CTX_new());
    const bool ok = key.q && ctx && EC_POINT_oct2point(g, key.q.get(), p, n, ctx.get()) == 1 &&
                    EC_POINT_is_on_curve(g, key.q.get(), ctx.get()) == 1 && !EC_POINT_is_at_infinity(g, key.q.get());
    if (!ok) ERR_clear_error();
    return ok;
}

ByteString pointOctets(const EcKey& key) {
    const EC_GROUP* g = groupOf(key.curve);
    uint8_t buf[128];
    const size_t n = EC_POINT_point2oct(g, key.q.get(), POINT_CONVERSION_UNCOMPRESSED, buf, sizeof buf, nullptr);
    return ByteString(buf, static_cast<int>(n));
}

}  // namespace

const EC_GROUP* groupOf(EcCurve c) {
    static const EcGroupPtr groups[] = {
        EcGroupPtr(EC_GROUP_new_by_curve_name(NID_sect163k1)),
        EcGroupPtr(EC_GROUP_new_by_curve_name(NID_X9_62_c2pnb163v1)),
        EcGroupPtr(EC_GROUP_new_by_curve_name(NID_secp160r1)),
    };
    switch (c) {
        case EcCurve::Sect163k1: return groups[0].get();
        case EcCurve::C2pnb163v1: return groups[1].get();
        case EcCurve::Secp160r1: return groups[2].get();
        default: return nullptr;
    }
}

bool privateKeyFromDer(const uint8_t* der, size_t len, EcKey& key) {
    RECPrivateKey rec(std::span<const uint8_t>(der, len));
    if (rec.errorCode() != 0 || !rec.hasParameters()) return false;
    key.curve = curveOfParameters(rec.getParameters());
    const EC_GROUP* g = groupOf(key.curve);
    if (g == nullptr) return false;
    const ByteString& d = rec.getPrivateKey().getValue();
    key.d = bnSecure();
    if (!key.d || d.isEmpty() || !BN_bin2bn(d.data(), d.length(), key.d.get())) return false;
    const BIGNUM* n = EC_GROUP_get0_order(g);
    if (BN_is_zero(key.d.get()) || BN_cmp(key.d.get(), n) >= 0) return false;
    key.q.reset(EC_POINT_new(g));
    BnCtxPtr ctx(BN_CTX_new());
    return key.q && ctx && EC_POINT_mul(g, key.q.get(), key.d.get(), nullptr, nullptr, ctx.get()) == 1;
}

bool publicKeyFromDer(const uint8_t* der, size_t len, EcKey& key) {
    RSubjectPublicKeyInfo spki(std::span<const uint8_t>(der, len));
    if (spki.errorCode() != 0) return false;
    ASN1ObjectIdentifier alg = spki.getAlgorithm().getAlgorithm();
    if (!alg.is(kEcPublicKeyOid) || !spki.getAlgorithm().hasParameters()) return false;
    RecpkParameters params(spki.getAlgorithm().getParameters().getEncoding());
    if (params.errorCode() != 0) return false;
    key.curve = curveOfParameters(params);
    ASN1BitString bits = spki.getSubjectPublicKey();
    int unused = 0;
    const ByteString point(bits.getBitString(unused));
    key.d.reset();
    return unused == 0 && pointFromOctets(key, point.data(), static_cast<size_t>(point.length()));
}

bool encodePrivate(const EcKey& key, ByteString& der) {
    const EC_GROUP* g = groupOf(key.curve);
    if (g == nullptr || !key.d) return false;
    RECPrivateKey rec;
    rec.setVersion(1);
    const ByteString d = bnToBytes(key.d.get(), static_cast<size_t>(BN_num_bytes(EC_GROUP_get0_order(g))));
    rec.editPrivateKey().setValue(d);
    RecpkParameters params;
    ASN1ObjectIdentifier oid(ecCurveOid(key.curve));
    params.setNamedCurve(oid);
    rec.setParameters(params);
    ASN1BitString pub;
    const ByteString pt = pointOctets(key);
    pub.setBitString(pt.data(), pt.length(), 0);
    rec.setPublicKey(pub);
    der.assign(rec.toASN1Object());
    return !der.isEmpty();
}

bool encodePublic(const EcKey& key, ByteString& der) {
    if (groupOf(key.curve) == nullptr || !key.q) return false;
    RSubjectPublicKeyInfo spki;
    spki.editAlgorithm().editAlgorithm().setOID(kEcPublicKeyOid);
    ASN1ObjectIdentifier curve(ecCurveOid(key.curve));
    ASN1Any params;
    params.set(curve.toASN1Object());
    spki.editAlgorithm().setParameters(params);
    const ByteString pt = pointOctets(key);
    spki.editSubjectPublicKey().setBitString(pt.data(), pt.length(), 0);
    der.assign(spki.toASN1Object());
    return !der.isEmpty();
}

bool generateKeyPair(EcCurve c, EcKey& key) {
    const EC_GROUP* g = groupOf(c);
    BnCtxPtr ctx(BN_CTX_secure_new());
    if (g == nullptr || !ctx) return false;
    key.curve = c;
    key.d = randomScalar(EC_GROUP_get0_order(g), ctx.get());
    key.q.reset(EC_POINT_new(g));
    return key.d && key.q && EC_POINT_mul(g, key.q.get(), key.d.get(), nullptr, nullptr, ctx.get()) == 1;
}

std::unique_ptr<ZcapSigner> makeSigner(EcKey key) { return std::make_unique<EcdsaSigner>(std::move(key)); }

}  // namespace qelt::ecdsa_detail
