// Certificate trust lists: the check of one list against a root and its
// anchor (openssl-made lists of tests/data/verify), and the service's
// consultation of the anchors' lists through the cache and the directory.
#include "api/api_context.h"
#include "api/cert_verify_common.h"
#include "api/cert_verify_ctl.h"
#include "net/slapd_fixture.h"
#include "test_support.h"
#include "util/file_io.h"

namespace qelt::test {
namespace {

ByteString bytes(const std::vector<uint8_t>& v) { return ByteString(v.data(), static_cast<int>(v.size())); }
ByteString data(const std::string& name) { return bytes(verifyData(name)); }

const int64_t kMid2030 = utcSeconds("20300101000000");

struct CtlCase {
    const char* ctl;
    const char* root;
    const char* anchor;
    int code;
    const char* detail;  // a text the failure's message or detail holds, or null
};

TEST(CtlCheck, ListedRootsAndEveryRefusal) {
    const CtlCase cases[] = {
        {"ctl/ctl_sha1.der", "certs/root2.der", "certs/root.der", 0, nullptr},
        {"ctl/ctl_sha256.der", "certs/root2.der", "certs/root.der", 0, nullptr},
        // No certificates in the message: the anchor supplied is the signer's.
        {"ctl/ctl_nocerts.der", "certs/root2.der", "certs/root.der", 0, nullptr},
        {"ctl/ctl_sha1.der", "certs/root3.der", "certs/root.der", QELT_ERR_PATH_UNTRUSTED_ROOT, nullptr},
        // The SHA-256 list does not match a SHA-1 hash of the same root, nor the reverse.
        {"ctl/ctl_sha256.der", "certs/root_twin.der", "certs/root.der", QELT_ERR_PATH_UNTRUSTED_ROOT, nullptr},
        // Signed with the same key by a certificate that differs from the anchor.
        {"ctl/ctl_twin.der", "certs/root2.der", "certs/root.der", QELT_ERR_CTL_UNTRUSTED_ISSUER,
         "CTL 발급자를 신뢰할 수 없습니다."},
        // No certificate of the signer anywhere.
        {"ctl/ctl_nocerts.der", "certs/root2.der", "certs/root2.der", QELT_ERR_CTL_NO_SIGNER_CERT,
         "CTL 서명자의 인증서 정보가 없어서 CTL의 서명을 검증할 수 없습니다."},
        {"ctl/ctl_v2.der", "certs/root2.der", "certs/root.der", QELT_ERR_CTL_INVALID, "Only support version 1 CTL."},
        {"ctl/ctl_expired.der", "certs/root2.der", "certs/root.der", QELT_ERR_CTL_EXPIRED,
         "이미 유효기간이 지난 CTL 입니다.(현재 시간 : "},
        {"crl/ca1.crl.der", "certs/root2.der", "certs/root.der", QELT_ERR_CTL_NOT_CTL,
         "ContentType is not SignedData."},
    };
    for (const CtlCase& c : cases) {
        ServiceFailure f;
        EXPECT_EQ(checkCTL(kMid2030, data(c.ctl), data(c.root), data(c.anchor), f), c.code) << c.ctl << " " << c.root;
        if (c.detail != nullptr) {
            const std::string all = std::string(f.message.c_str()) + " " + f.libText.c_str();
            EXPECT_NE(all.find(cp949(c.detail)), std::string::npos) << all;
        }
    }
}

TEST(CtlCheck, TimesAreCheckedAgainstTheValidationTime) {
    ServiceFailure f;
    const ByteString ctl = data("ctl/ctl_sha1.der"), root2 = data("certs/root2.der"), root = data("certs/root.der");
    const int64_t early = utcSeconds("20231231235959");
    EXPECT_EQ(checkCTL(early, ctl, root2, root, f), QELT_ERR_CTL_NOT_YET_VALID);
    EXPECT_EQ(std::string(f.message.c_str()), cp949("인증서 신뢰 목록 발급 시간(") +
                                                  timeText(utcSeconds("20240101000000")) + cp949(")이 현재 시간(") +
                                                  timeText(early) + cp949(")이 보다 이후입니다."));
    // Valid up to and including its next update (2049).
    EXPECT_EQ(checkCTL(utcSeconds("20490101000000"), ctl, root2, root, f), 0);
    EXPECT_EQ(checkCTL(utcSeconds("20490101000001"), ctl, root2, root, f), QELT_ERR_CTL_EXPIRED);
    // Published in 2024 with a next update in 2021: in 2020 it is not yet valid.
    EXPECT_EQ(checkCTL(utcSeconds("20201231000000"), data("ctl/ctl_expired.der"), root2, root, f),
              QELT_ERR_CTL_NOT_YET_VALID);
}

TEST(CtlCheck, DamagedListsAreRefused) {
    const ByteString good = data("ctl/ctl_sha1.der"), root2 = data("certs/root2.der"), root = data("certs/root.der");
    ServiceFailure f;
    // A changed signature byte (the signature is the message's last bytes).
    ByteString tampered(good);
    tampered.data()[tampered.length() - 5] ^= 0x01;
    EXPECT_EQ(checkCTL(kMid2030, tampered, root2, root, f), QELT_ERR_CTL_INVALID);
    // Every truncation is refused, never read past its end.
    for (int len = 0; len < good.length(); len += 7) {
        ByteString cut(good.data(), len);
        const int rc = checkCTL(kMid2030, cut, root2, root, f);
        EXPECT_TRUE(rc == QELT_ERR_CTL_NOT_CTL || rc == QELT_ERR_CTL_INVALID) << len << " " << rc;
    }
    EXPECT_EQ(checkCTL(kMid2030, ByteString("garbage"), root2, root, f), QELT_ERR_CTL_NOT_CTL);
    EXPECT_STREQ(f.message.c_str(), "신뢰 인증서 목록이 아닙니다."_cp949);
}

// The service's consultation of the anchors' lists, with the directory.
class CtlService : public ApiTest {
protected:
    static void SetUpTestSuite() {
        directory = new TestDirectory;
        std::string error;
        if (!directory->start(processDir("CtlService.directory"), error)) setupError = new std::string(error);
    }
    static void TearDownTestSuite() {
        delete directory;
        directory = nullptr;
    }
    void SetUp() override {
        ApiTest::SetUp();
        ASSERT_EQ(setupError, nullptr) << *setupError;
        ASSERT_EQ(QELT_API_SetConfFile(ctx, directory->confPath().c_str()), 0);
        context().tVerifyTime = static_cast<int32_t>(kMid2030);
    }
    ApiContext& context() { return *static_cast<ApiContext*>(ctx); }
    std::string cachePath() {
        return cacheFilePath(context(), "CTL", ByteString(cp949(TestDirectory::kRootDN).c_str()), "stl");
    }

