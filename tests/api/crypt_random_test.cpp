#include <cstdio>
#include <string>

#include "test_support.h"

using namespace qelt::test;

class CryptRandom : public ApiTest {};

TEST_F(CryptRandom, LengthsAndRefusals) {
    OwnedBinstr out;
    EXPECT_EQ(QELT_CRYPT_GenRandom(ctx, 0, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenRandom] 생성할 랜덤키의 길이를 지정하세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_GenRandom(ctx, -3, &out), QELT_ERR_INVALID_ARGUMENT);

    for (int len : {2, 20, 21, 40, 41, 1000}) {
        ASSERT_EQ(QELT_CRYPT_GenRandom(ctx, len, &out), 0) << errInfo();
        EXPECT_EQ(out.b.nLen, len);
        EXPECT_EQ(out.b.pVal[len], 0);  // library output carries a NUL after the bytes
    }
    EXPECT_EQ(QELT_CRYPT_GenRandom(ctx, 32, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenRandom] QELT_BINSTR_SetData : pRandom");
    EXPECT_EQ(QELT_CRYPT_GenRandom(nullptr, 4, &out), QELT_ERR_NOT_INITIALIZED);

    OwnedBinstr a, b;
    ASSERT_EQ(QELT_CRYPT_GenRandom(ctx, 16, &a), 0);
    ASSERT_EQ(QELT_CRYPT_GenRandom(ctx, 16, &b), 0);
    EXPECT_NE(a.vec(), b.vec());
}

// One-byte requests compare two one-byte blocks, which are equal about once
// in 256 calls: the context that sees it is disabled for good.
TEST_F(CryptRandom, ConditionalTestDisablesTheContext) {
    int calls = 0;
    int rc = 0;
    OwnedBinstr out;
    // 20000 calls all passing would happen with probability (255/256)^20000 < 1e-33.
    while (calls < 20000 && (rc = QELT_CRYPT_GenRandom(ctx, 1, &out)) == 0) ++calls;
    ASSERT_EQ(rc, QELT_ERR_RANDOM) << "after " << calls << " calls";
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenRandom] PRNG Conditional test failed.");
    EXPECT_EQ(QELT_CRYPT_GenRandom(ctx, 8, &out), QELT_ERR_NOT_INITIALIZED);
    char version[16];
    EXPECT_EQ(QELT_API_GetVersion(ctx, sizeof version, version), QELT_ERR_NOT_INITIALIZED);

    // Another context is unaffected, and a fresh one works again.
    void* other = nullptr;
    ASSERT_EQ(QELT_API_Init(&other, workDir.c_str()), 0);
    EXPECT_EQ(QELT_CRYPT_GenRandom(other, 8, &out), 0);
    EXPECT_EQ(QELT_API_Finish(&other), 0);
}
