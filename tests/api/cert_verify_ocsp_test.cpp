// QELT_CERT_Verify with OCSP: the openssl responder over the online tests'
// PKI (tests/data/online), the responder's certificate verified in turn, the
// fall-back to the CRL, signed requests, and qelt cert verify --ocsp.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>

#include "net/loopback_process.h"
#include "net/ocsp_responder.h"
#include "test_support.h"
#include "tools/cli_run.h"

namespace qelt::test {
namespace {

std::vector<uint8_t> bytesOf(const std::string& bytes) { return std::vector<uint8_t>(bytes.begin(), bytes.end()); }
std::vector<uint8_t> online(const std::string& name) { return bytesOf(onlineFile(name)); }

// The online PKI's own "unknown" certificate outlives its CA, so its path
// never validates; this one (made by tests/data/verify/ocsp/make_unknown.sh)
// is issued inside the CA's validity and is equally absent from its database.
std::vector<uint8_t> certificate(const std::string& name) {
    if (name == "unknown") return bytesOf(readFile(QELT_TEST_DATA_DIR "/verify/ocsp/unknown.der"));
    return online(name + ".der");
}

class VerifyOcsp : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        conf = (workDir / "qelt.conf").string();
        std::ofstream(conf) << "[VALIDATOIN_OPTION]\n";
        OwnedBinstr root(online("root.der"));
        ASSERT_EQ(QELT_CERT_AddTrustedCert(ctx, &root), 0);
        OwnedBinstr bundle;
        for (const char* name : {"ca.der", "root.der"}) {
            OwnedBinstr cert(online(name));
            ASSERT_EQ(QELT_CERT_AddCert(ctx, &cert, &bundle), 0);
        }
        ASSERT_EQ(QELT_API_SetCaPubs(ctx, &bundle), 0);
    }
    void env(int option, const std::string& url) {
        ASSERT_EQ(QELT_CERT_SetVerifyEnv(ctx, 0, option, 1, "", url.c_str()), 0);
    }
    int verify(const std::string& name, bool sign = false) {
        OwnedBinstr cert(certificate(name)), myCert(online("good.der")), myKey(online("good.key.der"));
        return QELT_CERT_Verify(ctx, &cert, 1, nullptr, conf.c_str(), sign ? 1 : 0, &myCert, &myKey);
    }
    std::string conf;
};

TEST_F(VerifyOcsp, TheResponderDecidesTheTargetsStatus) {
    OcspResponder responder;
    // The certificates' own address refuses connections: the prefixed one is asked first.
    env(8, "[UseThisURLFirst]" + responder.url());
    EXPECT_EQ(verify("good"), 0) << errInfo();
    EXPECT_EQ(verify("revoked"), QELT_ERR_CERT_REVOKED);
    EXPECT_EQ(errInfo(), "[QELT_CERT_Verify] 폐지된 인증서입니다. (폐지 사유 : keyCompromise)"_cp949);
    EXPECT_EQ(verify("hold"), QELT_ERR_CERT_SUSPENDED);
    EXPECT_EQ(verify("unknown"), QELT_ERR_OCSP_UNKNOWN_CERT);
    EXPECT_EQ(responder.ocspRequests().size(), 4u);

    // Without the prefix the certificate's own (dead) address wins; OCSP alone reports the failure.
    env(8, responder.url());
    EXPECT_EQ(verify("good"), QELT_ERR_OCSP_CONNECT);
    // The address is used for a certificate that names none.
    EXPECT_EQ(verify("noaia"), 0) << errInfo();
    EXPECT_EQ(responder.ocspRequests().size(), 5u);
}

TEST_F(VerifyOcsp, AnyOtherOcspFailureFallsBackToTheCrlUnderOptionOne) {
    OcspResponder responder;
    // The certificates have no CRL distribution points: after the fall-back nothing more is checked.
    env(1, responder.url());
    EXPECT_EQ(verify("good"), 0) << errInfo();
    env(1, "[UseThisURLFirst]" + responder.url());
    EXPECT_EQ(verify("unknown"), 0) << errInfo();
    EXPECT_EQ(verify("revoked"), QELT_ERR_CERT_REVOKED);
}

