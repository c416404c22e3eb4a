#include "ZRCrypto/engine/zcap_mac.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <map>

#include "ZRCrypto/ZRMac.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_result.h"
#include "ZRCrypto/random_mac_vec.h"

using namespace qelt;
using qelt::test::readKnownAnswers;

namespace {
const std::map<std::string, int> kSectionEngine = {
    {"HMAC(MD5)", ENGINE_HMAC_MD5}, {"HMAC(SHA-1)", ENGINE_HMAC_SHA1}, {"HMAC(SHA-256)", ENGINE_HMAC_SHA256}};
const std::map<int, int> kEngineAlg = {
    {ENGINE_HMAC_MD5, ALG_HMAC_MD5}, {ENGINE_HMAC_SHA1, ALG_HMAC_SHA1}, {ENGINE_HMAC_SHA256, ALG_HMAC_SHA256}};
}  // namespace

// Every vector through the engine and through ZRMac, generate and verify.
TEST(Hmac, KnownAnswers) {
    const auto vectors = readKnownAnswers(QELT_TEST_DATA_DIR "/crypto/hmac.vec");
    ASSERT_EQ(vectors.size(), 17u);
    for (const auto& v : vectors) {
        const int id = kSectionEngine.at(v.section);
        uint8_t out[64];
        size_t outLen = sizeof out;
        ASSERT_EQ(ZCAP_GenerateMAC(v.key.data(), v.key.size(), id, out, &outLen, v.in.data(), v.in.size()), ZCAP_OK);
        EXPECT_EQ(std::vector<uint8_t>(out, out + outLen), v.out) << v.section << " line " << v.line;
        EXPECT_EQ(ZCAP_VerifyMAC(v.key.data(), v.key.size(), id, v.out.data(), v.out.size(), v.in.data(), v.in.size()),
                  ZCAP_OK);

        ZRMac mac;
        ByteString result;
        const ByteString key(v.key.data(), static_cast<int>(v.key.size())),
            in(v.in.data(), static_cast<int>(v.in.size()));
        ASSERT_EQ(mac.GenerateMAC(kEngineAlg.at(id), key, in, result), 0) << mac.errorText();
        EXPECT_EQ(std::vector<uint8_t>(result.bytes().begin(), result.bytes().end()), v.out);
        EXPECT_EQ(mac.VerifyMAC(kEngineAlg.at(id), key, in, result), 0);
    }
}

// Random keys (shorter and longer than the 64-byte block, empty) and data
// lengths against OpenSSL's one-shot HMAC.
TEST(Hmac, DifferentialAgainstOpenSsl) {
    const std::pair<int, const EVP_MD*> algs[] = {
        {ENGINE_HMAC_MD5, EVP_md5()}, {ENGINE_HMAC_SHA1, EVP_sha1()}, {ENGINE_HMAC_SHA256, EVP_sha256()}};
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> key(static_cast<size_t>(round % 150)), data(static_cast<size_t>((round * 37) % 1000));
        RAND_bytes(key.data(), static_cast<int>(key.size()));
        RAND_bytes(data.data(), static_cast<int>(data.size()));
        for (const auto& [id, md] : algs) {
            uint8_t expect[EVP_MAX_MD_SIZE];
            unsigned int expectLen = 0;
            static const uint8_t kNone = 0;  // OpenSSL wants a pointer even for an empty key
            HMAC(md, key.empty() ? &kNone : key.data(), static_cast<int>(key.size()), data.data(), data.size(), expect,
                 &expectLen);
            uint8_t out[64];
            size_t outLen = sizeof out;
            ASSERT_EQ(ZCAP_GenerateMAC(key.data(), key.size(), id, out, &outLen, data.data(), data.size()), ZCAP_OK);
            ASSERT_EQ(outLen, zcapMacLength(id));
            ASSERT_EQ(std::vector<uint8_t>(out, out + outLen), std::vector<uint8_t>(expect, expect + expectLen))
                << id << " key " << key.size() << " data " << data.size();
        }
    }
}

