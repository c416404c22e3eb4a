// SHA1_Transform is a deprecated low-level call, used here only as the
// independent reference for the generator's G function.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "ZRCrypto/engine/zcap_random.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <set>
#include <thread>

#include "ZRCrypto/ZRRandom.h"
#include "ZRCrypto/algorithm_ids.h"
#include "ZRCrypto/engine/zcap_result.h"
#include "ZRCrypto/random_mac_vec.h"

using namespace qelt;
using namespace qelt::rng_detail;
using qelt::test::readKnownAnswers;

namespace {

struct FixedSeeds {
    std::vector<uint8_t> seed;
    int calls = 0;
};

bool fixedSeed(uint8_t xseed[kSha1Len], void* arg) {
    auto* s = static_cast<FixedSeeds*>(arg);
    std::memcpy(xseed, s->seed.data(), kSha1Len);
    ++s->calls;
    return true;
}

// One block of the generator written the plain way, on OpenSSL's compression.
std::vector<uint8_t> referenceGenerate(std::array<uint8_t, 20> xkey, const std::vector<std::array<uint8_t, 20>>& seeds,
                                       size_t len) {
    std::vector<uint8_t> out;
    for (const auto& xseed : seeds) {
        std::array<uint8_t, 20> xval{};
        unsigned carry = 0;
        for (int i = 19; i >= 0; --i) {
            const unsigned s = xkey[i] + xseed[i] + carry;
            xval[i] = static_cast<uint8_t>(s);
            carry = s >> 8;
        }
        SHA_CTX c;
        SHA1_Init(&c);
        uint8_t block[64] = {};
        std::memcpy(block, xval.data(), 20);
        SHA1_Transform(&c, block);
        const uint32_t words[5] = {c.h0, c.h1, c.h2, c.h3, c.h4};
        std::array<uint8_t, 20> x{};
        for (int w = 0; w < 5; ++w)
            for (int b = 0; b < 4; ++b) x[4 * w + b] = static_cast<uint8_t>(words[w] >> (24 - 8 * b));
        carry = 1;
        for (int i = 19; i >= 0; --i) {
            const unsigned s = xkey[i] + x[i] + carry;
            xkey[i] = static_cast<uint8_t>(s);
            carry = s >> 8;
        }
        out.insert(out.end(), x.begin(), x.end());
    }
    out.resize(len);
    return out;
}

struct SeedList {
    std::vector<std::array<uint8_t, 20>> seeds;
    size_t next = 0;
};

bool listSeed(uint8_t xseed[kSha1Len], void* arg) {
    auto* s = static_cast<SeedList*>(arg);
    if (s->next >= s->seeds.size()) return false;
    std::memcpy(xseed, s->seeds[s->next++].data(), kSha1Len);
    return true;
}

}  // namespace

TEST(RandomGenerator, PublishedExample) {
    const auto vectors = readKnownAnswers(QELT_TEST_DATA_DIR "/crypto/random_fips186.vec");
    ASSERT_FALSE(vectors.empty());
    for (const auto& v : vectors) {
        ASSERT_EQ(v.key.size(), 20u);
        FixedSeeds seeds{v.in, 0};
        std::vector<uint8_t> xkey = v.key, out(v.out.size());
        ASSERT_TRUE(fips186Generate(xkey.data(), fixedSeed, &seeds, out.data(), out.size()));
        EXPECT_EQ(out, v.out) << "line " << v.line;
        EXPECT_EQ(seeds.calls, static_cast<int>((v.out.size() + 19) / 20));
    }
}

// G and the whole block step against OpenSSL's SHA-1 compression, on random
// keys, seeds (including carries out of 2^160) and lengths.
TEST(RandomGenerator, MatchesReferenceOnOpenSslCompression) {
    for (int round = 0; round < 300; ++round) {
        std::array<uint8_t, 20> xkey{};
        RAND_bytes(xkey.data(), 20);
        if (round % 10 == 0) xkey.fill(0xFF);  // forces the mod 2^160 wrap
        const size_t len = 1 + static_cast<size_t>(round) % 97;
        SeedList list;
        list.seeds.resize((len + 19) / 20);
        for (auto& s : list.seeds) RAND_bytes(s.data(), 20);
        std::vector<uint8_t> ours(len);
        std::array<uint8_t, 20> key = xkey;
        ASSERT_TRUE(fips186Generate(key.data(), listSeed, &list, ours.data(), len));
        EXPECT_EQ(list.next, list.seeds.size()) << "one seed per 160-bit block";
        EXPECT_EQ(ours, referenceGenerate(xkey, list.seeds, len)) << "len " << len;
    }
}

TEST(RandomGenerator, RandomBitsShape) {
    for (int bits = 1; bits <= 200; ++bits) {
        for (int top = 0; top <= 1; ++top) {
            const int bottom = bits % 2;
            const size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
            std::vector<uint8_t> out(bytes + 1, 0xEE);
            ASSERT_TRUE(randomBits(bits, top, bottom, out.data()));
            EXPECT_EQ(out[bytes], 0xEE) << "wrote past ceil(bits/8)";
            // The number has exactly `bits` bits.
            const int topBit = (bits - 1) % 8;
            EXPECT_EQ(out[0] >> topBit, 1) << bits;
            if (top == 1 && bits >= 2) {
                const bool second = topBit == 0 ? (out[1] & 0x80) != 0 : ((out[0] >> (topBit - 1)) & 1) != 0;
                EXPECT_TRUE(second) << "second-highest bit, bits " << bits;
            }
            if (bottom) EXPECT_EQ(out[bytes - 1] & 1, 1);
        }
    }
}

