// The certificate object and the extension formatters on certificates made by
// the openssl command: exact display texts, the extension index, names.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "ZRProcess/PAuthKeyIdentUtil.h"
#include "ZRProcess/PAuthorityInfoAccess.h"
#include "ZRProcess/PCRLDistPointsUtil.h"
#include "ZRProcess/PCertUtil.h"
#include "ZRProcess/PCertUtil2.h"
#include "ZRProcess/PExtKeyUsageUtil.h"
#include "ZRProcess/PPolicyUtil.h"
#include "ZRProcess/PSubAltNameUtil.h"
#include "ZRProcess/UDNSettings.h"
#include "ZRProcess/UUnicode.h"
#include "cert_fixtures.h"

using namespace qelt;
using qelt::test::fixtureBytes;

namespace {

// CP949 output shown as UTF-8 so that expectations can be written plainly.
std::string utf8(const ByteString& cp949) {
    ByteString out;
    EXPECT_EQ(UUTF8String::KSCToUTF8(cp949, out), 0) << cp949.view();
    return std::string(out.view());
}

// The parsed fixture, kept for the whole test program.
PCertUtil& parsed(const std::string& name) {
    static std::map<std::string, std::unique_ptr<PCertUtil>> cache;
    auto& slot = cache[name];
    if (!slot) {
        slot = std::make_unique<PCertUtil>();
        EXPECT_EQ(slot->parseCertificate(fixtureBytes(name)), 0) << slot->errorText();
    }
    return *slot;
}

// A DER element from a tag and content.
ByteString der(uint8_t tag, const ByteString& content) {
    ByteString out;
    out.append(tag);
    out.append(static_cast<uint8_t>(content.length()));
    out.append(content);
    return out;
}
ByteString cat(std::initializer_list<ByteString> parts) {
    ByteString out;
    for (const ByteString& p : parts) out.append(p);
    return out;
}
// A one-attribute RDN of type 2.5.4.<arc> with a string value of `tag`.
ByteString rdn(uint8_t arc, uint8_t tag, const char* value) {
    const uint8_t oid[] = {0x55, 0x04, arc};
    return der(0x31, der(0x30, cat({der(0x06, ByteString(oid, 3)), der(tag, ByteString(value))})));
}
RRDNSequence name(std::initializer_list<ByteString> rdns) {
    RRDNSequence seq;
    EXPECT_EQ(seq.fromASN1Object(der(0x30, cat(rdns))), 0);
    return seq;
}

}  // namespace

TEST(NameText, OrderMultiValuedAndCodePages) {
    PCertUtil& ee = parsed("ee.der");
    EXPECT_EQ(utf8(ee.getSubjectDN()), "cn=홍길동,ou=people,o=Example,c=KR");
    EXPECT_EQ(utf8(ee.getIssuerDN()), "cn=Root CA,o=Example,c=KR");
    // BMPString values are converted from UCS-2.
    EXPECT_EQ(utf8(parsed("ec.der").getSubjectDN()), "cn=김철수");
    // "+" inside an RDN (entries in their stored, DER-sorted order), the OID text for a type without a short name, '?'
    // per byte of a non-Hangul letter.
    EXPECT_EQ(parsed("mv.der").getSubjectDN().view(), "serialNumber=7+cn=Tester,2 5 4 65=alias,o=caf??,c=KR");
}

TEST(NameText, CompareByName) {
    const RRDNSequence a = name({rdn(6, 0x13, "KR"), rdn(10, 0x0C, "Example  Org"), rdn(3, 0x0C, "Tester")});
    // Same RDNs in another order, blanks normalised.
    const RRDNSequence b = name({rdn(3, 0x0C, "Tester"), rdn(6, 0x13, "KR"), rdn(10, 0x0C, " Example\tOrg ")});
    EXPECT_EQ(UDNSettings::CompareByName(a, b), 0);
    // Case matters; a different string type is a different value.
    EXPECT_EQ(
        UDNSettings::CompareByName(a, name({rdn(6, 0x13, "KR"), rdn(10, 0x0C, "Example Org"), rdn(3, 0x0C, "tester")})),
        16);
    EXPECT_EQ(
        UDNSettings::CompareByName(a, name({rdn(6, 0x13, "KR"), rdn(10, 0x0C, "Example Org"), rdn(3, 0x13, "Tester")})),
        16);
    EXPECT_EQ(UDNSettings::CompareByName(a, name({rdn(6, 0x13, "KR")})), 1);
    // A multi-valued RDN in either name.
    const ByteString twoValues =
        der(0x31, cat({der(0x30, cat({der(0x06, ByteString("\x55\x04\x03", 3)), der(0x0C, ByteString("x"))})),
                       der(0x30, cat({der(0x06, ByteString("\x55\x04\x05", 3)), der(0x13, ByteString("1"))}))}));
    const RRDNSequence multi = name({rdn(6, 0x13, "KR"), twoValues, rdn(3, 0x0C, "Tester")});
    EXPECT_EQ(UDNSettings::CompareByName(multi, a), 3);
    EXPECT_EQ(UDNSettings::CompareByName(a, multi), 8);

    EXPECT_TRUE(UDNSettings::IncludeAttribute(a, "2 5 4 10"));
    EXPECT_FALSE(UDNSettings::IncludeAttribute(a, "2 5 4 11"));
}