TEST(Hmac, EngineRefusalsCarryTheirStage) {
    const uint8_t key[] = "key", data[] = "data";
    uint8_t out[32];
    size_t outLen = sizeof out;
    EXPECT_EQ(ZCAP_GenerateMAC(key, 3, ENGINE_SHA1, out, &outLen, data, 4), 1105);  // not an HMAC identifier
    EXPECT_EQ(ZCAP_GenerateMAC(nullptr, 3, ENGINE_HMAC_SHA1, out, &outLen, data, 4), 1106);
    EXPECT_EQ(ZCAP_GenerateMAC(key, 3, ENGINE_HMAC_SHA1, out, &outLen, nullptr, 4), 2108);
    outLen = 19;
    EXPECT_EQ(ZCAP_GenerateMAC(key, 3, ENGINE_HMAC_SHA1, out, &outLen, data, 4), 3103);  // one byte short
    EXPECT_EQ(outLen, 19u);
    outLen = 20;
    EXPECT_EQ(ZCAP_GenerateMAC(key, 3, ENGINE_HMAC_SHA1, out, &outLen, data, 4), ZCAP_OK);
    EXPECT_EQ(outLen, 20u);

    // Verification: any changed byte, a truncated or an extended MAC is a mismatch.
    EXPECT_EQ(ZCAP_VerifyMAC(key, 3, ENGINE_HMAC_SHA1, out, 20, data, 4), ZCAP_OK);
    for (size_t i = 0; i < 20; ++i) {
        out[i] ^= 0x01;
        EXPECT_EQ(ZCAP_VerifyMAC(key, 3, ENGINE_HMAC_SHA1, out, 20, data, 4), ZCAP_VERIFY_FAIL) << i;
        out[i] ^= 0x01;
    }
    EXPECT_EQ(ZCAP_VerifyMAC(key, 3, ENGINE_HMAC_SHA1, out, 19, data, 4), ZCAP_VERIFY_FAIL);
    uint8_t longer[21] = {};
    std::copy(out, out + 20, longer);
    EXPECT_EQ(ZCAP_VerifyMAC(key, 3, ENGINE_HMAC_SHA1, longer, 21, data, 4), ZCAP_VERIFY_FAIL);
    EXPECT_EQ(ZCAP_VerifyMAC(key, 3, ENGINE_HMAC_SHA1, nullptr, 20, data, 4), 3108);
}

TEST(Hmac, ZRMacRefusals) {
    ZRMac mac;
    ByteString out;
    const ByteString key("k"), data("d");
    EXPECT_EQ(mac.GenerateMAC(7, key, data, out), 1);
    EXPECT_NE(std::string(mac.errorText()).find("ZRMac::GenerateMAC-nAlg(1),The AlgID(7) does not supported."),
              std::string::npos)
        << mac.errorText();
    EXPECT_EQ(mac.GenerateMAC(ALG_SHA1, key, data, out), 2);  // a hash code: the engine refuses it
    EXPECT_NE(std::string(mac.errorText())
                  .find("ZRMac::GenerateMAC-ZCAP_GenerateMAC(2),Init stage; Invalid algorithm identifier.(1105)"),
              std::string::npos)
        << mac.errorText();

    ASSERT_EQ(mac.GenerateMAC(ALG_HMAC_SHA256, key, data, out), 0);
    EXPECT_EQ(out.length(), 32);
    EXPECT_EQ(mac.VerifyMAC(ALG_HMAC_SHA256, key, ByteString("D"), out), 2);
    EXPECT_NE(std::string(mac.errorText())
                  .find("ZRMac::VerifyMAC-ZCAP_VerifyMAC(2), Verification of signature or MAC failed.(116)"),
              std::string::npos)
        << mac.errorText();
    EXPECT_EQ(mac.VerifyMAC(0, key, data, out), 1);
}
