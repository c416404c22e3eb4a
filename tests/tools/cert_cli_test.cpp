// qelt cert and qelt certs on openssl-made certificates.
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "../ZRProcess/cert_fixtures.h"
#include "test_support.h"
#include "tools/cli_run.h"

using namespace qelt::test;

namespace {

CommandRun runCli(const std::string& args) {
    const auto dir = scratchDir("cli.cert");
    return runCommand("cd '" + certFixtures().string() + "' && QELT_WORKDIR='" + (dir / "work").string() + "' '" +
                      QELT_CLI_PATH + "' " + args + " 2>&1");
}

}  // namespace

TEST(CertCli, ShowPemAndDerAlike) {
    const CommandRun pem = runCli("cert show ee.pem");
    ASSERT_EQ(pem.status, 0) << pem.out;
    EXPECT_NE(pem.out.find("\nSubject: cn=홍길동,ou=people,o=Example,c=KR\n"), std::string::npos) << pem.out;
    EXPECT_NE(pem.out.find("\nKey usage: digitalSignature, nonRepudiation\n"), std::string::npos);
    EXPECT_NE(pem.out.find("\nExtended key usage:\n    id-kp-serverAuth\n    id-kp-clientAuth\n"), std::string::npos);
    EXPECT_NE(pem.out.find("실명 = 홍길동"), std::string::npos);
    EXPECT_EQ(runCli("cert show ee.der").out, pem.out);
    // Absent extensions are left out.
    EXPECT_EQ(runCli("cert show v1.der").out.find("Key usage"), std::string::npos);
    const CommandRun bad = runCli("cert show ee.csr");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("error "), std::string::npos);
}

TEST(CertCli, DaysAndLists) {
    EXPECT_EQ(runCli("cert days ec.der").out, "10\n");
    const CommandRun warn = runCli("cert days ec.der -t 30");
    EXPECT_EQ(warn.status, 1);
    EXPECT_NE(warn.out.find("error 1248: 인증서 유효기간 만료일이"), std::string::npos) << warn.out;

    std::remove((certFixtures() / "bundle.der").c_str());
    EXPECT_EQ(runCli("certs add bundle.der ca.pem ee.der").out, "2\n");
    EXPECT_EQ(runCli("certs add bundle.der ec.der").out, "3\n");
    EXPECT_EQ(runCli("certs count bundle.der").out, "3\n");
    ASSERT_EQ(runCli("certs get bundle.der 1 -o got.der").status, 0);
    EXPECT_EQ(fixtureBytes("got.der"), fixtureBytes("ee.der"));
    EXPECT_EQ(runCli("certs get bundle.der 3").status, 1);
}
