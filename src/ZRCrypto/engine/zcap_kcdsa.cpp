// KCDSA signatures, domain parameters and key pairs (see zcap_kcdsa.h).
#include "ZRCrypto/engine/zcap_kcdsa.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

#include <algorithm>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRCrypto/engine/zcap_random.h"

namespace qelt::kcdsa_detail {

namespace {

constexpr size_t kZLen = 64;  // z is the low 512 bits of y
constexpr int kMaxDraws = 100000;

BnPtr integerOf(const ASN1Integer& i) {
    ByteString mag;
    if (i.getInteger(mag, 0) != 0 || mag.isEmpty()) return nullptr;  // negative or empty
    return bnFromBytes(mag);
}

void setInteger(ASN1Integer& target, const BIGNUM* v) {
    ByteString b = bnToBytes(v);
    target.setInteger(b.data(), b.length(), 0);
}

bool domainValid(const KcdsaKey& k) {
    return k.p && k.q && k.g && k.y && BN_is_odd(k.p.get()) && BN_is_odd(k.q.get()) && !BN_is_zero(k.g.get()) &&
           BN_cmp(k.q.get(), k.p.get()) < 0 && BN_cmp(k.g.get(), k.p.get()) < 0 && !BN_is_zero(k.y.get()) &&
           BN_cmp(k.y.get(), k.p.get()) < 0 && BN_num_bits(k.q.get()) >= 64;
}

// Uniform-enough value in [1, q - 1] from the library's generator.
BnPtr randomBelow(const BIGNUM* q, BN_CTX* ctx) {
    const size_t n = static_cast<size_t>(BN_num_bytes(q)) + 8;
    for (int i = 0; i < kMaxDraws; ++i) {
        uint8_t buf[512 + 8];
        if (n > sizeof buf || zcapRandomBytes(buf, n) != ZCAP_OK) return nullptr;
        BnPtr v = bnSecure();
        BnPtr t(BN_bin2bn(buf, static_cast<int>(n), nullptr));
        secureWipe(buf, sizeof buf);
        if (!v || !t || BN_mod(v.get(), t.get(), q, ctx) != 1) return nullptr;
        if (!BN_is_zero(v.get())) return v;
    }
    return nullptr;
}

// The rightmost `want` bytes of the digest of `data` (all of it when shorter).
bool truncatedHash(const ZcapHashDescriptor& hash, const ByteString& data, size_t want, ByteString& out) {
    auto state = hash.create();
    uint8_t digest[64];
    if (!state || hash.digestLen > sizeof digest || !state->update(data.data(), static_cast<size_t>(data.length())) ||
        !state->final(digest))
        return false;
    const size_t take = std::min(want, hash.digestLen);
    out.set(digest + (hash.digestLen - take), static_cast<int>(take));
    return true;
}

// E = (r xor H) mod q.
BnPtr eValue(const ByteString& r, const uint8_t* h, size_t hLen, const BIGNUM* q, BN_CTX* ctx) {
    if (static_cast<size_t>(r.length()) != hLen) return nullptr;
    ByteString x(r);
    for (size_t i = 0; i < hLen; ++i) x.data()[i] ^= h[i];
    BnPtr e = bnFromBytes(x);
    if (!e || BN_nnmod(e.get(), e.get(), q, ctx) != 1) return nullptr;
    return e;
}

class KcdsaSigner final : public ZcapSigner {
public:
    KcdsaSigner(KcdsaKey key, bool fullY, const ZcapHashDescriptor& hash)
        : m_key(std::move(key)), m_fullY(fullY), m_hash(hash) {}

    bool prefix(ZcapHashState& state) override {
        const ByteString z = zValue(m_key, m_fullY);
        return state.update(z.data(), static_cast<size_t>(z.length()));
    }

    int sign(const uint8_t* digest, size_t len, uint8_t* out, int* outLen) override {
        if (!m_key.x) return ZCAP_INVALID_KEY;
        const size_t want = std::min(len, m_key.qBytes());
        ByteString r, s, der;
        if (!signHashed(m_key, m_hash, digest + (len - want), want, nullptr, r, s) || !encodeSignature(r, s, der))
            return ZCAP_STAGED_OPERATION_FAILED;
        if (*outLen < der.length()) return ZCAP_NOT_ENOUGH_BUFFER;
        std::copy(der.data(), der.data() + der.length(), out);
        *outLen = der.length();
        return ZCAP_OK;
    }

