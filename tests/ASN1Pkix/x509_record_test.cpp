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
    const fs::path root = fs::path(QELT_TEST_DATA_DIR) / "pkits";
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

#include "ASN1Pkix/x509_extensions.h"

namespace qelt::test {
namespace {

// Decodes one extension value into the record its OID names and checks the
// round trip; returns false for OIDs without a record here.
::testing::AssertionResult extensionRoundTrips(RExtension& ext) {
    ASN1ObjectIdentifier id = ext.getExtnID();
    const std::string oid = id.getOID().c_str();
    const ByteString& value = ext.getExtnValue().getValue();
    const std::vector<uint8_t> der(value.bytes().begin(), value.bytes().end());
    if (oid == "2 5 29 19") {
        RBasicConstraints r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 32") {
        RCertificatePolicies r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 37") {
        RExtKeyUsageSyntax r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 17" || oid == "2 5 29 18") {
        RGeneralNames r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 35") {
        RAuthorityKeyIdentifier r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 31") {
        RCRLDistPointsSyntax r;
        return roundTrips(der, r);
    }
    if (oid == "1 3 6 1 5 5 7 1 1") {
        RAuthorityInfoAccessSyntax r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 36") {
        RPolicyConstraints r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 33") {
        RPolicyMappings r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 30") {
        RNameConstraints r;
        return roundTrips(der, r);
    }
    if (oid == "2 5 29 28") {
        RIssuingDistributionPoint r;
        return roundTrips(der, r);
    }
    return ::testing::AssertionSuccess();
}

// Walks the elements of every SEQUENCE OF inside an extension value down to
// its leaf records (general names, policies, distribution points).
void checkNestedElements(RExtension& ext) {
    ASN1ObjectIdentifier id = ext.getExtnID();
    const std::string oid = id.getOID().c_str();
    const auto& der = ext.getExtnValue().getValue();
    if (oid == "2 5 29 17") {
        RGeneralNames names(der);
        for (int i = 0; i < names.getElementCount(); ++i) {
            RGeneralName name;
            const ByteString& el = names.getElement(i);
            EXPECT_TRUE(roundTrips(std::vector<uint8_t>(el.bytes().begin(), el.bytes().end()), name));
        }
    }
    if (oid == "2 5 29 32") {
        RCertificatePolicies policies(der);
        for (int i = 0; i < policies.getElementCount(); ++i) {
            RPolicyInformation info;
            ASSERT_EQ(policies.getElement(i, info), 0);
            for (int q = 0; q < info.getPolicyQualifiers().getComponentCount(); ++q) {
                RPolicyQualifierInfo qualifier(info.getPolicyQualifiers().componentBytes(q));
                ASSERT_EQ(qualifier.errorCode(), 0) << qualifier.errorText();
                ASN1ObjectIdentifier qid = qualifier.getPolicyQualifierId();
                if (qid.is("1.3.6.1.5.5.7.2.2")) {
                    RUserNotice notice;
                    const ByteString& enc = const_cast<ASN1Any&>(qualifier.getQualifier()).toASN1Object();
                    EXPECT_TRUE(roundTrips(std::vector<uint8_t>(enc.bytes().begin(), enc.bytes().end()), notice));
                    EXPECT_TRUE(notice.hasNoticeRef() || notice.hasExplicitText());
                }
            }
        }
    }
}

void checkCertificateDeeply(const std::vector<uint8_t>& der, const std::string& what) {
    RCertificate cert;
    ASSERT_TRUE(roundTrips(der, cert)) << what;
    const RTBSCertificate& tbs = cert.getTbsCertificate();
    if (!tbs.hasExtensions()) return;
    for (int i = 0; i < tbs.getExtensions().getElementCount(); ++i) {
        RExtension ext;
        ASSERT_EQ(tbs.getExtensions().getElement(i, ext), 0);
        EXPECT_TRUE(extensionRoundTrips(ext)) << what << " extension " << i;
        checkNestedElements(ext);
    }
}

TEST(PkitsRecords, EveryExtensionValueRoundTrips) {
    const fs::path root = fs::path(QELT_TEST_DATA_DIR) / "pkits";
    for (const auto& p : filesIn(root / "certs")) checkCertificateDeeply(readFileBytes(p), p.filename());
    for (const auto& p : filesIn(root / "crls")) {
        GCertificateList crl(readFileBytes(p));
        ASSERT_EQ(crl.errorCode(), 0) << p;
        const GTBSCertList& tbs = crl.getTbsCertList();
        for (int i = 0; i < tbs.getRevokedCertificateCount(); ++i) {
            RRevokedCertificate entry;
            EXPECT_EQ(tbs.getRevokedCertificate(i, entry), 0) << p;
        }
        for (int i = 0; tbs.hasCrlExtensions() && i < tbs.getCrlExtensions().getElementCount(); ++i) {
            RExtension ext;
            ASSERT_EQ(tbs.getCrlExtensions().getElement(i, ext), 0);
            EXPECT_TRUE(extensionRoundTrips(ext)) << p;
        }
    }
}

TEST(OpensslRecords, CertificatesWithManyExtensions) {
    const fs::path& dir = opensslFixtures();
    for (const char* name : {"ca.der", "ee.der", "rsa.der"}) checkCertificateDeeply(readFileBytes(dir / name), name);

    // The fields of the EC end-entity certificate, as the openssl command made them.
    RCertificate cert(readFileBytes(dir / "ee.der"));
    ASSERT_EQ(cert.errorCode(), 0) << cert.errorText();
    const RTBSCertificate& tbs = cert.getTbsCertificate();
    EXPECT_EQ(tbs.getVersion(), 2);
    ASN1ObjectIdentifier keyAlg = tbs.getSubjectPublicKeyInfo().getAlgorithm().getAlgorithm();
    EXPECT_STREQ(keyAlg.getOID().c_str(), "1 2 840 10045 2 1");
    EXPECT_EQ(tbs.getSubject().getElementCount(), 6);
    EXPECT_EQ(tbs.getIssuer().getElementCount(), 3);
    const int32_t notBefore = tbs.getValidity().getNotBefore().getGMTTime();
    EXPECT_EQ(tbs.getValidity().getNotAfter().getGMTTime() - notBefore, 90 * 86400);
    RExtension san;
    ASSERT_EQ(tbs.getExtensions().findExtension("2 5 29 17", san), 0);
    RGeneralNames names(san.getExtnValue().getValue());
    EXPECT_EQ(names.getElementCount(), 8);
    RGeneralName ip;
    ASSERT_EQ(names.getElement(2, ip), 0);
    ASSERT_TRUE(ip.isIPAddress());
    EXPECT_STREQ(ip.getIPAddress().getValue().toHex().c_str(), "7f000001");
    RExtension ku;
    ASSERT_EQ(tbs.getExtensions().findExtension("2.5.29.15", ku), 0);
    EXPECT_TRUE(ku.hasCritical());
    EXPECT_TRUE(ku.getCritical().getBoolean());

    GCertificateList crl;
    ASSERT_TRUE(roundTrips(readFileBytes(dir / "ca.crl"), crl));
    EXPECT_EQ(crl.getTbsCertList().getVersion(), 1);
    ASSERT_EQ(crl.getTbsCertList().getRevokedCertificateCount(), 2);
    RRevokedCertificate entry;
    ASSERT_EQ(crl.getTbsCertList().getRevokedCertificate(0, entry), 0);
    EXPECT_TRUE(entry.hasCrlEntryExtensions());
}

}  // namespace
}  // namespace qelt::test

namespace qelt::test {
namespace {

TEST(OpensslRecords, ReceivedOctetsAreKeptForSignatures) {
    // The same certificate with a non-minimal outer length (BER): the record
    // re-encodes it as DER but keeps what was received, and the signed part.
    const auto der = readFileBytes(opensslFixtures() / "ee.der");
    ASSERT_EQ(der[1], 0x82);
    std::vector<uint8_t> ber = {0x30, 0x83, 0x00};
    ber.insert(ber.end(), der.begin() + 2, der.end());
    RCertificate cert(ber);
    ASSERT_EQ(cert.errorCode(), 0) << cert.errorText();
    EXPECT_EQ(
        std::vector<uint8_t>(cert.getReceivedEncoding().bytes().begin(), cert.getReceivedEncoding().bytes().end()),
        ber);
    EXPECT_EQ(std::vector<uint8_t>(cert.toASN1Object().bytes().begin(), cert.toASN1Object().bytes().end()), der);
    const ByteString& tbs = cert.getTbsCertificate().getReceivedEncoding();
    ASSERT_GT(tbs.length(), 100);
    EXPECT_TRUE(std::equal(tbs.bytes().begin(), tbs.bytes().end(), der.begin() + 4));
}

}  // namespace
}  // namespace qelt::test
