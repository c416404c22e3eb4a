// The verification service through its exported functions: with a bundle
// set and lists placed in the caches (no directory), and against a slapd
// holding the openssl-made hierarchy of tests/data/verify.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "api/api_context.h"
#include "api/cert_verify_common.h"
#include "net/slapd_fixture.h"
#include "test_support.h"
#include "util/time_text.h"

namespace qelt::test {
namespace {

const std::string kCa1Crl = "cn=ca1crl,ou=dp,c=KR";
const std::string kRootArl = "cn=rootarl,ou=dp,c=KR";
const std::string kPolicy = "1.2.410.200004.5.9999.1";

ByteString bytes(const std::vector<uint8_t>& v) { return ByteString(v.data(), static_cast<int>(v.size())); }

// Common steps of the verification tests: trusted roots, bundles, caches.
class VerifyTest : public ApiTest {
protected:
    ApiContext& context() { return *static_cast<ApiContext*>(ctx); }

    void trust(const std::vector<uint8_t>& root) {
        OwnedBinstr cert(root);
        ASSERT_EQ(QELT_CERT_AddTrustedCert(ctx, &cert), 0) << errInfo();
    }
    void setBundle(const std::vector<std::vector<uint8_t>>& certs) {
        OwnedBinstr list;
        for (const auto& c : certs) {
            OwnedBinstr cert(c);
            ASSERT_EQ(QELT_CERT_AddCert(ctx, &cert, &list), 0);
        }
        ASSERT_EQ(QELT_API_SetCaPubs(ctx, &list), 0);
    }
    // "<work>/cache/<kind>/<name>.<ext>" with a UTF-8 name.
    std::string cache(const char* kind, const std::string& name, const char* ext) {
        return cacheFilePath(context(), kind, ByteString(cp949(name).c_str()), ext);
    }
    void putCache(const char* kind, const std::string& name, const char* ext, const std::vector<uint8_t>& data) {
        ASSERT_TRUE(writeCache(cache(kind, name, ext), bytes(data)));
    }
    std::vector<uint8_t> cached(const char* kind, const std::string& name, const char* ext) {
        ByteString b;
        if (!readCache(cache(kind, name, ext), b)) return {};
        return std::vector<uint8_t>(b.data(), b.data() + b.length());
    }
    void option(int revocation) { ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, revocation, 1, "", ""), 0); }

    int verify(const std::vector<uint8_t>& cert, const char* ips = nullptr, int type = 1) {
        OwnedBinstr in(cert);
        return QELT_CERT_Verify(ctx, &in, type, ips, conf.c_str(), 0, nullptr, nullptr);
    }

    std::string conf;
};

// ---------------------------------------------------------------- without a directory

class VerifyOffline : public VerifyTest {
protected:
    void SetUp() override {
        VerifyTest::SetUp();
        conf = (workDir / "qelt.conf").string();
        std::ofstream(conf) << "[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 0\n";
        trust(verifyData("certs/root.der"));
        setBundle({verifyData("certs/ca1.der"), verifyData("certs/ca2.der"), verifyData("certs/root.der")});
        putCache("CRL", kCa1Crl, "crl", verifyData("crl/ca1.crl.der"));
        putCache("ARL", kRootArl, "crl", verifyData("crl/root.arl.der"));
        putCache("CRL", "cn=ca2crl,ou=dp,c=KR", "crl", verifyData("crl/ca2.crl.der"));
    }
};

