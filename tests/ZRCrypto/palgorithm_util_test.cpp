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

}  // namespace
}  // namespace qelt
