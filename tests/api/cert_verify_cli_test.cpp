// qelt cert verify, qelt crl show|check and qelt ldap on the test hierarchy
// of tests/data/verify (no directory: bundles given, CRLs placed in the cache).
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "test_support.h"
#include "tools/cli_run.h"

using namespace qelt::test;

namespace {

class VerifyCli : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work = scratchDir(std::string("VerifyCli.") + info->name());
    }
    CommandRun run(const std::string& args) {
        return runCommand("cd '" QELT_TEST_DATA_DIR "/verify' && QELT_WORKDIR='" + work.string() + "' '" +
                          QELT_CLI_PATH + "' " + args + " 2>&1");
    }
    void cacheCrl() {
        std::filesystem::create_directories(work / "cache/CRL");
        std::filesystem::copy_file(QELT_TEST_DATA_DIR "/verify/crl/ca1.crl.der",
                                   work / "cache/CRL/cn=ca1crl,ou=dp,c=KR.crl",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::filesystem::path work;
};

const std::string kChain = " -r certs/root.der -b certs/ca1.der,certs/root.der";

TEST_F(VerifyCli, ShowsEveryEntryOfAList) {
    const CommandRun r = run("crl show crl/ca1.crl.der");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "This update: 2024-01-01 00:00:00\nNext update: 2049-01-01 00:00:00\nEntries: 2\n"
              "8a01  2024-03-02 00:00:00  keyCompromise\n8a02  2024-03-03 00:00:00  certificateHold\n");
    const CommandRun count = run("crl show crl/root.arl.der --count");
    EXPECT_NE(count.out.find("Entries: 1\n"), std::string::npos) << count.out;
    EXPECT_EQ(count.out.find("1002"), std::string::npos);
    // Not a list (a certificate, a request), and a list cut short: one line, exit 1.
    const CommandRun notCrl = run("crl show certs/root.der");
    EXPECT_EQ(notCrl.status, 1);
    EXPECT_EQ(notCrl.out, "qelt: certs/root.der is not a CRL\n");
    EXPECT_EQ(run("crl show csr/root.csr").status, 1);
    const auto crl = std::filesystem::file_size(QELT_TEST_DATA_DIR "/verify/crl/ca1.crl.der");
    const std::string cut = (work / "cut.crl").string();
    ASSERT_EQ(std::system(("head -c " + std::to_string(crl - 300) +
                           " '" QELT_TEST_DATA_DIR "/verify/crl/ca1.crl.der' > '" + cut + "'")
                              .c_str()),
              0);
    const CommandRun r2 = run("crl show '" + cut + "'");
    EXPECT_EQ(r2.status, 1) << r2.out;
}

TEST_F(VerifyCli, VerifiesWithTheOptionsAPersonGives) {
    CommandRun r = run("cert verify certs/ee_good.der" + kChain + " -R none");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "valid\n");
    cacheCrl();
    r = run("cert verify certs/ee_revoked.der" + kChain + " -R crl");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(
                  "error 1215: [QELT_CERT_Verify] 검증하고자 하는 인증서의 폐지 여부 확인 - 폐지된 인증서가 있습니다."),
              std::string::npos)
        << r.out;
    r = run("cert verify certs/ee_good.der" + kChain + " -R none -i 1.2.3.4");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("error 1238"), std::string::npos) << r.out;
    r = run("cert verify certs/ee_good.der" + kChain + " -R none -t 20231231000000Z");
    EXPECT_NE(r.out.find("error 1234"), std::string::npos) << r.out;
    // Usage errors: no root, an unknown revocation choice or purpose.
    EXPECT_EQ(run("cert verify certs/ee_good.der").status, 2);
    EXPECT_EQ(run("cert verify certs/ee_good.der" + kChain + " -R sometimes").status, 2);
    EXPECT_EQ(run("cert verify certs/ee_good.der" + kChain + " -p 9").status, 2);
}

TEST_F(VerifyCli, ChecksOneCertificateByItsList) {
    cacheCrl();
    const std::string bundle = " -b '" + (work / "bundle.der").string() + "'";
    ASSERT_EQ(run("certs add '" + (work / "bundle.der").string() + "' certs/ca1.der certs/root.der").status, 0);
    EXPECT_EQ(run("crl check certs/ee_good.der" + bundle).out, "good\n");
    EXPECT_EQ(run("crl check certs/ee_revoked.der" + bundle).out, "revoked 2024-03-02 00:00:00 (keyCompromise)\n");
    const CommandRun none = run("crl check certs/ee_good.der");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("error 1006"), std::string::npos) << none.out;  // no bundle, no configuration
}

TEST_F(VerifyCli, DirectoryReadsReportTheLibrarysError) {
    const CommandRun r = run("ldap get ldap://127.0.0.1:1/c=KR -t crl");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("error 2005"), std::string::npos) << r.out;
    EXPECT_EQ(run("ldap get ldap://127.0.0.1:1/c=KR -t nothing").status, 2);
    EXPECT_EQ(run("ldap cn 127.0.0.1 99999 someone").status, 2);
}

}  // namespace