TEST_F(VerifyOffline, EachTargetUnderEachRevocationOption) {
    struct Case {
        const char* cert;
        int option;
        int code;
    };
    const Case cases[] = {
        // 16: nothing is consulted.
        {"ee_good", 16, 0},
        {"ee_revoked", 16, 0},
        {"ee_hold", 16, 0},
        {"ee_ca2", 16, 0},
        // 4: the target by its CRL.
        {"ee_good", 4, 0},
        {"ee_revoked", 4, QELT_ERR_CERT_REVOKED},
        {"ee_hold", 4, QELT_ERR_CERT_SUSPENDED},
        {"ee_unknown", 4, 0},
        {"ee_ca2", 4, 0},
        // 2: the CA certificates by the ARL.
        {"ee_good", 2, 0},
        {"ee_revoked", 2, 0},
        {"ee_ca2", 2, QELT_ERR_CERT_REVOKED},
        // 6: both.
        {"ee_revoked", 6, QELT_ERR_CERT_REVOKED},
        {"ee_ca2", 6, QELT_ERR_CERT_REVOKED},
        {"ee_unknown", 6, 0},
        // 8: OCSP only, and no responder is known: no fall-back to the CRL.
        {"ee_revoked", 8, QELT_ERR_OCSP_NO_URL},
        // 1: everything; without a responder the target falls back to its CRL.
        {"ee_good", 1, 0},
        {"ee_revoked", 1, QELT_ERR_CERT_REVOKED},
        {"ee_hold", 1, QELT_ERR_CERT_SUSPENDED},
        {"ee_ca2", 1, QELT_ERR_CERT_REVOKED},
    };
    for (const Case& c : cases) {
        option(c.option);
        EXPECT_EQ(verify(verifyData(std::string("certs/") + c.cert + ".der")), c.code)
            << c.cert << " option " << c.option << ": " << errInfo();
    }
}

TEST_F(VerifyOffline, RevocationMessagesNameTheDateAndReason) {
    option(4);
    ASSERT_EQ(verify(verifyData("certs/ee_revoked.der")), QELT_ERR_CERT_REVOKED);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_Verify] 검증하고자 하는 인증서의 폐지 여부 확인 - 폐지된 인증서가 있습니다. (폐지 일자 : "_cp949 +
            timeText(utcSeconds("20240302000000")) + ", 폐지 사유 : keyCompromise)"_cp949);
    ASSERT_EQ(verify(verifyData("certs/ee_hold.der")), QELT_ERR_CERT_SUSPENDED);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_Verify] 검증하고자 하는 인증서의 폐지 여부 확인 - 효력정지된 인증서입니다. (폐지 일시 : "_cp949 +
            timeText(utcSeconds("20240303000000")) + ")");
    option(2);
    ASSERT_EQ(verify(verifyData("certs/ee_ca2.der")), QELT_ERR_CERT_REVOKED);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_Verify] 검증하고자 하는 인증서의 인증기관 인증서 폐지 여부 확인 - 폐지된 인증기관 인증서가 있습니다. (폐지 일자 : "_cp949 +
            timeText(utcSeconds("20240301000000")) + ", 폐지 사유 : cACompromise)"_cp949);
    option(8);
    ASSERT_EQ(verify(verifyData("certs/ee_good.der")), QELT_ERR_OCSP_NO_URL);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_Verify] OCSP 서버 정보(IP, Port)가 부족하여 OCSP를 이용하여 폐지 여부를 확인할 수 없습니다."_cp949);
}

TEST_F(VerifyOffline, CheckStatByCrlReportsTheEntry) {
    char when[20] = "untouched";
    int reason = 99;
    OwnedBinstr good(verifyData("certs/ee_good.der"));
    ASSERT_EQ(QELT_CERT_CheckStatByCRL(ctx, &good, when, &reason), 0) << errInfo();
    EXPECT_EQ(reason, -1);
    EXPECT_STREQ(when, "untouched");

    OwnedBinstr revoked(verifyData("certs/ee_revoked.der"));
    ASSERT_EQ(QELT_CERT_CheckStatByCRL(ctx, &revoked, when, &reason), 0) << errInfo();
    EXPECT_EQ(reason, 1);
    EXPECT_EQ(std::string(when), timeText(utcSeconds("20240302000000")));
    std::strcpy(when, "java");
    ASSERT_EQ(QELT_CERT_CheckStatByCRL(ctx, &revoked, when, &reason), 0);
    EXPECT_STREQ(when, "20240302000000Z");

    OwnedBinstr hold(verifyData("certs/ee_hold.der"));
    ASSERT_EQ(QELT_CERT_CheckStatByCRL(ctx, &hold, when, &reason), 0);
    EXPECT_EQ(reason, 6);

    // No path: reported as the verification's failure.
    OwnedBinstr stranger(verifyData("certs/ee_root3.der"));
    EXPECT_EQ(QELT_CERT_CheckStatByCRL(ctx, &stranger, when, &reason), QELT_ERR_PATH_BUILD);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 인증서 경로 구성을 실패하였습니다."_cp949, 0), 0u) << errInfo();
    EXPECT_EQ(QELT_CERT_CheckStatByCRL(ctx, nullptr, when, &reason), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_CheckStatByCRL] 상태를 확인할 인증서(pCert)를 지정해 주세요."_cp949);
}

