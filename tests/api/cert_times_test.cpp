// Certificates and signing times outside 1970 to 2038: certificates made by
// `openssl ca` (tests/data/cert_times/make.sh) with notBefore in 1950 and
// notAfter in 2049 (UTCTime) and 2050 (GeneralizedTime) keep their dates in the
// information functions, the remaining days and the CMS signing time.
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ASN1Pkix/PSignedData.h"
#include "ZRProcess/PCertUtil2.h"
#include "qeltapi.h"
#include "test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> timesData(const std::string& name) {
    std::ifstream in(fs::path(QELT_TEST_DATA_DIR) / "cert_times" / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Seconds since 1970 of a UTC calendar time, by the C library.
int64_t utc(int year, int month, int day, int hour, int min, int sec) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    return timegm(&tm);
}

std::string localText(int64_t t, const char* format) {
    const time_t tt = t;
    std::tm local{};
    localtime_r(&tt, &local);
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

class CertTimes : public ApiTest {
protected:
    void expectValidity(const std::string& name, int64_t notBefore, int64_t notAfter) {
        SCOPED_TRACE(name);
        OwnedBinstr der(timesData(name));
        ASSERT_EQ(QELT_CERT_Load(ctx, &der), 0) << errInfo();
        time_t before = 0, after = 0;
        ASSERT_EQ(QELT_CERT_GetNotBefore(ctx, &before), 0);
        ASSERT_EQ(QELT_CERT_GetNotAfter(ctx, &after), 0);
        EXPECT_EQ(before, notBefore);
        EXPECT_EQ(after, notAfter);
        char validity[128] = {};
        ASSERT_EQ(QELT_CERT_GetValidity(ctx, sizeof validity, validity), 0);
        const char* kFormat = "%Y-%m-%d %H:%M:%S";
        EXPECT_EQ(std::string(validity), localText(notBefore, kFormat) + " ~ " + localText(notAfter, kFormat));

        // Not expired: the days left count up to the 2049/2050 date.
        const int64_t now = std::time(nullptr);
        const int expectedDays = static_cast<int>((notAfter - now + 86399) / 86400);
        int days = 0;
        ASSERT_EQ(QELT_CERT_GetRemainDays(ctx, &der, &days), 0) << errInfo();
        EXPECT_NEAR(days, expectedDays, 1);  // the clock may pass midnight between the two readings
        EXPECT_GT(days, 365 * 10);
        // A threshold beyond the expiry warns with the local date of notAfter.
        days = 100000;
        ASSERT_EQ(QELT_CERT_GetRemainDays(ctx, &der, &days), QELT_ERR_CERT_RENEWAL_DUE);
        std::tm local{};
        const time_t expiry = notAfter;
        localtime_r(&expiry, &local);
        char date[64];
        std::snprintf(date, sizeof date, "%d년 %d월 %d일"_cp949, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        EXPECT_NE(errInfo().find(date), std::string::npos) << errInfo();
    }
};

TEST_F(CertTimes, DatesBefore1970AndAfter2038AreKept) {
    expectValidity("utc2049.der", utc(1950, 1, 1, 0, 0, 0), utc(2049, 12, 31, 23, 59, 59));
    expectValidity("gen2050.der", utc(2020, 1, 1, 0, 0, 0), utc(2050, 6, 30, 12, 0, 0));
    expectValidity("ca.der", utc(1950, 1, 1, 0, 0, 0), utc(2050, 12, 31, 23, 59, 59));
}

// A notAfter whose text names no date (month 13) fails the time getters and
// the remaining days with 1200 instead of giving a made-up instant.
TEST_F(CertTimes, AnUnreadableValidityTimeIsRefused) {
    std::vector<uint8_t> der = timesData("utc2049.der");
    const std::string good = "491231235959Z";
    auto at = std::search(der.begin(), der.end(), good.begin(), good.end());
    ASSERT_NE(at, der.end());
    at[2] = '1';
    at[3] = '3';  // 491331235959Z
    OwnedBinstr bad(der);
    ASSERT_EQ(QELT_CERT_Load(ctx, &bad), 0) << errInfo();
    time_t t = 0;
    EXPECT_EQ(QELT_CERT_GetNotBefore(ctx, &t), 0);
    EXPECT_EQ(QELT_CERT_GetNotAfter(ctx, &t), QELT_ERR_CERT_INVALID);
    EXPECT_NE(errInfo().find("notAfter value (491331235959Z) is not a valid time"), std::string::npos) << errInfo();
    char validity[128];
    EXPECT_EQ(QELT_CERT_GetValidity(ctx, sizeof validity, validity), QELT_ERR_CERT_INVALID);
    int days = 0;
    EXPECT_EQ(QELT_CERT_GetRemainDays(ctx, &bad, &days), QELT_ERR_CERT_INVALID);

    PCertUtil2 light;
    ASSERT_EQ(light.parse(std::span<const uint8_t>(der)), 0);
    int64_t notAfter = 0;
    EXPECT_EQ(light.getNotAfter(notAfter), 3);
}

// A signing time past 2038 is written as GeneralizedTime and read back whole;
// the int of QELT_CMS_GetSigner2 cannot hold it and gives -1.
TEST_F(CertTimes, SigningTimesPast2038) {
    const int64_t when = utc(2045, 3, 1, 8, 30, 0);
    const int64_t later = utc(2050, 1, 2, 3, 4, 5);
    for (const int64_t signingTime : {when, later}) {
        PSignedData sd;
        sd.setOption(PSignedData::kPkcs7);
        ASSERT_EQ(sd.setContent(ByteString("content"), nullptr), 0);
        sd.setSigningTime(&signingTime);
        const std::vector<uint8_t> cert = timesData("utc2049.der"), key = timesData("utc2049.p8");
        ASSERT_EQ(sd.addSignerCert(ByteString(cert.data(), static_cast<int>(cert.size())),
                                   ByteString(key.data(), static_cast<int>(key.size())), 0),
                  0)
            << sd.errorText();
        ByteString message;
        ASSERT_EQ(sd.makeSignedData(message), 0) << sd.errorText();
        // UTCTime up to 2049, GeneralizedTime from 2050 on.
        const std::string der(reinterpret_cast<const char*>(message.data()), static_cast<size_t>(message.length()));
        EXPECT_NE(der.find(signingTime == when ? "\x17\x0d"
                                                 "450301083000Z"
                                               : "\x18\x0f"
                                                 "20500102030405Z"),
                  std::string::npos);

        OwnedBinstr in(std::vector<uint8_t>(message.data(), message.data() + message.length())), data, signer;
        char text[32] = {};
        ASSERT_EQ(QELT_CMS_ProcessSignedData(ctx, &in, &data, &signer, text), 0) << errInfo();
        EXPECT_EQ(std::string(text), localText(signingTime, "%Y%m%d%H%M%S"));
        int seconds = 0;
        ASSERT_EQ(QELT_CMS_GetSigner2(ctx, 0, &signer, &seconds), 0);
        EXPECT_EQ(seconds, -1);
    }
}

}  // namespace
}  // namespace qelt::test
