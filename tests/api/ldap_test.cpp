// The directory client: URL parsing, the QELT_LDAP_* family against a real
// slapd holding the test hierarchy, path building from the directory, and
// the time-outs against a directory that refuses connections and one that
// accepts them and never answers.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "net/ldap_url.h"
#include "net/slapd_fixture.h"
#include "test_support.h"

namespace qelt::test {
namespace {

TEST(LdapUrl, SplitsSchemeHostPortAndPath) {
    ParsedUrl u;
    ServiceFailure f;
    ASSERT_EQ(parseURL("LDAP://dir.example.kr/cn=CA,o=Example,c=KR?cACertificate;binary", UrlProtocol::Ldap, u, f), 0);
    EXPECT_EQ(u.host, "dir.example.kr");
    EXPECT_EQ(u.port, 389);
    EXPECT_EQ(u.path, "cn=CA,o=Example,c=KR");

    ASSERT_EQ(parseURL("ldap://10.0.0.1:1389", UrlProtocol::Ldap, u, f), 0);
    EXPECT_EQ(u.port, 1389);
    EXPECT_EQ(u.path, "");

    ASSERT_EQ(parseURL("Http://ocsp.example.kr/a/b?x", UrlProtocol::Http, u, f), 0);
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, "/a/b?x");

    // A port that is not a number gives the default.
    ASSERT_EQ(parseURL("ldap://h:12x/c=KR", UrlProtocol::Ldap, u, f), 0);
    EXPECT_EQ(u.port, 389);
}

TEST(LdapUrl, RefusesMissingSeparatorAndOtherProtocols) {
    ParsedUrl u;
    ServiceFailure f;
    EXPECT_EQ(parseURL("dir.example.kr/c=KR", UrlProtocol::Ldap, u, f), QELT_ERR_LDAP_URL_SCHEME);
    EXPECT_STREQ(f.message.c_str(), "URL에서 \"://\"를 찾을 수 없습니다."_cp949);
    EXPECT_EQ(parseURL("ftp://h/x", UrlProtocol::Ldap, u, f), QELT_ERR_LDAP_URL_PROTOCOL);
    EXPECT_STREQ(f.message.c_str(), "해당 서비스에 대해서 ftp 프로토콜은 지원하지 않습니다."_cp949);
    // The scheme found is named, in capitals, when it is not the one expected.
    EXPECT_EQ(parseURL("http://h/x", UrlProtocol::Ldap, u, f), QELT_ERR_LDAP_URL_PROTOCOL);
    EXPECT_STREQ(f.message.c_str(), "해당 서비스에 대해서 HTTP 프로토콜은 지원하지 않습니다."_cp949);
}

class LdapTest : public ApiTest {
protected:
    static void SetUpTestSuite() {
        directory = new TestDirectory;
        std::string error;
        if (!directory->start(processDir("LdapTest.directory"), error)) setupError = new std::string(error);
    }
    static void TearDownTestSuite() {
        delete directory;
        directory = nullptr;
    }
    void SetUp() override {
        ApiTest::SetUp();
        ASSERT_EQ(setupError, nullptr) << *setupError;
    }
    // The URL of an entry, its DN given in UTF-8.
    static std::string url(const std::string& dnUtf8) { return cp949(directory->urlOf(dnUtf8)); }

    int byUrl(int type, const std::string& u, OwnedBinstr& out) {
        return QELT_LDAP_GetDataByURL(ctx, type, u.c_str(), &out);
    }

