// The public-key engine against published vectors: PKCS#1 v1.5 signatures,
// encryption blocks and OAEP on keys of any size, and the KCDSA worked
// examples with their nonces.
#include <gtest/gtest.h>


#include <fstream>
#include <map>

#include "ASN1/asn1_object.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_kcdsa.h"
#include "ZRCrypto/engine/zcap_pkey.h"
#include "ZRCrypto/engine/zcap_rsa.h"
#include "kat_reader.h"

namespace qelt::test {
namespace {

using Fields = std::map<std::string, std::string>;

// Botan-style vectors whose last line is `terminator`.
std::vector<std::pair<std::string, Fields>> readVectors(const std::string& file, const std::string& terminator) {
    std::vector<std::pair<std::string, Fields>> out;
    std::ifstream in(std::string(QELT_TEST_DATA_DIR) + "/pkey/" + file);
    std::string line, section;
    Fields cur;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = trim(line.substr(0, eq));
        cur[name] = trim(line.substr(eq + 1));
        if (name == terminator) out.emplace_back(section, cur);
    }
    return out;
}

BnPtr number(const std::string& text) {
    BIGNUM* b = nullptr;
    if (text.rfind("0x", 0) == 0) BN_hex2bn(&b, text.c_str() + 2);
    else BN_dec2bn(&b, text.c_str());
    return BnPtr(b);
}

// An RSA key from e, p and q.
rsa_detail::RsaKey rsaKey(const Fields& f) {
    BnCtxPtr ctx(BN_CTX_new());
    rsa_detail::RsaKey k;
    k.e = number(f.at("E"));
    k.p = number(f.at("P"));
    k.q = number(f.at("Q"));
    BnPtr d = bnNew(), p1 = bnNew(), q1 = bnNew(), phi = bnNew();
    k.n = bnNew();
    k.dp = bnNew();
    k.dq = bnNew();
    k.qinv = bnNew();
    BN_mul(k.n.get(), k.p.get(), k.q.get(), ctx.get());
    BN_sub(p1.get(), k.p.get(), BN_value_one());
    BN_sub(q1.get(), k.q.get(), BN_value_one());
    BN_mul(phi.get(), p1.get(), q1.get(), ctx.get());
    BN_mod_inverse(d.get(), k.e.get(), phi.get(), ctx.get());
    BN_mod(k.dp.get(), d.get(), p1.get(), ctx.get());
    BN_mod(k.dq.get(), d.get(), q1.get(), ctx.get());
    BN_mod_inverse(k.qinv.get(), k.q.get(), k.p.get(), ctx.get());
    return k;
}

Bytes digestOf(int hashId, const Bytes& msg) {
    const ZcapHashDescriptor* d = zcapHashDescriptor(hashId);
    auto s = d->create();
    Bytes out(d->digestLen);
    EXPECT_TRUE(s->update(msg.data(), msg.size()));
    EXPECT_TRUE(s->final(out.data()));
    return out;
}

TEST(RsaVectors, Pkcs1SignaturesSignAndVerify) {
    const std::map<std::string, int> hashes = {
        {"PKCS1v15(MD5)", ENGINE_MD5}, {"PKCS1v15(SHA-1)", ENGINE_SHA1}, {"PKCS1v15(SHA-256)", ENGINE_SHA256}};
    int count = 0;
    for (const auto& [section, f] : readVectors("rsa_sig.vec", "Signature")) {
        const int hashId = hashes.at(section);
        const Bytes digest = digestOf(hashId, hexBytes(f.at("Msg")));
        const Bytes expected = hexBytes(f.at("Signature"));
        Bytes sig(expected.size() + 8);
        int len = static_cast<int>(sig.size());
        auto signer = rsa_detail::makeSigner(rsaKey(f), hashId, true);
        ASSERT_EQ(signer->sign(digest.data(), digest.size(), sig.data(), &len), ZCAP_OK) << section;
        sig.resize(static_cast<size_t>(len));
        EXPECT_EQ(sig, expected) << section << " vector " << count;
        EXPECT_EQ(signer->verify(digest.data(), digest.size(), expected.data(), expected.size()), ZCAP_OK);
        Bytes bad = expected;
        bad[bad.size() / 2] ^= 0x01;
        EXPECT_NE(signer->verify(digest.data(), digest.size(), bad.data(), bad.size()), ZCAP_OK);
        ++count;
    }
    EXPECT_EQ(count, 25);
}

TEST(RsaVectors, EncryptionBlocksDecryptAndOaepEncodes) {
    int count = 0;
    for (const auto& [section, f] : readVectors("rsaes.vec", "Ciphertext")) {
        const rsa_detail::RsaKey key = rsaKey(f);
        const size_t k = key.bytes();
        Bytes ct = hexBytes(f.at("Ciphertext")), block(k), msg(k);
        ct.insert(ct.begin(), k - ct.size(), 0);
        ASSERT_TRUE(rsa_detail::rawPrivate(key, ct.data(), block.data(), k));
        const bool oaep = section == "OAEP(SHA-1)";
        const int len = oaep ? rsa_detail::oaepDecode(ENGINE_SHA1, ENGINE_SHA1, block.data(), k, msg.data())
                             : rsa_detail::pkcs1Unpad(2, block.data(), k, msg.data());
        ASSERT_GE(len, 0) << section << " " << count;
        msg.resize(static_cast<size_t>(len));
        EXPECT_EQ(msg, hexBytes(f.at("Msg")));
        if (oaep) {  // with the vector's seed the encoding is deterministic
            const Bytes seed = hexBytes(f.at("Nonce"));
            Bytes em(k), out(k);
            ASSERT_TRUE(rsa_detail::oaepEncode(ENGINE_SHA1, ENGINE_SHA1, k, msg.data(), msg.size(), seed.data(), em.data()));
            ASSERT_TRUE(rsa_detail::rawPublic(key, em.data(), out.data(), k));
            EXPECT_EQ(out, ct);
        }
        ++count;
    }
    EXPECT_GT(count, 40);
    // SHA-256 OAEP with MGF1-SHA-1.
    count = 0;
    for (const auto& [section, f] : readVectors("rsa_decrypt.vec", "Msg")) {
        const rsa_detail::RsaKey key = rsaKey(f);
        const size_t k = key.bytes();
        Bytes ct = hexBytes(f.at("Ciphertext")), block(k), msg(k);
        ASSERT_TRUE(rsa_detail::rawPrivate(key, ct.data(), block.data(), k));
        const int len = rsa_detail::oaepDecode(ENGINE_SHA256, ENGINE_SHA1, block.data(), k, msg.data());
        ASSERT_GE(len, 0);
        msg.resize(static_cast<size_t>(len));
        EXPECT_EQ(msg, hexBytes(f.at("Msg")));
        ++count;
    }
    EXPECT_EQ(count, 6);
}

// A private operation whose half results are wrong (a corrupted dp, dq or
// qInv stands in for a fault during the computation) must not release its
// result: such a result would give away a factor of the modulus.
TEST(RsaVectors, FaultyPrivateResultIsWithheld) {
    const auto vectors = readVectors("rsaes.vec", "Ciphertext");
    ASSERT_FALSE(vectors.empty());
    const Fields& f = vectors.front().second;
    for (const char* part : {"none", "dp", "dq", "qinv"}) {
        rsa_detail::RsaKey key = rsaKey(f);
        const std::string which = part;
        BIGNUM* victim = which == "dp" ? key.dp.get() : which == "dq" ? key.dq.get() : key.qinv.get();
        if (which != "none") BN_add_word(victim, 2);
        const size_t k = key.bytes();
        Bytes ct = hexBytes(f.at("Ciphertext")), block(k, 0xEE);
        ct.insert(ct.begin(), k - ct.size(), 0);
        EXPECT_EQ(rsa_detail::rawPrivate(key, ct.data(), block.data(), k), which == "none") << part;
    }
}

TEST(RsaVectors, Type2BlocksAcceptedAndRefused) {
    int valid = 0, invalid = 0;
    for (const auto& [section, f] : readVectors("pkcs1.vec", "RawCiphertext")) {
        const Bytes block = hexBytes(f.at("RawCiphertext"));
        Bytes out(block.size() + 1);
        const int len = rsa_detail::pkcs1Unpad(2, block.data(), block.size(), out.data());
        if (section == "valid") {
            ASSERT_GE(len, 0) << f.at("RawCiphertext");
            out.resize(static_cast<size_t>(len));
            EXPECT_EQ(out, hexBytes(f.at("Plaintext")));
            ++valid;
        } else {
            EXPECT_EQ(len, -1) << f.at("RawCiphertext");
            ++invalid;
        }
    }
    EXPECT_EQ(valid, 7);
    EXPECT_EQ(invalid, 11);
}

// SHA-224 is outside the engine's hash set; the examples use it for W as well.
struct Sha224State final : ZcapHashState {
    EVP_MD_CTX* c = EVP_MD_CTX_new();
    Sha224State() { EVP_DigestInit_ex(c, EVP_sha224(), nullptr); }
    ~Sha224State() override { EVP_MD_CTX_free(c); }
    bool update(const uint8_t* d, size_t n) override { return EVP_DigestUpdate(c, d, n) == 1; }
    bool final(uint8_t* out) override { return EVP_DigestFinal_ex(c, out, nullptr) == 1; }
};
const ZcapHashDescriptor kSha224{224, 28, 64, [] { return std::unique_ptr<ZcapHashState>(new Sha224State); }};

TEST(KcdsaVectors, WorkedExamplesReproduceRAndS) {
    // The file is a list of flat objects, one "name": value member per line.
    std::vector<Fields> cases;
    std::ifstream in(std::string(QELT_TEST_DATA_DIR) + "/pkey/kcdsa_ttak_r4_appendix.json");
    for (std::string line; std::getline(in, line);) {
        line = trim(line);
        if (line == "{") cases.emplace_back();
        const size_t colon = line.find("\": ");
        if (cases.empty() || line.empty() || line[0] != '"' || colon == std::string::npos) continue;
        std::string value = trim(line.substr(colon + 3));
        if (!value.empty() && value.back() == ',') value.pop_back();
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        cases.back()[line.substr(1, colon - 1)] = value;
    }
    ASSERT_EQ(cases.size(), 5u);
    for (const auto& c : cases) {
        const std::string hashName = c.at("hash");
        const ZcapHashDescriptor& hash = hashName == "SHA-224"   ? kSha224
                                         : hashName == "SHA-256" ? *zcapHashDescriptor(ENGINE_SHA256)
                                                                 : *zcapHashDescriptor(ENGINE_HAS160);
        kcdsa_detail::KcdsaKey key;
        auto bn = [&](const char* name) {
            const Bytes b = hexBytes(c.at(name));
            return bnFromBytes(b.data(), b.size());
        };
        key.p = bn("P");
        key.q = bn("Q");
        key.g = bn("G");
        key.x = bn("X");
        key.y = bn("Y");
        const ByteString z = kcdsa_detail::zValue(key, false);
        EXPECT_EQ(Bytes(z.data(), z.data() + z.length()), hexBytes(c.at("Z")));
        // H = the rightmost |q| bits of Hash(z || M).
        Bytes zm(z.data(), z.data() + z.length());
        const Bytes m = hexBytes(c.at("M"));
        zm.insert(zm.end(), m.begin(), m.end());
        auto st = hash.create();
        Bytes h(hash.digestLen);
        ASSERT_TRUE(st->update(zm.data(), zm.size()) && st->final(h.data()));
        h.erase(h.begin(), h.end() - static_cast<long>(key.qBytes() < h.size() ? key.qBytes() : h.size()));
        ByteString r, s;
        BnPtr k = bn("K");
        ASSERT_TRUE(kcdsa_detail::signHashed(key, hash, h.data(), h.size(), k.get(), r, s)) << c.at("origin");
        EXPECT_EQ(Bytes(r.data(), r.data() + r.length()), hexBytes(c.at("R"))) << c.at("alpha") << "/" << hashName;
        EXPECT_EQ(Bytes(s.data(), s.data() + s.length()), hexBytes(c.at("S"))) << c.at("alpha") << "/" << hashName;
        BnPtr sv = bnFromBytes(s);
        EXPECT_TRUE(kcdsa_detail::verifyHashed(key, hash, h.data(), h.size(), r, sv.get()));
        h[0] ^= 1;
        EXPECT_FALSE(kcdsa_detail::verifyHashed(key, hash, h.data(), h.size(), r, sv.get()));
    }
}

// Engine-level rules: sizes, forms, capacities and malformed signatures.
class PkEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(zcapGenerateKeyPair(141401, ByteString(), s_kcdsaPub, s_kcdsaPri), ZCAP_OK);
        ASSERT_EQ(zcapGenerateKeyPair(12001, ByteString(), s_rsaPub, s_rsaPri), ZCAP_OK);
    }
    static inline ByteString s_kcdsaPub, s_kcdsaPri, s_rsaPub, s_rsaPri;
};

