// PAlgorithmUtil's text conversions between algorithm codes and OIDs.
#include <gtest/gtest.h>

#include "ASN1Pkix/PAlgorithmUtil.h"
#include "ZRCrypto/algorithm_ids.h"

namespace qelt {
namespace {

std::string tail(const PAlgorithmUtil& u) {
    const std::string t = u.errorText();
    return t.substr(t.find(']') + 1);
}

TEST(PAlgorithmUtilTest, CodeToOid) {
    PAlgorithmUtil u;
    ByteString oid;
    const struct {
        int alg, mode;
        const char* oid;
    } ok[] = {{ALG_MD5, 0, "1 2 840 113549 2 5"},          {ALG_SHA256, 9, "2 16 840 1 101 3 4 2 1"},
              {ALG_HAS160, 4, "1 2 410 200004 1 2"},       {ALG_DES, MODE_OFB, "1 3 14 3 2 8"},
              {ALG_3DES, MODE_ECB, "1 2 840 113549 3 7"},  {ALG_SEED, MODE_CBC, "1 2 410 200004 1 4"},
              {ALG_NEAT, MODE_CBC, "1 2 410 100001 1 3"},  {ALG_ARIA128, MODE_CBC, "1 2 410 100001 1 20"},
              {ALG_RC2_40, MODE_ECB, "1 2 840 113549 3 2"}};
    for (const auto& c : ok) {
        ASSERT_EQ(u.code2oid(c.alg, oid, c.mode), 0) << c.alg;
        EXPECT_EQ(oid.view(), c.oid);
    }
    EXPECT_EQ(u.code2oid(ALG_NEAT, oid, MODE_ECB), 3);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::code2oid-nMode(3),The encryption mode(3) dose not supported.");
    EXPECT_EQ(u.code2oid(ALG_DES, oid, MODE_CFB), 1);
    EXPECT_EQ(u.code2oid(ALG_SEED, oid, MODE_CFB), 2);
    EXPECT_EQ(u.code2oid(ALG_ARIA128, oid, MODE_ECB), 5);
    EXPECT_EQ(u.code2oid(ALG_RC4, oid, MODE_CBC), 6);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::code2oid-nAlg(6),The Algorithm Code(28) dose not supported.");
}

TEST(PAlgorithmUtilTest, OidToCode) {
    PAlgorithmUtil u;
    int alg = 0, mode = 0;
    ASSERT_EQ(u.oid2code("1 3 6 1 5 5 8 1 2", &alg, nullptr, 0), 0);  // HMAC needs no mode
    EXPECT_EQ(alg, ALG_HMAC_SHA1);
    for (const char* aria : {"1 2 410 200004 5 100 2 1", "1 2 410 100001 1 20"}) {
        ASSERT_EQ(u.oid2code(aria, &alg, &mode, 0), 0);
        EXPECT_EQ(alg, ALG_ARIA128);
        EXPECT_EQ(mode, MODE_CBC);
    }
    ASSERT_EQ(u.oid2code("1 2 410 200004 1 3", &alg, &mode, 0), 0);
    EXPECT_EQ(alg, ALG_SEED);
    EXPECT_EQ(mode, MODE_ECB);
    EXPECT_EQ(u.oid2code("1 2 840 113549 3 2", &alg, &mode, 40), 22);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::oid2code-nParamVer(22),nParamVer(40) is not supported.");
    ASSERT_EQ(u.oid2code("1 2 840 113549 3 2", &alg, &mode, 160), 0);
    EXPECT_EQ(alg, ALG_RC2_40);
    EXPECT_EQ(mode, MODE_CBC);
    EXPECT_EQ(u.oid2code("1 3 14 3 2 7", &alg, nullptr, 0), 9);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::oid2code-bsAlgOid(9),pMode is NULL.");
    EXPECT_EQ(u.oid2code("1 2 840 113549 3 7", &alg, nullptr, 0), 24);
    EXPECT_EQ(u.oid2code("1 3 14 3 2 8", &alg, &mode, 0), 26);  // OFB is written, not read
    EXPECT_EQ(tail(u), "PAlgorithmUtil::oid2code-bsAlgOid(26),Algorithm OID(1 3 14 3 2 8) dose not support.");
    // Every OID that code2oid writes for CBC reads back to the same code.
    for (int code : {ALG_DES, ALG_3DES, ALG_SEED, ALG_NEAT, ALG_ARIA128, ALG_RC2_40}) {
        ByteString oid;
        ASSERT_EQ(u.code2oid(code, oid, MODE_CBC), 0);
        ASSERT_EQ(u.oid2code(oid.c_str(), &alg, &mode, 160), 0);
        EXPECT_EQ(alg, code);
        EXPECT_EQ(mode, MODE_CBC);
    }
}

// The DER of an AlgorithmIdentifier in hex.
std::string hexOf(RAlgorithmIdentifier& alg) { return std::string(alg.toASN1Object().toHex().c_str()); }

TEST(PAlgorithmUtilTest, SignatureIdentifiers) {
    PAlgorithmUtil u;
    RAlgorithmIdentifier alg;
    // RSA carries NULL parameters, the others none.
    ASSERT_EQ(u.makeSignAlgID("1 2 840 113549 1 1 1", ALG_SHA256, alg), 0);
    EXPECT_EQ(hexOf(alg), "300d06092a864886f70d01010b0500");
    ASSERT_EQ(u.makeSignAlgID("1 2 410 200004 1 21", ALG_SHA256, alg), 0);
    EXPECT_EQ(hexOf(alg), "300a06082a831a8c9a440126");
    ASSERT_EQ(u.makeSignAlgID("1 2 840 10045 2 1", ALG_SHA1, alg), 0);
    EXPECT_TRUE(alg.getAlgorithm().is("1 2 840 10045 4 1"));
    EXPECT_FALSE(alg.hasParameters());
    // The older KCDSA OID has no SHA-256 signature.
    EXPECT_EQ(u.makeSignAlgID("1 2 410 200004 1 1", ALG_SHA256, alg), 3);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeSignAlgID-nHashAlg(3),The Hash Algorithm(6) dose not support.");
    EXPECT_EQ(u.makeSignAlgID("1 2 840 10045 2 1", ALG_MD5, alg), 9);
    EXPECT_EQ(u.makeSignAlgID("1 2 840 10040 4 1", ALG_SHA1, alg), 8);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeSignAlgID-bsAlg(8),The DSA algorithm does not support.");
    EXPECT_EQ(u.makeSignAlgID("1 2 840 10046 2 1", ALG_SHA1, alg), 14);
    EXPECT_EQ(u.makeSignAlgID("1 2 3", ALG_SHA1, alg), 15);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeSignAlgID-bsAlg(15),ASymmetric Algorithm(1 2 3) dose not support.");

    ASSERT_EQ(u.makeDigestEncAlgID("1 2 840 113549 1 1 1", ALG_MD5, alg), 0);
    EXPECT_EQ(hexOf(alg), "300d06092a864886f70d0101010500");
    ASSERT_EQ(u.makeDigestEncAlgID("1 2 410 200004 1 1", ALG_HAS160, alg), 0);
    EXPECT_TRUE(alg.getAlgorithm().is("1 2 410 200004 1 1"));
    ASSERT_EQ(u.makeDigestEncAlgID("1 2 840 10045 2 1", ALG_SHA256, alg), 0);
    EXPECT_TRUE(alg.getAlgorithm().is("1 2 840 10045 4 3 2"));
    EXPECT_EQ(u.makeDigestEncAlgID("1 2 840 10045 2 1", ALG_HAS160, alg), 8);
    EXPECT_EQ(u.makeDigestEncAlgID("1 2 410 200004 1 100 2 1", ALG_SHA1, alg), 11);
    EXPECT_EQ(u.makeDigestEncAlgID("", ALG_SHA1, alg), 14);

    // Every signature made above reads back to its hash.
    const struct {
        const char* key;
        int hash;
    } pairs[] = {{"1 2 840 113549 1 1 1", ALG_MD5},    {"1 2 840 113549 1 1 1", ALG_SHA1},
                 {"1 2 840 113549 1 1 1", ALG_SHA256}, {"1 2 410 200004 1 1", ALG_SHA1},
                 {"1 2 410 200004 1 1", ALG_HAS160},   {"1 2 410 200004 1 21", ALG_SHA1},
                 {"1 2 410 200004 1 21", ALG_SHA256},  {"1 2 410 200004 1 21", ALG_HAS160},
                 {"1 2 840 10045 2 1", ALG_SHA1},      {"1 2 840 10045 2 1", ALG_SHA256}};
    for (const auto& p : pairs) {
        ASSERT_EQ(u.makeSignAlgID(p.key, p.hash, alg), 0);
        RAlgorithmIdentifier decoded(alg.toASN1Object());
        int hash = 0;
        ASSERT_EQ(u.getHashAlgFromSignAlg(decoded, hash), 0) << p.key;
        EXPECT_EQ(hash, p.hash) << p.key;
    }
    int hash = 0;
    alg = RAlgorithmIdentifier();
    ASSERT_EQ(alg.editAlgorithm().setOID("1 2 410 200004 1 100 4 1"), 0);
    ASSERT_EQ(u.getHashAlgFromSignAlg(alg, hash), 0);
    EXPECT_EQ(hash, ALG_HAS160);
    ASSERT_EQ(alg.editAlgorithm().setOID("1 2 840 113549 1 1 13"), 0);
    EXPECT_EQ(u.getHashAlgFromSignAlg(alg, hash), 2);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::getHashAlgFromSignAlg-bsSignature(2),"
                       "The 1 2 840 113549 1 1 13 signature algorithm is does not supported.");
    EXPECT_EQ(u.getHashAlgFromSignAlg(RAlgorithmIdentifier(), hash), 1);
}

TEST(PAlgorithmUtilTest, DigestIdentifiers) {
    PAlgorithmUtil u;
    RAlgorithmIdentifier alg;
    ASSERT_EQ(u.makeAlgorithmID(ALG_MD5, alg), 0);
    EXPECT_EQ(hexOf(alg), "300c06082a864886f70d02050500");
    ASSERT_EQ(u.makeAlgorithmID(ALG_SHA256, alg), 0);
    EXPECT_EQ(hexOf(alg), "300b0609608648016503040201");
    EXPECT_EQ(u.makeAlgorithmID(ALG_HMAC_SHA1, alg), 7);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeAlgorithmID-nAlg(7),nAlg (44) is unknown algorithm code.");

    ASSERT_EQ(u.makeDigestAlgID("1 2 840 113549 2 2", alg), 0);  // MD2 is written (with NULL), never read
    EXPECT_EQ(hexOf(alg), "300c06082a864886f70d02020500");
    ASSERT_EQ(u.makeDigestAlgID("1 2 410 200004 1 2", alg), 0);
    EXPECT_FALSE(alg.hasParameters());
    EXPECT_EQ(u.makeDigestAlgID("1 2 840 113549 2 4", alg), 3);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeDigestAlgID-bsOID(3),Digest Algorithm(1 2 840 113549 2 4) dose not support.");

    const struct {
        const char* oid;
        int rc, hash;
    } reads[] = {{"1 3 14 3 2 26", 0, ALG_SHA1},      {"2 16 840 1 101 3 4 2 1", 0, ALG_SHA256},
                 {"1 2 840 113549 2 5", 0, ALG_MD5}, {"1 2 410 200004 1 2", 0, ALG_HAS160},
                 {"1 2 840 113549 2 2", 4, 0},       {"1 2 840 113549 2 4", 5, 0},
                 {"1 3 14 3 2 27", 8, 0}};
    for (const auto& r : reads) {
        ASSERT_EQ(alg.editAlgorithm().setOID(r.oid), 0);
        RAlgorithmIdentifier decoded(alg.toASN1Object());
        int hash = 0;
        EXPECT_EQ(u.parseHashAlgID(decoded, hash), r.rc) << r.oid;
        if (r.rc == 0) EXPECT_EQ(hash, r.hash) << r.oid;
    }
    EXPECT_EQ(tail(u), "PAlgorithmUtil::parseHashAlgID-bsHashAlg(8),bsHashAlg (1 3 14 3 2 27) is unknown hash algorithm.");
}

TEST(PAlgorithmUtilTest, CipherIdentifiersCarryTheIv) {
    PAlgorithmUtil u;
    RAlgorithmIdentifier alg;
    const ByteString iv("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    ASSERT_EQ(u.makeSymmetricAlgID(ALG_RC2_40, MODE_CBC, iv, alg), 0);
    EXPECT_EQ(hexOf(alg), "301a06082a864886f70d0302300e020200a004080102030405060708");
    ASSERT_EQ(u.makeSymmetricAlgID(ALG_3DES, MODE_CBC, iv, alg), 0);
    EXPECT_EQ(hexOf(alg), "301406082a864886f70d030704080102030405060708");
    ASSERT_EQ(u.makeSymmetricAlgID(ALG_ARIA128, MODE_CBC, iv, alg), 0);
    EXPECT_TRUE(alg.getAlgorithm().is("1 2 410 100001 1 20"));
    ASSERT_EQ(u.makeSymmetricAlgID(ALG_DES, MODE_OFB, iv, alg), 0);
    EXPECT_TRUE(alg.getAlgorithm().is("1 3 14 3 2 8"));
    const struct {
        int alg, mode, rc;
    } refused[] = {{ALG_DES, MODE_CFB, 1}, {ALG_SEED, MODE_CFB, 2}, {ALG_NEAT, MODE_ECB, 3},
                   {ALG_ARIA128, MODE_ECB, 5}, {ALG_SHA1, MODE_CBC, 8}, {ALG_RC4, MODE_CBC, 8}};
    for (const auto& r : refused) EXPECT_EQ(u.makeSymmetricAlgID(r.alg, r.mode, iv, alg), r.rc) << r.alg;
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeSymmetricAlgID-nAlg(8),nAlg (28) is unknown algorithm code.");
    EXPECT_EQ(u.makeSymmetricAlgID(ALG_NEAT, MODE_ECB, iv, alg), 3);
    EXPECT_EQ(tail(u), "PAlgorithmUtil::makeSymmetricAlgID-pAlgOID(3),The nMode(3) does not supported.");
}

}  // namespace
}  // namespace qelt