    static TestDirectory* directory;
    static std::string* setupError;
};
TestDirectory* LdapTest::directory = nullptr;
std::string* LdapTest::setupError = nullptr;

TEST_F(LdapTest, ReadsEachDataTypeFromTheEntryAUrlNames) {
    const auto root = url(TestDirectory::kRootDN);
    const auto good = url(TestDirectory::kGoodDN);
    OwnedBinstr out;
    ASSERT_EQ(byUrl(1, root + "?cACertificate;binary", out), 0) << errInfo();
    EXPECT_EQ(out.vec(), verifyData("certs/root.der"));
    ASSERT_EQ(byUrl(5, url("cn=rootarl,ou=dp,c=KR"), out), 0) << errInfo();
    EXPECT_EQ(out.vec(), verifyData("crl/root.arl.der"));
    ASSERT_EQ(byUrl(6, url("cn=ca1crl,ou=dp,c=KR"), out), 0) << errInfo();
    EXPECT_EQ(out.vec(), verifyData("crl/ca1.crl.der"));
    ASSERT_EQ(byUrl(8, url(TestDirectory::kCtlDN), out), 0) << errInfo();
    EXPECT_EQ(out.vec(), verifyData("ctl/ctl_sha1.der"));
    // Signing certificates: digitalSignature is set.
    ASSERT_EQ(byUrl(2, good, out), 0) << errInfo();
    EXPECT_EQ(out.vec(), directory->cert("ee_good"));
    ASSERT_EQ(QELT_LDAP_GetAnyDataByURL(ctx, const_cast<char*>("cacertificate"), root.c_str(), &out), 0);
    EXPECT_EQ(out.vec(), verifyData("certs/root.der"));

    // Key-management certificates need keyEncipherment or keyAgreement.
    EXPECT_EQ(byUrl(3, good, out), QELT_ERR_NOT_ENCRYPTION_CERT);
    EXPECT_NE(errInfo().find("암호화용 인증서가 아닙니다."_cp949), std::string::npos) << errInfo();
    for (int type : {0, 4, 10}) {
        EXPECT_EQ(byUrl(type, good, out), QELT_ERR_UNSUPPORTED_TYPE) << type;
        EXPECT_EQ(errInfo(), "[QELT_LDAP_GetDataByURL] 지원되지 않는 데이터 타입입니다."_cp949);
    }
}

TEST_F(LdapTest, SkipsPlaceholderAndPemValues) {
    OwnedBinstr out;
    ASSERT_EQ(byUrl(9, url("cn=pem,ou=dp,c=KR"), out), 0) << errInfo();
    EXPECT_EQ(out.vec(), directory->cert("ee_good"));
    EXPECT_EQ(byUrl(9, url("cn=pemonly,ou=dp,c=KR"), out), QELT_ERR_LDAP_NO_ATTRIBUTE);
    EXPECT_NE(errInfo().find("찾고자 하는 데이터가 해당 엔트리에 존재하지 않습니다."_cp949), std::string::npos);
}

TEST_F(LdapTest, RefusesValuesThatAreNotWhatTheTypePromises) {
    OwnedBinstr out;
    EXPECT_EQ(byUrl(2, url("cn=junk,ou=dp,c=KR"), out), QELT_ERR_CERT_NOT_CERT);
    EXPECT_NE(errInfo().find("인증서가 아닙니다."_cp949), std::string::npos) << errInfo();
    EXPECT_EQ(byUrl(2, url("cn=truncated,ou=dp,c=KR"), out), QELT_ERR_CERT_INVALID);
    EXPECT_NE(errInfo().find("잘못된 인증서 입니다."_cp949), std::string::npos) << errInfo();
    EXPECT_EQ(out.b.pVal, nullptr);
}

TEST_F(LdapTest, ReportsTheDirectorysOwnFailures) {
    OwnedBinstr out;
    const std::string missing = url("cn=없음,ou=dp,c=KR");
    EXPECT_EQ(byUrl(1, missing, out), QELT_ERR_LDAP_SEARCH);
    // noSuchObject (32) with the directory's text, after the address and attribute.
    EXPECT_EQ(errInfo().rfind("[QELT_LDAP_GetDataByURL] " + missing + "?cacertificate에서 데이터 획득 실패 - "_cp949 +
                                  "LDAP 함수 ldap_search_st 실패 <ldaplib> errcode=0x20,msg=No such object"_cp949,
                              0),
              0u)
        << errInfo();
    // An entry without the attribute.
    EXPECT_EQ(byUrl(8, url(TestDirectory::kRootDN), out), QELT_ERR_LDAP_NO_ATTRIBUTE);

    const std::string web = cp949(directory->url()).replace(0, 4, "http") + "/c=KR";
    EXPECT_EQ(byUrl(1, web, out), QELT_ERR_LDAP_URL_PROTOCOL);
    EXPECT_NE(errInfo().find("해당 서비스에 대해서 HTTP 프로토콜은 지원하지 않습니다."_cp949), std::string::npos);

    EXPECT_EQ(QELT_LDAP_GetDataByURL(ctx, 1, "", &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetDataByURL] 획득할 데이터의 게시 위치(pszURL)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_LDAP_GetDataByURL(ctx, 1, missing.c_str(), nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetDataByURL] pData의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_LDAP_GetAnyDataByURL(ctx, nullptr, missing.c_str(), &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetAnyDataByURL] 획득할 데이터의 속성값(pszAttribute)을 입력해 주세요."_cp949);
}

TEST_F(LdapTest, FindsAnEntryByItsCommonName) {
    char dn[1024];
    std::memset(dn, 'x', sizeof dn);
    OwnedBinstr out;
    const std::string cn = cp949("정상사용자");
    ASSERT_EQ(QELT_LDAP_GetDataByCN(ctx, "127.0.0.1", directory->port(), cn.c_str(), 2, dn, &out), 0) << errInfo();
    EXPECT_EQ(std::string(dn), cp949(TestDirectory::kGoodDN));
    EXPECT_EQ(out.vec(), directory->cert("ee_good"));

    const std::string twice = cp949("중복");
    EXPECT_EQ(QELT_LDAP_GetDataByCN(ctx, "127.0.0.1", directory->port(), twice.c_str(), 9, dn, &out),
              QELT_ERR_LDAP_MULTIPLE_DN);
    EXPECT_EQ(std::string(dn), "");
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetDataByCN] cn="_cp949 + twice +
                             "에 대한 wusercertificate 데이터 획득 실패 - cn="_cp949 + twice +
                             "에 대해서 2개 이상의 DN이 발견되었습니다."_cp949);

