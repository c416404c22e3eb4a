#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "ZRCrypto/random_mac_vec.h"
#include "test_support.h"

using namespace qelt::test;

namespace {
const std::map<std::string, int> kSectionApi = {
    {"HMAC(SHA-1)", QELT_MAC_HMAC_SHA1}, {"HMAC(MD5)", QELT_MAC_HMAC_MD5}, {"HMAC(SHA-256)", QELT_MAC_HMAC_SHA256}};

std::string text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace

class CryptMac : public ApiTest {};

// The key text's bytes are the HMAC key. A key holding a zero byte cannot be
// written as a text; those vectors are covered by the engine's test.
TEST_F(CryptMac, KnownAnswersThroughTheApi) {
    const auto vectors = readKnownAnswers(QELT_TEST_DATA_DIR "/crypto/hmac.vec");
    int checked = 0;
    for (const auto& v : vectors) {
        const int alg = kSectionApi.at(v.section);
        const std::string key = text(v.key);
        if (key.find('\0') != std::string::npos) continue;
        ++checked;
        OwnedBinstr data(v.in), mac;
        ASSERT_EQ(QELT_CRYPT_GenMAC(ctx, alg, key.c_str(), &data, &mac), 0) << errInfo();
        EXPECT_EQ(mac.vec(), v.out) << v.section << " line " << v.line;
        EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, alg, key.c_str(), &data, &mac), 0) << errInfo();
    }
    EXPECT_EQ(checked, 15);
}

TEST_F(CryptMac, GenerateRefusals) {
    OwnedBinstr data(std::string("message")), empty, mac;
    EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, 1, nullptr, &data, &mac), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenMAC] 비밀키 정보를 넣어주세요"_cp949);
    EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, 1, "", &data, &mac), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenMAC] 비밀키 정보를 넣어주세요"_cp949);
    EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, 1, "key", &empty, &mac), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenMAC] MAC 값을 생성할 데이터(pTBMData)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, 1, "key", nullptr, &mac), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, 1, "key", &data, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenMAC] pMAC의 포인터가 NULL입니다."_cp949);
    for (int alg : {0, 4, -1}) {
        EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, alg, "key", &data, &mac), QELT_ERR_MAC_ALGORITHM);
        EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenMAC] 지원되지 않는 MAC 알고리즘입니다."_cp949);
    }
    // Argument checks come before the algorithm check.
    EXPECT_EQ(QELT_CRYPT_GenMAC(ctx, 0, "", &data, &mac), QELT_ERR_INVALID_ARGUMENT);

    ASSERT_EQ(QELT_CRYPT_GenMAC(ctx, 2, "key", &data, &mac), 0);
    EXPECT_EQ(mac.b.nLen, 16);
    ASSERT_EQ(QELT_CRYPT_GenMAC(ctx, 1, "key", &data, &mac), 0);
    EXPECT_EQ(mac.b.nLen, 20);
    ASSERT_EQ(QELT_CRYPT_GenMAC(ctx, 3, "key", &data, &mac), 0);
    EXPECT_EQ(mac.b.nLen, 32);
}

TEST_F(CryptMac, VerifyRefusalsAndMismatch) {
    OwnedBinstr data(std::string("message")), empty, mac;
    ASSERT_EQ(QELT_CRYPT_GenMAC(ctx, 3, "secret", &data, &mac), 0);
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "", &data, &mac), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_VerifyMAC] 비밀키 정보를 넣어주세요"_cp949);
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "secret", &empty, &mac), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_VerifyMAC] MAC 생성 시 사용되었던 원본 데이터(pData)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "secret", &data, &empty), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_VerifyMAC] MAC 값(pMAC)을 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "secret", &data, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 0, "secret", &data, &mac), QELT_ERR_MAC_ALGORITHM);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_VerifyMAC] 지원되지 않는 MAC 알고리즘입니다."_cp949);

    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "secret", &data, &mac), 0);
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 1, "secret", &data, &mac), QELT_ERR_MAC_VERIFY);  // other algorithm
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "Secret", &data, &mac), QELT_ERR_MAC_VERIFY);  // other key
    mac.b.pVal[31] ^= 0x80;  // right length, one changed byte
    EXPECT_EQ(QELT_CRYPT_VerifyMAC(ctx, 3, "secret", &data, &mac), QELT_ERR_MAC_VERIFY);
    const std::string err = errInfo();
    EXPECT_EQ(err.rfind("[QELT_CRYPT_VerifyMAC] MAC값을 검증하는데 실패하였습니다. <zorinlib> "_cp949, 0), 0u) << err;
    EXPECT_NE(err.find("ZRMac::VerifyMAC-ZCAP_VerifyMAC(2), Verification of signature or MAC failed.(116)"),
              std::string::npos)
        << err;
}
