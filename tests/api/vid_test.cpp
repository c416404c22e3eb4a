// The local identity check against OpenSSL-made certificates whose
// subjectAltName carries identification data computed by make_ident_data.sh
// (openssl asn1parse and dgst), with the random number read from the key.
#include "ident_test_data.h"

namespace qelt::test {
namespace {

class VidApi : public ApiTest {
protected:
    Bytes randomOf(const Bytes& key) {
        OwnedBinstr k(key), r;
        EXPECT_EQ(QELT_VID_GetRandomFromPriKey(ctx, &k, &r), 0) << errInfo();
        return r.vec();
    }
    int check(const Bytes& cert, const Bytes& random, const char* idn) {
        OwnedBinstr c(cert), r(random);
        return QELT_VID_Verify(ctx, &c, &r, idn);
    }
    const Bytes user = identData("user.der"), biz = identData("biz.der");
};

TEST_F(VidApi, TheOwnerIsRecognisedAndOthersAreNot) {
    const Bytes userRandom = randomOf(identData("user.p8")), bizRandom = randomOf(identData("biz.p8"));
    EXPECT_EQ(check(user, userRandom, "8001011234567"), 0) << errInfo();  // VID with SHA-256
    EXPECT_EQ(check(biz, bizRandom, "1208147521"), 0) << errInfo();       // VID with SHA-1

    EXPECT_EQ(check(user, userRandom, "8001011234568"), QELT_ERR_VID_NOT_OWNER);
    EXPECT_NE(errInfo().find("주민(사업자)등록번호에 대한 인증서 소유자가 아닙니다."_cp949), std::string::npos);
    EXPECT_NE(errInfo().find("VID is different."), std::string::npos) << errInfo();
    EXPECT_EQ(check(user, bizRandom, "8001011234567"), QELT_ERR_VID_NOT_OWNER);
    EXPECT_EQ(check(biz, userRandom, "1208147521"), QELT_ERR_VID_NOT_OWNER);
    Bytes shortRandom(userRandom.begin(), userRandom.end() - 1);
    EXPECT_EQ(check(user, shortRandom, "8001011234567"), QELT_ERR_VID_NOT_OWNER);
    // A number that cannot be a PrintableString cannot be the owner's.
    EXPECT_EQ(check(user, userRandom, "홍길동"_cp949), QELT_ERR_VID_NOT_OWNER);
}

TEST_F(VidApi, CertificatesWithoutIdentificationData) {
    const Bytes random = randomOf(identData("user.p8"));
    EXPECT_EQ(check(identData("plain.der"), random, "8001011234567"), QELT_ERR_VID_NO_INFO);
    EXPECT_NE(errInfo().find("인증서 안에 본인확인 정보가 없습니다."_cp949), std::string::npos);
    EXPECT_NE(errInfo().find("The certificate's SubjectAltName does not have identifyData."), std::string::npos);
    // Identification data whose user information is not a VID.
    EXPECT_EQ(check(identData("novid.der"), random, "8001011234567"), QELT_ERR_VID_NO_INFO);
    EXPECT_NE(errInfo().find("AttrType is not OID_id_VID"), std::string::npos) << errInfo();

    EXPECT_EQ(check(Bytes{0x30, 0x03, 0x02, 0x01, 0x01}, random, "8001011234567"), QELT_ERR_CERT_NOT_CERT);
    EXPECT_NE(errInfo().find("인증서가 아닙니다."_cp949), std::string::npos);
    const Bytes truncated(user.begin(), user.begin() + 300);
    EXPECT_EQ(check(truncated, random, "8001011234567"), QELT_ERR_CERT_INVALID);
    EXPECT_NE(errInfo().find("잘못된 인증서 입니다."_cp949), std::string::npos);
}

TEST_F(VidApi, ArgumentMessages) {
    OwnedBinstr cert(user), random(Bytes{1, 2, 3}), empty;
    EXPECT_EQ(QELT_VID_Verify(ctx, &empty, &random, "1"), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("인증서를 지정해 주세요."_cp949), std::string::npos);
    EXPECT_EQ(QELT_VID_Verify(ctx, &cert, nullptr, "1"), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("랜덤값을 지정해 주세요."_cp949), std::string::npos);
    EXPECT_EQ(QELT_VID_Verify(ctx, &cert, &random, ""), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("주민(사업자)등록번호(IDN)를 지정해 주세요."_cp949), std::string::npos);
}

}  // namespace
}  // namespace qelt::test