TEST_F(VerifyOcsp, TheRespondersCertificateIsVerifiedInTurn) {
    // Signed by the CA itself: its certificate is a CA's, not an end entity's.
    {
        OcspResponder byCa({OcspResponder::Signer::Ca, false});
        env(8, "[UseThisURLFirst]" + byCa.url());
        EXPECT_EQ(verify("good"), QELT_ERR_PATH_BASIC_CONSTRAINTS);
        EXPECT_EQ(
            errInfo().rfind("[QELT_CERT_Verify] OCSP 인증서 경로 검증 시, 기본 제한 검증을 실패하였습니다."_cp949, 0),
            0u)
            << errInfo();
    }
    // A self-signed responder nobody trusts: no path to the trusted root.
    OcspResponder rogue({OcspResponder::Signer::Rogue, false});
    env(8, "[UseThisURLFirst]" + rogue.url());
    EXPECT_EQ(verify("good"), QELT_ERR_PATH_BUILD);
    EXPECT_EQ(errInfo().rfind("[QELT_CERT_Verify] OCSP 인증서 경로 구성을 실패하엿습니다."_cp949, 0), 0u) << errInfo();
    // Even a revoked answer is not believed from it.
    EXPECT_EQ(verify("revoked"), QELT_ERR_PATH_BUILD);
}

TEST_F(VerifyOcsp, SignedRequests) {
    OcspResponder responder;
    env(8, "[UseThisURLFirst]" + responder.url());
    EXPECT_EQ(verify("good", true), 0) << errInfo();
    ASSERT_EQ(responder.ocspRequests().size(), 1u);
    const std::string text = ocspRequestText(responder.ocspRequests().front());
    EXPECT_NE(text.find("Signature Algorithm"), std::string::npos) << text;
    EXPECT_NE(text.find("Requestor Name"), std::string::npos) << text;
}

// qelt cert verify --ocsp: the responder named on the command line is asked
// first; the certificates' own address (a closed port) is not needed.
TEST(VerifyOcspCli, AsksTheGivenResponder) {
    OcspResponder responder;
    const std::string work = scratchDir("VerifyOcspCli").string();
    const auto run = [&](const std::string& cert, const std::string& options) {
        const std::string cmd = "QELT_WORKDIR='" + work + "' '" QELT_CLI_PATH "' cert verify '" + onlinePath(cert) +
                                "' -r '" + onlinePath("root.der") + "' -b '" + onlinePath("ca.der") + "','" +
                                onlinePath("root.der") + "' " + options + " 2>&1";
        const CommandRun r = runCommand(cmd);
        return std::make_pair(r.status, r.out);
    };
    const std::string ocsp = "--ocsp " + responder.url();
    auto [status, out] = run("good.der", ocsp);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "valid\n");
    std::tie(status, out) = run("revoked.der", ocsp);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("error 1215: [QELT_CERT_Verify] 폐지된 인증서입니다. (폐지 사유 : keyCompromise)"),
              std::string::npos)
        << out;
    std::tie(status, out) = run("hold.der", ocsp);
    EXPECT_NE(out.find("error 1214"), std::string::npos) << out;
    EXPECT_EQ(responder.ocspRequests().size(), 3u);
    // Without --ocsp the certificate's own address is asked, and refuses.
    std::tie(status, out) = run("good.der", "-R ocsp");
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("error " + std::to_string(QELT_ERR_OCSP_CONNECT)), std::string::npos) << out;
    // --ocsp and -u together, or --ocsp without an address, are usage errors.
    EXPECT_EQ(run("good.der", ocsp + " -u " + responder.url()).first, 2);
    EXPECT_EQ(run("good.der", "--ocsp ''").first, 2);
    EXPECT_EQ(responder.ocspRequests().size(), 3u);
}

}  // namespace
}  // namespace qelt::test