TEST(CertFormatters, RsaCertificateTexts) {
    PCertUtil& ee = parsed("ee.der");
    PCertUtil& ca = parsed("ca.der");

    PExtKeyUsageUtil eku;
    ASSERT_EQ(eku.parseExtKeyUsage(ee.getExtendedKeyUsage()), 0);
    EXPECT_EQ(eku.getExtKeyUsage().view(), "id-kp-serverAuth\r\nid-kp-clientAuth\r\n1 2 3 4");

    PAuthKeyIdentUtil aki;
    ASSERT_EQ(aki.parseAuthorityKeyIdentifer(ee.getAuthorityKeyIdentifier()), 0);
    const std::string caKeyId(ca.get_SubjectKeyIdentifier_value().toHex().view());
    const std::string caSerial(ca.getSerialNumber(0).toHex().view());
    EXPECT_EQ(utf8(aki.getAuthorityKeyIdentifier()),
              "KeyID=" + caKeyId +
                  "\r\n인증서 발급자: \r\n디렉토리 주소:\r\n\tcn=Root CA,o=Example,c=KR\r\nCertificate SerialNumber=" +
                  caSerial);

    PSubAltNameUtil san;
    ASSERT_EQ(san.parseSubjectAlternativeName(ee.getSubjectAltNames()), 0) << san.errorText();
    EXPECT_EQ(utf8(san.getSubjectAlternativeName()),
              "RFC822 Name=hong@example.kr\r\nDNS Name=www.example.kr\r\nIP Address=192.168.0.1\r\n"
              "IP Address=2001:db8:0:0:0:0:0:1\r\nURL=http://www.example.kr/\r\nRegistered ID=1 2 3 4 5\r\n"
              "디렉토리 주소:\r\n\tcn=Dir Name,o=Dir Org,c=KR\r\n"
              "OtherName:\r\n     1 2 3 5=0c056f74686572\r\n"
              "OtherName:\r\n     cn=0c07636e76616c7565\r\n"
              "OtherName:\r\n     identifyData:\r\n          실명 = 홍길동\r\n          VID:\r\n"
              "             해쉬 알고리즘=SHA1\r\n             virtualID=0102030405");

    PCRLDistPointsUtil dp;
    ASSERT_EQ(dp.parseCRLDistributionPoint(ee.getCRLDistributionPoints()), 0) << dp.errorText();
    EXPECT_EQ(utf8(dp.getCRLDistributionPoint()),
              "[1] CRL Distribution Point\r\n     Distribution Point Name:\r\n\t     Full Name: \r\n"
              "\t          URL=http://crl.example.kr/ca.crl\r\n\t          URL=ldap://ldap.example.kr/cn=crl\r\n"
              "     CRL Reason= keyCompromise, cACompromise \r\n"
              "[2] CRL Distribution Point\r\n     Distribution Point Name:\r\n\t     Issuer RDN \r\ncn=dp2\r\n"
              "     CRL Issuer:\r\n\t          디렉토리 주소:\r\n\tcn=Dir Name,o=Dir Org,c=KR");
    EXPECT_EQ(dp.getHttpDistributionPoint().view(), "http://crl.example.kr/ca.crl");
    EXPECT_EQ(dp.getLdapDistributionPoint().view(), "ldap://ldap.example.kr/cn=crl");

    PAuthorityInfoAccess aia;
    ASSERT_EQ(aia.parseAuthorityInfoAccess(ee.getAuthorityInformationAccess()), 0);
    EXPECT_EQ(utf8(aia.getAuthorityInfoAccess()),
              "[1]AuthorityInfoAccess :\r\n\tAccess Method = 온라인 인증서 상태 프로토콜(1.3.6.1.5.5.7.48.1)\r\n"
              "\tAlternative Name:\r\n\t\tURL=http://ocsp.example.kr:8080\r\n"
              "[2]AuthorityInfoAccess :\r\n\tAccess Method = 인증 기관 발급자(1.3.6.1.5.5.7.48.2)\r\n"
              "\tAlternative Name:\r\n\t\tURL=http://ca.example.kr/ca.der");
    EXPECT_EQ(aia.getOcspLocation().view(), "http://ocsp.example.kr:8080");

    PPolicyUtil policy;
    ASSERT_EQ(policy.parseCertificatePolicies(ee.getCertPolicy()), 0) << policy.errorText();
    EXPECT_EQ(utf8(policy.getCertificatePolicies()),
              "[1] Certificate Policy : \r\n\tPolicyIdentifier=1 2 410 200004 5 1 1 7\r\n"
              "\t[1,1] Policy Qualifier Info:\r\n\t\tPolicy Qualifier Id=1 3 6 1 5 5 7 2 1\r\n\t\tQualifier:\r\n"
              "\t\t\thttp://ca.example.kr/cps.html\r\n"
              "\t[1,2] Policy Qualifier Info:\r\n\t\tPolicy Qualifier Id=1 3 6 1 5 5 7 2 2\r\n\t\tQualifier:\r\n"
              "\t\t\tUser Notice\r\n\t\t\t\tNotice Reference:\r\n\t\t\t\tOrganization=Example\r\n"
              "\t\t\t\tNotice Number=1, 2\r\n\t\t\t\tNotice Text=이 인증서는 공인인증서입니다\r\n"
              "[2] Certificate Policy : \r\n\tPolicyIdentifier=1 2 410 200004 5 1 1 9\r\n"
              "\t[2,1] Policy Qualifier Info:\r\n\t\tPolicy Qualifier Id=1 3 6 1 5 5 7 2 2\r\n\t\tQualifier:\r\n"
              "\t\t\tUser Notice\r\n\t\t\t\tNotice Text=Visible notice\r\n"
              "[3] Certificate Policy : \r\n\tPolicyIdentifier=1 2 410 200004 2 1\r\n");
    int count = 0;
    ASSERT_EQ(ee.getcertPolicyCNT(count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ee.getPolicyIdentifier(2).view(), "1 2 410 200004 2 1");
}

TEST(CertFormatters, EcCertificateTexts) {
    PCertUtil& ec = parsed("ec.der");
    PPolicyUtil policy;
    ASSERT_EQ(policy.parseCertificatePolicies(ec.getCertPolicy()), 0) << policy.errorText();
    EXPECT_NE(utf8(policy.getCertificatePolicies()).find("\t\t\t\tNotice Text=한국\r\n"), std::string::npos);

    PSubAltNameUtil san;
    ASSERT_EQ(san.parseSubjectAlternativeName(ec.getSubjectAltNames()), 0) << san.errorText();
    EXPECT_EQ(san.getSubjectAlternativeName().view(),
              "X400 Address=\r\n\t\tCountry name=KR\r\n\t\tOrganization name=Org\r\n\t\tPersonal name:\r\n"
              "\t\t\tSurname=Kim\r\nEDIParty Name=\r\n\tName Assigner=abc\r\n\tParty Name=xyz");
    EXPECT_EQ(ec.get_KeyUsage_value().toHex().view(), "0880");  // two octets
}

TEST(CertFormatters, UndecodableValuesGiveCodeOneWithTheirLabel) {
    const ByteString junk("\x04\x01\x00", 3);
    PExtKeyUsageUtil eku;
    EXPECT_EQ(eku.parseExtKeyUsage(junk), 1);
    EXPECT_NE(eku.errorChain().find("extKeyUsage"), -1);
    PCRLDistPointsUtil dp;
    EXPECT_EQ(dp.parseCRLDistributionPoint(junk), 1);
    EXPECT_NE(dp.errorChain().find("crlDistributionPointsSyntax"), -1);
    PAuthorityInfoAccess aia;
    EXPECT_EQ(aia.parseAuthorityInfoAccess(junk), 1);
    EXPECT_NE(aia.errorChain().find("aiaSyntax"), -1);
    PPolicyUtil policy;
    EXPECT_EQ(policy.parseCertificatePolicies(junk), 1);
    EXPECT_NE(policy.errorChain().find("certificatePolicies"), -1);
    // A BMPString notice text of odd length cannot be converted.
    ByteString hex(
        "301C301A06032A0304301330110608"
        "2B06010505070202"
        "30051E03D55CAD");
    EXPECT_EQ(policy.parseCertificatePolicies(hex.fromHex()), 2);
    EXPECT_NE(policy.errorChain().find("Unicode Decoding failed."), -1);
}

TEST(CertModel, ExtensionIndexAndFailures) {
    // Ten unknown extensions fill the reserve; an eleventh is refused.
    EXPECT_EQ(parsed("unknown10.der").reservedExtensionCount(), 10);
    PCertUtil eleven;
    EXPECT_EQ(eleven.parseCertificate(fixtureBytes("unknown11.der")), 9);
    EXPECT_NE(eleven.errorChain().find("The m_nExtReserve array size is 10."), -1);
    // Every getter then fails with the parse's code and chain.
    eleven.getSerialNumber(0);
    EXPECT_EQ(eleven.errorCode(), 9);
    EXPECT_NE(eleven.errorChain().find("m_nExtReserve"), -1);

    // The later of two key usage extensions is the one read.
    EXPECT_EQ(parsed("twoku.der").get_KeyUsage_value().toHex().view(), "06");

    PCertUtil fresh;
    fresh.getSubjectDN();
    EXPECT_EQ(fresh.errorCode(), 1);
    EXPECT_NE(fresh.errorChain().find("First, use parseCertificate"), -1);

    // Absent extensions: 4096 with their own message, and the object stays usable.
    PCertUtil& v1 = parsed("v1.der");
    v1.getAuthorityKeyIdentifier();
    EXPECT_EQ(v1.errorCode(), PCertUtil::kAbsent);
    EXPECT_NE(v1.errorChain().find("AuthrityKeyIdentifier does not exist."), -1);
    int pathLen = 0;
    EXPECT_EQ(parsed("ec.der").getBasicConstraints_pathLenConstraint(pathLen), PCertUtil::kAbsent);
    EXPECT_EQ(v1.getSerialNumber(1).isEmpty(), false);
    EXPECT_EQ(v1.errorCode(), 0);

    // Not a certificate: a SEQUENCE of something else, and bytes that are no SEQUENCE at all.
    PCertUtil bad;
    EXPECT_EQ(bad.parseCertificate(ByteString("\x30\x03\x02\x01\x05", 5)), PCertUtil::kNotCertificate);
    EXPECT_NE(bad.errorChain().find("m_pCert"), -1);
    EXPECT_EQ(bad.parseCertificate(ByteString("\x04\x01\x00", 3)), 2);
    PCertUtil2 light;
    EXPECT_EQ(light.parse(ByteString("\x30\x03\x02\x01\x05", 5)), PCertUtil2::kNotCertificate);
    light.getSubjectDN();
    EXPECT_NE(light.errorChain().find("The certificate does not set."), -1);
}

TEST(CertModel, SignatureAndKeyAlgorithmNames) {
    PCertUtil& ee = parsed("ee.der");
    EXPECT_EQ(ee.getCertSignatureAlgorithmValue().view(), "sha256 With RSAEncryption");
    ByteString oid, params;
    EXPECT_EQ(ee.getSubjectPublicKeyAlgorithm(&oid, &params).view(), "rsaEncryption");
    EXPECT_EQ(oid.view(), "1 2 840 113549 1 1 1");
    EXPECT_EQ(params.toHex().view(), "0500");
    PCertUtil& ec = parsed("ec.der");
    EXPECT_EQ(ec.getCertSignatureAlgorithmValue().view(), "ECDSA with SHA256");

    // The outer signature algorithm (sha256WithRSAEncryption, last arc 11) patched to arcs 5 and 12.
    auto der = fixtureBytes("ee.der");
    const std::vector<uint8_t> sha256Rsa = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0B};
    const auto at = std::find_end(der.begin(), der.end(), sha256Rsa.begin(), sha256Rsa.end());
    ASSERT_NE(at, der.end());
    const std::pair<uint8_t, const char*> patched[] = {{0x05, "sha1 With RSAEncryption"},
                                                       {0x0C, "1 2 840 113549 1 1 12 : Unknown AlgorithmIdentifier"}};
    for (const auto& [arc, expected] : patched) {
        *(at + 10) = arc;
        PCertUtil cert;
        ASSERT_EQ(cert.parseCertificate(der), 0);
        EXPECT_EQ(cert.getCertSignatureAlgorithmValue().view(), expected);
    }
    EXPECT_EQ(ec.getSubjectPublicKeyAlgorithm().view(), "ecPublicKey");
}