TEST_F(PkEngine, KcdsaFormsDoNotCrossVerify) {
    const uint8_t msg[] = "message";
    for (int signId : {141401, 141403}) {
        uint8_t sig[64];
        int len = sizeof sig;
        ASSERT_EQ(ZCAP_SignData(signId, s_kcdsaPri.data(), s_kcdsaPri.length(), msg, 7, sig, &len), ZCAP_OK);
        EXPECT_LE(len, 48);
        const int other = signId == 141401 ? 141403 : 141401;
        EXPECT_EQ(ZCAP_VerifyData(signId, s_kcdsaPub.data(), s_kcdsaPub.length(), msg, 7, sig, len), ZCAP_OK);
        EXPECT_EQ(ZCAP_VerifyData(other, s_kcdsaPub.data(), s_kcdsaPub.length(), msg, 7, sig, len),
                  zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_VERIFY_FAIL));
        EXPECT_EQ(ZCAP_VerifyData(signId, s_kcdsaPub.data(), s_kcdsaPub.length(), msg, 6, sig, len),
                  zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_VERIFY_FAIL));
        EXPECT_EQ(ZCAP_VerifyData(signId, s_kcdsaPub.data(), s_kcdsaPub.length(), msg, 7, sig, len - 1),
                  zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_INVALID_SIGNATURE));
    }
    // A 1024-bit key is refused by the 2048-bit descriptors; a 47-byte buffer is too small.
    uint8_t sig[64];
    int len = sizeof sig;
    EXPECT_EQ(ZCAP_SignData(141402, s_kcdsaPri.data(), s_kcdsaPri.length(), msg, 7, sig, &len),
              zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_KEY));
    len = 47;
    EXPECT_EQ(ZCAP_SignData(141401, s_kcdsaPri.data(), s_kcdsaPri.length(), msg, 7, sig, &len),
              zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_NOT_ENOUGH_BUFFER));
}