TEST_F(VerifyOffline, InitialPolicySets) {
    option(16);
    const auto good = verifyData("certs/ee_good.der");
    EXPECT_EQ(verify(good, kPolicy.c_str()), 0) << errInfo();
    EXPECT_EQ(verify(good, "1.2.3.4"), QELT_ERR_PATH_POLICY);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 인증서 경로 검증 시, 인증서 정책 검증을 실패하였습니다."_cp949, 0),
              0u);
    // The certificate's serial number (lower case) and subject follow the engine's message.
    EXPECT_NE(errInfo().find("<인증서 정보 : 일련번호 = 8a03, DN = cn=정상사용자,ou=사용자,o=한국테스트,c=KR>"_cp949),
              std::string::npos)
        << errInfo();
    // Two policies, one of them the certificate's; a trailing ";" adds nothing.
    EXPECT_EQ(verify(good, ("1.2.3.4;" + kPolicy + ";").c_str()), 0) << errInfo();
    // The configuration's IPS when the call gives none.
    std::ofstream(conf) << "[VALIDATOIN_OPTION]\nIPS = 1.2.3.4;1.2.3.5\n";
    EXPECT_EQ(verify(good), QELT_ERR_PATH_POLICY);
    std::ofstream(conf) << "[VALIDATOIN_OPTION]\nIPS = 1.2.3.4;" << kPolicy << "\n";
    EXPECT_EQ(verify(good), 0) << errInfo();
    // The value of a file changed long enough ago is kept between calls: a
    // change of the same size is seen at the next call (a recent file, or an
    // older one with another time), and so is a file that went away.
    std::string other = kPolicy;
    other.back() = '2';
    const auto rewrite = [&](const std::string& policy, std::chrono::minutes age) {
        std::ofstream(conf) << "[VALIDATOIN_OPTION]\nIPS = 1.2.3.4;" << policy << "\n";
        if (age.count() > 0)
            std::filesystem::last_write_time(conf, std::filesystem::file_time_type::clock::now() - age);
    };
    rewrite(kPolicy, std::chrono::minutes(60));
    EXPECT_EQ(verify(good), 0) << errInfo();
    EXPECT_EQ(verify(good), 0) << errInfo();
    rewrite(other, std::chrono::minutes(0));
    EXPECT_EQ(verify(good), QELT_ERR_PATH_POLICY);
    rewrite(kPolicy, std::chrono::minutes(60));
    EXPECT_EQ(verify(good), 0) << errInfo();
    rewrite(other, std::chrono::minutes(30));
    EXPECT_EQ(verify(good), QELT_ERR_PATH_POLICY);
    std::filesystem::remove(conf);
    EXPECT_EQ(verify(good), QELT_ERR_CONF_READ);
}