    int verify(const uint8_t* digest, size_t len, const uint8_t* sig, size_t sigLen) override {
        ByteString r;
        BnPtr s;
        if (!decodeSignature(sig, sigLen, r, s)) return ZCAP_INVALID_SIGNATURE;
        const size_t want = std::min(len, m_key.qBytes());
        return verifyHashed(m_key, m_hash, digest + (len - want), want, r, s.get()) ? ZCAP_OK : ZCAP_VERIFY_FAIL;
    }

private:
    KcdsaKey m_key;
    bool m_fullY;
    const ZcapHashDescriptor& m_hash;
};

}  // namespace

bool privateKeyFromDer(const uint8_t* der, size_t len, KcdsaKey& key) {
    RDSAPrivateKey rec(std::span<const uint8_t>(der, len));
    if (rec.errorCode() != 0 || !rec.hasX() || !rec.hasY()) return false;
    key.p = integerOf(rec.getP());
    key.q = integerOf(rec.getQ());
    key.g = integerOf(rec.getG());
    key.y = integerOf(rec.getY());
    key.x = integerOf(rec.getX());
    if (key.x) BN_set_flags(key.x.get(), BN_FLG_CONSTTIME);
    return domainValid(key) && key.x && !BN_is_zero(key.x.get()) && BN_cmp(key.x.get(), key.q.get()) < 0;
}

bool publicKeyFromDer(const uint8_t* der, size_t len, KcdsaKey& key) {
    RDSAPublicKey rec(std::span<const uint8_t>(der, len));
    if (rec.errorCode() != 0) return false;
    key.y = integerOf(rec.getY());
    key.p = integerOf(rec.getP());
    key.q = integerOf(rec.getQ());
    key.g = integerOf(rec.getG());
    key.x.reset();
    return domainValid(key);
}

ByteString zValue(const KcdsaKey& key, bool fullY) {
    return bnToBytes(key.y.get(), fullY ? key.pBytes() : kZLen);
}

bool signHashed(const KcdsaKey& key, const ZcapHashDescriptor& hash, const uint8_t* h, size_t hLen, const BIGNUM* k,
                ByteString& r, ByteString& s) {
    BnCtxPtr ctx(BN_CTX_secure_new());
    if (!ctx || !key.x) return false;
    for (int attempt = 0; attempt < 64; ++attempt) {
        BnPtr kk = k ? BnPtr(BN_dup(k)) : randomBelow(key.q.get(), ctx.get());
        BnPtr w = bnSecure(), ss = bnSecure();
        if (!kk || !w || !ss) return false;
        BN_set_flags(kk.get(), BN_FLG_CONSTTIME);
        if (BN_mod_exp_mont_consttime(w.get(), key.g.get(), kk.get(), key.p.get(), ctx.get(), nullptr) != 1)
            return false;
        if (!truncatedHash(hash, bnToBytes(w.get(), key.pBytes()), key.qBytes(), r)) return false;
        BnPtr e = eValue(r, h, hLen, key.q.get(), ctx.get());
        if (!e || BN_mod_sub(ss.get(), kk.get(), e.get(), key.q.get(), ctx.get()) != 1 ||
            BN_mod_mul(ss.get(), ss.get(), key.x.get(), key.q.get(), ctx.get()) != 1)
            return false;
        if (!BN_is_zero(ss.get())) {
            s = bnToBytes(ss.get());
            return true;
        }
        if (k) return false;  // a supplied nonce that gives s = 0 cannot be used
    }
    return false;
}

bool verifyHashed(const KcdsaKey& key, const ZcapHashDescriptor& hash, const uint8_t* h, size_t hLen,
                  const ByteString& r, const BIGNUM* s) {
    const size_t rLen = std::min(key.qBytes(), hash.digestLen);
    if (s == nullptr || static_cast<size_t>(r.length()) != rLen || BN_is_zero(s) || BN_is_negative(s) ||
        BN_cmp(s, key.q.get()) >= 0)
        return false;
    BnCtxPtr ctx(BN_CTX_new());
    BnPtr w = bnNew();
    if (!ctx || !w) return false;
    BnPtr e = eValue(r, h, hLen, key.q.get(), ctx.get());
    if (!e || BN_mod_exp2_mont(w.get(), key.y.get(), s, key.g.get(), e.get(), key.p.get(), ctx.get(), nullptr) != 1) {
        ERR_clear_error();
        return false;
    }
    ByteString r2;
    if (!truncatedHash(hash, bnToBytes(w.get(), key.pBytes()), key.qBytes(), r2)) return false;
    return r2.length() == r.length() && CRYPTO_memcmp(r2.data(), r.data(), static_cast<size_t>(r.length())) == 0;
}

bool encodeSignature(const ByteString& r, const ByteString& s, ByteString& der) {
    RKCDSASignatureValue rec;
    rec.editR().setBitString(r.data(), r.length(), 0);
    rec.editS().setInteger(s.data(), s.length(), 0);
    der.assign(rec.toASN1Object());
    return !der.isEmpty();
}

bool decodeSignature(const uint8_t* der, size_t len, ByteString& r, BnPtr& s) {
    if (der == nullptr || len == 0) return false;
    RKCDSASignatureValue rec(std::span<const uint8_t>(der, len));
    if (rec.errorCode() != 0) return false;
    ASN1BitString bits = rec.getR();
    int unused = 0;
    r.assign(bits.getBitString(unused));
    if (unused != 0 || r.isEmpty()) return false;
    s = integerOf(rec.getS());
    return s != nullptr;
}

std::unique_ptr<ZcapSigner> makeSigner(KcdsaKey key, bool fullY, const ZcapHashDescriptor& hash) {
    return std::make_unique<KcdsaSigner>(std::move(key), fullY, hash);
}

namespace {

// A random odd number of exactly `bits` bits from the library's generator.
BnPtr randomOdd(int bits) {
    const size_t n = static_cast<size_t>((bits + 7) / 8);
    uint8_t buf[512];
    if (n > sizeof buf || zcapRandomBytes(buf, n) != ZCAP_OK) return nullptr;
    BnPtr v(BN_bin2bn(buf, static_cast<int>(n), nullptr));
    secureWipe(buf, sizeof buf);
    if (!v) return nullptr;
    for (int b = static_cast<int>(n * 8) - 1; b >= bits; --b) BN_clear_bit(v.get(), b);
    BN_set_bit(v.get(), bits - 1);
    BN_set_bit(v.get(), 0);
    return v;
}

}  // namespace

bool generateDomain(int pBits, int qBits, KcdsaKey& key) {
    BnCtxPtr ctx(BN_CTX_new());
    if (!ctx || qBits < 64 || pBits <= qBits + 8) return false;
    BnPtr q;
    for (int i = 0; i < kMaxDraws && !q; ++i) {
        BnPtr c = randomOdd(qBits);
        if (!c) return false;
        if (BN_check_prime(c.get(), ctx.get(), nullptr) == 1) q = std::move(c);
    }
    if (!q) return false;
    // p = X - (X mod 2q) + 1 for random X of pBits bits: q divides p - 1.
    BnPtr twoQ = bnNew(), rem = bnNew(), p;
    if (!twoQ || !rem || BN_lshift1(twoQ.get(), q.get()) != 1) return false;
    for (int i = 0; i < kMaxDraws && !p; ++i) {
        BnPtr c = randomOdd(pBits);
        if (!c || BN_mod(rem.get(), c.get(), twoQ.get(), ctx.get()) != 1 || BN_sub(c.get(), c.get(), rem.get()) != 1 ||
            BN_add_word(c.get(), 1) != 1)
            return false;
        if (BN_num_bits(c.get()) == pBits && BN_check_prime(c.get(), ctx.get(), nullptr) == 1) p = std::move(c);
    }
    if (!p) return false;
    // g = h^((p-1)/q) mod p, not 1.
    BnPtr e = bnNew(), g = bnNew(), pm1(BN_dup(p.get()));
    if (!e || !g || !pm1 || BN_sub_word(pm1.get(), 1) != 1 || BN_div(e.get(), nullptr, pm1.get(), q.get(), ctx.get()) != 1)
        return false;
    for (BN_ULONG h = 2; h < 1000; ++h) {
        BnPtr hb = bnNew();
        if (!hb || BN_set_word(hb.get(), h) != 1 || BN_mod_exp(g.get(), hb.get(), e.get(), p.get(), ctx.get()) != 1)
            return false;
        if (!BN_is_one(g.get())) break;
    }
    if (BN_is_one(g.get())) return false;
    key.p = std::move(p);
    key.q = std::move(q);
    key.g = std::move(g);
    ERR_clear_error();
    return true;
}

bool generateKeyPair(KcdsaKey& key) {
    BnCtxPtr ctx(BN_CTX_secure_new());
    if (!ctx || !key.p || !key.q || !key.g) return false;
    key.x = randomBelow(key.q.get(), ctx.get());
    BnPtr xinv = bnSecure();
    key.y = bnNew();
    if (!key.x || !xinv || !key.y || !BN_mod_inverse(xinv.get(), key.x.get(), key.q.get(), ctx.get()) ||
        BN_mod_exp_mont_consttime(key.y.get(), key.g.get(), xinv.get(), key.p.get(), ctx.get(), nullptr) != 1) {
        ERR_clear_error();
        return false;
    }
    return true;
}

bool encodePrivate(const KcdsaKey& key, ByteString& der) {
    if (!key.x || !key.y) return false;
    RDSAPrivateKey rec;
    setInteger(rec.editP(), key.p.get());
    setInteger(rec.editQ(), key.q.get());
    setInteger(rec.editG(), key.g.get());
    ASN1Integer x, y;
    setInteger(x, key.x.get());
    setInteger(y, key.y.get());
    rec.setX(x);
    rec.setY(y);
    der.assign(rec.toASN1Object());
    return !der.isEmpty();
}

bool encodePublic(const KcdsaKey& key, ByteString& der) {
    if (!key.y) return false;
    RDSAPublicKey rec;
    setInteger(rec.editY(), key.y.get());
    setInteger(rec.editP(), key.p.get());
    setInteger(rec.editQ(), key.q.get());
    setInteger(rec.editG(), key.g.get());
    der.assign(rec.toASN1Object());
    return !der.isEmpty();
}

}  // namespace qelt::kcdsa_detail
