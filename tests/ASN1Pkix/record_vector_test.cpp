// Record checks and messages on hand-made DER (tests/data/asn1/records.vec),
// tag re-application, building records with setters, and bad input.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "../ASN1/vector_file.h"
#include "ASN1Pkix/cms_enveloped_data.h"
#include "ASN1Pkix/ocsp.h"
#include "ASN1Pkix/pkcs12.h"
#include "ASN1Pkix/trust_and_identity.h"
#include "ASN1Pkix/tsp.h"
#include "pkix_test_support.h"

namespace qelt::test {
namespace {

template <class R>
std::unique_ptr<RecordBase> make() {
    return std::make_unique<R>();
}

const std::map<std::string, std::function<std::unique_ptr<RecordBase>()>> kRecords = {
    {"RCertificate", make<RCertificate>},
    {"RTBSCertificate", make<RTBSCertificate>},
    {"RExtension", make<RExtension>},
    {"RSignedData", make<RSignedData>},
    {"RTime", make<RTime>},
    {"RContentInfo", make<RContentInfo>},
    {"RGeneralName", make<RGeneralName>},
    {"RAttributeTypeAndValue", make<RAttributeTypeAndValue>},
    {"RPrivateKeyInfo", make<RPrivateKeyInfo>},
    {"REncryptedPrivateKeyInfo", make<REncryptedPrivateKeyInfo>},
    {"ROCSPResponse", make<ROCSPResponse>},
    {"RSafeBag", make<RSafeBag>},
    {"RTSTInfo", make<RTSTInfo>},
    {"RVID", make<RVID>},
    {"GTBSCertList", make<GTBSCertList>},
    {"RRevokedCertificate", make<RRevokedCertificate>},
    {"RBasicConstraints", make<RBasicConstraints>},
    {"RKeyTransRecipientInfo", make<RKeyTransRecipientInfo>},
    {"RDistributionPoint", make<RDistributionPoint>},
    {"RORAddress", make<RORAddress>},
    {"RBuiltInStandardAttributes", make<RBuiltInStandardAttributes>},
    {"RPersonalName", make<RPersonalName>},
    {"RBuiltInDomainDefinedAttribute", make<RBuiltInDomainDefinedAttribute>},
    {"RExtensionAttribute", make<RExtensionAttribute>},
};

std::string hexOf(const ByteString& b) { return toHexUpper(b.data(), static_cast<size_t>(b.length())); }

TEST(RecordVectors, ChecksMessagesAndRoundTrips) {
    const auto cases = readVectorFile(std::string(QELT_TEST_DATA_DIR) + "/asn1/records.vec");
    ASSERT_GT(cases.size(), 40u);
    for (const VectorCase& c : cases) {
        SCOPED_TRACE("records.vec line " + std::to_string(c.line) + " " + c.get("Record"));
        auto it = kRecords.find(c.get("Record"));
        ASSERT_NE(it, kRecords.end());
        auto record = it->second();
        const std::vector<uint8_t> in = c.hex("In");
        const int code = record->fromASN1Object(in);
        EXPECT_EQ(code, c.number("Code")) << record->errorText();
        EXPECT_EQ(record->errorCode(), code);
        if (c.has("Chain"))
            EXPECT_NE(std::string(record->errorText()).find(c.get("Chain")), std::string::npos) << record->errorText();
        if (code == 0) EXPECT_EQ(hexOf(record->toASN1Object(0)), toHexUpper(in.data(), in.size()));
    }
}

TEST(RecordTagging, DecodedTagIsReappliedUnlessOmitted) {
    // An AlgorithmIdentifier under [1] IMPLICIT, and the same under [2] EXPLICIT.
    const std::vector<uint8_t> implicit = {0xA1, 0x05, 0x06, 0x03, 0x55, 0x1D, 0x0F};
    RAlgorithmIdentifier alg;
    alg.expectImplicitTag(true);
    ASSERT_EQ(alg.fromASN1Object(implicit), 0) << alg.errorText();
    EXPECT_EQ(alg.getTaggedType(), 1);
    EXPECT_EQ(alg.getOptionTagNo(), 1);
    EXPECT_EQ(hexOf(alg.toASN1Object(0)),
              "A10506035"
              "51D0F");
    EXPECT_EQ(hexOf(alg.toASN1Object(1)),
              "300506035"
              "51D0F");

    const std::vector<uint8_t> explicitTagged = {0xA2, 0x07, 0x30, 0x05, 0x06, 0x03, 0x55, 0x1D, 0x0F};
    RAlgorithmIdentifier alg2(explicitTagged);
    ASSERT_EQ(alg2.errorCode(), 0) << alg2.errorText();
    EXPECT_EQ(alg2.getTaggedType(), 2);
    EXPECT_EQ(hexOf(alg2.toASN1Object(0)),
              "A2073005060355"
              "1D0F");
    EXPECT_EQ(hexOf(alg2.toASN1Object(1)),
              "3005060355"
              "1D0F");
}

TEST(RecordBuilding, SettersProduceTheModuleEncoding) {
    // A v1 TBSCertificate (no version) keeps the version out of the encoding;
    // setting the version puts it under [0] EXPLICIT.
    RTBSCertificate tbs;
    ASN1Integer serial;
    serial.setInteger(5);
    tbs.setSerialNumber(serial);
    RAlgorithmIdentifier alg;
    alg.editAlgorithm().setOID("1 2 840 113549 1 1 11");
    ASN1Null null;
    alg.editParameters().set(null.toASN1Object());
    alg.setParameters(alg.getParameters());
    tbs.setSignature(alg);
    RTime t;
    ASN1UTCTime utc;
    ASSERT_EQ(utc.setGMTTime(0), 0);
    t.setUtcTime(utc);
    tbs.editValidity().setNotBefore(t);
    tbs.editValidity().setNotAfter(t);
    RSubjectPublicKeyInfo spki;
    spki.setAlgorithm(alg);
    const uint8_t key[] = {0x00, 0x01};
    spki.editSubjectPublicKey().setBitString(key, 2, 0);
    tbs.setSubjectPublicKeyInfo(spki);
    const ByteString v1 = tbs.toASN1Object();
    ASSERT_EQ(tbs.errorCode(), 0) << tbs.errorText();
    RTBSCertificate back(v1);
    ASSERT_EQ(back.errorCode(), 0) << back.errorText();
    EXPECT_EQ(back.getVersion(), 0);
    EXPECT_EQ(back.getBitMask() & 0x01, 0);
    EXPECT_TRUE(back.getSignature().getAlgorithm().is("1.2.840.113549.1.1.11"));
    EXPECT_EQ(back.getValidity().getNotAfter().getGMTTime(), 0);

    tbs.setVersion(2);
    RGeneralName dns;
    ASN1IA5String name;
    ASSERT_EQ(name.setValue("a.example"), 0);
    dns.setDNSName(name);
    RGeneralNames names;
    names.addElement(dns);
    RExtension san;
    san.editExtnID().setOID("2 5 29 17");
    san.editExtnValue().setValue(names.toASN1Object());
    RExtensions exts;
    exts.addElement(san);
    tbs.setExtensions(exts);
    const ByteString v3 = tbs.toASN1Object();
    ASSERT_EQ(tbs.errorCode(), 0) << tbs.errorText();
    EXPECT_EQ(v3.data()[2], 0xA0);  // [0] EXPLICIT version first
    RTBSCertificate back3(v3);
    ASSERT_EQ(back3.errorCode(), 0) << back3.errorText();
    EXPECT_EQ(back3.getVersion(), 2);
    ASSERT_TRUE(back3.hasExtensions());
    RExtension found;
    ASSERT_EQ(back3.getExtensions().findExtension("2 5 29 17", found), 0);
    EXPECT_FALSE(found.hasCritical());
    RGeneralNames foundNames(found.getExtnValue().getValue());
    RGeneralName first;
    ASSERT_EQ(foundNames.getElement(0, first), 0);
    ASSERT_TRUE(first.isDNSName());
    EXPECT_STREQ(first.getDNSName().getValue().c_str(), "a.example");
    EXPECT_EQ(hexOf(foundNames.getElement(0)),
              "82096"
              "12E6578616D706C65");

    // A CHOICE with nothing chosen refuses to encode.
    RTime empty;
    empty.toASN1Object();
    EXPECT_EQ(empty.errorCode(), 1);
    EXPECT_NE(std::string(empty.errorText()).find("Any component is not chosen."), std::string::npos);
}

TEST(RecordBadInput, TruncationsAndCorruptionsOfARealCertificate) {
    const auto der = readFileBytes(opensslFixtures() / "ee.der");
    ASSERT_GT(der.size(), 500u);
    for (size_t n = 0; n < der.size(); ++n) {
        RCertificate cert;
        std::vector<uint8_t> cut(der.begin(), der.begin() + static_cast<long>(n));
        EXPECT_NE(cert.fromASN1Object(cut), 0) << "prefix of " << n << " octets decoded";
        // A failed record hands out empty values.
        EXPECT_TRUE(cert.getTbsCertificate().getSerialNumber().getValue().isEmpty());
    }
    // Every single-octet change either decodes or fails with a code; under the
    // sanitizer build this also proves no read leaves the input.
    int failures = 0;
    for (size_t i = 0; i < der.size(); ++i) {
        for (uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::vector<uint8_t> bad = der;
            bad[i] ^= flip;
            RCertificate cert;
            if (cert.fromASN1Object(bad) != 0) {
                ++failures;
                EXPECT_NE(std::string(cert.errorText()).find("RCertificate::fromASN1Object"), std::string::npos);
            }
        }
    }
    EXPECT_GT(failures, 100);
}

}  // namespace
}  // namespace qelt::test