    static TestDirectory* directory;
    static std::string* setupError;
};
TestDirectory* CtlService::directory = nullptr;
std::string* CtlService::setupError = nullptr;

TEST_F(CtlService, FetchesCachesAndReusesTheAnchorsList) {
    ServiceFailure f;
    const std::vector<ByteString> anchors = {data("certs/root.der")};
    ASSERT_EQ(trustRootByCTL(context(), anchors, data("certs/root2.der"), f), 0) << f.message.c_str();
    ByteString cached;
    ASSERT_TRUE(readCache(cachePath(), cached));
    EXPECT_TRUE(cached.equals(data("ctl/ctl_sha1.der")));
    EXPECT_EQ(cachePath(), workDir.string() + "/cache/CTL/" + cp949(TestDirectory::kRootDN) + ".stl");

    // With the directory gone the cached list still answers.
    directory->stop();
    EXPECT_EQ(trustRootByCTL(context(), anchors, data("certs/root2.der"), f), 0) << f.message.c_str();
    EXPECT_EQ(trustRootByCTL(context(), anchors, data("certs/root3.der"), f), QELT_ERR_CTL_FETCH);
    std::string error;
    ASSERT_TRUE(directory->restart(error)) << error;
    EXPECT_EQ(trustRootByCTL(context(), anchors, data("certs/root3.der"), f), QELT_ERR_PATH_UNTRUSTED_ROOT);
}

TEST_F(CtlService, AnExpiredCachedListIsFetchedAgain) {
    ServiceFailure f;
    ASSERT_TRUE(writeCache(cachePath(), data("ctl/ctl_expired.der")));
    ASSERT_EQ(trustRootByCTL(context(), {data("certs/root.der")}, data("certs/root2.der"), f), 0) << f.message.c_str();
    ByteString cached;
    ASSERT_TRUE(readCache(cachePath(), cached));
    EXPECT_TRUE(cached.equals(data("ctl/ctl_sha1.der")));

    // Without the cache nothing is read from or written to it.
    dropCache(cachePath());
    context().bUseCache = 0;
    ASSERT_EQ(trustRootByCTL(context(), {data("certs/root.der")}, data("certs/root2.der"), f), 0);
    EXPECT_FALSE(fileExists(cachePath().c_str()));
}

TEST_F(CtlService, AnchorsWithoutAListLocation) {
    ServiceFailure f;
    // root2's section names no CTL.
    EXPECT_EQ(trustRootByCTL(context(), {data("certs/root2.der")}, data("certs/root3.der"), f), QELT_ERR_LDAP_CONF);
    EXPECT_STREQ(f.message.c_str(), "환경파일에서 [LDAP_INFO4]의 CTL 정보를 읽는데 실패하였습니다."_cp949);
    const auto conf = directory->writeConf("nothing.conf", "[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 0\n");
    ASSERT_EQ(QELT_API_SetConfFile(ctx, conf.c_str()), 0);
    EXPECT_EQ(trustRootByCTL(context(), {data("certs/root.der")}, data("certs/root2.der"), f),
              QELT_ERR_CTL_NO_LOCATION);
    // An anchor's list that is not a trust list ends the search.
    const std::string u = directory->url();
    const auto junk = directory->writeConf(
        "junk.conf", "[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 1\n[LDAP_INFO1]\nDN = " +
                         std::string(TestDirectory::kRootDN) + "\nURL = " + u + "\nCTL = cn=junk,ou=dp,c=KR\n");
    ASSERT_EQ(QELT_API_SetConfFile(ctx, junk.c_str()), 0);
    EXPECT_EQ(trustRootByCTL(context(), {data("certs/root.der")}, data("certs/root2.der"), f), QELT_ERR_CTL_NOT_CTL);
}

}  // namespace
}  // namespace qelt::test