TEST_F(VerifyOffline, ValidationTimes) {
    option(16);
    const auto good = verifyData("certs/ee_good.der");
    // A time given in UTC, and the same digits read as local time.
    ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, 0, 1, "20300101000000Z", ""), 0);
    EXPECT_EQ(context().tVerifyTime, utcSeconds("20300101000000"));
    ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, 0, 1, "20300101000000", ""), 0);
    EXPECT_EQ(context().tVerifyTime, utcSeconds("20300101000000") - localUtcOffset());
    EXPECT_EQ(verify(good), 0) << errInfo();

    // Before the hierarchy's notBefore (2024-01-01).
    ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, 0, 1, "20231231000000z", ""), 0);
    EXPECT_EQ(verify(good), QELT_ERR_PATH_VALIDITY);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 인증서 경로 검증 시, 유효기간 검증을 실패하였습니다."_cp949, 0), 0u);

    EXPECT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, 0, 1, "2030010100000", ""), QELT_ERR_TIME_FORMAT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_SetVerifyEnv] 시간은 YYYYMMDDhhmmss(z(Z)) 형식으로 설정해야 한다."_cp949);
    EXPECT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, 0, 1, "20380119031408Z", ""), QELT_ERR_TIME_FORMAT);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_SetVerifyEnv] 1970년 이전 시간이나 2038년 1월 19일 03:14:07이후 시간은 지원하지 않습니다."_cp949);
    // A refused call changes nothing.
    EXPECT_EQ(context().tVerifyTime, utcSeconds("20231231000000"));
}

TEST_F(VerifyOffline, TrustThroughACachedTrustList) {
    option(16);
    setBundle({verifyData("certs/root2.der")});
    putCache("CTL", "cn=테스트 루트 인증기관,o=한국테스트,c=KR", "stl", verifyData("ctl/ctl_sha1.der"));
    EXPECT_EQ(verify(verifyData("certs/ee_root2.der")), 0) << errInfo();
    setBundle({verifyData("certs/root3.der")});
    // The cached list does not name root3; fetched again from a directory the configuration does not know.
    EXPECT_EQ(verify(verifyData("certs/ee_root3.der")), QELT_ERR_CTL_NO_LOCATION) << errInfo();
}

TEST_F(VerifyOffline, BadArgumentsAndInputs) {
    OwnedBinstr good(verifyData("certs/ee_good.der"));
    EXPECT_EQ(QELT_CERT_Verify(ctx, nullptr, 1, nullptr, conf.c_str(), 0, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_Verify] 검증할 인증서(pCert)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CERT_Verify(ctx, &good, 1, nullptr, "", 0, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_Verify] 환경 파일 위치(pszConfFilePath)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CERT_Verify(ctx, &good, 1, nullptr, conf.c_str(), 1, nullptr, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_Verify] OCSP 요청자의 인증서(pMyCert)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_CERT_Verify(ctx, &good, 1, nullptr, conf.c_str(), 1, &good, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CERT_Verify] OCSP 요청자의 개인키(pMyPriKey)를 지정하세요."_cp949);

    option(16);
    const auto der = verifyData("certs/ee_good.der");
    EXPECT_EQ(verify(std::vector<uint8_t>(der.begin(), der.begin() + 200)), QELT_ERR_CERT_INVALID);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 잘못된 검증하고자 하는 인증서 입니다."_cp949, 0), 0u) << errInfo();
    // An OCSP responder's certificate (type 3) goes to its CRL whatever the option, with its own words.
    option(8);
    EXPECT_EQ(verify(verifyData("certs/ee_revoked.der"), nullptr, 3), QELT_ERR_CERT_REVOKED);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] OCSP 인증서의 폐지 여부 확인 - 폐지된 인증서가 있습니다."_cp949, 0),
              0u)
        << errInfo();
    option(16);
    EXPECT_EQ(verify(std::vector<uint8_t>(der.begin(), der.begin() + 200), nullptr, 3), QELT_ERR_CERT_INVALID);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 잘못된 OCSP 인증서 입니다."_cp949, 0), 0u) << errInfo();

    // A bundle that is not a list, or that holds no path.
    OwnedBinstr junk(std::string("\x30\x03\x02\x01\x05", 5));
    ASSERT_EQ(QELT_API_SetCaPubs(ctx, &junk), 0);
    EXPECT_EQ(verify(der), QELT_ERR_PATH_BUILD);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 인증서 경로 구성을 실패하였습니다."_cp949, 0), 0u);
    setBundle({verifyData("certs/root2.der")});
    EXPECT_EQ(verify(der), QELT_ERR_PATH_BUILD);

    // Scope without the full path.
    ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 2, 0, 1, "", ""), 0);
    EXPECT_EQ(verify(der), QELT_ERR_NOT_SUPPORTED_FUNCTION);
    EXPECT_EQ(errInfo(),
              "[QELT_CERT_Verify] 윈도우 클라이언트 모듈에서는 인증서 검증 범위를 지정할 수 없습니다."_cp949);

    EXPECT_EQ(QELT_CERT_CheckStatByOCSP(ctx, &good, nullptr, nullptr, nullptr, nullptr),
              QELT_ERR_NOT_SUPPORTED_FUNCTION);
    EXPECT_EQ(errInfo(),
              "[QELT_CERT_CheckStatByOCSP] 윈도우 클라이언트 모듈에서는 인증서 상태검증을 지원하지 않습니다."_cp949);
}

