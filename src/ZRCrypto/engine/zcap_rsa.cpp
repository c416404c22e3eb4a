// RSA: PKCS#1 v1.5 encryption and signature blocks, OAEP, and the engine's
// RSA encryption descriptors. OpenSSL performs the modular exponentiations
// only (private operations constant-time, by CRT, and checked with the public
// exponent before release).
#include "ZRCrypto/engine/zcap_rsa.h"

#include <openssl/err.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "ASN1/asn1_cursor.h"
#include "ASN1Pkix/pkcs_keys.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "ZRCrypto/engine/zcap_random.h"

namespace qelt::rsa_detail {

namespace {

constexpr size_t kMinPadding = 8;  // PS is at least eight bytes
constexpr size_t kMaxHash = 64;

// A heap area wiped on release, for blocks that hold plaintext.
class Scratch {
public:
    explicit Scratch(size_t n) : m_p(new uint8_t[n == 0 ? 1 : n]()), m_n(n == 0 ? 1 : n) {}
    ~Scratch() { secureWipe(m_p.get(), m_n); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    uint8_t* get() { return m_p.get(); }

private:
    std::unique_ptr<uint8_t[]> m_p;
    size_t m_n;
};

// Constant-time helpers over size_t masks (all ones or zero).
inline size_t ctMaskZero(size_t x) { return size_t{0} - ((~x & (x - 1)) >> (sizeof(size_t) * 8 - 1)); }
inline size_t ctEq(size_t a, size_t b) { return ctMaskZero(a ^ b); }
inline size_t ctSelect(size_t mask, size_t a, size_t b) { return (mask & a) | (~mask & b); }
inline size_t ctGe(size_t a, size_t b) {  // a >= b for values far below 2^63
    return size_t{0} - (((a - b) >> (sizeof(size_t) * 8 - 1)) ^ 1);
}

bool hashParts(int hashId, std::initializer_list<std::span<const uint8_t>> parts, uint8_t* out, size_t* outLen) {
    const ZcapHashDescriptor* d = zcapHashDescriptor(hashId);
    if (d == nullptr) return false;
    auto state = d->create();
    if (!state) return false;
    for (auto p : parts)
        if (!p.empty() && !state->update(p.data(), p.size())) return false;
    if (!state->final(out)) return false;
    if (outLen) *outLen = d->digestLen;
    return true;
}

// MGF1: `len` mask bytes from the seed, xored into `target`.
bool mgf1Xor(int hashId, const uint8_t* seed, size_t seedLen, uint8_t* target, size_t len) {
    uint8_t block[kMaxHash];
    size_t hLen = 0;
    for (uint32_t counter = 0, done = 0; done < len; ++counter) {
        const uint8_t c[4] = {static_cast<uint8_t>(counter >> 24), static_cast<uint8_t>(counter >> 16),
                              static_cast<uint8_t>(counter >> 8), static_cast<uint8_t>(counter)};
        if (!hashParts(hashId, {{seed, seedLen}, {c, 4}}, block, &hLen)) return false;
        for (size_t i = 0; i < hLen && done < len; ++i, ++done) target[done] ^= block[i];
    }
    secureWipe(block, sizeof block);
    return true;
}

constexpr uint8_t kMd5Prefix[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                  0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr uint8_t kSha1Prefix[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                   0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
constexpr uint8_t kSha256Prefix[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                     0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};

// An INTEGER's content octets as a positive number (a leading zero octet
// changes nothing), read where they lie: a copy of a secret magnitude would
// be one more buffer to wipe. Null for an empty, negative or zero value.
BnPtr positiveOf(std::span<const uint8_t> content, bool secret) {
    if (content.empty() || (content[0] & 0x80) != 0) return nullptr;
    BnPtr n(secret ? BN_secure_new() : BN_new());
    if (!n || !BN_bin2bn(content.data(), static_cast<int>(content.size()), n.get()) || BN_is_zero(n.get()))
        return nullptr;
    if (secret) BN_set_flags(n.get(), BN_FLG_CONSTTIME);
    return n;
}

BnPtr positiveOf(const ASN1Integer& i, bool secret) { return positiveOf(i.getValue().bytes(), secret); }

// The contents of the INTEGERs of a two-prime RSAPrivateKey in its plain DER
// shape: a SEQUENCE of exactly nine INTEGERs, version 0, nothing after it.
// False for any other shape, which the key record then reads.
bool plainPrivateKeyIntegers(std::span<const uint8_t> der, std::array<std::span<const uint8_t>, 9>& ints) {
    std::span<const uint8_t> after;
    size_t sequenceLen = 0;
    return asn1::readLeadingIntegers(der, ints, after, sequenceLen) && sequenceLen == der.size() && after.empty() &&
           ints[0].size() == 1 && ints[0][0] == 0;
}

// The modulus must be odd and the public exponent odd and above 1.
// Sizes are held to what OpenSSL's RSA code also accepts: a modulus of at
// most 16384 bits and, above 3072 bits, a public exponent of at most 64 bits.
// Beyond them one operation with a crafted key (a certificate's, say) would
// take minutes.
bool plausible(const RsaKey& k) {
    constexpr int kMaxModulusBits = 16384, kSmallModulusBits = 3072, kMaxLargeModulusExponentBits = 64;
    if (!k.n || !k.e) return false;
    const int nBits = BN_num_bits(k.n.get());
    return BN_is_odd(k.n.get()) && BN_is_odd(k.e.get()) && !BN_is_one(k.e.get()) && nBits >= 256 &&
           nBits <= kMaxModulusBits && BN_cmp(k.e.get(), k.n.get()) < 0 &&
           (nBits <= kSmallModulusBits || BN_num_bits(k.e.get()) <= kMaxLargeModulusExponentBits);
}

// The private values have the sizes a real key gives them: the two primes
// together the size of n, each half exponent and the coefficient no longer
// than their prime. This bounds the work a damaged key can cause; a key
// whose values are wrong within these sizes is caught by the check of each
// result.
bool privateSizesPlausible(const RsaKey& k) {
    const int pBits = BN_num_bits(k.p.get()), qBits = BN_num_bits(k.q.get()), nBits = BN_num_bits(k.n.get());
    return pBits + qBits >= nBits && pBits + qBits <= nBits + 1 && BN_num_bits(k.dp.get()) <= pBits &&
           BN_num_bits(k.dq.get()) <= qBits && BN_num_bits(k.qinv.get()) <= pBits;
}

struct MontFree {
    void operator()(BN_MONT_CTX* m) const { BN_MONT_CTX_free(m); }
};
using MontPtr = std::unique_ptr<BN_MONT_CTX, MontFree>;

class RsaSigner final : public ZcapSigner {
public:
    RsaSigner(RsaKey key, int hashId, bool priv) : m_key(std::move(key)), m_hashId(hashId), m_private(priv) {}

    int sign(const uint8_t* digest, size_t len, uint8_t* out, int* outLen) override {
        if (!m_private) return ZCAP_INVALID_KEY;
        const size_t k = m_key.bytes();
        if (*outLen < 0 || static_cast<size_t>(*outLen) < k) return ZCAP_NOT_ENOUGH_BUFFER;
        ByteString info;
        if (!digestInfo(m_hashId, digest, len, info)) return ZCAP_STAGED_OPERATION_FAILED;
        Scratch block(k);
        if (!pkcs1Pad(1, k, info.data(), static_cast<size_t>(info.length()), block.get()) ||
            !rawPrivate(m_key, block.get(), out, k))
            return ZCAP_STAGED_OPERATION_FAILED;
        *outLen = static_cast<int>(k);
        return ZCAP_OK;
    }

    int verify(const uint8_t* digest, size_t len, const uint8_t* sig, size_t sigLen) override {
        const size_t k = m_key.bytes();
        if (sigLen != k) return ZCAP_INVALID_SIGNATURE;
        ByteString info;
        if (!digestInfo(m_hashId, digest, len, info)) return ZCAP_STAGED_OPERATION_FAILED;
        Scratch expected(k), recovered(k);
        if (!pkcs1Pad(1, k, info.data(), static_cast<size_t>(info.length()), expected.get()))
            return ZCAP_STAGED_OPERATION_FAILED;
        // A value not below the modulus is no signature at all.
        if (!rawPublic(m_key, sig, recovered.get(), k)) return ZCAP_INVALID_SIGNATURE;
        return CRYPTO_memcmp(expected.get(), recovered.get(), k) == 0 ? ZCAP_OK : ZCAP_VERIFY_FAIL;
    }

private:
    RsaKey m_key;
    int m_hashId;
    bool m_private;
};

}  // namespace

// Keys are read with the library's records straight into big numbers: no
// OpenSSL key object is built per call (its decoders and its blinding set-up
// each cost as much as the RSA operation itself).
bool publicKeyFromDer(const uint8_t* der, size_t len, RsaKey& key) {
    if (der == nullptr || len == 0) return false;
    RRSAPublicKey rec(std::span<const uint8_t>(der, len));
    if (rec.errorCode() != 0) return false;
    key = RsaKey{};
    key.n = positiveOf(rec.getModulus(), false);
    key.e = positiveOf(rec.getPublicExponent(), false);
    return plausible(key);
}

bool privateKeyFromDer(const uint8_t* der, size_t len, RsaKey& key) {
    if (der == nullptr || len == 0) return false;
    key = RsaKey{};
    // The usual shape is read from the octets in place; the record reads the
    // others (and is kept for the numbers' octets, which lie in it).
    std::array<std::span<const uint8_t>, 9> ints;
    std::optional<RRSAPrivateKey> rec;
    if (!plainPrivateKeyIntegers(std::span<const uint8_t>(der, len), ints)) {
        rec.emplace(std::span<const uint8_t>(der, len));
        if (rec->errorCode() != 0) return false;
        ints = {std::span<const uint8_t>(), rec->getModulus().getValue().bytes(),
                rec->getPublicExponent().getValue().bytes(), rec->getPrivateExponent().getValue().bytes(),
                rec->getPrime1().getValue().bytes(), rec->getPrime2().getValue().bytes(),
                rec->getExponent1().getValue().bytes(), rec->getExponent2().getValue().bytes(),
                rec->getCoefficient().getValue().bytes()};
    }
    key.n = positiveOf(ints[1], false);
    key.e = positiveOf(ints[2], false);
    key.p = positiveOf(ints[4], true);
    key.q = positiveOf(ints[5], true);
    key.dp = positiveOf(ints[6], true);
    key.dq = positiveOf(ints[7], true);
    key.qinv = positiveOf(ints[8], true);
    return plausible(key) && key.p && key.q && key.dp && key.dq && key.qinv && BN_is_odd(key.p.get()) &&
           BN_is_odd(key.q.get()) && privateSizesPlausible(key);
}

namespace {

struct MontShared {
    void operator()(BN_MONT_CTX* m) const { BN_MONT_CTX_free(m); }
};

// Montgomery set-up of recently used public moduli, kept between calls: for a
// 2048-bit key it costs about a fifth of a whole verification, and callers
// verify with the same few CA and signer keys over and over. Only moduli are
// kept, never a private value; a few entries replaced in turn bound the memory.
class PublicMontgomeryCache {
public:
    std::shared_ptr<BN_MONT_CTX> get(const BIGNUM* n) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            for (const Entry& e : m_entries)
                if (e.n && BN_cmp(e.n.get(), n) == 0) return e.mont;
        }
        // Computed outside the lock; two threads missing at once both compute it.
        BnCtxPtr ctx(BN_CTX_new());
        std::shared_ptr<BN_MONT_CTX> mont(BN_MONT_CTX_new(), MontShared{});
        BnPtr copy(BN_dup(n));
        if (!ctx || !mont || !copy || BN_MONT_CTX_set(mont.get(), n, ctx.get()) != 1) {
            ERR_clear_error();
            return nullptr;
        }
        std::lock_guard<std::mutex> hold(m_lock);
        Entry& slot = m_entries[m_next];
        m_next = (m_next + 1) % m_entries.size();
        slot.n = std::move(copy);
        slot.mont = mont;
        return mont;
    }

private:
    struct Entry {
        BnPtr n;
        std::shared_ptr<BN_MONT_CTX> mont;
    };
    std::mutex m_lock;
    std::array<Entry, 8> m_entries;
    size_t m_next = 0;
};

std::shared_ptr<BN_MONT_CTX> publicMontgomery(const BIGNUM* n) {
    static PublicMontgomeryCache cache;
    return cache.get(n);
}

// x^e mod n, all three public: the variable-time window method.
bool publicPower(const RsaKey& key, const BIGNUM* x, BIGNUM* out, BN_CTX* ctx) {
    const std::shared_ptr<BN_MONT_CTX> mont = publicMontgomery(key.n.get());
    return mont && BN_mod_exp_mont(out, x, key.e.get(), key.n.get(), ctx, mont.get()) == 1;
}

// r = a mod m for a prime factor m of the key, `other` the other factor,
// mont prepared for m; the caller has checked a < n = m·other. When other
// fits under R, the Montgomery radix of m (true when the two primes are of a
// size), a < m·R and the value goes out of the Montgomery form and back,
// a·R⁻¹·R: two constant-time Montgomery steps instead of a long division of
// a secret number. Otherwise the constant-time division.
bool reduceModPrime(BIGNUM* r, const BIGNUM* a, const BIGNUM* m, const BIGNUM* other, BN_MONT_CTX* mont,
                    BN_CTX* ctx) {
    const int radixBits = (BN_num_bits(m) + BN_BITS2 - 1) / BN_BITS2 * BN_BITS2;
    if (BN_num_bits(other) > radixBits) return BN_mod(r, a, m, ctx) == 1;
    return BN_from_montgomery(r, a, mont, ctx) == 1 && BN_to_montgomery(r, r, mont, ctx) == 1;
}

// Whether t^e = c modulo one prime factor r of the key (cr = c mod r, mont
// prepared for r). t is reduced (reduceModPrime), then raised to e by square-and-multiply in Montgomery form: the
// sequence of Montgomery multiplications depends only on the public e, and
// each of them ends without a data-dependent branch. Done by hand rather than
// by BN_mod_exp_mont, which would need unflagged copies of the base and the
// modulus (a flagged one sends it down the fixed-window path, five times as
// costly for a 17-bit exponent) and temporaries of its own; here the
// temporaries come from `ctx`.
bool agreesModPrime(const RsaKey& key, const BIGNUM* t, const BIGNUM* r, const BIGNUM* other, BN_MONT_CTX* mont,
                    const BIGNUM* cr, BN_CTX* ctx) {
    const BIGNUM* e = key.e.get();
    BN_CTX_start(ctx);
    BIGNUM* base = BN_CTX_get(ctx);
    BIGNUM* power = BN_CTX_get(ctx);
    bool ok = power != nullptr && reduceModPrime(base, t, r, other, mont, ctx) &&
              BN_to_montgomery(base, base, mont, ctx) == 1 && BN_copy(power, base) != nullptr;
    for (int bit = BN_num_bits(e) - 2; ok && bit >= 0; --bit) {
        ok = BN_mod_mul_montgomery(power, power, power, mont, ctx) == 1;
        if (ok && BN_is_bit_set(e, bit)) ok = BN_mod_mul_montgomery(power, power, base, mont, ctx) == 1;
    }
    ok = ok && BN_from_montgomery(power, power, mont, ctx) == 1 && BN_cmp(power, cr) == 0;
    BN_CTX_end(ctx);
    return ok;
}

}  // namespace

bool rawPublic(const RsaKey& key, const uint8_t* in, uint8_t* out, size_t k) {
    BnCtxPtr ctx(BN_CTX_new());
    BnPtr c = bnNew(), m = bnNew();
    const bool ok = ctx && c && m && k == key.bytes() && BN_bin2bn(in, static_cast<int>(k), c.get()) &&
                    BN_cmp(c.get(), key.n.get()) < 0 && publicPower(key, c.get(), m.get(), ctx.get()) &&
                    BN_bn2binpad(m.get(), out, static_cast<int>(k)) == static_cast<int>(k);
    if (!ok) ERR_clear_error();
    return ok;
}

// x^d mod n by the Chinese remainder theorem, with OpenSSL's constant-time
// Montgomery exponentiation (both halves in one call, which OpenSSL runs side
// by side where the CPU allows). Its fixed-window code takes the same time
// whatever the exponent and the base. OpenSSL's own private operation adds
// base blinding, whose set-up computes a modular inverse for every new key
// object: keys are not kept between calls here, so that set-up would cost as
// much as the exponentiation. The result is checked with the public exponent
// before it is released, so that a fault cannot reveal a factor: t < n and
// t^e = c modulo p and modulo q (which by the remainder theorem is t^e = c
// modulo n, at half the cost of raising t modulo n). That holds because
// n = p·q, which is checked first: a key whose n is not the product of its
// primes would otherwise give a result right for p·q and wrong for n.
bool rawPrivate(const RsaKey& key, const uint8_t* in, uint8_t* out, size_t k) {
    if (!key.isPrivate() || k != key.bytes()) return false;
    const BIGNUM *n = key.n.get(), *p = key.p.get(), *q = key.q.get();
    // Temporaries from the context's secure pool (wiped when it is freed)
    // instead of seven numbers allocated and cleansed one by one.
    BnCtxPtr ctx(BN_CTX_secure_new());
    MontPtr mp(BN_MONT_CTX_new()), mq(BN_MONT_CTX_new());
    if (!ctx || !mp || !mq) return false;
    BN_CTX_start(ctx.get());
    BIGNUM* c = BN_CTX_get(ctx.get());
    BIGNUM* cp = BN_CTX_get(ctx.get());
    BIGNUM* cq = BN_CTX_get(ctx.get());
    BIGNUM* m1 = BN_CTX_get(ctx.get());
    BIGNUM* m2 = BN_CTX_get(ctx.get());
    BIGNUM* h = BN_CTX_get(ctx.get());
    BIGNUM* t = BN_CTX_get(ctx.get());
    BIGNUM* qinv = BN_CTX_get(ctx.get());
    if (qinv != nullptr)
        for (BIGNUM* b : {c, cp, cq, m1, m2, h, t, qinv}) BN_set_flags(b, BN_FLG_CONSTTIME);
    const bool ok = qinv != nullptr && BN_mul(t, p, q, ctx.get()) == 1 && BN_cmp(t, n) == 0 &&
                    BN_bin2bn(in, static_cast<int>(k), c) && BN_cmp(c, n) < 0 &&
                    BN_MONT_CTX_set(mp.get(), p, ctx.get()) == 1 && BN_MONT_CTX_set(mq.get(), q, ctx.get()) == 1 &&
                    reduceModPrime(cp, c, p, q, mp.get(), ctx.get()) && reduceModPrime(cq, c, q, p, mq.get(), ctx.get()) &&
                    BN_mod_exp_mont_consttime_x2(m1, cp, key.dp.get(), p, mp.get(), m2, cq, key.dq.get(), q, mq.get(),
                                                 ctx.get()) == 1 &&
                    // m = m2 + q * (qInv (m1 - m2) mod p); the product mod p as a
                    // Montgomery product with qInv in Montgomery form.
                    BN_mod_sub(h, m1, m2, p, ctx.get()) == 1 &&
                    BN_to_montgomery(qinv, key.qinv.get(), mp.get(), ctx.get()) == 1 &&
                    BN_mod_mul_montgomery(h, h, qinv, mp.get(), ctx.get()) == 1 && BN_mul(t, h, q, ctx.get()) == 1 &&
                    BN_add(t, t, m2) == 1 && BN_cmp(t, n) < 0 && agreesModPrime(key, t, p, q, mp.get(), cp, ctx.get()) &&
                    agreesModPrime(key, t, q, p, mq.get(), cq, ctx.get()) &&
                    BN_bn2binpad(t, out, static_cast<int>(k)) == static_cast<int>(k);
    BN_CTX_end(ctx.get());
    if (!ok) ERR_clear_error();
    return ok;
}

bool pkcs1Pad(int type, size_t k, const uint8_t* msg, size_t len, uint8_t* block) {
    if (k < 11 + len || (type != 1 && type != 2)) return false;
    const size_t ps = k - 3 - len;
    block[0] = 0x00;
    block[1] = static_cast<uint8_t>(type);
    if (type == 1) {
        std::memset(block + 2, 0xFF, ps);
    } else {
        if (zcapRandomBytes(block + 2, ps) != ZCAP_OK) return false;
        // Zero bytes are replaced by fresh non-zero ones, drawn together: one
        // generator request per pass instead of one per zero byte.
        uint8_t spare[32];
        size_t zeros = 0;
        for (size_t i = 0; i < ps; ++i) zeros += block[2 + i] == 0;
        while (zeros != 0) {
            const size_t want = std::min(sizeof spare, zeros + 4);
            if (zcapRandomBytes(spare, want) != ZCAP_OK) return false;
            size_t next = 0;
            for (size_t i = 0; i < ps && next < want; ++i) {
                if (block[2 + i] != 0) continue;
                while (next < want && spare[next] == 0) ++next;
                if (next == want) break;
                block[2 + i] = spare[next++];
                --zeros;
            }
        }
        secureWipe(spare, sizeof spare);
    }
    block[2 + ps] = 0x00;
    if (len > 0) std::memcpy(block + 3 + ps, msg, len);
    return true;
}

int pkcs1Unpad(int type, const uint8_t* block, size_t k, uint8_t* out) {
    if (k < 11) return -1;
    if (type == 1) {
        if (block[0] != 0 || block[1] != 1) return -1;
        size_t i = 2;
        while (i < k && block[i] == 0xFF) ++i;
        if (i >= k || block[i] != 0 || i - 2 < kMinPadding) return -1;
        const size_t len = k - i - 1;
        if (len > 0) std::memcpy(out, block + i + 1, len);
        return static_cast<int>(len);
    }
    if (type != 2) return -1;
    // Block type 02 carries a secret: find the separator without branching on data.
    size_t good = ctEq(block[0], 0) & ctEq(block[1], 2);
    size_t found = 0, zeroIndex = 0;
    for (size_t i = 2; i < k; ++i) {
        const size_t isZero = ctMaskZero(block[i]);
        zeroIndex = ctSelect(~found & isZero, i, zeroIndex);
        found |= isZero;
    }
    good &= found & ctGe(zeroIndex, 2 + kMinPadding);
    if (!good) return -1;
    const size_t len = k - zeroIndex - 1;
    if (len > 0) std::memcpy(out, block + zeroIndex + 1, len);
    return static_cast<int>(len);
}

bool oaepEncode(int hashId, int mgfId, size_t k, const uint8_t* msg, size_t len, const uint8_t* seed, uint8_t* block) {
    uint8_t lHash[kMaxHash];
    size_t hLen = 0;
    if (!hashParts(hashId, {}, lHash, &hLen)) return false;
    if (k < 2 * hLen + 2 || len > k - 2 * hLen - 2) return false;
    uint8_t* maskedSeed = block + 1;
    uint8_t* db = block + 1 + hLen;
    const size_t dbLen = k - hLen - 1;
    block[0] = 0;
    std::memcpy(db, lHash, hLen);
    std::memset(db + hLen, 0, dbLen - hLen - len - 1);
    db[dbLen - len - 1] = 0x01;
    if (len > 0) std::memcpy(db + dbLen - len, msg, len);
    if (seed != nullptr)
        std::memcpy(maskedSeed, seed, hLen);
    else if (zcapRandomBytes(maskedSeed, hLen) != ZCAP_OK)
        return false;
    return mgf1Xor(mgfId, maskedSeed, hLen, db, dbLen) && mgf1Xor(mgfId, db, dbLen, maskedSeed, hLen);
}

int oaepDecode(int hashId, int mgfId, const uint8_t* block, size_t k, uint8_t* out) {
    uint8_t lHash[kMaxHash];
    size_t hLen = 0;
    if (!hashParts(hashId, {}, lHash, &hLen)) return -1;
    if (k < 2 * hLen + 2) return -1;
    Scratch em(k);
    std::memcpy(em.get(), block, k);
    uint8_t* seed = em.get() + 1;
    uint8_t* db = em.get() + 1 + hLen;
    const size_t dbLen = k - hLen - 1;
    if (!mgf1Xor(mgfId, db, dbLen, seed, hLen) || !mgf1Xor(mgfId, seed, hLen, db, dbLen)) return -1;
    size_t good = ctEq(em.get()[0], 0);
    for (size_t i = 0; i < hLen; ++i) good &= ctEq(db[i], lHash[i]);
    size_t found = 0, oneIndex = 0;
    for (size_t i = hLen; i < dbLen; ++i) {
        const size_t isOne = ctEq(db[i], 1);
        const size_t isZero = ctMaskZero(db[i]);
        oneIndex = ctSelect(~found & isOne, i, oneIndex);
        good &= found | isZero | isOne;  // only zeros may come before the 01
        found |= isOne;
    }
    good &= found;
    if (!good) return -1;
    const size_t len = dbLen - oneIndex - 1;
    if (len > 0) std::memcpy(out, db + oneIndex + 1, len);
    return static_cast<int>(len);
}

bool digestInfo(int hashId, const uint8_t* digest, size_t len, ByteString& out) {
    std::span<const uint8_t> prefix;
    switch (hashId) {
        case ENGINE_MD5:
            prefix = kMd5Prefix;
            break;
        case ENGINE_SHA1:
            prefix = kSha1Prefix;
            break;
        case ENGINE_SHA256:
            prefix = kSha256Prefix;
            break;
        default:
            return false;
    }
    if (len != prefix.back()) return false;
    out.set(prefix.data(), static_cast<int>(prefix.size()));
    out.append(digest, static_cast<int>(len));
    return true;
}

std::unique_ptr<ZcapSigner> makeSigner(RsaKey key, int hashId, bool privateKey) {
    return std::make_unique<RsaSigner>(std::move(key), hashId, privateKey);
}

}  // namespace qelt::rsa_detail

namespace qelt {

namespace {

// The RSA encryption descriptors share one path; `decrypt` picks the direction.
int rsaCrypt(bool decrypt, int id, int mode, const uint8_t* key, int keyLen, const uint8_t* in, int inLen, uint8_t* out,
             int* outLen) {
    using namespace rsa_detail;
    const ZcapPkDescriptor* d = zcapPkDescriptor(id);
    if (d == nullptr || (d->scheme != PkScheme::RsaPkcs1 && d->scheme != PkScheme::RsaOaep))
        return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_ALGORITHM);
    if (mode != ENGINE_MODE_PUBLIC && mode != ENGINE_MODE_PRIVATE)
        return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_MODE);
    const bool withPrivate = mode == ENGINE_MODE_PRIVATE;
    // OAEP encrypts with the public key and decrypts with the private key only.
    if (d->scheme == PkScheme::RsaOaep && withPrivate != decrypt)
        return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_MODE);
    if (key == nullptr || keyLen <= 0) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_KEY_POINTER);
    RsaKey pkey;
    const bool loaded = withPrivate ? privateKeyFromDer(key, static_cast<size_t>(keyLen), pkey)
                                    : publicKeyFromDer(key, static_cast<size_t>(keyLen), pkey);
    if (!loaded) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_ASN1_OPERATION_FAILED);
    if (pkey.bits() != d->bits) return zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_KEY);
    if (in == nullptr || inLen < 0 || outLen == nullptr || out == nullptr)
        return zcapWithStage(ZCAP_STAGE_UPDATE, ZCAP_INVALID_DATA_POINTER);
    if (static_cast<size_t>(inLen) > ZCAP_STAGING_LEN) return zcapWithStage(ZCAP_STAGE_UPDATE, ZCAP_NOT_ENOUGH_BUFFER);

    const size_t k = pkey.bytes();
    if (*outLen < 0 || static_cast<size_t>(*outLen) < k) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_NOT_ENOUGH_BUFFER);
    Scratch block(k);
    const size_t n = static_cast<size_t>(inLen);
    if (!decrypt) {
        const bool padded = d->scheme == PkScheme::RsaOaep
                                ? oaepEncode(d->hashId, d->mgfHashId, k, in, n, nullptr, block.get())
                                : pkcs1Pad(withPrivate ? 1 : 2, k, in, n, block.get());
        const bool ok =
            padded && (withPrivate ? rawPrivate(pkey, block.get(), out, k) : rawPublic(pkey, block.get(), out, k));
        if (!ok) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED);
        *outLen = static_cast<int>(k);
        return ZCAP_OK;
    }
    if (n != k) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED);
    const bool ok = withPrivate ? rawPrivate(pkey, in, block.get(), k) : rawPublic(pkey, in, block.get(), k);
    if (!ok) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED);
    const int len = d->scheme == PkScheme::RsaOaep ? oaepDecode(d->hashId, d->mgfHashId, block.get(), k, out)
                                                   : pkcs1Unpad(withPrivate ? 2 : 1, block.get(), k, out);
    if (len < 0) return zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED);
    *outLen = len;
    return ZCAP_OK;
}

}  // namespace

int ZCAP_PkEncryptData(int id, int mode, const uint8_t* key, int keyLen, const uint8_t* in, int inLen, uint8_t* out,
                       int* outLen) {
    return rsaCrypt(false, id, mode, key, keyLen, in, inLen, out, outLen);
}
int ZCAP_PkDecryptData(int id, int mode, const uint8_t* key, int keyLen, const uint8_t* in, int inLen, uint8_t* out,
                       int* outLen) {
    return rsaCrypt(true, id, mode, key, keyLen, in, inLen, out, outLen);
}

}  // namespace qelt
