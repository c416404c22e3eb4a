// Certificate lists built and read through the exported functions.
#include "../ZRProcess/cert_fixtures.h"
#include "test_support.h"

using namespace qelt::test;

class CertList : public ApiTest {};

TEST_F(CertList, BuildCountAndRead) {
    OwnedBinstr list, ca(fixtureBytes("ca.der")), ee(fixtureBytes("ee.der"));
    ASSERT_EQ(QELT_CERT_AddCert(ctx, &ca, &list), 0) << errInfo();
    int count = 0;
    ASSERT_EQ(QELT_CERT_GetCertCount(ctx, &list, &count), 0);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(QELT_CERT_AddCert(ctx, &ee, &list), 0);
    ASSERT_EQ(QELT_CERT_AddCert(ctx, &ca, &list), 0);  // duplicates are kept
    ASSERT_EQ(QELT_CERT_GetCertCount(ctx, &list, &count), 0);
    EXPECT_EQ(count, 3);
    OwnedBinstr second;
    ASSERT_EQ(QELT_CERT_GetCert(ctx, &list, 1, &second), 0);
    EXPECT_EQ(second.vec(), fixtureBytes("ee.der"));

    // The list is a plain SEQUENCE OF Certificate: openssl reads its elements.
    const auto bytes = list.vec();
    EXPECT_EQ(bytes[0], 0x30);

    OwnedBinstr out;
    EXPECT_EQ(QELT_CERT_GetCert(ctx, &list, 3, &out), QELT_ERR_CERT_INDEX_RANGE);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_GetCert] 인증서 목록에는 3개의 인증서를 포함하고 있으므로 3번째(0-base) 인증서는 획득할 수 없습니다."_cp949);
    EXPECT_EQ(QELT_CERT_GetCert(ctx, &list, -1, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_GetCert] nIndex가 0보다 작습니다."_cp949);
}

TEST_F(CertList, RefusesWhatIsNotAListOrACertificate) {
    OwnedBinstr cert(fixtureBytes("ca.der")), list;
    int count = 0;
    // A lone certificate is not a list.
    EXPECT_EQ(QELT_CERT_GetCertCount(ctx, &cert, &count), QELT_ERR_CERT_LIST_NOT_LIST);
    EXPECT_NE(errInfo().find("인증서 목록이 아닙니다."_cp949), std::string::npos);
    EXPECT_EQ(QELT_CERT_AddCert(ctx, &cert, &cert), QELT_ERR_CERT_LIST_NOT_LIST);
    OwnedBinstr notCert(std::vector<uint8_t>{0x30, 0x03, 0x02, 0x01, 0x05});
    EXPECT_EQ(QELT_CERT_AddCert(ctx, &notCert, &list), QELT_ERR_CERT_NOT_CERT);
    EXPECT_EQ(QELT_CERT_AddCert(ctx, &cert, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_AddCert] pCerts의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_CERT_GetCertCount(ctx, &list, &count), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_GetCertCount] 인증서 목록(pCerts)을 지정해 주세요."_cp949);
}
