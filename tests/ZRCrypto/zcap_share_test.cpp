#include "ZRCrypto/engine/zcap_share.h"

#include <gtest/gtest.h>
#include <openssl/rand.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>

#include "ZRCrypto/ZRShare.h"
#include "ZRCrypto/engine/zcap_result.h"

using namespace qelt;

namespace {

ByteString randomSecret(int len) {
    std::vector<uint8_t> v(static_cast<size_t>(len));
    RAND_bytes(v.data(), len);
    return ByteString(v.data(), len);
}

std::vector<ByteString> pick(const std::vector<ByteString>& shares, const std::vector<int>& which) {
    std::vector<ByteString> out;
    for (int i : which) out.push_back(shares[static_cast<size_t>(i)]);
    return out;
}

}  // namespace

TEST(Gf256, FieldArithmetic) {
    EXPECT_EQ(gf256::mul(0x80, 0x02), 0x1D);  // x^8 reduces by x^4 + x^3 + x^2 + 1
    EXPECT_EQ(gf256::mul(0x53, 0x00), 0x00);
    EXPECT_EQ(gf256::mul(0x01, 0xC7), 0xC7);
    // Carry-less schoolbook multiplication as an independent reference.
    auto slow = [](unsigned a, unsigned b) {
        unsigned r = 0;
        for (int i = 0; i < 8; ++i)
            if (b >> i & 1) r ^= a << i;
        for (int i = 15; i >= 8; --i)
            if (r >> i & 1) r ^= 0x11Du << (i - 8);
        return static_cast<uint8_t>(r);
    };
    for (int a = 0; a < 256; ++a)
        for (int b = 1; b < 256; ++b) {
            const auto ua = static_cast<uint8_t>(a), ub = static_cast<uint8_t>(b);
            ASSERT_EQ(gf256::mul(ua, ub), slow(a, b)) << a << "*" << b;
            ASSERT_EQ(gf256::div(gf256::mul(ua, ub), ub), ua) << a << "/" << b;
        }
}

// 64 shares use every odd point in 1..127 at every byte.
TEST(SecretShare, SixtyFourSharesUseEveryPoint) {
    const ByteString secret = randomSecret(16);
    std::vector<ByteString> shares;
    ZRShare zr;
    ASSERT_EQ(zr.Encode(secret, shares, 64, 2), 0);
    for (int j = 0; j < 16; ++j) {
        std::set<uint8_t> xs;
        for (const auto& s : shares) xs.insert(s.data()[2 * j]);
        EXPECT_EQ(xs.size(), 64u);
    }
}

// Any k shares in any order restore the secret, for thresholds 1..n and
// splits up to the 64-share limit; k - 1 shares give a different value.
TEST(SecretShare, SplitAndUniteOverManyThresholds) {
    std::mt19937 pick32(12345);
    const std::pair<int, int> splits[] = {{1, 1},  {2, 1},  {2, 2},   {3, 2},   {5, 3}, {7, 7},
                                          {10, 4}, {16, 9}, {33, 17}, {64, 64}, {64, 2}};
    for (const auto& [n, k] : splits) {
        const ByteString secret = randomSecret(1 + (n * k) % 40);
        std::vector<ByteString> shares;
        ZRShare zr;
        ASSERT_EQ(zr.Encode(secret, shares, n, k), 0) << zr.errorText();
        std::vector<int> idx(static_cast<size_t>(n));
        std::iota(idx.begin(), idx.end(), 0);
        for (int trial = 0; trial < 4; ++trial) {
            std::shuffle(idx.begin(), idx.end(), pick32);
            ByteString restored;
            const std::vector<int> chosen(idx.begin(), idx.begin() + k);
            ASSERT_EQ(zr.Decode(pick(shares, chosen), k, restored), 0) << zr.errorText();
            EXPECT_TRUE(restored == secret) << n << "/" << k;
            if (k > 1 && secret.length() >= 8) {
                const std::vector<int> fewer(idx.begin(), idx.begin() + k - 1);
                ASSERT_EQ(zr.Decode(pick(shares, fewer), k - 1, restored), 0);
                EXPECT_FALSE(restored == secret) << n << "/" << k << " with one share short";
            }
        }
        ByteString all;
        ASSERT_EQ(zr.Decode(shares, n, all), 0);
        EXPECT_TRUE(all == secret);
    }
}

TEST(SecretShare, Refusals) {
    const ByteString secret = randomSecret(4);
    std::vector<ByteString> shares;
    ZRShare zr;
    EXPECT_EQ(zr.Encode(secret, shares, 65, 2), 2);
    EXPECT_NE(std::string(zr.errorText())
                  .find("ZRShare::Encode-ZCAP_SecretShareEncode(2), Invalid input or output data.(101)"),
              std::string::npos)
        << zr.errorText();
    EXPECT_EQ(zr.Encode(ByteString(), shares, 3, 2), 2);

    ASSERT_EQ(zr.Encode(secret, shares, 3, 2), 0);
    ByteString out;
    // Total length not a multiple of the count.
    std::vector<ByteString> uneven = {shares[0], shares[1].substring(0, 5)};
    EXPECT_EQ(zr.Decode(uneven, 2, out), 2);
    EXPECT_NE(std::string(zr.errorText()).find("ZRShare::Decode-ZCAP_SecretShareDecode(2)"), std::string::npos);
    // The same share twice: its points repeat.
    EXPECT_EQ(zr.Decode(pick(shares, {0, 0}), 2, out), 2);
    // A zero point cannot come from a split.
    std::vector<ByteString> damaged = pick(shares, {0, 1});
    damaged[1].setByteAt(2, 0);
    EXPECT_EQ(zr.Decode(damaged, 2, out), 2);

    uint8_t buf[8];
    size_t len = 0;
    EXPECT_EQ(ZCAP_SecretShareDecode(nullptr, 8, 1, buf, sizeof buf, &len), ZCAP_INVALID_DATA_POINTER);
    const uint8_t one[1] = {1};
    EXPECT_EQ(ZCAP_SecretShareDecode(one, 1, 1, buf, sizeof buf, &len), ZCAP_INVALID_DATA);  // no whole pair
    EXPECT_EQ(ZCAP_SecretShareEncode(one, 1, 2, 2, buf, 3), ZCAP_NOT_ENOUGH_BUFFER);
}
