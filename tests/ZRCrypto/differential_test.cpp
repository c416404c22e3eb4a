// The engine against OpenSSL on random keys, IVs and lengths, for every mode
// and padding the two share. DES, SEED, RC2 and RC4 come from OpenSSL's legacy
// provider (used here only, as the reference).
#include <gtest/gtest.h>

#include "ZRCrypto/algorithm_ids.h"
#include "crypto_test_util.h"

namespace qelt::test {
namespace {

struct Case {
    const char* name;  // OpenSSL's name
    int id;
    int mode;
    size_t keyLen;
    size_t block;
    bool legacy;
    int rc2Bits;
};

constexpr int kRounds = 150;

void compareWithOpenssl(const Case& c, std::mt19937& rng) {
    if (c.legacy && !loadLegacyProvider()) GTEST_SKIP() << "OpenSSL legacy provider not available";
    const bool padded = (c.mode == ENGINE_MODE_ECB || c.mode == ENGINE_MODE_CBC) && c.block > 1;
    for (int round = 0; round < kRounds; ++round) {
        // ECB and CBC with PKCS padding on any length; the feedback modes on whole
        // blocks without padding (OpenSSL treats them as stream modes).
        size_t len = rng() % 700;
        if (!padded) len -= len % c.block;
        const Bytes key = randomBytes(rng, c.keyLen), in = randomBytes(rng, len);
        // AES asks for an IV in ECB too (it is not used there).
        const bool aes = c.id == ENGINE_AES128 || c.id == ENGINE_AES192 || c.id == ENGINE_AES256;
        const Bytes iv0 = (c.mode == ENGINE_MODE_ECB && !aes) || c.block == 1 ? Bytes() : randomBytes(rng, c.block);
        const Reference ref = openssl(c.name, key, iv0, in, false, padded, c.rc2Bits);
        ASSERT_TRUE(ref.ok) << c.name;
        Bytes iv = iv0, ours, back;
        const int padding = padded ? ENGINE_PAD_PKCS : ENGINE_PAD_NONE;
        ASSERT_EQ(engineRun(false, c.id, c.mode, key, iv, in, padding, ours), 0) << c.name;
        ASSERT_EQ(ours, ref.out) << c.name << " length " << len;
        iv = iv0;
        ASSERT_EQ(engineRun(true, c.id, c.mode, key, iv, ours, padding, back), 0) << c.name;
        ASSERT_EQ(back, in) << c.name << " length " << len;
    }
}

TEST(Differential, EngineAgainstOpenssl) {
    const Case cases[] = {
        {"DES-ECB", ENGINE_DES, ENGINE_MODE_ECB, 8, 8, true, 0},
        {"DES-CBC", ENGINE_DES, ENGINE_MODE_CBC, 8, 8, true, 0},
        {"DES-CFB", ENGINE_DES, ENGINE_MODE_CFB, 8, 8, true, 0},
        {"DES-OFB", ENGINE_DES, ENGINE_MODE_OFB, 8, 8, true, 0},
        {"DES-EDE3-ECB", ENGINE_3DES, ENGINE_MODE_ECB, 24, 8, false, 0},
        {"DES-EDE3-CBC", ENGINE_3DES, ENGINE_MODE_CBC, 24, 8, false, 0},
        {"DES-EDE3-CFB", ENGINE_3DES, ENGINE_MODE_CFB, 24, 8, false, 0},
        {"SEED-ECB", ENGINE_SEED, ENGINE_MODE_ECB, 16, 16, true, 0},
        {"SEED-CBC", ENGINE_SEED, ENGINE_MODE_CBC, 16, 16, true, 0},
        {"RC2-ECB", ENGINE_RC2_40, ENGINE_MODE_ECB, 5, 8, true, 40},
        {"RC2-CBC", ENGINE_RC2_128, ENGINE_MODE_CBC, 16, 8, true, 128},
        {"RC2-CBC", ENGINE_RC2_64, ENGINE_MODE_CBC, 8, 8, true, 64},
        {"RC2-CFB", ENGINE_RC2_192, ENGINE_MODE_CFB, 24, 8, true, 192},
        {"RC2-CBC", ENGINE_RC2_256, ENGINE_MODE_CBC, 32, 8, true, 256},
        {"RC4", ENGINE_RC4, ENGINE_MODE_ECB, 16, 1, true, 0},
        {"AES-128-CBC", ENGINE_AES128, ENGINE_MODE_CBC, 16, 16, false, 0},
        {"AES-192-ECB", ENGINE_AES192, ENGINE_MODE_ECB, 24, 16, false, 0},
        {"AES-256-CBC", ENGINE_AES256, ENGINE_MODE_CBC, 32, 16, false, 0},
        {"ARIA-128-CBC", ENGINE_ARIA128, ENGINE_MODE_CBC, 16, 16, false, 0},
        {"ARIA-192-ECB", ENGINE_ARIA192, ENGINE_MODE_ECB, 24, 16, false, 0},
        {"ARIA-256-CBC", ENGINE_ARIA256, ENGINE_MODE_CBC, 32, 16, false, 0},
    };
    std::mt19937 rng(20261205);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        compareWithOpenssl(c, rng);
    }
}

// OpenSSL's SEED-CFB feeds back 128 bits; the engine's CFB feeds back 64. The
// reference is built from OpenSSL's SEED-ECB block function.
TEST(Differential, SeedCfb64AgainstOpensslBlockFunction) {
    if (!loadLegacyProvider()) GTEST_SKIP() << "OpenSSL legacy provider not available";
    std::mt19937 rng(7);
    for (int round = 0; round < kRounds; ++round) {
        const size_t len = (rng() % 40) * 16;
        const Bytes key = randomBytes(rng, 16), iv0 = randomBytes(rng, 16), in = randomBytes(rng, len);
        Bytes reg = iv0, expect(len);
        for (size_t i = 0; i < len; i += 8) {
            const Reference k = openssl("SEED-ECB", key, {}, reg, false, false);
            ASSERT_TRUE(k.ok);
            for (size_t j = 0; j < 8; ++j) expect[i + j] = in[i + j] ^ k.out[j];
            reg.erase(reg.begin(), reg.begin() + 8);
            reg.insert(reg.end(), expect.begin() + static_cast<long>(i), expect.begin() + static_cast<long>(i + 8));
        }
        Bytes iv = iv0, ours, back;
        ASSERT_EQ(engineRun(false, ENGINE_SEED, ENGINE_MODE_CFB, key, iv, in, ENGINE_PAD_NONE, ours), 0);
        ASSERT_EQ(ours, expect);
        EXPECT_EQ(iv, reg) << "the chaining value is the feedback register";
        iv = iv0;
        ASSERT_EQ(engineRun(true, ENGINE_SEED, ENGINE_MODE_CFB, key, iv, ours, ENGINE_PAD_NONE, back), 0);
        ASSERT_EQ(back, in);
    }
}

TEST(Differential, HashesAgainstOpenssl) {
    std::mt19937 rng(99);
    const struct {
        int id;
        const char* name;
    } hashes[] = {{ENGINE_MD5, "MD5"}, {ENGINE_SHA1, "SHA1"}, {ENGINE_SHA256, "SHA256"}};
    for (const auto& h : hashes) {
        for (int round = 0; round < 100; ++round) {
            const Bytes in = randomBytes(rng, rng() % 1000);
            uint8_t ours[64], ref[64];
            int len = sizeof ours;
            unsigned refLen = 0;
            ASSERT_EQ(ZCAP_DigestData(h.id, ours, &len, in.data(), static_cast<int>(in.size())), 0);
            ASSERT_EQ(EVP_Digest(in.data(), in.size(), ref, &refLen, EVP_get_digestbyname(h.name), nullptr), 1);
            ASSERT_EQ(Bytes(ours, ours + len), Bytes(ref, ref + refLen)) << h.name;
        }
    }
}

}  // namespace
}  // namespace qelt::test