TEST_F(VerifyOffline, TrustedRootsAndTheirList) {
    OwnedBinstr none;
    EXPECT_EQ(QELT_CERT_AddTrustedCert(ctx, &none), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(),
              "[QELT_CERT_AddTrustedCert] 신뢰하는 최상위 인증기관 인증서(pTrustedCert)를 지정하세요."_cp949);
    OwnedBinstr notCert(std::string("\x30\x03\x02\x01\x05", 5));
    EXPECT_EQ(QELT_CERT_AddTrustedCert(ctx, &notCert), QELT_ERR_CERT_NOT_CERT);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_AddTrustedCert] 인증서가 아닙니다."_cp949, 0), 0u);
    const auto root = verifyData("certs/root.der");
    OwnedBinstr cut(std::vector<uint8_t>(root.begin(), root.end() - 1));
    EXPECT_EQ(QELT_CERT_AddTrustedCert(ctx, &cut), QELT_ERR_CERT_INVALID);

    // A root with the anchor's name and key but other bytes is not the anchor.
    option(16);
    const auto twin = verifyData("certs/root_twin.der");
    void* other = nullptr;
    ASSERT_EQ(QELT_API_Init(&other, workDir.c_str()), 0);
    OwnedBinstr twinCert(twin);
    ASSERT_EQ(QELT_CERT_AddTrustedCert(other, &twinCert), 0);
    OwnedBinstr bundle;
    for (const auto& c : {verifyData("certs/ca1.der"), verifyData("certs/root.der")}) {
        OwnedBinstr cert(c);
        ASSERT_EQ(QELT_CERT_AddCert(other, &cert, &bundle), 0);
    }
    ASSERT_EQ(QELT_API_SetCaPubs(other, &bundle), 0);
    ASSERT_EQ(QELT_CERT_SetVerifyEnv(other, 0, 16, 0, "", ""), 0);
    OwnedBinstr good(verifyData("certs/ee_good.der"));
    EXPECT_EQ(QELT_CERT_Verify(other, &good, 1, nullptr, conf.c_str(), 0, nullptr, nullptr), QELT_ERR_CTL_NO_LOCATION);
    // No trusted root at all.
    void* bare = nullptr;
    ASSERT_EQ(QELT_API_Init(&bare, workDir.c_str()), 0);
    ASSERT_EQ(QELT_API_SetCaPubs(bare, &bundle), 0);
    EXPECT_EQ(QELT_CERT_Verify(bare, &good, 1, nullptr, conf.c_str(), 0, nullptr, nullptr), QELT_ERR_NO_TRUST_ANCHOR);
    QELT_API_Finish(&bare);
    QELT_API_Finish(&other);
}

// ---------------------------------------------------------------- with the directory

