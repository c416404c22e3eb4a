// NIST PKITS through QELT_CERT_Verify, as far as the exported interface
// reaches: the case's trust anchor added as trusted root, every other
// certificate of the case as the bundle (QELT_API_SetCaPubs), the case's CRLs
// placed in the cache under the names the certificates' CRL distribution
// points give (no directory is needed), the validation time set, and the
// initial policy set passed when the case asks for an explicit policy.
//
// The interface has no switch for initial-policy-mapping-inhibit or
// initial-any-policy-inhibit, and an initial policy set given to it always
// requires an explicit policy: cases that need one of those are not reachable
// and are counted apart. Every reachable case whose verdict differs from
// PKITS's is listed with the rule of this library behind it in
// tests/data/verify/pkits_service_differences.txt; the test fails when
// another case differs or a listed one stops differing.
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "ASN1Pkix/pkits_index.h"
#include "ASN1Pkix/x509_crl.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/UDNSettings.h"
#include "api/api_context.h"
#include "api/cert_verify_common.h"
#include "api/cert_verify_crl.h"
#include "test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

const fs::path kPkits = pkitsDir();
constexpr const char* kAnyPolicy = "2.5.29.32.0";

// The IPS text the interface takes for the case, or nullopt when the case
// cannot be put to it.
std::optional<std::string> interfaceIps(const PkitsCase& c) {
    if (c.mappingInhibit || c.anyPolicyInhibit) return std::nullopt;
    const bool anyOnly = c.policies.size() == 1 && c.policies[0] == kAnyPolicy;
    if (!c.explicitPolicy) return anyOnly ? std::optional<std::string>("") : std::nullopt;
    std::string ips;
    for (const auto& p : c.policies) ips += (ips.empty() ? "" : ";") + p;
    return ips;
}

// The DN of a CRL's issuing distribution point, when it names one.
ByteString idpName(const ByteString& crl) {
    GCertificateList list(crl);
    const GTBSCertList& tbs = list.getTbsCertList();
    RExtension ext;
    if (!tbs.hasCrlExtensions() || tbs.getCrlExtensions().findExtension("2 5 29 28", ext) != 0) return ByteString();
    RIssuingDistributionPoint idp(ext.getExtnValue().getValue());
    if (!idp.hasDistributionPoint() || !idp.getDistributionPoint().isFullName()) return ByteString();
    const RGeneralNames& names = idp.getDistributionPoint().getFullName();
    for (int i = 0; i < names.getElementCount(); ++i) {
        RGeneralName name;
        ByteString text;
        if (names.getElement(i, name) == 0 && name.isDirectoryName() &&
            UDNSettings::RDN2Str(name.getDirectoryName(), text) == 0)
            return text;
    }
    return ByteString();
}

bool sameName(const RRDNSequence& a, const RRDNSequence& b) { return UDNSettings::CompareByName(a, b) == 0; }

class PkitsThroughTheService : public ApiTest {
protected:
    ApiContext& context() { return *static_cast<ApiContext*>(ctx); }

    // Puts the case's CRLs where the service looks for the lists of the
    // certificates that name distribution points: the list whose issuing
    // distribution point has that name, else the first list of the
    // certificate's issuer.
    void placeCrls(const PkitsCase& c) {
        std::error_code ignored;
        fs::remove_all(workDir / "cache", ignored);
        std::vector<ByteString> crls;
        for (const auto& n : c.crls) crls.push_back(pkitsFile("crls/" + n + ".crl"));
        for (size_t k = 1; k < c.certs.size(); ++k) {
            PCertUtil cert;
            const ByteString der = pkitsFile("certs/" + c.certs[k] + ".crt");
            if (cert.parseCertificate(der) != 0) continue;
            const ByteString dps(cert.getCRLDistributionPoints());
            if (cert.errorCode() != 0) continue;
            std::vector<ByteString> entries;
            ServiceFailure f;
            if (distributionPointEntries(dps, cert.certificate()->getTbsCertificate().getIssuer(), entries, f) != 0)
                continue;
            ByteString name;
            for (const ByteString& e : entries)
                if (name = distributionPointDN(e); !name.isEmpty()) break;
            if (name.isEmpty()) continue;
            const ByteString* chosen = nullptr;
            for (const ByteString& crl : crls)
                if (idpName(crl).equals(name)) chosen = &crl;
            for (size_t i = 0; chosen == nullptr && i < crls.size(); ++i) {
                GCertificateList list(crls[i]);
                if (sameName(list.getTbsCertList().getIssuer(), cert.certificate()->getTbsCertificate().getIssuer()))
                    chosen = &crls[i];
            }
            if (chosen == nullptr) continue;
            for (const char* kind : {"CRL", "ARL"}) writeCache(cacheFilePath(context(), kind, name, "crl"), *chosen);
        }
    }

