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
#include "ASN1Pkix/pkcs_keys.h"
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
    {"RCertificateTrustList", make<RCertificateTrustList>},
    {"RIdentifyData", make<RIdentifyData>},
    {"RHashContent", make<RHashContent>},
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

std::vector<uint8_t> bytesOfHex(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// A trust list with every optional component (written with `openssl asn1parse
// -genconf`): version 1, two usages, list identifier, sequence number, both
// times, two subjects (one with attributes) and extensions.
TEST(TrustAndIdentityRecords, TrustListComponents) {
    const std::vector<uint8_t> der = bytesOfHex(
        "3081A3020101301506082B0601050507030106092A831A8C9A440A010104020102020107170D3236313230313030303030305A180F"
        "32303237303130313030303030305A300906052B0E03021A05003046302C041400112233445566778899AABBCCDDEEFF00112233"
        "31143012060A2B0601040182370A0B1431040402AABB30160414FFEEDDCCBBAA99887766554433221100FFEEDDCCA00D300B3009"
        "0603551D1304023000");
    RCertificateTrustList ctl(der);
    ASSERT_EQ(ctl.errorCode(), 0) << ctl.errorText();
    EXPECT_EQ(ctl.getVersion(), 1);
    EXPECT_EQ(ctl.getSubjectUsage().getElementCount(), 2);
    ASSERT_TRUE(ctl.hasListIdentifier());
    EXPECT_EQ(hexOf(ctl.getListIdentifier().getValue()), "0102");
    ASSERT_TRUE(ctl.hasSequenceNumber());
    EXPECT_EQ(ctl.getSequenceNumber().getInteger(), 7);
    EXPECT_TRUE(ctl.hasNextUpdate());
    EXPECT_TRUE(ctl.getSubjectAlgorithm().getAlgorithm().is("1.3.14.3.2.26"));
    ASSERT_TRUE(ctl.hasTrustedSubjects());
    ASSERT_TRUE(ctl.hasExtensions());
    RTrustedSubjects subjects = ctl.getTrustedSubjects();
    ASSERT_EQ(subjects.getElementCount(), 2);
    RTrustedCertificate first, second;
    ASSERT_EQ(subjects.getElement(0, first), 0);
    ASSERT_EQ(subjects.getElement(1, second), 0);
    EXPECT_TRUE(first.hasTrustedCertificateAttributes());
    EXPECT_FALSE(second.hasTrustedCertificateAttributes());
    EXPECT_EQ(hexOf(second.getTrustedCertificateHash().getValue()), "FFEEDDCCBBAA99887766554433221100FFEEDDCC");
    EXPECT_EQ(hexOf(ctl.toASN1Object(0)), toHexUpper(der.data(), der.size()));

    // Without version and next update: v1 by default, only the presence bits
    // of the list identifier and the sequence number.
    const std::vector<uint8_t> five =
        bytesOfHex("302B300A06082B0601050507030104020102020107170D3236313230313030303030305A300706052B0E03021A");
    RCertificateTrustList bare(five);
    ASSERT_EQ(bare.errorCode(), 0) << bare.errorText();
    EXPECT_EQ(bare.getVersion(), 0);
    EXPECT_EQ(bare.getBitMask(), RCertificateTrustList::kListIdentifierBit | RCertificateTrustList::kSequenceNumberBit);
    EXPECT_EQ(hexOf(bare.toASN1Object(0)), toHexUpper(five.data(), five.size()));

    // Three components are too few; a subject hash that is no OCTET STRING is refused.
    RCertificateTrustList tooShort(
        bytesOfHex("3023300A06082B06010505070301170D3236313230313030303030305A300606042B0E0302"));
    EXPECT_NE(std::string(tooShort.errorText()).find("At least 5 components are required."), std::string::npos);
    std::vector<uint8_t> intHash = der;
    intHash[0x53] = 0x02;
    RCertificateTrustList badHash(intHash);
    RTrustedSubjects badSubjects = badHash.getTrustedSubjects();
    RTrustedCertificate badFirst;
    EXPECT_NE(badSubjects.getElement(0, badFirst), 0);
    EXPECT_NE(std::string(badFirst.errorText()).find("hashOfCert component is not ASN1_TAG_OCTETSTRING."),
              std::string::npos)
        << badFirst.errorText();
}

TEST(TrustAndIdentityRecords, IdentifyDataAndHashContent) {
    // realName "\xED\x99\x8D..." (three Hangul syllables in UTF-8) and a user
    // information list holding a number and a HashContent.
    const std::vector<uint8_t> der = bytesOfHex(
        "30340C09ED998DEAB8B8EB8F993027130D383030313031313233343536373016130D383030313031313233343536370305000A0B0C0D");
    RIdentifyData id(der);
    ASSERT_EQ(id.errorCode(), 0) << id.errorText();
    EXPECT_EQ(hexOf(id.getRealName().getValue()), "ED998DEAB8B8EB8F99");
    EXPECT_EQ(hexOf(id.toASN1Object(0)), toHexUpper(der.data(), der.size()));

    const std::vector<uint8_t> hc = bytesOfHex("3016130D383030313031313233343536370305000A0B0C0D");
    RHashContent content(hc);
    ASSERT_EQ(content.errorCode(), 0) << content.errorText();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(content.getIdn().getValue().data()),
                          static_cast<size_t>(content.getIdn().getValue().length())),
              "8001011234567");
    int unused = -1;
    EXPECT_EQ(hexOf(content.editRandomNum().getBitString(unused)), "0A0B0C0D");
    EXPECT_EQ(unused, 0);

    // The identity number must be a PrintableString.
    std::vector<uint8_t> utf8Idn = hc;
    utf8Idn[2] = 0x0C;
    RHashContent wrong(utf8Idn);
    EXPECT_NE(wrong.errorCode(), 0);
}

// A BER constructed OCTET STRING is joined on decoding and written back as one
// primitive string: writing the joined octets under the constructed tag would
// change the value on every round trip.
TEST(RecordStability, ConstructedOctetStringIsWrittenPrimitive) {
    // EncryptedPrivateKeyInfo { { 1.2.840.113549.1.12.1.3 }, OCTET STRING (constructed: AABB, CC) }
    const std::vector<uint8_t> ber = bytesOfHex("3017300C060A2A864886F70D010C010324070402AABB0401CC");
    REncryptedPrivateKeyInfo info(ber);
    ASSERT_EQ(info.errorCode(), 0) << info.errorText();
    EXPECT_EQ(hexOf(info.getEncryptedData().getValue()), "AABBCC");
    const ByteString der(info.toASN1Object(0));
    EXPECT_EQ(hexOf(der), "3013300C060A2A864886F70D010C01030403AABBCC");
    REncryptedPrivateKeyInfo again(der);
    ASSERT_EQ(again.errorCode(), 0) << again.errorText();
    EXPECT_EQ(hexOf(again.toASN1Object(0)), hexOf(der));
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