class VerifyDirectory : public VerifyTest {
protected:
    static void SetUpTestSuite() {
        directory = new TestDirectory;
        std::string error;
        if (!directory->start(processDir("VerifyDirectory.directory"), error)) setupError = new std::string(error);
    }
    static void TearDownTestSuite() {
        delete directory;
        directory = nullptr;
    }
    void SetUp() override {
        VerifyTest::SetUp();
        ASSERT_EQ(setupError, nullptr) << *setupError;
        conf = directory->confPath().string();
        trust(verifyData("certs/root.der"));
    }
    std::vector<uint8_t> cert(const char* name) { return directory->cert(name); }

    static TestDirectory* directory;
    static std::string* setupError;
};
TestDirectory* VerifyDirectory::directory = nullptr;
std::string* VerifyDirectory::setupError = nullptr;

const char* const kCa1DNText = "cn=테스트 CA1,ou=인증기관,o=한국테스트,c=KR";

TEST_F(VerifyDirectory, EachTargetUnderEachRevocationOption) {
    struct Case {
        const char* cert;
        int option;
        int code;
    };
    const Case cases[] = {
        {"ee_good", 1, 0},
        {"ee_revoked", 1, QELT_ERR_CERT_REVOKED},
        {"ee_hold", 1, QELT_ERR_CERT_SUSPENDED},
        {"ee_unknown", 1, 0},
        {"ee_ca2", 1, QELT_ERR_CERT_REVOKED},
        {"ee_revoked", 2, 0},
        {"ee_ca2", 2, QELT_ERR_CERT_REVOKED},
        {"ee_hold", 4, QELT_ERR_CERT_SUSPENDED},
        {"ee_unknown", 4, 0},
        {"ee_revoked", 8, QELT_ERR_OCSP_NO_URL},
        {"ee_revoked", 16, 0},
    };
    for (const bool useCache : {false, true}) {
        for (const Case& c : cases) {
            ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, c.option, useCache ? 1 : 0, "", ""), 0);
            EXPECT_EQ(verify(cert(c.cert)), c.code)
                << c.cert << " option " << c.option << " cache " << useCache << ": " << errInfo();
        }
    }
}

TEST_F(VerifyDirectory, CachesAreWrittenAndServeWithoutTheDirectory) {
    option(1);
    ASSERT_EQ(verify(cert("ee_good")), 0) << errInfo();
    // Written where they belong, with what the directory holds.
    EXPECT_EQ(cached("CRL", kCa1Crl, "crl"), verifyData("crl/ca1.crl.der"));
    EXPECT_EQ(cached("ARL", kRootArl, "crl"), verifyData("crl/root.arl.der"));
    std::vector<uint8_t> bundle = cached("CaPubs", kCa1DNText, "cpb");
    ASSERT_FALSE(bundle.empty());
    OwnedBinstr list(bundle), first;
    ASSERT_EQ(QELT_CERT_GetCert(ctx, &list, 0, &first), 0);
    EXPECT_EQ(first.vec(), cert("ca1"));

    directory->stop();
    EXPECT_EQ(verify(cert("ee_good")), 0) << errInfo();
    EXPECT_EQ(verify(cert("ee_revoked")), QELT_ERR_CERT_REVOKED) << errInfo();
    // A certificate whose bundle was never fetched needs the directory.
    EXPECT_EQ(verify(cert("ee_ca2")), QELT_ERR_LDAP_BIND) << errInfo();
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] 인증서 경로 구축 - "_cp949, 0), 0u) << errInfo();
    std::string error;
    ASSERT_TRUE(directory->restart(error)) << error;
}

TEST_F(VerifyDirectory, StaleCachedListsAreFetchedAgain) {
    option(4);
    for (const char* stale : {"crl/ca1_expired.crl.der", "crl/ca1_future.crl.der", "crl/ca1_otherkey.crl.der"}) {
        putCache("CRL", kCa1Crl, "crl", verifyData(stale));
        EXPECT_EQ(verify(cert("ee_revoked")), QELT_ERR_CERT_REVOKED) << stale << ": " << errInfo();
        EXPECT_EQ(cached("CRL", kCa1Crl, "crl"), verifyData("crl/ca1.crl.der")) << stale;
    }
    // Without the cache nothing is read from it or written to it.
    putCache("CRL", kCa1Crl, "crl", verifyData("crl/ca1_otherkey.crl.der"));
    ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, 4, 0, "", ""), 0);
    EXPECT_EQ(verify(cert("ee_good")), 0) << errInfo();
    EXPECT_EQ(cached("CRL", kCa1Crl, "crl"), verifyData("crl/ca1_otherkey.crl.der"));
}