TEST(RandomGenerator, PoolBookkeeping) {
    uint8_t first[8] = {};
    ASSERT_TRUE(poolDraw(first, sizeof first));  // self-seeds on the first draw of the process
    PoolSnapshot before = poolSnapshot();
    EXPECT_TRUE(before.seeded);
    EXPECT_GE(before.fill, 96u);

    std::vector<uint8_t> data(300, 0x5A);
    ASSERT_TRUE(poolStir(data.data(), data.size()));
    PoolSnapshot after = poolSnapshot();
    const size_t raw = before.position + data.size();
    EXPECT_EQ(after.position, raw > kPoolSize ? raw % kPoolSize : raw);
    EXPECT_EQ(after.fill, raw > kPoolSize ? kPoolSize : std::max(before.fill, raw));

    // Stirring more than the pool fills it; drawing wraps within the fill level.
    std::vector<uint8_t> big(2 * kPoolSize + 5, 0xA5);
    ASSERT_TRUE(poolStir(big.data(), big.size()));
    EXPECT_EQ(poolSnapshot().fill, kPoolSize);
    before = poolSnapshot();
    std::vector<uint8_t> out(1500, 0);
    ASSERT_TRUE(poolDraw(out.data(), out.size()));
    EXPECT_EQ(poolSnapshot().position, (before.position + out.size()) % kPoolSize);
}

TEST(RandomGenerator, EngineCall) {
    uint8_t out[32] = {};
    EXPECT_EQ(ZCAP_GenerateRandom(ENGINE_SHA1, out, sizeof out), ZCAP_INVALID_ALGORITHM);
    EXPECT_EQ(ZCAP_GenerateRandom(ENGINE_RANDOM, nullptr, 4), ZCAP_INVALID_DATA_POINTER);
    EXPECT_EQ(ZCAP_GenerateRandom(ENGINE_RANDOM, nullptr, 0), ZCAP_OK);
    const uint8_t seed[] = "caller seed";
    ASSERT_EQ(ZCAP_GenerateRandom(ENGINE_RANDOM, out, sizeof out, seed, sizeof seed), ZCAP_OK);
    uint8_t again[32] = {};
    ASSERT_EQ(zcapRandomBytes(again, sizeof again), ZCAP_OK);
    EXPECT_NE(0, std::memcmp(out, again, sizeof out));
    EXPECT_EQ(zcapRandomBytes(nullptr, 1), ZCAP_INVALID_DATA_POINTER);
}

// A loose sanity check, not a randomness test: the bounds sit more than ten
// standard deviations away, so a working generator never trips them.
TEST(RandomGenerator, StatisticalSanity) {
    std::vector<uint8_t> out(40000);
    ASSERT_EQ(zcapRandomBytes(out.data(), out.size()), ZCAP_OK);
    size_t ones = 0;
    std::array<int, 256> counts{};
    for (uint8_t b : out) {
        ones += std::bitset<8>(b).count();
        ++counts[b];
    }
    const double bits = 8.0 * out.size();  // mean bits/2, sd sqrt(bits)/2 = 283
    EXPECT_NEAR(static_cast<double>(ones), bits / 2, 3000);
    // Each byte value is expected 156 times (sd about 12.5).
    for (int v = 0; v < 256; ++v) EXPECT_NEAR(counts[v], 156.25, 90) << v;
    // No 20-byte block repeats.
    std::set<std::vector<uint8_t>> blocks;
    for (size_t i = 0; i + 20 <= out.size(); i += 20) blocks.insert({out.begin() + i, out.begin() + i + 20});
    EXPECT_EQ(blocks.size(), out.size() / 20);
}

TEST(RandomGenerator, ConcurrentCallers) {
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::vector<std::array<uint8_t, 16>>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&results, t] {
            for (int i = 0; i < kEach; ++i) {
                std::array<uint8_t, 16> r{};
                if (zcapRandomBytes(r.data(), r.size()) == ZCAP_OK) results[t].push_back(r);
            }
        });
    for (auto& th : threads) th.join();
    std::set<std::array<uint8_t, 16>> all;
    for (const auto& r : results) {
        EXPECT_EQ(r.size(), static_cast<size_t>(kEach));
        all.insert(r.begin(), r.end());
    }
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
}

TEST(ZRRandomTest, GenerateAndRefusals) {
    ZRRandom rng;
    ByteString out("old content");
    ASSERT_EQ(rng.GenerateRandom(ALG_RANDOM, 21, out), 0);
    EXPECT_EQ(out.length(), 21);
    ASSERT_EQ(rng.GenerateRandom(ALG_RANDOM_12, 5, out), 0);
    EXPECT_EQ(out.length(), 5);
    ASSERT_EQ(rng.GenerateRandom(ALG_RANDOM, 0, out), 0);
    EXPECT_TRUE(out.isEmpty());

    EXPECT_EQ(rng.GenerateRandom(99, 8, out), 1);
    EXPECT_EQ(rng.errorCode(), 1);
    EXPECT_NE(std::string(rng.errorText()).find("ZRRandom::GenerateRandom-nAlg(1),The AlgID(99) does not supported."),
              std::string::npos)
        << rng.errorText();

    // A code that maps to another engine is refused by the generator itself.
    EXPECT_EQ(rng.GenerateRandom(ALG_SHA1, 8, out), 2);
    EXPECT_NE(std::string(rng.errorText())
                  .find("ZRRandom::GenerateRandom-ZCAP_GenerateRandom(2), Invalid algorithm identifier.(105)"),
              std::string::npos)
        << rng.errorText();
}