    EXPECT_EQ(QELT_LDAP_GetDataByCN(ctx, "127.0.0.1", directory->port(), "nobody", 2, dn, &out),
              QELT_ERR_LDAP_NO_ENTRY);
    EXPECT_EQ(QELT_LDAP_GetDataByCN(ctx, "127.0.0.1", 0, "x", 2, dn, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetDataByCN] LDAP 디렉토리 Port(nPort)를 지정해 주세요."_cp949);
}

TEST_F(LdapTest, GetsTheCrlOrArlThroughTheDistributionPoints) {
    OwnedBinstr crl;
    OwnedBinstr good(directory->cert("ee_good"));
    ASSERT_EQ(QELT_LDAP_GetCRLByCert(ctx, &good, &crl), 0) << errInfo();
    EXPECT_EQ(crl.vec(), verifyData("crl/ca1.crl.der"));
    // A CA certificate: the authority revocation list.
    OwnedBinstr ca1(directory->cert("ca1"));
    ASSERT_EQ(QELT_LDAP_GetCRLByCert(ctx, &ca1, &crl), 0) << errInfo();
    EXPECT_EQ(crl.vec(), verifyData("crl/root.arl.der"));
    // A dead web address first, then a bare DN searched on the directory of the URL after it.
    OwnedBinstr unknown(directory->cert("ee_unknown"));
    ASSERT_EQ(QELT_LDAP_GetCRLByCert(ctx, &unknown, &crl), 0) << errInfo();
    EXPECT_EQ(crl.vec(), verifyData("crl/ca1.crl.der"));

    OwnedBinstr root(verifyData("certs/root.der"));
    EXPECT_EQ(QELT_LDAP_GetCRLByCert(ctx, &root, &crl), QELT_ERR_CERT_NO_CRL_DP);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetCRLByCert] 인증서의 확장필드인 CRL 배포지점 정보가 없습니다."_cp949);
    OwnedBinstr junk(std::string("\x30\x03\x02\x01\x05", 5));
    EXPECT_EQ(QELT_LDAP_GetCRLByCert(ctx, &junk, &crl), QELT_ERR_CERT_INVALID);
}

TEST_F(LdapTest, ReportsEveryDistributionPointThatFailed) {
    // The committed copy names port 389; nothing of ours answers there, or
    // whatever does holds no such entry.
    OwnedBinstr crl;
    const auto cert = verifyData("certs/ee_unknown.der");
    OwnedBinstr unknown(cert);
    ASSERT_EQ(QELT_LDAP_GetCRLByCert(ctx, &unknown, &crl), QELT_ERR_LDAP_CRL_BY_CERT);
    const std::string text = errInfo();
    EXPECT_NE(
        text.find(
            "1 번째 배포 지점 - http://127.0.0.1:9/ca1.crl : URL 처리 실패 (해당 서비스에 대해서 HTTP 프로토콜은 지원하지 않습니다.)\r\n"_cp949),
        std::string::npos)
        << text;
    EXPECT_NE(
        text.find("2 번째 배포 지점(ldap://127.0.0.1:389/cn=ca1crl,ou=dp,c=KR?certificaterevocationlist) - "_cp949),
        std::string::npos)
        << text;
}

TEST_F(LdapTest, BuildsTheCaBundleFromTheDirectory) {
    OwnedBinstr good(directory->cert("ee_good"));
    OwnedBinstr path;
    const std::string conf = directory->confPath().string();
    ASSERT_EQ(QELT_LDAP_GetCertPath(ctx, &good, conf.c_str(), &path), 0) << errInfo();
    int count = 0;
    ASSERT_EQ(QELT_CERT_GetCertCount(ctx, &path, &count), 0);
    ASSERT_EQ(count, 2);
    OwnedBinstr first, second;
    ASSERT_EQ(QELT_CERT_GetCert(ctx, &path, 0, &first), 0);
    ASSERT_EQ(QELT_CERT_GetCert(ctx, &path, 1, &second), 0);
    EXPECT_EQ(first.vec(), directory->cert("ca1"));
    EXPECT_EQ(second.vec(), verifyData("certs/root.der"));

    // Five issuers up (an ECDSA chain) is the most the builder fetches.
    OwnedBinstr deep2(verifyData("certs/ee_deep2.der"));
    ASSERT_EQ(QELT_LDAP_GetCertPath(ctx, &deep2, conf.c_str(), &path), 0) << errInfo();
    ASSERT_EQ(QELT_CERT_GetCertCount(ctx, &path, &count), 0);
    EXPECT_EQ(count, 5);
    OwnedBinstr deep(verifyData("certs/ee_deep.der"));
    EXPECT_EQ(QELT_LDAP_GetCertPath(ctx, &deep, conf.c_str(), &path), QELT_ERR_PATH_FETCH);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetCertPath] 인증경로를 획득하는데 실패하였습니다."_cp949);
}