    // 0 or the code of QELT_CERT_Verify for the case.
    int run(const PkitsCase& c, const std::string& ips, std::string& why) {
        void* fresh = nullptr;
        EXPECT_EQ(QELT_API_Finish(&ctx), 0);
        EXPECT_EQ(QELT_API_Init(&fresh, workDir.c_str()), 0);
        ctx = fresh;
        placeCrls(c);
        OwnedBinstr anchor(readFileBytes(kPkits / "certs" / (c.certs.front() + ".crt")));
        EXPECT_EQ(QELT_CERT_AddTrustedCert(ctx, &anchor), 0);
        OwnedBinstr bundle;
        for (size_t k = 0; k + 1 < c.certs.size(); ++k) {
            OwnedBinstr cert(readFileBytes(kPkits / "certs" / (c.certs[k] + ".crt")));
            QELT_CERT_AddCert(ctx, &cert, &bundle);
        }
        EXPECT_EQ(QELT_API_SetCaPubs(ctx, &bundle), 0);
        // 2020-01-01, inside every validity period but those meant to fail; CAs
        // by their ARLs and the target by its CRL, through distribution points.
        EXPECT_EQ(QELT_CERT_SetVerifyEnv(ctx, 1, 6, 1, "20200101000000Z", ""), 0);
        OwnedBinstr target(readFileBytes(kPkits / "certs" / (c.certs.back() + ".crt")));
        const int rc = QELT_CERT_Verify(ctx, &target, 1, ips.c_str(), "/dev/null", 0, nullptr, nullptr);
        why = rc == 0 ? "" : errInfo();
        return rc;
    }
};

TEST_F(PkitsThroughTheService, ReachableCasesMatchOrDifferByAListedRule) {
    const auto cases = readPkitsIndex();
    ASSERT_EQ(cases.size(), 249u);
    const auto listed = readPkitsDifferences(fs::path(QELT_TEST_DATA_DIR) / "verify" / "pkits_service_differences.txt");
    std::set<std::string> differing, expected;
    for (const auto& [id, rule] : listed) expected.insert(id);
    std::ostringstream report;
    int reachable = 0;
    for (const PkitsCase& c : cases) {
        const auto ips = interfaceIps(c);
        if (!ips) continue;
        ++reachable;
        std::string why;
        const bool valid = run(c, *ips, why) == 0;
        if (std::getenv("QELT_PKITS_TRACE") != nullptr)
            std::cout << c.id << " " << (valid ? "valid" : "invalid") << " " << why << "\n";
        if (valid == c.shouldValidate) continue;
        differing.insert(c.id);
        report << c.id << " " << c.title << ": expected " << (c.shouldValidate ? "valid" : "invalid") << ", got "
               << (valid ? "valid" : "invalid " + why) << "\n";
    }
    std::cout << "PKITS through QELT_CERT_Verify: " << reachable - static_cast<int>(differing.size()) << " of "
              << reachable << " reachable cases match (" << cases.size() - static_cast<size_t>(reachable)
              << " need an option the interface does not offer)\n";
    EXPECT_EQ(differing, expected) << report.str();
}

}  // namespace
}  // namespace qelt::test