TEST_F(VerifyDirectory, AStaleCachedBundleIsFetchedAgainOnce) {
    option(16);
    // CA1 as it was in 2020: the target outlives it, so the cached bundle is stale.
    OwnedBinstr stale;
    for (const auto& c : {verifyData("certs/ca1_expired.der"), verifyData("certs/root.der")}) {
        OwnedBinstr one(c);
        ASSERT_EQ(QELT_CERT_AddCert(ctx, &one, &stale), 0);
    }
    putCache("CaPubs", kCa1DNText, "cpb", stale.vec());
    EXPECT_EQ(verify(cert("ee_good")), 0) << errInfo();
    OwnedBinstr fresh(cached("CaPubs", kCa1DNText, "cpb")), first;
    ASSERT_EQ(QELT_CERT_GetCert(ctx, &fresh, 0, &first), 0);
    EXPECT_EQ(first.vec(), cert("ca1"));

    // A bundle from the caller is never replaced: the stale CA stays an error.
    ASSERT_EQ(QELT_API_SetCaPubs(ctx, &stale), 0);
    EXPECT_EQ(verify(cert("ee_good")), QELT_ERR_PATH_VALIDITY);
}

TEST_F(VerifyDirectory, RootsTrustedThroughTheTrustList) {
    option(16);
    EXPECT_EQ(verify(verifyData("certs/ee_root2.der")), 0) << errInfo();
    EXPECT_EQ(cached("CTL", TestDirectory::kRootDN, "stl"), verifyData("ctl/ctl_sha1.der"));
    EXPECT_EQ(verify(verifyData("certs/ee_root3.der")), QELT_ERR_PATH_UNTRUSTED_ROOT);
    EXPECT_EQ(errInfo(),
              "[QELT_CERT_Verify] 검증하고자 하는 인증서 경로의 최상위 인증기관 인증서를 신뢰할 수 없습니다."_cp949);
    // An expired cached list is fetched again.
    putCache("CTL", TestDirectory::kRootDN, "stl", verifyData("ctl/ctl_expired.der"));
    EXPECT_EQ(verify(verifyData("certs/ee_root2.der")), 0) << errInfo();
    EXPECT_EQ(cached("CTL", TestDirectory::kRootDN, "stl"), verifyData("ctl/ctl_sha1.der"));
}

TEST_F(VerifyDirectory, BundlesFromTheConfigurationsDirectories) {
    option(16);
    // ECDSA all the way, five CAs up.
    trust(verifyData("certs/deep6.der"));
    EXPECT_EQ(verify(verifyData("certs/ee_deep2.der")), 0) << errInfo();
    EXPECT_EQ(verify(verifyData("certs/ee_deep.der")), QELT_ERR_PATH_FETCH);
    EXPECT_EQ(errInfo(), "[QELT_CERT_Verify] 인증서 경로 구축 - 인증경로를 획득하는데 실패하였습니다."_cp949);

    conf = directory->writeConf("no-ca1.conf", "[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 0\n").string();
    EXPECT_EQ(verify(cert("ee_hold")), QELT_ERR_LDAP_NO_ISSUER_INFO);
    EXPECT_EQ(
        errInfo(),
        "[QELT_CERT_Verify] 인증서 경로 구축 - 발급자 \"cn=테스트 CA1,ou=인증기관,o=한국테스트,c=KR\"에 대한 LDAP 주소가 없습니다."_cp949);
}

}  // namespace
}  // namespace qelt::test
