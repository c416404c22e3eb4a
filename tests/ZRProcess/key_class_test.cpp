// The key classes below the exported functions: refused key algorithms, the
// WTLS signature forms, and the staged signature calls' order checks.
#include <gtest/gtest.h>

#include "../api/pkey_test_keys.h"
#include "ASN1/asn1_object.h"
#include "ZRCrypto/ZRSign.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRProcess/PPrivateKey.h"
#include "ZRProcess/PPublicKey.h"

namespace qelt::test {
namespace {

ByteString keyInfoWithOid(const char* oid, const ByteString& key = ByteString("\x02\x01\x05")) {
    RPrivateKeyInfo info;
    info.setVersion(0);
    RAlgorithmIdentifier alg;
    alg.editAlgorithm().setOID(oid);
    info.setPrivateKeyAlgorithm(alg);
    info.editPrivateKey().setValue(key);
    return info.toASN1Object();
}

TEST(PrivateKeyClass, RefusedKeyAlgorithmsNameThemselves) {
    const struct {
        const char* oid;
        int code;
        const char* text;
    } cases[] = {
        {"1 2 410 200004 1 100 2 1", 43, "The ECKCDSA algorithm is not supported."},
        {"1 2 840 10040 4 1", 26, "The DSA is not supported."},
        {"1 2 840 10046 2 1", 34, "The DH is not supported."},
        {"1 2 3 4", 50, "*pPriKeyAlg(1 2 3 4) is unknwon algorithm."},
    };
    for (const auto& c : cases) {
        PPrivateKey key;
        ASSERT_EQ(key.setPrivateKeyInfo(keyInfoWithOid(c.oid)), 0);
        int alg = 0;
        ByteString blob;
        EXPECT_EQ(key.GetPrivateKeyAlgorithm(ALG_SHA1, false, nullptr, false, alg, blob), c.code) << c.oid;
        EXPECT_NE(std::string(key.errorText()).find(c.text), std::string::npos) << key.errorText();
    }
    PPrivateKey notKey;
    EXPECT_EQ(notKey.setPrivateKeyInfo(ByteString("junk")), 4108);
    EXPECT_EQ(notKey.failure(), PPrivateKey::Failure::NotPrivateKey);
}

TEST(PrivateKeyClass, RsaOaepAndPssRequests) {
    const TestKey k512 = opensslKey("cls-rsa512", "-algorithm RSA -pkeyopt rsa_keygen_bits:512");
    PPrivateKey key;
    ASSERT_EQ(key.setPrivateKeyInfo(bs(k512.pkcs8)), 0);
    int alg = 0;
    ByteString blob;
    EXPECT_EQ(key.GetPrivateKeyAlgorithm(0, true, nullptr, false, alg, blob), 5);
    EXPECT_NE(std::string(key.errorText()).find("The RSA OAEP supported only for 1024, 2048bit"), std::string::npos);
    EXPECT_EQ(key.GetPrivateKeyAlgorithm(ALG_SHA1, true, nullptr, false, alg, blob), 5);
    EXPECT_NE(std::string(key.errorText()).find("The RSA-PSS is not supported."), std::string::npos);
    ASSERT_EQ(key.GetPrivateKeyAlgorithm(0, false, nullptr, false, alg, blob), 0);
    EXPECT_EQ(alg, ALG_RSA_ENC_512);
    ASSERT_EQ(key.GetPrivateKeyAlgorithm(ALG_MD5, false, nullptr, false, alg, blob), 0);
    EXPECT_EQ(alg, ALG_RSA_MD5_512);
}

// The size of an RSA key is read from its first elements; the rest is read
// when the key is used, and a key broken there is still refused then.
TEST(PrivateKeyClass, RsaKeySizeAndDamagedKeys) {
    constexpr const char* kRsa = "1 2 840 113549 1 1 1";
    auto rsaKey = [](int modulusOctets, uint8_t thirdTag) {
        ByteString modulus("\x00", 1);
        for (int i = 0; i < modulusOctets; ++i) modulus.append(static_cast<uint8_t>(i == 0 ? 0xC1 : 0x5A));
        const ByteString version("\x02\x01\x00", 3), exponent("\x01\x00\x01");
        const ByteString third = derElement(thirdTag, {exponent.bytes()});
        return derElement(0x30, {version.bytes(), derElement(0x02, {modulus.bytes()}).bytes(), third.bytes()});
    };
    int alg = 0;
    ByteString blob, signature;
    {  // A 2048-bit key whose public exponent is not an INTEGER: sized, then refused when signing.
        PPrivateKey key;
        ASSERT_EQ(key.setPrivateKeyInfo(keyInfoWithOid(kRsa, rsaKey(256, 0x04))), 0);
        ASSERT_EQ(key.GetPrivateKeyAlgorithm(ALG_SHA256, false, nullptr, false, alg, blob), 0) << key.errorText();
        EXPECT_EQ(alg, ALG_RSA_SHA256_2048);
        EXPECT_NE(key.genSignature(ALG_SHA256, ByteString("data"), signature, nullptr, false), 0);
        EXPECT_TRUE(signature.isEmpty());
    }
    {  // An unsupported size is named from the first elements alone.
        PPrivateKey key;
        ASSERT_EQ(key.setPrivateKeyInfo(keyInfoWithOid(kRsa, rsaKey(100, 0x02))), 0);
        EXPECT_EQ(key.GetPrivateKeyAlgorithm(ALG_SHA256, false, nullptr, false, alg, blob), 5);
        EXPECT_NE(std::string(key.errorText()).find("The RSA 800bit is not supported."), std::string::npos);
    }
    {  // No SEQUENCE at all: refused by the key decoder, with its account.
        PPrivateKey key;
        ASSERT_EQ(key.setPrivateKeyInfo(keyInfoWithOid(kRsa)), 0);
        EXPECT_EQ(key.GetPrivateKeyAlgorithm(ALG_SHA256, false, nullptr, false, alg, blob), 6);
        EXPECT_NE(std::string(key.errorText()).find("rsaPrivateKey"), std::string::npos) << key.errorText();
    }
}

TEST(WtlsSignatures, RoundTripAndShapes) {
    const Bytes text{'w', 't', 'l', 's'};
    for (const auto& [name, opts, width] : {
             std::tuple<std::string, std::string, int>{"rsa", "-algorithm RSA -pkeyopt rsa_keygen_bits:1024", 0},
             {"p160", "-algorithm EC -pkeyopt ec_paramgen_curve:secp160r1 -pkeyopt ec_param_enc:named_curve", 20},
             {"k163", "-algorithm EC -pkeyopt ec_paramgen_curve:sect163k1 -pkeyopt ec_param_enc:named_curve", 21}}) {
        const TestKey k = opensslKey("wtls-" + name, opts);
        PPrivateKey pri;
        ASSERT_EQ(pri.setPrivateKeyInfo(bs(k.pkcs8)), 0);
        ByteString sig;
        ASSERT_EQ(pri.genWTLSSignature(0, bs(text), sig, nullptr, false), 0) << pri.errorText();
        if (width != 0) EXPECT_EQ(sig.length(), 2 * width) << name;
        else EXPECT_EQ(sig.length(), 128);
        PPublicKey pub;
        EXPECT_EQ(pub.verifyWTLSSignatureWithCert(bs(k.cert), bs(text), sig, 0), 0) << name << pub.errorText();
        Bytes other = text;
        other[0] ^= 1;
        const int rc = pub.verifyWTLSSignatureWithCert(bs(k.cert), bs(other), sig, 0);
        EXPECT_EQ(rc, width == 0 ? 9 : 13) << name;
        EXPECT_EQ(pri.genWTLSSignature(0, ByteString(), sig, nullptr, false), 1);
    }
}

TEST(ZRSignStaged, OrderAndUnknownCodes) {
    ZRSign sign;
    ByteString sig;
    EXPECT_EQ(sign.SignData_Update(nullptr, 0), 1);
    EXPECT_NE(std::string(sign.errorText()).find("At first, You must init(SignData_Init)."), std::string::npos);
    EXPECT_EQ(sign.VerifyData_Final(sig), 1);
    EXPECT_NE(std::string(sign.errorText()).find("At first, You must init(VerifyData_Init)."), std::string::npos);
    EXPECT_EQ(sign.SignData_Init(ALG_RSA_MD5_512, ByteString("k")), 2);
    EXPECT_EQ(sign.SignData(ALG_RSA_MD5_512, ByteString("k"), ByteString("d"), sig), 1);
    EXPECT_NE(std::string(sign.errorText()).find("The AlgID(52) does not supported."), std::string::npos);
    EXPECT_EQ(sign.SignData(ALG_RSA_SHA1_1024, ByteString("not a key"), ByteString("d"), sig), 11);
}

}  // namespace
}  // namespace qelt::test
