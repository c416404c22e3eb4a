// NIST PKITS through the path engine and the CRL checker, as the verification
// service drives them: the path is composed from the target and a bundle of
// every other certificate of the case, the root must be the trust anchor, the
// path is validated with the case's policy inputs, and every certificate but
// the root is checked against the case's CRLs issued under its issuer's name.
//
// The cases whose verdict differs from PKITS's are listed, each with the rule
// of this library that makes it differ, in tests/data/pkits/pkits_differences.txt;
// the test asserts that exactly those cases differ.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "ASN1Pkix/PRFC3280_PathValidation.h"
#include "ASN1Pkix/x509_crl.h"
#include "ZRProcess/PCertificates.h"
#include "ZRProcess/UDNSettings.h"
#include "api/crl_verify.h"
#include "pkits_index.h"
#include "test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

// A time inside every validity period of the suite but those meant to fail.
constexpr int64_t kValidationTime = 1577836800;  // 2020-01-01 00:00:00 UTC

struct Outcome {
    bool valid = false;
    std::string why;
};

class PkitsRunner {
public:
    PkitsRunner() {
        EXPECT_EQ(QELT_API_Init(&m_handle, scratchDir("pkits").c_str()), 0);
        m_ctx = static_cast<ApiContext*>(m_handle);
        m_ctx->tVerifyTime = kValidationTime;
    }
    ~PkitsRunner() { QELT_API_Finish(&m_handle); }

    Outcome run(const PkitsCase& c) {
        std::vector<ByteString> certs;
        for (const auto& name : c.certs) certs.push_back(pkitsFile("certs/" + name + ".crt"));
        PCertificates bundle;
        for (size_t k = 0; k + 1 < certs.size(); ++k) bundle.addCert(certs[k]);
        ByteString bundleDer;
        bundle.getCerts(bundleDer);

        PRFC3280_PathValidation engine;
        // A set of anyPolicy alone is the default: no policy is required.
        const bool anyOnly = c.policies.size() == 1 && c.policies[0] == "2.5.29.32.0";
        for (const auto& p : c.policies)
            if (!anyOnly && engine.addUser_initial_policy(p.c_str(), '.') != 0) return {false, "bad policy"};
        int flags = 0;
        if (c.explicitPolicy) flags |= PRFC3280_PathValidation::kOptInitialExplicitPolicy;
        if (c.mappingInhibit) flags |= PRFC3280_PathValidation::kOptInitialPolicyMappingInhibit;
        if (c.anyPolicyInhibit) flags |= PRFC3280_PathValidation::kOptInitialAnyPolicyInhibit;
        engine.setOption(flags);
        engine.setValidationTime(kValidationTime);
        engine.addTrustAnchor(certs.front());
        if (engine.composeCertPath(certs.back(), bundleDer) != 0)
            return {false, std::string("compose: ") + engine.errorText()};
        bool trusted = false;
        if (engine.trustRootCert(trusted) != 0 || !trusted) return {false, "root not trusted"};
        if (engine.verifyCert(PRFC3280_PathValidation::kTargetEndEntity) != 0)
            return {false, "verify(" + std::to_string(engine.getReason()) + "): " + engine.errorText()};

        std::vector<ByteString> crls;
        for (const auto& name : c.crls) crls.push_back(pkitsFile("crls/" + name + ".crl"));
        for (int i = 1; i < engine.getCertCount(); ++i) {
            const ByteString issuer(engine.getCert(i - 1));
            const ByteString subject(engine.getCert(i));
            if (auto why = revocation(crls, issuer, subject); !why.empty())
                return {false, "certificate " + std::to_string(i) + ": " + why};
        }
        return {true, ""};
    }

private:
    // "" when some CRL issued under the issuer's name verifies and none of
    // those that verify lists the certificate.
    std::string revocation(const std::vector<ByteString>& crls, const ByteString& issuer, const ByteString& subject) {
        const RCertificate issuerCert(issuer);
        std::string why = "no CRL of the issuer";
        bool verified = false;
        for (const ByteString& crl : crls) {
            GCertificateList list(crl);
            if (UDNSettings::CompareByName(list.getTbsCertList().getIssuer(),
                                           issuerCert.getTbsCertificate().getSubject()) != 0)
                continue;
            ApiCall call(*m_ctx, "pkits");
            CrlRevocation entry;
            if (const int rc = verifyCRL(call, crl.bytes(), issuer, subject, entry); rc != 0) {
                why = "CRL " + std::to_string(rc) + ": " + (m_ctx->pszErrMsg ? m_ctx->pszErrMsg : "");
                continue;
            }
            if (entry.listed) return "listed, reason " + std::to_string(entry.reason);
            verified = true;
        }
        return verified ? "" : why;
    }

    void* m_handle = nullptr;
    ApiContext* m_ctx = nullptr;
};

TEST(PathPkits, EveryCaseMatchesOrDiffersByAListedRule) {
    const auto cases = readPkitsIndex();
    ASSERT_EQ(cases.size(), 249u);
    const auto listed = readPkitsDifferences(pkitsDir() / "pkits_differences.txt");
    PkitsRunner runner;
    std::set<std::string> differing;
    std::ostringstream report;
    for (const PkitsCase& c : cases) {
        const Outcome o = runner.run(c);
        if (std::getenv("QELT_PKITS_TRACE") != nullptr)
            std::cout << c.id << " " << (o.valid ? "valid" : "invalid") << " " << o.why << "\n";
        if (o.valid == c.shouldValidate) continue;
        differing.insert(c.id);
        report << c.id << " " << c.title << ": expected " << (c.shouldValidate ? "valid" : "invalid") << ", got "
               << (o.valid ? "valid" : "invalid") << (o.why.empty() ? "" : " (" + o.why + ")") << "\n";
    }
    std::set<std::string> expected;
    for (const auto& [id, rule] : listed) expected.insert(id);
    const size_t matching = cases.size() - differing.size();
    std::cout << "PKITS: " << matching << " of " << cases.size() << " cases match\n";
    RecordProperty("matching", static_cast<int>(matching));
    EXPECT_EQ(differing, expected) << report.str();
}

}  // namespace
}  // namespace qelt::test