TEST_F(PkEngine, RsaEncryptionLimitsAndModes) {
    Bytes in(118, 0x41), out(256);
    int len = static_cast<int>(out.size());
    EXPECT_EQ(ZCAP_PkEncryptData(12001, ENGINE_MODE_PUBLIC, s_rsaPub.data(), s_rsaPub.length(), in.data(), 118,
                                 out.data(), &len),
              zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_STAGED_OPERATION_FAILED));
    len = static_cast<int>(out.size());
    ASSERT_EQ(ZCAP_PkEncryptData(12001, ENGINE_MODE_PUBLIC, s_rsaPub.data(), s_rsaPub.length(), in.data(), 117,
                                 out.data(), &len),
              ZCAP_OK);
    Bytes back(256);
    int backLen = static_cast<int>(back.size());
    ASSERT_EQ(ZCAP_PkDecryptData(12001, ENGINE_MODE_PRIVATE, s_rsaPri.data(), s_rsaPri.length(), out.data(), len,
                                 back.data(), &backLen),
              ZCAP_OK);
    EXPECT_EQ(backLen, 117);
    // The type 02 block is not accepted where type 01 is expected.
    backLen = static_cast<int>(back.size());
    EXPECT_NE(ZCAP_PkDecryptData(12001, ENGINE_MODE_PUBLIC, s_rsaPub.data(), s_rsaPub.length(), out.data(), len,
                                 back.data(), &backLen),
              ZCAP_OK);
    len = static_cast<int>(out.size());
    EXPECT_EQ(ZCAP_PkEncryptData(12001, 3, s_rsaPub.data(), s_rsaPub.length(), in.data(), 10, out.data(), &len),
              zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_MODE));
    EXPECT_EQ(ZCAP_PkEncryptData(12002, ENGINE_MODE_PUBLIC, s_rsaPub.data(), s_rsaPub.length(), in.data(), 10,
                                 out.data(), &len),
              zcapWithStage(ZCAP_STAGE_INIT, ZCAP_INVALID_KEY));
    const uint8_t junk[] = {0x30, 0x03, 0x02, 0x01, 0x01};
    EXPECT_EQ(ZCAP_PkEncryptData(12001, ENGINE_MODE_PUBLIC, junk, 5, in.data(), 10, out.data(), &len),
              zcapWithStage(ZCAP_STAGE_INIT, ZCAP_ASN1_OPERATION_FAILED));
    len = 127;
    EXPECT_EQ(ZCAP_PkEncryptData(12001, ENGINE_MODE_PUBLIC, s_rsaPub.data(), s_rsaPub.length(), in.data(), 10,
                                 out.data(), &len),
              zcapWithStage(ZCAP_STAGE_FINAL, ZCAP_NOT_ENOUGH_BUFFER));
}

