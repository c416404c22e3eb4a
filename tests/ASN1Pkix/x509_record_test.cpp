#include <gtest/gtest.h>

#include "ASN1Pkix/x509_certificate.h"
#include "ASN1Pkix/x509_crl.h"
#include "pkix_test_support.h"

namespace qelt::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> filesIn(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(PkitsRecords, EveryCertificateAndCrlRoundTrips) {
    const fs::path root = fs::path(QELT_SHARED_TESTDATA_DIR) / "pkits";
    int certs = 0, crls = 0;
    for (const auto& p : filesIn(root / "certs")) {
        RCertificate cert;
        EXPECT_TRUE(roundTrips(readFileBytes(p), cert)) << p;
        ++certs;
    }
    for (const auto& p : filesIn(root / "crls")) {
        GCertificateList crl;
        EXPECT_TRUE(roundTrips(readFileBytes(p), crl)) << p;
        ++crls;
    }
    EXPECT_EQ(certs, 405);
    EXPECT_EQ(crls, 173);
}

}  // namespace
}  // namespace qelt::test
