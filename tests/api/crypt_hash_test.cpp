// QELT_CRYPT_Hash: digests by API code and the refusals of its arguments.
#include "test_support.h"

namespace qelt::test {
namespace {

class CryptHash : public ApiTest {};

std::string hex(const std::vector<uint8_t>& v) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : v) s += {d[b >> 4], d[b & 15]};
    return s;
}

TEST_F(CryptHash, AbcWithEveryCode) {
    OwnedBinstr in("abc");
    const struct {
        int code;
        const char* digest;
    } cases[] = {{QELT_HASH_SHA1, "A9993E364706816ABA3E25717850C26C9CD0D89D"},
                 {QELT_HASH_MD5, "900150983CD24FB0D6963F7D28E17F72"},
                 {QELT_HASH_HAS160, "975E810488CF2A3D49838478124AFCE4B1C78804"},
                 {QELT_HASH_SHA256, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"}};
    for (const auto& c : cases) {
        OwnedBinstr out;
        ASSERT_EQ(QELT_CRYPT_Hash(ctx, c.code, &in, &out), 0) << c.code;
        EXPECT_EQ(hex(out.vec()), c.digest);
    }
}

TEST_F(CryptHash, Refusals) {
    OwnedBinstr in("abc"), out, empty;
    EXPECT_EQ(QELT_CRYPT_Hash(ctx, 1, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Hash] 해쉬값을 생성할 데이터(pTBHData)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_Hash(ctx, 1, &empty, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_CRYPT_Hash(ctx, 1, &in, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Hash] pDigest의 포인터가 NULL입니다."_cp949);
    for (int code : {0, 5, -1}) {
        EXPECT_EQ(QELT_CRYPT_Hash(ctx, code, &in, &out), QELT_ERR_HASH_ALGORITHM);
        EXPECT_EQ(errInfo(), "[QELT_CRYPT_Hash] 지원되지 않는 HASH 알고리즘입니다."_cp949);
    }
    EXPECT_EQ(QELT_CRYPT_Hash(nullptr, 1, &in, &out), QELT_ERR_NOT_INITIALIZED);
    EXPECT_EQ(out.b.pVal, nullptr);
}

}  // namespace
}  // namespace qelt::test