TEST_F(PkEngine, GeneratedRsaKeyCarriesExponent65537) {
    const uint8_t* p = s_rsaPub.data();
    rsa_detail::RsaKey key;
    ASSERT_TRUE(rsa_detail::publicKeyFromDer(p, static_cast<size_t>(s_rsaPub.length()), key));
    EXPECT_EQ(BN_get_word(key.e.get()), 65537u);
    EXPECT_EQ(key.bits(), 1024);
}

// A private key in its plain DER shape is read from the octets in place; the
// key record reads the other shapes (here a BER indefinite length and a
// version 1). All give the same numbers.
TEST_F(PkEngine, PrivateKeyShapesGiveTheSameNumbers) {
    const Bytes der(s_rsaPri.data(), s_rsaPri.data() + s_rsaPri.length());
    ASSERT_EQ(der[1], 0x82);  // a 1024-bit key: two length octets
    const size_t header = 4;
    Bytes ber = {0x30, 0x80};
    ber.insert(ber.end(), der.begin() + header, der.end());
    ber.insert(ber.end(), {0x00, 0x00});
    Bytes version1 = der;
    ASSERT_EQ(version1[header + 2], 0x00);  // INTEGER 0 right after the header
    version1[header + 2] = 0x01;

    rsa_detail::RsaKey plain;
    ASSERT_TRUE(rsa_detail::privateKeyFromDer(der.data(), der.size(), plain));
    for (const Bytes* other : {&ber, &version1}) {
        rsa_detail::RsaKey key;
        ASSERT_TRUE(rsa_detail::privateKeyFromDer(other->data(), other->size(), key));
        for (auto member : {&rsa_detail::RsaKey::n, &rsa_detail::RsaKey::e, &rsa_detail::RsaKey::p,
                            &rsa_detail::RsaKey::q, &rsa_detail::RsaKey::dp, &rsa_detail::RsaKey::dq,
                            &rsa_detail::RsaKey::qinv})
            EXPECT_EQ(BN_cmp((key.*member).get(), (plain.*member).get()), 0);
    }
    Bytes cut = der;
    cut.resize(cut.size() - 3);
    rsa_detail::RsaKey none;
    EXPECT_FALSE(rsa_detail::privateKeyFromDer(cut.data(), cut.size(), none));
}