TEST_F(LdapTest, PathBuildingNeedsAConfigurationNamingTheIssuer) {
    OwnedBinstr good(directory->cert("ee_good"));
    OwnedBinstr path;
    EXPECT_EQ(QELT_LDAP_GetCertPath(ctx, &good, "", &path), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetCertPath] 환경파일 경로(pszConfFilePath)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_LDAP_GetCertPath(ctx, &good, (workDir / "none.conf").c_str(), &path), QELT_ERR_CONF_READ);
    EXPECT_EQ(errInfo(), "[QELT_LDAP_GetCertPath] 환경파일을 읽는데 실패하였습니다."_cp949);

    const std::string u = directory->url();
    struct Case {
        const char* conf;
        int code;
        std::string message;
    };
    const Case cases[] = {
        // Only the root is named: CA1 has no section.
        {"[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 1\n[LDAP_INFO1]\nDN = cn=테스트 루트 인증기관,o=한국테스트,c=KR\nURL "
         "= ",
         QELT_ERR_LDAP_NO_ISSUER_INFO,
         "발급자 \"cn=테스트 CA1,ou=인증기관,o=한국테스트,c=KR\"에 대한 LDAP 주소가 없습니다."},
        {"[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 2\n[LDAP_INFO1]\nURL = ", QELT_ERR_LDAP_CONF,
         "환경파일에서 [LDAP_INFO1]의 DN 정보를 읽는데 실패하였습니다."},
        // Written by hand: capitals and blanks after the commas still name CA1.
        {"[VALIDATOIN_OPTION]\nLDAP_INFO_COUNT = 1\n[LDAP_INFO1]\nDN = CN=테스트 CA1, OU=인증기관, O=한국테스트, C=KR\n"
         "CTL = x\nXURL = ",
         QELT_ERR_LDAP_CONF, "환경파일에서 [LDAP_INFO1]의 URL 정보를 읽는데 실패하였습니다."},
    };
    for (const Case& c : cases) {
        const auto conf = directory->writeConf("case.conf", std::string(c.conf) + u + "\n");
        EXPECT_EQ(QELT_LDAP_GetCertPath(ctx, &good, conf.c_str(), &path), c.code) << c.conf;
        EXPECT_EQ(errInfo(), "[QELT_LDAP_GetCertPath] " + cp949(c.message));
    }
}

// A listening socket that never accepts: the kernel completes the TCP
// handshake, so a client connects and then waits for an answer in vain.
struct SilentListener {
    int fd = -1;
    int port = 0;
    SilentListener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd, 4) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
    }
    ~SilentListener() { close(fd); }
};

TEST_F(LdapTest, GivesUpWithinTheTimeOut) {
    constexpr int kTimeOut = 2;
    const auto conf = directory->writeConf("short.conf", directory->confText(kTimeOut));
    ASSERT_EQ(QELT_API_SetConfFile(ctx, conf.c_str()), 0);
    OwnedBinstr out;
    using Clock = std::chrono::steady_clock;

    SilentListener silent;
    ASSERT_NE(silent.port, 0);
    const std::string quiet = "ldap://127.0.0.1:" + std::to_string(silent.port) + "/c=KR";
    auto start = Clock::now();
    EXPECT_EQ(byUrl(1, quiet, out), QELT_ERR_LDAP_BIND);
    auto took = Clock::now() - start;
    EXPECT_LE(took, std::chrono::seconds(kTimeOut + 1));
    EXPECT_GE(took, std::chrono::milliseconds(kTimeOut * 1000 - 100));
    EXPECT_NE(errInfo().find("<ldaplib> errcode=0xfffffffb,msg=Timed out"), std::string::npos) << errInfo();

    const int closed = freeLoopbackPort();
    const std::string refused = "ldap://127.0.0.1:" + std::to_string(closed) + "/c=KR";
    start = Clock::now();
    EXPECT_EQ(byUrl(1, refused, out), QELT_ERR_LDAP_BIND);
    EXPECT_LE(Clock::now() - start, std::chrono::seconds(kTimeOut + 1));
    EXPECT_NE(errInfo().find("msg=Can't contact LDAP server"), std::string::npos) << errInfo();
}

}  // namespace
}  // namespace qelt::test
