#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

using namespace qelt::test;

namespace {
struct Shares {
    std::vector<BINSTR> b;
    explicit Shares(size_t n) : b(n, BINSTR{nullptr, 0}) {}
    ~Shares() {
        for (BINSTR& x : b) QELT_BINSTR_Delete(&x);
    }
    Shares(const Shares&) = delete;
    Shares& operator=(const Shares&) = delete;
};

}  // namespace

class KeyShare : public ApiTest {};

TEST_F(KeyShare, FiveSharesThresholdThree) {
    const std::vector<uint8_t> key = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                      0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    OwnedBinstr in(key);
    Shares shares(5);
    ASSERT_EQ(QELT_KEY_Share(ctx, &in, 5, 3, shares.b.data()), 0) << errInfo();
    for (const BINSTR& s : shares.b) ASSERT_EQ(s.nLen, 32);
    for (int j = 0; j < 32; j += 2) {
        std::set<uint8_t> xs;
        for (const BINSTR& s : shares.b) {
            EXPECT_EQ(s.pVal[j] & 1, 1);
            EXPECT_LE(s.pVal[j], 127);
            xs.insert(s.pVal[j]);
        }
        EXPECT_EQ(xs.size(), 5u);
    }
    // Every three of the five, in two orders, and all five.
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b)
            for (int c = b + 1; c < 5; ++c) {
                for (const auto& order : {std::vector<int>{a, b, c}, std::vector<int>{c, a, b}}) {
                    std::vector<BINSTR> pickd;
                    for (int i : order) pickd.push_back(shares.b[static_cast<size_t>(i)]);
                    OwnedBinstr out;
                    ASSERT_EQ(QELT_KEY_Unite(ctx, pickd.data(), 3, &out), 0) << errInfo();
                    EXPECT_EQ(out.vec(), key);
                }
            }
    OwnedBinstr all, two;
    ASSERT_EQ(QELT_KEY_Unite(ctx, shares.b.data(), 5, &all), 0);
    EXPECT_EQ(all.vec(), key);
    ASSERT_EQ(QELT_KEY_Unite(ctx, shares.b.data(), 2, &two), 0);  // too few: wrong key, no error
    EXPECT_EQ(two.b.nLen, 16);
    EXPECT_NE(two.vec(), key);
}

TEST_F(KeyShare, ShareRefusals) {
    OwnedBinstr key(std::string("0123456789abcdef")), empty;
    Shares shares(65);
    EXPECT_EQ(QELT_KEY_Share(ctx, &empty, 3, 2, shares.b.data()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Share] 분할할 키(pKey)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Share(ctx, nullptr, 3, 2, shares.b.data()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 0, 2, shares.b.data()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Share] 총 분할할 키의 갯수(nShareCnt)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 65, 2, shares.b.data()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Share] 총 분할할 키의 갯수(nShareCnt)는 64 이하로 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 3, 0, shares.b.data()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Share] 키 복구 시 필요한 갯수(nRequireCnt)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 3, 256, shares.b.data()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Share] 키 복구 시 필요한 갯수(nRequireCnt)는 255 이하로 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 3, 2, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Share] pSharedKey의 포인터가 NULL입니다."_cp949);

    // The limits themselves are accepted; a threshold above the count too.
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 64, 64, shares.b.data()), 0) << errInfo();
    EXPECT_EQ(QELT_KEY_Share(ctx, &key, 2, 3, shares.b.data()), 0) << errInfo();
    OwnedBinstr out;
    ASSERT_EQ(QELT_KEY_Unite(ctx, shares.b.data(), 2, &out), 0);
    EXPECT_NE(out.str(), "0123456789abcdef");
}

TEST_F(KeyShare, UniteRefusals) {
    OwnedBinstr key(std::string("secret key bytes")), out;
    Shares shares(3);
    ASSERT_EQ(QELT_KEY_Share(ctx, &key, 3, 2, shares.b.data()), 0);

    EXPECT_EQ(QELT_KEY_Unite(ctx, nullptr, 2, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Unite] 분할된 키(pKey)를 지정하세요."_cp949);
    std::vector<BINSTR> holes = {shares.b[0], BINSTR{nullptr, 0}};
    EXPECT_EQ(QELT_KEY_Unite(ctx, holes.data(), 2, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Unite] 분할된 키(pKey)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Unite(ctx, shares.b.data(), 0, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Unite] 키 갯수(nSharedCnt)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_KEY_Unite(ctx, shares.b.data(), 2, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_KEY_Unite] pKey의 포인터가 NULL입니다."_cp949);

    // Shares of different lengths whose total (32 + 31) is not a multiple of 2.
    std::vector<BINSTR> uneven = {shares.b[0], BINSTR{shares.b[1].pVal, 31}};
    EXPECT_EQ(QELT_KEY_Unite(ctx, uneven.data(), 2, &out), QELT_ERR_KEY_UNITE);
    const std::string err = errInfo();
    EXPECT_EQ(err.rfind("[QELT_KEY_Unite] 분할된 키를 통합하는데 실패하였습니다. <zorinlib> "_cp949, 0), 0u) << err;
    EXPECT_NE(err.find("ZRShare::Decode-ZCAP_SecretShareDecode(2), Invalid input or output data.(101)"),
              std::string::npos)
        << err;
    // The same share twice.
    std::vector<BINSTR> twice = {shares.b[2], shares.b[2]};
    EXPECT_EQ(QELT_KEY_Unite(ctx, twice.data(), 2, &out), QELT_ERR_KEY_UNITE);
}