// DER of SEQUENCE { INTEGER ... } from positive numbers.
Bytes integerSequence(std::initializer_list<const BIGNUM*> numbers) {
    ByteString body;
    for (const BIGNUM* b : numbers) {
        Bytes mag(static_cast<size_t>(BN_num_bytes(b)) + 1, 0);  // a leading zero keeps it positive
        BN_bn2bin(b, mag.data() + 1);
        body.append(derElement(0x02, {mag}));
    }
    const ByteString sequence = derElement(0x30, {body.bytes()});
    return Bytes(sequence.data(), sequence.data() + sequence.length());
}

BnPtr oddOfBits(int bits) {
    BnPtr b = bnNew();
    BN_rand(b.get(), bits, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ODD);
    return b;
}

// Keys of sizes no real key has are refused before any arithmetic (a crafted
// key must not make one operation take minutes), and a key whose n is not the
// product of its primes gives no result.
TEST_F(PkEngine, ImplausibleKeysAreRefused) {
    rsa_detail::RsaKey key;
    const BnPtr n4096 = oddOfBits(4096), e65537 = bnNew(), e65 = oddOfBits(65), n16400 = oddOfBits(16400);
    BN_set_word(e65537.get(), 65537);
    Bytes der = integerSequence({n4096.get(), e65537.get()});
    EXPECT_TRUE(rsa_detail::publicKeyFromDer(der.data(), der.size(), key));
    der = integerSequence({n4096.get(), e65.get()});
    EXPECT_FALSE(rsa_detail::publicKeyFromDer(der.data(), der.size(), key));  // long exponent, large modulus
    der = integerSequence({n16400.get(), e65537.get()});
    EXPECT_FALSE(rsa_detail::publicKeyFromDer(der.data(), der.size(), key));  // modulus too large

    // The engine's own 1024-bit key with one value swapped for a longer one.
    rsa_detail::RsaKey real;
    ASSERT_TRUE(rsa_detail::privateKeyFromDer(s_rsaPri.data(), static_cast<size_t>(s_rsaPri.length()), real));
    const BnPtr zero = bnNew(), big = oddOfBits(3000);
    BN_zero(zero.get());
    auto privateDer = [&](const BIGNUM* p, const BIGNUM* dp) {
        return integerSequence({zero.get(), real.n.get(), real.e.get(), real.n.get(), p, real.q.get(), dp,
                                real.dq.get(), real.qinv.get()});
    };
    der = privateDer(real.p.get(), real.dp.get());
    EXPECT_TRUE(rsa_detail::privateKeyFromDer(der.data(), der.size(), key));
    der = privateDer(big.get(), real.dp.get());
    EXPECT_FALSE(rsa_detail::privateKeyFromDer(der.data(), der.size(), key));  // prime as long as n and more
    der = privateDer(real.p.get(), big.get());
    EXPECT_FALSE(rsa_detail::privateKeyFromDer(der.data(), der.size(), key));  // half exponent longer than p

    const size_t k = real.bytes();
    Bytes in(k, 0x01), out(k);
    in[0] = 0;
    ASSERT_TRUE(rsa_detail::rawPrivate(real, in.data(), out.data(), k));
    BN_add_word(real.n.get(), 4);  // n off by four: still odd, same size
    EXPECT_FALSE(rsa_detail::rawPrivate(real, in.data(), out.data(), k));
}

}  // namespace
}  // namespace qelt::test
